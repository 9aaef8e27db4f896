// Shared by the tests that run under tools/v4l2-emu: the profile's model,
// raw V4L2 access and waiting for the emulated card's picture.
#pragma once

#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <linux/videodev2.h>

#include "emu_model.h"

namespace emutest {

// The model the emulator runs (null when the test runs without it).
const emu::TModel *Model();
bool RadioNode();

// ioctl returning the errno value (0 on success).
int Ioctl(int fd, unsigned long request, void *arg);

// An open node, closed with the object.
class TNode
{
public:
    explicit TNode(const char *path, int flags = O_RDWR);
    ~TNode();
    TNode(const TNode &) = delete;
    TNode &operator=(const TNode &) = delete;
    int Fd = -1;
    int OpenError = 0;
};

// MMAP streaming on a node: buffers allocated, mapped and queued.
class TStream
{
public:
    TStream(int fd, uint32_t count);
    ~TStream();
    TStream(const TStream &) = delete;
    TStream &operator=(const TStream &) = delete;
    int Error = 0; // of the set-up
    int Start();
    int Stop();
    // Waits (poll) for a buffer and dequeues it: 0 or the errno value.
    int Next(v4l2_buffer &b, int timeoutMs = 2000);
    int Queue(uint32_t index);
    const uint8_t *Data(uint32_t index) const { return Maps[index]; }
    uint32_t Length = 0;

private:
    int Fd;
    std::vector<uint8_t *> Maps;
};

// Sets a format and returns the driver's answer.
v4l2_pix_format SetFormat(int fd, uint32_t fourcc, uint32_t width, uint32_t height);
// The mean of the luma bytes of a YUYV picture.
double MeanLuma(const uint8_t *yuyv, const v4l2_pix_format &pix);
// Mean absolute difference of two pictures of the same size.
double Difference(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b);

// Captures pictures until `done` accepts one (or the time runs out); the
// last picture is returned in `picture`.
bool CaptureUntil(int fd, const std::function<bool(const std::vector<uint8_t> &)> &done,
                  std::vector<uint8_t> &picture, int timeoutMs = 5000);

int64_t Ns(const timeval &t);

} // namespace emutest
