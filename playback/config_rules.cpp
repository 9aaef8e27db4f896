#include "playback/config_rules.h"

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "app/main_settings.h"
#include "app/startup.h"
#include "capture/capture_settings.h"
#include "channels/country_info.h"
#include "channels/languages.h"
#include "platform/program_folder.h"

QStringList CaptureFormatNames()
{
    return {"MPEG 1",    "MPEG 2",     "MPEG 4",    "AVI",         "VCD (NTSC)",
            "VCD (PAL)", "DVD (NTSC)", "DVD (PAL)", "SVCD (NTSC)", "SVCD (PAL)"};
}

QStringList FrameRateNames()
{
    return {"23.97", "24", "25", "29.97", "30"};
}

QStringList CaptureQualityNames()
{
    return {"Fastest", "Faster", "Fast", "Normal", "High", "Higher", "Highest"};
}

QStringList AudioCaptureFormatNames()
{
    return {"48000 Hz, 16 Bit, Stereo", "44100 Hz, 16 Bit, Stereo", "32000 Hz, 16 Bit, Stereo"};
}

namespace {

enum
{
    Fastest = 0,
    Normal = 3
};
enum
{
    Rate25 = 2,
    Rate2997 = 3,
    Rate30 = 4
};

TCaptureProfile Fixed(const QString &size, int32_t bitRate, int32_t quality, int32_t rate)
{
    TCaptureProfile p;
    p.Sizes = {size};
    p.Selected = size;
    p.BitRate = bitRate;
    p.Quality = quality;
    p.FrameRateIndex = rate;
    return p;
}

} // namespace

TCaptureProfile CaptureProfile(int32_t format, uint8_t chipFamily)
{
    const bool empia = chipFamily == FamilyEmpia2800;
    TCaptureProfile p;
    switch (format) {
    case FormatMPEG1:
        p.Sizes = {"160x120", "240x176", "320x240", "320x288", "352x240", "352x288"};
        p.Selected = "320x240";
        p.BitRate = 1350;
        p.Quality = Normal;
        p.FrameRateIndex = Rate30;
        p.SizeEditable = p.BitRateEditable = p.QualityEditable = p.FrameRateEditable = true;
        return p;
    case FormatMPEG2:
        p.Sizes = {"160x120", "320x240"};
        if (empia)
            p.Sizes << "352x288";
        else
            p.Sizes << "320x288"
                    << "640x240"
                    << "640x480"
                    << "720x480"
                    << "720x576";
        p.Selected = "640x480";
        p.BitRate = 4000;
        p.Quality = Fastest;
        p.FrameRateIndex = Rate30;
        p.SizeEditable = p.BitRateEditable = p.QualityEditable = p.FrameRateEditable = true;
        return p;
    case FormatMPEG4:
    case FormatAVI:
        p.Sizes = {"160x120", "320x240", "352x240", "352x288"};
        if (empia)
            p.Sizes << "640x576";
        else
            p.Sizes << "640x240"
                    << "640x480"
                    << "720x480"
                    << "720x576";
        p.Selected = "352x240";
        p.BitRate = 2000;
        p.Quality = Fastest;
        p.FrameRateIndex = Rate30;
        p.SizeEditable = p.FrameRateEditable = true;
        return p;
    case FormatVCDNTSC:
        return Fixed("352x240", 1150, Normal, Rate2997);
    case FormatVCDPAL:
        return Fixed("352x288", 1150, Normal, Rate25);
    case FormatDVDNTSC:
    case FormatDVDPAL:
        p = Fixed(format == FormatDVDNTSC ? "720x480" : "720x576", 3950, Fastest,
                  format == FormatDVDNTSC ? Rate2997 : Rate25);
        p.BitRateEditable = p.QualityEditable = true;
        return p;
    case FormatSVCDNTSC:
        return Fixed("480x480", 2300, Normal, Rate2997);
    case FormatSVCDPAL:
        // A PAL disc is 25 frames/s; the recorder writes 25 whatever is
        // stored, so the dialog shows what will be recorded.
        return Fixed("480x576", 2300, Normal, Rate25);
    default:
        return p;
    }
}

QString CaptureSizeText(int32_t width, int32_t height)
{
    return QString::asprintf("%3dx%3d", width, height);
}

bool ParseCaptureSize(const QString &entry, int32_t &width, int32_t &height)
{
    bool okW = false, okH = false;
    const int w = entry.mid(0, 3).trimmed().toInt(&okW);
    const int h = entry.mid(4, 3).trimmed().toInt(&okH);
    if (!okW || !okH || w <= 0 || h <= 0)
        return false;
    width = w;
    height = h;
    return true;
}

bool NarrowDVDSize(uint8_t chipFamily, bool hasTuner, uint8_t systemCode, uint8_t compositeStandard,
                   uint8_t sVideoStandard)
{
    if (chipFamily != FamilyEmpia2800)
        return false;
    if (hasTuner)
        return systemCode != 0 && systemCode != 1;
    return compositeStandard >= 2 || sVideoStandard >= 2;
}

QString AcceptFolder(const QString &chosen, const QString &current)
{
    const QString path = chosen.trimmed();
    if (path.isEmpty() || !FolderUsable(path, true))
        return current;
    return path.endsWith('/') ? path : path + "/";
}

QString RecordLevelText(int position)
{
    return QString::number(qint64(position) * 100 / 65536) + "%";
}

bool SaveAllSettings()
{
    TMainSettingsContext settings;
    settings.Main = MainInfo;
    settings.Audio = AudioAdjustInfo;
    settings.Capture = StartupHooks.CaptureSettings ? StartupHooks.CaptureSettings() : nullptr;
    settings.Lang = MultiLangInfo;
    settings.Country = CountryInfo;
    bool ok = SaveMainSettings(MainSettingsPath(), settings);
    if (StartupHooks.SaveChannelSettings && !StartupHooks.SaveChannelSettings())
        ok = false;
    return ok;
}
