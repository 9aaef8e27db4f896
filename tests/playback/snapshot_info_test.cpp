// The snapshot store and the two save operations.
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "app/snapshot_module.h"
#include "platform/safe_file.h"
#include "playback/snapshot_info.h"
#include "snapshot_test_util.h"
#include "test_env.h"

namespace {

QImage Solid(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

bool IsJpegData(const QByteArray &bytes)
{
    return bytes.startsWith("\xFF\xD8\xFF");
}

TEST(SnapshotStore, NewestFirstDeleteAndClear)
{
    TSnapshotInfo store;
    EXPECT_EQ(store.Count(), 0);
    EXPECT_FALSE(store.Delete(0)); // empty: nothing happens
    EXPECT_FALSE(store.Insert(QImage()));
    EXPECT_EQ(store.Count(), 0);
    for (int i = 1; i <= 4; ++i)
        ASSERT_TRUE(store.Insert(Solid(10 * i, 10, qRgb(i, i, i))));
    ASSERT_EQ(store.Count(), 4);
    // Index 0 is the newest.
    EXPECT_EQ(store.Picture(0).width(), 40);
    EXPECT_EQ(store.Picture(3).width(), 10);
    EXPECT_TRUE(store.Picture(4).isNull());
    EXPECT_TRUE(store.Picture(-1).isNull());

    EXPECT_FALSE(store.Delete(4));
    EXPECT_FALSE(store.Delete(-1));
    EXPECT_EQ(store.Count(), 4);
    ASSERT_TRUE(store.Delete(1)); // the 30-wide one
    ASSERT_EQ(store.Count(), 3);
    EXPECT_EQ(store.Picture(0).width(), 40);
    EXPECT_EQ(store.Picture(1).width(), 20);
    EXPECT_EQ(store.Picture(2).width(), 10);

    // A picture handed out stays valid after the store lets go of it.
    const QImage kept = store.Picture(0);
    store.Clear();
    EXPECT_EQ(store.Count(), 0);
    EXPECT_EQ(kept.width(), 40);
    EXPECT_EQ(kept.pixel(0, 0), qRgb(4, 4, 4));
}

TEST(SnapshotStore, SaveAllNumbersFromTheOldestAndTheExtensionChoosesTheFormat)
{
    TSnapshotInfo store;
    // Oldest first in, so picture i is (i + 1) * 16 wide.
    for (int i = 2; i >= 0; --i)
        ASSERT_TRUE(store.Insert(TestPicture((i + 1) * 16, 24)));
    const QString dir = TestEnv::NewFolder("saveall");

    ASSERT_TRUE(store.SaveAll(dir + "/snap.jpg"));
    for (int i = 0; i < 3; ++i) {
        const QByteArray bytes = TestEnv::ReadFile(QString("%1/snap%2.jpg").arg(dir).arg(i));
        ASSERT_TRUE(IsJpegData(bytes)) << i;
        EXPECT_EQ(DecodeJpeg(bytes).size(), QSize((i + 1) * 16, 24)) << i;
    }
    EXPECT_FALSE(QFile::exists(dir + "/snap3.jpg"));
    EXPECT_FALSE(QFile::exists(dir + "/snap.jpg"));

    // Upper case is not a JPEG name: bitmaps under .JPG names.
    ASSERT_TRUE(store.SaveAll(dir + "/snap.JPG"));
    for (int i = 0; i < 3; ++i) {
        const QByteArray bytes = TestEnv::ReadFile(QString("%1/snap%2.JPG").arg(dir).arg(i));
        const TBitmapHeader h = ReadBitmapHeader(bytes);
        ASSERT_TRUE(h.Valid) << i;
        EXPECT_EQ(h.Width, (i + 1) * 16);
    }

    // The extension is the last dot of the file name, not of a folder.
    QDir().mkpath(dir + "/a.b");
    ASSERT_TRUE(store.SaveAll(dir + "/a.b/plain"));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(
            ReadBitmapHeader(TestEnv::ReadFile(dir + "/a.b/plain" + QString::number(i))).Valid);
    EXPECT_EQ(TSnapshotInfo::NumberedName("/x/one.two.jpeg", 12), "/x/one.two12.jpeg");

    TSnapshotInfo empty;
    EXPECT_FALSE(empty.SaveAll(dir + "/none.jpg"));
    EXPECT_FALSE(QFile::exists(dir + "/none0.jpg"));
}

TEST(SnapshotStore, SaveOneFormatsByExactExtension)
{
    const QString dir = TestEnv::NewFolder("formats");
    TSnapshotInfo store;
    ASSERT_TRUE(store.Insert(TestPicture(64, 48)));
    const struct
    {
        const char *Name;
        bool Jpeg;
    } cases[] = {{"a.jpg", true},  {"b.jpeg", true}, {"c.JPG", false},     {"d.Jpeg", false},
                 {"e.bmp", false}, {"f", false},     {"g.jpg.bmp", false}, {"h.bmp.jpg", true}};
    for (const auto &c : cases) {
        const QString path = dir + "/" + c.Name;
        ASSERT_TRUE(store.SaveOne(0, path)) << c.Name;
        const QByteArray bytes = TestEnv::ReadFile(path);
        EXPECT_EQ(IsJpegData(bytes), c.Jpeg) << c.Name;
        EXPECT_EQ(ReadBitmapHeader(bytes).Valid, !c.Jpeg) << c.Name;
        EXPECT_EQ(IsJpegFileName(path), c.Jpeg) << c.Name;
    }
    EXPECT_FALSE(store.SaveOne(1, dir + "/none.bmp"));
    EXPECT_FALSE(QFile::exists(dir + "/none.bmp"));
}

TEST(SnapshotStore, BitmapIsAPlain24BitFileAndJpegDecodesBack)
{
    // An odd width makes the rows padded to four bytes.
    const QImage picture = TestPicture(33, 17);
    QByteArray bmp;
    ASSERT_TRUE(EncodeBitmap(picture, bmp));
    const TBitmapHeader h = ReadBitmapHeader(bmp);
    ASSERT_TRUE(h.Valid);
    EXPECT_EQ(h.InfoSize, 40u);
    EXPECT_EQ(h.BitCount, 24);
    EXPECT_EQ(h.Compression, 0u); // BI_RGB
    EXPECT_EQ(h.Planes, 1);
    EXPECT_EQ(h.Width, 33);
    EXPECT_EQ(h.Height, 17); // positive: bottom-up rows
    const quint32 row = (33 * 3 + 3) / 4 * 4;
    EXPECT_EQ(h.DataOffset, 54u);
    EXPECT_EQ(h.FileSize, 54u + row * 17);
    EXPECT_EQ(quint32(bmp.size()), h.FileSize);
    // Bottom-up: the first stored row is the picture's last; bytes B, G, R.
    const auto *first = reinterpret_cast<const uchar *>(bmp.constData()) + h.DataOffset;
    const QRgb bottomLeft = picture.pixel(0, 16);
    EXPECT_EQ(first[0], qBlue(bottomLeft));
    EXPECT_EQ(first[1], qGreen(bottomLeft));
    EXPECT_EQ(first[2], qRed(bottomLeft));
    // Lossless: Qt reads back the same picture.
    QImage back;
    ASSERT_TRUE(back.loadFromData(bmp, "BMP"));
    EXPECT_EQ(MeanDifference(back, picture), 0);

    const QImage big = TestPicture(720, 576);
    QByteArray jpeg;
    ASSERT_TRUE(EncodeJpeg(big, jpeg));
    const QImage decoded = DecodeJpeg(jpeg);
    ASSERT_EQ(decoded.size(), QSize(720, 576));
    EXPECT_LT(MeanDifference(decoded, big), 6);
    // Qt's own reader agrees with libjpeg.
    QImage viaQt;
    ASSERT_TRUE(viaQt.loadFromData(jpeg, "JPEG"));
    EXPECT_LT(MeanDifference(viaQt, decoded), 2);
    // Pictures in other formats are converted, not misread.
    QByteArray fromArgb;
    ASSERT_TRUE(EncodeJpeg(big.convertToFormat(QImage::Format_ARGB32), fromArgb));
    EXPECT_LT(MeanDifference(DecodeJpeg(fromArgb), big), 6);
    EXPECT_FALSE(EncodeJpeg(QImage(), jpeg));
    EXPECT_FALSE(EncodeBitmap(QImage(), bmp));
}

TEST(SnapshotStore, WriteFailuresAreReportedAndLeaveNoFile)
{
    const QString dir = TestEnv::NewFolder("failures");
    TSnapshotInfo store;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(store.Insert(Solid(8, 8, qRgb(i * 50, 0, 0))));
    QString error;
    EXPECT_FALSE(store.SaveOne(0, dir + "/missing/x.jpg", &error));
    EXPECT_FALSE(error.isEmpty());

    InjectSafeWriteFailure(TSafeWriteStep::Write);
    error.clear();
    EXPECT_FALSE(store.SaveAll(dir + "/full.bmp", &error));
    InjectSafeWriteFailure(TSafeWriteStep::None);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(QDir(dir).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(SnapshotStore, ScriptsSaveTheNewestThroughTheSamePath)
{
    const QString dir = TestEnv::NewFolder("remote");
    TSnapshotInfo *saved = SnapshotInfo;
    SnapshotInfo = nullptr;
    EXPECT_EQ(SaveNewestSnapshot(dir + "/x.jpg"), "no snapshot");
    TSnapshotInfo store;
    SnapshotInfo = &store;
    EXPECT_EQ(SaveNewestSnapshot(dir + "/x.jpg"), "no snapshot");
    store.Insert(Solid(20, 10, qRgb(0, 0, 255)));
    store.Insert(Solid(30, 10, qRgb(255, 0, 0)));
    EXPECT_EQ(SaveNewestSnapshot(dir + "/x.jpg"), "");
    EXPECT_EQ(DecodeJpeg(TestEnv::ReadFile(dir + "/x.jpg")).size(), QSize(30, 10));
    EXPECT_EQ(SaveNewestSnapshot(dir + "/x.JPG"), "");
    EXPECT_EQ(ReadBitmapHeader(TestEnv::ReadFile(dir + "/x.JPG")).Width, 30);
    EXPECT_NE(SaveNewestSnapshot(dir + "/no/such/folder.jpg"), "");
    EXPECT_EQ(SaveNewestSnapshot(""), "no file name");
    SnapshotInfo = saved;
}

} // namespace
