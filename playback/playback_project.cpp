#include "playback/playback_project.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <algorithm>

#include "app/main_info.h"
#include "capture/sample_grabber.h"
#include "platform/filter_graph.h"
#include "platform/filter_registry.h"
#include "platform/gui_wait.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "platform/video_output.h"
#include "playback/file_source.h"
#include "playback/snapshot_info.h"

TPlaybackWindowHooks PlaybackWindowHooks;

namespace {

constexpr qint64 NsPerSecond = 1000000000;

} // namespace

TPlaybackProject::TPlaybackProject(bool pipPlayback, bool audioOnly)
    : AudioOnly(audioOnly), PipPlayback(pipPlayback), FilterGraph(std::make_unique<TFilterGraph>()),
      Timer(std::make_unique<QTimer>())
{
    FilterGraph->Mode = TFilterGraph::ModeNormal;
    FilterGraph->OnGraphComplete = [this] {
        RunOutsideWaits(
            Timer.get(), [this] { Completed(); }, &AtEnd);
    };
    FilterGraph->OnGraphError = [this](const TGraphError &error) {
        qCWarning(lcGst) << "playback of" << FileName << "failed:" << error.Text << error.Debug;
        // Nothing more will come: the playback ends where it is.
        RunOutsideWaits(
            Timer.get(), [this] { Completed(); }, &AtEnd);
    };
    Timer->setInterval(1000);
    QObject::connect(Timer.get(), &QTimer::timeout, [this] {
        RunOutsideWaits(
            Timer.get(), [this] { Tick(); }, this);
    });
    SavedWindowVisible =
        PlaybackWindowHooks.MainWindowVisible ? PlaybackWindowHooks.MainWindowVisible() : true;
    if (AudioOnly)
        return;
    if (!SavedWindowVisible && PlaybackWindowHooks.SetMainWindowVisible)
        PlaybackWindowHooks.SetMainWindowVisible(true);
    Grabber = std::make_unique<TSampleGrabberEx>(TSampleGrabberEx::KindRGB24);
    if (IVideoWindowHost *host = VideoWindowHost()) {
        TVideoWindowRequest request;
        request.DoNotUseOverlay = MainInfo && MainInfo->DoNotUseOverlay;
        request.Inset = PipPlayback;
        VideoWindow = host->CreateVideoWindow(request);
        if (VideoWindow)
            VideoWindow->OnDestroyed = [this] { VideoWindow = nullptr; };
    }
}

TPlaybackProject::~TPlaybackProject()
{
    Timer->stop();
    Seeking = false;
    FilterGraph->OnGraphComplete = nullptr;
    FilterGraph->OnGraphError = nullptr;
    if (FilterGraph->Active())
        FilterGraph->ClearGraph();
    if (Grabber)
        Grabber->LeaveGraph();
    if (VideoWindow) {
        VideoWindow->OnDestroyed = nullptr;
        VideoWindow->SetFilterGraph(nullptr);
        delete VideoWindow;
        VideoWindow = nullptr;
    }
    FilterGraph->SetActive(false);
    Source.reset();
    AudioChain.reset();
    Grabber.reset();
    if (!AudioOnly && PlaybackWindowHooks.SetMainWindowVisible &&
        (!PlaybackWindowHooks.MainWindowVisible ||
         PlaybackWindowHooks.MainWindowVisible() != SavedWindowVisible))
        PlaybackWindowHooks.SetMainWindowVisible(SavedWindowVisible);
}

bool TPlaybackProject::Build()
{
    BuildError.clear();
    FilterGraph->SetActive(false);
    const TMediaFileInfo info = InspectMediaFile(FileName);
    if (!info.Readable) {
        BuildError = info.Error;
        return false;
    }
    if (!FilterGraph->SetActive(true)) {
        BuildError = FilterGraph->LastError();
        return false;
    }
    const bool video = info.HasVideo && !AudioOnly;
    if (video && VideoWindow) {
        VideoWindow->SetFilterGraph(FilterGraph.get());
        if (OnVideoWindow)
            OnVideoWindow(*this, VideoWindow, true);
    }
    if (video && Grabber && !Grabber->JoinGraph(FilterGraph.get(), "PlaybackSnapshot"))
        Grabber.reset();
    Source = std::make_shared<TFileSourceFilter>(FileName, video, info.HasAudio);
    if (!FilterGraph->AddFilter(Source, "FileSource") || !RenderStreams()) {
        BuildError = FilterGraph->LastError();
        return false;
    }
    // The tap stays only where it carries the picture.
    TPin *tapIn = Grabber && Grabber->Filter()
                      ? TFilterGraph::FindPin(Grabber->Filter(), TPinDirection::Input)
                      : nullptr;
    if (Grabber && !(tapIn && tapIn->IsConnected())) {
        Grabber->LeaveGraph();
        Grabber.reset();
    }
    // Prerolled, the graph answers the length; a file that cannot seek
    // plays on without position.
    Seeking = FilterGraph->Pause() && FilterGraph->WaitForState(10000) && info.Seekable &&
              FilterGraph->Duration() > 0;
    if (FilterGraph->State() < GST_STATE_PAUSED) {
        BuildError = FilterGraph->LastError();
        return false;
    }
    if (!Seeking)
        ShowWarning(1009);
    return true;
}

bool TPlaybackProject::RenderStreams()
{
    auto *source = static_cast<TFileSourceFilter *>(Source.get());
    if (TPin *pin = source->VideoPin()) {
        TGraphFilter *tap = Grabber ? Grabber->Filter() : nullptr;
        TGraphFilter *renderer = VideoWindow ? VideoWindow->Renderer() : nullptr;
        if (!FilterGraph->RenderStreamFromPin(pin, tap, renderer))
            return false;
    }
    if (TPin *pin = source->AudioPin()) {
        // Faster and slower rates keep the pitch.
        AudioChain = CreateChainFilter(
            "Tempo",
            "audioconvert name=first ! scaletempo ! audioconvert ! audioresample name=last",
            {{"Input", "first", "sink", TMediaKind::Audio}},
            {{"Output", "last", "src", TMediaKind::Audio}});
        if (!AudioChain || !FilterGraph->AddFilter(AudioChain, "Tempo") ||
            !FilterGraph->RenderStreamFromPin(pin, AudioChain.get(), nullptr))
            return false;
    }
    return true;
}

bool TPlaybackProject::Play()
{
    if (AtEnd || GetPositionPercent() >= PositionScale)
        SeekPercent(1);
    AtEnd = false;
    Playing = FilterGraph->Active() && FilterGraph->Run();
    if (Playing)
        Timer->start();
    else
        Timer->stop();
    return Playing;
}

bool TPlaybackProject::Pause()
{
    bool paused = FilterGraph->Pause();
    if (!paused) {
        GuiWait(200);
        paused = FilterGraph->Pause();
    }
    Playing = !paused;
    if (Playing)
        Timer->start();
    else
        Timer->stop();
    return paused;
}

bool TPlaybackProject::Stop()
{
    const bool stopped = FilterGraph->Stop();
    if (stopped)
        Playing = false;
    if (!Playing)
        Timer->stop();
    return stopped;
}

int TPlaybackProject::GetPositionPercent()
{
    if (!Seeking)
        return 0;
    const qint64 stop = FilterGraph->Duration();
    const qint64 current = FilterGraph->CurrentPosition();
    if (stop <= 0 || current < 0) {
        PositionSeconds = DurationSeconds = 0;
        return 0;
    }
    DurationSeconds = int32_t(stop / NsPerSecond);
    if (StepPercent < 1)
        StepPercent = StepPercentFor(DurationSeconds, PositionScale);
    PositionSeconds = int32_t(current / NsPerSecond);
    if (DurationSeconds == 0) {
        PositionSeconds = 0;
        return 0;
    }
    return PositionSeconds * PositionScale / DurationSeconds;
}

void TPlaybackProject::SeekPercent(int percent)
{
    if (!Seeking || percent < 0 || percent > PositionScale)
        return;
    const qint64 total = FilterGraph->Duration();
    if (total <= 0)
        return;
    DurationSeconds = int32_t(total / NsPerSecond);
    const qint64 target = total * percent / PositionScale;
    if (FilterGraph->SetPositions(target)) {
        // Done when the graph stands at the new place again, so the next
        // step starts from there.
        FilterGraph->WaitForState(2000);
        PositionSeconds = int32_t(target / NsPerSecond);
        // A seek away from the end leaves the end behind.
        if (percent < PositionScale)
            AtEnd = false;
    }
    if (OnPosition)
        OnPosition(*this, percent, PositionSeconds, DurationSeconds);
}

void TPlaybackProject::StepForward()
{
    SeekPercent(std::min(PositionScale, GetPositionPercent() + StepPercent));
}

void TPlaybackProject::StepBackward()
{
    SeekPercent(std::max(0, GetPositionPercent() - StepPercent));
}

void TPlaybackProject::SetRate(uint8_t index)
{
    if (index >= 7 || index == RateIndex)
        return;
    RateIndex = index;
    FilterGraph->SetRate(PlaybackRates[index]);
    if (FilterGraph->Rate() != PlaybackRates[index])
        ShowWarning(1028);
}

bool TPlaybackProject::TakeSnapshot()
{
    if (!Grabber || !SnapshotInfo)
        return false;
    QImage bitmap;
    if (!Grabber->GrabFrame(bitmap) || bitmap.isNull())
        return false;
    return SnapshotInfo->Insert(bitmap);
}

void TPlaybackProject::SetPipLayout(bool inset)
{
    if (VideoWindow)
        VideoWindow->SetInset(inset);
}

void TPlaybackProject::ResizePip(int width, int height)
{
    // The inset is one third of its owner, which the window computes from
    // the owner's new size itself; here it only has to be the inset.
    if (VideoWindow && width > 0 && height > 0)
        VideoWindow->SetInset(true);
}

int64_t TPlaybackProject::FramesShown() const
{
    return Grabber ? Grabber->FrameCount() : 0;
}

void TPlaybackProject::Tick()
{
    if (!Playing)
        return;
    const int percent = GetPositionPercent();
    if (OnPosition)
        OnPosition(*this, percent, PositionSeconds, DurationSeconds);
}

void TPlaybackProject::Completed()
{
    // At the end nothing plays: the clock stops, and a resume starts again
    // near the beginning.
    AtEnd = true;
    Playing = false;
    Timer->stop();
    if (Seeking && FilterGraph->Duration() > 0) {
        DurationSeconds = int32_t(FilterGraph->Duration() / NsPerSecond);
        PositionSeconds = DurationSeconds;
        if (OnPosition)
            OnPosition(*this, PositionScale, PositionSeconds, DurationSeconds);
    }
    if (OnPlaybackEnd)
        OnPlaybackEnd(*this);
}
