// The program-stream splitter of time-shift playback: one input "Input"
// (an MPEG program stream, from the growing-file source) and two outputs,
// "Video" and "Audio" (the elementary streams, for their decoders). The
// outputs exist from the start so that the graph can be connected before
// the stream has been read; each takes its stream when the demuxer finds
// it. An output whose stream is not in the file ends its branch once the
// demuxer has seen all streams, so that the graph still starts.
//
// In the filter registry it is "HT MPEG TimeShift", with the decoders
// "HT MPEG Video Decoder" and "HT MPEG Audio Decoder" (input "Input",
// output "Output").
#pragma once

#include <atomic>

#include "platform/filter_graph.h"

class TProgramStreamSplitter : public TGraphFilter
{
public:
    TProgramStreamSplitter();
    ~TProgramStreamSplitter() override;

    // Streams the demuxer has handed to an output so far (tests).
    bool HasVideo() const { return VideoFound.load(); }
    bool HasAudio() const { return AudioFound.load(); }

private:
    static void PadAdded(GstElement *demux, GstPad *pad, gpointer self);
    static void NoMorePads(GstElement *demux, gpointer self);

    GstElement *Demux = nullptr; // owned by the bin
    gulong PadAddedId = 0, NoMorePadsId = 0;
    std::atomic<bool> VideoFound{false}, AudioFound{false};
};

// The decoders of the splitter's outputs: MPEG-1/2 video to raw pictures,
// MPEG audio to raw sound.
TFilterPtr CreateTimeShiftVideoDecoder();
TFilterPtr CreateTimeShiftAudioDecoder();
