// TFormDigitalZoom: the digital zoom slider over the picture. It sets the
// video window's zoom as it moves and closes itself about three seconds after
// the last change. Exists only while shown; GUI thread only.
#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;
class QSlider;
class IVideoDisplay;

class TFormDigitalZoom : public QDialog
{
    Q_OBJECT
public:
    // The display must outlive the dialog.
    TFormDigitalZoom(IVideoDisplay *display, QWidget *parent = nullptr);

    QLabel *LabelZoom;
    QSlider *TrackBarZoom;
    QTimer TimerCheckResult;
    int IdleCount = 0;

    void TimerCheckResultTimer();

private:
    IVideoDisplay *Display;
};

// Runs the slider modally at the position (the main window's client corner
// plus 10).
void ShowDigitalZoom(IVideoDisplay *display, const QPoint &at, QWidget *parent);
