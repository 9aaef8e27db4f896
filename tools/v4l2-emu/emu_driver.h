// The emulated driver inside one process: its open files, their buffer
// queues and capture threads, and the ioctls. The device state itself is
// shared by all processes (emu_shared.h).
//
// Threads: every entry point takes Mutex (the process's lock) and then, for
// device state, the shared Mutex, in that order. A capture thread runs per
// streaming file; it takes the same locks. Files and buffers belong to
// TDriver and are touched only under Mutex.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include <linux/videodev2.h>
#include <pthread.h>
#include <sys/time.h>

#include "emu_model.h"
#include "emu_shared.h"

namespace emu {

enum class TNode
{
    Video,
    Radio
};

struct TBuffer
{
    enum TState
    {
        Dequeued,
        Prepared,
        Queued,
        Done
    };
    uint32_t Length = 0; // bytes of the plane
    uint32_t Offset = 0; // the mmap cookie
    int MemFd = -1;      // the memory, mapped by us and by the program
    uint8_t *Data = nullptr;
    TState State = Dequeued;
    uint32_t BytesUsed = 0, Sequence = 0, Field = 0;
    timeval Timestamp{};
    // The program's mappings of this buffer; shared with the mapping table,
    // so a munmap after the buffers were freed finds its counter.
    std::shared_ptr<int> Mapped = std::make_shared<int>(0);
};

// One open file description (an open() and its dups).
struct TFile
{
    uint32_t Number = 0;
    TNode Node = TNode::Video;
    // O_NONBLOCK of the file (the eventfd behind it is always non-blocking).
    bool NonBlock = false;
    std::set<int> Fds;      // every fd number that refers to it
    bool Inherited = false; // a fork's copy: closing it touches no device state
    // The queue: vb2 drivers keep one per node, owned by one file; videobuf
    // drivers (bttv) one per file.
    std::vector<TBuffer> Buffers;
    bool Streaming = false;
    bool FileIo = false; // read() started the stream
    bool QueueError = false;
    std::deque<uint32_t> Queued, Done;
    pthread_t Thread{};
    bool ThreadRunning = false, StopThread = false;
    int64_t NextFrameNs = 0;
    uint32_t FrameCount = 0, BufferCount = 0;
    bool EventSignalled = false;
    TPixFormat StreamFormat;
    int64_t PeriodNs = 40000000;
    uint32_t ReadPos = 0; // bytes of the current read() buffer handed out
    uint32_t Priority = V4L2_PRIORITY_DEFAULT;
    // Control events: subscribed controls (id -> flags) and the queue, one
    // pending event per control as the V4L2 core keeps it.
    std::map<uint32_t, uint32_t> Subscribed;
    std::deque<v4l2_event> Events;
    uint32_t EventSequence = 0;
    // The plug generation it was opened in (TDeviceState::Generation).
    uint32_t Generation = 0;
};

class TDriver
{
public:
    // Maps the shared state and reads the model named in the environment;
    // false when the process does not run under the emulator.
    bool Init();
    bool Active() const { return Shared != nullptr; }

    const TModel &Model() const { return M; }
    TShared *Shared = nullptr;
    bool RadioNode = false;

    // The fd of a new file on the node (an eventfd stands for it), or
    // -errno.
    int Open(TNode node, int flags);
    // dup()ed: `fd` now also refers to the file of `from`.
    void AddFd(int from, int fd);
    // Forgets the fd; the last one releases the file. The caller closes it.
    void ForgetFd(int fd);
    // Whether an fd stands for an emulated file; lock-free, for the hot
    // paths of every interposed call.
    static bool IsFake(int fd);
    std::shared_ptr<TFile> FileOf(int fd);

    int Ioctl(int fd, unsigned long request, void *arg);
    // mmap of a buffer: the buffer's memory fd and its length; -errno.
    int MmapTarget(int fd, size_t length, int prot, int flags, off_t offset, int &memFd);
    void Mapped(void *address, size_t length, int fd, off_t offset);
    void Unmapped(void *address);
    ssize_t Read(int fd, void *data, size_t count);
    // The poll events of a fake fd for the asked events (POLLIN...).
    short PollMask(int fd, short events);
    // fcntl F_GETFL / F_SETFL of a fake fd: the file's O_NONBLOCK.
    int FileFlags(int fd, int eventFlags);
    void SetFileFlags(int fd, int flags);

    // Device nodes and the sysfs view (paths under the emulator's root).
    // The card is gone now; plugs it back in first when the time for that
    // has come.
    bool Unplugged();
    // The file's device is gone: unplugged now, or the file was opened
    // before the card was plugged back in.
    bool Gone(const TFile &f);
    bool BusyAtOpen() const { return Shared && Shared->Faults.BusyAtOpen; }

    // fork(): the child's copies of the files are only closed, never acted on.
    void AfterForkInChild();
    std::mutex Mutex;

private:
    friend void *CaptureMain(void *);
    // Device ioctls (emu_driver.cpp).
    int DeviceIoctl(TFile &f, unsigned long request, void *arg);
    int QueryCap(TFile &f, v4l2_capability &cap);
    int EnumInput(v4l2_input &in);
    int GetTuner(TFile &f, v4l2_tuner &t);
    int SetFrequency(TFile &f, const v4l2_frequency &freq);
    int SetStd(TFile &f, v4l2_std_id id);
    int EnumStd(v4l2_standard &s);
    int QueryCtrl(TFile &f, v4l2_queryctrl &q);
    int GetCtrl(TFile &f, v4l2_control &c);
    int SetCtrl(TFile &f, v4l2_control &c);
    int ExtCtrls(TFile &f, v4l2_ext_controls &c, unsigned long request);
    int Subscribe(TFile &f, const v4l2_event_subscription &sub);
    int DQEvent(TFile &f, v4l2_event &e);
    // Tells every subscriber of the control (but `from`, unless it asked
    // for its own changes) its new value.
    void ControlEvent(TFile *from, const TControl &c, int32_t value, uint32_t changes);
    int EnumFreqBands(TFile &f, v4l2_frequency_band &band);
    int SetPriority(TFile &f, uint32_t priority);
    uint32_t MaxPriority() const;
    int Format(TFile &f, unsigned long request, v4l2_format &fmt);
    int EnumFrameSizes(v4l2_frmsizeenum &size);
    int GetParm(v4l2_streamparm &p);
    const TControl *Control(TFile &f, uint32_t id, int *index);
    // Which station the tuner receives after a change (under the shared lock).
    void Retune();
    bool PictureLocked() const; // under the shared lock
    void Changed();             // under the shared lock

    // Queue ioctls (emu_queue.cpp).
    int QueueIoctl(TFile &f, unsigned long request, void *arg, std::unique_lock<std::mutex> &lock);
    int ReqBufs(TFile &f, v4l2_requestbuffers &r, std::unique_lock<std::mutex> &lock);
    int CreateBufs(TFile &f, v4l2_create_buffers &c);
    int QueryBuf(TFile &f, v4l2_buffer &b);
    int QBuf(TFile &f, v4l2_buffer &b, bool prepareOnly);
    int DQBuf(TFile &f, v4l2_buffer &b, std::unique_lock<std::mutex> &lock);
    int StreamOn(TFile &f);
    int StreamOff(TFile &f, std::unique_lock<std::mutex> &lock);
    void FillBuffer(TFile &f, uint32_t index, v4l2_buffer &b);
    bool AllocateBuffers(TFile &f, uint32_t count, uint32_t size);
    void FreeBuffers(TFile &f);
    TFile *QueueFile(TFile &f); // the file whose queue this file uses
    bool Owns(TFile &f) const;
    void StopCapture(TFile &f, std::unique_lock<std::mutex> &lock);
    void CaptureTick(TFile &f, int64_t now);
    void Unplug();
    void SyncEvent(TFile &f);
    void Release(TFile &f, std::unique_lock<std::mutex> &lock);
    uint64_t OwnerToken(const TFile &f) const;
    // The queue is in use: buffers anywhere (vb2), or this file's stream
    // (videobuf). Under the shared lock.
    bool DeviceBusy(TFile &f);

    TModel M;
    std::condition_variable Cond;
    std::map<int, std::shared_ptr<TFile>> Fds;
    std::vector<std::shared_ptr<TFile>> Files;
    std::map<void *, std::shared_ptr<int>> Mappings;
    uint32_t NextFile = 1;
};

TDriver &Driver();

// A text into a fixed V4L2 field, cut and zero-terminated.
inline void CopyText(__u8 *to, size_t size, const std::string &text)
{
    memset(to, 0, size);
    memcpy(to, text.data(), std::min(text.size(), size - 1));
}
void MarkFake(int fd, bool fake);
int64_t NowNs();

} // namespace emu
