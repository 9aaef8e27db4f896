#include <QBuffer>

#include <gtest/gtest.h>

#include "platform/record_stream.h"

namespace {

QByteArray Write(const std::function<void(TRecordWriter &)> &fill)
{
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    TRecordWriter w(&buf);
    fill(w);
    EXPECT_TRUE(w.Ok());
    return bytes;
}

} // namespace

TEST(RecordStream, FieldsRoundTripLittleEndian)
{
    const QByteArray bytes = Write([](TRecordWriter &w) {
        w.WriteInt(0x9999);
        w.WriteBool(true);
        w.WriteStr(QString::fromUtf8("Grüße"));
        w.WriteDouble(-2.5);
        w.WriteInt(-1);
    });
    // 0x9999 little-endian, then Bool 1, then the UTF-8 byte length 7.
    EXPECT_EQ(bytes.left(12), QByteArray("\x99\x99\x00\x00\x01\x00\x00\x00\x07\x00\x00\x00", 12));

    QByteArray copy = bytes;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    TRecordReader r(&buf);
    int32_t i = 0;
    bool b = false;
    QString s;
    double d = 0;
    ASSERT_TRUE(r.ReadInt(i));
    EXPECT_EQ(i, 0x9999);
    ASSERT_TRUE(r.ReadBool(b));
    EXPECT_TRUE(b);
    ASSERT_TRUE(r.ReadStr(s));
    EXPECT_EQ(s, QString::fromUtf8("Grüße"));
    ASSERT_TRUE(r.ReadDouble(d));
    EXPECT_EQ(d, -2.5);
    ASSERT_TRUE(r.ReadInt(i));
    EXPECT_EQ(i, -1);
    EXPECT_FALSE(r.ReadInt(i)) << "reading past the end fails";
    EXPECT_FALSE(r.Ok());
}

TEST(RecordStream, AnyNonZeroBoolIsTrueAndByteIntsKeepLowBits)
{
    QByteArray bytes = Write([](TRecordWriter &w) {
        w.WriteInt(7);
        w.WriteInt(0x1234);
        w.WriteInt(-5);
    });
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    TRecordReader r(&buf);
    bool b = false;
    uint8_t v = 9;
    ASSERT_TRUE(r.ReadBool(b));
    EXPECT_TRUE(b);
    ASSERT_TRUE(r.ReadByteInt(v));
    EXPECT_EQ(v, 0x34);
    ASSERT_TRUE(r.ReadByteInt(v));
    EXPECT_EQ(v, 0);
}

TEST(RecordStream, OverlongStringReadsEmptyAndLeavesItsBytes)
{
    QByteArray bytes = Write([](TRecordWriter &w) { w.WriteInt(513); });
    bytes += QByteArray(4, '\x2a'); // what follows the length stays unread
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    TRecordReader r(&buf);
    QString s = "x";
    ASSERT_TRUE(r.ReadStr(s));
    EXPECT_TRUE(s.isEmpty());
    int32_t next = 0;
    ASSERT_TRUE(r.ReadInt(next));
    EXPECT_EQ(next, 0x2a2a2a2a);
}

TEST(RecordStream, StringOf512BytesIsKeptAndLongerIsCutOnWrite)
{
    const QString exact(512, 'a');
    QString longer = QString(511, 'b') + QString::fromUtf8("é") + "tail";
    QByteArray bytes = Write([&](TRecordWriter &w) {
        w.WriteStr(exact);
        w.WriteStr(longer);
        w.WriteInt(0x8907);
    });
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    TRecordReader r(&buf);
    QString a, b;
    int32_t end = 0;
    ASSERT_TRUE(r.ReadStr(a));
    ASSERT_TRUE(r.ReadStr(b));
    ASSERT_TRUE(r.ReadInt(end));
    EXPECT_EQ(a, exact);
    // The two-byte character would cross byte 512: it is dropped whole.
    EXPECT_EQ(b, QString(511, 'b'));
    EXPECT_EQ(end, 0x8907) << "the file stays readable after a cut string";
}

TEST(RecordStream, TruncatedStringFails)
{
    QByteArray bytes = Write([](TRecordWriter &w) { w.WriteInt(10); });
    bytes += "abc";
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    TRecordReader r(&buf);
    QString s;
    EXPECT_FALSE(r.ReadStr(s));
}
