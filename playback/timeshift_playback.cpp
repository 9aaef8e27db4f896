// The time-shift player: its two graphs and their building.
#include "playback/timeshift_playback.h"

#include <QFileInfo>
#include <QImage>
#include <QTimer>

#include "capture/sample_grabber.h"
#include "platform/filter_registry.h"
#include "platform/gui_wait.h"
#include "platform/log.h"
#include "platform/media_filters.h"
#include "platform/messages.h"
#include "platform/ps_splitter_filter.h"
#include "platform/video_output.h"
#include "playback/snapshot_info.h"

namespace {

using Dir = TPinDirection;

TPin *Pin(TGraphFilter *filter, const char *name)
{
    return filter ? filter->PinByName(name) : nullptr;
}

TPin *FirstPin(TGraphFilter *filter, Dir direction)
{
    return filter ? TFilterGraph::FindPin(filter, direction) : nullptr;
}

bool AnyPinConnected(TGraphFilter *filter)
{
    for (const auto &pin : filter->Pins())
        if (pin->IsConnected())
            return true;
    return false;
}

} // namespace

TTimeShiftPlaybackProject::TTimeShiftPlaybackProject(bool pipPlayback, bool splitterMode)
    : SplitterMode(splitterMode), UseAudioGraph(!splitterMode), LiveSource(!splitterMode),
      Video(std::make_unique<TFilterGraph>()), Audio(std::make_unique<TFilterGraph>()),
      TickTimer(std::make_unique<QTimer>()), Inset(pipPlayback)
{
    TickTimer->setInterval(1000);
    // The tick pauses and plays the graphs: never inside a wait.
    QObject::connect(TickTimer.get(), &QTimer::timeout, [this] {
        RunOutsideWaits(
            TickTimer.get(), [this] { TimerTick(); }, this);
    });
}

TTimeShiftPlaybackProject::~TTimeShiftPlaybackProject()
{
    // The source stops waiting for more data before the graph goes down.
    if (ITimeShiftSource *source = SourceInterface())
        source->SetSourceState(0, 0);
    TickTimer->stop();
    Audio->ClearGraph();
    Audio->SetActive(false);
    // Stopped first: a paused graph's streaming thread waits in the
    // renderer, and taking a filter out under it would wait for that.
    Video->ClearGraph();
    if (SnapshotTap)
        SnapshotTap->LeaveGraph();
    SplitterFilter.reset();
    VideoDecoder.reset();
    AudioDecoder.reset();
    IVideoWindow *window = Window;
    Window = nullptr;
    if (window) {
        if (OnVideoWindow)
            OnVideoWindow(this, window, false);
        window->OnDestroyed = nullptr;
        window->SetFilterGraph(nullptr);
        delete window;
    }
    Video->SetActive(false);
}

TGraphFilter *TTimeShiftPlaybackProject::Splitter() const
{
    return SplitterFilter.get();
}

ITimeShiftSource *TTimeShiftPlaybackProject::SourceInterface() const
{
    return VideoSource ? VideoSource->Query<ITimeShiftSource>() : nullptr;
}

bool TTimeShiftPlaybackProject::BuildGraph()
{
    return SplitterMode ? BuildSplitterGraph() : BuildFileGraph();
}

bool TTimeShiftPlaybackProject::AttachVideoWindow()
{
    Renderer = nullptr;
    if (IVideoWindowHost *host = VideoWindowHost()) {
        if (!Window) {
            TVideoWindowRequest request;
            request.DoNotUseOverlay = DoNotUseOverlay;
            request.Inset = Inset;
            Window = host->CreateVideoWindow(request);
            if (Window)
                Window->OnDestroyed = [this] {
                    Window = nullptr;
                    Renderer = nullptr;
                };
        }
        if (Window) {
            Window->SetFilterGraph(Video.get());
            Renderer = Window->Renderer();
            if (OnVideoWindow)
                OnVideoWindow(this, Window, true);
        }
    }
    // Without a window (no shell: tools, benchmarks) the default renderer.
    if (!Renderer) {
        TFilterPtr renderer = CreateVideoRenderer();
        if (renderer && Video->AddFilter(renderer))
            Renderer = renderer.get();
    }
    return Renderer != nullptr;
}

TFilterPtr TTimeShiftPlaybackProject::AddSource(TFilterGraph &graph, const QString &file,
                                                const QString &name)
{
    TFilterPtr source = CreateRegisteredFilter("Async Source Filter");
    if (!source) {
        ShowWarning(1023);
        return nullptr;
    }
    auto *load = source->Query<IFileSourceFilter>();
    if (!graph.AddFilter(source, name) || !load || load->Load(file) != 0) {
        qCWarning(lcGst) << "time shift: cannot load" << file << graph.LastError();
        return nullptr;
    }
    // A finished file ends at its end instead of waiting for more.
    if (!LiveSource)
        if (auto *ts = source->Query<ITimeShiftSource>())
            ts->SetSourceState(0, 0);
    return source;
}

bool TTimeShiftPlaybackProject::RenderBranch(TPin *from, TFilterPtr decoder, TGraphFilter *tap,
                                             TGraphFilter *sink)
{
    if (!from || !decoder || !sink)
        return false;
    if (!decoder->Graph && !Video->AddFilter(decoder))
        return false;
    if (!Video->ConnectDirect(from, FirstPin(decoder.get(), Dir::Input)))
        return false;
    TPin *current = FirstPin(decoder.get(), Dir::Output);
    if (tap) {
        if (!Video->ConnectDirect(current, FirstPin(tap, Dir::Input)))
            return false;
        current = FirstPin(tap, Dir::Output);
    }
    return Video->ConnectDirect(current, FirstPin(sink, Dir::Input));
}

bool TTimeShiftPlaybackProject::RenderProgramStream(TPin *out, TGraphFilter *tap)
{
    auto splitter = std::make_shared<TProgramStreamSplitter>();
    if (!Video->AddFilter(splitter, "Splitter") ||
        !Video->ConnectDirect(out, Pin(splitter.get(), "Input")))
        return false;
    if (!RenderBranch(Pin(splitter.get(), "Video"), CreateTimeShiftVideoDecoder(), tap, Renderer))
        return false;
    // With a companion sound file the sound comes from there.
    if (QFileInfo::exists(AudioFileName))
        return true;
    TFilterPtr sound = CreateAudioRenderer();
    return sound && Video->AddFilter(sound) &&
           RenderBranch(Pin(splitter.get(), "Audio"), CreateTimeShiftAudioDecoder(), nullptr,
                        sound.get());
}

bool TTimeShiftPlaybackProject::RenderElementaryAudio(TFilterGraph &graph, TPin *out)
{
    TFilterPtr decoder = CreateTimeShiftAudioDecoder();
    TFilterPtr sound = CreateAudioRenderer();
    if (!decoder || !sound || !graph.AddFilter(decoder) || !graph.AddFilter(sound))
        return false;
    return graph.ConnectDirect(out, FirstPin(decoder.get(), Dir::Input)) &&
           graph.ConnectDirect(FirstPin(decoder.get(), Dir::Output),
                               FirstPin(sound.get(), Dir::Input));
}

bool TTimeShiftPlaybackProject::BuildFileGraph()
{
    // 1.
    Video->SetActive(false);
    if (!Video->SetActive(true) || !AttachVideoWindow())
        return false;
    SnapshotTap = std::make_unique<TSampleGrabberEx>(TSampleGrabberEx::KindRGB24);
    if (!SnapshotTap->JoinGraph(Video.get(), "TimeShiftSnapshot"))
        SnapshotTap.reset();
    // 2.
    VideoSource = AddSource(*Video, VideoFileName,
                            LiveSource ? "Async Source Filter" : "Video Source Filter");
    if (!VideoSource)
        return false;
    // 3.
    TPin *out = Pin(VideoSource.get(), "Output");
    if (!out) {
        ShowWarningText("Cannot find Video Async source filter output pin");
        return false;
    }
    if (!RenderProgramStream(out, SnapshotTap ? SnapshotTap->Filter() : nullptr)) {
        qCWarning(lcGst) << "time shift: render:" << Video->LastError();
        ShowWarningText("Cannot render Async source filter output pin");
        return false;
    }
    // 5.
    if (!SplitterMode)
        UseAudioGraph = QFileInfo::exists(AudioFileName);
    // 6.
    if (UseAudioGraph) {
        Audio->ClearGraph();
        Audio->SetActive(false);
        if (!Audio->SetActive(true))
            return false;
        AudioSource = AddSource(*Audio, AudioFileName,
                                LiveSource ? "Async Audio Source Filter" : "Audio Source Filter");
        if (!AudioSource)
            return false;
        TPin *audioOut = Pin(AudioSource.get(), "Output");
        if (!audioOut) {
            ShowWarningText("Cannot find Audio Async source filter output pin");
            return false;
        }
        if (!RenderElementaryAudio(*Audio, audioOut)) {
            ShowWarningText("Cannot render Audio Async source filter output pin");
            return false;
        }
    }
    return true;
}

void TTimeShiftPlaybackProject::AddDecodersAndSplitter()
{
    for (TFilterPtr *f : {&VideoDecoder, &AudioDecoder, &SplitterFilter})
        if (*f) {
            Video->RemoveFilter(f->get());
            f->reset();
        }
    auto place = [this](const char *fragment, const char *name) {
        TFilterPtr filter = CreateRegisteredFilter(fragment);
        if (filter && !Video->AddFilter(filter, name))
            filter.reset();
        return filter;
    };
    VideoDecoder = place("HT MPEG Video Decoder", "MPEGTimeShiftVideo");
    AudioDecoder = place("HT MPEG Audio Decoder", "MPEGTimeShiftAudio");
    SplitterFilter = place("HT MPEG TimeShift", "MPEG2Splitter");
}

void TTimeShiftPlaybackProject::RemoveUnusedVendorFilters()
{
    for (TFilterPtr *f : {&SplitterFilter, &VideoDecoder, &AudioDecoder})
        if (*f && !AnyPinConnected(f->get())) {
            Video->RemoveFilter(f->get());
            f->reset();
        }
}

bool TTimeShiftPlaybackProject::BuildSplitterGraph()
{
    // 1.
    if (!Video->Active() && !Video->SetActive(true))
        return false;
    // 2, 3.
    AddDecodersAndSplitter();
    // 4.
    if (!AttachVideoWindow())
        return false;
    // 5.
    VideoSource = AddSource(*Video, VideoFileName, "Async Source Filter");
    if (!VideoSource)
        return false;
    // 6.
    const bool built = [this] {
        TPin *out = Pin(VideoSource.get(), "Output");
        if (!out) {
            ShowWarningText("Cannot find Video Async source filter output pin");
            return false;
        }
        TPin *in = Pin(SplitterFilter.get(), "Input");
        if (!in || !Video->ConnectDirect(out, in)) {
            ShowWarningText("Cannot find time-shift input pin");
            return false;
        }
        TPin *video = Pin(SplitterFilter.get(), "Video");
        if (!video) {
            ShowWarningText("Cannot find time-shift video pin");
            return false;
        }
        TPin *audio = Pin(SplitterFilter.get(), "Audio");
        if (!audio) {
            ShowWarningText("Cannot find time-shift audio pin");
            return false;
        }
        // A render takes the decoder placed in the graph, else finds one.
        if (!RenderBranch(video, VideoDecoder ? VideoDecoder : CreateTimeShiftVideoDecoder(),
                          nullptr, Renderer)) {
            ShowWarningText("Cannot render Time-Shift filter video pin");
            return false;
        }
        TFilterPtr sound = CreateAudioRenderer();
        if (!sound || !Video->AddFilter(sound) ||
            !RenderBranch(audio, AudioDecoder ? AudioDecoder : CreateTimeShiftAudioDecoder(),
                          nullptr, sound.get())) {
            ShowWarningText("Cannot render Time-Shift filter audio pin");
            return false;
        }
        return true;
    }();
    // 7.
    RemoveUnusedVendorFilters();
    return built;
}

void TTimeShiftPlaybackProject::SetPipLayout(bool inset)
{
    Inset = inset;
    if (Window)
        Window->SetInset(inset);
}

void TTimeShiftPlaybackProject::ResizePip(int width, int height)
{
    // The window lays itself out at a third of its owner's size; the
    // owner's new size reaches it through its resize.
    Q_UNUSED(width);
    Q_UNUSED(height);
    if (Window)
        Window->SetInset(Inset);
}

bool TTimeShiftPlaybackProject::TakeSnapshot()
{
    QImage picture;
    if (!SnapshotInfo || !SnapshotTap || !SnapshotTap->GrabFrame(picture) || picture.isNull())
        return false;
    return SnapshotInfo->Insert(picture);
}
