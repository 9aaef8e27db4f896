// TPlaybackProject: plays one media file inside the main window - MPEG-1/2
// program streams, AVI and whatever else GStreamer's decoders take, and
// audio files without a video window. One exists at most, while ModePlay
// lasts (playback/play_file.h owns it).
//
// The graph is the file's source and decoders (one filter with a "Video"
// and an "Audio" pin for the streams the file has), the snapshot tap and
// the video window's renderer on the picture side, and a tempo-keeping
// converter before the sound renderer, so that the faster and slower rates
// keep the pitch.
//
// GUI thread only: commands, the one-second position clock and the graph's
// end-of-stream all arrive there; the clock's and the end's work goes
// through RunOutsideWaits.
#pragma once

#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

#include "playback/playback_files.h"

class IVideoWindow;
class TFilterGraph;
class TGraphFilter;
class TSampleGrabberEx;

// The main window's visibility as the engine keeps and restores it; the
// shell installs both (without them the engine leaves the window alone).
struct TPlaybackWindowHooks
{
    std::function<bool()> MainWindowVisible;
    std::function<void(bool visible)> SetMainWindowVisible;
};
extern TPlaybackWindowHooks PlaybackWindowHooks;

class TPlaybackProject
{
public:
    TPlaybackProject(bool pipPlayback, bool audioOnly);
    ~TPlaybackProject();
    TPlaybackProject(const TPlaybackProject &) = delete;
    TPlaybackProject &operator=(const TPlaybackProject &) = delete;

    bool Playing = false;
    const bool AudioOnly;
    bool SavedWindowVisible = true;
    QString FileName;
    int32_t PositionSeconds = 0;
    int32_t DurationSeconds = 0;
    const int32_t PositionScale = 100;
    uint8_t RateIndex = 0;
    int32_t StepPercent = 0;
    // The graph can seek (false: no position, no steps).
    bool Seeking = false;
    // The graph reported the end of the file; the engine stays there.
    bool AtEnd = false;
    // Why the last Build failed: GStreamer's reason.
    QString BuildError;

    std::function<void(TPlaybackProject &, int percent, int32_t position, int32_t duration)>
        OnPosition;
    std::function<void(TPlaybackProject &)> OnPlaybackEnd;
    std::function<void(TPlaybackProject &, IVideoWindow *, bool attached)> OnVideoWindow;

    bool Build();
    bool Play();
    bool Pause();
    bool Stop();
    int GetPositionPercent();
    void SeekPercent(int percent);
    void StepForward();
    void StepBackward();
    // Sets RateIndex; message 1028 when the graph did not take the rate.
    void SetRate(uint8_t index);
    void Faster() { SetRate(FasterRateIndex[RateIndex % 7]); }
    void Slower() { SetRate(SlowerRateIndex[RateIndex % 7]); }
    double Rate() const { return PlaybackRates[RateIndex % 7]; }
    bool TakeSnapshot();
    // The picture as the one-third inset over live video, or filling the
    // main window; the window keeps one third of its owner on every resize.
    void SetPipLayout(bool inset);
    void ResizePip(int width, int height);

    bool HasVideoWindow() const { return VideoWindow != nullptr; }
    IVideoWindow *Window() const { return VideoWindow; }
    TFilterGraph *Graph() const { return FilterGraph.get(); }
    // Frames that reached the snapshot tap (tests).
    int64_t FramesShown() const;

private:
    void Tick();
    void Completed();
    bool RenderStreams();

    bool PipPlayback;
    std::unique_ptr<TFilterGraph> FilterGraph;
    std::unique_ptr<QTimer> Timer;
    std::unique_ptr<TSampleGrabberEx> Grabber;
    IVideoWindow *VideoWindow = nullptr;
    std::shared_ptr<TGraphFilter> Source;
    std::shared_ptr<TGraphFilter> AudioChain;
};
