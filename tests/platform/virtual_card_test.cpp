// The virtual card: its tuner model and its filters in a running pipeline.
#include <QThread>
#include <atomic>

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include "platform/device_enum.h"
#include "platform/filter_graph.h"
#include "platform/filter_registry.h"
#include "platform/virtual_card.h"
#include "platform/virtual_filters.h"
#include "test_env.h"

namespace {

class VirtualCardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        Card.Reset();
    }
    void TearDown() override { Card.Reset(); }
    TVirtualCard &Card = TVirtualCard::Instance();
};

TEST_F(VirtualCardTest, ShippedStationsParseAndBadLinesAreReported)
{
    EXPECT_GE(Card.Stations.size(), 12u);
    int fm = 0;
    for (const TVirtualStation &s : Card.Stations)
        fm += s.FM;
    EXPECT_GE(fm, 3);

    QStringList errors;
    const auto stations = ParseVirtualStations(
        "# comment\nTV 55250000 440 mono smpte One Two\nTV x 440 mono smpte Bad\n"
        "AM 1000 440 mono smpte Bad band\nFM 88100000 300 stereo+surround smpte Bad mode\n"
        "TV 61250000 440 mono\n",
        &errors);
    ASSERT_EQ(stations.size(), 1u);
    EXPECT_EQ(stations[0].Name, "One Two");
    EXPECT_EQ(errors.size(), 4);
    EXPECT_TRUE(errors[0].startsWith("line 3"));
}

TEST_F(VirtualCardTest, TunerLocksWithinTheWindowAndReportsSignedPllOffsets)
{
    struct Case
    {
        int32_t Frequency;
        bool Locked;
        int32_t Offset;
    };
    // Lyra One at 55.25 MHz; nothing else within 1.5 MHz of it.
    for (const Case &c :
         {Case{55250000, true, 0}, Case{55375000, true, 0}, Case{55125000, true, 0},
          Case{55376000, true, 1}, Case{55124000, true, -1}, Case{55750000, true, 1},
          Case{56000000, true, 2}, Case{56750000, true, 4}, Case{53750000, true, -4},
          Case{56760000, false, 0}, Case{53740000, false, 0}}) {
        ASSERT_EQ(Card.SetFrequency(c.Frequency), 0);
        const TTunerStatus s = Card.Status();
        EXPECT_EQ(Card.Locked(), c.Locked) << c.Frequency;
        EXPECT_EQ(s.PLLOffset, c.Offset) << c.Frequency;
        EXPECT_EQ(s.CurrentFrequency, c.Frequency);
    }
    // Outside the tuner's range the frequency is refused and kept.
    EXPECT_EQ(Card.SetFrequency(10000000), EINVAL);
    EXPECT_EQ(Card.TVFrequency, 53740000);

    // FM: a narrower window, its own frequency.
    ASSERT_EQ(Card.SetMode(TunerModeFM), 0);
    ASSERT_EQ(Card.SetFrequency(100000000), 0);
    EXPECT_TRUE(Card.Locked());
    EXPECT_EQ(Card.Status().PLLOffset, 0);
    ASSERT_EQ(Card.SetFrequency(100050000), 0);
    EXPECT_EQ(Card.Status().PLLOffset, 1);
    ASSERT_EQ(Card.SetFrequency(100200000), 0);
    EXPECT_FALSE(Card.Locked());
    EXPECT_EQ(Card.TVFrequency, 53740000);
}

TEST_F(VirtualCardTest, MisbehavesOnRequest)
{
    Card.Faults.NoLock = true;
    ASSERT_EQ(Card.SetFrequency(55250000), 0);
    EXPECT_FALSE(Card.Locked());
    EXPECT_EQ(Card.LockedStation(), nullptr);
    Card.Faults.NoLock = false;
    EXPECT_TRUE(Card.Locked());

    Card.Faults.RefuseFM = true;
    EXPECT_NE(Card.SetMode(TunerModeFM), 0);
    EXPECT_EQ(Card.Mode, TunerModeTV);
    TVirtualTunerFilter tuner;
    int32_t lo, hi;
    EXPECT_EQ(tuner.ModeCaps(TunerModeFM, lo, hi), ENOTTY);

    Card.Faults.RefusedStandards = Std_SECAM_L;
    EXPECT_EQ(Card.SetStandard(Std_SECAM_L), EINVAL);
    EXPECT_EQ(Card.SetStandard(Std_NTSC_M), 0);
    int32_t available = 0;
    tuner.AvailableStandards(available);
    EXPECT_FALSE(available & Std_SECAM_L);

    // Audio modes follow the tuned station.
    ASSERT_EQ(Card.SetFrequency(77250000), 0);
    EXPECT_EQ(Card.AvailableAudioModes(), TVAudio_Mono | TVAudio_LangA | TVAudio_LangB);
    EXPECT_EQ(Card.SetAudioMode(TVAudio_Stereo), EINVAL);
    EXPECT_EQ(Card.SetAudioMode(TVAudio_LangB), 0);
}

TEST_F(VirtualCardTest, CrossbarRoutesVideoToTheDecoderOnly)
{
    TVirtualCrossbarFilter crossbar;
    int outputs, inputs, related, type;
    ASSERT_EQ(crossbar.GetPinCounts(outputs, inputs), 0);
    EXPECT_EQ(outputs, 2);
    EXPECT_EQ(inputs, 6);
    ASSERT_EQ(crossbar.GetCrossbarPinInfo(true, 2, related, type), 0);
    EXPECT_EQ(type, PhysConn_Video_SVideo);
    EXPECT_EQ(related, 5);
    EXPECT_EQ(crossbar.CanRoute(0, 4), EINVAL);
    EXPECT_EQ(crossbar.Route(0, 2), 0);
    EXPECT_EQ(Card.Input, InputSVideo);
    EXPECT_TRUE(Card.Locked()); // external inputs always carry a picture
    EXPECT_EQ(crossbar.GetCrossbarPinInfo(true, 9, related, type), EINVAL);
}

// Pulls frames from the preview pin through an appsink and reads the mean
// luma of the frame: the picture controls and the inputs must change it.
struct TFrameProbe
{
    TFilterPtr Filter;
    GstElement *Sink = nullptr;
    double MeanLuma()
    {
        // Drop what is queued, then take a fresh frame.
        GstSample *sample = nullptr;
        for (int i = 0; i < 3; ++i) {
            if (sample)
                gst_sample_unref(sample);
            sample = gst_app_sink_try_pull_sample(GST_APP_SINK(Sink), 2 * GST_SECOND);
            if (!sample)
                return -1;
        }
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        double sum = 0;
        bool syncMark = true;
        for (gsize i = 0; i < map.size; i += 2) { // YUY2: every other byte is luma
            sum += map.data[i];
            syncMark = syncMark && map.data[i] == 235 && map.data[i + 1] == 128;
        }
        const double mean = sum / (map.size / 2);
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
        // A station's sync mark (one white picture) says nothing of the
        // picture controls: take the next one.
        return syncMark ? MeanLuma() : mean;
    }
};

TFrameProbe FrameProbe()
{
    TFrameProbe probe;
    probe.Filter =
        CreateChainFilter("Frame Probe", "appsink name=first sync=false max-buffers=2 drop=true",
                          {{"Input", "first", "sink", TMediaKind::Video}}, {});
    probe.Sink = gst_bin_get_by_name(GST_BIN(probe.Filter->Bin()), "first");
    gst_object_unref(probe.Sink);
    return probe;
}

TEST_F(VirtualCardTest, RunsInAPipelineAndFollowsTuningInputsAndPictureControls)
{
    SetRendererOverride("fakesink sync=false", "fakesink sync=false");
    TFilterGraph graph;
    graph.Mode = TFilterGraph::ModeCapture;
    ASSERT_TRUE(graph.SetActive(true));
    TSysDevEnum video(TDeviceCategory::VideoInput);
    ASSERT_GT(video.CountFilters(), 0);
    const int last = video.CountFilters() - 1;
    EXPECT_TRUE(video.FriendlyName(last).startsWith("Lyra Virtual Philips SAA7134"));
    TFilter capture("VCapture"), audio("ACapture");
    ASSERT_TRUE(video.Bind(last, capture));
    TSysDevEnum audioDevices(TDeviceCategory::AudioInput);
    ASSERT_TRUE(audioDevices.Bind(audioDevices.CountFilters() - 1, audio));
    capture.SetFilterGraph(&graph);
    audio.SetFilterGraph(&graph);
    ASSERT_NE(capture.Object(), nullptr) << graph.LastError().toStdString();
    auto *procAmp = capture.Query<IVideoProcAmp>();
    auto *decoder = capture.Query<IAnalogVideoDecoder>();
    ASSERT_TRUE(procAmp && decoder);

    TFrameProbe probe = FrameProbe();
    ASSERT_TRUE(graph.AddFilter(probe.Filter));
    ASSERT_TRUE(graph.ConnectDirect(
        TFilterGraph::FindPin(capture.Object(), TPinDirection::Output, TPinCategory::Preview),
        TFilterGraph::FindPin(probe.Filter.get(), TPinDirection::Input)));
    ASSERT_TRUE(graph.RenderStream(TPinCategory::Capture, TMediaKind::Audio, audio.Object(),
                                   nullptr, nullptr))
        << graph.LastError().toStdString();
    ASSERT_TRUE(graph.Run());

    const double station = probe.MeanLuma();
    ASSERT_GT(station, 0);
    bool locked = false;
    decoder->HorizontalLocked(locked);
    EXPECT_TRUE(locked);

    // Brightness to its maximum brightens the running picture.
    ASSERT_EQ(procAmp->Set(ProcAmp_Brightness, 255), 0);
    const double bright = probe.MeanLuma();
    EXPECT_GT(bright, station + 40);
    int min, max, step, def;
    ASSERT_EQ(procAmp->GetRange(ProcAmp_Brightness, min, max, step, def), 0);
    ASSERT_EQ(procAmp->Set(ProcAmp_Brightness, def), 0);
    EXPECT_EQ(procAmp->Set(ProcAmp_Brightness, max + 1), ERANGE);

    // Tune away: snow, no lock; input switch: a picture again.
    ASSERT_EQ(Card.SetFrequency(300000000), 0);
    decoder->HorizontalLocked(locked);
    EXPECT_FALSE(locked);
    GstElement *src = gst_bin_get_by_name(GST_BIN(capture.Object()->Bin()), "src");
    // The source takes a new pattern between two frames, on its own thread.
    const auto patternSoon = [src](gint want) {
        gint pattern = -1;
        for (int i = 0; i < 100 && pattern != want; ++i) {
            g_object_get(src, "pattern", &pattern, nullptr);
            if (pattern != want)
                QThread::msleep(10);
        }
        return pattern;
    };
    EXPECT_EQ(patternSoon(1), 1); // snow
    EXPECT_GT(probe.MeanLuma(), 0);
    ASSERT_EQ(Card.SetInput(InputComposite), 0);
    EXPECT_EQ(patternSoon(0), 0); // SMPTE bars
    gst_object_unref(src);
    EXPECT_GT(probe.MeanLuma(), 0);

    // A stalled card delivers nothing until it recovers.
    Card.Stall = true;
    QThread::msleep(100);
    gst_app_sink_try_pull_sample(GST_APP_SINK(probe.Sink), 0);
    gst_app_sink_try_pull_sample(GST_APP_SINK(probe.Sink), 0);
    GstSample *none = gst_app_sink_try_pull_sample(GST_APP_SINK(probe.Sink), 300 * GST_MSECOND);
    EXPECT_EQ(none, nullptr);
    if (none)
        gst_sample_unref(none);
    Card.Stall = false;
    EXPECT_GT(probe.MeanLuma(), 0);

    EXPECT_TRUE(graph.Stop());
    capture.SetFilterGraph(nullptr);
    audio.SetFilterGraph(nullptr);
    graph.SetActive(false);
    SetRendererOverride({}, {});
}

// Zero crossings per second of the left channel: about twice the tone's
// frequency for a station, thousands for noise.
double CrossingsPerSecond(GstElement *appsink)
{
    int crossings = 0, samples = 0;
    int16_t previous = 0;
    // Skip what was queued before the last change.
    for (int i = 0; i < 4; ++i)
        if (GstSample *old = gst_app_sink_try_pull_sample(GST_APP_SINK(appsink), GST_SECOND))
            gst_sample_unref(old);
    while (samples < 24000) {
        GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(appsink), 2 * GST_SECOND);
        if (!sample)
            return -1;
        GstMapInfo map;
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        const auto *data = reinterpret_cast<const int16_t *>(map.data);
        for (gsize i = 0; i + 1 < map.size / 2; i += 2, ++samples) {
            if ((data[i] >= 0) != (previous >= 0))
                ++crossings;
            previous = data[i];
        }
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
    }
    return crossings * 48000.0 / samples;
}

TEST_F(VirtualCardTest, SoundIsTheStationsToneOrNoise)
{
    TFilterGraph graph;
    ASSERT_TRUE(graph.SetActive(true));
    TFilterPtr audio = CreateFilterFromMoniker("virtual:audio");
    TFilterPtr sink =
        CreateChainFilter("Sound Probe", "appsink name=first sync=false max-buffers=4 drop=true",
                          {{"Input", "first", "sink", TMediaKind::Audio}}, {});
    ASSERT_TRUE(graph.AddFilter(audio) && graph.AddFilter(sink));
    ASSERT_TRUE(graph.RenderStream(TPinCategory::Capture, TMediaKind::Audio, audio.get(), nullptr,
                                   sink.get()));
    GstElement *appsink = gst_bin_get_by_name(GST_BIN(sink->Bin()), "first");
    ASSERT_TRUE(graph.Run());

    ASSERT_EQ(Card.SetFrequency(55250000), 0); // Lyra One, 440 Hz
    EXPECT_NEAR(CrossingsPerSecond(appsink), 880, 60);
    ASSERT_EQ(Card.SetFrequency(300000000), 0);
    EXPECT_GT(CrossingsPerSecond(appsink), 5000);
    ASSERT_EQ(Card.SetMode(TunerModeFM), 0);
    ASSERT_EQ(Card.SetFrequency(95300000), 0); // Classic 95.3, 400 Hz
    EXPECT_NEAR(CrossingsPerSecond(appsink), 800, 60);
    ASSERT_EQ(Card.SetInput(InputComposite), 0); // line sound: 1 kHz
    EXPECT_NEAR(CrossingsPerSecond(appsink), 2000, 100);

    gst_object_unref(appsink);
    graph.SetActive(false);
}

TEST_F(VirtualCardTest, VbiRunsOnlyWhileItsPinIsConnected)
{
    TFilterGraph graph;
    ASSERT_TRUE(graph.SetActive(true));
    TFilterPtr capture = CreateFilterFromMoniker("virtual:capture");
    TFrameProbe probe = FrameProbe();
    ASSERT_TRUE(graph.AddFilter(capture) && graph.AddFilter(probe.Filter));
    GstElement *vbi = gst_bin_get_by_name(GST_BIN(capture->Bin()), "vbisrc");
    ASSERT_TRUE(graph.Run());
    GstState state;
    gst_element_get_state(vbi, &state, nullptr, GST_SECOND);
    EXPECT_EQ(state, GST_STATE_NULL);
    TPin *pin = TFilterGraph::FindPin(capture.get(), TPinDirection::Output, TPinCategory::VBI);
    ASSERT_TRUE(
        graph.ConnectDirect(pin, TFilterGraph::FindPin(probe.Filter.get(), TPinDirection::Input)));
    GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(probe.Sink), 2 * GST_SECOND);
    ASSERT_NE(sample, nullptr);
    GstStructure *s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
    EXPECT_STREQ(gst_structure_get_string(s, "format"), "GRAY8");
    gst_sample_unref(sample);
    ASSERT_TRUE(graph.Disconnect(pin));
    gst_element_get_state(vbi, &state, nullptr, GST_SECOND);
    EXPECT_EQ(state, GST_STATE_NULL);
    gst_object_unref(vbi);
    graph.SetActive(false);
}

TEST_F(VirtualCardTest, StandardsSetTheFrameRate)
{
    TFilterGraph graph;
    graph.Mode = TFilterGraph::ModeCapture;
    ASSERT_TRUE(graph.SetActive(true));
    TFilterPtr capture = CreateVirtualFilter("capture");
    ASSERT_TRUE(capture && graph.AddFilter(capture));
    TFrameProbe probe = FrameProbe();
    ASSERT_TRUE(graph.AddFilter(probe.Filter));
    ASSERT_TRUE(graph.ConnectDirect(
        TFilterGraph::FindPin(capture.get(), TPinDirection::Output, TPinCategory::Preview),
        TFilterGraph::FindPin(probe.Filter.get(), TPinDirection::Input)));
    auto *decoder = capture->Query<IAnalogVideoDecoder>();
    auto *config = capture->Query<IStreamConfig>();
    ASSERT_TRUE(decoder && config);
    // 525 lines at 60 fields: 29.97 frames a second; 625 lines: 25.
    for (auto [standard, num, den] : {std::tuple{int32_t(Std_NTSC_M), 30000, 1001},
                                      std::tuple{int32_t(Std_PAL_B), 25, 1},
                                      std::tuple{int32_t(0x800), 30000, 1001}}) {
        ASSERT_TRUE(graph.Stop());
        ASSERT_EQ(decoder->SetStandard(standard), 0);
        TVideoFormat format;
        ASSERT_EQ(config->GetFormat(format), 0);
        EXPECT_EQ(std::pair(format.RateNumerator, format.RateDenominator), std::pair(num, den));
        ASSERT_TRUE(graph.Run());
        GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(probe.Sink), 2 * GST_SECOND);
        ASSERT_NE(sample, nullptr);
        int n = 0, d = 0;
        gst_structure_get_fraction(gst_caps_get_structure(gst_sample_get_caps(sample), 0),
                                   "framerate", &n, &d);
        EXPECT_EQ(std::pair(n, d), std::pair(num, den)) << standard;
        EXPECT_NEAR(double(GST_BUFFER_DURATION(gst_sample_get_buffer(sample))),
                    1e9 * den / num, 1e5);
        gst_sample_unref(sample);
    }
    graph.Stop();
}

// How much the second field of a frame differs from the first where the
// picture moves: the mean luma step between rows 2k and 2k+1 in the middle
// of the picture (YUY2, luma in every other byte).
double FieldDifference(GstSample *sample)
{
    GstVideoInfo info;
    gst_video_info_from_caps(&info, gst_sample_get_caps(sample));
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_READ);
    const int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    const int width = GST_VIDEO_INFO_WIDTH(&info);
    double sum = 0;
    int count = 0;
    for (int row = 200; row < 260; row += 2)
        for (int x = 0; x < width; ++x, ++count)
            sum += std::abs(int(map.data[row * stride + 2 * x]) -
                            int(map.data[(row + 1) * stride + 2 * x]));
    gst_buffer_unmap(buffer, &map);
    return sum / count;
}

TEST_F(VirtualCardTest, InterlacedFramesCarryMotionBetweenTheirFields)
{
    TFilterGraph graph;
    graph.Mode = TFilterGraph::ModeCapture;
    ASSERT_TRUE(graph.SetActive(true));
    for (bool interlaced : {false, true}) {
        Card.Interlaced = interlaced;
        TFilterPtr capture = CreateVirtualFilter("capture");
        ASSERT_TRUE(capture && graph.AddFilter(capture));
        TFrameProbe probe = FrameProbe();
        ASSERT_TRUE(graph.AddFilter(probe.Filter));
        ASSERT_TRUE(graph.ConnectDirect(
            TFilterGraph::FindPin(capture.get(), TPinDirection::Output, TPinCategory::Capture),
            TFilterGraph::FindPin(probe.Filter.get(), TPinDirection::Input)));
        auto *decoder = capture->Query<IAnalogVideoDecoder>();
        ASSERT_TRUE(decoder);
        // The frame rate stays the standard's; the caps say how the frame
        // was made.
        for (auto [standard, num, den] : {std::tuple{int32_t(Std_PAL_B), 25, 1},
                                          std::tuple{int32_t(Std_NTSC_M), 30000, 1001}}) {
            ASSERT_TRUE(graph.Stop());
            ASSERT_EQ(decoder->SetStandard(standard), 0);
            ASSERT_TRUE(graph.Run());
            GstSample *sample = nullptr;
            for (int i = 0; i < 5; ++i) { // past the station's sync mark
                if (sample)
                    gst_sample_unref(sample);
                sample = gst_app_sink_try_pull_sample(GST_APP_SINK(probe.Sink), 2 * GST_SECOND);
                ASSERT_NE(sample, nullptr);
            }
            const GstStructure *s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
            int n = 0, d = 0;
            gst_structure_get_fraction(s, "framerate", &n, &d);
            EXPECT_EQ(std::pair(n, d), std::pair(num, den)) << interlaced;
            const char *mode = gst_structure_get_string(s, "interlace-mode");
            EXPECT_STREQ(mode ? mode : "progressive", interlaced ? "interleaved" : "progressive");
            // The moving pattern: the same in both fields of a progressive
            // frame, a field time apart in an interlaced one.
            if (interlaced)
                EXPECT_GT(FieldDifference(sample), 0.5);
            else
                EXPECT_LT(FieldDifference(sample), 0.1);
            gst_sample_unref(sample);
        }
        ASSERT_TRUE(graph.Stop());
        graph.RemoveFilter(probe.Filter.get());
        graph.RemoveFilter(capture.get());
    }
    graph.SetActive(false);
}

TEST_F(VirtualCardTest, ProfilesRenameTheWholeDeviceSet)
{
    ASSERT_TRUE(SetVirtualCardProfile("cx88"));
    EXPECT_EQ(VirtualCardBaseName(), "Lyra Virtual Conexant 88X");
    TSysDevEnum tuners(TDeviceCategory::TVTuner);
    EXPECT_EQ(tuners.FriendlyName(tuners.CountFilters() - 1), "Lyra Virtual Conexant 88X TV Tuner");
    EXPECT_EQ(CreateEmpiaControl("Lyra Virtual Conexant 88X Video Capture"), nullptr);
    ASSERT_TRUE(SetVirtualCardProfile("EM2800"));
    auto empia = CreateEmpiaControl(VirtualCardBaseName() + " Video Capture");
    ASSERT_NE(empia, nullptr);
    EXPECT_EQ(empia->SelectInput(1), EBADF); // not opened yet
    ASSERT_EQ(empia->Open(0x7f), 0);
    EXPECT_EQ(empia->SelectInput(1), 0);
    EXPECT_EQ(Card.Input, InputComposite);
    EXPECT_FALSE(SetVirtualCardProfile("bt848x"));
    EXPECT_EQ(VirtualCardProfile(), TVirtualProfile::EM2800);
    ASSERT_TRUE(SetVirtualCardProfile("saa7134"));
}

} // namespace
