// Recordings from the virtual card through the real graphs: every kind of
// file, checked by decoding it; the free-space guard, the time limit and
// the time shift's rules.
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "capture/recording_repair.h"
#include "media_test_util.h"
#include "platform/filter_registry.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

using TestEnv::WaitUntil;

struct TTick
{
    bool Stop;
    bool TimeShift;
    int64_t Free;
    int64_t Elapsed;
};

class RecordingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Folder = TestEnv::NewFolder("recording");
        Main.CapturePath = Folder + "/";
        Main.FMCapturePath = Folder + "/fm/";
        QDir().mkpath(Main.FMCapturePath);
        MainInfo = &Main;
        SetVideoWindowHost(&Host);
        SetWarningPresenter(&Presenter);
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
        SetRendererOverride({}, "fakesink sync=true");
        TVirtualCard &card = TVirtualCard::Instance();
        card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        card.Reset();
    }
    void TearDown() override
    {
        Engine.reset();
        SetVideoWindowHost(PreviousHost);
        SetWarningPresenter(nullptr);
        SetV4l2Backend(nullptr);
        SetRendererOverride({}, {});
        SetVirtualCardProfile("saa7134");
        TVirtualCard::Instance().Reset();
        MainInfo = nullptr;
    }
    // The engine on the virtual card with its preview running.
    TCaptureInfo &Start(const char *profile = "saa7134")
    {
        EXPECT_TRUE(SetVirtualCardProfile(profile));
        Engine = std::make_unique<TCaptureInfo>();
        EXPECT_TRUE(Engine->SelectDevices());
        EXPECT_TRUE(Engine->StartPreview(true));
        Engine->UseDateTimeFileName = false;
        Engine->OnRecordTick = [this](bool stop, bool ts, int64_t free, int64_t, int64_t elapsed) {
            Ticks.push_back({stop, ts, free, elapsed});
        };
        return *Engine;
    }
    // Records for about `seconds` and stops; the file's name.
    QString Record(int seconds = 2)
    {
        Ticks.clear();
        if (!Engine->StartRecording())
            return {};
        WaitUntil([&] { return Engine->ElapsedSeconds >= seconds; }, seconds * 1000 + 5000);
        EXPECT_TRUE(Engine->StopRecording());
        EXPECT_FALSE(Engine->Capturing);
        EXPECT_TRUE(Engine->StartPreview(false));
        return Engine->CaptureFileName;
    }
    // The settings dialog's defaults of a capture format.
    void Format(int format)
    {
        TCaptureInfo &e = *Engine;
        e.CaptureFormat = format;
        struct
        {
            int W, H, Rate, Fps;
        } const table[] = {{320, 240, 1350, 5}, {640, 480, 4000, 5}, {320, 240, 2000, 5},
                           {320, 240, 2000, 5}, {352, 240, 1150, 4}, {352, 288, 1150, 3},
                           {720, 480, 3950, 4}, {720, 576, 3950, 3}, {480, 480, 2300, 4},
                           {480, 576, 2300, 4}};
        e.CaptureWidth = table[format].W;
        e.CaptureHeight = table[format].H;
        e.BitRate = table[format].Rate;
        e.FrameRateIndex = table[format].Fps;
        e.CaptureQuality = 0;
    }

    QString Folder;
    TMainInfo Main;
    TRecordingPresenter Presenter;
    IVideoWindowHost *PreviousHost = VideoWindowHost();
    TVideoWindowHost Host;
    std::unique_ptr<TCaptureInfo> Engine;
    std::vector<TTick> Ticks;
};

// Duration within one frame period of what was asked (plus the start-up of
// the graph, which the clock does not count).
void ExpectDuration(const TDiscovered &d, double seconds, double slack)
{
    ASSERT_NE(d.Duration, GST_CLOCK_TIME_NONE);
    const double got = double(d.Duration) / GST_SECOND;
    EXPECT_GT(got, seconds - 0.5) << got;
    EXPECT_LT(got, seconds + slack) << got;
}

TEST_F(RecordingTest, KindsAndExtensionsFollowTheModeAndTheFormat)
{
    TCaptureInfo e;
    const int kinds[] = {0, 1, 2, 3, 0, 0, 1, 1, 1, 1};
    for (int format = 0; format < 10; ++format) {
        e.CaptureFormat = format;
        EXPECT_EQ(e.RecordKind(), kinds[format]) << format;
    }
    e.CaptureAudioOption = 1;
    EXPECT_EQ(e.RecordKind(), TCaptureInfo::KindWave);
    e.CaptureAudioFormat = 1;
    EXPECT_EQ(e.RecordKind(), TCaptureInfo::KindMP3);
    // A time shift ignores the audio-only choice; FM mode outranks it.
    e.RecordPurpose = 1;
    EXPECT_EQ(e.RecordKind(), TCaptureInfo::KindTimeShift);
    e.FMMode = 1;
    EXPECT_EQ(e.RecordKind(), TCaptureInfo::KindMP3);
    const char *ext[] = {"mpg", "mpg", "avi", "avi", "wav", "mp3", "mpv"};
    for (int kind = 0; kind < 7; ++kind)
        EXPECT_EQ(TCaptureInfo::RecordExtension(kind), ext[kind]);
}

TEST_F(RecordingTest, NumberedNamesNeverOverwriteDateNamesOfOneSecondCollide)
{
    TCaptureInfo e;
    const QString base = Folder + "/show";
    EXPECT_EQ(e.BuildCaptureFileName(true, base, 0), base + ".mpg");
    QFile(base + ".mpg").open(QIODevice::WriteOnly);
    QFile(base + "_1.mpg").open(QIODevice::WriteOnly);
    EXPECT_EQ(e.BuildCaptureFileName(true, base, 0), base + "_2.mpg");
    EXPECT_EQ(e.BuildCaptureFileName(true, base, 4), base + ".wav");
    // A bare base goes to the capture folder, and to the FM folder in FM mode.
    EXPECT_EQ(e.BuildCaptureFileName(true, "show", 0), Main.CapturePath + "show_2.mpg");
    e.FMMode = 1;
    EXPECT_EQ(e.BuildCaptureFileName(true, "show", 4), Main.FMCapturePath + "show.wav");
    e.FMMode = 0;
    QString a, b;
    int attempts = 0;
    do {
        a = e.BuildCaptureFileName(false, base, 1);
        b = e.BuildCaptureFileName(false, base, 1);
    } while (a != b && ++attempts < 5);
    EXPECT_EQ(a, b);
    EXPECT_TRUE(QFileInfo(a).fileName().contains(QRegularExpression("^\\d{8}_\\d{6}\\.mpg$")))
        << a.toStdString();
    EXPECT_EQ(QFileInfo(a).path() + "/", Main.CapturePath);
}

TEST_F(RecordingTest, FreeSpaceGuardAndTimeLimitStopOnTheRightTick)
{
    TCaptureInfo &e = Start();
    int64_t free = TCaptureInfo::MinFreeSpace - 1;
    e.DiskFreeBytes = [&](const QString &) { return free; };
    Format(FormatMPEG1);
    EXPECT_FALSE(e.StartRecording());
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_EQ(Presenter.Shown[0], WarningLines(1100, 0).join('\n'));
    Presenter.Shown.clear();
    // Exactly the minimum is accepted; the clock stops at it.
    free = TCaptureInfo::MinFreeSpace;
    e.RecordTimer->setInterval(1);
    ASSERT_TRUE(e.StartRecording());
    ASSERT_TRUE(WaitUntil([&] { return !Ticks.empty(); }, 5000));
    EXPECT_TRUE(Ticks[0].Stop);
    EXPECT_EQ(Ticks[0].Free, 0);
    EXPECT_TRUE(e.StopRecording());
    // Plenty of space: the limit of 10 s stops on the tenth tick only.
    Ticks.clear();
    free = 1LL << 40;
    e.TimeLimitEnabled = true;
    e.TimeLimit = 10;
    ASSERT_TRUE(e.StartRecording());
    ASSERT_TRUE(WaitUntil([&] { return Ticks.size() >= 10; }, 5000));
    EXPECT_TRUE(e.StopRecording());
    for (size_t i = 0; i < 9; ++i)
        EXPECT_FALSE(Ticks[i].Stop) << i;
    EXPECT_TRUE(Ticks[9].Stop);
    EXPECT_EQ(Ticks[9].Elapsed, 10);
    EXPECT_TRUE(Presenter.Shown.isEmpty()) << Presenter.Shown.join("|").toStdString();
}

TEST_F(RecordingTest, MpegFormatsRecordTheirProfiles)
{
    Start();
    struct
    {
        int Format, Mpeg, W, H, AudioRate, FpsN, FpsD;
    } const cases[] = {
        {FormatVCDPAL, 1, 352, 288, 44100, 25, 1},        {FormatDVDPAL, 2, 720, 576, 48000, 25, 1},
        {FormatSVCDPAL, 2, 480, 576, 44100, 25, 1},       {FormatMPEG2, 2, 640, 480, 44100, 30, 1},
        {FormatDVDNTSC, 2, 720, 480, 48000, 30000, 1001},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Format);
        Format(c.Format);
        const QString file = Record(2);
        ASSERT_FALSE(file.isEmpty());
        const TDiscovered d = Discover(file);
        ASSERT_TRUE(d.Ok) << d.Error;
        EXPECT_EQ(d.VideoMpegVersion, c.Mpeg);
        EXPECT_EQ(d.Width, c.W);
        EXPECT_EQ(d.Height, c.H);
        EXPECT_EQ(d.AudioRate, c.AudioRate);
        EXPECT_EQ(d.FpsN * c.FpsD, c.FpsN * d.FpsD);
        ExpectDuration(d, 2, 1.5);
    }
    EXPECT_TRUE(Presenter.Shown.isEmpty()) << Presenter.Shown.join("|").toStdString();
}

TEST_F(RecordingTest, A720x576RecordingAsked29_97RecordsAt25)
{
    Start();
    Format(FormatMPEG2);
    Engine->CaptureWidth = 720;
    Engine->CaptureHeight = 576;
    Engine->FrameRateIndex = 4;
    const TDiscovered d = Discover(Record(1));
    ASSERT_TRUE(d.Ok) << d.Error;
    EXPECT_EQ(d.FpsN, 25 * d.FpsD);
}

TEST_F(RecordingTest, AviAndSoundFormatsDecode)
{
    Start();
    struct
    {
        int Format, Codec, Option, AudioFormat;
        const char *Ext;
        bool Video;
    } const cases[] = {
        {FormatMPEG4, 0, 0, 0, ".avi", true},  {FormatMPEG4, 1, 0, 0, ".avi", true},
        {FormatMPEG4, 2, 0, 0, ".avi", true},  {FormatAVI, 2, 0, 0, ".avi", true},
        {FormatMPEG2, 2, 1, 0, ".wav", false}, {FormatMPEG2, 2, 1, 1, ".mp3", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.Ext) + std::to_string(c.Codec));
        Format(c.Format);
        Main.MPEG4Codec = c.Codec;
        Engine->CaptureAudioOption = c.Option;
        Engine->CaptureAudioFormat = c.AudioFormat;
        const QString file = Record(2);
        ASSERT_TRUE(file.endsWith(c.Ext)) << file.toStdString();
        const TDiscovered d = Discover(file);
        ASSERT_TRUE(d.Ok) << d.Error;
        EXPECT_GT(d.AudioRate, 0);
        if (c.Video) {
            EXPECT_EQ(d.Width, 320);
            EXPECT_EQ(d.Height, 240);
        } else {
            EXPECT_EQ(d.Width, 0);
        }
        ExpectDuration(d, 2, 1.5);
    }
    EXPECT_TRUE(Presenter.Shown.isEmpty()) << Presenter.Shown.join("|").toStdString();
    // The V1 codec does not exist here.
    Format(FormatMPEG4);
    Engine->CaptureAudioOption = 0;
    Main.MPEG4Codec = 3;
    EXPECT_FALSE(Engine->StartRecording());
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_EQ(Presenter.Shown[0], WarningLines(1019, 0).join('\n'));
    // Quiet: the same failure shows nothing.
    Engine->Quiet = 1;
    EXPECT_FALSE(Engine->StartRecording());
    EXPECT_EQ(Presenter.Shown.size(), 1);
}

TEST_F(RecordingTest, TimeShiftRecordsSoundAlwaysAndIsReadyAfterTenSeconds)
{
    TCaptureInfo &e = Start();
    Format(FormatDVDPAL);
    e.CaptureAudioOption = 2; // "Disable Audio"
    int ready = 0;
    e.OnTimeShiftReady = [&](bool) { ++ready; };
    e.RecordTimer->setInterval(100);
    ASSERT_TRUE(e.StartTimeShift());
    EXPECT_TRUE(e.TimeShiftRecording());
    EXPECT_EQ(e.CaptureFileName, Main.CapturePath + "ts0.mpv");
    ASSERT_TRUE(WaitUntil([&] { return e.ElapsedSeconds >= 10; }, 10000));
    EXPECT_EQ(ready, 0);
    ASSERT_TRUE(WaitUntil([&] { return e.ElapsedSeconds >= 25; }, 10000));
    EXPECT_EQ(ready, 1);
    EXPECT_TRUE(e.TimeShiftReady);
    // Ticks of a time shift never ask to stop for the time limit.
    for (const TTick &t : Ticks)
        EXPECT_TRUE(t.TimeShift && !t.Stop);
    const TDiscovered d = Discover(e.CaptureFileName);
    ASSERT_TRUE(d.Ok) << d.Error;
    EXPECT_EQ(d.VideoMpegVersion, 1);
    EXPECT_EQ(d.Width, 320); // the saa7134 records 320x240 on any standard
    EXPECT_GT(d.AudioRate, 0);
    EXPECT_TRUE(QFileInfo::exists(e.CaptureFileName + ".idx"));
    ASSERT_TRUE(e.StopTimeShift());
    // Settings as they were; the files are gone.
    EXPECT_EQ(e.CaptureFormat, FormatDVDPAL);
    EXPECT_FALSE(QFileInfo::exists(Main.CapturePath + "ts0.mpv"));
    EXPECT_FALSE(QFileInfo::exists(Main.CapturePath + "ts0.mpv.idx"));

    // Stopped before ten seconds: never ready. A kept result has a normal
    // name with "mpv" and stays.
    ready = 0;
    e.RecordTimer->setInterval(1000);
    e.SaveTimeShiftResult = true;
    ASSERT_TRUE(e.StartTimeShift());
    WaitUntil([&] { return e.ElapsedSeconds >= 1; }, 5000);
    const QString kept = e.CaptureFileName;
    ASSERT_TRUE(e.StopTimeShift());
    EXPECT_EQ(ready, 0);
    EXPECT_EQ(kept, Main.CapturePath + "capture.mpv");
    EXPECT_TRUE(QFileInfo::exists(kept));
}

TEST_F(RecordingTest, FMModeRecordsTheRadioIntoTheFMFolder)
{
    TCaptureInfo &e = Start();
    ASSERT_TRUE(e.SetFMMode(true));
    ASSERT_TRUE(e.StartPreview(false));
    Format(FormatDVDPAL); // the video settings do not apply to the radio
    for (int format : {0, 1}) {
        e.CaptureAudioFormat = format;
        const QString file = Record(2);
        EXPECT_TRUE(file.startsWith(Main.FMCapturePath)) << file.toStdString();
        EXPECT_TRUE(file.endsWith(format ? ".mp3" : ".wav")) << file.toStdString();
        const TDiscovered d = Discover(file);
        ASSERT_TRUE(d.Ok) << d.Error;
        EXPECT_EQ(d.Width, 0);
        EXPECT_GT(d.AudioRate, 0);
        ExpectDuration(d, 2, 1.5);
    }
    EXPECT_TRUE(Presenter.Shown.isEmpty()) << Presenter.Shown.join("|").toStdString();
}

TEST_F(RecordingTest, WisCardRecordsItsOwnMpeg4IntoAvi)
{
    TCaptureInfo &e = Start("wis");
    ASSERT_TRUE(Main.IsWisFamily);
    Format(FormatMPEG4);
    const QString file = Record(2);
    ASSERT_TRUE(file.endsWith(".avi")) << file.toStdString();
    const TDiscovered d = Discover(file);
    ASSERT_TRUE(d.Ok) << d.Error;
    EXPECT_EQ(d.Width, 320);
    EXPECT_EQ(d.Height, 240);
    EXPECT_EQ(d.AudioRate, 48000);
    ExpectDuration(d, 2, 1.5);
    EXPECT_TRUE(Presenter.Shown.isEmpty()) << Presenter.Shown.join("|").toStdString();
    // The card's MPEG multiplexer does not exist here.
    Format(FormatMPEG2);
    EXPECT_FALSE(e.StartRecording());
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_EQ(Presenter.Shown[0], WarningLines(1020, 0).join('\n'));
}

TEST_F(RecordingTest, WriteErrorEndsTheRecordingAsADiskFull)
{
    TCaptureInfo &e = Start();
    // The date names of the next seconds lead to a device that is always
    // full: the first write fails with ENOSPC, in the recorder or in the
    // file writer behind a multiplexer.
    e.UseDateTimeFileName = true;
    struct
    {
        int Format, Option;
        const char *Ext;
    } const cases[] = {
        {FormatMPEG1, 0, ".mpg"}, {FormatMPEG4, 0, ".avi"}, {FormatMPEG1, 1, ".wav"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Ext);
        Format(c.Format);
        e.CaptureAudioOption = c.Option;
        const QDateTime now = QDateTime::currentDateTime();
        for (int s = 0; s < 4; ++s)
            QFile::link("/dev/full",
                        Main.CapturePath + now.addSecs(s).toString("yyyyMMdd_HHmmss") + c.Ext);
        Ticks.clear();
        ASSERT_TRUE(e.StartRecording());
        ASSERT_TRUE(WaitUntil([&] { return !Ticks.empty() && Ticks.back().Stop; }, 5000));
        EXPECT_FALSE(e.RecordWriteError.isEmpty());
        EXPECT_LE(Ticks.back().Free + TCaptureInfo::MinFreeSpace, 1000000);
        EXPECT_TRUE(e.StopRecording());
        EXPECT_FALSE(e.Capturing);
        // The graph is usable again.
        EXPECT_TRUE(e.StartPreview(false));
        for (const QFileInfo &link : QDir(Main.CapturePath).entryInfoList(QDir::System))
            if (link.isSymLink())
                QFile::remove(link.filePath());
        QThread::msleep(1100); // the next case's names are of later seconds
    }
}

} // namespace
