// The filter-graph layer on real pipelines.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <atomic>
#include <memory>

#include <gst/pbutils/pbutils.h>
#include <gtest/gtest.h>

#include "platform/filter_graph.h"
#include "platform/filter_registry.h"
#include "test_env.h"

namespace {

// Runs the GUI thread's event loop until the condition holds.
using TestEnv::WaitUntil;

TFilterPtr TestSource(bool live = true, int buffers = -1)
{
    return CreateChainFilter(
        "Test Source",
        QString("videotestsrc is-live=%1 num-buffers=%2 ! capsfilter name=last "
                "caps=video/x-raw,format=I420,width=320,height=240,framerate=25/1")
            .arg(live ? "true" : "false")
            .arg(buffers),
        {}, {{"Capture", "last", "src", TMediaKind::Video, TPinCategory::Capture}});
}

// A sink that counts the buffers reaching it; the counter outlives the filter.
struct TCountingSink
{
    TFilterPtr Filter;
    std::shared_ptr<std::atomic<int>> Count = std::make_shared<std::atomic<int>>(0);
};

TCountingSink CountingSink(const QString &name)
{
    TCountingSink sink;
    sink.Filter = CreateChainFilter(name, "fakesink name=first sync=false signal-handoffs=true",
                                    {{"Input", "first", "sink", TMediaKind::Any}}, {});
    GstElement *fake = gst_bin_get_by_name(GST_BIN(sink.Filter->Bin()), "first");
    auto *counter = new std::shared_ptr<std::atomic<int>>(sink.Count);
    g_signal_connect_data(
        fake, "handoff", G_CALLBACK(+[](GstElement *, GstBuffer *, GstPad *, gpointer data) {
            ++**static_cast<std::shared_ptr<std::atomic<int>> *>(data);
        }),
        counter,
        [](gpointer data, GClosure *) {
            delete static_cast<std::shared_ptr<std::atomic<int>> *>(data);
        },
        GConnectFlags(0));
    gst_object_unref(fake);
    return sink;
}

class FilterGraphTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetRendererOverride("fakesink sync=false", "fakesink sync=false");
        ASSERT_TRUE(Graph.SetActive(true));
        Graph.OnGraphError = [this](const TGraphError &e) { Errors << e.Text; };
    }
    void TearDown() override
    {
        Graph.SetActive(false);
        SetRendererOverride({}, {});
    }
    TFilterGraph Graph;
    QStringList Errors;
};

TEST_F(FilterGraphTest, SmartTeeFeedsTwoSinksAndBranchesCanBeReplacedWhileRunning)
{
    TFilterPtr source = TestSource();
    TFilterPtr tee = CreateRegisteredFilter("Smart Tee");
    ASSERT_TRUE(source && tee);
    TCountingSink capture = CountingSink("Capture Sink"), preview = CountingSink("Preview Sink");
    for (auto &f : {source, tee, capture.Filter, preview.Filter})
        ASSERT_TRUE(Graph.AddFilter(f));
    ASSERT_TRUE(Graph.RenderStream(TPinCategory::Capture, TMediaKind::Video, source.get(),
                                   tee.get(), capture.Filter.get()))
        << Graph.LastError().toStdString();
    TPin *previewPin =
        TFilterGraph::FindPin(tee.get(), TPinDirection::Output, TPinCategory::Preview);
    ASSERT_NE(previewPin, nullptr);
    ASSERT_TRUE(Graph.ConnectDirect(
        previewPin, TFilterGraph::FindPin(preview.Filter.get(), TPinDirection::Input)));
    ASSERT_TRUE(Graph.Run());
    ASSERT_TRUE(WaitUntil([&] { return *capture.Count > 5 && *preview.Count > 5; }));

    // Cut the preview branch while running: the capture branch keeps going.
    ASSERT_TRUE(Graph.RemoveDownstreamOfPin(previewPin));
    EXPECT_EQ(Graph.FindFilterByName("Preview Sink"), nullptr);
    EXPECT_FALSE(previewPin->IsConnected());
    const int before = *capture.Count;
    ASSERT_TRUE(WaitUntil([&] { return *capture.Count > before + 5; }));

    // And render it again, still running.
    TCountingSink again = CountingSink("Preview Again");
    ASSERT_TRUE(Graph.AddFilter(again.Filter));
    ASSERT_TRUE(Graph.ConnectDirect(
        previewPin, TFilterGraph::FindPin(again.Filter.get(), TPinDirection::Input)));
    EXPECT_TRUE(WaitUntil([&] { return *again.Count > 5; }));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join("; ").toStdString();

    // RemoveDownstream of the source leaves only the source.
    ASSERT_TRUE(Graph.RemoveDownstream(source.get()));
    EXPECT_EQ(Graph.Filters().size(), 1u);
    EXPECT_TRUE(Graph.Stop());
}

TEST_F(FilterGraphTest, RenderUsesTheDefaultRendererAndCompletionArrivesOnTheGuiThread)
{
    TFilterPtr source = TestSource(false, 10);
    ASSERT_TRUE(Graph.AddFilter(source));
    ASSERT_TRUE(Graph.Render(TFilterGraph::FindPin(source.get(), TPinDirection::Output)));
    EXPECT_NE(Graph.FindFilterByName("Video Renderer"), nullptr);
    bool complete = false;
    bool onGuiThread = false;
    Graph.OnGraphComplete = [&] {
        complete = true;
        onGuiThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    };
    ASSERT_TRUE(Graph.Run());
    ASSERT_TRUE(WaitUntil([&] { return complete; }));
    EXPECT_TRUE(onGuiThread);
}

TEST_F(FilterGraphTest, SeekingWithAStopPositionPlaysOnlyThatStretch)
{
    TFilterPtr source = TestSource(false);
    TCountingSink sink = CountingSink("Sink");
    ASSERT_TRUE(Graph.AddFilter(source) && Graph.AddFilter(sink.Filter));
    ASSERT_TRUE(Graph.RenderStream(TPinCategory::Capture, TMediaKind::Video, source.get(), nullptr,
                                   sink.Filter.get()));
    bool complete = false;
    Graph.OnGraphComplete = [&] { complete = true; };
    ASSERT_TRUE(Graph.Pause());
    ASSERT_TRUE(Graph.WaitForState());
    ASSERT_TRUE(Graph.SetPositions(2 * GST_SECOND, 2 * GST_SECOND + 400 * GST_MSECOND));
    ASSERT_TRUE(Graph.WaitForState());
    *sink.Count = 0;
    ASSERT_TRUE(Graph.Run());
    ASSERT_TRUE(WaitUntil([&] { return complete; }));
    // 400 ms at 25 frames/s, give or take the frame on each edge.
    EXPECT_GE(*sink.Count, 9);
    EXPECT_LE(*sink.Count, 12);
    EXPECT_GE(Graph.CurrentPosition(), qint64(2 * GST_SECOND));
    EXPECT_FALSE(Graph.SetRate(0));
}

TEST_F(FilterGraphTest, InfinitePinTeeAndMuxAlwaysKeepAFreePin)
{
    TFilterPtr source = TestSource();
    TFilterPtr tee = CreateRegisteredFilter("Infinite Pin Tee");
    TFilterPtr mux = CreateRegisteredFilter("AVI Mux");
    ASSERT_TRUE(Graph.AddFilter(source) && Graph.AddFilter(tee) && Graph.AddFilter(mux));
    ASSERT_TRUE(Graph.ConnectDirect(TFilterGraph::FindPin(source.get(), TPinDirection::Output),
                                    TFilterGraph::FindPin(tee.get(), TPinDirection::Input)));
    for (int i = 1; i <= 3; ++i) {
        TPin *free = TFilterGraph::FindPin(tee.get(), TPinDirection::Output, TPinCategory::None,
                                           TMediaKind::Video, 0, true);
        ASSERT_NE(free, nullptr);
        EXPECT_EQ(free->Name, QString("Output%1").arg(i));
        TCountingSink sink = CountingSink(QString("Sink %1").arg(i));
        ASSERT_TRUE(Graph.AddFilter(sink.Filter));
        ASSERT_TRUE(Graph.ConnectDirect(
            free, TFilterGraph::FindPin(sink.Filter.get(), TPinDirection::Input)));
    }
    EXPECT_EQ(tee->PinList(TPinDirection::Output).size(), 4u);
    // The muxer's free input takes the video and offers the next one.
    TFilterPtr codec = CreateRegisteredFilter("Divx");
    ASSERT_TRUE(Graph.AddFilter(codec));
    ASSERT_TRUE(
        Graph.ConnectDirect(TFilterGraph::FindPin(tee.get(), TPinDirection::Output,
                                                  TPinCategory::None, TMediaKind::Any, 0, true),
                            TFilterGraph::FindPin(codec.get(), TPinDirection::Input)));
    TPin *muxIn = TFilterGraph::FindPin(mux.get(), TPinDirection::Input);
    ASSERT_TRUE(
        Graph.ConnectDirect(TFilterGraph::FindPin(codec.get(), TPinDirection::Output), muxIn));
    EXPECT_EQ(muxIn->Media, TMediaKind::Video);
    ASSERT_EQ(mux->PinList(TPinDirection::Input).size(), 2u);
    EXPECT_EQ(mux->PinList(TPinDirection::Input)[1]->Name, "Input 02");
    // Cutting the codec off releases the muxer's pad again.
    ASSERT_TRUE(Graph.Disconnect(muxIn));
    EXPECT_FALSE(muxIn->IsConnected());
}

TEST_F(FilterGraphTest, FailingConnectionsReportFailureWithTheReason)
{
    TFilterPtr source = TestSource();
    TFilterPtr wav = CreateRegisteredFilter("WAV Dest");
    ASSERT_TRUE(Graph.AddFilter(source) && Graph.AddFilter(wav));
    TPin *out = TFilterGraph::FindPin(source.get(), TPinDirection::Output);
    EXPECT_FALSE(Graph.ConnectDirect(out, TFilterGraph::FindPin(wav.get(), TPinDirection::Input)));
    EXPECT_TRUE(Graph.LastError().contains("no common media type"))
        << Graph.LastError().toStdString();
    EXPECT_FALSE(out->IsConnected());
    // Missing pins and a second connection of the same pin fail as well.
    EXPECT_FALSE(Graph.ConnectDirect(out, nullptr));
    EXPECT_FALSE(Graph.RenderStream(TPinCategory::Preview, TMediaKind::Video, source.get(), nullptr,
                                    nullptr));
    TFilterPtr tee = CreateRegisteredFilter("Smart Tee");
    ASSERT_TRUE(Graph.AddFilter(tee));
    TPin *teeIn = TFilterGraph::FindPin(tee.get(), TPinDirection::Input);
    ASSERT_TRUE(Graph.ConnectDirect(out, teeIn));
    EXPECT_FALSE(Graph.ConnectDirect(out, teeIn));
    // An inactive graph refuses to run.
    TFilterGraph idle;
    EXPECT_FALSE(idle.Run());
    EXPECT_FALSE(idle.LastError().isEmpty());
}

TEST_F(FilterGraphTest, RecordingToAnAviFileGivesAPlayableFile)
{
    const QString file = TestEnv::NewFolder("avi") + "/capture.avi";
    TFilterPtr source = TestSource();
    TFilterPtr codec = CreateRegisteredFilter("Divx");
    ASSERT_TRUE(source && codec);
    ASSERT_TRUE(Graph.AddFilter(source) && Graph.AddFilter(codec));
    TGraphFilter *writer = nullptr;
    TGraphFilter *mux = Graph.SetOutputFileName("AVI Mux", file, &writer);
    ASSERT_NE(mux, nullptr) << Graph.LastError().toStdString();
    ASSERT_NE(writer, nullptr);
    ASSERT_TRUE(Graph.RenderStream(TPinCategory::Capture, TMediaKind::Video, source.get(),
                                   codec.get(), mux))
        << Graph.LastError().toStdString();
    ASSERT_TRUE(Graph.Run());
    QThread::msleep(1200);
    ASSERT_TRUE(Graph.Stop());
    ASSERT_TRUE(QFile::exists(file));

    GError *error = nullptr;
    GstDiscoverer *discoverer = gst_discoverer_new(5 * GST_SECOND, &error);
    ASSERT_NE(discoverer, nullptr);
    const QByteArray uri = gst_filename_to_uri(file.toUtf8().constData(), nullptr);
    GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, uri.constData(), &error);
    ASSERT_NE(info, nullptr) << (error ? error->message : "");
    EXPECT_EQ(gst_discoverer_info_get_result(info), GST_DISCOVERER_OK);
    EXPECT_GT(gst_discoverer_info_get_duration(info), 500 * GST_MSECOND);
    GList *videos = gst_discoverer_info_get_video_streams(info);
    ASSERT_NE(videos, nullptr);
    GstCaps *caps = gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(videos->data));
    gchar *capsText = gst_caps_to_string(caps);
    EXPECT_TRUE(QString(capsText).startsWith("video/x-divx")) << capsText;
    g_free(capsText);
    gst_caps_unref(caps);
    gst_discoverer_stream_info_list_free(videos);
    gst_discoverer_info_unref(info);
    g_object_unref(discoverer);
}

TEST_F(FilterGraphTest, BusEventsOfTheRunningGraphReachTheGuiThread)
{
    TFilterPtr source = TestSource();
    TCountingSink sink = CountingSink("Sink");
    // A filter around an element that works on a device; kept out of the
    // state changes, it only posts what the test makes it post.
    TFilterPtr card = CreateChainFilter("Card", "v4l2src name=dev device=/dev/video9", {}, {});
    ASSERT_TRUE(source && card);
    GstElement *dev = gst_bin_get_by_name(GST_BIN(card->Bin()), "dev");
    gst_element_set_locked_state(dev, TRUE);
    for (auto &f : {source, sink.Filter, card})
        ASSERT_TRUE(Graph.AddFilter(f));
    ASSERT_TRUE(Graph.RenderStream(TPinCategory::Capture, TMediaKind::Video, source.get(), nullptr,
                                   sink.Filter.get()));
    std::vector<TGraphError> errors;
    Graph.OnGraphError = [&](const TGraphError &e) { errors.push_back(e); };
    auto postError = [&](const char *text) {
        GError *error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, text);
        gst_element_post_message(dev, gst_message_new_error(GST_OBJECT(dev), error, "details"));
        g_error_free(error);
    };
    ASSERT_TRUE(Graph.Run());
    ASSERT_TRUE(WaitUntil([&] { return *sink.Count > 3; }));

    // An error: on the GUI thread, with its element, filter, device and run.
    postError("gone");
    ASSERT_TRUE(WaitUntil([&] { return !errors.empty(); }));
    EXPECT_EQ(errors[0].Text, "gone");
    EXPECT_EQ(errors[0].Debug, "details");
    EXPECT_EQ(errors[0].Element, "dev");
    EXPECT_EQ(errors[0].Filter, "Card");
    EXPECT_EQ(errors[0].Device, "/dev/video9");
    EXPECT_EQ(errors[0].Serial, Graph.RunSerial());
    EXPECT_EQ(Graph.LastError(), "gone");

    // One posted before a stop arrives after it: it is dropped.
    postError("stale");
    ASSERT_TRUE(Graph.Stop());
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(errors.size(), 1u);

    // A lost clock: the graph pauses and plays again, which gives it a new
    // base time on the clock it then selects.
    ASSERT_TRUE(Graph.Run());
    ASSERT_TRUE(Graph.WaitForState());
    GstElement *pipeline = Graph.PipelineElement();
    const GstClockTime base = gst_element_get_base_time(pipeline);
    GstClock *clock = gst_pipeline_get_clock(GST_PIPELINE(pipeline));
    gst_element_post_message(pipeline, gst_message_new_clock_lost(GST_OBJECT(pipeline), clock));
    gst_object_unref(clock);
    EXPECT_TRUE(WaitUntil([&] { return gst_element_get_base_time(pipeline) != base; }));
    const int before = *sink.Count;
    EXPECT_TRUE(WaitUntil([&] { return *sink.Count > before + 3; }));

    // A latency change: the latency is recalculated and sent to the sinks.
    GstElement *fake = gst_bin_get_by_name(GST_BIN(sink.Filter->Bin()), "first");
    GstPad *pad = gst_element_get_static_pad(fake, "sink");
    auto latencyEvents = std::make_shared<std::atomic<int>>(0);
    const gulong probe = gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_EVENT_UPSTREAM,
        [](GstPad *, GstPadProbeInfo *info, gpointer data) {
            if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_LATENCY)
                ++*static_cast<std::atomic<int> *>(data);
            return GST_PAD_PROBE_OK;
        },
        latencyEvents.get(), nullptr);
    gst_element_post_message(fake, gst_message_new_latency(GST_OBJECT(fake)));
    EXPECT_TRUE(WaitUntil([&] { return *latencyEvents > 0; }));
    EXPECT_EQ(errors.size(), 1u);
    gst_pad_remove_probe(pad, probe);
    ASSERT_TRUE(Graph.Stop());
    gst_object_unref(pad);
    gst_object_unref(fake);
    gst_object_unref(dev);
}

TEST(FilterRegistry, LooksUpByFragmentInEnumerationOrderAndBuildsEveryEntry)
{
    QString found;
    ASSERT_TRUE(CreateRegisteredFilter("tee", &found));
    EXPECT_EQ(found, "Smart Tee");
    ASSERT_TRUE(CreateRegisteredFilter("mpeg-4 video codec", &found));
    EXPECT_EQ(found, "Microsoft MPEG-4 Video Codec V3");
    EXPECT_EQ(CreateRegisteredFilter("HT MPEG Multiplexer"), nullptr);
    EXPECT_EQ(CreateRegisteredFilter(""), nullptr);
    for (const TRegisteredFilter &entry : RegisteredFilters()) {
        TFilterPtr filter = entry.Create();
        ASSERT_TRUE(filter) << entry.FriendlyName.toStdString();
        // Every entry takes a stream, but the time-shift source, which
        // gives one.
        const bool source = entry.FriendlyName == "Async Source Filter";
        EXPECT_NE(filter->PinList(source ? TPinDirection::Output : TPinDirection::Input).empty(),
                  true)
            << entry.FriendlyName.toStdString();
    }
}

TEST(FilterHolders, BindThroughMonikersAndFollowTheirGraph)
{
    TFilterGraph graph;
    TFilter tee("SmartTee");
    tee.BaseFilter.Moniker = "registry:Smart Tee";
    tee.SetFilterGraph(&graph);
    EXPECT_EQ(tee.Object(), nullptr); // not active yet
    ASSERT_TRUE(graph.SetActive(true));
    ASSERT_NE(tee.Object(), nullptr);
    EXPECT_EQ(graph.FindFilterByName("SmartTee"), tee.Object());

    TFilter broken("Broken");
    broken.BaseFilter.Moniker = "nowhere:thing";
    broken.SetFilterGraph(&graph);
    EXPECT_EQ(broken.Object(), nullptr);
    EXPECT_TRUE(graph.LastError().contains("nowhere:thing"));

    TFilter unbound("Unbound");
    unbound.SetFilterGraph(&graph);
    EXPECT_EQ(unbound.Object(), nullptr);

    tee.SetFilterGraph(nullptr);
    EXPECT_EQ(tee.Object(), nullptr);
    EXPECT_EQ(graph.FindFilterByName("SmartTee"), nullptr);
    graph.SetActive(false);
}

} // namespace
