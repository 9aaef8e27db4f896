// The main window's pop-up menu, its item rules, the two-button menu image
// and the view notifications that change them.
#include <QActionGroup>
#include <QMouseEvent>
#include <QPainter>

#include "app/app_modes.h"
#include "app/forms/digital_zoom.h"
#include "app/forms/main_panel.h"
#include "app/forms/main_window.h"
#include "app/forms/plain_text.h"
#include "app/main_info.h"
#include "app/menu_captions.h"
#include "app/ui_info.h"
#include "platform/messages.h"

// The 28 x 14 image with the Minimize and Full screen buttons.
class TMenuImage : public QWidget
{
public:
    explicit TMenuImage(QWidget *parent) : QWidget(parent)
    {
        setObjectName("ImageMenu");
        setFixedSize(Skin::MenuImageWidth, Skin::MenuImageHeight);
        setMouseTracking(true);
    }
    int Current = TUIInfo::NoMainButton;
    bool Pressed = false;

protected:
    int ButtonAt(const QPoint &p) const
    {
        return UIInfo ? UIInfo->MainWindowButtonAt(p.x(), p.y()) : TUIInfo::NoMainButton;
    }
    void paintEvent(QPaintEvent *) override
    {
        if (!UIInfo)
            return;
        QPainter p(this);
        p.drawImage(0, 0, UIInfo->MenuLooks[MenuNormal]);
        if (Current < TUIInfo::NoMainButton) {
            const QRect r = UIInfo->MainWindowRegions[Current].Rect();
            p.drawImage(r.topLeft(), UIInfo->MenuLooks[Pressed ? MenuPressed : MenuHover], r);
        }
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        if (e->button() != Qt::LeftButton)
            return;
        Pressed = true;
        Current = ButtonAt(e->position().toPoint());
        update();
    }
    void mouseMoveEvent(QMouseEvent *e) override
    {
        const int b = ButtonAt(e->position().toPoint());
        if (Pressed)
            return;
        if (b != Current) {
            Current = b;
            setToolTip(b < TUIInfo::NoMainButton ? PlainToolTip(UIInfo->MainWindowRegions[b].Hint)
                                                 : QString());
            update();
        }
    }
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        if (e->button() != Qt::LeftButton || !Pressed)
            return;
        Pressed = false;
        const int b = ButtonAt(e->position().toPoint());
        const int pressed = Current;
        Current = b;
        update();
        if (b == pressed && b < TUIInfo::NoMainButton)
            SubmitCommand(Skin::MainWindowButtons[b].Command);
    }
    void leaveEvent(QEvent *) override
    {
        Current = TUIInfo::NoMainButton;
        Pressed = false;
        update();
    }
};

namespace {

struct TItemDef
{
    const char *Key;
    int Command; // 0: handled by the window itself
    bool Checkable = false;
};

} // namespace

QAction *TFormMainWindow::MenuItem(const QString &key) const
{
    return Actions.value(key);
}

void TFormMainWindow::BuildMenu()
{
    ImageMenu = new TMenuImage(this);
    PopupMainMenu = new QMenu(this);
    PopupMainMenu->setObjectName("PopupMainMenu");
    const auto add = [this](QMenu *menu, const char *key, int command, bool checkable = false) {
        QAction *a = menu->addAction(MenuCaption(key));
        a->setCheckable(checkable);
        Actions.insert(key, a);
        if (command)
            connect(a, &QAction::triggered, this, [command] { SubmitCommand(command); });
        return a;
    };
    QMenu *m = PopupMainMenu;
    connect(add(m, "AlwaysOnTop", 0, true), &QAction::triggered, this,
            [this](bool on) { SetAlwaysOnTop(on); });
    QMenu *aspect = m->addMenu(MenuCaption("AspectRatio"));
    Actions.insert("AspectRatio", aspect->menuAction());
    auto *group = new QActionGroup(this);
    for (int i = 0; i < 3; ++i) {
        QAction *a =
            i == 0 ? add(aspect, "Free", 0, true) : aspect->addAction(i == 1 ? "4:3" : "16:9");
        a->setCheckable(true);
        group->addAction(a);
        if (i > 0)
            Actions.insert(i == 1 ? "4:3" : "16:9", a);
        connect(a, &QAction::triggered, this, [this, i] { SetAspectRatio(i); });
    }
    add(m, "FullScreen", 3, true);
    connect(add(m, "WallPaper", 0, true), &QAction::triggered, this,
            [this] { SetVideoDesktop(WindowState != 2); });
    QMenu *source = m->addMenu(MenuCaption("SwitchSource"));
    Actions.insert("SwitchSource", source->menuAction());
    add(source, "Antenna", 201, true);
    add(source, "Cable", 202, true);
    add(source, "Memory", 203, true);
    add(source, "Composite", 204, true);
    add(source, "SVideo", 205, true);
    QAction *camera = source->addAction("Camera");
    camera->setCheckable(true);
    Actions.insert("Camera", camera);
    connect(camera, &QAction::triggered, this, [] { SubmitCommand(200); });
    connect(add(m, "DigitalZoom", 0), &QAction::triggered, this,
            [this] { ShowDigitalZoomSlider(); });
    m->addSeparator();
    add(m, "PreChannel", 4002);
    add(m, "NextChannel", 4001);
    add(m, "RecallChannel", 4003);
    add(m, "FMMemorized", 4005);
    add(m, "ChannelPreview", 8, true);
    m->addSeparator();
    add(m, "Snapshot", 1000);
    add(m, "Capture", 1001);
    add(m, "TimeShifting", 2000);
    add(m, "Play", 3000);
    add(m, "Pause", 1003);
    add(m, "Stop", 1002);
    add(m, "Backward", 1005);
    add(m, "Forward", 1004);
    add(m, "SlowSpeed", 1007);
    add(m, "FastSpeed", 1006);
    add(m, "RealScreen", 2001);
    m->addSeparator();
    add(m, "Mute", 403, true);
    add(m, "Setup", 7);
    add(m, "ResetTV", 9);
    add(m, "FMMode", 6000);
    add(m, "SleepTimer", 12);
    add(m, "ScheduledRecording", 10);
    QAction *epg = m->addAction("iEPG");
    Actions.insert("iEPG", epg);
    connect(epg, &QAction::triggered, this, [] { SubmitCommand(14); });
    m->addSeparator();
    add(m, "About", 13);
    add(m, "Exit", 1);
    ApplyMenuState();
}

void TFormMainWindow::MenuCaptionsChanged()
{
    for (auto it = Actions.cbegin(); it != Actions.cend(); ++it)
        if (it.key() != "4:3" && it.key() != "16:9" && it.key() != "Camera" && it.key() != "iEPG")
            it.value()->setText(MenuCaption(it.key()));
    if (UIInfo)
        update();
}

void TFormMainWindow::ApplyMenuState()
{
    if (!PopupMainMenu)
        return;
    const TMenuState &s = MenuState;
    const auto show = [this](const char *key, bool on) {
        if (QAction *a = MenuItem(key))
            a->setVisible(on);
    };
    show("AspectRatio", s.AspectRatio && WindowState == 0);
    show("FullScreen", s.FullScreen);
    show("WallPaper", s.VideoDesktop);
    show("DigitalZoom", s.DigitalZoom && WindowState == 0);
    for (const char *k : {"PreChannel", "NextChannel", "RecallChannel"})
        show(k, s.ChannelSteps && TunerItemsVisible);
    show("FMMemorized", s.MemoChannel && TunerItemsVisible);
    show("ChannelPreview", s.ChannelPreview && TunerItemsVisible);
    MenuItem("SwitchSource")->setEnabled(s.SwitchSourceEnabled);
    show("Snapshot", s.Snapshot);
    show("Capture", s.Capture);
    show("TimeShifting", s.TimeShifting);
    show("Setup", s.Setup);
    show("SleepTimer", s.SleepTimer);
    show("Play", s.Play);
    for (const char *k : {"Pause", "Forward", "Backward"})
        show(k, s.PlayControls);
    show("Stop", s.Stop);
    show("SlowSpeed", s.SpeedItems);
    show("FastSpeed", s.SpeedItems);
    show("RealScreen", s.RealScreen);
    show("ResetTV", s.ResetTV && TunerItemsVisible);
    show("FMMode", s.FMMode);
    for (const char *k : {"Antenna", "Cable", "Memory"})
        show(k, TunerItemsVisible);
    show("Camera", CameraItemVisible);
    show("Mute", MuteItemVisible);
    MenuItem("Mute")->setChecked(MuteItemChecked);
    show("iEPG", EPGItemVisible);
    ApplyWindowStateItems();
    const TSourceMenuState &src = SourceMenu;
    MenuItem("Antenna")->setChecked(src.Antenna);
    MenuItem("Cable")->setChecked(src.Cable);
    MenuItem("Memory")->setChecked(src.Memory);
    MenuItem("Composite")->setChecked(src.Composite);
    MenuItem("SVideo")->setChecked(src.SVideo);
    MenuItem("Camera")->setChecked(src.Camera);
    MenuItem("ChannelPreview")->setChecked(InMosaic);
    const int aspect = MainInfo ? MainInfo->AspectRatio : 0;
    MenuItem("Free")->setChecked(aspect == 0);
    MenuItem("4:3")->setChecked(aspect == 1);
    MenuItem("16:9")->setChecked(aspect == 2);
}

void TFormMainWindow::ApplyWindowStateItems()
{
    MenuItem("AlwaysOnTop")->setVisible(WindowState != 1);
    MenuItem("AlwaysOnTop")->setEnabled(WindowState == 0 && !InMosaic);
    MenuItem("AlwaysOnTop")->setChecked(MainInfo && MainInfo->AlwaysOnTop);
    MenuItem("FullScreen")->setChecked(WindowState == 1);
    MenuItem("FullScreen")->setEnabled(WindowState != 2);
    MenuItem("WallPaper")->setEnabled(WindowState != 1);
    MenuItem("WallPaper")->setChecked(WindowState == 2);
    MenuItem("AspectRatio")->setVisible(MenuState.AspectRatio && WindowState == 0);
    MenuItem("DigitalZoom")
        ->setVisible(MenuState.DigitalZoom && WindowState == 0 && MainInfo &&
                     MainInfo->AppMode == ModeLive);
}

void TFormMainWindow::OpenPopupMenu()
{
    ApplyMenuState();
    PopupMainMenu->popup(QCursor::pos());
}

void TFormMainWindow::MenuStateChanged(const TMenuState &state, const QString &statusCaption)
{
    MenuState = state;
    ApplyMenuState();
    ShowOSDText(statusCaption, true);
}

void TFormMainWindow::SourceMenuChanged(const TSourceMenuState &state)
{
    SourceMenu = state;
    ApplyMenuState();
}

void TFormMainWindow::ModeChanged(uint8_t mode)
{
    if (mode == ModeFM || mode == ModeNone)
        return;
    ApplyWindowStateItems();
}

void TFormMainWindow::VolumeChanged(int32_t, bool muted)
{
    MuteItemChecked = muted;
    MenuItem("Mute")->setChecked(muted);
}

void TFormMainWindow::ChannelChanged(int number, const QString &text)
{
    ShowOSDText(QString::number(number) + " " + text, false);
}

void TFormMainWindow::AudioModeText(const QString &text)
{
    ShowOSDText(text, false);
}

void TFormMainWindow::DigitsTyped(const QString &buffer)
{
    ShowOSDText(buffer, false);
}

void TFormMainWindow::PlayPauseState(bool showPlay)
{
    MenuItem("Play")->setVisible(showPlay);
    MenuItem("Pause")->setVisible(!showPlay);
}

void TFormMainWindow::PlayItemVisibility(bool visible)
{
    MenuItem("Play")->setVisible(visible);
}

void TFormMainWindow::ShowDigitalZoomSlider()
{
    if (WindowState != 0)
        return;
    if (!Video || !Video->HasOverlaySurface()) {
        ShowWarning(1005);
        return;
    }
    ShowDigitalZoom(Video.get(),
                    geometry().topLeft() +
                        QPoint(Skin::BorderSideWidth + 10, Skin::BorderTopHeight + 10),
                    this);
}
