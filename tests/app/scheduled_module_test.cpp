// The scheduled recording's refusals before anything records: a request
// the card cannot carry out is reported to the agent (3028 with 4), the
// recording settings are put back and the mode stays. The engine's
// recording settings are the real engine's; the mode machine's partners
// are the fakes.
#include <gtest/gtest.h>

#include "app/scheduled_module.h"
#include "capture/capture_info.h"
#include "fake_agent.h"
#include "mode_fakes.h"
#include "platform/program_folder.h"
#include "playback/scheduled_record.h"

namespace {

class ScheduledModule : public ModeTest
{
protected:
    void SetUp() override
    {
        ModeTest::SetUp();
        Engine = std::make_unique<TCaptureInfo>();
        CaptureInfo = Engine.get();
        InitializeScheduledModule();
        ASSERT_TRUE(Agent.Listening);
    }
    void TearDown() override
    {
        FinalizeScheduledModule();
        CaptureInfo = nullptr;
        Engine.reset();
        ModeTest::TearDown();
    }
    void Request(int source)
    {
        TRelayRequest r;
        r.Source = source;
        r.Channel = 4;
        r.RecordLimit = 600;
        r.NameFormat = 1;
        r.FileName = "planned";
        ASSERT_TRUE(WriteRelayFile(RelayFilePath(), r));
    }
    // Nothing of the request stayed in the engine.
    void ExpectSettingsUnchanged()
    {
        EXPECT_FALSE(Engine->TimeLimitEnabled);
        EXPECT_EQ(Engine->TimeLimit, 60);
        EXPECT_EQ(Engine->CaptureBaseName, "capture");
        EXPECT_TRUE(Engine->UseDateTimeFileName);
        EXPECT_EQ(Engine->Quiet, 0);
    }
    std::unique_ptr<TCaptureInfo> Engine;
    TFakeAgent Agent;
};

TEST_F(ScheduledModule, RequestsTheCardCannotCarryOutAreUnfit)
{
    // FM without FM support.
    Main.FMAvailable = 0;
    Request(RelayFM);
    HandleScheduledRequest();
    EXPECT_TRUE(Agent.WaitFor({AgentReport, 4}));
    EXPECT_EQ(Main.AppMode, ModeLive);
    EXPECT_FALSE(Shell.FMPanelVisible());
    EXPECT_FALSE(Log.Has("EnterFMMode"));
    ExpectSettingsUnchanged();

    // TV without a tuner.
    Capture.Tuner = false;
    Request(RelayAntenna);
    HandleScheduledRequest();
    EXPECT_TRUE(Agent.WaitFor({AgentReport, 4}, 2));
    EXPECT_EQ(Main.AppMode, ModeLive);
    ExpectSettingsUnchanged();

    // FM offered, but the switch to it fails.
    Capture.Tuner = true;
    Main.FMAvailable = 1;
    FM.EnterOk = false;
    Request(RelayFM);
    HandleScheduledRequest();
    EXPECT_TRUE(Agent.WaitFor({AgentReport, 4}, 3));
    EXPECT_TRUE(Log.Has("EnterFMMode"));
    EXPECT_EQ(Main.AppMode, ModeLive);
    EXPECT_FALSE(Shell.FMPanelVisible());
    ExpectSettingsUnchanged();
    EXPECT_FALSE(Log.Has("StartScheduled"));
    EXPECT_EQ(Agent.Messages().size(), 3);
}

} // namespace
