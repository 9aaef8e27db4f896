// The done list and the recent list: their files, markers and checks.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <cmath>

#include <gtest/gtest.h>

#include "platform/safe_file.h"
#include "playback/playback_info.h"
#include "test_env.h"

namespace {

std::unique_ptr<TPlaybackItem> Item(const QString &file, const QString &description = {})
{
    auto item = std::make_unique<TPlaybackItem>();
    item->StartTime = DateTimeToDays(QDateTime(QDate(2026, 12, 9), QTime(1, 2, 3)));
    item->EndTime = item->StartTime + 90.0 / 86400;
    item->Channel = 7;
    item->AudioOnly = file.endsWith(".wav");
    item->FileName = file;
    item->Description = description;
    return item;
}

class PlayLists : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Folder = TestEnv::NewFolder("lists");
        List = Folder + "/PLAYITEMS.LST";
        for (const char *name : {"a.mpg", "b.wav", "c.avi"})
            TestEnv::WriteFile(Folder + "/" + name, "x");
    }
    QString File(const char *name) const { return Folder + "/" + name; }
    QString Folder, List;
};

TEST_F(PlayLists, DateTimesCountDaysFrom1899)
{
    EXPECT_DOUBLE_EQ(DateTimeToDays(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_DOUBLE_EQ(DateTimeToDays(QDateTime(QDate(1900, 1, 1), QTime(12, 0))), 2.5);
    const QDateTime t(QDate(2026, 12, 9), QTime(23, 59, 59));
    EXPECT_EQ(DaysToDateTime(DateTimeToDays(t)), t);
    EXPECT_FALSE(DaysToDateTime(std::nan("")).isValid());
}

TEST_F(PlayLists, DoneListKeysOnTheFileNameAndRoundTrips)
{
    TPlaybackInfo info;
    EXPECT_FALSE(info.AddDoneItem(nullptr));
    EXPECT_TRUE(info.AddDoneItem(Item(File("a.mpg"))));
    EXPECT_TRUE(info.AddDoneItem(Item(File("b.wav"), "Time Shifting")));
    EXPECT_FALSE(info.AddDoneItem(Item(File("a.mpg"))));
    // The key is case-sensitive.
    EXPECT_TRUE(info.AddDoneItem(Item(File("A.mpg"))));
    ASSERT_EQ(info.DoneList.size(), 3u);
    EXPECT_EQ(info.DoneList[0]->FileName, File("A.mpg")); // newest first
    ASSERT_TRUE(info.SaveDoneList(List));

    // Byte layout: marker, count, the first record's fields, marker.
    const QByteArray bytes = TestEnv::ReadFile(List);
    auto intAt = [&](int offset) { return qFromLittleEndian<qint32>(bytes.constData() + offset); };
    EXPECT_EQ(intAt(0), 8888);
    EXPECT_EQ(intAt(4), 3);
    EXPECT_EQ(intAt(24), 7);
    EXPECT_EQ(intAt(bytes.size() - 4), 8888);

    // A.mpg does not exist: dropped on reading.
    TPlaybackInfo back;
    back.LoadDoneList(List);
    ASSERT_EQ(back.DoneList.size(), 2u);
    EXPECT_EQ(back.DoneList[0]->Description, "Time Shifting");
    EXPECT_TRUE(back.DoneList[0]->AudioOnly);
    EXPECT_EQ(back.DoneList[0]->StartTime, info.DoneList[1]->StartTime);
    EXPECT_TRUE(QFileInfo::exists(List));

    // Emptying the list leaves the file as it was.
    EXPECT_TRUE(back.DeleteDoneItem(1, true));
    EXPECT_FALSE(QFileInfo::exists(File("a.mpg")));
    EXPECT_FALSE(back.DeleteDoneItem(1, false));
    back.ClearDoneItems(false);
    EXPECT_TRUE(back.SaveDoneList(List));
    EXPECT_EQ(TestEnv::ReadFile(List), bytes);
}

TEST_F(PlayLists, AnEntryStaysWhileItsRecordingCannotBeDeleted)
{
    // unlink() refuses a folder, whoever runs the test.
    QDir().mkpath(File("stuck.mpg"));
    TPlaybackInfo info;
    info.AddDoneItem(Item(File("stuck.mpg")));
    info.AddDoneItem(Item(File("a.mpg")));
    EXPECT_FALSE(info.DeleteDoneItem(1, true));
    ASSERT_EQ(info.DoneList.size(), 2u);
    info.ClearDoneItems(true);
    ASSERT_EQ(info.DoneList.size(), 1u);
    EXPECT_EQ(info.DoneList[0]->FileName, File("stuck.mpg"));
    EXPECT_FALSE(QFileInfo::exists(File("a.mpg")));
    // Without the file the entry goes.
    EXPECT_TRUE(info.DeleteDoneItem(0, false));
    EXPECT_TRUE(QFileInfo(File("stuck.mpg")).isDir());
}

TEST_F(PlayLists, ATimeShiftMovesAndGoesWithItsSoundAndIndex)
{
    const QStringList kept = {File("ts0.mpv"), File("ts0.mpa"), File("ts0.mpv.idx")};
    for (const QString &file : kept)
        TestEnv::WriteFile(file, file.toUtf8());
    EXPECT_EQ(RecordingCompanions(kept[0]), kept.mid(1));
    EXPECT_TRUE(RecordingCompanions(File("a.mpg")).isEmpty());

    // Not a ".mpv": the sound would not be found again.
    EXPECT_FALSE(RenameRecording(kept[0], File("trip.mpg")));
    // A companion's new name is taken: nothing moves.
    TestEnv::WriteFile(File("trip.mpa"), "other");
    EXPECT_FALSE(RenameRecording(kept[0], File("trip.mpv")));
    EXPECT_TRUE(QFileInfo::exists(kept[0]) && QFileInfo::exists(kept[1]));
    EXPECT_EQ(TestEnv::ReadFile(File("trip.mpa")), "other");
    QFile::remove(File("trip.mpa"));
    ASSERT_TRUE(RenameRecording(kept[0], File("trip.mpv")));
    EXPECT_EQ(TestEnv::ReadFile(File("trip.mpa")), kept[1].toUtf8());
    EXPECT_EQ(TestEnv::ReadFile(File("trip.mpv.idx")), kept[2].toUtf8());
    for (const QString &file : kept)
        EXPECT_FALSE(QFileInfo::exists(file));

    TPlaybackInfo info;
    info.AddDoneItem(Item(File("trip.mpv"), "Time Shifting"));
    EXPECT_TRUE(info.DeleteDoneItem(0, true));
    for (const char *name : {"trip.mpv", "trip.mpa", "trip.mpv.idx"})
        EXPECT_FALSE(QFileInfo::exists(File(name))) << name;
}

TEST_F(PlayLists, DeletingAPlayListLineKeepsTheCurrentItem)
{
    TPlaybackInfo info;
    info.PlayList = {"/v/a.mpg", "/v/b.mpg", "/v/c.mpg"};
    info.PlayFile = [](const QString &) { return true; };
    ASSERT_TRUE(info.PlayItem(1));
    EXPECT_TRUE(info.DeletePlayListItem(2));
    EXPECT_EQ(info.CurrentIndex, 1);
    EXPECT_TRUE(info.DeletePlayListItem(0));
    EXPECT_EQ(info.CurrentIndex, 0);
    EXPECT_EQ(info.PlayList[info.CurrentIndex], info.CurrentFile);
    EXPECT_FALSE(info.DeletePlayListItem(1));
}

TEST_F(PlayLists, DamagedFilesAreDeletedKeepingWhatWasRead)
{
    TPlaybackInfo info;
    info.AddDoneItem(Item(File("c.avi")));
    info.AddDoneItem(Item(File("a.mpg")));
    ASSERT_TRUE(info.SaveDoneList(List));
    const QByteArray good = TestEnv::ReadFile(List);

    // A zero-length file is left alone.
    TestEnv::WriteFile(List, {});
    TPlaybackInfo empty;
    empty.LoadDoneList(List);
    EXPECT_TRUE(empty.DoneList.empty());
    EXPECT_TRUE(QFileInfo::exists(List));

    // A wrong first marker: nothing read, file deleted.
    QByteArray bad = good;
    bad[0] = 0;
    TestEnv::WriteFile(List, bad);
    TPlaybackInfo first;
    first.LoadDoneList(List);
    EXPECT_TRUE(first.DoneList.empty());
    EXPECT_FALSE(QFileInfo::exists(List));

    // A wrong closing marker: both records kept, file deleted.
    bad = good;
    bad[bad.size() - 1] = 1;
    TestEnv::WriteFile(List, bad);
    TPlaybackInfo last;
    last.LoadDoneList(List);
    EXPECT_EQ(last.DoneList.size(), 2u);
    EXPECT_FALSE(QFileInfo::exists(List));

    // Cut inside the second record: the first stays.
    TestEnv::WriteFile(List, good.left(good.size() - 20));
    TPlaybackInfo cut;
    cut.LoadDoneList(List);
    ASSERT_EQ(cut.DoneList.size(), 1u);
    EXPECT_EQ(cut.DoneList[0]->FileName, File("a.mpg"));
    EXPECT_FALSE(QFileInfo::exists(List));

    // A failed write keeps the old file whole.
    TestEnv::WriteFile(List, good);
    InjectSafeWriteFailure(TSafeWriteStep::Write);
    cut.AddDoneItem(Item(File("b.wav")));
    EXPECT_FALSE(cut.SaveDoneList(List));
    InjectSafeWriteFailure(TSafeWriteStep::None);
    EXPECT_EQ(TestEnv::ReadFile(List), good);
}

TEST_F(PlayLists, RecentListIsCrLfTextMostRecentFirst)
{
    const QString path = Folder + "/PLAYRECENT.LST";
    TPlaybackInfo info;
    info.AddRecentFile("/v/a.mpg");
    info.AddRecentFile("/v/b.mpg");
    info.AddRecentFile("/V/A.MPG"); // already there, in another case
    EXPECT_EQ(info.RecentList, QStringList({"/v/b.mpg", "/v/a.mpg"}));
    ASSERT_TRUE(info.SaveRecentList(path));
    EXPECT_EQ(TestEnv::ReadFile(path), QByteArray("/v/b.mpg\r\n/v/a.mpg\r\n"));
    TPlaybackInfo back;
    back.LoadRecentList(path);
    EXPECT_EQ(back.RecentList, info.RecentList);
    // An empty list leaves the file.
    EXPECT_TRUE(TPlaybackInfo().SaveRecentList(path));
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(info.DeletePlayListItem(0));
}

} // namespace

TEST_F(PlayLists, PlayingWrapsAroundAndDropsFilesThatFail)
{
    TPlaybackInfo info;
    QStringList played, changed;
    info.PlayFile = [&](const QString &file) {
        played << file;
        return !file.endsWith("bad.mpg");
    };
    info.OnItemChanged = [&](TPlaybackInfo &, int index) { changed << QString::number(index); };
    info.PlayList = {File("a.mpg"), File("bad.mpg"), File("c.avi")};

    EXPECT_FALSE(info.PlayItem(3));
    EXPECT_FALSE(info.PlayItem(-1));
    EXPECT_TRUE(info.PlayItem(2));
    // After the last item comes the first.
    EXPECT_TRUE(info.PlayNext());
    EXPECT_EQ(info.CurrentIndex, 0);
    // The bad file leaves the list; its place goes to the next one.
    EXPECT_FALSE(info.PlayNext());
    EXPECT_EQ(info.CurrentIndex, 1);
    EXPECT_EQ(info.PlayList, QStringList({File("a.mpg"), File("c.avi")}));
    EXPECT_TRUE(info.PlayItem(info.CurrentIndex));
    EXPECT_EQ(info.CurrentFile, File("c.avi"));
    // Before the first comes the last.
    EXPECT_TRUE(info.PlayItem(0));
    EXPECT_TRUE(info.PlayPrevious());
    EXPECT_EQ(info.CurrentIndex, 1);

    EXPECT_EQ(changed, QStringList({"2", "0", "1", "0", "1"}));
    // Files that played join the recent list once, newest first.
    EXPECT_EQ(info.RecentList, QStringList({File("a.mpg"), File("c.avi")}));
    EXPECT_EQ(played.count(File("bad.mpg")), 1);
}

TEST_F(PlayLists, WithoutAnEngineNothingPlaysAndNothingIsDropped)
{
    TPlaybackInfo info;
    info.PlayList = {File("a.mpg")};
    EXPECT_FALSE(info.PlayItem(0));
    EXPECT_EQ(info.PlayList.size(), 1);
    EXPECT_TRUE(info.RecentList.isEmpty());
}
