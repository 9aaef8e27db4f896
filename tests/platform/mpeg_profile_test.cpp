// What the recorder makes of its settings: which profile, which limits, and
// encoder options that libavcodec accepts at every quality.
#include <gtest/gtest.h>

#include "platform/mpeg_profile.h"

namespace {

TMpegSettings Settings(int type, int width, int height, int rate, int bitRate, int frameRate = 3)
{
    TMpegSettings s;
    s.MpegType = type;
    s.Width = width;
    s.Height = height;
    s.SampleRate = rate;
    s.BitRate = bitRate;
    s.FrameRateIndex = frameRate;
    return s;
}

TMpegPlan Plan(const TMpegSettings &s)
{
    TMpegPlan plan;
    std::string error;
    EXPECT_TRUE(PlanRecording(s, plan, &error)) << error;
    return plan;
}

TEST(MpegProfile, TheSettingsChooseTheDiscProfiles)
{
    // VCD only at its own bit rate; the same size at another rate, or the
    // time shift's 4000 kbit/s, is plain MPEG-1.
    EXPECT_EQ(Plan(Settings(1, 352, 288, 44100, 1150000)).Muxer, "vcd");
    EXPECT_EQ(Plan(Settings(1, 352, 240, 44100, 1150000, 4)).Muxer, "vcd");
    EXPECT_EQ(Plan(Settings(1, 352, 288, 44100, 4000000)).Muxer, "mpeg");
    EXPECT_EQ(Plan(Settings(1, 352, 288, 48000, 1150000)).Muxer, "mpeg");
    // SVCD and DVD by size and sample rate; their bit rates are capped.
    TMpegPlan svcd = Plan(Settings(2, 480, 576, 44100, 4000000));
    EXPECT_EQ(svcd.Muxer, "svcd");
    EXPECT_EQ(svcd.PacketSize, 2324);
    EXPECT_EQ(svcd.BitRate, 2516000);
    TMpegPlan dvd = Plan(Settings(2, 720, 576, 48000, 12000000));
    EXPECT_EQ(dvd.Muxer, "dvd");
    EXPECT_EQ(dvd.BitRate, 9000000);
    EXPECT_EQ(dvd.SampleRate, 48000);
    EXPECT_EQ(Plan(Settings(2, 720, 576, 44100, 4000000)).Muxer, "vob");
    EXPECT_EQ(Plan(Settings(2, 640, 480, 48000, 4000000)).Muxer, "vob");
    // A forced profile brings its size, rate and sound.
    TMpegSettings forced = Settings(2, 640, 480, 44100, 4000000, 4);
    forced.Profile = TMpegProfile::Dvd;
    dvd = Plan(forced);
    EXPECT_EQ(dvd.Width, 720);
    EXPECT_EQ(dvd.Height, 480);
    EXPECT_EQ(dvd.SampleRate, 48000);
    EXPECT_EQ(dvd.VideoCodec, AV_CODEC_ID_MPEG2VIDEO);
}

TEST(MpegProfile, GopsFollowTheKeyIntervalWithinTheDiscLimits)
{
    TMpegSettings s = Settings(1, 352, 288, 44100, 4000000);
    EXPECT_EQ(Plan(s).GopSize, 25); // an I picture every second
    EXPECT_FALSE(Plan(s).ClosedGops);
    s.TimeShift = true;
    EXPECT_TRUE(Plan(s).ClosedGops); // every entry point decodes on its own
    s = Settings(2, 720, 480, 48000, 4000000, 4);
    EXPECT_EQ(Plan(s).GopSize, 18);
    s = Settings(2, 720, 576, 48000, 4000000, 3);
    EXPECT_EQ(Plan(s).GopSize, 15);
    s.Tuning.KeyIntervalTenths = 1; // 2.5 pictures: at least one B picture fits
    EXPECT_EQ(Plan(s).GopSize, 3);
    EXPECT_EQ(Plan(s).BFrames, 1);
    s.Tuning.BPictureCount = 4;
    EXPECT_EQ(Plan(s).BFrames, 2);
    s.Tuning.BPictures = false;
    EXPECT_EQ(Plan(s).BFrames, 0);
}

TEST(MpegProfile, SettingsNoProfileCanRecordAreRefused)
{
    TMpegPlan plan;
    std::string error;
    EXPECT_FALSE(PlanRecording(Settings(3, 352, 288, 44100, 1000000), plan, &error));
    EXPECT_FALSE(PlanRecording(Settings(1, 352, 288, 22050, 1000000), plan, &error));
    EXPECT_FALSE(PlanRecording(Settings(1, 351, 288, 44100, 1000000), plan, &error));
    EXPECT_FALSE(PlanRecording(Settings(1, 352, 288, 44100, 1000), plan, &error));
    EXPECT_FALSE(PlanRecording(Settings(1, 352, 288, 44100, 1000000, 6), plan, &error));
    EXPECT_EQ(error, "the frame-rate index must be 1 to 5");
}

TEST(MpegProfile, EveryQualityOpensTheEncoders)
{
    for (int type : {1, 2}) {
        for (int quality = 0; quality <= 6; ++quality) {
            SCOPED_TRACE(testing::Message() << "MPEG-" << type << " quality " << quality);
            TMpegSettings s = Settings(type, 352, 288, 48000, 4000000);
            s.Quality = quality;
            s.Tuning = MpegQualityTuning(quality);
            s.TimeShift = quality % 2;
            const TMpegPlan plan = Plan(s);
            const AVCodec *codec = avcodec_find_encoder(plan.VideoCodec);
            AVCodecContext *video = avcodec_alloc_context3(codec);
            ConfigureVideoEncoder(video, plan, 2);
            EXPECT_EQ(video->me_range, 2 * s.Tuning.Ranges[0]);
            EXPECT_EQ(video->mb_decision, quality >= 5 ? FF_MB_DECISION_RD : FF_MB_DECISION_SIMPLE);
            EXPECT_EQ(avcodec_open2(video, codec, nullptr), 0);
            avcodec_free_context(&video);
            const AVCodec *mp2 = avcodec_find_encoder(AV_CODEC_ID_MP2);
            AVCodecContext *audio = avcodec_alloc_context3(mp2);
            ConfigureAudioEncoder(audio, plan);
            EXPECT_EQ(avcodec_open2(audio, mp2, nullptr), 0);
            avcodec_free_context(&audio);
        }
    }
}

} // namespace
