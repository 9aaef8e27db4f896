#include "app/forms/window_module.h"

#include <QMessageBox>

#include "app/forms/main_panel.h"
#include "app/forms/main_window.h"
#include "app/forms/splash.h"
#include "app/startup.h"
#include "app/ui_info.h"
#include "capture/capture_info.h"
#include "capture/sample_grabber.h"
#include "channels/forms/setup_wizard.h"
#include "channels/forms/fm_panel.h"
#include "platform/video_window.h"
#include "playback/play_file.h"
#include "playback/playback_project.h"

namespace {

// The engine's video windows live in the main window.
TVideoWindowHost g_videoHost;

void AttachEngine()
{
    TFormMainWindow *window = FormMainWindow;
    if (!window || !CaptureInfo)
        return;
    g_videoHost.Owner = window;
    SetVideoWindowHost(&g_videoHost);
    CaptureInfo->OnVideoWindowCreated = [window] {
        if (CaptureInfo && CaptureInfo->VideoWindow)
            window->SetVideoWindow(dynamic_cast<TDSVideoWindowEx2 *>(CaptureInfo->VideoWindow));
    };
    // Picture-in-picture playback: a double click swaps which picture is
    // the inset; the inset goes on top.
    window->SwapInset = [](bool swapped) {
        if (!PlaybackProject || !CaptureInfo)
            return;
        CaptureInfo->SetPictureInPicture(swapped);
        PlaybackProject->SetPipLayout(!swapped);
        IVideoWindow *inset = swapped ? CaptureInfo->VideoWindow : PlaybackProject->Window();
        if (auto *widget = dynamic_cast<QWidget *>(inset))
            widget->raise();
    };
    StartupHooks.PlaybackVideoWindow = [window](IVideoWindow *video, bool attached) {
        IVideoWindow *shown = attached ? video : CaptureInfo ? CaptureInfo->VideoWindow : nullptr;
        if (auto *w = dynamic_cast<TDSVideoWindowEx2 *>(shown))
            window->SetVideoWindow(w);
    };
    window->GrabToSharedImage = [] {
        QImage picture;
        if (CaptureInfo && CaptureInfo->Grabber)
            CaptureInfo->Grabber->GrabFrame(picture);
        return picture;
    };
}

void DetachEngine()
{
    if (CaptureInfo)
        CaptureInfo->OnVideoWindowCreated = nullptr;
    StartupHooks.PlaybackVideoWindow = nullptr;
    if (FormMainWindow) {
        FormMainWindow->GrabToSharedImage = nullptr;
        FormMainWindow->SwapInset = nullptr;
    }
}

} // namespace

void InitializeWindowModule()
{
    TStartupHooks &h = StartupHooks;
    h.ShowSplash = ShowSplash;
    h.RefreshSplash = RefreshSplash;
    h.HideSplash = HideSplash;
    h.ShowMainWindow = [] {
        if (FormMainWindow)
            FormMainWindow->show();
    };
    h.CloseMainWindow = [] {
        if (FormMainWindow)
            FormMainWindow->close();
    };
    h.ShowPlainMessage = [](const QString &text) { QMessageBox::critical(nullptr, "Lyra", text); };
    h.AttachEngineToWindows = AttachEngine;
    h.DetachEngineFromWindows = DetachEngine;
    h.CreateSkin = [] {
        CreateUIInfo();
        if (FormMainWindow) {
            FormMainWindow->MenuCaptionsChanged();
            FormMainWindow->update();
        }
    };
    h.FreeSkin = [] {
        // The panels paint from the skin: they go first.
        delete FormMainPanel;
        FreeFMPanel();
        FreeUIInfo();
    };
    h.ShowTVPanel = [] {
        if (FormMainWindow)
            FormMainWindow->ShowMainPanel();
    };
    h.ApplyPanelLanguage = [] {
        if (FormMainPanel)
            FormMainPanel->ApplyLanguage();
        if (FormFMMainPanel)
            FormFMMainPanel->ApplyLanguage();
    };
    h.CreateFMPanel = CreateFMPanel;
    h.PlaceFMPanel = [] { PlaceFMPanel(FormMainWindow); };
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
    h.RunFirstRunWizard = [] { RunSetupWizard(true, FormMainWindow); };
    // A file playback shows the main window for its picture and puts its
    // visibility back when it ends.
    PlaybackWindowHooks.MainWindowVisible = [] {
        return FormMainWindow && FormMainWindow->isVisible();
    };
    PlaybackWindowHooks.SetMainWindowVisible = [](bool visible) {
        if (FormMainWindow)
            FormMainWindow->setVisible(visible);
    };
}

void FinalizeWindowModule()
{
    TStartupHooks &h = StartupHooks;
    for (auto *hook : {&h.ShowSplash, &h.RefreshSplash, &h.HideSplash, &h.ShowMainWindow,
                       &h.CloseMainWindow, &h.AttachEngineToWindows, &h.DetachEngineFromWindows,
                       &h.FreeSkin, &h.ShowTVPanel, &h.ApplyPanelLanguage, &h.PlaceFMPanel})
        *hook = nullptr;
    h.ShowPlainMessage = nullptr;
    h.CreateSkin = nullptr;
    h.CreateFMPanel = nullptr;
    h.AllowOSD = nullptr;
    h.ShowTunerItems = nullptr;
    h.ShowCameraItem = nullptr;
    h.RunFirstRunWizard = nullptr;
    PlaybackWindowHooks = {};
    if (VideoWindowHost() == &g_videoHost)
        SetVideoWindowHost(nullptr);
    g_videoHost.Owner = nullptr;
}
