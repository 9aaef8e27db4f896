// Tuning and standard changes on a running graph of the virtual card: the
// graph is paused or stopped around the device call and always runs again.
#include <gtest/gtest.h>

#include "app/main_info.h"
#include "app/oem_info.h"
#include "capture/capture_info.h"
#include "platform/filter_registry.h"
#include "platform/gui_wait.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/virtual_card.h"

namespace {

TEST(TunerPipeline, TheGraphRunsAgainAfterEveryTuneAndStandardChange)
{
    TMainInfo main;
    MainInfo = &main;
    TOEMInfo oem;
    oem.Reserved = 1; // tune with the graph paused
    OEMInfo = &oem;
    SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
    SetRendererOverride("fakesink sync=false", "fakesink sync=false");
    TVirtualCard &card = TVirtualCard::Instance();
    card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
    card.Reset();
    {
        TCaptureInfo engine;
        ASSERT_TRUE(engine.SelectDevices());
        ASSERT_TRUE(engine.FilterGraph->SetActive(true))
            << engine.FilterGraph->LastError().toStdString();
        TFilterGraph &graph = *engine.FilterGraph;
        TGraphFilter *capture = engine.VCapture->Object();
        ASSERT_TRUE(graph.ConnectDirect(
            TFilterGraph::FindPin(engine.Crossbar->Object(), TPinDirection::Output),
            TFilterGraph::FindPin(capture, TPinDirection::Input, TPinCategory::AnalogVideoIn)));
        ASSERT_TRUE(graph.RenderStream(TPinCategory::Preview, TMediaKind::Video, capture, nullptr,
                                       nullptr));
        engine.Tuner = graph.FindInterface<ITVTuner>(engine.TVTuner->Object());
        engine.VideoDecoderControl = capture->Query<IAnalogVideoDecoder>();
        ASSERT_TRUE(engine.Tuner && engine.VideoDecoderControl);
        ASSERT_TRUE(engine.ReadTunerRanges());
        ASSERT_TRUE(graph.Run());
        ASSERT_TRUE(graph.WaitForState());

        std::vector<GstState> duringWaits;
        SetGuiWaitFunction([&](int) {
            graph.WaitForState(2000);
            duringWaits.push_back(graph.State());
        });
        ASSERT_TRUE(engine.TuneChannelFrequency(61250000, false));
        EXPECT_EQ(engine.HasSignal, 1);
        ASSERT_FALSE(duringWaits.empty());
        EXPECT_EQ(duringWaits.front(), GST_STATE_PAUSED);
        ASSERT_TRUE(graph.WaitForState());
        EXPECT_EQ(graph.State(), GST_STATE_PLAYING);

        // A refused tune does not leave the picture frozen.
        EXPECT_FALSE(engine.TuneTV(30000000, true));
        ASSERT_TRUE(graph.WaitForState());
        EXPECT_EQ(graph.State(), GST_STATE_PLAYING);
        // Quiet (unattended) runs tune without the pause.
        engine.Quiet = 1;
        duringWaits.clear();
        ASSERT_TRUE(engine.TuneChannelFrequency(55250000, false));
        EXPECT_EQ(duringWaits.front(), GST_STATE_PLAYING);
        engine.Quiet = 0;

        main.ChipFamily = FamilyConexant;
        int resizes = 0;
        engine.ReapplyPreviewSize = [&] {
            ++resizes;
            return true;
        };
        ASSERT_TRUE(engine.SetTVStandard(Std_PAL_B));
        ASSERT_TRUE(engine.SetTVStandard(Std_NTSC_M));
        EXPECT_EQ(resizes, 1);
        EXPECT_EQ(card.Standard, Std_NTSC_M);
        ASSERT_TRUE(graph.WaitForState());
        EXPECT_EQ(graph.State(), GST_STATE_PLAYING);
        ASSERT_TRUE(engine.SetCountryCode(1));
        ASSERT_TRUE(graph.WaitForState());
        EXPECT_EQ(graph.State(), GST_STATE_PLAYING);
        engine.FreeGraphObjects();
    }
    SetGuiWaitFunction(nullptr);
    SetRendererOverride({}, {});
    SetV4l2Backend(nullptr);
    card.Reset();
    OEMInfo = nullptr;
    MainInfo = nullptr;
}

} // namespace
