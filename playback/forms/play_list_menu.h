// The play-list window (TFormPlayListMenu): a small tool window beside the
// main window while a play list of two or more files plays. It lists the
// files (names without folders, lime on black), marks the one playing and
// moves between them: previous, next, delete, a double-click, and at the
// end of each file the next one, so that the list repeats.
//
// It works on one TPlaybackInfo (the global one unless the opener gives
// another) and keeps its lines in step with that play list. While it is
// open it hooks OnItemChanged (calling the handler that was installed
// before) to select the line of the item that started; closing gives the
// handler back. Freed when closed. GUI thread only.
#pragma once

#include <QPoint>
#include <QWidget>
#include <functional>

class QListWidget;
class QToolButton;
class TPlaybackInfo;

class TFormPlayListMenu : public QWidget
{
    Q_OBJECT
public:
    explicit TFormPlayListMenu(TPlaybackInfo *info, QWidget *owner = nullptr);
    ~TFormPlayListMenu() override;

    TPlaybackInfo *Info;
    QListWidget *ListBoxPlaybak;
    QToolButton *ToolButtonPrevious, *ToolButtonNext, *ToolButtonDelete, *ToolButtonExit;

    // The lines again from the play list; the playing item selected.
    void Refresh();
    void SelectLine(int index);
    int SelectedLine() const;
    // The line of the item playing now.
    bool PlayingLine(int line) const;
    QStringList Lines() const;

    void ToolButtonPreviousClick();
    void ToolButtonNextClick();
    // Refuses the playing item (message 1106).
    void ToolButtonDeleteClick();
    void ToolButtonExitClick();
    void ListBoxDoubleClick(int line);
    // The playing file has ended: plays the next item, from the event loop
    // once the caller has returned (and outside any wait).
    void PlaybackEnded();
    // To the right of the owner, or to its left when the screen ends there.
    void PlaceBesideOwner();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void ApplyLanguage();
    // Gives OnItemChanged back to the handler it had before the window.
    void Unhook();
    std::function<void(TPlaybackInfo &, int)> PreviousItemChanged;
    bool Hooked = false;
    QPoint DragOffset;
    bool Dragging = false;
};

// Opens the window on the global play lists beside `owner` (owned by it),
// or shows the one that is open. Returns the window.
TFormPlayListMenu *OpenPlayListMenu(QWidget *owner);
void ClosePlayListMenu();
// The window while it exists, else null.
TFormPlayListMenu *PlayListMenu();
