// A running preview that fails, on the virtual card: the error reaches the
// engine on the GUI thread, stops the graph and is shown once; errors wait
// for the waits and are forgotten when their run has ended. The crossbar's
// audio routing and the country code on the running preview.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "platform/device_interfaces.h"
#include "platform/filter_registry.h"
#include "platform/gui_wait.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_output.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

// Lets queued bus messages reach the GUI thread.
void Drain(int ms = 200)
{
    WaitUntil([] { return false; }, ms);
}

// Posts an error from the first element inside the capture filter, as a
// source whose card broke would.
void PostCaptureError(TCaptureInfo &engine, const char *text)
{
    GstElement *bin = engine.VCapture->Object()->Bin();
    GstIterator *it = gst_bin_iterate_sources(GST_BIN(bin));
    GValue item = G_VALUE_INIT;
    ASSERT_EQ(gst_iterator_next(it, &item), GST_ITERATOR_OK);
    auto *element = GST_ELEMENT(g_value_get_object(&item));
    GError *error = g_error_new_literal(GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, text);
    gst_element_post_message(element,
                             gst_message_new_error(GST_OBJECT(element), error, "test details"));
    g_error_free(error);
    g_value_unset(&item);
    gst_iterator_free(it);
}

class GraphFailureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MainInfo = &Main;
        PreviousHost = VideoWindowHost();
        SetVideoWindowHost(&Host);
        SetWarningPresenter(&Presenter);
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
        SetRendererOverride("fakesink sync=true", "fakesink sync=true");
        TVirtualCard &card = TVirtualCard::Instance();
        card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        card.Reset();
        Engine = std::make_unique<TCaptureInfo>();
        ASSERT_TRUE(Engine->SelectDevices());
        ASSERT_TRUE(Engine->StartPreview(true)) << Presenter.Shown.join('|').toStdString();
        ASSERT_TRUE(Engine->FilterGraph->WaitForState());
        ASSERT_TRUE(
            WaitUntil([&] { return Engine->Grabber && Engine->Grabber->FrameCount() > 2; }));
    }
    void TearDown() override
    {
        Engine.reset();
        SetVideoWindowHost(PreviousHost);
        SetWarningPresenter(nullptr);
        SetV4l2Backend(nullptr);
        SetRendererOverride({}, {});
        TVirtualCard::Instance().Reset();
        MainInfo = nullptr;
    }
    GstState State() const { return Engine->FilterGraph->State(); }

    TMainInfo Main;
    TVideoWindowHost Host;
    IVideoWindowHost *PreviousHost = nullptr;
    TRecordingPresenter Presenter;
    std::unique_ptr<TCaptureInfo> Engine;
};

TEST_F(GraphFailureTest, AnErrorStopsThePreviewAndIsShownOnceWithItsSource)
{
    PostCaptureError(*Engine, "The card went away");
    PostCaptureError(*Engine, "Internal data stream error");
    ASSERT_TRUE(WaitUntil([&] { return !Presenter.Shown.isEmpty(); }));
    Drain();
    ASSERT_EQ(Presenter.Shown.size(), 1) << Presenter.Shown.join('|').toStdString();
    const QStringList lines = Presenter.Shown[0].split('\n');
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], BuiltInMessageText(1002));
    // The virtual card has no device node: its name says which card.
    EXPECT_EQ(lines[1], Engine->VideoDeviceNames.last() + ": The card went away");
    EXPECT_TRUE(lines[1].startsWith("Lyra Virtual")) << lines[1].toStdString();
    EXPECT_EQ(lines[2], "(1002)");
    EXPECT_EQ(State(), GST_STATE_NULL);

    // The preview starts again on the same objects.
    Presenter.Shown.clear();
    const int64_t frames = Engine->Grabber->FrameCount();
    ASSERT_TRUE(Engine->RunGraph());
    EXPECT_TRUE(WaitUntil([&] { return Engine->Grabber->FrameCount() > frames + 2; }));
    EXPECT_TRUE(Presenter.Shown.isEmpty());
}

TEST_F(GraphFailureTest, ErrorsWaitForTheWaitAndAreForgottenWhenTheirRunEnded)
{
    {
        TWaitScope wait;
        PostCaptureError(*Engine, "broken");
        Drain();
        EXPECT_TRUE(Presenter.Shown.isEmpty());
        EXPECT_EQ(State(), GST_STATE_PLAYING);
        // The operation inside the wait restarts the graph (a tune that
        // pauses does not; a stop does): the held error is of the old run.
        ASSERT_TRUE(Engine->StopGraph());
        ASSERT_TRUE(Engine->RunGraph());
    }
    Drain();
    EXPECT_TRUE(Presenter.Shown.isEmpty());
    ASSERT_TRUE(Engine->FilterGraph->WaitForState());
    EXPECT_EQ(State(), GST_STATE_PLAYING);

    // Held back and still current: it runs once the wait has ended.
    {
        TWaitScope wait;
        PostCaptureError(*Engine, "broken again");
        Drain();
        EXPECT_EQ(State(), GST_STATE_PLAYING);
    }
    ASSERT_TRUE(WaitUntil([&] { return !Presenter.Shown.isEmpty(); }));
    EXPECT_EQ(State(), GST_STATE_NULL);

    // Unattended runs stop without a message.
    Presenter.Shown.clear();
    Engine->Quiet = 1;
    ASSERT_TRUE(Engine->RunGraph());
    PostCaptureError(*Engine, "quietly broken");
    EXPECT_TRUE(WaitUntil([&] { return State() == GST_STATE_NULL; }));
    Drain();
    EXPECT_TRUE(Presenter.Shown.isEmpty());
}

TEST_F(GraphFailureTest, CrossbarAudioFollowsThePictureAndCountryCodeLeavesTheGraphRunning)
{
    ASSERT_EQ(Engine->AudioPath, 1);
    auto *x = Engine->Crossbar->Query<ICrossbar>();
    ASSERT_NE(x, nullptr);
    // On the tuner input the audio decoder takes the audio tuner.
    int input = -1, related = -1, type = 0;
    ASSERT_EQ(x->IsRoutedTo(0, input), 0);
    ASSERT_EQ(x->GetCrossbarPinInfo(true, input, related, type), 0);
    ASSERT_EQ(type, PhysConn_Video_Tuner);
    EXPECT_TRUE(Engine->RouteCrossbarAudio());
    ASSERT_EQ(x->IsRoutedTo(1, input), 0);
    ASSERT_EQ(x->GetCrossbarPinInfo(true, input, related, type), 0);
    EXPECT_EQ(type, PhysConn_Audio_Tuner);

    // On composite the card refuses the tuner's sound: the output keeps the
    // line input that belongs to the picture, and that is success.
    ASSERT_TRUE(Engine->SetInputType(PhysConn_Video_Composite));
    int tunerAudio = -1;
    for (int i = 0; i < 8 && tunerAudio < 0; ++i)
        if (x->GetCrossbarPinInfo(true, i, related, type) == 0 && type == PhysConn_Audio_Tuner)
            tunerAudio = i;
    ASSERT_GE(tunerAudio, 0);
    EXPECT_NE(x->Route(1, tunerAudio), 0);
    EXPECT_TRUE(Engine->RouteCrossbarAudio());
    ASSERT_EQ(x->IsRoutedTo(1, input), 0);
    ASSERT_EQ(x->GetCrossbarPinInfo(true, input, related, type), 0);
    EXPECT_EQ(type, PhysConn_Audio_Line);

    // The country code is kept; the running graph is not restarted for it
    // (a restart chooses a new base time).
    GstElement *pipeline = Engine->FilterGraph->PipelineElement();
    const GstClockTime base = gst_element_get_base_time(pipeline);
    const quint64 run = Engine->FilterGraph->RunSerial();
    ASSERT_TRUE(Engine->SetCountryCode(81));
    EXPECT_EQ(Engine->TunerCountryCode, 81);
    EXPECT_EQ(Engine->FilterGraph->RunSerial(), run);
    EXPECT_EQ(gst_element_get_base_time(pipeline), base);
    EXPECT_EQ(State(), GST_STATE_PLAYING);
}

} // namespace
