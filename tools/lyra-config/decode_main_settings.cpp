// "QPAVO.cfg": every field after the program's load checks.
#include <QJsonArray>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "app/main_settings.h"
#include "capture/capture_settings.h"
#include "decoders.h"

namespace {

QJsonObject Decode(const QString &file, const QStringList &)
{
    TMainInfo main;
    TCaptureSettings capture;
    TAudioAdjustInfo audio; // no mixer: the file's values are kept as read
    TMainSettingsContext c;
    c.Audio = &audio;
    c.Main = &main;
    c.Capture = &capture;
    c.ShowMessages = false;
    c.DeleteDamaged = false;
    c.CreateFolders = false;
    const bool ok = LoadMainSettings(file, c);

    QJsonObject o;
    o["file"] = file;
    o["loaded"] = ok;
    o["AlwaysOnTop"] = bool(main.AlwaysOnTop);
    o["PIPPlayback"] = bool(main.PIPPlayback);
    o["StartInFM"] = bool(main.StartInFM);
    o["DoNotUseOverlay"] = bool(main.DoNotUseOverlay);
    o["SpareFlag"] = bool(main.SpareFlag);
    o["MPEG4Codec"] = main.MPEG4Codec;
    o["CapturePath"] = main.CapturePath;
    o["FMCapturePath"] = main.FMCapturePath;
    o["SpareBaseName"] = main.SpareBaseName;
    QJsonArray adjust;
    for (int32_t v : main.VideoAdjustPercent)
        adjust.append(v);
    o["VideoAdjustPercent"] = adjust;
    o["Language"] = c.LanguageRead;
    o["PlaybackLineIndex"] = audio.PlaybackLineIndex;
    o["RecordLineIndex"] = audio.RecordLineIndex;
    o["RecordVolume"] = audio.RecordVolume;
    o["VideoDeviceIndex"] = capture.VideoDeviceIndex;
    o["CaptureInputFormat"] = capture.CaptureInputFormat;
    o["AudioDeviceIndex"] = capture.AudioDeviceIndex;
    o["AudioCaptureFormatIndex"] = capture.AudioCaptureFormatIndex;
    o["AudioSourceIndex"] = capture.AudioSourceIndex;
    o["CaptureAudioOption"] = capture.CaptureAudioOption;
    o["CaptureFormat"] = capture.CaptureFormat;
    o["CaptureAudioFormat"] = capture.CaptureAudioFormat;
    o["CaptureWidth"] = capture.CaptureWidth;
    o["CaptureHeight"] = capture.CaptureHeight;
    o["BitRate"] = capture.BitRate;
    o["FrameRateIndex"] = capture.FrameRateIndex;
    o["CaptureQuality"] = capture.CaptureQuality;
    o["UseDateTimeFileName"] = capture.UseDateTimeFileName;
    o["CaptureBaseName"] = capture.CaptureBaseName;
    o["TimeLimitEnabled"] = capture.TimeLimitEnabled;
    o["TimeLimit"] = capture.TimeLimit;
    o["SaveTimeShiftResult"] = capture.SaveTimeShiftResult;
    o["HighQualityPreview"] = bool(capture.HighQualityPreview);
    o["SavedFMFrequency"] = capture.SavedFMFrequency;
    o["AspectRatio"] = main.AspectRatio;
    if (c.Message)
        o["message"] = c.Message;
    if (c.Deleted)
        o["deleted"] = true;
    return o;
}

const bool registered = RegisterDecoder(
    {"QPAVO.cfg", [](const QString &f) { return FileNameIs(f, "QPAVO.cfg"); }, Decode});

} // namespace
