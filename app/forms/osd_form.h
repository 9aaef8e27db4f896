// TFormOSD: the on-screen display, a borderless, always-on-top window that
// never takes the focus and shows a short text over the picture for two
// seconds. Created after start-up stage 1, lives until exit; GUI thread only.
#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>

// Where and how big a text goes.
struct TOSDPlacement
{
    QRect Rect;
    int FontSize = 12;
    bool LeftAligned = false;
};

// In full screen the screen decides; in a window the main window's frame and
// its border thicknesses.
TOSDPlacement PlaceOSD(const QString &text, bool atTop, bool fullScreen, const QRect &screen,
                       const QRect &mainWindow, int leftBorder, int topBorder, int bottomBorder);

class TFormOSD : public QWidget
{
    Q_OBJECT
public:
    TFormOSD();

    // Shows the text at the placement unless one of the windows in the way
    // (the TV panel, the snapshot list; null or hidden ones do not count)
    // would be covered. False when nothing was shown.
    bool ShowAt(const QString &text, const TOSDPlacement &placement, const QColor &background,
                const QList<const QWidget *> &inTheWay);
    void HideOSD();
    bool Showing() const { return ShowingFlag; }

    bool OSDAllowed = false;
    QLabel *LabelOSD;
    QTimer TimerShowOSD;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    bool ShowingFlag = false;
};
