// The misbehaviour asked for on the emulator's command line: a busy node,
// an unplug (and replug), a stalled stream, a refused standard. Each test
// runs under its own CTest entry with the fault switched on.
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <map>
#include <thread>

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "emu_support.h"

using namespace emutest;

namespace {

TEST(EmuFaults, BusyNodeRefusesOpen)
{
    if (!Model())
        GTEST_SKIP();
    TNode video("/dev/video0");
    EXPECT_EQ(video.Fd, -1);
    EXPECT_EQ(video.OpenError, EBUSY);
    struct stat st;
    EXPECT_EQ(stat("/dev/video0", &st), 0); // the node is there
}

TEST(EmuFaults, UnplugEndsTheStreamWithENODEV)
{
    if (!Model())
        GTEST_SKIP();
    TNode video("/dev/video0");
    ASSERT_GE(video.Fd, 0);
    SetFormat(video.Fd, V4L2_PIX_FMT_YUYV, 320, 240);
    auto *stream = new TStream(video.Fd, 3);
    ASSERT_EQ(stream->Error, 0);
    ASSERT_EQ(stream->Start(), 0);
    int error = 0, frames = 0;
    uint8_t first = 0;
    for (int i = 0; i < 200 && !error; ++i) {
        v4l2_buffer b{};
        error = stream->Next(b);
        if (!error) {
            ++frames;
            first = stream->Data(b.index)[0];
            stream->Queue(b.index);
        }
    }
    EXPECT_GT(frames, 0);
    // A waiting DQBUF ends with EIO, a new call with ENODEV.
    EXPECT_TRUE(error == EIO || error == ENODEV) << strerror(error);
    pollfd p{video.Fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 0), 1);
    EXPECT_EQ(p.revents & (POLLERR | POLLHUP), POLLERR | POLLHUP);
    v4l2_capability cap{};
    EXPECT_EQ(Ioctl(video.Fd, VIDIOC_QUERYCAP, &cap), ENODEV);
    struct stat st;
    EXPECT_NE(stat("/dev/video0", &st), 0);
    EXPECT_EQ(open("/dev/video0", O_RDWR), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(QFileInfo::exists("/sys/class/video4linux/video0"));
    // The mapped memory stays readable; closing still works.
    EXPECT_EQ(stream->Data(0)[0] | first, stream->Data(0)[0] | first);
    delete stream;
}

TEST(EmuFaults, ReplugGivesAFreshCardAndOldFilesStayGone)
{
    if (!Model())
        GTEST_SKIP();
    auto *old = new TNode("/dev/video0");
    ASSERT_GE(old->Fd, 0);
    SetFormat(old->Fd, V4L2_PIX_FMT_YUYV, 320, 240);
    auto *stream = new TStream(old->Fd, 3);
    ASSERT_EQ(stream->Start(), 0);
    int error = 0;
    for (int i = 0; i < 400 && !error; ++i) {
        v4l2_buffer b{};
        if (!(error = stream->Next(b)))
            stream->Queue(b.index);
    }
    ASSERT_NE(error, 0);
    struct stat st;
    for (int i = 0; i < 400 && stat("/dev/video0", &st) != 0; ++i)
        usleep(10000);
    ASSERT_EQ(stat("/dev/video0", &st), 0) << "the card did not come back";
    EXPECT_TRUE(QFileInfo::exists("/sys/class/video4linux/video0"));

    TNode fresh("/dev/video0");
    ASSERT_GE(fresh.Fd, 0);
    v4l2_capability cap{};
    EXPECT_EQ(Ioctl(fresh.Fd, VIDIOC_QUERYCAP, &cap), 0);
    EXPECT_EQ(Ioctl(old->Fd, VIDIOC_QUERYCAP, &cap), ENODEV);
    SetFormat(fresh.Fd, V4L2_PIX_FMT_YUYV, 320, 240);
    TStream again(fresh.Fd, 3);
    ASSERT_EQ(again.Error, 0);
    ASSERT_EQ(again.Start(), 0);
    // The old file's release leaves the new stream running.
    delete stream;
    delete old;
    for (int frames = 0; frames < 5; ++frames) {
        v4l2_buffer b{};
        ASSERT_EQ(again.Next(b), 0);
        again.Queue(b.index);
    }
}

TEST(EmuFaults, StalledStreamDeliversNothing)
{
    if (!Model())
        GTEST_SKIP();
    TNode video("/dev/video0");
    ASSERT_GE(video.Fd, 0);
    SetFormat(video.Fd, V4L2_PIX_FMT_YUYV, 320, 240);
    TStream stream(video.Fd, 3);
    ASSERT_EQ(stream.Start(), 0);
    v4l2_buffer b{};
    int frames = 0, error = 0;
    while (!(error = stream.Next(b, 500))) {
        ++frames;
        stream.Queue(b.index);
        ASSERT_LT(frames, 200);
    }
    EXPECT_GT(frames, 0);
    EXPECT_EQ(error, ETIMEDOUT);
    v4l2_capability cap{};
    EXPECT_EQ(Ioctl(video.Fd, VIDIOC_QUERYCAP, &cap), 0); // stalled, not gone
}

TEST(EmuFaults, RefusedStandardIsRefused)
{
    if (!Model())
        GTEST_SKIP();
    TNode video("/dev/video0");
    ASSERT_GE(video.Fd, 0);
    v4l2_std_id ntsc = V4L2_STD_NTSC_M, pal = V4L2_STD_PAL_BG;
    EXPECT_EQ(Ioctl(video.Fd, VIDIOC_S_STD, &ntsc), EINVAL);
    EXPECT_EQ(Ioctl(video.Fd, VIDIOC_S_STD, &pal), 0);
    // Still listed: the driver offers it, then refuses it.
    v4l2_standard s{};
    bool listed = false;
    for (s.index = 0; Ioctl(video.Fd, VIDIOC_ENUMSTD, &s) == 0; ++s.index)
        listed = listed || (s.id & V4L2_STD_NTSC_M);
    EXPECT_TRUE(listed);
}

} // namespace
