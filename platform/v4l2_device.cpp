#include "platform/v4l2_device.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/log.h"

namespace {

class TSystemV4l2 : public TV4l2Backend
{
public:
    QStringList Nodes() override
    {
        QStringList nodes;
        const QDir dev("/dev");
        for (const QString &name :
             dev.entryList({"video*", "radio*"}, QDir::System | QDir::Files, QDir::Name))
            nodes << dev.filePath(name);
        // video10 after video9.
        std::sort(nodes.begin(), nodes.end(), [](const QString &a, const QString &b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        return nodes;
    }
    int Open(const QString &path) override
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    }
    void Close(int fd) override { ::close(fd); }
    int Ioctl(int fd, unsigned long request, void *arg) override
    {
        int r;
        do
            r = ::ioctl(fd, request, arg);
        while (r < 0 && errno == EINTR);
        return r < 0 ? errno : 0;
    }
    QString DeviceAttribute(const QString &path, const QString &attribute) override
    {
        // /sys/class/video4linux/videoN/device is the interface; USB ids sit
        // one level up.
        const QString base = "/sys/class/video4linux/" + QFileInfo(path).fileName() + "/device/";
        for (const QString &candidate : {base + attribute, base + "../" + attribute}) {
            QFile f(candidate);
            if (f.open(QIODevice::ReadOnly))
                return QString::fromUtf8(f.readAll()).trimmed();
        }
        return {};
    }
    QString NodeName(const QString &path) override
    {
        QFile f("/sys/class/video4linux/" + QFileInfo(path).fileName() + "/name");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }
    QString NodeDriver(const QString &path) override
    {
        const QString link = QFileInfo("/sys/class/video4linux/" + QFileInfo(path).fileName() +
                                       "/device/driver")
                                 .symLinkTarget();
        return link.isEmpty() ? QString() : QFileInfo(link).fileName();
    }
};

std::shared_ptr<TV4l2Backend> &Installed()
{
    static std::shared_ptr<TV4l2Backend> backend = std::make_shared<TSystemV4l2>();
    return backend;
}

} // namespace

TV4l2Backend &V4l2Backend()
{
    return *Installed();
}

void SetV4l2Backend(std::shared_ptr<TV4l2Backend> backend)
{
    Installed() = backend ? std::move(backend) : std::make_shared<TSystemV4l2>();
}

int V4l2Ioctl(int fd, unsigned long request, void *arg, const char *name, const QString &path)
{
    const int err = V4l2Backend().Ioctl(fd, request, arg);
    if (err == ENOTTY)
        qCDebug(lcV4l2) << path << name << "not supported";
    else if (err)
        qCDebug(lcV4l2) << path << name << "failed:" << strerror(err);
    return err;
}

TV4l2Device::TV4l2Device(const QString &path) : DevicePath(path) {}

TV4l2Device::~TV4l2Device()
{
    Close();
}

void TV4l2Device::Close()
{
    if (Fd >= 0)
        V4l2Backend().Close(Fd);
    Fd = -1;
}

int TV4l2Device::Open()
{
    if (Fd >= 0)
        return 0;
    const int fd = V4l2Backend().Open(DevicePath);
    if (fd < 0) {
        qCDebug(lcV4l2) << DevicePath << "cannot open:" << strerror(-fd);
        return -fd;
    }
    Fd = fd;
    return 0;
}

int TV4l2Device::Call(unsigned long request, void *arg, const char *name)
{
    if (Fd < 0)
        return EBADF;
    return V4l2Ioctl(Fd, request, arg, name, DevicePath);
}

#define V4L2_CALL(request, arg) Call(request, arg, #request)

int TV4l2Device::QueryCap(v4l2_capability &cap)
{
    return V4L2_CALL(VIDIOC_QUERYCAP, &cap);
}
int TV4l2Device::EnumInput(v4l2_input &input)
{
    return V4L2_CALL(VIDIOC_ENUMINPUT, &input);
}
int TV4l2Device::GetInput(int &index)
{
    return V4L2_CALL(VIDIOC_G_INPUT, &index);
}
int TV4l2Device::SetInput(int index)
{
    return V4L2_CALL(VIDIOC_S_INPUT, &index);
}
int TV4l2Device::GetTuner(v4l2_tuner &tuner)
{
    return V4L2_CALL(VIDIOC_G_TUNER, &tuner);
}
int TV4l2Device::SetTuner(const v4l2_tuner &tuner)
{
    v4l2_tuner t = tuner;
    return V4L2_CALL(VIDIOC_S_TUNER, &t);
}
int TV4l2Device::GetFrequency(v4l2_frequency &f)
{
    return V4L2_CALL(VIDIOC_G_FREQUENCY, &f);
}
int TV4l2Device::SetFrequency(const v4l2_frequency &frequency)
{
    v4l2_frequency f = frequency;
    return V4L2_CALL(VIDIOC_S_FREQUENCY, &f);
}
int TV4l2Device::GetStd(v4l2_std_id &std) { return V4L2_CALL(VIDIOC_G_STD, &std); }
int TV4l2Device::SetStd(v4l2_std_id std) { return V4L2_CALL(VIDIOC_S_STD, &std); }
int TV4l2Device::QueryStd(v4l2_std_id &std) { return V4L2_CALL(VIDIOC_QUERYSTD, &std); }
int TV4l2Device::EnumStd(v4l2_standard &standard) { return V4L2_CALL(VIDIOC_ENUMSTD, &standard); }
int TV4l2Device::QueryCtrl(v4l2_queryctrl &control) { return V4L2_CALL(VIDIOC_QUERYCTRL, &control); }
int TV4l2Device::GetCtrl(v4l2_control &control) { return V4L2_CALL(VIDIOC_G_CTRL, &control); }
int TV4l2Device::SetCtrl(const v4l2_control &control)
{
    v4l2_control c = control;
    return V4L2_CALL(VIDIOC_S_CTRL, &c);
}
int TV4l2Device::EnumFmt(v4l2_fmtdesc &format) { return V4L2_CALL(VIDIOC_ENUM_FMT, &format); }
int TV4l2Device::TryFmt(v4l2_format &format) { return V4L2_CALL(VIDIOC_TRY_FMT, &format); }
int TV4l2Device::GetFmt(v4l2_format &format) { return V4L2_CALL(VIDIOC_G_FMT, &format); }
int TV4l2Device::EnumFrameSizes(v4l2_frmsizeenum &size)
{
    return V4L2_CALL(VIDIOC_ENUM_FRAMESIZES, &size);
}
int TV4l2Device::GetParm(v4l2_streamparm &parm) { return V4L2_CALL(VIDIOC_G_PARM, &parm); }
