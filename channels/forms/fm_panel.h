// TFormFMMainPanel: the FM radio's control panel, a borderless window shaped
// like a remote control, on the same skin mechanism as the TV panel (four
// looks and a mask from TUIInfo, hot regions from app/skin_regions.h). It
// shows the frequency on a dial and as text, the memory number, the mode,
// the clock, the volume and the mute lamp; clicks and its pop-up menu send
// commands through SubmitCommand.
//
// Created in start-up stage 2 (or on first use) and kept; GUI thread only.
#pragma once

#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>

#include "app/shell_views.h"
#include "app/skin_regions.h"

class TShapeImage;
class TUIInfo;
class TPanelTextButton;

// What the FM panel's Enabled flags look at besides the mode.
struct TFMPanelContext
{
    bool HasMixer = false;
};
std::array<bool, Skin::FMRegionCount> FMPanelEnabledFlags(uint8_t mode,
                                                          const TFMPanelContext &context);

class TFormFMMainPanel : public QWidget, public IShellView
{
    Q_OBJECT
public:
    // The skin layout must outlive the panel.
    explicit TFormFMMainPanel(TUIInfo *ui, QWidget *parent = nullptr);
    ~TFormFMMainPanel() override;

    static constexpr int NoRegion = Skin::FMRegionCount;

    // Where the TV panel goes beside the main window.
    void PlacePanel(const QWidget *mainWindow);
    // Placement, show, start the clock.
    void ShowPanel(const QWidget *mainWindow);
    void HidePanel();

    // Whether the recording clock runs, for the blinking state label.
    std::function<bool()> Recording;
    // Seeks a playback to p of w (the position bar's width); installed by
    // the playback side, nothing happens without it.
    std::function<void(int p, int w)> OnSeek;

    // Hints and menu texts in the current language.
    void ApplyLanguage();
    // One tick of TimerShowTime.
    void ShowTime();

    // IShellView
    bool ViewVisible() const override { return isVisible(); }
    void ModeChanged(uint8_t mode) override;
    void VolumeChanged(int32_t volume, bool muted) override;
    void ChannelChanged(int number, const QString &text) override;
    void PlayPauseState(bool showPlay) override;
    // The position bar filled up to the playback's position.
    void PlaybackPosition(int percent, qint64 positionSeconds, qint64 durationSeconds) override;
    void FMPanelUpdate() override;

    int CurrentRegion() const { return Current; }
    bool RegionEnabled(int r) const { return r >= 0 && r < NoRegion && Enabled(r); }
    // The needle's x from the dial's left end as last drawn (0: none yet).
    int NeedleX() const { return Needle; }
    // The face as it is painted now, for tests and screenshots.
    const QImage &Face() const;
    TShapeImage *ShapeImageSkin = nullptr;

    QLabel *LabelTime, *LabelPAVOState, *LabelCurretPos;
    TPanelTextButton *PanelTVMode;
    QTimer TimerShowTime;
    QMenu *PopupMenu;
    // The pop-up menu's items by command number.
    QAction *MenuItem(int command) const;

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
    void DrawNeedle(int32_t frequency);
    void MouseDown(QMouseEvent *e);
    void MouseMove(QMouseEvent *e);
    void MouseUp(QMouseEvent *e);
    void Hover(const QPoint &pos);
    void ShowHint(int region, const QPoint &global);
    void ApplyEnabled(uint8_t mode);
    void BuildMenu();
    void RefreshAll();

    TUIInfo *UI;
    int Current = NoRegion;
    bool Pressed = false;
    QPoint DragOrigin;
    int Needle = 0;
    QAction *FrequencySeparator = nullptr;
};

extern TFormFMMainPanel *FormFMMainPanel;

// The shell's FM panel operations. Create makes the panel once (false when
// the skin has no FM looks); Show creates it on first use ("Cannot create FM
// panel..." when that fails), places it where the TV panel goes, shows it
// and starts its clock; Hide hides it and stops the clock.
bool CreateFMPanel();
void ShowFMPanel(const QWidget *mainWindow);
void HideFMPanel();
void PlaceFMPanel(const QWidget *mainWindow);
bool FMPanelShown();
void FreeFMPanel();
