// The ALSA mixer against a real sound server (a private PulseAudio with a
// null sink, read back through pactl) and against recorded cards served to
// libasound by a control plugin (what a sound server does not show:
// multiplexed capture sources, mono lines, a TV card's own mixer).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>

#include <gtest/gtest.h>

#include "platform/alsa_mixer.h"
#include "recorded_cards.h"
#include "sound_server.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

struct TLevel
{
    int Left = -2, Right = -2, Mute = -2;
};

TLevel Read(TAlsaMixer &m, int destination, int connection)
{
    TLevel l;
    EXPECT_TRUE(m.GetVolume(destination, connection, l.Left, l.Right, l.Mute))
        << "destination " << destination << " connection " << connection;
    return l;
}

QStringList SourceNames(const TAlsaMixer &m, int destination)
{
    QStringList names;
    for (int c = 0; c < m.Destination(destination).Connections; ++c)
        names << m.Connection(destination, c).Name;
    return names;
}

TEST(AlsaMixer, WithoutADeviceEveryOperationFails)
{
    for (const QStringList &devices : {QStringList{}, QStringList{"no_such_mixer_device"}}) {
        TAlsaMixer m(devices);
        EXPECT_EQ(m.MixerId(), -1);
        EXPECT_FALSE(m.SetMixerId(0));
        EXPECT_FALSE(m.SetMixerId(5)) << "out of range";
        EXPECT_EQ(m.DestinationCount(), 0);
        int left = 7, right = 7, mute = 7;
        EXPECT_FALSE(m.GetVolume(0, -1, left, right, mute));
        EXPECT_EQ(left, 7) << "the caller keeps its values";
        EXPECT_EQ(mute, 7);
        EXPECT_FALSE(m.SetVolume(0, -1, 100, 100, 0));
        EXPECT_FALSE(m.SetMuteLine(0, -1, true));
        EXPECT_FALSE(m.Watching());
    }
}

class SoundServerMixer : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(Server.Start()) << Server.Error().toStdString(); }
    TSoundServer Server;
};

TEST_F(SoundServerMixer, TheServersControlsTakeVolumeAndMute)
{
    const QStringList devices = SystemMixerDevices();
    ASSERT_FALSE(devices.isEmpty());
    EXPECT_EQ(devices.first(), "default");

    TAlsaMixer m;
    ASSERT_EQ(m.MixerId(), 0);
    EXPECT_EQ(m.ProductName(), "PulseAudio");
    ASSERT_EQ(m.DestinationCount(), 2);
    EXPECT_EQ(m.Destination(0).ComponentType, MixerDstSpeakers);
    EXPECT_EQ(m.Destination(0).Name, "Master");
    EXPECT_EQ(m.Destination(0).Channels, 2);
    EXPECT_EQ(m.Destination(0).Connections, 0);
    EXPECT_EQ(m.Destination(1).ComponentType, MixerDstWaveIn);
    EXPECT_EQ(m.Destination(1).Name, "Capture");
    EXPECT_TRUE(m.Watching());

    // Stereo, each channel on its own.
    ASSERT_TRUE(m.SetVolume(0, -1, 40000, 20000, -1));
    EXPECT_EQ(Server.SinkVolume(), 40000);
    EXPECT_TRUE(Server.Pactl({"get-sink-volume", "@DEFAULT_SINK@"}).contains("front-right: 20000"));
    TLevel l = Read(m, 0, -1);
    EXPECT_EQ(l.Left, 40000);
    EXPECT_EQ(l.Right, 20000);
    EXPECT_EQ(l.Mute, 0);

    ASSERT_TRUE(m.SetMuteLine(0, -1, true));
    EXPECT_TRUE(Server.SinkMuted());
    EXPECT_EQ(Read(m, 0, -1).Mute, 1);
    ASSERT_TRUE(m.SetVolume(0, -1, 30000, 30000, 0)) << "volume and unmute together";
    EXPECT_FALSE(Server.SinkMuted());
    EXPECT_EQ(Server.SinkVolume(), 30000);

    // The recording destination is the server's default input.
    ASSERT_TRUE(m.SetVolume(1, -1, 50000, 50000, -1));
    EXPECT_EQ(Server.SourceVolume(), 50000);
    EXPECT_EQ(Read(m, 1, -1).Left, 50000);

    // Out of range.
    int a = 3, b = 3, c = 3;
    EXPECT_FALSE(m.GetVolume(2, -1, a, b, c));
    EXPECT_FALSE(m.GetVolume(0, 0, a, b, c)) << "the master has no source lines here";
    EXPECT_EQ(a, 3);
}

TEST_F(SoundServerMixer, ChangesByOtherProgramsAreAnnouncedOnTheGuiThread)
{
    TAlsaMixer m;
    int changes = 0;
    m.OnChange = [&] { ++changes; };
    Server.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "12345"});
    ASSERT_TRUE(WaitUntil([&] { return changes > 0; })) << "no notification";
    EXPECT_EQ(Read(m, 0, -1).Left, 12345);

    changes = 0;
    Server.Pactl({"set-sink-mute", "@DEFAULT_SINK@", "1"});
    ASSERT_TRUE(WaitUntil([&] {
        int l, r, mute = 0;
        return changes > 0 && m.GetVolume(0, -1, l, r, mute) && mute == 1;
    }));

    // A question answered while events wait still announces them, later.
    changes = 0;
    Server.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "22222"});
    ASSERT_TRUE(WaitUntil([&] {
        int l = 0, r, mute;
        return m.GetVolume(0, -1, l, r, mute) && l == 22222;
    }));
    EXPECT_TRUE(WaitUntil([&] { return changes > 0; }));

    // Reopened, the device is watched again; when the server goes away the
    // mixer stops watching instead of waking up for ever.
    m.SetMixerId(0);
    EXPECT_TRUE(m.Watching());
    Server.Stop();
    // The server is gone: the mixer stops watching instead of spinning.
    WaitUntil([&] { return !m.Watching(); }, 3000);
    EXPECT_FALSE(m.Watching());
}

class RecordedMixer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RecordedCards::Install()) << "recorded card plugin missing";
    }
};

TEST_F(RecordedMixer, HdaCardMonoMasterAndInputSourceMultiplexer)
{
    TAlsaMixer m({RecordedCards::Intel});
    ASSERT_EQ(m.MixerId(), 0);
    EXPECT_EQ(m.ProductName(), "HDA Intel");
    ASSERT_EQ(m.DestinationCount(), 2);

    // Speakers: the mono Master (0-127 at 111, on) and the other playback
    // volumes; switch-only controls ("Line In as Output") are no lines.
    EXPECT_EQ(m.Destination(0).Name, "Master");
    EXPECT_EQ(m.Destination(0).Channels, 1);
    EXPECT_EQ(SourceNames(m, 0),
              QStringList({"PCM", "Front", "Surround", "Center", "LFE", "Side"}));
    TLevel l = Read(m, 0, -1);
    EXPECT_NEAR(l.Left, 111 * 65536 / 127, 1);
    EXPECT_EQ(l.Right, l.Left) << "a mono line reports right = left";
    EXPECT_EQ(l.Mute, 0);
    ASSERT_TRUE(m.SetVolume(0, -1, 65536, 0, -1));
    l = Read(m, 0, -1);
    EXPECT_EQ(l.Left, 65536) << "a mono line takes the left value";
    EXPECT_EQ(l.Right, 65536);
    EXPECT_EQ(Read(m, 0, 0).Mute, -1) << "PCM has no switch";
    EXPECT_EQ(Read(m, 0, 1).Mute, 0) << "Front is switched on";

    // Recording: "Capture" (stereo, switched off) with the items of
    // "Input Source" as its source lines; "Mic" is selected.
    EXPECT_EQ(m.Destination(1).ComponentType, MixerDstWaveIn);
    EXPECT_EQ(m.Destination(1).Name, "Capture");
    EXPECT_EQ(SourceNames(m, 1), QStringList({"Mic", "Front Mic", "Line"}));
    EXPECT_EQ(Read(m, 1, -1).Mute, 1);
    EXPECT_EQ(Read(m, 1, 0).Mute, 0);
    EXPECT_EQ(Read(m, 1, 2).Mute, 1);
    EXPECT_EQ(Read(m, 1, 2).Left, -1) << "an item without a volume of its own";

    // Unmuting a source under the multiplexer selects it and deselects the
    // others; the selected source cannot be deselected alone.
    ASSERT_TRUE(m.SetMuteLine(1, 2, false));
    EXPECT_EQ(Read(m, 1, 2).Mute, 0);
    EXPECT_EQ(Read(m, 1, 0).Mute, 1);
    EXPECT_EQ(Read(m, 1, 1).Mute, 1);
    EXPECT_FALSE(m.SetMuteLine(1, 2, true));
    EXPECT_EQ(Read(m, 1, 2).Mute, 0);
    EXPECT_TRUE(m.SetMuteLine(1, 0, true)) << "already deselected";
    EXPECT_FALSE(m.SetVolume(1, 2, 1000, 1000, -1)) << "no volume to write";
}

TEST_F(RecordedMixer, TvCardCaptureSourceIsAMultiplexerOfExclusiveSwitches)
{
    TAlsaMixer m({RecordedCards::Bt878});
    ASSERT_EQ(m.MixerId(), 0);
    EXPECT_EQ(m.ProductName(), "Brooktree Bt878");
    // No playback volume at all: a recording destination only.
    ASSERT_EQ(m.DestinationCount(), 1);
    EXPECT_EQ(m.Destination(0).ComponentType, MixerDstWaveIn);
    EXPECT_EQ(m.Destination(0).Channels, 1);
    EXPECT_EQ(SourceNames(m, 0), QStringList({"FM", "Mic/Line", "TV Tuner"}));
    EXPECT_EQ(Read(m, 0, 2).Mute, 0) << "the tuner is recorded";
    EXPECT_EQ(Read(m, 0, 0).Mute, 1);

    ASSERT_TRUE(m.SetMuteLine(0, 0, false)); // FM
    EXPECT_EQ(Read(m, 0, 0).Mute, 0);
    EXPECT_EQ(Read(m, 0, 2).Mute, 1) << "the multiplexer let the tuner go";
    EXPECT_EQ(Read(m, 0, 1).Mute, 1);
    // SetVolume's mute works the same way.
    ASSERT_FALSE(m.SetVolume(0, 2, 100, 100, 0)) << "TV Tuner has no volume";
    EXPECT_EQ(Read(m, 0, 2).Mute, 0) << "but it was selected";
    EXPECT_EQ(Read(m, 0, 0).Mute, 1);

    // The mono capture volume.
    ASSERT_TRUE(m.SetVolume(0, -1, 65536, 0, -1));
    TLevel l = Read(m, 0, -1);
    EXPECT_EQ(l.Left, 65536);
    EXPECT_EQ(l.Right, 65536);
    EXPECT_EQ(l.Mute, -1) << "no capture switch of its own";
}

TEST_F(RecordedMixer, Saa7134CaptureSwitchesAreTheMixerControl)
{
    TAlsaMixer m({RecordedCards::Saa7134});
    ASSERT_EQ(m.MixerId(), 0);
    ASSERT_EQ(m.DestinationCount(), 1);
    EXPECT_EQ(m.Destination(0).ComponentType, MixerDstWaveIn);
    EXPECT_EQ(SourceNames(m, 0), QStringList({"Line 1", "Line 2", "Video"}));
    // The destination has no controls of its own.
    TLevel own = Read(m, 0, -1);
    EXPECT_EQ(own.Left, -1);
    EXPECT_EQ(own.Mute, -1);
    EXPECT_FALSE(m.SetMuteLine(0, -1, false));

    // Nothing is selected after loading; each source switches on its own.
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(Read(m, 0, c).Mute, 1);
    ASSERT_TRUE(m.SetVolume(0, 2, 32768, 32768, 0));
    TLevel video = Read(m, 0, 2);
    EXPECT_EQ(video.Left, 32768) << "10 of 0-20";
    EXPECT_EQ(video.Mute, 0);
    // The driver keeps one source: switching a line on turns the video off,
    // and the mixer sees it through the driver's event.
    ASSERT_TRUE(m.SetMuteLine(0, 0, false));
    EXPECT_EQ(Read(m, 0, 0).Mute, 0);
    EXPECT_EQ(Read(m, 0, 2).Mute, 1);
    ASSERT_TRUE(m.SetMuteLine(0, 0, true)) << "a mixer control item can be switched off";
    EXPECT_EQ(Read(m, 0, 0).Mute, 1);
}

TEST_F(RecordedMixer, DevicesOpenOneAtATimeAndOwnWritesAreAnnounced)
{
    TAlsaMixer m({RecordedCards::Bt878, "no_such_mixer_device", RecordedCards::Intel});
    EXPECT_EQ(m.DeviceCount(), 3);
    int changes = 0;
    m.OnChange = [&] { ++changes; };
    ASSERT_TRUE(m.SetMixerId(2));
    EXPECT_EQ(m.ProductName(), "HDA Intel");
    EXPECT_EQ(m.DeviceName(), RecordedCards::Intel);
    // Our own write is announced as any other change: the views learn of a
    // volume that a command set.
    ASSERT_TRUE(m.SetVolume(0, -1, 1000, 1000, -1));
    EXPECT_TRUE(WaitUntil([&] { return changes > 0; }));

    EXPECT_FALSE(m.SetMixerId(1));
    EXPECT_EQ(m.MixerId(), -1) << "the old device is closed even when the new one fails";
    int l, r, mute;
    EXPECT_FALSE(m.GetVolume(0, -1, l, r, mute));
    ASSERT_TRUE(m.SetMixerId(0));
    EXPECT_EQ(m.ProductName(), "Brooktree Bt878");
    // A reopened device starts from the card's state, not from our writes:
    // each open is a new handle on the recorded card.
    EXPECT_EQ(Read(m, 0, 2).Mute, 0);
}

} // namespace
