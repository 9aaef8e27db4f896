// Starting and stopping recordings and time shifts, the free-space guard
// and the one-second recording clock.
#include <QFile>
#include <limits>

#include <sys/statvfs.h>

#include "app/main_info.h"
#include "capture/preview_util.h"
#include "platform/gui_wait.h"
#include "platform/video_output.h"

namespace {

void Warn(const TCaptureInfo &engine, int number)
{
    if (!engine.Quiet)
        ShowWarning(number);
    else
        qCWarning(lcApp) << "recording: message" << number << "(quiet)";
}

} // namespace

int64_t TCaptureInfo::FileSystemFreeBytes(const QString &folder)
{
    struct statvfs fs
    {
    };
    if (folder.isEmpty() || statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return -1;
    return int64_t(fs.f_bavail) * int64_t(fs.f_frsize);
}

bool TCaptureInfo::StartRecording()
{
    RecordPurpose = 0;
    return StartRecordingGraph();
}

bool TCaptureInfo::StartRecordingGraph()
{
    if (Capturing || !FilterGraph)
        return false;
    // 1. The free space where the file goes (FM recordings have a folder
    // of their own).
    StartFreeSpace = DiskFreeBytes ? DiskFreeBytes(RecordFolder()) : -1;
    if (StartFreeSpace < MinFreeSpace) {
        qCInfo(lcApp) << "recording: only" << StartFreeSpace << "bytes free in" << RecordFolder();
        Warn(*this, 1100);
        return false;
    }
    // 2. Build; connections change only on a stopped graph.
    StopGraph();
    RecordWriteError.clear();
    const bool wis = MainInfo && MainInfo->IsWisFamily;
    const bool built = wis ? BuildWisRecording() : BuildRecording();
    if (!built) {
        qCInfo(lcApp) << "recording: the graph for" << CaptureFileName << "was not built";
        DropRecordingFilters();
        return false;
    }
    // Write errors arrive as graph errors; they end the recording the way
    // a full disk does. Whatever handled graph errors before still sees them.
    if (!GraphErrorHooked) {
        PreviousGraphError = FilterGraph->OnGraphError;
        FilterGraph->OnGraphError = [this](const TGraphError &error) { OnRecordGraphError(error); };
        GraphErrorHooked = true;
    }
    // 3. Run.
    const bool running = RunGraph();
    if (running && !FMMode && VideoWindow && VideoWindow->OverlayInUse())
        VideoWindow->SetAspectRatio(IVideoWindow::AspectStretched);
    // 4. The clock runs exactly while recording.
    Capturing = running;
    ElapsedSeconds = UsedSpace = 0;
    TimeShiftReady = 0;
    RecordStartTime = QDateTime::currentDateTime();
    if (RecordTimer) {
        if (Capturing)
            RecordTimer->start();
        else
            RecordTimer->stop();
    }
    if (!running) {
        qCWarning(lcApp) << "recording: the graph does not run:" << FilterGraph->LastError();
        StopGraph();
        DropRecordingFilters();
        UnhookGraphError();
    }
    return Capturing;
}

bool TCaptureInfo::StopRecording()
{
    if (!FilterGraph)
        return false;
    const bool stopped = StopGraph();
    if (stopped)
        Capturing = 0;
    if (RecordTimer && !Capturing)
        RecordTimer->stop();
    if (!Capturing) {
        UnhookGraphError();
        DropRecordingFilters();
    }
    return stopped;
}

void TCaptureInfo::DropRecordingFilters()
{
    TFilterGraph *graph = FilterGraph.get();
    for (TFilterPtr *f : {&VideoEncoder, &Multiplexer, &AudioEncoder, &FileWriter}) {
        if (*f && graph && (*f)->Graph == graph) {
            graph->RemoveDownstream(f->get());
            for (TPin *in : (*f)->PinList(TPinDirection::Input))
                graph->Disconnect(in);
            graph->RemoveFilter(f->get());
        }
        f->reset();
    }
}

void TCaptureInfo::UnhookGraphError()
{
    if (!GraphErrorHooked)
        return;
    if (FilterGraph)
        FilterGraph->OnGraphError = PreviousGraphError;
    PreviousGraphError = nullptr;
    GraphErrorHooked = false;
}

void TCaptureInfo::OnRecordGraphError(const TGraphError &error)
{
    // An error of the encoders, multiplexer or file writer is the
    // recording's own (a write that failed); anything else, such as a card
    // that went away, is the preview's and handled there.
    bool ours = false;
    for (const TFilterPtr *f : {&VideoEncoder, &Multiplexer, &AudioEncoder, &FileWriter})
        ours = ours || (*f && !error.Filter.isEmpty() && (*f)->Name == error.Filter);
    if (!Capturing) {
        if (PreviousGraphError)
            PreviousGraphError(error);
        return;
    }
    if (!ours) {
        RunOutsideWaits(FilterGraph.get(), [this, error] { RecordingSourceFailed(error); });
        return;
    }
    if (!RecordWriteError.isEmpty())
        return;
    const QString text = error.Text;
    qCWarning(lcApp).noquote() << "recording:" << CaptureFileName << "ends:" << text;
    RecordWriteError = text;
    // Reported at once as a disk that is full: the shell stops the
    // recording and tells the user (message 1101).
    RunOutsideWaits(
        RecordTimer.get(),
        [this] {
            if (Capturing && OnRecordTick)
                OnRecordTick(true, RecordPurpose == 1, 0, UsedSpace, ElapsedSeconds);
        },
        &RecordWriteError);
}

void TCaptureInfo::RecordingSourceFailed(const TGraphError &error)
{
    // A later error of the same failure, or one of a run that has ended.
    if (!Capturing || !FilterGraph || error.Serial != FilterGraph->RunSerial()) {
        if (!Capturing && PreviousGraphError)
            PreviousGraphError(error);
        return;
    }
    const QString where = GraphErrorPlace(error);
    qCWarning(lcApp).noquote() << "recording:" << CaptureFileName << "ends: the source failed";
    // The end of stream still reaches the writer from the branches that
    // work, so what was written is a finished file; the preview is not run
    // again on the failed card.
    StopGraph();
    CardFailed = true;
    // The shell ends the recording as it does at the time limit (the file
    // is kept and listed); the free space reported is not a full disk's.
    if (OnRecordTick) {
        const int64_t free = DiskFreeBytes ? DiskFreeBytes(RecordFolder()) : -1;
        OnRecordTick(true, RecordPurpose == 1,
                     free >= 0 ? free - MinFreeSpace : std::numeric_limits<int64_t>::max(),
                     UsedSpace, ElapsedSeconds);
    }
    const QString detail = where.isEmpty() ? error.Text : where + ": " + error.Text;
    if (!Quiet)
        ShowWarningDetail(1002, detail);
}

void TCaptureInfo::RecordTick()
{
    if (!Capturing)
        return;
    // 1, 2.
    ++ElapsedSeconds;
    const bool timeShift = RecordPurpose == 1;
    if (timeShift && !TimeShiftReady && ElapsedSeconds > 10) {
        TimeShiftReady = 1;
        if (OnTimeShiftReady)
            OnTimeShiftReady(true);
    }
    // 3. At the limit (and after it, should a stop have failed).
    bool stop = !timeShift && TimeLimitEnabled && ElapsedSeconds >= TimeLimit;
    // 4. An unreadable file system gives no reading: the write itself
    // reports a failure.
    const int64_t free = DiskFreeBytes ? DiskFreeBytes(RecordFolder()) : -1;
    int64_t reported = MinFreeSpace + 1;
    if (free >= 0) {
        UsedSpace = std::max<int64_t>(0, StartFreeSpace - free);
        if (free <= MinFreeSpace)
            stop = true;
        reported = free;
    }
    if (!RecordWriteError.isEmpty()) {
        stop = true;
        reported = MinFreeSpace;
    }
    // 5.
    if (OnRecordTick)
        OnRecordTick(stop, timeShift, reported - MinFreeSpace, UsedSpace, ElapsedSeconds);
}

void TCaptureInfo::SaveCaptureSettings()
{
    SavedCaptureBlock = *this;
}

void TCaptureInfo::RestoreCaptureSettings()
{
    const TCaptureSettings &s = SavedCaptureBlock;
    CaptureFormat = s.CaptureFormat;
    CaptureAudioFormat = s.CaptureAudioFormat;
    BitRate = s.BitRate;
    FrameRateIndex = s.FrameRateIndex;
    CaptureQuality = s.CaptureQuality;
    CaptureWidth = s.CaptureWidth;
    CaptureHeight = s.CaptureHeight;
    TimeLimitEnabled = s.TimeLimitEnabled;
    TimeLimit = s.TimeLimit;
    UseDateTimeFileName = s.UseDateTimeFileName;
    CaptureBaseName = s.CaptureBaseName;
    CaptureAudioOption = s.CaptureAudioOption;
}

bool TCaptureInfo::StartTimeShift()
{
    SaveCaptureSettings();
    RecordPurpose = 1;
    if (StartRecordingGraph())
        return true;
    RestoreCaptureSettings();
    return false;
}

bool TCaptureInfo::StopTimeShift()
{
    const bool stopped = StopRecording();
    RestoreCaptureSettings();
    if (!SaveTimeShiftResult)
        for (const QString &file : TimeShiftCompanions(CaptureFileName))
            if (QFile::exists(file) && !QFile::remove(file))
                qCWarning(lcApp) << "cannot delete" << file;
    return stopped;
}
