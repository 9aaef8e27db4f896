// A card that goes away while the program records from it: the recording
// ends with what was written finished and kept, the user is told which
// device failed, and the graph stays stopped.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <limits>

#include <gtest/gtest.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "emu_support.h"
#include "media_test_util.h"
#include "platform/filter_registry.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_devices.h"
#include "platform/virtual_card.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

class RecordingOnEmu : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!emutest::Model())
            GTEST_SKIP() << "runs under tools/v4l2-emu only";
        const QString folder = TestEnv::NewFolder("recording");
        Main.CapturePath = folder + "/";
        Main.FMCapturePath = folder + "/fm/";
        MainInfo = &Main;
        SetWarningPresenter(&Presenter);
        SetV4l2Backend(nullptr);
        SetRendererOverride({}, "fakesink sync=true");
        TVirtualCard::Instance().LoadStations(QStringLiteral(LYRA_SOURCE_DIR) +
                                              "/data/VirtualStations.txt");
        TVirtualCard::Instance().Reset();
    }
    void TearDown() override
    {
        Engine.reset();
        SetWarningPresenter(nullptr);
        SetRendererOverride({}, {});
        MainInfo = nullptr;
    }

    TMainInfo Main;
    TRecordingPresenter Presenter;
    std::unique_ptr<TCaptureInfo> Engine;
};

TEST_F(RecordingOnEmu, UnpluggedCardEndsTheRecordingWithTheFileKept)
{
    Engine = std::make_unique<TCaptureInfo>();
    TCaptureInfo &e = *Engine;
    ASSERT_TRUE(e.SelectDevices());
    ASSERT_EQ(e.ChosenVideoIndex, 0); // the emulated card, not the virtual one
    ASSERT_TRUE(e.StartPreview(true)) << Presenter.Shown.join('|').toStdString();
    e.UseDateTimeFileName = false;
    e.CaptureFormat = FormatMPEG1;
    e.CaptureWidth = 320;
    e.CaptureHeight = 240;
    e.BitRate = 1150;
    e.FrameRateIndex = 3;
    // What the shell does when the engine asks for the stop: it ends the
    // recording and goes back to live TV.
    int stops = 0;
    int64_t reportedFree = 0;
    bool stopped = false, live = false;
    e.OnRecordTick = [&](bool stop, bool, int64_t free, int64_t, int64_t) {
        if (!stop)
            return;
        ++stops;
        reportedFree = free;
        stopped = e.StopRecording();
        live = e.StartPreview(false);
    };
    ASSERT_TRUE(e.StartRecording()) << Presenter.Shown.join('|').toStdString();
    const QString file = e.CaptureFileName;

    // The card goes away a few seconds into the preview's stream.
    ASSERT_TRUE(WaitUntil([&] { return stops > 0; }, 25000));
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(e.Capturing);
    // Not a full disk: the shell adds no disk-full message.
    EXPECT_GT(reportedFree, 500000);
    // Live TV is entered, but nothing runs on the failed card.
    EXPECT_TRUE(live);
    EXPECT_TRUE(e.CardFailed);
    EXPECT_EQ(e.FilterGraph->State(), GST_STATE_NULL);
    ASSERT_EQ(Presenter.Shown.size(), 1) << Presenter.Shown.join('|').toStdString();
    EXPECT_TRUE(Presenter.Shown[0].contains(BuiltInMessageText(1002)));
    EXPECT_TRUE(Presenter.Shown[0].contains("/dev/video0: ")) << Presenter.Shown[0].toStdString();

    // What was written before the card went is a finished, playable file.
    ASSERT_TRUE(QFileInfo::exists(file));
    const TDiscovered d = Discover(file);
    EXPECT_TRUE(d.Ok) << d.Error;
    EXPECT_EQ(d.Width, 320);
    ASSERT_NE(d.Duration, GST_CLOCK_TIME_NONE);
    EXPECT_GT(d.Duration, 0u);

    // Later errors of the same failure stay quiet.
    QThread::msleep(300);
    QCoreApplication::processEvents();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(Presenter.Shown.size(), 1);
}

} // namespace
