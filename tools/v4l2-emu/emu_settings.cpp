// The driver's settings: capabilities, inputs, the tuner and its
// frequencies, standards, formats and frame rates, as the V4L2 core and the
// model's driver answer them (Linux 6.1).
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "emu_driver.h"
#include "emu_formats.h"

namespace emu {

namespace {

// The virtual card's lock windows (platform/virtual_card.h): a TV carrier
// within 1.5 MHz, an FM carrier within 100 kHz.
constexpr int64_t TvLockHz = 1500000, FmLockHz = 100000;
constexpr int32_t AudioMono = 0x1, AudioStereo = 0x2, AudioLangA = 0x10, AudioLangB = 0x20;

const TStation *NearestStation(const TShared &s, bool fm, int64_t hz, int64_t window)
{
    const TStation *best = nullptr;
    for (int i = 0; i < s.StationCount; ++i) {
        const TStation &st = s.Stations[i];
        if (bool(st.Fm) != fm)
            continue;
        const int64_t d = std::llabs(hz - st.FrequencyHz);
        if (d <= window && (!best || d < std::llabs(hz - best->FrequencyHz)))
            best = &st;
    }
    return best;
}

uint32_t SubchansOf(int32_t modes)
{
    uint32_t rx = 0;
    if (modes & AudioMono)
        rx |= V4L2_TUNER_SUB_MONO;
    if (modes & AudioStereo)
        rx |= V4L2_TUNER_SUB_STEREO;
    if (modes & AudioLangA)
        rx |= V4L2_TUNER_SUB_LANG1;
    if (modes & AudioLangB)
        rx |= V4L2_TUNER_SUB_LANG2;
    return rx ? rx : V4L2_TUNER_SUB_MONO;
}

// saa7134_tvaudio_rx2mode.
uint32_t ModeOfSubchans(uint32_t rx)
{
    if (rx & V4L2_TUNER_SUB_STEREO)
        return V4L2_TUNER_MODE_STEREO;
    if (rx & V4L2_TUNER_SUB_LANG1)
        return V4L2_TUNER_MODE_LANG1;
    if (rx & V4L2_TUNER_SUB_LANG2)
        return V4L2_TUNER_MODE_LANG2;
    return V4L2_TUNER_MODE_MONO;
}

// The tda9887's AFC window values (tda9887_get_afc), in Hz.
int32_t Tda9887Afc(int64_t offsetHz)
{
    static const int32_t steps[] = {12500, 37500, 62500, 97500, 112500, 137500, 162500, 187500};
    const int64_t a = std::llabs(offsetHz);
    int32_t best = steps[0];
    for (int32_t s : steps)
        if (std::llabs(a - s) < std::llabs(a - best))
            best = s;
    return offsetHz < 0 ? -best : best;
}

} // namespace

void TDriver::Retune()
{
    TDeviceState &st = Shared->State;
    const TStation *station = nullptr;
    if (st.TunerMode == V4L2_TUNER_ANALOG_TV && st.Input < M.Inputs.size() &&
        M.Inputs[st.Input].Tuner)
        station = NearestStation(*Shared, false, int64_t(st.TvFrequency) * 62500, TvLockHz);
    st.Station = station ? int32_t(station - Shared->Stations) : -1;
    Changed();
}

bool TDriver::PictureLocked() const
{
    const TDeviceState &st = Shared->State;
    if (st.Input >= M.Inputs.size())
        return false;
    return !M.Inputs[st.Input].Tuner || st.Station >= 0;
}

int TDriver::QueryCap(TFile &f, v4l2_capability &cap)
{
    memset(&cap, 0, sizeof cap);
    CopyText(cap.driver, sizeof cap.driver, M.Driver);
    CopyText(cap.card, sizeof cap.card, M.Card);
    CopyText(cap.bus_info, sizeof cap.bus_info, M.BusInfo);
    cap.version = M.Version;
    cap.capabilities = M.Capabilities | V4L2_CAP_DEVICE_CAPS | V4L2_CAP_EXT_PIX_FORMAT;
    cap.device_caps =
        (f.Node == TNode::Video ? M.DeviceCaps : M.RadioDeviceCaps) | V4L2_CAP_EXT_PIX_FORMAT;
    return 0;
}

int TDriver::EnumInput(v4l2_input &in)
{
    const uint32_t index = in.index;
    if (index >= M.Inputs.size())
        return EINVAL;
    memset(&in, 0, sizeof in);
    in.index = index;
    CopyText(in.name, sizeof in.name, M.Inputs[index].Name);
    in.type = M.Inputs[index].Tuner ? V4L2_INPUT_TYPE_TUNER : V4L2_INPUT_TYPE_CAMERA;
    in.std = M.Norms;
    in.capabilities = V4L2_IN_CAP_STD;
    // Only some drivers read the decoder's status for the current input;
    // cx88 and em28xx leave it empty.
    if (M.InputStatus && index == Shared->State.Input && !PictureLocked())
        in.status = V4L2_IN_ST_NO_H_LOCK | V4L2_IN_ST_NO_SIGNAL;
    return 0;
}

int TDriver::GetTuner(TFile &f, v4l2_tuner &t)
{
    const TDeviceState &st = Shared->State;
    const bool video = f.Node == TNode::Video;
    if (t.index != 0 || (video ? !M.HasTuner : !M.HasRadio))
        return EINVAL;
    const TTuner &model = video ? M.Tv : M.Radio;
    memset(&t, 0, sizeof t);
    CopyText(t.name, sizeof t.name, model.Name);
    t.type = video ? V4L2_TUNER_ANALOG_TV : V4L2_TUNER_RADIO;
    t.capability = model.Capability | V4L2_TUNER_CAP_FREQ_BANDS;
    t.rangelow = model.RangeLow;
    t.rangehigh = model.RangeHigh;
    if (video) {
        const TStation *station = st.Station >= 0 && st.TunerMode == V4L2_TUNER_ANALOG_TV
                                      ? &Shared->Stations[st.Station]
                                      : nullptr;
        const uint32_t rx = SubchansOf(station ? station->AudioModes : AudioMono);
        if (M.TvAudio == "saa7134") {
            // saa7134_g_tuner: the mode follows what is received.
            t.rxsubchans = rx;
            t.audmode = ModeOfSubchans(rx);
        } else if (M.TvAudio == "cx88") {
            // cx88_get_stereo: the mode the audio decoder found; stereo adds
            // the stereo sub-channel.
            t.audmode = (rx & V4L2_TUNER_SUB_STEREO)  ? V4L2_TUNER_MODE_STEREO
                        : (rx & V4L2_TUNER_SUB_LANG2) ? V4L2_TUNER_MODE_LANG2
                                                      : V4L2_TUNER_MODE_MONO;
            t.rxsubchans = V4L2_TUNER_SUB_MONO |
                           (t.audmode == V4L2_TUNER_MODE_STEREO ? V4L2_TUNER_SUB_STEREO : 0);
        } else {
            // A sound processor (msp3400, tvaudio): what it receives and the
            // mode that was set.
            t.rxsubchans = rx;
            t.audmode = st.AudMode == 0xffffffffu ? ModeOfSubchans(rx) : st.AudMode;
        }
        if (M.TvSignal == "decoder" && st.Input < M.Inputs.size() && M.Inputs[st.Input].Tuner &&
            st.Station >= 0)
            t.signal = 0xffff;
        return 0;
    }
    // Radio: the tuner reports only while it is in radio mode.
    t.audmode = st.RadioAudMode;
    if (st.TunerMode != V4L2_TUNER_RADIO)
        return 0;
    const int64_t hz = int64_t(st.RadioFrequency) * 125 / 2;
    const TStation *station = NearestStation(*Shared, true, hz, 2 * FmLockHz);
    const int64_t offset = station ? hz - station->FrequencyHz : 0;
    const bool heard = station && std::llabs(offset) <= FmLockHz;
    t.rxsubchans =
        heard && (station->AudioModes & AudioStereo) ? V4L2_TUNER_SUB_STEREO : V4L2_TUNER_SUB_MONO;
    if (M.RadioSignal == "tuner-simple" && heard) {
        // tuner_signal(): the tuner's 3-bit level shifted to the top bits.
        const int64_t a = std::llabs(offset);
        t.signal = a <= 25000 ? 0xe000 : a <= 50000 ? 0xa000 : 0x6000;
    }
    if (M.RadioAfc == "tda9887")
        t.afc = station ? Tda9887Afc(offset) : -12500;
    return 0;
}

int TDriver::SetFrequency(TFile &f, const v4l2_frequency &freq)
{
    TDeviceState &st = Shared->State;
    const bool video = f.Node == TNode::Video;
    if (freq.tuner != 0 || (video ? !M.HasTuner : !M.HasRadio))
        return EINVAL;
    if (freq.type != (video ? V4L2_TUNER_ANALOG_TV : V4L2_TUNER_RADIO))
        return EINVAL;
    // tuner-core takes the nearest frequency in range rather than refusing.
    const TTuner &t = video ? M.Tv : M.Radio;
    const uint32_t value = std::clamp(freq.frequency, t.RangeLow, t.RangeHigh);
    if (video) {
        st.TvFrequency = value;
        st.TunerMode = V4L2_TUNER_ANALOG_TV;
    } else {
        st.RadioFrequency = value;
        st.TunerMode = V4L2_TUNER_RADIO;
    }
    Retune();
    return 0;
}

bool TDriver::DeviceBusy(TFile &f)
{
    // videobuf queues belong to their file: only its own stream counts.
    if (M.BufferApi == "videobuf")
        return f.Streaming || f.FileIo ||
               std::any_of(f.Buffers.begin(), f.Buffers.end(),
                           [](const TBuffer &b) { return b.State != TBuffer::Dequeued; });
    return Shared->State.Buffers > 0;
}

int TDriver::SetStd(TFile &f, v4l2_std_id id)
{
    TDeviceState &st = Shared->State;
    // v4l_s_std: only the node's standards reach the driver.
    const v4l2_std_id norm = id & M.Norms;
    if (!norm)
        return EINVAL;
    if (norm & Shared->Faults.RefusedStd)
        return EINVAL;
    const TStd *entry = PickStd(M, norm);
    if (!entry)
        return EINVAL;
    const uint64_t stored = M.StdRule == "exact-then-first" ? entry->Id : norm;
    if (stored == st.Std && M.StdBusy != "never")
        return 0; // cx88 and em28xx return early for the current standard
    if ((M.StdBusy == "buffers" && DeviceBusy(f)) || (M.StdBusy == "streaming" && st.Streaming))
        return EBUSY;
    const bool lines525 = stored & V4L2_STD_525_60;
    const bool was525 = st.Std & V4L2_STD_525_60;
    st.Std = stored;
    st.TunerMode = V4L2_TUNER_ANALOG_TV;
    if (M.SizeRule == "em28xx" && lines525 != was525) {
        // em28xx's vidioc_s_std sets the full size of the new standard.
        v4l2_pix_format pix{};
        pix.pixelformat = st.Format.Fourcc;
        pix.width = 720;
        pix.height = lines525 ? 480 : 576;
        TryFormat(M, st.Std, pix);
        st.Format = {pix.pixelformat, pix.width,        pix.height,
                     pix.field,       pix.bytesperline, pix.sizeimage};
    }
    Retune();
    return 0;
}

int TDriver::EnumStd(v4l2_standard &s)
{
    // v4l_video_std_enumstd: the core's table walked over the node's norms.
    static const uint64_t table[] = {V4L2_STD_NTSC,
                                     V4L2_STD_NTSC_M,
                                     V4L2_STD_NTSC_M_JP,
                                     V4L2_STD_NTSC_M_KR,
                                     V4L2_STD_NTSC_443,
                                     V4L2_STD_PAL,
                                     V4L2_STD_PAL_BG,
                                     V4L2_STD_PAL_B,
                                     V4L2_STD_PAL_B1,
                                     V4L2_STD_PAL_G,
                                     V4L2_STD_PAL_H,
                                     V4L2_STD_PAL_I,
                                     V4L2_STD_PAL_DK,
                                     V4L2_STD_PAL_D,
                                     V4L2_STD_PAL_D1,
                                     V4L2_STD_PAL_K,
                                     V4L2_STD_PAL_M,
                                     V4L2_STD_PAL_N,
                                     V4L2_STD_PAL_Nc,
                                     V4L2_STD_PAL_60,
                                     V4L2_STD_SECAM,
                                     V4L2_STD_SECAM_B,
                                     V4L2_STD_SECAM_G,
                                     V4L2_STD_SECAM_H,
                                     V4L2_STD_SECAM_DK,
                                     V4L2_STD_SECAM_D,
                                     V4L2_STD_SECAM_K,
                                     V4L2_STD_SECAM_K1,
                                     V4L2_STD_SECAM_L,
                                     V4L2_STD_SECAM_LC,
                                     0};
    uint64_t id = M.Norms, current = 0;
    const uint32_t index = s.index;
    size_t j = 0;
    uint32_t i = 0;
    for (i = 0; i <= index && id; ++i) {
        while ((id & table[j]) != table[j])
            ++j;
        current = table[j];
        ++j;
        if (!current)
            break;
        if (current != V4L2_STD_PAL && current != V4L2_STD_SECAM && current != V4L2_STD_NTSC)
            id &= ~current;
    }
    if (i <= index)
        return EINVAL;
    memset(&s, 0, sizeof s);
    s.index = index;
    s.id = current;
    CopyText(s.name, sizeof s.name, StdName(current));
    FramePeriod(current, s.frameperiod.numerator, s.frameperiod.denominator);
    s.framelines = FrameLines(current);
    return 0;
}

int TDriver::EnumFreqBands(TFile &f, v4l2_frequency_band &band)
{
    // v4l_enum_freq_bands for drivers without their own: one band, the
    // tuner's range.
    const bool video = f.Node == TNode::Video;
    if (band.tuner != 0 || band.index != 0 || (video ? !M.HasTuner : !M.HasRadio) ||
        band.type != (video ? V4L2_TUNER_ANALOG_TV : V4L2_TUNER_RADIO))
        return EINVAL;
    const TTuner &t = video ? M.Tv : M.Radio;
    const uint32_t type = band.type;
    memset(&band, 0, sizeof band);
    band.type = type;
    band.capability = t.Capability | V4L2_TUNER_CAP_FREQ_BANDS;
    band.rangelow = t.RangeLow;
    band.rangehigh = t.RangeHigh;
    band.modulation = video ? V4L2_BAND_MODULATION_VSB : V4L2_BAND_MODULATION_FM;
    return 0;
}

int TDriver::Format(TFile &f, unsigned long request, v4l2_format &fmt)
{
    TDeviceState &st = Shared->State;
    if (fmt.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return EINVAL;
    v4l2_pix_format &pix = fmt.fmt.pix;
    if (request == VIDIOC_G_FMT) {
        memset(&fmt.fmt, 0, sizeof fmt.fmt);
        pix.pixelformat = st.Format.Fourcc;
        pix.width = st.Format.Width;
        pix.height = st.Format.Height;
        pix.field = st.Format.Field;
        pix.bytesperline = st.Format.BytesPerLine;
        pix.sizeimage = st.Format.SizeImage;
        pix.colorspace = V4L2_COLORSPACE_SMPTE170M;
        return 0;
    }
    if (int err = TryFormat(M, st.Std, pix))
        return err;
    if (request == VIDIOC_TRY_FMT)
        return 0;
    // A queue with buffers keeps its format.
    if (DeviceBusy(f))
        return EBUSY;
    st.Format = {pix.pixelformat, pix.width,        pix.height,
                 pix.field,       pix.bytesperline, pix.sizeimage};
    Changed();
    return 0;
}

int TDriver::EnumFrameSizes(v4l2_frmsizeenum &size)
{
    if (M.FrameSizes != "em28xx")
        return ENOTTY;
    if (std::find(M.Formats.begin(), M.Formats.end(), size.pixel_format) == M.Formats.end() ||
        size.index != 0)
        return EINVAL;
    // em28xx's vidioc_enum_framesizes: the scaler's range at the largest
    // scale factor, step 1.
    uint32_t maxw, maxh;
    MaxSize(M, Shared->State.Std, maxw, maxh);
    constexpr uint32_t HVScaleMax = 0x3fff;
    const uint32_t minw = std::max<uint32_t>(48, (uint64_t(maxw) << 12) / (HVScaleMax + 4096));
    const uint32_t minh = std::max<uint32_t>(38, (uint64_t(maxh) << 12) / (HVScaleMax + 4096));
    const uint32_t format = size.pixel_format;
    memset(&size, 0, sizeof size);
    size.pixel_format = format;
    size.type = V4L2_FRMSIZE_TYPE_STEPWISE;
    size.stepwise = {minw, maxw, 1, minh, maxh, 1};
    return 0;
}

int TDriver::GetParm(v4l2_streamparm &p)
{
    if (p.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return EINVAL;
    memset(&p.parm, 0, sizeof p.parm);
    p.parm.capture.readbuffers = M.ReadBuffers;
    if (M.Parm == "driver-timeperframe")
        p.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
    FramePeriod(Shared->State.Std, p.parm.capture.timeperframe.numerator,
                p.parm.capture.timeperframe.denominator);
    return 0;
}

} // namespace emu
