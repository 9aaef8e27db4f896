// What the MPEG recorder makes of its settings: the profile (plain MPEG-1,
// plain MPEG-2, VCD, SVCD, DVD), the muxer and its pack size, and the
// libavcodec options of the picture and sound encoders. Plain data and
// pure functions, shared by the recorder element and the benchmark's bare
// encoder so that both run the same settings. docs/recording.md describes
// the rules.
#pragma once

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

// The tuning of one quality step (docs/recording.md has the mapping).
struct TEncoderTuning
{
    int MotionSearch = 1;       // 0: zero vectors only; 1: predictive (EPZS) search
    int KeyIntervalTenths = 10; // an I picture at least every 1.0 s
    int BPictureCount = 1;
    bool CompareSatd = true;
    bool BPictures = true;
    bool RateDistortion = false;
    int Ranges[4] = {16, 16, 8, 8}; // full pels: P x, P y, B x, B y
};

// The switches and ranges of a quality step 0..6 (out-of-range values are
// clamped), with the set-up values 1, 10 and 1.
TEncoderTuning MpegQualityTuning(int quality);

enum class TMpegProfile
{
    Auto,
    Mpeg1,
    Mpeg2,
    Vcd,
    Svcd,
    Dvd
};
const char *MpegProfileName(TMpegProfile profile);
// "auto", "mpeg1", "mpeg2", "vcd", "svcd", "dvd"; false for anything else.
bool ParseMpegProfile(const std::string &name, TMpegProfile &profile);

struct TMpegSettings
{
    TMpegProfile Profile = TMpegProfile::Auto;
    int MpegType = 1;
    int BitRate = 4000000;
    int Quality = 3;
    int Width = 352;
    int Height = 288;
    int SampleRate = 44100;
    int FrameRateIndex = 3;
    bool TimeShift = false;
    bool OpenGops = true;
    int AudioBitRate = 224000;
    TEncoderTuning Tuning = MpegQualityTuning(3);
};

// The frame rate of an index 1..5; {0, 0} for any other.
AVRational MpegFrameRate(int index);

// Everything the recorder sets up for one recording.
struct TMpegPlan
{
    TMpegProfile Profile = TMpegProfile::Mpeg1;
    std::string Muxer;  // libavformat muxer name
    int PacketSize = 0; // the size of every pack the muxer writes
    int MuxRate = 0;    // bit/s, 0: the muxer's own estimate
    AVCodecID VideoCodec = AV_CODEC_ID_MPEG1VIDEO;
    int Width = 0, Height = 0;
    AVRational FrameRate{25, 1};
    int64_t BitRate = 0, MaxRate = 0, MinRate = 0;
    int BufferSize = 0; // VBV, bits
    int GopSize = 0;
    int BFrames = 0;
    bool ClosedGops = false;
    int SampleRate = 44100;
    int AudioBitRate = 224000;
    TEncoderTuning Tuning;
};

// Resolves the profile and the limits it imposes. False (with a reason)
// for settings no profile can record.
bool PlanRecording(const TMpegSettings &settings, TMpegPlan &plan, std::string *error);

// Applies the plan to a freshly allocated encoder context (before
// avcodec_open2); `threads` is the slice thread count.
void ConfigureVideoEncoder(AVCodecContext *context, const TMpegPlan &plan, int threads);
void ConfigureAudioEncoder(AVCodecContext *context, const TMpegPlan &plan);
