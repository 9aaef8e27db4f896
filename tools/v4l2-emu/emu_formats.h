// Pixel formats and sizes as the emulated drivers answer them.
#pragma once

#include <cstdint>
#include <string>

#include <linux/videodev2.h>

#include "emu_model.h"
#include "emu_shared.h"

namespace emu {

struct TFormatInfo
{
    uint32_t Fourcc;
    uint32_t Depth; // bits per pixel over all planes
    bool Planar;    // Y, then Cb and Cr planes of (width >> HShift) x (height >> VShift)
    uint32_t HShift, VShift;
    bool SwapCbCr;           // YVU: Cr plane first
    const char *Description; // the V4L2 core's (v4l_fill_fmtdesc)
    // How the launcher makes it with GStreamer: a raw format, or a Bayer
    // order for rgb2bayer; Swap16: the bytes of each 16-bit pixel swapped
    // (the "X" big-endian variants).
    const char *GstFormat;
    const char *BayerOrder;
    bool Swap16;
};

// Null for a format the emulator does not know.
const TFormatInfo *FormatInfo(uint32_t fourcc);

// The driver's TRY_FMT: adjusts `pix` as the model's driver does for the
// current standard; 0 or the errno value (EINVAL for an unknown format on
// the drivers that refuse one).
int TryFormat(const TModel &model, uint64_t std, v4l2_pix_format &pix);

// The largest capture size of a standard.
void MaxSize(const TModel &model, uint64_t std, uint32_t &width, uint32_t &height);

// The driver's table entry S_STD picks for an id; null: EINVAL.
const TStd *PickStd(const TModel &model, uint64_t id);

// The frame period of a standard (the V4L2 core's
// v4l2_video_std_frame_period): 1001/30000 s on 525-line standards, 1/25 s
// otherwise.
void FramePeriod(uint64_t std, uint32_t &numerator, uint32_t &denominator);
int64_t FramePeriodNs(uint64_t std);

// The black picture of a format (Y 16, Cb/Cr 128, RGB 0).
void FillBlack(const TPixFormat &format, uint8_t *data);

// The V4L2 name of a standard set as ENUMSTD builds it, and its frame lines.
uint32_t FrameLines(uint64_t std);

} // namespace emu
