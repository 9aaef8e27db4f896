// Profiles of the MPEG recorder and the encoder options they give.
#include "platform/mpeg_profile.h"

#include <algorithm>
#include <cmath>

extern "C" {
#include <libavutil/opt.h>
}

namespace {

struct TQualityRow
{
    bool Switches[3];
    int Ranges[4];
};

// One row per quality step, "Fastest" to "Highest".
const TQualityRow QualityTable[7] = {
    {{false, false, false}, {2, 2, 2, 2}},   {{false, false, false}, {2, 2, 2, 2}},
    {{true, false, false}, {8, 8, 4, 4}},    {{true, true, false}, {16, 16, 8, 8}},
    {{true, true, false}, {32, 32, 16, 16}}, {{true, true, true}, {32, 32, 16, 16}},
    {{true, true, true}, {64, 64, 32, 32}},
};

const struct
{
    TMpegProfile Profile;
    const char *Name;
} ProfileNames[] = {
    {TMpegProfile::Auto, "auto"}, {TMpegProfile::Mpeg1, "mpeg1"}, {TMpegProfile::Mpeg2, "mpeg2"},
    {TMpegProfile::Vcd, "vcd"},   {TMpegProfile::Svcd, "svcd"},   {TMpegProfile::Dvd, "dvd"},
};

bool Is25(AVRational rate)
{
    return rate.num == 25 && rate.den == 1;
}

bool SizeIs(const TMpegSettings &s, int width, int height)
{
    return s.Width == width && s.Height == height;
}

TMpegProfile ResolveAuto(const TMpegSettings &s)
{
    if (s.MpegType == 1)
        return (SizeIs(s, 352, 288) || SizeIs(s, 352, 240)) && s.SampleRate == 44100 &&
                       s.BitRate == 1150000
                   ? TMpegProfile::Vcd
                   : TMpegProfile::Mpeg1;
    if ((SizeIs(s, 480, 576) || SizeIs(s, 480, 480)) && s.SampleRate == 44100)
        return TMpegProfile::Svcd;
    if ((SizeIs(s, 720, 576) || SizeIs(s, 720, 480)) && s.SampleRate == 48000)
        return TMpegProfile::Dvd;
    return TMpegProfile::Mpeg2;
}

// The disc profiles have one size per line count; a size of the other
// profiles is replaced by the one that suits the frame rate.
void DiscSize(const TMpegSettings &s, TMpegPlan &plan, int width, int lines625, int lines525)
{
    plan.Width = width;
    if (s.Width == width && (s.Height == lines625 || s.Height == lines525))
        plan.Height = s.Height;
    else
        plan.Height = Is25(plan.FrameRate) ? lines625 : lines525;
}

} // namespace

TEncoderTuning MpegQualityTuning(int quality)
{
    const TQualityRow &row = QualityTable[std::clamp(quality, 0, 6)];
    TEncoderTuning tuning;
    tuning.CompareSatd = row.Switches[0];
    tuning.BPictures = row.Switches[1];
    tuning.RateDistortion = row.Switches[2];
    std::copy(std::begin(row.Ranges), std::end(row.Ranges), tuning.Ranges);
    return tuning;
}

const char *MpegProfileName(TMpegProfile profile)
{
    for (auto &p : ProfileNames)
        if (p.Profile == profile)
            return p.Name;
    return "auto";
}

bool ParseMpegProfile(const std::string &name, TMpegProfile &profile)
{
    for (auto &p : ProfileNames)
        if (name == p.Name) {
            profile = p.Profile;
            return true;
        }
    return false;
}

AVRational MpegFrameRate(int index)
{
    switch (index) {
    case 1:
        return {24000, 1001};
    case 2:
        return {24, 1};
    case 3:
        return {25, 1};
    case 4:
        return {30000, 1001};
    case 5:
        return {30, 1};
    default:
        return {0, 0};
    }
}

bool PlanRecording(const TMpegSettings &s, TMpegPlan &plan, std::string *error)
{
    auto fail = [error](const char *text) {
        if (error)
            *error = text;
        return false;
    };
    plan = TMpegPlan{};
    plan.FrameRate = MpegFrameRate(s.FrameRateIndex);
    if (plan.FrameRate.num == 0)
        return fail("the frame-rate index must be 1 to 5");
    if (s.MpegType != 1 && s.MpegType != 2)
        return fail("the MPEG type must be 1 or 2");
    if (s.SampleRate != 32000 && s.SampleRate != 44100 && s.SampleRate != 48000)
        return fail("the sample rate must be 32000, 44100 or 48000 Hz");
    if (s.Width < 16 || s.Height < 16 || s.Width > 1920 || s.Height > 1152 || s.Width % 2 ||
        s.Height % 2)
        return fail("the picture size must be even, from 16x16 to 1920x1152");
    if (s.BitRate < 64000 || s.BitRate > 40000000)
        return fail("the bit rate must be 64 kbit/s to 40 Mbit/s");

    plan.Profile = s.Profile == TMpegProfile::Auto ? ResolveAuto(s) : s.Profile;
    plan.Tuning = s.Tuning;
    plan.Width = s.Width;
    plan.Height = s.Height;
    plan.SampleRate = s.SampleRate;
    plan.AudioBitRate = s.AudioBitRate;
    plan.PacketSize = 2048;
    // Disc players allow at most 15 pictures per GOP at 25 frames/s, 18 at
    // the others.
    int maxGop = 0;
    switch (plan.Profile) {
    case TMpegProfile::Auto:
    case TMpegProfile::Mpeg1:
        plan.Muxer = "mpeg";
        plan.VideoCodec = AV_CODEC_ID_MPEG1VIDEO;
        plan.BitRate = s.BitRate;
        plan.MaxRate = s.BitRate * 3 / 2;
        plan.BufferSize = int(std::clamp<int64_t>(s.BitRate / 2, 327680, 1835008));
        break;
    case TMpegProfile::Mpeg2:
        // MPEG-2 video belongs in an MPEG-2 program stream: libavformat's
        // "vob" muxer is its "dvd" muxer without the navigation packs.
        plan.Muxer = "vob";
        plan.VideoCodec = AV_CODEC_ID_MPEG2VIDEO;
        plan.BitRate = s.BitRate;
        plan.MaxRate = std::min<int64_t>(s.BitRate * 3 / 2, 15000000);
        plan.BufferSize = 1835008;
        break;
    case TMpegProfile::Vcd:
        plan.Muxer = "vcd";
        plan.VideoCodec = AV_CODEC_ID_MPEG1VIDEO;
        DiscSize(s, plan, 352, 288, 240);
        plan.BitRate = plan.MaxRate = plan.MinRate = 1150000;
        plan.BufferSize = 327680;
        plan.PacketSize = 2324;
        plan.MuxRate = 2352 * 75 * 8;
        plan.SampleRate = 44100;
        plan.AudioBitRate = 224000;
        maxGop = Is25(plan.FrameRate) ? 15 : 18;
        break;
    case TMpegProfile::Svcd:
        plan.Muxer = "svcd";
        plan.VideoCodec = AV_CODEC_ID_MPEG2VIDEO;
        DiscSize(s, plan, 480, 576, 480);
        // 2516 kbit/s of picture leaves room for 224 kbit/s of sound and the
        // packs in the disc's 2778 kbit/s.
        plan.BitRate = std::min<int64_t>(s.BitRate, 2516000);
        plan.MaxRate = 2516000;
        plan.BufferSize = 1835008;
        plan.PacketSize = 2324;
        plan.SampleRate = 44100;
        plan.AudioBitRate = 224000;
        maxGop = Is25(plan.FrameRate) ? 15 : 18;
        break;
    case TMpegProfile::Dvd:
        plan.Muxer = "dvd";
        plan.VideoCodec = AV_CODEC_ID_MPEG2VIDEO;
        DiscSize(s, plan, 720, 576, 480);
        plan.BitRate = std::min<int64_t>(s.BitRate, 9000000);
        plan.MaxRate = 9000000;
        plan.BufferSize = 1835008;
        plan.MuxRate = 10080000;
        plan.SampleRate = 48000;
        maxGop = Is25(plan.FrameRate) ? 15 : 18;
        break;
    }
    const double fps = av_q2d(plan.FrameRate);
    plan.GopSize =
        std::max(1, int(std::lround(fps * std::max(0, s.Tuning.KeyIntervalTenths) / 10)));
    if (maxGop)
        plan.GopSize = std::min(plan.GopSize, maxGop);
    plan.BFrames = s.Tuning.BPictures ? std::clamp(s.Tuning.BPictureCount, 0, 4) : 0;
    plan.BFrames = std::min(plan.BFrames, plan.GopSize - 1);
    plan.ClosedGops = s.TimeShift || !s.OpenGops;
    return true;
}

void ConfigureVideoEncoder(AVCodecContext *c, const TMpegPlan &plan, int threads)
{
    c->codec_type = AVMEDIA_TYPE_VIDEO;
    c->codec_id = plan.VideoCodec;
    c->width = plan.Width;
    c->height = plan.Height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->framerate = plan.FrameRate;
    c->time_base = av_inv_q(plan.FrameRate);
    // Every size is shown at 4:3.
    av_reduce(&c->sample_aspect_ratio.num, &c->sample_aspect_ratio.den, 4LL * plan.Height,
              3LL * plan.Width, 255);
    c->bit_rate = plan.BitRate;
    c->rc_max_rate = plan.MaxRate;
    c->rc_min_rate = plan.MinRate;
    c->rc_buffer_size = plan.BufferSize;
    c->rc_initial_buffer_occupancy = plan.BufferSize * 3 / 4;
    c->gop_size = plan.GopSize;
    c->max_b_frames = plan.BFrames;
    if (plan.ClosedGops)
        c->flags |= AV_CODEC_FLAG_CLOSED_GOP;

    const TEncoderTuning &t = plan.Tuning;
    const int compare = t.CompareSatd ? FF_CMP_SATD : FF_CMP_SAD;
    c->me_cmp = c->me_sub_cmp = c->mb_cmp = compare;
    c->mb_decision = t.RateDistortion ? FF_MB_DECISION_RD : FF_MB_DECISION_SIMPLE;
    c->trellis = t.RateDistortion ? 1 : 0;
    // libavcodec's range is in half pels and the same for every picture
    // type: the P range (the larger) bounds it; the B range sets how far
    // the diamond reaches around each predictor.
    const int pRange = std::max({t.Ranges[0], t.Ranges[1], 1});
    const int bRange = std::max({t.Ranges[2], t.Ranges[3], 1});
    c->me_range = 2 * pRange;
    c->dia_size = std::clamp(bRange / 8, 1, 4);
    // No SVCD scan-offset placeholders: disc authoring fills them in, and
    // GStreamer's MPEG parser mistimes the pictures that carry them.
    if (c->priv_data) {
        av_opt_set(c->priv_data, "motion_est", t.MotionSearch > 0 ? "epzs" : "zero", 0);
        // libavcodec cannot close GOPs cut short by a scene change: the
        // GOPs keep their length.
        if (plan.ClosedGops)
            av_opt_set_int(c->priv_data, "sc_threshold", 1000000000, 0);
        // MPEG-2's non-linear quantiser scale reaches 112 instead of 62, so
        // the rate holds on pictures as hard as snow.
        if (plan.VideoCodec == AV_CODEC_ID_MPEG2VIDEO) {
            av_opt_set_int(c->priv_data, "non_linear_quant", 1, 0);
            c->qmax = 28; // the most libavcodec takes with that scale
        }
    }
    c->thread_count = std::max(1, threads);
    c->thread_type = FF_THREAD_SLICE;
}

void ConfigureAudioEncoder(AVCodecContext *c, const TMpegPlan &plan)
{
    c->codec_type = AVMEDIA_TYPE_AUDIO;
    c->codec_id = AV_CODEC_ID_MP2;
    c->sample_fmt = AV_SAMPLE_FMT_S16;
    c->sample_rate = plan.SampleRate;
    av_channel_layout_default(&c->ch_layout, 2);
    c->bit_rate = plan.AudioBitRate;
    c->time_base = {1, plan.SampleRate};
}
