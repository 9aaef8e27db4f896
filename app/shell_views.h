// The views of the shell - main window, TV panel, FM panel - as the engines
// and the dispatcher see them: observers that are told of events, and the
// window actions the commands ask for. The windows register themselves in
// ShellViews when they are created and remove themselves when destroyed.
// GUI thread only; nothing here owns a window.
#pragma once

#include <QString>
#include <cstdint>

#include "app/mode_engines.h"

// Visible items of the main window's pop-up menu after a mode change.
struct TMenuState
{
    bool AspectRatio = false; // "Free", "4:3", "16:9" and their group
    bool FullScreen = false;
    bool VideoDesktop = false;
    bool DigitalZoom = false;
    bool ChannelSteps = false; // "Previous Channel", "Next Channel", "Recall Channel"
    bool MemoChannel = false;
    bool ChannelPreview = false;
    bool SwitchSourceEnabled = false;
    bool Snapshot = false;
    bool Capture = false;
    bool TimeShifting = false;
    bool Setup = false;
    bool SleepTimer = false;
    bool Play = false;
    bool PlayControls = false; // "Pause", "Forward", "Backward"
    bool Stop = false;
    bool SpeedItems = false; // "Slow Speed", "Fast Speed"
    bool RealScreen = false;
    bool ResetTV = false;
    bool FMMode = false;
    bool operator==(const TMenuState &) const = default;
};

// What the menu-state rules look at besides the mode.
struct TMenuContext
{
    bool HasTuner = false;
    uint8_t Band = ModeUnset;
    bool FullScreen = false;
    bool PIPPlaybackRuns = false; // picture-in-picture with a file playback
    bool FilePlaybackExists = false;
    bool FMAvailable = false;
    bool TimeShiftPlayAllowed = false;
};

TMenuState ComputeMenuState(uint8_t mode, const TMenuContext &context);

// Status caption of a mode from the current menu captions; empty for
// ModeFM and ModeNone.
QString StatusCaption(uint8_t mode);

// Check marks and texts after a video source or band change.
struct TSourceMenuState
{
    bool Antenna = false, Cable = false, Memory = false;
    bool Composite = false, SVideo = false, Camera = false;
    bool ChannelItems = false;
    QString OsdText;
    bool operator==(const TSourceMenuState &) const = default;
};

TSourceMenuState ComputeSourceMenuState(uint8_t source, uint8_t band);

class IShellView
{
public:
    virtual ~IShellView() = default;
    virtual bool ViewVisible() const = 0;

    virtual void ModeChanged(uint8_t mode) {}
    virtual void VolumeChanged(int32_t volume, bool muted) {}
    virtual void DigitsTyped(const QString &buffer) {}
    virtual void NumberEntered(const QString &buffer, int value) {}
    virtual void BandChanged(uint8_t band) {}
    virtual void ChannelChanged(int number, const QString &text) {}
    virtual void SourceChanged(uint8_t source) {}
    virtual void AudioModeText(const QString &text) {}
    virtual void RecordingProgress(const TRecordingProgress &progress) {}
    // showPlay: "Play" shown and "Pause" hidden (paused); else the reverse.
    virtual void PlayPauseState(bool showPlay) {}
    // A playback's position (the one-second clock, a seek).
    virtual void PlaybackPosition(int percent, qint64 positionSeconds, qint64 durationSeconds) {}
    virtual void PlayItemVisibility(bool visible) {}
    virtual void FMPanelUpdate() {}
    virtual void VideoStandardText(const QString &text) {}

    // Main window only.
    virtual void MenuStateChanged(const TMenuState &state, const QString &statusCaption) {}
    virtual void SourceMenuChanged(const TSourceMenuState &state) {}
    // Captions (MenuCaption) and the language's menu font changed.
    virtual void MenuCaptionsChanged() {}
};

// Window actions the commands need. A shell without windows (start-up
// before the main window exists, tests) leaves these at their defaults.
class IShellControl
{
public:
    virtual ~IShellControl() = default;
    virtual bool FullScreen() const { return false; }
    virtual void SetFullScreen(bool on) {}
    virtual bool Wallpaper() const { return false; }
    virtual void LeaveWallpaper() {}
    virtual bool Minimized() const { return false; }
    virtual void Minimize() {}
    virtual void Restore() {}
    virtual void CloseMainWindow() {}
    virtual void ShowMainWindow() {}
    virtual void HideMainWindow() {}
    virtual void ShowTVPanel() {}
    virtual void HideTVPanel() {}
    virtual void ShowFMPanel() {}
    virtual void HideFMPanel() {}
    virtual bool FMPanelVisible() const { return false; }
    virtual bool TVPanelVisible() const { return false; }
    virtual void ShowOSDText(const QString &text) {}
    // Hides the OSD and keeps it hidden until AllowOSD.
    virtual void SuppressOSD() {}
    virtual void AllowOSD() {}
    virtual void FocusMainWindow() {}
    virtual void ReapplyAlwaysOnTop() {}
    virtual void OpenPopupMenu() {}
    virtual bool InsetSwapped() const { return false; }
    virtual void SwapInsetBack() {}
    virtual void ShowTextBox(const QString &text) {}

    virtual void ShowSettingsDialog() {}
    virtual void RunSetupWizard() {}
    virtual void ShowSleepTimerDialog() {}
    virtual void ShowAboutBox() {}
    virtual void ShowAddMemoryChannel() {}
    virtual void ShowAddFMFrequency() {}
    virtual void ShowSnapshotList() {}
    // The playback dialog; false when cancelled.
    virtual bool ShowPlaybackDialog() { return false; }
    virtual void OpenPlayListWindow() {}
    virtual void ClosePlayListWindow() {}
    // The play-list window is open. When the playing file ends, the
    // playback engine's end handler calls PlayNextFromPlayListWindow while
    // it is: the window plays the next item once the handler has returned.
    virtual bool PlayListWindowOpen() const { return false; }
    virtual void PlayNextFromPlayListWindow() {}
    // Starts the scheduling agent program; false when it cannot be started.
    virtual bool StartAgent();
};

// Fans events out to the main window, the TV panel and the FM panel, in that
// order, each only when it exists and is visible.
class TShellViews
{
public:
    IShellView *MainWindow = nullptr;
    IShellView *TVPanel = nullptr;
    IShellView *FMPanel = nullptr;

    void ModeChanged(uint8_t mode);
    void VolumeChanged(int32_t volume, bool muted);
    void DigitsTyped(const QString &buffer);
    void NumberEntered(const QString &buffer, int value);
    void BandChanged(uint8_t band);
    void ChannelChanged(int number, const QString &text);
    void SourceChanged(uint8_t source);
    void AudioModeText(const QString &text);
    void RecordingProgress(const TRecordingProgress &progress);
    void PlayPauseState(bool showPlay);
    void PlaybackPosition(int percent, qint64 positionSeconds, qint64 durationSeconds);
    void PlayItemVisibility(bool visible);
    void FMPanelUpdate();
    void VideoStandardText(const QString &text);
    void MenuCaptionsChanged();

private:
    enum Target
    {
        Main = 1,
        TV = 2,
        FM = 4,
        All = 7
    };
    template <typename F> void Deliver(int targets, F &&f);
};

extern TShellViews ShellViews;

// The handler of TMainInfo::OnModeChanged: the fan-out, the main window's
// menu state and status caption, and the TV line mute of the new mode.
void NotifyModeChanged(uint8_t mode);

// Channel-table events as the shell forwards them.
void NotifySourceChanged();
void NotifyBandChanged(uint8_t band);

// Recording progress: the fan-out, then the disk-full rule.
void NotifyRecordingProgress(const TRecordingProgress &progress);

// Installs NotifyModeChanged on the main settings object.
void ConnectShellViews();
