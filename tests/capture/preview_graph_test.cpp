// The preview graph on the virtual card: real pipelines, the video window on
// Qt's offscreen platform.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <mutex>

#include <gtest/gtest.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "platform/device_enum.h"
#include "platform/filter_registry.h"
#include "platform/messages.h"
#include "platform/text_util.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

// Mean absolute difference of two same-sized pictures, 0..255.
double Difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    double sum = 0;
    for (int r = 0; r < x.height(); ++r) {
        const uchar *p = x.constScanLine(r), *q = y.constScanLine(r);
        for (int i = 0; i < x.width() * 3; ++i)
            sum += std::abs(int(p[i]) - int(q[i]));
    }
    return sum / (double(x.width()) * x.height() * 3);
}

// Mean distance from black.
double Brightness(const QImage &image)
{
    QImage black(image.size(), QImage::Format_RGB888);
    black.fill(Qt::black);
    return Difference(image, black);
}

// Counts what reaches the audio renderer's sink: buffers, and the zero
// crossings of the left channel (about twice the tone's frequency for a
// station, thousands a second for noise). Streaming thread writes, the test
// reads.
struct TSoundTap
{
    std::mutex Mutex;
    int64_t Buffers = 0, Samples = 0, Crossings = 0;
    int16_t Previous = 0;

    void Reset()
    {
        std::lock_guard lock(Mutex);
        Buffers = Samples = Crossings = 0;
    }
    static GstPadProbeReturn Count(GstPad *, GstPadProbeInfo *info, gpointer data)
    {
        auto *tap = static_cast<TSoundTap *>(data);
        GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        GstMapInfo map;
        if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ))
            return GST_PAD_PROBE_OK;
        std::lock_guard lock(tap->Mutex);
        ++tap->Buffers;
        const auto *s = reinterpret_cast<const int16_t *>(map.data);
        for (gsize i = 0; i + 1 < map.size / 2; i += 2, ++tap->Samples) {
            tap->Crossings += (s[i] >= 0) != (tap->Previous >= 0);
            tap->Previous = s[i];
        }
        gst_buffer_unmap(buffer, &map);
        return GST_PAD_PROBE_OK;
    }
};

class PreviewGraphTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MainInfo = &Main;
        SetVideoWindowHost(&DefaultHost);
        SetWarningPresenter(&Presenter);
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
        // No sound device on test machines: a silent clocked sink.
        SetRendererOverride({}, "fakesink sync=true");
        TVirtualCard &card = TVirtualCard::Instance();
        card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        card.Reset();
    }
    void TearDown() override
    {
        Engine.reset();
        SetVideoWindowHost(PreviousHost);
        SetWarningPresenter(nullptr);
        SetV4l2Backend(nullptr);
        SetRendererOverride({}, {});
        SetVirtualCardProfile("saa7134");
        TVirtualCard::Instance().Reset();
        MainInfo = nullptr;
    }
    // Engine with its devices selected on the virtual card of the profile.
    TCaptureInfo &Start(const char *profile = "saa7134")
    {
        EXPECT_TRUE(SetVirtualCardProfile(profile));
        Engine = std::make_unique<TCaptureInfo>();
        EXPECT_TRUE(Engine->SelectDevices());
        return *Engine;
    }
    // Shows the window and waits for `frames` more painted frames.
    bool FramesArrive(int frames = 3)
    {
        TDSVideoWindowEx2 *window = Window(*Engine);
        if (!window)
            return false;
        window->resize(320, 240);
        window->show();
        const int64_t start = window->FramesShown();
        return WaitUntil(
            [&] { return Window(*Engine) == window && window->FramesShown() >= start + frames; });
    }
    // Waits until the tap has taken `frames` more frames and grabs one.
    QImage GrabAfter(int frames = 3)
    {
        if (!Engine->Grabber)
            return {};
        const int64_t start = Engine->Grabber->FrameCount();
        WaitUntil([&] { return Engine->Grabber->FrameCount() >= start + frames; });
        QImage image;
        Engine->Grabber->GrabFrame(image);
        return image;
    }
    TGraphFilter *Downstream(TPin *pin) const
    {
        return pin && pin->ConnectedTo ? pin->ConnectedTo->Filter : nullptr;
    }
    // Taps the sink of the graph's audio renderer; false without one.
    bool TapSound()
    {
        for (auto &f : Engine->FilterGraph->Filters()) {
            if (f->Name != "Default DirectSound Device")
                continue;
            GstElement *sink = gst_bin_get_by_name(GST_BIN(f->Bin()), "last");
            if (!sink)
                return false;
            GstPad *pad = gst_element_get_static_pad(sink, "sink");
            gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, TSoundTap::Count, &Sound, nullptr);
            gst_object_unref(pad);
            gst_object_unref(sink);
            return true;
        }
        return false;
    }
    // Buffers a second and zero crossings a second over `ms` of sound.
    // First waits for the sound to be flowing, unless `settle` is off.
    std::pair<double, double> ListenFor(int ms = 1000, bool settle = true)
    {
        // What was queued before the last change plays first.
        if (settle) {
            Sound.Reset();
            WaitUntil(
                [&] {
                    std::lock_guard lock(Sound.Mutex);
                    return Sound.Buffers >= 5;
                },
                3000);
        }
        Sound.Reset();
        QElapsedTimer timer;
        timer.start();
        WaitUntil([&] { return false; }, ms);
        std::lock_guard lock(Sound.Mutex);
        const double seconds = timer.elapsed() / 1000.0;
        return {Sound.Buffers / seconds,
                Sound.Samples ? Sound.Crossings * 48000.0 / double(Sound.Samples) : 0.0};
    }

    TMainInfo Main;
    TRecordingPresenter Presenter;
    // Hidden top-level video windows, as a shell without an owner makes them.
    IVideoWindowHost *PreviousHost = VideoWindowHost();
    TVideoWindowHost DefaultHost;
    static TDSVideoWindowEx2 *Window(TCaptureInfo &engine)
    {
        return dynamic_cast<TDSVideoWindowEx2 *>(engine.VideoWindow);
    }
    TSoundTap Sound; // outlives the engine's pipeline
    std::unique_ptr<TCaptureInfo> Engine;
};

TEST_F(PreviewGraphTest, PreviewBuildsRunsAndShowsThePicture)
{
    TCaptureInfo &engine = Start();
    ASSERT_TRUE(engine.StartPreview(true)) << Presenter.Shown.join("; ").toStdString();
    EXPECT_TRUE(Presenter.Shown.isEmpty()) << Presenter.Shown.join("; ").toStdString();

    // Pins and flags of the build.
    EXPECT_TRUE(engine.HasPreviewPin);
    EXPECT_TRUE(engine.HasCapturePin);
    ASSERT_NE(engine.SmartTee, nullptr);
    EXPECT_EQ(engine.PreviewPin->Filter, engine.SmartTee.get());
    EXPECT_EQ(engine.CapturePin->Filter, engine.SmartTee.get());
    EXPECT_EQ(engine.AudioPath, 1); // the card's sound on its second capture pin
    EXPECT_GE(engine.YUY2Index, 0);
    EXPECT_GE(engine.UYVYIndex, 0);
    EXPECT_GE(engine.RGB555Index, 0);
    EXPECT_EQ(engine.ColorFormatKind, 0);
    EXPECT_NE(engine.StreamConfig, nullptr);
    EXPECT_NE(engine.Tuner, nullptr);
    EXPECT_NE(engine.TVAudioControl, nullptr);
    EXPECT_NE(engine.VideoDecoderControl, nullptr);
    EXPECT_EQ(engine.TVMinFrequency, TVirtualCard::TVMin);
    EXPECT_EQ(engine.FMMaxFrequency, TVirtualCard::FMMax);
    EXPECT_EQ(engine.InputCount, 4);
    EXPECT_TRUE(engine.HasAuxInput);

    // Preview chain: tee -> de-interlacer -> tap -> the window's renderer.
    ASSERT_NE(engine.Deinterlacer, nullptr);
    EXPECT_EQ(Downstream(engine.PreviewPin), engine.Deinterlacer.get());
    ASSERT_NE(engine.Grabber, nullptr);
    EXPECT_EQ(engine.Grabber->GrabberColorKind, TSampleGrabberEx::KindYUY2);
    ASSERT_NE(engine.VideoWindow, nullptr);
    EXPECT_EQ(Window(engine)->objectName(), "VideoWindow");
    EXPECT_EQ(Window(engine)->AutoHideCursor, 2000);
    EXPECT_EQ(Downstream(TFilterGraph::FindPin(engine.Grabber->Filter(), TPinDirection::Output)),
              engine.VideoWindow->Renderer());

    ASSERT_TRUE(FramesArrive(5));
    // The offscreen window really shows a picture: not black.
    const QImage shown = Window(engine)->grab().toImage();
    EXPECT_EQ(shown.size(), QSize(320, 240));
    EXPECT_GT(Brightness(shown), 30);
    // PAL at high quality on a Philips card: 640x480.
    const QImage grabbed = GrabAfter();
    EXPECT_EQ(grabbed.size(), QSize(640, 480));
    EXPECT_GT(Brightness(grabbed), 30);
}

TEST_F(PreviewGraphTest, RerenderFollowsSizeAndStandard)
{
    TCaptureInfo &engine = Start("cx88");
    ASSERT_EQ(Main.ChipFamily, FamilyConexant);
    ASSERT_TRUE(engine.StartPreview(true));
    // Conexant on 625 lines: 640x576 first.
    EXPECT_EQ(GrabAfter().size(), QSize(640, 576));

    engine.HighQualityPreview = 0;
    ASSERT_TRUE(engine.StartPreview(false));
    ASSERT_TRUE(FramesArrive());
    EXPECT_EQ(GrabAfter().size(), QSize(352, 288));
    // Without de-interlacing the tap follows the tee directly.
    EXPECT_EQ(engine.Deinterlacer, nullptr);
    EXPECT_EQ(Downstream(engine.PreviewPin), engine.Grabber->Filter());

    // A 525-line standard.
    ASSERT_EQ(engine.VideoDecoderControl->SetStandard(Std_NTSC_M), 0);
    ASSERT_TRUE(engine.StartPreview(false));
    EXPECT_EQ(GrabAfter().size(), QSize(320, 240));
    engine.HighQualityPreview = 1;
    ASSERT_TRUE(engine.StartPreview(false));
    EXPECT_EQ(GrabAfter().size(), QSize(640, 480));
    ASSERT_TRUE(FramesArrive());
    // Each re-render replaced the whole branch: one renderer, one tap.
    int renderers = 0, taps = 0;
    for (auto &f : engine.FilterGraph->Filters()) {
        renderers += f->Name == "Video Renderer";
        taps += f->Name == "Snapshot";
    }
    EXPECT_EQ(renderers, 1);
    EXPECT_EQ(taps, 1);
    EXPECT_TRUE(Presenter.Shown.isEmpty()) << Presenter.Shown.join("; ").toStdString();
}

TEST_F(PreviewGraphTest, FmModeRerenderLeavesTheVideoOut)
{
    TCaptureInfo &engine = Start();
    ASSERT_TRUE(engine.StartPreview(true));
    ASSERT_TRUE(FramesArrive());
    engine.FMMode = 1;
    ASSERT_TRUE(engine.StartPreview(false));
    EXPECT_FALSE(engine.PreviewPin->IsConnected());
    for (auto &f : engine.FilterGraph->Filters())
        EXPECT_NE(f->Name, "Video Renderer");
    EXPECT_TRUE(engine.FilterGraph->WaitForState());
    EXPECT_EQ(engine.FilterGraph->State(), GST_STATE_PLAYING);
    // Back from FM the picture returns.
    engine.FMMode = 0;
    ASSERT_TRUE(engine.StartPreview(false));
    ASSERT_TRUE(FramesArrive());
}

TEST_F(PreviewGraphTest, TheCardsSoundReachesTheAudioRendererAndFollowsTheTuner)
{
    // Like a V4L2 node, the virtual capture filter carries no sound: the
    // card's own audio capture device, paired with it as real cards are,
    // gives it, on path 1 for every family but Wis.
    for (const char *profile : {"saa7134", "cx88", "em2820"}) {
        SCOPED_TRACE(profile);
        TCaptureInfo &engine = Start(profile);
        ASSERT_GE(engine.PairedAudioIndex, 0);
        EXPECT_TRUE(
            engine.AudioDeviceNames.value(engine.PairedAudioIndex).endsWith("Audio Capture"));
        ASSERT_TRUE(engine.StartPreview(true)) << Presenter.Shown.join("; ").toStdString();
        EXPECT_EQ(TFilterGraph::FindPin(engine.VCapture->Object(), TPinDirection::Output,
                                        TPinCategory::None, TMediaKind::Audio),
                  nullptr);
        EXPECT_EQ(engine.AudioPath, 1);
        TPin *sound = engine.CapturePin2;
        ASSERT_NE(sound, nullptr);
        EXPECT_EQ(sound->Filter, engine.ACapture->Object());
        ASSERT_NE(engine.SmartTeeAudio, nullptr);
        EXPECT_EQ(Downstream(sound), engine.SmartTeeAudio.get());
        // The tee's free output waits for a recording; it must not hold the
        // sound up.
        ASSERT_NE(engine.AudioTeeCapturePin, nullptr);
        EXPECT_FALSE(engine.AudioTeeCapturePin->IsConnected());
        EXPECT_EQ(sound->Media, TMediaKind::Audio);
        EXPECT_TRUE(sound->IsConnected());
        ASSERT_TRUE(TapSound());

        ASSERT_EQ(engine.Tuner->SetFrequency(55250000, 0), 0); // "Lyra One", 440 Hz
        auto [buffers, crossings] = ListenFor();
        // 1920 samples a buffer at 48 kHz, played against the clock.
        EXPECT_NEAR(buffers, 25, 6);
        EXPECT_NEAR(crossings, 880, 80);
        ASSERT_EQ(engine.Tuner->SetFrequency(61250000, 0), 0); // "Channel Three", 523 Hz
        crossings = ListenFor().second;
        EXPECT_NEAR(crossings, 1046, 80);
        ASSERT_EQ(engine.Tuner->SetFrequency(300000000, 0), 0); // between stations: noise
        crossings = ListenFor().second;
        EXPECT_GT(crossings, 5000);
        // The picture keeps coming beside the sound.
        EXPECT_TRUE(FramesArrive());
        EXPECT_TRUE(Presenter.Shown.isEmpty()) << Presenter.Shown.join("; ").toStdString();
        Engine.reset();
    }
}

TEST_F(PreviewGraphTest, FmModeRerenderKeepsTheSoundOnly)
{
    TCaptureInfo &engine = Start();
    ASSERT_TRUE(engine.StartPreview(true));
    ASSERT_EQ(engine.Tuner->SetMode(TunerModeFM), 0);
    ASSERT_EQ(engine.Tuner->SetFrequency(100000000, 0), 0); // "Hundred FM", 450 Hz
    engine.FMMode = 1;
    ASSERT_TRUE(engine.StartPreview(false));
    for (auto &f : engine.FilterGraph->Filters())
        EXPECT_NE(f->Name, "Video Renderer");
    EXPECT_FALSE(engine.PreviewPin->IsConnected());
    EXPECT_EQ(engine.AudioPath, 1);
    ASSERT_TRUE(TapSound());
    const auto [buffers, crossings] = ListenFor();
    EXPECT_NEAR(buffers, 25, 6);
    EXPECT_NEAR(crossings, 900, 80);
    // A stalled card sends nothing; the sink keeps the graph running and the
    // sound comes back with the card.
    TVirtualCard::Instance().Stall = true;
    QThread::msleep(200);
    EXPECT_LT(ListenFor(500, false).first, 3);
    TVirtualCard::Instance().Stall = false;
    EXPECT_EQ(engine.FilterGraph->State(), GST_STATE_PLAYING);
    EXPECT_NEAR(ListenFor().first, 25, 6);
}

TEST_F(PreviewGraphTest, TheTapShowsTheNewStationAfterTuning)
{
    TCaptureInfo &engine = Start();
    ASSERT_TRUE(engine.StartPreview(true));
    ASSERT_EQ(engine.Tuner->SetFrequency(55250000, 0), 0);
    const QImage first = GrabAfter(5);
    ASSERT_FALSE(first.isNull());
    ASSERT_EQ(engine.Tuner->SetFrequency(61250000, 0), 0); // "Channel Three", ball
    const QImage second = GrabAfter(5);
    ASSERT_FALSE(second.isNull());
    EXPECT_GT(Difference(first, second), 20);
    // Off every carrier: snow, which changes from frame to frame.
    ASSERT_EQ(engine.Tuner->SetFrequency(300000000, 0), 0);
    const QImage snow1 = GrabAfter(3), snow2 = GrabAfter(1);
    EXPECT_GT(Difference(snow1, snow2), 20);
}

TEST_F(PreviewGraphTest, WithoutSmartTeeThePinsAreUsedAsTheyAre)
{
    TCaptureInfo &engine = Start();
    engine.FindFilter = [](const QString &name) {
        return name == "Smart Tee" ? nullptr : CreateRegisteredFilter(name);
    };
    ASSERT_TRUE(engine.StartPreview(true));
    EXPECT_EQ(engine.SmartTee, nullptr);
    TGraphFilter *capture = engine.VCapture->Object();
    EXPECT_EQ(engine.PreviewPin->Filter, capture);
    EXPECT_EQ(engine.CapturePin->Filter, capture);
    EXPECT_FALSE(engine.CapturePin->IsConnected()); // kept free for recording
    EXPECT_EQ(Downstream(engine.PreviewPin), engine.VideoWindow->Renderer());
    ASSERT_TRUE(FramesArrive());
    // The tap is in the graph but not in the picture's way: nothing to grab.
    ASSERT_NE(engine.Grabber, nullptr);
    QImage image;
    EXPECT_FALSE(engine.Grabber->GrabFrame(image));
    EXPECT_TRUE(image.isNull());
}

TEST_F(PreviewGraphTest, WithoutTunerTheCrossbarFeedsTheCapture)
{
    TCaptureInfo &engine = Start();
    // A tuner holder that never got a filter counts as no tuner.
    engine.TVTuner->SetFilterGraph(nullptr);
    engine.TVTuner->BaseFilter = {};
    engine.TVTuner->SetFilterGraph(engine.FilterGraph.get());
    ASSERT_TRUE(engine.StartPreview(true)) << Presenter.Shown.join("; ").toStdString();
    EXPECT_FALSE(engine.HasTuner);
    EXPECT_EQ(engine.TVTuner, nullptr);
    EXPECT_EQ(engine.TVAudio, nullptr);
    EXPECT_EQ(engine.Tuner, nullptr);
    TPin *analogIn = TFilterGraph::FindPin(engine.VCapture->Object(), TPinDirection::Input,
                                           TPinCategory::AnalogVideoIn);
    ASSERT_TRUE(analogIn->IsConnected());
    EXPECT_EQ(analogIn->ConnectedTo->Filter, engine.Crossbar->Object());
    EXPECT_EQ(engine.InputCount, 4);
    ASSERT_TRUE(FramesArrive());
}

TEST_F(PreviewGraphTest, CaptureInputFormatChoosesTheMediaTypeWithFallbacks)
{
    TCaptureInfo &engine = Start();
    engine.CaptureInputFormat = 2;
    ASSERT_TRUE(engine.StartPreview(true));
    EXPECT_EQ(engine.ColorFormatKind, 3);
    TVideoFormat format;
    engine.StreamConfig->GetFormat(format);
    EXPECT_EQ(format.Subtype, "RGB555");
    EXPECT_EQ(engine.Grabber->GrabberColorKind, TSampleGrabberEx::KindRGB24);
    const QImage rgb = GrabAfter();
    EXPECT_EQ(rgb.size(), QSize(640, 480));
    EXPECT_GT(Brightness(rgb), 30);

    engine.StopGraph();
    engine.RemoveDownstream(engine.PreviewPin);
    // A card without RGB555: UYVY first, then YUY2, then index 0.
    engine.RGB555Index = -1;
    ASSERT_TRUE(engine.SetVideoFormat(3, 352, 288));
    EXPECT_EQ(engine.CaptureInputFormat, 0);
    EXPECT_EQ(engine.ColorFormatKind, 1);
    engine.StreamConfig->GetFormat(format);
    EXPECT_EQ(format.Subtype, "UYVY");
    EXPECT_EQ(format.Width, 352);
    engine.UYVYIndex = -1;
    ASSERT_TRUE(engine.SetVideoFormat(1, 320, 240));
    EXPECT_EQ(engine.CaptureInputFormat, 1);
    EXPECT_EQ(engine.ColorFormatKind, 0);
    engine.StreamConfig->GetFormat(format);
    EXPECT_EQ(format.Subtype, "YUY2");
    // YUY2 offered only at index 0: chosen as the last resort, not as YUY2.
    engine.CaptureInputFormat = 2;
    engine.VideoFormats[0].Subtype = "RGB32";
    engine.YUY2Index = 0;
    ASSERT_TRUE(engine.SetVideoFormat(1, 320, 240));
    EXPECT_EQ(engine.CaptureInputFormat, 1);
    engine.StreamConfig->GetFormat(format);
    EXPECT_EQ(format.Subtype, "RGB32");
}

TEST_F(PreviewGraphTest, MissingFiltersRaiseTheirMessagesUnlessQuiet)
{
    TCaptureInfo &engine = Start();
    engine.FindFilter = [](const QString &name) {
        return ContainsText(name, "Deinterlace") ? nullptr : CreateRegisteredFilter(name);
    };
    ASSERT_TRUE(engine.StartPreview(true));
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_TRUE(Presenter.Shown[0].contains(MessageText(1016)));
    // The picture is rendered from the tee anyway.
    ASSERT_TRUE(FramesArrive());
    Presenter.Shown.clear();
    engine.Quiet = 1;
    ASSERT_TRUE(engine.StartPreview(false));
    EXPECT_TRUE(Presenter.Shown.isEmpty());
    // Overlay asked for but absent: a plain text.
    engine.Quiet = 0;
    engine.FindFilter = [](const QString &name) {
        return ContainsText(name, "Overlay") ? nullptr : CreateRegisteredFilter(name);
    };
    engine.StopGraph();
    engine.RemoveDownstream(engine.PreviewPin);
    EXPECT_TRUE(engine.RenderPreviewVideo(true, false, true));
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_EQ(Presenter.Shown[0], "Cannot use overlay");
}

TEST_F(PreviewGraphTest, ReselectDevicesBuildsAFreshGraph)
{
    TCaptureInfo &engine = Start();
    ASSERT_TRUE(engine.StartPreview(true));
    ASSERT_TRUE(FramesArrive());
    TFilterGraph *before = engine.FilterGraph.get();
    (void)before;
    ASSERT_TRUE(engine.ReselectDevices());
    ASSERT_NE(engine.VideoWindow, nullptr);
    ASSERT_TRUE(FramesArrive());
    EXPECT_EQ(GrabAfter().size(), QSize(640, 480));
}

TEST_F(PreviewGraphTest, WisProfileDecodesItsCompressedPreview)
{
    TCaptureInfo &engine = Start("wis");
    ASSERT_EQ(Main.ChipFamily, FamilyWis);
    engine.CaptureFormat = FormatMPEG4;
    Main.MPEG4Codec = 2;
    ASSERT_TRUE(engine.StartPreview(true)) << Presenter.Shown.join("; ").toStdString();
    EXPECT_TRUE(Presenter.Shown.isEmpty()) << Presenter.Shown.join("; ").toStdString();
    EXPECT_EQ(engine.ACapture->Object(), nullptr);
    ASSERT_NE(engine.AudioCapturePin, nullptr); // the second capture pin
    EXPECT_TRUE(engine.AudioCapturePin->IsConnected());
    TVideoFormat format;
    engine.StreamConfig->GetFormat(format);
    EXPECT_EQ(format.Subtype, "MP4S");
    EXPECT_EQ(format.Width, 720);
    EXPECT_EQ(engine.Grabber, nullptr);
    ASSERT_NE(engine.VideoDecoder, nullptr);
    QStringList errors;
    engine.FilterGraph->OnGraphError = [&](const TGraphError &e) { errors << e.Text; };
    const bool arrived = FramesArrive(5);
    ASSERT_TRUE(arrived) << errors.join("; ").toStdString();
    EXPECT_GT(Brightness(Window(engine)->grab().toImage()), 30);
    EXPECT_EQ(Window(engine)->LastFrame().size(), QSize(720, 576));

    // Re-render at the small size; the DivX codec choice and a format the
    // card lacks (MPEG-2) leave the size as it was.
    engine.HighQualityPreview = 0;
    ASSERT_TRUE(engine.StartPreview(false));
    ASSERT_TRUE(FramesArrive(3));
    EXPECT_EQ(Window(engine)->LastFrame().size(), QSize(352, 288));
    EXPECT_TRUE(engine.AudioCapturePin->IsConnected());
    EXPECT_FALSE(engine.SetWisVideoFormat(FormatMPEG2, 352, 288));
    Main.MPEG4Codec = 0;
    EXPECT_TRUE(engine.SetWisVideoFormat(FormatAVI, 352, 288));
    engine.StreamConfig->GetFormat(format);
    EXPECT_EQ(format.Subtype, "DX50");
}

TEST_F(PreviewGraphTest, PictureInPicturePlacesTheWindowInTheOwner)
{
    QWidget owner;
    owner.resize(640, 480);
    owner.show();
    TVideoWindowHost host;
    host.Owner = &owner;
    host.Borders = QMargins(10, 17, 10, 10);
    SetVideoWindowHost(&host);
    TCaptureInfo &engine = Start();
    bool created = false;
    engine.OnVideoWindowCreated = [&] { created = true; };
    ASSERT_TRUE(engine.StartPreview(true));
    EXPECT_TRUE(created);
    ASSERT_EQ(Window(engine)->parentWidget(), &owner);
    EXPECT_EQ(Window(engine)->geometry(), QRect(10, 17, 620, 453));
    engine.SetPictureInPicture(true);
    EXPECT_EQ(Window(engine)->geometry(), QRect(10, 17, (640 - 20) / 3, (480 - 34) / 3));
    owner.resize(900, 600);
    EXPECT_EQ(Window(engine)->geometry(), QRect(10, 17, (900 - 20) / 3, (600 - 34) / 3));
    engine.SetPictureInPicture(false);
    EXPECT_EQ(Window(engine)->geometry(), QRect(10, 17, 880, 573));
    // The owner frees its child first; the engine forgets it.
    delete Window(engine);
    EXPECT_EQ(engine.VideoWindow, nullptr);
    SetVideoWindowHost(&DefaultHost);
}

TEST_F(PreviewGraphTest, WithoutAVideoWindowHostThePreviewCannotRender)
{
    SetVideoWindowHost(nullptr);
    TCaptureInfo &engine = Start();
    // The build goes on without its picture, as with a renderer that fails,
    // and says so.
    engine.StartPreview(true);
    EXPECT_EQ(engine.VideoWindow, nullptr);
    EXPECT_TRUE(Presenter.Shown.join(" ").contains("1002"))
        << Presenter.Shown.join("; ").toStdString();
}

} // namespace
