#include "emu_picture.h"

#include <algorithm>
#include <cstring>

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include "emu_formats.h"
#include "platform/station_picture.h"

namespace emu {

TPictureSource::~TPictureSource()
{
    Teardown();
}

void TPictureSource::Teardown()
{
    if (!Pipeline)
        return;
    gst_element_set_state(Pipeline, GST_STATE_NULL);
    Source.reset();
    GstBus *bus = gst_element_get_bus(Pipeline);
    gst_bus_remove_watch(bus);
    gst_object_unref(bus);
    gst_object_unref(Pipeline);
    Pipeline = nullptr;
}

bool TPictureSource::Build(const TPixFormat &format, uint64_t std)
{
    Teardown();
    const TFormatInfo *info = FormatInfo(format.Fourcc);
    if (!info || (!info->GstFormat && !info->BayerOrder))
        return false;
    uint32_t num, den;
    FramePeriod(std, num, den);
    // The overlays and the balance work on AYUV; the converter makes the
    // driver's format (rgb2bayer the Bayer ones).
    const std::string size =
        ",width=" + std::to_string(format.Width) + ",height=" + std::to_string(format.Height);
    std::string out;
    if (info->BayerOrder)
        out = " ! video/x-raw,format=ARGB ! rgb2bayer ! video/x-bayer,format=" +
              std::string(info->BayerOrder) + size;
    else
        out = " ! video/x-raw,format=" + std::string(info->GstFormat) + size;
    const std::string description = std::string(StationPictureChain) + " ! videoconvert" + out +
                                    " ! appsink name=sink max-buffers=2 drop=true sync=false";
    GError *error = nullptr;
    Pipeline = gst_parse_launch(description.c_str(), &error);
    if (!Pipeline) {
        g_printerr("v4l2-emu: %s\n", error ? error->message : "cannot build the picture");
        g_clear_error(&error);
        return false;
    }
    if (GstElement *src = gst_bin_get_by_name(GST_BIN(Pipeline), "src")) {
        Source = std::make_unique<TStreamingProperties>(src);
        gst_object_unref(src); // the pipeline keeps it
    }
    GstElement *srccaps = gst_bin_get_by_name(GST_BIN(Pipeline), "srccaps");
    GstCaps *caps =
        gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "AYUV", "width", G_TYPE_INT,
                            int(format.Width), "height", G_TYPE_INT, int(format.Height),
                            "framerate", GST_TYPE_FRACTION, int(den), int(num), nullptr);
    g_object_set(srccaps, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_object_unref(srccaps);
    GstElement *sink = gst_bin_get_by_name(GST_BIN(Pipeline), "sink");
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = [](GstAppSink *s, gpointer self) {
        return NewSample(GST_ELEMENT(s), self);
    };
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
    gst_object_unref(sink);
    // A pipeline that fails is built again on the next look at the state.
    GstBus *bus = gst_element_get_bus(Pipeline);
    gst_bus_add_watch(bus, OnBus, this);
    gst_object_unref(bus);
    Failed = false;
    Format = format;
    Std = std;
    Serial = ~0u;
    ShowState();
    gst_element_set_state(Pipeline, GST_STATE_PLAYING);
    return true;
}

void TPictureSource::Follow()
{
    TPixFormat format;
    uint64_t std;
    bool streaming;
    {
        TSharedLock lock(&Shared->Mutex);
        format = Shared->State.Format;
        std = Shared->State.Std;
        streaming = Shared->State.Streaming && !Shared->State.Unplugged;
    }
    // Drawing stops two seconds after the last stream, so a program that
    // restarts its stream (a format or standard change) finds the picture.
    const gint64 now = g_get_monotonic_time();
    if (streaming)
        LastStreaming = now;
    if (!streaming) {
        if (Pipeline && now - LastStreaming > 2000000)
            Teardown();
        return;
    }
    if (!Pipeline || Failed || !(format == Format) ||
        (std & V4L2_STD_525_60) != (Std & V4L2_STD_525_60))
        Build(format, std);
    else if (Shared->Serial.load() != Serial)
        ShowState();
}

void TPictureSource::ShowState()
{
    if (!Pipeline)
        return;
    TStationPicture picture;
    {
        TSharedLock lock(&Shared->Mutex);
        Serial = Shared->Serial.load();
        const TDeviceState &st = Shared->State;
        const TInput *input = st.Input < Model.Inputs.size() ? &Model.Inputs[st.Input] : nullptr;
        if (input && input->Tuner) {
            // The tuner in radio mode gives the decoder no picture.
            if (st.TunerMode == V4L2_TUNER_ANALOG_TV && st.Station >= 0 &&
                st.Station < Shared->StationCount) {
                const TStation &s = Shared->Stations[st.Station];
                picture.Pattern = QString::fromUtf8(s.Pattern);
                picture.Title = QString::fromUtf8(s.Name);
            }
        } else if (input) {
            const bool svideo = input->Name.find("S-Video") != std::string::npos;
            picture.Pattern = svideo ? "colors" : "smpte";
            picture.Title = QString::fromStdString(input->Name);
        }
        picture.Clock = picture.Pattern != "snow";
        for (size_t i = 0; i < Model.Controls.size(); ++i) {
            const TControl &c = Model.Controls[i];
            const int v = st.Controls[i];
            if (c.Role == "brightness")
                picture.Brightness = BalanceLevel(v, c.Min, c.Default, c.Max, -1, 1);
            else if (c.Role == "contrast")
                picture.Contrast = BalanceLevel(v, c.Min, c.Default, c.Max, 0, 2);
            else if (c.Role == "saturation")
                picture.Saturation = BalanceLevel(v, c.Min, c.Default, c.Max, 0, 2);
            else if (c.Role == "hue")
                picture.Hue = BalanceLevel(v, c.Min, c.Default, c.Max, -1, 1);
        }
    }
    ShowStationPicture(Pipeline, picture, Source.get());
}

gboolean TPictureSource::OnBus(GstBus *, GstMessage *message, gpointer self)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        g_printerr("v4l2-emu: the picture failed: %s\n", error ? error->message : "");
        g_clear_error(&error);
        static_cast<TPictureSource *>(self)->Failed = true;
    }
    return G_SOURCE_CONTINUE;
}

GstFlowReturn TPictureSource::NewSample(GstElement *sink, gpointer self)
{
    GstSample *sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
    if (!sample)
        return GST_FLOW_EOS;
    static_cast<TPictureSource *>(self)->Write(sample);
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

// Copies the picture into the back slot in the driver's layout (its
// bytes per line, planes one after another, the sequential-field order),
// then makes it the front slot.
void TPictureSource::Write(GstSample *sample)
{
    const TPixFormat &f = Format;
    const TFormatInfo *info = FormatInfo(f.Fourcc);
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!info || !buffer || f.SizeImage > Shared->SlotBytes)
        return;
    uint32_t back;
    {
        TSharedLock lock(&Shared->FrameMutex);
        back = 1 - Shared->Front;
    }
    uint8_t *out = reinterpret_cast<uint8_t *>(Shared) + Shared->SlotOffset[back];
    memset(out, 0, f.SizeImage);
    const uint32_t h = f.Height;
    // Row r of the picture goes to row Dest(r) (sequential fields: the top
    // field's rows first).
    auto dest = [&](uint32_t r) {
        if (f.Field != V4L2_FIELD_SEQ_TB)
            return r;
        return r % 2 == 0 ? r / 2 : (h + 1) / 2 + r / 2;
    };
    if (info->BayerOrder) {
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
            return;
        const uint32_t stride = (f.Width + 3) & ~3u; // rgb2bayer's row length
        for (uint32_t r = 0; r < h && size_t(r + 1) * stride <= map.size; ++r)
            memcpy(out + size_t(dest(r)) * f.BytesPerLine, map.data + size_t(r) * stride,
                   std::min(f.BytesPerLine, f.Width));
        gst_buffer_unmap(buffer, &map);
    } else {
        GstVideoInfo vinfo;
        GstVideoFrame frame;
        if (!gst_video_info_from_caps(&vinfo, gst_sample_get_caps(sample)) ||
            !gst_video_frame_map(&frame, &vinfo, buffer, GST_MAP_READ))
            return;
        if (!info->Planar) {
            const uint8_t *src =
                static_cast<const uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
            const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
            const uint32_t row = std::min<uint32_t>(f.BytesPerLine, f.Width * info->Depth / 8);
            for (uint32_t r = 0; r < h; ++r) {
                uint8_t *o = out + size_t(dest(r)) * f.BytesPerLine;
                memcpy(o, src + size_t(r) * stride, row);
                if (info->Swap16)
                    for (uint32_t i = 0; i + 1 < row; i += 2)
                        std::swap(o[i], o[i + 1]);
            }
        } else {
            // Y, then Cb and Cr (Cr first for YVU), each plane packed.
            uint8_t *o = out;
            const int order[3] = {0, info->SwapCbCr ? 2 : 1, info->SwapCbCr ? 1 : 2};
            for (int c : order) {
                const uint32_t pw = c ? f.Width >> info->HShift : f.Width;
                const uint32_t ph = c ? h >> info->VShift : h;
                const auto *src =
                    static_cast<const uint8_t *>(GST_VIDEO_FRAME_COMP_DATA(&frame, c));
                const int stride = GST_VIDEO_FRAME_COMP_STRIDE(&frame, c);
                for (uint32_t r = 0; r < ph && o + pw <= out + f.SizeImage; ++r, o += pw)
                    memcpy(o, src + size_t(r) * stride, pw);
            }
        }
        gst_video_frame_unmap(&frame);
    }
    TSharedLock lock(&Shared->FrameMutex);
    Shared->SlotFormat[back] = f;
    Shared->Front = back;
    ++Shared->Frames;
}

} // namespace emu
