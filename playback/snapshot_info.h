// The snapshot store (SnapshotInfo): every picture grabbed from live TV or
// a playback, newest first, kept in memory until it is deleted or the
// program ends, and the two ways of saving them (one picture, or all of
// them under numbered names).
//
// One instance, created at start-up and freed at shutdown. GUI thread only;
// the pictures are plain QImages (implicitly shared, so handing one to a
// thumbnail or the viewer copies nothing).
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <vector>

// JPEG for a file name whose extension is exactly ".jpg" or ".jpeg" (in
// lower case: "snap.JPG" is written as a bitmap), else a bitmap.
bool IsJpegFileName(const QString &fileName);

// The picture as a baseline JPEG with libjpeg's default settings (quality
// 75, 4:2:0). False for a null picture or when the encoder fails.
bool EncodeJpeg(const QImage &picture, QByteArray &jpeg);
// The picture as an uncompressed 24-bit bitmap file (bottom-up rows, no
// palette) that every program reads.
bool EncodeBitmap(const QImage &picture, QByteArray &bitmap);

// Writes the picture as `fileName` in the format its extension chooses.
// False (with a text for the log in `error`) for a null picture or when the
// file cannot be written; a file that could not be written completely is
// not left behind.
bool SaveGraphic(const QImage &picture, const QString &fileName, QString *error = nullptr);

class TSnapshotInfo
{
public:
    // Index 0 is the newest.
    int Count() const { return int(Pictures.size()); }
    // Null for an index out of range.
    QImage Picture(int index) const;
    // A producer's new picture goes in front; a null picture is refused.
    bool Insert(const QImage &picture);
    // Removes one picture; false when there is none at the index.
    bool Delete(int index);
    void Clear();
    // Saves picture `index` as `fileName` (SaveGraphic). False when there is
    // no picture at the index or writing failed.
    bool SaveOne(int index, const QString &fileName, QString *error = nullptr) const;
    // With ext the file name's extension and base the name without it,
    // saves picture i as base + i + ext, from the oldest (count - 1) down to
    // the newest (0). Stops at the first file that cannot be written; true
    // when every picture was saved (and there was at least one).
    bool SaveAll(const QString &fileName, QString *error = nullptr) const;

    // The numbered name SaveAll gives picture `index`.
    static QString NumberedName(const QString &fileName, int index);

private:
    std::vector<QImage> Pictures;
};

extern TSnapshotInfo *SnapshotInfo;
