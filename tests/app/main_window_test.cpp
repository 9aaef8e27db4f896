// The main window: aspect constraints, full screen and always on top, the
// mosaic's cells and keys, the wheel, the OSD's placement rules, the sleep
// timer and the digital zoom slider. The power-off action is replaced for
// the whole test program before any test runs.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QWheelEvent>

#include "app/forms/digital_zoom.h"
#include "app/forms/main_panel.h"
#include "app/forms/main_window.h"
#include "app/forms/osd_form.h"
#include "app/forms/sleep_timer.h"
#include "app/ui_info.h"
#include "channels/channel_info.h"
#include "channels/preview_info.h"
#include "mode_fakes.h"
#include "platform/instance_channel.h"
#include "playback/forms/play_list_menu.h"
#include "playback/forms/playback_form.h"
#include "playback/playback_info.h"
#include "test_env.h"

namespace {

int PowerOffs = 0;

// Nothing in this program may switch the machine off.
class NoPowerOff : public ::testing::Environment
{
public:
    void SetUp() override
    {
        SetPowerOffAction([] {
            ++PowerOffs;
            return true;
        });
    }
};
const auto *const g_noPowerOff = ::testing::AddGlobalTestEnvironment(new NoPowerOff);

QString StagedSkin()
{
    return QStringLiteral(LYRA_STAGED_DATA "/skins/default/");
}

// A video window with a surface of its own.
struct FakeDisplay : IVideoDisplay
{
    QWidget *W;
    int Zoom = 0;
    bool Desktop = false;
    explicit FakeDisplay(QWidget *w) : W(w) {}
    QWidget *Widget() const override { return W; }
    bool HasOverlaySurface() const override { return true; }
    int DigitalZoom() const override { return Zoom; }
    void SetDigitalZoom(int z) override { Zoom = z; }
    bool FullScreenDisplay() const override { return false; }
    bool DesktopDisplay() const override { return Desktop; }
    void SetDesktopDisplay(bool on) override { Desktop = on; }
};

class MainWindow : public ModeTest
{
protected:
    TUIInfo *UI = nullptr;
    TFormMainWindow *W = nullptr;
    TChannelInfo Table;
    TPreviewInfo *Preview = nullptr;

    void SetUp() override
    {
        ModeTest::SetUp();
        PowerOffs = 0;
        UI = new TUIInfo;
        ASSERT_TRUE(UI->LoadSkin(StagedSkin(), StagedSkin()));
        UIInfo = UI;
        W = new TFormMainWindow;
        W->Shutdown = [this] { Log.Add("Shutdown"); };
        W->setGeometry(100, 100, 480, 360);
        W->show();
        Preview = new TPreviewInfo(&Table);
        PreviewInfo = Preview;
    }
    void TearDown() override
    {
        delete W;
        delete Preview;
        PreviewInfo = nullptr;
        UIInfo = nullptr;
        delete UI;
        EXPECT_EQ(PowerOffs, 0);
        ModeTest::TearDown();
    }
    QRect Screen() const { return W->screen()->geometry(); }
};

TEST(MainWindowRules, AspectConstraintsAndMinimumSizes)
{
    EXPECT_EQ(ConstrainedHeight(640, 100, 1), 480);
    EXPECT_EQ(ConstrainedHeight(640, 100, 2), 360);
    EXPECT_EQ(ConstrainedHeight(640, 100, 0), 100);
    EXPECT_EQ(MinimumWindowSize(0, false), QSize(200, 200));
    EXPECT_EQ(MinimumWindowSize(1, false), QSize(200, 150));
    EXPECT_EQ(MinimumWindowSize(2, false), QSize(200, 112));
    EXPECT_EQ(MinimumWindowSize(2, true), QSize(600, 400));
}

TEST(MainWindowRules, MosaicLayoutAndKeys)
{
    // 3 x 3 in 1000 x 700: inner 980 x 673.
    EXPECT_EQ(MosaicCellRect({1000, 700}, 3, 0, 0), QRect(15, 22, 316, 214));
    EXPECT_EQ(MosaicCellRect({1000, 700}, 3, 2, 1), QRect(326 + 15, 224 * 2 + 22, 316, 214));
    const auto seven = [](int i) { return i >= 0 && i < 7; };
    EXPECT_EQ(MosaicStep(-1, 39, 3, seven), 0); // no selection: first cell
    EXPECT_EQ(MosaicStep(6, 39, 3, seven), -1); // Right from the seventh: no eighth
    EXPECT_EQ(MosaicStep(2, 39, 3, seven), 3);  // column 3 -> next row
    EXPECT_EQ(MosaicStep(0, 37, 3, seven), -1); // Left from the first: to the ninth, missing
    EXPECT_EQ(MosaicStep(3, 37, 3, seven), 2);  // column 1 -> previous row's end
    EXPECT_EQ(MosaicStep(1, 38, 3, seven), -1); // Up at the edge
    EXPECT_EQ(MosaicStep(4, 40, 3, seven), -1); // Down to a missing cell
    EXPECT_EQ(MosaicStep(1, 40, 3, seven), 4);
    const auto all = [](int i) { return i >= 0 && i < 9; };
    EXPECT_EQ(MosaicStep(0, 37, 3, all), 8); // wraps to the last row
    EXPECT_EQ(MosaicStep(8, 39, 3, all), 0);
}

TEST_F(MainWindow, AspectRatioSizesTheWindow)
{
    W->resize(640, 300);
    W->SetAspectRatio(1);
    EXPECT_EQ(W->height(), 480);
    EXPECT_EQ(Main.AspectRatio, 1);
    W->SetAspectRatio(2);
    EXPECT_EQ(W->height(), 360);
    W->resize(800, 100); // a user's resize keeps the ratio
    EXPECT_EQ(W->height(), 450);
    W->SetAspectRatio(0);
    W->resize(640, 300);
    EXPECT_EQ(W->height(), 300);
}

TEST_F(MainWindow, VideoFillsTheClientInsideTheBorders)
{
    auto *video = new QWidget(W);
    W->SetVideoWindow(video);
    EXPECT_EQ(video->geometry(), QRect(10, 17, 460, 333));
    W->resize(600, 400);
    EXPECT_EQ(video->geometry(), QRect(10, 17, 580, 373));
    W->SetFullScreen(true);
    EXPECT_EQ(video->geometry(), QRect(QPoint(0, 0), Screen().size()));
    W->SetFullScreen(false);
    EXPECT_EQ(video->geometry(), QRect(10, 17, 580, 373));
}

TEST_F(MainWindow, FullScreenRestoresRectangleAndAlwaysOnTop)
{
    W->SetAlwaysOnTop(true);
    W->SetAspectRatio(1);
    const QRect before = W->geometry();
    W->SetFullScreen(true);
    EXPECT_TRUE(W->FullScreen());
    EXPECT_EQ(W->geometry(), Screen());
    EXPECT_EQ(Main.AlwaysOnTop, 0); // in front, but not pinned there
    EXPECT_EQ(Main.AspectRatio, 0);
    EXPECT_FALSE(W->ImageBoarderTop->isVisible());
    EXPECT_FALSE(W->MenuItem("AlwaysOnTop")->isVisible());
    EXPECT_TRUE(W->MenuItem("FullScreen")->isChecked());
    W->SetFullScreen(false);
    EXPECT_EQ(W->geometry(), before);
    EXPECT_EQ(Main.AlwaysOnTop, 1);
    EXPECT_TRUE(W->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(Main.AspectRatio, 1);
    EXPECT_TRUE(W->ImageBoarderTop->isVisible());

    W->SetAlwaysOnTop(false);
    W->SetFullScreen(true);
    W->SetFullScreen(false);
    EXPECT_EQ(Main.AlwaysOnTop, 0);
    EXPECT_FALSE(W->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(MainWindow, VideoDesktopNeedsAnOverlaySurface)
{
    W->SetVideoWindow(new QWidget(W));
    W->SetVideoDesktop(true);
    EXPECT_TRUE(Presenter.ShownNumber(1005));
    EXPECT_EQ(W->WindowState, 0);

    auto display = std::make_unique<FakeDisplay>(new QWidget(W));
    FakeDisplay *d = display.get();
    W->SetVideoDisplay(std::move(display));
    W->SetVideoDesktop(true);
    EXPECT_TRUE(d->Desktop);
    EXPECT_TRUE(W->Wallpaper());
    EXPECT_FALSE(W->isVisible());
    W->LeaveWallpaper();
    EXPECT_FALSE(d->Desktop);
    EXPECT_EQ(W->WindowState, 0);
    EXPECT_TRUE(W->isVisible());
}

TEST_F(MainWindow, DragMovesTheWindow)
{
    const QPoint start = W->pos();
    const auto send = [&](QEvent::Type t, QPoint at, Qt::MouseButton b, Qt::MouseButtons held) {
        QMouseEvent e(t, QPointF(at), QPointF(W->mapToGlobal(at)), b, held, Qt::NoModifier);
        QCoreApplication::sendEvent(W, &e);
    };
    send(QEvent::MouseButtonPress, {200, 200}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, {230, 190}, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {230, 190}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(W->pos(), start + QPoint(30, -10));
}

TEST_F(MainWindow, FourWheelNotchesChangeTheChannelOnce)
{
    TMenuState state;
    state.ChannelSteps = true;
    W->MenuStateChanged(state, QString());
    const auto notch = [&](int delta) {
        QWheelEvent e(QPointF(100, 100), QPointF(W->mapToGlobal(QPoint(100, 100))), QPoint(),
                      QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(W, &e);
    };
    for (int i = 0; i < 3; ++i)
        notch(120);
    EXPECT_FALSE(Log.Has("NextChannel"));
    notch(120);
    EXPECT_EQ(Log.Calls.count("NextChannel"), 1);
    for (int i = 0; i < 4; ++i)
        notch(-120);
    EXPECT_EQ(Log.Calls.count("PreviousChannel"), 1);
    EXPECT_EQ(Log.Calls.count("NextChannel"), 1);

    // Without the channel items the wheel does nothing.
    W->MenuStateChanged(TMenuState(), QString());
    for (int i = 0; i < 8; ++i)
        notch(120);
    EXPECT_EQ(Log.Calls.count("NextChannel"), 1);
}

TEST_F(MainWindow, MosaicCreatesOnlyTheCellsOfTheChannels)
{
    Table.Mode = ModeAntenna;
    for (int n = 1; n <= 7; ++n)
        Table.Antenna[n].Enabled = 1;
    Preview->Dimension = 3;
    ASSERT_EQ(Preview->CellCount(), 7);
    QImage frame(64, 48, QImage::Format_RGB32);
    frame.fill(Qt::darkCyan);
    int grabs = 0;
    W->GrabToSharedImage = [&] {
        ++grabs;
        return frame;
    };
    const QRect before = W->geometry();
    ASSERT_TRUE(W->EnterMosaic());
    EXPECT_EQ(W->Cells().size(), 7u);
    EXPECT_EQ(W->geometry(), Screen());
    EXPECT_TRUE(W->Cells()[0].Image->isVisibleTo(W));
    EXPECT_FALSE(W->Cells()[1].Image->isVisibleTo(W));
    EXPECT_EQ(W->SamplingTimer()->interval(), 3000);
    for (int i = 1; i < 7; ++i)
        W->SamplingStep();
    EXPECT_EQ(grabs, 6);
    EXPECT_EQ(W->SampledCell(), 6);
    EXPECT_FALSE(W->Cells()[0].Image->pixmap().isNull());
    EXPECT_EQ(W->Cells()[6].Caption->text(), QString::number(W->Cells()[6].Value));
    EXPECT_TRUE(Log.Has(QString("SetChannel(%1)").arg(W->Cells()[6].Value)));

    W->MosaicKey(39); // no selection: the first cell
    EXPECT_EQ(W->SelectedCell(), 0);
    W->SelectCell(6);
    W->MosaicKey(39); // Right from the seventh: nothing there
    EXPECT_EQ(W->SelectedCell(), 6);
    W->MosaicKey(38);
    EXPECT_EQ(W->SelectedCell(), 3);

    Log.Calls.clear();
    W->MosaicKey(13); // Enter chooses: tune, back to live
    EXPECT_EQ(Log.Calls.value(0), QString("SetChannel(%1)").arg(W->Cells()[3].Value));
    ASSERT_TRUE(W->LeaveMosaic());
    QCoreApplication::processEvents(); // the posted restore
    EXPECT_TRUE(W->Cells().empty());
    EXPECT_EQ(W->geometry(), before);
}

TEST_F(MainWindow, MosaicCellsWithoutGrabShowTheirCaption)
{
    Table.Mode = ModeAntenna;
    for (int n = 1; n <= 4; ++n)
        Table.Antenna[n].Enabled = 1;
    Preview->Dimension = 2;
    ASSERT_TRUE(W->EnterMosaic());
    W->SamplingStep();
    EXPECT_TRUE(W->Cells()[0].Image->pixmap().isNull());
    EXPECT_FALSE(W->Cells()[1].Caption->text().isEmpty());
    W->LeaveMosaic();
}

TEST_F(MainWindow, OsdIsNotShownOverThePanel)
{
    W->AllowOSD();
    W->ShowOSDText("Live", false);
    ASSERT_TRUE(W->OSD()->Showing());
    const QRect osd = W->OSD()->geometry();
    W->HideOSD();

    W->ShowMainPanel();
    ASSERT_NE(FormMainPanel, nullptr);
    FormMainPanel->move(osd.topLeft() - QPoint(20, 20));
    W->ShowOSDText("Live", false);
    EXPECT_FALSE(W->OSD()->Showing());
    FormMainPanel->move(osd.right() + 50, osd.top());
    W->ShowOSDText("Live", false);
    EXPECT_TRUE(W->OSD()->Showing());

    // No OSD during a file playback, none when not allowed.
    File.Open = true;
    W->ShowOSDText("Live", false);
    EXPECT_FALSE(W->OSD()->Showing());
    File.Open = false;
    W->SuppressOSD();
    W->ShowOSDText("Live", false);
    EXPECT_FALSE(W->OSD()->Showing());
}

TEST(OsdRules, PlacementInWindowAndFullScreen)
{
    const QRect screen(0, 0, 1280, 800);
    TOSDPlacement p = PlaceOSD("Live", false, false, screen, QRect(100, 50, 480, 360), 10, 17, 10);
    EXPECT_EQ(p.FontSize, 12);
    EXPECT_EQ(p.Rect, QRect(130, 50 + 360 - 10 - 60, 4 * 12 * 7 / 9, 20));
    EXPECT_FALSE(p.LeftAligned);
    p = PlaceOSD("Live", true, false, screen, QRect(100, 50, 480, 600), 10, 17, 10);
    EXPECT_EQ(p.FontSize, 20);
    EXPECT_EQ(p.Rect.topLeft(), QPoint(130, 87));
    EXPECT_TRUE(p.LeftAligned);
    EXPECT_EQ(PlaceOSD("x", false, false, screen, QRect(0, 0, 300, 280), 10, 17, 10).FontSize, 8);
    p = PlaceOSD("Channel", false, true, screen, QRect(), 10, 17, 10);
    EXPECT_EQ(p.FontSize, 36);
    EXPECT_EQ(p.Rect, QRect(640 - 7 * 36 * 7 / 9 / 2, 800 - 144, 7 * 36 * 7 / 9, 800 / 15));
    EXPECT_EQ(PlaceOSD("a", true, true, QRect(0, 0, 800, 600), QRect(), 10, 17, 10).Rect.topLeft(),
              QPoint(20, 10));
}

TEST_F(MainWindow, SleepTimerOkWithZeroStopsCancelSetsZero)
{
    Main.SleepMinutes = 30;
    W->ApplySleepTimer();
    EXPECT_TRUE(W->TimerSleeping.isActive());
    EXPECT_EQ(W->TimerSleeping.interval(), 30 * 60000);
    {
        TFormSleepingTimer dialog(W);
        EXPECT_EQ(dialog.TrackBarSleepingTimer->value(), 30);
        dialog.TrackBarSleepingTimer->setValue(0);
        EXPECT_EQ(dialog.LabelTimerValue->text(), "0");
        dialog.BitBtnOK->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(Main.SleepMinutes, 0);
    W->ApplySleepTimer();
    EXPECT_FALSE(W->TimerSleeping.isActive());

    Main.SleepMinutes = 45;
    {
        TFormSleepingTimer dialog(W);
        EXPECT_EQ(dialog.TrackBarSleepingTimer->value(), 45);
        dialog.TrackBarSleepingTimer->setValue(90);
        dialog.BitBtnCancel->click();
    }
    EXPECT_EQ(Main.SleepMinutes, 0);
}

TEST_F(MainWindow, SleepExpiryTellsTheAgentOrPowersOff)
{
    bool expired = false;
    W->OnSleepExpired = [&] { expired = true; };
    W->TimerSleepingTimer();
    EXPECT_TRUE(expired);
    EXPECT_TRUE(Log.Has("Shutdown"));
    EXPECT_FALSE(W->isVisible());

    EXPECT_EQ(SleepExpired(), 2); // nobody listens: the (replaced) power-off
    EXPECT_EQ(PowerOffs, 1);
    PowerOffs = 0;

    TInstanceServer agent(AgentName);
    int got = 0;
    agent.Handler = [&](const TInstanceMessageData &m) {
        got = m.Number;
        return QByteArray();
    };
    ASSERT_TRUE(agent.Listen());
    EXPECT_EQ(SleepExpired(), 1);
    for (int i = 0; i < 50 && !got; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(got, int(AgentSleepExpired));
    EXPECT_EQ(PowerOffs, 0);
}

TEST_F(MainWindow, DigitalZoomClosesItselfWhenLeftAlone)
{
    FakeDisplay display(new QWidget(W));
    display.Zoom = 40;
    TFormDigitalZoom zoom(&display, W);
    EXPECT_EQ(zoom.TrackBarZoom->value(), 40);
    zoom.show();
    for (int i = 0; i < 6; ++i) {
        zoom.TrackBarZoom->setValue(50 + i); // moving keeps it open
        zoom.TimerCheckResultTimer();
    }
    EXPECT_TRUE(zoom.isVisible());
    EXPECT_EQ(display.Zoom, 55);
    // The last change came before the last tick: two more ticks and it goes.
    zoom.TimerCheckResultTimer();
    EXPECT_TRUE(zoom.isVisible());
    zoom.TimerCheckResultTimer();
    EXPECT_FALSE(zoom.isVisible());
    EXPECT_EQ(zoom.result(), QDialog::Accepted);

    // A window without a surface refuses the slider.
    W->SetVideoWindow(new QWidget(W));
    W->ShowDigitalZoomSlider();
    EXPECT_TRUE(Presenter.ShownNumber(1005));
}

} // namespace

// The mode machine opens the Playback dialog and the play-list window through
// the main window, and leaving playback closes the window.
TEST_F(MainWindow, PlaybackGoesThroughTheDialogAndThePlayListWindow)
{
    ModeEngines.Shell = W;
    const QString folder = TestEnv::NewFolder("rec");
    TPlaybackInfo lists;
    for (const char *name : {"b.mpg", "a.mpg"}) {
        auto item = std::make_unique<TPlaybackItem>();
        item->FileName = TestEnv::WriteFile(folder + "/" + name, "x");
        lists.AddDoneItem(std::move(item));
    }
    lists.PlayFile = [this](const QString &file) {
        Log.Add("PlayFile " + file.section('/', -1));
        return true;
    };
    PlaybackInfo = &lists;
    TPlaybackDialogHooks hooks;
    hooks.Opened = [](QDialog *d) {
        QTimer::singleShot(0, d, [d] {
            auto *form = static_cast<TFormPlayback *>(d);
            form->DoneRowDoubleClick(1);
            form->DoneRowDoubleClick(0);
            form->BitBtnOKClick();
        });
    };
    SetPlaybackDialogHooks(hooks);
    File.Items = 2;

    ASSERT_TRUE(Main.SetAppMode(ModePlay));
    EXPECT_EQ(lists.PlayList, QStringList({folder + "/b.mpg", folder + "/a.mpg"}));
    ASSERT_TRUE(W->PlayListWindowOpen());
    // The engine here is a fake: item 0 starts as the real one starts it.
    lists.PlayItem(0);
    TFormPlayListMenu *window = PlayListMenu();
    EXPECT_EQ(window->parentWidget(), W);
    EXPECT_EQ(window->Lines(), QStringList({"b.mpg", "a.mpg"}));

    // The engine's end of a file: the window plays the next one.
    W->PlayNextFromPlayListWindow();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Log.Has("PlayFile a.mpg"));

    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_FALSE(W->PlayListWindowOpen());
    SetPlaybackDialogHooks({});
    PlaybackInfo = nullptr;
}
