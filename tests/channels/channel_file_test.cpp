#include <cerrno>
// "QPAVO2.cfg" through the program's load and save, and the preview grid.
#include <QDir>
#include <QFile>
#include <cstring>

#include <gtest/gtest.h>

#include "channels/channel_file.h"
#include "channels/channel_info.h"
#include "channels/preview_info.h"
#include "fake_tuner.h"
#include "platform/program_folder.h"
#include "platform/record_stream.h"
#include "platform/safe_file.h"
#include "test_env.h"

namespace {

QString ConfigPath()
{
    return ProgramFolder::File("QPAVO2.cfg");
}

class ChannelFileTest : public ::testing::Test
{
protected:
    TChannelTestScope Scope;
    TChannelInfo Table;
    TPreviewInfo Preview{&Table};
    void SetUp() override { QFile::remove(ConfigPath()); }
    void TearDown() override { QFile::remove(ConfigPath()); }
};

TEST_F(ChannelFileTest, RoundTripKeepsEveryField)
{
    Table.SetTableNumber(21);
    Table.DefaultStandard = StdSECAMDK;
    Table.CountryCode = 7;
    Table.SystemChoice = 10;
    Table.CableType = 1;
    Table.Mode = ModeCable;
    Table.CompositeStandard = 2;
    Table.SVideoStandard = 9;
    Table.Antenna[1] = TTVChannel{1, 1, 8, 3, 49750000, 49500000, "Первый", "x"};
    Table.Cable[160] = TTVChannel{1, 0, 2, 4, 855250000, 855250000, "Last", ""};
    Table.Memory[50] = TMemoryChannel{0, 1, 160, "M"};
    Table.FMMemory[2] = TFMMemory{0, ""};
    Table.CurrentChannel = 160;
    Table.LastChannel = 1;
    Table.CurrentMemory = 50;
    Table.LastMemory = 2;
    Table.CurrentFM = 3;
    Table.LastFM = 1;
    Table.Source = SourceTuner;
    Preview.SetCustomize(true);
    Preview.Dimension = 4;
    Preview.Interval = 7;
    Preview.CustomCells[3][3] = TPreviewCell{2, 160};
    ASSERT_TRUE(Table.SaveChannelSettings(&Preview));

    TChannelInfo loaded;
    TPreviewInfo preview(&loaded);
    loaded.LoadChannelSettings(&preview);
    EXPECT_TRUE(Scope.Presenter.Shown.isEmpty());
    TChannelFileData a, b;
    Table.ExportFileData(a);
    loaded.ExportFileData(b);
    EXPECT_EQ(b.TableNumber, 21);
    EXPECT_EQ(b.DefaultStandard, StdSECAMDK);
    EXPECT_EQ(b.CountryCode, 7);
    EXPECT_EQ(b.SystemChoice, 10);
    EXPECT_EQ(b.CableType, 1);
    EXPECT_EQ(b.Mode, ModeCable);
    EXPECT_EQ(b.CompositeStandard, 2);
    EXPECT_EQ(b.SVideoStandard, 9);
    EXPECT_EQ(b.Antenna[1].Name, "Первый");
    EXPECT_EQ(b.Antenna[1].Extra, "x");
    EXPECT_EQ(b.Antenna[1].TableFrequency, 49500000);
    EXPECT_EQ(b.Antenna[1].Standard, 8) << "per-entry standard beats the default";
    EXPECT_EQ(b.Antenna[2].Standard, 0);
    EXPECT_EQ(b.Cable[160].AudioMode, 4);
    EXPECT_EQ(b.Memory[50].List, 1);
    EXPECT_EQ(b.Memory[50].Number, 160);
    EXPECT_EQ(b.FMMemory[2].Frequency, 0);
    EXPECT_EQ(b.FMMemory[3].Name, "FM Memory 3");
    EXPECT_EQ(b.CurrentChannel, 160);
    EXPECT_EQ(b.LastChannel, 1);
    EXPECT_EQ(b.CurrentMemory, 50);
    EXPECT_EQ(b.LastFM, 1);
    EXPECT_EQ(b.Source, SourceTuner);
    EXPECT_EQ(preview.Customize, 1);
    EXPECT_EQ(preview.Dimension, 4);
    EXPECT_EQ(preview.Interval, 7);
    EXPECT_EQ(preview.CustomCells[3][3].Kind, 2);
    EXPECT_EQ(preview.CustomCells[3][3].Channel, 160);
    // The load applied the country and tuned the stored cable channel.
    EXPECT_TRUE(Scope.Tuner.Calls.contains("country 7"));
    EXPECT_TRUE(Scope.Tuner.Calls.contains("tune 855250000"));

    // Saving what was loaded gives the same bytes.
    const QByteArray first = TestEnv::ReadFile(ConfigPath());
    ASSERT_TRUE(loaded.SaveChannelSettings(&preview));
    EXPECT_EQ(TestEnv::ReadFile(ConfigPath()), first);
}

TEST_F(ChannelFileTest, ByteFieldsNegativeAndWideValues)
{
    ASSERT_TRUE(Table.SaveChannelSettings(&Preview));
    QByteArray bytes = TestEnv::ReadFile(ConfigPath());
    auto put = [&](int offset, int32_t v) { memcpy(bytes.data() + offset, &v, 4); };
    put(4, -3);    // TableNumber
    put(8, 0x109); // DefaultStandard: low 8 bits
    TestEnv::WriteFile(ConfigPath(), bytes);
    TChannelInfo loaded;
    loaded.LoadChannelSettings(nullptr);
    EXPECT_EQ(loaded.TableNumber, 0);
    EXPECT_EQ(loaded.DefaultStandard, 9);
}

TEST_F(ChannelFileTest, MissingOrEmptyFileGivesDefaultsSilently)
{
    Table.Antenna[3].Enabled = 1;
    Table.LoadChannelSettings(&Preview);
    EXPECT_EQ(Table.Antenna[3].Enabled, 0);
    TestEnv::WriteFile(ConfigPath(), QByteArray());
    Table.LoadChannelSettings(&Preview);
    EXPECT_TRUE(Scope.Presenter.Shown.isEmpty());
    EXPECT_TRUE(QFile::exists(ConfigPath())) << "an empty file is not damaged";
    // Spread over the fake tuner's 76..108 MHz band.
    EXPECT_EQ(Table.FMMemory[1].Frequency, 76600000);
}

TEST_F(ChannelFileTest, DamagedFileShowsMessageResetsAndIsDeleted)
{
    ASSERT_TRUE(Table.SaveChannelSettings(&Preview));
    const QByteArray good = TestEnv::ReadFile(ConfigPath());
    const QList<QByteArray> damaged = {
        good.left(good.size() - 1),                                 // short
        good.left(good.size() - 4) + QByteArray("\x08\x89\0\0", 4), // wrong trailer
        QByteArray("\x98\x99\0\0", 4) + good.mid(4),                // wrong head
        QByteArray(3, 'x'),
    };
    for (const QByteArray &bytes : damaged) {
        Scope.Presenter.Shown.clear();
        TestEnv::WriteFile(ConfigPath(), bytes);
        Table.CountryCode = 55;
        Table.Antenna[1].Enabled = 1;
        Preview.Dimension = 5;
        Table.LoadChannelSettings(&Preview);
        ASSERT_EQ(Scope.Presenter.Shown.size(), 1);
        EXPECT_EQ(Scope.Presenter.Shown[0].first(), MessageText(1104));
        EXPECT_FALSE(QFile::exists(ConfigPath()));
        EXPECT_EQ(Table.CountryCode, 0);
        EXPECT_EQ(Table.Antenna[1].Enabled, 0);
        EXPECT_EQ(Preview.Dimension, 3);
        EXPECT_EQ(Table.FMMemory[50].Frequency, 106000000);
    }
}

TEST_F(ChannelFileTest, OverlongNameKeepsTheRestOfTheFileInOrder)
{
    // A 600-byte name is cut on writing, so the file stays readable.
    Table.Antenna[2].Name = QString(600, 'n');
    ASSERT_TRUE(Table.SaveChannelSettings(&Preview));
    TChannelInfo loaded;
    loaded.LoadChannelSettings(nullptr);
    EXPECT_TRUE(Scope.Presenter.Shown.isEmpty());
    EXPECT_EQ(loaded.Antenna[2].Name.size(), 512);
}

TEST_F(ChannelFileTest, WriteFailureShowsTextAndLeavesNoPartialFile)
{
    // A folder where the file should be cannot be written as a file.
    ASSERT_TRUE(QDir().mkpath(ConfigPath()));
    EXPECT_FALSE(Table.SaveChannelSettings(&Preview));
    ASSERT_EQ(Scope.Presenter.Shown.size(), 1);
    EXPECT_EQ(Scope.Presenter.Shown[0], QStringList({"Cannot write channel config...."}));
    QDir(ConfigPath()).removeRecursively();
    const QStringList left = QDir(ProgramFolder::Path()).entryList({"QPAVO2*"}, QDir::Files);
    EXPECT_TRUE(left.isEmpty()) << left.join(",").toStdString();
}

TEST_F(ChannelFileTest, AFailureAtEveryStepOfTheSaveKeepsTheOldFile)
{
    ASSERT_TRUE(Table.SaveChannelSettings(&Preview));
    const QByteArray before = TestEnv::ReadFile(ConfigPath());
    Table.CurrentChannel = Table.CurrentChannel == 5 ? 6 : 5;
    for (TSafeWriteStep step : {TSafeWriteStep::Open, TSafeWriteStep::Write, TSafeWriteStep::Sync,
                                TSafeWriteStep::Close, TSafeWriteStep::Rename}) {
        Scope.Presenter.Shown.clear();
        InjectSafeWriteFailure(step, ENOSPC);
        const bool saved = Table.SaveChannelSettings(&Preview);
        InjectSafeWriteFailure(TSafeWriteStep::None);
        EXPECT_FALSE(saved) << int(step);
        EXPECT_EQ(TestEnv::ReadFile(ConfigPath()), before) << int(step);
        EXPECT_EQ(Scope.Presenter.Shown.size(), 1) << int(step);
        const QStringList left =
            QDir(ProgramFolder::Path()).entryList({".QPAVO2*"}, QDir::Files | QDir::Hidden);
        EXPECT_TRUE(left.isEmpty()) << left.join(",").toStdString();
    }
    ASSERT_TRUE(Table.SaveChannelSettings(&Preview));
    EXPECT_NE(TestEnv::ReadFile(ConfigPath()), before);
}

TEST_F(ChannelFileTest, PreviewGridFollowsEnabledChannels)
{
    Table.Mode = ModeAntenna;
    for (int n : {3, 5, 8})
        Table.Antenna[n].Enabled = 1;
    Preview.StartChannel = 5;
    EXPECT_EQ(Preview.CellCount(), 3);
    Preview.SetDimension(9);
    EXPECT_EQ(Preview.Dimension, 5);
    EXPECT_EQ(Preview.Cells[0][0].Channel, 5);
    EXPECT_EQ(Preview.Cells[0][1].Channel, 8);
    EXPECT_EQ(Preview.Cells[0][2].Channel, 3);
    EXPECT_EQ(Preview.Cells[0][3].Kind, 0);
    EXPECT_EQ(Preview.NextStart, 5);
    Preview.SetDimension(0);
    EXPECT_EQ(Preview.Dimension, 2);

    for (int n = 10; n <= 20; ++n)
        Table.Antenna[n].Enabled = 1;
    EXPECT_EQ(Preview.CellCount(), 4);
    Preview.NextPage();
    EXPECT_EQ(Preview.StartChannel, 5);
    EXPECT_EQ(Preview.Cells[1][1].Channel, 11);
    EXPECT_EQ(Preview.NextStart, 12);
    Preview.NextPage();
    EXPECT_EQ(Preview.Cells[0][0].Channel, 12);

    Preview.SetCustomize(true);
    Preview.SetStartChannel(99);
    EXPECT_EQ(Preview.StartChannel, 12) << "ignored while customised";
    Table.Mode = ModeMemory;
    for (int n = 1; n <= 50; ++n)
        Table.Memory[n].Enabled = 0;
    EXPECT_EQ(Preview.CellCount(), 4) << "custom grid always shows N x N";
    Preview.SetCustomize(false);
    EXPECT_EQ(Preview.CellCount(), 0);

    PreviewInfo = &Preview;
    EXPECT_FALSE(StartChannelPreview());
    ASSERT_EQ(Scope.Presenter.Shown.size(), 1);
    EXPECT_EQ(Scope.Presenter.Shown[0].first(), MessageText(1006));
    PreviewInfo = nullptr;
}

} // namespace
