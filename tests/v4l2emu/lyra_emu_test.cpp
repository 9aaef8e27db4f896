// The program's own V4L2 code on the emulated card: device discovery, the
// preview through v4l2src with the frame tap, tuning, inputs, standards and
// their sizes and rates, picture controls, FM on the radio node, and a card
// that is busy or goes away.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QThread>
#include <map>

#include <gtest/gtest.h>

#include "app/live_engine.h"
#include "app/main_info.h"
#include "app/remote_status.h"
#include "capture/capture_info.h"
#include "capture/video_signal_adjust.h"
#include "emu_support.h"
#include "platform/device_enum.h"
#include "platform/filter_registry.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_devices.h"
#include "platform/virtual_card.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

double Difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
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

double Brightness(const QImage &image)
{
    QImage black(image.size(), QImage::Format_RGB888);
    black.fill(Qt::black);
    return Difference(image, black);
}

// The chip words the program adds to the card name (platform/v4l2_devices).
QString ExpectedName()
{
    const emu::TModel &m = *emutest::Model();
    return V4l2FriendlyName(QString::fromStdString(m.Driver), QString::fromStdString(m.Card),
                            m.Bus == "usb" ? QString::number(m.UsbVendor, 16) : QString(),
                            m.Bus == "usb" ? QString::number(m.UsbProduct, 16) : QString());
}

class LyraOnEmu : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!emutest::Model())
            GTEST_SKIP() << "runs under tools/v4l2-emu only";
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
    TCaptureInfo &Preview()
    {
        Engine = std::make_unique<TCaptureInfo>();
        EXPECT_TRUE(Engine->SelectDevices());
        EXPECT_TRUE(Engine->StartPreview(true)) << Presenter.Shown.join('|').toStdString();
        return *Engine;
    }
    // A picture taken after the tap has seen `frames` more frames.
    QImage Grab(int frames = 12)
    {
        if (!Engine || !Engine->Grabber)
            return {};
        const int64_t start = Engine->Grabber->FrameCount();
        WaitUntil([&] { return Engine->Grabber->FrameCount() >= start + frames; });
        QImage image;
        Engine->Grabber->GrabFrame(image);
        return image;
    }
    // Pictures until one satisfies `done` (the card redraws a change within
    // a few frames; a loaded machine takes longer); the last one taken.
    QImage GrabUntil(const std::function<bool(const QImage &)> &done, int ms = 8000)
    {
        QImage image;
        QElapsedTimer timer;
        timer.start();
        do
            image = Grab(2);
        while (!done(image) && timer.elapsed() < ms);
        return image;
    }
    // The caps v4l2src negotiated.
    GstCaps *SourceCaps()
    {
        TGraphFilter *capture = Engine->VCapture ? Engine->VCapture->Object() : nullptr;
        GstElement *src = capture ? gst_bin_get_by_name(GST_BIN(capture->Bin()), "src") : nullptr;
        if (!src)
            return nullptr;
        GstPad *pad = gst_element_get_static_pad(src, "src");
        GstCaps *caps = gst_pad_get_current_caps(pad);
        gst_object_unref(pad);
        gst_object_unref(src);
        return caps;
    }
    TMainInfo Main;
    TRecordingPresenter Presenter;
    std::unique_ptr<TCaptureInfo> Engine;
};

TEST_F(LyraOnEmu, DiscoveryListsTheEmulatedCardFirstAndTheVirtualCardLast)
{
    const emu::TModel &m = *emutest::Model();
    const std::vector<TV4l2Card> cards = ScanV4l2Cards();
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].Path, "/dev/video0");
    EXPECT_EQ(cards[0].RadioPath, emutest::RadioNode() ? "/dev/radio0" : "");
    EXPECT_EQ(cards[0].InputCount, int(m.Inputs.size()));
    EXPECT_TRUE(cards[0].HasTuner);
    for (TDeviceCategory category : {TDeviceCategory::VideoInput, TDeviceCategory::Crossbar,
                                     TDeviceCategory::TVTuner, TDeviceCategory::TVAudio}) {
        const TSysDevEnum devices(category);
        ASSERT_GE(devices.CountFilters(), 2);
        EXPECT_TRUE(devices.FriendlyName(0).startsWith(ExpectedName()))
            << devices.FriendlyName(0).toStdString();
        EXPECT_TRUE(devices.Moniker(0).endsWith(":/dev/video0"));
        EXPECT_TRUE(devices.FriendlyName(devices.CountFilters() - 1).startsWith("Lyra Virtual"));
    }
    // The chip family follows from the name, as for a real card.
    TCaptureInfo engine;
    ASSERT_TRUE(engine.SelectDevices());
    EXPECT_EQ(engine.ChosenVideoIndex, 0);
    const std::map<std::string, uint8_t> family = {{"saa7134", FamilyPhilips},
                                                   {"cx88", FamilyConexant},
                                                   {"bttv", FamilyConexant},
                                                   {"em28xx", FamilyEmpia28x0}};
    EXPECT_EQ(Main.ChipFamily, family.at(m.Profile));
}

TEST_F(LyraOnEmu, PreviewStreamsThroughV4l2srcIntoTheTap)
{
    TCaptureInfo &engine = Preview();
    ASSERT_TRUE(engine.Grabber);
    const QImage image = Grab();
    ASSERT_FALSE(image.isNull());
    TVideoFormat format;
    ASSERT_EQ(engine.StreamConfig->GetFormat(format), 0);
    EXPECT_EQ(image.size(), QSize(format.Width, format.Height));
    // The formats are the driver's: its pixel formats the program knows, at
    // sizes it takes unchanged.
    ASSERT_FALSE(engine.VideoFormats.empty());
    for (const TVideoFormat &f : engine.VideoFormats) {
        const auto &formats = emutest::Model()->Formats;
        const uint32_t fourcc = f.Subtype == "YUY2"     ? V4L2_PIX_FMT_YUYV
                                : f.Subtype == "UYVY"   ? V4L2_PIX_FMT_UYVY
                                : f.Subtype == "RGB555" ? V4L2_PIX_FMT_RGB555
                                                        : V4L2_PIX_FMT_BGR32;
        EXPECT_NE(std::find(formats.begin(), formats.end(), fourcc), formats.end())
            << f.Name().toStdString();
    }
    EXPECT_EQ(engine.UYVYIndex >= 0,
              std::count(emutest::Model()->Formats.begin(), emutest::Model()->Formats.end(),
                         V4L2_PIX_FMT_UYVY) > 0);
    GstCaps *caps = SourceCaps();
    ASSERT_TRUE(caps);
    const GstStructure *s = gst_caps_get_structure(caps, 0);
    int w = 0, h = 0;
    gst_structure_get_int(s, "width", &w);
    gst_structure_get_int(s, "height", &h);
    EXPECT_EQ(QSize(w, h), QSize(format.Width, format.Height));
    gst_caps_unref(caps);
}

TEST_F(LyraOnEmu, TuningChangesTheStationInThePicture)
{
    TCaptureInfo &engine = Preview();
    ASSERT_TRUE(engine.SetInputType(PhysConn_Video_Tuner));
    ASSERT_TRUE(engine.TuneTV(55250000, false));
    EXPECT_EQ(engine.HasSignal, 1);
    const QImage one = Grab();
    ASSERT_TRUE(engine.TuneTV(61250000, false));
    EXPECT_EQ(engine.HasSignal, 1);
    const QImage three = GrabUntil([&](const QImage &i) { return Difference(one, i) > 20; });
    EXPECT_GT(Difference(one, three), 20);
    // Between stations: snow, and no lock.
    ASSERT_TRUE(engine.TuneTV(58250000, false));
    EXPECT_EQ(engine.HasSignal, 0);
    const QImage snow = GrabUntil([&](const QImage &i) { return Difference(three, i) > 20; });
    EXPECT_GT(Difference(snow, Grab(1)), 20);
    // A restart of the graph keeps the channel (a re-opened v4l2src would
    // tune the one it first saw).
    ASSERT_TRUE(engine.TuneTV(61250000, false));
    ASSERT_TRUE(engine.StartPreview(false));
    TV4l2Device node("/dev/video0");
    ASSERT_EQ(node.Open(), 0);
    v4l2_frequency f{};
    ASSERT_EQ(node.GetFrequency(f), 0);
    EXPECT_EQ(f.frequency, 61250000u / 62500);
    EXPECT_LT(
        Difference(three, GrabUntil([&](const QImage &i) { return Difference(three, i) < 20; })),
        20);
}

TEST_F(LyraOnEmu, InputsSwitchThePicture)
{
    TCaptureInfo &engine = Preview();
    EXPECT_EQ(engine.CrossbarInputNames.size(), int(emutest::Model()->Inputs.size()));
    ASSERT_TRUE(engine.SetInputType(PhysConn_Video_Tuner));
    ASSERT_TRUE(engine.TuneTV(61250000, false)); // a dark picture
    const QImage tuner = Grab();
    ASSERT_TRUE(engine.SetInputType(PhysConn_Video_Composite));
    // The driver switched: its current input is a composite one.
    TV4l2Device node("/dev/video0");
    ASSERT_EQ(node.Open(), 0);
    int index = -1;
    ASSERT_EQ(node.GetInput(index), 0);
    v4l2_input input{};
    input.index = uint32_t(index);
    ASSERT_EQ(node.EnumInput(input), 0);
    EXPECT_NE(input.type, uint32_t(V4L2_INPUT_TYPE_TUNER));
    EXPECT_GT(
        Difference(tuner, GrabUntil([&](const QImage &i) { return Difference(tuner, i) > 20; })),
        20);
    // And stays switched over a restart of the graph.
    ASSERT_TRUE(engine.StartPreview(false));
    int after = -1;
    ASSERT_EQ(node.GetInput(after), 0);
    EXPECT_EQ(after, index);
}

TEST_F(LyraOnEmu, AStandardChangeResizesAndNtscRunsAt2997)
{
    TCaptureInfo &engine = Preview();
    ASSERT_TRUE(engine.SetTVStandard(Std_PAL_B));
    TVideoFormat pal;
    ASSERT_EQ(engine.StreamConfig->GetFormat(pal), 0);
    EXPECT_EQ(pal.RateNumerator * 1.0 / pal.RateDenominator, 25.0);
    ASSERT_TRUE(engine.SetTVStandard(Std_NTSC_M));
    ASSERT_TRUE(WaitUntil([&] { return engine.FilterGraph->State() == GST_STATE_PLAYING; }));
    TVideoFormat ntsc;
    ASSERT_EQ(engine.StreamConfig->GetFormat(ntsc), 0);
    EXPECT_EQ(ntsc.RateNumerator, 30000);
    EXPECT_EQ(ntsc.RateDenominator, 1001);
    EXPECT_LE(ntsc.Height, 480);
    // The families that re-size take the 525-line size (640x480 in high
    // quality); 625 lines gave 576 lines on them.
    const uint8_t family = Main.ChipFamily;
    if (family >= FamilyConexant && family <= FamilyEmpia28x1) {
        EXPECT_EQ(QSize(ntsc.Width, ntsc.Height), QSize(640, 480));
        EXPECT_EQ(pal.Height, family == FamilyEmpia28x0 ? 480 : 576);
    }
    const QImage image = Grab();
    EXPECT_EQ(image.height(), ntsc.Height);
    GstCaps *caps = SourceCaps();
    ASSERT_TRUE(caps);
    int num = 0, den = 0;
    gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "framerate", &num, &den);
    EXPECT_EQ(num, 30000);
    EXPECT_EQ(den, 1001);
    gst_caps_unref(caps);
}

TEST_F(LyraOnEmu, PictureControlsChangeTheFrames)
{
    TCaptureInfo &engine = Preview();
    ASSERT_TRUE(engine.VideoSignalAdjust && engine.VideoSignalAdjust->Attached());
    ASSERT_TRUE(engine.SetInputType(PhysConn_Video_Composite));
    const TProcAmpRange &range = engine.VideoSignalAdjust->Range(ProcAmp_Brightness);
    ASSERT_TRUE(range.Valid);
    const double normal = Brightness(Grab());
    ASSERT_TRUE(engine.VideoSignalAdjust->SetBrightness(range.Maximum));
    const QImage bright = GrabUntil([&](const QImage &i) { return Brightness(i) > normal + 20; });
    ASSERT_TRUE(engine.VideoSignalAdjust->SetBrightness(range.Minimum));
    const QImage dark = GrabUntil([&](const QImage &i) { return Brightness(i) < normal - 20; });
    EXPECT_GT(Brightness(bright), Brightness(dark) + 40);
    ASSERT_TRUE(engine.VideoSignalAdjust->SetBrightness(range.Default));
}

TEST_F(LyraOnEmu, FmTunesThroughTheRadioNode)
{
    if (!emutest::RadioNode())
        GTEST_SKIP() << "no --radio";
    TCaptureInfo &engine = Preview();
    ASSERT_TRUE(engine.SetFMMode(true));
    ASSERT_TRUE(engine.TuneFM(88100000));
    EXPECT_EQ(engine.HasSignal, 1);
    // "Radio Lyra 88.1" is a stereo station; every modelled radio tuner
    // tells stereo (V4L2_TUNER_CAP_STEREO).
    TTunerStatus status;
    ASSERT_EQ(engine.Tuner->GetStatus(status), 0);
    EXPECT_EQ(status.Stereo, 1);
    EXPECT_EQ(status.CurrentFrequency, 88100000);
    ASSERT_TRUE(engine.TuneFM(89000000));
    EXPECT_EQ(engine.HasSignal, 0);
    ASSERT_EQ(engine.Tuner->GetStatus(status), 0);
    EXPECT_EQ(status.Stereo, 0);
    ASSERT_TRUE(engine.SetFMMode(false));
    ASSERT_TRUE(engine.TuneTV(55250000, false));
    EXPECT_EQ(engine.HasSignal, 1);
}

TEST_F(LyraOnEmu, StatusNamesTheChosenCardAndItsNode)
{
    Preview();
    CaptureInfo = Engine.get();
    ConnectLiveEngine();
    QJsonObject device = RemoteStatus()["VideoDevice"].toObject();
    EXPECT_EQ(device["Name"].toString(), ExpectedName());
    EXPECT_EQ(device["Path"].toString(), "/dev/video0");

    // The virtual card, listed last, has no node.
    Engine->VideoDeviceIndex = int(Engine->VideoDeviceNames.size()) - 1;
    ASSERT_TRUE(Engine->ReselectDevices());
    device = RemoteStatus()["VideoDevice"].toObject();
    EXPECT_TRUE(device["Name"].toString().startsWith("Lyra Virtual"))
        << device["Name"].toString().toStdString();
    EXPECT_TRUE(device["Path"].isNull());
    DisconnectLiveEngine();
    CaptureInfo = nullptr;
}

// ---- misbehaviour, each run by its own CTest entry ----

TEST_F(LyraOnEmu, BusyCardGivesTheDeviceMessage)
{
    // The card is listed (another program holds it) and chosen; the preview
    // cannot be built on it.
    const TSysDevEnum video(TDeviceCategory::VideoInput);
    ASSERT_GE(video.CountFilters(), 2);
    EXPECT_TRUE(
        video.FriendlyName(0).contains(QString::fromStdString(emutest::Model()->Driver).left(4)))
        << video.FriendlyName(0).toStdString();
    Engine = std::make_unique<TCaptureInfo>();
    ASSERT_TRUE(Engine->SelectDevices());
    EXPECT_EQ(Engine->ChosenVideoIndex, 0);
    EXPECT_FALSE(Engine->StartPreview(true));
    EXPECT_TRUE(Presenter.Shown.join('\n').contains(
        "Cannot preview, maybe some program use same interface or something wrong..."))
        << Presenter.Shown.join('|').toStdString();
}

TEST_F(LyraOnEmu, UnpluggedCardStopsWithAMessageAndComesBack)
{
    TCaptureInfo &engine = Preview();
    ASSERT_FALSE(Grab().isNull());
    // The card goes away mid-stream: v4l2src's error reaches the engine,
    // which stops the graph and names the device and what went wrong.
    ASSERT_TRUE(WaitUntil([&] { return !Presenter.Shown.isEmpty(); }, 10000));
    EXPECT_TRUE(ScanV4l2Cards().empty());
    const QString shown = Presenter.Shown.join('\n');
    EXPECT_TRUE(shown.contains(BuiltInMessageText(1002))) << shown.toStdString();
    EXPECT_TRUE(shown.contains("/dev/video0: ")) << shown.toStdString();
    EXPECT_EQ(engine.FilterGraph->State(), GST_STATE_NULL);
    // What was queued before drains; then nothing comes, and the further
    // errors of the same failure show nothing more.
    auto settle = [&] {
        QThread::msleep(300);
        QCoreApplication::processEvents();
        return engine.Grabber->FrameCount();
    };
    const int64_t frames = settle();
    EXPECT_EQ(settle(), frames);
    EXPECT_EQ(Presenter.Shown.size(), 1);

    // Plugged back in, the card is chosen again without a restart.
    ASSERT_TRUE(WaitUntil([] { return !ScanV4l2Cards().empty(); }, 20000));
    ASSERT_TRUE(engine.ReselectDevices()) << Presenter.Shown.join('|').toStdString();
    EXPECT_EQ(engine.ChosenVideoIndex, 0);
    EXPECT_FALSE(Grab().isNull());
    EXPECT_EQ(Presenter.Shown.size(), 1) << Presenter.Shown.join('|').toStdString();
}

} // namespace
