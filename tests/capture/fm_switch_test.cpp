// Entering and leaving FM radio with the channel table, on the virtual
// card's tuner, through the engine's tuner port.
#include <gtest/gtest.h>

#include "app/live_engine.h"
#include "app/main_info.h"
#include "capture/capture_info.h"
#include "capture/engine_tuner_port.h"
#include "capture/fm_switch.h"
#include "channels/channel_info.h"
#include "channels/tuner_port.h"
#include "platform/gui_wait.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/virtual_card.h"
#include "platform/virtual_filters.h"

namespace {

class FMSwitchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MainInfo = &Main;
        Main.ChipFamily = FamilyPhilips;
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
        Card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        Card.Reset();
        SetGuiWaitFunction([this](int ms) { Waits.push_back(ms); });
        SetChannelLineMuteFunction([this](bool on) { Mutes.push_back(on); });
        Engine = std::make_unique<TCaptureInfo>();
        CaptureInfo = Engine.get();
        for (const char *kind : {"tuner", "tvaudio", "capture"})
            Filters.push_back(CreateVirtualFilter(kind));
        Engine->Tuner = Filters[0]->Query<ITVTuner>();
        Engine->TVAudioControl = Filters[1]->Query<ITVAudio>();
        Engine->VideoDecoderControl = Filters[2]->Query<IAnalogVideoDecoder>();
        Engine->ReadTunerRanges();
        InstallEngineTunerPort();
        ChannelInfo = &Channels;
        Channels.Antenna[3] = TTVChannel{1, 1, StdNTSCM, 0, 61250000, 61250000, "Three", {}};
        Channels.SetMode(ModeAntenna);
        Channels.SetSource(SourceTuner);
        Channels.SetChannel(3);
        Waits.clear();
        Mutes.clear();
    }
    void TearDown() override
    {
        ChannelInfo = nullptr;
        TunerPort = nullptr;
        CaptureInfo = nullptr;
        Engine.reset();
        Filters.clear();
        SetGuiWaitFunction(nullptr);
        SetChannelLineMuteFunction(nullptr);
        SetV4l2Backend(nullptr);
        Card.Reset();
        MainInfo = nullptr;
    }
    TMainInfo Main;
    TVirtualCard &Card = TVirtualCard::Instance();
    TChannelInfo Channels;
    std::unique_ptr<TCaptureInfo> Engine;
    std::vector<TFilterPtr> Filters;
    std::vector<int> Waits;
    std::vector<bool> Mutes;
};

TEST_F(FMSwitchTest, EnterTunesTheFrequencyFMWasLeftOnAndLeaveRestoresTV)
{
    ASSERT_EQ(Card.TVFrequency, 61250000);
    Engine->SavedFMFrequency = 95300000;
    ASSERT_TRUE(EnterFMMode());
    EXPECT_EQ(Engine->FMMode, 1);
    EXPECT_EQ(Card.Mode, TunerModeFM);
    EXPECT_EQ(Channels.Mode, ModeFMList);
    // The FM list's memory is tuned first, then the saved frequency.
    EXPECT_EQ(Engine->FMFrequency, 95300000);
    EXPECT_EQ(Card.FMFrequency, 95300000);
    EXPECT_EQ(Engine->HasSignal, 1);

    ASSERT_TRUE(Engine->TuneFM(104700000));
    Waits.clear();
    Mutes.clear();
    ASSERT_TRUE(LeaveFMMode());
    EXPECT_EQ(Engine->FMMode, 0);
    EXPECT_EQ(Card.Mode, TunerModeTV);
    EXPECT_EQ(Engine->SavedFMFrequency, 104700000);
    EXPECT_EQ(Channels.Mode, ModeAntenna);
    EXPECT_EQ(Channels.CurrentNumber(), 3);
    EXPECT_EQ(Card.TVFrequency, 61250000);
    ASSERT_FALSE(Waits.empty());
    EXPECT_EQ(Waits.front(), 500);
    ASSERT_FALSE(Mutes.empty());
    EXPECT_TRUE(Mutes.front());
    EXPECT_FALSE(Mutes.back());
}

TEST_F(FMSwitchTest, LeavingReturnsToTheCableListAndItsChannel)
{
    Channels.Cable[7] = TTVChannel{1, 1, StdNTSCM, 0, 175250000, 175250000, "Seven", {}};
    Channels.SetMode(ModeCable);
    Channels.SetChannel(7);
    ASSERT_EQ(Card.TVFrequency, 175250000);
    // FM memory 5 (89.5 MHz) becomes the current one, then the TV state
    // comes back untouched by the FM list.
    Channels.CurrentFM = 5;
    Engine->SavedFMFrequency = Channels.FMMemory[5].Frequency;
    ASSERT_TRUE(EnterFMMode());
    EXPECT_EQ(Channels.CurrentNumber(), 5);
    EXPECT_EQ(Engine->FMFrequency, 89500000);
    ASSERT_TRUE(LeaveFMMode());
    EXPECT_EQ(Channels.Mode, ModeCable);
    EXPECT_EQ(Channels.Source, SourceTuner);
    EXPECT_EQ(Channels.CurrentNumber(), 7);
    EXPECT_EQ(Card.TVFrequency, 175250000);
    EXPECT_EQ(Channels.CurrentFM, 5);
}

TEST_F(FMSwitchTest, ShellSeekCommandStopsARunningSeek)
{
    TEngineFMRadio radio;
    ASSERT_TRUE(radio.EnterFMMode());
    Card.Faults.NoLock = true;
    int steps = 0;
    // The second press arrives between two steps of the first seek.
    Engine->OnSeekStep = [&] {
        if (++steps == 3)
            radio.SeekDown();
    };
    const int start = radio.FMFrequency();
    radio.SeekUp();
    EXPECT_EQ(steps, 3);
    EXPECT_EQ(Engine->SeekActive, 0);
    EXPECT_EQ(radio.FMFrequency(), start + 500000);
    radio.StepDown();
    EXPECT_EQ(radio.FMFrequency(), start + 450000);
    EXPECT_TRUE(radio.LeaveFMMode());
}

TEST_F(FMSwitchTest, RefusedFMModeRestoresTheTVState)
{
    Card.Faults.RefuseFM = true;
    Engine->Quiet = 1;
    EXPECT_FALSE(EnterFMMode());
    EXPECT_EQ(Engine->FMMode, 0);
    EXPECT_EQ(Channels.Mode, ModeAntenna);
    EXPECT_EQ(Channels.CurrentNumber(), 3);
    EXPECT_EQ(Card.TVFrequency, 61250000);
}

TEST_F(FMSwitchTest, PhilipsReappliesTheAudioModeAndConexantRetunes)
{
    // Philips: a stored audio mode other than mono is set again after 1 s.
    Channels.Antenna[3].AudioMode = 1;
    Channels.Antenna[3].Frequency = 55250000; // a stereo station
    Channels.SetChannel(3);
    ASSERT_EQ(Channels.AudioMode, 1);
    ASSERT_TRUE(EnterFMMode());
    Waits.clear();
    ASSERT_TRUE(LeaveFMMode());
    EXPECT_NE(std::find(Waits.begin(), Waits.end(), 1000), Waits.end());
    EXPECT_EQ(Channels.AudioMode, 1);
    EXPECT_EQ(Card.AudioMode, TVAudio_Stereo);

    // Conexant: an audio mode the card would not take means mono and a
    // fresh tune of the channel.
    Main.ChipFamily = FamilyConexant;
    ASSERT_TRUE(EnterFMMode());
    Engine->TVAudioControl = nullptr;
    Waits.clear();
    ASSERT_TRUE(LeaveFMMode());
    EXPECT_EQ(Channels.AudioMode, AudioModeUnknown);
    EXPECT_EQ(std::count(Waits.begin(), Waits.end(), 500), 2);
    EXPECT_EQ(Card.TVFrequency, 55250000);
}

} // namespace
