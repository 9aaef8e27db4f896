#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include "app/audio_adjust.h"
#include "app/oem_info.h"
#include "platform/program_folder.h"
#include "test_env.h"

namespace {

// A sound card mixer made of plain data: the shape the ALSA backend
// presents, without a sound card.
class TableMixer : public TAudioMixer
{
public:
    struct Line
    {
        TMixerLineInfo Info;
        int Left = 0, Right = 0, Mute = 0;
        std::vector<Line> Sources;
    };
    struct Device
    {
        QString Product;
        std::vector<Line> Destinations;
    };
    std::vector<Device> Devices;
    int Open = -1;

    int DeviceCount() const override { return int(Devices.size()); }
    bool SetMixerId(int id) override
    {
        if (id < 0 || id >= DeviceCount())
            return false;
        Open = id;
        return true;
    }
    int MixerId() const override { return Open; }
    QString ProductName() const override { return Open < 0 ? QString() : Devices[Open].Product; }
    int DestinationCount() const override
    {
        return Open < 0 ? 0 : int(Devices[Open].Destinations.size());
    }
    TMixerLineInfo Destination(int d) const override
    {
        TMixerLineInfo info = Devices[Open].Destinations[d].Info;
        info.Connections = int(Devices[Open].Destinations[d].Sources.size());
        return info;
    }
    TMixerLineInfo Connection(int d, int c) const override
    {
        return Devices[Open].Destinations[d].Sources[c].Info;
    }
    Line *At(int d, int c)
    {
        if (Open < 0 || d >= DestinationCount())
            return nullptr;
        Line &dst = Devices[Open].Destinations[d];
        if (c < 0)
            return &dst;
        return c < int(dst.Sources.size()) ? &dst.Sources[c] : nullptr;
    }
    bool GetVolume(int d, int c, int &l, int &r, int &m) override
    {
        Line *line = At(d, c);
        if (!line)
            return false;
        l = line->Left;
        r = line->Right;
        m = line->Mute;
        return true;
    }
    bool SetVolume(int d, int c, int l, int r, int m) override
    {
        Line *line = At(d, c);
        if (!line)
            return false;
        line->Left = l;
        line->Right = r;
        if (m >= 0)
            line->Mute = m;
        return true;
    }
    bool SetMuteLine(int d, int c, bool m) override
    {
        Line *line = At(d, c);
        if (!line)
            return false;
        line->Mute = m;
        return true;
    }
};

TableMixer::Line Source(const QString &name, int level = 0)
{
    TableMixer::Line l;
    l.Info.Name = name;
    l.Left = l.Right = level;
    return l;
}

TableMixer::Line Dest(int type, std::vector<TableMixer::Line> sources, int level = 0)
{
    TableMixer::Line l;
    l.Info.ComponentType = type;
    l.Sources = std::move(sources);
    l.Left = l.Right = level;
    return l;
}

TEST(AudioAdjust, NoMixerMeansEveryOperationDoesNothing)
{
    TAudioAdjustInfo audio;
    EXPECT_EQ(audio.HasMixer, 0);
    audio.SetVolume(1000);
    audio.SetMute(true);
    audio.SetRecordVolume(5);
    audio.SetOutputChannels(1);
    EXPECT_EQ(audio.Volume, 0);
    EXPECT_EQ(audio.Muted, 0);
    EXPECT_TRUE(audio.RecordMixerName().isEmpty());
}

TEST(AudioAdjust, PlaybackAndRecordingMayUseDifferentCards)
{
    auto mixer = std::make_unique<TableMixer>();
    // Card 1: speakers only, and a recording destination with one line.
    mixer->Devices.push_back({"Onboard", {Dest(MixerDstSpeakers, {Source("PCM"), Source("Line In")}, 40000),
                                          Dest(MixerDstWaveIn, {Source("Mic")})}});
    // Card 2: a recording destination with two lines.
    mixer->Devices.push_back({"USB TV", {Dest(MixerDstWaveIn, {Source("Line", 22222), Source("Mic")})}});
    TableMixer *raw = mixer.get();
    TAudioAdjustInfo audio(std::move(mixer));
    EXPECT_EQ(audio.HasMixer, 1);
    EXPECT_EQ(audio.PlaybackMixerIndex, 0);
    EXPECT_EQ(audio.RecordMixerIndex, 0)
        << "the playback card has a recording destination, so it records too";

    // Without a recording destination on the first card, the second records.
    auto mixer2 = std::make_unique<TableMixer>();
    mixer2->Devices.push_back({"Onboard", {Dest(MixerDstSpeakers, {Source("PCM"), Source("Line In")}, 40000)}});
    mixer2->Devices.push_back({"USB TV", {Dest(MixerDstWaveIn, {Source("Line", 22222), Source("Mic")})}});
    raw = mixer2.get();
    TAudioAdjustInfo audio2(std::move(mixer2));
    EXPECT_EQ(audio2.PlaybackMixerIndex, 0);
    EXPECT_EQ(audio2.RecordMixerIndex, 1);
    EXPECT_EQ(audio2.RecordMixerName(), "USB TV");
    EXPECT_EQ(audio2.Volume, 40000);
    EXPECT_EQ(audio2.PlaybackLineIndex, 1) << "the last line named like \"line\"";
    EXPECT_EQ(audio2.RecordLineIndex, 0);
    EXPECT_EQ(audio2.RecordVolume, 22222);

    audio2.SetRecordVolume(70000);
    EXPECT_EQ(raw->Devices[1].Destinations[0].Sources[0].Left, 65536) << "clamped";
    audio2.SetVolume(30000);
    EXPECT_EQ(raw->Devices[0].Destinations[0].Left, 30000);
    audio2.SetOutputChannels(1); // right only
    EXPECT_EQ(raw->Devices[0].Destinations[0].Left, 0);
    EXPECT_EQ(raw->Devices[0].Destinations[0].Right, 30000);
    audio2.SetLineMute(true);
    EXPECT_EQ(raw->Devices[0].Destinations[0].Sources[1].Mute, 1);
    EXPECT_EQ(audio2.LineMuted, 1);

    int calls = 0;
    audio2.OnVolumeChanged = [&](TAudioAdjustInfo *, int32_t v, bool muted) {
        ++calls;
        EXPECT_EQ(v, 12345);
        EXPECT_TRUE(muted);
    };
    raw->SetMixerId(0);
    raw->Devices[0].Destinations[0].Left = 12345;
    raw->Devices[0].Destinations[0].Mute = 1;
    raw->OnChange();
    EXPECT_EQ(calls, 1);
}

TEST(AudioAdjust, CMediaRearUsesTheLineInMonitor)
{
    auto mixer = std::make_unique<TableMixer>();
    mixer->Devices.push_back({"C-Media Rear Output", {Dest(MixerDstSpeakers, {Source("Line")}),
                                                      Dest(MixerDstWaveIn, {Source("a"), Source("b"), Source("c")})}});
    TAudioAdjustInfo audio(std::move(mixer));
    QStringList launched;
    audio.LaunchLineInMonitor = [&](const QString &arg) { launched << arg; };
    audio.DetectLineInMonitor();
    EXPECT_EQ(audio.UseLineInMonitor, 1);
    audio.SetLineMute(true);  // monitor off
    audio.SetLineMute(true);  // unchanged: not sent again
    audio.SetLineMute(false); // monitor on
    EXPECT_EQ(launched, QStringList({"on", "off", "on"}));
}

TEST(OEMInfo, DefaultsShortFilesAndOptionalLines)
{
    const QString folder = TestEnv::NewFolder("oem");
    TOEMInfo oem;
    oem.LoadOEMInfo(folder + "/PInfo.cfg");
    EXPECT_EQ(oem.VersionText, "V 2.0 ");
    EXPECT_EQ(oem.TitleBitmapPresent, 0);

    TestEnv::WriteFile(folder + "/PInfo.cfg", "A\nB\nC\nD\nE\n");
    oem.LoadOEMInfo(folder + "/PInfo.cfg");
    EXPECT_EQ(oem.ProductName, "Lyra") << "fewer than 6 lines keep the defaults";

    TestEnv::WriteFile(folder + "/QTitle.bmp", "x");
    TestEnv::WriteFile(folder + "/PInfo.cfg", "Prod\nCo\nLegal\nV 9\nweb\nmail\nSAA7134\n\nTuner\n");
    oem.LoadOEMInfo(folder + "/PInfo.cfg");
    EXPECT_EQ(oem.ProductName, "Prod");
    EXPECT_EQ(oem.VersionText, "V 9");
    EXPECT_EQ(oem.OEMVideoDeviceName, "SAA7134");
    EXPECT_EQ(oem.OEMCrossbarName, "");
    EXPECT_EQ(oem.OEMTunerName, "Tuner");
    EXPECT_EQ(oem.OEMAudioDeviceName, "");
    EXPECT_EQ(oem.TitleBitmapPresent, 1);
}

TEST(ProgramFolderTest, ShippedDataIsCopiedOnceAndUserFilesAreKept)
{
    const QString shipped = TestEnv::NewFolder("shipped");
    TestEnv::WriteFile(shipped + "/Language/Lang.cfg", "English\n");
    TestEnv::WriteFile(shipped + "/TVTable.tbl", "table");
    const QString saved = ProgramFolder::Path();
    ASSERT_TRUE(ProgramFolder::Init(TestEnv::NewFolder("prog")));
    EXPECT_EQ(ProgramFolder::InstallShippedData(shipped), 2);
    TestEnv::WriteFile(ProgramFolder::File("Language/Lang.cfg"), "Mine\n");
    EXPECT_EQ(ProgramFolder::InstallShippedData(shipped), 0);
    EXPECT_EQ(TestEnv::ReadFile(ProgramFolder::File("Language/Lang.cfg")), "Mine\n");
    EXPECT_TRUE(ProgramFolder::Path().endsWith('/'));
    ProgramFolder::Init(saved);
}

TEST(ProgramFolderTest, FolderChecks)
{
    const QString base = TestEnv::NewFolder("folders");
    EXPECT_TRUE(FolderUsable(base));
    EXPECT_FALSE(FolderUsable(base + "/a/b")) << "only one level is created";
    EXPECT_TRUE(FolderUsable(base + "/a", false));
    EXPECT_FALSE(QFileInfo::exists(base + "/a")) << "the check alone creates nothing";
    EXPECT_TRUE(FolderUsable(base + "/a"));
    EXPECT_TRUE(QFileInfo(base + "/a").isDir());
    TestEnv::WriteFile(base + "/file", "x");
    EXPECT_FALSE(FolderUsable(base + "/file"));
    EXPECT_FALSE(FolderUsable(""));
    EXPECT_TRUE(DefaultDocumentsFolder().startsWith(TestEnv::Root()))
        << "tests never see the real documents folder";
}

TEST(ProgramFolderTest, ReadOnlyMountsAreUnusable)
{
    // Any read-only mount of this machine will do; none: nothing to check.
    QFile mounts("/proc/self/mounts");
    ASSERT_TRUE(mounts.open(QIODevice::ReadOnly));
    QString readOnly;
    for (const QByteArray &line : mounts.readAll().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() > 3 && f[3].split(',').contains("ro") && QFileInfo(f[1]).isDir()) {
            readOnly = QString::fromUtf8(f[1]);
            break;
        }
    }
    if (readOnly.isEmpty())
        GTEST_SKIP() << "no read-only mount here";
    EXPECT_TRUE(OnReadOnlyMedia(readOnly + "/new-folder"));
    EXPECT_FALSE(FolderUsable(readOnly));
}

} // namespace
