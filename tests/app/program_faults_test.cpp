// The real program in a child process on the virtual card, driven with
// lyra-remote the way a newcomer drove it when these faults were found:
// the mosaic, TV/FM round trips, exit from FM, signals, a full disk, the
// FM frequency across sessions, the channel text and the second start.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <vector>

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

bool ModeIs(TProgramProcess &p, const char *mode, int timeoutMs = 15000)
{
    return p.WaitForStatus([&](const QJsonObject &s) { return s["AppModeName"] == mode; },
                           timeoutMs);
}

TEST(ProgramFaults, MosaicChooseAndExitInsideItDoNotCrash)
{
    TProgramProcess p;
    const QString folder = TProgramProcess::FolderWithChannels();
    ASSERT_TRUE(p.Start(folder)) << p.Failure.toStdString();
    ASSERT_EQ(p.Remote("digit-7"), 0);
    ASSERT_TRUE(p.WaitForStatus([](const QJsonObject &s) { return s["Channel"] == 7; }));
    for (int cycle = 0; cycle < 3; ++cycle) {
        ASSERT_EQ(p.Remote("channel-preview"), 0);
        ASSERT_TRUE(ModeIs(p, "ModeChannelPreview")) << p.Output().toStdString();
        // The mosaic samples a cell (and tunes) every few seconds; the
        // commands land in the middle of that.
        QThread::msleep(3200);
        for (int i = 0; i < 3; ++i)
            p.Remote("right");
        p.Remote("preview-choose");
        ASSERT_TRUE(ModeIs(p, "ModeLive")) << p.Output().toStdString();
        // The chosen channel is tuned, and the tuner agrees.
        const QJsonObject s = p.Status();
        EXPECT_EQ(s["TunerFrequency"], s["TVFrequency"]);
        EXPECT_TRUE(s["Signal"].toBool());
    }
    ASSERT_EQ(p.Remote("channel-preview"), 0);
    ASSERT_TRUE(ModeIs(p, "ModeChannelPreview"));
    QThread::msleep(1500);
    p.Remote("exit");
    EXPECT_TRUE(p.WaitForExit()) << p.Output().toStdString();
}

TEST(ProgramFaults, TvFmRoundTripsNeitherCrashNorLeak)
{
    TProgramProcess p;
    // Every pipeline thread may get a malloc arena of its own that keeps
    // freed frames; two arenas keep the measure about what stays allocated.
    p.Environment << "MALLOC_ARENA_MAX=2";
    ASSERT_TRUE(p.Start(TProgramProcess::FolderWithChannels())) << p.Failure.toStdString();
    // Resident memory after each round; threads come and go with the
    // pipelines, so single samples wander: compare the lowest of the early
    // rounds with the lowest of the last ones.
    std::vector<qint64> kb;
    std::vector<int> fds;
    for (int round = 1; round <= 12; ++round) {
        ASSERT_EQ(p.Remote("fm"), 0);
        ASSERT_TRUE(ModeIs(p, "ModeFM")) << "round " << round << "\n"
                                         << QJsonDocument(p.Status()).toJson().toStdString()
                                         << p.Output().right(3000).toStdString();
        ASSERT_EQ(p.Remote("fm"), 0);
        ASSERT_TRUE(ModeIs(p, "ModeLive")) << "round " << round << "\n"
                                           << p.Output().right(3000).toStdString();
        kb.push_back(p.ResidentKb());
        fds.push_back(p.OpenDescriptors());
    }
    // The first rounds warm the caches of GStreamer and the toolkit.
    const qint64 early = *std::min_element(kb.begin() + 2, kb.begin() + 6);
    const qint64 late = *std::min_element(kb.end() - 4, kb.end());
    RecordProperty("ResidentEarlyKb", int(early));
    RecordProperty("ResidentLateKb", int(late));
    EXPECT_LE(fds.back(), fds[2]) << "descriptors after 12 round trips";
    // Each round trip used to keep its whole preview branch: 5 MB a round.
    EXPECT_LT(late - early, 8 * 1024)
        << "resident memory from " << early << " to " << late << " kB";
    const QJsonObject s = p.Status();
    EXPECT_EQ(s["TunerFrequency"], s["TVFrequency"]);
    p.Remote("exit");
    EXPECT_TRUE(p.WaitForExit());
}

TEST(ProgramFaults, ExitFromFmEndsTheProcessAndFreesItsSocket)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    {
        TProgramProcess p;
        ASSERT_TRUE(p.Start(folder)) << p.Failure.toStdString();
        ASSERT_EQ(p.Remote("fm"), 0);
        ASSERT_TRUE(ModeIs(p, "ModeFM"));
        p.Remote("exit");
        ASSERT_TRUE(p.WaitForExit(10000)) << "the process kept running after exit in FM";
    }
    // The next start is a real one, not an activation of a ghost.
    TProgramProcess again;
    ASSERT_TRUE(again.Start(folder)) << again.Failure.toStdString();
    again.Remote("exit");
    EXPECT_TRUE(again.WaitForExit());
}

TEST(ProgramFaults, TermAndIntSignalsSaveAsAnOrderlyExitDoes)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    for (int number : {SIGTERM, SIGINT}) {
        const int channel = number == SIGTERM ? 7 : 4;
        TProgramProcess p;
        ASSERT_TRUE(p.Start(folder)) << p.Failure.toStdString();
        ASSERT_EQ(p.Remote(QString("digit-%1").arg(channel)), 0);
        ASSERT_TRUE(p.WaitForStatus([&](const QJsonObject &s) { return s["Channel"] == channel; }));
        p.Signal(number);
        EXPECT_TRUE(p.WaitForExit()) << "signal " << number;
        EXPECT_EQ(ShowFile(folder + "/QPAVO2.cfg")["currentChannel"].toInt(), channel)
            << "signal " << number;
        EXPECT_TRUE(QFileInfo::exists(folder + "/QPAVO.cfg"));
    }
}

TEST(ProgramFaults, LeavingFmDuringASeekReturnsToTheTunedChannel)
{
    TProgramProcess p;
    ASSERT_TRUE(p.Start(TProgramProcess::FolderWithChannels())) << p.Failure.toStdString();
    const QJsonObject before = p.Status();
    ASSERT_EQ(p.Remote("fm"), 0);
    ASSERT_TRUE(ModeIs(p, "ModeFM"));
    ASSERT_EQ(p.Remote("fm-seek-down"), 0);
    QThread::msleep(300);
    ASSERT_EQ(p.Remote("fm"), 0);
    ASSERT_TRUE(ModeIs(p, "ModeLive"));
    const QJsonObject after = p.Status();
    EXPECT_EQ(after["Channel"], before["Channel"]);
    EXPECT_EQ(after["TVFrequency"], before["TVFrequency"]);
    // Not snow: the tuner is where the channel is, and hears its station.
    EXPECT_EQ(after["TunerFrequency"], after["TVFrequency"]);
    EXPECT_TRUE(after["Signal"].toBool());
    p.Remote("exit");
    EXPECT_TRUE(p.WaitForExit());
}

TEST(ProgramFaults, TheFmFrequencySurvivesASessionWithoutFm)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    int tuned = 0;
    {
        TProgramProcess p;
        ASSERT_TRUE(p.Start(folder)) << p.Failure.toStdString();
        ASSERT_EQ(p.Remote("fm"), 0);
        ASSERT_TRUE(ModeIs(p, "ModeFM"));
        for (int i = 0; i < 3; ++i)
            p.Remote("fm-up");
        ASSERT_TRUE(p.WaitForStatus(
            [](const QJsonObject &s) { return s["FMFrequency"].toInt() != 100000000; }));
        QThread::msleep(500);
        tuned = p.Status()["FMFrequency"].toInt();
        p.Remote("exit");
        ASSERT_TRUE(p.WaitForExit());
    }
    ASSERT_EQ(ShowFile(folder + "/QPAVO.cfg")["SavedFMFrequency"].toInt(), tuned);
    {
        TProgramProcess p;
        ASSERT_TRUE(p.Start(folder)) << p.Failure.toStdString();
        p.Remote("exit");
        ASSERT_TRUE(p.WaitForExit());
    }
    EXPECT_EQ(ShowFile(folder + "/QPAVO.cfg")["SavedFMFrequency"].toInt(), tuned);
}

TEST(ProgramFaults, ChannelTextFollowsTheSoundMode)
{
    TProgramProcess p;
    ASSERT_TRUE(p.Start(TProgramProcess::FolderWithChannels())) << p.Failure.toStdString();
    // Channel 4 of the virtual card sends mono and stereo.
    ASSERT_EQ(p.Remote("digit-4"), 0);
    ASSERT_TRUE(p.WaitForStatus([](const QJsonObject &s) { return s["Channel"] == 4; }));
    const QString before = p.Status()["ChannelText"].toString();
    ASSERT_EQ(p.Remote("audio-mode"), 0);
    ASSERT_TRUE(
        p.WaitForStatus([&](const QJsonObject &s) { return s["ChannelText"] != before; }, 5000))
        << "still " << before.toStdString();
    const QString after = p.Status()["ChannelText"].toString();
    EXPECT_TRUE(after.contains("- ")) << after.toStdString();
    p.Remote("exit");
    EXPECT_TRUE(p.WaitForExit());
}

TEST(ProgramFaults, ASecondStartSaysWhichProgramItActivated)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    TProgramProcess first;
    ASSERT_TRUE(first.Start(folder)) << first.Failure.toStdString();
    QProcess second;
    second.start(TestEnv::BinaryDir() + "/lyra", {"--program-folder", TestEnv::NewFolder("other")});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);
    const QString err = QString::fromLocal8Bit(second.readAllStandardError());
    EXPECT_TRUE(err.contains("already running")) << err.toStdString();
    EXPECT_TRUE(err.contains(QDir(folder).absolutePath())) << err.toStdString();
    first.Remote("exit");
    EXPECT_TRUE(first.WaitForExit());

    // Bad options are refused with a reason and exit code 2.
    for (const QStringList &args : {QStringList{"--bogus"}, QStringList{"--program-folder="}}) {
        QProcess bad;
        bad.start(TestEnv::BinaryDir() + "/lyra", args);
        ASSERT_TRUE(bad.waitForFinished(20000));
        EXPECT_EQ(bad.exitCode(), 2) << args.join(' ').toStdString();
        EXPECT_FALSE(bad.readAllStandardError().isEmpty());
    }
}

// The program folder on a file system that is full at exit: both files keep
// their previous contents, the user is told each time, and the exit code
// says the settings were not saved. Runs in a user and mount namespace of
// its own (unshare), on a small tmpfs.
TEST(ProgramFaults, AFullDiskAtExitKeepsBothSettingsFiles)
{
    if (QProcess::execute("unshare", {"--user", "--map-root-user", "--mount", "true"}) != 0)
        GTEST_SKIP() << "no user namespaces here";
    const QString folder = TProgramProcess::FolderWithChannels();
    {
        // A first session writes QPAVO.cfg.
        TProgramProcess p;
        ASSERT_TRUE(p.Start(folder)) << p.Failure.toStdString();
        p.Remote("exit");
        ASSERT_TRUE(p.WaitForExit());
    }
    const QByteArray settings = TestEnv::ReadFile(folder + "/QPAVO.cfg");
    const QByteArray channels = TestEnv::ReadFile(folder + "/QPAVO2.cfg");
    ASSERT_FALSE(settings.isEmpty());
    ASSERT_FALSE(channels.isEmpty());

    const QString mountPoint = TestEnv::NewFolder("full");
    const QString script = QString(R"(
set -e
mount -t tmpfs -o size=4m tmpfs '%1'
cp -a '%2'/. '%1'/
dd if=/dev/zero of='%1/filler' bs=4k 2>/dev/null || true
'%3' --program-folder '%1' && code=0 || code=$?
echo "exit=$code"
cmp -s '%1/QPAVO.cfg' '%2/QPAVO.cfg' && echo settings-kept
cmp -s '%1/QPAVO2.cfg' '%2/QPAVO2.cfg' && echo channels-kept
ls -a '%1' | grep -c '^\.QPAVO' | sed 's/^/temporary=/'
)")
                               .arg(mountPoint, folder, TestEnv::BinaryDir() + "/lyra");
    QProcess ns;
    ns.setProcessChannelMode(QProcess::MergedChannels);
    ns.start("unshare", {"--user", "--map-root-user", "--mount", "sh", "-c", script});
    ASSERT_TRUE(ns.waitForStarted());
    TProgramProcess driver; // the program inside answers on this test's socket
    // Through the start's warning to live TV, change the channel, exit.
    QStringList warnings;
    bool channelAsked = false;
    QElapsedTimer clock;
    clock.start();
    while (ns.state() == QProcess::Running && clock.elapsed() < 120000) {
        const QJsonObject s = driver.Status();
        if (s.isEmpty()) {
            ns.waitForFinished(100);
            continue;
        }
        if (!s["Warning"].isNull()) {
            warnings << s["Warning"].toString();
            driver.Remote("mute"); // closes the warning
        } else if (s["AppModeName"] == "ModeLive" && !s["Busy"].toBool() && !channelAsked) {
            // One digit: the entry timer tunes it; a second would make 55.
            driver.Remote("digit-5");
            channelAsked = true;
        } else if (s["AppModeName"] == "ModeLive" && s["Channel"] == 5) {
            driver.Remote("exit");
        }
        ns.waitForFinished(200); // also notices the end of the shell
    }
    ns.waitForFinished(30000);
    const QString out = QString::fromLocal8Bit(ns.readAll());
    EXPECT_TRUE(out.contains("exit=1")) << out.toStdString();
    EXPECT_TRUE(out.contains("settings-kept")) << out.toStdString();
    EXPECT_TRUE(out.contains("channels-kept")) << out.toStdString();
    EXPECT_TRUE(out.contains("temporary=0")) << out.toStdString();
    EXPECT_TRUE(warnings.contains("Cannot write config....")) << warnings.join(" | ").toStdString();
    EXPECT_TRUE(warnings.contains("Cannot write channel config...."))
        << warnings.join(" | ").toStdString();
}

} // namespace
