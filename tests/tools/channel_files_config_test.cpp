// lyra-config on the channel files: what the program writes, the tool reads
// back the same.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include "channels/channel_info.h"
#include "channels/preview_info.h"
#include "platform/messages.h"
#include "platform/program_folder.h"
#include "test_env.h"

namespace {

struct TRun
{
    int Code = -1;
    QJsonObject Json;
    QString Error;
};

TRun Show(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(LYRA_BINARY_DIR "/tools/lyra-config"), QStringList{"show"} + args);
    TRun run;
    if (!p.waitForFinished(30000))
        return run;
    run.Code = p.exitCode();
    run.Json = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    run.Error = QString::fromUtf8(p.readAllStandardError());
    return run;
}

TEST(ChannelFilesConfig, ChannelSettingsRoundTrip)
{
    TChannelInfo table;
    TPreviewInfo preview(&table);
    table.CountryCode = 49;
    table.TableNumber = 3;
    table.Cable[12] = TTVChannel{1, 1, 2, 1, 217250000, 217250000, "Das Erste", "e"};
    table.Memory[1].Name = "Fav";
    table.FMMemory[2].Frequency = 0;
    preview.CustomCells[1][2] = TPreviewCell{4, 0};
    ASSERT_TRUE(table.SaveChannelSettings(&preview));
    const QString path = ProgramFolder::File("QPAVO2.cfg");

    TRun run = Show({path});
    ASSERT_EQ(run.Code, 0) << run.Error.toStdString();
    const QJsonObject &j = run.Json;
    EXPECT_EQ(j["status"].toString(), "ok");
    EXPECT_EQ(j["countryCode"].toInt(), 49);
    EXPECT_EQ(j["tableNumber"].toInt(), 3);
    EXPECT_TRUE(j["antenna"].toArray().isEmpty());
    const QJsonArray cable = j["cable"].toArray();
    ASSERT_EQ(cable.size(), 1);
    EXPECT_EQ(cable[0]["number"].toInt(), 12);
    EXPECT_EQ(cable[0]["name"].toString(), "Das Erste");
    EXPECT_EQ(cable[0]["frequency"].toInt(), 217250000);
    EXPECT_EQ(j["memories"].toArray().size(), 50);
    EXPECT_EQ(j["memories"].toArray().at(0).toObject()["name"].toString(), "Fav");
    EXPECT_EQ(j["fmMemories"].toArray().size(), 49);
    const QJsonArray cells = j["preview"]["customCells"].toArray();
    ASSERT_EQ(cells.size(), 1);
    EXPECT_EQ(cells[0]["kind"].toInt(), 4);
    EXPECT_EQ(cells[0]["column"].toInt(), 2);

    // A damaged file: the tool says what the program would do, and leaves it.
    QByteArray bytes = TestEnv::ReadFile(path);
    bytes.chop(1);
    TestEnv::WriteFile(path, bytes);
    run = Show({path});
    EXPECT_EQ(run.Json["status"].toString(), "damaged");
    EXPECT_EQ(run.Json["message"].toString(), BuiltInMessageText(1104));
    EXPECT_TRUE(QFile::exists(path));
    QFile::remove(path);
}

TEST(ChannelFilesConfig, FrequencyTableRecords)
{
    const QString table = QStringLiteral(LYRA_BINARY_DIR "/share/lyra/TVTable.tbl");
    TRun run = Show({table, "3"});
    ASSERT_EQ(run.Code, 0) << run.Error.toStdString();
    const QJsonArray antenna = run.Json["antenna"].toArray();
    ASSERT_FALSE(antenna.isEmpty());
    EXPECT_EQ(antenna[0]["channel"].toInt(), 2);
    EXPECT_DOUBLE_EQ(antenna[0]["mhz"].toDouble(), 48.25);
    EXPECT_EQ(run.Json["cable"].toArray().size(), 60 + 41);

    run = Show({table});
    EXPECT_EQ(run.Json["records"].toInt(), 26);
    run = Show({table, "26"});
    EXPECT_EQ(run.Code, 1);
    EXPECT_TRUE(run.Error.contains("1007"));
}

} // namespace
