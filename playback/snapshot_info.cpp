#include "playback/snapshot_info.h"

#include <QBuffer>
#include <QImageWriter>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include "platform/log.h"
#include "platform/safe_file.h"

TSnapshotInfo *SnapshotInfo = nullptr;

namespace {

// libjpeg ends the process on an error unless the error handler leaves by
// longjmp; the message goes to the log instead of stderr.
struct TJpegError
{
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
};

void JpegErrorExit(j_common_ptr info)
{
    char text[JMSG_LENGTH_MAX];
    info->err->format_message(info, text);
    qCWarning(lcFiles) << "JPEG encoder:" << text;
    std::longjmp(reinterpret_cast<TJpegError *>(info->err)->Jump, 1);
}

void JpegOutputMessage(j_common_ptr info)
{
    char text[JMSG_LENGTH_MAX];
    info->err->format_message(info, text);
    qCDebug(lcFiles) << "JPEG encoder:" << text;
}

// Only plain data lives between setjmp and a longjmp: the buffer libjpeg
// allocates is freed by the caller either way.
bool CompressRows(const uchar *bits, int width, int height, qsizetype stride, unsigned char **out,
                  unsigned long *size)
{
    jpeg_compress_struct info;
    TJpegError error;
    info.err = jpeg_std_error(&error.Manager);
    error.Manager.error_exit = JpegErrorExit;
    error.Manager.output_message = JpegOutputMessage;
    if (setjmp(error.Jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bits + qsizetype(info.next_scanline) * stride);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

// Where the extension of a file name begins (its last dot after the last
// folder separator); -1 without one.
qsizetype ExtensionStart(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf('.');
    return dot > fileName.lastIndexOf('/') ? dot : -1;
}

} // namespace

bool IsJpegFileName(const QString &fileName)
{
    const qsizetype dot = ExtensionStart(fileName);
    if (dot < 0)
        return false;
    const QStringView ext = QStringView(fileName).mid(dot);
    // Case matters, as it always has: ".JPG" is not a JPEG name.
    return ext == u".jpg" || ext == u".jpeg";
}

bool EncodeJpeg(const QImage &picture, QByteArray &jpeg)
{
    if (picture.isNull())
        return false;
    const QImage rgb = picture.format() == QImage::Format_RGB888
                           ? picture
                           : picture.convertToFormat(QImage::Format_RGB888);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    const bool ok =
        CompressRows(rgb.constBits(), rgb.width(), rgb.height(), rgb.bytesPerLine(), &out, &size);
    if (ok)
        jpeg = QByteArray(reinterpret_cast<const char *>(out), qsizetype(size));
    std::free(out);
    return ok;
}

bool EncodeBitmap(const QImage &picture, QByteArray &bitmap)
{
    if (picture.isNull())
        return false;
    // Qt writes a picture without alpha as a 24-bit BI_RGB bitmap with the
    // 40-byte info header.
    const QImage rgb =
        picture.hasAlphaChannel() ? picture.convertToFormat(QImage::Format_RGB32) : picture;
    QBuffer buffer(&bitmap);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "bmp");
    if (!writer.write(rgb)) {
        qCWarning(lcFiles) << "bitmap encoder:" << writer.errorString();
        return false;
    }
    return true;
}

bool SaveGraphic(const QImage &picture, const QString &fileName, QString *error)
{
    QByteArray bytes;
    const bool jpeg = IsJpegFileName(fileName);
    if (!(jpeg ? EncodeJpeg(picture, bytes) : EncodeBitmap(picture, bytes))) {
        if (error)
            *error = picture.isNull() ? "no picture" : "the picture cannot be encoded";
        return false;
    }
    QString why;
    // Whole or absent, never half a picture, and an older file of that name
    // survives a failed write; not flushed to disk (see WriteFileSafely).
    if (!WriteFileSafely(fileName, bytes, &why, false)) {
        qCWarning(lcFiles).noquote() << "cannot save the snapshot" << fileName << ":" << why;
        if (error)
            *error = why;
        return false;
    }
    return true;
}

QImage TSnapshotInfo::Picture(int index) const
{
    return index >= 0 && index < Count() ? Pictures[size_t(index)] : QImage();
}

bool TSnapshotInfo::Insert(const QImage &picture)
{
    if (picture.isNull())
        return false;
    Pictures.insert(Pictures.begin(), picture);
    return true;
}

bool TSnapshotInfo::Delete(int index)
{
    if (index < 0 || index >= Count())
        return false;
    Pictures.erase(Pictures.begin() + index);
    return true;
}

void TSnapshotInfo::Clear()
{
    // Last to first, as the pictures were always released.
    while (!Pictures.empty())
        Pictures.pop_back();
}

bool TSnapshotInfo::SaveOne(int index, const QString &fileName, QString *error) const
{
    if (index < 0 || index >= Count()) {
        if (error)
            *error = "no snapshot";
        return false;
    }
    return SaveGraphic(Pictures[size_t(index)], fileName, error);
}

QString TSnapshotInfo::NumberedName(const QString &fileName, int index)
{
    const qsizetype dot = ExtensionStart(fileName);
    if (dot < 0)
        return fileName + QString::number(index);
    return fileName.left(dot) + QString::number(index) + fileName.mid(dot);
}

bool TSnapshotInfo::SaveAll(const QString &fileName, QString *error) const
{
    if (Pictures.empty()) {
        if (error)
            *error = "no snapshot";
        return false;
    }
    for (int i = Count() - 1; i >= 0; --i)
        if (!SaveOne(i, NumberedName(fileName, i), error))
            return false;
    return true;
}
