#include "capture/fm_switch.h"

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "channels/channel_info.h"
#include "channels/tuner_port.h"
#include "platform/gui_wait.h"

namespace {

constexpr int TVSettleWaitMs = 500;
constexpr int PhilipsAudioWaitMs = 1000;
constexpr int ConexantRetuneWaitMs = 500;

} // namespace

bool EnterFMMode()
{
    if (!CaptureInfo || !ChannelInfo)
        return false;
    TChannelInfo &channels = *ChannelInfo;
    TCaptureInfo &engine = *CaptureInfo;
    channels.SaveState();
    channels.SetSource(SourceTuner);
    engine.SetFMMode(true);
    if (!engine.FMMode) {
        engine.SetFMMode(false);
        channels.RestoreState();
        return false;
    }
    channels.SetMode(ModeFMList);
    channels.SetChannel(channels.CurrentFM);
    // Back to the frequency FM was left on. It is tuned, not only shown:
    // the dial and the sound must agree.
    if (engine.FMFrequency != engine.SavedFMFrequency)
        TuneFMMuted(engine.SavedFMFrequency, true);
    return true;
}

bool LeaveFMMode()
{
    if (!CaptureInfo || !ChannelInfo)
        return false;
    TChannelInfo &channels = *ChannelInfo;
    TCaptureInfo &engine = *CaptureInfo;
    engine.SetFMMode(false);
    engine.SavedFMFrequency = engine.FMFrequency;
    ChannelLineMute(true);
    const bool left = !engine.FMMode;
    if (left) {
        GuiWait(TVSettleWaitMs);
        // Unset first, so that the restore switches the input again.
        channels.SetSource(SourceUnset);
        channels.RestoreState();
        if (channels.Mode == ModeFMList)
            channels.SetMode(ModeAntenna);
        const uint8_t family = MainInfo ? MainInfo->ChipFamily : uint8_t(FamilyNone);
        if (family == FamilyPhilips && channels.AudioMode != 0) {
            GuiWait(PhilipsAudioWaitMs);
            channels.SetAudioMode(channels.AudioMode);
        } else if (family == FamilyConexant && channels.AudioMode == AudioModeUnknown) {
            channels.SetAudioMode(0);
            GuiWait(ConexantRetuneWaitMs);
            channels.SetChannel(channels.CurrentNumber());
        }
    }
    ChannelLineMute(false);
    return left;
}
