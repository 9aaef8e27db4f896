// The Playback dialog (TFormPlayback): builds the play list of the next
// playback from the done list (finished recordings), the recent list (files
// played before) and files chosen from the disk, and manages the done list:
// delete entries with or without their recordings, rename a recording.
// Created when opened and freed when closed; it works on one TPlaybackInfo
// (the global one unless the opener gives another) and, with OK, replaces
// its play list.
//
// GUI thread only.
#pragma once

#include <QDialog>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableWidget;
class TPlaybackInfo;
struct TPlaybackItem;

// What the dialog asks the desktop for; tests put their own answers in
// place so that no native dialog opens. An empty function is the real one.
struct TPlaybackDialogHooks
{
    // A Yes/No question; true for Yes.
    std::function<bool(QWidget *owner, const QString &question)> AskYesNo;
    // The open-file dialog with multi-selection; the chosen paths in the
    // dialog's order, empty when cancelled. `filters` is a Qt filter list.
    std::function<QStringList(QWidget *owner, const QString &filters)> ChooseFiles;
    // Called with every dialog just before it runs modally.
    std::function<void(QDialog *)> Opened;
};
void SetPlaybackDialogHooks(TPlaybackDialogHooks hooks);

class TFormPlayback : public QDialog
{
    Q_OBJECT
public:
    // audioFiles: the FM panel is visible, so Import offers sound files.
    explicit TFormPlayback(TPlaybackInfo *info, bool audioFiles, QWidget *owner = nullptr);

    TPlaybackInfo *Info;
    bool AudioFiles;

    QTabWidget *PageControl;
    QWidget *TabSheetDone, *TabSheetRecent;
    QTableWidget *StringGridDoneList, *StringGridRecentPlayList;
    QPushButton *BitBtnAdd, *BitBtnDelete, *BitBtnDeleteAll, *BitBtnRename;
    QLabel *LabelPlayList;
    QListWidget *ListBoxPlayback;
    QPushButton *BitBtnImport, *BitBtnClear, *BitBtnOK, *BitBtnCancel;
    QLineEdit *EditItem;

    // Rows of the done grid marked with Ctrl+click.
    QSet<int> Marks;
    void ToggleMark(int row);
    // Drawn highlighted: marked, or the current row while there are items.
    bool RowHighlighted(int row) const;

    // The play list being built, one path a line.
    QStringList PlayListLines() const;
    // Adds a path to the play list box unless it is there (in any case).
    void AddToPlayList(const QString &path);

    void BitBtnAddClick();
    void BitBtnDeleteClick();
    void BitBtnDeleteAllClick();
    void BitBtnRenameClick();
    // The end of renaming (focus leaves EditItem, or Enter).
    void EditItemExit();
    void BitBtnImportClick();
    void BitBtnClearClick();
    void BitBtnOKClick();
    void DoneRowDoubleClick(int row);
    void RecentRowDoubleClick(int row);
    void PageChange();
    // The Delete key in the play list box.
    void DeleteSelectedLines();

    // Fills both grids from the lists.
    void FillGrids();
    // The file of a done row joins the play list; a file that is gone is
    // reported and its entry and row removed.
    void AddDoneRow(int row);
    void AddRecentRow(int row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void BuildControls();
    void ApplyLanguage();
    void FillDoneRow(int row);
    void RenameRow(int row, const QString &name);
    void SetCurrentDoneRow(int row);
    int EditRow = -1;
};

// Opens the dialog modally on the global play lists; true when it closed
// with OK and the play list holds the chosen files.
bool RunPlaybackDialog(QWidget *owner, bool audioFiles);
