// The preload library's answers about paths: stat and its variants, access,
// links, extended attributes, and the listings of /dev and the card's sysfs
// folders.
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
#include "emu_preload.h"

using namespace emu;
using namespace emupreload;

namespace {

// ---- /dev and sysfs listings ----

struct TListing
{
    std::vector<std::pair<std::string, unsigned char>> Extra;
    size_t Next = 0;
    dirent64 Entry{};
};
std::mutex ListingMutex;
std::map<DIR *, TListing> Listings;

std::vector<std::pair<std::string, unsigned char>> ExtraEntries(const std::string &dir)
{
    std::vector<std::pair<std::string, unsigned char>> extra;
    if (!Paths().Active)
        return extra;
    TDriver *d = nullptr;
    if (dir == "/dev" || dir == "/dev/") {
        d = Emu();
        if (d && !d->Unplugged()) {
            extra.push_back({"video0", DT_CHR});
            if (d->RadioNode)
                extra.push_back({"radio0", DT_CHR});
        }
        return extra;
    }
    for (const std::string &prefix : Paths().Redirect) {
        const size_t slash = prefix.rfind('/');
        if (slash == std::string::npos || prefix.substr(0, slash) != dir)
            continue;
        d = Emu();
        if (!d || d->Unplugged())
            return {};
        struct stat st;
        const std::string copy = Paths().Root + prefix;
        unsigned char type = DT_UNKNOWN;
        if (lstat(copy.c_str(), &st) == 0)
            type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISDIR(st.st_mode) ? DT_DIR : DT_REG;
        extra.push_back({prefix.substr(slash + 1), type});
    }
    return extra;
}

bool IsExtra(const TListing &l, const char *name)
{
    for (auto &[n, t] : l.Extra)
        if (n == name)
            return true;
    return false;
}

// A readdir of a listing that may carry emulated entries after the real
// ones (which hide real entries of the same names).
template <typename Dirent, typename Fn> Dirent *ReadDir(DIR *dir, Fn real)
{
    {
        std::lock_guard lock(ListingMutex);
        if (Listings.find(dir) == Listings.end())
            return real(dir);
    }
    for (;;) {
        Dirent *e = real(dir);
        std::lock_guard lock(ListingMutex);
        TListing &l = Listings[dir];
        if (e) {
            if (IsExtra(l, e->d_name))
                continue;
            return e;
        }
        if (l.Next >= l.Extra.size())
            return nullptr;
        auto &[name, type] = l.Extra[l.Next++];
        memset(&l.Entry, 0, sizeof l.Entry);
        l.Entry.d_ino = 1000 + l.Next;
        l.Entry.d_reclen = sizeof l.Entry;
        l.Entry.d_type = type;
        snprintf(l.Entry.d_name, sizeof l.Entry.d_name, "%s", name.c_str());
        static_assert(sizeof(dirent) == sizeof(dirent64));
        return reinterpret_cast<Dirent *>(&l.Entry);
    }
}

} // namespace

// ---- stat ----

namespace {

int StatPath(const char *path, struct stat *st, bool follow)
{
    REAL(stat, int (*)(const char *, struct stat *));
    REAL(lstat, int (*)(const char *, struct stat *));
    if (const int node = DeviceNode(path)) {
        TDriver *d = Emu();
        if (!d || d->Unplugged())
            return Fail(ENOENT);
        FillStat(node, st);
        return 0;
    }
    bool gone = false;
    std::string keep;
    const char *p = Mapped(path, keep, &gone);
    if (gone)
        return Fail(ENOENT);
    return follow ? real_stat(p, st) : real_lstat(p, st);
}

int StatFd(int fd, struct stat *st)
{
    REAL(fstat, int (*)(int, struct stat *));
    if (const int node = NodeOfFd(fd)) {
        FillStat(node, st);
        return 0;
    }
    return real_fstat(fd, st);
}

int StatAt(int dirfd, const char *path, struct stat *st, int flags)
{
    REAL(fstatat, int (*)(int, const char *, struct stat *, int));
    if ((flags & AT_EMPTY_PATH) && path && !*path)
        return StatFd(dirfd, st);
    if (path && path[0] == '/' && (DeviceNode(path) || !SysfsPath(path).empty()))
        return StatPath(path, st, !(flags & AT_SYMLINK_NOFOLLOW));
    return real_fstatat(dirfd, path, st, flags);
}

} // namespace

EXPORT int EmuStat(const char *path, struct stat *st) __asm__("stat");
int EmuStat(const char *path, struct stat *st)
{
    return StatPath(path, st, true);
}
EXPORT int EmuStat64(const char *path, struct stat *st) __asm__("stat64");
int EmuStat64(const char *path, struct stat *st)
{
    return StatPath(path, st, true);
}
EXPORT int EmuLstat(const char *path, struct stat *st) __asm__("lstat");
int EmuLstat(const char *path, struct stat *st)
{
    return StatPath(path, st, false);
}
EXPORT int EmuLstat64(const char *path, struct stat *st) __asm__("lstat64");
int EmuLstat64(const char *path, struct stat *st)
{
    return StatPath(path, st, false);
}
EXPORT int EmuFstat(int fd, struct stat *st) __asm__("fstat");
int EmuFstat(int fd, struct stat *st)
{
    return StatFd(fd, st);
}
EXPORT int EmuFstat64(int fd, struct stat *st) __asm__("fstat64");
int EmuFstat64(int fd, struct stat *st)
{
    return StatFd(fd, st);
}
EXPORT int EmuFstatat(int dirfd, const char *path, struct stat *st, int flags) __asm__("fstatat");
int EmuFstatat(int dirfd, const char *path, struct stat *st, int flags)
{
    return StatAt(dirfd, path, st, flags);
}
EXPORT int EmuFstatat64(int dirfd, const char *path, struct stat *st,
                        int flags) __asm__("fstatat64");
int EmuFstatat64(int dirfd, const char *path, struct stat *st, int flags)
{
    return StatAt(dirfd, path, st, flags);
}

// glibc before 2.33 called these from the stat inlines; programs built then
// still do.
EXPORT int EmuXstat(int, const char *path, struct stat *st) __asm__("__xstat");
int EmuXstat(int, const char *path, struct stat *st)
{
    return StatPath(path, st, true);
}
EXPORT int EmuXstat64(int, const char *path, struct stat *st) __asm__("__xstat64");
int EmuXstat64(int, const char *path, struct stat *st)
{
    return StatPath(path, st, true);
}
EXPORT int EmuLxstat(int, const char *path, struct stat *st) __asm__("__lxstat");
int EmuLxstat(int, const char *path, struct stat *st)
{
    return StatPath(path, st, false);
}
EXPORT int EmuLxstat64(int, const char *path, struct stat *st) __asm__("__lxstat64");
int EmuLxstat64(int, const char *path, struct stat *st)
{
    return StatPath(path, st, false);
}
EXPORT int EmuFxstat(int, int fd, struct stat *st) __asm__("__fxstat");
int EmuFxstat(int, int fd, struct stat *st)
{
    return StatFd(fd, st);
}
EXPORT int EmuFxstat64(int, int fd, struct stat *st) __asm__("__fxstat64");
int EmuFxstat64(int, int fd, struct stat *st)
{
    return StatFd(fd, st);
}
EXPORT int EmuFxstatat(int, int dirfd, const char *path, struct stat *st,
                       int flags) __asm__("__fxstatat");
int EmuFxstatat(int, int dirfd, const char *path, struct stat *st, int flags)
{
    return StatAt(dirfd, path, st, flags);
}
EXPORT int EmuFxstatat64(int, int dirfd, const char *path, struct stat *st,
                         int flags) __asm__("__fxstatat64");
int EmuFxstatat64(int, int dirfd, const char *path, struct stat *st, int flags)
{
    return StatAt(dirfd, path, st, flags);
}

EXPORT int EmuStatx(int dirfd, const char *path, int flags, unsigned mask,
                    struct statx *sx) __asm__("statx");
int EmuStatx(int dirfd, const char *path, int flags, unsigned mask, struct statx *sx)
{
    REAL(statx, int (*)(int, const char *, int, unsigned, struct statx *));
    int node = 0;
    if ((flags & AT_EMPTY_PATH) && path && !*path)
        node = NodeOfFd(dirfd);
    else if (path && path[0] == '/')
        node = DeviceNode(path);
    if (node) {
        TDriver *d = Emu();
        if (!d || d->Unplugged())
            return Fail(ENOENT);
        FillStatx(node, sx);
        return 0;
    }
    bool gone = false;
    std::string keep;
    const char *p = path && path[0] == '/' ? Mapped(path, keep, &gone) : path;
    if (gone)
        return Fail(ENOENT);
    return real_statx(dirfd, p, flags, mask, sx);
}

EXPORT int EmuAccess(const char *path, int mode) __asm__("access");
int EmuAccess(const char *path, int mode)
{
    REAL(access, int (*)(const char *, int));
    if (DeviceNode(path)) {
        TDriver *d = Emu();
        return d && !d->Unplugged() ? 0 : Fail(ENOENT);
    }
    bool gone = false;
    std::string keep;
    const char *p = Mapped(path, keep, &gone);
    return gone ? Fail(ENOENT) : real_access(p, mode);
}

EXPORT int EmuFaccessat(int dirfd, const char *path, int mode, int flags) __asm__("faccessat");
int EmuFaccessat(int dirfd, const char *path, int mode, int flags)
{
    REAL(faccessat, int (*)(int, const char *, int, int));
    if (path && path[0] == '/' && (DeviceNode(path) || !SysfsPath(path).empty()))
        return EmuAccess(path, mode);
    return real_faccessat(dirfd, path, mode, flags);
}

EXPORT ssize_t EmuReadlink(const char *path, char *buffer, size_t size) __asm__("readlink");
ssize_t EmuReadlink(const char *path, char *buffer, size_t size)
{
    REAL(readlink, ssize_t(*)(const char *, char *, size_t));
    bool gone = false;
    std::string keep;
    const char *p = Mapped(path, keep, &gone);
    return gone ? Fail(ENOENT) : real_readlink(p, buffer, size);
}

EXPORT char *EmuRealpath(const char *path, char *resolved) __asm__("realpath");
char *EmuRealpath(const char *path, char *resolved)
{
    REAL(realpath, char *(*)(const char *, char *));
    if (DeviceNode(path)) {
        char *out = resolved ? resolved : static_cast<char *>(malloc(PATH_MAX));
        if (out)
            snprintf(out, PATH_MAX, "%s", path);
        return out;
    }
    bool gone = false;
    std::string keep;
    const char *p = Mapped(path, keep, &gone);
    if (gone) {
        errno = ENOENT;
        return nullptr;
    }
    char *out = real_realpath(p, resolved);
    // Answers inside the view are given as sysfs paths.
    const std::string &root = Paths().Root;
    if (out && p != path && !root.empty() && strncmp(out, root.c_str(), root.size()) == 0)
        memmove(out, out + root.size(), strlen(out) - root.size() + 1);
    return out;
}

// ---- extended attributes (ls -l asks for ACLs) ----

namespace {

ssize_t XattrGet(const char *path, const char *name, void *value, size_t size, bool follow)
{
    REAL(getxattr, ssize_t(*)(const char *, const char *, void *, size_t));
    REAL(lgetxattr, ssize_t(*)(const char *, const char *, void *, size_t));
    if (DeviceNode(path))
        return Fail(ENODATA);
    bool gone = false;
    std::string keep;
    const char *p = Mapped(path, keep, &gone);
    if (gone)
        return Fail(ENOENT);
    return follow ? real_getxattr(p, name, value, size) : real_lgetxattr(p, name, value, size);
}

ssize_t XattrList(const char *path, char *list, size_t size, bool follow)
{
    REAL(listxattr, ssize_t(*)(const char *, char *, size_t));
    REAL(llistxattr, ssize_t(*)(const char *, char *, size_t));
    if (DeviceNode(path))
        return 0;
    bool gone = false;
    std::string keep;
    const char *p = Mapped(path, keep, &gone);
    if (gone)
        return Fail(ENOENT);
    return follow ? real_listxattr(p, list, size) : real_llistxattr(p, list, size);
}

} // namespace

EXPORT ssize_t EmuGetxattr(const char *path, const char *name, void *value,
                           size_t size) __asm__("getxattr");
ssize_t EmuGetxattr(const char *path, const char *name, void *value, size_t size)
{
    return XattrGet(path, name, value, size, true);
}
EXPORT ssize_t EmuLgetxattr(const char *path, const char *name, void *value,
                            size_t size) __asm__("lgetxattr");
ssize_t EmuLgetxattr(const char *path, const char *name, void *value, size_t size)
{
    return XattrGet(path, name, value, size, false);
}
EXPORT ssize_t EmuListxattr(const char *path, char *list, size_t size) __asm__("listxattr");
ssize_t EmuListxattr(const char *path, char *list, size_t size)
{
    return XattrList(path, list, size, true);
}
EXPORT ssize_t EmuLlistxattr(const char *path, char *list, size_t size) __asm__("llistxattr");
ssize_t EmuLlistxattr(const char *path, char *list, size_t size)
{
    return XattrList(path, list, size, false);
}

// ---- directories ----

EXPORT DIR *EmuOpendir(const char *path) __asm__("opendir");
DIR *EmuOpendir(const char *path)
{
    REAL(opendir, DIR * (*)(const char *));
    if (!path || !Paths().Active ||
        (strncmp(path, "/dev", 4) != 0 && strncmp(path, "/sys/", 5) != 0))
        return real_opendir(path);
    bool gone = false;
    std::string keep;
    const char *p = Mapped(path, keep, &gone);
    if (gone) {
        errno = ENOENT;
        return nullptr;
    }
    if (p != path)
        return real_opendir(p);
    std::string dir = path;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    auto extra = ExtraEntries(dir);
    DIR *d = real_opendir(path);
    // A class directory the kernel never made (no V4L2 driver loaded): the
    // view's copy.
    if (!d && errno == ENOENT && !extra.empty() && !Paths().Root.empty())
        return real_opendir((Paths().Root + dir).c_str());
    if (d && !extra.empty()) {
        std::lock_guard lock(ListingMutex);
        Listings[d] = TListing{std::move(extra)};
    }
    return d;
}

EXPORT dirent *EmuReaddir(DIR *dir) __asm__("readdir");
dirent *EmuReaddir(DIR *dir)
{
    REAL(readdir, dirent * (*)(DIR *));
    return ReadDir<dirent>(dir, real_readdir);
}

EXPORT dirent64 *EmuReaddir64(DIR *dir) __asm__("readdir64");
dirent64 *EmuReaddir64(DIR *dir)
{
    REAL(readdir64, dirent64 * (*)(DIR *));
    return ReadDir<dirent64>(dir, real_readdir64);
}

EXPORT int EmuClosedir(DIR *dir) __asm__("closedir");
int EmuClosedir(DIR *dir)
{
    REAL(closedir, int (*)(DIR *));
    {
        std::lock_guard lock(ListingMutex);
        Listings.erase(dir);
    }
    return real_closedir(dir);
}
