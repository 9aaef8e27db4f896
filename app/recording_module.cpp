#include "app/recording_module.h"

#include <QFile>
#include <QFileInfo>

#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "app/startup.h"
#include "capture/capture_info.h"
#include "capture/recording_repair.h"
#include "platform/log.h"
#include "platform/program_folder.h"
#include "platform/safe_file.h"
#include "playback/playback_info.h"

namespace {

int CurrentChannel()
{
    const IChannelControl *c = ModeEngines.Channels;
    return c && c->Source() == SourceTuner ? c->CurrentNumber() : 0;
}

bool FMPanelShown()
{
    if (StartupHooks.FMPanelVisible)
        return StartupHooks.FMPanelVisible();
    return CaptureInfo && CaptureInfo->FMMode;
}

// The engine's events go to the shell; set before every start, as the
// engine may have been recreated since.
void Wire(TCaptureInfo &engine)
{
    engine.FMPanelVisible = FMPanelShown;
    engine.OnRecordTick = [](bool stop, bool, int64_t freeAboveMinimum, int64_t used,
                             int64_t elapsed) {
        TRecordingProgress progress;
        progress.ElapsedSeconds = elapsed;
        progress.FileSize = used;
        progress.MustStop = stop;
        progress.FreeSpace = freeAboveMinimum;
        progress.Quiet = CaptureInfo && CaptureInfo->Quiet;
        NotifyRecordingProgress(progress);
    };
    // Time-shift playback becomes possible: the menus follow.
    engine.OnTimeShiftReady = [](bool) {
        if (MainInfo)
            NotifyModeChanged(MainInfo->AppMode);
    };
}

// The marker: start time, audio-only flag, channel and the file, one a line.
void WriteMarker(const TCaptureInfo &engine, bool audioOnly)
{
    const QByteArray text = QByteArray::number(DateTimeToDays(engine.RecordStartTime), 'f', 8) +
                            "\n" + (audioOnly ? "1" : "0") + "\n" +
                            QByteArray::number(CurrentChannel()) + "\n" +
                            engine.CaptureFileName.toUtf8() + "\n";
    QString error;
    if (!WriteFileSafely(RecordingMarkerPath(), text, &error))
        qCWarning(lcFiles) << "cannot note the recording in progress:" << error;
}

void RemoveMarker()
{
    QFile::remove(RecordingMarkerPath());
}

bool AudioOnlyKind(int kind)
{
    return kind == TCaptureInfo::KindWave || kind == TCaptureInfo::KindMP3;
}

class TRecordingEngine : public IRecordingEngine
{
public:
    bool StartRecording() override
    {
        if (!CaptureInfo)
            return false;
        Wire(*CaptureInfo);
        if (!CaptureInfo->StartRecording())
            return false;
        AudioOnly = AudioOnlyKind(CaptureInfo->RecordKind());
        WriteMarker(*CaptureInfo, AudioOnly);
        return true;
    }
    bool StopRecording(TFinishedRecording *finished) override
    {
        if (!CaptureInfo || !CaptureInfo->StopRecording())
            return false;
        RemoveMarker();
        const QString file = CaptureInfo->CaptureFileName;
        if (finished && !file.isEmpty() && QFileInfo::exists(file)) {
            finished->Start = CaptureInfo->RecordStartTime;
            finished->End = QDateTime::currentDateTime();
            finished->FileName = file;
            finished->AudioOnly = AudioOnly;
        }
        return true;
    }
    bool IsRecording() const override { return CaptureInfo && CaptureInfo->Capturing; }
    QString FileName() const override
    {
        return CaptureInfo ? CaptureInfo->CaptureFileName : QString();
    }
    qint64 ElapsedSeconds() const override { return CaptureInfo ? CaptureInfo->ElapsedSeconds : 0; }
    qint64 UsedBytes() const override { return CaptureInfo ? CaptureInfo->UsedSpace : -1; }

private:
    bool AudioOnly = false;
};

class TTimeShiftEngine : public ITimeShiftEngine
{
public:
    bool StartTimeShift() override
    {
        if (!CaptureInfo)
            return false;
        Wire(*CaptureInfo);
        if (!CaptureInfo->StartTimeShift())
            return false;
        // A kept result becomes a done-list entry when it stops.
        Keep = CaptureInfo->SaveTimeShiftResult;
        if (Keep) {
            Start = QDateTime::currentDateTime();
            WriteMarker(*CaptureInfo, false);
        }
        return true;
    }
    bool StopTimeShift() override
    {
        if (!CaptureInfo)
            return false;
        const bool stopped = CaptureInfo->StopTimeShift();
        if (Keep && stopped) {
            RemoveMarker();
            TDoneRecording item;
            item.Recording.Start = Start;
            item.Recording.End = QDateTime::currentDateTime();
            item.Recording.FileName = CaptureInfo->CaptureFileName;
            item.Channel = CurrentChannel();
            AddDone(item, "Time Shifting");
        }
        Keep = false;
        return stopped;
    }
    bool PlaybackAllowed() const override
    {
        return CaptureInfo && CaptureInfo->TimeShiftRecording() && CaptureInfo->TimeShiftReady;
    }
    // The small still picture of the time-shift screen belongs to the
    // time-shift player's windows; the recording side has none to toggle.
    void TogglePreviewImage() override
    {
        qCInfo(lcApp) << "time shift: no still picture to toggle";
    }

    static void AddDone(const TDoneRecording &done, const QString &description);

private:
    bool Keep = false;
    QDateTime Start;
};

void TTimeShiftEngine::AddDone(const TDoneRecording &done, const QString &description)
{
    if (!PlaybackInfo)
        return;
    auto item = std::make_unique<TPlaybackItem>();
    item->StartTime = DateTimeToDays(done.Recording.Start);
    item->EndTime = DateTimeToDays(done.Recording.End);
    item->Channel = done.Channel;
    item->Scheduled = done.Scheduled;
    item->AudioOnly = done.Recording.AudioOnly;
    item->FileName = done.Recording.FileName;
    item->Description = description;
    // Written at once as well as at exit: a crash later in the run must not
    // lose the entry of a file that is on disk.
    if (PlaybackInfo->AddDoneItem(std::move(item)))
        PlaybackInfo->SaveDoneList(ProgramFolder::File("PLAYITEMS.LST"));
}

class TPlayLists : public IPlayLists
{
public:
    void AddDoneItem(const TDoneRecording &item) override
    {
        TTimeShiftEngine::AddDone(item, item.Scheduled ? "Scheduled" : QString());
    }
};

TRecordingEngine g_recording;
TTimeShiftEngine g_timeShift;
TPlayLists g_playLists;

} // namespace

QString RecordingMarkerPath()
{
    return ProgramFolder::File("RECORDING.CUR");
}

void RecoverInterruptedRecording()
{
    QFile marker(RecordingMarkerPath());
    if (!marker.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = marker.readAll().split('\n');
    marker.close();
    marker.remove();
    if (lines.size() < 4)
        return;
    const QString file = QString::fromUtf8(lines[3]);
    if (file.isEmpty() || !QFileInfo::exists(file))
        return;
    if (!RepairRecording(file))
        qCWarning(lcFiles) << "the interrupted recording" << file << "could not be repaired";
    TDoneRecording done;
    done.Recording.Start = DaysToDateTime(lines[0].toDouble());
    done.Recording.End = QFileInfo(file).lastModified();
    done.Recording.FileName = file;
    done.Recording.AudioOnly = lines[1] == "1";
    done.Channel = lines[2].toInt();
    const bool timeShift = file.endsWith(".mpv");
    TTimeShiftEngine::AddDone(done, timeShift ? "Time Shifting" : QString());
    if (MainInfo && !timeShift)
        MainInfo->LastCaptureFile = file;
    qCInfo(lcFiles) << "listed the recording cut by the last run:" << file;
}

void InitializeRecordingModule()
{
    if (!PlaybackInfo) {
        PlaybackInfo = new TPlaybackInfo;
        PlaybackInfo->LoadDoneList(ProgramFolder::File("PLAYITEMS.LST"));
        PlaybackInfo->LoadRecentList(ProgramFolder::File("PLAYRECENT.LST"));
    }
    RecoverInterruptedRecording();
    ModeEngines.Recording = &g_recording;
    ModeEngines.TimeShift = &g_timeShift;
    ModeEngines.PlayLists = &g_playLists;
}

void FinalizeRecordingModule()
{
    if (ModeEngines.Recording == &g_recording)
        ModeEngines.Recording = nullptr;
    if (ModeEngines.TimeShift == &g_timeShift)
        ModeEngines.TimeShift = nullptr;
    if (ModeEngines.PlayLists == &g_playLists)
        ModeEngines.PlayLists = nullptr;
    if (PlaybackInfo) {
        PlaybackInfo->SaveDoneList(ProgramFolder::File("PLAYITEMS.LST"));
        PlaybackInfo->SaveRecentList(ProgramFolder::File("PLAYRECENT.LST"));
        delete PlaybackInfo;
        PlaybackInfo = nullptr;
    }
}
