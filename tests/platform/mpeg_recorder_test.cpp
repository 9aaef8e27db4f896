// The MPEG recorder element on real pipelines: every profile read back by
// the discoverer, the frame grid, the time index, write errors and files
// cut by a kill.
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstring>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "media_test_util.h"
#include "platform/timeshift_index.h"
#include "test_env.h"

extern char **environ;

namespace {

struct TFormatCase
{
    const char *Name;
    QString Settings; // recorder properties
    int SourceWidth, SourceHeight;
    const char *SourceRate; // frames/s of the test source
    int Frames;
    int SourceAudioRate;
    // Expected.
    int Container, Video, Width, Height, FpsN, FpsD, AudioRate;
};

std::ostream &operator<<(std::ostream &out, const TFormatCase &c)
{
    return out << c.Name;
}

class RecorderFormats : public ::testing::TestWithParam<TFormatCase>
{
};

TEST_P(RecorderFormats, RecordsWhatThePlayerReadsBack)
{
    const TFormatCase &c = GetParam();
    const QString file = TestEnv::NewFolder(c.Name) + "/rec.mpg";
    const double seconds = c.Frames * 1.0 * c.FpsD / c.FpsN;
    GstElement *pipeline = Launch(
        QString("videotestsrc num-buffers=%1 pattern=ball ! video/x-raw,format=YUY2,width=%2,"
                "height=%3,framerate=%4 ! lyrampegrecorder name=r location=\"%5\" %6"
                " audiotestsrc num-buffers=%7 samplesperbuffer=1024 ! audio/x-raw,rate=%8,"
                "channels=2 ! audioconvert ! audioresample ! r.audio")
            .arg(c.Frames)
            .arg(c.SourceWidth)
            .arg(c.SourceHeight)
            .arg(c.SourceRate)
            .arg(file, c.Settings)
            .arg(int(seconds * c.SourceAudioRate / 1024))
            .arg(c.SourceAudioRate));
    ASSERT_NE(pipeline, nullptr);
    EXPECT_EQ(RunToEnd(pipeline), "");
    gst_object_unref(pipeline);

    const TDiscovered d = Discover(file);
    ASSERT_TRUE(d.Ok) << d.Error;
    EXPECT_EQ(d.ContainerMpegVersion, c.Container);
    EXPECT_EQ(d.VideoMpegVersion, c.Video);
    EXPECT_EQ(d.Width, c.Width);
    EXPECT_EQ(d.Height, c.Height);
    EXPECT_EQ(d.FpsN, c.FpsN);
    EXPECT_EQ(d.FpsD, c.FpsD);
    EXPECT_EQ(d.AudioRate, c.AudioRate);
    EXPECT_EQ(d.AudioChannels, 2);
    EXPECT_EQ(d.AudioLayer, 2);
    // The demuxer measures from the first time stamp to the last, which is
    // the start of the last picture; decoding gives every picture.
    const double framePeriod = double(c.FpsD) / c.FpsN;
    EXPECT_NEAR(double(d.Duration) / GST_SECOND, seconds - framePeriod, framePeriod);
    EXPECT_EQ(DecodedVideoFrames(file), c.Frames);
    EXPECT_FALSE(QFile::exists(file + ".idx")); // only time shifts are indexed
}

const char *Pal = "25/1";
const char *Ntsc = "30000/1001";

INSTANTIATE_TEST_SUITE_P(
    Profiles, RecorderFormats,
    ::testing::Values(
        TFormatCase{"Mpeg1",
                    "mpeg-type=1 width=320 height=240 bitrate=1350000 sample-rate=44100"
                    " frame-rate-index=3",
                    320, 240, Pal, 50, 44100, 1, 1, 320, 240, 25, 1, 44100},
        // Scaled and converted by the recorder itself, 30 frames/s.
        TFormatCase{"Mpeg2",
                    "mpeg-type=2 width=640 height=480 bitrate=4000000 sample-rate=44100"
                    " frame-rate-index=5 quality=6",
                    720, 576, "30/1", 60, 48000, 2, 2, 640, 480, 30, 1, 44100},
        TFormatCase{"VcdPal",
                    "mpeg-type=1 width=352 height=288 bitrate=1150000 sample-rate=44100"
                    " frame-rate-index=3",
                    352, 288, Pal, 50, 44100, 1, 1, 352, 288, 25, 1, 44100},
        TFormatCase{"VcdNtsc", "profile=vcd width=352 height=240 frame-rate-index=4", 352, 240,
                    Ntsc, 60, 48000, 1, 1, 352, 240, 30000, 1001, 44100},
        TFormatCase{"SvcdPal",
                    "mpeg-type=2 width=480 height=576 bitrate=2300000 sample-rate=44100"
                    " frame-rate-index=3",
                    480, 576, Pal, 50, 44100, 2, 2, 480, 576, 25, 1, 44100},
        TFormatCase{"SvcdNtsc", "profile=svcd frame-rate-index=4", 480, 480, Ntsc, 60, 44100, 2, 2,
                    480, 480, 30000, 1001, 44100},
        TFormatCase{"DvdPal",
                    "mpeg-type=2 width=720 height=576 bitrate=3950000 sample-rate=48000"
                    " frame-rate-index=3 quality=0",
                    720, 576, Pal, 50, 48000, 2, 2, 720, 576, 25, 1, 48000},
        TFormatCase{"DvdNtsc", "profile=dvd frame-rate-index=4 sample-rate=44100", 720, 480, Ntsc,
                    60, 48000, 2, 2, 720, 480, 30000, 1001, 48000}),
    [](const ::testing::TestParamInfo<TFormatCase> &info) { return std::string(info.param.Name); });

// Reads an element property of type gint64 or guint64 as a number.
int64_t Counter(GstElement *pipeline, const char *property)
{
    GstElement *recorder = gst_bin_get_by_name(GST_BIN(pipeline), "r");
    gint64 value = -1;
    g_object_get(recorder, property, &value, nullptr);
    gst_object_unref(recorder);
    return value;
}

// Records `frames` pictures of a source at `sourceRate` into a recording
// at frame-rate index `index`; returns the pipeline (stopped) for its
// counters.
GstElement *RecordFrames(const QString &file, int frames, const char *sourceRate, int index)
{
    GstElement *pipeline =
        Launch(QString("videotestsrc num-buffers=%1 ! video/x-raw,width=352,height=288,framerate=%2"
                       " ! lyrampegrecorder name=r location=\"%3\" frame-rate-index=%4")
                   .arg(frames)
                   .arg(sourceRate, file)
                   .arg(index));
    EXPECT_EQ(RunToEnd(pipeline), "");
    return pipeline;
}

TEST(MpegRecorder, PicturesKeepTheirTimeOnTheRecordingsFrameGrid)
{
    const QString folder = TestEnv::NewFolder("grid");
    // Two seconds at 25 frames/s recorded at 29.97: every fifth picture is
    // shown twice, the length stays.
    GstElement *slow = RecordFrames(folder + "/slow.mpg", 50, "25/1", 4);
    EXPECT_NEAR(double(Counter(slow, "frames-repeated")), 10, 1);
    EXPECT_EQ(Counter(slow, "frames-dropped"), 0);
    EXPECT_EQ(DecodedVideoFrames(folder + "/slow.mpg"), 60);
    // Two seconds at 30 frames/s recorded at 25: one picture in six goes.
    GstElement *fast = RecordFrames(folder + "/fast.mpg", 60, "30/1", 3);
    EXPECT_NEAR(double(Counter(fast, "frames-dropped")), 10, 1);
    EXPECT_EQ(Counter(fast, "frames-repeated"), 0);
    EXPECT_EQ(DecodedVideoFrames(folder + "/fast.mpg"), 50);
    gst_object_unref(slow);
    gst_object_unref(fast);
}

TEST(MpegRecorder, TimeShiftRecordingsKeepAnIndexOfEntryPoints)
{
    const QString file = TestEnv::NewFolder("index") + "/ts0.mpv";
    // The time-shift settings: MPEG-1, 352x288, 4000 kbit/s, quality 3.
    GstElement *pipeline = Launch(
        QString("videotestsrc num-buffers=200 pattern=ball ! video/x-raw,width=352,height=288,"
                "framerate=25/1 ! lyrampegrecorder name=r location=\"%1\" mpeg-type=1"
                " bitrate=4000000 quality=3 width=352 height=288 frame-rate-index=3"
                " time-shift=true audiotestsrc num-buffers=345 ! audio/x-raw,rate=44100,"
                "channels=2 ! r.audio")
            .arg(file));
    ASSERT_EQ(RunToEnd(pipeline), "");
    gst_object_unref(pipeline);

    TTimeShiftIndex index;
    ASSERT_TRUE(index.Refresh(TimeShiftIndexName(file.toStdString())));
    EXPECT_EQ(index.UnitSize(), 2048u);
    ASSERT_TRUE(index.Complete());
    const QByteArray bytes = TestEnv::ReadFile(file);
    EXPECT_EQ(index.EndOffset(), uint64_t(bytes.size()));
    // Eight seconds, an I picture every second: eight entry points, each a
    // second after the last, each a pack in which a sequence header starts.
    const auto &entries = index.Entries();
    ASSERT_EQ(entries.size(), 8u);
    for (size_t i = 0; i < entries.size(); ++i) {
        const TIndexRecord &e = entries[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(e.Offset % 2048, 0u);
        ASSERT_LT(e.Offset, uint64_t(bytes.size()));
        EXPECT_TRUE(bytes.mid(qsizetype(e.Offset), 3) == QByteArray("\0\0\1", 3));
        const qsizetype header = bytes.indexOf(QByteArray("\0\0\1\xb3", 4), qsizetype(e.Offset));
        EXPECT_GE(header, qsizetype(e.Offset));
        EXPECT_LT(header, qsizetype(e.Offset) + 2048);
        if (i > 0)
            EXPECT_NEAR(double(e.Millis - entries[i - 1].Millis), 1000, 2);
    }
    int32_t earliest = -1, latest = -1;
    ASSERT_TRUE(index.SecondsRange(earliest, latest));
    EXPECT_EQ(earliest, 0);
    EXPECT_EQ(latest, 7);
}

TEST(MpegRecorder, AStopWithoutEndOfStreamStillFinishesTheFile)
{
    const QString file = TestEnv::NewFolder("stop") + "/ts0.mpv";
    GstElement *pipeline = Launch(
        QString("videotestsrc is-live=true ! video/x-raw,width=320,height=240,framerate=25/1"
                " ! lyrampegrecorder name=r location=\"%1\" width=320 height=240"
                " time-shift=true audiotestsrc is-live=true ! audio/x-raw,rate=44100,channels=2"
                " ! r.audio")
            .arg(file));
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    // Until a second and a half has been encoded.
    for (int i = 0; i < 500 && Counter(pipeline, "frames-encoded") < 38; ++i)
        QThread::msleep(10);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    TTimeShiftIndex index;
    ASSERT_TRUE(index.Refresh(TimeShiftIndexName(file.toStdString())));
    EXPECT_TRUE(index.Complete());
    EXPECT_EQ(index.EndOffset(), uint64_t(QFileInfo(file).size()));
    EXPECT_NEAR(DecodedVideoFrames(file) / 25.0, 1.5, 0.2);
}

TEST(MpegRecorder, WriteErrorsAreReportedWithTheSystemsReason)
{
    // A full disk: the error names it, and the pipeline stops cleanly.
    GstElement *full = Launch("videotestsrc ! video/x-raw,width=320,height=240 ! lyrampegrecorder"
                              " location=/dev/full width=320 height=240");
    EXPECT_NE(RunToEnd(full, 20000).find("No space left on device"), std::string::npos);
    gst_object_unref(full);
    // A folder that does not exist: the recording does not start.
    GstElement *missing = Launch("videotestsrc ! lyrampegrecorder location=/nonexistent/x.mpg");
    EXPECT_EQ(gst_element_set_state(missing, GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
    EXPECT_NE(WaitForError(missing, 0).find("No such file or directory"), std::string::npos);
    gst_element_set_state(missing, GST_STATE_NULL);
    gst_object_unref(missing);
    // Settings no profile can record.
    GstElement *odd = Launch(QString("videotestsrc ! lyrampegrecorder location=\"%1\" width=321")
                                 .arg(TestEnv::NewFolder("odd") + "/odd.mpg"));
    EXPECT_EQ(gst_element_set_state(odd, GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
    EXPECT_NE(WaitForError(odd, 0).find("even"), std::string::npos);
    gst_element_set_state(odd, GST_STATE_NULL);
    gst_object_unref(odd);
}

// Run by the kill test in a child process: records live until killed.
TEST(MpegRecorderChild, DISABLED_RecordsUntilKilled)
{
    const char *target = getenv("LYRA_RECORD_UNTIL_KILLED");
    ASSERT_NE(target, nullptr);
    GstElement *pipeline =
        Launch(QString("videotestsrc is-live=true pattern=ball ! video/x-raw,width=352,height=288,"
                       "framerate=25/1 ! lyrampegrecorder name=r location=\"%1\" bitrate=1500000"
                       " audiotestsrc is-live=true ! audio/x-raw,rate=44100,channels=2 ! r.audio")
                   .arg(target));
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    for (;;)
        QThread::sleep(1);
}

TEST(MpegRecorder, AFileCutByAKillDecodesUpToTheCut)
{
    const QString folder = TestEnv::NewFolder("kill");
    const QString file = folder + "/cut.mpg";
    // The child's own test folders go inside ours: killed, it cannot
    // remove them itself.
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e)
        if (strncmp(*e, "TMPDIR=", 7) != 0)
            env.emplace_back(*e);
    env.push_back("LYRA_RECORD_UNTIL_KILLED=" + file.toStdString());
    env.push_back("TMPDIR=" + folder.toStdString());
    std::vector<char *> envp;
    for (auto &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe", filter = "--gtest_filter=MpegRecorderChild.*",
                disabled = "--gtest_also_run_disabled_tests";
    char *argv[] = {self.data(), filter.data(), disabled.data(), nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, envp.data()), 0);
    // The first pack on disk: the child records. Then let it run 4 s.
    for (int i = 0; i < 1000 && QFileInfo(file).size() == 0; ++i)
        QThread::msleep(10);
    ASSERT_GT(QFileInfo(file).size(), 0);
    QThread::msleep(4000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const TDiscovered d = Discover(file);
    ASSERT_TRUE(d.Ok) << d.Error;
    const double decoded = DecodedVideoFrames(file) / 25.0;
    EXPECT_GE(decoded, 4.0 - 2.0);
    EXPECT_LE(decoded, 4.0 + 1.0);
}

} // namespace
