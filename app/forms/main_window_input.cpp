// The main window's mouse, wheel and keys, and its paint rules.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "app/app_modes.h"
#include "app/forms/main_panel.h"
#include "app/forms/main_window.h"
#include "app/forms/osd_form.h"
#include "app/hotkeys.h"
#include "app/main_info.h"
#include "platform/gui_wait.h"

namespace {

// Notches a wheel event carries; high-resolution wheels add up in steps.
int Notches(const QWheelEvent *e)
{
    return e->angleDelta().y() / 120;
}

} // namespace

bool TFormMainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Mouse over the video picture: handled as over the window, in the
    // window's coordinates.
    QWidget *video = VideoWidget();
    if (!video || watched != video || InMosaic)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
        auto *e = static_cast<QMouseEvent *>(event);
        QMouseEvent mapped(e->type(), video->mapTo(this, e->position().toPoint()),
                           e->globalPosition(), e->button(), e->buttons(), e->modifiers());
        if (e->type() == QEvent::MouseButtonPress)
            mousePressEvent(&mapped);
        else if (e->type() == QEvent::MouseButtonRelease)
            mouseReleaseEvent(&mapped);
        else if (e->type() == QEvent::MouseButtonDblClick)
            mouseDoubleClickEvent(&mapped);
        else
            mouseMoveEvent(&mapped);
        return true;
    }
    case QEvent::Wheel:
        wheelEvent(static_cast<QWheelEvent *>(event));
        return true;
    case QEvent::ContextMenu:
        OpenPopupMenu();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void TFormMainWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        OpenPopupMenu();
        return;
    }
    Dragging = event->button() == Qt::LeftButton && event->buttons() == Qt::LeftButton &&
               WindowState != 1 && !InMosaic;
    DragMoved = false;
    DragOrigin = event->position().toPoint();
}

void TFormMainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (!Dragging || event->buttons() != Qt::LeftButton)
        return;
    const QPoint d = event->position().toPoint() - DragOrigin;
    if (d.isNull())
        return;
    DragMoved = true;
    HideOSD();
    move(pos() + d);
}

void TFormMainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    const bool wasDrag = Dragging && DragMoved;
    Dragging = false;
    if (event->button() != Qt::LeftButton || wasDrag)
        return;
    if (InMosaic) {
        SelectCell(LastSampled);
        return;
    }
    if (WindowState == 1 && FormMainPanel)
        FormMainPanel->ShowForFullScreen(!FormMainPanel->ShownForFullScreen());
    else if (WindowState == 1)
        ShowMainPanel();
}

void TFormMainWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (InMosaic) {
        ChooseCell(LastSampled);
        return;
    }
    RunOutsideWaits(
        this, [this] { DoubleClick(); }, nullptr, true);
}

void TFormMainWindow::DoubleClick()
{
    const TModeEngines &e = ModeEngines;
    const uint8_t mode = MainInfo ? MainInfo->AppMode : ModeNone;
    if (MainInfo && MainInfo->PIPPlayback && e.FilePlayback && e.FilePlayback->Exists() &&
        mode != ModeTimeShift && mode != ModeTimeShiftPlay) {
        InsetSwappedFlag = !InsetSwappedFlag;
        if (SwapInset)
            SwapInset(InsetSwappedFlag);
        return;
    }
    if (mode != ModeFM)
        SetFullScreen(WindowState != 1);
}

void TFormMainWindow::wheelEvent(QWheelEvent *event)
{
    const int n = Notches(event);
    for (int i = 0; i < std::abs(n); ++i)
        StepWheel(n > 0);
    event->accept();
}

void TFormMainWindow::StepWheel(bool up)
{
    const QAction *item = MenuItem(up ? "NextChannel" : "PreChannel");
    if (!item || !item->isVisible())
        return;
    const bool allowed = OSD() && OSD()->OSDAllowed;
    SuppressOSD();
    int &counter = up ? WheelUp : WheelDown;
    ++counter;
    if (counter > 3) {
        counter = 0;
        SubmitCommand(up ? 4001 : 4002);
    }
    if (allowed)
        AllowOSD();
}

void TFormMainWindow::keyPressEvent(QKeyEvent *event)
{
    if (!event->text().isEmpty() && event->text().at(0).isPrint())
        CharacterTyped(event->text().at(0));
}

void TFormMainWindow::keyReleaseEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    MainWindowKeyUp(VirtualKeyFromQt(event->key(), event->modifiers()),
                    ShiftStateFromQt(event->modifiers()));
}

void TFormMainWindow::contextMenuEvent(QContextMenuEvent *event)
{
    event->accept();
}

void TFormMainWindow::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (!InMosaic || Selected < 0 || Selected >= int(MosaicCells.size()))
        return;
    QPainter p(this);
    p.setPen(QPen(QColor(0, 255, 255), 2));
    p.setBrush(Qt::NoBrush);
    const QRect r = MosaicCells[Selected].Image->geometry().adjusted(-2, -2, 1, 1);
    p.drawRect(r);
}
