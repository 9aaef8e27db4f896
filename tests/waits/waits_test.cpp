// The whole program in this process (start-up, engines, mode machine,
// windows offscreen, the virtual card) with every kind of command and
// timer fired into every wait: while a wait runs nothing may change engine,
// mode or window state; afterwards everything runs, in order. Built with
// AddressSanitizer, so a use of freed memory ends the test.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/app_modes.h"
#include "app/forms/main_window.h"
#include "app/forms/window_module.h"
#include "app/hotkeys.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/startup.h"
#include "capture/capture_info.h"
#include "channels/channel_info.h"
#include "channels/preview_info.h"
#include "platform/filter_registry.h"
#include "platform/gui_wait.h"
#include "platform/messages.h"
#include "platform/program_folder.h"
#include "test_env.h"

// Leaks are not what this program looks for (GStreamer and Qt keep caches
// until exit); any use of freed memory ends it.
extern "C" const char *__asan_default_options() { return "detect_leaks=0:abort_on_error=1"; }

namespace {

struct TQuietPresenter : IWarningPresenter
{
    QStringList Shown;
    void Present(const QStringList &lines) override { Shown << lines.join(' '); }
    void Close() override {}
};

// What must not change inside a wait.
struct TState
{
    int Mode = -1;
    int Channel = -1;
    int Source = -1;
    const void *Engine = nullptr;
    const void *Video = nullptr;
    size_t Cells = 0;
    bool operator==(const TState &) const = default;
};

TState Snapshot()
{
    TState s;
    s.Mode = MainInfo ? MainInfo->AppMode : -1;
    s.Channel = ChannelInfo ? ChannelInfo->CurrentNumber() : -1;
    s.Source = ChannelInfo ? ChannelInfo->Source : -1;
    s.Engine = CaptureInfo;
    s.Video = CaptureInfo ? static_cast<const void *>(CaptureInfo->VideoWindow) : nullptr;
    s.Cells = FormMainWindow ? FormMainWindow->Cells().size() : 0;
    return s;
}

void Pump(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool PumpUntil(const std::function<bool()> &done, int ms = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// The socket's way in: posted, as the instance server does.
void Remote(int command)
{
    QTimer::singleShot(0, qApp, [command] { HandleRemoteCommand(command); });
}

class WaitsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The program folder with the virtual card's stations in its table.
        ProgramFolder::InstallShippedData();
        {
            TChannelInfo table;
            table.ResetToDefaults();
            table.CountryCode = 1;
            table.SystemChoice = 0;
            table.Mode = ModeAntenna;
            ASSERT_TRUE(table.LoadFrequencyTable(0));
            for (int n : {2, 3, 4, 5, 7})
                table.Antenna[n].Enabled = table.Antenna[n].SignalFound = 1;
            table.CurrentChannel = 2;
            ASSERT_TRUE(table.SaveChannelSettings(nullptr));
        }
        SetRendererOverride({}, "fakesink sync=true");
        SetWarningPresenter(&Presenter);
        // Short real waits (a nested loop like the program's), with the
        // test's injections fired inside them.
        SetGuiWaitFunction([this](int ms) { Wait(ms); });
        InitializeModules();
        InitializeWindowModule();
        StartupHooks.CreateFMPanel = [] { return true; };
        Window = new TFormMainWindow;
        FormMainWindow = Window;
        ASSERT_TRUE(Window->FormCreate());
    }
    void TearDown() override
    {
        Inject = nullptr;
        if (Window) {
            Window->close();
            delete Window;
        }
        FinalizeWindowModule();
        FinalizeModules();
        SetGuiWaitFunction(nullptr);
        SetWarningPresenter(nullptr);
        SetRendererOverride({}, {});
        DropHeldBackWork();
    }

    // A wait as the program makes it; the first wait after Arm() fires the
    // injection and checks that nothing changed state while it waited.
    void Wait(int ms)
    {
        const TState before = Snapshot();
        const bool fire = bool(Inject);
        if (fire) {
            std::function<void()> inject = std::move(Inject);
            Inject = nullptr;
            inject();
            ++Fired;
        }
        QEventLoop loop;
        QTimer::singleShot(std::min(ms, 30), &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (fire) {
            EXPECT_EQ(Snapshot(), before) << "state changed inside a wait";
            EXPECT_GT(HeldBackCount(), 0) << "nothing was held back";
        }
    }
    void Arm(std::function<void()> inject) { Inject = std::move(inject); }
    bool Live() { return PumpUntil([] { return MainInfo && MainInfo->AppMode == ModeLive && !WaitRunning(); }); }

    TQuietPresenter Presenter;
    TFormMainWindow *Window = nullptr;
    std::function<void()> Inject;
    int Fired = 0;
};

TEST_F(WaitsTest, ACommandDuringStartUpRunsAfterTheStoredChannelIsRestored)
{
    // Stage 2 is already posted; this arrives while its tune waits.
    Arm([] { Remote(4001); }); // next channel
    ASSERT_TRUE(Live());
    EXPECT_EQ(Fired, 1);
    ASSERT_TRUE(PumpUntil([] { return ChannelInfo->CurrentNumber() == 3; }))
        << "the next channel after the stored 2, not overridden by the restore";
}

TEST_F(WaitsTest, EveryInputAndTimerIntoATuneRunsAfterItInOrder)
{
    ASSERT_TRUE(Live());
    // Inside the first wait of one tune: typed digits whose entry timer
    // completes them, and the agent's request; inside its second wait a
    // remote command. Afterwards: 5 is tuned, the request is refused (no
    // recorder), then the next channel after 5.
    Arm([this] {
        HotkeyControlInfo->EnterChar('5');
        HotkeyControlInfo->Timer().Start(1);
        QTimer::singleShot(0, qApp, [] { RunOutsideWaits([] { StartScheduledRecording(); }, nullptr, true); });
        Inject = [] {
            Remote(4001);
            Remote(300);
        };
    });
    ChannelInfo->SetChannel(4);
    EXPECT_EQ(ChannelInfo->CurrentNumber(), 4) << "the tune that waited finished first";
    EXPECT_EQ(Fired, 2);
    ASSERT_TRUE(PumpUntil([] { return !WaitRunning() && HeldBackCount() == 0; }));
    EXPECT_EQ(ChannelInfo->CurrentNumber(), 7);
    EXPECT_EQ(MainInfo->AppMode, ModeLive) << "no recorder: the scheduled start changed nothing";
}

TEST_F(WaitsTest, FmRoundTripsWithCommandsInsideEveryWait)
{
    ASSERT_TRUE(Live());
    for (int round = 0; round < 4; ++round) {
        // "fm" twice inside the waits of entering FM: in, out, in again.
        Arm([] {
            Remote(6000);
            Remote(6000);
        });
        SubmitCommand(6000);
        ASSERT_TRUE(PumpUntil([] { return MainInfo->AppMode == ModeFM && !WaitRunning() && HeldBackCount() == 0; }))
            << "round " << round;
        Arm([] { Remote(6000); });
        SubmitCommand(6000);
        ASSERT_TRUE(PumpUntil([] { return MainInfo->AppMode == ModeFM && !WaitRunning() && HeldBackCount() == 0; }));
        SubmitCommand(6000);
        ASSERT_TRUE(Live()) << "round " << round;
    }
    EXPECT_GE(Fired, 8);
}

TEST_F(WaitsTest, InputDuringAnFmSeekStopsItAndRunsAfterwards)
{
    ASSERT_TRUE(Live());
    const int channel = ChannelInfo->CurrentNumber();
    const int tv = CaptureInfo->TVFrequency;
    SubmitCommand(6000);
    ASSERT_TRUE(PumpUntil([] { return MainInfo->AppMode == ModeFM && !WaitRunning(); }));
    // Leaving FM while a seek runs: the seek stops, then TV comes back with
    // the channel it had (not snow).
    Arm([] { Remote(6000); });
    SubmitCommand(6002); // seek down
    ASSERT_TRUE(Live());
    ASSERT_TRUE(PumpUntil([] { return HeldBackCount() == 0 && !WaitRunning(); }));
    EXPECT_EQ(ChannelInfo->CurrentNumber(), channel);
    EXPECT_EQ(CaptureInfo->TVFrequency, tv);
    EXPECT_EQ(CaptureInfo->SeekActive, 0);
    TTunerStatus status;
    ASSERT_EQ(CaptureInfo->Tuner->GetStatus(status), 0);
    EXPECT_EQ(status.CurrentFrequency, tv) << "the tuner is where the channel is";
    EXPECT_GT(status.SignalStrength, 0);
}

TEST_F(WaitsTest, InputDuringAScanRunsAfterItAndTheScanCommandStopsIt)
{
    ASSERT_TRUE(Live());
    // Inside the scan's first tune: a panel command, held until the scan is
    // over, and the remote scan command, which stops the scan at once.
    Arm([] {
        SubmitCommand(4001);
        Remote(4004);
    });
    SubmitCommand(4004);
    EXPECT_EQ(Fired, 1);
    EXPECT_EQ(ChannelInfo->Scanning, 0);
    EXPECT_EQ(ChannelInfo->ScanAbort, 1) << "stopped by the second scan command";
    ASSERT_TRUE(PumpUntil([] { return !WaitRunning() && HeldBackCount() == 0; }));
    EXPECT_EQ(ChannelInfo->CurrentNumber(), 3) << "the next channel, after the scan";
    EXPECT_EQ(MainInfo->AppMode, ModeLive);
}

TEST_F(WaitsTest, TheMosaicTimersAndChoiceInsideASamplingTune)
{
    ASSERT_TRUE(Live());
    ChannelInfo->SetChannel(7);
    ASSERT_TRUE(PumpUntil([] { return !WaitRunning() && HeldBackCount() == 0; }));
    SubmitCommand(8); // the mosaic
    ASSERT_EQ(MainInfo->AppMode, ModeChannelPreview);
    ASSERT_TRUE(PumpUntil([] { return !WaitRunning() && HeldBackCount() == 0; }));
    // Sample until three cells show; every sampling step tunes.
    for (int i = 0; i < 2; ++i) {
        Window->SamplingStep();
        ASSERT_TRUE(PumpUntil([] { return !WaitRunning() && HeldBackCount() == 0; }));
    }
    ASSERT_GE(Window->Cells().size(), 3u);
    const int third = Window->Cells()[2].Value;
    ASSERT_GT(third, 0);
    // Inside the next step's tune: both mosaic timers fire, the user goes
    // right three times and chooses.
    Arm([this] {
        Window->SamplingTimer()->start(1);
        Window->BlinkTimer()->start(1);
        Remote(5003);
        Remote(5003);
        Remote(5003);
        Remote(5000);
    });
    Window->SamplingStep();
    ASSERT_TRUE(Live());
    ASSERT_TRUE(PumpUntil([] { return HeldBackCount() == 0 && !WaitRunning(); }));
    ASSERT_EQ(Fired, 1);
    // Right from no selection selects the first cell, so the third was
    // chosen: its channel is tuned, and the held sampling tick did not tune
    // another one after the mosaic was left.
    EXPECT_EQ(ChannelInfo->CurrentNumber(), third);
    Pump(100);
    EXPECT_EQ(ChannelInfo->CurrentNumber(), third);
    EXPECT_TRUE(Window->Cells().empty());
}

TEST_F(WaitsTest, ExitRequestedInsideAMosaicTuneClosesCleanly)
{
    ASSERT_TRUE(Live());
    SubmitCommand(8);
    ASSERT_EQ(MainInfo->AppMode, ModeChannelPreview);
    ASSERT_TRUE(PumpUntil([] { return !WaitRunning() && HeldBackCount() == 0; }));
    Arm([] { Remote(1); });
    Window->SamplingStep();
    ASSERT_TRUE(PumpUntil([] { return ShutdownDone(); }));
    EXPECT_FALSE(Window->isVisible());
}

TEST_F(WaitsTest, AGraphUnlinkRunsNoEventsAtAll)
{
    ASSERT_TRUE(Live());
    // Removing a running branch waits for the streaming thread, not in an
    // event loop: a command posted before it is still waiting after it.
    bool ran = false;
    QTimer::singleShot(0, qApp, [&] { ran = true; });
    ASSERT_NE(CaptureInfo->FilterGraph->State(), GST_STATE_NULL);
    CaptureInfo->RemoveDownstream(CaptureInfo->PreviewPin);
    EXPECT_FALSE(ran);
    Pump(50);
    EXPECT_TRUE(ran);
}

} // namespace
