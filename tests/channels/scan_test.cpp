// The table scan and the free scan on the virtual card's running preview.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include "app/app_modes.h"
#include "app/channel_control.h"
#include "app/commands.h"
#include "app/mode_engines.h"
#include "virtual_scan.h"

namespace {

struct TScanLog
{
    QList<int> AntennaProgress, CableProgress;
    struct TDone
    {
        int Last, Found;
        bool Aborted;
        int Pass;
    };
    QList<TDone> Done;

    void Attach(TChannelInfo &t)
    {
        t.OnTableScanProgress = [this](TChannelInfo *, int32_t k, bool, bool antenna) {
            (antenna ? AntennaProgress : CableProgress) << k;
        };
        t.OnTableScanDone = [this](TChannelInfo *, int32_t last, int32_t found, bool aborted,
                                   int32_t pass) {
            Done << TDone{last, found, aborted, pass};
        };
    }
};

int InBand(const TTVList &list, const TCaptureInfo &engine)
{
    int n = 0;
    for (int k = 1; k <= TVChannelCount; ++k)
        n += list[k].TableFrequency >= engine.TVMinFrequency &&
             list[k].TableFrequency <= engine.TVMaxFrequency;
    return n;
}

TEST(TableScan, FindsExactlyTheStationsOfBothBandsOnTheirChannels)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    TChannelInfo &t = *s.Table;
    ASSERT_TRUE(t.LoadFrequencyTable(0));
    TScanLog log;
    log.Attach(t);

    ASSERT_TRUE(t.ScanTable(2));
    EXPECT_EQ(t.Scanning, 0);
    // The U.S. broadcast channels that carry a station, the off-raster
    // ones included (6, 9 and 18 lie within the lock window of theirs).
    const std::set<int> antenna{2, 3, 4, 5, 6, 7, 9, 14, 18};
    EXPECT_EQ(TVirtualScanScope::Enabled(t.Antenna), antenna);
    EXPECT_EQ(s.LockingChannels(t.Antenna), antenna);
    const std::set<int> cable = s.LockingChannels(t.Cable);
    EXPECT_TRUE(cable.count(14)); // "Cable Fourteen" on cable A
    EXPECT_EQ(TVirtualScanScope::Enabled(t.Cable), cable);
    for (int k = 1; k <= TVChannelCount; ++k)
        EXPECT_EQ(t.Cable[k].SignalFound, t.Cable[k].Enabled) << k;

    ASSERT_EQ(log.AntennaProgress.size(), 160);
    ASSERT_EQ(log.CableProgress.size(), 160);
    EXPECT_EQ(log.AntennaProgress.back(), 160);
    ASSERT_EQ(log.Done.size(), 2);
    EXPECT_EQ(log.Done[0].Last, 160);
    EXPECT_EQ(log.Done[0].Found, int(antenna.size()));
    EXPECT_EQ(log.Done[0].Pass, 0);
    EXPECT_FALSE(log.Done[0].Aborted);
    EXPECT_EQ(log.Done[1].Found, int(cable.size()));
    EXPECT_EQ(log.Done[1].Pass, 2);

    // One 300 ms wait per frequency inside the tuner's band, nothing more
    // with one lock reading.
    const int inBand = InBand(t.Antenna, *s.Engine) + InBand(t.Cable, *s.Engine);
    EXPECT_EQ(s.WaitedMs, 300 * inBand);
}

TEST(TableScan, OnePassLeavesTheOtherListAndTheVerifyCountReachesTheTuner)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    TChannelInfo &t = *s.Table;
    ASSERT_TRUE(t.LoadFrequencyTable(0));
    t.Cable[50].Enabled = 1;
    TScanLog log;
    log.Attach(t);
    // Three readings: each frequency without a picture waits 50 ms twice
    // more, one with a picture stops at its first locked reading.
    t.SetSignalCheckCount(3);
    ASSERT_TRUE(t.ScanTable(0));
    EXPECT_EQ(t.Cable[50].Enabled, 1);
    EXPECT_TRUE(log.CableProgress.isEmpty());
    const int inBand = InBand(t.Antenna, *s.Engine);
    const int found = int(TVirtualScanScope::Enabled(t.Antenna).size());
    EXPECT_EQ(s.WaitedMs, 300 * inBand + 100 * (inBand - found));

    log.Done.clear();
    ASSERT_TRUE(t.ScanTable(1));
    EXPECT_EQ(t.Cable[50].Enabled, 0);
    ASSERT_EQ(log.Done.size(), 1);
    EXPECT_EQ(log.Done[0].Pass, 1);
}

TEST(TableScan, AStoppedScanKeepsWhatItFoundAndSaysSo)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    TChannelInfo &t = *s.Table;
    ASSERT_TRUE(t.LoadFrequencyTable(0));
    TScanLog log;
    log.Attach(t);
    // Abort seen at entry 6: it is tested and counted, but the last
    // progress is 5, and the cable pass does not run.
    t.OnTableScanProgress = [&](TChannelInfo *, int32_t k, bool, bool antenna) {
        log.AntennaProgress << k;
        if (k == 5)
            t.ScanAbort = 1;
    };
    ASSERT_TRUE(t.ScanTable(2));
    ASSERT_EQ(log.Done.size(), 1);
    EXPECT_EQ(log.Done[0].Last, 5);
    EXPECT_TRUE(log.Done[0].Aborted);
    EXPECT_EQ(log.Done[0].Found, 5); // 2-6
    EXPECT_EQ(log.AntennaProgress.back(), 5);
    EXPECT_EQ(TVirtualScanScope::Enabled(t.Antenna), (std::set<int>{2, 3, 4, 5, 6}));
    EXPECT_TRUE(TVirtualScanScope::Enabled(t.Cable).empty());
    EXPECT_EQ(t.Scanning, 0);
}

TEST(TableScan, TheScanCommandStopsARunningScanAndOtherCommandsWaitForIt)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    TChannelInfo &t = *s.Table;
    ASSERT_TRUE(t.LoadFrequencyTable(0));
    InstallChannelControl();
    TScanLog log;
    log.Attach(t);
    bool ranDuringScan = false, ran = false;
    t.OnTableScanProgress = [&](TChannelInfo *, int32_t k, bool, bool) {
        if (k == 5)
            RunOutsideWaits([&] { ran = true; }, nullptr, true);
        if (k == 20)
            SubmitCommand(4004);
        ranDuringScan = ranDuringScan || ran;
    };
    ASSERT_TRUE(t.ScanTable(2));
    ASSERT_EQ(log.Done.size(), 1);
    EXPECT_EQ(log.Done[0].Last, 20);
    EXPECT_TRUE(log.Done[0].Aborted);
    EXPECT_FALSE(ranDuringScan);
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
    // With no scan running, the scan command scans the band being watched.
    t.SetMode(ModeCable);
    t.SetSource(SourceTuner);
    log.Done.clear();
    t.OnTableScanProgress = nullptr;
    ASSERT_TRUE(ModeEngines.Channels->ScanBand());
    ASSERT_EQ(log.Done.size(), 1);
    EXPECT_EQ(log.Done[0].Pass, 1);
    EXPECT_EQ(TVirtualScanScope::Enabled(t.Cable), s.LockingChannels(t.Cable));
    RemoveChannelControl();
}

TEST(FreeScan, FindsEachStationOnceAtItsCarrier)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    TChannelInfo &t = *s.Table;
    // A short band keeps the test quick; it holds nine of the stations.
    s.Engine->TVMinFrequency = 44000000;
    s.Engine->TVMaxFrequency = 200000000;
    t.Antenna[150].Enabled = 1;
    t.Memory[3].Name = "kept?";
    QList<int> found;
    int progress = 0, doneCount = -1;
    bool doneAborted = true;
    t.OnFreeScanProgress = [&](TChannelInfo *, int32_t slot, int32_t f, bool hit) {
        ++progress;
        if (hit)
            found << f;
    };
    t.OnFreeScanDone = [&](TChannelInfo *, int32_t n, bool aborted) {
        doneCount = n;
        doneAborted = aborted;
        EXPECT_EQ(t.Scanning, 1);
    };
    ASSERT_TRUE(t.FreeScan(250000));
    // 83.65 MHz is centred at the 250 kHz step of 83.75 MHz.
    const QList<int> carriers{48250000, 55250000,  61250000,  67250000, 77250000,
                              83750000, 121250000, 175250000, 187500000};
    EXPECT_EQ(found, carriers);
    EXPECT_EQ(doneCount, carriers.size());
    EXPECT_FALSE(doneAborted);
    EXPECT_GT(progress, 500);
    for (int k = 1; k <= carriers.size(); ++k) {
        EXPECT_EQ(t.Antenna[k].Frequency, carriers[k - 1]);
        EXPECT_EQ(t.Antenna[k].TableFrequency, carriers[k - 1]);
        EXPECT_EQ(t.Antenna[k].Enabled, 1);
        EXPECT_EQ(t.Cable[k].Frequency, carriers[k - 1]);
    }
    EXPECT_EQ(t.Antenna[carriers.size() + 1].Enabled, 0);
    EXPECT_EQ(t.Antenna[150].Enabled, 0);
    EXPECT_EQ(t.Memory[3].Name, "Memory 3");
    EXPECT_EQ(s.Engine->CoarseTuning, 0);
    EXPECT_EQ(t.Scanning, 0);
}

TEST(FreeScan, StopsWhenAbortedAndNeedsATuner)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    TChannelInfo &t = *s.Table;
    s.Engine->TVMinFrequency = 44000000;
    s.Engine->TVMaxFrequency = 200000000;
    int hits = 0;
    bool aborted = false;
    t.OnFreeScanProgress = [&](TChannelInfo *, int32_t, int32_t, bool hit) {
        if (hit && ++hits == 3)
            t.ScanAbort = 1;
    };
    t.OnFreeScanDone = [&](TChannelInfo *, int32_t, bool a) { aborted = a; };
    ASSERT_TRUE(t.FreeScan(250000));
    EXPECT_TRUE(aborted);
    EXPECT_EQ(TVirtualScanScope::Enabled(t.Antenna), (std::set<int>{1, 2, 3}));
    EXPECT_EQ(TVirtualScanScope::Enabled(t.Cable), (std::set<int>{1, 2, 3}));

    TunerPort = nullptr;
    EXPECT_FALSE(t.FreeScan(250000));
    EXPECT_FALSE(t.ScanTable(2));
}

} // namespace
