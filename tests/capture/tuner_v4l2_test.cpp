// The engine's tuner operations on V4L2 filters, against the replayed
// answers of a saa7134 (TV in 62.5 kHz, radio in 62.5 Hz units) and a cx88
// card: frequencies, lock and AFC, standards as v4l2_std_id, audio modes.
#include <gtest/gtest.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "platform/gui_wait.h"
#include "platform/v4l2_devices.h"
#include "platform/v4l2_replay.h"

namespace {

class TunerV4l2Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MainInfo = &Main;
        Main.ChipFamily = FamilyPhilips;
        Main.SignalCheckCount = 1;
        SetGuiWaitFunction([](int) {});
        Replay = std::make_shared<TV4l2Replay>(
            std::vector<TRecordedCard>{RecordedSaa7134Card(), RecordedCx88Card()});
        SetV4l2Backend(Replay);
    }
    void TearDown() override
    {
        Engine.reset();
        Filters.clear();
        SetV4l2Backend(nullptr);
        SetGuiWaitFunction(nullptr);
        MainInfo = nullptr;
    }
    template <typename I> I *Make(const QString &moniker)
    {
        TFilterPtr f = CreateFilterFromMoniker(moniker);
        Filters.push_back(f);
        return f ? f->Query<I>() : nullptr;
    }
    void Open(const QString &node)
    {
        Engine = std::make_unique<TCaptureInfo>();
        Engine->Tuner = Make<ITVTuner>("v4l2:tuner:" + node);
        Engine->TVAudioControl = Make<ITVAudio>("v4l2:tvaudio:" + node);
        Engine->VideoDecoderControl = Make<IAnalogVideoDecoder>("v4l2:capture:" + node);
        ASSERT_TRUE(Engine->Tuner && Engine->TVAudioControl && Engine->VideoDecoderControl);
        Engine->TVMinFrequency = 45250000;
        Engine->TVMaxFrequency = 889250000;
        ASSERT_TRUE(Engine->ReadTunerRanges());
    }
    TMainInfo Main;
    std::shared_ptr<TV4l2Replay> Replay;
    std::vector<TFilterPtr> Filters;
    std::unique_ptr<TCaptureInfo> Engine;
};

TEST_F(TunerV4l2Test, TVTuningInKilohertzUnitsWithLockAndAfc)
{
    Open("/dev/video0");
    EXPECT_EQ(Engine->TVMinFrequency, 44000000);
    EXPECT_EQ(Engine->TVMaxFrequency, 958000000);
    EXPECT_EQ(Engine->FMMinFrequency, 65000000);
    EXPECT_EQ(Engine->FMMaxFrequency, 108000000);
    TV4l2Replay::TState &state = Replay->State["/dev/video0"];
    state.CarrierHz = 55250000;

    ASSERT_TRUE(Engine->TuneTV(55250000, false));
    EXPECT_EQ(state.Frequency, 884u); // 55.25 MHz / 62.5 kHz
    EXPECT_EQ(Engine->HasSignal, 1);
    EXPECT_EQ(Engine->TVPLLOffset, 0);
    // Rounded to the nearest unit; 500 kHz above the carrier: AFC +1.
    ASSERT_TRUE(Engine->TuneTV(55780000, false));
    EXPECT_EQ(state.Frequency, 892u);
    EXPECT_EQ(Engine->HasSignal, 1);
    EXPECT_EQ(Engine->TVPLLOffset, 1);
    // No carrier near: the input reports no horizontal lock.
    ASSERT_TRUE(Engine->TuneTV(62000000, false));
    EXPECT_EQ(Engine->HasSignal, 0);

    // The cx88 leaves the input status empty: its tuner signal tells, and
    // all three Conexant readings must agree.
    Main.ChipFamily = FamilyConexant;
    Main.SignalCheckCount = 3;
    Open("/dev/video1");
    Replay->State["/dev/video1"].CarrierHz = 175250000;
    ASSERT_TRUE(Engine->TuneTV(175250000, false));
    EXPECT_EQ(Engine->HasSignal, 1);
    ASSERT_TRUE(Engine->TuneTV(180000000, false));
    EXPECT_EQ(Engine->HasSignal, 0);
}

TEST_F(TunerV4l2Test, RadioTuningInHertzUnitsAndSignal)
{
    Open("/dev/video0");
    TV4l2Replay::TState &state = Replay->State["/dev/video0"];
    state.RadioCarrierHz = 100000000;
    int tuned = 0;
    Engine->OnFMTuned = [&](int32_t, bool) { ++tuned; };
    ASSERT_TRUE(Engine->SetFMMode(true));
    ASSERT_TRUE(Engine->TuneFM(100000000));
    EXPECT_EQ(state.RadioFrequency, 1600000u); // 100 MHz / 62.5 Hz
    EXPECT_EQ(Engine->HasSignal, 1);
    // Stereo as the radio tuner's sub-channels say, only where a station is.
    TTunerStatus status;
    ASSERT_EQ(Engine->Tuner->GetStatus(status), 0);
    EXPECT_EQ(status.Stereo, 1);
    ASSERT_TRUE(Engine->TuneFM(98750000));
    EXPECT_EQ(state.RadioFrequency, 1580000u);
    EXPECT_EQ(Engine->HasSignal, 0);
    ASSERT_EQ(Engine->Tuner->GetStatus(status), 0);
    EXPECT_EQ(status.Stereo, 0);
    EXPECT_EQ(tuned, 2);
    EXPECT_FALSE(Engine->TuneFM(64000000));
    EXPECT_EQ(Replay->OpenDescriptors("/dev/radio0"), 1);
    ASSERT_TRUE(Engine->SetFMMode(false));
    // Back on TV the radio node is closed, and reading the FM range from TV
    // mode does not leave it open either.
    EXPECT_EQ(Replay->OpenDescriptors("/dev/radio0"), 0);
    ASSERT_TRUE(Engine->ReadTunerRanges());
    EXPECT_EQ(Replay->OpenDescriptors("/dev/radio0"), 0);

    // A card without a radio node refuses FM mode.
    MainInfo->ChipFamily = FamilyConexant;
    Open("/dev/video1");
    Engine->Quiet = 1;
    EXPECT_FALSE(Engine->SetFMMode(true));
    EXPECT_EQ(Engine->FMMode, 0);
}

TEST_F(TunerV4l2Test, StandardsBecomeV4l2StandardSets)
{
    Open("/dev/video0");
    TV4l2Replay::TState &state = Replay->State["/dev/video0"];
    const std::pair<int32_t, v4l2_std_id> cases[] = {
        {Std_NTSC_M, V4L2_STD_NTSC_M},   {Std_NTSC_M_J, V4L2_STD_NTSC_M_JP},
        {Std_PAL_B, V4L2_STD_PAL_B},     {Std_PAL_D, V4L2_STD_PAL_D},
        {Std_PAL_I, V4L2_STD_PAL_I},     {Std_PAL_M, V4L2_STD_PAL_M},
        {Std_SECAM_B, V4L2_STD_SECAM_B}, {Std_SECAM_D, V4L2_STD_SECAM_D},
        {Std_SECAM_L, V4L2_STD_SECAM_L}};
    for (auto [bit, id] : cases) {
        ASSERT_TRUE(Engine->SetTVStandard(bit)) << bit;
        EXPECT_EQ(state.Std, id) << bit;
    }
    // The driver offers no PAL 60 (and PAL-Nc, not PAL-N): refused, the
    // standard stays.
    EXPECT_FALSE(Engine->SetTVStandard(0x800));
    EXPECT_FALSE(Engine->SetTVStandard(Std_PAL_N));
    EXPECT_EQ(state.Std, V4L2_STD_SECAM_L);
    EXPECT_EQ(Engine->TVStandardName, "SECAM L");

    // Every named bit has its own V4L2 set and comes back from it.
    for (int32_t bit : {0x1, 0x2, 0x4, 0x10, 0x20, 0x80, 0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000,
                        0x4000, 0x8000, 0x10000, 0x20000, 0x40000, 0x80000}) {
        const v4l2_std_id id = V4l2StdFromBits(bit);
        EXPECT_NE(id, 0u) << bit;
        EXPECT_EQ(BitsFromV4l2Std(id), bit) << bit;
    }
}

TEST_F(TunerV4l2Test, AudioModesBecomeAudmode)
{
    Main.ChipFamily = FamilyConexant;
    Open("/dev/video1");
    TV4l2Replay::TState &state = Replay->State["/dev/video1"];
    // The Conexant family's mono and stereo carry the language A bit.
    ASSERT_TRUE(Engine->SetTVAudioMode(TVAudio_Mono | TVAudio_LangA));
    EXPECT_EQ(state.AudMode, __u32(V4L2_TUNER_MODE_MONO));
    ASSERT_TRUE(Engine->SetTVAudioMode(TVAudio_Stereo | TVAudio_LangA));
    EXPECT_EQ(state.AudMode, __u32(V4L2_TUNER_MODE_STEREO));
    ASSERT_TRUE(Engine->SetTVAudioMode(TVAudio_LangB));
    EXPECT_EQ(state.AudMode, __u32(V4L2_TUNER_MODE_LANG2));
    ASSERT_TRUE(Engine->SetTVAudioMode(TVAudio_LangA));
    EXPECT_EQ(state.AudMode, __u32(V4L2_TUNER_MODE_LANG1));
    EXPECT_EQ(Engine->TVAudioModes, TVAudio_Mono | TVAudio_Stereo | TVAudio_LangA | TVAudio_LangB);

    // The saa7134 record hears no second language.
    Main.ChipFamily = FamilyPhilips;
    Open("/dev/video0");
    EXPECT_FALSE(Engine->SetTVAudioMode(TVAudio_LangB));
    // The cx88 reports no tuner range: the preset limits stay.
    Open("/dev/video1");
    EXPECT_EQ(Engine->TVMinFrequency, 45250000);
    EXPECT_EQ(Engine->TVMaxFrequency, 889250000);
}

} // namespace
