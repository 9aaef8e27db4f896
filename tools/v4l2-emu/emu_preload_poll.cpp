// The preload library's waits: poll, ppoll, select and pselect over sets
// that hold emulated nodes, answered as videobuf2 answers readiness.
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

// ---- poll ----

bool AnyFake(const pollfd *fds, nfds_t n)
{
    for (nfds_t i = 0; i < n; ++i)
        if (TDriver::IsFake(fds[i].fd))
            return true;
    return false;
}

// Polls with the emulated files' readiness: the real wait (on their
// eventfds and everything else), then their events as the driver answers.
// timeout in ms, -1 for none.
int EmuPoll(pollfd *fds, nfds_t n, int64_t timeoutNs, const sigset_t *mask)
{
    REAL(ppoll, int (*)(pollfd *, nfds_t, const timespec *, const sigset_t *));
    TDriver *d = Emu();
    const int64_t deadline = timeoutNs < 0 ? -1 : NowNs() + timeoutNs;
    std::vector<short> asked(n);
    for (nfds_t i = 0; i < n; ++i)
        asked[i] = fds[i].events;
    for (;;) {
        bool ready = false;
        for (nfds_t i = 0; i < n; ++i)
            if (d && TDriver::IsFake(fds[i].fd) && d->PollMask(fds[i].fd, asked[i]))
                ready = true;
        timespec ts{}, *wait = nullptr;
        if (ready) {
            wait = &ts;
        } else if (deadline >= 0) {
            const int64_t left = std::max<int64_t>(0, deadline - NowNs());
            ts.tv_sec = left / 1000000000, ts.tv_nsec = left % 1000000000;
            wait = &ts;
        }
        const int r = real_ppoll(fds, n, wait, mask);
        if (r < 0)
            return r;
        int count = 0;
        for (nfds_t i = 0; i < n; ++i) {
            if (d && TDriver::IsFake(fds[i].fd))
                fds[i].revents = d->PollMask(fds[i].fd, asked[i]);
            if (fds[i].revents)
                ++count;
        }
        // The eventfd woke the wait, but the buffer was taken meanwhile:
        // wait on for the rest of the time.
        if (count || r == 0 || (deadline >= 0 && NowNs() >= deadline))
            return count;
    }
}

int SelectViaPoll(int nfds, fd_set *r, fd_set *w, fd_set *e, int64_t timeoutNs,
                  const sigset_t *mask)
{
    std::vector<pollfd> fds;
    for (int fd = 0; fd < nfds; ++fd) {
        short events = 0;
        if (r && FD_ISSET(fd, r))
            events |= POLLIN;
        if (w && FD_ISSET(fd, w))
            events |= POLLOUT;
        if (e && FD_ISSET(fd, e))
            events |= POLLPRI;
        if (events)
            fds.push_back({fd, events, 0});
    }
    const int result = EmuPoll(fds.data(), fds.size(), timeoutNs, mask);
    if (result < 0)
        return result;
    for (fd_set *set : {r, w, e})
        if (set)
            FD_ZERO(set);
    int count = 0;
    for (const pollfd &p : fds) {
        const short rev = p.revents;
        if (r && (p.events & POLLIN) && (rev & (POLLIN | POLLHUP | POLLERR)))
            FD_SET(p.fd, r), ++count;
        if (w && (p.events & POLLOUT) && (rev & (POLLOUT | POLLERR)))
            FD_SET(p.fd, w), ++count;
        if (e && (p.events & POLLPRI) && (rev & POLLPRI))
            FD_SET(p.fd, e), ++count;
    }
    return count;
}

bool AnyFakeInSets(int nfds, fd_set *r, fd_set *w, fd_set *e)
{
    for (int fd = 0; fd < nfds; ++fd)
        if (TDriver::IsFake(fd) &&
            ((r && FD_ISSET(fd, r)) || (w && FD_ISSET(fd, w)) || (e && FD_ISSET(fd, e))))
            return true;
    return false;
}

} // namespace

// ---- poll, select ----

EXPORT int EmuPollCall(pollfd *fds, nfds_t n, int timeout) __asm__("poll");
int EmuPollCall(pollfd *fds, nfds_t n, int timeout)
{
    REAL(poll, int (*)(pollfd *, nfds_t, int));
    if (!AnyFake(fds, n))
        return real_poll(fds, n, timeout);
    return EmuPoll(fds, n, timeout < 0 ? -1 : int64_t(timeout) * 1000000, nullptr);
}

EXPORT int EmuPollChk(pollfd *fds, nfds_t n, int timeout, size_t) __asm__("__poll_chk");
int EmuPollChk(pollfd *fds, nfds_t n, int timeout, size_t)
{
    return EmuPollCall(fds, n, timeout);
}

EXPORT int EmuPpoll(pollfd *fds, nfds_t n, const timespec *t,
                    const sigset_t *mask) __asm__("ppoll");
int EmuPpoll(pollfd *fds, nfds_t n, const timespec *t, const sigset_t *mask)
{
    REAL(ppoll, int (*)(pollfd *, nfds_t, const timespec *, const sigset_t *));
    if (!AnyFake(fds, n))
        return real_ppoll(fds, n, t, mask);
    return EmuPoll(fds, n, t ? int64_t(t->tv_sec) * 1000000000 + t->tv_nsec : -1, mask);
}

EXPORT int EmuPpollChk(pollfd *fds, nfds_t n, const timespec *t, const sigset_t *mask,
                       size_t) __asm__("__ppoll_chk");
int EmuPpollChk(pollfd *fds, nfds_t n, const timespec *t, const sigset_t *mask, size_t)
{
    return EmuPpoll(fds, n, t, mask);
}

EXPORT int EmuSelect(int nfds, fd_set *r, fd_set *w, fd_set *e, timeval *t) __asm__("select");
int EmuSelect(int nfds, fd_set *r, fd_set *w, fd_set *e, timeval *t)
{
    REAL(select, int (*)(int, fd_set *, fd_set *, fd_set *, timeval *));
    if (!AnyFakeInSets(nfds, r, w, e))
        return real_select(nfds, r, w, e, t);
    return SelectViaPoll(nfds, r, w, e,
                         t ? int64_t(t->tv_sec) * 1000000000 + t->tv_usec * 1000 : -1, nullptr);
}

EXPORT int EmuPselect(int nfds, fd_set *r, fd_set *w, fd_set *e, const timespec *t,
                      const sigset_t *mask) __asm__("pselect");
int EmuPselect(int nfds, fd_set *r, fd_set *w, fd_set *e, const timespec *t, const sigset_t *mask)
{
    REAL(pselect, int (*)(int, fd_set *, fd_set *, fd_set *, const timespec *, const sigset_t *));
    if (!AnyFakeInSets(nfds, r, w, e))
        return real_pselect(nfds, r, w, e, t, mask);
    return SelectViaPoll(nfds, r, w, e, t ? int64_t(t->tv_sec) * 1000000000 + t->tv_nsec : -1,
                         mask);
}
