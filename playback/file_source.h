// The source side of a file playback: the file, its demuxer and decoders
// (decodebin), as one graph filter with an output pin for each kind of
// stream the file has - "Video" (raw pictures) and "Audio" (raw sound).
// What the file holds is found out first (GStreamer's discoverer), so that
// the pins exist before the graph is rendered; the decoders' pads join them
// when the graph starts. A second stream of a kind, or a stream whose pin
// was not asked for, ends in a sink inside the filter.
#pragma once

#include <QString>

#include "platform/filter_graph.h"

struct TMediaFileInfo
{
    bool Readable = false;
    bool HasVideo = false;
    bool HasAudio = false;
    bool Seekable = false;
    qint64 DurationNs = -1;
    // GStreamer's reason when the file cannot be played.
    QString Error;
};

// Looks into the file (a few seconds at most). Readable is false with an
// Error when GStreamer cannot decode any stream of it.
TMediaFileInfo InspectMediaFile(const QString &fileName);

class TFileSourceFilter : public TGraphFilter
{
public:
    // Pins for video and for audio as asked; false ones are not made.
    TFileSourceFilter(const QString &fileName, bool videoPin, bool audioPin);

    TPin *VideoPin() const { return PinByName("Video"); }
    TPin *AudioPin() const { return PinByName("Audio"); }

private:
    static void PadAdded(GstElement *decoder, GstPad *pad, gpointer self);
    GstElement *VideoEnd = nullptr; // owned by the bin
    GstElement *AudioEnd = nullptr;
};
