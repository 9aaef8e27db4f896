// A real card's own sound device: replayed V4L2 cards on recorded sysfs
// trees, with the ALSA capture devices those machines list. The engine
// pairs the card's ALSA device with its video node and the chip-family
// rules take the sound path from it; the graph is built, not run (there is
// no card to stream from).
#include <gtest/gtest.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "platform/card_pairing.h"
#include "platform/device_enum.h"
#include "platform/filter_registry.h"
#include "platform/messages.h"
#include "platform/v4l2_devices.h"
#include "platform/v4l2_replay.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

TRecordedCard RecordedEm2861Stick()
{
    TRecordedCard c = RecordedSaa7134Card("/dev/video0");
    c.RadioPath.clear();
    c.Driver = "em28xx";
    c.Card = "EM2861 Webcam/TV stick";
    c.BusInfo = "usb-0000:00:1d.7-4";
    c.UsbVendor = "eb1a";
    c.UsbProduct = "2861";
    return c;
}

class CardAudio : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MainInfo = &Main;
        SetWarningPresenter(&Presenter);
        SetRendererOverride("fakesink", "fakesink");
    }
    void TearDown() override
    {
        Engine.reset();
        SetDeviceEnumerator({});
        SetV4l2Backend(nullptr);
        SetSysfsRoot({});
        SetRendererOverride({}, {});
        SetWarningPresenter(nullptr);
        MainInfo = nullptr;
    }
    // The machine: its recorded sysfs, its V4L2 card and its ALSA capture
    // devices, in the order the system lists them.
    void Use(const char *machine, TRecordedCard card, std::vector<TDeviceEntry> audio)
    {
        SetSysfsRoot(TestEnv::SourceDir() + "/tests/data/sysfs/" + machine);
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{card}));
        Audio = std::move(audio);
        SetDeviceEnumerator([this](TDeviceCategory c) {
            return c == TDeviceCategory::AudioInput ? Audio : V4l2DeviceEntries(c);
        });
        Engine = std::make_unique<TCaptureInfo>();
    }
    TMainInfo Main;
    TRecordingPresenter Presenter;
    std::vector<TDeviceEntry> Audio;
    std::unique_ptr<TCaptureInfo> Engine;
};

TEST_F(CardAudio, Saa7134PlaysItsOwnAlsaDeviceOnPathOne)
{
    Use("saa7134", RecordedSaa7134Card("/dev/video0"),
        {{"HDA Intel ALC889 Analog", "alsa:hw:0,0"}, {"SAA7134 SAA7134 PCM", "alsa:hw:1,0"}});
    ASSERT_TRUE(Engine->SelectDevices());
    EXPECT_EQ(Main.ChipFamily, FamilyPhilips);
    EXPECT_EQ(Engine->PairedAudioIndex, 1);
    EXPECT_EQ(Engine->AudioDeviceIndex, 1) << "the card's own device, not the first one";

    ASSERT_TRUE(Engine->BuildPreview()) << Presenter.Shown.join("; ").toStdString();
    EXPECT_EQ(Engine->AudioPath, 1);
    ASSERT_NE(Engine->CapturePin2, nullptr);
    EXPECT_EQ(Engine->CapturePin2->Filter, Engine->ACapture->Object())
        << "the ALSA device's pin stands where the second capture pin would";
    EXPECT_EQ(Engine->ACapture->BaseFilter.Moniker, "alsa:hw:1,0");
    // Path 1 plays through the audio tee and keeps a branch for recording.
    ASSERT_NE(Engine->SmartTeeAudio, nullptr);
    EXPECT_TRUE(Engine->CapturePin2->IsConnected());
    EXPECT_EQ(Engine->CapturePin2->ConnectedTo->Filter, Engine->SmartTeeAudio.get());
    EXPECT_NE(Engine->AudioTeeCapturePin, nullptr);

    // A re-render keeps the same device in the graph and plays it again.
    ASSERT_TRUE(Engine->RerenderPreview()) << Presenter.Shown.join("; ").toStdString();
    EXPECT_EQ(Engine->CapturePin2->Filter, Engine->ACapture->Object());
    EXPECT_TRUE(Engine->CapturePin2->IsConnected());
}

TEST_F(CardAudio, Cx88FindsItsSiblingFunctionAndAStoredChoiceStays)
{
    Use("cx88", RecordedCx88Card("/dev/video1"),
        {{"HDA Intel ALC889 Analog", "alsa:hw:0,0"},
         {"Ensoniq AudioPCI ES1371 DAC2/ADC", "alsa:hw:2,0"},
         {"Conexant CX8811 CX88 Digital", "alsa:hw:1,0"}});
    ASSERT_TRUE(Engine->SelectDevices());
    EXPECT_EQ(Main.ChipFamily, FamilyConexant);
    EXPECT_EQ(Engine->AudioDeviceIndex, 2);
    ASSERT_TRUE(Engine->BuildPreview()) << Presenter.Shown.join("; ").toStdString();
    EXPECT_EQ(Engine->AudioPath, 1);

    // A device the user chose (stored in the settings) is kept; the card's
    // sound then does not come through the graph.
    Engine = std::make_unique<TCaptureInfo>();
    Engine->AudioDeviceIndex = 0;
    ASSERT_TRUE(Engine->SelectDevices());
    EXPECT_EQ(Engine->PairedAudioIndex, 2);
    EXPECT_EQ(Engine->AudioDeviceIndex, 0);
    ASSERT_TRUE(Engine->BuildPreview());
    EXPECT_EQ(Engine->AudioPath, 0);
}

TEST_F(CardAudio, CardWithoutSoundDeviceKeepsPathZero)
{
    // The saa7134 machine without saa7134-alsa loaded: only the onboard
    // card, whose name has nothing of the chip.
    Use("saa7134", RecordedSaa7134Card("/dev/video0"),
        {{"HDA Intel ALC889 Analog", "alsa:hw:0,0"}});
    ASSERT_TRUE(Engine->SelectDevices());
    EXPECT_EQ(Engine->PairedAudioIndex, -1);
    EXPECT_EQ(Engine->AudioDeviceIndex, 0);
    ASSERT_TRUE(Engine->BuildPreview()) << Presenter.Shown.join("; ").toStdString();
    EXPECT_EQ(Engine->AudioPath, 0) << "the sound takes the cable to the sound card";
    EXPECT_EQ(Engine->CapturePin2, nullptr);
}

TEST_F(CardAudio, Em28x1StickTakesItsOwnUsbAudioOnPathTwo)
{
    // The headset is listed last and has "USB" in its name too: by name
    // alone it would be chosen.
    Use("em28xx", RecordedEm2861Stick(),
        {{"HDA Intel ALC889 Analog", "alsa:hw:0,0"},
         {"USB 2861 Device USB Audio", "alsa:hw:1,0"},
         {"C-Media USB Headphone Set USB Audio", "alsa:hw:2,0"}});
    ASSERT_TRUE(Engine->SelectDevices());
    EXPECT_EQ(Main.ChipFamily, FamilyEmpia28x1);
    EXPECT_EQ(Engine->PairedAudioIndex, 1);
    ASSERT_TRUE(Engine->BuildPreview()) << Presenter.Shown.join("; ").toStdString();
    EXPECT_EQ(Engine->AudioPath, 2);
    EXPECT_EQ(Engine->AudioDeviceIndex, 1);
    ASSERT_NE(Engine->USBAudio, nullptr);
    EXPECT_EQ(Engine->USBAudio->BaseFilter.Moniker, "alsa:hw:1,0");
}

} // namespace
