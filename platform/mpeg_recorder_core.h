// The encoding and writing half of the MPEG recorder element: libavcodec's
// MPEG-1/2 picture and MP2 sound encoders, libavformat's program-stream
// muxers, the file and the time index beside it.
//
// Time: both streams are stamped from the running time of their buffers,
// counted from the first buffer of either. Pictures go on a constant frame
// grid that starts at the first picture (a late source repeats the last
// picture, an early one is dropped);
// sound is counted in samples and resynchronised when it strays more than
// 40 ms from its running time (silence fills a gap, an overlap is cut).
//
// Threads: PushVideo/EndVideo run on the picture's streaming thread,
// PushAudio/EndAudio on the sound's; each stream's encoder is touched by its
// thread only. The muxer, the file, the time base and the error state are
// shared and guarded by one mutex. Open, Finish and Close run while no
// buffer flows (state changes, or the last end of stream).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include "platform/mpeg_profile.h"
#include "platform/ps_pack_scanner.h"
#include "platform/timeshift_index.h"

struct TVideoPicture
{
    AVPixelFormat Format = AV_PIX_FMT_NONE;
    int Width = 0, Height = 0;
    const uint8_t *Data[4] = {};
    int Stride[4] = {};
};

class TMpegRecorderCore
{
public:
    TMpegRecorderCore() = default;
    ~TMpegRecorderCore() { Close(); }
    TMpegRecorderCore(const TMpegRecorderCore &) = delete;
    TMpegRecorderCore &operator=(const TMpegRecorderCore &) = delete;

    // Creates the file (and its time index when time shifting) and sets up
    // the encoders; `withAudio`: a sound stream is recorded too.
    bool Open(const TMpegSettings &settings, const std::string &path, bool withAudio);
    bool PushVideo(const TVideoPicture &picture, int64_t runningTime);
    // Interleaved stereo S16 at the plan's sample rate.
    bool PushAudio(const int16_t *samples, int frames, int64_t runningTime);
    // Drain one stream's encoder. When every stream has ended, the file is
    // finished (Finished() turns true).
    bool EndVideo();
    bool EndAudio();
    bool Finished() const { return Done; }
    // Releases everything; a file not finished stays as far as written,
    // which is whole packs.
    void Close();

    bool Failed() const { return Error.load(); }
    // The reason of the failure and, for a file error, its errno value.
    std::string ErrorText() const;
    int ErrorErrno() const;
    // The time index could not be written (the recording goes on).
    bool IndexFailed() const { return IndexError.load(); }

    const TMpegPlan &Plan() const { return PlanData; }
    uint64_t BytesWritten() const { return Written.load(); }
    // Pictures given to the encoder from the source, repeated to fill the
    // frame grid, and dropped as early.
    int64_t FramesEncoded() const { return VideoFrames; }
    int64_t FramesRepeated() const { return VideoRepeats; }
    int64_t FramesDropped() const { return VideoDrops; }

private:
    static int WritePacket(void *opaque, uint8_t *buf, int size);
    bool Fail(const std::string &text, int errnoValue = 0);
    int64_t Since(int64_t runningTime);
    bool EncodeVideo(AVFrame *frame);
    bool EncodeAudioFrames(bool flush);
    bool Drain(AVCodecContext *codec, AVStream *stream, AVFrame *frame);
    bool WriteLocked(AVPacket *packet);
    bool MaybeFinish();

    TMpegPlan PlanData;
    std::string Path;
    int Fd = -1;
    AVFormatContext *Format = nullptr;
    AVIOContext *Io = nullptr;
    AVCodecContext *VideoCodec = nullptr, *AudioCodec = nullptr;
    AVStream *VideoStream = nullptr, *AudioStream = nullptr;
    std::unique_ptr<TPackScanner> Scanner;
    TTimeShiftIndexWriter IndexWriter;

    // Guarded by Lock.
    std::mutex Lock;
    int64_t Base = -1;
    bool VideoEnded = false, AudioEnded = true;
    bool Done = false;
    int IoErrno = 0; // set by WritePacket, read by the writer holding Lock

    mutable std::mutex ErrorLock;
    std::string ErrorMessage;
    int ErrorCode = 0;
    std::atomic<bool> Error{false};
    std::atomic<bool> IndexError{false};
    std::atomic<uint64_t> Written{0};

    // Picture thread.
    SwsContext *Scaler = nullptr;
    AVFrame *LastPicture = nullptr;
    int64_t NextSlot = 0;
    int64_t VideoPhase = 0; // ns after the time base where the frame grid starts
    // Counted here, read from any thread.
    std::atomic<int64_t> VideoFrames{0}, VideoRepeats{0}, VideoDrops{0};

    // Sound thread.
    std::vector<int16_t> Fifo; // interleaved stereo
    int64_t FifoStart = 0;     // sample number of Fifo's first sample
    bool AudioStarted = false;
};
