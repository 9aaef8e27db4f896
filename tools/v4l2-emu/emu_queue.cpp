// The buffer queue of the emulated driver: videobuf2's (or, for bttv,
// videobuf's) answers to REQBUFS, QUERYBUF, QBUF, DQBUF, STREAMON and
// STREAMOFF, MMAP buffers (read(), poll() and mmap() are in emu_file_io.cpp),
// and the capture thread that plays the card's DMA: at every frame of the
// standard it fills the first queued buffer with the picture the launcher
// drew.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "emu_driver.h"
#include "emu_formats.h"

namespace emu {

namespace {

constexpr uint32_t PageSize = 4096;
constexpr uint32_t MaxFrames = 32; // VB2_MAX_FRAME, VIDEO_MAX_FRAME

uint32_t PageAlign(uint32_t size)
{
    return (size + PageSize - 1) & ~(PageSize - 1);
}

} // namespace

void *CaptureMain(void *arg)
{
    auto *f = static_cast<TFile *>(arg);
    TDriver &d = Driver();
    std::unique_lock lock(d.Mutex);
    while (!f->StopThread) {
        const auto deadline =
            std::chrono::steady_clock::time_point(std::chrono::nanoseconds(f->NextFrameNs));
        d.Cond.wait_until(lock, deadline,
                          [&] { return f->StopThread || NowNs() >= f->NextFrameNs; });
        if (f->StopThread)
            break;
        const int64_t now = NowNs();
        // The frame's time is when the card would have finished it, however
        // late this thread got to run.
        d.CaptureTick(*f, f->NextFrameNs);
        f->NextFrameNs += f->PeriodNs;
        // A thread that was not scheduled for long catches up on the frame
        // grid: the frames it missed were lost, as the card's DMA would have
        // dropped them.
        if (now - f->NextFrameNs > 8 * f->PeriodNs) {
            const int64_t lost = (now - f->NextFrameNs) / f->PeriodNs;
            f->NextFrameNs += lost * f->PeriodNs;
            f->FrameCount += uint32_t(lost);
        }
    }
    return nullptr;
}

uint64_t TDriver::OwnerToken(const TFile &f) const
{
    return (uint64_t(getpid()) << 32) | f.Number;
}

bool TDriver::Owns(TFile &f) const
{
    return Shared->State.QueueOwner == OwnerToken(f);
}

TFile *TDriver::QueueFile(TFile &f)
{
    if (M.BufferApi == "videobuf")
        return &f;
    const uint64_t owner = Shared->State.QueueOwner;
    if (!owner || (owner >> 32) != uint64_t(getpid()))
        return nullptr;
    for (auto &file : Files)
        if (file->Number == (owner & 0xffffffffu) && !file->Inherited)
            return file.get();
    return nullptr;
}

void TDriver::SyncEvent(TFile &f)
{
    bool want = Gone(f) || f.QueueError || !f.Events.empty();
    if (TFile *q = QueueFile(f))
        want = want || !q->Done.empty();
    if (want == f.EventSignalled || f.Fds.empty())
        return;
    const int fd = *f.Fds.begin();
    uint64_t value = 1;
    if (want)
        syscall(SYS_write, fd, &value, sizeof value);
    else
        syscall(SYS_read, fd, &value, sizeof value);
    f.EventSignalled = want;
}

bool TDriver::AllocateBuffers(TFile &f, uint32_t count, uint32_t size)
{
    uint32_t offset =
        f.Buffers.empty() ? 0 : f.Buffers.back().Offset + PageAlign(f.Buffers.back().Length);
    for (uint32_t i = 0; i < count; ++i) {
        TBuffer b;
        b.Length = size;
        b.Offset = offset;
        b.MemFd = int(syscall(SYS_memfd_create, "v4l2-emu-buffer", MFD_CLOEXEC));
        if (b.MemFd < 0 || ftruncate(b.MemFd, PageAlign(size)) != 0) {
            if (b.MemFd >= 0)
                close(b.MemFd);
            return !f.Buffers.empty();
        }
        void *data = mmap(nullptr, PageAlign(size), PROT_READ | PROT_WRITE, MAP_SHARED, b.MemFd, 0);
        if (data == MAP_FAILED) {
            close(b.MemFd);
            return !f.Buffers.empty();
        }
        b.Data = static_cast<uint8_t *>(data);
        offset += PageAlign(size);
        f.Buffers.push_back(std::move(b));
    }
    return true;
}

void TDriver::FreeBuffers(TFile &f)
{
    // Memory the program still maps stays valid (the buffers are orphaned).
    // Raw calls: the interposed munmap takes Mutex, which is held here.
    for (TBuffer &b : f.Buffers) {
        syscall(SYS_munmap, b.Data, PageAlign(b.Length));
        syscall(SYS_close, b.MemFd);
    }
    f.Buffers.clear();
    f.Queued.clear();
    f.Done.clear();
}

void TDriver::FillBuffer(TFile &f, uint32_t index, v4l2_buffer &out)
{
    const TBuffer &b = f.Buffers[index];
    memset(&out, 0, sizeof out);
    out.index = index;
    out.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    out.memory = V4L2_MEMORY_MMAP;
    out.m.offset = b.Offset;
    out.length = b.Length;
    out.bytesused = b.BytesUsed;
    out.field = b.Field;
    out.sequence = b.Sequence;
    out.timestamp = b.Timestamp;
    out.flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
    if (*b.Mapped > 0)
        out.flags |= V4L2_BUF_FLAG_MAPPED;
    if (b.State == TBuffer::Queued)
        out.flags |= V4L2_BUF_FLAG_QUEUED;
    else if (b.State == TBuffer::Done)
        out.flags |= V4L2_BUF_FLAG_DONE;
    else if (b.State == TBuffer::Prepared)
        out.flags |= V4L2_BUF_FLAG_PREPARED;
}

int TDriver::QueueIoctl(TFile &f, unsigned long request, void *arg,
                        std::unique_lock<std::mutex> &lock)
{
    switch (request) {
    case VIDIOC_REQBUFS:
        return ReqBufs(f, *static_cast<v4l2_requestbuffers *>(arg), lock);
    case VIDIOC_CREATE_BUFS:
        return M.CreateBufs ? CreateBufs(f, *static_cast<v4l2_create_buffers *>(arg)) : ENOTTY;
    case VIDIOC_QUERYBUF:
        return QueryBuf(f, *static_cast<v4l2_buffer *>(arg));
    case VIDIOC_PREPARE_BUF:
    case VIDIOC_QBUF:
        if (request == VIDIOC_PREPARE_BUF && !M.CreateBufs)
            return ENOTTY;
        return QBuf(f, *static_cast<v4l2_buffer *>(arg), request == VIDIOC_PREPARE_BUF);
    case VIDIOC_DQBUF:
        return DQBuf(f, *static_cast<v4l2_buffer *>(arg), lock);
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
        if (*static_cast<int *>(arg) != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return EINVAL;
        return request == VIDIOC_STREAMON ? StreamOn(f) : StreamOff(f, lock);
    default:
        // EXPBUF: the emulated buffers cannot be exported as DMA buffers.
        return ENOTTY;
    }
}

int TDriver::ReqBufs(TFile &f, v4l2_requestbuffers &r, std::unique_lock<std::mutex> &lock)
{
    if (r.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || r.memory != V4L2_MEMORY_MMAP)
        return EINVAL;
    TSharedLock shared(&Shared->Mutex);
    TDeviceState &st = Shared->State;
    const bool vb2 = M.BufferApi == "vb2";
    memset(r.reserved, 0, sizeof r.reserved);
    r.capabilities = vb2 ? V4L2_BUF_CAP_SUPPORTS_MMAP | V4L2_BUF_CAP_SUPPORTS_ORPHANED_BUFS : 0;
    r.flags = 0;
    if (vb2 && st.QueueOwner && !Owns(f))
        return EBUSY;
    if (f.Streaming || f.FileIo)
        return EBUSY;
    if (!vb2)
        for (const TBuffer &b : f.Buffers)
            if (*b.Mapped > 0)
                return EBUSY; // videobuf cannot free mapped buffers
    st.Buffers -= std::min<uint32_t>(st.Buffers, uint32_t(f.Buffers.size()));
    FreeBuffers(f);
    if (vb2)
        st.QueueOwner = 0;
    if (r.count == 0) {
        Changed();
        return 0;
    }
    uint32_t max, h;
    MaxSize(M, st.Std, max, h);
    // saa7134's queue_setup refuses a size the standard cannot give.
    if (M.SizeRule == "saa7134" && (st.Format.Width > max || st.Format.Height > h))
        return EINVAL;
    const uint32_t size = st.Format.SizeImage;
    uint32_t count = std::min(std::max(r.count, vb2 ? M.MinBuffers : 1u), MaxFrames);
    if (M.MaxBufferPages)
        count = std::min(count, M.MaxBufferPages / (PageAlign(size) / PageSize + 1));
    if (M.MaxBufferBytes && uint64_t(size) * count > M.MaxBufferBytes)
        count = uint32_t(M.MaxBufferBytes / size);
    if (count == 0 || !AllocateBuffers(f, count, size))
        return ENOMEM;
    r.count = uint32_t(f.Buffers.size());
    st.Buffers += r.count;
    if (vb2)
        st.QueueOwner = OwnerToken(f);
    Changed();
    (void)lock;
    return 0;
}

int TDriver::CreateBufs(TFile &f, v4l2_create_buffers &c)
{
    if (c.memory != V4L2_MEMORY_MMAP || c.format.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return EINVAL;
    TSharedLock shared(&Shared->Mutex);
    TDeviceState &st = Shared->State;
    c.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP | V4L2_BUF_CAP_SUPPORTS_ORPHANED_BUFS;
    c.flags = 0;
    memset(c.reserved, 0, sizeof c.reserved);
    if (st.QueueOwner && !Owns(f))
        return EBUSY;
    c.index = uint32_t(f.Buffers.size());
    if (c.count == 0)
        return 0;
    // em28xx's queue_setup: a size below the format's is refused.
    if (c.format.fmt.pix.sizeimage < st.Format.SizeImage)
        return EINVAL;
    const uint32_t size = c.format.fmt.pix.sizeimage;
    const uint32_t count = std::min<uint32_t>(c.count, MaxFrames - c.index);
    if (count == 0 || !AllocateBuffers(f, count, size))
        return ENOBUFS;
    c.count = uint32_t(f.Buffers.size()) - c.index;
    st.Buffers += c.count;
    st.QueueOwner = OwnerToken(f);
    Changed();
    return 0;
}

int TDriver::QueryBuf(TFile &f, v4l2_buffer &b)
{
    if (b.type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
        return EINVAL;
    TFile *q = QueueFile(f);
    if (!q || b.index >= q->Buffers.size())
        return EINVAL;
    FillBuffer(*q, b.index, b);
    return 0;
}

int TDriver::QBuf(TFile &f, v4l2_buffer &b, bool prepareOnly)
{
    if (b.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b.memory != V4L2_MEMORY_MMAP)
        return EINVAL;
    {
        TSharedLock shared(&Shared->Mutex);
        if (M.BufferApi == "vb2" && Shared->State.QueueOwner && !Owns(f))
            return EBUSY;
    }
    if (f.FileIo)
        return EBUSY;
    TFile *q = QueueFile(f);
    if (!q || b.index >= q->Buffers.size())
        return EINVAL;
    TBuffer &buf = q->Buffers[b.index];
    if (buf.State != TBuffer::Dequeued && buf.State != TBuffer::Prepared)
        return EINVAL;
    if (prepareOnly) {
        if (buf.State == TBuffer::Prepared)
            return EINVAL;
        buf.State = TBuffer::Prepared;
    } else {
        buf.State = TBuffer::Queued;
        q->Queued.push_back(b.index);
    }
    FillBuffer(*q, b.index, b);
    return 0;
}

int TDriver::DQBuf(TFile &f, v4l2_buffer &b, std::unique_lock<std::mutex> &lock)
{
    if (b.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b.memory != V4L2_MEMORY_MMAP)
        return EINVAL;
    {
        TSharedLock shared(&Shared->Mutex);
        if (M.BufferApi == "vb2" && Shared->State.QueueOwner && !Owns(f))
            return EBUSY;
    }
    if (f.FileIo)
        return EBUSY;
    TFile *q = QueueFile(f);
    if (!q || !q->Streaming)
        return EINVAL;
    const uint32_t number = q->Number;
    while (q->Done.empty()) {
        if (q->QueueError)
            return EIO;
        if (f.NonBlock)
            return EAGAIN;
        Cond.wait(lock);
        // The queue may be gone after the wait.
        q = QueueFile(f);
        if (!q || q->Number != number || !q->Streaming)
            return EINVAL;
    }
    const uint32_t index = q->Done.front();
    q->Done.pop_front();
    q->Buffers[index].State = TBuffer::Dequeued;
    FillBuffer(*q, index, b);
    SyncEvent(*q);
    if (q != &f)
        SyncEvent(f);
    return 0;
}

int TDriver::StreamOn(TFile &f)
{
    TSharedLock shared(&Shared->Mutex);
    TDeviceState &st = Shared->State;
    const bool vb2 = M.BufferApi == "vb2";
    if (vb2 && st.QueueOwner && !Owns(f))
        return EBUSY;
    if (f.FileIo)
        return EBUSY;
    TFile *q = QueueFile(f);
    if (!q || q->Buffers.empty())
        return EINVAL;
    if (q->Streaming)
        return 0;
    // bttv: one file streams at a time (the video stream resource).
    if (!vb2 && st.Streaming)
        return EBUSY;
    if (!vb2)
        st.QueueOwner = OwnerToken(f);
    const int64_t now = NowNs();
    q->Streaming = true;
    q->QueueError = false;
    q->StreamFormat = st.Format;
    q->PeriodNs = FramePeriodNs(st.Std);
    if (st.Format.Field == V4L2_FIELD_ALTERNATE)
        q->PeriodNs /= 2; // one buffer per field
    q->NextFrameNs = now + q->PeriodNs;
    q->FrameCount = q->BufferCount = 0;
    st.Streaming = 1;
    if (!st.FirstStreamOnNs)
        st.FirstStreamOnNs = now;
    Changed();
    q->StopThread = false;
    if (pthread_create(&q->Thread, nullptr, CaptureMain, q) == 0)
        q->ThreadRunning = true;
    return 0;
}

void TDriver::StopCapture(TFile &f, std::unique_lock<std::mutex> &lock)
{
    if (!f.ThreadRunning)
        return;
    f.StopThread = true;
    f.ThreadRunning = false;
    Cond.notify_all();
    const pthread_t thread = f.Thread;
    lock.unlock();
    pthread_join(thread, nullptr);
    lock.lock();
}

int TDriver::StreamOff(TFile &f, std::unique_lock<std::mutex> &lock)
{
    {
        TSharedLock shared(&Shared->Mutex);
        if (M.BufferApi == "vb2" && Shared->State.QueueOwner && !Owns(f))
            return EBUSY;
    }
    if (f.FileIo)
        return EBUSY;
    TFile *q = QueueFile(f);
    if (!q)
        return M.BufferApi == "vb2" ? 0 : EINVAL;
    const uint32_t number = q->Number;
    StopCapture(*q, lock);
    q = QueueFile(f);
    if (!q || q->Number != number)
        return 0;
    q->Streaming = false;
    q->Queued.clear();
    q->Done.clear();
    for (TBuffer &b : q->Buffers)
        b.State = TBuffer::Dequeued;
    {
        TSharedLock shared(&Shared->Mutex);
        Shared->State.Streaming = 0;
        if (M.BufferApi == "videobuf")
            Shared->State.QueueOwner = 0;
        Changed();
    }
    SyncEvent(*q);
    Cond.notify_all();
    return 0;
}

void TDriver::Release(TFile &f, std::unique_lock<std::mutex> &lock)
{
    StopCapture(f, lock);
    if (f.Generation != Shared->State.Generation) {
        // The device it belonged to is gone; the card in its place keeps
        // its own counts.
        f.Streaming = f.FileIo = false;
        FreeBuffers(f);
        return;
    }
    TSharedLock shared(&Shared->Mutex);
    TDeviceState &st = Shared->State;
    if (f.Streaming)
        st.Streaming = 0;
    if (st.Priorities[f.Priority])
        --st.Priorities[f.Priority];
    f.Streaming = f.FileIo = false;
    st.Buffers -= std::min<uint32_t>(st.Buffers, uint32_t(f.Buffers.size()));
    FreeBuffers(f);
    if (Owns(f))
        st.QueueOwner = 0;
    Changed();
    Cond.notify_all();
}

void TDriver::Unplug()
{
    TSharedLock shared(&Shared->Mutex);
    if (!Shared->State.Unplugged)
        Shared->State.UnpluggedAtNs = NowNs();
    Shared->State.Unplugged = 1;
    Shared->State.Streaming = 0;
    Changed();
    for (auto &file : Files) {
        file->QueueError = true;
        file->StopThread = true;
        SyncEvent(*file);
    }
    Cond.notify_all();
}

void TDriver::CaptureTick(TFile &f, int64_t now)
{
    int64_t first, unplugAfter, stallAfter;
    {
        TSharedLock shared(&Shared->Mutex);
        first = Shared->State.FirstStreamOnNs;
        unplugAfter = Shared->Faults.UnplugAfterNs;
        stallAfter = Shared->Faults.StallAfterNs;
    }
    if (Gone(f)) {
        // A stream of a file from before a replug ends with it.
        if (Unplugged())
            Unplug();
        return;
    }
    if (unplugAfter >= 0 && now >= first + unplugAfter) {
        Unplug();
        return;
    }
    // A stalled card captures nothing: no buffer completes, no sequence
    // number passes.
    if (stallAfter >= 0 && now >= first + stallAfter)
        return;
    ++f.FrameCount;
    if (f.Queued.empty())
        return;
    const uint32_t index = f.Queued.front();
    f.Queued.pop_front();
    TBuffer &b = f.Buffers[index];
    const TPixFormat &format = f.StreamFormat;
    {
        TSharedLock frames(&Shared->FrameMutex);
        const uint32_t slot = Shared->Front;
        if (Shared->Frames > 0 && Shared->SlotFormat[slot] == format &&
            format.SizeImage <= b.Length && format.SizeImage <= Shared->SlotBytes)
            memcpy(b.Data, reinterpret_cast<uint8_t *>(Shared) + Shared->SlotOffset[slot],
                   format.SizeImage);
        else
            FillBlack(format, b.Data);
    }
    b.BytesUsed = std::min(format.SizeImage, b.Length);
    if (format.Field == V4L2_FIELD_ALTERNATE)
        b.Field = (f.FrameCount % 2) ? V4L2_FIELD_TOP : V4L2_FIELD_BOTTOM;
    else
        b.Field = format.Field;
    b.Sequence = M.Sequence == "frames" ? f.FrameCount - 1 : f.BufferCount;
    ++f.BufferCount;
    b.Timestamp.tv_sec = now / 1000000000;
    b.Timestamp.tv_usec = (now % 1000000000) / 1000;
    b.State = TBuffer::Done;
    f.Done.push_back(index);
    for (auto &file : Files)
        SyncEvent(*file);
    Cond.notify_all();
}

} // namespace emu
