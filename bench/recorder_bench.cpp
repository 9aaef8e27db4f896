// Cost of the MPEG recorder element: DVD-PAL (720x576 MPEG-2 at 3950 kbit/s
// + MP2 224 kbit/s at 48 kHz, the "dvd" muxer) from a free-running
// videotestsrc/audiotestsrc pair (YUY2 pictures, as the capture cards give
// them), against a bare GStreamer pipeline in the same process: the same
// sources into appsinks, converted with libswscale and encoded and muxed by
// libavcodec/libavformat called directly with the same settings
// (ConfigureVideoEncoder/ConfigureAudioEncoder), into a file in the same
// folder. GStreamer's own avenc_mpeg2video cannot be the bare side: it does
// not start on Debian 12.
//
// Prints, per quality step, the recorder's speed against real time
// (goal >= 2x) and the recorder/bare ratio of CPU time per picture; then
// the size of one minute of each format, recorded through the recorder from
// a moving test picture and from snow (the worst case for the encoder).
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <sys/resource.h>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "platform/media_filters.h"
#include "platform/mpeg_profile.h"

namespace {

constexpr int Frames = 500; // 20 s of pictures
constexpr int SamplesPerBuffer = 1920;
constexpr int AudioBuffers = Frames * 48000 / 25 / SamplesPerBuffer;

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct TResult
{
    double WallSeconds = 0;
    double CpuMsPerFrame = 0;
    double Bytes = 0;
};

const char *Sources =
    "videotestsrc num-buffers=%1 pattern=ball ! video/x-raw,format=YUY2,width=720,height=576,"
    "framerate=25/1 ! %2 audiotestsrc num-buffers=%3 samplesperbuffer=%4 ! audio/x-raw,"
    "format=S16LE,layout=interleaved,rate=48000,channels=2 ! %5";

template <typename Body> TResult Measure(Body body)
{
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    const double bytes = body();
    TResult r;
    r.WallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.CpuMsPerFrame = (CpuSeconds() - cpu0) * 1000 / Frames;
    r.Bytes = bytes;
    return r;
}

GstElement *Launch(const QString &description)
{
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (!pipeline) {
        fprintf(stderr, "%s\n", error->message);
        exit(1);
    }
    return pipeline;
}

void RunToEnd(GstElement *pipeline)
{
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *m = gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE,
                                               GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) {
        fprintf(stderr, "pipeline error\n");
        exit(1);
    }
    gst_message_unref(m);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
}

TResult ThroughRecorder(const QString &file, int quality)
{
    return Measure([&] {
        GstElement *pipeline = Launch(
            QString(Sources)
                .arg(Frames)
                .arg(QString("lyrampegrecorder name=r location=\"%1\" mpeg-type=2 bitrate=3950000"
                             " quality=%2 width=720 height=576 sample-rate=48000"
                             " frame-rate-index=3")
                         .arg(file)
                         .arg(quality))
                .arg(AudioBuffers)
                .arg(SamplesPerBuffer)
                .arg("r.audio"));
        RunToEnd(pipeline);
        gst_object_unref(pipeline);
        return double(QFileInfo(file).size());
    });
}

// The bare side: appsinks, libswscale, libavcodec, libavformat.
struct TBare
{
    AVFormatContext *Format = nullptr;
    AVCodecContext *Video = nullptr, *Audio = nullptr;
    AVStream *VideoStream = nullptr, *AudioStream = nullptr;
    SwsContext *Scaler = nullptr;
    AVPacket *Packet = av_packet_alloc();

    void Write(AVCodecContext *codec, AVStream *stream, AVFrame *frame)
    {
        avcodec_send_frame(codec, frame);
        while (avcodec_receive_packet(codec, Packet) == 0) {
            av_packet_rescale_ts(Packet, codec->time_base, stream->time_base);
            Packet->stream_index = stream->index;
            av_interleaved_write_frame(Format, Packet);
        }
    }
};

TResult Bare(const QString &file, int quality)
{
    return Measure([&] {
        TMpegSettings settings;
        settings.MpegType = 2;
        settings.BitRate = 3950000;
        settings.Quality = quality;
        settings.Tuning = MpegQualityTuning(quality);
        settings.Width = 720;
        settings.Height = 576;
        settings.SampleRate = 48000;
        settings.FrameRateIndex = 3;
        TMpegPlan plan;
        PlanRecording(settings, plan, nullptr);
        TBare b;
        avformat_alloc_output_context2(&b.Format, nullptr, plan.Muxer.c_str(), nullptr);
        b.Format->packet_size = unsigned(plan.PacketSize);
        av_opt_set_int(b.Format->priv_data, "muxrate", plan.MuxRate, 0);
        if (avio_open(&b.Format->pb, file.toUtf8().constData(), AVIO_FLAG_WRITE) < 0) {
            fprintf(stderr, "cannot write %s\n", qPrintable(file));
            exit(1);
        }
        const AVCodec *video = avcodec_find_encoder(plan.VideoCodec);
        b.Video = avcodec_alloc_context3(video);
        ConfigureVideoEncoder(b.Video, plan,
                              int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)));
        avcodec_open2(b.Video, video, nullptr);
        b.VideoStream = avformat_new_stream(b.Format, nullptr);
        avcodec_parameters_from_context(b.VideoStream->codecpar, b.Video);
        b.VideoStream->time_base = b.Video->time_base;
        for (int i = 0; i < b.Video->nb_coded_side_data; ++i) {
            const AVPacketSideData &side = b.Video->coded_side_data[i];
            memcpy(av_stream_new_side_data(b.VideoStream, side.type, side.size), side.data,
                   side.size);
        }
        const AVCodec *mp2 = avcodec_find_encoder(AV_CODEC_ID_MP2);
        b.Audio = avcodec_alloc_context3(mp2);
        ConfigureAudioEncoder(b.Audio, plan);
        avcodec_open2(b.Audio, mp2, nullptr);
        b.AudioStream = avformat_new_stream(b.Format, nullptr);
        avcodec_parameters_from_context(b.AudioStream->codecpar, b.Audio);
        b.AudioStream->time_base = b.Audio->time_base;
        if (avformat_write_header(b.Format, nullptr) < 0) {
            fprintf(stderr, "cannot start the bare muxer\n");
            exit(1);
        }

        GstElement *pipeline = Launch(QString(Sources)
                                          .arg(Frames)
                                          .arg("appsink name=v sync=false")
                                          .arg(AudioBuffers)
                                          .arg(SamplesPerBuffer)
                                          .arg("appsink name=a sync=false"));
        GstElement *v = gst_bin_get_by_name(GST_BIN(pipeline), "v");
        GstElement *a = gst_bin_get_by_name(GST_BIN(pipeline), "a");
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        int64_t videoPts = 0, audioPts = 0;
        std::vector<int16_t> fifo;
        bool videoDone = false, audioDone = false;
        while (!videoDone || !audioDone) {
            // Take the stream that is behind, as a muxer would.
            const bool takeVideo = !videoDone && (audioDone || videoPts * 48000 / 25 <= audioPts);
            GstSample *sample = gst_app_sink_pull_sample(GST_APP_SINK(takeVideo ? v : a));
            if (!sample) {
                (takeVideo ? videoDone : audioDone) = true;
                continue;
            }
            GstMapInfo map;
            GstBuffer *buffer = gst_sample_get_buffer(sample);
            gst_buffer_map(buffer, &map, GST_MAP_READ);
            if (takeVideo) {
                AVFrame *frame = av_frame_alloc();
                frame->format = AV_PIX_FMT_YUV420P;
                frame->width = 720;
                frame->height = 576;
                av_frame_get_buffer(frame, 0);
                b.Scaler = sws_getCachedContext(b.Scaler, 720, 576, AV_PIX_FMT_YUYV422, 720, 576,
                                                AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr,
                                                nullptr);
                const uint8_t *planes[4] = {map.data};
                const int strides[4] = {720 * 2};
                sws_scale(b.Scaler, planes, strides, 0, 576, frame->data, frame->linesize);
                frame->pts = videoPts++;
                b.Write(b.Video, b.VideoStream, frame);
                av_frame_free(&frame);
            } else {
                const auto *s = reinterpret_cast<const int16_t *>(map.data);
                fifo.insert(fifo.end(), s, s + map.size / 2);
                while (fifo.size() >= size_t(2 * b.Audio->frame_size)) {
                    AVFrame *frame = av_frame_alloc();
                    frame->nb_samples = b.Audio->frame_size;
                    frame->format = AV_SAMPLE_FMT_S16;
                    frame->sample_rate = 48000;
                    av_channel_layout_copy(&frame->ch_layout, &b.Audio->ch_layout);
                    av_frame_get_buffer(frame, 0);
                    memcpy(frame->data[0], fifo.data(), size_t(frame->nb_samples) * 4);
                    fifo.erase(fifo.begin(), fifo.begin() + 2 * frame->nb_samples);
                    frame->pts = audioPts;
                    audioPts += frame->nb_samples;
                    b.Write(b.Audio, b.AudioStream, frame);
                    av_frame_free(&frame);
                }
            }
            gst_buffer_unmap(buffer, &map);
            gst_sample_unref(sample);
        }
        b.Write(b.Video, b.VideoStream, nullptr);
        b.Write(b.Audio, b.AudioStream, nullptr);
        av_write_trailer(b.Format);
        avio_closep(&b.Format->pb);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(v);
        gst_object_unref(a);
        gst_object_unref(pipeline);
        sws_freeContext(b.Scaler);
        avcodec_free_context(&b.Video);
        avcodec_free_context(&b.Audio);
        avformat_free_context(b.Format);
        av_packet_free(&b.Packet);
        return double(QFileInfo(file).size());
    });
}

} // namespace

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    RegisterLyraMediaElements();
    QTemporaryDir dir;
    const double content = Frames / 25.0;
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    printf("DVD-PAL: 720x576 MPEG-2 3950 kbit/s + MP2 224 kbit/s 48 kHz, \"dvd\" muxer,"
           " %d YUY2 pictures (%.0f s), free-running, %u cores\n",
           Frames, content, std::thread::hardware_concurrency());
    for (int quality : {0, 3, 6}) {
        // Alternate the two, three rounds, medians: the machine is shared.
        std::vector<double> recWall, recCpu, bareWall, bareCpu;
        double bytes = 0;
        for (int round = 0; round < 3; ++round) {
            const TResult bare = Bare(dir.filePath("bare.mpg"), quality);
            const TResult rec = ThroughRecorder(dir.filePath("rec.mpg"), quality);
            bareWall.push_back(bare.WallSeconds);
            bareCpu.push_back(bare.CpuMsPerFrame);
            recWall.push_back(rec.WallSeconds);
            recCpu.push_back(rec.CpuMsPerFrame);
            bytes = rec.Bytes;
        }
        printf("quality %d: recorder element %5.1fx real time (%5.1f frames/s), %6.3f ms CPU/frame;"
               " bare libavcodec from appsinks %6.3f ms CPU/frame (%5.1fx real time);"
               " ratio recorder/bare CPU per frame %.3f; %.1f MB per minute\n",
               quality, content / median(recWall), Frames / median(recWall), median(recCpu),
               median(bareCpu), content / median(bareWall), median(recCpu) / median(bareCpu),
               bytes / content * 60 / 1e6);
    }
    printf("\nsize of one minute (10 s recorded through the recorder, quality 3):\n");
    const struct
    {
        const char *Name, *Settings;
        int Width, Height;
    } formats[] = {
        {"MPEG 1 (320x240, 1350 kbit/s)", "mpeg-type=1 bitrate=1350000", 320, 240},
        {"MPEG 2 (640x480, 4000 kbit/s)", "mpeg-type=2 bitrate=4000000", 640, 480},
        {"VCD (PAL)", "profile=vcd", 352, 288},
        {"SVCD (PAL)", "profile=svcd bitrate=2300000", 480, 576},
        {"DVD (PAL, 3950 kbit/s)", "profile=dvd bitrate=3950000 sample-rate=48000", 720, 576},
        {"time shift (352x288 MPEG-1, 4000 kbit/s)", "mpeg-type=1 bitrate=4000000 time-shift=true",
         352, 288},
    };
    for (auto &f : formats) {
        double mb[2];
        for (int snow = 0; snow < 2; ++snow) {
            const QString file = dir.filePath("size.mpg");
            GstElement *pipeline =
                Launch(QString("videotestsrc num-buffers=250 pattern=%1 horizontal-speed=2"
                               " ! video/x-raw,width=%2,height=%3,framerate=25/1 ! lyrampegrecorder"
                               " name=r location=\"%4\" %5 width=%2 height=%3 frame-rate-index=3"
                               " audiotestsrc num-buffers=430 ! audio/x-raw,rate=44100,channels=2"
                               " ! audioconvert ! audioresample ! r.audio")
                           .arg(snow ? "snow" : "smpte")
                           .arg(f.Width)
                           .arg(f.Height)
                           .arg(file, f.Settings));
            RunToEnd(pipeline);
            gst_object_unref(pipeline);
            mb[snow] = double(QFileInfo(file).size()) * 6 / 1e6;
        }
        printf("  %-42s %6.1f MB (moving test picture) %6.1f MB (snow)\n", f.Name, mb[0], mb[1]);
    }
    return 0;
}
