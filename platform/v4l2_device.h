// The V4L2 seam. Every ioctl the program issues goes through V4l2Ioctl,
// which logs the command's name with the device path and returns the errno
// value (0 on success; ENOTTY means "not supported", not "failed"). The
// backend is injectable: tests install a replay of recorded card answers.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include <linux/videodev2.h>

class TV4l2Backend
{
public:
    virtual ~TV4l2Backend() = default;
    // Device nodes to look at: "/dev/videoN" and "/dev/radioN", sorted.
    virtual QStringList Nodes() = 0;
    // A file descriptor, or -errno.
    virtual int Open(const QString &path) = 0;
    virtual void Close(int fd) = 0;
    // 0 or the errno value.
    virtual int Ioctl(int fd, unsigned long request, void *arg) = 0;
    // A sysfs attribute of the node's device ("idProduct"); empty if none.
    virtual QString DeviceAttribute(const QString &path, const QString &attribute) = 0;
    // The node's own name in sysfs ("saa7134[0] video (...)") and the
    // driver its device is bound to: what tells a card another program holds
    // (its node cannot be opened). Empty if unknown.
    virtual QString NodeName(const QString &path) { return {}; }
    virtual QString NodeDriver(const QString &path) { return {}; }
};

// The installed backend (the system's unless one was set).
TV4l2Backend &V4l2Backend();
// Installs a backend; null restores the system's.
void SetV4l2Backend(std::shared_ptr<TV4l2Backend> backend);

int V4l2Ioctl(int fd, unsigned long request, void *arg, const char *name, const QString &path);

// An open device node with one small method per ioctl. Not copyable; the
// descriptor is closed with the object.
class TV4l2Device
{
public:
    explicit TV4l2Device(const QString &path);
    ~TV4l2Device();
    TV4l2Device(const TV4l2Device &) = delete;
    TV4l2Device &operator=(const TV4l2Device &) = delete;

    // 0 or errno.
    int Open();
    // Safe when not open.
    void Close();
    bool IsOpen() const { return Fd >= 0; }
    const QString &Path() const { return DevicePath; }

    int QueryCap(v4l2_capability &cap);
    int EnumInput(v4l2_input &input);
    int GetInput(int &index);
    int SetInput(int index);
    int GetTuner(v4l2_tuner &tuner);
    int SetTuner(const v4l2_tuner &tuner);
    int GetFrequency(v4l2_frequency &frequency);
    int SetFrequency(const v4l2_frequency &frequency);
    int GetStd(v4l2_std_id &std);
    int QueryStd(v4l2_std_id &std);
    int SetStd(v4l2_std_id std);
    int EnumStd(v4l2_standard &standard);
    int QueryCtrl(v4l2_queryctrl &control);
    int GetCtrl(v4l2_control &control);
    int SetCtrl(const v4l2_control &control);
    int EnumFmt(v4l2_fmtdesc &format);
    int TryFmt(v4l2_format &format);
    int GetFmt(v4l2_format &format);
    int EnumFrameSizes(v4l2_frmsizeenum &size);
    int GetParm(v4l2_streamparm &parm);

private:
    int Call(unsigned long request, void *arg, const char *name);
    QString DevicePath;
    int Fd = -1;
};
