// TDSVideoWindowEx2: the widget that shows a graph's picture. It never
// builds a pipeline: its renderer filter (platform/gst_video_sink.h) joins
// the graph through SetFilterGraph, and the widget either lends that
// renderer its native window (overlay) or paints the frames the renderer
// hands over.
//
// Display functions used by the shell: digital zoom (a crop around the
// centre), full-screen display, desktop (wallpaper) display as a window on
// the desktop layer, a hidden cursor after AutoHideCursor ms of mouse
// idleness, and the owner's mouse and key handlers and pop-up menu.
//
// GUI thread only; the renderer's frame notification is queued to it.
#pragma once

#include <QImage>
#include <QMargins>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/gst_video_sink.h"
#include "platform/video_output.h"

class QMenu;
class QScreen;
class TFilterGraph;

class TDSVideoWindowEx2 : public QWidget, public IVideoWindow
{
    Q_OBJECT
public:
    explicit TDSVideoWindowEx2(QWidget *parent = nullptr);
    ~TDSVideoWindowEx2() override;

    // Joins the graph: the renderer is made (overlay unless DoNotUseOverlay
    // or no overlay sink works here, else frames) and added while the graph
    // is active. Null leaves the graph and drops the renderer.
    void SetFilterGraph(TFilterGraph *graph) override;
    TFilterGraph *FilterGraph() const { return Graph; }
    // The renderer filter in the graph (null before SetFilterGraph).
    TGraphFilter *Renderer() const override { return Sink.get(); }
    // True when a window-system sink draws into the window.
    bool OverlayInUse() const override;

    TAspectRatio AspectRatio() const { return Aspect; }
    void SetAspectRatio(TAspectRatio aspect) override;
    // Milliseconds of mouse idleness after which the cursor hides; 0 never.
    int AutoHideCursor = 0;
    bool FullScreenTopMost = false;
    bool NoScreenSaver = false;
    // Set before SetFilterGraph: paint frames through Qt instead of lending
    // the native window to a sink.
    bool DoNotUseOverlay = false;
    QPointer<QMenu> PopupMenu;

    // Digital zoom 0..99, remembered; the crop applies to both ways of
    // showing the picture.
    int DigitalZoom() const { return Zoom; }
    void SetDigitalZoom(int zoom);
    // The centred source rectangle of zoom z on a W x H picture.
    static QRect ZoomSourceRect(const QSize &source, int zoom);

    // Full-screen display on the window's screen, top-most when
    // FullScreenTopMost; NormalScreen returns the window to its parent.
    void StartFullScreen();
    void NormalScreen();
    bool FullScreen() const { return Mode == ModeFullScreen; }
    // Desktop display: a borderless window on the desktop layer covering the
    // screen, under every other window. NormalPlayback returns.
    void StartDesktopPlayback(QScreen *screen = nullptr);
    void NormalPlayback();
    bool DesktopPlayback() const { return Mode == ModeDesktop; }
    // Both display functions and the zoom need a picture that the window
    // controls; true whenever a renderer is attached.
    bool HasOverlaySurface() const { return bool(Sink); }

    // Placement in the parent: filling it inside the border widths (client
    // alignment), or as the picture-in-picture inset at the left and top
    // borders, one third of the parent's inner size. Follows the parent's
    // resizes.
    void SetPlacement(const QMargins &borders, bool inset);
    void SetInset(bool inset) override { SetPlacement(Borders, inset); }
    bool Inset() const { return InsetOn; }
    static QRect InsetRect(const QSize &owner, const QMargins &borders);

    // Handlers of the owner (the main window); the events arrive as Qt gives
    // them, with positions in this widget.
    std::function<void(QMouseEvent *)> OnMouseDown, OnMouseUp, OnMouseMove, OnDblClick;
    std::function<void(QWheelEvent *)> OnMouseWheel;
    std::function<void(QKeyEvent *)> OnKeyDown, OnKeyUp;
    std::function<void(bool shown)> OnCursorShowHide;
    // Full-screen or desktop display began or ended.
    std::function<void()> OnDisplayChanged;

    // Frames painted (frames path) or received by the renderer (overlay).
    int64_t FramesShown() const;
    // The last frame received (frames path), for tests and the shell.
    QImage LastFrame() const { return Frame; }
    // The source rectangle and target rectangle of the last paint.
    QRect LastSourceRect() const { return SourceRect; }
    QRect LastTargetRect() const { return TargetRect; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum TMode
    {
        ModeNormal,
        ModeFullScreen,
        ModeDesktop
    };
    void AttachRenderer();
    void DetachRenderer();
    void TakeFrame();
    void ApplyCrop();
    void UpdateRenderRectangle();
    QRect TargetFor(const QSize &source) const;
    void CursorActivity();
    void LeaveParent(Qt::WindowFlags flags);
    void ReturnToParent();
    void Place();

    TFilterGraph *Graph = nullptr;
    std::shared_ptr<TVideoSinkFilter> Sink;
    TAspectRatio Aspect = AspectStretched;
    int Zoom = 0;
    TMode Mode = ModeNormal;
    QImage Frame;
    QRect SourceRect, TargetRect;
    QRect RenderRect; // overlay: the part of the window the sink fills
    int64_t Painted = 0;
    QTimer CursorTimer;
    bool CursorHidden = false;
    quintptr Handle = 0;
    // The place in the parent that full-screen and desktop display leave.
    QPointer<QWidget> SavedParent;
    QRect SavedGeometry;
    QMargins Borders;
    bool InsetOn = false;
    QPointer<QWidget> Watched;
    // Shared with the renderer's streaming thread, which posts the frame
    // notification through it; cleared (under its mutex) when the window goes.
    struct TPostTarget
    {
        std::mutex Mutex;
        TDSVideoWindowEx2 *Window = nullptr;
    };
    std::shared_ptr<TPostTarget> PostTarget = std::make_shared<TPostTarget>();
};

// The host the shell installs (platform/video_output.h): every window it
// makes is a child of Owner placed inside Borders, with the owner's pop-up
// menu and handlers, and the display settings of live TV. Without an owner
// the windows are top-level windows that stay hidden until shown.
class TVideoWindowHost : public IVideoWindowHost
{
public:
    QPointer<QWidget> Owner;
    QMargins Borders;
    QPointer<QMenu> PopupMenu;
    // Installs the owner's mouse and key handlers on a new window.
    std::function<void(TDSVideoWindowEx2 *)> InstallHandlers;

    IVideoWindow *CreateVideoWindow(const TVideoWindowRequest &request) override;
};
