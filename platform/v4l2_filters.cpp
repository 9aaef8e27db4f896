// The filters of a V4L2 card: capture (v4l2src), crossbar, tuner, TV audio,
// and the em28xx control object. Every driver call goes through the seam.
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <map>

#include "platform/filter_registry.h"
#include "platform/log.h"
#include "platform/text_util.h"
#include "platform/v4l2_devices.h"
#include "platform/v4l2_formats.h"

namespace {

// The standards a node offers, as standard bits; ENOTTY when it lists none.
int EnumStandards(TV4l2Device &device, int32_t &standards)
{
    standards = 0;
    v4l2_standard s{};
    for (s.index = 0; device.EnumStd(s) == 0; ++s.index)
        standards |= BitsFromV4l2Std(s.id);
    return standards ? 0 : ENOTTY;
}

int ApplyStandard(TV4l2Device &device, int32_t standard)
{
    const v4l2_std_id id = V4l2StdFromBits(standard);
    return id ? device.SetStd(id) : EINVAL;
}

QString Text(const __u8 *bytes, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(bytes),
                             int(strnlen(reinterpret_cast<const char *>(bytes), size)));
}

int PhysicalType(const v4l2_input &input)
{
    if (input.type == V4L2_INPUT_TYPE_TUNER)
        return PhysConn_Video_Tuner;
    const QString name = Text(input.name, sizeof input.name);
    if (ContainsText(name, "S-Video") || ContainsText(name, "SVideo") ||
        ContainsText(name, "S-VHS"))
        return PhysConn_Video_SVideo;
    if (ContainsText(name, "Composite") || ContainsText(name, "CVBS"))
        return PhysConn_Video_Composite;
    return PhysConn_Video_AUX;
}

// The frequency unit of a tuner in Hz x 16 (62.5 kHz or 62.5 Hz).
int64_t UnitTimes16(const v4l2_tuner &t)
{
    return (t.capability & V4L2_TUNER_CAP_LOW) ? 1000 : 1000000;
}

// The capture filter: v4l2src with the same pins as every capture filter.
class TV4l2CaptureFilter : public TGraphFilter,
                           public IVideoProcAmp,
                           public IAnalogVideoDecoder,
                           public IStreamConfig
{
public:
    explicit TV4l2CaptureFilter(GstElement *bin, const QString &path)
        : TGraphFilter(path, bin), Device(path)
    {
        Device.Open();
        AddAnalogPin("Analog Video In", TPinDirection::Input, TPinCategory::AnalogVideoIn);
        for (auto [name, queue, category] :
             {std::tuple{"Capture", "qcapture", TPinCategory::Capture},
              std::tuple{"Preview", "qpreview", TPinCategory::Preview}}) {
            GstElement *q = gst_bin_get_by_name(GST_BIN(Bin()), queue);
            GstPad *pad = gst_element_get_static_pad(q, "src");
            AddPin(name, TPinDirection::Output, category, TMediaKind::Video, pad);
            gst_object_unref(pad);
            gst_object_unref(q);
        }
    }

    // v4l2src remembers the standard, the input and the frequency it found
    // at its first open and sets them again at every later one
    // (gst_v4l2_set_defaults): a restart would undo every tune, input switch
    // and standard change made since. A fresh source reads the card as it
    // is, as the driver keeps it.
    void BeforeStart() override
    {
        // The rate follows the standard, which may have changed while the
        // graph was stopped.
        ApplyCaps();
        if (!Started) {
            Started = true;
            return;
        }
        GstElement *old = gst_bin_get_by_name(GST_BIN(Bin()), "src");
        GstElement *caps = gst_bin_get_by_name(GST_BIN(Bin()), "caps");
        GstElement *fresh = gst_element_factory_make("v4l2src", nullptr);
        if (old && caps && fresh) {
            gst_element_unlink(old, caps);
            gst_element_set_state(old, GST_STATE_NULL);
            gst_bin_remove(GST_BIN(Bin()), old);
            g_object_set(fresh, "name", "src", "device", Device.Path().toUtf8().constData(),
                         nullptr);
            gst_bin_add(GST_BIN(Bin()), fresh);
            if (!gst_element_link(fresh, caps))
                qCWarning(lcV4l2) << Device.Path() << "cannot link a new v4l2src";
        } else if (fresh) {
            gst_object_unref(fresh);
        }
        if (old)
            gst_object_unref(old);
        if (caps)
            gst_object_unref(caps);
    }

    int GetRange(int property, int &min, int &max, int &step, int &def) override
    {
        v4l2_queryctrl q{};
        q.id = ControlId(property);
        if (!q.id)
            return ENOTTY;
        if (int err = Device.QueryCtrl(q))
            return err;
        if (q.flags & V4L2_CTRL_FLAG_DISABLED)
            return ENOTTY;
        min = q.minimum, max = q.maximum, step = q.step, def = q.default_value;
        return 0;
    }
    int Get(int property, int &value) override
    {
        v4l2_control c{ControlId(property), 0};
        if (!c.id)
            return ENOTTY;
        const int err = Device.GetCtrl(c);
        value = c.value;
        return err;
    }
    int Set(int property, int value) override
    {
        v4l2_control c{ControlId(property), value};
        return c.id ? Device.SetCtrl(c) : ENOTTY;
    }

    int HorizontalLocked(bool &locked) override
    {
        int index = 0;
        if (int err = Device.GetInput(index))
            return err;
        v4l2_input input{};
        input.index = index;
        if (int err = Device.EnumInput(input))
            return err;
        locked = !(input.status & (V4L2_IN_ST_NO_H_LOCK | V4L2_IN_ST_NO_SIGNAL));
        // Not every driver fills the input status (cx88 and em28xx do not);
        // most report the tuner input's picture lock as the tuner's signal.
        v4l2_tuner t{};
        t.index = input.tuner;
        if (!locked || input.type != V4L2_INPUT_TYPE_TUNER || Device.GetTuner(t) != 0)
            return 0;
        locked = t.signal != 0;
        // em28xx has neither: its simple tuners measure a signal on FM only.
        // Its decoder still names the standard of a picture it is locked to.
        v4l2_std_id detected = 0;
        if (!locked && Device.QueryStd(detected) == 0)
            locked = detected != 0;
        return 0;
    }
    int AvailableStandards(int32_t &standards) override { return EnumStandards(Device, standards); }
    int SetStandard(int32_t standard) override { return ApplyStandard(Device, standard); }
    int GetStandard(int32_t &standard) override
    {
        v4l2_std_id id = 0;
        const int err = Device.GetStd(id);
        standard = BitsFromV4l2Std(id);
        return err;
    }

    int GetNumberOfCapabilities(int &count) override
    {
        count = int(Formats().size());
        return 0;
    }
    int GetStreamCaps(int index, TVideoFormat &format) override
    {
        const auto &list = Formats();
        if (index < 0 || index >= int(list.size()))
            return EINVAL;
        format = list[index];
        // The standard may have changed since the list was made.
        V4l2FrameRate(Device, format.RateNumerator, format.RateDenominator);
        return 0;
    }
    int GetFormat(TVideoFormat &format) override
    {
        if (Current.Width) {
            format = Current;
        } else {
            // Until a format is set, the driver's current one.
            v4l2_format f{};
            f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            if (int err = Device.GetFmt(f))
                return err;
            const TV4l2PixelFormat *known = V4l2PixelFormat(f.fmt.pix.pixelformat);
            format = {};
            format.Subtype = known ? known->Subtype : "";
            format.Width = int(f.fmt.pix.width);
            format.Height = int(f.fmt.pix.height);
            if (!known)
                return EINVAL;
        }
        V4l2FrameRate(Device, format.RateNumerator, format.RateDenominator);
        return 0;
    }
    int SetFormat(const TVideoFormat &format) override
    {
        for (auto &pin : Pins())
            if (pin->Pad && pin->IsConnected())
                return EBUSY;
        // The driver decides: a size or format it would change is refused,
        // and the caller falls back to its next choice.
        if (int err = V4l2CheckFormat(Device, format))
            return err;
        Current = format;
        ApplyCaps();
        return 0;
    }

private:
    // The source's caps: the format set, at the standard's frame rate (which
    // v4l2src cannot always learn: em28xx lists sizes but no intervals), in
    // plain memory (v4l2src offers fields as "format:Interlaced" buffers the
    // preview chain does not take).
    void ApplyCaps()
    {
        GstCaps *caps = gst_caps_new_empty_simple("video/x-raw");
        if (const TV4l2PixelFormat *known = V4l2PixelFormat(Current.Subtype))
            gst_caps_set_simple(caps, "format", G_TYPE_STRING, known->GstFormat, "width",
                                G_TYPE_INT, Current.Width, "height", G_TYPE_INT, Current.Height,
                                nullptr);
        int num = 0, den = 0;
        if (V4l2FrameRate(Device, num, den))
            gst_caps_set_simple(caps, "framerate", GST_TYPE_FRACTION, num, den, nullptr);
        GstElement *filter = gst_bin_get_by_name(GST_BIN(Bin()), "caps");
        g_object_set(filter, "caps", caps, nullptr);
        gst_object_unref(filter);
        gst_caps_unref(caps);
    }

    static __u32 ControlId(int property)
    {
        static const __u32 ids[] = {V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_HUE,
                                    V4L2_CID_SATURATION, V4L2_CID_SHARPNESS};
        return property >= 0 && property < 5 ? ids[property] : 0;
    }
    // The formats the driver offers (platform/v4l2_formats.h).
    const std::vector<TVideoFormat> &Formats()
    {
        if (FormatList.empty())
            FormatList = V4l2CaptureFormats(Device);
        return FormatList;
    }

    TV4l2Device Device;
    std::vector<TVideoFormat> FormatList;
    TVideoFormat Current;
    bool Started = false;
};

// Inputs as a crossbar: the driver's video inputs, then an audio tuner and
// an audio line pin. The analog drivers switch the sound with the video
// input (each input names its audio mux), so the audio output always comes
// from the audio pin related to the current video input, and routing it from
// another one is refused.
class TV4l2CrossbarFilter : public TGraphFilter, public ICrossbar
{
public:
    explicit TV4l2CrossbarFilter(const QString &path)
        : TGraphFilter(path + " Crossbar", gst_bin_new(nullptr)), Device(path)
    {
        Device.Open();
        v4l2_input input{};
        for (input.index = 0; Device.EnumInput(input) == 0; ++input.index) {
            Types.push_back(PhysicalType(input));
            AddAnalogPin(
                QString("%1: %2").arg(input.index).arg(Text(input.name, sizeof input.name)),
                TPinDirection::Input, TPinCategory::AnalogVideoIn);
        }
        AddAnalogPin(QString("%1: Audio Tuner In").arg(Types.size()), TPinDirection::Input,
                     TPinCategory::Analog);
        AddAnalogPin(QString("%1: Audio Line In").arg(Types.size() + 1), TPinDirection::Input,
                     TPinCategory::Analog);
        AddAnalogPin("0: Video Decoder Out", TPinDirection::Output, TPinCategory::Analog);
        AddAnalogPin("1: Audio Decoder Out", TPinDirection::Output, TPinCategory::Analog);
    }
    int GetPinCounts(int &outputs, int &inputs) override
    {
        outputs = 2;
        inputs = int(Types.size()) + 2;
        return 0;
    }
    int GetCrossbarPinInfo(bool isInput, int index, int &related, int &type) override
    {
        const int video = int(Types.size());
        if (!isInput) {
            if (index < 0 || index > 1)
                return EINVAL;
            related = 1 - index;
            type = index == 0 ? PhysConn_Video_VideoDecoder : PhysConn_Audio_AudioDecoder;
            return 0;
        }
        if (index < 0 || index >= video + 2)
            return EINVAL;
        if (index < video) {
            type = Types[index];
            related = type == PhysConn_Video_Tuner ? video : video + 1;
        } else {
            type = index == video ? PhysConn_Audio_Tuner : PhysConn_Audio_Line;
            related = 0;
            for (int i = 0; i < video; ++i)
                if ((Types[i] == PhysConn_Video_Tuner) == (index == video)) {
                    related = i;
                    break;
                }
        }
        return 0;
    }
    int CanRoute(int output, int input) override
    {
        const int video = int(Types.size());
        if (output < 0 || output > 1 || input < 0 || input >= video + 2)
            return EINVAL;
        return (output == 0) == (input < video) ? 0 : EINVAL;
    }
    int Route(int output, int input) override
    {
        if (int err = CanRoute(output, input))
            return err;
        if (output == 1) {
            int related = -1;
            if (int err = IsRoutedTo(1, related))
                return err;
            return input == related ? 0 : EINVAL;
        }
        return Device.SetInput(input);
    }
    int IsRoutedTo(int output, int &input) override
    {
        if (output == 1) {
            int video = -1, type = 0;
            if (int err = Device.GetInput(video))
                return err;
            if (video < 0 || video >= int(Types.size()))
                return EINVAL;
            return GetCrossbarPinInfo(true, video, input, type);
        }
        return output == 0 ? Device.GetInput(input) : EINVAL;
    }

private:
    TV4l2Device Device;
    std::vector<int> Types;
};

// The tuner: TV through the capture node, FM through the card's radio node.
class TV4l2TunerFilter : public TGraphFilter, public ITVTuner
{
public:
    TV4l2TunerFilter(const QString &path, const QString &radio)
        : TGraphFilter(path + " TV Tuner", gst_bin_new(nullptr)), Video(path), Radio(radio)
    {
        Video.Open();
        AddAnalogPin("Analog Video", TPinDirection::Output, TPinCategory::Analog);
        AddAnalogPin("Analog Audio", TPinDirection::Output, TPinCategory::Analog);
    }

    int SetMode(int mode) override
    {
        if (mode == TunerModeFM) {
            if (Radio.Path().isEmpty())
                return ENOTTY;
            if (int err = Radio.Open())
                return err;
        } else if (mode != TunerModeTV) {
            return EINVAL;
        } else {
            // Back on TV the radio node is let go: an open radio node keeps
            // some drivers' tuners in radio mode.
            Radio.Close();
        }
        Mode = mode;
        return 0;
    }
    int GetMode(int &mode) override
    {
        mode = Mode;
        return 0;
    }
    int ModeCaps(int mode, int32_t &minHz, int32_t &maxHz) override
    {
        TV4l2Device &d = mode == TunerModeFM ? Radio : Video;
        if (mode == TunerModeFM && (Radio.Path().isEmpty() || Radio.Open()))
            return ENOTTY;
        v4l2_tuner t{};
        const int err = d.GetTuner(t);
        // A look at the radio's range from TV mode does not keep it open.
        if (mode == TunerModeFM && Mode != TunerModeFM)
            Radio.Close();
        if (err)
            return err;
        minHz = int32_t(std::min<int64_t>(INT32_MAX, t.rangelow * UnitTimes16(t) / 16));
        maxHz = int32_t(std::min<int64_t>(INT32_MAX, t.rangehigh * UnitTimes16(t) / 16));
        return 0;
    }
    int SetFrequency(int32_t hz, int) override
    {
        TV4l2Device &d = Current();
        v4l2_tuner t{};
        if (int err = d.GetTuner(t))
            return err;
        v4l2_frequency f{};
        f.tuner = 0;
        f.type = Mode == TunerModeFM ? V4L2_TUNER_RADIO : V4L2_TUNER_ANALOG_TV;
        f.frequency = __u32((int64_t(hz) * 16 + UnitTimes16(t) / 2) / UnitTimes16(t));
        return d.SetFrequency(f);
    }
    int GetStatus(TTunerStatus &status) override
    {
        TV4l2Device &d = Current();
        v4l2_tuner t{};
        v4l2_frequency f{};
        if (int err = d.GetTuner(t))
            return err;
        if (d.GetFrequency(f) == 0)
            status.CurrentFrequency = int32_t(int64_t(f.frequency) * UnitTimes16(t) / 16);
        // The driver's AFC: negative when tuned below the carrier.
        status.PLLOffset = std::clamp(t.afc, -4, 4);
        // 0..65535 as a percentage; a weak but present signal stays non-zero
        // (FM takes any signal for a station).
        status.SignalStrength = t.signal ? std::max<int32_t>(1, t.signal * 100 / 65535) : 0;
        status.Busy = 0;
        // Only a station that is heard can be heard in stereo.
        if (t.capability & V4L2_TUNER_CAP_STEREO)
            status.Stereo = t.signal && (t.rxsubchans & V4L2_TUNER_SUB_STEREO) ? 1 : 0;
        return 0;
    }
    int AvailableStandards(int32_t &standards) override { return EnumStandards(Video, standards); }
    int SetStandard(int32_t standard) override { return ApplyStandard(Video, standard); }

private:
    TV4l2Device &Current() { return Mode == TunerModeFM ? Radio : Video; }
    TV4l2Device Video;
    TV4l2Device Radio;
    int Mode = TunerModeTV;
};

// The tuner's sound decoder: receivable sub-channels and the audio mode.
class TV4l2TVAudioFilter : public TGraphFilter, public ITVAudio
{
public:
    explicit TV4l2TVAudioFilter(const QString &path)
        : TGraphFilter(path + " TV Audio", gst_bin_new(nullptr)), Video(path)
    {
        Video.Open();
        AddAnalogPin("TVAudio In", TPinDirection::Input, TPinCategory::Analog);
        AddAnalogPin("TVAudio Out", TPinDirection::Output, TPinCategory::Analog);
    }

    int GetAvailableModes(int32_t &modes) override
    {
        v4l2_tuner t{};
        if (int err = Video.GetTuner(t))
            return err;
        modes = 0;
        if (t.rxsubchans & V4L2_TUNER_SUB_MONO)
            modes |= TVAudio_Mono;
        if (t.rxsubchans & V4L2_TUNER_SUB_STEREO)
            modes |= TVAudio_Stereo;
        if (t.rxsubchans & V4L2_TUNER_SUB_LANG1)
            modes |= TVAudio_LangA;
        if (t.rxsubchans & V4L2_TUNER_SUB_LANG2)
            modes |= TVAudio_LangB;
        return 0;
    }
    int GetMode(int32_t &mode) override
    {
        v4l2_tuner t{};
        if (int err = Video.GetTuner(t))
            return err;
        static const int32_t fromAudmode[] = {TVAudio_Mono, TVAudio_Stereo, TVAudio_LangB,
                                              TVAudio_LangA, TVAudio_LangA | TVAudio_LangB};
        mode = t.audmode < 5 ? fromAudmode[t.audmode] : TVAudio_Mono;
        return 0;
    }
    int SetMode(int32_t mode) override
    {
        v4l2_tuner t{};
        if (int err = Video.GetTuner(t))
            return err;
        // The Conexant family sends mono and stereo with the language A bit
        // (0x11, 0x12): mono or stereo decide, the language bits only count
        // on their own.
        if (mode & TVAudio_Stereo)
            t.audmode = V4L2_TUNER_MODE_STEREO;
        else if (mode & TVAudio_Mono)
            t.audmode = V4L2_TUNER_MODE_MONO;
        else if ((mode & (TVAudio_LangA | TVAudio_LangB)) == (TVAudio_LangA | TVAudio_LangB))
            t.audmode = V4L2_TUNER_MODE_LANG1_LANG2;
        else if (mode & TVAudio_LangB)
            t.audmode = V4L2_TUNER_MODE_LANG2;
        else if (mode & TVAudio_LangA)
            t.audmode = V4L2_TUNER_MODE_LANG1;
        else
            return EINVAL;
        return Video.SetTuner(t);
    }

private:
    TV4l2Device Video;
};

// The em28xx driver's controls as the Empia control object.
class TV4l2EmpiaControl : public IEmpiaControl
{
public:
    explicit TV4l2EmpiaControl(const QString &path) : Device(path) {}
    int Open(int value) override
    {
        if (value < 0 || value > 0x7f)
            return EINVAL;
        return Device.Open();
    }
    bool IsOpen() const override { return Device.IsOpen(); }
    int SelectInput(int input) override { return Device.SetInput(input); }
    int SetAudioMode(int32_t modes) override
    {
        v4l2_tuner t{};
        if (int err = Device.GetTuner(t))
            return err;
        t.audmode = (modes & TVAudio_Stereo) ? V4L2_TUNER_MODE_STEREO : V4L2_TUNER_MODE_MONO;
        return Device.SetTuner(t);
    }
    int SetStandard(int standard) override
    {
        static const v4l2_std_id ids[] = {V4L2_STD_NTSC_M, V4L2_STD_NTSC_M_JP, V4L2_STD_PAL};
        return standard >= 1 && standard <= 3 ? Device.SetStd(ids[standard - 1]) : EINVAL;
    }

private:
    TV4l2Device Device;
};

} // namespace

TFilterPtr CreateV4l2Filter(const QString &rest)
{
    const QString kind = rest.section(':', 0, 0);
    const QString path = rest.section(':', 1);
    if (!path.startsWith("/dev/"))
        return nullptr;
    if (kind == "capture") {
        GError *error = nullptr;
        const QString description =
            "v4l2src name=src device=\"" + path + "\" ! capsfilter name=caps caps=video/x-raw"
            " ! tee name=t"
            " allow-not-linked=true t. ! queue name=qcapture max-size-buffers=8 max-size-bytes=0"
            " max-size-time=0 t. ! queue name=qpreview max-size-buffers=8 max-size-bytes=0"
            " max-size-time=0 leaky=downstream";
        GstElement *bin = gst_parse_bin_from_description_full(
            description.toUtf8().constData(), FALSE, nullptr, GST_PARSE_FLAG_FATAL_ERRORS, &error);
        if (!bin) {
            qCWarning(lcV4l2) << path << (error ? error->message : "");
            if (error)
                g_error_free(error);
            return nullptr;
        }
        return std::make_shared<TV4l2CaptureFilter>(bin, path);
    }
    if (kind == "crossbar")
        return std::make_shared<TV4l2CrossbarFilter>(path);
    if (kind == "tvaudio")
        return std::make_shared<TV4l2TVAudioFilter>(path);
    if (kind == "tuner") {
        QString radio;
        for (const TV4l2Card &card : ScanV4l2Cards())
            if (card.Path == path)
                radio = card.RadioPath;
        return std::make_shared<TV4l2TunerFilter>(path, radio);
    }
    return nullptr;
}

std::unique_ptr<IEmpiaControl> CreateV4l2EmpiaControl(const QString &videoDeviceName)
{
    for (const TV4l2Card &card : ScanV4l2Cards())
        if (card.FriendlyName == videoDeviceName && card.Driver.startsWith("em28xx"))
            return std::make_unique<TV4l2EmpiaControl>(card.Path);
    return nullptr;
}
