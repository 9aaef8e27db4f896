// The play-list window: moving through the list with wrap-around, delete,
// double-click, the end of a file, the selected line and the drag; offscreen,
// on a play list whose PlayFile records what it was asked to play.
#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>
#include <QToolButton>

#include <gtest/gtest.h>

#include "platform/gui_wait.h"
#include "platform/messages.h"
#include "playback/forms/play_list_menu.h"
#include "playback/playback_info.h"
#include "recording_presenter.h"

namespace {

class PlayListMenu : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetWarningPresenter(&Presenter);
        Info.PlayList = {"/rec/a.mpg", "/rec/b.mpg", "/rec/c.mpg"};
        Info.PlayFile = [this](const QString &file) {
            Played << file.section('/', -1);
            return !Broken.contains(file.section('/', -1));
        };
        PlaybackInfo = &Info;
        // As the playback mode starts it: item 0 plays, then the window opens.
        Info.PlayItem(0);
        Played.clear();
    }
    void TearDown() override
    {
        ClosePlayListMenu();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        PlaybackInfo = nullptr;
        SetWarningPresenter(nullptr);
    }
    void KeyRelease(QWidget *w, int key)
    {
        QKeyEvent event(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(w, &event);
    }

    TPlaybackInfo Info;
    TRecordingPresenter Presenter;
    QStringList Played, Broken;
};

TEST_F(PlayListMenu, NextAndPreviousWrapAroundTheList)
{
    TFormPlayListMenu *w = OpenPlayListMenu(nullptr);
    ASSERT_EQ(w, ::PlayListMenu());
    EXPECT_EQ(w->Lines(), QStringList({"a.mpg", "b.mpg", "c.mpg"}));
    EXPECT_EQ(w->SelectedLine(), 0);

    w->ToolButtonPrevious->click();
    EXPECT_EQ(Info.CurrentIndex, 2);
    EXPECT_EQ(w->SelectedLine(), 2);
    w->ToolButtonNext->click();
    EXPECT_EQ(Info.CurrentIndex, 0);
    // The arrow keys act when released in the list.
    KeyRelease(w->ListBoxPlaybak, Qt::Key_Down);
    KeyRelease(w->ListBoxPlaybak, Qt::Key_Down);
    KeyRelease(w->ListBoxPlaybak, Qt::Key_Up);
    EXPECT_EQ(Played, QStringList({"c.mpg", "a.mpg", "b.mpg", "c.mpg", "b.mpg"}));
    EXPECT_EQ(w->SelectedLine(), 1);
}

TEST_F(PlayListMenu, ThePlayingItemCannotBeDeleted)
{
    TFormPlayListMenu *w = OpenPlayListMenu(nullptr);
    Info.PlayItem(1);
    w->SelectLine(1);
    w->ToolButtonDelete->click();
    ASSERT_EQ(Presenter.Shown.size(), 1);
    EXPECT_TRUE(Presenter.Shown[0].contains("Cannot delete current playback item..."));
    EXPECT_EQ(Info.PlayList.size(), 3);

    // A line before the playing one: the playing item keeps its place in
    // the window and in the play list's count.
    w->SelectLine(0);
    w->ToolButtonDelete->click();
    EXPECT_EQ(w->Lines(), QStringList({"b.mpg", "c.mpg"}));
    EXPECT_EQ(Info.CurrentIndex, 0);
    EXPECT_EQ(Info.CurrentFile, "/rec/b.mpg");
    w->SelectLine(0);
    w->ToolButtonDelete->click();
    EXPECT_EQ(Presenter.Shown.size(), 2);
    w->ToolButtonNext->click();
    EXPECT_EQ(Played.last(), "c.mpg");
}

TEST_F(PlayListMenu, ADoubleClickedFileThatFailsLosesItsLine)
{
    TFormPlayListMenu *w = OpenPlayListMenu(nullptr);
    // The playing line: nothing happens.
    w->ListBoxDoubleClick(0);
    EXPECT_TRUE(Played.isEmpty());

    Broken = {"b.mpg"};
    w->ListBoxDoubleClick(1);
    EXPECT_EQ(Played, QStringList({"b.mpg"}));
    EXPECT_EQ(w->Lines(), QStringList({"a.mpg", "c.mpg"}));
    EXPECT_EQ(Info.PlayList, QStringList({"/rec/a.mpg", "/rec/c.mpg"}));

    // The file that moved into the failed one's place is not the one
    // playing: a double-click plays it, and delete may take it.
    EXPECT_FALSE(w->PlayingLine(1));
    w->ListBoxDoubleClick(1);
    EXPECT_EQ(Played.last(), "c.mpg");
    EXPECT_EQ(w->SelectedLine(), 1);
}

TEST_F(PlayListMenu, TheEndOfAFilePlaysTheNextOnceTheCallerHasReturned)
{
    TFormPlayListMenu *w = OpenPlayListMenu(nullptr);
    w->PlaybackEnded();
    EXPECT_TRUE(Played.isEmpty());
    QApplication::processEvents();
    EXPECT_EQ(Played, QStringList({"b.mpg"}));
    EXPECT_EQ(w->SelectedLine(), 1);

    // During a wait it is held back until the wait is over.
    {
        TWaitScope wait;
        w->PlaybackEnded();
        QApplication::processEvents();
        EXPECT_EQ(Played.size(), 1);
    }
    QApplication::processEvents();
    EXPECT_EQ(Played.last(), "c.mpg");

    // After the last file the list starts again.
    w->PlaybackEnded();
    QApplication::processEvents();
    EXPECT_EQ(Played.last(), "a.mpg");

    // Closed with the end of the playback mode: the pending end plays nothing.
    w->PlaybackEnded();
    ClosePlayListMenu();
    QApplication::processEvents();
    EXPECT_EQ(Played.size(), 3);
    EXPECT_EQ(::PlayListMenu(), nullptr);
}

TEST_F(PlayListMenu, ItemChangesSelectTheLineWhileTheWindowIsOpen)
{
    QStringList changed;
    Info.OnItemChanged = [&](TPlaybackInfo &, int i) { changed << QString::number(i); };
    TFormPlayListMenu *w = OpenPlayListMenu(nullptr);
    // The handler installed before still runs.
    Info.PlayItem(2);
    EXPECT_EQ(w->SelectedLine(), 2);
    EXPECT_EQ(changed, QStringList({"2"}));

    // A second window after the first closed hooks the same handler once.
    ClosePlayListMenu();
    TFormPlayListMenu *again = OpenPlayListMenu(nullptr);
    ASSERT_NE(again, nullptr);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Info.PlayItem(1);
    EXPECT_EQ(again->SelectedLine(), 1);
    EXPECT_EQ(changed, QStringList({"2", "1"}));

    ClosePlayListMenu();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Info.PlayItem(0);
    EXPECT_EQ(changed, QStringList({"2", "1", "0"}));
}

TEST_F(PlayListMenu, DraggingTheClientAreaMovesTheWindow)
{
    TFormPlayListMenu *w = OpenPlayListMenu(nullptr);
    w->move(100, 100);
    const QPoint start = w->pos();
    const QPointF inside(2, 2);
    auto send = [&](QEvent::Type type, QPointF global, Qt::MouseButtons buttons) {
        QMouseEvent e(type, inside, global, Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    };
    const QPointF global = QPointF(w->mapToGlobal(inside.toPoint()));
    send(QEvent::MouseButtonPress, global, Qt::LeftButton);
    send(QEvent::MouseMove, global + QPointF(30, 20), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, global + QPointF(30, 20), Qt::NoButton);
    EXPECT_EQ(w->pos(), start + QPoint(30, 20));
}

} // namespace
