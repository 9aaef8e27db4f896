#include "app/window_module.h"

#include "app/main_panel.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "app/ui_info.h"

void InitializeWindowModule()
{
    TStartupHooks &h = StartupHooks;
    h.CreateSkin = [] {
        CreateUIInfo();
        if (FormMainWindow) {
            FormMainWindow->MenuCaptionsChanged();
            FormMainWindow->update();
        }
    };
    h.FreeSkin = [] {
        // The panel paints from the skin: it goes first.
        delete FormMainPanel;
        FreeUIInfo();
    };
    h.ShowTVPanel = [] {
        if (FormMainWindow)
            FormMainWindow->ShowMainPanel();
    };
    h.ApplyPanelLanguage = [] {
        if (FormMainPanel)
            FormMainPanel->ApplyLanguage();
    };
    h.AllowOSD = [](bool allowed) {
        if (!FormMainWindow)
            return;
        if (allowed)
            FormMainWindow->AllowOSD();
        else
            FormMainWindow->SuppressOSD();
    };
    h.ShowTunerItems = [](bool visible) {
        if (FormMainWindow)
            FormMainWindow->TunerItemsVisible = visible;
    };
    h.ShowCameraItem = [](bool visible) {
        if (FormMainWindow)
            FormMainWindow->CameraItemVisible = visible;
    };
}

void FinalizeWindowModule()
{
    TStartupHooks &h = StartupHooks;
    h.CreateSkin = nullptr;
    h.FreeSkin = nullptr;
    h.ShowTVPanel = nullptr;
    h.ApplyPanelLanguage = nullptr;
    h.AllowOSD = nullptr;
    h.ShowTunerItems = nullptr;
    h.ShowCameraItem = nullptr;
}
