// The dispatcher on the real channel table: source and band commands, the
// audio-mode cycle and the table's events reaching the views.
#include "../channels/fake_tuner.h"
#include "app/channel_control.h"
#include "app/commands.h"
#include "channels/channel_info.h"
#include "mode_fakes.h"

namespace {

class ChannelTable : public ModeTest
{
protected:
    TFakeTuner Tuner;

    void SetUp() override
    {
        ModeTest::SetUp();
        TunerPort = &Tuner;
        ChannelInfo = new TChannelInfo;
        for (int n : {3, 5, 12}) {
            for (bool antenna : {true, false}) {
                TTVChannel &c = ChannelInfo->List(antenna)[n];
                c.Enabled = 1;
                c.Frequency = c.TableFrequency = 50000000 + n * 8000000 + (antenna ? 0 : 1000000);
                c.Standard = StdPALBG;
                c.Name = QString("%1 %2").arg(antenna ? "Ant" : "Cab").arg(n);
            }
        }
        ChannelInfo->DefaultStandard = StdPALBG;
        ChannelInfo->CurrentChannel = 5;
        InstallChannelControl();
    }

    void TearDown() override
    {
        RemoveChannelControl();
        delete ChannelInfo;
        ChannelInfo = nullptr;
        TunerPort = nullptr;
        ModeTest::TearDown();
    }
};

TEST_F(ChannelTable, BandCommandTunesTheSharedChannelAndTellsTheViews)
{
    ASSERT_TRUE(ExecuteCommand(202));
    EXPECT_EQ(ChannelInfo->Mode, ModeCable);
    EXPECT_EQ(ChannelInfo->Source, SourceTuner);
    EXPECT_TRUE(Tuner.Calls.contains(QString("tune %1").arg(50000000 + 5 * 8000000 + 1000000)));
    EXPECT_EQ(ModeEngines.Channels->ChannelText(), "Cab 5- Mono");
    EXPECT_TRUE(Log.Has("main:Band"));
    EXPECT_TRUE(Log.Has("main:Channel"));
    ASSERT_FALSE(MainView.SourceMenus.isEmpty());
    EXPECT_TRUE(MainView.SourceMenus.last().Cable);

    // Up skips the disabled numbers; recall goes back.
    ExecuteCommand(4001);
    EXPECT_EQ(ChannelInfo->CurrentChannel, 12);
    ExecuteCommand(4003);
    EXPECT_EQ(ChannelInfo->CurrentChannel, 5);

    // Numeric entry tunes the table too.
    ExecuteCommand(10003);
    ExecuteCommand(10020);
    EXPECT_EQ(ChannelInfo->CurrentChannel, 3);
}

TEST_F(ChannelTable, InputsAndTheCycle)
{
    ExecuteCommand(201);
    ExecuteCommand(204);
    EXPECT_EQ(ChannelInfo->Source, SourceComposite);
    EXPECT_TRUE(Log.Has("main:Source"));
    ExecuteCommand(200);
    EXPECT_EQ(ChannelInfo->Source, SourceSVideo);
    ExecuteCommand(200); // the camera (the card has an auxiliary input)
    EXPECT_EQ(ChannelInfo->Source, SourceCamera);
    EXPECT_TRUE(Tuner.Calls.contains("input 9"));
    ExecuteCommand(200);
    EXPECT_EQ(ChannelInfo->Source, SourceTuner);
    EXPECT_EQ(ChannelInfo->Mode, ModeAntenna);

    // Restoring as at start selects the stored source again.
    ExecuteCommand(205);
    Tuner.Calls.clear();
    RestoreSourceAsAtStart(true);
    EXPECT_EQ(ChannelInfo->Source, SourceSVideo);
    RestoreSourceAsAtStart(false);
    EXPECT_EQ(ChannelInfo->Source, SourceSVideo);
    ChannelInfo->SetSource(SourceCamera);
    RestoreSourceAsAtStart(false);
    EXPECT_EQ(ChannelInfo->Source, SourceComposite);
}

TEST_F(ChannelTable, AudioModeIsStoredInTheCurrentEntry)
{
    ExecuteCommand(201);
    // The broadcast has mono and language B only.
    Tuner.AvailableAudio = 0x1 | 0x20;
    ExecuteCommand(300);
    EXPECT_EQ(ChannelInfo->AudioMode, 3);
    EXPECT_EQ(ChannelInfo->Antenna[5].AudioMode, 3);
    EXPECT_TRUE(Log.Has("main:AudioText"));
}

} // namespace
