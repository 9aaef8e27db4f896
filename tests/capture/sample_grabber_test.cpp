// The frame tap's YUV to RGB conversion.
#include <cmath>

#include <gtest/gtest.h>

#include "capture/sample_grabber.h"

namespace {

// The BT.601 studio-range formula the snapshot has always used.
QRgb Expected(int y, int u, int v)
{
    const double c = 1.164 * (y - 16);
    auto clamp = [](double x) { return int(std::clamp(std::lround(x), 0L, 255L)); };
    return qRgb(clamp(c + 1.596 * (v - 128)), clamp(c - 0.392 * (u - 128) - 0.813 * (v - 128)),
                clamp(c + 2.017 * (u - 128)));
}

void ExpectNear(QRgb actual, QRgb expected, const char *where)
{
    EXPECT_NEAR(qRed(actual), qRed(expected), 3) << where;
    EXPECT_NEAR(qGreen(actual), qGreen(expected), 3) << where;
    EXPECT_NEAR(qBlue(actual), qBlue(expected), 3) << where;
}

// A packed 4:2:2 row of pairs (Y0, U, Y1, V), in YUY2 or UYVY byte order.
std::vector<uint8_t> Pack(const std::vector<std::array<int, 4>> &pairs, bool uyvy)
{
    std::vector<uint8_t> bytes;
    for (auto &p : pairs) {
        if (uyvy)
            bytes.insert(bytes.end(), {uint8_t(p[1]), uint8_t(p[0]), uint8_t(p[3]), uint8_t(p[2])});
        else
            bytes.insert(bytes.end(), {uint8_t(p[0]), uint8_t(p[1]), uint8_t(p[2]), uint8_t(p[3])});
    }
    return bytes;
}

TEST(GrabFrameConversion, EachPixelTakesItsOwnLumaAndItsPairsChroma)
{
    // Two pairs whose chroma differ sharply, so any interpolation shows.
    const std::vector<std::array<int, 4>> pairs = {{81, 90, 145, 240}, {41, 240, 200, 110}};
    for (bool uyvy : {false, true}) {
        const auto bytes = Pack(pairs, uyvy);
        const QImage image = ConvertYUV422ToRGB(bytes.data(), 4, 1, int(bytes.size()), uyvy);
        ASSERT_EQ(image.size(), QSize(4, 1));
        ASSERT_EQ(image.format(), QImage::Format_RGB888);
        ExpectNear(image.pixel(0, 0), Expected(81, 90, 240), uyvy ? "UYVY 0" : "YUY2 0");
        // The odd pixel: its own Y, U and V of the pair it belongs to.
        ExpectNear(image.pixel(1, 0), Expected(145, 90, 240), uyvy ? "UYVY 1" : "YUY2 1");
        ExpectNear(image.pixel(2, 0), Expected(41, 240, 110), uyvy ? "UYVY 2" : "YUY2 2");
        ExpectNear(image.pixel(3, 0), Expected(200, 240, 110), uyvy ? "UYVY 3" : "YUY2 3");
    }
    // Out-of-range results clamp: white above 235, black below 16.
    const auto bytes = Pack({{255, 128, 0, 128}}, false);
    const QImage image = ConvertYUV422ToRGB(bytes.data(), 2, 1, 4, false);
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 0));
}

TEST(GrabFrameConversion, FullPalFrameKeepsSizeAndOrientation)
{
    const int w = 720, h = 576, stride = w * 2;
    std::vector<uint8_t> frame(size_t(stride) * h);
    // UYVY: the top row white, the bottom row black, grey between.
    for (int r = 0; r < h; ++r)
        for (int x = 0; x < w; x += 2) {
            uint8_t *p = &frame[size_t(r) * stride + size_t(x) * 2];
            const uint8_t y = r == 0 ? 235 : r == h - 1 ? 16 : 126;
            p[0] = 128, p[1] = y, p[2] = 128, p[3] = y;
        }
    const QImage image = ConvertYUV422ToRGB(frame.data(), w, h, stride, true);
    ASSERT_EQ(image.size(), QSize(720, 576));
    EXPECT_EQ(image.depth(), 24);
    EXPECT_GE(qGray(image.pixel(0, 0)), 253);
    EXPECT_GE(qGray(image.pixel(719, 0)), 253);
    EXPECT_LE(qGray(image.pixel(0, 575)), 2);
    EXPECT_NEAR(qGray(image.pixel(360, 288)), 128, 3);
    // A padded stride is honoured.
    std::vector<uint8_t> padded(size_t(stride + 64) * h, 0);
    for (int r = 0; r < h; ++r)
        std::copy_n(&frame[size_t(r) * stride], stride, &padded[size_t(r) * (stride + 64)]);
    const QImage again = ConvertYUV422ToRGB(padded.data(), w, h, stride + 64, true);
    EXPECT_EQ(again, image);
}

TEST(GrabFrameConversion, BadInputGivesNoPicture)
{
    const uint8_t bytes[8] = {};
    EXPECT_TRUE(ConvertYUV422ToRGB(nullptr, 2, 1, 4, false).isNull());
    EXPECT_TRUE(ConvertYUV422ToRGB(bytes, 0, 1, 4, false).isNull());
    EXPECT_TRUE(ConvertYUV422ToRGB(bytes, 4, 1, 4, false).isNull()); // stride too short
    // A tap that never joined a graph has nothing to give.
    TSampleGrabberEx grabber(TSampleGrabberEx::KindYUY2);
    QImage image(2, 2, QImage::Format_RGB888);
    image.fill(Qt::red);
    EXPECT_FALSE(grabber.GrabFrame(image));
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
}

} // namespace
