// Scheduled recordings in the real program on the virtual card: the agent's
// request arrives as message 3025, the recording runs unattended to its time
// limit, is listed as "Scheduled" at once, and the channel comes back; busy,
// damaged and unfit requests are reported to the agent, which is played
// here by a socket of the agent's name on a thread of its own.
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <gtest/gtest.h>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "app/main_settings.h"
#include "capture/capture_settings.h"
#include "fake_agent.h"
#include "platform/instance_channel.h"
#include "playback/playback_info.h"
#include "playback/scheduled_record.h"
#include "program_process.h"
#include "test_env.h"

namespace {

bool Exit(TProgramProcess &lyra)
{
    for (int i = 0; i < 3 && lyra.Running(); ++i) {
        lyra.Remote("exit");
        if (lyra.WaitForExit(8000))
            return true;
    }
    return !lyra.Running();
}

std::vector<std::unique_ptr<TPlaybackItem>> DoneItems(const QString &folder)
{
    std::vector<std::unique_ptr<TPlaybackItem>> items;
    QFile file(folder + "/PLAYITEMS.LST");
    if (file.open(QIODevice::ReadOnly))
        EXPECT_TRUE(ReadDoneList(&file, items));
    return items;
}

bool SendRequest()
{
    return SendInstanceMessage(InstanceName, {MsgStartScheduledRecording, 0, 0});
}

TRelayRequest TenSecondsOfChannel5()
{
    TRelayRequest r;
    r.RecordLimit = 10;
    r.Source = RelayAntenna;
    r.Channel = 5;
    r.Format = FormatMPEG2;
    r.NameFormat = 1;
    r.FileName = "planned";
    return r;
}

void EditMainSettings(const QString &folder,
                      const std::function<void(TMainInfo &, TCaptureSettings &)> &edit)
{
    TMainInfo main;
    TAudioAdjustInfo audio(nullptr);
    TCaptureSettings capture;
    TMainSettingsContext context;
    context.Main = &main;
    context.Audio = &audio;
    context.Capture = &capture;
    const QString path = folder + "/QPAVO.cfg";
    ASSERT_TRUE(LoadMainSettings(path, context));
    edit(main, capture);
    if (testing::Test::HasFailure())
        return;
    ASSERT_TRUE(SaveMainSettings(path, context));
}

TEST(ScheduledProgram, ARequestRecordsToItsLimitIsListedAtOnceAndTheChannelComesBack)
{
    TFakeAgent agent;
    ASSERT_TRUE(agent.Listening);
    const QString folder = TProgramProcess::FolderWithChannels();
    TProgramProcess lyra;
    ASSERT_TRUE(lyra.Start(folder)) << lyra.Failure.toStdString();
    ASSERT_EQ(lyra.Status()["Channel"].toInt(), 2);

    ASSERT_TRUE(WriteRelayFile(folder + "/Relay.rec", TenSecondsOfChannel5()));
    ASSERT_TRUE(SendRequest());
    ASSERT_TRUE(lyra.WaitForStatus([](const QJsonObject &s) {
        return s["AppModeName"] == "ModeScheduledCapture";
    })) << lyra.Output().toStdString();
    const QJsonObject running = lyra.Status();
    EXPECT_EQ(running["Channel"].toInt(), 5);
    const QString file = running["RecordingFile"].toString();
    EXPECT_TRUE(file.endsWith("/planned.mpg")) << file.toStdString();

    // The time limit ends it; nobody is asked anything.
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) { return s["AppModeName"] == "ModeLive" && !s["Busy"].toBool(); },
        40000))
        << lyra.Output().toStdString();
    EXPECT_TRUE(agent.WaitFor({AgentReport, 100}));
    const QJsonObject after = lyra.Status();
    EXPECT_EQ(after["Channel"].toInt(), 2);
    EXPECT_FALSE(after["Warning"].isString()) << after["Warning"].toString().toStdString();

    // Written while the program still runs.
    const auto items = DoneItems(folder);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->Description, "Scheduled");
    EXPECT_TRUE(items[0]->Scheduled);
    EXPECT_EQ(items[0]->Channel, 5);
    EXPECT_EQ(items[0]->FileName, file);
    const double seconds = (items[0]->EndTime - items[0]->StartTime) * 86400.0;
    EXPECT_GE(seconds, 9.5);
    EXPECT_LT(seconds, 20);
    EXPECT_GT(QFileInfo(file).size(), 100000);

    // Busy with a time shift: refused, the time shift goes on.
    ASSERT_EQ(lyra.Remote("timeshift"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) { return s["AppModeName"] == "ModeTimeShift"; }));
    ASSERT_TRUE(SendRequest());
    EXPECT_TRUE(agent.WaitFor({AgentReport, 3}));
    EXPECT_EQ(lyra.Mode(), "ModeTimeShift");
    ASSERT_EQ(lyra.Remote("stop"), 0);
    ASSERT_TRUE(
        lyra.WaitForStatus([](const QJsonObject &s) { return s["AppModeName"] == "ModeLive"; }));

    // A request whose trailing magic is wrong: refused, nothing changes.
    QByteArray damaged = TestEnv::ReadFile(folder + "/Relay.rec");
    damaged[damaged.size() - 1] = 0x7f;
    TestEnv::WriteFile(folder + "/Relay.rec", damaged);
    ASSERT_TRUE(SendRequest());
    EXPECT_TRUE(agent.WaitFor({AgentReport, 3}, 2));
    EXPECT_EQ(lyra.Mode(), "ModeLive");
    EXPECT_EQ(lyra.Status()["Channel"].toInt(), 2);
    EXPECT_EQ(agent.Messages().count({AgentReport, 100}), 1);
    EXPECT_EQ(DoneItems(folder).size(), 1u);
    ASSERT_TRUE(Exit(lyra));
}

TEST(ScheduledProgram, AnFMRequestFromTVSwitchesToTheRadioAndBack)
{
    TFakeAgent agent;
    ASSERT_TRUE(agent.Listening);
    const QString folder = TProgramProcess::FolderWithChannels();
    TProgramProcess lyra;
    ASSERT_TRUE(lyra.Start(folder)) << lyra.Failure.toStdString();
    TRelayRequest fm = TenSecondsOfChannel5();
    fm.Source = RelayFM;
    fm.Channel = 0;
    fm.Kind = 1; // the radio's sound only
    fm.NameFormat = 0;
    ASSERT_TRUE(WriteRelayFile(folder + "/Relay.rec", fm));
    ASSERT_TRUE(SendRequest());
    ASSERT_TRUE(lyra.WaitForStatus([](const QJsonObject &s) {
        return s["AppModeName"] == "ModeScheduledCapture" && s["FMPanel"] == true;
    })) << lyra.Output().toStdString();
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) {
            return s["AppModeName"] == "ModeLive" && s["FMPanel"] == false && !s["Busy"].toBool();
        },
        40000))
        << lyra.Output().toStdString();
    EXPECT_TRUE(agent.WaitFor({AgentReport, 100}));
    EXPECT_EQ(lyra.Status()["Channel"].toInt(), 2);
    const auto items = DoneItems(folder);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0]->Description, "Scheduled");
    EXPECT_TRUE(QFileInfo(items[0]->FileName).size() > 0) << items[0]->FileName.toStdString();
    ASSERT_TRUE(Exit(lyra));
    // The request's settings were put back before the program saved them.
    EditMainSettings(folder, [](TMainInfo &, TCaptureSettings &c) {
        EXPECT_FALSE(c.TimeLimitEnabled);
        EXPECT_EQ(c.CaptureBaseName, "capture");
    });
}

} // namespace
