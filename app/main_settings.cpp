#include "app/main_settings.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "capture/capture_settings.h"
#include "channels/country_info.h"
#include "channels/languages.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "platform/program_folder.h"
#include "platform/record_stream.h"
#include "platform/safe_file.h"

namespace {

std::function<bool(const QString &)> g_folderCheck;

bool Usable(const QString &folder, bool create)
{
    return g_folderCheck ? g_folderCheck(folder) : FolderUsable(folder, create);
}

// A folder read from the file: kept with a trailing "/" when usable, else the
// default documents folder.
QString CheckedFolder(const QString &folder, bool create)
{
    if (!Usable(folder, create))
        return DefaultCaptureFolder();
    return folder.endsWith('/') ? folder : folder + "/";
}

int32_t NotNegative(int32_t v)
{
    return v < 0 ? 0 : v;
}

// Reads the 41 items; false on the first short read or a wrong marker.
bool ReadItems(TRecordReader &r, TMainSettingsContext &c)
{
    TMainInfo scratchMain;
    TCaptureSettings scratchCapture;
    TMainInfo &m = c.Main ? *c.Main : scratchMain;
    TCaptureSettings &cap = c.Capture ? *c.Capture : scratchCapture;

    int32_t magic = 0;
    if (!r.ReadInt(magic) || magic != MainSettingsMagic)
        return false;
    bool b = false;
    int32_t i = 0;
    QString s;
    if (!r.ReadBool(b))
        return false;
    m.AlwaysOnTop = b;
    if (!r.ReadBool(b))
        return false;
    m.PIPPlayback = b;
    if (!r.ReadBool(b))
        return false;
    m.StartInFM = b;
    if (!r.ReadBool(b))
        return false;
    m.DoNotUseOverlay = b;
    if (!r.ReadBool(b))
        return false;
    m.SpareFlag = b;
    if (!r.ReadInt(i))
        return false;
    m.MPEG4Codec = i;
    if (!r.ReadStr(s))
        return false;
    m.CapturePath = CheckedFolder(s, c.CreateFolders);
    if (!r.ReadStr(s))
        return false;
    m.FMCapturePath = CheckedFolder(s, c.CreateFolders);
    if (!r.ReadStr(s))
        return false;
    m.SpareBaseName = s.isEmpty() ? QStringLiteral("capture") : s;
    for (int k = 0; k < 5; ++k) {
        if (!r.ReadInt(i))
            return false;
        m.VideoAdjustPercent[k] = i;
    }
    if (!r.ReadStr(s))
        return false;
    c.LanguageRead = s;
    if (!s.isEmpty() && c.Lang)
        c.Lang->SelectLanguage(s);
    if (!r.ReadInt(i))
        return false;
    if (c.Audio)
        c.Audio->PlaybackLineIndex = i;
    if (!r.ReadInt(i))
        return false;
    if (c.Audio)
        c.Audio->RecordLineIndex = i;
    if (!r.ReadInt(i))
        return false;
    if (c.Audio) {
        c.Audio->RecordVolume = i;
        c.Audio->SetRecordVolume(i);
    }
    int32_t *nonNegative[] = {&cap.VideoDeviceIndex, &cap.CaptureInputFormat,
                              &cap.AudioDeviceIndex, &cap.AudioCaptureFormatIndex,
                              &cap.AudioSourceIndex, &cap.CaptureAudioOption};
    for (int32_t *field : nonNegative) {
        if (!r.ReadInt(i))
            return false;
        *field = NotNegative(i);
    }
    if (!r.ReadInt(i))
        return false;
    cap.CaptureFormat = i;
    if (!r.ReadInt(i))
        return false;
    cap.CaptureAudioFormat = i;
    if (!r.ReadInt(i))
        return false;
    cap.CaptureWidth = i < 1 ? 320 : i;
    if (!r.ReadInt(i))
        return false;
    cap.CaptureHeight = i < 1 ? 240 : i;
    if (!r.ReadInt(i))
        return false;
    cap.BitRate = i < 1 ? 2000 : i;
    if (!r.ReadInt(i))
        return false;
    cap.FrameRateIndex = NotNegative(i);
    if (!r.ReadInt(i))
        return false;
    cap.CaptureQuality = NotNegative(i);
    if (!r.ReadBool(b))
        return false;
    cap.UseDateTimeFileName = b;
    if (!r.ReadStr(s))
        return false;
    cap.CaptureBaseName = s.isEmpty() ? QStringLiteral("capture") : s;
    if (!r.ReadBool(b))
        return false;
    cap.TimeLimitEnabled = b;
    if (!r.ReadInt(i))
        return false;
    cap.TimeLimit = i <= 10 ? 10 : i;
    if (!r.ReadBool(b))
        return false;
    cap.SaveTimeShiftResult = b;
    if (!r.ReadBool(b))
        return false;
    cap.HighQualityPreview = b;
    if (!r.ReadInt(i))
        return false;
    // The current FM frequency as well: a session that never tunes FM
    // writes it back unchanged.
    cap.SavedFMFrequency = cap.FMFrequency = i;
    if (!r.ReadInt(i))
        return false;
    m.AspectRatio = NotNegative(i);
    if (c.ApplyAspectRatio)
        c.ApplyAspectRatio(m.AspectRatio);
    int32_t end = 0;
    return r.ReadInt(end) && end == MainSettingsEndMark;
}

void ApplyDefaults(TMainSettingsContext &c)
{
    if (c.Main)
        c.Main->ResetMainSettings();
    if (c.Lang && c.Country)
        c.Lang->SelectLanguage(c.Country->LocaleLanguage);
    if (c.CaptureDefaults)
        c.CaptureDefaults();
    else if (c.Capture)
        c.Capture->ResetCaptureBlock();
}

} // namespace

QString MainSettingsPath()
{
    return ProgramFolder::File("QPAVO.cfg");
}

void SetFolderCheck(std::function<bool(const QString &)> check)
{
    g_folderCheck = std::move(check);
}

bool LoadMainSettings(const QString &file, TMainSettingsContext &context)
{
    context.Message = 0;
    context.Deleted = false;
    context.LanguageRead.clear();
    const QFileInfo info(file);
    if (info.exists() && info.size() > 0) {
        QFile f(file);
        bool ok = false;
        if (f.open(QIODevice::ReadOnly)) {
            TRecordReader reader(&f);
            ok = ReadItems(reader, context);
            f.close();
        }
        if (ok)
            return true;
        context.Message = 1103;
        qCWarning(lcFiles) << "damaged settings file" << file;
        if (context.ShowMessages)
            ShowWarning(1103, 0);
    }
    ApplyDefaults(context);
    if (info.exists()) {
        context.Deleted = true;
        if (context.DeleteDamaged)
            QFile::remove(file);
    }
    return false;
}

bool SaveMainSettings(const QString &file, const TMainSettingsContext &c)
{
    TMainInfo defaultsMain;
    TCaptureSettings defaultsCapture;
    const TMainInfo &m = c.Main ? *c.Main : defaultsMain;
    const TCaptureSettings &cap = c.Capture ? *c.Capture : defaultsCapture;

    // Written beside the file and renamed over it at the end: a failed
    // write leaves neither a partial file nor a lost old one.
    QByteArray bytes;
    QBuffer f(&bytes);
    bool ok = f.open(QIODevice::WriteOnly);
    QString error;
    if (ok) {
        TRecordWriter w(&f);
        w.WriteInt(MainSettingsMagic);
        w.WriteBool(m.AlwaysOnTop);
        w.WriteBool(m.PIPPlayback);
        w.WriteBool(m.StartInFM);
        w.WriteBool(m.DoNotUseOverlay);
        w.WriteBool(m.SpareFlag);
        w.WriteInt(m.MPEG4Codec);
        w.WriteStr(m.CapturePath);
        w.WriteStr(m.FMCapturePath);
        w.WriteStr(m.SpareBaseName);
        for (int32_t v : m.VideoAdjustPercent)
            w.WriteInt(v);
        w.WriteStr(c.Lang ? c.Lang->LanguageName : QString());
        w.WriteInt(c.Audio ? c.Audio->PlaybackLineIndex : 0);
        w.WriteInt(c.Audio ? c.Audio->RecordLineIndex : 0);
        w.WriteInt(c.Audio ? c.Audio->RecordVolume : 0);
        w.WriteInt(cap.VideoDeviceIndex);
        w.WriteInt(cap.CaptureInputFormat);
        w.WriteInt(cap.AudioDeviceIndex);
        w.WriteInt(cap.AudioCaptureFormatIndex);
        w.WriteInt(cap.AudioSourceIndex);
        w.WriteInt(cap.CaptureAudioOption);
        w.WriteInt(cap.CaptureFormat);
        w.WriteInt(cap.CaptureAudioFormat);
        w.WriteInt(cap.CaptureWidth);
        w.WriteInt(cap.CaptureHeight);
        w.WriteInt(cap.BitRate);
        w.WriteInt(cap.FrameRateIndex);
        w.WriteInt(cap.CaptureQuality);
        w.WriteBool(cap.UseDateTimeFileName);
        w.WriteStr(cap.CaptureBaseName);
        w.WriteBool(cap.TimeLimitEnabled);
        w.WriteInt(cap.TimeLimit);
        w.WriteBool(cap.SaveTimeShiftResult);
        w.WriteBool(cap.HighQualityPreview);
        w.WriteInt(cap.FMFrequency);
        w.WriteInt(m.AspectRatio);
        w.WriteInt(MainSettingsEndMark);
        ok = w.Ok() && WriteFileSafely(file, bytes, &error);
    }
    if (!ok) {
        qCWarning(lcFiles).noquote() << (error.isEmpty() ? "cannot write " + file : error);
        if (c.ShowMessages)
            ShowWarningText("Cannot write config....");
    }
    return ok;
}
