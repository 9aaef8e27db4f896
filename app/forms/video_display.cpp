#include "app/forms/video_display.h"

#include <memory>

#include "platform/video_window.h"

namespace {

class TEngineVideoDisplay : public IVideoDisplay
{
public:
    explicit TEngineVideoDisplay(TDSVideoWindowEx2 *window) : V(window) {}
    QWidget *Widget() const override { return V; }
    bool HasOverlaySurface() const override { return V && V->HasOverlaySurface(); }
    int DigitalZoom() const override { return V ? V->DigitalZoom() : 0; }
    void SetDigitalZoom(int zoom) override
    {
        if (V)
            V->SetDigitalZoom(zoom);
    }
    bool FullScreenDisplay() const override { return V && V->FullScreen(); }
    bool DesktopDisplay() const override { return V && V->DesktopPlayback(); }
    void SetDesktopDisplay(bool on) override
    {
        if (!V)
            return;
        if (on)
            V->StartDesktopPlayback();
        else
            V->NormalPlayback();
    }

private:
    QPointer<TDSVideoWindowEx2> V;
};

} // namespace

std::unique_ptr<IVideoDisplay> MakeVideoDisplay(QWidget *widget)
{
    if (!widget)
        return nullptr;
    if (auto *v = qobject_cast<TDSVideoWindowEx2 *>(widget))
        return std::make_unique<TEngineVideoDisplay>(v);
    return std::make_unique<TPlainVideoDisplay>(widget);
}
