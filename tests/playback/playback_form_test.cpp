// The Playback dialog: the done grid's cells, marks and adding, files gone
// from the disk, delete with and without the recordings, rename, import, OK
// and Cancel; offscreen, with the desktop's questions and file chooser
// answered by the test.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include "channels/languages.h"
#include "platform/gui_wait.h"
#include "platform/messages.h"
#include "playback/done_list_text.h"
#include "playback/forms/playback_form.h"
#include "playback/playback_info.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

double Days(int h, int m, int s)
{
    return DateTimeToDays(QDateTime(QDate(2026, 12, 9), QTime(h, m, s)));
}

class PlaybackForm : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Folder = TestEnv::NewFolder("recordings");
        SetWarningPresenter(&Presenter);
        TPlaybackDialogHooks hooks;
        hooks.AskYesNo = [this](QWidget *, const QString &question) {
            Questions << question;
            return Answer;
        };
        hooks.ChooseFiles = [this](QWidget *, const QString &filters) {
            Filters << filters;
            return Chosen;
        };
        SetPlaybackDialogHooks(hooks);
    }
    void TearDown() override
    {
        SetPlaybackDialogHooks({});
        SetWarningPresenter(nullptr);
        MultiLangInfo = nullptr;
        PlaybackInfo = nullptr;
    }
    // A recording on disk, added to the front of the done list as the
    // recorder adds them.
    QString Record(const QString &name, double start = 0, double end = 0, int channel = 0,
                   const QString &description = {}, bool onDisk = true)
    {
        const QString path = Folder + "/" + name;
        if (onDisk)
            TestEnv::WriteFile(path, "recording");
        auto item = std::make_unique<TPlaybackItem>();
        item->StartTime = start;
        item->EndTime = end;
        item->Channel = channel;
        item->FileName = path;
        item->Description = description;
        Info.AddDoneItem(std::move(item));
        return path;
    }
    TFormPlayback &Open(bool audioFiles = false)
    {
        Form = std::make_unique<TFormPlayback>(&Info, audioFiles);
        return *Form;
    }
    QStringList Row(int row) const
    {
        QStringList cells;
        for (int c = 0; c < Form->StringGridDoneList->columnCount(); ++c)
            cells << Form->StringGridDoneList->item(row, c)->text();
        return cells;
    }
    QStringList DoneFiles() const
    {
        QStringList files;
        for (const auto &item : Info.DoneList)
            files << QFileInfo(item->FileName).fileName();
        return files;
    }
    void CtrlClick(int row)
    {
        QWidget *viewport = Form->StringGridDoneList->viewport();
        const QPointF at(5, Form->StringGridDoneList->rowViewportPosition(row) + 3);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                              Qt::ControlModifier);
            QApplication::sendEvent(viewport, &event);
        }
    }

    QString Folder;
    TPlaybackInfo Info;
    TRecordingPresenter Presenter;
    std::unique_ptr<TFormPlayback> Form;
    bool Answer = false;
    QStringList Questions, Filters, Chosen;
};

TEST(PlaybackDuration, WholeSecondsWithTheSignInTheHours)
{
    EXPECT_EQ(DurationText(0), "0:00:00");
    EXPECT_EQ(DurationText(3661), "1:01:01");
    // Not wrapped at a day.
    EXPECT_EQ(DurationText(25 * 3600 + 59), "25:00:59");
    EXPECT_EQ(DurationText(-3661), "-1:01:01");
    // Under an hour the minus sign still shows.
    EXPECT_EQ(DurationText(-30), "-0:00:30");

    TPlaybackItem item;
    item.StartTime = Days(23, 0, 0);
    // An hour and a half later, past midnight: the days count too.
    item.EndTime = DateTimeToDays(QDateTime(QDate(2026, 12, 10), QTime(0, 30, 0)));
    EXPECT_EQ(DurationSeconds(item), 5400);
    // A time of day that is not exact in floating point is still whole.
    item.StartTime = Days(1, 2, 3);
    item.EndTime = Days(1, 2, 3) + 7.0 / 86400;
    EXPECT_EQ(DurationSeconds(item), 7);
    std::swap(item.StartTime, item.EndTime);
    EXPECT_EQ(DurationSeconds(item), -7);
}

TEST_F(PlaybackForm, DoneGridShowsOneRowPerRecordingNewestFirst)
{
    Record("old.mpg", Days(10, 0, 0), Days(11, 1, 1), 5);
    Record("ts0.mpv", Days(12, 0, 0), Days(11, 59, 30), 0, "Time Shifting");
    TFormPlayback &f = Open();

    ASSERT_EQ(f.StringGridDoneList->rowCount(), 2);
    const QStringList row0 = Row(0);
    EXPECT_EQ(row0[0], "ts0.mpv");
    EXPECT_EQ(row0[2], "-0:00:30");
    EXPECT_EQ(row0[3], "0");
    EXPECT_EQ(row0[4], Folder + "/");
    EXPECT_EQ(row0[5], "Time Shifting");
    EXPECT_FALSE(row0[1].isEmpty());
    EXPECT_EQ(Row(1)[2], "1:01:01");
    EXPECT_EQ(Row(1)[3], "5");
    EXPECT_EQ(f.StringGridDoneList->horizontalHeaderItem(4)->text(), "Stored Path");

    // The Done page is active, nothing is marked, the first row is current
    // and drawn highlighted.
    EXPECT_EQ(f.PageControl->currentIndex(), 0);
    EXPECT_TRUE(f.Marks.isEmpty());
    EXPECT_TRUE(f.RowHighlighted(0));
    EXPECT_FALSE(f.RowHighlighted(1));
    EXPECT_TRUE(f.BitBtnRename->isEnabled());
    f.PageControl->setCurrentIndex(1);
    EXPECT_FALSE(f.BitBtnDelete->isEnabled());
    EXPECT_FALSE(f.BitBtnDeleteAll->isEnabled());
    EXPECT_FALSE(f.BitBtnRename->isEnabled());
}

TEST_F(PlaybackForm, LanguageKeysReplaceTheTexts)
{
    const QString folder = TestEnv::NewFolder("lang");
    TestEnv::WriteFile(folder + "/Language/Lang.cfg", "Deutsch\n");
    TestEnv::WriteFile(folder + "/Language/Deutsch.lng",
                       "[language]=Deutsch\nPlay=Wiedergabe\nAdd=Hinzu@Zur Liste\n"
                       "Duration=Dauer\nRecent=Zuletzt\nDeletePrompt=Löschen?\n");
    TMultiLangInfo lang(folder + "/Language/Lang.cfg");
    MultiLangInfo = &lang;
    Record("a.mpg");
    TFormPlayback &f = Open();
    EXPECT_EQ(f.windowTitle(), "Wiedergabe");
    EXPECT_EQ(f.BitBtnAdd->text(), "Hinzu");
    EXPECT_EQ(f.BitBtnAdd->toolTip(), "Zur Liste");
    EXPECT_EQ(f.StringGridDoneList->horizontalHeaderItem(2)->text(), "Dauer");
    EXPECT_EQ(f.PageControl->tabText(1), "Zuletzt");
    EXPECT_EQ(f.StringGridRecentPlayList->horizontalHeaderItem(0)->text(), "Zuletzt");
    // Keys the language lacks keep the form's own texts.
    EXPECT_EQ(f.BitBtnImport->text(), "Import");
    EXPECT_EQ(f.PageControl->tabText(0), "Done");
    f.BitBtnDeleteClick();
    EXPECT_EQ(Questions, QStringList({"Löschen?"}));
}

TEST_F(PlaybackForm, AddTakesMarkedRowsAndTheCurrentOneOnce)
{
    const QString c = Record("c.mpg");
    const QString b = Record("b.mpg");
    const QString a = Record("a.mpg"); // row 0
    TFormPlayback &f = Open();

    // Ctrl+click marks and unmarks; the marked rows are drawn highlighted.
    CtrlClick(2);
    CtrlClick(1);
    CtrlClick(1);
    EXPECT_EQ(f.Marks, QSet<int>({2}));
    EXPECT_TRUE(f.RowHighlighted(2));
    CtrlClick(1);
    f.StringGridDoneList->setCurrentCell(0, 3);
    f.BitBtnAddClick();
    // From the last row up: the oldest recording first.
    EXPECT_EQ(f.PlayListLines(), QStringList({c, b, a}));
    EXPECT_TRUE(f.Marks.isEmpty());

    // Already in the list, in any letter case: not added twice.
    f.BitBtnAddClick();
    f.AddToPlayList(a.toUpper());
    EXPECT_EQ(f.PlayListLines().size(), 3);

    // A double-click clears the marks and adds its row only.
    f.BitBtnClearClick();
    CtrlClick(0);
    f.DoneRowDoubleClick(2);
    EXPECT_TRUE(f.Marks.isEmpty());
    EXPECT_EQ(f.PlayListLines(), QStringList({c}));

    // The Delete key removes the selected lines of the list box.
    f.AddToPlayList(a);
    f.ListBoxPlayback->item(0)->setSelected(true);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(f.ListBoxPlayback, &del);
    EXPECT_EQ(f.PlayListLines(), QStringList({a}));
}

TEST_F(PlaybackForm, AFileGoneFromTheDiskLeavesItsListOnly)
{
    Record("kept.mpg");
    const QString gone = Record("gone.mpg", 0, 0, 0, {}, false);
    // A folder stands where the recording was: not a file to play, and not
    // removed either.
    QDir().mkpath(Folder + "/folder.mpg");
    Record("folder.mpg", 0, 0, 0, {}, false);
    Info.RecentList = {Folder + "/kept.mpg", Folder + "/played-elsewhere.avi"};
    TFormPlayback &f = Open();

    f.StringGridDoneList->setCurrentCell(1, 0);
    f.BitBtnAddClick();
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_EQ(Presenter.Shown[0], gone + " is no more existing, delete it...");
    EXPECT_EQ(DoneFiles(), QStringList({"folder.mpg", "kept.mpg"}));
    EXPECT_EQ(f.StringGridDoneList->rowCount(), 2);
    EXPECT_TRUE(f.PlayListLines().isEmpty());

    f.DoneRowDoubleClick(0);
    EXPECT_TRUE(QFileInfo(Folder + "/folder.mpg").isDir());
    EXPECT_EQ(DoneFiles(), QStringList({"kept.mpg"}));
    EXPECT_EQ(Row(0)[0], "kept.mpg");

    // The recent page: the current row's file, or its removal.
    f.PageControl->setCurrentIndex(1);
    f.StringGridRecentPlayList->setCurrentCell(1, 0);
    f.BitBtnAddClick();
    EXPECT_EQ(Info.RecentList, QStringList({Folder + "/kept.mpg"}));
    EXPECT_EQ(f.StringGridRecentPlayList->rowCount(), 1);
    f.RecentRowDoubleClick(0);
    EXPECT_EQ(f.PlayListLines(), QStringList({Folder + "/kept.mpg"}));
}

TEST_F(PlaybackForm, DeleteRemovesTheEntriesAndTheFilesOnlyOnYes)
{
    const QString c = Record("c.mpg");
    const QString b = Record("b.mpg");
    const QString a = Record("a.mpg");
    TFormPlayback &f = Open();
    f.AddToPlayList(a);

    // No: the entries go, the recordings stay.
    Answer = false;
    CtrlClick(2);
    f.StringGridDoneList->setCurrentCell(0, 0);
    f.BitBtnDeleteClick();
    EXPECT_EQ(Questions, QStringList({"Delete file(s)?"}));
    EXPECT_EQ(DoneFiles(), QStringList({"b.mpg"}));
    EXPECT_EQ(f.StringGridDoneList->rowCount(), 1);
    EXPECT_TRUE(QFile::exists(a));
    EXPECT_TRUE(QFile::exists(c));
    EXPECT_TRUE(f.PlayListLines().isEmpty());
    EXPECT_TRUE(f.Marks.isEmpty());

    // Yes: the recording goes too.
    Answer = true;
    f.BitBtnDeleteClick();
    EXPECT_TRUE(Info.DoneList.empty());
    EXPECT_FALSE(QFile::exists(b));
    EXPECT_FALSE(f.RowHighlighted(0));

    // Nothing listed: nothing to ask.
    f.BitBtnDeleteClick();
    f.BitBtnDeleteAllClick();
    EXPECT_EQ(Questions.size(), 2);
}

TEST_F(PlaybackForm, DeleteAllEmptiesTheListWithOrWithoutTheFiles)
{
    const QString b = Record("b.mpg");
    const QString a = Record("a.mpg");
    TFormPlayback &f = Open();
    Answer = false;
    f.BitBtnDeleteAllClick();
    EXPECT_EQ(Questions, QStringList({"Delete all file?"}));
    EXPECT_TRUE(Info.DoneList.empty());
    EXPECT_EQ(f.StringGridDoneList->rowCount(), 0);
    EXPECT_TRUE(QFile::exists(a) && QFile::exists(b));

    Record("b.mpg");
    Record("a.mpg");
    f.FillGrids();
    Answer = true;
    f.BitBtnDeleteAllClick();
    EXPECT_TRUE(Info.DoneList.empty());
    EXPECT_FALSE(QFile::exists(a) || QFile::exists(b));
    EXPECT_TRUE(Presenter.Shown.isEmpty());
}

TEST_F(PlaybackForm, ARecordingThatCannotBeDeletedStaysListed)
{
    // unlink() refuses a folder whoever runs the test.
    QDir().mkpath(Folder + "/stuck.mpg");
    Record("stuck.mpg", 0, 0, 0, {}, false);
    const QString a = Record("a.mpg");
    TFormPlayback &f = Open();
    Answer = true;
    f.BitBtnDeleteAllClick();
    EXPECT_EQ(DoneFiles(), QStringList({"stuck.mpg"}));
    EXPECT_EQ(f.StringGridDoneList->rowCount(), 1);
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_EQ(Presenter.Shown, QStringList({"File cannot be deleted..."}));

    f.BitBtnDeleteClick();
    EXPECT_EQ(DoneFiles(), QStringList({"stuck.mpg"}));
    EXPECT_EQ(Presenter.Shown.size(), 2);
}

TEST_F(PlaybackForm, RenameMovesTheFileAndItsEntryTogether)
{
    Record("b.mpg");
    const QString a = Record("a.mpg");
    TFormPlayback &f = Open();
    f.AddToPlayList(a);
    // Whichever cell is current, the file name is edited.
    f.StringGridDoneList->setCurrentCell(0, 4);
    f.BitBtnRenameClick();
    ASSERT_TRUE(f.EditItem->isVisibleTo(&f));
    EXPECT_EQ(f.EditItem->text(), "a.mpg");
    EXPECT_EQ(f.StringGridDoneList->currentColumn(), 0);
    f.EditItem->setText("news.mpg");
    f.EditItemExit();
    EXPECT_FALSE(f.EditItem->isVisibleTo(&f));
    EXPECT_FALSE(QFile::exists(a));
    EXPECT_TRUE(QFile::exists(Folder + "/news.mpg"));
    EXPECT_EQ(DoneFiles(), QStringList({"news.mpg", "b.mpg"}));
    EXPECT_EQ(Row(0)[0], "news.mpg");
    // The play list box follows the file.
    EXPECT_EQ(f.PlayListLines(), QStringList({Folder + "/news.mpg"}));
    EXPECT_TRUE(Presenter.Shown.isEmpty());
    // A second exit (focus leaving after Enter) renames nothing more.
    f.EditItemExit();
    EXPECT_TRUE(QFile::exists(Folder + "/news.mpg"));
}

TEST_F(PlaybackForm, ARenameThatFailsLeavesFileAndEntryAsTheyWere)
{
    const QString other = Record("other.mpg");
    const QString a = Record("a.mpg");
    TFormPlayback &f = Open();
    auto rename = [&](const QString &name) {
        f.StringGridDoneList->setCurrentCell(0, 0);
        f.BitBtnRenameClick();
        f.EditItem->setText(name);
        f.EditItemExit();
    };
    const QStringList refused = {
        "other.mpg",              // an existing file is never replaced
        "../a.mpg", "",           // a name, not a path
        QString(300, QChar('x')), // longer than the file system takes
    };
    for (const QString &name : refused) {
        Presenter.Shown.clear();
        rename(name);
        EXPECT_EQ(Presenter.Shown, QStringList({"File cannot be renamed..."})) << qPrintable(name);
        EXPECT_EQ(Info.DoneList[0]->FileName, a) << qPrintable(name);
        EXPECT_EQ(Row(0)[0], "a.mpg") << qPrintable(name);
        EXPECT_TRUE(QFile::exists(a));
    }
    EXPECT_EQ(TestEnv::ReadFile(other), "recording");
    EXPECT_EQ(QDir(Folder).entryList(QDir::Files), QStringList({"a.mpg", "other.mpg"}));
}

TEST_F(PlaybackForm, ARenameInAFolderThatTakesNoNewNamesFails)
{
    const QString a = Record("a.mpg");
    TFormPlayback &f = Open();
    QFile::setPermissions(Folder, QFile::ReadOwner | QFile::ExeOwner);
    const bool root = QFileInfo(Folder).isWritable();
    if (!root) {
        f.BitBtnRenameClick();
        f.EditItem->setText("b.mpg");
        f.EditItemExit();
    }
    QFile::setPermissions(Folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (root)
        GTEST_SKIP() << "running as root: permissions do not stop a rename";
    EXPECT_EQ(Presenter.Shown, QStringList({"File cannot be renamed..."}));
    EXPECT_EQ(Info.DoneList[0]->FileName, a);
    EXPECT_TRUE(QFile::exists(a));
}

TEST_F(PlaybackForm, ImportOffersTheFilesOfTheMode)
{
    Chosen = {"/media/a.mpg", "/media/b.avi", "/MEDIA/A.MPG"};
    TFormPlayback &tv = Open(false);
    tv.BitBtnImportClick();
    EXPECT_EQ(Filters.last(), "Mpeg files (*.mpg *.mpeg);;AVI files (*.avi)");
    // From the last chosen to the first; the same file in another case once.
    EXPECT_EQ(tv.PlayListLines(), QStringList({"/MEDIA/A.MPG", "/media/b.avi"}));

    TFormPlayback &fm = Open(true);
    Chosen.clear();
    fm.BitBtnImportClick();
    EXPECT_EQ(Filters.last(), "Wave files (*.wav *.wave);;MP3 files (*.mp3)");
    EXPECT_TRUE(fm.PlayListLines().isEmpty());
}

TEST_F(PlaybackForm, OkTakesTheListAndRefusesAnEmptyOne)
{
    const QString a = Record("a.mpg");
    Info.PlayList = {"/earlier/run.mpg"};
    TFormPlayback &f = Open();
    f.BitBtnOKClick();
    EXPECT_EQ(f.result(), QDialog::Rejected);
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_TRUE(Presenter.Shown[0].contains("No items to playback"));
    EXPECT_EQ(Info.PlayList, QStringList({"/earlier/run.mpg"}));

    TFormPlayback &g = Open();
    g.BitBtnAddClick();
    g.AddToPlayList("/media/b.avi");
    g.BitBtnOKClick();
    EXPECT_EQ(g.result(), QDialog::Accepted);
    EXPECT_EQ(Info.PlayList, QStringList({a, "/media/b.avi"}));
}

TEST_F(PlaybackForm, TheModalDialogAnswersOkOrCancel)
{
    const QString a = Record("a.mpg");
    PlaybackInfo = &Info;
    auto hooks = TPlaybackDialogHooks{};
    // A command that arrives while the dialog is open runs after it.
    bool commandRan = false;
    hooks.Opened = [&](QDialog *d) {
        QTimer::singleShot(0, d, [&, d] {
            RunOutsideWaits([&] { commandRan = true; }, nullptr, true);
            auto *f = static_cast<TFormPlayback *>(d);
            f->BitBtnAddClick();
            f->BitBtnOK->click();
        });
    };
    SetPlaybackDialogHooks(hooks);
    EXPECT_TRUE(RunPlaybackDialog(nullptr, false));
    EXPECT_EQ(Info.PlayList, QStringList({a}));
    EXPECT_FALSE(commandRan);
    QApplication::processEvents();
    EXPECT_TRUE(commandRan);

    hooks.Opened = [](QDialog *d) {
        QTimer::singleShot(0, d, [d] {
            auto *f = static_cast<TFormPlayback *>(d);
            f->AddToPlayList("/media/other.mpg");
            f->BitBtnCancel->click();
        });
    };
    SetPlaybackDialogHooks(hooks);
    EXPECT_FALSE(RunPlaybackDialog(nullptr, false));
    EXPECT_EQ(Info.PlayList, QStringList({a}));

    PlaybackInfo = nullptr;
    EXPECT_FALSE(RunPlaybackDialog(nullptr, false));
}

} // namespace
