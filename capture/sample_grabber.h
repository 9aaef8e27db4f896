// TSampleGrabberEx: the frame tap ("Snapshot") that the preview chain
// carries in front of the renderer. It keeps the last frame that went
// through it; GrabFrame turns that frame into a 24-bit RGB picture.
//
// Threads: the streaming thread stores each frame (a buffer reference, no
// copy) under FrameMutex; GrabFrame and the rest run on the GUI thread.
#pragma once

#include <cstdint>
#include <mutex>

#include <QImage>

#include "platform/filter_graph.h"

class TSampleGrabberEx
{
public:
    // 1 = YUY2, 2 = UYVY, 0 = RGB24.
    enum TColorKind : uint8_t { KindRGB24 = 0, KindYUY2 = 1, KindUYVY = 2 };

    explicit TSampleGrabberEx(uint8_t colorKind);
    ~TSampleGrabberEx();
    TSampleGrabberEx(const TSampleGrabberEx &) = delete;
    TSampleGrabberEx &operator=(const TSampleGrabberEx &) = delete;

    const uint8_t GrabberColorKind;

    // Creates the filter, adds it to the graph and starts keeping frames.
    bool JoinGraph(TFilterGraph *graph, const QString &name = "Snapshot");
    // Removes the filter (if still in the graph) and drops the kept frame.
    void LeaveGraph();
    TGraphFilter *Filter() const { return GrabberFilter.get(); }

    // The last frame as a top-down 24-bit RGB picture of the frame's size.
    // False (and `bitmap` untouched) when no frame was kept yet, the tap is
    // not in a graph, the graph is stopped, or the frame cannot be read.
    bool GrabFrame(QImage &bitmap) const;

    // Frames seen so far (tests).
    int64_t FrameCount() const;

private:
    static GstPadProbeReturn Keep(GstPad *pad, GstPadProbeInfo *info, gpointer self);

    TFilterPtr GrabberFilter;
    TFilterGraph *Graph = nullptr;
    GstPad *TapPad = nullptr;
    gulong Probe = 0;

    // Written on the streaming thread, read on the GUI thread.
    mutable std::mutex FrameMutex;
    GstBuffer *LastBuffer = nullptr;
    GstCaps *LastCaps = nullptr;
    int64_t Frames = 0;
};

// Converts one packed YUV 4:2:2 frame (YUY2 or UYVY, BT.601 studio range)
// to a top-down RGB888 picture; each pixel takes its own Y and the U and V
// of the pair it belongs to. `stride` is the source row length in bytes.
// Null image for a bad size or format.
QImage ConvertYUV422ToRGB(const uint8_t *data, int width, int height, int stride, bool uyvy);
