#include "app/modes_module.h"

#include "app/app_modes.h"
#include "app/audio_adjust.h"
#include "app/channel_control.h"
#include "app/hotkeys.h"
#include "app/main_info.h"
#include "app/menu_captions.h"
#include "app/mode_engines.h"
#include "app/remote_status.h"
#include "app/shell_views.h"
#include "app/startup.h"

namespace {

// The dispatcher's view of the audio settings object.
class TAudioAdjustControl : public IAudioControl
{
public:
    bool HasMixer() const override { return AudioAdjustInfo && AudioAdjustInfo->HasMixer; }
    int32_t Volume() const override { return AudioAdjustInfo ? AudioAdjustInfo->Volume : 0; }
    bool Muted() const override { return AudioAdjustInfo && AudioAdjustInfo->Muted; }
    void SetVolume(int32_t volume) override
    {
        if (AudioAdjustInfo)
            AudioAdjustInfo->SetVolume(volume);
    }
    void SetMute(bool on) override
    {
        if (AudioAdjustInfo)
            AudioAdjustInfo->SetMute(on);
    }
    void SetLineMute(bool on) override
    {
        if (AudioAdjustInfo)
            AudioAdjustInfo->SetLineMute(on);
    }
};

TAudioAdjustControl g_audio;

} // namespace

void InitializeModesModule()
{
    ConnectShellViews();
    ModeEngines.Audio = &g_audio;
    InstallChannelControl();
    if (AudioAdjustInfo)
        AudioAdjustInfo->OnVolumeChanged = [](TAudioAdjustInfo *, int32_t volume, bool muted) {
            ShellViews.VolumeChanged(volume, muted);
        };
    StartupHooks.CreateHotkeys = [] {
        if (!HotkeyControlInfo) {
            HotkeyControlInfo = new THotkeyControlInfo;
            ConnectHotkeys(HotkeyControlInfo);
        }
    };
    StartupHooks.CreateHotkeys();
    StartupHooks.FreeHotkeys = [] {
        delete HotkeyControlInfo;
        HotkeyControlInfo = nullptr;
    };
    StartupHooks.SetAppMode = [](int mode) {
        return MainInfo && mode >= 0 && mode <= ModeNone && MainInfo->SetAppMode(uint8_t(mode));
    };
    StartupHooks.ExecuteCommand = [](int command) { ExecuteCommand(command); };
    StartupHooks.HandleRemoteCommand = HandleRemoteCommand;
    StartupHooks.RemoteStatus = RemoteStatusJson;
    StartupHooks.ApplyMenuLanguage = ApplyMenuLanguage;
    if (!StartupHooks.FMPanelVisible)
        StartupHooks.FMPanelVisible = [] {
            return ModeEngines.Shell && ModeEngines.Shell->FMPanelVisible();
        };
}

void FinalizeModesModule()
{
    RemoveChannelControl();
    StartupHooks.SetAppMode = nullptr;
    StartupHooks.ExecuteCommand = nullptr;
    StartupHooks.HandleRemoteCommand = nullptr;
    StartupHooks.RemoteStatus = nullptr;
    StartupHooks.ApplyMenuLanguage = nullptr;
    if (StartupHooks.FreeHotkeys)
        StartupHooks.FreeHotkeys();
    StartupHooks.CreateHotkeys = nullptr;
    StartupHooks.FreeHotkeys = nullptr;
    if (ModeEngines.Audio == &g_audio)
        ModeEngines.Audio = nullptr;
    if (MainInfo)
        MainInfo->OnModeChanged = nullptr;
}
