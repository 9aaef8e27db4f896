#include "capture/sample_grabber.h"

#include <gst/video/video.h>

#include "platform/filter_registry.h"
#include "platform/log.h"

TSampleGrabberEx::TSampleGrabberEx(uint8_t colorKind) : GrabberColorKind(colorKind) {}

TSampleGrabberEx::~TSampleGrabberEx()
{
    LeaveGraph();
}

bool TSampleGrabberEx::JoinGraph(TFilterGraph *graph, const QString &name)
{
    LeaveGraph();
    if (!graph)
        return false;
    // The tap passes the picture on unchanged in the colour format it was
    // made for; the converter is a pass-through when the stream already has
    // that format.
    const char *format = GrabberColorKind == KindYUY2   ? "YUY2"
                         : GrabberColorKind == KindUYVY ? "UYVY"
                                                        : "BGR";
    const QString description =
        QString("videoconvert name=first ! video/x-raw,format=%1 ! identity name=last silent=true")
            .arg(format);
    GrabberFilter = CreateChainFilter(name, description,
                                      {{"Input", "first", "sink", TMediaKind::Video}},
                                      {{"Output", "last", "src", TMediaKind::Video}});
    if (!GrabberFilter || !graph->AddFilter(GrabberFilter, name)) {
        GrabberFilter.reset();
        return false;
    }
    Graph = graph;
    GstElement *last = gst_bin_get_by_name(GST_BIN(GrabberFilter->Bin()), "last");
    TapPad = gst_element_get_static_pad(last, "src");
    gst_object_unref(last);
    Probe = gst_pad_add_probe(
        TapPad, GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        Keep, this, nullptr);
    return true;
}

void TSampleGrabberEx::LeaveGraph()
{
    if (TapPad) {
        gst_pad_remove_probe(TapPad, Probe);
        gst_object_unref(TapPad);
        TapPad = nullptr;
        Probe = 0;
    }
    if (GrabberFilter && Graph && GrabberFilter->Graph == Graph)
        Graph->RemoveFilter(GrabberFilter.get());
    GrabberFilter.reset();
    Graph = nullptr;
    std::lock_guard lock(FrameMutex);
    if (LastBuffer)
        gst_buffer_unref(LastBuffer);
    if (LastCaps)
        gst_caps_unref(LastCaps);
    LastBuffer = nullptr;
    LastCaps = nullptr;
}

GstPadProbeReturn TSampleGrabberEx::Keep(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *self = static_cast<TSampleGrabberEx *>(data);
    if (GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        buffer && (info->type & GST_PAD_PROBE_TYPE_BUFFER)) {
        gst_buffer_ref(buffer);
        GstBuffer *old = nullptr;
        {
            std::lock_guard lock(self->FrameMutex);
            old = self->LastBuffer;
            self->LastBuffer = buffer;
            ++self->Frames;
        }
        if (old)
            gst_buffer_unref(old);
    } else if (GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
               event && GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
        GstCaps *caps = nullptr;
        gst_event_parse_caps(event, &caps);
        gst_caps_ref(caps);
        GstCaps *old = nullptr;
        {
            std::lock_guard lock(self->FrameMutex);
            old = self->LastCaps;
            self->LastCaps = caps;
        }
        if (old)
            gst_caps_unref(old);
    }
    return GST_PAD_PROBE_OK;
}

int64_t TSampleGrabberEx::FrameCount() const
{
    std::lock_guard lock(FrameMutex);
    return Frames;
}

bool TSampleGrabberEx::GrabFrame(QImage &bitmap) const
{
    GstBuffer *buffer = nullptr;
    GstCaps *caps = nullptr;
    {
        std::lock_guard lock(FrameMutex);
        if (!GrabberFilter || !LastBuffer || !LastCaps)
            return false;
        buffer = gst_buffer_ref(LastBuffer);
        caps = gst_caps_ref(LastCaps);
    }
    QImage result;
    GstVideoInfo vi;
    GstVideoFrame frame;
    if (gst_video_info_from_caps(&vi, caps) &&
        gst_video_frame_map(&frame, &vi, buffer, GST_MAP_READ)) {
        const auto *data = static_cast<const uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
        const int w = GST_VIDEO_INFO_WIDTH(&vi), h = GST_VIDEO_INFO_HEIGHT(&vi);
        switch (GST_VIDEO_INFO_FORMAT(&vi)) {
        case GST_VIDEO_FORMAT_YUY2:
            result = ConvertYUV422ToRGB(data, w, h, stride, false);
            break;
        case GST_VIDEO_FORMAT_UYVY:
            result = ConvertYUV422ToRGB(data, w, h, stride, true);
            break;
        case GST_VIDEO_FORMAT_BGR:
            // BGR bytes are Qt's BGR888; the copy leaves the buffer free.
            result = QImage(data, w, h, stride, QImage::Format_BGR888)
                         .convertToFormat(QImage::Format_RGB888);
            break;
        default:
            qCWarning(lcGst) << "snapshot: unexpected frame format"
                             << gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&vi));
            break;
        }
        gst_video_frame_unmap(&frame);
    }
    gst_buffer_unref(buffer);
    gst_caps_unref(caps);
    if (result.isNull())
        return false;
    bitmap = result;
    return true;
}

QImage ConvertYUV422ToRGB(const uint8_t *data, int width, int height, int stride, bool uyvy)
{
    if (!data || width <= 0 || height <= 0 || stride < ((width + 1) / 2) * 4)
        return {};
    GstVideoInfo in, out;
    gst_video_info_set_format(&in, uyvy ? GST_VIDEO_FORMAT_UYVY : GST_VIDEO_FORMAT_YUY2, width,
                              height);
    // Analog TV is BT.601 studio range whatever the picture size.
    gst_video_colorimetry_from_string(&in.colorimetry, "bt601");
    in.stride[0] = stride;
    in.size = gsize(stride) * height;
    gst_video_info_set_format(&out, GST_VIDEO_FORMAT_RGB, width, height);
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull())
        return {};
    out.stride[0] = int(image.bytesPerLine());
    out.size = gsize(image.bytesPerLine()) * height;

    // No chroma interpolation: a pixel takes the U and V of its own pair.
    GstStructure *options = gst_structure_new(
        "options", GST_VIDEO_CONVERTER_OPT_CHROMA_MODE, GST_TYPE_VIDEO_CHROMA_MODE,
        GST_VIDEO_CHROMA_MODE_NONE, GST_VIDEO_CONVERTER_OPT_DITHER_METHOD,
        GST_TYPE_VIDEO_DITHER_METHOD, GST_VIDEO_DITHER_NONE, GST_VIDEO_CONVERTER_OPT_THREADS,
        G_TYPE_UINT, 1u, nullptr);
    GstVideoConverter *converter = gst_video_converter_new(&in, &out, options);
    if (!converter)
        return {};
    GstBuffer *src = gst_buffer_new_wrapped_full(GST_MEMORY_FLAG_READONLY,
                                                 const_cast<uint8_t *>(data), in.size, 0, in.size,
                                                 nullptr, nullptr);
    GstBuffer *dst = gst_buffer_new_wrapped_full(GstMemoryFlags(0), image.bits(), out.size, 0,
                                                 out.size, nullptr, nullptr);
    GstVideoFrame inFrame, outFrame;
    bool ok = false;
    if (gst_video_frame_map(&inFrame, &in, src, GST_MAP_READ)) {
        if (gst_video_frame_map(&outFrame, &out, dst, GST_MAP_WRITE)) {
            gst_video_converter_frame(converter, &inFrame, &outFrame);
            gst_video_frame_unmap(&outFrame);
            ok = true;
        }
        gst_video_frame_unmap(&inFrame);
    }
    gst_buffer_unref(src);
    gst_buffer_unref(dst);
    gst_video_converter_free(converter);
    return ok ? image : QImage();
}
