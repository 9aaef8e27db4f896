// The real program on the virtual card, driven by lyra-remote: snapshots
// counted by the status, the newest saved by a script.
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

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
