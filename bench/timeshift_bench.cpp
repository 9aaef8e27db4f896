// Time-shift playback latency, on a time shift the virtual card records:
//
// 1. pause -> resume until the next picture reaches the renderer
//    (goal <= 100 ms);
// 2. seek -> the first picture of the new place at the renderer
//    (goal <= 300 ms);
//
// for the player behind the running recorder (the file graph on the
// growing file) and for a bare `filesrc ! decodebin` pipeline on the
// finished file in the same run; ratios player/bare. The kept file through
// the splitter graph is measured as well.
//
// Not Google Benchmark: every figure needs a time shift recorded in real
// time and a graph at a known place before each operation, and what is
// timed is a wait for a streaming thread, not a loop on this thread; the
// medians of ROUNDS timed operations are printed instead.
//
// Usage: timeshift_bench [ROUNDS (10)]
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <vector>

#include <gst/gst.h>

#include "app/main_info.h"
#include "bench_virtual_card.h"
#include "capture/capture_info.h"
#include "platform/filter_registry.h"
#include "platform/media_filters.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"
#include "playback/timeshift_playback.h"

namespace {

void Spin(double seconds)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

class TPrintingPresenter : public IWarningPresenter
{
public:
    void Present(const QStringList &lines) override
    {
        fprintf(stderr, "message: %s\n", qPrintable(lines.join(' ')));
    }
    void Close() override {}
};

// Watches the pictures that reach a renderer's input, and the flush of a
// seek: the first picture after the flush is the first of the new place
// (an accurate seek clips the pictures before it).
struct TPictureWatch
{
    std::atomic<int> Pictures{0};
    std::atomic<int> SinceFlush{-1}; // -1 until a flush has passed
    gulong Probe = 0;
    GstPad *Pad = nullptr;

    static GstPadProbeReturn Seen(GstPad *, GstPadProbeInfo *info, gpointer data)
    {
        auto *self = static_cast<TPictureWatch *>(data);
        if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
            ++self->Pictures;
            if (self->SinceFlush >= 0)
                ++self->SinceFlush;
        } else if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_FLUSH_STOP) {
            self->SinceFlush = 0;
        }
        return GST_PAD_PROBE_OK;
    }
    void Attach(GstPad *pad)
    {
        Pad = GST_PAD(gst_object_ref(pad));
        Probe = gst_pad_add_probe(
            pad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_FLUSH), Seen,
            this, nullptr);
    }
    ~TPictureWatch()
    {
        if (Pad) {
            gst_pad_remove_probe(Pad, Probe);
            gst_object_unref(Pad);
        }
    }
};

// Milliseconds until `done`, or -1 after five seconds.
double TimeUntil(const std::function<bool()> &done)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > 5000)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return t.nsecsElapsed() / 1e6;
}

double Median(std::vector<double> v)
{
    v.erase(std::remove(v.begin(), v.end(), -1.0), v.end());
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One player under test: how to pause, resume and seek it (to a time in
// seconds).
struct TSubject
{
    const char *Name;
    std::function<void()> Pause, Resume;
    std::function<void(double)> Seek;
    TPictureWatch *Watch;
};

struct TFigures
{
    double Resume = -1, Seek = -1;
};

TFigures Measure(const TSubject &s, int rounds, double low, double high)
{
    std::vector<double> resume, seek;
    for (int i = 0; i < rounds; ++i) {
        s.Pause();
        Spin(0.3);
        const int before = s.Watch->Pictures;
        s.Resume();
        resume.push_back(TimeUntil([&] { return s.Watch->Pictures > before; }));
        Spin(0.3);
    }
    for (int i = 0; i < rounds; ++i) {
        // Back and forth between two places far apart.
        const double wanted = i % 2 ? high : low;
        s.Watch->SinceFlush = -1;
        QElapsedTimer t;
        t.start();
        s.Seek(wanted);
        const double ms = TimeUntil([&] { return s.Watch->SinceFlush > 0; });
        if (ms < 0)
            fprintf(stderr, "%s: no picture after the seek to %.0f s\n", s.Name, wanted);
        seek.push_back(ms < 0 ? -1 : t.nsecsElapsed() / 1e6);
        Spin(0.5);
    }
    return {Median(resume), Median(seek)};
}

void Print(const char *name, const TFigures &f, const TFigures &bare)
{
    printf("%-44s pause->resume %6.1f ms (x%.2f)   seek->picture %6.1f ms (x%.2f)\n", name,
           f.Resume, bare.Resume > 0 ? f.Resume / bare.Resume : 0, f.Seek,
           bare.Seek > 0 ? f.Seek / bare.Seek : 0);
}

GstPad *RendererInput(TTimeShiftPlaybackProject &p)
{
    TPin *in = p.VideoRenderer() ? TFilterGraph::FindPin(p.VideoRenderer(), TPinDirection::Input)
                                 : nullptr;
    return in ? in->Pad : nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    gst_init(&argc, &argv);
    RegisterLyraMediaElements();
    const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 10;

    QTemporaryDir dir;
    TBenchVirtualCard card(dir.path());
    TPrintingPresenter presenter;
    SetWarningPresenter(&presenter);
    TCaptureInfo capture;
    capture.SaveTimeShiftResult = true; // the file stays for the bare pipeline
    capture.UseDateTimeFileName = false;
    if (!capture.SelectDevices() || !capture.StartPreview(true) || !capture.StartTimeShift()) {
        fprintf(stderr, "the time shift does not start on the virtual card\n");
        return 1;
    }
    const QString file = capture.CaptureFileName;
    Spin(40);
    printf("time shift of the virtual card (320x240 MPEG-1 + MP2), %d rounds, medians, "
           "%d cores\n",
           rounds, QThread::idealThreadCount());

    // The player behind the recorder.
    TFigures live;
    {
        TTimeShiftPlaybackProject p(false, false);
        p.VideoFileName = file;
        p.AudioFileName = file.chopped(1) + "a";
        p.RecordedSeconds = [&] { return capture.ElapsedSeconds; };
        if (!p.BuildGraph() || !p.Play()) {
            fprintf(stderr, "the player does not start\n");
            return 1;
        }
        TPictureWatch watch;
        watch.Attach(RendererInput(p));
        Spin(1);
        TSubject s{"player behind the recorder (file graph)", [&] { p.Pause(); }, [&] { p.Play(); },
                   [&](double seconds) {
                       const int percent = int(seconds * 100 / capture.ElapsedSeconds);
                       p.SeekPercent(percent);
                   },
                   &watch};
        live = Measure(s, rounds, 5, 25);
    }
    capture.StopTimeShift();
    const double length = QFileInfo(file).exists() ? 40 : 0;
    if (length == 0) {
        fprintf(stderr, "the time-shift file is gone\n");
        return 1;
    }

    // The bare pipeline on the finished file.
    TFigures bare;
    {
        GstElement *pipeline = gst_parse_launch(
            QString("filesrc location=\"%1\" ! decodebin name=d d. ! queue ! videoconvert ! "
                    "fakesink name=v sync=true d. ! queue ! audioconvert ! fakesink sync=true")
                .arg(file)
                .toUtf8()
                .constData(),
            nullptr);
        GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "v");
        GstPad *pad = gst_element_get_static_pad(sink, "sink");
        TPictureWatch watch;
        watch.Attach(pad);
        gst_object_unref(pad);
        gst_object_unref(sink);
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND);
        Spin(1);
        TSubject s{
            "bare filesrc ! decodebin", [&] { gst_element_set_state(pipeline, GST_STATE_PAUSED); },
            [&] { gst_element_set_state(pipeline, GST_STATE_PLAYING); },
            [&](double seconds) {
                gst_element_seek_simple(pipeline, GST_FORMAT_TIME,
                                        GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                        qint64(seconds * GST_SECOND));
            },
            &watch};
        bare = Measure(s, rounds, 5, 25);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }

    // The kept file through the splitter graph.
    TFigures stored;
    {
        TTimeShiftPlaybackProject p(false, true);
        p.LiveSource = false;
        p.VideoFileName = file;
        p.AudioFileName = file.chopped(1) + "a";
        if (!p.BuildGraph() || !p.Play()) {
            fprintf(stderr, "the splitter graph does not start\n");
            return 1;
        }
        TPictureWatch watch;
        watch.Attach(RendererInput(p));
        Spin(1);
        p.GetPositionPercent();
        const int total = std::max(1, int(p.DurationSeconds));
        TSubject s{"kept file (splitter graph)", [&] { p.Pause(); }, [&] { p.Play(); },
                   [&](double seconds) { p.SeekPercent(int(seconds * 100 / total)); }, &watch};
        stored = Measure(s, rounds, 5, 25);
    }

    Print("bare filesrc ! decodebin (finished file)", bare, bare);
    Print("player behind the recorder (file graph)", live, bare);
    Print("kept file (splitter graph)", stored, bare);
    return 0;
}
