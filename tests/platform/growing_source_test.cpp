// The growing-file source on real pipelines: playing a time-shift file
// while the recorder writes it, seeking through the time index, and never
// holding up a state change.
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <atomic>
#include <mutex>

#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include "media_test_util.h"
#include "platform/media_filters.h"
#include "platform/timeshift_index.h"
#include "test_env.h"

namespace {

// The stream times of the pictures that reach an appsink, collected on the
// streaming thread.
struct TPictureLog
{
    std::mutex Lock;
    std::vector<double> Times;
    double Last()
    {
        std::lock_guard lock(Lock);
        return Times.empty() ? -1 : Times.back();
    }
    size_t Count()
    {
        std::lock_guard lock(Lock);
        return Times.size();
    }
    void Clear()
    {
        std::lock_guard lock(Lock);
        Times.clear();
    }
    double First()
    {
        std::lock_guard lock(Lock);
        return Times.empty() ? -1 : Times.front();
    }
};

GstFlowReturn TakePicture(GstAppSink *sink, gpointer data)
{
    auto *log = static_cast<TPictureLog *>(data);
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_ERROR;
    const GstClockTime t =
        gst_segment_to_stream_time(gst_sample_get_segment(sample), GST_FORMAT_TIME,
                                   GST_BUFFER_PTS(gst_sample_get_buffer(sample)));
    if (GST_CLOCK_TIME_IS_VALID(t)) {
        std::lock_guard lock(log->Lock);
        log->Times.push_back(double(t) / GST_SECOND);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

// lyragrowingsrc ! decodebin, pictures into the log.
GstElement *Player(const QString &file, TPictureLog &log, const QString &options = {})
{
    GstElement *pipeline = Launch(QString("lyragrowingsrc name=src location=\"%1\" %2"
                                          " ! decodebin ! videoconvert ! appsink name=v sync=false")
                                      .arg(file, options));
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "v");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = TakePicture;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, &log, nullptr);
    gst_object_unref(sink);
    return pipeline;
}

bool WaitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(10);
    }
    return true;
}

bool SawEndOfStream(GstElement *pipeline, int timeoutMs)
{
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *m = gst_bus_timed_pop_filtered(bus, GstClockTime(timeoutMs) * GST_MSECOND,
                                               GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    gst_object_unref(bus);
    const bool eos = m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS;
    if (m)
        gst_message_unref(m);
    return eos;
}

int64_t FramesEncoded(GstElement *writer)
{
    GstElement *r = gst_bin_get_by_name(GST_BIN(writer), "r");
    gint64 frames = 0;
    g_object_get(r, "frames-encoded", &frames, nullptr);
    gst_object_unref(r);
    return frames;
}

// An eight-second time-shift recording, made faster than real time.
QString FinishedTimeShiftFile()
{
    static QString file;
    if (!file.isEmpty())
        return file;
    file = TestEnv::NewFolder("finished") + "/ts0.mpv";
    GstElement *writer = Launch(
        QString("videotestsrc num-buffers=200 pattern=ball ! video/x-raw,width=352,height=288,"
                "framerate=25/1 ! lyrampegrecorder name=r location=\"%1\" bitrate=4000000"
                " time-shift=true audiotestsrc num-buffers=345 ! audio/x-raw,rate=44100,"
                "channels=2 ! r.audio")
            .arg(file));
    EXPECT_EQ(RunToEnd(writer), "");
    gst_object_unref(writer);
    return file;
}

TEST(GrowingSource, PlaysWhileTheRecordingGrowsAndEndsWhenItIsFinished)
{
    const QString file = TestEnv::NewFolder("growing") + "/ts0.mpv";
    GstElement *writer = Launch(
        QString("videotestsrc is-live=true pattern=ball ! video/x-raw,width=352,height=288,"
                "framerate=25/1 ! lyrampegrecorder name=r location=\"%1\" time-shift=true"
                " bitrate=4000000 audiotestsrc is-live=true ! audio/x-raw,rate=44100,channels=2"
                " ! r.audio")
            .arg(file));
    ASSERT_NE(gst_element_set_state(writer, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    ASSERT_TRUE(WaitUntil([&] { return FramesEncoded(writer) >= 25; }, 5000));

    TPictureLog log;
    GstElement *player = Player(file, log);
    ASSERT_NE(gst_element_set_state(player, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    // The player follows the recording well past what the file held when it
    // started, and waits at its end instead of ending the stream.
    EXPECT_TRUE(WaitUntil([&] { return log.Last() >= 2.5; }, 8000)) << log.Last();
    EXPECT_FALSE(SawEndOfStream(player, 600));
    const double followed = log.Last();
    EXPECT_TRUE(WaitUntil([&] { return log.Last() >= followed + 0.5; }, 3000));

    // The recording ends: its index says so, and the player ends the
    // stream at the last picture.
    gst_element_send_event(writer, gst_event_new_eos());
    EXPECT_TRUE(SawEndOfStream(writer, 5000));
    const double recorded = double(FramesEncoded(writer)) / 25;
    gst_element_set_state(writer, GST_STATE_NULL);
    gst_object_unref(writer);
    EXPECT_TRUE(SawEndOfStream(player, 5000));
    EXPECT_NEAR(log.Last(), 0.54 + recorded, 0.2);
    gst_element_set_state(player, GST_STATE_NULL);
    gst_object_unref(player);
}

TEST(GrowingSource, SeeksInTimeThroughTheIndexAndInBytes)
{
    const QString file = FinishedTimeShiftFile();
    TTimeShiftIndex index;
    ASSERT_TRUE(index.Refresh(TimeShiftIndexName(file.toStdString())));
    ASSERT_GE(index.Entries().size(), 6u);

    TPictureLog log;
    GstElement *player = Player(file, log);
    ASSERT_NE(gst_element_set_state(player, GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
    ASSERT_NE(gst_element_get_state(player, nullptr, nullptr, 5 * GST_SECOND),
              GST_STATE_CHANGE_FAILURE);
    // In time: the first picture shown is the one asked for.
    log.Clear();
    ASSERT_TRUE(gst_element_seek_simple(player, GST_FORMAT_TIME,
                                        GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                        5 * GST_SECOND));
    gst_element_set_state(player, GST_STATE_PLAYING);
    ASSERT_TRUE(WaitUntil([&] { return log.Count() > 0; }, 5000));
    EXPECT_NEAR(log.First(), 5.0, 0.041);

    // In bytes, at the source: reading goes on from that pack, at the time
    // of its entry point.
    const TIndexRecord &entry = index.Entries()[3];
    gst_element_set_state(player, GST_STATE_PAUSED);
    gst_element_get_state(player, nullptr, nullptr, 5 * GST_SECOND);
    log.Clear();
    GstElement *source = gst_bin_get_by_name(GST_BIN(player), "src");
    ASSERT_TRUE(gst_element_send_event(
        source, gst_event_new_seek(1.0, GST_FORMAT_BYTES, GST_SEEK_FLAG_FLUSH, GST_SEEK_TYPE_SET,
                                   gint64(entry.Offset), GST_SEEK_TYPE_NONE, -1)));
    gst_object_unref(source);
    gst_element_set_state(player, GST_STATE_PLAYING);
    ASSERT_TRUE(WaitUntil([&] { return log.Count() > 0; }, 5000));
    EXPECT_NEAR(log.First(), entry.Millis / 1000.0, 0.041);
    EXPECT_TRUE(SawEndOfStream(player, 10000));
    gst_element_set_state(player, GST_STATE_NULL);
    gst_object_unref(player);
}

TEST(GrowingSource, TheFilterAnswersTheAvailableSeconds)
{
    const QString file = FinishedTimeShiftFile();
    TFilterPtr filter = CreateFilterFromMoniker("registry:Async Source Filter");
    auto *source = filter->Query<IFileSourceFilter>();
    auto *timeShift = filter->Query<ITimeShiftSource>();
    ASSERT_TRUE(source && timeShift);
    ASSERT_NE(filter->PinByName("Output"), nullptr);
    int32_t value = 0;
    EXPECT_EQ(timeShift->GetSourceValue(1, value), ENODATA); // nothing loaded yet
    ASSERT_EQ(source->Load(file), 0);
    QString loaded;
    source->GetCurFile(loaded);
    EXPECT_EQ(loaded, file);
    ASSERT_EQ(timeShift->GetSourceValue(1, value), 0);
    EXPECT_EQ(value, 0);
    ASSERT_EQ(timeShift->GetSourceValue(2, value), 0);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(timeShift->GetSourceValue(3, value), EINVAL);
    EXPECT_EQ(timeShift->SetSourceState(0, 0), 0);
    gboolean growing = TRUE;
    g_object_get(static_cast<TGrowingSourceFilter *>(filter.get())->Source(), "growing", &growing,
                 nullptr);
    EXPECT_FALSE(growing);
}

TEST(GrowingSource, AWaitAtTheEndNeverHoldsUpAStateChange)
{
    // A file without an index whose writer is gone: the source waits.
    const QString folder = TestEnv::NewFolder("waiting");
    ASSERT_TRUE(QFile::copy(FinishedTimeShiftFile(), folder + "/copy.mpv"));
    TPictureLog log;
    GstElement *player = Player(folder + "/copy.mpv", log);
    ASSERT_NE(gst_element_set_state(player, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    ASSERT_TRUE(WaitUntil([&] { return log.Last() >= 8.4; }, 10000)) << log.Last();
    EXPECT_FALSE(SawEndOfStream(player, 300));
    // Without an index the demuxer's own estimate seeks in bytes.
    log.Clear();
    EXPECT_TRUE(
        gst_element_seek_simple(player, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 4 * GST_SECOND));
    ASSERT_TRUE(WaitUntil([&] { return log.Count() > 0; }, 5000));
    QElapsedTimer timer;
    timer.start();
    gst_element_set_state(player, GST_STATE_NULL);
    EXPECT_LT(timer.elapsed(), 1000);
    gst_object_unref(player);
    // Told that the writer stopped, it ends the stream at the end.
    log.Clear();
    player = Player(folder + "/copy.mpv", log);
    ASSERT_NE(gst_element_set_state(player, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    ASSERT_TRUE(WaitUntil([&] { return log.Last() >= 8.4; }, 10000)) << log.Last();
    GstElement *source = gst_bin_get_by_name(GST_BIN(player), "src");
    g_object_set(source, "growing", FALSE, nullptr);
    gst_object_unref(source);
    EXPECT_TRUE(SawEndOfStream(player, 2000));
    gst_element_set_state(player, GST_STATE_NULL);
    gst_object_unref(player);
}

} // namespace
