#include "emu_formats.h"

#include <algorithm>
#include <cstring>

namespace emu {

namespace {

const TFormatInfo Formats[] = {
    {V4L2_PIX_FMT_GREY, 8, false, 0, 0, false, "8-bit Greyscale", "GRAY8", nullptr, false},
    {V4L2_PIX_FMT_RGB555, 16, false, 0, 0, false, "16-bit A/XRGB 1-5-5-5", "RGB15", nullptr, false},
    {V4L2_PIX_FMT_RGB555X, 16, false, 0, 0, false, "16-bit A/XRGB 1-5-5-5 BE", "RGB15", nullptr,
     true},
    {V4L2_PIX_FMT_RGB565, 16, false, 0, 0, false, "16-bit RGB 5-6-5", "RGB16", nullptr, false},
    {V4L2_PIX_FMT_RGB565X, 16, false, 0, 0, false, "16-bit RGB 5-6-5 BE", "RGB16", nullptr, true},
    {V4L2_PIX_FMT_BGR24, 24, false, 0, 0, false, "24-bit BGR 8-8-8", "BGR", nullptr, false},
    {V4L2_PIX_FMT_RGB24, 24, false, 0, 0, false, "24-bit RGB 8-8-8", "RGB", nullptr, false},
    {V4L2_PIX_FMT_BGR32, 32, false, 0, 0, false, "32-bit BGRA/X 8-8-8-8", "BGRx", nullptr, false},
    {V4L2_PIX_FMT_RGB32, 32, false, 0, 0, false, "32-bit A/XRGB 8-8-8-8", "xRGB", nullptr, false},
    {V4L2_PIX_FMT_YUYV, 16, false, 0, 0, false, "YUYV 4:2:2", "YUY2", nullptr, false},
    {V4L2_PIX_FMT_UYVY, 16, false, 0, 0, false, "UYVY 4:2:2", "UYVY", nullptr, false},
    {V4L2_PIX_FMT_YUV422P, 16, true, 1, 0, false, "Planar YUV 4:2:2", "Y42B", nullptr, false},
    {V4L2_PIX_FMT_YUV420, 12, true, 1, 1, false, "Planar YUV 4:2:0", "I420", nullptr, false},
    {V4L2_PIX_FMT_YVU420, 12, true, 1, 1, true, "Planar YVU 4:2:0", "I420", nullptr, false},
    {V4L2_PIX_FMT_YUV411P, 12, true, 2, 0, false, "Planar YUV 4:1:1", "Y41B", nullptr, false},
    {V4L2_PIX_FMT_YUV410, 9, true, 2, 2, false, "Planar YUV 4:1:0", "YUV9", nullptr, false},
    {V4L2_PIX_FMT_SRGGB8, 8, false, 0, 0, false, "8-bit Bayer RGRG/GBGB", nullptr, "rggb", false},
    {V4L2_PIX_FMT_SBGGR8, 8, false, 0, 0, false, "8-bit Bayer BGBG/GRGR", nullptr, "bggr", false},
    {V4L2_PIX_FMT_SGRBG8, 8, false, 0, 0, false, "8-bit Bayer GRGR/BGBG", nullptr, "grbg", false},
    {V4L2_PIX_FMT_SGBRG8, 8, false, 0, 0, false, "8-bit Bayer GBGB/RGRG", nullptr, "gbrg", false},
};

bool Is525(uint64_t std)
{
    return (std & V4L2_STD_525_60) != 0;
}

// clamp_align of the V4L2 core (v4l2-common.c): clamp to the aligned limits,
// then round to the nearest aligned value.
uint32_t ClampAlign(uint32_t x, uint32_t min, uint32_t max, uint32_t align)
{
    const uint32_t mask = ~((1u << align) - 1);
    x = std::clamp(x, (min + ~mask) & mask, max & mask);
    if (align)
        x = (x + (1u << (align - 1))) & mask;
    return x;
}

bool HasBoth(uint32_t field)
{
    return field == V4L2_FIELD_INTERLACED || field == V4L2_FIELD_INTERLACED_TB ||
           field == V4L2_FIELD_INTERLACED_BT || field == V4L2_FIELD_SEQ_TB ||
           field == V4L2_FIELD_SEQ_BT;
}

bool HasTopOrBottom(uint32_t field)
{
    return field == V4L2_FIELD_BOTTOM || field == V4L2_FIELD_TOP || field == V4L2_FIELD_ALTERNATE;
}

// saa7134_try_fmt_vid_cap: the field decides the height limit, the width
// is truncated to a multiple of 4.
void TrySaa7134(uint32_t maxw, uint32_t maxh, const TFormatInfo &f, v4l2_pix_format &pix)
{
    uint32_t field = pix.field;
    if (field == V4L2_FIELD_ANY)
        field = pix.height > maxh / 2 ? V4L2_FIELD_INTERLACED : V4L2_FIELD_BOTTOM;
    if (field == V4L2_FIELD_TOP || field == V4L2_FIELD_BOTTOM)
        maxh /= 2;
    else
        field = V4L2_FIELD_INTERLACED;
    pix.field = field;
    pix.width = std::min(std::max(pix.width, 48u), maxw) & ~3u;
    pix.height = std::min(std::max(pix.height, 32u), maxh);
    pix.bytesperline = f.Planar ? pix.width : pix.width * f.Depth / 8;
    pix.sizeimage = pix.height * pix.width * f.Depth / 8;
}

// vidioc_try_fmt_vid_cap of cx88-video.c.
void TryCx88(uint32_t maxw, uint32_t maxh, const TFormatInfo &f, v4l2_pix_format &pix)
{
    uint32_t field = pix.field;
    switch (field) {
    case V4L2_FIELD_TOP:
    case V4L2_FIELD_BOTTOM:
    case V4L2_FIELD_INTERLACED:
    case V4L2_FIELD_SEQ_BT:
    case V4L2_FIELD_SEQ_TB:
        break;
    default:
        field = pix.height > maxh / 2 ? V4L2_FIELD_INTERLACED : V4L2_FIELD_BOTTOM;
        break;
    }
    if (HasTopOrBottom(field))
        maxh /= 2;
    pix.width = ClampAlign(pix.width, 48, maxw, 2);
    pix.height = ClampAlign(pix.height, 32, maxh, 0);
    pix.field = field;
    pix.bytesperline = pix.width * f.Depth / 8;
    pix.sizeimage = pix.height * pix.bytesperline;
}

// bttv_try_fmt_vid_cap with limit_scaled_size_lock on the default crop
// rectangle: widths round to the nearest multiple of 4 (16 for planar
// formats), fields halve the height.
void TryBttv(uint32_t maxw, uint32_t maxh, const TFormatInfo &f, v4l2_pix_format &pix)
{
    uint32_t field = pix.field;
    switch (field) {
    case V4L2_FIELD_TOP:
    case V4L2_FIELD_BOTTOM:
    case V4L2_FIELD_ALTERNATE:
    case V4L2_FIELD_INTERLACED:
        break;
    case V4L2_FIELD_SEQ_BT:
    case V4L2_FIELD_SEQ_TB:
        if (!f.Planar) {
            field = V4L2_FIELD_SEQ_TB;
            break;
        }
        [[fallthrough]];
    default:
        field = pix.height > maxh / 2 ? V4L2_FIELD_INTERLACED : V4L2_FIELD_BOTTOM;
        break;
    }
    const int32_t mask = f.Planar ? ~15 : ~3;
    const int32_t bias = f.Planar ? 8 : 2;
    const int32_t minw = (48 - mask - 1) & mask;
    const int32_t maxwm = int32_t(maxw & ~3u) & mask;
    int32_t maxhf = int32_t(maxh) >> (HasBoth(field) ? 0 : 1);
    int32_t w = std::clamp(int32_t(pix.width), minw, maxwm);
    const int32_t h = std::clamp(int32_t(pix.height), 32, maxhf);
    w = (w + bias) & mask;
    pix.field = field;
    pix.width = uint32_t(w);
    pix.height = uint32_t(h);
    if (f.Planar) {
        pix.bytesperline = pix.width;
        pix.sizeimage = pix.width * pix.height * f.Depth / 8;
    } else {
        pix.bytesperline = pix.width * f.Depth / 8;
        pix.sizeimage = pix.height * pix.bytesperline;
    }
}

// vidioc_try_fmt_vid_cap of em28xx-video.c: never refuses; the scaler's
// steps decide the size; the field is always interlaced.
void TryEm28xx(uint32_t maxw, uint32_t maxh, const TFormatInfo &f, v4l2_pix_format &pix)
{
    uint32_t w = ClampAlign(pix.width, 48, maxw, 1);
    uint32_t h = ClampAlign(pix.height, 32, maxh, 1);
    constexpr uint32_t HVScaleMax = 0x3fff;
    const uint32_t hscale = std::min<uint32_t>(HVScaleMax, (uint64_t(maxw) << 12) / w - 4096);
    const uint32_t vscale = std::min<uint32_t>(HVScaleMax, (uint64_t(maxh) << 12) / h - 4096);
    w = std::max<uint32_t>(1, (uint64_t(maxw) << 12) / (hscale + 4096));
    h = std::max<uint32_t>(1, (uint64_t(maxh) << 12) / (vscale + 4096));
    pix.width = w;
    pix.height = h;
    pix.bytesperline = (w * f.Depth + 7) >> 3;
    pix.sizeimage = pix.bytesperline * h;
    pix.field = V4L2_FIELD_INTERLACED;
}

} // namespace

const TFormatInfo *FormatInfo(uint32_t fourcc)
{
    for (const TFormatInfo &f : Formats)
        if (f.Fourcc == fourcc)
            return &f;
    return nullptr;
}

const TStd *PickStd(const TModel &model, uint64_t id)
{
    if (model.StdRule == "exact-then-first")
        for (const TStd &s : model.Stds)
            if (s.Id == id)
                return &s;
    for (const TStd &s : model.Stds)
        if (s.Id & id)
            return &s;
    return nullptr;
}

void MaxSize(const TModel &model, uint64_t std, uint32_t &width, uint32_t &height)
{
    const TStd *s = PickStd(model, std);
    if (s && s->MaxWidth) {
        width = s->MaxWidth, height = s->MaxHeight;
        return;
    }
    width = Is525(std) ? model.MaxWidth525 : model.MaxWidth625;
    height = Is525(std) ? model.MaxHeight525 : model.MaxHeight625;
}

int TryFormat(const TModel &model, uint64_t std, v4l2_pix_format &pix)
{
    const bool known = std::find(model.Formats.begin(), model.Formats.end(), pix.pixelformat) !=
                       model.Formats.end();
    if (!known) {
        if (model.SizeRule != "em28xx")
            return EINVAL;
        pix.pixelformat = model.DefaultFourcc; // em28xx falls back to its first format
    }
    const TFormatInfo *f = FormatInfo(pix.pixelformat);
    if (!f)
        return EINVAL;
    uint32_t maxw, maxh;
    MaxSize(model, std, maxw, maxh);
    if (model.SizeRule == "saa7134")
        TrySaa7134(maxw, maxh, *f, pix);
    else if (model.SizeRule == "cx88")
        TryCx88(maxw, maxh, *f, pix);
    else if (model.SizeRule == "bttv")
        TryBttv(maxw, maxh, *f, pix);
    else
        TryEm28xx(maxw, maxh, *f, pix);
    pix.colorspace = V4L2_COLORSPACE_SMPTE170M;
    pix.priv = 0;
    pix.flags = 0;
    pix.ycbcr_enc = pix.quantization = pix.xfer_func = 0;
    return 0;
}

void FramePeriod(uint64_t std, uint32_t &numerator, uint32_t &denominator)
{
    if (Is525(std))
        numerator = 1001, denominator = 30000;
    else
        numerator = 1, denominator = 25;
}

int64_t FramePeriodNs(uint64_t std)
{
    uint32_t n, d;
    FramePeriod(std, n, d);
    return int64_t(n) * 1000000000 / d;
}

uint32_t FrameLines(uint64_t std)
{
    return Is525(std) ? 525 : 625;
}

void FillBlack(const TPixFormat &format, uint8_t *data)
{
    const TFormatInfo *f = FormatInfo(format.Fourcc);
    const size_t size = format.SizeImage;
    if (!f) {
        memset(data, 0, size);
        return;
    }
    switch (format.Fourcc) {
    case V4L2_PIX_FMT_YUYV:
        for (size_t i = 0; i + 1 < size; i += 2)
            data[i] = 16, data[i + 1] = 128;
        return;
    case V4L2_PIX_FMT_UYVY:
        for (size_t i = 0; i + 1 < size; i += 2)
            data[i] = 128, data[i + 1] = 16;
        return;
    case V4L2_PIX_FMT_GREY:
        memset(data, 16, size);
        return;
    default:
        break;
    }
    if (f->Planar) {
        const size_t luma = size_t(format.Width) * format.Height;
        memset(data, 16, std::min(luma, size));
        if (size > luma)
            memset(data + luma, 128, size - luma);
        return;
    }
    memset(data, 0, size);
}

} // namespace emu
