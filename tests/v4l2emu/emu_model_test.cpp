// The emulator's driver rules against answers worked out from the drivers'
// own functions, and its model reader.
#include <gtest/gtest.h>

#include "emu_formats.h"
#include "emu_model.h"

namespace {

emu::TModel Minimal(const std::string &rule)
{
    emu::TModel m;
    std::string error;
    const std::string text =
        "driver d\ncard c\ninput \"Television\" tuner\nformat YUYV\n"
        "format YVU420\nformat YUV420\nformat-default YUYV 720x576 INTERLACED\n"
        "std PAL \"PAL\"\nstd NTSC \"NTSC\"\nsize-max 625 720x576\n"
        "size-max 525 720x480\nsize-rule " +
        rule + "\n";
    EXPECT_TRUE(emu::ParseModel(text, m, error)) << error;
    return m;
}

v4l2_pix_format Try(const emu::TModel &m, uint64_t std, uint32_t w, uint32_t h,
                    uint32_t field = V4L2_FIELD_ANY, uint32_t fourcc = V4L2_PIX_FMT_YUYV)
{
    v4l2_pix_format pix{};
    pix.width = w, pix.height = h, pix.field = field, pix.pixelformat = fourcc;
    EXPECT_EQ(emu::TryFormat(m, std, pix), 0);
    return pix;
}

TEST(EmuModel, ReaderNamesTheBadLine)
{
    emu::TModel m;
    std::string error;
    EXPECT_FALSE(emu::ParseModel("driver d\nbogus 1\n", m, error));
    EXPECT_EQ(error, "line 2: unknown key bogus");
    EXPECT_FALSE(emu::ParseModel("control BRIGHTNESS 0 255 0 128 \"Brightness\"\n", m, error));
    EXPECT_EQ(error.rfind("line 1:", 0), 0u); // a step of 0
    EXPECT_FALSE(emu::ParseModel("control BRIGHTNESS 0 255 1 300 \"Brightness\"\n", m, error));
    EXPECT_FALSE(emu::ParseModel("format MJPG\n", m, error));
    EXPECT_FALSE(emu::ParseModel("driver d # no card\n", m, error));
    EXPECT_NE(error.find("needed"), std::string::npos);
    // Quoted texts keep their blanks and their '#'.
    m = Minimal("cx88");
    ASSERT_TRUE(emu::ParseModel("driver d\ncard \"A # B\"\ninput \"Tele vision\" tuner\nformat "
                                "YUYV\nformat-default YUYV 320x240 INTERLACED\nstd PAL \"PAL\"\n"
                                "size-rule cx88\nversion 6 1 300\n",
                                m, error))
        << error;
    EXPECT_EQ(m.Card, "A # B");
    EXPECT_EQ(m.Inputs[0].Name, "Tele vision");
    EXPECT_EQ(m.Version, 0x0601ffu); // the sublevel saturates as in the kernel
}

TEST(EmuModel, Saa7134TruncatesWidthsAndHalvesFields)
{
    const emu::TModel m = Minimal("saa7134");
    // width &= ~3, clamped to the crop bounds; a field is half the lines.
    EXPECT_EQ(Try(m, V4L2_STD_PAL, 643, 480).width, 640u);
    EXPECT_EQ(Try(m, V4L2_STD_PAL, 800, 700).height, 576u);
    EXPECT_EQ(Try(m, V4L2_STD_PAL, 20, 10).width, 48u);
    const v4l2_pix_format small = Try(m, V4L2_STD_PAL, 352, 288);
    EXPECT_EQ(small.field, uint32_t(V4L2_FIELD_BOTTOM)); // ANY and not above half: a field
    const v4l2_pix_format progressive = Try(m, V4L2_STD_PAL, 352, 288, V4L2_FIELD_NONE);
    EXPECT_EQ(progressive.field, uint32_t(V4L2_FIELD_INTERLACED)); // NONE: interlaced
    EXPECT_EQ(Try(m, V4L2_STD_PAL, 720, 576, V4L2_FIELD_TOP).height, 288u);
    EXPECT_EQ(Try(m, V4L2_STD_NTSC, 720, 576).height, 480u);
    // Planar formats give the luma line as bytes per line.
    const v4l2_pix_format planar =
        Try(m, V4L2_STD_PAL, 640, 480, V4L2_FIELD_ANY, V4L2_PIX_FMT_YUV420);
    EXPECT_EQ(planar.bytesperline, 640u);
    EXPECT_EQ(planar.sizeimage, 640u * 480 * 3 / 2);
    v4l2_pix_format unknown{};
    unknown.pixelformat = V4L2_PIX_FMT_MJPEG;
    EXPECT_EQ(emu::TryFormat(m, V4L2_STD_PAL, unknown), EINVAL);
}

TEST(EmuModel, Cx88AndBttvRoundWidthsToTheNearestFour)
{
    const emu::TModel cx = Minimal("cx88");
    EXPECT_EQ(Try(cx, V4L2_STD_PAL, 642, 480).width, 644u); // v4l_bound_align_image
    EXPECT_EQ(Try(cx, V4L2_STD_PAL, 641, 480).width, 640u);
    EXPECT_EQ(Try(cx, V4L2_STD_PAL, 720, 480, V4L2_FIELD_ALTERNATE).field,
              uint32_t(V4L2_FIELD_INTERLACED)); // cx88 knows no alternate fields
    EXPECT_EQ(Try(cx, V4L2_STD_PAL, 720, 576, V4L2_FIELD_SEQ_TB).height, 576u);
    emu::TModel bttv = Minimal("bttv");
    bttv.Stds = {{V4L2_STD_PAL, "PAL", 924, 576}, {V4L2_STD_NTSC, "NTSC", 768, 480}};
    EXPECT_EQ(Try(bttv, V4L2_STD_PAL, 2000, 600).width, 924u);
    EXPECT_EQ(Try(bttv, V4L2_STD_NTSC, 2000, 600).width, 768u);
    EXPECT_EQ(Try(bttv, V4L2_STD_PAL, 642, 480).width, 644u);
    // Planar widths go in steps of 16; alternate fields are kept, half high.
    EXPECT_EQ(Try(bttv, V4L2_STD_PAL, 650, 480, V4L2_FIELD_ANY, V4L2_PIX_FMT_YUV420).width, 656u);
    const v4l2_pix_format alt = Try(bttv, V4L2_STD_PAL, 720, 576, V4L2_FIELD_ALTERNATE);
    EXPECT_EQ(alt.field, uint32_t(V4L2_FIELD_ALTERNATE));
    EXPECT_EQ(alt.height, 288u);
}

TEST(EmuModel, Em28xxScalerDecidesAndNeverRefuses)
{
    const emu::TModel m = Minimal("em28xx");
    EXPECT_EQ(Try(m, V4L2_STD_PAL, 701, 480).width, 702u); // even, then the scaler's step
    EXPECT_EQ(Try(m, V4L2_STD_PAL, 640, 576).width, 640u);
    EXPECT_EQ(Try(m, V4L2_STD_PAL, 352, 288, V4L2_FIELD_NONE).field,
              uint32_t(V4L2_FIELD_INTERLACED));
    // The smallest picture is the scaler's largest step down, not 48x32.
    const v4l2_pix_format tiny = Try(m, V4L2_STD_PAL, 1, 1);
    EXPECT_EQ(tiny.width, 144u);
    EXPECT_EQ(tiny.height, 115u);
    v4l2_pix_format unknown{};
    unknown.pixelformat = V4L2_PIX_FMT_MJPEG;
    unknown.width = 320, unknown.height = 240;
    ASSERT_EQ(emu::TryFormat(m, V4L2_STD_PAL, unknown), 0);
    EXPECT_EQ(unknown.pixelformat, uint32_t(V4L2_PIX_FMT_YUYV));
}

TEST(EmuModel, StandardsPickAndTime)
{
    emu::TModel m = Minimal("saa7134");
    m.Stds = {{V4L2_STD_PAL, "PAL"}, {V4L2_STD_PAL_BG, "PAL-BG"}, {V4L2_STD_NTSC, "NTSC"}};
    m.StdRule = "exact-then-first";
    EXPECT_EQ(emu::PickStd(m, V4L2_STD_PAL_BG)->Name, "PAL-BG");
    EXPECT_EQ(emu::PickStd(m, V4L2_STD_PAL_B)->Name, "PAL"); // first sharing a bit
    EXPECT_EQ(emu::PickStd(m, V4L2_STD_NTSC_M)->Name, "NTSC");
    EXPECT_EQ(emu::PickStd(m, V4L2_STD_SECAM_L), nullptr);
    m.StdRule = "first";
    EXPECT_EQ(emu::PickStd(m, V4L2_STD_PAL_BG)->Name, "PAL");
    EXPECT_EQ(emu::FramePeriodNs(V4L2_STD_PAL_60), int64_t(1001) * 1000000000 / 30000);
    EXPECT_EQ(emu::FramePeriodNs(V4L2_STD_SECAM_L), 40000000);
    uint64_t id = 0;
    ASSERT_TRUE(emu::StdFromCoreName("secam-lc", id));
    EXPECT_EQ(id, V4L2_STD_SECAM_LC);
    EXPECT_EQ(emu::StdName(V4L2_STD_PAL_DK), "PAL-DK");
}

} // namespace
