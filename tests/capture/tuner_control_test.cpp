// Tuning, the lock test per chip family, FM seek and mode, video standards,
// TV audio modes and the tuner's ranges, on the virtual card's tuner with a
// fake clock behind every wait.
#include <deque>

#include <gtest/gtest.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "capture/engine_tuner_port.h"
#include "channels/channel_info.h"
#include "channels/country_info.h"
#include "channels/tuner_port.h"
#include "platform/gui_wait.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/virtual_card.h"
#include "platform/virtual_filters.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

// Lock readings in a given order; the last one repeats.
class TScriptedDecoder : public IAnalogVideoDecoder
{
public:
    std::deque<bool> Readings;
    int Asked = 0;
    int32_t Available = 0x7ffff;
    int32_t Standard = 0;
    int SetCalls = 0;
    int HorizontalLocked(bool &locked) override
    {
        ++Asked;
        locked = Readings.front();
        if (Readings.size() > 1)
            Readings.pop_front();
        return 0;
    }
    int AvailableStandards(int32_t &s) override
    {
        s = Available;
        return 0;
    }
    int SetStandard(int32_t s) override
    {
        ++SetCalls;
        Standard = s;
        return 0;
    }
    int GetStandard(int32_t &s) override
    {
        s = Standard;
        return 0;
    }
};

class TunerControlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MainInfo = &Main;
        CountryInfo = &Country;
        Country.LocaleCountry = 1;
        SetWarningPresenter(&Presenter);
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
        Card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        Card.Reset();
        // The fake clock: every wait advances it, none sleeps.
        SetGuiWaitFunction([this](int ms) {
            Waits.push_back(ms);
            Clock += ms;
        });
        Engine = std::make_unique<TCaptureInfo>();
        Tuner = CreateVirtualFilter("tuner");
        TVAudio = CreateVirtualFilter("tvaudio");
        Engine->Tuner = Tuner->Query<ITVTuner>();
        Engine->TVAudioControl = TVAudio->Query<ITVAudio>();
        Capture = CreateVirtualFilter("capture");
        Engine->VideoDecoderControl = Capture->Query<IAnalogVideoDecoder>();
        Engine->ReadTunerRanges();
        Engine->OnFMTuned = [this](int32_t f, bool signal) { FMTunes.push_back({f, signal}); };
    }
    void TearDown() override
    {
        Engine.reset();
        Tuner = TVAudio = Capture = nullptr;
        SetGuiWaitFunction(nullptr);
        SetChannelLineMuteFunction(nullptr);
        SetWarningPresenter(nullptr);
        SetV4l2Backend(nullptr);
        Card.Reset();
        Card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        CountryInfo = nullptr;
        MainInfo = nullptr;
    }
    void Family(uint8_t family, int checks)
    {
        Main.ChipFamily = family;
        Main.SignalCheckCount = checks;
    }
    bool EnterFM()
    {
        const bool ok = Engine->SetFMMode(true);
        FMTunes.clear();
        Waits.clear();
        return ok;
    }

    TMainInfo Main;
    TCountryInfo Country{QLocale(QLocale::English, QLocale::UnitedStates)};
    TRecordingPresenter Presenter;
    TVirtualCard &Card = TVirtualCard::Instance();
    std::unique_ptr<TCaptureInfo> Engine;
    TFilterPtr Tuner, TVAudio, Capture;
    std::vector<int> Waits;
    int64_t Clock = 0;
    std::vector<std::pair<int32_t, bool>> FMTunes;
};

TEST_F(TunerControlTest, TuneTVReportsLockAndOffsetInsideTheCarrierWindow)
{
    Family(FamilyPhilips, 1);
    // Centred on "Lyra One" at 55.25 MHz.
    ASSERT_TRUE(Engine->TuneTV(55250000, false));
    EXPECT_EQ(Engine->HasSignal, 1);
    EXPECT_EQ(Engine->TVPLLOffset, 0);
    EXPECT_EQ(Engine->TVFrequency, 55250000);
    EXPECT_EQ(Card.TVFrequency, 55250000);
    // 750 kHz above: still locked, two PLL steps off.
    ASSERT_TRUE(Engine->TuneTV(56000000, false));
    EXPECT_EQ(Engine->HasSignal, 1);
    EXPECT_EQ(Engine->TVPLLOffset, 2);
    // 1.25 MHz below "Channel Three" at 61.25 MHz.
    ASSERT_TRUE(Engine->TuneTV(60000000, false));
    EXPECT_EQ(Engine->TVPLLOffset, -3);
    // 3 MHz from both carriers: tuned, but no picture.
    ASSERT_TRUE(Engine->TuneTV(58250000, false));
    EXPECT_EQ(Engine->HasSignal, 0);
    EXPECT_EQ(Engine->TVFrequency, 58250000);

    // Outside the tuner's TV range (44..958 MHz): refused with offset -10.
    Engine->HasSignal = 1;
    EXPECT_FALSE(Engine->TuneTV(43000000, false));
    EXPECT_EQ(Engine->TVPLLOffset, -10);
    EXPECT_EQ(Engine->HasSignal, 0);
    EXPECT_EQ(Card.TVFrequency, 58250000);
}

TEST_F(TunerControlTest, LockReadingsFollowTheFamilyRules)
{
    TScriptedDecoder decoder;
    Engine->VideoDecoderControl = &decoder;

    // Conexant: every one of the three readings must be locked.
    Family(FamilyConexant, 3);
    decoder.Readings = {true, true, false};
    Waits.clear();
    ASSERT_TRUE(Engine->TuneTV(55250000, false));
    EXPECT_EQ(decoder.Asked, 3);
    EXPECT_EQ(Engine->HasSignal, 0);
    EXPECT_EQ(Waits, (std::vector<int>{300, 50, 50}));
    decoder.Readings = {true};
    decoder.Asked = 0;
    ASSERT_TRUE(Engine->TuneTV(55250000, false));
    EXPECT_EQ(decoder.Asked, 3);
    EXPECT_EQ(Engine->HasSignal, 1);

    // Empia 2800: up to ten readings, 50 ms apart, the first lock ends it.
    Family(FamilyEmpia2800, 10);
    decoder.Readings = {false, false, false, true};
    decoder.Asked = 0;
    Waits.clear();
    Clock = 0;
    ASSERT_TRUE(Engine->TuneTV(55250000, false));
    EXPECT_EQ(decoder.Asked, 4);
    EXPECT_EQ(Engine->HasSignal, 1);
    EXPECT_EQ(Clock, 300 + 3 * 50);
    decoder.Readings = {false};
    decoder.Asked = 0;
    Clock = 0;
    ASSERT_TRUE(Engine->TuneTV(55250000, false));
    EXPECT_EQ(decoder.Asked, 10);
    EXPECT_EQ(Engine->HasSignal, 0);
    EXPECT_EQ(Clock, 300 + 9 * 50);

    // The channel table's count wins over the family's; one reading for
    // Philips cards.
    Family(FamilyPhilips, 1);
    Engine->SignalCheckCount = 2;
    decoder.Readings = {false, true};
    decoder.Asked = 0;
    ASSERT_TRUE(Engine->TuneTV(55250000, false));
    EXPECT_EQ(decoder.Asked, 2);
    EXPECT_EQ(Engine->HasSignal, 1);

    // Without the decoder interface a tune counts as locked.
    Engine->VideoDecoderControl = nullptr;
    Card.Faults.NoLock = true;
    ASSERT_TRUE(Engine->TuneTV(58250000, false));
    EXPECT_EQ(Engine->HasSignal, 1);
}

TEST_F(TunerControlTest, FMTuneAndStepStayInsideTheBand)
{
    ASSERT_TRUE(EnterFM());
    EXPECT_EQ(Card.Mode, TunerModeFM);
    ASSERT_TRUE(Engine->TuneFM(91500000));
    EXPECT_EQ(Engine->HasSignal, 1);
    EXPECT_EQ(Engine->FMFrequency, 91500000);
    EXPECT_EQ(Waits, (std::vector<int>{100, 100, 100}));
    ASSERT_EQ(FMTunes.size(), 1u);
    EXPECT_EQ(FMTunes[0], std::make_pair(91500000, true));

    ASSERT_TRUE(Engine->TuneFM(93000000));
    EXPECT_EQ(Engine->HasSignal, 0);
    EXPECT_TRUE(Engine->FMFrequencyDown());
    EXPECT_EQ(Engine->FMFrequency, 92950000);
    EXPECT_FALSE(Engine->TuneFM(108100000));
    Engine->FMFrequency = 108000000;
    EXPECT_FALSE(Engine->FMFrequencyUp());

    // No TV tune in FM mode; step up and down act in FM mode only.
    EXPECT_FALSE(Engine->TuneTV(55250000, false));
    EXPECT_EQ(Card.FMFrequency, 92950000);
    ASSERT_TRUE(Engine->SetFMMode(false));
    EXPECT_EQ(Card.Mode, TunerModeTV);
    EXPECT_FALSE(Engine->FMFrequencyUp());
}

TEST_F(TunerControlTest, SeekSkipsTheCurrentStationAndStopsAfterAFullTurn)
{
    const QString stations = TestEnv::WriteFile(TestEnv::NewFolder() + "/stations.txt",
                                                "FM 98000000 300 stereo smpte A\n"
                                                "FM 98300000 300 stereo smpte B\n");
    ASSERT_TRUE(Card.LoadStations(stations));
    ASSERT_TRUE(EnterFM());
    ASSERT_TRUE(Engine->TuneFM(98000000));
    FMTunes.clear();

    // From the current station: 200 kHz skipped, then one step.
    ASSERT_TRUE(Engine->SeekFMUp());
    ASSERT_EQ(FMTunes.size(), 1u);
    EXPECT_EQ(FMTunes[0].first, 98300000); // B; without the skip A at 98.1
    EXPECT_EQ(Engine->SeekActive, 0);

    // From another start: rounded down to 100 kHz, then stepped.
    FMTunes.clear();
    ASSERT_TRUE(Engine->SeekFM(98360000, 100000, false));
    EXPECT_EQ(FMTunes.front().first, 98200000);

    // Nothing anywhere: one full turn, then back where the seek started.
    Card.Faults.NoLock = true;
    ASSERT_TRUE(Engine->TuneFM(100000000));
    FMTunes.clear();
    EXPECT_FALSE(Engine->SeekFMUp());
    // 100.3 .. 108.0, 76.0 .. 99.9, then the return to 100.0.
    ASSERT_EQ(FMTunes.size(), 78u + 240u + 1u);
    EXPECT_EQ(FMTunes[0].first, 100300000);
    EXPECT_EQ(FMTunes[77].first, 108000000);
    EXPECT_EQ(FMTunes[78].first, 76000000);
    EXPECT_EQ(FMTunes[317].first, 99900000);
    EXPECT_EQ(Engine->FMFrequency, 100000000);

    FMTunes.clear();
    EXPECT_FALSE(Engine->SeekFMDown());
    ASSERT_EQ(FMTunes.size(), 78u + 240u + 1u);
    EXPECT_EQ(FMTunes[238].first, 108000000); // after 76.0
    EXPECT_EQ(FMTunes[317].first, 100100000);
}

TEST_F(TunerControlTest, SeekStopsWhenTheShellClearsTheFlag)
{
    Card.Faults.NoLock = true;
    ASSERT_TRUE(EnterFM());
    int steps = 0;
    Engine->OnSeekStep = [&] {
        // A second press of the seek command, between two steps; a new
        // seek started from here is refused.
        EXPECT_FALSE(Engine->SeekFMDown());
        if (++steps == 5)
            Engine->SeekActive = 0;
    };
    EXPECT_FALSE(Engine->SeekFMUp());
    EXPECT_EQ(FMTunes.size(), 5u);
    EXPECT_EQ(Engine->FMFrequency, 100700000); // stays where it was stopped
    EXPECT_EQ(Engine->SeekActive, 0);

    // Leaving FM mode between steps ends the seek too.
    steps = 0;
    FMTunes.clear();
    Engine->OnSeekStep = [&] {
        if (++steps == 2)
            Engine->SetFMMode(false);
    };
    EXPECT_FALSE(Engine->SeekFMUp());
    EXPECT_EQ(FMTunes.size(), 2u);
    // And outside FM mode there is no seek.
    EXPECT_FALSE(Engine->SeekFMUp());
}

TEST_F(TunerControlTest, FMModeRefusalsAreReported)
{
    Card.Faults.RefuseFM = true;
    EXPECT_FALSE(Engine->SetFMMode(true));
    EXPECT_EQ(Engine->FMMode, 0);
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_TRUE(Presenter.Shown[0].contains(MessageText(1014))) << Presenter.Shown[0].toStdString();
    Engine->Quiet = 1;
    EXPECT_FALSE(Engine->SetFMMode(true));
    EXPECT_EQ(Presenter.Shown.size(), 1);
}

TEST_F(TunerControlTest, TunerRangesTakeTheCountryOverrides)
{
    EXPECT_EQ(Engine->TVMinFrequency, TVirtualCard::TVMin);
    EXPECT_EQ(Engine->TVMaxFrequency, TVirtualCard::TVMax);
    EXPECT_EQ(Engine->FMMinFrequency, 76000000);
    EXPECT_EQ(Engine->FMMaxFrequency, 108000000);
    Country.LocaleCountry = 81;
    Engine->ReadTunerRanges();
    EXPECT_EQ(Engine->FMMinFrequency, 76000000);
    EXPECT_EQ(Engine->FMMaxFrequency, 90000000);
    Country.LocaleCountry = 7;
    Engine->ReadTunerRanges();
    EXPECT_EQ(Engine->FMMinFrequency, 65000000);
    EXPECT_EQ(Engine->FMMaxFrequency, 108000000);
}

TEST_F(TunerControlTest, StandardsResizeOnlyWhenTheLineCountChanges)
{
    TScriptedDecoder decoder;
    Engine->VideoDecoderControl = &decoder;
    Family(FamilyConexant, 3);
    int resizes = 0;
    Engine->ReapplyPreviewSize = [&] { return ++resizes, true; };

    ASSERT_TRUE(Engine->SetTVStandard(Std_PAL_B));
    EXPECT_EQ(Engine->TVStandardName, "PAL B");
    EXPECT_EQ(resizes, 0);
    // "PAL 60" keeps the 625-line sizes.
    ASSERT_TRUE(Engine->SetTVStandard(0x800));
    EXPECT_EQ(Engine->TVStandardName, "PAL 60");
    EXPECT_FALSE(Engine->Is525Line());
    EXPECT_EQ(resizes, 0);
    // "PAL M" switches to 525 lines.
    ASSERT_TRUE(Engine->SetTVStandard(Std_PAL_M));
    EXPECT_TRUE(Engine->Is525Line());
    EXPECT_EQ(resizes, 1);
    EXPECT_EQ(decoder.Standard, Std_PAL_M);
    // The current standard again: success without touching the card.
    const int calls = decoder.SetCalls;
    ASSERT_TRUE(Engine->SetTVStandard(Std_PAL_M));
    EXPECT_EQ(decoder.SetCalls, calls);
    EXPECT_EQ(resizes, 1);

    // Bits outside the table, and standards the decoder does not offer.
    EXPECT_FALSE(Engine->SetTVStandard(Std_PAL_G));
    EXPECT_FALSE(Engine->SetTVStandard(0x100000));
    decoder.Available = Std_NTSC_M;
    EXPECT_FALSE(Engine->SetTVStandard(Std_SECAM_L));
    EXPECT_EQ(Engine->TVStandard, Std_PAL_M);
    ASSERT_TRUE(Engine->SetTVStandard(Std_NTSC_M));
    EXPECT_EQ(resizes, 1);

    // Philips cards keep their sizes for every standard.
    Family(FamilyPhilips, 1);
    decoder.Available = 0x7ffff;
    ASSERT_TRUE(Engine->SetTVStandard(Std_SECAM_D));
    EXPECT_EQ(resizes, 1);

    // Without the decoder the tuner sets the standard.
    Engine->VideoDecoderControl = nullptr;
    Card.Faults.RefusedStandards = Std_PAL_I;
    EXPECT_FALSE(Engine->SetTVStandard(Std_PAL_I));
    ASSERT_TRUE(Engine->SetTVStandard(Std_NTSC_M_J));
    EXPECT_EQ(Card.Standard, Std_NTSC_M_J);
    EXPECT_EQ(Engine->TVStandardName, "NTSC M (Japan)");

    for (int32_t bit : {0x1, 0x2, 0x4, 0x200})
        EXPECT_TRUE(TCaptureInfo::Is525Line(bit)) << bit;
    for (int32_t bit : {0x10, 0x20, 0x80, 0x100, 0x400, 0x800, 0x1000, 0x80000, 0x40, 0})
        EXPECT_FALSE(TCaptureInfo::Is525Line(bit)) << bit;
}

TEST_F(TunerControlTest, TVAudioModesNeedABitTheStationCarries)
{
    Family(FamilyPhilips, 1);
    ASSERT_TRUE(Engine->TuneTV(77250000, false)); // mono + language A and B
    EXPECT_TRUE(Engine->SetTVAudioMode(TVAudio_LangA));
    EXPECT_EQ(Card.AudioMode, TVAudio_LangA);
    EXPECT_EQ(Engine->TVAudioModes, TVAudio_Mono | TVAudio_LangA | TVAudio_LangB);
    EXPECT_FALSE(Engine->SetTVAudioMode(TVAudio_Stereo));
    EXPECT_EQ(Card.AudioMode, TVAudio_LangA);

    // The Empia 2800 family goes through the driver's control object, and
    // only once it is open.
    Family(FamilyEmpia2800, 10);
    auto empia = std::make_shared<TVirtualEmpiaControl>();
    Main.EmpiaControl = empia;
    EXPECT_FALSE(Engine->SetTVAudioMode(TVAudio_Mono));
    ASSERT_EQ(empia->Open(1), 0);
    EXPECT_TRUE(Engine->SetTVAudioMode(TVAudio_LangB));
    EXPECT_EQ(Card.AudioMode, TVAudio_LangB);
}

TEST_F(TunerControlTest, ChannelTableDrivesTheEngineThroughItsPort)
{
    Family(FamilyPhilips, 1);
    TCaptureInfo *engine = Engine.get();
    TEngineTunerPort port(&engine);
    TunerPort = &port;
    TChannelInfo channels;
    QString standardName;
    channels.OnStandardChange = [&](TChannelInfo *, const QString &name) { standardName = name; };

    channels.Antenna[7].Frequency = 175250000;
    channels.Antenna[7].Standard = StdPALM;
    channels.Antenna[7].Enabled = 1;
    channels.SetMode(ModeAntenna);
    channels.SetChannel(7);
    EXPECT_EQ(Card.TVFrequency, 175250000);
    EXPECT_EQ(Engine->TVFrequency, 175250000);
    EXPECT_EQ(Engine->HasSignal, 1);
    EXPECT_EQ(Engine->TVStandard, Std_PAL_M);
    EXPECT_EQ(standardName, "PAL M");

    channels.SetSignalCheckCount(4);
    EXPECT_EQ(Engine->SignalCheckCount, 4);
    EXPECT_TRUE(port.SetCountryCode(49));
    EXPECT_EQ(Engine->TunerCountryCode, 49);
    // FM frequencies are not sent to a tuner in TV mode.
    EXPECT_FALSE(port.TuneFM(88100000));
    EXPECT_EQ(Card.TVFrequency, 175250000);
    EXPECT_EQ(port.FMMaximum(), 108000000);
    EXPECT_FALSE(port.RestartPreview()); // no preview in this test

    // A port on no engine fails every operation.
    TCaptureInfo *none = nullptr;
    TEngineTunerPort empty(&none);
    EXPECT_FALSE(empty.HasTuner());
    EXPECT_FALSE(empty.TuneChannelFrequency(55250000, false));
    TunerPort = nullptr;
}

} // namespace
