// FM radio in the real program on the virtual card, driven with lyra-remote:
// a normal start shows no warning and the TV panel only, "fm" starts with
// the FM panel only, memories are recalled by number and seeks land on the
// virtual stations.
#include <QElapsedTimer>
#include <QJsonDocument>
#include <cstdlib>

#include <gtest/gtest.h>

#include "program_process.h"
#include "test_env.h"

namespace {

bool Idle(const QJsonObject &s)
{
    return !s["Busy"].toBool();
}

TEST(FMProgram, NormalStartShowsTheTVPanelAndNoWarning)
{
    TProgramProcess p;
    QElapsedTimer clock;
    clock.start();
    // Start fails when a warning opens on the way.
    ASSERT_TRUE(p.Start(TProgramProcess::FolderWithChannels())) << p.Failure.toStdString();
    std::printf("[ figure ] live TV reached after %lld ms\n", (long long)clock.elapsed());
    const QJsonObject s = p.Status();
    EXPECT_EQ(s["AppModeName"].toString(), "ModeLive");
    EXPECT_TRUE(s["Warning"].isNull());
    EXPECT_EQ(s["TVPanel"], true);
    EXPECT_EQ(s["FMPanel"], false);
    EXPECT_TRUE(s["FMMemory"].isNull());

    // The FM button's command turns it into a radio, and back.
    ASSERT_EQ(p.Remote("fm"), 0);
    ASSERT_TRUE(p.WaitForStatus([](const QJsonObject &s) {
        return s["AppModeName"] == "ModeFM" && Idle(s) && s["FMPanel"] == true;
    })) << QJsonDocument(p.Status()).toJson().toStdString();
    EXPECT_EQ(p.Status()["TVPanel"], false);
    ASSERT_EQ(p.Remote("fm"), 0);
    ASSERT_TRUE(p.WaitForStatus([](const QJsonObject &s) {
        return s["AppModeName"] == "ModeLive" && Idle(s) && s["TVPanel"] == true;
    }));
    EXPECT_EQ(p.Status()["FMPanel"], false);
    ASSERT_EQ(p.Remote("exit"), 0);
    EXPECT_TRUE(p.WaitForExit());
}

TEST(FMProgram, StartInFmRecallsMemoriesAndSeeksToStations)
{
    TProgramProcess p;
    // The argument in any case.
    ASSERT_TRUE(p.Start(TProgramProcess::FolderWithChannels(), {"Fm"})) << p.Failure.toStdString();
    QJsonObject s = p.Status();
    ASSERT_EQ(s["AppModeName"].toString(), "ModeFM");
    EXPECT_EQ(s["FMPanel"], true);
    EXPECT_EQ(s["TVPanel"], false);
    EXPECT_EQ(s["BandName"], "fm");

    const auto recall = [&](const char *first, const char *second, int memory, int frequency) {
        EXPECT_EQ(p.Remote(first), 0);
        EXPECT_EQ(p.Remote(second), 0);
        EXPECT_EQ(p.Remote("enter"), 0);
        return p.WaitForStatus([&](const QJsonObject &s) {
            return s["FMMemory"].toInt() == memory && s["FMFrequency"].toInt() == frequency &&
                   Idle(s);
        });
    };
    // Memory 42 holds 104.3 MHz, 0.4 MHz below "Local 104.7".
    ASSERT_TRUE(recall("digit-4", "digit-2", 42, 104300000))
        << QJsonDocument(p.Status()).toJson().toStdString();
    EXPECT_EQ(p.Status()["FMMemoryName"], "FM Memory 42");

    // Seeking up lands where the station is heard (within 100 kHz).
    ASSERT_EQ(p.Remote("fm-seek-up"), 0);
    ASSERT_TRUE(p.WaitForStatus(
        [](const QJsonObject &s) { return Idle(s) && s["FMFrequency"].toInt() > 104300000; }));
    s = p.Status();
    EXPECT_LE(std::abs(s["FMFrequency"].toInt() - 104700000), 100000) << s["FMFrequency"].toInt();
    EXPECT_EQ(s["Signal"], true);
    EXPECT_EQ(s["Stereo"], false) << "Local 104.7 is mono";

    // Memory 20 holds 95.5 MHz, above "Classic 95.3" (stereo).
    ASSERT_TRUE(recall("digit-2", "digit-0", 20, 95500000));
    ASSERT_EQ(p.Remote("fm-seek-down"), 0);
    ASSERT_TRUE(p.WaitForStatus(
        [](const QJsonObject &s) { return Idle(s) && s["FMFrequency"].toInt() < 95500000; }));
    s = p.Status();
    EXPECT_LE(std::abs(s["FMFrequency"].toInt() - 95300000), 100000) << s["FMFrequency"].toInt();
    EXPECT_EQ(s["Signal"], true);
    EXPECT_EQ(s["Stereo"], true);

    // A step goes 50 kHz up and is tuned.
    const int before = s["FMFrequency"].toInt();
    ASSERT_EQ(p.Remote("fm-up"), 0);
    ASSERT_TRUE(p.WaitForStatus([&](const QJsonObject &s) {
        return Idle(s) && s["FMFrequency"].toInt() == before + 50000;
    }));
    EXPECT_EQ(p.Status()["TunerFrequency"].toInt(), before + 50000);
    ASSERT_EQ(p.Remote("exit"), 0);
    EXPECT_TRUE(p.WaitForExit());
}

} // namespace
