#include "snapshot_test_util.h"

#include <QtEndian>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

struct TDecodeError
{
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};

void DecodeErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<TDecodeError *>(info->err)->Jump, 1);
}

bool Decompress(const QByteArray &bytes, uchar *pixels, int &width, int &height, bool sizeOnly)
{
    jpeg_decompress_struct info;
    TDecodeError error;
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = DecodeErrorExit;
    if (setjmp(error.Jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 (unsigned long)bytes.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    width = int(info.output_width);
    height = int(info.output_height);
    if (!sizeOnly)
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = pixels + size_t(info.output_scanline) * size_t(width) * 3;
            jpeg_read_scanlines(&info, &row, 1);
        }
    else
        jpeg_abort_decompress(&info);
    if (!sizeOnly)
        jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray &bytes)
{
    int w = 0, h = 0;
    if (bytes.isEmpty() || !Decompress(bytes, nullptr, w, h, true) || w <= 0 || h <= 0)
        return {};
    QImage image(w, h, QImage::Format_RGB888);
    std::vector<uchar> pixels(size_t(w) * h * 3);
    if (!Decompress(bytes, pixels.data(), w, h, false))
        return {};
    for (int r = 0; r < h; ++r)
        std::copy_n(&pixels[size_t(r) * w * 3], size_t(w) * 3, image.scanLine(r));
    return image;
}

TBitmapHeader ReadBitmapHeader(const QByteArray &bytes)
{
    TBitmapHeader h;
    if (bytes.size() < 54 || !bytes.startsWith("BM"))
        return h;
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    h.FileSize = qFromLittleEndian<quint32>(p + 2);
    h.DataOffset = qFromLittleEndian<quint32>(p + 10);
    h.InfoSize = qFromLittleEndian<quint32>(p + 14);
    h.Width = qFromLittleEndian<qint32>(p + 18);
    h.Height = qFromLittleEndian<qint32>(p + 22);
    h.Planes = qFromLittleEndian<quint16>(p + 26);
    h.BitCount = qFromLittleEndian<quint16>(p + 28);
    h.Compression = qFromLittleEndian<quint32>(p + 30);
    h.ImageSize = qFromLittleEndian<quint32>(p + 34);
    h.Valid = true;
    return h;
}

double MeanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int r = 0; r < x.height(); ++r) {
        const uchar *p = x.constScanLine(r), *q = y.constScanLine(r);
        for (int i = 0; i < x.width() * 3; ++i)
            sum += std::abs(int(p[i]) - int(q[i]));
    }
    return sum / (double(x.width()) * x.height() * 3);
}

QImage TestPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int bar = x * 8 / width;
            int r = (bar & 1) ? 230 : 20, g = (bar & 2) ? 220 : 30, b = (bar & 4) ? 210 : 40;
            if (y > height / 2) {
                r = x * 255 / width;
                g = y * 255 / height;
                b = 128;
            }
            if (x % 32 == 0 || y % 32 == 0)
                r = g = b = 250;
            image.setPixel(x, y, qRgb(r, g, b));
        }
    return image;
}
