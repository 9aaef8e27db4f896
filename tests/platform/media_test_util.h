// Shared helpers of the media tests: running pipelines to their end and
// reading files back through GStreamer's discoverer.
#pragma once

#include <QString>
#include <string>

#include <gst/gst.h>

// What the discoverer finds in a file.
struct TDiscovered
{
    bool Ok = false;
    std::string Error;
    int ContainerMpegVersion = 0; // the program stream: 1 or 2
    int VideoMpegVersion = 0;
    int Width = 0, Height = 0;
    int FpsN = 0, FpsD = 1;
    int AudioRate = 0, AudioChannels = 0;
    int AudioLayer = 0;
    GstClockTime Duration = GST_CLOCK_TIME_NONE;
};

TDiscovered Discover(const QString &path);

// Builds a pipeline from a description (Lyra's elements registered).
GstElement *Launch(const QString &description);

// Plays the pipeline until end of stream or an error; returns the error
// text, empty on a clean end. `timeoutMs` bounds the wait.
std::string RunToEnd(GstElement *pipeline, int timeoutMs = 60000);

// Builds a pipeline from a description and plays it to its end (how the
// tests make their media files); the error text, empty on a clean end.
std::string RunPipelineToEnd(const QString &description, int timeoutMs = 60000);

// Waits for the next error message on the pipeline's bus; empty when none
// came within the time.
std::string WaitForError(GstElement *pipeline, int timeoutMs);

// The number of pictures a file decodes to (GStreamer's MPEG-2 decoding
// may mistime a B picture too small to start a packet of its own, so the
// tests count pictures rather than measure their span).
int DecodedVideoFrames(const QString &path);
