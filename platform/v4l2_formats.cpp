#include "platform/v4l2_formats.h"

#include <cerrno>

namespace {

const TV4l2PixelFormat Known[] = {{V4L2_PIX_FMT_YUYV, "YUY2", "YUY2"},
                                  {V4L2_PIX_FMT_UYVY, "UYVY", "UYVY"},
                                  {V4L2_PIX_FMT_RGB555, "RGB555", "RGB15"},
                                  {V4L2_PIX_FMT_BGR32, "RGB32", "BGRx"}};

// The sizes the preview and the recordings ask for, largest first.
const std::pair<int, int> UsualSizes[] = {{720, 576}, {720, 480}, {640, 576},
                                          {640, 480}, {352, 288}, {320, 240}};

bool InRange(const v4l2_frmsize_stepwise &s, int w, int h)
{
    return w >= int(s.min_width) && w <= int(s.max_width) && h >= int(s.min_height) &&
           h <= int(s.max_height) &&
           (w - int(s.min_width)) % int(std::max(1u, s.step_width)) == 0 &&
           (h - int(s.min_height)) % int(std::max(1u, s.step_height)) == 0;
}

} // namespace

const TV4l2PixelFormat *V4l2PixelFormat(__u32 fourcc)
{
    for (const TV4l2PixelFormat &f : Known)
        if (f.Fourcc == fourcc)
            return &f;
    return nullptr;
}

const TV4l2PixelFormat *V4l2PixelFormat(const QString &subtype)
{
    for (const TV4l2PixelFormat &f : Known)
        if (subtype == f.Subtype)
            return &f;
    return nullptr;
}

bool V4l2FrameRate(TV4l2Device &device, int &numerator, int &denominator)
{
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (device.GetParm(parm) == 0 && parm.parm.capture.timeperframe.numerator &&
        parm.parm.capture.timeperframe.denominator) {
        numerator = int(parm.parm.capture.timeperframe.denominator);
        denominator = int(parm.parm.capture.timeperframe.numerator);
        return true;
    }
    v4l2_std_id current = 0;
    if (device.GetStd(current) != 0)
        return false;
    v4l2_standard s{};
    for (s.index = 0; device.EnumStd(s) == 0; ++s.index)
        if ((s.id & current) == current && s.frameperiod.numerator) {
            numerator = int(s.frameperiod.denominator);
            denominator = int(s.frameperiod.numerator);
            return true;
        }
    return false;
}

int V4l2CheckFormat(TV4l2Device &device, const TVideoFormat &format)
{
    const TV4l2PixelFormat *known = V4l2PixelFormat(format.Subtype);
    if (!known || format.Width <= 0 || format.Height <= 0)
        return EINVAL;
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    f.fmt.pix.pixelformat = known->Fourcc;
    f.fmt.pix.width = __u32(format.Width);
    f.fmt.pix.height = __u32(format.Height);
    f.fmt.pix.field = V4L2_FIELD_ANY;
    if (int err = device.TryFmt(f))
        return err;
    // Drivers adjust rather than refuse: a size they change is one they do
    // not capture.
    if (f.fmt.pix.pixelformat != known->Fourcc || int(f.fmt.pix.width) != format.Width ||
        int(f.fmt.pix.height) != format.Height)
        return EINVAL;
    return 0;
}

std::vector<TVideoFormat> V4l2CaptureFormats(TV4l2Device &device)
{
    std::vector<TVideoFormat> list;
    int num = 25, den = 1;
    V4l2FrameRate(device, num, den);
    v4l2_fmtdesc d{};
    d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (d.index = 0; device.EnumFmt(d) == 0; ++d.index) {
        const TV4l2PixelFormat *known = V4l2PixelFormat(d.pixelformat);
        if (!known)
            continue;
        auto add = [&](int w, int h) { list.push_back({known->Subtype, w, h, num, den}); };
        v4l2_frmsizeenum size{};
        size.pixel_format = d.pixelformat;
        if (device.EnumFrameSizes(size) == 0 && size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            do
                add(int(size.discrete.width), int(size.discrete.height));
            while (++size.index, device.EnumFrameSizes(size) == 0);
            continue;
        }
        const bool ranged =
            size.type == V4L2_FRMSIZE_TYPE_STEPWISE || size.type == V4L2_FRMSIZE_TYPE_CONTINUOUS;
        // Without a list the driver answers one size at a time.
        for (auto [w, h] : UsualSizes) {
            if (ranged && !InRange(size.stepwise, w, h))
                continue;
            if (V4l2CheckFormat(device, {known->Subtype, w, h, num, den}) == 0)
                add(w, h);
        }
    }
    return list;
}
