#include "app/forms/main_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include "app/app_modes.h"
#include "app/audio_adjust.h"
#include "app/forms/about_box.h"
#include "app/forms/main_panel.h"
#include "app/forms/osd_form.h"
#include "app/forms/sleep_timer.h"
#include "app/main_info.h"
#include "app/oem_info.h"
#include "app/playback_module.h"
#include "app/startup.h"
#include "app/ui_info.h"
#include "channels/country_info.h"
#include "channels/forms/channel_dialogs.h"
#include "channels/forms/setup_wizard.h"
#include "channels/forms/add_fm_frequency.h"
#include "channels/forms/fm_panel.h"
#include "platform/gui_wait.h"
#include "platform/messages.h"
#include "platform/program_folder.h"
#include "playback/forms/form_config.h"
#include "playback/forms/snapshot_list.h"

TFormMainWindow *FormMainWindow = nullptr;

namespace {

using Skin::BorderBottomHeight;
using Skin::BorderSideWidth;
using Skin::BorderTopHeight;

// A border image stretched along its edge; clicks go through to the window.
class TBorderImage : public QWidget
{
public:
    TBorderImage(const char *name, QImage TUIInfo::*image, QWidget *parent)
        : QWidget(parent), Image(image)
    {
        setObjectName(name);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        if (UIInfo && !(UIInfo->*Image).isNull())
            p.drawImage(rect(), UIInfo->*Image);
        else
            p.fillRect(rect(), QColor(40, 44, 52));
    }

private:
    QImage TUIInfo::*Image;
};

QScreen *ScreenOf(const QWidget *w)
{
    QScreen *s = w->screen();
    return s ? s : QGuiApplication::primaryScreen();
}

} // namespace

int ConstrainedHeight(int width, int height, int aspect)
{
    if (aspect == 1)
        return width * 3 / 4;
    if (aspect == 2)
        return width * 9 / 16;
    return height;
}

QSize MinimumWindowSize(int aspect, bool mosaic)
{
    if (mosaic)
        return QSize(600, 400);
    return QSize(200, aspect == 1 ? 150 : aspect == 2 ? 112 : 200);
}

TFormMainWindow::TFormMainWindow(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName("FormMainWindow");
    setWindowTitle("Lyra");
    resize(480, 360);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    if (const QScreen *s = ScreenOf(this))
        move(s->availableGeometry().center() - rect().center());

    ImageBoarderTop = new TBorderImage("ImageBoarderTop", &TUIInfo::BorderTop, this);
    ImageBoarderBottom = new TBorderImage("ImageBoarderBottom", &TUIInfo::BorderBottom, this);
    ImageBoarderLeft = new TBorderImage("ImageBoarderLeft", &TUIInfo::BorderLeft, this);
    ImageBoarderRight = new TBorderImage("ImageBoarderRight", &TUIInfo::BorderRight, this);
    ImageLogo = new QLabel(this);
    ImageLogo->setObjectName("ImageLogo");
    ImageLogo->setAttribute(Qt::WA_TransparentForMouseEvents);
    BuildMenu();

    // Timers and posted steps that change state never run inside a wait
    // (platform/gui_wait.h).
    TimerSleeping.setSingleShot(true);
    connect(&TimerSleeping, &QTimer::timeout, this, [this] {
        RunOutsideWaits(
            this, [this] { TimerSleepingTimer(); }, &TimerSleeping);
    });
    connect(
        this, &TFormMainWindow::RestoreBoundsPosted, this,
        [this] {
            RunOutsideWaits(
                this, [this] { RestoreBounds(); }, &SavedGeometry);
        },
        Qt::QueuedConnection);

    FormOSD = new TFormOSD;
    Shutdown = ShutdownApplication;
    ApplyTitlePicture();
    PlaceChrome();
    setMinimumSize(MinimumWindowSize(0, false));

    if (!FormMainWindow)
        FormMainWindow = this;
    ShellViews.MainWindow = this;
    ModeEngines.Shell = this;
    ModeEngines.Mosaic = this;
}

TFormMainWindow::~TFormMainWindow()
{
    FreeMosaic();
    delete FormMainPanel;
    FreeFMPanel();
    delete FormOSD;
    if (ShellViews.MainWindow == this)
        ShellViews.MainWindow = nullptr;
    if (ModeEngines.Shell == this)
        ModeEngines.Shell = nullptr;
    if (ModeEngines.Mosaic == this)
        ModeEngines.Mosaic = nullptr;
    if (FormMainWindow == this)
        FormMainWindow = nullptr;
}

bool TFormMainWindow::FormCreate()
{
    WindowState = 0;
    WheelUp = WheelDown = 0;
    ApplyTitlePicture();
    if (!InitializeApplication())
        return false;
    ApplyTitlePicture();
    update();
    MuteItemVisible = AudioAdjustInfo && AudioAdjustInfo->HasMixer;
    MuteItemChecked = AudioAdjustInfo && AudioAdjustInfo->Muted;
    // Stage 2 runs from the event queue, once this window exists.
    QTimer::singleShot(0, this, [] { DeferredStart(); });
    EPGItemVisible = CountryInfo && CountryInfo->LocaleCountry == 81;
    ApplyMenuState();
    return true;
}

void TFormMainWindow::ApplyTitlePicture()
{
    // An OEM title picture wins over the skin's own.
    QImage title;
    if (OEMInfo && OEMInfo->TitleBitmapPresent)
        title = QImage(ProgramFolder::File("QTitle.bmp"));
    if (title.isNull() && UIInfo)
        title = UIInfo->Title;
    ImageLogo->setPixmap(QPixmap::fromImage(title));
    ImageLogo->adjustSize();
    PlaceChrome();
}

void TFormMainWindow::ActivateFirstInstance()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

QRect TFormMainWindow::VideoClientRect() const
{
    return rect().adjusted(BorderSideWidth, BorderTopHeight, -BorderSideWidth, -BorderBottomHeight);
}

void TFormMainWindow::SetVideoWindow(QWidget *widget)
{
    SetVideoDisplay(MakeVideoDisplay(widget));
}

void TFormMainWindow::SetVideoDisplay(std::unique_ptr<IVideoDisplay> display)
{
    Video = std::move(display);
    if (QWidget *w = VideoWidget()) {
        if (w->parentWidget() != this)
            w->setParent(this);
        // The window's own mouse handling (drag, clicks, wheel, menu) sees
        // what happens over the picture too.
        w->installEventFilter(this);
        w->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        PlaceChrome();
        w->show();
        ImageMenu->raise();
    }
}

void TFormMainWindow::PlaceChrome()
{
    const int w = width(), h = height();
    const bool chrome = WindowState == 0 && !InMosaic;
    ImageBoarderTop->setGeometry(0, 0, w, BorderTopHeight);
    ImageBoarderBottom->setGeometry(0, h - BorderBottomHeight, w, BorderBottomHeight);
    ImageBoarderLeft->setGeometry(0, BorderTopHeight, BorderSideWidth,
                                  h - BorderTopHeight - BorderBottomHeight);
    ImageBoarderRight->setGeometry(w - BorderSideWidth, BorderTopHeight, BorderSideWidth,
                                   h - BorderTopHeight - BorderBottomHeight);
    ImageLogo->move((w - ImageLogo->width()) / 2, 0);
    if (ImageMenu)
        ImageMenu->move(2, 2);
    if (QWidget *v = VideoWidget(); v && !InMosaic)
        v->setGeometry(chrome ? VideoClientRect() : rect());
    ImageLogo->raise();
    if (ImageMenu)
        ImageMenu->raise();
}

void TFormMainWindow::ShowChrome(bool on)
{
    for (QWidget *w : {ImageBoarderTop, ImageBoarderBottom, ImageBoarderLeft, ImageBoarderRight,
                       static_cast<QWidget *>(ImageLogo), ImageMenu})
        w->setVisible(on);
}

void TFormMainWindow::SetAlwaysOnTop(bool on)
{
    if (MainInfo)
        MainInfo->AlwaysOnTop = on ? 1 : 0;
    if (QAction *a = MenuItem("AlwaysOnTop"))
        a->setChecked(on);
    if (bool(windowFlags() & Qt::WindowStaysOnTopHint) == on)
        return;
    // Changing the flag re-creates the native window; keep place and size.
    const bool shown = isVisible();
    const QRect g = geometry();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    setGeometry(g);
    if (shown)
        show();
}

void TFormMainWindow::ReapplyAlwaysOnTop()
{
    if (MainInfo && WindowState == 0)
        SetAlwaysOnTop(MainInfo->AlwaysOnTop);
}

void TFormMainWindow::SetAspectRatio(int ratio)
{
    if (MainInfo)
        MainInfo->AspectRatio = ratio;
    for (int i = 0; i < 3; ++i)
        if (QAction *a = MenuItem(i == 0 ? "Free" : i == 1 ? "4:3" : "16:9"))
            a->setChecked(i == ratio);
    if (WindowState != 1)
        ApplyAspectConstraint();
}

void TFormMainWindow::ApplyAspectConstraint()
{
    const int aspect = MainInfo ? MainInfo->AspectRatio : 0;
    setMinimumSize(MinimumWindowSize(aspect, InMosaic));
    if (InMosaic || WindowState != 0)
        return;
    const int h = std::max(ConstrainedHeight(width(), height(), aspect), minimumHeight());
    if (h != height())
        resize(width(), h);
}

void TFormMainWindow::SetFullScreen(bool on)
{
    if (on == (WindowState == 1))
        return;
    if (on) {
        SavedGeometry = geometry();
        SavedAspect = MainInfo ? MainInfo->AspectRatio : 0;
        if (MainInfo)
            MainInfo->AspectRatio = 0;
        SavedAlwaysOnTop = MainInfo && MainInfo->AlwaysOnTop;
        SetAlwaysOnTop(true);
        if (FormMainPanel)
            FormMainPanel->HidePanel();
        ShowChrome(false);
        WindowState = 1;
        setGeometry(ScreenOf(this)->geometry());
        PlaceChrome();
        raise();
        // In front of the others now, but not pinned there.
        SetAlwaysOnTop(false);
    } else {
        if (MainInfo)
            MainInfo->AspectRatio = SavedAspect;
        if (FormMainPanel)
            FormMainPanel->ShowForFullScreen(false);
        ShowChrome(true);
        WindowState = 0;
        setGeometry(SavedGeometry);
        PlaceChrome();
        ApplyAspectConstraint();
        const bool fmVisible = StartupHooks.FMPanelVisible && StartupHooks.FMPanelVisible();
        if (!fmVisible && FormMainPanel && !FormMainPanel->isVisible())
            FormMainPanel->ShowPanel(this);
        SetAlwaysOnTop(SavedAlwaysOnTop);
    }
    HideOSD();
    ApplyWindowStateItems();
}

void TFormMainWindow::SetVideoDesktop(bool on)
{
    const bool pip = MainInfo && MainInfo->PIPPlayback && ModeEngines.FilePlayback &&
                     ModeEngines.FilePlayback->Exists();
    if (pip || on == (WindowState == 2))
        return;
    if (!Video || !Video->HasOverlaySurface()) {
        ShowWarning(1005);
        return;
    }
    Video->SetDesktopDisplay(on);
    if (on)
        hide();
    else
        show();
    ApplyVideoWindowState();
}

void TFormMainWindow::ApplyVideoWindowState()
{
    WindowState = Video && Video->FullScreenDisplay() ? 1
                  : Video && Video->DesktopDisplay()  ? 2
                                                      : 0;
    ApplyWindowStateItems();
    if (MainInfo && MainInfo->AlwaysOnTop && WindowState == 0)
        SetAlwaysOnTop(true);
}

void TFormMainWindow::Minimize()
{
    showMinimized();
}

void TFormMainWindow::Restore()
{
    showNormal();
}

void TFormMainWindow::HideTVPanel()
{
    if (FormMainPanel)
        FormMainPanel->HidePanel();
}

void TFormMainWindow::ShowFMPanel()
{
    ::ShowFMPanel(this);
}

void TFormMainWindow::HideFMPanel()
{
    ::HideFMPanel();
}

bool TFormMainWindow::FMPanelVisible() const
{
    return FMPanelShown();
}

bool TFormMainWindow::TVPanelVisible() const
{
    return FormMainPanel && FormMainPanel->isVisible();
}

void TFormMainWindow::ShowAddFMFrequency()
{
    MemorizeFM(FormFMMainPanel);
}

TFormMainPanel *TFormMainWindow::MainPanel() const
{
    return FormMainPanel;
}

void TFormMainWindow::ShowMainPanel()
{
    if (!FormMainPanel) {
        if (!UIInfo || UIInfo->TVPanelLooks[LookNormal].isNull()) {
            ShowWarningText("Cannot create main panel...");
            return;
        }
        FormMainPanel = new TFormMainPanel(UIInfo);
        FormMainPanel->SleepTimerRunning = [this] { return TimerSleeping.isActive(); };
        FormMainPanel->OnSeek = [](int p, int w) { SubmitSeek(p * 100 / w); };
        FormMainPanel->Recording = [] {
            return ModeEngines.Recording && ModeEngines.Recording->IsRecording();
        };
    }
    FormMainPanel->ShowPanel(this);
}

void TFormMainWindow::FocusMainWindow()
{
    if (WindowState == 2)
        return;
    raise();
    activateWindow();
}

void TFormMainWindow::SwapInsetBack()
{
    if (!InsetSwappedFlag)
        return;
    InsetSwappedFlag = false;
    if (SwapInset)
        SwapInset(false);
}

void TFormMainWindow::ShowTextBox(const QString &text)
{
    ShowWarningText(text);
}

void TFormMainWindow::ShowOSDText(const QString &text, bool atTop)
{
    if (!FormOSD || !isVisible())
        return;
    HideOSD();
    const TModeEngines &e = ModeEngines;
    const bool playback = (e.FilePlayback && e.FilePlayback->Exists()) ||
                          (e.TimeShiftPlayback && e.TimeShiftPlayback->Exists());
    if (text.isEmpty() || !FormOSD->OSDAllowed || WindowState == 2 || InMosaic || playback ||
        (MainInfo && MainInfo->AppMode == ModeChannelPreview))
        return;
    const QScreen *screen = ScreenOf(this);
    const TOSDPlacement place =
        PlaceOSD(text, atTop, WindowState == 1, screen->geometry(), frameGeometry(),
                 BorderSideWidth, BorderTopHeight, BorderBottomHeight);
    FormOSD->ShowAt(text, place, Video ? Video->ColorKey() : QColor(Qt::black),
                    {FormMainPanel, SnapshotListWindow ? SnapshotListWindow() : nullptr});
}

void TFormMainWindow::HideOSD()
{
    if (FormOSD)
        FormOSD->HideOSD();
}

void TFormMainWindow::SuppressOSD()
{
    HideOSD();
    if (FormOSD)
        FormOSD->OSDAllowed = false;
}

void TFormMainWindow::AllowOSD()
{
    if (FormOSD)
        FormOSD->OSDAllowed = true;
}

void TFormMainWindow::ShowSleepTimerDialog()
{
    RunSleepTimerDialog(this);
    ApplySleepTimer();
}

void TFormMainWindow::ShowSnapshotList()
{
    ::ShowSnapshotList(this);
    if (!SnapshotListWindow)
        SnapshotListWindow = []() -> const QWidget * { return SnapshotListForm(); };
}

void TFormMainWindow::ApplySleepTimer()
{
    const int minutes = MainInfo ? MainInfo->SleepMinutes : 0;
    if (minutes > 0)
        TimerSleeping.start(minutes * 60000);
    else
        TimerSleeping.stop();
    if (FormMainPanel)
        FormMainPanel->LabelSleep->setVisible(minutes > 0);
}

void TFormMainWindow::TimerSleepingTimer()
{
    close();
    if (OnSleepExpired)
        OnSleepExpired();
    else
        SleepExpired();
}

void TFormMainWindow::closeEvent(QCloseEvent *event)
{
    HideOSD();
    if (FormMainPanel)
        FormMainPanel->HidePanel();
    if (Shutdown)
        Shutdown();
    event->accept();
}

void TFormMainWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (MainInfo && WindowState == 0 && MainInfo->AlwaysOnTop)
        SetAlwaysOnTop(true);
    ApplyMenuState();
}

void TFormMainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (InMosaic) {
        LayoutMosaic();
        return;
    }
    if (!Resizing) {
        Resizing = true;
        ApplyAspectConstraint();
        Resizing = false;
    }
    PlaceChrome();
    HideOSD();
}

void TFormMainWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    HideOSD();
}

void TFormMainWindow::RunSetupWizard()
{
    ::RunSetupWizard(false, this);
}

void TFormMainWindow::ShowSettingsDialog()
{
    // OK stored the window's options; they take effect here.
    if (ShowConfigDialog(this) && MainInfo) {
        SetAlwaysOnTop(MainInfo->AlwaysOnTop);
        SetAspectRatio(MainInfo->AspectRatio);
    }
}

void TFormMainWindow::ShowAboutBox()
{
    ::ShowAboutBox(this);
}

void TFormMainWindow::ShowAddMemoryChannel()
{
    AddMemoryChannel(this);
}
