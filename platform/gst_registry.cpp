// The registry of named filters and the default renderers.
#include <mutex>

#include "platform/filter_registry.h"
#include "platform/log.h"
#include "platform/media_filters.h"
#include "platform/text_util.h"

namespace {

class TElementFilter : public TGraphFilter
{
public:
    using TGraphFilter::TGraphFilter;
    TPin *Ghost(const TPinSpec &spec, TPinDirection direction)
    {
        GstElement *element =
            gst_bin_get_by_name(GST_BIN(Bin()), spec.Element.toUtf8().constData());
        if (!element)
            return nullptr;
        GstPad *pad = gst_element_get_static_pad(element, spec.Pad.toUtf8().constData());
        gst_object_unref(element);
        if (!pad)
            return nullptr;
        TPin *pin = AddPin(spec.Name, direction, spec.Category, spec.Media, pad);
        gst_object_unref(pad);
        return pin;
    }
};

// Tees: one input, outputs through their own queue so a slow branch cannot
// hold the others. "Smart Tee" has the fixed Capture and Preview outputs; the
// infinite pin tee always keeps one free output.
class TTeeFilter : public TGraphFilter
{
public:
    TTeeFilter(const QString &name, bool smart) : TGraphFilter(name, gst_bin_new(nullptr)), Smart(smart)
    {
        Tee = gst_element_factory_make("tee", "tee");
        g_object_set(Tee, "allow-not-linked", TRUE, nullptr);
        gst_bin_add(GST_BIN(Bin()), Tee);
        GstPad *sink = gst_element_get_static_pad(Tee, "sink");
        AddPin("Input", TPinDirection::Input, TPinCategory::None, TMediaKind::Any, sink);
        gst_object_unref(sink);
        if (Smart) {
            AddBranch("Capture", TPinCategory::Capture);
            AddBranch("Preview", TPinCategory::Preview);
        } else {
            AddBranch("Output1", TPinCategory::None);
        }
    }

    bool PrepareInput(TPin *, TPin *from) override
    {
        Media = from->Media;
        for (auto &pin : Pins())
            if (pin->Direction == TPinDirection::Output)
                pin->Media = Media;
        return true;
    }

    void PinsChanged() override
    {
        if (Smart)
            return;
        for (TPin *pin : PinList(TPinDirection::Output))
            if (!pin->IsConnected())
                return;
        AddBranch(QString("Output%1").arg(PinList(TPinDirection::Output).size() + 1),
                  TPinCategory::None);
    }

private:
    void AddBranch(const QString &name, TPinCategory category)
    {
        GstElement *queue = gst_element_factory_make("queue", nullptr);
        // A live branch must not stall the source when its consumer lags.
        g_object_set(queue, "max-size-buffers", 8u, "max-size-bytes", 0u, "max-size-time",
                     guint64(0), "leaky", Smart && category == TPinCategory::Preview ? 2 : 0,
                     nullptr);
        gst_bin_add(GST_BIN(Bin()), queue);
        GstPad *teePad = gst_element_request_pad_simple(Tee, "src_%u");
        GstPad *queueSink = gst_element_get_static_pad(queue, "sink");
        gst_pad_link(teePad, queueSink);
        gst_object_unref(teePad);
        gst_element_sync_state_with_parent(queue);
        GstPad *src = gst_element_get_static_pad(queue, "src");
        TPin *pin = AddPin(name, TPinDirection::Output, category, Media, src);
        gst_object_unref(src);
        SetDropPoint(pin, queueSink);
        gst_object_unref(queueSink);
    }

    GstElement *Tee = nullptr;
    bool Smart;
    TMediaKind Media = TMediaKind::Any;
};

// Multiplexers with request pads: the free input has no element pad until a
// stream of known media is connected to it.
class TMuxFilter : public TGraphFilter
{
public:
    TMuxFilter(const QString &name, const char *factory) : TGraphFilter(name, gst_bin_new(nullptr))
    {
        Mux = gst_element_factory_make(factory, "mux");
        gst_bin_add(GST_BIN(Bin()), Mux);
        GstPad *src = gst_element_get_static_pad(Mux, "src");
        AddPin("AVI Out", TPinDirection::Output, TPinCategory::None, TMediaKind::Stream, src);
        gst_object_unref(src);
        AddTargetlessInput("Input 01", TMediaKind::Any);
        NeedsEndOfStream = true;
    }

    bool PrepareInput(TPin *in, TPin *from) override
    {
        const char *templ = from->Media == TMediaKind::Audio ? "audio_%u" : "video_%u";
        GstPad *pad = gst_element_request_pad_simple(Mux, templ);
        if (!pad)
            return false;
        const bool ok = gst_ghost_pad_set_target(GST_GHOST_PAD(in->Pad), pad);
        gst_object_unref(pad);
        in->Media = from->Media;
        return ok;
    }

    void PinDisconnected(TPin *in) override
    {
        if (in->Direction != TPinDirection::Input)
            return;
        GstPad *target = gst_ghost_pad_get_target(GST_GHOST_PAD(in->Pad));
        gst_ghost_pad_set_target(GST_GHOST_PAD(in->Pad), nullptr);
        if (target) {
            gst_element_release_request_pad(Mux, target);
            gst_object_unref(target);
        }
    }

    void PinsChanged() override
    {
        for (TPin *pin : PinList(TPinDirection::Input))
            if (!pin->IsConnected())
                return;
        AddTargetlessInput(QString("Input %1").arg(PinList(TPinDirection::Input).size() + 1, 2, 10,
                                                   QChar('0')),
                           TMediaKind::Any);
    }

private:
    GstElement *Mux = nullptr;
};

TFilterPtr Chain(const QString &name, const QString &description, TMediaKind inMedia,
                 TMediaKind outMedia)
{
    return CreateChainFilter(name, description, {{"Input", "first", "sink", inMedia}},
                             {{"Output", "last", "src", outMedia}});
}

QString VideoOverride, AudioOverride;
std::mutex OverrideMutex;

QString FirstWorkingSink(const QStringList &candidates)
{
    for (const QString &name : candidates) {
        GstElement *sink = gst_element_factory_make(name.toUtf8().constData(), nullptr);
        if (!sink)
            continue;
        gst_object_ref_sink(sink);
        const bool works = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
        if (works)
            return name;
    }
    return {};
}

TFilterPtr Renderer(const QString &name, const QString &convert, const QString &sink)
{
    return CreateChainFilter(name, convert + " name=first ! " + sink + " name=last", 
                             {{"Input", "first", "sink", TMediaKind::Any}}, {});
}

} // namespace

TFilterPtr CreateChainFilter(const QString &name, const QString &description,
                             const std::vector<TPinSpec> &inputs,
                             const std::vector<TPinSpec> &outputs)
{
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description_full(
        description.toUtf8().constData(), FALSE, nullptr, GST_PARSE_FLAG_FATAL_ERRORS, &error);
    if (!bin) {
        qCWarning(lcGst) << "cannot build" << name << ":" << (error ? error->message : "");
        if (error)
            g_error_free(error);
        return nullptr;
    }
    auto filter = std::make_shared<TElementFilter>(name, bin);
    for (const TPinSpec &spec : inputs)
        if (!filter->Ghost(spec, TPinDirection::Input))
            return nullptr;
    for (const TPinSpec &spec : outputs)
        if (!filter->Ghost(spec, TPinDirection::Output))
            return nullptr;
    return filter;
}

const std::vector<TRegisteredFilter> &RegisteredFilters()
{
    using K = TMediaKind;
    static const std::vector<TRegisteredFilter> filters = {
        {"Smart Tee", TRegistryCategory::Filter,
         [] { return std::make_shared<TTeeFilter>("Smart Tee", true); }},
        {"Infinite Pin Tee Filter", TRegistryCategory::Filter,
         [] { return std::make_shared<TTeeFilter>("Infinite Pin Tee Filter", false); }},
        {"videdazir Deinterlacer", TRegistryCategory::Filter,
         [] {
             return Chain("videdazir Deinterlacer",
                          "videoconvert name=first ! deinterlace ! videoconvert name=last",
                          K::Video, K::Video);
         }},
        // The picture goes straight to the renderer; the mixer keeps the
        // place the preview chain gives it.
        {"Overlay Mixer", TRegistryCategory::Filter,
         [] { return Chain("Overlay Mixer", "identity name=first ! identity name=last", K::Video, K::Video); }},
        {"AVI Mux", TRegistryCategory::Filter,
         [] { return std::make_shared<TMuxFilter>("AVI Mux", "avimux"); }},
        {"WAV Dest", TRegistryCategory::Filter,
         [] {
             auto f = Chain("WAV Dest", "audioconvert name=first ! wavenc name=last", K::Audio,
                            K::Stream);
             if (f)
                 f->NeedsEndOfStream = true;
             return f;
         }},
        {"MPEG Layer-3", TRegistryCategory::AudioCompressor,
         [] {
             return Chain("MPEG Layer-3",
                          "audioconvert name=first ! audioresample ! lamemp3enc name=last",
                          K::Audio, K::Audio);
         }},
        {"DivX Pro MPEG-4 Codec", TRegistryCategory::VideoCompressor,
         [] {
             return Chain("DivX Pro MPEG-4 Codec",
                          "videoconvert name=first ! avenc_mpeg4 name=last", K::Video, K::Video);
         }},
        {"Microsoft MPEG-4 Video Codec V3", TRegistryCategory::VideoCompressor,
         [] {
             return Chain("Microsoft MPEG-4 Video Codec V3",
                          "videoconvert name=first ! avenc_msmpeg4 name=last", K::Video, K::Video);
         }},
        {"Microsoft MPEG-4 Video Codec V2", TRegistryCategory::VideoCompressor,
         [] {
             return Chain("Microsoft MPEG-4 Video Codec V2",
                          "videoconvert name=first ! avenc_msmpeg4v2 name=last", K::Video,
                          K::Video);
         }},
        {"MPEG Video Decoder", TRegistryCategory::Filter,
         [] {
             return Chain("MPEG Video Decoder",
                          "mpegvideoparse name=first ! avdec_mpeg2video ! videoconvert name=last",
                          K::Stream, K::Video);
         }},
        {"DivX Decoder Filter", TRegistryCategory::Filter,
         [] {
             return Chain("DivX Decoder Filter",
                          "mpeg4videoparse name=first ! avdec_mpeg4 ! videoconvert name=last",
                          K::Video, K::Video);
         }},
        {"WMVideo Decoder DMO", TRegistryCategory::Filter,
         [] {
             return Chain("WMVideo Decoder DMO", "avdec_wmv3 name=first ! videoconvert name=last",
                          K::Video, K::Video);
         }},
        {"File Writer", TRegistryCategory::Filter, [] { return CreateFileWriter({}); }},
    };
    // Lyra's own elements follow: the MPEG recorder and the time-shift source.
    static const std::vector<TRegisteredFilter> all = [] {
        std::vector<TRegisteredFilter> list = filters;
        for (TRegisteredFilter &entry : MediaFilterEntries())
            list.push_back(std::move(entry));
        return list;
    }();
    return all;
}

TFilterPtr CreateRegisteredFilter(const QString &fragment, QString *foundName)
{
    for (const TRegisteredFilter &entry : RegisteredFilters()) {
        if (!ContainsText(entry.FriendlyName, fragment))
            continue;
        if (foundName)
            *foundName = entry.FriendlyName;
        return entry.Create();
    }
    return nullptr;
}

TFilterPtr CreateFileWriter(const QString &fileName)
{
    auto filter = CreateChainFilter("File Writer", "filesink name=first buffer-mode=unbuffered",
                                    {{"Input", "first", "sink", TMediaKind::Stream}}, {});
    if (!filter)
        return nullptr;
    GstElement *sink = gst_bin_get_by_name(GST_BIN(filter->Bin()), "first");
    g_object_set(sink, "location", fileName.toUtf8().constData(), "async", FALSE, nullptr);
    gst_object_unref(sink);
    filter->NeedsEndOfStream = true;
    return filter;
}

void SetRendererOverride(const QString &videoSink, const QString &audioSink)
{
    std::lock_guard lock(OverrideMutex);
    VideoOverride = videoSink;
    AudioOverride = audioSink;
}

QString ChosenVideoSink()
{
    {
        std::lock_guard lock(OverrideMutex);
        if (!VideoOverride.isEmpty())
            return VideoOverride;
    }
    static const QString chosen = [] {
        QString name;
        if (qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
            name = FirstWorkingSink({"xvimagesink", "ximagesink", "glimagesink"});
        if (name.isEmpty())
            name = "fakesink sync=true";
        qCInfo(lcGst) << "video renderer:" << name;
        return name;
    }();
    return chosen;
}

QString ChosenAudioSink()
{
    {
        std::lock_guard lock(OverrideMutex);
        if (!AudioOverride.isEmpty())
            return AudioOverride;
    }
    static const QString chosen = [] {
        QString name = FirstWorkingSink({"pulsesink", "alsasink"});
        if (name.isEmpty())
            name = "fakesink sync=true";
        qCInfo(lcGst) << "audio renderer:" << name;
        return name;
    }();
    return chosen;
}

TFilterPtr CreateVideoRenderer()
{
    auto f = Renderer("Video Renderer", "videoconvert", ChosenVideoSink());
    if (f)
        f->PinByName("Input")->Media = TMediaKind::Video;
    return f;
}

TFilterPtr CreateAudioRenderer()
{
    auto f = Renderer("Default DirectSound Device", "audioconvert", "audioresample ! " + ChosenAudioSink());
    if (f)
        f->PinByName("Input")->Media = TMediaKind::Audio;
    return f;
}
