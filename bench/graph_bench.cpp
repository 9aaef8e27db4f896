// Cost of the filter-graph layer: a virtual-card 720x576 capture -> Smart Tee
// -> fakesink graph built through the layer, against the same elements
// written directly with gst_parse_launch, in the same process.
//
// Two measures: throughput with the source running free (frames/s and CPU
// per frame), and CPU per frame of the live 25 frames/s capture. Prints the
// layer/direct ratios (goal: CPU per frame within 1.1).
#include <algorithm>
#include <atomic>
#include <vector>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>

#include <QCoreApplication>

#include <gst/gst.h>

#include "platform/device_enum.h"
#include "platform/filter_graph.h"
#include "platform/filter_registry.h"
#include "platform/virtual_card.h"

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct TResult
{
    double Fps = 0;
    double CpuMsPerFrame = 0;
};

std::atomic<int> Frames{0};

GstPadProbeReturn Count(GstPad *, GstPadProbeInfo *, gpointer)
{
    ++Frames;
    return GST_PAD_PROBE_OK;
}

void CountAt(GstElement *sink)
{
    GstPad *pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, Count, nullptr, nullptr);
    gst_object_unref(pad);
}

// Runs until `frames` have reached the sink (after a warm-up of 10).
template <typename Start, typename Stop>
TResult Measure(int frames, Start start, Stop stop)
{
    Frames = 0;
    start();
    while (Frames < 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const int first = Frames;
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    while (Frames < first + frames)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    const int done = Frames - first;
    stop();
    return {done / seconds, cpu * 1000 / done};
}

TResult ThroughLayer(bool live, int frames)
{
    TFilterGraph graph;
    graph.Mode = TFilterGraph::ModeCapture;
    graph.SetActive(true);
    TSysDevEnum devices(TDeviceCategory::VideoInput);
    TFilter capture("VCapture");
    devices.Bind(devices.CountFilters() - 1, capture);
    capture.SetFilterGraph(&graph);
    GstElement *src = gst_bin_get_by_name(GST_BIN(capture.Object()->Bin()), "src");
    g_object_set(src, "is-live", live, nullptr);
    gst_object_unref(src);
    TFilterPtr tee = CreateRegisteredFilter("Smart Tee");
    TFilterPtr sink = CreateChainFilter("Sink", "fakesink name=first sync=false",
                                        {{"Input", "first", "sink", TMediaKind::Any}}, {});
    graph.AddFilter(tee);
    graph.AddFilter(sink);
    if (!graph.RenderStream(TPinCategory::Capture, TMediaKind::Video, capture.Object(), tee.get(),
                            sink.get())) {
        fprintf(stderr, "layer: %s\n", qPrintable(graph.LastError()));
        exit(1);
    }
    GstElement *fake = gst_bin_get_by_name(GST_BIN(sink->Bin()), "first");
    CountAt(fake);
    gst_object_unref(fake);
    return Measure(frames, [&] { graph.Run(); }, [&] {
        graph.Stop();
        capture.SetFilterGraph(nullptr);
        graph.SetActive(false);
    });
}

TResult Direct(bool live, int frames)
{
    const QString description =
        QString("videotestsrc is-live=%1 horizontal-speed=2 pattern=smpte"
                " ! video/x-raw,format=YUY2,width=720,height=576,framerate=25/1"
                " ! textoverlay text=\"Lyra One\" valignment=top halignment=left"
                " font-desc=\"Sans 20\" shaded-background=true"
                " ! clockoverlay valignment=bottom halignment=right time-format=\"%H:%M:%S\""
                " font-desc=\"Sans 16\" ! videobalance ! videoconvert"
                " ! video/x-raw,format=YUY2,width=720,height=576,framerate=25/1"
                " ! queue max-size-buffers=8 max-size-bytes=0 max-size-time=0"
                " ! tee allow-not-linked=true ! queue max-size-buffers=8 max-size-bytes=0"
                " max-size-time=0 ! fakesink name=sink sync=false")
            .arg(live ? "true" : "false");
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (!pipeline) {
        fprintf(stderr, "direct: %s\n", error->message);
        exit(1);
    }
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    CountAt(sink);
    gst_object_unref(sink);
    TResult r = Measure(frames, [&] { gst_element_set_state(pipeline, GST_STATE_PLAYING); }, [&] {
        gst_element_set_state(pipeline, GST_STATE_NULL);
    });
    gst_object_unref(pipeline);
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    SetVirtualCardListed(true);
    TVirtualCard::Instance().LoadStations(QStringLiteral(LYRA_STAGED_DATA) + "/VirtualStations.txt");

    // Alternate the two so that neither gets a warmer machine, and take the
    // median of the rounds: the machine is shared, single runs are noisy.
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    struct TSeries
    {
        std::vector<double> Fps, Cpu;
        void Add(const TResult &r) { Fps.push_back(r.Fps), Cpu.push_back(r.CpuMsPerFrame); }
    } layerFree, directFree, layerLive, directLive;
    for (int i = 0; i < 5; ++i) {
        directFree.Add(Direct(false, 400));
        layerFree.Add(ThroughLayer(false, 400));
    }
    for (int i = 0; i < 3; ++i) {
        directLive.Add(Direct(true, 75));
        layerLive.Add(ThroughLayer(true, 75));
    }
    const auto show = [&](const char *what, const TSeries &s) {
        printf("%-22s %7.1f frames/s %6.3f ms CPU/frame\n", what, median(s.Fps), median(s.Cpu));
    };
    show("free-running  direct:", directFree);
    show("free-running  layer:", layerFree);
    show("live 25 fps   direct:", directLive);
    show("live 25 fps   layer:", layerLive);
    printf("ratio layer/direct (medians): CPU per frame %.3f (free) %.3f (live);"
           " time per frame %.3f (free)\n",
           median(layerFree.Cpu) / median(directFree.Cpu),
           median(layerLive.Cpu) / median(directLive.Cpu),
           median(directFree.Fps) / median(layerFree.Fps));
    return 0;
}
