// TFormMainPanel: the TV control panel, a borderless window shaped like a
// remote control. Its face is the skin (TUIInfo's four looks); clicking a hot
// region executes the region's command through ExecuteCommand. It shows the
// clock, the mode, the recording size and time, the channel number, the TV
// audio mode, a volume bar, a mute lamp and a position bar.
//
// Created on the first TV start, freed with the application; GUI thread only.
#pragma once

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "app/shell_views.h"
#include "app/skin_regions.h"

class TShapeImage;
class TUIInfo;

// The Enabled flags of the TV panel's regions for a mode.
struct TPanelContext
{
    bool TunerSource = true;
    bool HasMixer = false;
    bool PIPPlaybackRuns = false;
    bool TimeShiftPlayAllowed = false;
};
std::array<bool, Skin::TVRegionCount> PanelEnabledFlags(uint8_t mode, const TPanelContext &context);

// Where a panel goes beside a main window of the given size (also used for
// the FM panel).
QPoint PanelPlacement(const QSize &screen, const QSize &mainWindow, const QSize &panel);

// The volume (0..65536) a point at height y of the volume bar stands for.
int32_t VolumeFromPoint(const Skin::TRect &bar, int y);

// One of the panel's text buttons: its text over the skin's light key, black,
// red while the mouse is over it.
class TPanelTextButton : public QLabel
{
    Q_OBJECT
public:
    TPanelTextButton(const QString &text, int command, QWidget *parent);
    int Command;
    void SetHot(bool hot);

protected:
    void enterEvent(QEnterEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
};

class TFormMainPanel : public QWidget, public IShellView
{
    Q_OBJECT
public:
    // The skin layout must outlive the panel.
    explicit TFormMainPanel(TUIInfo *ui, QWidget *parent = nullptr);
    ~TFormMainPanel() override;

    static constexpr int NoRegion = Skin::TVRegionCount;

    // Placement beside the main window, show, start the clock.
    void ShowPanel(const QWidget *mainWindow);
    void HidePanel();
    // Shown by a click in full screen: on top and focused; off hides it.
    void ShowForFullScreen(bool on);
    bool ShownForFullScreen() const { return FullScreenShown; }

    // Playback position t of total T seconds.
    void PlaybackPosition(qint64 t, qint64 total, bool timeShift);
    // IShellView: a playback's position, as the time-shift or file display.
    void PlaybackPosition(int percent, qint64 positionSeconds, qint64 durationSeconds) override;
    // Seeks the playback to p of w (the position bar's width); installed by
    // the playback side, nothing happens without it.
    std::function<void(int p, int w)> OnSeek;
    // Whether the recording clock runs and the sleep timer runs, for the
    // blinking labels.
    std::function<bool()> Recording;
    std::function<bool()> SleepTimerRunning;

    // The texts of the hints and the text buttons in the current language.
    void ApplyLanguage();
    // One tick of TimerShowTime.
    void ShowTime();

    // IShellView
    bool ViewVisible() const override { return isVisible(); }
    void ModeChanged(uint8_t mode) override;
    void VolumeChanged(int32_t volume, bool muted) override;
    void NumberEntered(const QString &buffer, int value) override;
    void ChannelChanged(int number, const QString &text) override;
    void SourceChanged(uint8_t source) override;
    void AudioModeText(const QString &text) override;
    void RecordingProgress(const TRecordingProgress &progress) override;
    void PlayPauseState(bool showPlay) override;
    void PlayItemVisibility(bool visible) override;
    void VideoStandardText(const QString &text) override;

    int CurrentRegion() const { return Current; }
    bool RegionEnabled(int r) const { return r >= 0 && r < NoRegion && Enabled(r); }
    // The face as it is painted now, for tests and screenshots.
    const QImage &Face() const;
    TShapeImage *ShapeImageSkin = nullptr;

    QLabel *LabelTime, *LabelPAVOState, *LabelDuration, *LabelCurretPos, *LabelTVChannelAudio,
        *LabelVideoStandard, *LabelChannel, *LabelSleep;
    TPanelTextButton *PanelVideoSource, *PanelFMMode, *PaneliEPG;
    QTimer TimerShowTime;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool Enabled(int r) const;
    void SetEnabled(int r, bool on);
    void PaintRegion(int r, int look);
    void PaintAtRest(int r);
    void MouseDown(QMouseEvent *e);
    void MouseMove(QMouseEvent *e);
    void MouseUp(QMouseEvent *e);
    void Hover(const QPoint &pos);
    void Seek(int x);
    void SetVolumeFrom(int y);
    void ApplyEnabled(uint8_t mode);
    void ShowHint(int region, const QPoint &global);
    void RefreshAll();
    TPanelContext Context() const;

    TUIInfo *UI;
    int Current = NoRegion;
    bool Pressed = false;
    QPoint DragOrigin;
    bool FullScreenShown = false;
    uint8_t ShownMode = 0xff;
};

extern TFormMainPanel *FormMainPanel;
