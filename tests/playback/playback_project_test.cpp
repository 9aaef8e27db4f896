// The file playback engine on real pipelines: files made here with the real
// encoders (MPEG-2 program stream, WAV, MP3), played, stepped, sped up and
// slowed down, paused, run to their end and resumed; files that must not or
// cannot play.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include "media_test_util.h"
#include "platform/filter_graph.h"
#include "platform/filter_registry.h"
#include "platform/media_filters.h"
#include "platform/messages.h"
#include "playback/play_file.h"
#include "playback/playback_project.h"
#include "playback/snapshot_info.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

void SpinFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    WaitUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

// Runs a gst-launch description to its end; false on an error.
bool RunPipeline(const QString &description)
{
    const std::string error = RunPipelineToEnd(description);
    if (!error.empty())
        ADD_FAILURE() << error;
    return error.empty();
}

// An MPEG-2 program stream with picture and sound, made by Lyra's own
// recorder, `seconds` long.
QString MakeMpeg(const QString &folder, int seconds)
{
    RegisterLyraMediaElements();
    const QString file = folder + "/clip.mpg";
    const bool ok = RunPipeline(
        QString("videotestsrc num-buffers=%1 ! video/x-raw,width=320,height=240,framerate=25/1 ! "
                "lyrampegrecorder name=r location=\"%2\" width=320 height=240 "
                "audiotestsrc num-buffers=%3 ! audio/x-raw,rate=44100,channels=2 ! r.audio")
            .arg(seconds * 25)
            .arg(file)
            .arg(seconds * 44100 / 1024));
    return ok ? file : QString();
}

QString MakeWav(const QString &file, int seconds)
{
    const bool ok = RunPipeline(QString("audiotestsrc num-buffers=%1 samplesperbuffer=800 ! "
                                        "audio/x-raw,rate=8000,channels=1,format=S16LE ! wavenc ! "
                                        "filesink location=%2")
                                    .arg(seconds * 10)
                                    .arg(file));
    return ok ? file : QString();
}

class PlaybackProjectTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Folder = TestEnv::NewFolder("playback");
        SetWarningPresenter(&Presenter);
        // Sound goes to a clocked silent sink: the tests hear nothing and
        // still play in real time.
        SetRendererOverride("", "fakesink sync=true");
        SnapshotInfo = new TSnapshotInfo;
        PlaybackObservers = {};
        PlaybackObservers.OnPosition = [this](int percent, int position, int duration) {
            Positions.push_back({percent, position, duration});
        };
        PlaybackObservers.OnPlaybackEnd = [this] { ++Ends; };
    }
    void TearDown() override
    {
        StopPlayback();
        PlaybackObservers = {};
        delete SnapshotInfo;
        SnapshotInfo = nullptr;
        SetRendererOverride("", "");
        SetWarningPresenter(nullptr);
    }
    qint64 PositionNs() const { return PlaybackProject->Graph()->CurrentPosition(); }

    struct TPosition
    {
        int Percent, Position, Duration;
    };
    QString Folder;
    TRecordingPresenter Presenter;
    std::vector<TPosition> Positions;
    int Ends = 0;
};

TEST(PlaybackFiles, TransportStreamsAreKnownByTheirPacketsAlone)
{
    const QString folder = TestEnv::NewFolder("ts");
    auto file = [&](const QString &name, int size, std::initializer_list<int> syncAt) {
        QByteArray bytes(size, '\0');
        for (int at : syncAt)
            bytes[at] = char(0x47);
        return TestEnv::WriteFile(folder + "/" + name, bytes);
    };
    // Shorter than one packet: never a transport stream.
    EXPECT_FALSE(IsTransportStream(file("short.ts", 187, {0})));
    EXPECT_TRUE(IsTransportStream(file("one.mpg", 188, {0})));
    // 470 bytes hold 2.5 packets, which counts as 2: the third sync byte is
    // never looked at.
    EXPECT_TRUE(IsTransportStream(file("two.bin", 470, {0, 188})));
    // 545 bytes count 3 packets; a missing third sync byte refuses.
    EXPECT_FALSE(IsTransportStream(file("broken.ts", 545, {0, 188})));
    EXPECT_TRUE(IsTransportStream(file("late.dat", 1000, {8, 196, 384})));
    // The first sync byte must be within the first nine bytes.
    EXPECT_FALSE(IsTransportStream(file("later.ts", 1000, {9, 197, 385})));
    EXPECT_FALSE(IsTransportStream(folder + "/missing.ts"));
}

TEST(PlaybackFiles, KindsFollowTheExtensionWhateverItsCase)
{
    EXPECT_EQ(PlaybackFileKind("/x/TONE.MP3"), TPlaybackFileKind::Audio);
    EXPECT_EQ(PlaybackFileKind("/x/a.Wave"), TPlaybackFileKind::Audio);
    EXPECT_EQ(PlaybackFileKind("/x/ts0.MPV"), TPlaybackFileKind::TimeShift);
    EXPECT_EQ(PlaybackFileKind("/x/rec.MPEG"), TPlaybackFileKind::Mpeg);
    EXPECT_EQ(PlaybackFileKind("/x/rec.avi"), TPlaybackFileKind::Other);
    EXPECT_EQ(PlaybackFileKind("/x/mp3"), TPlaybackFileKind::Other);
}

TEST(PlaybackFiles, StepPercentFollowsTheLength)
{
    EXPECT_EQ(StepPercentFor(0), 33);
    EXPECT_EQ(StepPercentFor(9), 33);
    EXPECT_EQ(StepPercentFor(10), 20);
    EXPECT_EQ(StepPercentFor(99), 20);
    EXPECT_EQ(StepPercentFor(100), 10);
    EXPECT_EQ(StepPercentFor(500), 5);
    EXPECT_EQ(StepPercentFor(1999), 5);
    EXPECT_EQ(StepPercentFor(2000), 3);
}

TEST_F(PlaybackProjectTest, AnMpegFilePlaysStepsSnapshotsEndsAndRestartsNearItsBeginning)
{
    const QString file = MakeMpeg(Folder, 4);
    ASSERT_FALSE(file.isEmpty());
    ASSERT_TRUE(PlayFile(file)) << Presenter.Shown.join(" | ").toStdString();
    TPlaybackProject &p = *PlaybackProject;
    EXPECT_FALSE(p.AudioOnly);
    EXPECT_TRUE(p.HasVideoWindow());
    EXPECT_TRUE(p.Seeking);
    EXPECT_TRUE(p.Playing);
    ASSERT_TRUE(WaitUntil([&] { return !Positions.empty(); }, 5000));
    // Whole seconds of the length the file reports (its last frame starts
    // before 4 s).
    const qint64 length = p.Graph()->Duration();
    EXPECT_NEAR(double(length), 4e9, 1.5e8);
    EXPECT_EQ(Positions.back().Duration, int(length / 1000000000));
    EXPECT_EQ(p.StepPercent, 33);
    ASSERT_TRUE(WaitUntil([&] { return p.FramesShown() > 5; }));
    EXPECT_TRUE(p.TakeSnapshot());
    EXPECT_EQ(SnapshotInfo->Count(), 1);

    // Paused, the position stands still and the clock reports nothing.
    ASSERT_TRUE(PausePlayback());
    EXPECT_FALSE(p.Playing);
    const qint64 held = PositionNs();
    const size_t reports = Positions.size();
    SpinFor(1200);
    EXPECT_NEAR(double(PositionNs()), double(held), 1e8);
    EXPECT_EQ(Positions.size(), reports);
    EXPECT_FALSE(PausePlayback()); // not playing: nothing to pause

    // Backward from the start stays at 0; forward jumps a step.
    p.SeekPercent(0);
    BackwardPlayback();
    EXPECT_EQ(Positions.back().Percent, 0);
    ForwardPlayback();
    EXPECT_EQ(Positions.back().Percent, 33);
    EXPECT_NEAR(double(PositionNs()), 0.33 * 4e9, 2e8);
    // Out of range: ignored, nothing reported.
    const size_t before = Positions.size();
    p.SeekPercent(101);
    p.SeekPercent(-1);
    EXPECT_EQ(Positions.size(), before);

    ASSERT_TRUE(ResumePlayback());
    ASSERT_TRUE(WaitUntil([&] { return Ends == 1; }, 8000));
    EXPECT_FALSE(p.Playing);
    EXPECT_TRUE(p.AtEnd);
    EXPECT_EQ(Positions.back().Percent, 100);
    // The engine stays at the end; resume starts again at 1 %.
    ASSERT_TRUE(ResumePlayback());
    EXPECT_TRUE(p.Playing);
    EXPECT_FALSE(p.AtEnd);
    EXPECT_NEAR(double(PositionNs()), 0.01 * 4e9, 2e8);
    ASSERT_TRUE(WaitUntil([&] { return PositionNs() > 500000000; }));
    EXPECT_TRUE(StopPlayback());
    EXPECT_EQ(PlaybackProject, nullptr);
}

TEST_F(PlaybackProjectTest, PositionAdvancesAtEachRateOfTheTable)
{
    const QString file = MakeWav(Folder + "/speech.wav", 30);
    ASSERT_FALSE(file.isEmpty());
    ASSERT_TRUE(PlayFile(file));
    TPlaybackProject &p = *PlaybackProject;
    EXPECT_TRUE(p.AudioOnly);
    EXPECT_FALSE(p.HasVideoWindow());
    EXPECT_EQ(p.GetPositionPercent(), 0);
    EXPECT_EQ(p.DurationSeconds, 30);
    EXPECT_EQ(p.StepPercent, 20);
    auto measured = [&] {
        // The first moments after a rate change go to the flush and refill.
        SpinFor(300);
        const qint64 start = PositionNs();
        QElapsedTimer clock;
        clock.start();
        SpinFor(1500);
        return double(PositionNs() - start) / (double(clock.nsecsElapsed()));
    };
    // Faster: 1x -> 2x -> 4x; slower from 4x continues along its row to 8x,
    // and 8x slower goes to 1/2x; 1/8x faster returns to 1x.
    FasterPlayback();
    EXPECT_EQ(p.RateIndex, 1);
    EXPECT_NEAR(measured(), 2.0, 0.4);
    SlowerPlayback();
    EXPECT_EQ(p.RateIndex, 2);
    EXPECT_NEAR(measured(), 4.0, 0.8);
    SlowerPlayback();
    EXPECT_EQ(p.RateIndex, 3);
    p.SeekPercent(10);
    SlowerPlayback();
    EXPECT_EQ(p.RateIndex, 4);
    EXPECT_NEAR(measured(), 0.5, 0.15);
    SlowerPlayback();
    SlowerPlayback();
    EXPECT_EQ(p.RateIndex, 6);
    FasterPlayback();
    EXPECT_EQ(p.RateIndex, 0);
    EXPECT_NEAR(measured(), 1.0, 0.2);
    // A seek keeps the rate.
    FasterPlayback();
    p.SeekPercent(50);
    EXPECT_NEAR(measured(), 2.0, 0.4);
    EXPECT_TRUE(Presenter.Shown.isEmpty()) << Presenter.Shown.join(" | ").toStdString();
}

TEST_F(PlaybackProjectTest, NineSecondsStepByAThirdAndUpperCaseMp3IsSound)
{
    const QString nine = MakeWav(Folder + "/nine.wav", 9);
    ASSERT_FALSE(nine.isEmpty());
    ASSERT_TRUE(PlayFile(nine));
    PlaybackProject->GetPositionPercent();
    EXPECT_EQ(PlaybackProject->StepPercent, 33);

    const QString mp3 = Folder + "/TONE.MP3";
    ASSERT_TRUE(RunPipeline(QString("audiotestsrc num-buffers=40 ! audioconvert ! lamemp3enc ! "
                                    "filesink location=%1")
                                .arg(mp3)));
    ASSERT_TRUE(PlayFile(mp3));
    EXPECT_TRUE(PlaybackProject->AudioOnly);
    EXPECT_FALSE(PlaybackProject->HasVideoWindow());
    EXPECT_FALSE(PlaybackProject->TakeSnapshot());
    EXPECT_FALSE(SnapshotPlayback());
    EXPECT_TRUE(Presenter.Shown.join("\n").contains(MessageText(1008)))
        << Presenter.Shown.join(" | ").toStdString();
}

TEST_F(PlaybackProjectTest, FilesThatCannotPlayAreReportedAndNothingPlays)
{
    QByteArray ts(188 * 3, '\0');
    for (int i = 0; i < ts.size(); i += 188)
        ts[i] = char(0x47);
    EXPECT_FALSE(PlayFile(TestEnv::WriteFile(Folder + "/broadcast.mpg", ts)));
    EXPECT_EQ(PlaybackProject, nullptr);
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_EQ(Presenter.Shown[0], "Cannot support MPEG2 transport stream playback...");

    Presenter.Shown.clear();
    EXPECT_FALSE(PlayFile(TestEnv::WriteFile(Folder + "/noise.avi", QByteArray(5000, 'x'))));
    EXPECT_EQ(PlaybackProject, nullptr);
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_TRUE(Presenter.Shown[0].startsWith("Cannot play noise.avi: "))
        << Presenter.Shown[0].toStdString();

    Presenter.Shown.clear();
    EXPECT_FALSE(PlayFile(Folder + "/gone.mpg"));
    EXPECT_EQ(PlaybackProject, nullptr);
    EXPECT_EQ(Presenter.Shown.size(), 1);

    // A time-shift file without the time-shift player says so.
    Presenter.Shown.clear();
    EXPECT_FALSE(PlayFile(Folder + "/ts0.mpv"));
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_TRUE(Presenter.Shown[0].contains("ts0.mpv"));

    // A playing file is freed by the next PlayFile, even one that fails.
    const QString wav = MakeWav(Folder + "/short.wav", 2);
    ASSERT_TRUE(PlayFile(wav));
    EXPECT_FALSE(PlayFile(Folder + "/noise.avi"));
    EXPECT_EQ(PlaybackProject, nullptr);
}

} // namespace
