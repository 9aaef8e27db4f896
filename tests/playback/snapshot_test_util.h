// Reading saved snapshots back for the tests: libjpeg's own decoder, the
// bitmap header, and a picture comparison.
#pragma once

#include <QByteArray>
#include <QImage>

// Decodes a JPEG with libjpeg into an RGB888 picture; null when libjpeg
// refuses the data.
QImage DecodeJpeg(const QByteArray &bytes);

// The fields of a bitmap file's headers that other programs rely on.
struct TBitmapHeader
{
    bool Valid = false;
    quint32 FileSize = 0, DataOffset = 0, InfoSize = 0, Compression = 0, ImageSize = 0;
    qint32 Width = 0, Height = 0;
    quint16 Planes = 0, BitCount = 0;
};
TBitmapHeader ReadBitmapHeader(const QByteArray &bytes);

// Mean absolute difference per channel, 0..255; 255 for different sizes.
double MeanDifference(const QImage &a, const QImage &b);

// A picture with detail in every region: gradients, a grid and colour bars.
QImage TestPicture(int width, int height);
