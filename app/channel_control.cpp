#include "app/channel_control.h"

#include "app/commands.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "app/startup.h"
#include "channels/channel_info.h"
#include "platform/log.h"

namespace {

class TChannelTableControl : public IChannelControl
{
public:
    QString LastText;

    bool Scanning() const override { return ChannelInfo && ChannelInfo->Scanning; }
    void AbortScan() override
    {
        if (ChannelInfo)
            ChannelInfo->ScanAbort = 1;
    }
    bool ScanBand() override
    {
        // The table scan of the list being watched; memory and FM have no
        // band of their own to scan.
        if (!ChannelInfo || (ChannelInfo->Mode != ModeAntenna && ChannelInfo->Mode != ModeCable))
            return false;
        return ChannelInfo->ScanTable(ChannelInfo->Mode == ModeCable ? 1 : 0);
    }
    uint8_t Source() const override
    {
        return ChannelInfo ? ChannelInfo->Source : uint8_t(SourceUnset);
    }
    uint8_t Band() const override { return ChannelInfo ? ChannelInfo->Mode : uint8_t(ModeUnset); }
    int CurrentNumber() const override { return ChannelInfo ? ChannelInfo->CurrentNumber() : 0; }
    QString ChannelText() const override { return LastText; }
    void SetChannel(int number) override
    {
        if (ChannelInfo)
            ChannelInfo->SetChannel(number);
    }
    void NextChannel() override
    {
        if (ChannelInfo)
            ChannelInfo->SetChannel(ChannelInfo->NextNumber());
    }
    void PreviousChannel() override
    {
        if (ChannelInfo)
            ChannelInfo->SetChannel(ChannelInfo->PreviousNumber());
    }
    void RecallChannel() override
    {
        if (ChannelInfo)
            ChannelInfo->Recall();
    }
    bool SelectBand(uint8_t band) override
    {
        if (!ChannelInfo || band > ModeMemory)
            return false;
        ChannelInfo->SetMode(band);
        const bool routed = SelectSource(SourceTuner);
        ApplyStandard(ChannelInfo->DefaultStandard);
        ChannelInfo->SetChannel(ChannelInfo->CurrentNumber());
        return routed;
    }
    bool SelectInput(uint8_t source) override
    {
        if (!ChannelInfo || source < SourceComposite || source > SourceCamera)
            return false;
        const bool routed = SelectSource(source);
        if (source == SourceComposite)
            ApplyStandard(ChannelInfo->CompositeStandard);
        else if (source == SourceSVideo)
            ApplyStandard(ChannelInfo->SVideoStandard);
        return routed;
    }
    uint8_t AudioMode() const override
    {
        return ChannelInfo ? ChannelInfo->AudioMode : AudioModeUnknown;
    }
    uint8_t VideoStandard() const override
    {
        return ChannelInfo ? ChannelInfo->DefaultStandard : uint8_t(StdNone);
    }
    bool SetAudioMode(uint8_t mode) override
    {
        return ChannelInfo && ChannelInfo->SetAudioMode(mode);
    }
    void StoreAudioMode(uint8_t mode) override
    {
        if (!ChannelInfo || (ChannelInfo->Mode != ModeAntenna && ChannelInfo->Mode != ModeCable))
            return;
        const int n = ChannelInfo->CurrentChannel;
        if (n >= 1 && n <= TVChannelCount)
            ChannelInfo->List(ChannelInfo->Mode == ModeAntenna)[n].AudioMode = mode;
    }
    void RestoreState() override
    {
        if (ChannelInfo)
            ChannelInfo->RestoreState();
    }
    void RestoreStoredSource() override
    {
        RestoreSourceAsAtStart(ModeEngines.Capture && ModeEngines.Capture->HasTuner());
    }

private:
    // The table ignores a source equal to the current one; for the shell
    // that source is simply in place.
    static bool SelectSource(uint8_t source)
    {
        return ChannelInfo->Source == source || ChannelInfo->SetSource(source);
    }
};

TChannelTableControl g_control;

} // namespace

void InstallChannelControl()
{
    if (!ChannelInfo)
        return;
    ModeEngines.Channels = &g_control;
    ChannelInfo->OnChannelChange = [](TChannelInfo *, int32_t number, const QString &text) {
        g_control.LastText = text;
        ShellViews.ChannelChanged(number, text);
    };
    ChannelInfo->OnModeChange = [](TChannelInfo *, uint8_t mode) { NotifyBandChanged(mode); };
    ChannelInfo->OnSourceChange = [](TChannelInfo *) { NotifySourceChanged(); };
    ChannelInfo->OnAudioModeChange = [](TChannelInfo *, uint8_t, const QString &text) {
        // The channel's text ends in its sound mode ("name- Mono"): keep it
        // true after the mode changed.
        if (!g_control.LastText.isEmpty() && !text.isEmpty()) {
            const qsizetype at = g_control.LastText.lastIndexOf("- ");
            g_control.LastText =
                (at >= 0 ? g_control.LastText.left(at) : g_control.LastText) + "- " + text;
        }
        ShellViews.AudioModeText(text);
    };
    ChannelInfo->OnStandardChange = [](TChannelInfo *, const QString &name) {
        ShellViews.VideoStandardText(name);
    };
    StartupHooks.RestoreSource = RestoreSourceAsAtStart;
}

void RemoveChannelControl()
{
    if (ModeEngines.Channels == &g_control)
        ModeEngines.Channels = nullptr;
    if (ChannelInfo) {
        ChannelInfo->OnChannelChange = nullptr;
        ChannelInfo->OnModeChange = nullptr;
        ChannelInfo->OnSourceChange = nullptr;
        ChannelInfo->OnAudioModeChange = nullptr;
        ChannelInfo->OnStandardChange = nullptr;
    }
    StartupHooks.RestoreSource = nullptr;
    g_control.LastText.clear();
}
