// Picture formats: GStreamer's names for libav's.
#pragma once

#include <gst/video/video.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

// The libav pixel format of a GStreamer raw video format; AV_PIX_FMT_NONE
// when there is none. YV12 maps to YUV420P: swap its chroma planes.
AVPixelFormat PixelFormat(GstVideoFormat format);
