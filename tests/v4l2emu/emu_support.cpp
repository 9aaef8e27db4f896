#include "emu_support.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace emutest {

const emu::TModel *Model()
{
    static emu::TModel model;
    static const bool loaded = [] {
        const char *path = getenv("LYRA_V4L2_EMU_MODEL");
        std::string error;
        return path && emu::LoadModel(path, model, error);
    }();
    return loaded ? &model : nullptr;
}

bool RadioNode()
{
    const char *radio = getenv("LYRA_V4L2_EMU_RADIO");
    return radio && std::string(radio) == "1";
}

int Ioctl(int fd, unsigned long request, void *arg)
{
    int r;
    do
        r = ioctl(fd, request, arg);
    while (r < 0 && errno == EINTR);
    return r < 0 ? errno : 0;
}

TNode::TNode(const char *path, int flags)
{
    Fd = open(path, flags);
    OpenError = Fd < 0 ? errno : 0;
}

TNode::~TNode()
{
    if (Fd >= 0)
        close(Fd);
}

TStream::TStream(int fd, uint32_t count) : Fd(fd)
{
    v4l2_requestbuffers r{};
    r.count = count;
    r.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    r.memory = V4L2_MEMORY_MMAP;
    if ((Error = Ioctl(fd, VIDIOC_REQBUFS, &r)))
        return;
    for (uint32_t i = 0; i < r.count; ++i) {
        v4l2_buffer b{};
        b.index = i;
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        if ((Error = Ioctl(fd, VIDIOC_QUERYBUF, &b)))
            return;
        void *p = mmap(nullptr, b.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, b.m.offset);
        if (p == MAP_FAILED) {
            Error = errno;
            return;
        }
        Length = b.length;
        Maps.push_back(static_cast<uint8_t *>(p));
        if ((Error = Queue(i)))
            return;
    }
}

TStream::~TStream()
{
    Stop();
    for (uint8_t *p : Maps)
        munmap(p, Length);
    v4l2_requestbuffers r{};
    r.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    r.memory = V4L2_MEMORY_MMAP;
    Ioctl(Fd, VIDIOC_REQBUFS, &r);
}

int TStream::Start()
{
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return Ioctl(Fd, VIDIOC_STREAMON, &type);
}

int TStream::Stop()
{
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return Ioctl(Fd, VIDIOC_STREAMOFF, &type);
}

int TStream::Queue(uint32_t index)
{
    v4l2_buffer b{};
    b.index = index;
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    return Ioctl(Fd, VIDIOC_QBUF, &b);
}

int TStream::Next(v4l2_buffer &b, int timeoutMs)
{
    pollfd p{Fd, POLLIN, 0};
    const int n = poll(&p, 1, timeoutMs);
    if (n < 0)
        return errno;
    if (n == 0)
        return ETIMEDOUT;
    b = {};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    return Ioctl(Fd, VIDIOC_DQBUF, &b);
}

v4l2_pix_format SetFormat(int fd, uint32_t fourcc, uint32_t width, uint32_t height)
{
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    f.fmt.pix.pixelformat = fourcc;
    f.fmt.pix.width = width;
    f.fmt.pix.height = height;
    f.fmt.pix.field = V4L2_FIELD_ANY;
    Ioctl(fd, VIDIOC_S_FMT, &f);
    return f.fmt.pix;
}

double MeanLuma(const uint8_t *yuyv, const v4l2_pix_format &pix)
{
    double sum = 0;
    const size_t n = size_t(pix.width) * pix.height;
    for (size_t i = 0; i < n; ++i)
        sum += yuyv[2 * i];
    return n ? sum / double(n) : 0;
}

double Difference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b)
{
    if (a.size() != b.size() || a.empty())
        return 255;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

bool CaptureUntil(int fd, const std::function<bool(const std::vector<uint8_t> &)> &done,
                  std::vector<uint8_t> &picture, int timeoutMs)
{
    TStream stream(fd, 3);
    if (stream.Error || stream.Start())
        return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < until) {
        v4l2_buffer b{};
        if (stream.Next(b))
            return false;
        picture.assign(stream.Data(b.index), stream.Data(b.index) + b.bytesused);
        stream.Queue(b.index);
        if (done(picture))
            return true;
    }
    return false;
}

int64_t Ns(const timeval &t)
{
    return int64_t(t.tv_sec) * 1000000000 + int64_t(t.tv_usec) * 1000;
}

} // namespace emutest
