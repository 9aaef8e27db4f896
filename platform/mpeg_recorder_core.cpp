// Encoding, multiplexing and writing for the MPEG recorder element.
#include "platform/mpeg_recorder_core.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
}

namespace {

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

constexpr int64_t Second = 1000000000;

} // namespace

bool TMpegRecorderCore::Fail(const std::string &text, int errnoValue)
{
    std::lock_guard lock(ErrorLock);
    if (!Error.exchange(true)) {
        ErrorMessage = text;
        ErrorCode = errnoValue;
    }
    return false;
}

std::string TMpegRecorderCore::ErrorText() const
{
    std::lock_guard lock(ErrorLock);
    return ErrorMessage;
}

int TMpegRecorderCore::ErrorErrno() const
{
    std::lock_guard lock(ErrorLock);
    return ErrorCode;
}

bool TMpegRecorderCore::Open(const TMpegSettings &settings, const std::string &path, bool withAudio)
{
    Close();
    Error = false;
    IndexError = false;
    ErrorMessage.clear();
    ErrorCode = 0;
    Written = 0;
    VideoFrames = VideoRepeats = VideoDrops = 0;
    std::string why;
    if (!PlanRecording(settings, PlanData, &why))
        return Fail("Cannot record with these settings: " + why, EINVAL);
    Path = path;
    Fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (Fd < 0)
        return Fail("Could not open \"" + path + "\" for writing: " + strerror(errno), errno);

    if (avformat_alloc_output_context2(&Format, nullptr, PlanData.Muxer.c_str(), nullptr) < 0 ||
        !Format)
        return Fail("libavformat has no \"" + PlanData.Muxer + "\" muxer");
    Format->packet_size = unsigned(PlanData.PacketSize);
    if (PlanData.MuxRate)
        av_opt_set_int(Format->priv_data, "muxrate", PlanData.MuxRate, 0);
    // The muxer flushes after every pack: with a buffer of one pack, every
    // pack reaches the file whole and at once.
    auto *buffer = static_cast<unsigned char *>(av_malloc(PlanData.PacketSize));
    Io = avio_alloc_context(buffer, PlanData.PacketSize, 1, this, nullptr, WritePacket, nullptr);
    if (!Io) {
        av_free(buffer);
        return Fail("Cannot allocate the output context", ENOMEM);
    }
    Format->pb = Io;
    Format->flags |= AVFMT_FLAG_CUSTOM_IO | AVFMT_FLAG_FLUSH_PACKETS;

    const AVCodec *video = avcodec_find_encoder(PlanData.VideoCodec);
    VideoCodec = video ? avcodec_alloc_context3(video) : nullptr;
    if (!VideoCodec)
        return Fail("libavcodec has no MPEG video encoder");
    ConfigureVideoEncoder(VideoCodec, PlanData,
                          int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)));
    if (int r = avcodec_open2(VideoCodec, video, nullptr); r < 0)
        return Fail("Cannot open the MPEG video encoder: " + AvError(r));
    VideoStream = avformat_new_stream(Format, nullptr);
    avcodec_parameters_from_context(VideoStream->codecpar, VideoCodec);
    VideoStream->time_base = VideoCodec->time_base;
    // The muxer sizes its buffers from the encoder's VBV properties.
    for (int i = 0; i < VideoCodec->nb_coded_side_data; ++i) {
        const AVPacketSideData &side = VideoCodec->coded_side_data[i];
        if (uint8_t *copy = av_stream_new_side_data(VideoStream, side.type, side.size))
            memcpy(copy, side.data, side.size);
    }

    if (withAudio) {
        const AVCodec *audio = avcodec_find_encoder(AV_CODEC_ID_MP2);
        AudioCodec = audio ? avcodec_alloc_context3(audio) : nullptr;
        if (!AudioCodec)
            return Fail("libavcodec has no MP2 encoder");
        ConfigureAudioEncoder(AudioCodec, PlanData);
        if (int r = avcodec_open2(AudioCodec, audio, nullptr); r < 0)
            return Fail("Cannot open the MP2 encoder: " + AvError(r));
        AudioStream = avformat_new_stream(Format, nullptr);
        avcodec_parameters_from_context(AudioStream->codecpar, AudioCodec);
        AudioStream->time_base = AudioCodec->time_base;
    }

    if (settings.TimeShift) {
        int error = 0;
        if (IndexWriter.Open(TimeShiftIndexName(path), uint32_t(PlanData.PacketSize), &error))
            Scanner = std::make_unique<TPackScanner>(uint32_t(PlanData.PacketSize));
        else
            IndexError = true;
    }
    if (int r = avformat_write_header(Format, nullptr); r < 0)
        return Fail("Cannot start the \"" + PlanData.Muxer + "\" stream: " + AvError(r));
    std::lock_guard lock(Lock);
    Base = -1;
    VideoEnded = false;
    AudioEnded = !withAudio;
    Done = false;
    return true;
}

int TMpegRecorderCore::WritePacket(void *opaque, uint8_t *buf, int size)
{
    auto *self = static_cast<TMpegRecorderCore *>(opaque);
    if (self->Fd < 0)
        return AVERROR(EBADF);
    for (int done = 0; done < size;) {
        const ssize_t n = write(self->Fd, buf + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            self->IoErrno = n < 0 ? errno : ENOSPC;
            return AVERROR(self->IoErrno);
        }
        done += int(n);
    }
    self->Written += uint64_t(size);
    if (self->Scanner && self->IndexWriter.IsOpen()) {
        std::vector<TIndexRecord> found;
        self->Scanner->Feed(buf, size_t(size), found);
        for (const TIndexRecord &record : found) {
            if (!self->IndexWriter.Add(record, nullptr)) {
                self->IndexError = true;
                self->IndexWriter.Close();
                break;
            }
        }
    }
    return size;
}

int64_t TMpegRecorderCore::Since(int64_t runningTime)
{
    std::lock_guard lock(Lock);
    if (Base < 0)
        Base = runningTime;
    return runningTime - Base;
}

bool TMpegRecorderCore::WriteLocked(AVPacket *packet)
{
    if (Error)
        return false;
    IoErrno = 0;
    if (Scanner && packet->stream_index == VideoStream->index && (packet->flags & AV_PKT_FLAG_KEY))
        Scanner->AddKeyframe(packet->pts);
    const int r = av_interleaved_write_frame(Format, packet);
    if (IoErrno)
        return Fail("Could not write to \"" + Path + "\": " + strerror(IoErrno), IoErrno);
    if (r < 0)
        return Fail("Cannot multiplex the recording: " + AvError(r));
    return true;
}

bool TMpegRecorderCore::Drain(AVCodecContext *codec, AVStream *stream, AVFrame *frame)
{
    int r = avcodec_send_frame(codec, frame);
    if (r < 0 && r != AVERROR_EOF)
        return Fail("The encoder refused a frame: " + AvError(r));
    AVPacket *packet = av_packet_alloc();
    bool ok = true;
    while (ok) {
        r = avcodec_receive_packet(codec, packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
            break;
        if (r < 0) {
            ok = Fail("The encoder failed: " + AvError(r));
            break;
        }
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        if (codec == VideoCodec) {
            const int64_t phase = av_rescale_q(VideoPhase, {1, int(Second)}, stream->time_base);
            packet->pts += phase;
            packet->dts += phase;
        }
        packet->stream_index = stream->index;
        std::lock_guard lock(Lock);
        ok = WriteLocked(packet);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return ok;
}

bool TMpegRecorderCore::PushVideo(const TVideoPicture &picture, int64_t runningTime)
{
    if (Error)
        return false;
    if (!VideoCodec || VideoEnded)
        return true;
    const AVRational rate = PlanData.FrameRate;
    const int64_t since = Since(runningTime);
    if (!LastPicture && NextSlot == 0) {
        // The grid starts with the first picture: its phase within a frame
        // period rides on every picture's stamp, so pictures keep their
        // exact time against the sound.
        const int64_t period = av_rescale(Second, rate.den, rate.num);
        VideoPhase = ((since % period) + period) % period;
    }
    const int64_t slot =
        av_rescale_rnd(since - VideoPhase, rate.num, rate.den * Second, AV_ROUND_NEAR_INF);
    if (slot < NextSlot) {
        ++VideoDrops;
        return true;
    }
    AVFrame *frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = PlanData.Width;
    frame->height = PlanData.Height;
    if (av_frame_get_buffer(frame, 0) < 0) {
        av_frame_free(&frame);
        return Fail("Out of memory for a picture", ENOMEM);
    }
    if (picture.Format == AV_PIX_FMT_YUV420P && picture.Width == PlanData.Width &&
        picture.Height == PlanData.Height) {
        av_image_copy(frame->data, frame->linesize, const_cast<const uint8_t **>(picture.Data),
                      picture.Stride, AV_PIX_FMT_YUV420P, picture.Width, picture.Height);
    } else {
        Scaler = sws_getCachedContext(Scaler, picture.Width, picture.Height, picture.Format,
                                      PlanData.Width, PlanData.Height, AV_PIX_FMT_YUV420P,
                                      SWS_BILINEAR, nullptr, nullptr, nullptr);
        if (!Scaler) {
            av_frame_free(&frame);
            return Fail("Cannot convert the pictures to the recording size", EINVAL);
        }
        sws_scale(Scaler, picture.Data, picture.Stride, 0, picture.Height, frame->data,
                  frame->linesize);
    }
    // A source slower than the recording's frame rate: the last picture
    // fills the gap, up to ten seconds; a longer break stays a break.
    const int64_t maxFill = int64_t(av_q2d(rate) * 10);
    if (LastPicture && slot - NextSlot <= maxFill) {
        for (; NextSlot < slot; ++NextSlot) {
            AVFrame *repeat = av_frame_clone(LastPicture);
            repeat->pts = NextSlot;
            const bool ok = Drain(VideoCodec, VideoStream, repeat);
            av_frame_free(&repeat);
            ++VideoRepeats;
            if (!ok) {
                av_frame_free(&frame);
                return false;
            }
        }
    }
    frame->pts = slot;
    NextSlot = slot + 1;
    ++VideoFrames;
    av_frame_free(&LastPicture);
    LastPicture = frame;
    return Drain(VideoCodec, VideoStream, frame);
}

bool TMpegRecorderCore::EncodeAudioFrames(bool flush)
{
    const size_t frameSamples = size_t(AudioCodec->frame_size);
    while (Fifo.size() / 2 >= frameSamples || (flush && !Fifo.empty())) {
        AVFrame *frame = av_frame_alloc();
        frame->nb_samples = int(frameSamples);
        frame->format = AV_SAMPLE_FMT_S16;
        frame->sample_rate = AudioCodec->sample_rate;
        av_channel_layout_copy(&frame->ch_layout, &AudioCodec->ch_layout);
        if (av_frame_get_buffer(frame, 0) < 0) {
            av_frame_free(&frame);
            return Fail("Out of memory for sound", ENOMEM);
        }
        const size_t take = std::min(frameSamples, Fifo.size() / 2);
        memcpy(frame->data[0], Fifo.data(), take * 4);
        memset(frame->data[0] + take * 4, 0, (frameSamples - take) * 4);
        Fifo.erase(Fifo.begin(), Fifo.begin() + ptrdiff_t(take * 2));
        frame->pts = FifoStart;
        FifoStart += int64_t(frameSamples);
        const bool ok = Drain(AudioCodec, AudioStream, frame);
        av_frame_free(&frame);
        if (!ok)
            return false;
    }
    return true;
}

bool TMpegRecorderCore::PushAudio(const int16_t *samples, int frames, int64_t runningTime)
{
    if (Error)
        return false;
    if (!AudioCodec || AudioEnded || frames <= 0)
        return true;
    const int rate = PlanData.SampleRate;
    const int64_t position = av_rescale_rnd(Since(runningTime), rate, Second, AV_ROUND_NEAR_INF);
    int64_t skip = 0;
    if (!AudioStarted) {
        AudioStarted = true;
        FifoStart = std::max<int64_t>(position, 0);
        skip = std::max<int64_t>(-position, 0);
    } else {
        const int64_t next = FifoStart + int64_t(Fifo.size() / 2);
        const int64_t drift = position - next;
        const int64_t tolerance = rate / 25;
        if (drift > int64_t(rate) * 10) {
            // A long break: finish what is queued and go on where the sound
            // is now.
            if (!EncodeAudioFrames(true))
                return false;
            FifoStart = position;
        } else if (drift > tolerance) {
            Fifo.insert(Fifo.end(), size_t(drift) * 2, 0);
        } else if (drift < -tolerance) {
            skip = -drift;
        }
    }
    if (skip < frames)
        Fifo.insert(Fifo.end(), samples + skip * 2, samples + int64_t(frames) * 2);
    return EncodeAudioFrames(false);
}

bool TMpegRecorderCore::MaybeFinish()
{
    // Lock held.
    if (!VideoEnded || !AudioEnded || Done || Error)
        return !Error;
    IoErrno = 0;
    const int r = av_write_trailer(Format);
    if (!IoErrno)
        avio_flush(Io);
    if (IoErrno)
        return Fail("Could not write to \"" + Path + "\": " + strerror(IoErrno), IoErrno);
    if (r < 0)
        return Fail("Cannot finish the recording: " + AvError(r));
    if (IndexWriter.IsOpen()) {
        TIndexRecord end{Written.load(), Scanner ? Scanner->LastEntryMillis() : 0, IndexEnd};
        if (!IndexWriter.Add(end, nullptr))
            IndexError = true;
        IndexWriter.Close();
    }
    Done = true;
    return true;
}

bool TMpegRecorderCore::EndVideo()
{
    if (!VideoCodec || VideoEnded)
        return !Error;
    const bool ok = Error ? false : Drain(VideoCodec, VideoStream, nullptr);
    std::lock_guard lock(Lock);
    VideoEnded = true;
    return ok && MaybeFinish();
}

bool TMpegRecorderCore::EndAudio()
{
    if (!AudioCodec || AudioEnded)
        return !Error;
    const bool ok =
        Error ? false : EncodeAudioFrames(true) && Drain(AudioCodec, AudioStream, nullptr);
    std::lock_guard lock(Lock);
    AudioEnded = true;
    return ok && MaybeFinish();
}

void TMpegRecorderCore::Close()
{
    if (Format) {
        if (Io && !Error && !Done)
            avio_flush(Io);
        avformat_free_context(Format);
        Format = nullptr;
    }
    if (Io) {
        av_freep(&Io->buffer);
        avio_context_free(&Io);
    }
    avcodec_free_context(&VideoCodec);
    avcodec_free_context(&AudioCodec);
    VideoStream = AudioStream = nullptr;
    sws_freeContext(Scaler);
    Scaler = nullptr;
    av_frame_free(&LastPicture);
    IndexWriter.Close();
    Scanner.reset();
    if (Fd >= 0)
        close(Fd);
    Fd = -1;
    Fifo.clear();
    FifoStart = 0;
    AudioStarted = false;
    NextSlot = 0;
    VideoPhase = 0;
}
