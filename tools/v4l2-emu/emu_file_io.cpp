// The file side of the emulated driver's buffer queue: poll(), read() and
// mmap() of the capture node's buffers.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include "emu_driver.h"
#include "emu_formats.h"

namespace emu {

namespace {

constexpr uint32_t PageSize = 4096;

uint32_t PageAlign(uint32_t size)
{
    return (size + PageSize - 1) & ~(PageSize - 1);
}

} // namespace

short TDriver::PollMask(int fd, short events)
{
    std::unique_lock lock(Mutex);
    std::shared_ptr<TFile> f = FileOf(fd);
    if (!f)
        return POLLNVAL;
    // v4l2_poll of an unregistered node.
    if (Gone(*f))
        return short((POLLERR | POLLHUP | POLLPRI) & (events | POLLERR | POLLHUP));
    const short pri = f->Events.empty() ? 0 : short(POLLPRI & events);
    if (f->Node != TNode::Video)
        return pri;
    TFile *q = QueueFile(*f);
    if (!q && (events & (POLLIN | POLLRDNORM)) && (M.Capabilities & V4L2_CAP_READWRITE)) {
        bool idle;
        {
            TSharedLock shared(&Shared->Mutex);
            idle = Shared->State.Buffers == 0;
        }
        // vb2_core_poll starts the read() emulation on an idle queue.
        if (idle && M.BufferApi == "vb2") {
            v4l2_requestbuffers r{};
            r.count = M.ReadBuffers;
            r.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            r.memory = V4L2_MEMORY_MMAP;
            if (ReqBufs(*f, r, lock) == 0) {
                for (uint32_t i = 0; i < f->Buffers.size(); ++i) {
                    f->Buffers[i].State = TBuffer::Queued;
                    f->Queued.push_back(i);
                }
                StreamOn(*f);
                f->FileIo = true;
            }
            return 0;
        }
    }
    if (!q || !q->Streaming || q->QueueError)
        return short(pri | (POLLERR & (events | POLLERR)));
    if (!q->Done.empty())
        return short(pri | ((POLLIN | POLLRDNORM) & events));
    return pri;
}

ssize_t TDriver::Read(int fd, void *data, size_t count)
{
    std::unique_lock lock(Mutex);
    std::shared_ptr<TFile> f = FileOf(fd);
    if (!f)
        return -EBADF;
    if (Gone(*f))
        return -ENODEV;
    if (f->Node != TNode::Video || !(M.DeviceCaps & V4L2_CAP_READWRITE))
        return -EINVAL;
    if (!f->FileIo) {
        {
            TSharedLock shared(&Shared->Mutex);
            if (Shared->State.Buffers > 0)
                return -EBUSY; // the streaming I/O owns the queue
        }
        // read() emulation: the driver's buffers, all queued, streaming.
        v4l2_requestbuffers r{};
        r.count = std::max(2u, M.ReadBuffers);
        r.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        r.memory = V4L2_MEMORY_MMAP;
        if (int err = ReqBufs(*f, r, lock))
            return -err;
        for (uint32_t i = 0; i < f->Buffers.size(); ++i) {
            f->Buffers[i].State = TBuffer::Queued;
            f->Queued.push_back(i);
        }
        // The file of a vb2 queue is its own owner now.
        if (int err = StreamOn(*f))
            return -err;
        f->FileIo = true;
        f->ReadPos = 0;
    }
    if (count == 0)
        return 0;
    const uint32_t number = f->Number;
    while (f->Done.empty()) {
        if (f->QueueError)
            return -EIO;
        if (f->NonBlock)
            return -EAGAIN;
        Cond.wait(lock);
        if (f->Number != number || !f->Streaming)
            return -EIO;
    }
    const uint32_t index = f->Done.front();
    TBuffer &b = f->Buffers[index];
    const size_t n = std::min<size_t>(count, b.BytesUsed - f->ReadPos);
    memcpy(data, b.Data + f->ReadPos, n);
    f->ReadPos += uint32_t(n);
    if (f->ReadPos >= b.BytesUsed) {
        f->Done.pop_front();
        b.State = TBuffer::Queued;
        f->Queued.push_back(index);
        f->ReadPos = 0;
        SyncEvent(*f);
    }
    return ssize_t(n);
}

int TDriver::FileFlags(int fd, int eventFlags)
{
    std::lock_guard lock(Mutex);
    std::shared_ptr<TFile> f = FileOf(fd);
    if (!f)
        return eventFlags;
    return (eventFlags & ~O_NONBLOCK) | (f->NonBlock ? O_NONBLOCK : 0);
}

void TDriver::SetFileFlags(int fd, int flags)
{
    std::lock_guard lock(Mutex);
    if (std::shared_ptr<TFile> f = FileOf(fd))
        f->NonBlock = flags & O_NONBLOCK;
}

int TDriver::MmapTarget(int fd, size_t length, int prot, int flags, off_t offset, int &memFd)
{
    std::lock_guard lock(Mutex);
    std::shared_ptr<TFile> f = FileOf(fd);
    if (!f)
        return -EBADF;
    if (Gone(*f))
        return -ENODEV;
    TFile *q = f->Node == TNode::Video ? QueueFile(*f) : nullptr;
    if (!q)
        return -EINVAL;
    // vb2_mmap: a shared, readable mapping of one whole buffer.
    if (!(flags & MAP_SHARED) || !(prot & PROT_READ))
        return -EINVAL;
    for (TBuffer &b : q->Buffers)
        if (b.Offset == uint32_t(offset)) {
            if (length > PageAlign(b.Length))
                return -EINVAL;
            memFd = int(syscall(SYS_fcntl, b.MemFd, F_DUPFD_CLOEXEC, 0));
            return memFd < 0 ? -errno : 0;
        }
    return -EINVAL;
}

void TDriver::Mapped(void *address, size_t, int fd, off_t offset)
{
    std::lock_guard lock(Mutex);
    std::shared_ptr<TFile> f = FileOf(fd);
    TFile *q = f ? QueueFile(*f) : nullptr;
    if (!q)
        return;
    for (TBuffer &b : q->Buffers)
        if (b.Offset == uint32_t(offset)) {
            ++*b.Mapped;
            Mappings[address] = b.Mapped;
        }
}

void TDriver::Unmapped(void *address)
{
    std::lock_guard lock(Mutex);
    auto it = Mappings.find(address);
    if (it == Mappings.end())
        return;
    --*it->second;
    Mappings.erase(it);
}

} // namespace emu
