#include "app/channel_module.h"

#include "app/startup.h"
#include "channels/channel_info.h"
#include "channels/preview_info.h"

void InitializeChannelModule()
{
    if (!ChannelInfo)
        ChannelInfo = new TChannelInfo;
    if (!PreviewInfo)
        PreviewInfo = new TPreviewInfo;
    StartupHooks.LoadChannelSettings = [] { ChannelInfo->LoadChannelSettings(PreviewInfo); };
    // The stored standard reaches the card before any channel is tuned.
    StartupHooks.ApplyStoredStandard = [] {
        ChannelInfo->SetVideoStandard(ChannelInfo->DefaultStandard);
    };
    StartupHooks.ChannelTableUnconfigured = [] { return ChannelInfo->IsUnconfigured(); };
    StartupHooks.SaveChannelSettings = [] { return ChannelInfo->SaveChannelSettings(PreviewInfo); };
}

void FinalizeChannelModule()
{
    StartupHooks.LoadChannelSettings = nullptr;
    StartupHooks.ApplyStoredStandard = nullptr;
    StartupHooks.ChannelTableUnconfigured = nullptr;
    StartupHooks.SaveChannelSettings = nullptr;
    delete PreviewInfo;
    PreviewInfo = nullptr;
    delete ChannelInfo;
    ChannelInfo = nullptr;
}
