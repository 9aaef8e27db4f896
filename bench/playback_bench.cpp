// File playback: open -> first picture, and a seek -> first picture at the
// new place, for the playback engine (discoverer, file source, snapshot tap,
// tempo-keeping sound chain, renderers) against a bare
// `filesrc ! decodebin` pipeline with the same sinks, in the same process
// and interleaved, on a 20 s MPEG-2 program stream made by Lyra's recorder.
// Prints the medians and the ratios.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include <gst/gst.h>

#include "platform/filter_graph.h"
#include "platform/filter_registry.h"
#include "platform/media_filters.h"
#include "playback/playback_project.h"

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

bool Make(const QString &description)
{
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
    if (!pipeline)
        return false;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *m = gst_bus_timed_pop_filtered(bus, 120 * GST_SECOND,
                                               GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_EOS;
    if (m)
        gst_message_unref(m);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

// Picture buffers at or after a time, seen at a pad.
struct TWatch
{
    std::atomic<qint64> From{0};
    std::atomic<bool> Seen{false};
    static GstPadProbeReturn Probe(GstPad *, GstPadProbeInfo *info, gpointer self)
    {
        auto *w = static_cast<TWatch *>(self);
        GstBuffer *b = GST_PAD_PROBE_INFO_BUFFER(info);
        if (b && GST_BUFFER_PTS_IS_VALID(b) && qint64(GST_BUFFER_PTS(b)) >= w->From)
            w->Seen = true;
        return GST_PAD_PROBE_OK;
    }
    void Arm(qint64 from)
    {
        Seen = false;
        From = from;
    }
};

// Milliseconds on `clock` until the watched picture arrived (-1: never).
double WaitSeen(TWatch &watch, const QElapsedTimer &clock)
{
    while (!watch.Seen && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return watch.Seen ? clock.nsecsElapsed() / 1e6 : -1;
}

// The video sink of a pipeline (the one named "vsink" inside a bin).
GstPad *SinkPad(GstElement *bin, const char *name)
{
    GstElement *sink = gst_bin_get_by_name(GST_BIN(bin), name);
    if (!sink) {
        GstIterator *it = gst_bin_iterate_recurse(GST_BIN(bin));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            auto *e = GST_ELEMENT(g_value_get_object(&item));
            GstElementFactory *f = gst_element_get_factory(e);
            if (!sink && f && g_str_equal(GST_OBJECT_NAME(f), "fakesink")) {
                GstPad *pad = gst_element_get_static_pad(e, "sink");
                GstCaps *caps = pad ? gst_pad_get_current_caps(pad) : nullptr;
                if (caps && g_str_has_prefix(
                                gst_structure_get_name(gst_caps_get_structure(caps, 0)), "video/"))
                    sink = GST_ELEMENT(gst_object_ref(e));
                if (caps)
                    gst_caps_unref(caps);
                if (pad)
                    gst_object_unref(pad);
            }
            g_value_reset(&item);
        }
        gst_iterator_free(it);
    }
    if (!sink)
        return nullptr;
    GstPad *pad = gst_element_get_static_pad(sink, "sink");
    gst_object_unref(sink);
    return pad;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    gst_init(&argc, &argv);
    RegisterLyraMediaElements();
    const int rounds = argc > 1 ? std::max(3, atoi(argv[1])) : 10;
    QTemporaryDir dir;
    const QString file = dir.path() + "/clip.mpg";
    if (!Make(QString("videotestsrc num-buffers=500 ! video/x-raw,width=720,height=576,"
                      "framerate=25/1 ! lyrampegrecorder name=r location=\"%1\" width=720 "
                      "height=576 audiotestsrc num-buffers=862 ! audio/x-raw,rate=44100,channels=2 "
                      "! r.audio")
                  .arg(file))) {
        std::fprintf(stderr, "cannot make the test file\n");
        return 1;
    }
    SetRendererOverride("fakesink sync=true", "fakesink sync=true");

    std::vector<double> engineOpen, bareOpen, engineSeek, bareSeek;
    for (int i = 0; i < rounds; ++i) {
        const qint64 target = qint64(10 + i % 8) * 1000000000LL;
        {
            TWatch watch;
            QElapsedTimer clock;
            clock.start();
            TPlaybackProject engine(false, false);
            engine.FileName = file;
            if (!engine.Build()) {
                std::fprintf(stderr, "engine: %s\n", qPrintable(engine.BuildError));
                return 1;
            }
            GstPad *pad = SinkPad(engine.Graph()->PipelineElement(), "vsink");
            if (!pad) {
                std::fprintf(stderr, "engine: no picture sink\n");
                return 1;
            }
            gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, TWatch::Probe, &watch, nullptr);
            // Built means prerolled: the first picture is already at the sink.
            engine.Play();
            const double open = clock.nsecsElapsed() / 1e6;
            engineOpen.push_back(open);
            QThread::msleep(200);
            watch.Arm(target);
            clock.restart();
            engine.SeekPercent(int(target * 100 / (20 * 1000000000LL)));
            engineSeek.push_back(WaitSeen(watch, clock));
            gst_object_unref(pad);
        }
        {
            TWatch watch;
            QElapsedTimer clock;
            clock.start();
            GstElement *bare = gst_parse_launch(
                QString("filesrc location=\"%1\" ! decodebin name=d d. ! queue ! videoconvert ! "
                        "fakesink sync=true name=vsink d. ! queue ! audioconvert ! fakesink "
                        "sync=true")
                    .arg(file)
                    .toUtf8()
                    .constData(),
                nullptr);
            GstPad *pad = SinkPad(bare, "vsink");
            gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, TWatch::Probe, &watch, nullptr);
            gst_element_set_state(bare, GST_STATE_PLAYING);
            bareOpen.push_back(WaitSeen(watch, clock));
            QThread::msleep(200);
            gst_element_get_state(bare, nullptr, nullptr, GST_SECOND);
            watch.Arm(target);
            clock.restart();
            gst_element_seek_simple(bare, GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                    target / 100 * 100);
            bareSeek.push_back(WaitSeen(watch, clock));
            gst_object_unref(pad);
            gst_element_set_state(bare, GST_STATE_NULL);
            gst_object_unref(bare);
        }
    }
    const double eo = Median(engineOpen), bo = Median(bareOpen);
    const double es = Median(engineSeek), bs = Median(bareSeek);
    std::printf("open -> first picture: playback engine %.1f ms, bare filesrc ! decodebin %.1f ms, "
                "ratio %.2f\n",
                eo, bo, bo > 0 ? eo / bo : 0);
    std::printf("seek -> first picture at the new place: playback engine %.1f ms, bare %.1f ms, "
                "ratio %.2f\n",
                es, bs, bs > 0 ? es / bs : 0);
    SetRendererOverride("", "");
    return 0;
}
