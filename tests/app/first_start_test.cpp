// The real program's first start: without a channel file it opens the set-up
// wizard, with one it does not; and lyra-remote's scan command rescans the
// band of a running program, and stops the scan when sent again.
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QThread>
#include <csignal>
#include <set>

#include <gtest/gtest.h>

#include "program_process.h"
#include "test_env.h"

namespace {

QJsonObject ShowFile(const QString &path)
{
    QProcess tool;
    tool.start(TestEnv::BinaryDir() + "/tools/lyra-config", {"show", path});
    tool.waitForFinished(20000);
    return QJsonDocument::fromJson(tool.readAllStandardOutput()).object();
}

std::set<int> EnabledAntenna(const QJsonObject &file)
{
    std::set<int> out;
    for (const QJsonValue &v : file["antenna"].toArray())
        out.insert(v.toObject()["number"].toInt());
    return out;
}

bool WizardOpen(const QJsonObject &s)
{
    return s["Dialog"] == "TV Setup Wizard";
}

TEST(FirstStart, WithoutAChannelFileTheWizardOpensAndAsksAgainIfNotFinished)
{
    const QString folder = TestEnv::NewFolder("program");
    for (int start = 0; start < 2; ++start) {
        TProgramProcess p;
        ASSERT_TRUE(p.Start(folder)) << p.Failure.toStdString();
        ASSERT_TRUE(p.WaitForStatus(WizardOpen)) << p.Output().toStdString();
        EXPECT_EQ(p.Status()["SourceName"], "tuner");
        // Ending the session closes the wizard; nothing was chosen.
        p.Signal(SIGTERM);
        ASSERT_TRUE(p.WaitForExit()) << p.Output().toStdString();
        ASSERT_TRUE(QFile::exists(folder + "/QPAVO2.cfg"));
        EXPECT_EQ(ShowFile(folder + "/QPAVO2.cfg")["systemChoice"], 11);
    }
}

TEST(FirstStart, WithAChannelFileNoWizardAndTheScanCommandRescans)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    ASSERT_FALSE(folder.isEmpty());
    const std::set<int> demo = EnabledAntenna(ShowFile(folder + "/QPAVO2.cfg"));
    ASSERT_FALSE(demo.count(6));
    TProgramProcess p;
    ASSERT_TRUE(p.Start(folder)) << p.Failure.toStdString();
    ASSERT_TRUE(
        p.WaitForStatus([](const QJsonObject &s) { return s["AppModeName"] == "ModeLive"; }));
    EXPECT_TRUE(p.Status()["Dialog"].isNull());

    ASSERT_EQ(p.Remote("scan"), 0);
    ASSERT_TRUE(p.WaitForStatus([](const QJsonObject &s) { return s["Scanning"] == true; }));
    // Past channel 6 (0.3 s a frequency), whose off-raster station the demo
    // table does not list, then the same command stops the scan.
    QThread::msleep(2600);
    EXPECT_TRUE(p.Status()["Scanning"].toBool());
    QElapsedTimer clock;
    clock.start();
    ASSERT_EQ(p.Remote("scan"), 0);
    ASSERT_TRUE(p.WaitForStatus([](const QJsonObject &s) { return s["Scanning"] == false; }));
    EXPECT_LT(clock.elapsed(), 5000);
    // Afterwards the channel being watched is tuned again.
    ASSERT_TRUE(p.WaitForStatus([](const QJsonObject &s) { return s["Busy"] == false; }));
    EXPECT_EQ(p.Status()["Channel"], 2);

    ASSERT_EQ(p.Remote("exit"), 0);
    ASSERT_TRUE(p.WaitForExit()) << p.Output().toStdString();
    const std::set<int> after = EnabledAntenna(ShowFile(folder + "/QPAVO2.cfg"));
    EXPECT_TRUE(after.count(6));
    EXPECT_TRUE(after.count(2));
}

} // namespace
