// corvet, the line-in monitor, on a private sound server: a 1 kHz tone
// played into a null sink "line" (whose monitor is the default input, the
// "line input") comes out on the default output, where the output's monitor
// hears it; and it stops on every request.
#include <csignal>
#include <functional>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include "sound_server.h"
#include "test_env.h"

namespace {

QString Corvet()
{
    return TestEnv::BinaryDir() + "/corvet";
}

bool WaitFor(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QThread::msleep(20);
    }
    return true;
}

// Waits for an orphan this process adopted (see EndsWithItsParent) to end.
bool Reaped(pid_t pid, int ms)
{
    return WaitFor([&] { return waitpid(pid, nullptr, WNOHANG) == pid; }, ms);
}

class CorvetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Server.Start()) << Server.Error().toStdString();
        ASSERT_GE(Server.LoadModule({"module-null-sink", "sink_name=line"}), 0);
        Server.Pactl({"set-default-source", "line.monitor"});
        Server.Pactl({"set-default-sink", "null"});
    }
    void TearDown() override
    {
        if (Tone) {
            gst_element_set_state(Tone, GST_STATE_NULL);
            gst_object_unref(Tone);
        }
    }
    void PlayTone()
    {
        Tone = gst_parse_launch("audiotestsrc wave=sine freq=1000 volume=0.5 is-live=true ! "
                                "pulsesink device=line",
                                nullptr);
        ASSERT_NE(Tone, nullptr);
        ASSERT_NE(gst_element_set_state(Tone, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    }
    // corvet's recording stream, once it runs (nothing else records).
    int Recording() { return Server.Pactl({"list", "short", "source-outputs"}).count('\n') + 1; }
    bool Playing()
    {
        return WaitFor([&] {
            return !Server.Pactl({"list", "short", "source-outputs"}).isEmpty();
        });
    }
    TToneMeasure Heard(int ms = 600) { return MeasureTone(RecordFrom("null.monitor", ms), 48000); }
    TSoundServer Server;
    GstElement *Tone = nullptr;
};

TEST_F(CorvetTest, PlaysTheLineInputAndStopsOnTerm)
{
    PlayTone();
    EXPECT_LT(Heard(300).Rms, 50) << "nothing on the output before the monitor runs";

    QProcess corvet;
    corvet.start(Corvet(), {"on"});
    ASSERT_TRUE(corvet.waitForStarted(5000));
    ASSERT_TRUE(Playing()) << corvet.readAllStandardError().toStdString();
    // Skip the start of the stream; then the tone is there, at its pitch.
    RecordFrom("null.monitor", 200);
    const TToneMeasure tone = Heard();
    EXPECT_GT(tone.Rms, 3000);
    EXPECT_NEAR(tone.CrossingsPerSecond, 2000, 100);

    corvet.terminate();
    ASSERT_TRUE(corvet.waitForFinished(3000));
    EXPECT_EQ(corvet.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(corvet.exitCode(), 0);
    EXPECT_TRUE(WaitFor([&] { return Heard(200).Rms < 50; })) << "the output fell silent";
}

TEST_F(CorvetTest, OffStopsTheRunningMonitor)
{
    QProcess corvet;
    corvet.start(Corvet(), {"on", "--device", "pulse"});
    ASSERT_TRUE(corvet.waitForStarted(5000));
    ASSERT_TRUE(Playing()) << corvet.readAllStandardError().toStdString();
    // A second one refuses to double the sound.
    EXPECT_EQ(QProcess::execute(Corvet(), {"on"}), 0);
    EXPECT_EQ(Recording(), 1);

    EXPECT_EQ(QProcess::execute(Corvet(), {"off"}), 0);
    ASSERT_TRUE(corvet.waitForFinished(3000));
    EXPECT_EQ(corvet.exitCode(), 0);
    EXPECT_EQ(QProcess::execute(Corvet(), {"off"}), 0) << "nothing to stop";
}

TEST_F(CorvetTest, EndsWithItsParent)
{
    // A shell starts it and is killed: corvet is told by the kernel. This
    // process adopts the orphan, so that it can see it end.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    QProcess shell;
    shell.start("sh", {"-c", "\"$0\" on & echo $!; wait", Corvet()});
    ASSERT_TRUE(shell.waitForStarted(5000));
    ASSERT_TRUE(shell.waitForReadyRead(5000));
    const pid_t pid = pid_t(shell.readLine().trimmed().toLongLong());
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(Playing());
    ::kill(pid_t(shell.processId()), SIGKILL);
    shell.waitForFinished(3000);
    EXPECT_TRUE(Reaped(pid, 3000)) << "corvet outlived its parent";
    prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST_F(CorvetTest, ArgumentsAndDeviceErrors)
{
    EXPECT_EQ(QProcess::execute(Corvet(), {"loud"}), 2);
    EXPECT_EQ(QProcess::execute(Corvet(), {"on", "--period-ms", "0"}), 2);
    QProcess corvet;
    corvet.start(Corvet(), {"on", "--device", "hw:9"});
    ASSERT_TRUE(corvet.waitForFinished(10000));
    EXPECT_EQ(corvet.exitCode(), 1) << "no such card";
    EXPECT_FALSE(corvet.readAllStandardError().isEmpty());
}

} // namespace
