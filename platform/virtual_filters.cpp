// The virtual card's filters: real GStreamer sources following the card's
// state (platform/virtual_card.h) while they run.
#include "platform/virtual_filters.h"

#include <QDateTime>
#include <cerrno>
#include <mutex>
#include <string>

#include "platform/log.h"
#include "platform/station_picture.h"
#include "platform/virtual_card.h"
#include "platform/virtual_wis.h"

namespace {

// The 525-line, 60 Hz standards: NTSC M, NTSC M Japan, NTSC 4.43, PAL M,
// PAL 60.
constexpr int32_t VirtualStd525Lines = Std_NTSC_M | Std_NTSC_M_J | 0x4 | Std_PAL_M | 0x800;

GstElement *Child(GstElement *bin, const char *name)
{
    GstElement *e = gst_bin_get_by_name(GST_BIN(bin), name);
    if (e)
        gst_object_unref(e); // the bin keeps it alive as long as the filter
    return e;
}

GstPad *StaticPad(GstElement *bin, const char *element, const char *pad)
{
    return gst_element_get_static_pad(Child(bin, element), pad);
}

// Builds a bin from a description; the filters own it.
GstElement *ParseBin(const char *description)
{
    GError *error = nullptr;
    GstElement *bin = gst_parse_bin_from_description_full(description, FALSE, nullptr,
                                                          GST_PARSE_FLAG_FATAL_ERRORS, &error);
    if (!bin) {
        qCWarning(lcGst) << "virtual card:" << (error ? error->message : "cannot build");
        if (error)
            g_error_free(error);
        return gst_bin_new(nullptr);
    }
    return bin;
}

GstCaps *VideoCaps(const TVideoFormat &f, bool internal)
{
    QString format = f.Subtype == "UYVY"     ? "UYVY"
                     : f.Subtype == "RGB555" ? "RGB15"
                     : f.Subtype == "RGB32"  ? "BGRx"
                                             : "YUY2";
    // The overlays and the balance work on YUY2, UYVY and BGRx; RGB15 is
    // converted after them.
    if (internal && format == "RGB15")
        format = "BGRx";
    return gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, format.toUtf8().constData(),
                               "width", G_TYPE_INT, f.Width, "height", G_TYPE_INT, f.Height,
                               "framerate", GST_TYPE_FRACTION, f.RateNumerator, f.RateDenominator,
                               nullptr);
}

// The card's sound as its audio capture and its video capture filter's
// second capture pin both deliver it; `name` names the source, `queue` the
// queue the pin is taken from.
#define LYRA_SOUND_BRANCH(name, queue)                                                             \
    "audiotestsrc name=" name " is-live=true samplesperbuffer=1920"                                \
    " ! audio/x-raw,format=S16LE,rate=48000,channels=2 ! queue name=" queue                        \
    " max-size-buffers=16 max-size-bytes=0 max-size-time=0"

// What the card hears: the locked station's tone on the tuner, noise
// between stations, a 1 kHz tone on the line input.
void FollowStationSound(TStreamingProperties &sound)
{
    TVirtualCard &card = TVirtualCard::Instance();
    const TVirtualStation *station = card.LockedStation();
    if (card.Input != InputTuner) {
        sound.Set("wave", "sine");
        sound.Set("freq", 1000.0);
        sound.Set("volume", 0.3);
    } else if (station) {
        sound.Set("wave", "sine");
        sound.Set("freq", double(station->ToneHz));
        sound.Set("volume", 0.3);
    } else {
        sound.Set("wave", "white-noise");
        sound.Set("volume", 0.05);
    }
}

// Stations carry the sync mark (platform/virtual_sync_mark.h); snow,
// radio and the external inputs do not.
bool StationMarked()
{
    const TVirtualCard &card = TVirtualCard::Instance();
    return card.Input == InputTuner && card.Mode == TunerModeTV && card.LockedStation() &&
           !card.Faults.NoLock;
}

const char *CaptureDescription =
    " ! videoconvert name=conv ! capsfilter name=caps ! tee name=t allow-not-linked=true"
    " t. ! queue name=qcapture max-size-buffers=8 max-size-bytes=0 max-size-time=0"
    " t. ! queue name=qpreview max-size-buffers=8 max-size-bytes=0 max-size-time=0 leaky=downstream"
    " videotestsrc name=vbisrc is-live=true pattern=black"
    " ! video/x-raw,format=GRAY8,width=1440,height=32,framerate=25/1 ! queue name=qvbi";

// The picture only: like a V4L2 capture node, the card's sound comes from
// an audio capture device of its own (TVirtualAudioCaptureFilter).
GstElement *ParseCaptureBin(bool interlaced)
{
    // Interlaced: the picture runs at the field rate and every two pictures
    // are woven into one frame, top field first.
    const std::string description =
        std::string(StationPictureChain) +
        (interlaced ? " ! interlace name=fields field-pattern=1:1 top-field-first=true" : "") +
        CaptureDescription;
    return ParseBin(description.c_str());
}

GstPadProbeReturn DropWhenStalled(GstPad *, GstPadProbeInfo *, gpointer)
{
    return TVirtualCard::Instance().Stall.load(std::memory_order_relaxed) ? GST_PAD_PROBE_DROP
                                                                          : GST_PAD_PROBE_OK;
}

} // namespace

// ---- capture ----

TVirtualCaptureFilter::TVirtualCaptureFilter()
    : TGraphFilter(VirtualCardBaseName() + " Video Capture",
                   ParseCaptureBin(TVirtualCard::Instance().Interlaced)),
      Interlaced(TVirtualCard::Instance().Interlaced)
{
    Format = {"YUY2", 720, 576, 25};
    ApplyFormat();
    AddAnalogPin("Analog Video In", TPinDirection::Input, TPinCategory::AnalogVideoIn);
    const struct
    {
        const char *Name;
        const char *Queue;
        TPinCategory Category;
        TMediaKind Media;
    } outputs[] = {{"Capture", "qcapture", TPinCategory::Capture, TMediaKind::Video},
                   {"Preview", "qpreview", TPinCategory::Preview, TMediaKind::Video},
                   {"VBI", "qvbi", TPinCategory::VBI, TMediaKind::None}};
    for (auto &o : outputs) {
        if (!Child(Bin(), o.Queue))
            continue;
        GstPad *pad = StaticPad(Bin(), o.Queue, "src");
        TPin *pin = AddPin(o.Name, TPinDirection::Output, o.Category, o.Media, pad);
        gst_object_unref(pad);
        // The queue keeps its own reference to its pad for the bin's life.
        GstPad *queueIn = StaticPad(Bin(), o.Queue, "sink");
        SetDropPoint(pin, queueIn);
        gst_object_unref(queueIn);
    }
    // Stalls are simulated after the source so teardown never waits on it.
    GstPad *sourcePad = StaticPad(Bin(), "srccaps", "src");
    gst_pad_add_probe(sourcePad, GST_PAD_PROBE_TYPE_BUFFER, DropWhenStalled, nullptr, nullptr);
    gst_object_unref(sourcePad);
    Picture = std::make_unique<TStreamingProperties>(Child(Bin(), "src"));
    GstPad *balanced = StaticPad(Bin(), "balance", "src");
    AddSyncFlash(balanced, Marks);
    gst_object_unref(balanced);
    Observer = TVirtualCard::Instance().Subscribe([this] { Follow(); });
    Follow();
    RunVbiSource();
}

void TVirtualCaptureFilter::RunVbiSource()
{
    TPin *vbi = PinByName("VBI");
    GstElement *src = Child(Bin(), "vbisrc");
    const bool run = vbi && vbi->IsConnected();
    gst_element_set_locked_state(src, !run);
    if (run)
        gst_element_sync_state_with_parent(src);
    else
        gst_element_set_state(src, GST_STATE_NULL);
}

TVirtualCaptureFilter::~TVirtualCaptureFilter()
{
    TVirtualCard::Instance().Unsubscribe(Observer);
}

void TVirtualCaptureFilter::Follow()
{
    TVirtualCard &card = TVirtualCard::Instance();
    const TVirtualStation *station = card.LockedStation();
    TStationPicture picture;
    switch (card.Input) {
    case InputTuner:
        if (card.Mode == TunerModeFM) {
            picture.Pattern = "black";
            picture.Title = station ? station->Name : QString();
        } else if (station) {
            picture.Pattern = station->Pattern;
            picture.Title = station->Name;
        }
        break;
    case InputComposite: picture.Pattern = "smpte"; picture.Title = "Composite"; break;
    case InputSVideo: picture.Pattern = "colors"; picture.Title = "S-Video"; break;
    default: picture.Pattern = "ball"; picture.Title = "Camera"; break;
    }
    if (card.Faults.NoLock)
        picture.Pattern = "snow", picture.Title.clear();
    picture.Clock = picture.Pattern != "snow";
    int min, max, step, def;
    auto level = [&](int property, double low, double high) {
        TVirtualCard::ProcAmpRange(property, min, max, step, def);
        return BalanceLevel(card.ProcAmp[property], min, def, max, low, high);
    };
    picture.Brightness = level(ProcAmp_Brightness, -1, 1);
    picture.Contrast = level(ProcAmp_Contrast, 0, 2);
    picture.Hue = level(ProcAmp_Hue, -1, 1);
    picture.Saturation = level(ProcAmp_Saturation, 0, 2);
    ShowStationPicture(Bin(), picture, Picture.get());
    *Marks = StationMarked();
    // 525-line standards run at 29.97 frames/s, the others at 25; the caps
    // change only while the graph is stopped (a standard change stops it).
    const bool lines525 = card.Standard & VirtualStd525Lines;
    if (lines525 != (Format.RateNumerator == 30000)) {
        Format.RateNumerator = lines525 ? 30000 : 25;
        Format.RateDenominator = lines525 ? 1001 : 1;
        ApplyFormat();
    }
}

void TVirtualCaptureFilter::ApplyFormat()
{
    TVideoFormat source = Format;
    if (Interlaced)
        source.RateNumerator *= 2; // two pictures, one for each field
    GstCaps *internal = VideoCaps(source, true);
    GstCaps *out = VideoCaps(Format, false);
    g_object_set(Child(Bin(), "srccaps"), "caps", internal, nullptr);
    g_object_set(Child(Bin(), "caps"), "caps", out, nullptr);
    gst_caps_unref(internal);
    gst_caps_unref(out);
}

static const TVideoFormat Formats[] = {{"YUY2", 720, 576, 25},  {"YUY2", 720, 480, 25},
                                       {"YUY2", 640, 480, 25},  {"YUY2", 352, 288, 25},
                                       {"YUY2", 320, 240, 25},  {"UYVY", 720, 576, 25},
                                       {"UYVY", 640, 480, 25},  {"RGB555", 640, 480, 25},
                                       {"RGB32", 640, 480, 25}, {"RGB32", 720, 576, 25}};

int TVirtualCaptureFilter::GetNumberOfCapabilities(int &count)
{
    count = int(std::size(Formats));
    return 0;
}

int TVirtualCaptureFilter::GetStreamCaps(int index, TVideoFormat &format)
{
    if (index < 0 || index >= int(std::size(Formats)))
        return EINVAL;
    format = Formats[index];
    format.RateNumerator = Format.RateNumerator;
    format.RateDenominator = Format.RateDenominator;
    return 0;
}

int TVirtualCaptureFilter::GetFormat(TVideoFormat &format)
{
    format = Format;
    return 0;
}

int TVirtualCaptureFilter::SetFormat(const TVideoFormat &format)
{
    for (auto &pin : Pins())
        if (pin->Pad && pin->IsConnected())
            return EBUSY;
    if (format.Width < 16 || format.Height < 16 || format.Width > 1920 || format.Height > 1080)
        return EINVAL;
    if (!QStringList{"YUY2", "UYVY", "RGB555", "RGB32"}.contains(format.Subtype))
        return EINVAL;
    // The rate is the standard's, whatever was asked.
    const int num = Format.RateNumerator, den = Format.RateDenominator;
    Format = format;
    Format.RateNumerator = num;
    Format.RateDenominator = den;
    ApplyFormat();
    return 0;
}

int TVirtualCaptureFilter::GetRange(int property, int &min, int &max, int &step, int &def)
{
    return TVirtualCard::ProcAmpRange(property, min, max, step, def) ? 0 : ENOTTY;
}

int TVirtualCaptureFilter::Get(int property, int &value)
{
    auto it = TVirtualCard::Instance().ProcAmp.find(property);
    if (it == TVirtualCard::Instance().ProcAmp.end())
        return ENOTTY;
    value = it->second;
    return 0;
}

int TVirtualCaptureFilter::Set(int property, int value)
{
    return TVirtualCard::Instance().SetProcAmp(property, value);
}

int TVirtualCaptureFilter::HorizontalLocked(bool &locked)
{
    locked = TVirtualCard::Instance().Locked();
    return 0;
}

int TVirtualCaptureFilter::AvailableStandards(int32_t &standards)
{
    standards = 0x7ffff & ~TVirtualCard::Instance().Faults.RefusedStandards;
    return 0;
}

int TVirtualCaptureFilter::SetStandard(int32_t standard)
{
    return TVirtualCard::Instance().SetStandard(standard);
}

int TVirtualCaptureFilter::GetStandard(int32_t &standard)
{
    standard = TVirtualCard::Instance().Standard;
    return 0;
}

// ---- audio capture ----

TVirtualAudioCaptureFilter::TVirtualAudioCaptureFilter()
    : TGraphFilter(VirtualCardBaseName() + " Audio Capture",
                   ParseBin(LYRA_SOUND_BRANCH("src", "q")))
{
    GstPad *pad = StaticPad(Bin(), "q", "src");
    AddPin("Capture", TPinDirection::Output, TPinCategory::Capture, TMediaKind::Audio, pad);
    gst_object_unref(pad);
    pad = StaticPad(Bin(), "src", "src");
    gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, DropWhenStalled, nullptr, nullptr);
    AddSyncClick(pad, Marks);
    gst_object_unref(pad);
    Sound = std::make_unique<TStreamingProperties>(Child(Bin(), "src"));
    Observer = TVirtualCard::Instance().Subscribe([this] { Follow(); });
    Follow();
}

TVirtualAudioCaptureFilter::~TVirtualAudioCaptureFilter()
{
    TVirtualCard::Instance().Unsubscribe(Observer);
}

void TVirtualAudioCaptureFilter::Follow()
{
    FollowStationSound(*Sound);
    *Marks = StationMarked();
}

// ---- crossbar, tuner, TV audio: control only ----

// Pin order: inputs 0 video tuner, 1 composite, 2 S-Video, 3 camera (AUX),
// 4 audio tuner, 5 audio line; outputs 0 video decoder, 1 audio decoder.
static const struct
{
    const char *Name;
    int Type;
    int Related;
} CrossbarInputs[] = {{"0: Video Tuner In", PhysConn_Video_Tuner, 4},
                      {"1: Video Composite In", PhysConn_Video_Composite, 5},
                      {"2: Video SVideo In", PhysConn_Video_SVideo, 5},
                      {"3: Video AUX In", PhysConn_Video_AUX, 5},
                      {"4: Audio Tuner In", PhysConn_Audio_Tuner, 0},
                      {"5: Audio Line In", PhysConn_Audio_Line, 1}};

TVirtualCrossbarFilter::TVirtualCrossbarFilter()
    : TGraphFilter(VirtualCardBaseName() + " Crossbar", gst_bin_new(nullptr))
{
    for (auto &in : CrossbarInputs)
        AddAnalogPin(in.Name, TPinDirection::Input,
                     in.Type < 0x1000 ? TPinCategory::AnalogVideoIn : TPinCategory::Analog);
    AddAnalogPin("0: Video Decoder Out", TPinDirection::Output, TPinCategory::Analog);
    AddAnalogPin("1: Audio Decoder Out", TPinDirection::Output, TPinCategory::Analog);
}

int TVirtualCrossbarFilter::GetPinCounts(int &outputs, int &inputs)
{
    outputs = 2;
    inputs = int(std::size(CrossbarInputs));
    return 0;
}

int TVirtualCrossbarFilter::GetCrossbarPinInfo(bool isInput, int index, int &related, int &type)
{
    if (isInput) {
        if (index < 0 || index >= int(std::size(CrossbarInputs)))
            return EINVAL;
        related = CrossbarInputs[index].Related;
        type = CrossbarInputs[index].Type;
        return 0;
    }
    if (index < 0 || index > 1)
        return EINVAL;
    related = 1 - index;
    type = index == 0 ? PhysConn_Video_VideoDecoder : PhysConn_Audio_AudioDecoder;
    return 0;
}

int TVirtualCrossbarFilter::CanRoute(int output, int input)
{
    if (output < 0 || output > 1 || input < 0 || input >= int(std::size(CrossbarInputs)))
        return EINVAL;
    const bool videoIn = CrossbarInputs[input].Type < 0x1000;
    return (output == 0) == videoIn ? 0 : EINVAL;
}

int TVirtualCrossbarFilter::Route(int output, int input)
{
    if (int r = CanRoute(output, input))
        return r;
    // The card's sound follows its video input, as on the real cards.
    if (output == 1) {
        int related = -1;
        IsRoutedTo(1, related);
        return input == related ? 0 : EINVAL;
    }
    return TVirtualCard::Instance().SetInput(input);
}

int TVirtualCrossbarFilter::IsRoutedTo(int output, int &input)
{
    if (output < 0 || output > 1)
        return EINVAL;
    const int video = TVirtualCard::Instance().Input;
    if (video < 0 || video >= int(std::size(CrossbarInputs)))
        return EINVAL;
    input = output == 0 ? video : CrossbarInputs[video].Related;
    return 0;
}

TVirtualTunerFilter::TVirtualTunerFilter()
    : TGraphFilter(VirtualCardBaseName() + " TV Tuner", gst_bin_new(nullptr))
{
    AddAnalogPin("Analog Video", TPinDirection::Output, TPinCategory::Analog);
    AddAnalogPin("Analog Audio", TPinDirection::Output, TPinCategory::Analog);
}

int TVirtualTunerFilter::SetMode(int mode)
{
    return TVirtualCard::Instance().SetMode(mode);
}

int TVirtualTunerFilter::GetMode(int &mode)
{
    mode = TVirtualCard::Instance().Mode;
    return 0;
}

int TVirtualTunerFilter::ModeCaps(int mode, int32_t &minHz, int32_t &maxHz)
{
    if (mode == TunerModeTV) {
        minHz = TVirtualCard::TVMin;
        maxHz = TVirtualCard::TVMax;
    } else if (mode == TunerModeFM) {
        if (TVirtualCard::Instance().Faults.RefuseFM)
            return ENOTTY;
        minHz = TVirtualCard::FMMin;
        maxHz = TVirtualCard::FMMax;
    } else {
        return EINVAL;
    }
    return 0;
}

int TVirtualTunerFilter::SetFrequency(int32_t hz, int)
{
    return TVirtualCard::Instance().SetFrequency(hz);
}

int TVirtualTunerFilter::GetStatus(TTunerStatus &status)
{
    status = TVirtualCard::Instance().Status();
    return 0;
}

int TVirtualTunerFilter::AvailableStandards(int32_t &standards)
{
    standards = 0x7ffff & ~TVirtualCard::Instance().Faults.RefusedStandards;
    return 0;
}

int TVirtualTunerFilter::SetStandard(int32_t standard)
{
    return TVirtualCard::Instance().SetStandard(standard);
}

TVirtualTVAudioFilter::TVirtualTVAudioFilter()
    : TGraphFilter(VirtualCardBaseName() + " TV Audio", gst_bin_new(nullptr))
{
    AddAnalogPin("TVAudio In", TPinDirection::Input, TPinCategory::Analog);
    AddAnalogPin("TVAudio Out", TPinDirection::Output, TPinCategory::Analog);
}

int TVirtualTVAudioFilter::GetAvailableModes(int32_t &modes)
{
    modes = TVirtualCard::Instance().AvailableAudioModes();
    return 0;
}

int TVirtualTVAudioFilter::GetMode(int32_t &mode)
{
    mode = TVirtualCard::Instance().AudioMode;
    return 0;
}

int TVirtualTVAudioFilter::SetMode(int32_t mode)
{
    return TVirtualCard::Instance().SetAudioMode(mode);
}

TFilterPtr CreateVirtualFilter(const QString &kind)
{
    if (kind == "capture" && VirtualCardProfile() == TVirtualProfile::Wis)
        return std::make_shared<TVirtualWisCaptureFilter>();
    if (kind == "capture")
        return std::make_shared<TVirtualCaptureFilter>();
    if (kind == "audio")
        return std::make_shared<TVirtualAudioCaptureFilter>();
    if (kind == "crossbar")
        return std::make_shared<TVirtualCrossbarFilter>();
    if (kind == "tuner")
        return std::make_shared<TVirtualTunerFilter>();
    if (kind == "tvaudio")
        return std::make_shared<TVirtualTVAudioFilter>();
    return nullptr;
}
