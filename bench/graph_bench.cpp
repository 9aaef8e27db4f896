// Cost of the filter-graph layer: a virtual-card 720x576 capture -> Smart Tee
// -> fakesink graph built through the layer, against the same elements with
// the same branches written directly with gst_parse_launch, in the same
// process.
//
// Google Benchmark runs both, free-running (the source as fast as it goes)
// and live (25 frames/s). One iteration is a batch of frames reaching the
// sink; the time is wall time and the CPU time is the whole process's (the
// work runs on GStreamer's streaming threads, not the benchmark's). The
// medians of the repetitions give the layer/direct ratios printed at the end
// (goal: CPU per frame within 1.1).
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include "platform/device_enum.h"
#include "platform/filter_graph.h"
#include "platform/filter_registry.h"
#include "platform/virtual_card.h"

namespace {

constexpr int Batch = 25;

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

void WaitFrames(int count)
{
    while (Frames < count)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

// Runs the state's iterations, each one batch of frames after a warm-up.
void RunBatches(benchmark::State &state)
{
    WaitFrames(10);
    for (auto _ : state) {
        const int until = Frames + Batch;
        WaitFrames(until);
    }
    state.SetItemsProcessed(state.iterations() * Batch);
}

// The layer: the virtual card's capture filter (its capture and preview
// branches behind its own tee; the VBI source idle while its pin is not
// connected), the Smart Tee (capture and a leaky preview branch), a fakesink.
void Layer(benchmark::State &state)
{
    const bool live = state.range(0);
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
        state.SkipWithError(qPrintable("layer: " + graph.LastError()));
        return;
    }
    GstElement *fake = gst_bin_get_by_name(GST_BIN(sink->Bin()), "first");
    CountAt(fake);
    gst_object_unref(fake);
    Frames = 0;
    graph.Run();
    RunBatches(state);
    graph.Stop();
    capture.SetFilterGraph(nullptr);
    graph.SetActive(false);
}

// The same elements and branches as one pipeline description.
void Direct(benchmark::State &state)
{
    const bool live = state.range(0);
    const char *queue = "queue max-size-buffers=8 max-size-bytes=0 max-size-time=0";
    const QString description =
        QString("videotestsrc is-live=%1 horizontal-speed=2 pattern=smpte"
                " ! video/x-raw,format=YUY2,width=720,height=576,framerate=25/1"
                " ! textoverlay text=\"Lyra One\" valignment=top halignment=left"
                " font-desc=\"Sans 20\" shaded-background=true"
                " ! clockoverlay valignment=bottom halignment=right time-format=\"%H:%M:%S\""
                " font-desc=\"Sans 16\" ! videobalance ! videoconvert"
                " ! video/x-raw,format=YUY2,width=720,height=576,framerate=25/1"
                " ! tee name=card allow-not-linked=true"
                " card. ! %2 leaky=downstream"
                " card. ! %2 ! tee name=smart allow-not-linked=true"
                " smart. ! %2 leaky=downstream"
                " smart. ! %2 ! fakesink name=sink sync=false")
            .arg(live ? "true" : "false", queue);
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (!pipeline) {
        state.SkipWithError(error ? error->message : "direct: cannot build");
        return;
    }
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    CountAt(sink);
    gst_object_unref(sink);
    Frames = 0;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    RunBatches(state);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

// Keeps the medians of the runs for the ratios.
class TRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                Medians[run.run_name.function_name + "/" + run.run_name.args] = run;
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, Run> Medians;
};

} // namespace

// Free-running batches take a few milliseconds, live ones a second.
BENCHMARK(Direct)->ArgName("live")->Arg(0)->MinTime(2)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(Layer)->ArgName("live")->Arg(0)->MinTime(2)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(Direct)->ArgName("live")->Arg(1)->MinTime(3)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(Layer)->ArgName("live")->Arg(1)->MinTime(3)->MeasureProcessCPUTime()->UseRealTime();

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    QCoreApplication app(argc, argv);
    SetVirtualCardListed(true);
    TVirtualCard::Instance().LoadStations(QStringLiteral(LYRA_STAGED_DATA) +
                                          "/VirtualStations.txt");
    // Medians of repetitions that alternate between the two, so that
    // neither gets a quieter machine (the machine is shared).
    std::vector<char *> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string repetitions = "--benchmark_repetitions=5";
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    args.insert(args.begin() + 1, {interleave.data(), repetitions.data(), aggregates.data()});
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto ratio = [&](const char *live, bool cpu) {
        const auto layer = reporter.Medians.find(std::string("Layer/live:") + live);
        const auto direct = reporter.Medians.find(std::string("Direct/live:") + live);
        if (layer == reporter.Medians.end() || direct == reporter.Medians.end())
            return -1.0;
        return cpu ? layer->second.GetAdjustedCPUTime() / direct->second.GetAdjustedCPUTime()
                   : layer->second.GetAdjustedRealTime() / direct->second.GetAdjustedRealTime();
    };
    printf("ratio layer/direct (medians): CPU per frame %.3f (free) %.3f (live);"
           " time per frame %.3f (free)\n",
           ratio("0", true), ratio("1", true), ratio("0", false));
    return 0;
}
