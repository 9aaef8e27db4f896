// Recording through the whole engine on the virtual card, with the live
// preview running: DVD-PAL (720x576 MPEG-2 3950 kbit/s "Fastest" + MP2
// 48 kHz, the settings dialog's defaults for "DVD (PAL)").
//
// 1. Free-running encoding speed of the recorder element against real time
//    while the engine's live preview runs beside it (goal >= 2x).
// 2. A live recording through the engine: CPU per second, and the pictures
//    the recorder had to repeat or drop (goal 0).
// 3. The same time of a bare GStreamer pipeline in the same process: live
//    videotestsrc/audiotestsrc, a preview branch de-interlaced (as the
//    engine's preview of a recording taller than 300 lines) into a clocked
//    fakesink, and the recorder element with the same settings (so the same libavcodec
//    settings; GStreamer's avenc_mpeg2video does not start on Debian 12).
//    Prints the engine/bare CPU ratio (goal <= 1.2).
// 4. A/V offset of the live recording at its first and last sync marks
//    (goal <= one frame, no drift).
// 5. Size of one minute of every format, recorded through the engine.
//
// Usage: recording_bench [SECONDS (60)] [SIZE-SECONDS (10)]
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

#include <gst/gst.h>
#include <sys/resource.h>

#include "app/main_info.h"
#include "bench_virtual_card.h"
#include "capture/capture_info.h"
#include "platform/avsync_measure.h"
#include "platform/filter_registry.h"
#include "platform/media_filters.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void Spin(double seconds)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

class TQuietPresenter : public IWarningPresenter
{
public:
    void Present(const QStringList &lines) override
    {
        fprintf(stderr, "message: %s\n", qPrintable(lines.join(' ')));
    }
    void Close() override {}
};

void Dvd(TCaptureInfo &e)
{
    e.CaptureFormat = FormatDVDPAL;
    e.CaptureWidth = 720;
    e.CaptureHeight = 576;
    e.BitRate = 3950;
    e.CaptureQuality = 0;
    e.FrameRateIndex = 3;
    e.CaptureAudioOption = 0;
}

guint64 Counter(GstElement *recorder, const char *name)
{
    guint64 value = 0;
    if (recorder)
        g_object_get(recorder, name, &value, nullptr);
    return value;
}

// Runs a pipeline to its end while the event loop turns; wall seconds.
double RunFreeRunning(const QString &description)
{
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
    if (!pipeline)
        return -1;
    QElapsedTimer t;
    t.start();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    bool done = false, failed = false;
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (GstMessage *m = gst_bus_timed_pop_filtered(
                bus, 10 * GST_MSECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))) {
            failed = GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR;
            done = true;
            gst_message_unref(m);
        }
    }
    const double wall = t.elapsed() / 1000.0;
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return failed ? -1 : wall;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    gst_init(&argc, &argv);
    RegisterLyraMediaElements();
    const int seconds = argc > 1 ? std::max(10, atoi(argv[1])) : 60;
    const int sizeSeconds = argc > 2 ? std::max(2, atoi(argv[2])) : 10;

    QTemporaryDir dir;
    TBenchVirtualCard card(dir.path());
    TQuietPresenter presenter;
    SetWarningPresenter(&presenter);
    auto engine = std::make_unique<TCaptureInfo>();
    TCaptureInfo &e = *engine;
    if (!e.SelectDevices() || !e.StartPreview(true) || !e.Tuner ||
        e.Tuner->SetFrequency(55250000, 0) != 0) {
        fprintf(stderr, "the virtual card's preview does not start\n");
        return 1;
    }
    e.UseDateTimeFileName = false;
    Spin(1);
    printf("DVD-PAL (720x576 MPEG-2 3950 kbit/s, quality 0 \"Fastest\", MP2 48 kHz) on the"
           " virtual card \"Lyra One\", live preview running, %d cores\n",
           QThread::idealThreadCount());

    // 1.
    const int frames = 500;
    const double wall = RunFreeRunning(
        QString("videotestsrc num-buffers=%1 pattern=ball ! video/x-raw,format=YUY2,width=720,"
                "height=576,framerate=25/1 ! lyrampegrecorder name=r location=\"%2\" profile=dvd"
                " bitrate=3950000 quality=0 width=720 height=576 sample-rate=48000"
                " frame-rate-index=3 audiotestsrc num-buffers=%3 samplesperbuffer=1920 !"
                " audio/x-raw,format=S16LE,rate=48000,channels=2 ! r.audio")
            .arg(frames)
            .arg(dir.filePath("free.mpg"))
            .arg(frames * 48000 / 25 / 1920));
    if (wall > 0)
        printf("1. free-running recorder element beside the live preview: %d pictures in %.2f s"
               " = %.1fx real time\n",
               frames, wall, frames / 25.0 / wall);

    // 2. First the preview alone (at its own size, 640x480 on this card),
    // for the share of the recording itself.
    Dvd(e);
    e.StopGraph();
    e.StartPreview(false);
    const int idleSeconds = std::min(seconds, 30);
    double idleCpu = CpuSeconds();
    Spin(idleSeconds);
    idleCpu = (CpuSeconds() - idleCpu) / idleSeconds;
    e.StopGraph();
    e.StartPreview(false);
    const double cpu0 = CpuSeconds();
    QElapsedTimer t;
    t.start();
    if (!e.StartRecording()) {
        fprintf(stderr, "the live recording does not start\n");
        return 1;
    }
    Spin(seconds);
    GstElement *recorder =
        e.VideoEncoder ? static_cast<TMpegRecorderFilter *>(e.VideoEncoder.get())->Recorder()
                       : nullptr;
    const guint64 encoded = Counter(recorder, "frames-encoded");
    const guint64 repeated = Counter(recorder, "frames-repeated");
    const guint64 dropped = Counter(recorder, "frames-dropped");
    const double liveWall = t.elapsed() / 1000.0;
    const double liveCpu = CpuSeconds() - cpu0;
    const QString liveFile = e.CaptureFileName;
    e.StopRecording();
    e.StopGraph();
    printf("2. live recording through the engine: %.1f s, %llu pictures encoded (%.0f expected),"
           " %llu repeated, %llu dropped; CPU %.3f s per second (the preview alone, 640x480: %.3f);"
           " %.1f MB per minute\n",
           liveWall, (unsigned long long)encoded, liveWall * 25, (unsigned long long)repeated,
           (unsigned long long)dropped, liveCpu / liveWall, idleCpu,
           double(QFileInfo(liveFile).size()) / liveWall * 60 / 1e6);

    // 3.
    GstElement *bare = gst_parse_launch(
        QString("videotestsrc is-live=true pattern=smpte ! video/x-raw,format=YUY2,width=720,"
                "height=576,framerate=25/1 ! tee name=t ! queue leaky=downstream ! videoconvert !"
                " deinterlace ! videoconvert ! fakesink sync=true t. ! queue ! lyrampegrecorder "
                "name=r location=\"%1\""
                " profile=dvd bitrate=3950000 quality=0 width=720 height=576 sample-rate=48000"
                " frame-rate-index=3 audiotestsrc is-live=true samplesperbuffer=1920 !"
                " audio/x-raw,format=S16LE,rate=48000,channels=2 ! r.audio")
            .arg(dir.filePath("bare.mpg"))
            .toUtf8()
            .constData(),
        nullptr);
    GstElement *barePreview = gst_parse_launch(
        "videotestsrc is-live=true pattern=smpte ! video/x-raw,format=YUY2,width=720,height=576,"
        "framerate=25/1 ! queue leaky=downstream ! videoconvert ! deinterlace ! videoconvert ! "
        "fakesink sync=true",
        nullptr);
    double bareIdle = CpuSeconds();
    gst_element_set_state(barePreview, GST_STATE_PLAYING);
    Spin(idleSeconds);
    bareIdle = (CpuSeconds() - bareIdle) / idleSeconds;
    gst_element_set_state(barePreview, GST_STATE_NULL);
    gst_object_unref(barePreview);
    const double bareCpu0 = CpuSeconds();
    t.restart();
    gst_element_set_state(bare, GST_STATE_PLAYING);
    // CPU per second settles within a minute.
    Spin(std::min(seconds, 60));
    const double bareWall = t.elapsed() / 1000.0;
    gst_element_send_event(bare, gst_event_new_eos());
    GstBus *bus = gst_element_get_bus(bare);
    if (GstMessage *m = gst_bus_timed_pop_filtered(bus, 5 * GST_SECOND, GST_MESSAGE_EOS))
        gst_message_unref(m);
    const double bareCpu = CpuSeconds() - bareCpu0;
    gst_object_unref(bus);
    gst_element_set_state(bare, GST_STATE_NULL);
    gst_object_unref(bare);
    printf("3. bare pipeline (live test sources, de-interlaced preview into a fakesink, the"
           " recorder element): CPU"
           " %.3f s per second (its preview alone %.3f); ratio engine/bare %.2f; the recording's"
           " own share (minus each preview) engine/bare %.2f\n",
           bareCpu / bareWall, bareIdle, (liveCpu / liveWall) / (bareCpu / bareWall),
           (liveCpu / liveWall - idleCpu) / (bareCpu / bareWall - bareIdle));

    // 4.
    const TAvSyncResult sync = MeasureAvSync(liveFile.toStdString());
    if (sync.Marks.size() >= 2)
        printf("4. A/V offset of the live recording (%zu marks, picture %.1f ms): first mark at"
               " %.1f s %+.1f ms, last at %.1f s %+.1f ms, mean %+.1f ms, max |%.1f| ms\n",
               sync.Marks.size(), sync.VideoFrameSeconds * 1000, sync.Marks.front().Flash,
               sync.Marks.front().OffsetMs, sync.Marks.back().Flash, sync.Marks.back().OffsetMs,
               sync.MeanMs, sync.MaxAbsMs);
    else
        printf("4. A/V offset: no sync marks found (%s)\n", sync.Error.c_str());

    // 5.
    printf("5. one minute of each format (%d s recorded through the engine, \"Lyra One\"):\n",
           sizeSeconds);
    e.StartPreview(false);
    struct
    {
        const char *Name;
        int Format, Option, Audio, Codec, W, H, Rate, Fps, Quality;
    } const formats[] = {
        {"MPEG 1 (320x240, 1350 kbit/s)", 0, 0, 0, 2, 320, 240, 1350, 5, 3},
        {"MPEG 2 (640x480, 4000 kbit/s)", 1, 0, 0, 2, 640, 480, 4000, 5, 3},
        {"MPEG 4 DivX (320x240, 2000 kbit/s)", 2, 0, 0, 0, 320, 240, 2000, 5, 0},
        {"MPEG 4 V3 (320x240)", 2, 0, 0, 1, 320, 240, 2000, 5, 0},
        {"MPEG 4 V2 (320x240)", 2, 0, 0, 2, 320, 240, 2000, 5, 0},
        {"AVI uncompressed (320x240 YUY2)", 3, 0, 0, 2, 320, 240, 2000, 5, 0},
        {"VCD (NTSC)", 4, 0, 0, 2, 352, 240, 1150, 4, 3},
        {"VCD (PAL)", 5, 0, 0, 2, 352, 288, 1150, 3, 3},
        {"DVD (NTSC)", 6, 0, 0, 2, 720, 480, 3950, 4, 0},
        {"DVD (PAL)", 7, 0, 0, 2, 720, 576, 3950, 3, 0},
        {"SVCD (NTSC)", 8, 0, 0, 2, 480, 480, 2300, 4, 3},
        {"SVCD (PAL)", 9, 0, 0, 2, 480, 576, 2300, 4, 3},
        {"Wave (sound only)", 1, 1, 0, 2, 640, 480, 4000, 5, 3},
        {"MP3 (sound only)", 1, 1, 1, 2, 640, 480, 4000, 5, 3},
    };
    for (const auto &f : formats) {
        e.CaptureFormat = f.Format;
        e.CaptureAudioOption = f.Option;
        e.CaptureAudioFormat = f.Audio;
        card.Main.MPEG4Codec = f.Codec;
        e.CaptureWidth = f.W;
        e.CaptureHeight = f.H;
        e.BitRate = f.Rate;
        e.FrameRateIndex = f.Fps;
        e.CaptureQuality = f.Quality;
        QElapsedTimer r;
        r.start();
        if (!e.StartRecording()) {
            printf("   %-38s did not start\n", f.Name);
            e.StartPreview(false);
            continue;
        }
        Spin(sizeSeconds);
        const double recorded = r.elapsed() / 1000.0;
        e.StopRecording();
        printf("   %-38s %7.1f MB\n", f.Name,
               double(QFileInfo(e.CaptureFileName).size()) / recorded * 60 / 1e6);
        QFile::remove(e.CaptureFileName);
        e.StartPreview(false);
    }
    engine.reset();
    SetWarningPresenter(nullptr);
    return 0;
}
