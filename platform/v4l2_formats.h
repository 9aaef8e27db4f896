// The capture formats of a V4L2 node as its driver offers them: the pixel
// formats of VIDIOC_ENUM_FMT the program knows, the sizes of
// VIDIOC_ENUM_FRAMESIZES (or, for the many analog drivers without it, the
// usual capture sizes the driver takes unchanged in VIDIOC_TRY_FMT), and the
// frame rate of the current standard.
#pragma once

#include <QString>
#include <vector>

#include "platform/device_interfaces.h"
#include "platform/v4l2_device.h"

struct TV4l2PixelFormat
{
    __u32 Fourcc;
    const char *Subtype;   // the program's name: "YUY2", "UYVY", "RGB555", "RGB32"
    const char *GstFormat; // GStreamer's raw format
};

// The program's formats; null for one it does not know.
const TV4l2PixelFormat *V4l2PixelFormat(__u32 fourcc);
const TV4l2PixelFormat *V4l2PixelFormat(const QString &subtype);

// Every known pixel format at every size the driver offers, at the current
// standard's rate.
std::vector<TVideoFormat> V4l2CaptureFormats(TV4l2Device &device);

// Asks the driver (VIDIOC_TRY_FMT) whether it captures the format as it is:
// 0 when it does; EINVAL when it would change the size or the pixel format,
// or does not know the format; the driver's error otherwise. Nothing is set.
int V4l2CheckFormat(TV4l2Device &device, const TVideoFormat &format);

// The frame rate of the node's current standard: VIDIOC_G_PARM's time per
// frame, else the frame period VIDIOC_ENUMSTD gives for VIDIOC_G_STD's
// standard; false when the driver tells neither.
bool V4l2FrameRate(TV4l2Device &device, int &numerator, int &denominator);
