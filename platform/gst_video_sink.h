// The video window's renderer: the filter the preview chain ends in. Two
// ways to show the picture:
//  - Overlay: a window-system sink (glimagesink, else ximagesink) draws
//    into the window's native handle through GstVideoOverlay. The sink
//    scales; no frame crosses into Qt. Lowest CPU on a real display.
//  - Frames: an appsink hands each frame (BGRx) to the window, which paints
//    it with QPainter. Works everywhere, including Xvfb without GL and Qt's
//    offscreen platform.
// xvimagesink is never tried: it fails under Xvfb and on many drivers.
//
// Threads: the filter is made and steered on the GUI thread. Frames arrive
// on the streaming thread; TakeFrame hands the newest one to the GUI thread
// under a mutex, and FrameReady is called (on the streaming thread) only when
// the previous frame has been taken, so a slow painter never queues frames.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <QImage>
#include <QRect>
#include <QString>

#include "platform/filter_graph.h"

enum class TVideoSinkKind { Overlay, Frames };

class TVideoSinkFilter : public TGraphFilter
{
public:
    ~TVideoSinkFilter() override;

    TVideoSinkKind Kind() const { return SinkKind; }
    // The window-system sink's element name ("glimagesink"...), or "appsink".
    QString SinkName() const { return ElementName; }

    // Overlay: the native window to draw into, and the part of it to fill.
    void SetWindowHandle(quintptr handle);
    void SetRenderRectangle(const QRect &rect);
    void Expose();
    // Overlay: the source crop of the digital zoom (pixels of the source
    // picture) and whether the sink keeps the aspect ratio.
    void SetCrop(const QRect &source, const QSize &sourceSize);
    void SetKeepAspect(bool keep);

    // Frames: the newest frame not yet taken (null image when none). The
    // image shares the GStreamer buffer; it stays valid while it is held.
    QImage TakeFrame();
    // Called on the streaming thread when a frame is waiting.
    std::function<void()> FrameReady;

    // Frames that reached the sink (both kinds), for tests and benchmarks.
    int64_t FrameCount() const { return Frames.load(); }
    // The size of the pictures the renderer receives, before any crop or
    // scaling of its own (0x0 before the first).
    QSize SourceSize() const;

private:
    friend std::shared_ptr<TVideoSinkFilter> CreateVideoSink(TVideoSinkKind, quintptr);
    TVideoSinkFilter(GstElement *bin, TVideoSinkKind kind, const QString &element);
    static GstPadProbeReturn CountFrames(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn LendWindow(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    void OnSample(GstSample *sample);

    TVideoSinkKind SinkKind;
    QString ElementName;
    GstElement *Sink = nullptr; // owned by the bin
    GstElement *Crop = nullptr; // overlay only
    std::atomic<int64_t> Frames{0};
    // Overlay: the native window the sink draws into (0: none yet).
    std::atomic<quintptr> Window{0};

    // Shared with the streaming thread.
    mutable std::mutex FrameMutex;
    GstSample *Pending = nullptr;
    bool Waiting = false; // FrameReady sent, frame not yet taken
    QSize Size;
};

// Overlay sinks in the order tried; none opens (no display, no GL): null.
// Frames: an appsink chain (never fails while GStreamer's base plugins exist).
std::shared_ptr<TVideoSinkFilter> CreateVideoSink(TVideoSinkKind kind, quintptr windowHandle = 0);

// Whether an overlay sink can work in this process (an X11 display and a
// native-window Qt platform). Decided once.
bool OverlaySinkAvailable();
