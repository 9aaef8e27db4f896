// The captionless main window that holds the video.
#pragma once

#include <QWidget>

class QLabel;

class TFormMainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit TFormMainWindow(QWidget *parent = nullptr);
    ~TFormMainWindow() override;

    // The creation handler: state, title image, stage 1, then the deferred
    // stage 2. False when stage 1 failed (the program ends).
    bool FormCreate();

    // A second start asked this instance to come to the front.
    void ActivateFirstInstance();

    // Screen-saver state kept between StartDevices and shutdown.
    bool MuteItemVisible = false;
    bool MuteItemChecked = false;
    bool EPGItemVisible = false;
    bool TunerItemsVisible = true;
    bool CameraItemVisible = true;

    uint8_t WindowState = 0; // 0 normal, 1 full screen, 2 video desktop
    int WheelUp = 0, WheelDown = 0;

    QLabel *ImageLogo = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
};

extern TFormMainWindow *FormMainWindow;
