// lyra-remote and the status request, over the real local socket.
#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <QUuid>

#include "app/audio_adjust.h"
#include "app/command_names.h"
#include "app/modes_module.h"
#include "app/remote_status.h"
#include "app/startup.h"
#include "mode_fakes.h"
#include "platform/instance_channel.h"
#include "program_process.h"
#include "sound_server.h"
#include "test_env.h"

namespace {

class Remote : public ModeTest
{
protected:
    // The program's answer to socket messages, as start-up wires it: remote
    // commands are posted, the status is answered at once.
    static QByteArray Answer(const TInstanceMessageData &m)
    {
        if (m.Number == MsgRemoteCommand) {
            const int command = m.WParam;
            QTimer::singleShot(0, qApp, [command] { HandleRemoteCommand(command); });
        } else if (m.Number == MsgStatusRequest) {
            return RemoteStatusJson();
        }
        return QByteArray();
    }

    struct Run
    {
        int ExitCode = -1;
        QByteArray Out, Err;
    };

    // Runs the real tool while this process serves its socket.
    static Run RunTool(const QStringList &args)
    {
        QProcess tool;
        tool.setProgram(TestEnv::BinaryDir() + "/tools/lyra-remote");
        tool.setArguments(args);
        QEventLoop loop;
        QObject::connect(&tool, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&tool, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        tool.start();
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
        guard.start(20000);
        if (tool.state() != QProcess::NotRunning)
            loop.exec();
        Run r;
        if (tool.state() == QProcess::NotRunning && tool.exitStatus() == QProcess::NormalExit &&
            tool.error() != QProcess::FailedToStart)
            r.ExitCode = tool.exitCode();
        else {
            ADD_FAILURE() << "lyra-remote did not run: " << tool.errorString().toStdString();
            tool.kill();
        }
        QCoreApplication::processEvents(); // a posted command still waiting
        r.Out = tool.readAllStandardOutput();
        r.Err = tool.readAllStandardError();
        return r;
    }

    static QString UniqueName()
    {
        return "lyra-test-" + QUuid::createUuid().toString(QUuid::Id128).left(12);
    }
};

TEST_F(Remote, CommandNames)
{
    EXPECT_EQ(CommandFromText("next-channel"), 4001);
    EXPECT_EQ(CommandFromText("Capture"), 1001);
    EXPECT_EQ(CommandFromText("1002"), 1002);
    EXPECT_EQ(CommandFromText("10007"), 10007);
    EXPECT_EQ(CommandFromText("4"), -1);
    EXPECT_EQ(CommandFromText("bogus"), -1);
    EXPECT_EQ(CommandFromText(""), -1);
    QSet<QString> names;
    QSet<int> numbers;
    for (const TCommandName &c : CommandNames()) {
        names.insert(c.Name);
        numbers.insert(c.Command);
    }
    EXPECT_EQ(names.size(), CommandNames().size());
    EXPECT_EQ(numbers.size(), CommandNames().size());
    // One name for every command of the dispatcher.
    EXPECT_EQ(CommandNames().size(), 65);
}

TEST_F(Remote, StatusReportsTheState)
{
    Force(ModeCapture);
    Recording.Running = true;
    Recording.File = "/videos/a.mpg";
    Audio.Vol = 1000;
    Audio.Mute = true;
    Channels.Bnd = ModeCable;
    const QJsonObject s = RemoteStatus();
    EXPECT_EQ(s["AppMode"].toInt(), 2);
    EXPECT_EQ(s["AppModeName"].toString(), "ModeCapture");
    EXPECT_EQ(s["SourceName"].toString(), "tuner");
    EXPECT_EQ(s["Band"].toInt(), 1);
    EXPECT_EQ(s["BandName"].toString(), "cable");
    EXPECT_EQ(s["Channel"].toInt(), 12);
    EXPECT_EQ(s["ChannelText"].toString(), "News- Stereo");
    EXPECT_EQ(s["TVFrequency"].toInt(), 175250000);
    EXPECT_EQ(s["FMFrequency"].toInt(), 88700000);
    EXPECT_EQ(s["Volume"].toInt(), 1000);
    EXPECT_TRUE(s["Muted"].toBool());
    EXPECT_TRUE(s["Recording"].toBool());
    EXPECT_EQ(s["RecordingFile"].toString(), "/videos/a.mpg");
    EXPECT_EQ(s["ElapsedSeconds"].toInt(), 42);
    EXPECT_TRUE(s["Warning"].isNull());
    EXPECT_TRUE(s["VideoDevice"].isNull()); // none chosen
    EXPECT_TRUE(s["FMMemory"].isNull()) << "no FM memory on the cable band";
    // Reading the state is not an action.
    EXPECT_TRUE(Log.Calls.isEmpty());

    Channels.Bnd = ModeFMList;
    const QJsonObject fm = RemoteStatus();
    EXPECT_EQ(fm["FMMemory"].toInt(), 12);
    EXPECT_EQ(fm["FMMemoryName"].toString(), "News- Stereo");

    // Without engines the values are unknown, not zero.
    ModeEngines = {};
    const QJsonObject bare = RemoteStatus();
    EXPECT_TRUE(bare["Channel"].isNull());
    EXPECT_TRUE(bare["TVFrequency"].isNull());
    EXPECT_TRUE(bare["Volume"].isNull());
    EXPECT_FALSE(bare["Recording"].toBool());
    EXPECT_TRUE(bare["VideoDevice"].isNull());
}

TEST_F(Remote, StatusShowsTheOpenWarning)
{
    class Peek : public IWarningPresenter
    {
    public:
        QJsonObject Seen;
        void Present(const QStringList &) override { Seen = RemoteStatus(); }
        void Close() override {}
    } peek;
    SetWarningPresenter(&peek);
    ShowWarning(1101);
    EXPECT_TRUE(peek.Seen["Warning"].toString().startsWith("Disk will be full"));
}

TEST_F(Remote, ToolDrivesTheRunningProgram)
{
    const QString name = UniqueName();
    TInstanceServer server(name);
    server.Handler = Answer;
    ASSERT_TRUE(server.Listen()) << server.ErrorText().toStdString();

    Run r = RunTool({"--socket", name, "next-channel"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(Log.Calls, QStringList({"NextChannel"}));

    r = RunTool({"--socket", name, "1001"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(Main.AppMode, ModeCapture);

    // Delivered, but the dispatcher's conditions hold: no FM while recording.
    Log.Calls.clear();
    r = RunTool({"--socket", name, "fm"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(Main.AppMode, ModeCapture);
    EXPECT_TRUE(Log.Calls.isEmpty());

    r = RunTool({"--socket", name, "status"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QJsonObject s = QJsonDocument::fromJson(r.Out).object();
    EXPECT_EQ(s["AppModeName"].toString(), "ModeCapture");
    EXPECT_TRUE(s["Recording"].toBool());
    EXPECT_EQ(s["RecordingFile"].toString(), Recording.File);

    r = RunTool({"--socket", name, "stop"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_EQ(Main.AppMode, ModeLive);
}

// The real program, started in this test's private runtime folder, answers
// the real tool; a remote command reaches it (closing its warning first if
// one is open) and "exit" ends it.
TEST_F(Remote, RealProgramAnswersStatus)
{
    QProcess lyra;
    lyra.setProgram(TestEnv::BinaryDir() + "/lyra");
    // A configured program: a first start would stop at the set-up wizard.
    lyra.setArguments({"--program-folder", TProgramProcess::FolderWithChannels()});
    lyra.start();
    ASSERT_TRUE(lyra.waitForStarted(10000));
    bool listening = false;
    for (int i = 0; i < 200 && !listening && lyra.state() == QProcess::Running; ++i) {
        listening = InstanceListening(InstanceName);
        if (!listening)
            QThread::msleep(50);
    }
    ASSERT_TRUE(listening) << lyra.readAllStandardError().toStdString();

    const Run r = RunTool({"status"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QJsonObject s = QJsonDocument::fromJson(r.Out).object();
    EXPECT_TRUE(s.contains("AppMode"));
    EXPECT_FALSE(s["AppModeName"].toString().isEmpty());
    EXPECT_TRUE(s.contains("Warning"));

    // A normal start opens no warning: the first command is obeyed.
    RunTool({"exit"});
    lyra.waitForFinished(10000);
    EXPECT_EQ(lyra.state(), QProcess::NotRunning);
    if (lyra.state() != QProcess::NotRunning) {
        lyra.kill();
        lyra.waitForFinished(5000);
    }
}

// With a sound server running, the real program's volume and mute commands
// change the output as pactl reads it, the status reports them, and the
// output is unmuted when the program exits.
TEST_F(Remote, RealProgramDrivesTheSoundServer)
{
    TSoundServer sound;
    ASSERT_TRUE(sound.Start()) << sound.Error().toStdString();
    sound.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "50000"});
    QProcess lyra;
    lyra.setProgram(TestEnv::BinaryDir() + "/lyra");
    // A configured program: a first start would stop at the set-up wizard.
    lyra.setArguments({"--program-folder", TProgramProcess::FolderWithChannels()});
    lyra.start();
    ASSERT_TRUE(lyra.waitForStarted(10000));
    auto status = [&] {
        const Run r = RunTool({"status"});
        return r.ExitCode == 0 ? QJsonDocument::fromJson(r.Out).object() : QJsonObject();
    };
    // Up when it shows live TV, past start-up's mute and unmute, with no
    // warning on the way.
    bool ready = false;
    for (int i = 0; i < 300 && !ready && lyra.state() == QProcess::Running; ++i) {
        const QJsonObject s = InstanceListening(InstanceName) ? status() : QJsonObject();
        ASSERT_FALSE(s["Warning"].isString()) << s["Warning"].toString().toStdString();
        ready = s["AppModeName"] == "ModeLive" && s["Volume"].toInt() == 50000 &&
                s["Muted"] == false;
        if (!ready)
            QThread::msleep(50);
    }
    ASSERT_TRUE(ready) << lyra.readAllStandardError().toStdString();

    EXPECT_EQ(RunTool({"volume-down"}).ExitCode, 0);
    EXPECT_EQ(sound.SinkVolume(), 50000 - 6553);
    EXPECT_EQ(RunTool({"mute"}).ExitCode, 0);
    EXPECT_TRUE(sound.SinkMuted());
    QJsonObject s;
    for (int i = 0; i < 100; ++i) {
        s = status();
        if (s["Volume"].toInt() == 50000 - 6553 && s["Muted"] == true)
            break;
        QThread::msleep(50);
    }
    EXPECT_EQ(s["Volume"].toInt(), 50000 - 6553);
    EXPECT_EQ(s["Muted"], true);

    for (int i = 0; i < 2 && lyra.state() == QProcess::Running; ++i) {
        RunTool({"exit"});
        lyra.waitForFinished(5000);
    }
    EXPECT_EQ(lyra.state(), QProcess::NotRunning);
    if (lyra.state() != QProcess::NotRunning) {
        lyra.kill();
        lyra.waitForFinished(5000);
    }
    EXPECT_FALSE(sound.SinkMuted()) << "exit unmutes the output";
}

TEST_F(Remote, ToolExitCodes)
{
    Run r = RunTool({"--list"});
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_TRUE(r.Out.contains("next-channel"));
    EXPECT_TRUE(r.Out.contains("snapshot"));

    EXPECT_EQ(RunTool({}).ExitCode, 2);
    EXPECT_EQ(RunTool({"bogus"}).ExitCode, 2);
    EXPECT_EQ(RunTool({"4"}).ExitCode, 2);
    EXPECT_EQ(RunTool({"--socket"}).ExitCode, 2);
    EXPECT_EQ(RunTool({"mute", "stop"}).ExitCode, 2);
    EXPECT_EQ(RunTool({"--socket", "a/b", "mute"}).ExitCode, 2);

    // Nobody listens: this process's runtime folder is private, so the
    // default name is free too.
    r = RunTool({"status"});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Err.contains("not running"));
    EXPECT_EQ(RunTool({"--socket", UniqueName(), "mute"}).ExitCode, 1);
    EXPECT_TRUE(Log.Calls.isEmpty());
}

} // namespace

namespace {

// The module's start-up wiring, as the program installs it.
TEST(ModesModule, InstallsAndRemovesItsHooks)
{
    TMainInfo main;
    TAudioAdjustInfo audio;
    MainInfo = &main;
    AudioAdjustInfo = &audio;
    InitializeModesModule();
    ASSERT_TRUE(StartupHooks.SetAppMode && StartupHooks.ExecuteCommand &&
                StartupHooks.HandleRemoteCommand && StartupHooks.RemoteStatus &&
                StartupHooks.ApplyMenuLanguage && StartupHooks.CreateHotkeys);
    StartupHooks.CreateHotkeys();
    ASSERT_NE(HotkeyControlInfo, nullptr);
    EXPECT_TRUE(HotkeyControlInfo->TuneChannel != nullptr);
    EXPECT_TRUE(main.OnModeChanged != nullptr);

    // No engines yet: the first preview cannot start, and the status says so.
    EXPECT_FALSE(StartupHooks.SetAppMode(ModeLive));
    EXPECT_FALSE(StartupHooks.SetAppMode(42));
    const QJsonObject s = QJsonDocument::fromJson(StartupHooks.RemoteStatus()).object();
    EXPECT_EQ(s["AppModeName"].toString(), "ModeNone");
    EXPECT_TRUE(s["Volume"].isNull()); // no mixer

    FinalizeModesModule();
    EXPECT_EQ(HotkeyControlInfo, nullptr);
    EXPECT_FALSE(StartupHooks.SetAppMode || StartupHooks.RemoteStatus);
    EXPECT_EQ(ModeEngines.Audio, nullptr);
    AudioAdjustInfo = nullptr;
    MainInfo = nullptr;
}

} // namespace
