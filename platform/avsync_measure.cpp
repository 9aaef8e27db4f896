// Finding the sync marks of a recording through GStreamer decoding.
#include "platform/avsync_measure.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>

#include <gst/app/gstappsink.h>
#include <gst/gst.h>

namespace {

// A picture is a flash when nearly all of it is white.
constexpr int WhiteLevel = 200;
constexpr double WhiteShare = 0.97;
// A click: the sound beyond half of full scale; the next one at least half
// a second later.
constexpr int ClickLevel = 16384;
constexpr double ClickGap = 0.5;

// Filled on the streaming threads of the two branches.
struct TCollector
{
    std::mutex Lock;
    std::vector<double> Flashes, Clicks;
    bool LastWasFlash = false;
    double LastClick = -1e9;
    double FrameSeconds = 0;
};

double RunningSeconds(GstSample *sample, GstClockTime pts)
{
    const GstClockTime t =
        gst_segment_to_running_time(gst_sample_get_segment(sample), GST_FORMAT_TIME, pts);
    return GST_CLOCK_TIME_IS_VALID(t) ? double(t) / GST_SECOND : -1;
}

GstFlowReturn Picture(GstAppSink *sink, gpointer data)
{
    auto *c = static_cast<TCollector *>(data);
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_ERROR;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (GST_BUFFER_PTS_IS_VALID(buffer) && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        size_t white = 0;
        for (gsize i = 0; i < map.size; ++i)
            white += map.data[i] >= WhiteLevel;
        gst_buffer_unmap(buffer, &map);
        const bool flash = map.size > 0 && white >= WhiteShare * double(map.size);
        const double t = RunningSeconds(sample, GST_BUFFER_PTS(buffer));
        std::lock_guard lock(c->Lock);
        if (GST_BUFFER_DURATION_IS_VALID(buffer))
            c->FrameSeconds = double(GST_BUFFER_DURATION(buffer)) / GST_SECOND;
        if (flash && !c->LastWasFlash && t >= 0)
            c->Flashes.push_back(t);
        c->LastWasFlash = flash;
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

GstFlowReturn Sound(GstAppSink *sink, gpointer data)
{
    auto *c = static_cast<TCollector *>(data);
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_ERROR;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstStructure *s = gst_caps_get_structure(gst_sample_get_caps(sample), 0);
    int rate = 0;
    GstMapInfo map;
    if (gst_structure_get_int(s, "rate", &rate) && rate > 0 && GST_BUFFER_PTS_IS_VALID(buffer) &&
        gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        const double start = RunningSeconds(sample, GST_BUFFER_PTS(buffer));
        const auto *samples = reinterpret_cast<const int16_t *>(map.data);
        std::lock_guard lock(c->Lock);
        for (gsize i = 0; start >= 0 && i < map.size / 2; ++i) {
            const double t = start + double(i) / rate;
            if (std::abs(int(samples[i])) >= ClickLevel && t - c->LastClick >= ClickGap) {
                c->Clicks.push_back(t);
                c->LastClick = t;
            }
        }
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

GstElement *Branch(GstElement *pipeline, const char *description, GstAppSinkCallbacks *callbacks,
                   TCollector *collector)
{
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description(description, TRUE, &error);
    if (!bin) {
        g_clear_error(&error);
        return nullptr;
    }
    GstElement *sink = gst_bin_get_by_name(GST_BIN(bin), "sink");
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), callbacks, collector, nullptr);
    gst_object_unref(sink);
    gst_bin_add(GST_BIN(pipeline), bin);
    gst_element_sync_state_with_parent(bin);
    return bin;
}

struct TDecoding
{
    GstElement *Pipeline;
    TCollector *Collector;
    bool Video = false, Audio = false;
};

void PadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *d = static_cast<TDecoding *>(data);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const std::string kind = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    gst_caps_unref(caps);
    GstElement *bin = nullptr;
    if (kind.rfind("video/", 0) == 0 && !d->Video) {
        static GstAppSinkCallbacks callbacks = [] {
            GstAppSinkCallbacks c{};
            c.new_sample = Picture;
            return c;
        }();
        bin = Branch(d->Pipeline,
                     "queue ! videoconvert ! videoscale ! video/x-raw,format=GRAY8,width=80,"
                     "height=60 ! appsink name=sink sync=false",
                     &callbacks, d->Collector);
        d->Video = bin != nullptr;
    } else if (kind.rfind("audio/", 0) == 0 && !d->Audio) {
        static GstAppSinkCallbacks callbacks = [] {
            GstAppSinkCallbacks c{};
            c.new_sample = Sound;
            return c;
        }();
        bin = Branch(d->Pipeline,
                     "queue ! audioconvert ! audio/x-raw,format=S16LE,channels=1,"
                     "layout=interleaved ! appsink name=sink sync=false",
                     &callbacks, d->Collector);
        d->Audio = bin != nullptr;
    }
    if (!bin)
        return;
    GstPad *sink = gst_element_get_static_pad(bin, "sink");
    gst_pad_link(pad, sink);
    gst_object_unref(sink);
}

} // namespace

TAvSyncResult MeasureAvSync(const std::string &path)
{
    TAvSyncResult result;
    TCollector collector;
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *source = gst_element_factory_make("filesrc", nullptr);
    GstElement *decoder = gst_element_factory_make("decodebin", nullptr);
    if (!source || !decoder) {
        result.Error = "GStreamer's filesrc or decodebin is missing";
        gst_object_unref(pipeline);
        return result;
    }
    g_object_set(source, "location", path.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(pipeline), source, decoder, nullptr);
    gst_element_link(source, decoder);
    TDecoding decoding{pipeline, &collector};
    g_signal_connect(decoder, "pad-added", G_CALLBACK(PadAdded), &decoding);

    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *message = gst_bus_timed_pop_filtered(
        bus, GST_CLOCK_TIME_NONE, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        result.Error = error ? error->message : "cannot decode";
        g_clear_error(&error);
    }
    gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    if (!result.Error.empty())
        return result;
    if (!decoding.Video || !decoding.Audio) {
        result.Error = "the file needs both pictures and sound";
        return result;
    }
    result.Decoded = true;
    result.Flashes = collector.Flashes;
    result.Clicks = collector.Clicks;
    result.VideoFrameSeconds = collector.FrameSeconds;
    double sum = 0;
    for (double flash : result.Flashes) {
        double best = 1e9;
        for (double click : result.Clicks)
            if (std::abs(click - flash) < std::abs(best))
                best = click - flash;
        if (std::abs(best) > 0.5)
            continue;
        result.Marks.push_back({flash, best * 1000});
        sum += best * 1000;
        result.MaxAbsMs = std::max(result.MaxAbsMs, std::abs(best * 1000));
    }
    if (!result.Marks.empty())
        result.MeanMs = sum / double(result.Marks.size());
    return result;
}
