// Channel list files (".chl") and the frequency table editor.
#include <QBuffer>
#include <QFile>
#include <QLineEdit>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include "channels/channel_info.h"
#include "channels/channel_list.h"
#include "channels/forms/frequency_editor.h"
#include "fake_tuner.h"
#include "platform/record_stream.h"
#include "test_env.h"

namespace {

const QString ImportText = "Cannot import channel info, invalid format...";

class ChannelListTest : public ::testing::Test
{
protected:
    TChannelTestScope Scope;
    TChannelInfo Table;
    void SetUp() override
    {
        ChannelInfo = &Table;
        for (int k = 1; k <= TVChannelCount; ++k) {
            Table.Antenna[k] = TTVChannel{
                1,  1, StdPALBG, 2, 40000000 + k * 100000, 45000000 + k, QString("Ant %1").arg(k),
                "e"};
            Table.Cable[k] = TTVChannel{0,
                                        0,
                                        StdPALI,
                                        1,
                                        100000000 + k * 250000,
                                        7,
                                        k % 2 ? QString("Kabel %1 é").arg(k) : QString(),
                                        ""};
        }
    }
    void TearDown() override { ChannelInfo = nullptr; }

    // Every frequency and name changed, and the other fields too.
    void Scramble()
    {
        for (int k = 1; k <= TVChannelCount; ++k)
            for (TTVList *l : {&Table.Antenna, &Table.Cable}) {
                (*l)[k].Frequency = 1;
                (*l)[k].Name = "zz";
                (*l)[k].Enabled = 0;
                (*l)[k].TableFrequency = 99;
            }
    }

    QByteArray ValidBytes()
    {
        QByteArray bytes;
        QBuffer b(&bytes);
        b.open(QIODevice::WriteOnly);
        TChannelListData d;
        for (int k = 1; k <= TVChannelCount; ++k)
            d.Lists[0][k] = {k * 1000000, "n"};
        EXPECT_TRUE(WriteChannelList(&b, d));
        return bytes;
    }
};

TEST_F(ChannelListTest, ExportThenImportRestoresFrequenciesAndNamesOnly)
{
    const QString path = TestEnv::NewFolder() + "/list.chl";
    const TTVList antenna = Table.Antenna, cable = Table.Cable;
    ASSERT_TRUE(Table.ExportChannelList(path));
    // 2 markers, 320 frequencies and name lengths, and the names' bytes.
    qint64 names = 0;
    for (int k = 1; k <= TVChannelCount; ++k)
        names += StrBytes(antenna[k].Name).size() + StrBytes(cable[k].Name).size();
    EXPECT_EQ(QFile(path).size(), 8 + 320 * 8 + names);

    Scramble();
    ASSERT_TRUE(Table.ImportChannelList(path));
    for (int k = 1; k <= TVChannelCount; ++k) {
        EXPECT_EQ(Table.Antenna[k].Frequency, antenna[k].Frequency);
        EXPECT_EQ(Table.Antenna[k].Name, antenna[k].Name);
        EXPECT_EQ(Table.Cable[k].Frequency, cable[k].Frequency);
        EXPECT_EQ(Table.Cable[k].Name, cable[k].Name);
        EXPECT_EQ(Table.Antenna[k].Enabled, 0);
        EXPECT_EQ(Table.Cable[k].TableFrequency, 99);
        EXPECT_EQ(Table.Antenna[k].Standard, StdPALBG);
    }
    EXPECT_TRUE(Scope.Presenter.Shown.isEmpty());
}

TEST_F(ChannelListTest, DamagedFilesAreRefusedAndChangeNothing)
{
    const QByteArray valid = ValidBytes();
    QByteArray longName = valid;
    // The first antenna name's length (after head and frequency) set to 600.
    const int32_t tooLong = 600;
    longName.replace(8, 4, QByteArray(reinterpret_cast<const char *>(&tooLong), 4));
    QByteArray wrongCount = valid;
    wrongCount.remove(valid.size() - 4 - 9, 9); // one cable record fewer
    QByteArray wrongHead = valid;
    wrongHead[0] = 0;
    QByteArray trailing = valid + QByteArray(4, 'x');
    trailing.replace(valid.size() - 4, 4, QByteArray(4, 'y'));
    const QList<QByteArray> damaged{
        valid.left(valid.size() - 1), valid.left(700), longName, wrongCount, wrongHead, trailing};
    for (const QByteArray &bytes : damaged) {
        const QString path = TestEnv::WriteFile(TestEnv::NewFolder() + "/bad.chl", bytes);
        Scope.Presenter.Shown.clear();
        EXPECT_FALSE(Table.ImportChannelList(path));
        ASSERT_EQ(Scope.Presenter.Shown.size(), 1);
        EXPECT_EQ(Scope.Presenter.Shown[0].join(' '), ImportText);
        EXPECT_EQ(Table.Antenna[1].Frequency, 40100000);
        EXPECT_EQ(Table.Antenna[1].Name, "Ant 1");
        EXPECT_EQ(Table.Cable[160].Frequency, 140000000);
    }
    // Missing or empty: refused without a message.
    Scope.Presenter.Shown.clear();
    EXPECT_FALSE(Table.ImportChannelList(TestEnv::NewFolder() + "/none.chl"));
    EXPECT_FALSE(Table.ImportChannelList(TestEnv::WriteFile(TestEnv::NewFolder() + "/e.chl", "")));
    EXPECT_TRUE(Scope.Presenter.Shown.isEmpty());
    // The valid bytes themselves read.
    EXPECT_TRUE(
        Table.ImportChannelList(TestEnv::WriteFile(TestEnv::NewFolder() + "/ok.chl", valid)));
    EXPECT_EQ(Table.Antenna[3].Frequency, 3000000);
}

TEST_F(ChannelListTest, AFailedExportSaysSoAndLeavesNoFile)
{
    const QString path = TestEnv::NewFolder() + "/no/such/folder/list.chl";
    EXPECT_FALSE(Table.ExportChannelList(path));
    ASSERT_EQ(Scope.Presenter.Shown.size(), 1);
    EXPECT_EQ(Scope.Presenter.Shown[0].join(' '), "Cannot write channel list infomation....");
    EXPECT_FALSE(QFile::exists(path));
}

TEST(FrequencyEditorRules, TypedFrequenciesAndExportNames)
{
    int32_t f = -1;
    QString error;
    EXPECT_TRUE(ParseTypedFrequency(" 55250000 ", 45250000, 889250000, f, &error));
    EXPECT_EQ(f, 55250000);
    EXPECT_TRUE(ParseTypedFrequency("0", 45250000, 889250000, f, &error));
    EXPECT_EQ(f, 0);
    EXPECT_FALSE(ParseTypedFrequency("abc", 45250000, 889250000, f, &error));
    EXPECT_TRUE(error.contains("not a frequency"));
    EXPECT_FALSE(ParseTypedFrequency("900000000", 45250000, 889250000, f, &error));
    EXPECT_TRUE(error.contains("outside"));
    EXPECT_FALSE(ParseTypedFrequency("99999999999", 45250000, 889250000, f, &error));
    EXPECT_FALSE(ParseTypedFrequency("-5", 45250000, 889250000, f, &error));
    EXPECT_EQ(f, 0);
    EXPECT_EQ(ExportFileName("/tmp/mine", true), "/tmp/mine.chl");
    EXPECT_EQ(ExportFileName("/tmp/mine.CHL", true), "/tmp/mine.CHL");
    EXPECT_EQ(ExportFileName("/tmp/mine", false), "/tmp/mine");
}

TEST_F(ChannelListTest, TheEditorValidatesStoresOnOKAndExchangesFiles)
{
    const QString folder = TestEnv::NewFolder();
    bool ok = false;
    SetFrequencyEditorHook([&](TFormEditFrequencyTable *form) {
        QTimer::singleShot(0, form, [&, form] {
            QTableWidget *grid = form->StringGridCable;
            EXPECT_EQ(grid->rowCount(), 160);
            EXPECT_EQ(grid->item(0, 0)->text(), "1");
            EXPECT_EQ(grid->item(4, 1)->text(), "101250000");
            // Letters: a message, the cell keeps its value.
            form->GridCellClick(grid, 4, 1);
            EXPECT_FALSE(form->SpinEditCableFrequency->isHidden());
            form->SpinEditCableFrequency->setText("12x");
            form->FrequencyEditorDone(grid, form->SpinEditCableFrequency);
            EXPECT_EQ(grid->item(4, 1)->text(), "101250000");
            EXPECT_EQ(Scope.Presenter.Shown.size(), 1);
            // Above the band: refused too; 0 and a frequency inside are kept.
            form->GridCellClick(grid, 4, 1);
            form->SpinEditCableFrequency->setText("889250001");
            form->FrequencyEditorDone(grid, form->SpinEditCableFrequency);
            EXPECT_EQ(Scope.Presenter.Shown.size(), 2);
            form->GridCellClick(grid, 4, 1);
            form->SpinEditCableFrequency->setText("0");
            form->FrequencyEditorDone(grid, form->SpinEditCableFrequency);
            form->GridCellClick(grid, 5, 1);
            form->SpinEditCableFrequency->setText("889250000");
            form->FrequencyEditorDone(grid, form->SpinEditCableFrequency);
            form->GridCellClick(form->StringGridAntenna, 0, 2);
            form->EditAntennaChannelName->setText("News");
            form->FrequencyEditorDone(grid, form->SpinEditCableFrequency); // not open: no-op

            // Export (first filter, no extension) writes the table as it is,
            // without the edits still in the grids.
            form->ChooseExportFile = [&](bool &channelList) {
                channelList = true;
                return folder + "/mine";
            };
            form->BitBtnExportClick();
            EXPECT_TRUE(QFile::exists(folder + "/mine.chl"));
            form->BitBtnOKClick();
        });
    });
    ok = EditFrequencyTable();
    SetFrequencyEditorHook(nullptr);
    ASSERT_TRUE(ok);
    EXPECT_EQ(Table.Cable[5].Frequency, 0);
    EXPECT_EQ(Table.Cable[6].Frequency, 889250000);
    EXPECT_EQ(Table.Antenna[1].Name, "News");
    EXPECT_EQ(Table.Antenna[2].Name, "Ant 2");

    // Import refills the grids; closing without OK keeps the import but
    // drops what was typed.
    SetFrequencyEditorHook([&](TFormEditFrequencyTable *form) {
        QTimer::singleShot(0, form, [&, form] {
            form->ChooseImportFile = [&] { return folder + "/mine.chl"; };
            form->BitBtnImportClick();
            EXPECT_EQ(form->StringGridCable->item(4, 1)->text(), "101250000");
            EXPECT_EQ(form->StringGridAntenna->item(0, 2)->text(), "Ant 1");
            form->StringGridAntenna->item(1, 2)->setText("typed");
            form->reject();
        });
    });
    EXPECT_FALSE(EditFrequencyTable());
    SetFrequencyEditorHook(nullptr);
    EXPECT_EQ(Table.Cable[5].Frequency, 101250000);
    EXPECT_EQ(Table.Antenna[1].Name, "Ant 1");
    EXPECT_EQ(Table.Antenna[2].Name, "Ant 2");
}

} // namespace
