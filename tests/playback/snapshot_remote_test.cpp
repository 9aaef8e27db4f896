// The real program on the virtual card, driven by lyra-remote: snapshots
// counted by the status, the newest saved by a script.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QThread>
#include <QUuid>
#include <QtEndian>

#include <gtest/gtest.h>

#include "platform/instance_channel.h"
#include "program_process.h"
#include "snapshot_test_util.h"
#include "test_env.h"

namespace {

int SaveSnapshot(const QString &file, QByteArray *err = nullptr)
{
    QProcess tool;
    tool.start(TestEnv::BinaryDir() + "/tools/lyra-remote", {"snapshot-save", file});
    if (!tool.waitForFinished(30000)) {
        tool.kill();
        tool.waitForFinished();
        return -1;
    }
    if (err)
        *err = tool.readAllStandardError();
    return tool.exitCode();
}

QByteArray Header(int number, int wParam)
{
    QByteArray bytes(12, '\0');
    auto *raw = reinterpret_cast<uchar *>(bytes.data());
    qToLittleEndian<qint32>(number, raw);
    qToLittleEndian<qint32>(wParam, raw + 4);
    return bytes;
}

using TestEnv::WaitUntil;

// The file name travels after the message, and may arrive in pieces; a
// length beyond the limit ends the connection before anything is handled.
TEST(SnapshotRemote, MessageTextArrivesWholeOrNotAtAll)
{
    const QString name = "lyra-test-" + QUuid::createUuid().toString(QUuid::Id128).left(12);
    TInstanceServer server(name);
    QList<TInstanceMessageData> got;
    server.Handler = [&](const TInstanceMessageData &m) {
        got << m;
        return QByteArray("reply");
    };
    ASSERT_TRUE(server.Listen());

    QLocalSocket client;
    client.connectToServer(RuntimeSocketPath(name));
    ASSERT_TRUE(WaitUntil([&] { return client.state() == QLocalSocket::ConnectedState; }));
    const QByteArray text = "/tmp/snap \xC3\xA9.jpg";
    client.write(Header(MsgSnapshotSave, int(text.size())) + text.left(5));
    client.flush();
    WaitUntil([&] { return false; }, 200);
    EXPECT_TRUE(got.isEmpty()); // not yet whole
    client.write(text.mid(5) + Header(MsgStatusRequest, 7));
    client.flush();
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 2; }));
    EXPECT_EQ(got[0].Number, MsgSnapshotSave);
    EXPECT_EQ(got[0].Text, text);
    EXPECT_EQ(got[1].Number, MsgStatusRequest);
    EXPECT_EQ(got[1].WParam, 7);
    EXPECT_TRUE(got[1].Text.isEmpty());

    client.write(Header(MsgSnapshotSave, MaxMessageText + 1) + QByteArray(64, 'x'));
    client.flush();
    ASSERT_TRUE(WaitUntil([&] { return client.state() == QLocalSocket::UnconnectedState; }));
    EXPECT_EQ(got.size(), 2);
}

TEST(SnapshotRemote, ThreeSnapshotsCountedAndTheNewestSaved)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    ASSERT_FALSE(folder.isEmpty());
    TProgramProcess lyra;
    ASSERT_TRUE(lyra.Start(folder)) << lyra.Failure.toStdString();
    EXPECT_EQ(lyra.Status()["SnapshotCount"].toInt(-1), 0);
    const QString dir = TestEnv::NewFolder("remote-save");

    // Nothing to save yet.
    QByteArray err;
    EXPECT_EQ(SaveSnapshot(dir + "/none.jpg", &err), 3);
    EXPECT_TRUE(err.contains("no snapshot")) << err.toStdString();
    EXPECT_FALSE(QFile::exists(dir + "/none.jpg"));

    for (int i = 1; i <= 3; ++i) {
        ASSERT_EQ(lyra.Remote("snapshot"), 0);
        ASSERT_TRUE(lyra.WaitForStatus([i](const QJsonObject &s) {
            return s["SnapshotCount"].toInt() == i;
        })) << lyra.Output().toStdString();
    }
    EXPECT_TRUE(lyra.Status()["Warning"].isNull());

    ASSERT_EQ(SaveSnapshot(dir + "/x.jpg"), 0);
    const QImage jpeg = DecodeJpeg(TestEnv::ReadFile(dir + "/x.jpg"));
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_GE(jpeg.width(), 320);
    EXPECT_GE(jpeg.height(), 240);
    // Upper case is not a JPEG name: a bitmap of the same picture.
    ASSERT_EQ(SaveSnapshot(dir + "/x.JPG"), 0);
    const TBitmapHeader bmp = ReadBitmapHeader(TestEnv::ReadFile(dir + "/x.JPG"));
    EXPECT_TRUE(bmp.Valid);
    EXPECT_EQ(bmp.Width, jpeg.width());
    EXPECT_EQ(bmp.Height, jpeg.height());
    // A folder that does not exist: nothing saved, and the script is told.
    EXPECT_EQ(SaveSnapshot(dir + "/missing/x.jpg"), 3);

    EXPECT_EQ(lyra.Remote("exit"), 0);
    EXPECT_TRUE(lyra.WaitForExit());
}

} // namespace
