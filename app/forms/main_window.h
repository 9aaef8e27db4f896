// The captionless main window that holds the video: a skinned border of four
// images, the title image, a two-button menu image, the pop-up menu, the
// display modes (normal, full screen, video desktop, always on top), the
// aspect-ratio constraint and the channel preview mosaic. It is the shell's
// main view (IShellView), carries out the dispatcher's window actions
// (IShellControl) and is the mosaic of the mode machine (IChannelMosaic).
//
// One per process (FormMainWindow); GUI thread only.
#pragma once

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "app/forms/video_display.h"

class QLabel;
class TFormMainPanel;
class TFormOSD;

// The height a resize request gets under the aspect ratio (0 free, 1 4:3,
// 2 16:9) and the minimum size of the window.
int ConstrainedHeight(int width, int height, int aspect);
QSize MinimumWindowSize(int aspect, bool mosaic);

// The mosaic's cell rectangle (row i, column j from 0) in a client area.
QRect MosaicCellRect(const QSize &client, int n, int row, int column);
// The cell index (row × n + column) an arrow key (37 left, 38 up, 39 right,
// 40 down) leads to from the selected one; -1 when there is none. exists
// tells whether a cell index exists and may be selected.
int MosaicStep(int selected, int key, int n, const std::function<bool(int)> &exists);

class TFormMainWindow : public QWidget,
                        public IShellView,
                        public IShellControl,
                        public IChannelMosaic
{
    Q_OBJECT
public:
    explicit TFormMainWindow(QWidget *parent = nullptr);
    ~TFormMainWindow() override;

    // The creation handler: state, title image, stage 1, then the deferred
    // stage 2. False when stage 1 failed (the program ends).
    bool FormCreate();

    // A second start asked this instance to come to the front.
    void ActivateFirstInstance();

    // Screen-saver state kept between StartDevices and shutdown.
    bool MuteItemVisible = false;
    bool MuteItemChecked = false;
    bool EPGItemVisible = false;
    bool TunerItemsVisible = true;
    bool CameraItemVisible = true;

    uint8_t WindowState = 0; // 0 normal, 1 full screen, 2 video desktop
    int WheelUp = 0, WheelDown = 0;

    QLabel *ImageLogo = nullptr;
    QWidget *ImageBoarderTop, *ImageBoarderBottom, *ImageBoarderLeft, *ImageBoarderRight;
    QWidget *ImageMenu = nullptr; // the two-button menu image
    QTimer TimerSleeping;

    // The video window: the capture engine's widget, created with this window
    // as parent. The engine's video window gets its display interface; any
    // other widget is wrapped so that the display functions are refused.
    void SetVideoWindow(QWidget *widget);
    void SetVideoDisplay(std::unique_ptr<IVideoDisplay> display);
    IVideoDisplay *VideoDisplay() const { return Video.get(); }
    QRect VideoClientRect() const;

    // The engine's snapshot of the current frame for the mosaic's cells;
    // installed by the capture side. Without it the cells show their caption.
    std::function<QImage()> GrabToSharedImage;
    // Swaps live picture and playback in picture-in-picture; installed by the
    // playback side.
    std::function<void(bool swapped)> SwapInset;
    // The snapshot list window, which the OSD must not cover either.
    std::function<const QWidget *()> SnapshotListWindow;

    // Display modes.
    void SetAlwaysOnTop(bool on);
    void SetAspectRatio(int ratio);
    void SetFullScreen(bool on) override;
    void SetVideoDesktop(bool on);
    bool SetChannelPreview(bool on);

    // The TV panel, created on first use.
    TFormMainPanel *MainPanel() const;
    void ShowMainPanel();

    TFormOSD *OSD() const { return FormOSD; }
    void ShowOSDText(const QString &text, bool atTop);
    void HideOSD();

    // Command 12's dialog and its result; the expiry closes the program.
    void ApplySleepTimer();
    void TimerSleepingTimer();
    // Run after the main window has closed on expiry.
    std::function<void()> OnSleepExpired;
    // The orderly shutdown run when the window closes; tests replace it.
    std::function<void()> Shutdown;

    QMenu *PopupMainMenu = nullptr;
    QAction *MenuItem(const QString &key) const;

    // IShellView
    bool ViewVisible() const override { return isVisible(); }
    void ModeChanged(uint8_t mode) override;
    void VolumeChanged(int32_t volume, bool muted) override;
    void ChannelChanged(int number, const QString &text) override;
    void AudioModeText(const QString &text) override;
    void DigitsTyped(const QString &buffer) override;
    void PlayPauseState(bool showPlay) override;
    void PlayItemVisibility(bool visible) override;
    void MenuStateChanged(const TMenuState &state, const QString &statusCaption) override;
    void SourceMenuChanged(const TSourceMenuState &state) override;
    void MenuCaptionsChanged() override;

    // IShellControl
    bool FullScreen() const override { return WindowState == 1; }
    bool Wallpaper() const override { return WindowState == 2; }
    void LeaveWallpaper() override { SetVideoDesktop(false); }
    bool Minimized() const override { return isMinimized(); }
    void Minimize() override;
    void Restore() override;
    void CloseMainWindow() override { close(); }
    void ShowMainWindow() override { show(); }
    void HideMainWindow() override { hide(); }
    void ShowTVPanel() override { ShowMainPanel(); }
    void HideTVPanel() override;
    void ShowFMPanel() override;
    void HideFMPanel() override;
    bool FMPanelVisible() const override;
    bool TVPanelVisible() const override;
    void ShowAddFMFrequency() override;
    void ShowOSDText(const QString &text) override { ShowOSDText(text, false); }
    void SuppressOSD() override;
    void AllowOSD() override;
    void FocusMainWindow() override;
    void ReapplyAlwaysOnTop() override;
    void OpenPopupMenu() override;
    bool InsetSwapped() const override { return InsetSwappedFlag; }
    void SwapInsetBack() override;
    void ShowTextBox(const QString &text) override;
    void ShowSleepTimerDialog() override;
    void ShowSettingsDialog() override;
    void ShowAboutBox() override;
    void RunSetupWizard() override;
    void ShowAddMemoryChannel() override;
    // After a snapshot: the snapshot list, created when needed, refreshed.
    void ShowSnapshotList() override;
    // The Playback dialog and the play-list window (main_window_playback.cpp).
    bool ShowPlaybackDialog() override;
    void OpenPlayListWindow() override;
    void ClosePlayListWindow() override;
    bool PlayListWindowOpen() const override;
    void PlayNextFromPlayListWindow() override;

    // IChannelMosaic
    bool HasMarkedChannels() const override;
    bool EnterMosaic() override { return SetChannelPreview(true); }
    bool LeaveMosaic() override { return SetChannelPreview(false); }
    void TakeSelectedCell() override;
    void MosaicKey(int key) override;

    // The mosaic as it stands (tests and screenshots).
    struct TCell
    {
        QLabel *Image = nullptr;
        QLabel *Caption = nullptr;
        int Value = 0;
        int Row = 0, Column = 0; // from 0
        uint8_t Kind = 0;        // custom layout's entry type
    };
    const std::vector<TCell> &Cells() const { return MosaicCells; }
    int SelectedCell() const { return Selected; }
    int SampledCell() const { return LastSampled; }
    int MosaicSize() const { return GridN; }
    void SamplingStep();
    void BlinkStep();
    void SelectCell(int index);
    void ChooseCell(int index);
    QTimer *SamplingTimer() const { return TimerSampling; }
    QTimer *BlinkTimer() const { return TimerBlink; }

    void ShowDigitalZoomSlider();

    // The saved state of full screen and the mosaic.
    QRect SavedRect() const { return SavedGeometry; }

signals:
    // Queued so that the mosaic is freed after the mode change has finished.
    void RestoreBoundsPosted();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildMenu();
    void ApplyMenuState();
    void PlaceChrome();
    void ShowChrome(bool on);
    void ApplyAspectConstraint();
    void ApplyTitlePicture();
    void ApplyWindowStateItems();
    void BuildMosaic();
    void LayoutMosaic();
    void FreeMosaic();
    void RestoreBounds();
    void DoubleClick();
    void StepWheel(bool up);
    void ApplyVideoWindowState();
    QWidget *VideoWidget() const { return Video ? Video->Widget() : nullptr; }

    std::unique_ptr<IVideoDisplay> Video;
    TFormOSD *FormOSD = nullptr;
    TMenuState MenuState;
    TSourceMenuState SourceMenu;
    QHash<QString, QAction *> Actions;

    int SavedAspect = 0;
    bool SavedAlwaysOnTop = false;
    QRect SavedGeometry;
    bool InsetSwappedFlag = false;
    QPoint DragOrigin;
    bool Dragging = false;
    bool DragMoved = false;
    bool InMosaic = false;
    bool Resizing = false;

    int GridN = 0;
    std::vector<TCell> MosaicCells;
    int Sampling = 1; // 1-based position of the next cell to sample
    int LastSampled = -1;
    int Selected = -1;
    int PreviousSelected = -1;
    QLabel *BlinkLabel = nullptr, *PreviousBlinkLabel = nullptr;
    QTimer *TimerSampling = nullptr, *TimerBlink = nullptr;
};

extern TFormMainWindow *FormMainWindow;
