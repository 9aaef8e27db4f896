// "TVTable.tbl": the shipped table against its plan sources, the reader, and
// LoadFrequencyTable.
#include <QFile>

#include <gtest/gtest.h>

#include "channels/channel_info.h"
#include "channels/frequency_plan.h"
#include "channels/frequency_table.h"
#include "fake_tuner.h"
#include "platform/program_folder.h"
#include "test_env.h"

namespace {

QString ShippedTable() { return QStringLiteral(LYRA_BINARY_DIR "/share/lyra/TVTable.tbl"); }
QString PlanFolder() { return QStringLiteral(LYRA_SOURCE_DIR "/data/plans"); }

TEST(ShippedFrequencyTable, EveryRecordMatchesItsPlans)
{
    QFile file(ShippedTable());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << ShippedTable().toStdString();
    EXPECT_EQ(file.size(), 26 * FrequencyRecordSize);
    QList<TPlanRecord> records;
    QString error;
    ASSERT_TRUE(ReadPlanRecords(PlanFolder() + "/records.txt", records, error)) << error.toStdString();
    ASSERT_EQ(records.size(), 26);
    for (const TPlanRecord &r : records) {
        TFrequencyRecord record;
        ASSERT_TRUE(ReadFrequencyRecord(&file, r.Record, record));
        const QString plans[2] = {r.AntennaPlan, r.CablePlan};
        for (int half = 0; half < 2; ++half) {
            TFrequencyPlan plan;
            ASSERT_TRUE(ReadFrequencyPlan(PlanFolder() + "/" + plans[half], plan, error))
                << error.toStdString();
            EXPECT_GE(plan.size(), 12u) << plans[half].toStdString();
            int channels = 0;
            for (int k = 0; k < FrequencyHalfElements; ++k) {
                const int32_t v = record.Half[half][k];
                const auto it = plan.find(k);
                if (it == plan.end()) {
                    EXPECT_EQ(v, 0) << "record " << r.Record << " half " << half << " element " << k;
                    continue;
                }
                ++channels;
                EXPECT_EQ(v * 10, it->second.Khz) << "record " << r.Record << " element " << k;
                EXPECT_GT(v, 4000);
                EXPECT_LT(v, 90000);
            }
            EXPECT_EQ(channels, int(plan.size()));
        }
    }
}

TEST(ShippedFrequencyTable, KnownCarriers)
{
    QFile file(ShippedTable());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    auto at = [&](int record, int half, int element) {
        TFrequencyRecord r;
        EXPECT_TRUE(ReadFrequencyRecord(&file, record, r));
        return r.Half[half][element];
    };
    EXPECT_EQ(at(3, 0, 2), 4825);    // E2
    EXPECT_EQ(at(3, 0, 21), 47125);  // UHF 21
    EXPECT_EQ(at(3, 1, 105), 13325); // S5
    EXPECT_EQ(at(3, 1, 141), 46325); // S41
    EXPECT_EQ(at(0, 0, 2), 5525);    // U.S. 2
    EXPECT_EQ(at(0, 0, 69), 80125);
    EXPECT_EQ(at(0, 1, 14), 12125);  // cable A
    EXPECT_EQ(at(0, 1, 95), 9125);
    EXPECT_EQ(at(0, 1, 1), 0);       // no channel 1 in the Standard plan
    EXPECT_EQ(at(1, 1, 5), 7800);    // HRC 5
    EXPECT_EQ(at(1, 1, 14), 12000);
    EXPECT_EQ(at(2, 1, 6), 8525);    // IRC 6
    EXPECT_EQ(at(4, 0, 1), 4975);    // R1
    EXPECT_EQ(at(4, 0, 12), 22325);  // R12
    EXPECT_EQ(at(5, 0, 2), 5375);    // Irish B
    EXPECT_EQ(at(6, 0, 10), 21600);  // French L10
    EXPECT_EQ(at(6, 0, 27), 51925);
    EXPECT_EQ(at(7, 0, 1), 9125);    // Japan 1
    EXPECT_EQ(at(7, 1, 13), 10925);  // Japan C13
    EXPECT_EQ(at(7, 1, 22), 16525);  // C22, 2 MHz above the raster
    EXPECT_EQ(at(7, 1, 24), 22925);  // C24 (not 231.25 as some lists have it)
    EXPECT_EQ(at(7, 1, 63), 46325);
    EXPECT_EQ(at(8, 0, 6), 16825);   // DS6
    EXPECT_EQ(at(8, 1, 139), 56725); // Z39
    EXPECT_EQ(at(21, 1, 101), 11125); // SK1
    EXPECT_EQ(at(22, 0, 28), 52725); // Australia 28
    EXPECT_EQ(at(22, 0, 14), 13825); // 5A
    // Gaps filled from the open channel lists.
    EXPECT_EQ(at(6, 0, 1), 4775);     // French L1
    EXPECT_EQ(at(6, 1, 142), 11675);  // French cable B
    EXPECT_EQ(at(6, 1, 147), 17675);  // G
    EXPECT_EQ(at(6, 1, 157), 29675);  // Q
    EXPECT_EQ(at(6, 1, 121), 30325);  // S21 = French H01
    EXPECT_EQ(at(22, 1, 1), 13825);   // Optus 1, not the broadcast channel
    EXPECT_EQ(at(22, 1, 23), 30325);  // Optus 23
    EXPECT_EQ(at(22, 1, 48), 48525);  // Optus 48
    EXPECT_EQ(at(22, 1, 49), 0);
    EXPECT_EQ(at(3, 0, 13), 5375);    // Italian A
    EXPECT_EQ(at(3, 0, 14), 8225);    // Italian C
    EXPECT_EQ(at(3, 0, 15), 18375);   // Italian E
    EXPECT_EQ(at(9, 0, 13), 0);       // the other CCIR records keep their layout
}

TEST(FrequencyTableReader, RejectsRecordsBeyondTheEnd)
{
    const QString path = TestEnv::NewFolder() + "/t.tbl";
    TFrequencyRecord r;
    r.Half[0][1] = 5525;
    r.Half[1][160] = -7;
    r.Half[1][159] = 300000; // 3 GHz: more Hz than an int holds
    TestEnv::WriteFile(path, EncodeFrequencyRecord(r) + QByteArray(1599, '\0'));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(FrequencyRecordCount(&file), 1);
    TFrequencyRecord back;
    EXPECT_TRUE(ReadFrequencyRecord(&file, 0, back));
    EXPECT_EQ(back.FrequencyHz(0, 1), 55250000);
    EXPECT_EQ(back.FrequencyHz(1, 160), 0);
    EXPECT_EQ(back.FrequencyHz(1, 159), 0);
    EXPECT_FALSE(ReadFrequencyRecord(&file, 1, back)) << "partial record";
    EXPECT_FALSE(ReadFrequencyRecord(&file, -1, back));
}

class LoadFrequencyTableTest : public ::testing::Test
{
protected:
    TChannelTestScope Scope;
    TChannelInfo Table;
    QString Path = ProgramFolder::File("TVTable.tbl");
    void SetUp() override
    {
        QFile::remove(Path);
        Table.Antenna[2] = TTVChannel{1, 1, StdPALBG, 3, 1, 1, "Two", "x"};
    }
    void TearDown() override { QFile::remove(Path); }
};

TEST_F(LoadFrequencyTableTest, LoadsBothHalvesAndKeepsNames)
{
    ASSERT_TRUE(QFile::copy(ShippedTable(), Path));
    ASSERT_TRUE(Table.LoadFrequencyTable(3));
    const TTVChannel &c = Table.Antenna[2];
    EXPECT_EQ(c.Frequency, 48250000);
    EXPECT_EQ(c.TableFrequency, 48250000);
    EXPECT_EQ(c.Enabled, 0);
    EXPECT_EQ(c.SignalFound, 0);
    EXPECT_EQ(c.AudioMode, 0);
    EXPECT_EQ(c.Standard, StdPALBG);
    EXPECT_EQ(c.Name, "Two");
    EXPECT_EQ(c.Extra, "x");
    EXPECT_EQ(Table.Cable[101].Frequency, 105250000);
    // The Italian VHF channels A, C, E, F, G in the free elements 13-17.
    EXPECT_EQ(Table.Antenna[13].Frequency, 53750000);
    EXPECT_EQ(Table.Antenna[17].Frequency, 201250000);
    EXPECT_EQ(Table.Antenna[18].Frequency, 0);
    EXPECT_TRUE(Scope.Presenter.Shown.isEmpty());
}

TEST_F(LoadFrequencyTableTest, MissingFileOrRecordShows1007AndChangesNothing)
{
    EXPECT_FALSE(Table.LoadFrequencyTable(3));
    ASSERT_TRUE(QFile::copy(ShippedTable(), Path));
    EXPECT_FALSE(Table.LoadFrequencyTable(26));
    ASSERT_EQ(Scope.Presenter.Shown.size(), 2);
    EXPECT_EQ(Scope.Presenter.Shown[0].first(), MessageText(1007));
    EXPECT_EQ(Table.Antenna[2].Frequency, 1);
    EXPECT_EQ(Table.Antenna[2].Enabled, 1);
}

TEST(FrequencyPlanReader, RejectsBadSources)
{
    const QString dir = TestEnv::NewFolder("plans");
    QString error;
    TFrequencyPlan plan;
    auto check = [&](const QByteArray &text, const char *fragment) {
        TestEnv::WriteFile(dir + "/p.plan", text);
        EXPECT_FALSE(ReadFrequencyPlan(dir + "/p.plan", plan, error)) << text.constData();
        EXPECT_TRUE(error.contains(fragment)) << error.toStdString();
    };
    check("2 48250 E2\n2 55250 E3\n", "given twice");
    check("2 48255 E2\n", "no carrier");
    check("2 900000 X\n", "no carrier");
    check("161 48250 X\n", "outside 1..160");
    check("2 48250\n", "expected ELEMENT");
    check("include p.plan\n", "itself");
    TestEnv::WriteFile(dir + "/q.plan", "# comment\n3 55250 E3 # trailing\n");
    TestEnv::WriteFile(dir + "/p.plan", "include q.plan\n2 48250 E2\n");
    ASSERT_TRUE(ReadFrequencyPlan(dir + "/p.plan", plan, error)) << error.toStdString();
    EXPECT_EQ(plan.size(), 2u);
    EXPECT_EQ(plan[3].Label, "E3");

    TestEnv::WriteFile(dir + "/records.txt", "0 p.plan q.plan\n2 p.plan q.plan\n");
    QByteArray table;
    EXPECT_FALSE(BuildFrequencyTable(dir + "/records.txt", table, error));
    TestEnv::WriteFile(dir + "/records.txt", "0 p.plan q.plan\n1 q.plan p.plan\n");
    ASSERT_TRUE(BuildFrequencyTable(dir + "/records.txt", table, error));
    EXPECT_EQ(table.size(), 3200);
}

} // namespace
