// Picture formats: GStreamer's names for libav's.
#include "platform/gst_av_formats.h"

AVPixelFormat PixelFormat(GstVideoFormat format)
{
    switch (format) {
    case GST_VIDEO_FORMAT_I420:
    case GST_VIDEO_FORMAT_YV12:
        return AV_PIX_FMT_YUV420P;
    case GST_VIDEO_FORMAT_YUY2:
        return AV_PIX_FMT_YUYV422;
    case GST_VIDEO_FORMAT_UYVY:
        return AV_PIX_FMT_UYVY422;
    case GST_VIDEO_FORMAT_YVYU:
        return AV_PIX_FMT_YVYU422;
    case GST_VIDEO_FORMAT_BGRx:
        return AV_PIX_FMT_BGR0;
    case GST_VIDEO_FORMAT_RGBx:
        return AV_PIX_FMT_RGB0;
    case GST_VIDEO_FORMAT_xRGB:
        return AV_PIX_FMT_0RGB;
    case GST_VIDEO_FORMAT_xBGR:
        return AV_PIX_FMT_0BGR;
    case GST_VIDEO_FORMAT_BGRA:
        return AV_PIX_FMT_BGRA;
    case GST_VIDEO_FORMAT_RGBA:
        return AV_PIX_FMT_RGBA;
    case GST_VIDEO_FORMAT_ARGB:
        return AV_PIX_FMT_ARGB;
    case GST_VIDEO_FORMAT_ABGR:
        return AV_PIX_FMT_ABGR;
    case GST_VIDEO_FORMAT_RGB:
        return AV_PIX_FMT_RGB24;
    case GST_VIDEO_FORMAT_BGR:
        return AV_PIX_FMT_BGR24;
    case GST_VIDEO_FORMAT_RGB15:
        return AV_PIX_FMT_RGB555;
    case GST_VIDEO_FORMAT_RGB16:
        return AV_PIX_FMT_RGB565;
    case GST_VIDEO_FORMAT_NV12:
        return AV_PIX_FMT_NV12;
    case GST_VIDEO_FORMAT_NV21:
        return AV_PIX_FMT_NV21;
    case GST_VIDEO_FORMAT_Y42B:
        return AV_PIX_FMT_YUV422P;
    case GST_VIDEO_FORMAT_Y444:
        return AV_PIX_FMT_YUV444P;
    case GST_VIDEO_FORMAT_Y41B:
        return AV_PIX_FMT_YUV411P;
    case GST_VIDEO_FORMAT_GRAY8:
        return AV_PIX_FMT_GRAY8;
    default:
        return AV_PIX_FMT_NONE;
    }
}
