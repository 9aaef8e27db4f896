// The virtual card's white flash and click.
#include "platform/virtual_sync_mark.h"

#include <algorithm>
#include <cstring>

#include <gst/audio/audio.h>
#include <gst/video/video.h>

namespace {

std::atomic<int> IntervalMs{4000};
// The picture grid: a picture starts at Origin + n * Frame (running time).
std::atomic<int64_t> Origin{0};
std::atomic<int64_t> Frame{40 * int64_t(GST_MSECOND)};

// The mark instant that follows multiple k of the interval.
int64_t MarkInstant(int64_t k, int64_t interval)
{
    const int64_t origin = Origin.load(), frame = Frame.load();
    const int64_t t = k * interval - origin;
    return origin + (t + frame - 1) / frame * frame;
}

void FillWhite(GstBuffer *buffer, GstCaps *caps)
{
    GstVideoInfo info;
    GstVideoFrame frame;
    if (!caps || !gst_video_info_from_caps(&info, caps) ||
        !gst_video_frame_map(&frame, &info, buffer, GST_MAP_WRITE))
        return;
    const GstVideoFormatInfo *format = info.finfo;
    const bool yuv = GST_VIDEO_FORMAT_INFO_IS_YUV(format);
    for (guint p = 0; p < GST_VIDEO_FRAME_N_PLANES(&frame); ++p) {
        auto *data = static_cast<uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, p));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, p);
        const int rows = GST_VIDEO_FRAME_COMP_HEIGHT(&frame, p);
        for (int y = 0; y < rows; ++y) {
            uint8_t *row = data + y * stride;
            if (!yuv) {
                memset(row, 0xFF, size_t(stride));
            } else if (GST_VIDEO_FORMAT_INFO_N_PLANES(format) == 1) {
                // Packed 4:2:2: luma on every other byte, chroma between.
                const int lumaAt = GST_VIDEO_FORMAT_INFO_POFFSET(format, 0) % 2;
                for (int x = 0; x < stride; ++x)
                    row[x] = x % 2 == lumaAt ? 235 : 128;
            } else {
                memset(row, GST_VIDEO_FORMAT_INFO_PLANE(format, 0) == p ? 235 : 128,
                       size_t(stride));
            }
        }
    }
    gst_video_frame_unmap(&frame);
}

GstPadProbeReturn Flash(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    auto *on = static_cast<TSyncMarkSwitch *>(data);
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer))
        return GST_PAD_PROBE_OK;
    const int64_t pts = int64_t(GST_BUFFER_PTS(buffer));
    const int64_t frame = GST_BUFFER_DURATION_IS_VALID(buffer)
                              ? int64_t(GST_BUFFER_DURATION(buffer))
                              : 40 * int64_t(GST_MSECOND);
    if (frame <= 0)
        return GST_PAD_PROBE_OK;
    Frame = frame;
    Origin = pts % frame;
    const int64_t interval = int64_t(IntervalMs.load()) * GST_MSECOND;
    if (!(*on)->load() || interval <= 0)
        return GST_PAD_PROBE_OK;
    // This picture is the first to start at or after a multiple k >= 1.
    const int64_t k = pts / interval;
    if (k < 1 || pts - k * interval >= frame)
        return GST_PAD_PROBE_OK;
    buffer = gst_buffer_make_writable(buffer);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    FillWhite(buffer, caps);
    if (caps)
        gst_caps_unref(caps);
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn Click(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    auto *on = static_cast<TSyncMarkSwitch *>(data);
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const int64_t interval = int64_t(IntervalMs.load()) * GST_MSECOND;
    if (!buffer || !GST_BUFFER_PTS_IS_VALID(buffer) || interval <= 0 || !(*on)->load())
        return GST_PAD_PROBE_OK;
    GstCaps *caps = gst_pad_get_current_caps(pad);
    GstAudioInfo audio;
    const bool known = caps && gst_audio_info_from_caps(&audio, caps) &&
                       GST_AUDIO_INFO_FORMAT(&audio) == GST_AUDIO_FORMAT_S16LE;
    if (caps)
        gst_caps_unref(caps);
    if (!known)
        return GST_PAD_PROBE_OK;
    const int rate = GST_AUDIO_INFO_RATE(&audio), channels = GST_AUDIO_INFO_CHANNELS(&audio);
    const int64_t start = int64_t(GST_BUFFER_PTS(buffer));
    const int64_t samples = int64_t(gst_buffer_get_size(buffer)) / (2 * channels);
    const int64_t length = rate * 3 / 1000;
    // A click may start in the previous buffer and run on into this one.
    const int64_t first = std::max<int64_t>(1, (start - GST_SECOND) / interval);
    bool writable = false;
    GstMapInfo map{};
    for (int64_t k = first;; ++k) {
        const int64_t instant = MarkInstant(k, interval);
        const int64_t clickStart =
            (instant - start) >= 0
                ? gst_util_uint64_scale_int(instant - start, rate, GST_SECOND)
                : -int64_t(gst_util_uint64_scale_int(start - instant, rate, GST_SECOND));
        if (clickStart >= samples)
            break;
        if (clickStart + length <= 0)
            continue;
        if (!writable) {
            buffer = gst_buffer_make_writable(buffer);
            GST_PAD_PROBE_INFO_DATA(info) = buffer;
            gst_buffer_map(buffer, &map, GST_MAP_WRITE);
            writable = true;
        }
        auto *s = reinterpret_cast<int16_t *>(map.data);
        for (int64_t i = std::max<int64_t>(clickStart, 0);
             i < std::min(samples, clickStart + length); ++i)
            for (int c = 0; c < channels; ++c)
                s[i * channels + c] = i - clickStart < length / 2 ? 32767 : -32767;
    }
    if (writable)
        gst_buffer_unmap(buffer, &map);
    return GST_PAD_PROBE_OK;
}

} // namespace

void AddSyncFlash(GstPad *pad, TSyncMarkSwitch on)
{
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, Flash, new TSyncMarkSwitch(std::move(on)),
                      [](gpointer data) { delete static_cast<TSyncMarkSwitch *>(data); });
}

void AddSyncClick(GstPad *pad, TSyncMarkSwitch on)
{
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, Click, new TSyncMarkSwitch(std::move(on)),
                      [](gpointer data) { delete static_cast<TSyncMarkSwitch *>(data); });
}

void SetSyncMarkInterval(int milliseconds)
{
    IntervalMs = std::max(0, milliseconds);
}

int SyncMarkInterval()
{
    return IntervalMs.load();
}
