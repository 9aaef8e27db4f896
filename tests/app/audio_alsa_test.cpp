// The audio settings on the real ALSA mixer: a private PulseAudio server
// (read back through pactl) and recorded cards; the volume and mute
// commands with their OSD texts; the line-in monitor program.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <functional>

#include <gtest/gtest.h>

#include "app/audio_adjust.h"
#include "app/commands.h"
#include "app/line_in_monitor.h"
#include "app/modes_module.h"
#include "mode_fakes.h"
#include "platform/alsa_mixer.h"
#include "recorded_cards.h"
#include "sound_server.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

TEST(AudioAlsa, SettingsOnTheSoundServer)
{
    TSoundServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    server.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "40000"});
    server.Pactl({"set-source-volume", "@DEFAULT_SOURCE@", "30000"});

    TAudioAdjustInfo audio(std::make_unique<TAlsaMixer>());
    EXPECT_EQ(audio.HasMixer, 1);
    EXPECT_EQ(audio.PlaybackMixerIndex, 0);
    EXPECT_EQ(audio.RecordMixerIndex, 0) << "the server's input is its recording destination";
    EXPECT_EQ(audio.Mixers[0].ProductName, "PulseAudio");
    EXPECT_EQ(audio.Volume, 40000);
    EXPECT_EQ(audio.Muted, 0);
    EXPECT_TRUE(audio.RecordLineNames.isEmpty());
    EXPECT_EQ(audio.RecordVolume, 30000) << "the recording destination's own level";

    int reported = 0;
    bool reportedMute = false;
    audio.OnVolumeChanged = [&](TAudioAdjustInfo *, int32_t v, bool m) {
        reported = v;
        reportedMute = m;
    };
    audio.SetVolume(70000);
    EXPECT_EQ(server.SinkVolume(), 65536) << "clamped";
    audio.SetVolume(30000);
    EXPECT_EQ(server.SinkVolume(), 30000);
    ASSERT_TRUE(WaitUntil([&] { return reported == 30000; }));
    EXPECT_EQ(audio.Volume, 30000);

    audio.SetMute(true);
    EXPECT_TRUE(server.SinkMuted());
    ASSERT_TRUE(WaitUntil([&] { return reportedMute; }));
    EXPECT_EQ(audio.Muted, 1);

    // Another program changes the volume; we hear of it.
    server.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "12345"});
    ASSERT_TRUE(WaitUntil([&] { return audio.Volume == 12345; }));
    audio.SetMute(false);
    EXPECT_FALSE(server.SinkMuted());
    EXPECT_EQ(server.SinkVolume(), 12345);

    audio.SetRecordVolume(20000);
    EXPECT_EQ(server.SourceVolume(), 20000);

    // Right channel only: the left one goes to 0, the level stays; muting
    // and unmuting keep it so.
    auto sink = [&] { return server.Pactl({"get-sink-volume", "@DEFAULT_SINK@"}); };
    audio.SetOutputChannels(1);
    EXPECT_TRUE(sink().contains("front-left: 0 ")) << sink().toStdString();
    EXPECT_TRUE(sink().contains("front-right: 12345")) << sink().toStdString();
    audio.SetMute(true);
    audio.SetMute(false);
    EXPECT_FALSE(server.SinkMuted());
    EXPECT_TRUE(sink().contains("front-left: 0 ")) << sink().toStdString();
    EXPECT_TRUE(sink().contains("front-right: 12345")) << sink().toStdString();
}

TEST(AudioAlsa, RecordedCardsChooseTheirLines)
{
    ASSERT_TRUE(RecordedCards::Install());
    // The TV card first: it has no speakers, so it cannot play; the HDA
    // card plays, and as it also records, it records.
    TAudioAdjustInfo audio(
        std::make_unique<TAlsaMixer>(QStringList{RecordedCards::Bt878, RecordedCards::Intel}));
    EXPECT_EQ(audio.HasMixer, 1);
    ASSERT_EQ(audio.Mixers.size(), 2u);
    EXPECT_EQ(audio.Mixers[0].SpeakerDestination, -1);
    EXPECT_EQ(audio.Mixers[0].RecordLines, 3);
    EXPECT_EQ(audio.PlaybackMixerIndex, 1);
    EXPECT_EQ(audio.RecordMixerIndex, 1);
    EXPECT_EQ(audio.RecordMixerName(), "HDA Intel");
    EXPECT_EQ(audio.RecordLineNames, QStringList({"Mic", "Front Mic", "Line"}));
    EXPECT_EQ(audio.RecordLineIndex, 2) << "the last line named like \"line\"";
    EXPECT_NEAR(audio.Volume, 111 * 65536 / 127, 1);
    EXPECT_EQ(audio.PlaybackLineIndex, 5) << "no speaker line is named \"line\": the last";

    // Only the TV card: no speakers anywhere, so no mixer at all.
    TAudioAdjustInfo tvOnly(std::make_unique<TAlsaMixer>(QStringList{RecordedCards::Saa7134}));
    EXPECT_EQ(tvOnly.HasMixer, 0);
    tvOnly.SetVolume(1000);
    tvOnly.SetMute(true);
    EXPECT_EQ(tvOnly.Volume, 0);
}

class AudioCommands : public ModeTest
{
};

TEST_F(AudioCommands, VolumeAndMuteActAndShowTheOsd)
{
    TSoundServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    server.Pactl({"set-sink-volume", "@DEFAULT_SINK@", "32768"});
    TAudioAdjustInfo audio(std::make_unique<TAlsaMixer>());
    AudioAdjustInfo = &audio;
    InitializeModesModule(); // the real audio adapter and the views' fan-out
    Force(ModeLive);

    EXPECT_TRUE(ExecuteCommand(402));
    EXPECT_EQ(server.SinkVolume(), 32768 - 6553);
    EXPECT_EQ(Shell.Osd.last(), " Volume 40%");
    // The views hear of it from the mixer.
    ASSERT_TRUE(WaitUntil([&] { return MainView.Log->Calls.contains("main:Volume"); }));
    ASSERT_TRUE(WaitUntil([&] { return audio.Volume == 32768 - 6553; }));

    EXPECT_TRUE(ExecuteCommand(401));
    EXPECT_EQ(server.SinkVolume(), 32768);
    EXPECT_EQ(Shell.Osd.last(), " Volume 50%");

    EXPECT_TRUE(ExecuteCommand(403));
    EXPECT_TRUE(server.SinkMuted());
    EXPECT_EQ(Shell.Osd.last(), " Mute ON");
    ASSERT_TRUE(WaitUntil([&] { return audio.Muted == 1; }));
    EXPECT_TRUE(ExecuteCommand(403));
    EXPECT_FALSE(server.SinkMuted());
    EXPECT_EQ(Shell.Osd.last(), " Mute OFF");

    FinalizeModesModule(); // frees the fixture's hotkey object too
    Hotkeys = nullptr;
    AudioAdjustInfo = nullptr;
}

// The line-in monitor program as the audio settings run it: the real
// corvet, on the sound server, started on "on" and stopped on "off" and
// when the settings object goes away.
TEST(AudioAlsa, LineInMonitorStartsAndStopsCorvet)
{
    TSoundServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString();
    const QString corvet = TestEnv::BinaryDir() + "/corvet";
    ASSERT_TRUE(QFile::exists(corvet));

    auto streams = [&] { return server.Pactl({"list", "short", "source-outputs"}); };
    qint64 pid = 0;
    {
        TLineInMonitor monitor(corvet);
        monitor.Send("on");
        ASSERT_TRUE(monitor.Running());
        pid = monitor.ProcessId();
        ASSERT_TRUE(WaitUntil([&] { return !streams().isEmpty(); })) << "corvet records nothing";
        monitor.Send("on");
        EXPECT_EQ(monitor.ProcessId(), pid) << "one monitor";
        monitor.Send("off");
        EXPECT_FALSE(monitor.Running());
        EXPECT_TRUE(WaitUntil([&] { return streams().isEmpty(); }));
        monitor.Send("on");
        ASSERT_TRUE(monitor.Running());
        pid = monitor.ProcessId();
    }
    EXPECT_FALSE(QFile::exists(QString("/proc/%1/cmdline").arg(pid)))
        << "freeing the monitor stops the program";
}

} // namespace
