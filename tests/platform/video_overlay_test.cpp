// The video window's overlay renderer on an X display (run under Xvfb with
// Qt on xcb; skipped on the offscreen platform): the sink draws into the
// window, follows its resizes without a renegotiation error, keeps the
// source size for zoom and aspect, and the frames path takes over where the
// user turned the overlay off.
#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>

#include <gtest/gtest.h>

#include "platform/filter_graph.h"
#include "platform/filter_registry.h"
#include "platform/gst_video_sink.h"
#include "platform/video_window.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

class VideoOverlay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!OverlaySinkAvailable())
            GTEST_SKIP() << "needs an X display and Qt on xcb (xvfb-run, QT_QPA_PLATFORM=xcb)";
        ASSERT_TRUE(Graph.SetActive(true));
        Graph.OnGraphError = [this](const TGraphError &e) { Errors << e.Element + ": " + e.Text; };
        Source = CreateChainFilter(
            "Source",
            "videotestsrc is-live=true pattern=smpte ! video/x-raw,format=YUY2,width=720,"
            "height=576,framerate=25/1 ! identity name=last",
            {}, {{"Output", "last", "src", TMediaKind::Video}});
        ASSERT_TRUE(Source && Graph.AddFilter(Source));
    }
    void TearDown() override { Graph.Stop(); }
    bool Connect(TDSVideoWindowEx2 &window)
    {
        return window.Renderer() &&
               Graph.ConnectDirect(TFilterGraph::FindPin(Source.get(), TPinDirection::Output),
                                   TFilterGraph::FindPin(window.Renderer(), TPinDirection::Input));
    }
    bool MoreFrames(TDSVideoWindowEx2 &window, int count = 5)
    {
        const int64_t n = window.FramesShown();
        return WaitUntil([&] { return window.FramesShown() >= n + count; });
    }
    // The size the window-system sink was last given.
    static QSize SinkCaps(TDSVideoWindowEx2 &window)
    {
        GstElement *sink = gst_bin_get_by_name(GST_BIN(window.Renderer()->Bin()), "sink");
        GstPad *pad = gst_element_get_static_pad(sink, "sink");
        GstCaps *caps = gst_pad_get_current_caps(pad);
        QSize size;
        if (caps) {
            GstStructure *s = gst_caps_get_structure(caps, 0);
            int w = 0, h = 0;
            gst_structure_get_int(s, "width", &w);
            gst_structure_get_int(s, "height", &h);
            size = QSize(w, h);
            gst_caps_unref(caps);
        }
        gst_object_unref(pad);
        gst_object_unref(sink);
        return size;
    }
    // What the X server shows in the window (the sink's drawing).
    static QImage OnScreen(TDSVideoWindowEx2 &window)
    {
        return window.screen()->grabWindow(window.winId()).toImage();
    }

    TFilterGraph Graph;
    TFilterPtr Source;
    QStringList Errors;
};

TEST_F(VideoOverlay, SinkDrawsIntoTheWindowAndFollowsItsResizes)
{
    TDSVideoWindowEx2 window;
    // Away from the screen's corner, where a sink's own window would open.
    window.setGeometry(300, 200, 320, 240);
    window.show();
    window.SetFilterGraph(&Graph);
    ASSERT_TRUE(window.OverlayInUse());
    auto *sink = static_cast<TVideoSinkFilter *>(window.Renderer());
    EXPECT_EQ(sink->SinkName(), "ximagesink");
    ASSERT_TRUE(Connect(window));
    ASSERT_TRUE(Graph.Run());
    ASSERT_TRUE(MoreFrames(window, 10));
    EXPECT_EQ(sink->SourceSize(), QSize(720, 576));
    ASSERT_TRUE(WaitUntil([&] { return SinkCaps(window) == QSize(320, 240); }));
    // The picture is drawn by the sink, not painted by Qt.
    QImage shown = OnScreen(window);
    ASSERT_FALSE(shown.isNull());
    EXPECT_NE(shown.pixel(160, 60) & 0xffffff, 0u);

    // Resizes, as dragging the main window's edge gives them, each while
    // frames flow: the sink's size follows and the stream never fails.
    for (const QSize size : {QSize(640, 480), QSize(500, 300), QSize(200, 150), QSize(641, 359)}) {
        window.resize(size);
        ASSERT_TRUE(MoreFrames(window)) << size.width() << "x" << size.height();
        ASSERT_TRUE(WaitUntil([&] { return SinkCaps(window) == size; }))
            << SinkCaps(window).width() << "x" << SinkCaps(window).height();
    }
    // A drag gives hundreds, some of them between a frame's negotiation and
    // its arrival at the sink.
    for (int i = 0; i < 400; ++i) {
        const int w = 200 + (i * 37) % 500;
        window.resize(w, w * 3 / 4 + i % 3);
        QCoreApplication::processEvents();
        QThread::usleep(1000 + (i * 131) % 5000);
    }
    ASSERT_TRUE(MoreFrames(window, 10));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('|').toStdString();
    EXPECT_EQ(Graph.State(), GST_STATE_PLAYING);

    // Kept aspect in a wide window: the picture is fitted from the source's
    // size (5:4), black at the sides.
    window.resize(600, 240);
    window.SetAspectRatio(TDSVideoWindowEx2::AspectKeep);
    ASSERT_TRUE(WaitUntil([&] { return SinkCaps(window) == QSize(300, 240); }));
    ASSERT_TRUE(MoreFrames(window, 25));
    shown = OnScreen(window);
    EXPECT_EQ(shown.pixel(20, 120) & 0xffffff, 0u);
    EXPECT_NE(shown.pixel(300, 60) & 0xffffff, 0u);
    // Zoom keeps reading the source's size, not the scaled one.
    window.SetDigitalZoom(50);
    ASSERT_TRUE(MoreFrames(window));
    EXPECT_EQ(sink->SourceSize(), QSize(720, 576));

    // A stopped graph runs again into the same window.
    ASSERT_TRUE(Graph.Stop());
    window.SetDigitalZoom(0);
    ASSERT_TRUE(Graph.Run());
    ASSERT_TRUE(MoreFrames(window, 10));
    shown = OnScreen(window);
    EXPECT_EQ(shown.pixel(20, 120) & 0xffffff, 0u);
    EXPECT_NE(shown.pixel(300, 60) & 0xffffff, 0u);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('|').toStdString();
}

TEST_F(VideoOverlay, TurnedOffTheFramesArePaintedInstead)
{
    TDSVideoWindowEx2 window;
    window.DoNotUseOverlay = true;
    window.resize(320, 240);
    window.show();
    window.SetFilterGraph(&Graph);
    EXPECT_FALSE(window.OverlayInUse());
    ASSERT_TRUE(Connect(window));
    ASSERT_TRUE(Graph.Run());
    ASSERT_TRUE(MoreFrames(window, 5));
    EXPECT_EQ(window.LastFrame().size(), QSize(720, 576));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('|').toStdString();
}

} // namespace
