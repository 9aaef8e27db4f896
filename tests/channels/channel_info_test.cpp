// The channel table's navigation, tuning sequence and list editing.
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/channel_module.h"
#include "app/main_info.h"
#include "app/startup.h"
#include "channels/channel_info.h"
#include "channels/preview_info.h"
#include "fake_tuner.h"
#include "platform/program_folder.h"

namespace {

class ChannelInfoTest : public ::testing::Test
{
protected:
    TChannelTestScope Scope;
    TChannelInfo Table;
    QList<QPair<int, QString>> Changes;

    void SetUp() override
    {
        Table.OnChannelChange = [this](TChannelInfo *, int32_t n, const QString &text) {
            Changes << qMakePair(int(n), text);
        };
    }
    void Enable(bool antenna, int n, int32_t frequency, const QString &name = QString())
    {
        TTVChannel &c = Table.List(antenna)[n];
        c.Enabled = 1;
        c.Frequency = c.TableFrequency = frequency;
        c.Name = name;
    }
};

TEST_F(ChannelInfoTest, FindNextAndPreviousWrapAndFallBack)
{
    Table.Mode = ModeAntenna;
    EXPECT_EQ(Table.FindNext(160), 160) << "nothing enabled: the argument";
    EXPECT_EQ(Table.FindPrevious(7), 7);
    Enable(true, 3, 55250000);
    EXPECT_EQ(Table.FindNext(160), 3);
    EXPECT_EQ(Table.FindNext(3), 3);
    EXPECT_EQ(Table.FindPrevious(2), 3);
    Enable(true, 150, 1);
    EXPECT_EQ(Table.FindNext(3), 150);
    EXPECT_EQ(Table.FindPrevious(3), 150);
    EXPECT_EQ(Table.CountEnabled(), 2);

    // Memory and FM lists end at 50; FM counts slots with a frequency.
    Table.Mode = ModeFMList;
    EXPECT_EQ(Table.Bound(), 50);
    EXPECT_EQ(Table.CountEnabled(), 50);
    Table.FMMemory[50].Frequency = 0;
    EXPECT_EQ(Table.FindNext(49), 1);
    // A stray number far outside the list never reads past it.
    EXPECT_EQ(Table.FindNext(100000), 1);
    EXPECT_EQ(Table.FindPrevious(-5), 49);
}

TEST_F(ChannelInfoTest, DefaultsSpreadAndReset)
{
    EXPECT_TRUE(Table.IsUnconfigured());
    EXPECT_EQ(Table.Mode, ModeUnset);
    EXPECT_EQ(Table.FMMemory[1].Frequency, 87900000);
    EXPECT_EQ(Table.FMMemory[50].Frequency, 107500000);
    EXPECT_EQ(Table.Memory[7].Name, "Memory 7");
    EXPECT_EQ(Table.Memory[7].Number, 7);

    // 32 MHz / 50 = 640 kHz, cut to 600 kHz.
    Table.SpreadFMMemories(76000000, 108000000);
    EXPECT_EQ(Table.FMMemory[1].Frequency, 76600000);
    EXPECT_EQ(Table.FMMemory[50].Frequency, 106000000);
    EXPECT_EQ(Table.FMMemory[50].Name, "FM Memory 50");
    Table.SpreadFMMemories(90000000, 90000000);
    EXPECT_EQ(Table.FMMemory[1].Frequency, 76600000) << "no step: unchanged";

    Table.SystemChoice = 3;
    EXPECT_FALSE(Table.IsUnconfigured());
}

TEST_F(ChannelInfoTest, AntennaAndCableShareTheCurrentNumber)
{
    Enable(true, 12, 200000000);
    Enable(false, 12, 217250000, "Cable12");
    Table.SetMode(ModeAntenna);
    Table.SetChannel(12);
    Scope.Tuner.Calls.clear();
    Table.SetMode(ModeCable);
    EXPECT_TRUE(Scope.Tuner.Calls.contains("tune 217250000"));
    EXPECT_EQ(Changes.last().first, 12);
    EXPECT_TRUE(Changes.last().second.startsWith("Cable12- "));
}

TEST_F(ChannelInfoTest, SetChannelKeepsLastForRecallAndRejectsRange)
{
    Table.SetMode(ModeAntenna); // tunes 4
    Table.SetChannel(9);
    EXPECT_EQ(Table.LastChannel, 4);
    Table.SetChannel(9);
    EXPECT_EQ(Table.LastChannel, 4) << "same number keeps the last one";
    EXPECT_EQ(Table.Recall(), 4);
    EXPECT_EQ(Table.LastChannel, 9);

    Scope.Tuner.Calls.clear();
    Table.SetChannel(161);
    Table.SetChannel(0);
    EXPECT_EQ(Scope.Tuner.CountCalls("tune"), 0);
    EXPECT_EQ(Changes.last(), qMakePair(4, QString()));
    EXPECT_EQ(Table.CurrentChannel, 4);
}

TEST_F(ChannelInfoTest, TuneSequenceMutesAroundAndNamesTheAudioMode)
{
    Enable(true, 5, 175250000, "News");
    Table.Antenna[5].Standard = StdPALBG;
    Table.Antenna[5].AudioMode = 1;
    Table.Mode = ModeAntenna;
    Table.AudioMode = 0;
    Table.SetChannel(5);
    EXPECT_EQ(Scope.Tuner.Calls,
              QStringList({"standard 10", "mute", "tune 175250000", "audio 2", "unmute"}));
    EXPECT_EQ(Scope.Waits, QList<int>({200, 100}));
    EXPECT_EQ(Changes.last(), qMakePair(5, QString("News- Stereo")));
}

TEST_F(ChannelInfoTest, UnsupportedAudioModeEndsInMonoAfterTenRetries)
{
    Enable(true, 5, 175250000, "News");
    Table.Antenna[5].AudioMode = 2;
    Table.Mode = ModeAntenna;
    Table.AudioMode = AudioModeUnknown;
    Scope.Tuner.AvailableAudio = 0x1;
    // From "unknown" the first refusal ends the retries, then mono.
    Table.SetChannel(5);
    EXPECT_EQ(Scope.Waits.count(200), 1);
    EXPECT_EQ(Table.AudioMode, 0);

    Scope.Waits.clear();
    Scope.Tuner.Calls.clear();
    Table.SetChannel(5);
    EXPECT_EQ(Scope.Waits.count(200), 10);
    EXPECT_EQ(Scope.Tuner.CountCalls("audio 10"), 10);
    EXPECT_EQ(Table.AudioMode, 0);
    EXPECT_EQ(Changes.last().second, "News- Mono");
}

TEST_F(ChannelInfoTest, ChannelAskedForDuringTheWaitsIsTunedAfterwards)
{
    Enable(true, 5, 175250000, "A");
    Enable(true, 6, 182250000, "B");
    Table.Mode = ModeAntenna;
    bool asked = false;
    SetGuiWaitFunction([&](int) {
        if (!asked) {
            asked = true;
            Table.SetChannel(6); // a timer firing inside the wait
        }
    });
    Table.SetChannel(5);
    EXPECT_EQ(Scope.Tuner.Calls.filter("tune"), QStringList({"tune 175250000", "tune 182250000"}));
    EXPECT_EQ(Changes.size(), 2);
    EXPECT_EQ(Changes[0].first, 5);
    EXPECT_EQ(Changes[1].first, 6);
    EXPECT_EQ(Table.CurrentChannel, 6);
    EXPECT_EQ(Table.LastChannel, 5);
}

TEST_F(ChannelInfoTest, MemoryPointsIntoCable)
{
    Enable(false, 30, 247250000, "Cable 30");
    Table.Cable[30].Standard = StdPALDK;
    Table.Cable[30].AudioMode = 0;
    Table.Memory[3] = TMemoryChannel{1, 1, 30, "Sport"};
    Table.AudioMode = 0;
    Table.SetMode(ModeMemory);
    Scope.Tuner.Calls.clear();
    Table.SetChannel(3);
    EXPECT_EQ(Scope.Tuner.Calls, QStringList({"standard 20", "mute", "tune 247250000", "unmute"}));
    EXPECT_EQ(Changes.last(), qMakePair(3, QString("Sport- Mono")));
    EXPECT_EQ(Table.CurrentMemory, 3);
    EXPECT_EQ(Table.CurrentChannel, 4);

    // A memory pointing nowhere tunes frequency 0 and never waits for audio.
    Table.Memory[4] = TMemoryChannel{1, 7, 30, "Bad"};
    Table.Memory[5] = TMemoryChannel{1, 0, 999, "Bad number"};
    Scope.Waits.clear();
    Scope.Tuner.Calls.clear();
    Table.SetChannel(4);
    Table.SetChannel(5);
    EXPECT_EQ(Scope.Tuner.CountCalls("tune 0"), 2);
    EXPECT_EQ(Scope.Waits.count(200), 0);
}

TEST_F(ChannelInfoTest, FMListTunesMutedThroughTheEngine)
{
    Table.SetMode(ModeFMList);
    EXPECT_EQ(Scope.Tuner.Calls.mid(Scope.Tuner.Calls.size() - 3),
              QStringList({"mute", "fm 89100000", "unmute"}));
    EXPECT_EQ(Changes.last(), qMakePair(4, QString("FM Memory 4")));
    Scope.Tuner.Tuner = false;
    EXPECT_FALSE(TuneFMMuted(90000000, true));
}

TEST_F(ChannelInfoTest, WithoutEngineNothingPretendsSuccess)
{
    TunerPort = nullptr;
    Enable(true, 4, 55250000, "X");
    Table.SetMode(ModeAntenna);
    EXPECT_TRUE(Scope.Waits.count(200) == 0) << "no retries without an engine";
    EXPECT_FALSE(Table.SetVideoStandard(StdPALBG));
    EXPECT_FALSE(Table.SetAudioMode(1));
    EXPECT_FALSE(Table.SetCountry(49));
    EXPECT_EQ(Table.CountryCode, 49);
    EXPECT_FALSE(Table.SetSource(SourceTuner));
    EXPECT_EQ(Table.Source, SourceTuner) << "stored even when routing failed";
    EXPECT_EQ(Changes.last(), qMakePair(4, QString("X")));
}

TEST_F(ChannelInfoTest, StandardsSourcesAndAudioModesReachTheEngine)
{
    TMainInfo main;
    MainInfo = &main;
    main.ChipFamily = FamilyConexant;
    QStringList audioTexts;
    Table.OnAudioModeChange = [&](TChannelInfo *, uint8_t, const QString &t) { audioTexts << t; };
    EXPECT_TRUE(Table.SetAudioMode(0));
    EXPECT_TRUE(Table.SetAudioMode(1));
    EXPECT_TRUE(Table.SetAudioMode(4));
    EXPECT_FALSE(Table.SetAudioMode(5));
    EXPECT_EQ(Scope.Tuner.Calls, QStringList({"audio 11", "audio 12", "audio 40"}));
    EXPECT_EQ(audioTexts, QStringList({"Mono", "Stereo", "SAP 2"}));

    EXPECT_FALSE(Table.SetVideoStandard(StdPALSECAM));
    EXPECT_FALSE(Table.SetVideoStandard(StdNone));
    QString standardName;
    Table.OnStandardChange = [&](TChannelInfo *, const QString &n) { standardName = n; };
    ChannelInfo = &Table;
    Scope.Tuner.Calls.clear();
    EXPECT_TRUE(ApplyStandard(StdSECAML));
    EXPECT_EQ(Scope.Tuner.Calls, QStringList({"standard 40000", "restart"}));
    EXPECT_EQ(standardName, "std-40000");
    Scope.Tuner.RestartOk = false;
    EXPECT_FALSE(ApplyStandard(StdPALI));
    ASSERT_EQ(Scope.Presenter.Shown.size(), 1);
    EXPECT_EQ(Scope.Presenter.Shown[0].first(), MessageText(2009));

    main.ChipFamily = FamilyEmpia2800;
    Scope.Tuner.Calls.clear();
    Table.Antenna[17].Standard = 9;
    Table.SetDefaultStandard(StdNTSCJapan);
    EXPECT_EQ(Table.Antenna[17].Standard, StdNTSCJapan);
    EXPECT_EQ(Table.Cable[160].Standard, StdNTSCJapan);
    EXPECT_EQ(Scope.Tuner.Calls, QStringList({"empia 2"}));

    int sourceEvents = 0;
    Table.OnSourceChange = [&](TChannelInfo *) { ++sourceEvents; };
    Scope.Tuner.Calls.clear();
    EXPECT_TRUE(Table.SetSource(SourceCamera));
    EXPECT_FALSE(Table.SetSource(SourceCamera)) << "same source ignored";
    Scope.Tuner.InputOk = false;
    EXPECT_FALSE(Table.SetSource(SourceSVideo));
    EXPECT_FALSE(Table.SetSource(SourceUnset));
    EXPECT_EQ(Scope.Tuner.Calls, QStringList({"input 9", "input 3"}));
    EXPECT_EQ(sourceEvents, 1);
    EXPECT_EQ(Table.Source, SourceUnset);
    ChannelInfo = nullptr;
    MainInfo = nullptr;
}

TEST_F(ChannelInfoTest, InsertAndDeleteChannelsAndMemories)
{
    for (int n = 1; n <= 160; ++n)
        Enable(true, n, n * 1000, QString::number(n));
    Table.DefaultStandard = StdPALDK;
    EXPECT_TRUE(Table.InsertChannel(10, true));
    EXPECT_EQ(Table.Antenna[11].Name, "10");
    EXPECT_EQ(Table.Antenna[10].Frequency, 10000) << "frequency of the entry now at 11";
    EXPECT_EQ(Table.Antenna[10].Name, "");
    EXPECT_EQ(Table.Antenna[160].Name, "159");

    Table.Antenna[160].Frequency = 160000;
    Table.Antenna[160].SignalFound = 1;
    Table.Antenna[160].Name = "Last";
    Table.Antenna[160].Extra = "x";
    EXPECT_TRUE(Table.InsertChannel(160, true));
    const TTVChannel &c = Table.Antenna[160];
    EXPECT_EQ(c.Frequency, 160000);
    EXPECT_EQ(c.TableFrequency, 160000);
    EXPECT_EQ(c.Enabled, 1);
    EXPECT_EQ(c.SignalFound, 0);
    EXPECT_EQ(c.Standard, StdPALDK);
    EXPECT_TRUE(c.Name.isEmpty() && c.Extra.isEmpty());

    EXPECT_TRUE(Table.DeleteChannel(1, true));
    EXPECT_EQ(Table.Antenna[1].Name, "2");
    EXPECT_EQ(Table.Antenna[160].Frequency, 0);
    EXPECT_EQ(Table.Antenna[160].Standard, StdPALDK);
    EXPECT_FALSE(Table.InsertChannel(161, true));
    EXPECT_FALSE(Table.DeleteChannel(0, false));

    Table.Memory[50].Name = "lost";
    EXPECT_TRUE(Table.InsertMemory(2));
    EXPECT_EQ(Table.Memory[3].Name, "Memory 2");
    EXPECT_EQ(Table.Memory[2].Name, "Memory 2");
    EXPECT_EQ(Table.Memory[50].Name, "Memory 49");
    EXPECT_TRUE(Table.DeleteMemory(1));
    EXPECT_EQ(Table.Memory[50].Enabled, 0);
    EXPECT_TRUE(Table.Memory[50].Name.isEmpty());
    EXPECT_FALSE(Table.InsertMemory(51));
}

TEST_F(ChannelInfoTest, SaveAndRestoreState)
{
    Table.SetSource(SourceTuner);
    Table.SetMode(ModeCable);
    Table.SetChannel(21);
    Table.SaveState();
    Table.SetSource(SourceComposite);
    Table.SetMode(ModeFMList);
    Table.AudioMode = 1;
    Table.RestoreState();
    EXPECT_EQ(Table.Mode, ModeCable);
    EXPECT_EQ(Table.Source, SourceTuner);
    EXPECT_EQ(Table.CurrentChannel, 21);
}

TEST(AudioModeNameTest, NamesDependOnTheSystem)
{
    EXPECT_EQ(AudioModeName(2, StdNTSCM), "SAP");
    EXPECT_EQ(AudioModeName(4, StdNTSCM), "SAP 2");
    EXPECT_EQ(AudioModeName(0, StdNTSCJapan), "Main");
    EXPECT_EQ(AudioModeName(4, StdNTSCJapan), "Both");
    EXPECT_EQ(AudioModeName(2, StdNone), "");
    EXPECT_EQ(AudioModeName(1, StdNone), "Stereo");
    EXPECT_EQ(AudioModeName(3, StdPALBG), "Dual-B");
    EXPECT_EQ(AudioModeName(0x80 | 3, StdSECAML), "Dual-B") << "top bit ignored";
    EXPECT_EQ(AudioModeName(5, StdPALBG), "");
}

TEST(StandardBitsTest, BothDirections)
{
    EXPECT_EQ(StandardBit(StdSECAML), 0x40000u);
    EXPECT_EQ(StandardBit(10), 0u);
    EXPECT_EQ(StandardIndexFromBit(0x4000), StdSECAMBG);
    EXPECT_EQ(StandardIndexFromBit(0x10000), StdSECAMDK);
    EXPECT_EQ(StandardIndexFromBit(0x80), StdNone);
    for (uint8_t s = 0; s < 10; ++s)
        EXPECT_EQ(StandardIndexFromBit(StandardBit(s)), s);
}

} // namespace

namespace {

TEST(ChannelModuleTest, HooksLoadApplyAndSaveTheTable)
{
    TChannelTestScope scope;
    InitializeChannelModule();
    ASSERT_TRUE(ChannelInfo && PreviewInfo);
    ASSERT_TRUE(StartupHooks.LoadChannelSettings && StartupHooks.SaveChannelSettings);
    QFile::remove(ProgramFolder::File("QPAVO2.cfg"));
    StartupHooks.LoadChannelSettings();
    EXPECT_TRUE(StartupHooks.ChannelTableUnconfigured());
    ChannelInfo->DefaultStandard = StdPALI;
    ChannelInfo->CountryCode = 44;
    StartupHooks.ApplyStoredStandard();
    EXPECT_EQ(scope.Tuner.Standard, 0x100u);
    StartupHooks.SaveChannelSettings();
    EXPECT_TRUE(QFile::exists(ProgramFolder::File("QPAVO2.cfg")));
    FinalizeChannelModule();
    EXPECT_EQ(ChannelInfo, nullptr);
    EXPECT_FALSE(StartupHooks.SaveChannelSettings);

    InitializeChannelModule();
    StartupHooks.LoadChannelSettings();
    EXPECT_FALSE(ChannelInfo->IsUnconfigured());
    EXPECT_EQ(ChannelInfo->CountryCode, 44);
    FinalizeChannelModule();
    QFile::remove(ProgramFolder::File("QPAVO2.cfg"));
}

TEST(GuiWaitTest, DefaultWaitKeepsEventsFlowingAndTestsCanReplaceIt)
{
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    QElapsedTimer clock;
    clock.start();
    GuiWait(20);
    EXPECT_TRUE(fired) << "timers and paints run during the wait";
    EXPECT_GE(clock.elapsed(), 19);

    QList<int> waits;
    SetGuiWaitFunction([&](int ms) { waits << ms; });
    GuiWait(5000);
    SetGuiWaitFunction(nullptr);
    EXPECT_EQ(waits, QList<int>({5000}));
}

TEST(ChannelInfoUnitTest, TuneIfTunerNeedsATuner)
{
    TChannelTestScope scope;
    TChannelInfo table;
    ChannelInfo = &table;
    table.Mode = ModeAntenna;
    scope.Tuner.Tuner = false;
    TuneIfTuner(7);
    EXPECT_EQ(table.CurrentChannel, 4);
    scope.Tuner.Tuner = true;
    TuneIfTuner(7);
    EXPECT_EQ(table.CurrentChannel, 7);
    table.SetSignalCheckCount(40);
    EXPECT_EQ(table.SignalCheckCount, 10);
    EXPECT_TRUE(scope.Tuner.Calls.contains("checks 10"));
    ChannelInfo = nullptr;
}

} // namespace
