// The capture engine's life cycle, chip identification and device choice.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include "app/capture_module.h"
#include "app/main_info.h"
#include "app/startup.h"
#include "capture/capture_info.h"
#include "capture/chip_identity.h"
#include "channels/channel_info.h"
#include "platform/device_enum.h"
#include "platform/filter_registry.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/virtual_card.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

struct TFakeDevices
{
    std::vector<QString> Video, Crossbar, Tuner, TVAudio, Audio;
    std::vector<TDeviceEntry> Of(TDeviceCategory c) const
    {
        const std::vector<QString> *names = c == TDeviceCategory::VideoInput   ? &Video
                                            : c == TDeviceCategory::Crossbar   ? &Crossbar
                                            : c == TDeviceCategory::TVTuner    ? &Tuner
                                            : c == TDeviceCategory::TVAudio    ? &TVAudio
                                            : c == TDeviceCategory::AudioInput ? &Audio
                                                                               : nullptr;
        std::vector<TDeviceEntry> list;
        if (names)
            for (size_t i = 0; i < names->size(); ++i)
                list.push_back({(*names)[i], QString("fake:%1:%2").arg(int(c)).arg(i)});
        return list;
    }
};

class CaptureInfoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MainInfo = &Main;
        SetWarningPresenter(&Presenter);
        // No real cards on test machines, whatever the machine has.
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
    }
    void TearDown() override
    {
        SetDeviceEnumerator({});
        SetWarningPresenter(nullptr);
        SetV4l2Backend(nullptr);
        SetVirtualCardProfile("saa7134");
        MainInfo = nullptr;
    }
    void Use(const TFakeDevices &devices)
    {
        Devices = devices;
        SetDeviceEnumerator([this](TDeviceCategory c) { return Devices.Of(c); });
    }
    TMainInfo Main;
    TRecordingPresenter Presenter;
    TFakeDevices Devices;
};

TEST_F(CaptureInfoTest, IdentifyChipDecidesTheFamilyFromTheName)
{
    struct Case
    {
        const char *Name;
        uint8_t Family;
        const char *Maker;
        const char *Chip;
        int Checks;
    };
    for (const Case &c : {
             Case{"Philips SAA7134, Capture", FamilyPhilips, "Philips", "7134", 1},
             Case{"Compro VideoMate T750 (Philips SAA713x)", FamilyPhilips, "Philips", "713x", 1},
             Case{"Hauppauge WinTV 34xxx models (Conexant 88X)", FamilyConexant, "Conexant", "88X",
                  3},
             Case{"BT878 video", FamilyConexant, "Conexant", "878", 3},
             Case{"USB 2821 Video", FamilyEmpia28x1, "Empia", "2821", 3},
             Case{"Empia EM2820 Capture", FamilyEmpia28x0, "Empia", "2820", 3},
             Case{"EM2860 Grabber", FamilyEmpia28x0, "Empia", "2860", 3},
             Case{"EM2800 Grabber", FamilyEmpia2800, "Empia", "2800", 10},
             Case{"Wis GO7007", FamilyWis, "Wis", "", 1},
             Case{"Wis 2800 Hybrid", FamilyEmpia2800, "Wis", "2800", 10},
             Case{"Integrated Camera", FamilyNone, "", "", 1},
         }) {
        IdentifyChip(Main, c.Name);
        EXPECT_EQ(Main.ChipFamily, c.Family) << c.Name;
        EXPECT_EQ(Main.ChipMaker, c.Maker) << c.Name;
        EXPECT_EQ(Main.ChipName, c.Chip) << c.Name;
        EXPECT_EQ(Main.SignalCheckCount, c.Checks) << c.Name;
        EXPECT_EQ(Main.IsWisFamily, c.Family == FamilyWis) << c.Name;
    }
    // The channel table, when it exists, takes the count.
    TChannelInfo channels;
    ChannelInfo = &channels;
    IdentifyChip(Main, "Conexant 88X");
    EXPECT_EQ(channels.SignalCheckCount, 3);
    ChannelInfo = nullptr;

    // The Empia control object exists only for family 3 devices that offer
    // one: the virtual EM2800 does, an unknown device does not.
    IdentifyChip(Main, "EM2800 Grabber");
    EXPECT_EQ(Main.EmpiaControl, nullptr);
    ASSERT_TRUE(SetVirtualCardProfile("em2800"));
    IdentifyChip(Main, VirtualCardBaseName() + " Video Capture");
    EXPECT_EQ(Main.ChipFamily, FamilyEmpia2800);
    EXPECT_NE(Main.EmpiaControl, nullptr);
    IdentifyChip(Main, "Philips SAA7134");
    EXPECT_EQ(Main.EmpiaControl, nullptr);
}

TEST_F(CaptureInfoTest, CreationAndDestructionDeleteTheTimeShiftFiles)
{
    Main.CapturePath = TestEnv::NewFolder("captures") + "/";
    const QString video = Main.CapturePath + "ts0.mpv", audio = Main.CapturePath + "ts0.mpa";
    TestEnv::WriteFile(video, "v");
    TestEnv::WriteFile(audio, "a");
    TestEnv::WriteFile(Main.CapturePath + "keep.mpg", "k");
    auto engine = std::make_unique<TCaptureInfo>();
    EXPECT_FALSE(QFile::exists(video));
    EXPECT_FALSE(QFile::exists(audio));
    EXPECT_EQ(engine->TVFrequency, 76000000);
    EXPECT_EQ(engine->AudioDeviceIndex, -1);
    EXPECT_EQ(engine->FMStep, 50000);
    ASSERT_NE(engine->RecordTimer, nullptr);
    EXPECT_FALSE(engine->RecordTimer->isActive());
    TestEnv::WriteFile(video, "v");
    engine.reset();
    EXPECT_FALSE(QFile::exists(video));
    EXPECT_TRUE(QFile::exists(Main.CapturePath + "keep.mpg"));

    // No capture folder: nothing is deleted anywhere.
    Main.CapturePath.clear();
    EXPECT_TRUE(TCaptureInfo::TimeShiftFiles().isEmpty());
}

TEST_F(CaptureInfoTest, DefaultVideoDeviceIsTheFirstSupportedCard)
{
    Use({{"USB Camera", "Hauppauge 88x", "Philips 7134"}, {}, {}, {}, {}});
    TCaptureInfo engine;
    EXPECT_EQ(engine.FindDefaultVideoDevice(), 1);
    EXPECT_EQ(engine.VideoDeviceIndex, 1);
    Use({{"USB Camera", "Webcam"}, {}, {}, {}, {}});
    EXPECT_EQ(engine.FindDefaultVideoDevice(), 0);
}

TEST_F(CaptureInfoTest, SelectDevicesTakesTheLastOemMatchAndBindsTheWholeSet)
{
    Use({{"Philips SAA7134 Card", "Conexant 88X Card", "Webcam"},
         {"Philips SAA7134 Crossbar", "Conexant 88X Crossbar"},
         {"Philips SAA7134 TV Tuner", "Conexant 88X TV Tuner"},
         {"Conexant 88X TV Audio"},
         {"HDA Intel PCM", "cx88 Conexant 88X Audio"}});
    TCaptureInfo engine;
    engine.OEMVideoDeviceName = "card";
    ASSERT_TRUE(engine.SelectDevices());
    EXPECT_EQ(engine.ChosenVideoIndex, 1);
    EXPECT_EQ(Main.ChipFamily, FamilyConexant);
    EXPECT_EQ(engine.VideoDeviceNames.size(), 3);
    EXPECT_EQ(engine.VCapture->BaseFilter.Moniker, "fake:0:1");
    EXPECT_EQ(engine.Crossbar->BaseFilter.Moniker, "fake:1:1");
    EXPECT_EQ(engine.TVTuner->BaseFilter.Moniker, "fake:2:1");
    ASSERT_NE(engine.TVAudio, nullptr);
    EXPECT_EQ(engine.TVAudio->BaseFilter.Moniker, "fake:3:0");
    // The audio device by ChipName ("88X").
    EXPECT_EQ(engine.AudioDeviceIndex, 1);
    EXPECT_EQ(engine.ACapture->BaseFilter.Moniker, "fake:4:1");
    EXPECT_EQ(engine.ACapture->FilterGraph(), engine.FilterGraph.get());
    EXPECT_TRUE(engine.HasAudioCapture);
    EXPECT_TRUE(engine.HasTuner);
    EXPECT_TRUE(Presenter.Shown.isEmpty());
}

TEST_F(CaptureInfoTest, SelectDevicesFallsBackToDeviceZeroOnce)
{
    Use({{"Philips SAA7134", "Integrated Camera"},
         {"Philips SAA7134 Crossbar"},
         {"Philips PhTVTune"},
         {},
         {"SAA7134 PCM", "Mic"}});
    TCaptureInfo engine;
    engine.VideoDeviceIndex = 1;
    engine.CaptureInputFormat = 2;
    engine.VideoFormatIndex = 4;
    engine.RecordMixerName = [] { return QString("Mic"); };
    ASSERT_TRUE(engine.SelectDevices());
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_TRUE(Presenter.Shown[0].contains(
        "This is not a valid capture device for Tuner, try to load default setting..."));
    EXPECT_EQ(engine.VideoDeviceIndex, 0);
    EXPECT_EQ(engine.ChosenVideoIndex, 0);
    EXPECT_EQ(engine.CaptureInputFormat, 1);
    EXPECT_EQ(engine.VideoFormatIndex, 0);
    EXPECT_EQ(engine.VCapture->BaseFilter.Moniker, "fake:0:0");
    EXPECT_EQ(Main.ChipName, "7134");
    // The tuner found through "PhTVTune" for a Philips card; no TV audio.
    EXPECT_EQ(engine.TVTuner->BaseFilter.Moniker, "fake:2:0");
    EXPECT_EQ(engine.TVAudio, nullptr);

    // Device 0 failing as well: false, without a second message.
    Presenter.Shown.clear();
    Use({{"Philips SAA7134", "Integrated Camera"}, {"Other Crossbar"}, {}, {}, {}});
    TCaptureInfo second;
    second.VideoDeviceIndex = 1;
    EXPECT_FALSE(second.SelectDevices());
    EXPECT_EQ(Presenter.Shown.size(), 1);
    EXPECT_FALSE(second.HasTuner);
}

TEST_F(CaptureInfoTest, SelectDevicesEdgeCases)
{
    // No video device, and no crossbar at all.
    Use({{}, {"X Crossbar"}, {}, {}, {}});
    EXPECT_FALSE(TCaptureInfo().SelectDevices());
    Use({{"Philips SAA7134"}, {}, {}, {}, {}});
    EXPECT_FALSE(TCaptureInfo().SelectDevices());

    // A stored index beyond the list becomes 0 before matching; the 713x
    // card takes the audio settings' device; no tuner is still a success.
    Use({{"Card (Philips SAA713x)", "Other"},
         {"Philips SAA713x Crossbar"},
         {},
         {},
         {"Line", "SAA7134 PCM"}});
    TCaptureInfo engine;
    engine.VideoDeviceIndex = 7;
    engine.RecordMixerName = [] { return QString("SAA7134 PCM"); };
    ASSERT_TRUE(engine.SelectDevices());
    EXPECT_EQ(engine.VideoDeviceIndex, 0);
    EXPECT_EQ(engine.AudioDeviceIndex, 1);
    EXPECT_FALSE(engine.HasTuner);

    // Wis: audio capture is counted but its holder stays unbound; a card
    // without any audio input has no audio capture.
    Use({{"Wis GO7007"}, {"Wis Crossbar"}, {"Wis Tuner"}, {"Wis TV Audio"}, {"Wis Audio"}});
    TCaptureInfo wis;
    ASSERT_TRUE(wis.SelectDevices());
    EXPECT_TRUE(wis.HasAudioCapture);
    EXPECT_FALSE(wis.ACapture->BaseFilter.Bound());
    Use({{"Conexant 88X"}, {"Conexant Crossbar"}, {}, {}, {}});
    TCaptureInfo silent;
    ASSERT_TRUE(silent.SelectDevices());
    EXPECT_FALSE(silent.HasAudioCapture);
}

using TestEnv::WaitUntil;

TEST_F(CaptureInfoTest, TheVirtualCardIsSelectedAndRunsSwitchingChannelAndInput)
{
    SetRendererOverride("fakesink sync=false", "fakesink sync=false");
    TVirtualCard &card = TVirtualCard::Instance();
    card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
    card.Reset();
    TCaptureInfo engine;
    ASSERT_TRUE(engine.SelectDevices());
    EXPECT_EQ(Main.ChipFamily, FamilyPhilips);
    EXPECT_EQ(Main.ChipName, "7134");
    ASSERT_TRUE(engine.FilterGraph->SetActive(true))
        << engine.FilterGraph->LastError().toStdString();
    TGraphFilter *capture = engine.VCapture->Object();
    ASSERT_NE(capture, nullptr);
    ASSERT_NE(engine.Crossbar->Object(), nullptr);
    ASSERT_NE(engine.TVTuner->Object(), nullptr);
    ASSERT_NE(engine.ACapture->Object(), nullptr);
    TFilterGraph &graph = *engine.FilterGraph;
    // The analog chain: tuner -> crossbar -> capture.
    ASSERT_TRUE(
        graph.ConnectDirect(TFilterGraph::FindPin(engine.TVTuner->Object(), TPinDirection::Output),
                            TFilterGraph::FindPin(engine.Crossbar->Object(), TPinDirection::Input,
                                                  TPinCategory::AnalogVideoIn)));
    ASSERT_TRUE(graph.ConnectDirect(
        TFilterGraph::FindPin(engine.Crossbar->Object(), TPinDirection::Output),
        TFilterGraph::FindPin(capture, TPinDirection::Input, TPinCategory::AnalogVideoIn)));
    auto *tuner = graph.FindInterface<ITVTuner>(capture);
    auto *crossbar = graph.FindInterface<ICrossbar>(capture);
    ASSERT_TRUE(tuner && crossbar);

    engine.SmartTee = CreateRegisteredFilter("Smart Tee");
    ASSERT_TRUE(graph.AddFilter(engine.SmartTee));
    ASSERT_TRUE(graph.RenderStream(TPinCategory::Capture, TMediaKind::Video, capture,
                                   engine.SmartTee.get(), nullptr));
    ASSERT_TRUE(graph.RenderStream(TPinCategory::Capture, TMediaKind::Audio,
                                   engine.ACapture->Object(), nullptr, nullptr));
    QStringList errors;
    graph.OnGraphError = [&](const TGraphError &e) { errors << e.Text; };
    ASSERT_TRUE(graph.Run());
    ASSERT_TRUE(graph.WaitForState());
    EXPECT_EQ(graph.State(), GST_STATE_PLAYING);

    ASSERT_EQ(tuner->SetFrequency(61250000, 1), 0);
    TTunerStatus status;
    tuner->GetStatus(status);
    EXPECT_EQ(status.PLLOffset, 0);
    ASSERT_EQ(crossbar->Route(0, InputSVideo), 0);
    // Re-render the preview branch while running, as a size change does.
    TPin *preview =
        TFilterGraph::FindPin(engine.SmartTee.get(), TPinDirection::Output, TPinCategory::Preview);
    ASSERT_TRUE(graph.RemoveDownstreamOfPin(preview));
    ASSERT_TRUE(graph.Render(preview));
    WaitUntil([] { return false; }, 300);
    EXPECT_EQ(graph.State(), GST_STATE_PLAYING);
    EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
    engine.FreeGraphObjects();
    engine.FreeGraphObjects(); // twice is harmless
    card.Reset();
    SetRendererOverride({}, {});
}

TEST_F(CaptureInfoTest, ModuleHooksCreateTheEngineOnTheChosenVirtualProfile)
{
    InitializeCaptureModule();
    StartArguments.VirtualCard = "em2820";
    ASSERT_TRUE(StartupHooks.CreateCaptureEngine && StartupHooks.CreateCaptureEngine());
    ASSERT_NE(CaptureInfo, nullptr);
    EXPECT_EQ(StartupHooks.CaptureSettings(), CaptureInfo);
    EXPECT_EQ(VirtualCardProfile(), TVirtualProfile::EM2820);
    ASSERT_TRUE(StartupHooks.SelectDevices());
    EXPECT_EQ(Main.ChipFamily, FamilyEmpia28x0);
    EXPECT_EQ(Main.SignalCheckCount, 3);
    EXPECT_TRUE(StartupHooks.HasTuner());

    // An unknown profile keeps the current one.
    StartArguments.VirtualCard = "bt848";
    ASSERT_TRUE(StartupHooks.CreateCaptureEngine());
    EXPECT_EQ(VirtualCardProfile(), TVirtualProfile::EM2820);
    StartArguments.VirtualCard.clear();
    StartupHooks.FreeCaptureEngine();
    EXPECT_EQ(CaptureInfo, nullptr);
    FinalizeCaptureModule();
    EXPECT_FALSE(StartupHooks.SelectDevices);
}

} // namespace
