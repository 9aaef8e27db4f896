#include "app/capture_module.h"

#include "app/live_engine.h"
#include "app/startup.h"
#include "capture/capture_info.h"
#include "platform/log.h"
#include "platform/virtual_card.h"

void InitializeCaptureModule()
{
    StartupHooks.CreateCaptureEngine = [] {
        if (!StartArguments.VirtualCard.isEmpty() && !SetVirtualCardProfile(StartArguments.VirtualCard))
            qCWarning(lcApp).noquote()
                << "unknown virtual card profile" << StartArguments.VirtualCard << "(known:"
                << VirtualProfileNames().join(", ") + "); keeping"
                << VirtualProfileName(VirtualCardProfile());
        DisconnectLiveEngine();
        delete CaptureInfo;
        CaptureInfo = new TCaptureInfo;
        ConnectLiveEngine();
        return true;
    };
    StartupHooks.CaptureSettings = []() -> TCaptureSettings * { return CaptureInfo; };
    StartupHooks.CaptureDefaults = [] {
        if (CaptureInfo)
            CaptureInfo->ResetCaptureSettings();
    };
    StartupHooks.SelectDevices = [] { return CaptureInfo && CaptureInfo->SelectDevices(); };
    StartupHooks.HasTuner = [] { return CaptureInfo && CaptureInfo->HasTuner; };
    StartupHooks.HasAuxInput = [] { return CaptureInfo && CaptureInfo->HasAuxInput; };
    StartupHooks.FreeCaptureEngine = [] {
        DisconnectLiveEngine();
        delete CaptureInfo;
        CaptureInfo = nullptr;
    };
}

void FinalizeCaptureModule()
{
    for (auto *hook : {&StartupHooks.HasTuner, &StartupHooks.HasAuxInput})
        *hook = nullptr;
    StartupHooks.CreateCaptureEngine = nullptr;
    StartupHooks.CaptureSettings = nullptr;
    StartupHooks.CaptureDefaults = nullptr;
    StartupHooks.SelectDevices = nullptr;
    StartupHooks.FreeCaptureEngine = nullptr;
    DisconnectLiveEngine();
    delete CaptureInfo;
    CaptureInfo = nullptr;
}
