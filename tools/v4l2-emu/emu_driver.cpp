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
    if (!Shared || !Shared->State.Unplugged)
        return false;
    const int64_t after = Shared->Faults.ReplugAfterNs;
    if (after < 0 || NowNs() < Shared->State.UnpluggedAtNs + after)
        return true;
    // Callers may hold the shared lock already (or another process does):
    // then the card comes back at a later call.
    const int locked = pthread_mutex_trylock(&Shared->Mutex);
    if (locked == EOWNERDEAD)
        pthread_mutex_consistent(&Shared->Mutex);
    else if (locked != 0)
        return true;
    TDeviceState &st = Shared->State;
    if (!st.Unplugged) {
        pthread_mutex_unlock(&Shared->Mutex);
        return false;
    }
    // Plugged back in: a fresh device with the state the driver keeps in
    // its card structure (input, standard, frequency), no queue, no files.
    st.Unplugged = 0;
    ++st.Generation;
    st.Streaming = 0;
    st.Buffers = 0;
    st.QueueOwner = 0;
    st.FirstStreamOnNs = 0;
    for (uint32_t &p : st.Priorities)
        p = 0;
    Shared->Faults.UnplugAfterNs = -1;
    Changed();
    pthread_mutex_unlock(&Shared->Mutex);
    return false;
}

bool TDriver::Gone(const TFile &f)
{
    return Unplugged() || f.Generation != Shared->State.Generation;
}

void TDriver::Changed()
{
    Shared->Serial.fetch_add(1);
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
    file->Generation = Shared->State.Generation;
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

int TDriver::Ioctl(int fd, unsigned long request, void *arg)
{
    std::unique_lock lock(Mutex);
    std::shared_ptr<TFile> file = FileOf(fd);
    if (!file)
        return EBADF;
    // An unplugged device answers nothing (v4l2_ioctl of an unregistered
    // node).
    if (Gone(*file))
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

} // namespace emu
