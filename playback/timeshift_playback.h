// Time-shift playback: plays the time-shift recording behind the recorder
// while it is written, or a kept time-shift file from the disk.
//
// Two graphs:
// - the file graph: the growing-file source ("Async Source Filter") on the
//   ".mpv", its program stream split into pictures (through the snapshot
//   tap to the video window) and sound; a companion ".mpa", when one
//   exists, plays in a second graph that follows every play, pause, stop
//   and seek of the first;
// - the splitter graph (a stored ".mpv"): source, "HT MPEG TimeShift" with
//   its pre-placed decoders, no snapshot tap.
//
// Positions are exchanged as percentages 0..PositionScale. The length of a
// live recording is what the recorder has written so far (RecordedSeconds);
// a seek never lands closer than 10 s (file graph) or 5 s (splitter) to
// that end, and the one-second timer holds playback at the recorded end and
// resumes it once more has been recorded.
//
// GUI thread only; the timer's work goes through RunOutsideWaits.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/filter_graph.h"

class QTimer;
class IVideoWindow;
class ITimeShiftSource;
class TSampleGrabberEx;

class TTimeShiftPlaybackProject
{
public:
    TTimeShiftPlaybackProject(bool pipPlayback, bool splitterMode);
    ~TTimeShiftPlaybackProject();
    TTimeShiftPlaybackProject(const TTimeShiftPlaybackProject &) = delete;
    TTimeShiftPlaybackProject &operator=(const TTimeShiftPlaybackProject &) = delete;

    const bool SplitterMode;
    bool Playing = false;
    QString VideoFileName;
    QString AudioFileName;
    bool UseAudioGraph;
    bool HeldAtLiveEdge = false;
    int32_t TickCount = 0;
    // The files are still being written: the source waits at their end.
    bool LiveSource;
    int32_t PositionSeconds = 0;
    int32_t DurationSeconds = 0;
    const int32_t PositionScale = 100;
    int32_t StepPercent = 0;
    // Paint the pictures through the toolkit (the user's overlay choice).
    bool DoNotUseOverlay = false;

    // (engine, percent, position seconds, duration seconds)
    std::function<void(TTimeShiftPlaybackProject *, int, int, int)> OnPosition;
    // (engine, window, attached): the window has joined the graph (true) or
    // is about to be freed (false).
    std::function<void(TTimeShiftPlaybackProject *, IVideoWindow *, bool)> OnVideoWindow;
    // Seconds the recorder has written so far (the capture engine's clock).
    std::function<int64_t()> RecordedSeconds;

    bool BuildGraph();
    bool Play();
    bool Pause();
    bool Stop();
    int GetPositionPercent();
    void SeekPercent(int percent);
    void StepForward();
    void StepBackward();
    // The one-second timer's work: the catch-up rule.
    void TimerTick();
    // The current picture, first in the snapshot list.
    bool TakeSnapshot();
    void SetPipLayout(bool inset);
    void ResizePip(int width, int height);
    bool PipLayout() const { return Inset; }

    TFilterGraph *VideoGraph() const { return Video.get(); }
    TFilterGraph *AudioGraph() const { return Audio.get(); }
    QTimer *Timer() const { return TickTimer.get(); }
    // The renderer the pictures end in (tests and benchmarks watch it).
    TGraphFilter *VideoRenderer() const { return Renderer; }
    TGraphFilter *Splitter() const;
    TSampleGrabberEx *Grabber() const { return SnapshotTap.get(); }

private:
    bool BuildFileGraph();
    bool BuildSplitterGraph();
    bool AttachVideoWindow();
    TFilterPtr AddSource(TFilterGraph &graph, const QString &file, const QString &name);
    // Splits a program stream and renders its pictures (through `tap` when
    // given) and its sound.
    bool RenderProgramStream(TPin *out, TGraphFilter *tap);
    bool RenderBranch(TPin *from, TFilterPtr decoder, TGraphFilter *tap, TGraphFilter *sink);
    bool RenderElementaryAudio(TFilterGraph &graph, TPin *out);
    void AddDecodersAndSplitter();
    void RemoveUnusedVendorFilters();
    ITimeShiftSource *SourceInterface() const;
    bool UsesRecordedLength() const;
    int64_t RecordedLength();

    std::unique_ptr<TFilterGraph> Video;
    std::unique_ptr<TFilterGraph> Audio;
    std::unique_ptr<QTimer> TickTimer;
    std::unique_ptr<TSampleGrabberEx> SnapshotTap;
    IVideoWindow *Window = nullptr;
    TGraphFilter *Renderer = nullptr;
    bool Inset = false;
    TFilterPtr VideoSource, AudioSource;
    TFilterPtr VideoDecoder, AudioDecoder, SplitterFilter;
};
