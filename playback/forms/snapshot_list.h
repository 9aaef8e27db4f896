// The snapshot list window (TFormSnapshotList): the store's pictures as a
// strip of five 100 x 100 thumbnails per page, newest first, with paging,
// a yellow frame around the selected one, the viewer, saving one or all
// pictures and deleting one or all. Owned by the main window; it works on
// the one store (SnapshotInfo) and survives nothing but its own closing:
// the pictures stay in the store.
//
// GUI thread only.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QRect>
#include <QToolButton>
#include <QWidget>
#include <array>

class TSnapshotInfo;

class TFormSnapshotList : public QWidget
{
    Q_OBJECT
public:
    static constexpr int PageSize = 5;
    static constexpr int ThumbSize = 100;

    explicit TFormSnapshotList(QWidget *owner = nullptr);

    // The store the window shows; the global one unless a test sets another.
    TSnapshotInfo *Store() const;
    TSnapshotInfo *StoreOverride = nullptr;

    int SelectedIndex = 0;
    int PageCount = 0;
    // The thumbnail the selection frame was last drawn around (0 = Image1).
    int FrameSlot = -1;
    bool FrameShown = false;
    // Where the frame goes: 1 pixel outside that thumbnail.
    QRect SelectionRect() const;
    std::array<QLabel *, PageSize> Images{};
    QLabel *LabelPage = nullptr;

    QToolButton *ToolButtonPrePage, *ToolButtonNextPage, *ToolButtonView, *ToolButtonSave,
        *ToolButtonSaveAll, *ToolButtonDelete, *ToolButtonDeleteAll, *ToolButtonExit;
    QMenu *PopupMenu = nullptr;
    QAction *itemPrePage, *itemNextPage, *itemView, *itemSave, *itemSaveAll, *itemDelete,
        *itemDeleteAll, *itemExit;

    // Selection and page.
    void Clamp();
    void LoadPage();
    void RefreshControls();
    // Selects the thumbnail of the slot (0 = Image1); ignored when it is
    // empty.
    void SelectImage(int slot);
    // Thumbnails that hold a picture on the current page.
    int FilledImages() const;
    QString PageText() const { return LabelPage->text(); }

    // After a snapshot: show, re-clamp, reload the page, select Image1.
    void Refresh();

    // Commands (buttons, menu items and keys).
    void PrePageClick();
    void NextPageClick();
    void ViewClick();
    void SaveClick();
    void SaveAllClick();
    void DeleteClick();
    void DeleteAllClick();
    void ExitClick();
    // Left (false) and right (true) arrow: the previous or next picture of
    // the page, wrapping round within it.
    void MoveSelection(bool right);
    // The texts of the selected language (also after a language change).
    void ApplyLanguage();

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildControls();
    void PlaceOnScreen();
    void EraseFrame();
    int FirstOfPage() const { return SelectedIndex - SelectedIndex % PageSize; }
};

// Shows the list window after a snapshot: created (owned by `owner`) when
// it does not exist, else shown and refreshed. Returns the window.
TFormSnapshotList *ShowSnapshotList(QWidget *owner);
// The list window while it exists, else null.
TFormSnapshotList *SnapshotListForm();
