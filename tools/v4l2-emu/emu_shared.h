// The emulated card's state, shared by every process the launcher runs and
// by the launcher itself: a memfd the launcher creates, mapped by each
// process (the preload library finds it through /proc/<launcher>/fd/<n>).
// A real driver keeps this state in the kernel, so it is one for all
// processes that open the card; so is this.
//
// Locking: Mutex guards State (the preload library's ioctls change it, the
// launcher reads it to draw the picture); FrameMutex guards the frame slots
// (the launcher writes the picture, the preload library's capture threads
// copy it into the buffers). Both are process-shared and robust: a process
// that dies holding one leaves it usable.
#pragma once

#include <atomic>
#include <cerrno>
#include <cstdint>

#include <pthread.h>

namespace emu {

constexpr uint32_t SharedMagic = 0x4c56454d; // "MEVL"
constexpr uint32_t SharedVersion = 2;
constexpr int MaxStations = 64;
constexpr int MaxControls = 32;

struct TStation
{
    int32_t Fm;
    int32_t FrequencyHz;
    int32_t AudioModes; // TVAudio_* bits of platform/device_interfaces.h
    char Name[48];
    char Pattern[24];
};

struct TPixFormat
{
    uint32_t Fourcc = 0, Width = 0, Height = 0, Field = 0, BytesPerLine = 0, SizeImage = 0;
    bool operator==(const TPixFormat &) const = default;
};

// The driver's state.
struct TDeviceState
{
    uint32_t Input;
    uint64_t Std;
    uint32_t TvFrequency;    // 62.5 kHz units
    uint32_t RadioFrequency; // 62.5 Hz units
    uint32_t TunerMode;      // V4L2_TUNER_ANALOG_TV or V4L2_TUNER_RADIO
    uint32_t AudMode;        // as set with S_TUNER (0xffffffff: the driver's choice)
    uint32_t RadioAudMode;
    int32_t Controls[MaxControls]; // in the model's control order
    TPixFormat Format;
    // The file that owns the buffer queue: pid << 32 | file number; 0: none.
    uint64_t QueueOwner;
    uint32_t Buffers;        // allocated buffers (the queue is "busy")
    uint32_t Streaming;      // a stream runs
    int64_t FirstStreamOnNs; // CLOCK_MONOTONIC; 0 before the first STREAMON
    uint32_t Unplugged;
    int64_t UnpluggedAtNs; // CLOCK_MONOTONIC of the unplug
    // Raised when the card is plugged back in: files opened before stay
    // gone, as files of a removed device do.
    uint32_t Generation;
    int32_t Station;        // the station the tuner receives, -1: none
    uint32_t Priorities[4]; // open files per V4L2 priority
};

// Misbehaviour asked for on the launcher's command line.
struct TFaults
{
    uint32_t BusyAtOpen;
    int64_t UnplugAfterNs; // after the first STREAMON; -1: never
    int64_t ReplugAfterNs; // after the unplug; -1: never
    int64_t StallAfterNs;  // after the first STREAMON; -1: never
    uint64_t RefusedStd;   // S_STD with any of these bits: EINVAL
};

struct TShared
{
    uint32_t Magic;
    uint32_t Version;
    uint64_t Size;
    pthread_mutex_t Mutex;
    // Increased under Mutex after every change of State; the launcher
    // watches it to redraw.
    std::atomic<uint32_t> Serial;
    TDeviceState State;
    TFaults Faults;
    int32_t StationCount;
    TStation Stations[MaxStations];

    // The picture, drawn by the launcher in the current format: two slots,
    // Front is the newest complete one.
    pthread_mutex_t FrameMutex;
    uint32_t Front;
    TPixFormat SlotFormat[2];
    uint64_t Frames; // pictures drawn so far
    uint64_t SlotBytes;
    uint64_t SlotOffset[2]; // from the start of the mapping
};

static_assert(std::atomic<uint32_t>::is_always_lock_free);

// The environment the launcher gives COMMAND.
constexpr const char *EnvShared = "LYRA_V4L2_EMU_SHARED"; // /proc/<pid>/fd/<n>
constexpr const char *EnvModel = "LYRA_V4L2_EMU_MODEL";   // the model file
constexpr const char *EnvSysfs = "LYRA_V4L2_EMU_SYSFS";   // root of the sysfs view
constexpr const char *EnvRadio = "LYRA_V4L2_EMU_RADIO";   // "1": /dev/radio0 exists

// The device numbers of the nodes (major 81 is video4linux's).
constexpr unsigned VideoMajor = 81, VideoMinor = 0, RadioMinor = 2;

// Locks a robust process-shared mutex; a dead owner's lock is taken over.
class TSharedLock
{
public:
    explicit TSharedLock(pthread_mutex_t *m) : M(m)
    {
        if (pthread_mutex_lock(M) == EOWNERDEAD)
            pthread_mutex_consistent(M);
    }
    ~TSharedLock() { pthread_mutex_unlock(M); }
    TSharedLock(const TSharedLock &) = delete;
    TSharedLock &operator=(const TSharedLock &) = delete;

private:
    pthread_mutex_t *M;
};

// Initialises a process-shared robust mutex in shared memory.
inline void InitSharedMutex(pthread_mutex_t *m)
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    pthread_mutex_init(m, &attr);
    pthread_mutexattr_destroy(&attr);
}

} // namespace emu
