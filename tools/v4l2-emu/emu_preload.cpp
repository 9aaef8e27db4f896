// The preload library: the C library calls through which a program (Lyra,
// GStreamer's v4l2src, v4l2-ctl...) reaches a V4L2 device, answered for the
// emulated nodes /dev/video0 and /dev/radio0 and for the card's sysfs
// entries; everything else goes to the C library unchanged.
//
// The functions get their symbol names through asm labels, so they do not
// clash with the C library's declarations; the real functions are looked up
// with dlsym(RTLD_NEXT) on first use. An emulated file is an eventfd, so a
// wait on it that is not interposed (epoll, a direct syscall) still wakes
// when a buffer is done.
#include "emu_preload.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "emu_driver.h"

using namespace emu;
using namespace emupreload;

namespace emupreload {

// ---- paths ----

const TPaths &Paths()
{
    static const TPaths paths = [] {
        TPaths p;
        const char *root = getenv(EnvSysfs);
        const char *list = getenv("LYRA_V4L2_EMU_SYSFS_PATHS");
        p.Active = getenv(EnvShared) && getenv(EnvModel);
        const char *radio = getenv(EnvRadio);
        p.Radio = radio && strcmp(radio, "1") == 0;
        if (root)
            p.Root = root;
        std::string rest = list ? list : "";
        size_t start = 0;
        while (start < rest.size()) {
            size_t end = rest.find(':', start);
            // Sysfs names contain ':' (PCI slots): entries are separated by
            // ":/" boundaries.
            while (end != std::string::npos && end + 1 < rest.size() && rest[end + 1] != '/')
                end = rest.find(':', end + 1);
            p.Redirect.push_back(rest.substr(start, end == std::string::npos ? end : end - start));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        return p;
    }();
    return paths;
}

// The driver, initialised on the first use of an emulated path or fd.
TDriver *Emu()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        ok = Driver().Init();
        if (ok)
            pthread_atfork([] { Driver().Mutex.lock(); }, [] { Driver().Mutex.unlock(); },
                           [] {
                               Driver().Mutex.unlock();
                               Driver().AfterForkInChild();
                           });
    });
    return ok ? &Driver() : nullptr;
}

// 1: video node, 2: radio node, 0: neither.
int DeviceNode(const char *path)
{
    if (!path || strncmp(path, "/dev/", 5) != 0 || !Paths().Active)
        return 0;
    if (strcmp(path, "/dev/video0") == 0)
        return 1;
    if (strcmp(path, "/dev/radio0") == 0 && Paths().Radio)
        return 2;
    return 0;
}

bool Under(const std::string &path, const std::string &prefix)
{
    return path.compare(0, prefix.size(), prefix) == 0 &&
           (path.size() == prefix.size() || path[prefix.size()] == '/');
}

// The view's copy of a redirected sysfs path; empty when not redirected.
// An unplugged card's entries are gone: "" with `gone` set.
std::string SysfsPath(const char *path, bool *gone)
{
    if (gone)
        *gone = false;
    if (!path || strncmp(path, "/sys/", 5) != 0 || !Paths().Active || Paths().Root.empty())
        return {};
    std::string p = path;
    while (p.size() > 5 && p.back() == '/')
        p.pop_back();
    bool parent = false;
    for (const std::string &prefix : Paths().Redirect) {
        if (Under(p, prefix)) {
            TDriver *d = Emu();
            if (d && d->Unplugged()) {
                if (gone)
                    *gone = true;
                return {};
            }
            return Paths().Root + p;
        }
        parent = parent || Under(prefix, p);
    }
    // A folder above the card's entries that the kernel never made (no V4L2
    // or sound driver loaded here): the view's copy.
    if (parent && syscall(SYS_faccessat, AT_FDCWD, p.c_str(), F_OK, 0) != 0)
        return Paths().Root + p;
    return {};
}

// A path with sysfs redirection applied; `keep` holds the storage.
const char *Mapped(const char *path, std::string &keep, bool *gone)
{
    keep = SysfsPath(path, gone);
    return keep.empty() ? path : keep.c_str();
}

void FillStat(int node, struct stat *st)
{
    memset(st, 0, sizeof *st);
    st->st_dev = makedev(0, 5);
    st->st_ino = node == 1 ? 1000 : 1002;
    st->st_mode = S_IFCHR | 0660;
    st->st_nlink = 1;
    st->st_uid = 0;
    st->st_gid = 44; // "video"
    st->st_rdev = makedev(VideoMajor, node == 1 ? VideoMinor : RadioMinor);
    st->st_blksize = 4096;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    st->st_atim = st->st_mtim = st->st_ctim = now;
}

void FillStatx(int node, struct statx *sx)
{
    struct stat st;
    FillStat(node, &st);
    memset(sx, 0, sizeof *sx);
    sx->stx_mask = STATX_BASIC_STATS;
    sx->stx_blksize = uint32_t(st.st_blksize);
    sx->stx_nlink = uint32_t(st.st_nlink);
    sx->stx_uid = st.st_uid;
    sx->stx_gid = st.st_gid;
    sx->stx_mode = uint16_t(st.st_mode);
    sx->stx_ino = st.st_ino;
    sx->stx_atime = {st.st_atim.tv_sec, uint32_t(st.st_atim.tv_nsec), 0};
    sx->stx_mtime = sx->stx_ctime = sx->stx_btime = sx->stx_atime;
    sx->stx_rdev_major = major(st.st_rdev);
    sx->stx_rdev_minor = minor(st.st_rdev);
    sx->stx_dev_major = major(st.st_dev);
    sx->stx_dev_minor = minor(st.st_dev);
}

int NodeOfFd(int fd)
{
    if (!TDriver::IsFake(fd))
        return 0;
    TDriver *d = Emu();
    if (!d)
        return 0;
    std::lock_guard lock(d->Mutex);
    auto f = d->FileOf(fd);
    return f ? (f->Node == TNode::Video ? 1 : 2) : 0;
}

int Fail(int err)
{
    errno = err;
    return -1;
}

} // namespace emupreload

namespace {

// ---- open ----

int OpenDevice(int node, int flags)
{
    TDriver *d = Emu();
    if (!d)
        return Fail(ENOENT);
    const int fd = d->Open(node == 1 ? TNode::Video : TNode::Radio, flags);
    return fd < 0 ? Fail(-fd) : fd;
}

mode_t ModeArg(int flags, va_list ap)
{
    return (flags & (O_CREAT | O_TMPFILE)) ? mode_t(va_arg(ap, int)) : 0;
}

int OpenAt(int dirfd, const char *path, int flags, mode_t mode)
{
    REAL(openat, int (*)(int, const char *, int, ...));
    if (const int node = DeviceNode(path))
        return OpenDevice(node, flags);
    bool gone = false;
    std::string keep;
    const char *p = Mapped(path, keep, &gone);
    if (gone)
        return Fail(ENOENT);
    return real_openat(dirfd, p, flags, mode);
}

void AfterDup(int from, int to)
{
    if (to < 0)
        return;
    if (TDriver::IsFake(to))
        Driver().ForgetFd(to); // dup2 onto an emulated fd closed it
    if (TDriver *d = Emu(); d && TDriver::IsFake(from))
        d->AddFd(from, to);
}

} // namespace

// ---- open, close ----

EXPORT int EmuOpen(const char *path, int flags, ...) __asm__("open");
int EmuOpen(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArg(flags, ap);
    va_end(ap);
    return OpenAt(AT_FDCWD, path, flags, mode);
}

EXPORT int EmuOpen64(const char *path, int flags, ...) __asm__("open64");
int EmuOpen64(const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArg(flags, ap);
    va_end(ap);
    return OpenAt(AT_FDCWD, path, flags | O_LARGEFILE, mode);
}

EXPORT int EmuOpenAt(int dirfd, const char *path, int flags, ...) __asm__("openat");
int EmuOpenAt(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArg(flags, ap);
    va_end(ap);
    return OpenAt(dirfd, path, flags, mode);
}

EXPORT int EmuOpenAt64(int dirfd, const char *path, int flags, ...) __asm__("openat64");
int EmuOpenAt64(int dirfd, const char *path, int flags, ...)
{
    va_list ap;
    va_start(ap, flags);
    const mode_t mode = ModeArg(flags, ap);
    va_end(ap);
    return OpenAt(dirfd, path, flags | O_LARGEFILE, mode);
}

// The fortified variants (_FORTIFY_SOURCE builds).
EXPORT int EmuOpen2(const char *path, int flags) __asm__("__open_2");
int EmuOpen2(const char *path, int flags)
{
    return OpenAt(AT_FDCWD, path, flags, 0);
}
EXPORT int EmuOpen64_2(const char *path, int flags) __asm__("__open64_2");
int EmuOpen64_2(const char *path, int flags)
{
    return OpenAt(AT_FDCWD, path, flags, 0);
}
EXPORT int EmuOpenAt2(int dirfd, const char *path, int flags) __asm__("__openat_2");
int EmuOpenAt2(int dirfd, const char *path, int flags)
{
    return OpenAt(dirfd, path, flags, 0);
}
EXPORT int EmuOpenAt64_2(int dirfd, const char *path, int flags) __asm__("__openat64_2");
int EmuOpenAt64_2(int dirfd, const char *path, int flags)
{
    return OpenAt(dirfd, path, flags, 0);
}

EXPORT FILE *EmuFopen(const char *path, const char *mode) __asm__("fopen");
FILE *EmuFopen(const char *path, const char *mode)
{
    REAL(fopen, FILE * (*)(const char *, const char *));
    if (const int node = DeviceNode(path)) {
        const int fd = OpenDevice(node, strchr(mode, '+') || *mode != 'r' ? O_RDWR : O_RDONLY);
        return fd < 0 ? nullptr : fdopen(fd, mode);
    }
    bool gone = false;
    std::string keep;
    const char *p = Mapped(path, keep, &gone);
    if (gone) {
        errno = ENOENT;
        return nullptr;
    }
    return real_fopen(p, mode);
}

EXPORT FILE *EmuFopen64(const char *path, const char *mode) __asm__("fopen64");
FILE *EmuFopen64(const char *path, const char *mode)
{
    return EmuFopen(path, mode);
}

EXPORT int EmuClose(int fd) __asm__("close");
int EmuClose(int fd)
{
    REAL(close, int (*)(int));
    if (TDriver::IsFake(fd))
        Driver().ForgetFd(fd);
    return real_close(fd);
}

EXPORT int EmuCloseRange(unsigned first, unsigned last, int flags) __asm__("close_range");
int EmuCloseRange(unsigned first, unsigned last, int flags)
{
    if (!(flags & CLOSE_RANGE_CLOEXEC))
        for (unsigned fd = first; fd <= last && fd < (1u << 16); ++fd)
            if (TDriver::IsFake(int(fd)))
                Driver().ForgetFd(int(fd));
    return int(syscall(SYS_close_range, first, last, flags));
}

// ---- dup, fcntl ----

EXPORT int EmuDup(int fd) __asm__("dup");
int EmuDup(int fd)
{
    REAL(dup, int (*)(int));
    const int to = real_dup(fd);
    AfterDup(fd, to);
    return to;
}

EXPORT int EmuDup2(int fd, int to) __asm__("dup2");
int EmuDup2(int fd, int to)
{
    REAL(dup2, int (*)(int, int));
    if (fd == to)
        return real_dup2(fd, to);
    const int r = real_dup2(fd, to);
    AfterDup(fd, r);
    return r;
}

EXPORT int EmuDup3(int fd, int to, int flags) __asm__("dup3");
int EmuDup3(int fd, int to, int flags)
{
    REAL(dup3, int (*)(int, int, int));
    const int r = real_dup3(fd, to, flags);
    AfterDup(fd, r);
    return r;
}

static int FcntlCommon(int fd, int cmd, void *arg)
{
    REAL(fcntl, int (*)(int, int, ...));
    const int r = real_fcntl(fd, cmd, arg);
    if (!TDriver::IsFake(fd) || r < 0)
        return r;
    switch (cmd) {
    case F_DUPFD:
    case F_DUPFD_CLOEXEC:
        AfterDup(fd, r);
        return r;
    case F_GETFL:
        return Driver().FileFlags(fd, r);
    case F_SETFL:
        Driver().SetFileFlags(fd, int(reinterpret_cast<intptr_t>(arg)));
        return r;
    default:
        return r;
    }
}

EXPORT int EmuFcntl(int fd, int cmd, ...) __asm__("fcntl");
int EmuFcntl(int fd, int cmd, ...)
{
    va_list ap;
    va_start(ap, cmd);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    return FcntlCommon(fd, cmd, arg);
}

EXPORT int EmuFcntl64(int fd, int cmd, ...) __asm__("fcntl64");
int EmuFcntl64(int fd, int cmd, ...)
{
    va_list ap;
    va_start(ap, cmd);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    return FcntlCommon(fd, cmd, arg);
}

// ---- ioctl, mmap, read, write ----

EXPORT int EmuIoctl(int fd, unsigned long request, ...) __asm__("ioctl");
int EmuIoctl(int fd, unsigned long request, ...)
{
    REAL(ioctl, int (*)(int, unsigned long, ...));
    va_list ap;
    va_start(ap, request);
    void *arg = va_arg(ap, void *);
    va_end(ap);
    if (!TDriver::IsFake(fd))
        return real_ioctl(fd, request, arg);
    const int err = Driver().Ioctl(fd, request, arg);
    return err ? Fail(err) : 0;
}

static void *MmapCommon(void *addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    REAL(mmap, void *(*)(void *, size_t, int, int, int, off_t));
    if (!TDriver::IsFake(fd) || (flags & MAP_ANONYMOUS))
        return real_mmap(addr, length, prot, flags, fd, offset);
    int memFd = -1;
    const int err = Driver().MmapTarget(fd, length, prot, flags, offset, memFd);
    if (err < 0) {
        errno = -err;
        return MAP_FAILED;
    }
    void *p = real_mmap(addr, length, prot, flags, memFd, 0);
    syscall(SYS_close, memFd);
    if (p != MAP_FAILED)
        Driver().Mapped(p, length, fd, offset);
    return p;
}

EXPORT void *EmuMmap(void *addr, size_t length, int prot, int flags, int fd,
                     off_t offset) __asm__("mmap");
void *EmuMmap(void *addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    return MmapCommon(addr, length, prot, flags, fd, offset);
}

EXPORT void *EmuMmap64(void *addr, size_t length, int prot, int flags, int fd,
                       off_t offset) __asm__("mmap64");
void *EmuMmap64(void *addr, size_t length, int prot, int flags, int fd, off_t offset)
{
    return MmapCommon(addr, length, prot, flags, fd, offset);
}

EXPORT int EmuMunmap(void *addr, size_t length) __asm__("munmap");
int EmuMunmap(void *addr, size_t length)
{
    REAL(munmap, int (*)(void *, size_t));
    const int r = real_munmap(addr, length);
    if (r == 0 && Paths().Active)
        if (TDriver *d = Emu())
            d->Unmapped(addr);
    return r;
}

EXPORT ssize_t EmuRead(int fd, void *data, size_t count) __asm__("read");
ssize_t EmuRead(int fd, void *data, size_t count)
{
    REAL(read, ssize_t(*)(int, void *, size_t));
    if (!TDriver::IsFake(fd))
        return real_read(fd, data, count);
    const ssize_t r = Driver().Read(fd, data, count);
    return r < 0 ? Fail(int(-r)) : r;
}

EXPORT ssize_t EmuReadChk(int fd, void *data, size_t count, size_t) __asm__("__read_chk");
ssize_t EmuReadChk(int fd, void *data, size_t count, size_t)
{
    return EmuRead(fd, data, count);
}

EXPORT ssize_t EmuWrite(int fd, const void *data, size_t count) __asm__("write");
ssize_t EmuWrite(int fd, const void *data, size_t count)
{
    REAL(write, ssize_t(*)(int, const void *, size_t));
    if (!TDriver::IsFake(fd))
        return real_write(fd, data, count);
    return Fail(Driver().Unplugged() ? ENODEV : EINVAL); // capture nodes take no writes
}
