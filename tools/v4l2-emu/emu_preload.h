// Shared by the preload library's files: the real C library functions, the
// paths the emulator answers, and small helpers.
#pragma once

#include <string>

#include <dlfcn.h>
#include <sys/stat.h>

#include "emu_driver.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace emupreload {

template <typename T> T Real(const char *name, const char *version = nullptr)
{
    void *f = version ? dlvsym(RTLD_NEXT, name, version) : dlsym(RTLD_NEXT, name);
    return reinterpret_cast<T>(f);
}

// The real function, looked up once.
#define REAL(name, type, ...)                                                                      \
    static const auto real_##name = emupreload::Real<type>(#name __VA_OPT__(, ) __VA_ARGS__)

struct TPaths
{
    bool Active = false;
    std::string Root;                  // the sysfs view's root
    std::vector<std::string> Redirect; // sysfs paths answered from the view
    bool Radio = false;
};
const TPaths &Paths();
// The driver, initialised on the first use of an emulated path or fd; null
// when the process does not run under the emulator.
emu::TDriver *Emu();
// 1: /dev/video0, 2: /dev/radio0, 0: neither.
int DeviceNode(const char *path);
// The view's copy of a redirected sysfs path; empty when not redirected.
// An unplugged card's entries are gone: "" with `gone` set.
std::string SysfsPath(const char *path, bool *gone = nullptr);
// A path with sysfs redirection applied; `keep` holds the storage.
const char *Mapped(const char *path, std::string &keep, bool *gone);
void FillStat(int node, struct stat *st);
void FillStatx(int node, struct statx *sx);
int NodeOfFd(int fd);
// errno := err, -1.
int Fail(int err);

} // namespace emupreload
