// Snapshots of the live picture on the virtual card: the frame tap into the
// store, saved as JPEG and BMP and read back; and no snapshot from a
// stopped graph.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include "app/app_modes.h"
#include "app/live_engine.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "capture/capture_info.h"
#include "platform/filter_registry.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"
#include "playback/snapshot_info.h"
#include "recording_presenter.h"
#include "snapshot_test_util.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

class SnapshotCapture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MainInfo = &Main;
        SnapshotInfo = &Store;
        SetVideoWindowHost(&Host);
        SetWarningPresenter(&Presenter);
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
        SetRendererOverride({}, "fakesink sync=true");
        TVirtualCard &card = TVirtualCard::Instance();
        card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        card.Reset();
        ASSERT_TRUE(SetVirtualCardProfile("saa7134"));
        Engine = std::make_unique<TCaptureInfo>();
        ASSERT_TRUE(Engine->SelectDevices());
        ASSERT_TRUE(Engine->StartPreview(true));
        ASSERT_NE(Engine->Grabber, nullptr);
        // A station, so that the picture is the test pattern, not snow.
        const auto &stations = card.Stations;
        const auto tv = std::find_if(stations.begin(), stations.end(),
                                     [](const TVirtualStation &s) { return !s.FM; });
        ASSERT_NE(tv, stations.end());
        ASSERT_TRUE(Engine->TuneTV(tv->Frequency, false));
        ASSERT_TRUE(WaitUntil([&] { return Engine->Grabber->FrameCount() >= 3; }));
    }
    void TearDown() override
    {
        if (ModeEngines.Capture == &Live)
            ModeEngines.Capture = nullptr;
        CaptureInfo = nullptr;
        Engine.reset();
        SetVideoWindowHost(nullptr);
        SetWarningPresenter(nullptr);
        SetV4l2Backend(nullptr);
        SetRendererOverride({}, {});
        TVirtualCard::Instance().Reset();
        SnapshotInfo = nullptr;
        MainInfo = nullptr;
    }

    TMainInfo Main;
    TSnapshotInfo Store;
    TVideoWindowHost Host;
    TRecordingPresenter Presenter;
    TLiveEngine Live;
    std::unique_ptr<TCaptureInfo> Engine;
};

TEST_F(SnapshotCapture, FrameIntoTheStoreAndSavedFilesDecodeBack)
{
    ASSERT_TRUE(Engine->TakeSnapshot());
    ASSERT_EQ(Store.Count(), 1);
    const QImage picture = Store.Picture(0);
    TVideoFormat format;
    ASSERT_TRUE(Engine->StreamConfig->GetFormat(format) == 0);
    EXPECT_EQ(picture.size(), QSize(format.Width, format.Height));
    // A station's test pattern, not a black or empty frame.
    QImage black(picture.size(), QImage::Format_RGB888);
    black.fill(Qt::black);
    EXPECT_GT(MeanDifference(picture, black), 30);

    // A second snapshot goes in front.
    ASSERT_TRUE(WaitUntil([&] { return Engine->Grabber->FrameCount() >= 6; }));
    ASSERT_TRUE(Engine->TakeSnapshot());
    ASSERT_EQ(Store.Count(), 2);
    EXPECT_EQ(Store.Picture(1), picture);

    const QString dir = TestEnv::NewFolder("frames");
    ASSERT_TRUE(Store.SaveOne(1, dir + "/frame.jpg"));
    ASSERT_TRUE(Store.SaveOne(1, dir + "/frame.bmp"));
    const QByteArray jpeg = TestEnv::ReadFile(dir + "/frame.jpg");
    const QImage viaLibjpeg = DecodeJpeg(jpeg);
    ASSERT_EQ(viaLibjpeg.size(), picture.size());
    EXPECT_LT(MeanDifference(viaLibjpeg, picture), 6);
    QImage viaQt;
    ASSERT_TRUE(viaQt.loadFromData(jpeg, "JPEG"));
    EXPECT_LT(MeanDifference(viaQt, picture), 6);

    QImage bitmap;
    ASSERT_TRUE(bitmap.load(dir + "/frame.bmp", "BMP"));
    EXPECT_EQ(bitmap.size(), picture.size());
    EXPECT_EQ(MeanDifference(bitmap, picture), 0);
    EXPECT_EQ(ReadBitmapHeader(TestEnv::ReadFile(dir + "/frame.bmp")).BitCount, 24);
}

TEST_F(SnapshotCapture, StoppedGraphGivesMessage1008AndChangesNothing)
{
    ASSERT_TRUE(Engine->TakeSnapshot());
    const QImage before = Store.Picture(0);
    ASSERT_TRUE(Engine->StopGraph());
    ASSERT_TRUE(Engine->FilterGraph->WaitForState());
    // The tap still holds its last frame, but nothing is on screen.
    EXPECT_FALSE(Engine->TakeSnapshot());
    EXPECT_EQ(Store.Count(), 1);

    // The snapshot command in live TV, through the dispatcher.
    CaptureInfo = Engine.get();
    ModeEngines.Capture = &Live;
    Main.AppMode = ModeLive;
    ExecuteCommand(1000);
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_TRUE(Presenter.Shown.front().contains(MessageText(1008)))
        << Presenter.Shown.front().toStdString();
    EXPECT_EQ(Store.Count(), 1);
    EXPECT_EQ(Store.Picture(0), before);

    // Running again, the command takes a snapshot.
    ASSERT_TRUE(Engine->RunGraph());
    const int64_t frames = Engine->Grabber->FrameCount();
    ASSERT_TRUE(WaitUntil([&] { return Engine->Grabber->FrameCount() > frames; }));
    ExecuteCommand(1000);
    EXPECT_EQ(Presenter.Shown.size(), 1);
    EXPECT_EQ(Store.Count(), 2);

    // Without a store there is nowhere to put the frame.
    SnapshotInfo = nullptr;
    EXPECT_FALSE(Engine->TakeSnapshot());
    SnapshotInfo = &Store;
}

} // namespace
