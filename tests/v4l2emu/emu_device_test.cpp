// The emulated card against raw V4L2 calls, as any program makes them: its
// nodes, streaming at the standard's rate, poll, queue ownership, read(),
// the picture following tuner, inputs and controls, the radio node, and the
// misbehaviour asked for on the launcher's command line (in
// emu_faults_test.cpp).
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

class EmuDevice : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!Model())
            GTEST_SKIP() << "runs under tools/v4l2-emu only";
    }
    // 62.5 kHz units.
    static uint32_t TvUnits(int64_t hz) { return uint32_t(hz / 62500); }
    static int SetTv(int fd, int64_t hz)
    {
        v4l2_frequency f{};
        f.type = V4L2_TUNER_ANALOG_TV;
        f.frequency = TvUnits(hz);
        return Ioctl(fd, VIDIOC_S_FREQUENCY, &f);
    }
    static int SetStd(int fd, v4l2_std_id id) { return Ioctl(fd, VIDIOC_S_STD, &id); }
    static int SetInput(int fd, int index) { return Ioctl(fd, VIDIOC_S_INPUT, &index); }
    static int FirstInput(bool tuner)
    {
        for (size_t i = 0; i < Model()->Inputs.size(); ++i)
            if (Model()->Inputs[i].Tuner == tuner)
                return int(i);
        return -1;
    }
    // A picture taken once a change has reached it: the launcher redraws
    // within a few frames.
    static std::vector<uint8_t> Picture(int fd)
    {
        std::vector<uint8_t> picture;
        int frames = 0;
        // The black of a card that has no picture drawn yet is skipped too.
        auto drawn = [](const std::vector<uint8_t> &p) {
            for (size_t i = 0; i + 1 < p.size(); i += 2)
                if (p[i] != 16 || p[i + 1] != 128)
                    return true;
            return false;
        };
        CaptureUntil(
            fd, [&](const std::vector<uint8_t> &p) { return ++frames > 10 && drawn(p); }, picture,
            10000);
        return picture;
    }
    static double Luma(int fd, const v4l2_pix_format &pix)
    {
        const std::vector<uint8_t> p = Picture(fd);
        return p.size() >= pix.sizeimage ? MeanLuma(p.data(), pix) : -1;
    }
    // The luma once it satisfies `done` (a loaded machine redraws late), or
    // the last one after a while.
    static double LumaUntil(int fd, const v4l2_pix_format &pix,
                            const std::function<bool(double)> &done)
    {
        double luma = -1;
        for (int i = 0; i < 10 && !done(luma); ++i)
            luma = Luma(fd, pix);
        return luma;
    }
};

TEST_F(EmuDevice, NodesAndSysfsLookLikeTheCards)
{
    struct stat st;
    ASSERT_EQ(stat("/dev/video0", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(major(st.st_rdev), 81u);
    EXPECT_EQ(stat("/dev/radio0", &st) == 0, RadioNode());
    // The listing of /dev the way Qt's QDir (and so the program) reads it.
    const QStringList nodes =
        QDir("/dev").entryList({"video*", "radio*"}, QDir::System | QDir::Files, QDir::Name);
    EXPECT_TRUE(nodes.contains("video0")) << nodes.join(' ').toStdString();
    EXPECT_EQ(nodes.contains("radio0"), RadioNode());

    TNode video("/dev/video0");
    ASSERT_GE(video.Fd, 0) << strerror(video.OpenError);
    ASSERT_EQ(fstat(video.Fd, &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    v4l2_capability cap{};
    ASSERT_EQ(Ioctl(video.Fd, VIDIOC_QUERYCAP, &cap), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(cap.driver)), Model()->Driver);
    EXPECT_TRUE(cap.device_caps & V4L2_CAP_VIDEO_CAPTURE);
    EXPECT_FALSE(cap.device_caps & V4L2_CAP_RADIO);

    // The node's device, its driver, and the card's sound card beside it:
    // the same PCI function, a sibling function, or a sibling USB
    // interface.
    const QString device = QFileInfo("/sys/class/video4linux/video0/device").canonicalFilePath();
    ASSERT_TRUE(device.startsWith("/sys/devices/")) << device.toStdString();
    EXPECT_EQ(QFileInfo(QFileInfo(device + "/driver").symLinkTarget()).fileName().toStdString(),
              Model()->KernelDriver);
    const QString sound = QFileInfo("/sys/class/sound/card1/device").canonicalFilePath();
    ASSERT_FALSE(sound.isEmpty());
    if (Model()->Bus == "pci") {
        EXPECT_EQ(sound.section('/', 0, -2), device.section('/', 0, -2));
        // Same slot, any function: "0000:05:01.0" and "0000:05:01.1".
        EXPECT_EQ(sound.section('/', -1).section('.', 0, 0),
                  device.section('/', -1).section('.', 0, 0));
    } else {
        EXPECT_EQ(sound.section('/', 0, -2), device.section('/', 0, -2));
        QFile vendor("/sys/class/video4linux/video0/device/../idVendor");
        ASSERT_TRUE(vendor.open(QIODevice::ReadOnly));
        EXPECT_EQ(vendor.readAll().trimmed(), QByteArray("eb1a"));
    }
}

TEST_F(EmuDevice, BuffersArriveAtTheStandardsFrameRate)
{
    TNode video("/dev/video0");
    ASSERT_GE(video.Fd, 0);
    for (const auto &[std, periodNs, fps] :
         {std::tuple{V4L2_STD_PAL_BG, 40000000.0, 25.0},
          std::tuple{V4L2_STD_NTSC_M, 1e9 * 1001 / 30000, 30000.0 / 1001}}) {
        ASSERT_EQ(SetStd(video.Fd, std), 0);
        v4l2_streamparm parm{};
        parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        ASSERT_EQ(Ioctl(video.Fd, VIDIOC_G_PARM, &parm), 0);
        EXPECT_DOUBLE_EQ(double(parm.parm.capture.timeperframe.denominator) /
                             parm.parm.capture.timeperframe.numerator,
                         fps);
        const v4l2_pix_format pix = SetFormat(video.Fd, V4L2_PIX_FMT_YUYV, 320, 240);
        TStream stream(video.Fd, 4);
        ASSERT_EQ(stream.Error, 0);
        ASSERT_EQ(stream.Start(), 0);
        std::vector<v4l2_buffer> got;
        for (int i = 0; i < 8; ++i) {
            v4l2_buffer b{};
            ASSERT_EQ(stream.Next(b), 0);
            got.push_back(b);
            ASSERT_EQ(stream.Queue(b.index), 0);
        }
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        const int64_t nowNs = int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
        int onTime = 0;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].bytesused, pix.sizeimage);
            EXPECT_EQ(got[i].field, pix.field);
            EXPECT_TRUE(got[i].flags & V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC);
            EXPECT_TRUE(got[i].flags & V4L2_BUF_FLAG_MAPPED);
            EXPECT_LE(Ns(got[i].timestamp), nowNs);
            if (i == 0)
                continue;
            // Frames come a whole number of frame periods apart (more than
            // one when the test fell behind and the card dropped frames,
            // as a card does when no buffer waits).
            const double delta = double(Ns(got[i].timestamp) - Ns(got[i - 1].timestamp));
            const long frames = std::lround(delta / periodNs);
            EXPECT_GE(frames, 1);
            EXPECT_NEAR(delta, frames * periodNs, 1e6) << "standard " << std;
            onTime += frames == 1;
            // Sequence numbers count completed buffers (vb2 drivers) or
            // captured frames (bttv).
            const uint32_t step = Model()->Sequence == "frames" ? uint32_t(frames) : 1u;
            EXPECT_EQ(got[i].sequence, got[i - 1].sequence + step);
        }
        EXPECT_GE(onTime, 4);
        EXPECT_LT(nowNs - Ns(got.back().timestamp), 1000000000);
    }
}

TEST_F(EmuDevice, PollWaitsForDoneBuffersAndErrsWithoutAStream)
{
    TNode video("/dev/video0");
    ASSERT_GE(video.Fd, 0);
    SetFormat(video.Fd, V4L2_PIX_FMT_YUYV, 320, 240);
    v4l2_requestbuffers r{};
    r.count = 2;
    r.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    r.memory = V4L2_MEMORY_MMAP;
    ASSERT_EQ(Ioctl(video.Fd, VIDIOC_REQBUFS, &r), 0);
    pollfd p{video.Fd, POLLIN, 0};
    // Buffers but no stream: nothing to wait for.
    ASSERT_EQ(poll(&p, 1, 1000), 1);
    EXPECT_TRUE(p.revents & POLLERR);
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(Ioctl(video.Fd, VIDIOC_STREAMON, &type), 0);
    // Streaming with no buffer queued: no frame can complete.
    p.revents = 0;
    EXPECT_EQ(poll(&p, 1, 150), 0);
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    ASSERT_EQ(Ioctl(video.Fd, VIDIOC_QBUF, &b), 0);
    EXPECT_EQ(Ioctl(video.Fd, VIDIOC_QBUF, &b), EINVAL); // already queued
    ASSERT_EQ(poll(&p, 1, 1000), 1);
    EXPECT_TRUE(p.revents & POLLIN);
    fd_set set;
    FD_ZERO(&set);
    FD_SET(video.Fd, &set);
    timeval t{1, 0};
    EXPECT_EQ(select(video.Fd + 1, &set, nullptr, nullptr, &t), 1);
    EXPECT_EQ(Ioctl(video.Fd, VIDIOC_DQBUF, &b), 0);
    EXPECT_EQ(b.index, 0u);
    ASSERT_EQ(Ioctl(video.Fd, VIDIOC_STREAMOFF, &type), 0);
    EXPECT_EQ(Ioctl(video.Fd, VIDIOC_DQBUF, &b), EINVAL);
}

TEST_F(EmuDevice, OneFileOwnsTheQueue)
{
    const bool vb2 = Model()->BufferApi == "vb2";
    TNode b("/dev/video0");
    ASSERT_GE(b.Fd, 0);
    {
        TNode a("/dev/video0");
        ASSERT_GE(a.Fd, 0);
        SetFormat(a.Fd, V4L2_PIX_FMT_YUYV, 320, 240);
        TStream first(a.Fd, 2);
        ASSERT_EQ(first.Error, 0);
        v4l2_requestbuffers r{};
        r.count = 2;
        r.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        r.memory = V4L2_MEMORY_MMAP;
        // vb2 drivers keep one queue; videobuf (bttv) one per file, and one
        // stream at a time.
        EXPECT_EQ(Ioctl(b.Fd, VIDIOC_REQBUFS, &r), vb2 ? EBUSY : 0);
        ASSERT_EQ(first.Start(), 0);
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        EXPECT_EQ(Ioctl(b.Fd, VIDIOC_STREAMON, &type), EBUSY);
        v4l2_format f{};
        f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        ASSERT_EQ(Ioctl(a.Fd, VIDIOC_G_FMT, &f), 0);
        EXPECT_EQ(Ioctl(a.Fd, VIDIOC_S_FMT, &f), EBUSY);
        // The standard while streaming, as each driver answers it.
        v4l2_std_id current = 0;
        ASSERT_EQ(Ioctl(b.Fd, VIDIOC_G_STD, &current), 0);
        const v4l2_std_id other = (current & V4L2_STD_525_60) ? V4L2_STD_PAL_BG : V4L2_STD_NTSC_M;
        const int expected = Model()->StdBusy == "never" ? 0 : EBUSY;
        EXPECT_EQ(SetStd(b.Fd, other), expected);
        if (!vb2) {
            r.count = 0;
            Ioctl(b.Fd, VIDIOC_REQBUFS, &r);
        }
    }
    // Closing the owner frees the queue.
    TStream second(b.Fd, 2);
    EXPECT_EQ(second.Error, 0);
    EXPECT_EQ(second.Start(), 0);
}

TEST_F(EmuDevice, DupAndNonBlockingShareTheOpenFile)
{
    const int fd = open("/dev/video0", O_RDWR | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    SetFormat(fd, V4L2_PIX_FMT_YUYV, 320, 240);
    const int copy = dup(fd);
    ASSERT_GE(copy, 0);
    {
        TStream stream(copy, 2);
        ASSERT_EQ(stream.Error, 0);
        ASSERT_EQ(close(fd), 0); // the file lives on through the copy
        ASSERT_EQ(stream.Start(), 0);
        v4l2_buffer b{};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        EXPECT_EQ(Ioctl(copy, VIDIOC_DQBUF, &b), EAGAIN);
        EXPECT_TRUE(fcntl(copy, F_GETFL) & O_NONBLOCK);
        // Blocking again: DQBUF waits for the next frame.
        ASSERT_EQ(fcntl(copy, F_SETFL, fcntl(copy, F_GETFL) & ~O_NONBLOCK), 0);
        EXPECT_FALSE(fcntl(copy, F_GETFL) & O_NONBLOCK);
        EXPECT_EQ(Ioctl(copy, VIDIOC_DQBUF, &b), 0);
    }
    EXPECT_EQ(close(copy), 0);
}

TEST_F(EmuDevice, ReadReturnsWholeFrames)
{
    TNode video("/dev/video0");
    ASSERT_GE(video.Fd, 0);
    const v4l2_pix_format pix = SetFormat(video.Fd, V4L2_PIX_FMT_YUYV, 320, 240);
    std::vector<uint8_t> frame(pix.sizeimage);
    EXPECT_EQ(read(video.Fd, frame.data(), frame.size()), ssize_t(pix.sizeimage));
    EXPECT_EQ(read(video.Fd, frame.data(), frame.size()), ssize_t(pix.sizeimage));
    // The read() stream holds the queue.
    v4l2_requestbuffers r{};
    r.count = 2;
    r.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    r.memory = V4L2_MEMORY_MMAP;
    EXPECT_EQ(Ioctl(video.Fd, VIDIOC_REQBUFS, &r), EBUSY);
}

TEST_F(EmuDevice, ThePictureFollowsTunerInputsAndControls)
{
    TNode video("/dev/video0");
    ASSERT_GE(video.Fd, 0);
    ASSERT_EQ(SetStd(video.Fd, V4L2_STD_PAL_BG), 0);
    const v4l2_pix_format pix = SetFormat(video.Fd, V4L2_PIX_FMT_YUYV, 320, 240);
    const int tuner = FirstInput(true), camera = FirstInput(false);
    ASSERT_GE(tuner, 0);
    ASSERT_EQ(SetInput(video.Fd, tuner), 0);
    auto status = [&] {
        v4l2_input in{};
        in.index = uint32_t(tuner);
        Ioctl(video.Fd, VIDIOC_ENUMINPUT, &in);
        v4l2_tuner t{};
        Ioctl(video.Fd, VIDIOC_G_TUNER, &t);
        return std::pair{in.status, t.signal};
    };

    // "Lyra One": colour bars, bright.
    ASSERT_EQ(SetTv(video.Fd, 55250000), 0);
    const double bars = LumaUntil(video.Fd, pix, [](double l) { return l > 100; });
    EXPECT_GT(bars, 100);
    const auto [lockedStatus, lockedSignal] = status();
    EXPECT_EQ(lockedStatus, 0u);
    EXPECT_EQ(lockedSignal, Model()->TvSignal == "decoder" ? 0xffffu : 0u);
    // "Channel Three": a ball on black.
    ASSERT_EQ(SetTv(video.Fd, 61250000), 0);
    EXPECT_LT(LumaUntil(video.Fd, pix, [&](double l) { return l >= 0 && l < bars - 40; }),
              bars - 40);
    // Between stations: snow, never two frames alike; the decoder reports
    // it when the driver reads its status (cx88 and em28xx do not).
    ASSERT_EQ(SetTv(video.Fd, 58250000), 0);
    std::vector<uint8_t> a = Picture(video.Fd), b = Picture(video.Fd);
    ASSERT_FALSE(a.empty());
    for (int i = 0; i < 10 && Difference(a, b) <= 20; ++i)
        a = b, b = Picture(video.Fd);
    EXPECT_GT(Difference(a, b), 20);
    const auto [snowStatus, snowSignal] = status();
    EXPECT_EQ(snowStatus, Model()->InputStatus ? V4L2_IN_ST_NO_H_LOCK | V4L2_IN_ST_NO_SIGNAL : 0u);
    EXPECT_EQ(snowSignal, 0u);

    // An external input has a picture of its own.
    ASSERT_EQ(SetInput(video.Fd, camera), 0);
    int current = -1;
    ASSERT_EQ(Ioctl(video.Fd, VIDIOC_G_INPUT, &current), 0);
    EXPECT_EQ(current, camera);
    const double external = LumaUntil(video.Fd, pix, [](double l) { return l > 60; });
    EXPECT_GT(external, 60);

    // Brightness at its top lightens it, at its bottom darkens it.
    for (const emu::TControl &c : Model()->Controls) {
        if (c.Role != "brightness")
            continue;
        v4l2_control ctl{c.Id, c.Max};
        ASSERT_EQ(Ioctl(video.Fd, VIDIOC_S_CTRL, &ctl), 0);
        EXPECT_GT(LumaUntil(video.Fd, pix, [&](double l) { return l > external + 30; }),
                  external + 30);
        ctl.value = c.Min;
        ASSERT_EQ(Ioctl(video.Fd, VIDIOC_S_CTRL, &ctl), 0);
        EXPECT_LT(LumaUntil(video.Fd, pix, [&](double l) { return l >= 0 && l < external - 30; }),
                  external - 30);
        ctl.value = c.Default;
        ASSERT_EQ(Ioctl(video.Fd, VIDIOC_S_CTRL, &ctl), 0);
    }
}

TEST_F(EmuDevice, ControlsClampAndRoundToTheirStep)
{
    TNode video("/dev/video0");
    ASSERT_GE(video.Fd, 0);
    for (const emu::TControl &c : Model()->Controls) {
        if (c.Type != V4L2_CTRL_TYPE_INTEGER)
            continue;
        v4l2_control ctl{c.Id, c.Max + 1000};
        ASSERT_EQ(Ioctl(video.Fd, VIDIOC_S_CTRL, &ctl), 0) << c.Name;
        EXPECT_EQ(ctl.value, c.Max) << c.Name;
        ctl.value = c.Min - 1000;
        ASSERT_EQ(Ioctl(video.Fd, VIDIOC_S_CTRL, &ctl), 0);
        EXPECT_EQ(ctl.value, c.Min) << c.Name;
        if (c.Max - c.Min >= 4 * c.Step) {
            // Just below the middle of a step rounds down.
            ctl.value = c.Min + 2 * c.Step + (c.Step - 1) / 2;
            ASSERT_EQ(Ioctl(video.Fd, VIDIOC_S_CTRL, &ctl), 0);
            v4l2_control back{c.Id, 0};
            ASSERT_EQ(Ioctl(video.Fd, VIDIOC_G_CTRL, &back), 0);
            EXPECT_EQ(back.value, c.Min + 2 * c.Step) << c.Name;
        }
        ctl.value = c.Default;
        Ioctl(video.Fd, VIDIOC_S_CTRL, &ctl);
    }
    v4l2_control unknown{V4L2_CID_GAMMA, 1};
    EXPECT_EQ(Ioctl(video.Fd, VIDIOC_S_CTRL, &unknown), EINVAL);
}

TEST_F(EmuDevice, RadioNodeTunesFmStations)
{
    if (!RadioNode())
        GTEST_SKIP() << "no --radio";
    TNode video("/dev/video0");
    TNode radio("/dev/radio0");
    ASSERT_GE(radio.Fd, 0);
    v4l2_capability cap{};
    ASSERT_EQ(Ioctl(radio.Fd, VIDIOC_QUERYCAP, &cap), 0);
    EXPECT_EQ(cap.device_caps & (V4L2_CAP_RADIO | V4L2_CAP_VIDEO_CAPTURE), V4L2_CAP_RADIO);
    v4l2_tuner t{};
    ASSERT_EQ(Ioctl(radio.Fd, VIDIOC_G_TUNER, &t), 0);
    EXPECT_EQ(t.type, V4L2_TUNER_RADIO);
    EXPECT_TRUE(t.capability & V4L2_TUNER_CAP_LOW); // 62.5 Hz units
    EXPECT_EQ(t.rangelow, 65u * 16000);
    EXPECT_EQ(t.rangehigh, 108u * 16000);
    auto tune = [&](int64_t hz) {
        v4l2_frequency f{};
        f.type = V4L2_TUNER_RADIO;
        f.frequency = uint32_t(hz * 16 / 1000);
        EXPECT_EQ(Ioctl(radio.Fd, VIDIOC_S_FREQUENCY, &f), 0);
        v4l2_tuner r{};
        EXPECT_EQ(Ioctl(radio.Fd, VIDIOC_G_TUNER, &r), 0);
        return r;
    };
    // "Radio Lyra 88.1", stereo; 10 kHz above it the AFC says "too high".
    const v4l2_tuner on = tune(88110000);
    EXPECT_GT(on.signal, 0u);
    EXPECT_TRUE(on.rxsubchans & V4L2_TUNER_SUB_STEREO);
    if (Model()->RadioAfc == "tda9887")
        EXPECT_EQ(on.afc, 12500);
    EXPECT_EQ(tune(89000000).signal, 0u);
    // A TV frequency takes the tuner back from radio.
    v4l2_frequency tv{};
    tv.type = V4L2_TUNER_ANALOG_TV;
    tv.frequency = TvUnits(55250000);
    ASSERT_EQ(Ioctl(video.Fd, VIDIOC_S_FREQUENCY, &tv), 0);
    EXPECT_EQ(tune(88100000).signal, 0xe000u); // the radio node selects radio again
    // The video node cannot tune radio, the radio node not TV.
    tv.type = V4L2_TUNER_RADIO;
    EXPECT_EQ(Ioctl(video.Fd, VIDIOC_S_FREQUENCY, &tv), EINVAL);
}

TEST_F(EmuDevice, FormatsAndSizesAreTheDrivers)
{
    TNode video("/dev/video0");
    ASSERT_GE(video.Fd, 0);
    ASSERT_EQ(SetStd(video.Fd, V4L2_STD_PAL_BG), 0);
    v4l2_fmtdesc d{};
    d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    std::vector<uint32_t> listed;
    for (d.index = 0; Ioctl(video.Fd, VIDIOC_ENUM_FMT, &d) == 0; ++d.index) {
        listed.push_back(d.pixelformat);
        EXPECT_GT(strlen(reinterpret_cast<char *>(d.description)), 0u);
    }
    EXPECT_EQ(listed, Model()->Formats);
    // The largest picture, asked for too much.
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    f.fmt.pix = {4096, 4096, V4L2_PIX_FMT_YUYV, V4L2_FIELD_ANY};
    ASSERT_EQ(Ioctl(video.Fd, VIDIOC_TRY_FMT, &f), 0);
    const std::map<std::string, std::pair<uint32_t, uint32_t>> largest = {{"saa7134", {720, 578}},
                                                                          {"cx88", {720, 576}},
                                                                          {"bttv", {924, 576}},
                                                                          {"em28xx", {720, 576}}};
    EXPECT_EQ(std::pair(f.fmt.pix.width, f.fmt.pix.height), largest.at(Model()->Profile));
    EXPECT_EQ(f.fmt.pix.bytesperline, f.fmt.pix.width * 2);
    // An unknown format: refused, but em28xx falls back to YUYV.
    f.fmt.pix = {640, 480, v4l2_fourcc('M', 'J', 'P', 'G'), V4L2_FIELD_ANY};
    const int unknown = Ioctl(video.Fd, VIDIOC_TRY_FMT, &f);
    if (Model()->Profile == "em28xx")
        EXPECT_TRUE(unknown == 0 && f.fmt.pix.pixelformat == V4L2_PIX_FMT_YUYV);
    else
        EXPECT_EQ(unknown, EINVAL);
    // Only em28xx lists sizes; the others answer one at a time.
    v4l2_frmsizeenum size{};
    size.pixel_format = V4L2_PIX_FMT_YUYV;
    const int sizes = Ioctl(video.Fd, VIDIOC_ENUM_FRAMESIZES, &size);
    if (Model()->FrameSizes == "em28xx") {
        ASSERT_EQ(sizes, 0);
        EXPECT_EQ(size.type, V4L2_FRMSIZE_TYPE_STEPWISE);
        EXPECT_EQ(size.stepwise.max_width, 720u);
    } else {
        EXPECT_EQ(sizes, ENOTTY);
    }
    // 525 lines: 480 at most.
    ASSERT_EQ(SetStd(video.Fd, V4L2_STD_NTSC_M), 0);
    f.fmt.pix = {720, 576, V4L2_PIX_FMT_YUYV, V4L2_FIELD_INTERLACED};
    ASSERT_EQ(Ioctl(video.Fd, VIDIOC_TRY_FMT, &f), 0);
    EXPECT_EQ(f.fmt.pix.height, 480u);
}

TEST_F(EmuDevice, StandardsAreListedAsTheV4l2CoreListsThem)
{
    TNode video("/dev/video0");
    ASSERT_GE(video.Fd, 0);
    std::vector<std::string> names;
    v4l2_standard s{};
    for (s.index = 0; Ioctl(video.Fd, VIDIOC_ENUMSTD, &s) == 0; ++s.index) {
        names.push_back(reinterpret_cast<char *>(s.name));
        const bool lines525 = s.id & V4L2_STD_525_60;
        EXPECT_EQ(s.framelines, lines525 ? 525u : 625u) << names.back();
        EXPECT_EQ(s.frameperiod.numerator, lines525 ? 1001u : 1u) << names.back();
        EXPECT_EQ(s.frameperiod.denominator, lines525 ? 30000u : 25u) << names.back();
    }
    // The list "v4l2-ctl --list-standards" gives for the saa7134 and bttv
    // norms: groups, then what is left of them.
    if (Model()->Profile == "saa7134" || Model()->Profile == "bttv") {
        const std::vector<std::string> expected = {
            "NTSC",    "NTSC-M",  "NTSC-M-JP", "NTSC-M-KR", "PAL",     "PAL-BG",  "PAL-H",
            "PAL-I",   "PAL-DK",  "PAL-M",     "PAL-N",     "PAL-Nc",  "PAL-60",  "SECAM",
            "SECAM-B", "SECAM-G", "SECAM-H",   "SECAM-DK",  "SECAM-L", "SECAM-Lc"};
        EXPECT_EQ(names, expected);
    }
    EXPECT_GE(names.size(), 10u);
}

} // namespace
