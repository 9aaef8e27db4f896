#include "app/shell_views.h"

#include "app/app_modes.h"
#include "app/main_info.h"
#include "app/menu_captions.h"
#include "app/scheduled_module.h"
#include "platform/instance_channel.h"
#include "platform/log.h"
#include "platform/messages.h"

TShellViews ShellViews;

namespace {

// At or below this much free space (the engine's unit) a forced stop is
// reported as "disk full".
constexpr qint64 DiskFullLimit = 500000;

bool FilePlaybackExists()
{
    return ModeEngines.FilePlayback && ModeEngines.FilePlayback->Exists();
}

TMenuContext CurrentMenuContext()
{
    TMenuContext c;
    c.HasTuner = ModeEngines.Capture && ModeEngines.Capture->HasTuner();
    c.Band = ModeEngines.Channels ? ModeEngines.Channels->Band() : uint8_t(ModeUnset);
    c.FullScreen = ModeEngines.Shell && ModeEngines.Shell->FullScreen();
    c.FilePlaybackExists = FilePlaybackExists();
    c.PIPPlaybackRuns = MainInfo && MainInfo->PIPPlayback && c.FilePlaybackExists;
    c.FMAvailable = MainInfo && MainInfo->FMAvailable;
    c.TimeShiftPlayAllowed = ModeEngines.TimeShift && ModeEngines.TimeShift->PlaybackAllowed();
    return c;
}

} // namespace

template <typename F> void TShellViews::Deliver(int targets, F &&f)
{
    for (auto [target, view] : {std::pair{Main, MainWindow}, {TV, TVPanel}, {FM, FMPanel}})
        if ((targets & target) && view && view->ViewVisible())
            f(view);
}

void TShellViews::ModeChanged(uint8_t mode)
{
    Deliver(All, [&](IShellView *v) { v->ModeChanged(mode); });
}

void TShellViews::VolumeChanged(int32_t volume, bool muted)
{
    Deliver(All, [&](IShellView *v) { v->VolumeChanged(volume, muted); });
}

void TShellViews::DigitsTyped(const QString &buffer)
{
    Deliver(All, [&](IShellView *v) { v->DigitsTyped(buffer); });
}

void TShellViews::NumberEntered(const QString &buffer, int value)
{
    Deliver(All, [&](IShellView *v) { v->NumberEntered(buffer, value); });
}

void TShellViews::BandChanged(uint8_t band)
{
    Deliver(Main | TV, [&](IShellView *v) { v->BandChanged(band); });
}

void TShellViews::ChannelChanged(int number, const QString &text)
{
    Deliver(All, [&](IShellView *v) { v->ChannelChanged(number, text); });
}

void TShellViews::SourceChanged(uint8_t source)
{
    Deliver(Main | TV, [&](IShellView *v) { v->SourceChanged(source); });
}

void TShellViews::AudioModeText(const QString &text)
{
    Deliver(Main | TV, [&](IShellView *v) { v->AudioModeText(text); });
}

void TShellViews::RecordingProgress(const TRecordingProgress &progress)
{
    Deliver(All, [&](IShellView *v) { v->RecordingProgress(progress); });
}

void TShellViews::PlayPauseState(bool showPlay)
{
    Deliver(All, [&](IShellView *v) { v->PlayPauseState(showPlay); });
}

void TShellViews::PlaybackPosition(int percent, qint64 positionSeconds, qint64 durationSeconds)
{
    Deliver(All,
            [&](IShellView *v) { v->PlaybackPosition(percent, positionSeconds, durationSeconds); });
}

void TShellViews::PlayItemVisibility(bool visible)
{
    Deliver(Main | TV, [&](IShellView *v) { v->PlayItemVisibility(visible); });
}

void TShellViews::FMPanelUpdate()
{
    Deliver(FM, [&](IShellView *v) { v->FMPanelUpdate(); });
}

void TShellViews::VideoStandardText(const QString &text)
{
    Deliver(TV, [&](IShellView *v) { v->VideoStandardText(text); });
}

void TShellViews::MenuCaptionsChanged()
{
    // Captions are set at start, before the main window is first shown, so
    // a hidden main window takes them too.
    if (MainWindow)
        MainWindow->MenuCaptionsChanged();
}

TMenuState ComputeMenuState(uint8_t mode, const TMenuContext &c)
{
    const bool live = mode == ModeLive;
    const bool preview = mode == ModeChannelPreview;
    const bool playMode = mode == ModePlay || mode == ModeTimeShiftPlay;
    const bool liveOrPip = live || c.PIPPlaybackRuns;
    TMenuState s;
    s.AspectRatio = !preview && !c.FullScreen;
    s.FullScreen = !(preview && c.FilePlaybackExists);
    s.VideoDesktop = live;
    s.DigitalZoom = live && !c.FullScreen;
    s.ChannelSteps = c.HasTuner && liveOrPip;
    s.MemoChannel = c.HasTuner && (c.Band == ModeAntenna || c.Band == ModeCable) && liveOrPip;
    s.ChannelPreview = c.HasTuner && (live || preview);
    s.SwitchSourceEnabled = liveOrPip;
    s.Snapshot = live || playMode;
    s.Capture = s.TimeShifting = s.Setup = s.SleepTimer = live;
    s.Play = live || (mode == ModeTimeShift && c.TimeShiftPlayAllowed);
    s.PlayControls = playMode;
    s.Stop = !live && !preview;
    s.SpeedItems = mode == ModePlay;
    s.RealScreen = mode == ModeTimeShiftPlay;
    s.ResetTV = c.HasTuner && live;
    s.FMMode = c.FMAvailable && live;
    return s;
}

QString StatusCaption(uint8_t mode)
{
    switch (mode) {
    case ModeLive:
        return "Live";
    case ModeChannelPreview:
        return MenuCaption("ChannelPreview");
    case ModeCapture:
        return MenuCaption("Capture");
    case ModeScheduledCapture:
        return MenuCaption("Capture") + " " + MenuCaption("ScheduledRecording");
    case ModePlay:
        return MenuCaption("Play");
    case ModeTimeShift:
        return MenuCaption("TimeShifting");
    case ModeTimeShiftPlay:
        return MenuCaption("Play") + " " + MenuCaption("TimeShifting");
    default:
        return QString();
    }
}

TSourceMenuState ComputeSourceMenuState(uint8_t source, uint8_t band)
{
    TSourceMenuState s;
    const bool tuner = source == SourceTuner;
    s.Antenna = tuner && band == ModeAntenna;
    s.Cable = tuner && band == ModeCable;
    s.Memory = tuner && band == ModeMemory;
    s.Composite = source == SourceComposite;
    s.SVideo = source == SourceSVideo;
    s.Camera = source == SourceCamera;
    s.ChannelItems = tuner;
    auto word = [](const QString &key, const QString &builtIn) {
        const QString t = TranslateKey(key);
        return t.isEmpty() ? builtIn : t;
    };
    if (tuner) {
        if (band == ModeAntenna)
            s.OsdText = word("Antenna", "Antenna");
        else if (band == ModeCable)
            s.OsdText = word("Cable", "Cable");
        else if (band == ModeMemory)
            s.OsdText = word("Memory", "Memory");
    } else if (source == SourceComposite) {
        s.OsdText = MenuCaption("Composite");
    } else if (source == SourceSVideo) {
        s.OsdText = MenuCaption("SVideo");
    } else if (source == SourceCamera) {
        s.OsdText = "Camera";
    }
    return s;
}

void NotifyModeChanged(uint8_t mode)
{
    // The TV line follows the mode whether or not a window shows it.
    if (ModeEngines.Audio) {
        if (mode == ModeLive)
            ModeEngines.Audio->SetLineMute(false);
        else if ((mode == ModePlay || mode == ModeTimeShiftPlay) &&
                 !(MainInfo && MainInfo->PIPPlayback && FilePlaybackExists()))
            ModeEngines.Audio->SetLineMute(true);
    }
    if (mode == ModeLive && ModeEngines.Shell && ModeEngines.Shell->InsetSwapped())
        ModeEngines.Shell->SwapInsetBack();

    IShellView *main = ShellViews.MainWindow;
    if (main && main->ViewVisible()) {
        main->ModeChanged(mode);
        if (mode != ModeFM && mode != ModeNone)
            main->MenuStateChanged(ComputeMenuState(mode, CurrentMenuContext()),
                                   StatusCaption(mode));
    }
    for (IShellView *v : {ShellViews.TVPanel, ShellViews.FMPanel})
        if (v && v->ViewVisible())
            v->ModeChanged(mode);
}

void NotifySourceChanged()
{
    if (!ModeEngines.Channels)
        return;
    const uint8_t source = ModeEngines.Channels->Source();
    ShellViews.SourceChanged(source);
    IShellView *main = ShellViews.MainWindow;
    if (main && main->ViewVisible()) {
        const TSourceMenuState s = ComputeSourceMenuState(source, ModeEngines.Channels->Band());
        main->SourceMenuChanged(s);
        if (ModeEngines.Shell && !s.OsdText.isEmpty())
            ModeEngines.Shell->ShowOSDText(s.OsdText);
    }
}

void NotifyBandChanged(uint8_t band)
{
    ShellViews.BandChanged(band);
    NotifySourceChanged();
}

void NotifyRecordingProgress(const TRecordingProgress &progress)
{
    ShellViews.RecordingProgress(progress);
    if (!progress.MustStop)
        return;
    // Command 1002's action, whatever the views show.
    const bool stopped =
        MainInfo &&
        MainInfo->SetAppMode(ModeEngines.Shell && ModeEngines.Shell->FMPanelVisible() ? ModeFM
                                                                                      : ModeLive);
    if (!stopped)
        qCWarning(lcApp) << "the recording could not be stopped at the engine's request";
    if (progress.FreeSpace > DiskFullLimit)
        return;
    if (progress.Quiet) {
        SendToAgent(AgentReport, 2);
    } else {
        ShowWarning(1101);
    }
}

bool IShellControl::StartAgent()
{
    return StartSchedulingAgent();
}

void ConnectShellViews()
{
    if (MainInfo)
        MainInfo->OnModeChanged = NotifyModeChanged;
}
