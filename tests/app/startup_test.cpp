#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "app/main_settings.h"
#include "app/startup.h"
#include "capture/capture_settings.h"
#include "channels/languages.h"
#include "platform/instance_channel.h"
#include "platform/messages.h"
#include "platform/program_folder.h"
#include "test_env.h"

namespace {

struct RecordingPresenter : IWarningPresenter
{
    QStringList Shown;
    void Present(const QStringList &lines) override { Shown << lines.join(" "); }
    void Close() override {}
};

// Runs a child process while this process keeps handling socket messages.
int RunChild(const QString &program, const QStringList &args, int timeoutMs = 30000)
{
    QProcess child;
    QEventLoop loop;
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&child, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    child.start(program, args);
    loop.exec();
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished();
        return -1;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -2;
}

TEST(Arguments, FirstNonOptionIsArgumentOne)
{
    TStartArguments a = ParseArguments({"--program-folder", "/tmp/p", "FM", "srec_tv"});
    EXPECT_TRUE(a.Error.isEmpty());
    EXPECT_EQ(a.ProgramFolder, "/tmp/p");
    EXPECT_TRUE(a.StartFM()) << "any letter case";
    EXPECT_FALSE(a.ScheduledTV()) << "only argument 1 is read";

    a = ParseArguments({"Srec_Fm", "--virtual-card=cx88"});
    EXPECT_TRUE(a.ScheduledFM());
    EXPECT_EQ(a.VirtualCard, "cx88");

    a = ParseArguments({"--program-folder=/x", "whatever"});
    EXPECT_EQ(a.ProgramFolder, "/x");
    EXPECT_FALSE(a.StartFM() || a.ScheduledFM() || a.ScheduledTV());

    EXPECT_FALSE(ParseArguments({"--frobnicate"}).Error.isEmpty());
    EXPECT_FALSE(ParseArguments({"--program-folder"}).Error.isEmpty());
    EXPECT_FALSE(ParseArguments({"--program-folder="}).Error.isEmpty());
    EXPECT_FALSE(ParseArguments({"--program-folder", ""}).Error.isEmpty());
    EXPECT_FALSE(ParseArguments({"--virtual-card="}).Error.isEmpty());
    EXPECT_TRUE(ParseArguments({"fm", "--version"}).Version);
    EXPECT_TRUE(ParseArguments({"--help"}).Help);
}

// The start-up stages against recording hooks.
class StartupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InitializeModules();
        SetWarningPresenter(&Presenter);
        StartupHooks = TStartupHooks();
        StartArguments = TStartArguments();
        StartupHooks.SetAppMode = [this](int mode) {
            Calls << QString("mode %1").arg(mode);
            if (!ModeWorks)
                return false;
            MainInfo->AppMode = uint8_t(mode);
            return true;
        };
        StartupHooks.HasTuner = [this] { return Tuner; };
        StartupHooks.HasAuxInput = [] { return false; };
        StartupHooks.LoadChannelSettings = [this] { Calls << "load channels"; };
        StartupHooks.ApplyStoredStandard = [this] { Calls << "standard"; };
        StartupHooks.ChannelTableUnconfigured = [this] { return Unconfigured; };
        StartupHooks.RunFirstRunWizard = [this] { Calls << "wizard"; };
        StartupHooks.RestoreSource = [this](bool tuner) {
            Calls << QString("restore %1").arg(tuner);
        };
        StartupHooks.ExecuteCommand = [this](int c) {
            Calls << QString("command %1").arg(c);
            if (c == 6000 && FMWorks)
                MainInfo->AppMode = ModeFM;
        };
        StartupHooks.CreateFMPanel = [] { return true; };
        StartupHooks.ShowMainWindow = [this] { WindowShown = true; };
        StartupHooks.CloseMainWindow = [this] { WindowShown = false; };
        StartupHooks.ShowTunerItems = [this](bool on) { TunerItems = on; };
        StartupHooks.ShowCameraItem = [this](bool on) { CameraItem = on; };
    }
    void TearDown() override
    {
        SetWarningPresenter(nullptr);
        StartupHooks = TStartupHooks();
        StartArguments = TStartArguments();
        FinalizeModules();
    }

    RecordingPresenter Presenter;
    bool WindowShown = false, TunerItems = false, CameraItem = true;
    QStringList Calls;
    bool ModeWorks = true, Tuner = true, Unconfigured = false, FMWorks = true;
};

TEST_F(StartupTest, TvStartRestoresTheStoredSource)
{
    ASSERT_TRUE(StartDevices());
    EXPECT_FALSE(EngineStartInFM);
    EXPECT_EQ(Calls, QStringList({"mode 0", "load channels", "standard", "restore 1"}));
    EXPECT_TRUE(TunerItems);
    EXPECT_FALSE(CameraItem);
}

TEST_F(StartupTest, FmArgumentStartsInFmWithoutRestoringTheTvSource)
{
    StartArguments = ParseArguments({"fm"});
    ASSERT_TRUE(StartDevices());
    EXPECT_TRUE(EngineStartInFM);
    EXPECT_FALSE(Calls.contains("restore 1"));

    // Stored StartInFM does the same without the argument; FMAvailable off
    // overrides both.
    StartArguments = TStartArguments();
    MainInfo->StartInFM = 1;
    ASSERT_TRUE(StartDevices());
    EXPECT_TRUE(EngineStartInFM);
    MainInfo->FMAvailable = 0;
    ASSERT_TRUE(StartDevices());
    EXPECT_FALSE(EngineStartInFM);
}

TEST_F(StartupTest, CardWithoutTunerClearsFm)
{
    Tuner = false;
    StartArguments = ParseArguments({"FM"});
    MainInfo->StartInFM = 1;
    ASSERT_TRUE(StartDevices());
    EXPECT_FALSE(EngineStartInFM);
    EXPECT_EQ(MainInfo->FMAvailable, 0);
    EXPECT_EQ(MainInfo->StartInFM, 0);
    EXPECT_EQ(Calls, QStringList({"mode 0", "load channels", "restore 0"}));
    EXPECT_FALSE(TunerItems);
}

TEST_F(StartupTest, UnconfiguredTableRunsTheFirstRunWizard)
{
    Unconfigured = true;
    ASSERT_TRUE(StartDevices());
    EXPECT_EQ(Calls, QStringList({"mode 0", "load channels", "standard", "command 201", "wizard"}));
    EXPECT_TRUE(WindowShown);
}

TEST_F(StartupTest, PreviewThatCannotStartShows1001)
{
    ModeWorks = false;
    EXPECT_FALSE(StartDevices());
    EXPECT_EQ(Presenter.Shown, QStringList({"Cannot init Direct show interface... (1001)"}));
}

TEST_F(StartupTest, FmStartThatFailsClearsStartInFmAndCloses)
{
    FMWorks = false;
    MainInfo->StartInFM = 1;
    WindowShown = true;
    StartArguments = ParseArguments({"fm"});
    DeferredStart();
    EXPECT_TRUE(Calls.contains("command 6000"));
    EXPECT_EQ(MainInfo->StartInFM, 0);
    EXPECT_FALSE(WindowShown) << "the program closes through its normal shutdown";
}

TEST_F(StartupTest, MissingFmPanelIsReportedAndTvGoesOn)
{
    StartupHooks.CreateFMPanel = nullptr;
    DeferredStart();
    EXPECT_EQ(Presenter.Shown, QStringList({"Cannot create FM panel..."}));
    EXPECT_EQ(MainInfo->AppMode, ModeLive);
    EXPECT_TRUE(WindowShown);
}

TEST_F(StartupTest, ScheduledStartOnlyFromLiveOrFm)
{
    // Busy, or in TV without a request to carry out: the agent is told
    // with AgentReport 3 and nothing changes. (The request carried out is
    // the real program's test, tests/app/scheduled_program_test.cpp.)
    QList<TInstanceMessageData> agentGot;
    TInstanceServer agent(AgentName);
    ASSERT_TRUE(agent.Listen());
    agent.Handler = [&](const TInstanceMessageData &m) {
        agentGot << m;
        return QByteArray();
    };
    for (uint8_t mode : {ModePlay, ModeLive}) {
        Calls.clear();
        agentGot.clear();
        MainInfo->AppMode = mode;
        StartScheduledRecording();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!agentGot.isEmpty())
                loop.quit();
        });
        poll.start(10);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        ASSERT_EQ(agentGot.size(), 1);
        EXPECT_EQ(agentGot[0].Number, AgentReport);
        EXPECT_EQ(agentGot[0].WParam, 3);
        EXPECT_TRUE(Calls.isEmpty());
        EXPECT_EQ(MainInfo->AppMode, mode);
    }
}

TEST(SingleInstance, SecondStartActivatesTheFirstAndExitsZero)
{
    // This process plays the first instance; the real program is the second.
    QList<int> received;
    TInstanceServer first(InstanceName);
    ASSERT_TRUE(first.Listen());
    first.Handler = [&](const TInstanceMessageData &m) {
        received << m.Number;
        return QByteArray();
    };
    const QString folder = TestEnv::NewFolder("second");
    const int code = RunChild(TestEnv::BinaryDir() + "/lyra", {"--program-folder", folder});
    EXPECT_EQ(code, 0);
    EXPECT_EQ(received, QList<int>({MsgActivateInstance}));
    // The second instance got as far as its program folder, and no further.
    EXPECT_TRUE(QFileInfo(folder + "/Language").isDir());
    EXPECT_FALSE(QFileInfo::exists(folder + "/QPAVO.cfg"));

    // A second server in the same user session cannot take the name.
    TInstanceServer other(InstanceName);
    EXPECT_FALSE(other.Listen());
    EXPECT_TRUE(other.AlreadyRunning());
}

TEST(SingleInstance, RepliesTravelBackToTheSender)
{
    // The receiver runs on its own thread, as the program does in its own
    // process, so the sender can block on the reply.
    QThread thread;
    thread.start();
    auto *server = new TInstanceServer("lyra-test-socket");
    server->moveToThread(&thread);
    bool listening = false;
    QList<TInstanceMessageData> got;
    QMetaObject::invokeMethod(
        server,
        [&] {
            listening = server->Listen();
            server->Handler = [&](const TInstanceMessageData &m) {
                got << m;
                return m.Number == MsgStatusRequest ? QByteArray("{\"AppMode\":0}") : QByteArray();
            };
        },
        Qt::BlockingQueuedConnection);
    ASSERT_TRUE(listening);

    QByteArray reply = "unchanged";
    EXPECT_TRUE(SendInstanceMessage("lyra-test-socket", {MsgRemoteCommand, 1001, 0}, &reply));
    EXPECT_TRUE(reply.isEmpty());
    EXPECT_TRUE(SendInstanceMessage("lyra-test-socket", {MsgStatusRequest, 0, 0}, &reply));
    EXPECT_EQ(reply, QByteArray("{\"AppMode\":0}"));
    EXPECT_TRUE(PostInstanceMessage("lyra-test-socket", {AgentSleepExpired, 0, 0}));
    // A posted message is handled some time after the poster has gone.
    for (int i = 0; i < 200; ++i) {
        int count = 0;
        QMetaObject::invokeMethod(
            server, [&] { count = got.size(); }, Qt::BlockingQueuedConnection);
        if (count >= 3)
            break;
        QThread::msleep(10);
    }

    QMetaObject::invokeMethod(
        server, [&] { delete server; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0].Number, MsgRemoteCommand);
    EXPECT_EQ(got[0].WParam, 1001);
    EXPECT_EQ(got[2].Number, AgentSleepExpired);

    EXPECT_FALSE(InstanceListening("nobody-here"));
    EXPECT_FALSE(SendInstanceMessage("nobody-here", {MsgRemoteCommand, 1, 0}, nullptr, 300));
}

} // namespace
