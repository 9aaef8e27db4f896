// The video window as the main window drives it. The capture engine creates
// the video widget with the main window as parent; the main window keeps it
// filling the client area inside the borders and reaches the display
// functions (digital zoom, full-screen and desktop display, the overlay
// surface test) only through this interface, so that any widget can stand in
// for the engine's video window. GUI thread only.
#pragma once

#include <QColor>
#include <QPointer>
#include <QWidget>
#include <memory>

class IVideoDisplay
{
public:
    virtual ~IVideoDisplay() = default;
    virtual QWidget *Widget() const = 0;
    // Digital zoom, full-screen and desktop display need a surface the
    // window controls.
    virtual bool HasOverlaySurface() const = 0;
    virtual int DigitalZoom() const = 0;
    virtual void SetDigitalZoom(int zoom) = 0;
    virtual bool FullScreenDisplay() const = 0;
    virtual bool DesktopDisplay() const = 0;
    virtual void SetDesktopDisplay(bool on) = 0;
    // The background the OSD and the zoom slider take.
    virtual QColor ColorKey() const { return Qt::black; }
};

// A plain widget in the video window's place: it has no surface of its own,
// so the display functions are refused (message 1005) and the zoom stays 0.
class TPlainVideoDisplay : public IVideoDisplay
{
public:
    explicit TPlainVideoDisplay(QWidget *widget) : W(widget) {}
    QWidget *Widget() const override { return W; }
    bool HasOverlaySurface() const override { return false; }
    int DigitalZoom() const override { return 0; }
    void SetDigitalZoom(int) override {}
    bool FullScreenDisplay() const override { return false; }
    bool DesktopDisplay() const override { return false; }
    void SetDesktopDisplay(bool) override {}

private:
    QPointer<QWidget> W;
};

// The display interface for a video widget: the engine's video window gets
// its own, any other widget the plain one.
std::unique_ptr<IVideoDisplay> MakeVideoDisplay(QWidget *widget);
