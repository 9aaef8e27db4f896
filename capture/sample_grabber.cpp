#include "capture/sample_grabber.h"

#include <gst/video/video.h>

extern "C" {
#include <libswscale/swscale.h>
}

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
    // Out of the graph first (that stops the streaming through the tap),
    // then the probe can go without racing a frame.
    if (GrabberFilter && Graph && GrabberFilter->Graph == Graph)
        Graph->RemoveFilter(GrabberFilter.get());
    if (GrabberFilter)
        gst_element_set_state(GrabberFilter->Bin(), GST_STATE_NULL);
    if (TapPad) {
        gst_pad_remove_probe(TapPad, Probe);
        gst_object_unref(TapPad);
        TapPad = nullptr;
        Probe = 0;
    }
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
        // A stopped graph shows no picture; the frame kept from before it
        // stopped is not what is on screen.
        GstState state = GST_STATE_NULL;
        gst_element_get_state(GrabberFilter->Bin(), &state, nullptr, 0);
        if (state < GST_STATE_PAUSED)
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
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull())
        return {};
    // Without full chroma interpolation swscale gives both pixels of a pair
    // that pair's U and V, as the snapshot always has. Analog TV is BT.601
    // studio range whatever the picture size (swscale's default).
    SwsContext *context =
        sws_getContext(width, height, uyvy ? AV_PIX_FMT_UYVY422 : AV_PIX_FMT_YUYV422, width, height,
                       AV_PIX_FMT_RGB24, SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (!context)
        return {};
    const uint8_t *src[4] = {data, nullptr, nullptr, nullptr};
    const int srcStride[4] = {stride, 0, 0, 0};
    uint8_t *dst[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    const int rows = sws_scale(context, src, srcStride, 0, height, dst, dstStride);
    sws_freeContext(context);
    return rows == height ? image : QImage();
}
