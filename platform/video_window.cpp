#include "platform/video_window.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <cmath>

#include "platform/filter_graph.h"
#include "platform/log.h"

TDSVideoWindowEx2::TDSVideoWindowEx2(QWidget *parent) : QWidget(parent)
{
    setObjectName("VideoWindow");
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    CursorTimer.setSingleShot(true);
    connect(&CursorTimer, &QTimer::timeout, this, [this] {
        if (CursorHidden)
            return;
        CursorHidden = true;
        setCursor(Qt::BlankCursor);
        if (OnCursorShowHide)
            OnCursorShowHide(false);
    });
    PostTarget->Window = this;
}

TDSVideoWindowEx2::~TDSVideoWindowEx2()
{
    if (auto gone = std::move(OnDestroyed))
        gone();
    {
        std::lock_guard lock(PostTarget->Mutex);
        PostTarget->Window = nullptr;
    }
    SetFilterGraph(nullptr);
}

bool TDSVideoWindowEx2::OverlayInUse() const
{
    return Sink && Sink->Kind() == TVideoSinkKind::Overlay;
}

void TDSVideoWindowEx2::SetFilterGraph(TFilterGraph *graph)
{
    if (graph == Graph && Sink)
        return;
    DetachRenderer();
    Graph = graph;
    if (Graph)
        AttachRenderer();
}

void TDSVideoWindowEx2::AttachRenderer()
{
    // The overlay where the window system offers one and the user has not
    // turned it off; painted frames where no overlay sink opens.
    if (!DoNotUseOverlay && OverlaySinkAvailable()) {
        setAttribute(Qt::WA_NativeWindow);
        Handle = quintptr(winId());
        Sink = CreateVideoSink(TVideoSinkKind::Overlay, Handle);
    }
    if (Sink) {
        // The sink paints the whole window; Qt must not paint over it.
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_OpaquePaintEvent);
        Sink->SetKeepAspect(Aspect == AspectKeep);
        UpdateRenderRectangle();
    } else {
        Sink = CreateVideoSink(TVideoSinkKind::Frames);
        if (!Sink)
            return;
        std::weak_ptr<TPostTarget> target = PostTarget;
        Sink->FrameReady = [target] {
            auto t = target.lock();
            if (!t)
                return;
            std::lock_guard lock(t->Mutex);
            if (t->Window)
                QMetaObject::invokeMethod(t->Window, &TDSVideoWindowEx2::TakeFrame,
                                          Qt::QueuedConnection);
        };
    }
    if (Graph->Active() && !Graph->AddFilter(Sink))
        qCWarning(lcGst) << "video window: cannot add the renderer:" << Graph->LastError();
    ApplyCrop();
}

void TDSVideoWindowEx2::DetachRenderer()
{
    if (!Sink)
        return;
    // Out of the graph first: that stops its streaming thread, after which
    // the frame notification can be dropped safely.
    if (Graph && Sink->Graph == Graph)
        Graph->RemoveFilter(Sink.get());
    Sink->FrameReady = nullptr;
    Sink.reset();
    Frame = QImage();
}

void TDSVideoWindowEx2::TakeFrame()
{
    if (!Sink)
        return;
    QImage frame = Sink->TakeFrame();
    if (frame.isNull())
        return;
    Frame = frame;
    update();
}

int64_t TDSVideoWindowEx2::FramesShown() const
{
    if (OverlayInUse())
        return Sink->FrameCount();
    return Painted;
}

QRect TDSVideoWindowEx2::ZoomSourceRect(const QSize &source, int zoom)
{
    const int W = source.width(), H = source.height();
    if (W <= 0 || H <= 0)
        return {};
    zoom = std::clamp(zoom, 0, 99);
    // Each value rounded to the nearest integer, as the zoom slider's
    // crop has always been computed.
    const double w = W - double(zoom) * W / 100.0;
    const int wi = int(std::lround(w));
    const int hi = int(std::lround(double(wi) * H / W));
    const int left = int(std::lround((W - wi) / 2.0));
    const int top = int(std::lround((H - hi) / 2.0));
    return QRect(left, top, wi, hi);
}

void TDSVideoWindowEx2::SetDigitalZoom(int zoom)
{
    Zoom = std::clamp(zoom, 0, 99);
    ApplyCrop();
    UpdateRenderRectangle();
    update();
}

void TDSVideoWindowEx2::ApplyCrop()
{
    if (!OverlayInUse())
        return;
    const QSize source = Sink->SourceSize();
    if (!source.isEmpty())
        Sink->SetCrop(ZoomSourceRect(source, Zoom), source);
}

void TDSVideoWindowEx2::SetAspectRatio(TAspectRatio aspect)
{
    Aspect = aspect;
    if (Sink)
        Sink->SetKeepAspect(aspect == AspectKeep);
    UpdateRenderRectangle();
    update();
}

QRect TDSVideoWindowEx2::TargetFor(const QSize &source) const
{
    const QRect all = rect();
    if (Aspect == AspectStretched || source.isEmpty())
        return all;
    QSize fitted = source.scaled(all.size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), fitted);
    target.moveCenter(all.center());
    return target;
}

void TDSVideoWindowEx2::paintEvent(QPaintEvent *)
{
    if (OverlayInUse()) {
        // A zoom set before the first frame knew no source size.
        ApplyCrop();
        UpdateRenderRectangle();
        if (RenderRect != rect()) {
            QPainter painter(this);
            painter.fillRect(rect(), Qt::black);
        }
        Sink->Expose();
        return;
    }
    QPainter painter(this);
    if (Frame.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    SourceRect = ZoomSourceRect(Frame.size(), Zoom);
    TargetRect = TargetFor(SourceRect.size());
    if (TargetRect != rect())
        painter.fillRect(rect(), Qt::black);
    // Nearest-neighbour scaling: the smooth filter costs several times the
    // CPU of the whole pipeline at full frame rate.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(TargetRect, Frame, SourceRect);
    ++Painted;
}

void TDSVideoWindowEx2::UpdateRenderRectangle()
{
    if (!OverlayInUse())
        return;
    // ximagesink does not scale: it gets the picture already fitted.
    QRect target = rect();
    if (Sink->SinkName() == "ximagesink")
        target = TargetFor(ZoomSourceRect(Sink->SourceSize(), Zoom).size());
    if (target != RenderRect) {
        RenderRect = target;
        Sink->SetRenderRectangle(target);
    }
}

void TDSVideoWindowEx2::resizeEvent(QResizeEvent *)
{
    UpdateRenderRectangle();
}

void TDSVideoWindowEx2::CursorActivity()
{
    if (CursorHidden) {
        CursorHidden = false;
        unsetCursor();
        if (OnCursorShowHide)
            OnCursorShowHide(true);
    }
    if (AutoHideCursor > 0)
        CursorTimer.start(AutoHideCursor);
}

bool TDSVideoWindowEx2::event(QEvent *e)
{
    if (e->type() == QEvent::Enter)
        CursorActivity();
    // A native window re-created by a change of parent gets a new handle;
    // the sink must draw into the new one.
    if (e->type() == QEvent::WinIdChange && OverlayInUse() && quintptr(winId()) != Handle) {
        Handle = quintptr(winId());
        Sink->SetWindowHandle(Handle);
        UpdateRenderRectangle();
    }
    return QWidget::event(e);
}

void TDSVideoWindowEx2::mousePressEvent(QMouseEvent *e)
{
    CursorActivity();
    if (OnMouseDown)
        OnMouseDown(e);
}

void TDSVideoWindowEx2::mouseReleaseEvent(QMouseEvent *e)
{
    if (OnMouseUp)
        OnMouseUp(e);
}

void TDSVideoWindowEx2::mouseMoveEvent(QMouseEvent *e)
{
    CursorActivity();
    if (OnMouseMove)
        OnMouseMove(e);
}

void TDSVideoWindowEx2::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (OnDblClick)
        OnDblClick(e);
}

void TDSVideoWindowEx2::wheelEvent(QWheelEvent *e)
{
    CursorActivity();
    if (OnMouseWheel)
        OnMouseWheel(e);
}

void TDSVideoWindowEx2::keyPressEvent(QKeyEvent *e)
{
    if (OnKeyDown)
        OnKeyDown(e);
    else
        QWidget::keyPressEvent(e);
}

void TDSVideoWindowEx2::keyReleaseEvent(QKeyEvent *e)
{
    if (OnKeyUp)
        OnKeyUp(e);
    else
        QWidget::keyReleaseEvent(e);
}

void TDSVideoWindowEx2::contextMenuEvent(QContextMenuEvent *e)
{
    if (PopupMenu)
        PopupMenu->popup(e->globalPos());
}

QRect TDSVideoWindowEx2::InsetRect(const QSize &owner, const QMargins &borders)
{
    return QRect(borders.left(), borders.top(), (owner.width() - 2 * borders.left()) / 3,
                 (owner.height() - 2 * borders.top()) / 3);
}

void TDSVideoWindowEx2::SetPlacement(const QMargins &borders, bool inset)
{
    Borders = borders;
    InsetOn = inset;
    Place();
}

void TDSVideoWindowEx2::Place()
{
    QWidget *owner = Mode == ModeNormal ? parentWidget() : nullptr;
    if (owner != Watched) {
        if (Watched)
            Watched->removeEventFilter(this);
        Watched = owner;
        if (owner)
            owner->installEventFilter(this);
    }
    if (!owner)
        return;
    setGeometry(InsetOn ? InsetRect(owner->size(), Borders)
                        : QRect(QPoint(0, 0), owner->size()).marginsRemoved(Borders));
}

bool TDSVideoWindowEx2::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == Watched && e->type() == QEvent::Resize && Mode == ModeNormal)
        Place();
    return QWidget::eventFilter(watched, e);
}

void TDSVideoWindowEx2::LeaveParent(Qt::WindowFlags flags)
{
    if (Mode == ModeNormal) {
        SavedParent = parentWidget();
        SavedGeometry = geometry();
    }
    setParent(nullptr, flags);
}

void TDSVideoWindowEx2::ReturnToParent()
{
    setAttribute(Qt::WA_X11NetWmWindowTypeDesktop, false);
    setParent(SavedParent, Qt::Widget);
    setGeometry(SavedGeometry);
    Mode = ModeNormal;
    Place();
    show();
    UpdateRenderRectangle();
}

void TDSVideoWindowEx2::StartFullScreen()
{
    if (Mode == ModeFullScreen)
        return;
    if (Mode == ModeDesktop)
        NormalPlayback();
    QScreen *screen = this->screen();
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    if (FullScreenTopMost)
        flags |= Qt::WindowStaysOnTopHint;
    LeaveParent(flags);
    Mode = ModeFullScreen;
    if (screen)
        setGeometry(screen->geometry());
    showFullScreen();
    activateWindow();
    UpdateRenderRectangle();
    if (OnDisplayChanged)
        OnDisplayChanged();
}

void TDSVideoWindowEx2::NormalScreen()
{
    if (Mode != ModeFullScreen)
        return;
    ReturnToParent();
    if (OnDisplayChanged)
        OnDisplayChanged();
}

void TDSVideoWindowEx2::StartDesktopPlayback(QScreen *screen)
{
    if (Mode == ModeDesktop)
        return;
    if (Mode == ModeFullScreen)
        NormalScreen();
    if (!screen)
        screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    // The window manager keeps a desktop-type window below all others, where
    // the wallpaper would be.
    LeaveParent(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint);
    setAttribute(Qt::WA_X11NetWmWindowTypeDesktop, true);
    Mode = ModeDesktop;
    if (screen)
        setGeometry(screen->geometry());
    show();
    UpdateRenderRectangle();
    if (OnDisplayChanged)
        OnDisplayChanged();
}

void TDSVideoWindowEx2::NormalPlayback()
{
    if (Mode != ModeDesktop)
        return;
    ReturnToParent();
    if (OnDisplayChanged)
        OnDisplayChanged();
}

IVideoWindow *TVideoWindowHost::CreateVideoWindow(const TVideoWindowRequest &request)
{
    auto *window = new TDSVideoWindowEx2(Owner);
    window->setObjectName("VideoWindow");
    window->FullScreenTopMost = true;
    window->PopupMenu = PopupMenu;
    window->SetAspectRatio(IVideoWindow::AspectStretched);
    window->NoScreenSaver = true;
    window->AutoHideCursor = 2000;
    if (InstallHandlers)
        InstallHandlers(window);
    window->DoNotUseOverlay = request.DoNotUseOverlay;
    window->SetPlacement(Borders, request.Inset);
    if (Owner)
        window->show();
    return window;
}
