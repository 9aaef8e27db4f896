// The device ioctls of the emulated driver: what the V4L2 core and the
// card's driver answer (Linux 6.1: drivers/media/v4l2-core/v4l2-ioctl.c and
// the driver named by the model).
#include "emu_driver.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "emu_formats.h"

namespace emu {

namespace {

// The virtual card's lock windows (platform/virtual_card.h): a TV carrier
// within 1.5 MHz, an FM carrier within 100 kHz.
constexpr int64_t TvLockHz = 1500000, FmLockHz = 100000;
constexpr int32_t AudioMono = 0x1, AudioStereo = 0x2, AudioLangA = 0x10, AudioLangB = 0x20;

void CopyText(__u8 *to, size_t size, const std::string &text)
{
    memset(to, 0, size);
    memcpy(to, text.data(), std::min(text.size(), size - 1));
}

// The V4L2 core's class and slider flags (v4l2_ctrl_fill).
bool Slider(uint32_t id)
{
    switch (id) {
    case V4L2_CID_AUDIO_VOLUME:
    case V4L2_CID_AUDIO_BALANCE:
    case V4L2_CID_BRIGHTNESS:
    case V4L2_CID_CONTRAST:
    case V4L2_CID_SATURATION:
    case V4L2_CID_HUE:
    case V4L2_CID_RED_BALANCE:
    case V4L2_CID_BLUE_BALANCE:
    case V4L2_CID_SHARPNESS:
    case V4L2_CID_CHROMA_GAIN:
        return true;
    default:
        return false;
    }
}

// ROUND_TO_RANGE of the control framework: clamp, then the nearest step.
int32_t RoundToRange(const TControl &c, int32_t value)
{
    if (c.Type == V4L2_CTRL_TYPE_BOOLEAN)
        return value != 0;
    int64_t v = value;
    if (c.Max >= 0 && v >= int64_t(c.Max) - c.Step / 2)
        v = c.Max;
    else
        v += c.Step / 2;
    v = std::clamp<int64_t>(v, c.Min, c.Max);
    const int64_t offset = int64_t(c.Step) * ((v - c.Min) / c.Step);
    return int32_t(c.Min + offset);
}

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

int64_t NowNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

TDriver &Driver()
{
    static TDriver driver;
    return driver;
}

bool TDriver::Init()
{
    const char *shared = getenv(EnvShared);
    const char *model = getenv(EnvModel);
    if (!shared || !model)
        return false;
    std::string error;
    if (!LoadModel(model, M, error))
        return false;
    const int fd = int(syscall(SYS_openat, AT_FDCWD, shared, O_RDWR | O_CLOEXEC));
    if (fd < 0)
        return false;
    struct stat st;
    void *map = MAP_FAILED;
    // Raw calls: this runs inside the interposed functions' first use.
    if (syscall(SYS_fstat, fd, &st) == 0 && size_t(st.st_size) >= sizeof(TShared))
        map = mmap(nullptr, size_t(st.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    syscall(SYS_close, fd);
    if (map == MAP_FAILED)
        return false;
    auto *s = static_cast<TShared *>(map);
    if (s->Magic != SharedMagic || s->Version != SharedVersion) {
        syscall(SYS_munmap, map, size_t(st.st_size));
        return false;
    }
    const char *radio = getenv(EnvRadio);
    RadioNode = radio && strcmp(radio, "1") == 0 && M.HasRadio;
    Shared = s;
    return true;
}

bool TDriver::Unplugged()
{
    return Shared && Shared->State.Unplugged;
}

void TDriver::Changed()
{
    Shared->Serial.fetch_add(1);
}

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

int TDriver::Open(TNode node, int flags)
{
    std::unique_lock lock(Mutex);
    if (Unplugged() || (node == TNode::Radio && !RadioNode))
        return -ENOENT;
    if (node == TNode::Video && BusyAtOpen())
        return -EBUSY;
    const int fd = eventfd(0, EFD_NONBLOCK | ((flags & O_CLOEXEC) ? EFD_CLOEXEC : 0));
    if (fd < 0)
        return -errno;
    auto file = std::make_shared<TFile>();
    file->Node = node;
    file->NonBlock = flags & O_NONBLOCK;
    file->Number = NextFile++;
    file->Fds.insert(fd);
    Files.push_back(file);
    Fds[fd] = file;
    MarkFake(fd, true);
    {
        TSharedLock shared(&Shared->Mutex);
        TDeviceState &st = Shared->State;
        // saa7134's video_open puts the tuner back to TV; every driver's
        // radio open switches it to radio (s_radio).
        ++st.Priorities[V4L2_PRIORITY_DEFAULT];
        if (node == TNode::Radio && M.HasRadio)
            st.TunerMode = V4L2_TUNER_RADIO;
        else if (node == TNode::Video && M.VideoOpenSelectsTv)
            st.TunerMode = V4L2_TUNER_ANALOG_TV;
        Retune();
    }
    return fd;
}

void TDriver::AddFd(int from, int fd)
{
    std::lock_guard lock(Mutex);
    auto it = Fds.find(from);
    if (it == Fds.end())
        return;
    it->second->Fds.insert(fd);
    Fds[fd] = it->second;
    MarkFake(fd, true);
}

namespace {
constexpr int FakeLimit = 1 << 16;
std::atomic<uint64_t> FakeBits[FakeLimit / 64];
} // namespace

void MarkFake(int fd, bool fake)
{
    if (fd < 0 || fd >= FakeLimit)
        return;
    const uint64_t bit = uint64_t(1) << (fd % 64);
    if (fake)
        FakeBits[fd / 64].fetch_or(bit);
    else
        FakeBits[fd / 64].fetch_and(~bit);
}

bool TDriver::IsFake(int fd)
{
    return fd >= 0 && fd < FakeLimit &&
           (FakeBits[fd / 64].load(std::memory_order_relaxed) >> (fd % 64)) & 1;
}

std::shared_ptr<TFile> TDriver::FileOf(int fd)
{
    auto it = Fds.find(fd);
    return it == Fds.end() ? nullptr : it->second;
}

void TDriver::ForgetFd(int fd)
{
    std::unique_lock lock(Mutex);
    auto it = Fds.find(fd);
    if (it == Fds.end())
        return;
    std::shared_ptr<TFile> file = it->second;
    Fds.erase(it);
    MarkFake(fd, false);
    file->Fds.erase(fd);
    if (!file->Fds.empty())
        return;
    if (!file->Inherited)
        Release(*file, lock);
    Files.erase(std::remove(Files.begin(), Files.end(), file), Files.end());
}

void TDriver::AfterForkInChild()
{
    // The parent's capture threads do not exist here; the files stay the
    // parent's.
    for (auto &f : Files) {
        f->Inherited = true;
        f->ThreadRunning = false;
    }
}

namespace {

// The ioctls the V4L2 core knows; anything else is ENOTTY whatever its
// argument.
bool Known(unsigned long request)
{
    switch (request) {
    case VIDIOC_QUERYCAP:
    case VIDIOC_G_PRIORITY:
    case VIDIOC_S_PRIORITY:
    case VIDIOC_G_TUNER:
    case VIDIOC_S_TUNER:
    case VIDIOC_G_FREQUENCY:
    case VIDIOC_S_FREQUENCY:
    case VIDIOC_ENUM_FREQ_BANDS:
    case VIDIOC_QUERYCTRL:
    case VIDIOC_QUERY_EXT_CTRL:
    case VIDIOC_QUERYMENU:
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL:
    case VIDIOC_G_EXT_CTRLS:
    case VIDIOC_S_EXT_CTRLS:
    case VIDIOC_TRY_EXT_CTRLS:
    case VIDIOC_SUBSCRIBE_EVENT:
    case VIDIOC_UNSUBSCRIBE_EVENT:
    case VIDIOC_DQEVENT:
    case VIDIOC_ENUMINPUT:
    case VIDIOC_G_INPUT:
    case VIDIOC_S_INPUT:
    case VIDIOC_G_STD:
    case VIDIOC_S_STD:
    case VIDIOC_ENUMSTD:
    case VIDIOC_QUERYSTD:
    case VIDIOC_ENUM_FMT:
    case VIDIOC_G_FMT:
    case VIDIOC_TRY_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_ENUM_FRAMESIZES:
    case VIDIOC_ENUM_FRAMEINTERVALS:
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM:
    case VIDIOC_LOG_STATUS:
    case VIDIOC_REQBUFS:
    case VIDIOC_CREATE_BUFS:
    case VIDIOC_PREPARE_BUF:
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF:
    case VIDIOC_DQBUF:
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
    case VIDIOC_EXPBUF:
        return true;
    default:
        return false;
    }
}

// The ioctls the V4L2 core refuses (EBUSY) to a file whose priority is below
// another's (INFO_FL_PRIO).
bool PriorityChecked(unsigned long request)
{
    switch (request) {
    case VIDIOC_S_PRIORITY:
    case VIDIOC_S_TUNER:
    case VIDIOC_S_FREQUENCY:
    case VIDIOC_S_CTRL:
    case VIDIOC_S_EXT_CTRLS:
    case VIDIOC_S_INPUT:
    case VIDIOC_S_STD:
    case VIDIOC_S_FMT:
    case VIDIOC_S_PARM:
    case VIDIOC_REQBUFS:
    case VIDIOC_CREATE_BUFS:
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
        return true;
    default:
        return false;
    }
}

} // namespace

uint32_t TDriver::MaxPriority() const
{
    for (uint32_t p = V4L2_PRIORITY_RECORD; p > V4L2_PRIORITY_UNSET; --p)
        if (Shared->State.Priorities[p])
            return p;
    return V4L2_PRIORITY_UNSET;
}

int TDriver::SetPriority(TFile &f, uint32_t priority)
{
    if (priority < V4L2_PRIORITY_BACKGROUND || priority > V4L2_PRIORITY_RECORD)
        return EINVAL;
    // v4l2_prio_change: a second file cannot take the record priority.
    if (priority == V4L2_PRIORITY_RECORD && f.Priority != V4L2_PRIORITY_RECORD &&
        Shared->State.Priorities[V4L2_PRIORITY_RECORD])
        return EBUSY;
    --Shared->State.Priorities[f.Priority];
    ++Shared->State.Priorities[priority];
    f.Priority = priority;
    return 0;
}

int TDriver::Ioctl(int fd, unsigned long request, void *arg)
{
    std::unique_lock lock(Mutex);
    std::shared_ptr<TFile> file = FileOf(fd);
    if (!file)
        return EBADF;
    // An unplugged device answers nothing (v4l2_ioctl of an unregistered
    // node).
    if (Unplugged())
        return ENODEV;
    if (!Known(request))
        return ENOTTY;
    if (!arg && request != VIDIOC_LOG_STATUS)
        return EFAULT;
    if (PriorityChecked(request)) {
        TSharedLock shared(&Shared->Mutex);
        if (file->Priority < MaxPriority())
            return EBUSY;
    }
    switch (request) {
    case VIDIOC_REQBUFS:
    case VIDIOC_CREATE_BUFS:
    case VIDIOC_PREPARE_BUF:
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF:
    case VIDIOC_DQBUF:
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
    case VIDIOC_EXPBUF:
        if (file->Node != TNode::Video)
            return ENOTTY;
        return QueueIoctl(*file, request, arg, lock);
    default:
        break;
    }
    TSharedLock shared(&Shared->Mutex);
    return DeviceIoctl(*file, request, arg);
}

int TDriver::DeviceIoctl(TFile &f, unsigned long request, void *arg)
{
    TDeviceState &st = Shared->State;
    const bool video = f.Node == TNode::Video;
    switch (request) {
    case VIDIOC_QUERYCAP:
        return QueryCap(f, *static_cast<v4l2_capability *>(arg));
    case VIDIOC_G_PRIORITY:
        *static_cast<uint32_t *>(arg) = MaxPriority();
        return 0;
    case VIDIOC_S_PRIORITY:
        return SetPriority(f, *static_cast<uint32_t *>(arg));
    case VIDIOC_ENUM_FREQ_BANDS:
        return EnumFreqBands(f, *static_cast<v4l2_frequency_band *>(arg));
    case VIDIOC_G_TUNER:
        return GetTuner(f, *static_cast<v4l2_tuner *>(arg));
    case VIDIOC_S_TUNER: {
        auto *t = static_cast<v4l2_tuner *>(arg);
        if (t->index != 0 || (video ? !M.HasTuner : !M.HasRadio))
            return EINVAL;
        if (video) {
            st.AudMode = t->audmode;
        } else {
            // tuner_s_tuner: radio takes mono or stereo, anything else is
            // stereo; the call selects radio mode.
            st.RadioAudMode =
                t->audmode == V4L2_TUNER_MODE_MONO ? V4L2_TUNER_MODE_MONO : V4L2_TUNER_MODE_STEREO;
            st.TunerMode = V4L2_TUNER_RADIO;
            Retune();
        }
        Changed();
        return 0;
    }
    case VIDIOC_G_FREQUENCY: {
        auto *fr = static_cast<v4l2_frequency *>(arg);
        if (fr->tuner != 0 || (video ? !M.HasTuner : !M.HasRadio))
            return EINVAL;
        fr->type = video ? V4L2_TUNER_ANALOG_TV : V4L2_TUNER_RADIO;
        fr->frequency = video ? st.TvFrequency : st.RadioFrequency;
        memset(fr->reserved, 0, sizeof fr->reserved);
        return 0;
    }
    case VIDIOC_S_FREQUENCY:
        return SetFrequency(f, *static_cast<v4l2_frequency *>(arg));
    case VIDIOC_QUERYCTRL:
        return QueryCtrl(f, *static_cast<v4l2_queryctrl *>(arg));
    case VIDIOC_QUERY_EXT_CTRL: {
        auto *q = static_cast<v4l2_query_ext_ctrl *>(arg);
        v4l2_queryctrl basic{};
        basic.id = q->id;
        if (int err = QueryCtrl(f, basic))
            return err;
        memset(q, 0, sizeof *q);
        q->id = basic.id;
        q->type = basic.type;
        memcpy(q->name, basic.name, sizeof basic.name);
        q->minimum = basic.minimum, q->maximum = basic.maximum;
        q->step = uint64_t(basic.step), q->default_value = basic.default_value;
        q->flags = basic.flags;
        q->elem_size = basic.type == V4L2_CTRL_TYPE_CTRL_CLASS ? 0 : 4;
        q->elems = 1, q->nr_of_dims = 0;
        return 0;
    }
    case VIDIOC_QUERYMENU:
        return EINVAL;
    case VIDIOC_G_CTRL:
        return GetCtrl(f, *static_cast<v4l2_control *>(arg));
    case VIDIOC_S_CTRL:
        return SetCtrl(f, *static_cast<v4l2_control *>(arg));
    case VIDIOC_G_EXT_CTRLS:
    case VIDIOC_S_EXT_CTRLS:
    case VIDIOC_TRY_EXT_CTRLS:
        return ExtCtrls(f, *static_cast<v4l2_ext_controls *>(arg), request);
    case VIDIOC_SUBSCRIBE_EVENT:
        return Subscribe(f, *static_cast<v4l2_event_subscription *>(arg));
    case VIDIOC_UNSUBSCRIBE_EVENT: {
        auto *sub = static_cast<v4l2_event_subscription *>(arg);
        if (sub->type == V4L2_EVENT_ALL)
            f.Subscribed.clear(), f.Events.clear();
        else if (sub->type == V4L2_EVENT_CTRL)
            f.Subscribed.erase(sub->id);
        return 0;
    }
    case VIDIOC_DQEVENT:
        return DQEvent(f, *static_cast<v4l2_event *>(arg));
    default:
        break;
    }
    if (!video)
        return ENOTTY;
    switch (request) {
    case VIDIOC_ENUMINPUT:
        return EnumInput(*static_cast<v4l2_input *>(arg));
    case VIDIOC_G_INPUT:
        *static_cast<uint32_t *>(arg) = st.Input;
        return 0;
    case VIDIOC_S_INPUT: {
        const uint32_t index = *static_cast<uint32_t *>(arg);
        if (index >= M.Inputs.size())
            return EINVAL;
        st.Input = index;
        // saa7134's video_mux sets the standard again, which selects TV on
        // the tuner.
        if (M.VideoOpenSelectsTv && M.Inputs[index].Tuner)
            st.TunerMode = V4L2_TUNER_ANALOG_TV;
        Retune();
        return 0;
    }
    case VIDIOC_G_STD:
        *static_cast<v4l2_std_id *>(arg) = st.Std;
        return 0;
    case VIDIOC_S_STD:
        return SetStd(f, *static_cast<v4l2_std_id *>(arg));
    case VIDIOC_ENUMSTD:
        return EnumStd(*static_cast<v4l2_standard *>(arg));
    case VIDIOC_QUERYSTD: {
        if (!M.QueryStd)
            return ENOTTY;
        auto *id = static_cast<v4l2_std_id *>(arg);
        // v4l_querystd starts from the node's standards; the decoder tells
        // the line count of a picture it is locked to.
        *id = M.Norms;
        if (!PictureLocked())
            *id = V4L2_STD_UNKNOWN;
        else
            *id &= (st.Std & V4L2_STD_525_60) ? V4L2_STD_525_60 : V4L2_STD_625_50;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto *d = static_cast<v4l2_fmtdesc *>(arg);
        if (d->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || d->index >= M.Formats.size())
            return EINVAL;
        const uint32_t index = d->index;
        const TFormatInfo *info = FormatInfo(M.Formats[index]);
        memset(d, 0, sizeof *d);
        d->index = index;
        d->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        d->pixelformat = M.Formats[index];
        CopyText(d->description, sizeof d->description, info ? info->Description : "");
        return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_TRY_FMT:
    case VIDIOC_S_FMT:
        return Format(f, request, *static_cast<v4l2_format *>(arg));
    case VIDIOC_ENUM_FRAMESIZES:
        return EnumFrameSizes(*static_cast<v4l2_frmsizeenum *>(arg));
    case VIDIOC_G_PARM:
        return GetParm(*static_cast<v4l2_streamparm *>(arg));
    case VIDIOC_LOG_STATUS:
        return 0;
    default:
        return ENOTTY;
    }
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

const TControl *TDriver::Control(TFile &f, uint32_t id, int *index)
{
    for (size_t i = 0; i < M.Controls.size(); ++i)
        if (M.Controls[i].Id == id && (f.Node == TNode::Video || M.Controls[i].Radio)) {
            if (index)
                *index = int(i);
            return &M.Controls[i];
        }
    return nullptr;
}

int TDriver::QueryCtrl(TFile &f, v4l2_queryctrl &q)
{
    const bool next = q.id & V4L2_CTRL_FLAG_NEXT_CTRL;
    const uint32_t id = q.id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
    // The control framework lists the class control first (all these
    // controls are in the user class).
    const TControl *found = nullptr;
    bool classControl = false;
    if (!next && id >= V4L2_CID_PRIVATE_BASE) {
        // The old private range counts the driver's own user controls.
        uint32_t n = id - V4L2_CID_PRIVATE_BASE;
        for (const TControl &c : M.Controls)
            if ((c.Id & 0xffff) >= 0x1000 && (f.Node == TNode::Video || c.Radio) && n-- == 0) {
                found = &c;
                break;
            }
    } else if (next) {
        if (id < V4L2_CID_USER_CLASS) {
            classControl = true;
        } else {
            for (const TControl &c : M.Controls)
                if (c.Id > id && (f.Node == TNode::Video || c.Radio) &&
                    (!found || c.Id < found->Id))
                    found = &c;
        }
    } else if (id == V4L2_CID_USER_CLASS) {
        classControl = true;
    } else {
        found = Control(f, id, nullptr);
    }
    const bool privateId = !next && id >= V4L2_CID_PRIVATE_BASE;
    memset(&q, 0, sizeof q);
    if (classControl) {
        q.id = V4L2_CID_USER_CLASS;
        q.type = V4L2_CTRL_TYPE_CTRL_CLASS;
        CopyText(q.name, sizeof q.name, "User Controls");
        q.flags = V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY;
        return 0;
    }
    if (!found)
        return EINVAL;
    // A control found through the private range keeps the asked id.
    q.id = privateId ? id : found->Id;
    q.type = found->Type;
    CopyText(q.name, sizeof q.name, found->Name);
    q.minimum = found->Min, q.maximum = found->Max;
    q.step = found->Step, q.default_value = found->Default;
    q.flags = Slider(found->Id) ? V4L2_CTRL_FLAG_SLIDER : 0;
    return 0;
}

int TDriver::GetCtrl(TFile &f, v4l2_control &c)
{
    int index = 0;
    if (c.id == V4L2_CID_USER_CLASS)
        return EACCES;
    if (!Control(f, c.id, &index))
        return EINVAL;
    c.value = Shared->State.Controls[index];
    return 0;
}

int TDriver::SetCtrl(TFile &f, v4l2_control &c)
{
    int index = 0;
    if (c.id == V4L2_CID_USER_CLASS)
        return EACCES;
    const TControl *ctl = Control(f, c.id, &index);
    if (!ctl)
        return EINVAL;
    c.value = RoundToRange(*ctl, c.value);
    if (Shared->State.Controls[index] != c.value)
        ControlEvent(&f, *ctl, c.value, V4L2_EVENT_CTRL_CH_VALUE);
    Shared->State.Controls[index] = c.value;
    Changed();
    return 0;
}

void TDriver::ControlEvent(TFile *from, const TControl &c, int32_t value, uint32_t changes)
{
    for (auto &file : Files) {
        auto sub = file->Subscribed.find(c.Id);
        if (sub == file->Subscribed.end() ||
            (file.get() == from && !(sub->second & V4L2_EVENT_SUB_FL_ALLOW_FEEDBACK)))
            continue;
        v4l2_event e{};
        e.type = V4L2_EVENT_CTRL;
        e.id = c.Id;
        e.u.ctrl.changes = changes;
        e.u.ctrl.type = c.Type;
        e.u.ctrl.value = value;
        e.u.ctrl.flags = Slider(c.Id) ? V4L2_CTRL_FLAG_SLIDER : 0;
        e.u.ctrl.minimum = c.Min, e.u.ctrl.maximum = c.Max;
        e.u.ctrl.step = c.Step, e.u.ctrl.default_value = c.Default;
        const int64_t now = NowNs();
        e.timestamp.tv_sec = now / 1000000000, e.timestamp.tv_nsec = now % 1000000000;
        // One event per control waits: a newer one takes its place and keeps
        // both changes.
        bool merged = false;
        for (v4l2_event &old : file->Events)
            if (old.id == c.Id) {
                e.u.ctrl.changes |= old.u.ctrl.changes;
                old = e;
                merged = true;
            }
        if (!merged) {
            e.sequence = file->EventSequence++;
            file->Events.push_back(e);
        }
        SyncEvent(*file);
    }
}

int TDriver::Subscribe(TFile &f, const v4l2_event_subscription &sub)
{
    // v4l2_ctrl_subscribe_event: control events only, for existing controls.
    if (sub.type != V4L2_EVENT_CTRL)
        return EINVAL;
    if (sub.id == V4L2_CID_USER_CLASS) {
        f.Subscribed[sub.id] = sub.flags; // never changes, so never tells
        return 0;
    }
    int index = 0;
    const TControl *c = Control(f, sub.id, &index);
    if (!c)
        return EINVAL;
    f.Subscribed[sub.id] = sub.flags;
    if (sub.flags & V4L2_EVENT_SUB_FL_SEND_INITIAL) {
        const uint32_t allow = f.Subscribed[sub.id];
        f.Subscribed[sub.id] |= V4L2_EVENT_SUB_FL_ALLOW_FEEDBACK;
        ControlEvent(&f, *c, Shared->State.Controls[index],
                     V4L2_EVENT_CTRL_CH_VALUE | V4L2_EVENT_CTRL_CH_FLAGS);
        f.Subscribed[sub.id] = allow;
    }
    return 0;
}

int TDriver::DQEvent(TFile &f, v4l2_event &e)
{
    if (f.Events.empty())
        return ENOENT;
    e = f.Events.front();
    f.Events.pop_front();
    e.pending = uint32_t(f.Events.size());
    SyncEvent(f);
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

int TDriver::ExtCtrls(TFile &f, v4l2_ext_controls &c, unsigned long request)
{
    if (c.count && !c.controls)
        return EFAULT;
    if (c.which != V4L2_CTRL_WHICH_CUR_VAL && c.which != V4L2_CTRL_CLASS_USER &&
        c.which != V4L2_CTRL_WHICH_DEF_VAL)
        return EINVAL;
    // Defaults can be read, not set.
    if (c.which == V4L2_CTRL_WHICH_DEF_VAL && request != VIDIOC_G_EXT_CTRLS)
        return EINVAL;
    // The control framework names the failing control only for TRY; G and
    // S point past the list.
    for (uint32_t i = 0; i < c.count; ++i) {
        const uint32_t error = request == VIDIOC_TRY_EXT_CTRLS ? i : c.count;
        // The class control can be neither read nor written.
        if (c.controls[i].id == V4L2_CID_USER_CLASS) {
            c.error_idx = error;
            return EACCES;
        }
        if (!Control(f, c.controls[i].id, nullptr)) {
            c.error_idx = error;
            return EINVAL;
        }
    }
    for (uint32_t i = 0; i < c.count; ++i) {
        v4l2_ext_control &x = c.controls[i];
        int index = 0;
        const TControl *ctl = Control(f, x.id, &index);
        if (request == VIDIOC_G_EXT_CTRLS) {
            x.value =
                c.which == V4L2_CTRL_WHICH_DEF_VAL ? ctl->Default : Shared->State.Controls[index];
        } else {
            x.value = RoundToRange(*ctl, x.value);
            if (request == VIDIOC_S_EXT_CTRLS) {
                if (Shared->State.Controls[index] != x.value)
                    ControlEvent(&f, *ctl, x.value, V4L2_EVENT_CTRL_CH_VALUE);
                Shared->State.Controls[index] = x.value;
            }
        }
    }
    if (request == VIDIOC_S_EXT_CTRLS)
        Changed();
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
