// "Relay.rec": the request the scheduling agent hands over. The bytes are
// built here by offset, independently of the writer, so that a field read
// from the wrong place fails.
#include <QBuffer>
#include <QFile>
#include <QtEndian>

#include <gtest/gtest.h>

#include "playback/scheduled_record.h"
#include "test_env.h"

namespace {

void PutInt(QByteArray &b, int offset, int32_t v)
{
    qToLittleEndian<qint32>(v, reinterpret_cast<uchar *>(b.data()) + offset);
}

// A complete file: magic, record, magic; offsets within the record.
QByteArray RelayBytes(const QByteArray &name = "evening news", int32_t lastMagic = 4500)
{
    QByteArray record(320, '\0');
    record.replace(0, 4, "TALN");
    PutInt(record, 16, 1800);
    PutInt(record, 20, 1);  // cable
    PutInt(record, 24, 42); // channel
    record[28] = 9;         // SVCD (PAL)
    PutInt(record, 32, 480);
    PutInt(record, 36, 576);
    record[40] = 6;
    PutInt(record, 44, 2500);
    PutInt(record, 48, 3);
    record[52] = 2;
    record[53] = 'x'; // the agent's own bytes are not read
    record[60] = 1;
    record.replace(61, name.size(), name);
    QByteArray head(4, '\0'), tail(4, '\0');
    PutInt(head, 0, 4500);
    PutInt(tail, 0, lastMagic);
    return head + record + tail;
}

bool Read(QByteArray bytes, TRelayRequest &r)
{
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    return ReadRelayRecord(&in, r);
}

TEST(RelayRecord, EveryFieldIsReadFromItsOffset)
{
    TRelayRequest r;
    ASSERT_TRUE(Read(RelayBytes(), r));
    EXPECT_EQ(r.RecordLimit, 1800);
    EXPECT_EQ(r.Source, RelayCable);
    EXPECT_TRUE(r.IsTV());
    EXPECT_EQ(r.Channel, 42);
    EXPECT_EQ(r.Format, 9);
    EXPECT_EQ(r.Width, 480);
    EXPECT_EQ(r.Height, 576);
    EXPECT_EQ(r.Quality, 6);
    EXPECT_EQ(r.BitRate, 2500);
    EXPECT_EQ(r.FrameRate, 3);
    EXPECT_EQ(r.Kind, 2);
    EXPECT_EQ(r.NameFormat, 1);
    EXPECT_EQ(r.FileName, "evening news");

    // The writer makes the same bytes (the unread agent byte aside).
    QByteArray written;
    ASSERT_TRUE(EncodeRelayRecord(r, written));
    QByteArray expected = RelayBytes();
    expected[4 + 53] = 0;
    EXPECT_EQ(written, expected);
}

TEST(RelayRecord, DamagedFilesAreRefusedAndLeaveTheRequestAlone)
{
    const QByteArray good = RelayBytes();
    QByteArray wrongFirst = good;
    wrongFirst[0] = 0x13;
    QByteArray badSource = good;
    PutInt(badSource, 4 + 20, 6);
    QByteArray badFormat = good;
    badFormat[4 + 28] = 10;
    QByteArray noSize = good;
    PutInt(noSize, 4 + 32, 0);
    const struct
    {
        const char *what;
        QByteArray bytes;
    } cases[] = {
        {"empty", {}},
        {"only the first magic", good.left(4)},
        {"record cut short", good.left(200)},
        {"trailing magic missing", good.left(324)},
        {"trailing magic cut", good.left(326)},
        {"wrong first magic", wrongFirst},
        {"wrong trailing magic after a complete record", RelayBytes("news", 4501)},
        {"a name that runs to the record's end", RelayBytes(QByteArray(259, 'n'))},
        {"source 6", badSource},
        {"format 10", badFormat},
        {"width 0", noSize},
    };
    for (const auto &c : cases) {
        TRelayRequest r;
        r.Channel = 77;
        EXPECT_FALSE(Read(c.bytes, r)) << c.what;
        EXPECT_EQ(r.Channel, 77) << c.what;
    }
    TRelayRequest r;
    EXPECT_FALSE(ReadRelayFile(TestEnv::NewFolder("relay") + "/Relay.rec", r)) << "missing file";
}

TEST(RelayRecord, TheLongestNameFitsAndALongerOneIsNotWritten)
{
    TRelayRequest r;
    r.FileName = QString(RelayNameMax, 'a');
    QByteArray bytes;
    ASSERT_TRUE(EncodeRelayRecord(r, bytes));
    TRelayRequest back;
    ASSERT_TRUE(Read(bytes, back));
    EXPECT_EQ(back.FileName, r.FileName);

    r.FileName += "a";
    QString error;
    bytes = "unchanged";
    EXPECT_FALSE(EncodeRelayRecord(r, bytes, &error));
    EXPECT_EQ(bytes, "unchanged");
    EXPECT_TRUE(error.contains("259")) << error.toStdString();

    // Counted in bytes: 130 two-byte letters do not fit either.
    r.FileName = QString(130, QChar(0x00e9));
    EXPECT_FALSE(EncodeRelayRecord(r, bytes));
    const QString path = TestEnv::NewFolder("relay") + "/Relay.rec";
    EXPECT_FALSE(WriteRelayFile(path, r));
    EXPECT_FALSE(QFile::exists(path));
}

} // namespace
