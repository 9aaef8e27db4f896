#include "app/remote_status.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonValue>
#include <QWindow>

#include "app/app_modes.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "platform/gui_wait.h"
#include "platform/messages.h"
#include "playback/snapshot_info.h"

namespace {

QString SourceName(int source)
{
    static const char *const names[] = {"tuner", "composite", "svideo", "camera", "none"};
    return source >= 0 && source <= 4 ? names[source] : "none";
}

QString BandName(int band)
{
    static const char *const names[] = {"antenna", "cable", "memory", "fm", "none"};
    return band >= 0 && band <= 4 ? names[band] : "none";
}

} // namespace

QJsonObject RemoteStatus()
{
    const TModeEngines &e = ModeEngines;
    QJsonObject s;
    const int mode = MainInfo ? MainInfo->AppMode : ModeNone;
    s["AppMode"] = mode;
    s["AppModeName"] = AppModeName(mode);
    // Unknown values (no engine installed) are null, never a made-up zero.
    if (e.Channels) {
        s["Source"] = e.Channels->Source();
        s["SourceName"] = SourceName(e.Channels->Source());
        s["Band"] = e.Channels->Band();
        s["BandName"] = BandName(e.Channels->Band());
        s["Channel"] = e.Channels->CurrentNumber();
        s["ChannelText"] = e.Channels->ChannelText();
        s["Scanning"] = e.Channels->Scanning();
    } else {
        for (const char *key :
             {"Source", "SourceName", "Band", "BandName", "Channel", "ChannelText", "Scanning"})
            s[key] = QJsonValue::Null;
    }
    s["TVFrequency"] = e.Capture ? QJsonValue(e.Capture->TVFrequency()) : QJsonValue::Null;
    s["FMFrequency"] = e.FM ? QJsonValue(e.FM->FMFrequency()) : QJsonValue::Null;
    // The tuner's own answer, beside what the engine last tuned.
    int32_t tuned = 0;
    bool signal = false;
    const bool known = e.Capture && e.Capture->ReadTuner(tuned, signal);
    s["TunerFrequency"] = known ? QJsonValue(tuned) : QJsonValue::Null;
    s["Signal"] = known ? QJsonValue(signal) : QJsonValue::Null;
    // The card the picture comes from: its name and node (null for the
    // virtual card, which has none).
    QString deviceName, devicePath;
    if (e.Capture && e.Capture->VideoDevice(deviceName, devicePath))
        s["VideoDevice"] =
            QJsonObject{{"Name", deviceName},
                        {"Path", devicePath.isEmpty() ? QJsonValue::Null : QJsonValue(devicePath)}};
    else
        s["VideoDevice"] = QJsonValue::Null;
    const int stereo = e.Capture ? e.Capture->TunerStereo() : -1;
    s["Stereo"] = stereo < 0 ? QJsonValue::Null : QJsonValue(stereo == 1);
    // The FM memory the radio was last set to; stepping or seeking away
    // from it keeps the number, as the panel does.
    const bool fmList = e.Channels && e.Channels->Band() == ModeFMList;
    s["FMMemory"] = fmList ? QJsonValue(e.Channels->CurrentNumber()) : QJsonValue::Null;
    s["FMMemoryName"] = fmList ? QJsonValue(e.Channels->ChannelText()) : QJsonValue::Null;
    if (e.Audio && e.Audio->HasMixer()) {
        s["Volume"] = e.Audio->Volume();
        s["Muted"] = e.Audio->Muted();
    } else {
        s["Volume"] = QJsonValue::Null;
        s["Muted"] = QJsonValue::Null;
    }
    const bool recording = e.Recording && e.Recording->IsRecording();
    s["Recording"] = recording;
    s["RecordingFile"] = recording ? QJsonValue(e.Recording->FileName()) : QJsonValue::Null;
    s["ElapsedSeconds"] =
        recording ? QJsonValue(double(e.Recording->ElapsedSeconds())) : QJsonValue::Null;
    s["SnapshotCount"] = SnapshotInfo ? QJsonValue(SnapshotInfo->Count()) : QJsonValue::Null;
    const qint64 used = recording ? e.Recording->UsedBytes() : -1;
    s["UsedBytes"] = used >= 0 ? QJsonValue(double(used)) : QJsonValue::Null;
    // The playback the pause and seek commands act on: time shift before a
    // file, as the commands choose.
    const IPlayback *playback = nullptr;
    if (e.TimeShiftPlayback && e.TimeShiftPlayback->Exists())
        playback = e.TimeShiftPlayback;
    else if (e.FilePlayback && e.FilePlayback->Exists())
        playback = e.FilePlayback;
    TPlaybackState state;
    if (playback && playback->State(state)) {
        s["PlaybackFile"] = state.FileName;
        s["Position"] = double(state.PositionSeconds);
        s["Duration"] = double(state.DurationSeconds);
        s["Rate"] = state.Rate;
        s["Paused"] = !state.Playing;
        s["HeldAtLiveEdge"] = state.HeldAtLiveEdge;
    } else {
        for (const char *key :
             {"PlaybackFile", "Position", "Duration", "Rate", "Paused", "HeldAtLiveEdge"})
            s[key] = QJsonValue::Null;
    }
    // Which control panel the user sees; unknown without the windows.
    s["TVPanel"] = e.Shell ? QJsonValue(e.Shell->TVPanelVisible()) : QJsonValue::Null;
    s["FMPanel"] = e.Shell ? QJsonValue(e.Shell->FMPanelVisible()) : QJsonValue::Null;
    s["Warning"] = WarningOpen() ? QJsonValue(OpenWarningText()) : QJsonValue::Null;
    // The modal dialog in front (the set-up wizard, a settings dialog), by
    // its caption.
    const QWindow *modal = qobject_cast<QGuiApplication *>(QCoreApplication::instance())
                               ? QGuiApplication::modalWindow()
                               : nullptr;
    s["Dialog"] = modal ? QJsonValue(modal->title()) : QJsonValue::Null;
    // A tune, seek or start-up is running; commands sent now run after it.
    s["Busy"] = WaitRunning();
    return s;
}

QByteArray RemoteStatusJson()
{
    return QJsonDocument(RemoteStatus()).toJson(QJsonDocument::Compact);
}
