// Helpers of the media tests.
#include "media_test_util.h"

#include <QUrl>

#include <gst/app/gstappsink.h>
#include <gst/pbutils/pbutils.h>

#include "platform/media_filters.h"

TDiscovered Discover(const QString &path)
{
    TDiscovered d;
    GError *error = nullptr;
    GstDiscoverer *discoverer = gst_discoverer_new(20 * GST_SECOND, &error);
    if (!discoverer) {
        d.Error = error ? error->message : "no discoverer";
        g_clear_error(&error);
        return d;
    }
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, uri.constData(), &error);
    if (!info || gst_discoverer_info_get_result(info) != GST_DISCOVERER_OK) {
        d.Error = error ? error->message : "the file does not play";
        g_clear_error(&error);
        if (info)
            gst_discoverer_info_unref(info);
        g_object_unref(discoverer);
        return d;
    }
    d.Ok = true;
    d.Duration = gst_discoverer_info_get_duration(info);
    GstDiscovererStreamInfo *top = gst_discoverer_info_get_stream_info(info);
    if (GstCaps *caps = top ? gst_discoverer_stream_info_get_caps(top) : nullptr) {
        gst_structure_get_int(gst_caps_get_structure(caps, 0), "mpegversion",
                              &d.ContainerMpegVersion);
        gst_caps_unref(caps);
    }
    if (top)
        gst_discoverer_stream_info_unref(top);
    GList *videos = gst_discoverer_info_get_video_streams(info);
    if (videos) {
        auto *v = GST_DISCOVERER_VIDEO_INFO(videos->data);
        d.Width = int(gst_discoverer_video_info_get_width(v));
        d.Height = int(gst_discoverer_video_info_get_height(v));
        d.FpsN = int(gst_discoverer_video_info_get_framerate_num(v));
        d.FpsD = int(gst_discoverer_video_info_get_framerate_denom(v));
        if (GstCaps *caps = gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(v))) {
            gst_structure_get_int(gst_caps_get_structure(caps, 0), "mpegversion",
                                  &d.VideoMpegVersion);
            gst_caps_unref(caps);
        }
    }
    gst_discoverer_stream_info_list_free(videos);
    GList *audios = gst_discoverer_info_get_audio_streams(info);
    if (audios) {
        auto *a = GST_DISCOVERER_AUDIO_INFO(audios->data);
        d.AudioRate = int(gst_discoverer_audio_info_get_sample_rate(a));
        d.AudioChannels = int(gst_discoverer_audio_info_get_channels(a));
        if (GstCaps *caps = gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(a))) {
            gst_structure_get_int(gst_caps_get_structure(caps, 0), "layer", &d.AudioLayer);
            gst_caps_unref(caps);
        }
    }
    gst_discoverer_stream_info_list_free(audios);
    gst_discoverer_info_unref(info);
    g_object_unref(discoverer);
    return d;
}

GstElement *Launch(const QString &description)
{
    RegisterLyraMediaElements();
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error) {
        qWarning("%s: %s", qPrintable(description), error->message);
        g_error_free(error);
    }
    return pipeline;
}

std::string RunPipelineToEnd(const QString &description, int timeoutMs)
{
    GstElement *pipeline = Launch(description);
    if (!pipeline)
        return "no pipeline";
    const std::string error = RunToEnd(pipeline, timeoutMs);
    gst_object_unref(pipeline);
    return error;
}

static std::string ErrorText(GstMessage *message)
{
    GError *error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::string text = error ? error->message : "error";
    g_clear_error(&error);
    return text;
}

std::string RunToEnd(GstElement *pipeline, int timeoutMs)
{
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        const std::string error = WaitForError(pipeline, 0);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        return error.empty() ? "the pipeline does not start" : error;
    }
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *message =
        gst_bus_timed_pop_filtered(bus, GstClockTime(timeoutMs) * GST_MSECOND,
                                   GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    std::string result;
    if (!message)
        result = "timed out";
    else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR)
        result = ErrorText(message);
    if (message)
        gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    return result;
}

std::string WaitForError(GstElement *pipeline, int timeoutMs)
{
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *message =
        gst_bus_timed_pop_filtered(bus, GstClockTime(timeoutMs) * GST_MSECOND, GST_MESSAGE_ERROR);
    gst_object_unref(bus);
    if (!message)
        return {};
    std::string text = ErrorText(message);
    gst_message_unref(message);
    return text;
}

int DecodedVideoFrames(const QString &path)
{
    GstElement *pipeline = Launch(QString("filesrc location=\"%1\" ! decodebin ! videoconvert"
                                          " ! appsink name=v sync=false")
                                      .arg(path));
    if (!pipeline)
        return -1;
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "v");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    int frames = 0;
    while (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 20 * GST_SECOND)) {
        ++frames;
        gst_sample_unref(sample);
    }
    gst_object_unref(sink);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return frames;
}
