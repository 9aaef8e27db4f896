#include "platform/gst_video_sink.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>
#include <gst/video/videooverlay.h>

#include <QGuiApplication>

#include "platform/log.h"

namespace {

GstElement *ParseSinkBin(const QString &description)
{
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description_full(description.toUtf8().constData(), FALSE,
                                                          nullptr, GST_PARSE_FLAG_FATAL_ERRORS,
                                                          &error);
    if (!bin) {
        qCWarning(lcGst) << "video window renderer:" << (error ? error->message : "cannot build")
                         << description;
        if (error)
            g_error_free(error);
    }
    return bin;
}

GstElement *ByName(GstElement *bin, const char *name)
{
    GstElement *e = gst_bin_get_by_name(GST_BIN(bin), name);
    if (e)
        gst_object_unref(e); // the bin keeps it alive as long as the filter
    return e;
}

bool FactoryExists(const char *name)
{
    GstElementFactory *f = gst_element_factory_find(name);
    if (!f)
        return false;
    gst_object_unref(f);
    return true;
}

} // namespace

bool OverlaySinkAvailable()
{
    static const bool available = [] {
        if (!qEnvironmentVariableIsSet("DISPLAY"))
            return false;
        // Qt must give the widget a real X11 window to draw into.
        return QGuiApplication::platformName() == "xcb";
    }();
    return available;
}

TVideoSinkFilter::TVideoSinkFilter(GstElement *bin, TVideoSinkKind kind, const QString &element)
    : TGraphFilter("Video Renderer", bin), SinkKind(kind), ElementName(element)
{
    Sink = ByName(Bin(), "sink");
    Crop = ByName(Bin(), "crop");
    GstElement *first = ByName(Bin(), kind == TVideoSinkKind::Overlay ? "crop" : "first");
    GstPad *in = gst_element_get_static_pad(first, "sink");
    AddPin("Input", TPinDirection::Input, TPinCategory::None, TMediaKind::Video, in);
    gst_object_unref(in);
    // Frames are counted where they are shown; the picture's size is read
    // where it enters, before the overlay chain crops and scales it.
    GstPad *sinkPad = gst_element_get_static_pad(Sink, "sink");
    gst_pad_add_probe(sinkPad, GST_PAD_PROBE_TYPE_BUFFER, CountFrames, this, nullptr);
    gst_object_unref(sinkPad);
    if (kind == TVideoSinkKind::Overlay) {
        GstPad *pad = gst_element_get_static_pad(Sink, "sink");
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, LendWindow, this, nullptr);
        gst_object_unref(pad);
    }
    GstPad *firstPad = gst_element_get_static_pad(first, "sink");
    gst_pad_add_probe(firstPad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, CountFrames, this, nullptr);
    gst_object_unref(firstPad);
    if (kind == TVideoSinkKind::Frames) {
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = [](GstAppSink *sink, gpointer self) {
            GstSample *sample = gst_app_sink_pull_sample(sink);
            if (sample)
                static_cast<TVideoSinkFilter *>(self)->OnSample(sample);
            return GST_FLOW_OK;
        };
        gst_app_sink_set_callbacks(GST_APP_SINK(Sink), &callbacks, this, nullptr);
    }
}

TVideoSinkFilter::~TVideoSinkFilter()
{
    if (Bin())
        gst_element_set_state(Bin(), GST_STATE_NULL);
    if (SinkKind == TVideoSinkKind::Frames && Sink) {
        GstAppSinkCallbacks none{};
        gst_app_sink_set_callbacks(GST_APP_SINK(Sink), &none, nullptr, nullptr);
    }
    std::lock_guard lock(FrameMutex);
    if (Pending)
        gst_sample_unref(Pending);
    Pending = nullptr;
}

GstPadProbeReturn TVideoSinkFilter::CountFrames(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *self = static_cast<TVideoSinkFilter *>(data);
    if (info->type & GST_PAD_PROBE_TYPE_BUFFER) {
        self->Frames.fetch_add(1, std::memory_order_relaxed);
    } else if (GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
               event && GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
        GstCaps *caps = nullptr;
        gst_event_parse_caps(event, &caps);
        GstVideoInfo vi;
        if (caps && gst_video_info_from_caps(&vi, caps)) {
            std::lock_guard lock(self->FrameMutex);
            self->Size = QSize(GST_VIDEO_INFO_WIDTH(&vi), GST_VIDEO_INFO_HEIGHT(&vi));
        }
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn TVideoSinkFilter::LendWindow(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    // A sink that was stopped has let go of the window; without one at its
    // caps it would open a window of its own. The same window again costs
    // the sink nothing.
    auto *self = static_cast<TVideoSinkFilter *>(data);
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (event && GST_EVENT_TYPE(event) == GST_EVENT_CAPS)
        if (const quintptr handle = self->Window.load())
            gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(self->Sink), guintptr(handle));
    return GST_PAD_PROBE_OK;
}

void TVideoSinkFilter::OnSample(GstSample *sample)
{
    bool notify = false;
    GstSample *old = nullptr;
    {
        std::lock_guard lock(FrameMutex);
        old = Pending;
        Pending = sample;
        if (!Waiting) {
            Waiting = true;
            notify = true;
        }
    }
    if (old)
        gst_sample_unref(old);
    if (notify && FrameReady)
        FrameReady();
}

QSize TVideoSinkFilter::SourceSize() const
{
    std::lock_guard lock(FrameMutex);
    return Size;
}

QImage TVideoSinkFilter::TakeFrame()
{
    GstSample *sample = nullptr;
    {
        std::lock_guard lock(FrameMutex);
        sample = Pending;
        Pending = nullptr;
        Waiting = false;
    }
    if (!sample)
        return {};
    GstVideoInfo vi;
    GstCaps *caps = gst_sample_get_caps(sample);
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (!caps || !buffer || !gst_video_info_from_caps(&vi, caps) ||
        !gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        gst_sample_unref(sample);
        return {};
    }
    // The image borrows the mapped buffer; the clean-up runs when the last
    // copy of the image goes.
    struct TMapped
    {
        GstSample *Sample;
        GstBuffer *Buffer;
        GstMapInfo Map;
    };
    auto *mapped = new TMapped{sample, buffer, map};
    return QImage(
        map.data, GST_VIDEO_INFO_WIDTH(&vi), GST_VIDEO_INFO_HEIGHT(&vi),
        GST_VIDEO_INFO_PLANE_STRIDE(&vi, 0), QImage::Format_RGB32,
        [](void *data) {
            auto *m = static_cast<TMapped *>(data);
            gst_buffer_unmap(m->Buffer, &m->Map);
            gst_sample_unref(m->Sample);
            delete m;
        },
        mapped);
}

void TVideoSinkFilter::SetWindowHandle(quintptr handle)
{
    if (SinkKind != TVideoSinkKind::Overlay || !handle)
        return;
    Window.store(handle);
    gst_video_overlay_set_window_handle(GST_VIDEO_OVERLAY(Sink), guintptr(handle));
}

void TVideoSinkFilter::SetRenderRectangle(const QRect &rect)
{
    if (SinkKind != TVideoSinkKind::Overlay || rect.isEmpty())
        return;
    gst_video_overlay_set_render_rectangle(GST_VIDEO_OVERLAY(Sink), rect.x(), rect.y(),
                                           rect.width(), rect.height());
    // ximagesink does not scale: the chain scales to the window's size.
    if (GstElement *size = ByName(Bin(), "size")) {
        GstCaps *caps = gst_caps_new_simple("video/x-raw", "width", G_TYPE_INT, rect.width(),
                                            "height", G_TYPE_INT, rect.height(), nullptr);
        g_object_set(size, "caps", caps, nullptr);
        gst_caps_unref(caps);
    }
    Expose();
}

void TVideoSinkFilter::Expose()
{
    if (SinkKind == TVideoSinkKind::Overlay)
        gst_video_overlay_expose(GST_VIDEO_OVERLAY(Sink));
}

void TVideoSinkFilter::SetCrop(const QRect &source, const QSize &sourceSize)
{
    if (!Crop || sourceSize.isEmpty())
        return;
    g_object_set(Crop, "left", std::max(0, source.left()), "top", std::max(0, source.top()),
                 "right", std::max(0, sourceSize.width() - source.x() - source.width()), "bottom",
                 std::max(0, sourceSize.height() - source.y() - source.height()), nullptr);
}

void TVideoSinkFilter::SetKeepAspect(bool keep)
{
    if (SinkKind == TVideoSinkKind::Overlay &&
        g_object_class_find_property(G_OBJECT_GET_CLASS(Sink), "force-aspect-ratio"))
        g_object_set(Sink, "force-aspect-ratio", keep, nullptr);
}

std::shared_ptr<TVideoSinkFilter> CreateVideoSink(TVideoSinkKind kind, quintptr windowHandle)
{
    if (kind == TVideoSinkKind::Overlay) {
        if (!OverlaySinkAvailable())
            return nullptr;
        // ximagesink first: measured under Xvfb (software GL) glimagesink
        // costs four times the CPU of the whole bare pipeline; ximagesink
        // needs the chain to scale but costs no more than that pipeline.
        struct
        {
            const char *Element;
            const char *Description;
        } candidates[] = {
            // The size filter follows the window; buffers already on their
            // way in the old size pass until the scaler has renegotiated
            // (a filter that refused them at once would fail the stream
            // with not-negotiated on every resize).
            {"ximagesink", "videocrop name=crop ! videoscale name=scale ! videoconvert"
                           " ! capsfilter name=size caps-change-mode=delayed"
                           " ! ximagesink name=sink"},
            {"glimagesink", "videocrop name=crop ! glimagesink name=sink"},
        };
        for (auto &c : candidates) {
            if (!FactoryExists(c.Element))
                continue;
            QString description = c.Description;
            GstElement *bin = ParseSinkBin(description);
            if (!bin)
                continue;
            auto filter = std::shared_ptr<TVideoSinkFilter>(
                new TVideoSinkFilter(bin, TVideoSinkKind::Overlay, c.Element));
            filter->SetWindowHandle(windowHandle);
            // An overlay sink that cannot open its display falls through.
            const bool opens =
                gst_element_set_state(filter->Sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
            // Back to NULL: a GL sink still in READY when it joins a pipeline
            // that already has a GL context deadlocks in gst_bin_add.
            gst_element_set_state(filter->Sink, GST_STATE_NULL);
            if (!opens)
                continue;
            qCInfo(lcGst) << "video window renderer:" << c.Element;
            return filter;
        }
        return nullptr;
    }
    GstElement *bin = ParseSinkBin("videoconvert name=first ! video/x-raw,format=BGRx"
                                   " ! appsink name=sink max-buffers=1 drop=true sync=true"
                                   " enable-last-sample=false");
    if (!bin)
        return nullptr;
    return std::shared_ptr<TVideoSinkFilter>(
        new TVideoSinkFilter(bin, TVideoSinkKind::Frames, "appsink"));
}
