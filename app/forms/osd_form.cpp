#include "app/forms/osd_form.h"

#include <QKeyEvent>

#include "app/hotkeys.h"
#include "app/main_info.h"

TOSDPlacement PlaceOSD(const QString &text, bool atTop, bool fullScreen, const QRect &screen,
                       const QRect &mainWindow, int leftBorder, int topBorder, int bottomBorder)
{
    TOSDPlacement p;
    int left, top, height;
    if (fullScreen) {
        p.FontSize = screen.height() > 600 ? 36 : 24;
        height = screen.height() / 15;
        const int width = int(text.size()) * p.FontSize * 7 / 9;
        if (atTop) {
            left = 20;
            top = 10;
            p.LeftAligned = true;
        } else {
            top = screen.height() - 144;
            left = screen.width() / 2 - width / 2;
        }
        p.Rect = QRect(screen.left() + left, screen.top() + top, width, height);
        return p;
    }
    left = mainWindow.left() + leftBorder + 20;
    if (atTop) {
        top = mainWindow.top() + topBorder + 20;
        p.LeftAligned = true;
    } else {
        top = mainWindow.top() + mainWindow.height() - bottomBorder - 60;
    }
    p.FontSize = 12;
    if (mainWindow.height() > 360)
        p.FontSize = mainWindow.height() / 30;
    else if (mainWindow.height() <= 280)
        p.FontSize = 8;
    height = mainWindow.height() / 18;
    p.Rect = QRect(left, top, int(text.size()) * p.FontSize * 7 / 9, height);
    return p;
}

TFormOSD::TFormOSD()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus)
{
    setObjectName("FormOSD");
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    LabelOSD = new QLabel(this);
    LabelOSD->setTextFormat(Qt::PlainText);
    LabelOSD->setObjectName("LabelOSD");
    LabelOSD->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TimerShowOSD.setInterval(2000);
    TimerShowOSD.setSingleShot(true);
    connect(&TimerShowOSD, &QTimer::timeout, this, &TFormOSD::HideOSD);
}

bool TFormOSD::ShowAt(const QString &text, const TOSDPlacement &placement, const QColor &background,
                      const QList<const QWidget *> &inTheWay)
{
    QFont font = LabelOSD->font();
    font.setBold(true);
    font.setPixelSize(std::max(placement.FontSize, 6));
    LabelOSD->setFont(font);
    LabelOSD->setAlignment((placement.LeftAligned ? Qt::AlignLeft : Qt::AlignRight) |
                           Qt::AlignVCenter);
    LabelOSD->setStyleSheet(QString("color: #ffff00; background: %1;").arg(background.name()));
    LabelOSD->setText(text + "  ");
    // The width rule is the program's; a font whose letters run wider gets
    // the room it needs so the text is never cut.
    QRect r = placement.Rect;
    r.setWidth(std::max(r.width(), LabelOSD->sizeHint().width()));
    r.setHeight(std::max(r.height(), LabelOSD->sizeHint().height()));
    // Never moved out of the way: a text that would cover these is dropped.
    for (const QWidget *w : inTheWay)
        if (w && w->isVisible() && w->frameGeometry().intersects(r))
            return false;
    setGeometry(r);
    LabelOSD->setGeometry(rect());
    ShowingFlag = true;
    TimerShowOSD.start();
    show();
    raise();
    return true;
}

void TFormOSD::HideOSD()
{
    if (!ShowingFlag)
        return;
    hide();
    TimerShowOSD.stop();
    ShowingFlag = false;
}

void TFormOSD::keyPressEvent(QKeyEvent *event)
{
    if (!event->text().isEmpty() && event->text().at(0).isPrint())
        CharacterTyped(event->text().at(0));
}

void TFormOSD::keyReleaseEvent(QKeyEvent *event)
{
    if (!event->isAutoRepeat())
        TVPanelKeyUp(VirtualKeyFromQt(event->key(), event->modifiers()),
                     ShiftStateFromQt(event->modifiers()));
}
