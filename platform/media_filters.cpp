// The MPEG recorder and the time-shift source as filters of the graph layer.
#include "platform/media_filters.h"

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/growing_source_element.h"
#include "platform/log.h"
#include "platform/mpeg_recorder_element.h"
#include "platform/ps_splitter_filter.h"

namespace {

// libav's errors go to the GStreamer log category; its warnings (clipped
// coefficients and the like) are not for the user. A muxer complains of
// every packet of a picture too hard for its buffer model (snow): after the
// first twenty, one in a thousand is logged.
void ForwardAvLog(void *object, int level, const char *format, va_list args)
{
    static std::atomic<unsigned> count{0};
    if (level > AV_LOG_ERROR)
        return;
    const unsigned n = count++;
    if (n >= 20 && n % 1000 != 0)
        return;
    char line[1024];
    int prefix = 1;
    av_log_format_line2(object, level, format, args, line, sizeof line, &prefix);
    qCWarning(lcGst) << "libav:" << QString::fromUtf8(line).trimmed();
}

} // namespace

bool RegisterLyraMediaElements()
{
    static const bool registered = [] {
        av_log_set_callback(ForwardAvLog);
        const bool recorder = gst_element_register(nullptr, "lyrampegrecorder", GST_RANK_NONE,
                                                   LyraMpegRecorderGetType());
        const bool source = gst_element_register(nullptr, "lyragrowingsrc", GST_RANK_NONE,
                                                 LyraGrowingSourceGetType());
        if (!recorder || !source)
            qCWarning(lcGst) << "cannot register Lyra's media elements";
        return recorder && source;
    }();
    return registered;
}

std::vector<TRegisteredFilter> MediaFilterEntries()
{
    return {
        {"videdazir Mpeg1/2 Recorder Filter", TRegistryCategory::Filter,
         [] { return std::make_shared<TMpegRecorderFilter>(); }},
        {"Async Source Filter", TRegistryCategory::Filter,
         [] { return std::make_shared<TGrowingSourceFilter>(); }},
        {"HT MPEG Video Decoder", TRegistryCategory::Filter, CreateTimeShiftVideoDecoder},
        {"HT MPEG Audio Decoder", TRegistryCategory::Filter, CreateTimeShiftAudioDecoder},
        {"HT MPEG TimeShift", TRegistryCategory::Filter,
         [] { return std::make_shared<TProgramStreamSplitter>(); }},
    };
}

// ---- recorder ----

namespace {

GstElement *RecorderBin()
{
    RegisterLyraMediaElements();
    GstElement *bin = gst_bin_new(nullptr);
    GstElement *convert = gst_element_factory_make("videoconvert", "vconv");
    GstElement *recorder = gst_element_factory_make("lyrampegrecorder", "recorder");
    gst_bin_add_many(GST_BIN(bin), convert, recorder, nullptr);
    gst_element_link_pads(convert, "src", recorder, "video");
    return bin;
}

GstElement *Named(GstElement *bin, const char *name)
{
    GstElement *e = gst_bin_get_by_name(GST_BIN(bin), name);
    if (e)
        gst_object_unref(e); // the bin keeps it as long as the filter
    return e;
}

} // namespace

TMpegRecorderFilter::TMpegRecorderFilter()
    : TGraphFilter("videdazir Mpeg1/2 Recorder Filter", RecorderBin())
{
    RecorderElement = Named(Bin(), "recorder");
    GstPad *video = gst_element_get_static_pad(Named(Bin(), "vconv"), "sink");
    AddPin("Video", TPinDirection::Input, TPinCategory::None, TMediaKind::Video, video);
    gst_object_unref(video);
    AddTargetlessInput("Audio", TMediaKind::Audio);
    NeedsEndOfStream = true;
}

bool TMpegRecorderFilter::PrepareInput(TPin *in, TPin *from)
{
    if (in->Name == "Video")
        return from->Media != TMediaKind::Audio;
    if (from->Media != TMediaKind::Audio && from->Media != TMediaKind::Any)
        return false;
    AudioConvert = gst_element_factory_make("audioconvert", nullptr);
    AudioResample = gst_element_factory_make("audioresample", nullptr);
    AudioPad = gst_element_request_pad_simple(RecorderElement, "audio");
    if (!AudioConvert || !AudioResample || !AudioPad) {
        PinDisconnected(in);
        return false;
    }
    gst_bin_add_many(GST_BIN(Bin()), AudioConvert, AudioResample, nullptr);
    GstPad *resampled = gst_element_get_static_pad(AudioResample, "src");
    const bool linked = gst_element_link(AudioConvert, AudioResample) &&
                        gst_pad_link(resampled, AudioPad) == GST_PAD_LINK_OK;
    gst_object_unref(resampled);
    GstPad *sink = gst_element_get_static_pad(AudioConvert, "sink");
    const bool targeted = linked && gst_ghost_pad_set_target(GST_GHOST_PAD(in->Pad), sink);
    gst_object_unref(sink);
    if (!targeted) {
        PinDisconnected(in);
        return false;
    }
    gst_element_sync_state_with_parent(AudioResample);
    gst_element_sync_state_with_parent(AudioConvert);
    return true;
}

void TMpegRecorderFilter::PinDisconnected(TPin *pin)
{
    if (pin->Name != "Audio")
        return;
    gst_ghost_pad_set_target(GST_GHOST_PAD(pin->Pad), nullptr);
    for (GstElement **e : {&AudioConvert, &AudioResample}) {
        if (!*e)
            continue;
        gst_element_set_state(*e, GST_STATE_NULL);
        if (GST_OBJECT_PARENT(*e))
            gst_bin_remove(GST_BIN(Bin()), *e);
        else
            gst_object_unref(gst_object_ref_sink(*e));
        *e = nullptr;
    }
    if (AudioPad) {
        gst_element_release_request_pad(RecorderElement, AudioPad);
        gst_object_unref(AudioPad);
        AudioPad = nullptr;
    }
}

namespace {

void Change(GstElement *recorder, const std::function<void(TMpegSettings &)> &change)
{
    LyraMpegRecorderChange(recorder, change);
}

} // namespace

int TMpegRecorderFilter::SetMpegType(int type)
{
    if (type != 1 && type != 2)
        return EINVAL;
    Change(RecorderElement, [type](TMpegSettings &s) { s.MpegType = type; });
    return 0;
}

int TMpegRecorderFilter::SetBitRate(int bitsPerSecond)
{
    if (bitsPerSecond < 64000 || bitsPerSecond > 40000000)
        return EINVAL;
    Change(RecorderElement, [bitsPerSecond](TMpegSettings &s) { s.BitRate = bitsPerSecond; });
    return 0;
}

int TMpegRecorderFilter::SetQuality(int quality)
{
    if (quality < 0 || quality > 6)
        return EINVAL;
    g_object_set(RecorderElement, "quality", quality, nullptr);
    return 0;
}

int TMpegRecorderFilter::SetVideoSize(int width, int height)
{
    if (width < 16 || height < 16 || width > 1920 || height > 1152 || width % 2 || height % 2)
        return EINVAL;
    Change(RecorderElement, [=](TMpegSettings &s) {
        s.Width = width;
        s.Height = height;
    });
    return 0;
}

int TMpegRecorderFilter::SetAudioSampleRate(int rate)
{
    if (rate != 32000 && rate != 44100 && rate != 48000)
        return EINVAL;
    Change(RecorderElement, [rate](TMpegSettings &s) { s.SampleRate = rate; });
    return 0;
}

int TMpegRecorderFilter::SetFrameRateIndex(int index)
{
    if (MpegFrameRate(index).num == 0)
        return EINVAL;
    Change(RecorderElement, [index](TMpegSettings &s) { s.FrameRateIndex = index; });
    return 0;
}

int TMpegRecorderFilter::SetRecordingKind(bool timeShift, bool openGops)
{
    Change(RecorderElement, [=](TMpegSettings &s) {
        s.TimeShift = timeShift;
        s.OpenGops = openGops;
    });
    return 0;
}

int TMpegRecorderFilter::SetMotionSearch(int mode)
{
    if (mode != 0 && mode != 1)
        return EINVAL;
    Change(RecorderElement, [mode](TMpegSettings &s) { s.Tuning.MotionSearch = mode; });
    return 0;
}

int TMpegRecorderFilter::SetKeyInterval(int tenths)
{
    if (tenths < 1 || tenths > 100)
        return EINVAL;
    Change(RecorderElement, [tenths](TMpegSettings &s) { s.Tuning.KeyIntervalTenths = tenths; });
    return 0;
}

int TMpegRecorderFilter::SetBPictureCount(int count)
{
    if (count < 0 || count > 4)
        return EINVAL;
    Change(RecorderElement, [count](TMpegSettings &s) { s.Tuning.BPictureCount = count; });
    return 0;
}

int TMpegRecorderFilter::SetSwitches(bool compareSatd, bool bPictures, bool rateDistortion)
{
    Change(RecorderElement, [=](TMpegSettings &s) {
        s.Tuning.CompareSatd = compareSatd;
        s.Tuning.BPictures = bPictures;
        s.Tuning.RateDistortion = rateDistortion;
    });
    return 0;
}

int TMpegRecorderFilter::SetSearchRanges(int px, int py, int bx, int by)
{
    for (int r : {px, py, bx, by})
        if (r < 1 || r > 512)
            return EINVAL;
    Change(RecorderElement, [=](TMpegSettings &s) {
        s.Tuning.Ranges[0] = px;
        s.Tuning.Ranges[1] = py;
        s.Tuning.Ranges[2] = bx;
        s.Tuning.Ranges[3] = by;
    });
    return 0;
}

int TMpegRecorderFilter::SetFileName(const QString &fileName)
{
    if (fileName.isEmpty())
        return EINVAL;
    g_object_set(RecorderElement, "location", fileName.toUtf8().constData(), nullptr);
    return 0;
}

int TMpegRecorderFilter::GetCurFile(QString &fileName)
{
    gchar *location = nullptr;
    g_object_get(RecorderElement, "location", &location, nullptr);
    fileName = QString::fromUtf8(location ? location : "");
    g_free(location);
    return 0;
}

// ---- time-shift source ----

namespace {

GstElement *SourceBin()
{
    RegisterLyraMediaElements();
    GstElement *bin = gst_bin_new(nullptr);
    gst_bin_add(GST_BIN(bin), gst_element_factory_make("lyragrowingsrc", "src"));
    return bin;
}

} // namespace

TGrowingSourceFilter::TGrowingSourceFilter() : TGraphFilter("Async Source Filter", SourceBin())
{
    SourceElement = Named(Bin(), "src");
    GstPad *src = gst_element_get_static_pad(SourceElement, "src");
    AddPin("Output", TPinDirection::Output, TPinCategory::None, TMediaKind::Stream, src);
    gst_object_unref(src);
}

int TGrowingSourceFilter::Load(const QString &fileName)
{
    if (fileName.isEmpty())
        return EINVAL;
    g_object_set(SourceElement, "location", fileName.toUtf8().constData(), "growing", TRUE,
                 nullptr);
    return 0;
}

int TGrowingSourceFilter::GetCurFile(QString &fileName)
{
    gchar *location = nullptr;
    g_object_get(SourceElement, "location", &location, nullptr);
    fileName = QString::fromUtf8(location ? location : "");
    g_free(location);
    return 0;
}

int TGrowingSourceFilter::SetSourceState(int what, int value)
{
    if (what != 0)
        return EINVAL;
    g_object_set(SourceElement, "growing", value != 0, nullptr);
    return 0;
}

int TGrowingSourceFilter::GetSourceValue(int what, int32_t &value)
{
    if (what != 1 && what != 2)
        return EINVAL;
    gint second = -1;
    g_object_get(SourceElement, what == 1 ? "earliest-second" : "latest-second", &second, nullptr);
    value = second;
    return second < 0 ? ENODATA : 0;
}
