#include "playback/file_source.h"

#include <QFileInfo>
#include <QUrl>

#include <gst/pbutils/pbutils.h>

#include "platform/log.h"

TMediaFileInfo InspectMediaFile(const QString &fileName)
{
    TMediaFileInfo result;
    if (!QFileInfo(fileName).isFile()) {
        result.Error = "the file does not exist";
        return result;
    }
    GError *error = nullptr;
    GstDiscoverer *discoverer = gst_discoverer_new(10 * GST_SECOND, &error);
    if (!discoverer) {
        result.Error = error ? QString::fromUtf8(error->message) : QString("no discoverer");
        g_clear_error(&error);
        return result;
    }
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(fileName).absoluteFilePath()).toEncoded();
    GstDiscovererInfo *info = gst_discoverer_discover_uri(discoverer, uri.constData(), &error);
    if (info) {
        GList *video = gst_discoverer_info_get_video_streams(info);
        GList *audio = gst_discoverer_info_get_audio_streams(info);
        result.HasVideo = video != nullptr;
        result.HasAudio = audio != nullptr;
        gst_discoverer_stream_info_list_free(video);
        gst_discoverer_stream_info_list_free(audio);
        result.Seekable = gst_discoverer_info_get_seekable(info);
        const GstClockTime duration = gst_discoverer_info_get_duration(info);
        result.DurationNs = GST_CLOCK_TIME_IS_VALID(duration) ? qint64(duration) : -1;
        switch (gst_discoverer_info_get_result(info)) {
        case GST_DISCOVERER_OK:
            break;
        case GST_DISCOVERER_MISSING_PLUGINS:
            result.Error = "no decoder for its streams is installed";
            break;
        case GST_DISCOVERER_TIMEOUT:
            result.Error = "reading it took too long";
            break;
        default:
            result.Error = error ? QString::fromUtf8(error->message) : QString("it cannot be read");
            break;
        }
        gst_discoverer_info_unref(info);
    } else {
        result.Error = error ? QString::fromUtf8(error->message) : QString("it cannot be read");
    }
    g_clear_error(&error);
    g_object_unref(discoverer);
    // A stream that decodes is enough: a file with an unknown extra stream
    // still plays what it can.
    result.Readable = result.HasVideo || result.HasAudio;
    if (result.Readable)
        result.Error.clear();
    else if (result.Error.isEmpty())
        result.Error = "it has no sound or picture GStreamer can decode";
    return result;
}

TFileSourceFilter::TFileSourceFilter(const QString &fileName, bool videoPin, bool audioPin)
    : TGraphFilter("FileSource", gst_bin_new(nullptr))
{
    GstElement *source = gst_element_factory_make("filesrc", nullptr);
    GstElement *decoder = gst_element_factory_make("decodebin", nullptr);
    if (!source || !decoder) {
        if (source)
            gst_object_unref(source);
        if (decoder)
            gst_object_unref(decoder);
        return;
    }
    g_object_set(source, "location", fileName.toLocal8Bit().constData(), nullptr);
    gst_bin_add_many(GST_BIN(Bin()), source, decoder, nullptr);
    gst_element_link(source, decoder);
    g_signal_connect(decoder, "pad-added", G_CALLBACK(PadAdded), this);
    auto end = [this](const char *name, TMediaKind media) {
        GstElement *e = gst_element_factory_make("identity", nullptr);
        g_object_set(e, "silent", TRUE, nullptr);
        gst_bin_add(GST_BIN(Bin()), e);
        GstPad *pad = gst_element_get_static_pad(e, "src");
        AddPin(name, TPinDirection::Output, TPinCategory::None, media, pad);
        gst_object_unref(pad);
        return e;
    };
    if (videoPin)
        VideoEnd = end("Video", TMediaKind::Video);
    if (audioPin)
        AudioEnd = end("Audio", TMediaKind::Audio);
}

// Streaming thread. The pins' ends are fixed from construction; only the
// links to them are made here.
void TFileSourceFilter::PadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *self = static_cast<TFileSourceFilter *>(data);
    GstCaps *caps = gst_pad_get_current_caps(pad);
    if (!caps)
        caps = gst_pad_query_caps(pad, nullptr);
    const QByteArray media = caps && !gst_caps_is_empty(caps)
                                 ? gst_structure_get_name(gst_caps_get_structure(caps, 0))
                                 : "";
    if (caps)
        gst_caps_unref(caps);
    const bool video = media.startsWith("video/");
    const bool audio = media.startsWith("audio/");
    GstElement *end = video ? self->VideoEnd : audio ? self->AudioEnd : nullptr;
    if (end) {
        GstPad *sink = gst_element_get_static_pad(end, "sink");
        const bool free = !gst_pad_is_linked(sink);
        if (free && gst_pad_link(pad, sink) == GST_PAD_LINK_OK) {
            gst_object_unref(sink);
            return;
        }
        gst_object_unref(sink);
    }
    // Not shown: a sink that keeps time, so the other streams are not held
    // up, and does not hold up the start either.
    GstElement *sink = gst_element_factory_make("fakesink", nullptr);
    g_object_set(sink, "sync", TRUE, "async", FALSE, nullptr);
    gst_bin_add(GST_BIN(self->Bin()), sink);
    gst_element_sync_state_with_parent(sink);
    GstPad *in = gst_element_get_static_pad(sink, "sink");
    if (gst_pad_link(pad, in) != GST_PAD_LINK_OK)
        qCWarning(lcGst) << "playback: cannot park the stream" << media.constData();
    gst_object_unref(in);
}
