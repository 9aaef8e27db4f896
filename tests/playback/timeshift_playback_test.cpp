// Time-shift playback on real graphs: the virtual card records the time
// shift and the player plays it behind the recorder; a kept file plays
// through the splitter graph. The whole program is driven by lyra-remote
// at the end.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QThread>
#include <QTimer>

#include <gst/gst.h>
#include <gtest/gtest.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "platform/filter_registry.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"
#include "playback/snapshot_info.h"
#include "playback/timeshift_playback.h"
#include "program_process.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

double Seconds(const TTimeShiftPlaybackProject &p)
{
    return double(p.VideoGraph()->CurrentPosition()) / 1e9;
}

class TimeShiftPlaybackTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Folder = TestEnv::NewFolder("timeshift");
        Main.CapturePath = Folder + "/";
        MainInfo = &Main;
        SetVideoWindowHost(&Host);
        SetWarningPresenter(&Presenter);
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
        SetRendererOverride({}, "fakesink sync=true");
        TVirtualCard &card = TVirtualCard::Instance();
        card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        card.Reset();
        Capture = std::make_unique<TCaptureInfo>();
        ASSERT_TRUE(Capture->SelectDevices());
        ASSERT_TRUE(Capture->StartPreview(true));
    }
    void TearDown() override
    {
        Player.reset();
        Capture.reset();
        SetVideoWindowHost(PreviousHost);
        SetWarningPresenter(nullptr);
        SetV4l2Backend(nullptr);
        SetRendererOverride({}, {});
        TVirtualCard::Instance().Reset();
        MainInfo = nullptr;
    }
    // Records the time shift for `seconds` of its clock.
    void RecordTimeShift(int seconds)
    {
        ASSERT_TRUE(Capture->StartTimeShift());
        ASSERT_TRUE(
            WaitUntil([&] { return Capture->ElapsedSeconds >= seconds; }, seconds * 1000 + 8000));
    }
    TTimeShiftPlaybackProject &NewPlayer(bool splitter, const QString &file)
    {
        Player = std::make_unique<TTimeShiftPlaybackProject>(false, splitter);
        Player->LiveSource = !splitter;
        Player->VideoFileName = file;
        Player->AudioFileName = file.left(file.size() - 1) + "a";
        Player->RecordedSeconds = [this] {
            return Recorded >= 0 ? Recorded : Capture->ElapsedSeconds;
        };
        Player->OnPosition = [this](TTimeShiftPlaybackProject *, int p, int pos, int dur) {
            Reports.push_back({p, pos, dur});
        };
        return *Player;
    }
    bool PlaysOn(TTimeShiftPlaybackProject &p)
    {
        const double start = Seconds(p);
        return WaitUntil([&] { return Seconds(p) > start + 0.5; }, 8000);
    }

    struct TReport
    {
        int Percent, Position, Duration;
    };
    QString Folder;
    TMainInfo Main;
    TRecordingPresenter Presenter;
    IVideoWindowHost *PreviousHost = VideoWindowHost();
    TVideoWindowHost Host;
    std::unique_ptr<TCaptureInfo> Capture;
    std::unique_ptr<TTimeShiftPlaybackProject> Player;
    int64_t Recorded = -1; // -1: the recorder's own clock
    std::vector<TReport> Reports;
};

// Behind a running recorder: video and sound from the one file (there is no
// ".mpa"), a seek to the end lands 10 s before what is recorded, the
// source waits at the end instead of ending, and the catch-up rule holds
// and resumes playback.
TEST_F(TimeShiftPlaybackTest, PlaysBehindTheRecorderAndHoldsAtTheLiveEdge)
{
    RecordTimeShift(14);
    TTimeShiftPlaybackProject &p = NewPlayer(false, Capture->CaptureFileName);
    bool completed = false;
    ASSERT_TRUE(p.BuildGraph());
    p.VideoGraph()->OnGraphComplete = [&] { completed = true; };
    EXPECT_FALSE(p.UseAudioGraph);
    EXPECT_FALSE(p.AudioGraph()->Active());
    ASSERT_TRUE(p.Play());
    EXPECT_TRUE(p.Timer()->isActive());
    ASSERT_TRUE(PlaysOn(p)) << "graph state " << int(p.VideoGraph()->State());

    p.SeekPercent(100);
    const int recorded = p.DurationSeconds;
    EXPECT_GE(recorded, 14);
    EXPECT_EQ(p.PositionSeconds, recorded - 10);
    ASSERT_FALSE(Reports.empty());
    EXPECT_EQ(Reports.back().Percent, 100);
    EXPECT_EQ(Reports.back().Position, recorded - 10);
    ASSERT_TRUE(WaitUntil([&] { return Seconds(p) >= recorded - 10; }, 5000)) << Seconds(p);
    EXPECT_LT(Seconds(p), recorded - 7);
    p.GetPositionPercent();
    EXPECT_EQ(p.StepPercent, 100 / (recorded < 100 ? 5 : 10)); // once, from the length of then
    // A 0 % seek with too little recorded cannot go before the start.
    Recorded = 5;
    p.SeekPercent(0);
    EXPECT_EQ(p.PositionSeconds, 0);
    EXPECT_TRUE(Presenter.Shown.empty()) << Presenter.Shown.join("|").toStdString();
    // A snapshot is the picture on show, first in the list.
    TSnapshotInfo snapshots;
    SnapshotInfo = &snapshots;
    const bool took = p.TakeSnapshot();
    SnapshotInfo = nullptr;
    ASSERT_TRUE(took);
    ASSERT_EQ(snapshots.Count(), 1);
    EXPECT_EQ(snapshots.Picture(0).width(), 320);
    ASSERT_TRUE(WaitUntil([&] { return p.VideoGraph()->CurrentPosition() >= 0; }, 3000));

    // Nothing recorded as far as the clock knows: the next tick holds.
    Recorded = 0;
    p.TimerTick();
    EXPECT_EQ(p.PositionSeconds, 0);
    EXPECT_EQ(p.DurationSeconds, 0);
    EXPECT_TRUE(p.HeldAtLiveEdge);
    EXPECT_FALSE(p.Playing);
    EXPECT_TRUE(p.Timer()->isActive()); // keeps watching the recording
    // Once more is recorded, it plays on by itself, and the flag is gone.
    Recorded = -1;
    p.TimerTick();
    EXPECT_TRUE(p.Playing);
    EXPECT_FALSE(p.HeldAtLiveEdge);
    // A pause of the user's is not undone by the timer.
    ASSERT_TRUE(p.Pause());
    p.TimerTick();
    EXPECT_FALSE(p.Playing);
    ASSERT_TRUE(p.Play());

    // Played up to the recorded end, it waits there and never ends.
    p.SeekPercent(100);
    WaitUntil([&] { return completed; }, 3000);
    EXPECT_FALSE(completed);
    EXPECT_TRUE(p.Playing || p.HeldAtLiveEdge);
}

// A kept time-shift file plays through the splitter graph: its length is
// its own, a seek to the end lands 5 s before it, and the vendor filters
// it does not use are taken out again.
TEST_F(TimeShiftPlaybackTest, AStoredFilePlaysThroughTheSplitter)
{
    Capture->SaveTimeShiftResult = true;
    RecordTimeShift(8);
    ASSERT_TRUE(Capture->StopTimeShift());
    const QString file = Capture->CaptureFileName;
    ASSERT_TRUE(QFileInfo::exists(file));
    ASSERT_FALSE(QFileInfo::exists(file.left(file.size() - 1) + "a"));

    Recorded = 0; // what the recorder's clock says no longer counts
    TTimeShiftPlaybackProject &p = NewPlayer(true, file);
    ASSERT_TRUE(p.BuildGraph());
    ASSERT_NE(p.Splitter(), nullptr);
    EXPECT_EQ(p.VideoGraph()->FindFilterByName("MPEG2Splitter"), p.Splitter());
    EXPECT_NE(p.VideoGraph()->FindFilterByName("MPEGTimeShiftVideo"), nullptr);
    EXPECT_NE(p.VideoGraph()->FindFilterByName("MPEGTimeShiftAudio"), nullptr);
    EXPECT_EQ(p.Grabber(), nullptr);
    EXPECT_FALSE(p.TakeSnapshot());
    ASSERT_TRUE(p.Play());
    ASSERT_TRUE(PlaysOn(p));
    p.GetPositionPercent();
    EXPECT_GE(p.DurationSeconds, 7);
    EXPECT_LE(p.DurationSeconds, 10);
    p.SeekPercent(100);
    const int length = p.DurationSeconds;
    ASSERT_TRUE(WaitUntil([&] { return Seconds(p) >= length - 5.5; }, 5000)) << Seconds(p);
    EXPECT_LT(Seconds(p), length - 3.5);
    EXPECT_TRUE(p.Playing);
    EXPECT_TRUE(Presenter.Shown.empty());
}

// A companion ".mpa" plays in the audio graph, which follows the video
// graph; the ".mpv"'s own sound then stays silent.
TEST_F(TimeShiftPlaybackTest, ACompanionSoundFilePlaysInTheAudioGraph)
{
    RecordTimeShift(3);
    const QString file = Capture->CaptureFileName;
    const QString sound = file.left(file.size() - 1) + "a";
    GError *error = nullptr;
    GstElement *writer = gst_parse_launch(
        QString(
            "audiotestsrc num-buffers=200 ! audioconvert ! avenc_mp2 ! filesink location=\"%1\"")
            .arg(sound)
            .toUtf8()
            .constData(),
        &error);
    ASSERT_NE(writer, nullptr);
    gst_element_set_state(writer, GST_STATE_PLAYING);
    GstMessage *end =
        gst_bus_timed_pop_filtered(GST_ELEMENT_BUS(writer), 10 * GST_SECOND,
                                   GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_TRUE(end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS);
    gst_message_unref(end);
    gst_element_set_state(writer, GST_STATE_NULL);
    gst_object_unref(writer);

    TTimeShiftPlaybackProject &p = NewPlayer(false, file);
    ASSERT_TRUE(p.BuildGraph());
    EXPECT_TRUE(p.UseAudioGraph);
    ASSERT_TRUE(p.AudioGraph()->Active());
    EXPECT_NE(p.AudioGraph()->FindFilterByName("Async Audio Source Filter"), nullptr);
    TGraphFilter *splitter = p.VideoGraph()->FindFilterByName("Splitter");
    ASSERT_NE(splitter, nullptr);
    EXPECT_FALSE(splitter->PinByName("Audio")->IsConnected());
    ASSERT_TRUE(p.Play());
    ASSERT_TRUE(PlaysOn(p));
    EXPECT_TRUE(WaitUntil([&] { return p.AudioGraph()->State() == GST_STATE_PLAYING; }, 5000));
    ASSERT_TRUE(p.Pause());
    EXPECT_TRUE(WaitUntil([&] { return p.AudioGraph()->State() == GST_STATE_PAUSED; }, 5000));
    EXPECT_TRUE(Presenter.Shown.empty());
}

// The whole program: pause behind live and resume; stop ends both and the
// time-shift file is gone.
TEST(TimeShiftPlaybackProgram, PausesBehindLiveAndStopDeletesTheFile)
{
    const QString folder = TProgramProcess::FolderWithChannels();
    TProgramProcess lyra;
    ASSERT_TRUE(lyra.Start(folder)) << lyra.Failure.toStdString();
    ASSERT_EQ(lyra.Remote("timeshift"), 0);
    ASSERT_TRUE(lyra.WaitForStatus(
        [](const QJsonObject &s) { return s["AppModeName"] == "ModeTimeShift"; }));
    const QString file = lyra.Status()["RecordingFile"].toString();
    QThread::sleep(15);
    ASSERT_EQ(lyra.Remote("play"), 0);
    ASSERT_TRUE(lyra.WaitForStatus([](const QJsonObject &s) {
        return s["AppModeName"] == "ModeTimeShiftPlay" && s["Position"].toDouble() >= 1;
    })) << QJsonDocument(lyra.Status()).toJson().toStdString();
    ASSERT_EQ(lyra.Remote("pause"), 0);
    ASSERT_TRUE(lyra.WaitForStatus([](const QJsonObject &s) { return s["Paused"].toBool(); }));
    const QJsonObject before = lyra.Status();
    const double lagBefore = before["Duration"].toDouble() - before["Position"].toDouble();
    QThread::sleep(5);
    ASSERT_EQ(lyra.Remote("play"), 0);
    ASSERT_TRUE(lyra.WaitForStatus([](const QJsonObject &s) { return !s["Paused"].toBool(); }));
    const QJsonObject after = lyra.Status();
    EXPECT_EQ(after["AppModeName"], "ModeTimeShiftPlay");
    EXPECT_FALSE(after["HeldAtLiveEdge"].toBool());
    const double lagAfter = after["Duration"].toDouble() - after["Position"].toDouble();
    EXPECT_NEAR(lagAfter - lagBefore, 5, 1.5) << lagBefore << " " << lagAfter;
    // Faster and slower leave the rate alone: the position keeps real time.
    ASSERT_EQ(lyra.Remote("fast"), 0);
    ASSERT_EQ(lyra.Remote("fast"), 0);
    const double from = lyra.Status()["Position"].toDouble();
    QThread::sleep(3);
    const double advanced = lyra.Status()["Position"].toDouble() - from;
    EXPECT_GE(advanced, 2);
    EXPECT_LE(advanced, 4);

    ASSERT_EQ(lyra.Remote("stop"), 0);
    ASSERT_TRUE(
        lyra.WaitForStatus([](const QJsonObject &s) { return s["AppModeName"] == "ModeLive"; }));
    if (!file.isEmpty()) {
        EXPECT_FALSE(QFileInfo::exists(file));
        EXPECT_FALSE(QFileInfo::exists(file + ".idx"));
    }
    EXPECT_TRUE(QDir(folder).entryList({"ts0.*"}, QDir::Files).isEmpty());
}

} // namespace
