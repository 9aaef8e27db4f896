// The recorder as the recording builder uses it: found by name, set up
// through its interfaces in the builder's order, fed by the virtual card;
// and the sync marks of that recording measured by tools/avsync.
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include "media_test_util.h"
#include "platform/avsync_measure.h"
#include "platform/filter_graph.h"
#include "platform/media_filters.h"
#include "platform/virtual_card.h"
#include "platform/virtual_sync_mark.h"
#include "test_env.h"

namespace {

class MediaFilters : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        Card.Reset(); // tuned to "Lyra One"
        SetSyncMarkInterval(1000);
    }
    void TearDown() override
    {
        SetSyncMarkInterval(4000);
        Card.Reset();
    }
    TVirtualCard &Card = TVirtualCard::Instance();
};

int64_t FramesEncoded(TGraphFilter *recorder)
{
    gint64 frames = 0;
    g_object_get(static_cast<TMpegRecorderFilter *>(recorder)->Recorder(), "frames-encoded",
                 &frames, nullptr);
    return frames;
}

int RunAvSync(const QString &file, QString *output = nullptr)
{
    QProcess tool;
    tool.start(TestEnv::BinaryDir() + "/tools/avsync", {file});
    tool.waitForFinished(60000);
    if (output)
        *output = QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

TEST_F(MediaFilters, TheRecorderRecordsTheVirtualCardAsTheBuilderSetsItUp)
{
    TFilterGraph graph;
    graph.Mode = TFilterGraph::ModeCapture;
    ASSERT_TRUE(graph.SetActive(true));
    // The card's picture and, as on a real card, its sound from its own
    // audio capture device.
    TFilterPtr capture = CreateFilterFromMoniker("virtual:capture");
    TFilterPtr audio = CreateFilterFromMoniker("virtual:audio");
    TFilterPtr recorder = CreateFilterFromMoniker("registry:videdazir Mpeg1/2 Recorder Filter");
    ASSERT_TRUE(graph.AddFilter(capture) && graph.AddFilter(audio) && graph.AddFilter(recorder));

    // DVD (PAL), the way the builder asks for it.
    auto *settings = graph.FindInterface<IMpegRecorderSettings>(recorder.get());
    auto *sink = graph.FindInterface<IFileSinkFilter>(recorder.get());
    auto *tuning = graph.FindInterface<IMpegEncoderTuning>(recorder.get());
    ASSERT_TRUE(settings && sink && tuning);
    EXPECT_EQ(settings->SetMpegType(2), 0);
    EXPECT_EQ(settings->SetBitRate(3950000), 0);
    EXPECT_EQ(settings->SetQuality(0), 0);
    EXPECT_EQ(settings->SetVideoSize(720, 576), 0);
    EXPECT_EQ(settings->SetAudioSampleRate(48000), 0);
    EXPECT_EQ(settings->SetFrameRateIndex(3), 0);
    EXPECT_EQ(settings->SetRecordingKind(false, true), 0);
    const QString file = TestEnv::NewFolder("dvd") + "/capture.mpg";
    EXPECT_EQ(sink->SetFileName(file), 0);
    EXPECT_EQ(tuning->SetMotionSearch(1), 0);
    EXPECT_EQ(tuning->SetKeyInterval(10), 0);
    EXPECT_EQ(tuning->SetBPictureCount(1), 0);
    EXPECT_EQ(tuning->SetSwitches(false, false, false), 0);
    EXPECT_EQ(tuning->SetSearchRanges(2, 2, 2, 2), 0);
    // What no recorder can do is refused and changes nothing.
    EXPECT_EQ(settings->SetMpegType(3), EINVAL);
    EXPECT_EQ(settings->SetAudioSampleRate(22050), EINVAL);
    EXPECT_EQ(settings->SetFrameRateIndex(6), EINVAL);
    EXPECT_EQ(settings->SetVideoSize(721, 576), EINVAL);
    EXPECT_EQ(tuning->SetSearchRanges(0, 2, 2, 2), EINVAL);
    EXPECT_EQ(sink->SetFileName(""), EINVAL);
    QString current;
    sink->GetCurFile(current);
    EXPECT_EQ(current, file);

    TPin *picture = TFilterGraph::FindPin(capture.get(), TPinDirection::Output,
                                          TPinCategory::Capture, TMediaKind::Video);
    TPin *sound = TFilterGraph::FindPin(audio.get(), TPinDirection::Output, TPinCategory::Capture,
                                        TMediaKind::Audio);
    // The sound input takes sound only.
    EXPECT_FALSE(graph.ConnectDirect(picture, recorder->PinByName("Audio")));
    ASSERT_TRUE(graph.ConnectDirect(picture, recorder->PinByName("Video")))
        << graph.LastError().toStdString();
    ASSERT_TRUE(graph.ConnectDirect(sound, recorder->PinByName("Audio")))
        << graph.LastError().toStdString();
    ASSERT_TRUE(graph.Run());
    QElapsedTimer timer;
    timer.start();
    while (FramesEncoded(recorder.get()) < 90 && timer.elapsed() < 15000)
        QThread::msleep(20);
    ASSERT_TRUE(graph.Stop());
    graph.SetActive(false);

    const TDiscovered d = Discover(file);
    ASSERT_TRUE(d.Ok) << d.Error;
    EXPECT_EQ(d.ContainerMpegVersion, 2);
    EXPECT_EQ(d.VideoMpegVersion, 2);
    EXPECT_EQ(d.Width, 720);
    EXPECT_EQ(d.Height, 576);
    EXPECT_EQ(d.FpsN, 25);
    EXPECT_EQ(d.AudioRate, 48000);

    // A mark every second: flash and click together, well within one
    // picture (the stamps come from the sources, so load does not matter).
    const TAvSyncResult sync = MeasureAvSync(file.toStdString());
    ASSERT_TRUE(sync.Decoded) << sync.Error;
    EXPECT_GE(sync.Marks.size(), 2u);
    EXPECT_EQ(sync.Marks.size(), sync.Flashes.size());
    EXPECT_EQ(sync.Marks.size(), sync.Clicks.size());
    EXPECT_NEAR(sync.VideoFrameSeconds, 0.04, 1e-6);
    EXPECT_LE(sync.MaxAbsMs, 5.0);
    QString output;
    EXPECT_EQ(RunAvSync(file, &output), 0);
    EXPECT_TRUE(output.contains("mean offset")) << output.toStdString();
}

TEST_F(MediaFilters, AvSyncFailsOnFilesWithoutMarks)
{
    const QString file = TestEnv::NewFolder("nomarks") + "/plain.mpg";
    GstElement *pipeline = Launch(
        QString("videotestsrc num-buffers=50 ! video/x-raw,width=320,height=240"
                " ! lyrampegrecorder name=r location=\"%1\" width=320 height=240"
                " audiotestsrc num-buffers=100 ! audio/x-raw,rate=44100,channels=2 ! r.audio")
            .arg(file));
    ASSERT_EQ(RunToEnd(pipeline), "");
    gst_object_unref(pipeline);
    EXPECT_EQ(RunAvSync(file), 1);
    EXPECT_EQ(RunAvSync(file + ".missing"), 2);
}

} // namespace
