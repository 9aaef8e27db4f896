#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "capture/engine_tuner_port.h"
#include "capture/fm_switch.h"
#include "platform/device_enum.h"
#include "platform/filter_registry.h"
#include "platform/gui_wait.h"
#include "platform/messages.h"
#include "platform/text_util.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"
#include "test_env.h"

namespace {

TEST(LiveTv, StandardsFMAndTuningOnTheRealPreview)
{
    TMainInfo main;
    MainInfo = &main;
    SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
    SetRendererOverride({}, "fakesink sync=true");
    ASSERT_TRUE(SetVirtualCardProfile("cx88"));
    TVirtualCard &card = TVirtualCard::Instance();
    card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
    card.Reset();
    {
        TCaptureInfo engine;
        ASSERT_TRUE(engine.SelectDevices());
        ASSERT_EQ(main.ChipFamily, FamilyConexant);
        ASSERT_TRUE(engine.StartPreview(true));
        ASSERT_TRUE(engine.CrossbarObject);
        EXPECT_EQ(engine.CrossbarInputNames.size(), 4);
        TVideoFormat f;
        ASSERT_TRUE(engine.SetTVStandard(Std_PAL_B));
        engine.StreamConfig->GetFormat(f);
        const int h625 = f.Height;
        EXPECT_EQ(h625, 576);
        ASSERT_TRUE(engine.SetTVStandard(0x800));
        engine.StreamConfig->GetFormat(f);
        EXPECT_EQ(f.Height, 576);
        ASSERT_TRUE(engine.SetTVStandard(Std_PAL_M));
        engine.StreamConfig->GetFormat(f);
        EXPECT_EQ(f.Height, 480);
        EXPECT_TRUE(engine.FilterGraph->WaitForState());
        EXPECT_EQ(engine.FilterGraph->State(), GST_STATE_PLAYING);
        ASSERT_TRUE(engine.TuneTV(61250000, false));
        fprintf(stderr, "sig %d pll %d\n", engine.HasSignal, engine.TVPLLOffset);
        {
            bool l = false;
            int e =
                engine.VideoDecoderControl ? engine.VideoDecoderControl->HorizontalLocked(l) : -1;
            fprintf(stderr, "dec %p e %d l %d locked %d checks %d\n",
                    (void *)engine.VideoDecoderControl, e, l, card.Locked(), engine.SignalChecks());
        }
        fprintf(stderr, "input %d mode %d tv %d std %x nolock %d\n", card.Input, card.Mode,
                card.TVFrequency, card.Standard, card.Faults.NoLock);
        EXPECT_EQ(engine.HasSignal, 1);
        ASSERT_TRUE(engine.TuneTV(58250000, false));
        EXPECT_EQ(engine.HasSignal, 0);
        ASSERT_TRUE(engine.SetInputType(2));
        EXPECT_EQ(card.Input, InputComposite);
        ASSERT_TRUE(engine.SetInputType(1));
        ASSERT_TRUE(engine.SetFMMode(true));
        EXPECT_FALSE(engine.PreviewPin->IsConnected());
        ASSERT_TRUE(engine.TuneFM(91500000));
        EXPECT_EQ(engine.HasSignal, 1);
        ASSERT_TRUE(engine.SetFMMode(false));
        EXPECT_TRUE(engine.PreviewPin->IsConnected());
        TCaptureInfo *p = &engine;
        TEngineTunerPort port(&p);
        EXPECT_TRUE(port.RestartPreview());
        EXPECT_TRUE(engine.FilterGraph->WaitForState());
        EXPECT_EQ(engine.FilterGraph->State(), GST_STATE_PLAYING);
    }
    SetRendererOverride({}, {});
    SetVirtualCardProfile("saa7134");
    SetV4l2Backend(nullptr);
    card.Reset();
    MainInfo = nullptr;
}

} // namespace
