// The video window on Qt's offscreen platform: zoom crop, aspect, cursor,
// display modes and the owner's handlers.
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QThread>

#include <gtest/gtest.h>

#include "platform/filter_graph.h"
#include "platform/filter_registry.h"
#include "platform/video_window.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

TEST(VideoWindow, DigitalZoomCropsAroundTheCentreKeepingTheAspect)
{
    const QSize pal(720, 576);
    EXPECT_EQ(TDSVideoWindowEx2::ZoomSourceRect(pal, 0), QRect(0, 0, 720, 576));
    EXPECT_EQ(TDSVideoWindowEx2::ZoomSourceRect(pal, 50), QRect(180, 144, 360, 288));
    // w = 720 - 712.8 = 7.2 -> 7; h = 7 * 576 / 720 = 5.6 -> 6; left 356.5 -> 357.
    EXPECT_EQ(TDSVideoWindowEx2::ZoomSourceRect(pal, 99), QRect(357, 285, 7, 6));
    EXPECT_EQ(TDSVideoWindowEx2::ZoomSourceRect(QSize(640, 480), 25), QRect(80, 60, 480, 360));
    // Out of range clamps; an unknown picture size gives nothing.
    EXPECT_EQ(TDSVideoWindowEx2::ZoomSourceRect(pal, 150),
              TDSVideoWindowEx2::ZoomSourceRect(pal, 99));
    EXPECT_TRUE(TDSVideoWindowEx2::ZoomSourceRect(QSize(), 10).isNull());
    TDSVideoWindowEx2 window;
    window.SetDigitalZoom(-5);
    EXPECT_EQ(window.DigitalZoom(), 0);
    window.SetDigitalZoom(42);
    EXPECT_EQ(window.DigitalZoom(), 42);
}

TEST(VideoWindow, PaintsTheGraphsFramesScaledCroppedAndInAspect)
{
    TFilterGraph graph;
    ASSERT_TRUE(graph.SetActive(true));
    TFilterPtr source = CreateChainFilter(
        "Source",
        "videotestsrc is-live=true pattern=smpte ! "
        "video/x-raw,format=YUY2,width=720,height=576,framerate=25/1 ! identity name=last",
        {}, {{"Output", "last", "src", TMediaKind::Video}});
    ASSERT_TRUE(source && graph.AddFilter(source));
    TDSVideoWindowEx2 window;
    window.resize(400, 200);
    window.show();
    window.SetFilterGraph(&graph);
    ASSERT_NE(window.Renderer(), nullptr);
    EXPECT_FALSE(window.OverlayInUse()); // offscreen: frames are painted
    ASSERT_TRUE(
        graph.ConnectDirect(TFilterGraph::FindPin(source.get(), TPinDirection::Output),
                            TFilterGraph::FindPin(window.Renderer(), TPinDirection::Input)));
    ASSERT_TRUE(graph.Run());
    ASSERT_TRUE(WaitUntil([&] { return window.FramesShown() >= 10; }));
    EXPECT_EQ(window.LastFrame().size(), QSize(720, 576));
    // Stretched: the whole window.
    EXPECT_EQ(window.LastTargetRect(), QRect(0, 0, 400, 200));
    // Kept: 250x200 centred, black bars at the sides.
    window.SetAspectRatio(TDSVideoWindowEx2::AspectKeep);
    int64_t n = window.FramesShown();
    ASSERT_TRUE(WaitUntil([&] { return window.FramesShown() > n + 2; }));
    EXPECT_EQ(window.LastTargetRect(), QRect(75, 0, 250, 200));
    const QImage shown = window.grab().toImage();
    EXPECT_EQ(shown.pixel(10, 100) & 0xffffff, 0u);
    EXPECT_NE(shown.pixel(200, 50) & 0xffffff, 0u);
    // Zoom 50: the middle quarter of the picture.
    window.SetDigitalZoom(50);
    n = window.FramesShown();
    ASSERT_TRUE(WaitUntil([&] { return window.FramesShown() > n + 2; }));
    EXPECT_EQ(window.LastSourceRect(), QRect(180, 144, 360, 288));
    graph.Stop();
    // Leaving the graph takes the renderer out of it.
    window.SetFilterGraph(nullptr);
    EXPECT_EQ(window.Renderer(), nullptr);
    EXPECT_EQ(graph.FindFilterByName("Video Renderer"), nullptr);
}

TEST(VideoWindow, CursorHidesAfterIdlenessAndHandlersReachTheOwner)
{
    TDSVideoWindowEx2 window;
    window.resize(200, 150);
    window.show();
    window.AutoHideCursor = 50;
    std::vector<bool> cursor;
    window.OnCursorShowHide = [&](bool shown) { cursor.push_back(shown); };
    int downs = 0, doubles = 0, keys = 0;
    window.OnMouseDown = [&](QMouseEvent *) { ++downs; };
    window.OnDblClick = [&](QMouseEvent *) { ++doubles; };
    window.OnKeyUp = [&](QKeyEvent *) { ++keys; };
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &move);
    ASSERT_TRUE(WaitUntil([&] { return !cursor.empty(); }, 2000));
    EXPECT_EQ(cursor, std::vector<bool>{false});
    EXPECT_EQ(window.cursor().shape(), Qt::BlankCursor);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &press);
    EXPECT_EQ(cursor, (std::vector<bool>{false, true}));
    EXPECT_NE(window.cursor().shape(), Qt::BlankCursor);
    EXPECT_EQ(downs, 1);
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &dbl);
    EXPECT_EQ(doubles, 1);
    QKeyEvent key(QEvent::KeyRelease, Qt::Key_PageUp, Qt::NoModifier);
    QApplication::sendEvent(&window, &key);
    EXPECT_EQ(keys, 1);
}

TEST(VideoWindow, FullScreenAndDesktopLeaveAndReturnToTheOwner)
{
    QWidget owner;
    owner.resize(480, 360);
    owner.show();
    TDSVideoWindowEx2 window(&owner);
    window.SetPlacement(QMargins(10, 17, 10, 10), false);
    EXPECT_EQ(window.geometry(), QRect(10, 17, 460, 333));
    int changes = 0;
    window.OnDisplayChanged = [&] { ++changes; };

    window.StartFullScreen();
    EXPECT_TRUE(window.FullScreen());
    EXPECT_TRUE(window.isWindow());
    window.NormalScreen();
    EXPECT_FALSE(window.FullScreen());
    EXPECT_EQ(window.parentWidget(), &owner);
    EXPECT_EQ(window.geometry(), QRect(10, 17, 460, 333));

    window.StartDesktopPlayback();
    EXPECT_TRUE(window.DesktopPlayback());
    EXPECT_TRUE(window.isWindow());
    EXPECT_TRUE(window.testAttribute(Qt::WA_X11NetWmWindowTypeDesktop));
    EXPECT_TRUE(window.windowFlags() & Qt::WindowStaysOnBottomHint);
    // Full screen from the desktop display leaves the desktop first.
    window.StartFullScreen();
    EXPECT_TRUE(window.FullScreen());
    EXPECT_FALSE(window.DesktopPlayback());
    window.NormalScreen();
    EXPECT_EQ(window.parentWidget(), &owner);
    // On, off, on, off (leaving the desktop), on, off.
    EXPECT_EQ(changes, 6);
    // The owner's resize still reaches the returned window.
    owner.resize(600, 400);
    EXPECT_EQ(window.geometry(), QRect(10, 17, 580, 373));
    window.SetPlacement(QMargins(10, 17, 10, 10), true);
    EXPECT_EQ(window.geometry(), QRect(10, 17, 193, 122));
}

} // namespace
