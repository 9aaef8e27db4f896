// Crossbar paths over one or two crossbars, the switch by connector type,
// and the processing amplifier's percentages.
#include <set>

#include <gtest/gtest.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "capture/crossbar.h"
#include "capture/video_signal_adjust.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/virtual_card.h"
#include "platform/virtual_filters.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

// A crossbar with the given inputs (type, related pin) and the usual two
// outputs: video decoder (related 1) and audio decoder (related 0).
class TFakeCrossbar : public TGraphFilter, public ICrossbar
{
public:
    struct TInput
    {
        int Type;
        int Related;
    };
    explicit TFakeCrossbar(const QString &name, std::vector<TInput> inputs)
        : TGraphFilter(name, gst_bin_new(nullptr)), Inputs(std::move(inputs))
    {
        for (size_t i = 0; i < Inputs.size(); ++i)
            AddAnalogPin(QString("in%1").arg(i), TPinDirection::Input,
                         Inputs[i].Type < 0x1000 ? TPinCategory::AnalogVideoIn : TPinCategory::Analog);
        AddAnalogPin("video out", TPinDirection::Output, TPinCategory::Analog);
        AddAnalogPin("audio out", TPinDirection::Output, TPinCategory::Analog);
    }
    int GetPinCounts(int &outputs, int &inputs) override
    {
        outputs = 2;
        inputs = int(Inputs.size());
        return 0;
    }
    int GetCrossbarPinInfo(bool isInput, int index, int &related, int &type) override
    {
        if (FailInfo)
            return EIO;
        if (isInput) {
            related = Inputs.at(index).Related;
            type = Inputs.at(index).Type;
        } else {
            related = 1 - index;
            type = index == 0 ? PhysConn_Video_VideoDecoder : PhysConn_Audio_AudioDecoder;
        }
        return 0;
    }
    int CanRoute(int output, int input) override
    {
        if (Unroutable.count(input))
            return EINVAL;
        return (output == 0) == (Inputs.at(input).Type < 0x1000) ? 0 : EINVAL;
    }
    int Route(int output, int input) override
    {
        Routes << QString("%1<-%2").arg(output).arg(input);
        return FailRoute ? EIO : CanRoute(output, input);
    }
    int IsRoutedTo(int, int &input) override
    {
        input = 0;
        return 0;
    }
    TPin *In(int i) { return PinList(TPinDirection::Input)[i]; }
    TPin *VideoOut() { return PinList(TPinDirection::Output)[0]; }

    std::vector<TInput> Inputs;
    std::set<int> Unroutable;
    bool FailInfo = false;
    bool FailRoute = false;
    QStringList Routes;
};

class TFakeCapture : public TGraphFilter
{
public:
    TFakeCapture() : TGraphFilter("capture", gst_bin_new(nullptr))
    {
        AddAnalogPin("Analog Video In", TPinDirection::Input, TPinCategory::AnalogVideoIn);
    }
    TPin *AnalogIn() { return PinList(TPinDirection::Input)[0]; }
};

class CrossbarTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Graph.SetActive(true));
        ASSERT_TRUE(Graph.AddFilter(Capture));
    }
    std::shared_ptr<TFakeCrossbar> Add(const QString &name, std::vector<TFakeCrossbar::TInput> inputs)
    {
        auto xbar = std::make_shared<TFakeCrossbar>(name, std::move(inputs));
        EXPECT_TRUE(Graph.AddFilter(xbar));
        return xbar;
    }
    TFilterGraph Graph;
    std::shared_ptr<TFakeCapture> Capture = std::make_shared<TFakeCapture>();
};

const std::vector<TFakeCrossbar::TInput> CardInputs = {
    {PhysConn_Video_Tuner, 3}, {PhysConn_Video_Composite, 4}, {PhysConn_Video_SVideo, 4},
    {PhysConn_Audio_Tuner, 0}, {PhysConn_Audio_Line, 1}};

TEST_F(CrossbarTest, OneCrossbarGivesOnePathPerVideoInputInPinOrder)
{
    auto xbar = Add("xbar", CardInputs);
    ASSERT_TRUE(Graph.ConnectDirect(xbar->VideoOut(), Capture->AnalogIn()));
    TCrossbar crossbar(&Graph, Capture->AnalogIn());
    ASSERT_EQ(crossbar.InputCount(), 3);
    EXPECT_EQ(crossbar.InputName(0), "Video Tuner");
    EXPECT_EQ(crossbar.InputName(1), "Video Composite");
    EXPECT_EQ(crossbar.InputName(2), "Video SVideo");
    EXPECT_EQ(crossbar.InputName(3), "");
    const TCrossbarRoute &hop = crossbar.RoutePaths()[0].at(0);
    EXPECT_EQ(hop.Depth, 0);
    EXPECT_EQ(hop.RelatedInput, 3);
    EXPECT_EQ(hop.RelatedOutput, 1);
    EXPECT_EQ(hop.RelatedOutputType, PhysConn_Audio_AudioDecoder);

    // Video and its sound are switched together.
    EXPECT_EQ(crossbar.RouteInput(2), 0);
    EXPECT_EQ(xbar->Routes, (QStringList{"0<-2", "1<-4"}));
    EXPECT_EQ(crossbar.CurrentIndex(), 2);
    EXPECT_EQ(crossbar.RouteInput(3), EINVAL);
    EXPECT_EQ(crossbar.RouteInput(-1), EINVAL);
    EXPECT_EQ(crossbar.CurrentIndex(), 2);

    // An input the output cannot take is no path; without related pins
    // only the video is routed.
    xbar->Unroutable = {1};
    xbar->Inputs[2].Related = -1;
    TCrossbar partial(&Graph, Capture->AnalogIn());
    ASSERT_EQ(partial.InputCount(), 2);
    EXPECT_EQ(partial.InputName(1), "Video SVideo");
    xbar->Routes.clear();
    EXPECT_EQ(partial.RouteInput(1), 0);
    EXPECT_EQ(xbar->Routes, (QStringList{"0<-2"}));
}

TEST_F(CrossbarTest, CascadedCrossbarsGiveTwoHopPathsFromTheOuterInputs)
{
    auto inner = Add("inner", {{PhysConn_Video_VideoDecoder, -1}, {PhysConn_Audio_Line, 0}});
    auto outer = Add("outer", {{PhysConn_Video_Tuner, 4}, {PhysConn_Video_Composite, 5},
                               {PhysConn_Video_SVideo, 5}, {PhysConn_Video_AUX, 5},
                               {PhysConn_Audio_Tuner, 0}, {PhysConn_Audio_Line, 1}});
    ASSERT_TRUE(Graph.ConnectDirect(inner->VideoOut(), Capture->AnalogIn()));
    ASSERT_TRUE(Graph.ConnectDirect(outer->VideoOut(), inner->In(0)));
    outer->Unroutable = {3};

    TCrossbar crossbar(&Graph, Capture->AnalogIn());
    ASSERT_EQ(crossbar.InputCount(), 3);
    for (const TCrossbarPath &path : crossbar.RoutePaths()) {
        ASSERT_EQ(path.size(), 2u);
        EXPECT_EQ(path[0].Depth, 0);
        EXPECT_EQ(path[0].Crossbar, static_cast<ICrossbar *>(inner.get()));
        EXPECT_EQ(path[1].Depth, 1);
        EXPECT_EQ(path[1].Crossbar, static_cast<ICrossbar *>(outer.get()));
    }
    EXPECT_EQ(crossbar.InputName(0), "Video Tuner");
    EXPECT_EQ(crossbar.InputName(2), "Video SVideo");
    int type = 0;
    ASSERT_TRUE(crossbar.InputType(1, type));
    EXPECT_EQ(type, PhysConn_Video_Composite);

    // Inner hop first (it has no related pins), then the outer one.
    EXPECT_EQ(crossbar.RouteInput(1), 0);
    EXPECT_EQ(inner->Routes, (QStringList{"0<-0"}));
    EXPECT_EQ(outer->Routes, (QStringList{"0<-1", "1<-5"}));

    // A failed inner hop fails the switch although the outer one worked.
    inner->FailRoute = true;
    EXPECT_EQ(crossbar.RouteInput(0), EIO);
    EXPECT_EQ(crossbar.CurrentIndex(), 0);
    EXPECT_EQ(outer->Routes.last(), "1<-4");
}

TEST(CrossbarNames, PinTypeNames)
{
    EXPECT_EQ(TCrossbar::PinTypeName(14), "Video Scart");
    EXPECT_EQ(TCrossbar::PinTypeName(0x1009), "Audio Decoder");
    for (int other : {0, 15, 0x0fff, 0x100a, -1})
        EXPECT_EQ(TCrossbar::PinTypeName(other), "Unknown") << other;
}

TEST_F(CrossbarTest, SetInputTypeRoutesTheFirstPathOfTheType)
{
    TMainInfo main;
    MainInfo = &main;
    TRecordingPresenter presenter;
    SetWarningPresenter(&presenter);
    auto xbar = Add("xbar", {{PhysConn_Video_Composite, -1}, {PhysConn_Video_SVideo, -1},
                             {PhysConn_Video_Composite, -1}});
    ASSERT_TRUE(Graph.ConnectDirect(xbar->VideoOut(), Capture->AnalogIn()));
    TCaptureInfo engine;
    EXPECT_FALSE(engine.SetInputType(2)); // no crossbar object yet
    engine.CrossbarObject = std::make_shared<TCrossbar>(&Graph, Capture->AnalogIn());

    ASSERT_TRUE(engine.SetInputType(2));
    EXPECT_EQ(xbar->Routes, (QStringList{"0<-0"}));
    EXPECT_EQ(engine.InputType, 2);
    EXPECT_FALSE(engine.SetInputType(1));
    EXPECT_EQ(engine.InputType, 2);
    xbar->FailRoute = true;
    EXPECT_FALSE(engine.SetInputType(3));
    EXPECT_EQ(engine.InputType, 2);
    EXPECT_TRUE(presenter.Shown.isEmpty());

    // A crossbar that cannot tell its pin types: message 1102 unless quiet.
    xbar->FailInfo = true;
    EXPECT_FALSE(engine.SetInputType(2));
    ASSERT_EQ(presenter.Shown.size(), 1);
    EXPECT_TRUE(presenter.Shown[0].contains("Cannot set video connector")) << presenter.Shown[0].toStdString();
    engine.Quiet = 1;
    EXPECT_FALSE(engine.SetInputType(2));
    EXPECT_EQ(presenter.Shown.size(), 1);

    SetWarningPresenter(nullptr);
    MainInfo = nullptr;
}

TEST(VideoSignalAdjust, PercentFormulas)
{
    const TProcAmpRange byte{128, 0, 255, 1, true};
    EXPECT_EQ(TVideoSignalAdjust::PercentToValue(0, byte), 0);
    EXPECT_EQ(TVideoSignalAdjust::PercentToValue(50, byte), 128);
    EXPECT_EQ(TVideoSignalAdjust::PercentToValue(1, byte), 3); // 2.56 rounds up
    EXPECT_EQ(TVideoSignalAdjust::PercentToValue(99, byte), 253);
    // 100 % would be 256: limited to the maximum.
    EXPECT_EQ(TVideoSignalAdjust::PercentToValue(100, byte), 255);
    EXPECT_EQ(TVideoSignalAdjust::PercentToValue(101, byte), 128);
    EXPECT_EQ(TVideoSignalAdjust::PercentToValue(-1, byte), 128);

    EXPECT_EQ(TVideoSignalAdjust::ValueToPercent(ProcAmp_Brightness, 128, byte), 50);
    EXPECT_EQ(TVideoSignalAdjust::ValueToPercent(ProcAmp_Hue, 128, byte), 50);
    EXPECT_EQ(TVideoSignalAdjust::ValueToPercent(ProcAmp_Contrast, 255, byte), 100);
    EXPECT_EQ(TVideoSignalAdjust::ValueToPercent(ProcAmp_Contrast, 0, byte), 0);
    EXPECT_EQ(TVideoSignalAdjust::ValueToPercent(ProcAmp_Saturation, 255, byte), 99);

    const TProcAmpRange hue{0, -128, 127, 1, true};
    EXPECT_EQ(TVideoSignalAdjust::PercentToValue(50, hue), 0);
    EXPECT_EQ(TVideoSignalAdjust::ValueToPercent(ProcAmp_Hue, 0, hue), 50);
    EXPECT_EQ(TVideoSignalAdjust::PercentToValue(0, hue), -128);
}

TEST(VideoSignalAdjust, AppliesAndStoresOnTheVirtualCard)
{
    TVirtualCard &card = TVirtualCard::Instance();
    card.Reset();
    TFilterPtr capture = CreateVirtualFilter("capture");
    TVideoSignalAdjust adjust;
    ASSERT_TRUE(adjust.Attach(capture));
    EXPECT_EQ(adjust.Range(ProcAmp_Contrast).Maximum, 127);
    EXPECT_EQ(adjust.Range(ProcAmp_Hue).Minimum, -128);

    adjust.ApplyAdjustments({0, 100, 50, -1, 101});
    EXPECT_EQ(card.ProcAmp[ProcAmp_Brightness], 0);
    EXPECT_EQ(card.ProcAmp[ProcAmp_Contrast], 127);
    EXPECT_EQ(card.ProcAmp[ProcAmp_Hue], 0);
    int min, max, step, def;
    TVirtualCard::ProcAmpRange(ProcAmp_Saturation, min, max, step, def);
    EXPECT_EQ(card.ProcAmp[ProcAmp_Saturation], def);
    TVirtualCard::ProcAmpRange(ProcAmp_Sharpness, min, max, step, def);
    EXPECT_EQ(card.ProcAmp[ProcAmp_Sharpness], def);

    // What the settings dialog stores comes back as it was applied.
    TMainInfo main;
    MainInfo = &main;
    main.VideoAdjustPercent = {50, 50, 50, 50, 50};
    adjust.ApplyAdjustments();
    main.VideoAdjustPercent = {-1, -1, -1, -1, -1};
    adjust.StoreAdjustments();
    EXPECT_EQ(main.VideoAdjustPercent, (TAdjustPercents{50, 50, 50, 50, 50}));
    MainInfo = nullptr;

    // A filter without the amplifier: nothing to read or set.
    TVideoSignalAdjust none;
    EXPECT_FALSE(none.Attach(CreateVirtualFilter("tuner")));
    EXPECT_EQ(none.Get(ProcAmp_Brightness), 0);
    EXPECT_FALSE(none.Set(ProcAmp_Brightness, 1));
    card.Reset();
}

TEST(InputControl, PreviewBuildStepsOnTheVirtualCard)
{
    TMainInfo main;
    MainInfo = &main;
    main.VideoAdjustPercent = {0, -1, -1, -1, -1};
    SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
    TVirtualCard &card = TVirtualCard::Instance();
    card.Reset();
    {
        TCaptureInfo engine;
        ASSERT_TRUE(engine.SelectDevices());
        ASSERT_TRUE(engine.FilterGraph->SetActive(true)) << engine.FilterGraph->LastError().toStdString();
        TGraphFilter *xbar = engine.Crossbar->Object();
        TGraphFilter *capture = engine.VCapture->Object();
        ASSERT_TRUE(xbar && capture);
        // Without the analog connection there are no paths; a filter that
        // is no crossbar has none either.
        EXPECT_FALSE(engine.AttachCrossbar(xbar));
        EXPECT_FALSE(engine.AttachCrossbar(capture));
        EXPECT_EQ(engine.InputCount, 0);
        ASSERT_TRUE(engine.FilterGraph->ConnectDirect(
            TFilterGraph::FindPin(xbar, TPinDirection::Output),
            TFilterGraph::FindPin(capture, TPinDirection::Input, TPinCategory::AnalogVideoIn)));
        ASSERT_TRUE(engine.AttachCrossbar(xbar));
        EXPECT_EQ(engine.CrossbarInputNames,
                  (QStringList{"Video Tuner", "Video Composite", "Video SVideo", "Video AUX"}));
        EXPECT_EQ(engine.InputCount, 4);
        EXPECT_EQ(engine.HasAuxInput, 1);

        ASSERT_TRUE(engine.SetInputType(3));
        EXPECT_EQ(card.Input, InputSVideo);
        ASSERT_TRUE(engine.SetInputType(9));
        EXPECT_EQ(card.Input, InputCamera);
        ASSERT_TRUE(engine.SetInputType(1));
        EXPECT_EQ(card.Input, InputTuner);

        card.ProcAmp[ProcAmp_Brightness] = 200;
        ASSERT_TRUE(engine.AttachVideoSignalAdjust(capture));
        EXPECT_FALSE(engine.AttachVideoSignalAdjust(xbar));
        EXPECT_EQ(card.ProcAmp[ProcAmp_Brightness], 0);
    }
    card.Reset();
    SetV4l2Backend(nullptr);
    MainInfo = nullptr;
}

} // namespace

namespace {

// An audio capture device with line and microphone inputs, one enabled.
class TFakeAudioInputs : public TGraphFilter, public IAudioInputMixer
{
public:
    TFakeAudioInputs() : TGraphFilter("audio", gst_bin_new(nullptr))
    {
        AddAnalogPin("Line", TPinDirection::Input, TPinCategory::Analog);
        AddAnalogPin("Microphone", TPinDirection::Input, TPinCategory::Analog);
    }
    int GetEnable(int input, bool &enabled) override
    {
        enabled = input == Enabled;
        return 0;
    }
    int PutEnable(int input, bool enable) override
    {
        if (enable)
            Enabled = input;
        return 0;
    }
    int Enabled = 0;
};

TEST(InputControl, SelectAudioSourceEnablesTheInput)
{
    static TFakeAudioInputs *made = nullptr;
    RegisterMonikerScheme("fakeaudio", [](const QString &) {
        auto f = std::make_shared<TFakeAudioInputs>();
        made = f.get();
        return f;
    });
    TCaptureInfo engine;
    EXPECT_FALSE(engine.SelectAudioSource(1)); // no audio capture filter
    engine.ACapture->BaseFilter.Moniker = "fakeaudio:1";
    engine.ACapture->SetFilterGraph(engine.FilterGraph.get());
    ASSERT_TRUE(engine.FilterGraph->SetActive(true)) << engine.FilterGraph->LastError().toStdString();
    ASSERT_TRUE(made);
    EXPECT_TRUE(engine.SelectAudioSource(1));
    EXPECT_EQ(made->Enabled, 1);
    EXPECT_EQ(engine.AudioSourceIndex, 1);
    EXPECT_FALSE(engine.SelectAudioSource(2));
    EXPECT_FALSE(engine.SelectAudioSource(-1));
    EXPECT_EQ(engine.AudioSourceIndex, 1);
    // Sound that does not pass the audio capture filter's inputs.
    engine.AudioPath = 1;
    EXPECT_TRUE(engine.SelectAudioSource(0));
    EXPECT_EQ(made->Enabled, 1);
}

} // namespace
