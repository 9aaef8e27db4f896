// V4L2 discovery and the device interfaces through the ioctl seam, against
// the replayed answers of a saa7134 and a cx88 card.
#include <gtest/gtest.h>

#include "platform/device_enum.h"
#include "platform/device_interfaces.h"
#include "platform/v4l2_devices.h"
#include "platform/v4l2_replay.h"

namespace {

class V4l2Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Replay = std::make_shared<TV4l2Replay>(
            std::vector<TRecordedCard>{RecordedSaa7134Card(), RecordedCx88Card()});
        SetV4l2Backend(Replay);
    }
    void TearDown() override { SetV4l2Backend(nullptr); }
    template <typename I>
    I *Make(const QString &moniker, TFilterPtr &keep)
    {
        keep = CreateFilterFromMoniker(moniker);
        return keep ? keep->Query<I>() : nullptr;
    }
    std::shared_ptr<TV4l2Replay> Replay;
};

TEST_F(V4l2Test, DiscoveryListsCardsWithChipWordsThenTheVirtualCard)
{
    const auto cards = ScanV4l2Cards();
    ASSERT_EQ(cards.size(), 2u);
    EXPECT_EQ(cards[0].FriendlyName, "Compro VideoMate T750 (Philips SAA713x)");
    EXPECT_EQ(cards[0].RadioPath, "/dev/radio0");
    EXPECT_TRUE(cards[0].HasTuner);
    EXPECT_EQ(cards[0].InputCount, 3);
    EXPECT_EQ(cards[1].FriendlyName, "Hauppauge WinTV 34xxx models (Conexant 88X)");
    EXPECT_TRUE(cards[1].RadioPath.isEmpty());

    TSysDevEnum video(TDeviceCategory::VideoInput);
    ASSERT_EQ(video.CountFilters(), 3);
    EXPECT_EQ(video.Moniker(0), "v4l2:capture:/dev/video0");
    EXPECT_TRUE(video.FriendlyName(2).startsWith("Lyra Virtual"));
    EXPECT_EQ(video.Find("88x"), 1);
    EXPECT_EQ(video.Find(""), -1);
    TSysDevEnum crossbars(TDeviceCategory::Crossbar);
    EXPECT_EQ(crossbars.FriendlyName(0), "Compro VideoMate T750 (Philips SAA713x) Crossbar");
    TSysDevEnum tuners(TDeviceCategory::TVTuner);
    EXPECT_EQ(tuners.CountFilters(), 3);

    SetVirtualCardListed(false);
    EXPECT_EQ(TSysDevEnum(TDeviceCategory::VideoInput).CountFilters(), 2);
    SetVirtualCardListed(true);

    // A node that cannot be opened is skipped, not fatal.
    SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
    EXPECT_TRUE(ScanV4l2Cards().empty());
    EXPECT_EQ(TSysDevEnum(TDeviceCategory::VideoInput).CountFilters(), 1);
}

TEST(V4l2Names, DriverChipWordsCompleteTheCardName)
{
    EXPECT_EQ(V4l2FriendlyName("saa7134", "Pinnacle PCTV 110i (saa7133)", "", ""),
              "Pinnacle PCTV 110i (saa7133) (Philips SAA7133)");
    EXPECT_EQ(V4l2FriendlyName("bttv", "BT878 video (Hauppauge (bt878))", "", ""),
              "BT878 video (Hauppauge (bt878)) (Conexant 878)");
    EXPECT_EQ(V4l2FriendlyName("em28xx", "USB 2861 Device", "eb1a", "2861"),
              "USB 2861 Device (Empia EM2861)");
    EXPECT_EQ(V4l2FriendlyName("em28xx", "Terratec Cinergy 200 USB", "0ccd", "0036"),
              "Terratec Cinergy 200 USB (Empia EM28xx)");
    EXPECT_EQ(V4l2FriendlyName("go7007", "WIS Star Trek", "", ""), "WIS Star Trek (Wis GO7007)");
    EXPECT_EQ(V4l2FriendlyName("uvcvideo", "Integrated Camera", "", ""), "Integrated Camera");
    EXPECT_EQ(V4l2FriendlyName("cx8800", "Conexant 88X reference", "", ""), "Conexant 88X reference");
}

TEST_F(V4l2Test, CrossbarAndTunerDriveTheDriverState)
{
    TFilterPtr keepCrossbar, keepTuner, keepAudio, keepCapture;
    auto *crossbar = Make<ICrossbar>("v4l2:crossbar:/dev/video0", keepCrossbar);
    auto *tuner = Make<ITVTuner>("v4l2:tuner:/dev/video0", keepTuner);
    auto *audio = Make<ITVAudio>("v4l2:tvaudio:/dev/video0", keepAudio);
    auto *decoder = Make<IAnalogVideoDecoder>("v4l2:capture:/dev/video0", keepCapture);
    ASSERT_TRUE(crossbar && tuner && audio && decoder);
    TV4l2Replay::TState &state = Replay->State["/dev/video0"];

    int outputs, inputs, related, type;
    ASSERT_EQ(crossbar->GetPinCounts(outputs, inputs), 0);
    EXPECT_EQ(inputs, 5); // three video inputs, audio tuner, audio line
    ASSERT_EQ(crossbar->GetCrossbarPinInfo(true, 0, related, type), 0);
    EXPECT_EQ(type, PhysConn_Video_Tuner);
    EXPECT_EQ(related, 3);
    ASSERT_EQ(crossbar->GetCrossbarPinInfo(true, 2, related, type), 0);
    EXPECT_EQ(type, PhysConn_Video_SVideo);
    ASSERT_EQ(crossbar->GetCrossbarPinInfo(true, 1, related, type), 0);
    EXPECT_EQ(type, PhysConn_Video_Composite);
    EXPECT_EQ(crossbar->Route(0, 2), 0);
    EXPECT_EQ(state.Input, 2);
    EXPECT_EQ(crossbar->Route(0, 4), EINVAL);
    EXPECT_EQ(crossbar->Route(0, 0), 0);

    // TV: 62.5 kHz units; lock and AFC from the driver.
    state.CarrierHz = 55250000;
    int32_t lo, hi;
    ASSERT_EQ(tuner->ModeCaps(TunerModeTV, lo, hi), 0);
    EXPECT_EQ(lo, 44000000);
    EXPECT_EQ(hi, 958000000);
    ASSERT_EQ(tuner->SetFrequency(55250000, 1), 0);
    EXPECT_EQ(state.Frequency, 884u);
    TTunerStatus status;
    ASSERT_EQ(tuner->GetStatus(status), 0);
    EXPECT_EQ(status.CurrentFrequency, 55250000);
    EXPECT_EQ(status.PLLOffset, 0);
    bool locked = false;
    ASSERT_EQ(decoder->HorizontalLocked(locked), 0);
    EXPECT_TRUE(locked);
    ASSERT_EQ(tuner->SetFrequency(54750000, 1), 0);
    ASSERT_EQ(tuner->GetStatus(status), 0);
    EXPECT_EQ(status.PLLOffset, -1);
    ASSERT_EQ(tuner->SetFrequency(60000000, 1), 0);
    ASSERT_EQ(decoder->HorizontalLocked(locked), 0);
    EXPECT_FALSE(locked);

    // FM through the radio node, 62.5 Hz units.
    ASSERT_EQ(tuner->SetMode(TunerModeFM), 0);
    ASSERT_EQ(tuner->ModeCaps(TunerModeFM, lo, hi), 0);
    EXPECT_EQ(lo, 65000000);
    ASSERT_EQ(tuner->SetFrequency(100000000, 1), 0);
    EXPECT_EQ(state.RadioFrequency, 1600000u);
    EXPECT_EQ(state.Frequency, 960u); // TV frequency untouched

    // Standards and TV audio.
    ASSERT_EQ(tuner->SetStandard(Std_NTSC_M), 0);
    EXPECT_EQ(state.Std, V4L2_STD_NTSC_M);
    int32_t standards = 0;
    ASSERT_EQ(tuner->AvailableStandards(standards), 0);
    EXPECT_TRUE(standards & Std_SECAM_L);
    EXPECT_EQ(tuner->SetStandard(0), EINVAL);
    int32_t modes = 0;
    ASSERT_EQ(audio->GetAvailableModes(modes), 0);
    EXPECT_EQ(modes, TVAudio_Mono | TVAudio_Stereo);
    ASSERT_EQ(audio->SetMode(TVAudio_Stereo), 0);
    EXPECT_EQ(state.AudMode, __u32(V4L2_TUNER_MODE_STEREO));
    int32_t mode = 0;
    ASSERT_EQ(audio->GetMode(mode), 0);
    EXPECT_EQ(mode, TVAudio_Stereo);
}

TEST_F(V4l2Test, ProcessingAmplifierAndFormatsComeFromTheDriver)
{
    TFilterPtr saaKeep, cxKeep;
    auto *saa = Make<IVideoProcAmp>("v4l2:capture:/dev/video0", saaKeep);
    auto *cx = Make<IVideoProcAmp>("v4l2:capture:/dev/video1", cxKeep);
    ASSERT_TRUE(saa && cx);
    int min, max, step, def, value;
    ASSERT_EQ(saa->GetRange(ProcAmp_Hue, min, max, step, def), 0);
    EXPECT_EQ(min, -128);
    EXPECT_EQ(max, 127);
    // The saa7134 has no sharpness control: unsupported, not an error.
    EXPECT_EQ(saa->GetRange(ProcAmp_Sharpness, min, max, step, def), EINVAL);
    ASSERT_EQ(cx->GetRange(ProcAmp_Sharpness, min, max, step, def), 0);
    EXPECT_EQ(max, 4);
    ASSERT_EQ(saa->Set(ProcAmp_Brightness, 200), 0);
    ASSERT_EQ(saa->Get(ProcAmp_Brightness, value), 0);
    EXPECT_EQ(value, 200);
    EXPECT_EQ(saa->Set(ProcAmp_Brightness, 300), ERANGE);
    EXPECT_EQ(saa->Set(99, 1), ENOTTY);

    auto *config = cxKeep->Query<IStreamConfig>();
    ASSERT_NE(config, nullptr);
    int count = 0;
    ASSERT_EQ(config->GetNumberOfCapabilities(count), 0);
    // YUY2, UYVY, RGB555, RGB32 at the six usual sizes the driver takes;
    // GREY is not offered.
    EXPECT_EQ(count, 24);
    TVideoFormat format;
    ASSERT_EQ(config->GetStreamCaps(0, format), 0);
    EXPECT_EQ(format.Name(), "YUY2 720x576");
    EXPECT_EQ(config->GetStreamCaps(count, format), EINVAL);
    // Before a format is chosen: the driver's (the cx88 starts with GREY,
    // which the engine cannot use).
    EXPECT_EQ(config->GetFormat(format), EINVAL);
    auto *saaConfig = saaKeep->Query<IStreamConfig>();
    ASSERT_EQ(saaConfig->GetFormat(format), 0);
    EXPECT_EQ(format.Name(), "YUY2 720x576");
    ASSERT_EQ(saaConfig->SetFormat({"UYVY", 640, 480, 25}), 0);
    ASSERT_EQ(saaConfig->GetFormat(format), 0);
    EXPECT_EQ(format.Name(), "UYVY 640x480");
    // A size the driver would change is refused and changes nothing; so is
    // a format it does not have.
    EXPECT_EQ(saaConfig->SetFormat({"UYVY", 800, 600, 25}), EINVAL);
    EXPECT_EQ(saaConfig->SetFormat({"UYVY", 642, 480, 25}), EINVAL);
    EXPECT_EQ(config->SetFormat({"RGB24", 640, 480, 25}), EINVAL);
    ASSERT_EQ(saaConfig->GetFormat(format), 0);
    EXPECT_EQ(format.Name(), "UYVY 640x480");
}

TEST_F(V4l2Test, UnsupportedRequestsAnswerEnotty)
{
    TV4l2Device radio("/dev/radio0");
    ASSERT_EQ(radio.Open(), 0);
    int input = 0;
    EXPECT_EQ(radio.GetInput(input), ENOTTY);
    v4l2_format format{};
    EXPECT_EQ(radio.TryFmt(format), ENOTTY);
    TV4l2Device missing("/dev/video9");
    EXPECT_EQ(missing.Open(), ENOENT);
    EXPECT_EQ(missing.GetInput(input), EBADF);
}

} // namespace
