// "lyrampegrecorder": Lyra's MPEG-1/2 recorder as a GStreamer sink element.
// It encodes pictures (MPEG-1 or MPEG-2) and sound (MP2) with libavcodec,
// multiplexes them into an MPEG program stream with libavformat and writes
// the file itself. Pads: "video" (raw video; converted and scaled to the
// recording size with libswscale) and, on request, "audio" (interleaved
// stereo S16LE at the recording's sample rate; put audioresample in front).
//
// Properties: location, profile ("auto", "mpeg1", "mpeg2", "vcd", "svcd",
// "dvd"), mpeg-type, bitrate (bit/s), quality (0..6), width, height,
// sample-rate, frame-rate-index (1..5), time-shift, open-gops; read-only
// bytes-written, frames-encoded, frames-repeated, frames-dropped. Settings
// are read when the element goes from READY to PAUSED.
//
// End of stream on every pad finishes the file and posts EOS; going back
// to READY without it finishes the file too. A write error posts an ERROR
// message with the system's text (for example "No space left on device").
#pragma once

#include <functional>

#include <gst/gst.h>

#include "platform/mpeg_profile.h"

GType LyraMpegRecorderGetType();

// The whole settings block, including the encoder tuning that has no
// property of its own.
TMpegSettings LyraMpegRecorderSettings(GstElement *recorder);
void LyraMpegRecorderChange(GstElement *recorder,
                            const std::function<void(TMpegSettings &)> &change);
