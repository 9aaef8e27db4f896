#include "platform/virtual_wis.h"

#include <cerrno>
#include <deque>
#include <mutex>

#include "platform/log.h"
#include "platform/virtual_card.h"

namespace {

const char *WisDescription =
    "videotestsrc name=src is-live=true horizontal-speed=2 ! capsfilter name=srccaps"
    " ! textoverlay name=title valignment=top halignment=left font-desc=\"Sans 20\""
    " shaded-background=true ! clockoverlay name=clock valignment=bottom halignment=right"
    " time-format=\"%H:%M:%S\" font-desc=\"Sans 16\" ! videobalance name=balance"
    " ! videoconvert ! avenc_mpeg4 name=enc bitrate=2000000 gop-size=12 max-bframes=0"
    " ! mpeg4videoparse config-interval=-1"
    " ! tee name=t allow-not-linked=true"
    " t. ! queue name=qcapture max-size-buffers=16 max-size-bytes=0 max-size-time=0"
    " t. ! queue name=qpreview max-size-buffers=16 max-size-bytes=0 max-size-time=0 "
    "leaky=downstream"
    " audiotestsrc name=asrc is-live=true samplesperbuffer=1920"
    " ! audio/x-raw,format=S16LE,rate=48000,channels=2 ! queue name=qaudio"
    " max-size-buffers=16 max-size-bytes=0 max-size-time=0";

const TVideoFormat WisFormats[] = {
    {"MP4S", 720, 576, 25}, {"MP4S", 640, 480, 25}, {"MP4S", 352, 288, 25}, {"MP4S", 320, 240, 25},
    {"DX50", 720, 576, 25}, {"DX50", 640, 480, 25}, {"DX50", 352, 288, 25}, {"DX50", 320, 240, 25}};

GstElement *Child(GstElement *bin, const char *name)
{
    GstElement *e = gst_bin_get_by_name(GST_BIN(bin), name);
    if (e)
        gst_object_unref(e); // the bin keeps it
    return e;
}

GstElement *ParseWisBin()
{
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description_full(WisDescription, FALSE, nullptr,
                                                          GST_PARSE_FLAG_FATAL_ERRORS, &error);
    if (!bin) {
        qCWarning(lcGst) << "virtual Wis card:" << (error ? error->message : "cannot build");
        if (error)
            g_error_free(error);
        return gst_bin_new(nullptr);
    }
    return bin;
}

// avenc_mpeg4 of Debian 12's gst-libav 1.22 stamps every frame with the
// same invalid time in a live stream, and a synchronised renderer then waits
// forever. The encoder makes no B-frames, so its frames leave in the order
// they came: each takes the time of the raw frame it was made from, and the
// encoder's shifted segment is replaced by the source's.
struct TEncoderStamps
{
    std::mutex Mutex;
    std::deque<GstClockTime> Times;
    GstSegment Segment;
    bool HaveSegment = false;
};

GstPadProbeReturn RememberStamp(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *stamps = static_cast<TEncoderStamps *>(data);
    std::lock_guard lock(stamps->Mutex);
    if (GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        buffer && (info->type & GST_PAD_PROBE_TYPE_BUFFER)) {
        stamps->Times.push_back(GST_BUFFER_PTS(buffer));
        while (stamps->Times.size() > 64)
            stamps->Times.pop_front();
    } else if (GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
               event && GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
        const GstSegment *segment = nullptr;
        gst_event_parse_segment(event, &segment);
        gst_segment_copy_into(segment, &stamps->Segment);
        stamps->HaveSegment = true;
    } else if (event && GST_EVENT_TYPE(event) == GST_EVENT_FLUSH_STOP) {
        stamps->Times.clear();
    }
    return GST_PAD_PROBE_OK;
}

GstPadProbeReturn RestoreStamp(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *stamps = static_cast<TEncoderStamps *>(data);
    std::lock_guard lock(stamps->Mutex);
    if (GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
        buffer && (info->type & GST_PAD_PROBE_TYPE_BUFFER)) {
        if (stamps->Times.empty())
            return GST_PAD_PROBE_OK;
        buffer = gst_buffer_make_writable(buffer);
        GST_BUFFER_PTS(buffer) = GST_BUFFER_DTS(buffer) = stamps->Times.front();
        stamps->Times.pop_front();
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
    } else if (GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
               event && GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT && stamps->HaveSegment) {
        gst_event_unref(event);
        GST_PAD_PROBE_INFO_DATA(info) = gst_event_new_segment(&stamps->Segment);
    }
    return GST_PAD_PROBE_OK;
}

} // namespace

TVirtualWisCaptureFilter::TVirtualWisCaptureFilter()
    : TGraphFilter(VirtualCardBaseName() + " Video Capture", ParseWisBin())
{
    AddAnalogPin("Analog Video In", TPinDirection::Input, TPinCategory::AnalogVideoIn);
    const struct
    {
        const char *Name;
        const char *Queue;
        TPinCategory Category;
        TMediaKind Media;
    } outputs[] = {{"Capture", "qcapture", TPinCategory::Capture, TMediaKind::Stream},
                   {"Audio", "qaudio", TPinCategory::Capture, TMediaKind::Audio},
                   {"Preview", "qpreview", TPinCategory::Preview, TMediaKind::Stream}};
    for (auto &o : outputs) {
        GstElement *queue = Child(Bin(), o.Queue);
        if (!queue)
            continue;
        GstPad *pad = gst_element_get_static_pad(queue, "src");
        TPin *pin = AddPin(o.Name, TPinDirection::Output, o.Category, o.Media, pad);
        gst_object_unref(pad);
        GstPad *queueIn = gst_element_get_static_pad(queue, "sink");
        SetDropPoint(pin, queueIn);
        gst_object_unref(queueIn);
    }
    if (GstElement *encoder = Child(Bin(), "enc")) {
        auto *stamps = new TEncoderStamps;
        const auto type =
            GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM |
                            GST_PAD_PROBE_TYPE_EVENT_FLUSH);
        GstPad *in = gst_element_get_static_pad(encoder, "sink");
        gst_pad_add_probe(in, type, RememberStamp, stamps, nullptr);
        gst_object_unref(in);
        // The source-side probe owns the record; it goes with the pad.
        GstPad *out = gst_element_get_static_pad(encoder, "src");
        gst_pad_add_probe(out, type, RestoreStamp, stamps,
                          [](gpointer d) { delete static_cast<TEncoderStamps *>(d); });
        gst_object_unref(out);
    }
    Format = WisFormats[2];
    SetFormat(Format);
    if (GstElement *src = Child(Bin(), "src"))
        Picture = std::make_unique<TStreamingProperties>(src);
    if (GstElement *a = Child(Bin(), "asrc"))
        Sound = std::make_unique<TStreamingProperties>(a);
    Observer = TVirtualCard::Instance().Subscribe([this] { Follow(); });
    Follow();
}

TVirtualWisCaptureFilter::~TVirtualWisCaptureFilter()
{
    TVirtualCard::Instance().Unsubscribe(Observer);
}

void TVirtualWisCaptureFilter::Follow()
{
    TVirtualCard &card = TVirtualCard::Instance();
    const TVirtualStation *station = card.LockedStation();
    QString pattern = "snow", title;
    if (card.Input == InputTuner && station && card.Mode == TunerModeTV)
        pattern = station->Pattern, title = station->Name;
    else if (card.Input == InputComposite)
        pattern = "smpte", title = "Composite";
    else if (card.Input == InputSVideo)
        pattern = "colors", title = "S-Video";
    else if (card.Input != InputTuner)
        pattern = "ball", title = "Camera";
    if (card.Faults.NoLock)
        pattern = "snow", title.clear();
    if (Picture)
        Picture->Set("pattern", pattern);
    if (GstElement *t = Child(Bin(), "title"))
        g_object_set(t, "text", title.toUtf8().constData(), "silent", title.isEmpty(), nullptr);
    if (Sound) {
        Sound->Set("wave", station ? "sine" : "white-noise");
        Sound->Set("freq", double(station ? station->ToneHz : 440));
        Sound->Set("volume", station ? 0.3 : 0.05);
    }
}

int TVirtualWisCaptureFilter::GetRange(int property, int &min, int &max, int &step, int &def)
{
    return TVirtualCard::ProcAmpRange(property, min, max, step, def) ? 0 : ENOTTY;
}

int TVirtualWisCaptureFilter::Get(int property, int &value)
{
    auto &amp = TVirtualCard::Instance().ProcAmp;
    auto it = amp.find(property);
    if (it == amp.end())
        return ENOTTY;
    value = it->second;
    return 0;
}

int TVirtualWisCaptureFilter::Set(int property, int value)
{
    return TVirtualCard::Instance().SetProcAmp(property, value);
}

int TVirtualWisCaptureFilter::HorizontalLocked(bool &locked)
{
    locked = TVirtualCard::Instance().Locked();
    return 0;
}

int TVirtualWisCaptureFilter::AvailableStandards(int32_t &standards)
{
    standards = 0x7ffff & ~TVirtualCard::Instance().Faults.RefusedStandards;
    return 0;
}

int TVirtualWisCaptureFilter::SetStandard(int32_t standard)
{
    return TVirtualCard::Instance().SetStandard(standard);
}

int TVirtualWisCaptureFilter::GetStandard(int32_t &standard)
{
    standard = TVirtualCard::Instance().Standard;
    return 0;
}

int TVirtualWisCaptureFilter::GetNumberOfCapabilities(int &count)
{
    count = int(std::size(WisFormats));
    return 0;
}

int TVirtualWisCaptureFilter::GetStreamCaps(int index, TVideoFormat &format)
{
    if (index < 0 || index >= int(std::size(WisFormats)))
        return EINVAL;
    format = WisFormats[index];
    return 0;
}

int TVirtualWisCaptureFilter::GetFormat(TVideoFormat &format)
{
    format = Format;
    return 0;
}

int TVirtualWisCaptureFilter::SetFormat(const TVideoFormat &format)
{
    bool offered = false;
    for (const TVideoFormat &f : WisFormats)
        offered = offered || (f.Subtype == format.Subtype && f.Width == format.Width &&
                              f.Height == format.Height);
    if (!offered)
        return EINVAL;
    for (auto &pin : Pins())
        if (pin->Pad && pin->IsConnected())
            return EBUSY;
    Format = format;
    GstCaps *caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", "width",
                                        G_TYPE_INT, format.Width, "height", G_TYPE_INT,
                                        format.Height, "framerate", GST_TYPE_FRACTION,
                                        format.RateNumerator, format.RateDenominator, nullptr);
    if (GstElement *srccaps = Child(Bin(), "srccaps"))
        g_object_set(srccaps, "caps", caps, nullptr);
    gst_caps_unref(caps);
    return 0;
}
