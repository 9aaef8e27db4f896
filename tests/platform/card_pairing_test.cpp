// Pairing a capture node with its card's sound device, on recorded sysfs
// trees of a saa7134, a cx88 and an em28xx machine (tests/data/sysfs).
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "platform/card_pairing.h"
#include "test_env.h"

namespace {

class CardPairing : public ::testing::Test
{
protected:
    void TearDown() override { SetSysfsRoot({}); }
    void Use(const char *machine)
    {
        SetSysfsRoot(TestEnv::SourceDir() + "/tests/data/sysfs/" + machine);
    }
    // The ALSA capture devices of the machine as the enumeration lists them.
    static std::vector<TDeviceEntry> Audio(std::initializer_list<int> cards)
    {
        std::vector<TDeviceEntry> list;
        for (int card : cards)
            list.push_back({QString("card %1").arg(card), QString("alsa:hw:%1,0").arg(card)});
        return list;
    }
};

TEST_F(CardPairing, EachFamilysSoundDeviceIsFound)
{
    // saa7134: the sound card sits on the video node's PCI function.
    Use("saa7134");
    EXPECT_EQ(CardOfMoniker("v4l2:capture:/dev/video0"),
              "/devices/pci0000:00/0000:00:1e.0/0000:05:01");
    EXPECT_EQ(CardOfMoniker("alsa:hw:1,0"), CardOfMoniker("v4l2:tuner:/dev/video0"));
    EXPECT_NE(CardOfMoniker("alsa:hw:0,0"), CardOfMoniker("v4l2:capture:/dev/video0"));
    // The onboard sound comes first in the list and is passed over.
    EXPECT_EQ(PairedAudioDevice("v4l2:capture:/dev/video0", Audio({0, 1})), 1);
    EXPECT_EQ(PairedAudioDevice("v4l2:capture:/dev/video0", Audio({0})), -1);

    // cx88: function 0 is the video, function 1 cx88-alsa; the Ensoniq card
    // in the next slot is another card.
    Use("cx88");
    EXPECT_EQ(CardOfMoniker("v4l2:capture:/dev/video1"),
              "/devices/pci0000:00/0000:00:1e.0/0000:06:02");
    EXPECT_EQ(PairedAudioDevice("v4l2:capture:/dev/video1", Audio({0, 2, 1})), 2);
    EXPECT_EQ(PairedAudioDevice("v4l2:capture:/dev/video1", Audio({0, 2})), -1);
    // The SAA7130 has no sound device: its sound leaves on a cable.
    EXPECT_EQ(PairedAudioDevice("v4l2:capture:/dev/video2", Audio({0, 1, 2})), -1);
    EXPECT_FALSE(CardOfMoniker("v4l2:capture:/dev/video2").isEmpty());

    // em28xx: the sound is another interface of the same USB device.
    Use("em28xx");
    EXPECT_EQ(CardOfMoniker("v4l2:capture:/dev/video0"),
              "/devices/pci0000:00/0000:00:1d.7/usb1/1-4");
    // The USB headset on the next port is another device.
    EXPECT_EQ(PairedAudioDevice("v4l2:capture:/dev/video0", Audio({0, 2, 1})), 2);
    EXPECT_EQ(PairedAudioDevice("v4l2:capture:/dev/video0", Audio({2, 0})), -1);
}

TEST_F(CardPairing, DevicesOutsideTheTreeBelongToNoCardButTheVirtualOne)
{
    Use("saa7134");
    EXPECT_TRUE(CardOfMoniker("v4l2:capture:/dev/video7").isEmpty()) << "no such node";
    EXPECT_TRUE(CardOfMoniker("alsa:hw:5,0").isEmpty()) << "no such card";
    EXPECT_TRUE(CardOfMoniker("alsa:default").isEmpty()) << "a named PCM is no card";
    EXPECT_TRUE(CardOfMoniker("alsa:hw:1;rm").isEmpty());
    EXPECT_EQ(CardOfMoniker("alsa:plughw:1"), CardOfMoniker("alsa:hw:1,0"));
    // The virtual card's devices pair with each other only.
    EXPECT_EQ(PairedAudioDevice("virtual:capture", Audio({0, 1})), -1);
    std::vector<TDeviceEntry> withVirtual = Audio({0, 1});
    withVirtual.push_back({"Lyra Virtual Philips SAA7134 Audio Capture", "virtual:audio"});
    EXPECT_EQ(PairedAudioDevice("virtual:capture", withVirtual), 2);
    EXPECT_EQ(PairedAudioDevice("v4l2:capture:/dev/video7", withVirtual), -1);
    // A link leading out of the root is not followed.
    const QString root = TestEnv::NewFolder("sysfs");
    QDir().mkpath(root + "/class/sound");
    QFile::link("/", root + "/class/sound/card0");
    SetSysfsRoot(root);
    EXPECT_TRUE(CardOfMoniker("alsa:hw:0,0").isEmpty());
    SetSysfsRoot(TestEnv::NewFolder("empty"));
    EXPECT_EQ(PairedAudioDevice("v4l2:capture:/dev/video0", Audio({0, 1})), -1);
}

} // namespace
