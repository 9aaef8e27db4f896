#include "playback/forms/playback_form.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/forms/plain_text.h"
#include "app/main_info.h"
#include "channels/languages.h"
#include "platform/gui_wait.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "playback/done_list_text.h"
#include "playback/playback_info.h"

namespace {

TPlaybackDialogHooks &Hooks()
{
    static TPlaybackDialogHooks hooks;
    return hooks;
}

bool AskYesNo(QWidget *owner, const QString &question)
{
    if (Hooks().AskYesNo)
        return Hooks().AskYesNo(owner, question);
    return QMessageBox::question(owner, "Lyra", question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

QStringList ChooseFiles(QWidget *owner, const QString &filters, const QString &folder)
{
    if (Hooks().ChooseFiles)
        return Hooks().ChooseFiles(owner, filters);
    return QFileDialog::getOpenFileNames(owner, QString(), folder, filters);
}

const char *const SoundFilters = "Wave files (*.wav *.wave);;MP3 files (*.mp3)";
const char *const VideoFilters = "Mpeg files (*.mpg *.mpeg);;AVI files (*.avi)";

// The language's text (and hint) for a key; `set` is not called when the
// language has none, so the form keeps its English text.
void Caption(const char *key, const std::function<void(const QString &, const QString &)> &set)
{
    QString text, hint;
    if (!MultiLangInfo || !MultiLangInfo->Translate(key, text, hint) || text.isEmpty())
        return;
    set(text, hint.isEmpty() ? text : hint);
}

bool IsFile(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

// The done grid's cells: marked cells and the current row in the highlight
// colour with white text, the rest on the window colour in black; the text
// 2 pixels in from the cell's top-left corner. The title row is the header,
// drawn in blue.
class TDoneGridDelegate : public QStyledItemDelegate
{
public:
    TDoneGridDelegate(TFormPlayback *form) : QStyledItemDelegate(form), Form(form) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const bool high = Form->RowHighlighted(index.row());
        const QPalette &palette = option.palette;
        painter->save();
        painter->fillRect(option.rect, high ? palette.color(QPalette::Highlight)
                                            : palette.color(QPalette::Base));
        painter->setPen(high ? QColor(Qt::white) : QColor(Qt::black));
        painter->setClipRect(option.rect);
        painter->drawText(option.rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                          index.data().toString());
        painter->restore();
    }

private:
    TFormPlayback *Form;
};

} // namespace

void SetPlaybackDialogHooks(TPlaybackDialogHooks hooks)
{
    Hooks() = std::move(hooks);
}

TFormPlayback::TFormPlayback(TPlaybackInfo *info, bool audioFiles, QWidget *owner)
    : QDialog(owner), Info(info), AudioFiles(audioFiles)
{
    setObjectName("FormPlayback");
    setWindowTitle("Playback");
    BuildControls();
    ApplyLanguage();
    FillGrids();
    PageControl->setCurrentIndex(0);
    PageChange();
    resize(760, 400);
}

void TFormPlayback::BuildControls()
{
    auto button = [this](const char *name, const char *text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    auto grid = [this](const char *name, int columns) {
        auto *g = new QTableWidget(0, columns, this);
        g->setObjectName(name);
        g->setEditTriggers(QAbstractItemView::NoEditTriggers);
        g->setSelectionBehavior(QAbstractItemView::SelectRows);
        g->verticalHeader()->hide();
        g->verticalHeader()->setDefaultSectionSize(g->fontMetrics().height() + 6);
        g->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        g->horizontalHeader()->setHighlightSections(false);
        return g;
    };

    PageControl = new QTabWidget(this);
    PageControl->setObjectName("PageControl");
    TabSheetDone = new QWidget;
    TabSheetRecent = new QWidget;
    StringGridDoneList = grid("StringGridDoneList", 6);
    StringGridDoneList->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGridDoneList->setItemDelegate(new TDoneGridDelegate(this));
    StringGridDoneList->viewport()->installEventFilter(this);
    const char *titles[] = {"Capture Filename", "Starting Time", "Duration",
                            "Channel",          "Stored Path",   "Description"};
    for (int c = 0; c < 6; ++c) {
        auto *title = new QTableWidgetItem(titles[c]);
        title->setForeground(Qt::blue);
        StringGridDoneList->setHorizontalHeaderItem(c, title);
    }
    StringGridRecentPlayList = grid("StringGridRecentPlayList", 1);
    StringGridRecentPlayList->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGridRecentPlayList->setHorizontalHeaderItem(0, new QTableWidgetItem("Recent"));
    StringGridRecentPlayList->horizontalHeader()->setStretchLastSection(true);
    (new QVBoxLayout(TabSheetDone))->addWidget(StringGridDoneList);
    (new QVBoxLayout(TabSheetRecent))->addWidget(StringGridRecentPlayList);
    PageControl->addTab(TabSheetDone, "Done");
    PageControl->addTab(TabSheetRecent, "Recent ");

    BitBtnAdd = button("BitBtnAdd", "Add");
    BitBtnDelete = button("BitBtnDelete", "Delete");
    BitBtnDeleteAll = button("BitBtnDeleteAll", "Delete All");
    BitBtnRename = button("BitBtnRename", "Rename");
    LabelPlayList = new QLabel("Play List:  ", this);
    LabelPlayList->setTextFormat(Qt::PlainText);
    ListBoxPlayback = new QListWidget(this);
    ListBoxPlayback->setObjectName("ListBoxPlayback");
    ListBoxPlayback->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListBoxPlayback->installEventFilter(this);
    BitBtnImport = button("BitBtnImport", "Import");
    BitBtnClear = button("BitBtnClear", "Clear");
    BitBtnOK = button("BitBtnOK", "OK");
    BitBtnCancel = button("BitBtnCancel", "Cancel");
    EditItem = new QLineEdit(StringGridDoneList->viewport());
    EditItem->setObjectName("EditItem");
    EditItem->hide();
    EditItem->installEventFilter(this);

    connect(BitBtnAdd, &QPushButton::clicked, this, [this] { BitBtnAddClick(); });
    connect(BitBtnDelete, &QPushButton::clicked, this, [this] { BitBtnDeleteClick(); });
    connect(BitBtnDeleteAll, &QPushButton::clicked, this, [this] { BitBtnDeleteAllClick(); });
    connect(BitBtnRename, &QPushButton::clicked, this, [this] { BitBtnRenameClick(); });
    connect(BitBtnImport, &QPushButton::clicked, this, [this] { BitBtnImportClick(); });
    connect(BitBtnClear, &QPushButton::clicked, this, [this] { BitBtnClearClick(); });
    connect(BitBtnOK, &QPushButton::clicked, this, [this] { BitBtnOKClick(); });
    connect(BitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(PageControl, &QTabWidget::currentChanged, this, [this] { PageChange(); });
    connect(StringGridDoneList, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { DoneRowDoubleClick(row); });
    connect(StringGridRecentPlayList, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { RecentRowDoubleClick(row); });
    // The highlight follows the current row, which the delegate draws.
    connect(StringGridDoneList, &QTableWidget::currentCellChanged, this,
            [this] { StringGridDoneList->viewport()->update(); });

    auto *gridButtons = new QHBoxLayout;
    for (QPushButton *b : {BitBtnAdd, BitBtnDelete, BitBtnDeleteAll, BitBtnRename})
        gridButtons->addWidget(b);
    gridButtons->addStretch();
    auto *left = new QVBoxLayout;
    left->addWidget(PageControl);
    left->addLayout(gridButtons);
    auto *listButtons = new QHBoxLayout;
    listButtons->addWidget(BitBtnImport);
    listButtons->addWidget(BitBtnClear);
    auto *right = new QVBoxLayout;
    right->addWidget(LabelPlayList);
    right->addWidget(ListBoxPlayback);
    right->addLayout(listButtons);
    auto *panel = new QWidget(this);
    panel->setObjectName("PanelPlayList");
    panel->setLayout(right);
    panel->setFixedWidth(220);
    auto *top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addWidget(panel);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(BitBtnOK);
    bottom->addWidget(BitBtnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(bottom);
}

void TFormPlayback::ApplyLanguage()
{
    if (MultiLangInfo)
        setFont(LanguageFont(*MultiLangInfo));
    Caption("Play", [this](const QString &text, const QString &) { setWindowTitle(text); });
    const std::pair<const char *, QPushButton *> buttons[] = {
        {"OK", BitBtnOK},         {"Cancel", BitBtnCancel},       {"Add", BitBtnAdd},
        {"Delete", BitBtnDelete}, {"DeleteAll", BitBtnDeleteAll}, {"Rename", BitBtnRename},
        {"Import", BitBtnImport}, {"Clear", BitBtnClear}};
    for (const auto &[key, button] : buttons) {
        QPushButton *b = button;
        Caption(key, [b](const QString &text, const QString &hint) {
            b->setText(text);
            b->setToolTip(PlainToolTip(hint));
            b->setFont(LanguageFont(*MultiLangInfo, 1));
        });
    }
    const char *columns[] = {"CaptureFilename", "StartingTime", "Duration",
                             "Channel",         "StoredPath",   "Description"};
    for (int c = 0; c < 6; ++c)
        Caption(columns[c], [this, c](const QString &text, const QString &) {
            StringGridDoneList->horizontalHeaderItem(c)->setText(text);
        });
    Caption("Done",
            [this](const QString &text, const QString &) { PageControl->setTabText(0, text); });
    Caption("Recent", [this](const QString &text, const QString &) {
        PageControl->setTabText(1, text);
        StringGridRecentPlayList->horizontalHeaderItem(0)->setText(text);
    });
    Caption("PlayList",
            [this](const QString &text, const QString &) { LabelPlayList->setText(text); });
}

void TFormPlayback::FillDoneRow(int row)
{
    const QStringList cells = DoneRowCells(*Info->DoneList[size_t(row)]);
    for (int c = 0; c < cells.size(); ++c)
        StringGridDoneList->setItem(row, c, new QTableWidgetItem(cells[c]));
}

void TFormPlayback::FillGrids()
{
    const int done = Info ? int(Info->DoneList.size()) : 0;
    StringGridDoneList->setRowCount(done);
    for (int row = 0; row < done; ++row)
        FillDoneRow(row);
    StringGridDoneList->resizeColumnsToContents();
    const QStringList recent = Info ? Info->RecentList : QStringList();
    StringGridRecentPlayList->setRowCount(int(recent.size()));
    for (int row = 0; row < recent.size(); ++row)
        StringGridRecentPlayList->setItem(row, 0, new QTableWidgetItem(recent[row]));
    Marks.clear();
    SetCurrentDoneRow(0);
    if (!recent.isEmpty())
        StringGridRecentPlayList->setCurrentCell(0, 0);
}

void TFormPlayback::SetCurrentDoneRow(int row)
{
    const int rows = StringGridDoneList->rowCount();
    if (rows == 0)
        return;
    StringGridDoneList->setCurrentCell(std::clamp(row, 0, rows - 1), 0);
}

void TFormPlayback::ToggleMark(int row)
{
    if (row < 0 || row >= StringGridDoneList->rowCount())
        return;
    if (!Marks.remove(row))
        Marks.insert(row);
    StringGridDoneList->viewport()->update();
}

bool TFormPlayback::RowHighlighted(int row) const
{
    return Marks.contains(row) ||
           (row == StringGridDoneList->currentRow() && Info && !Info->DoneList.empty());
}

QStringList TFormPlayback::PlayListLines() const
{
    QStringList lines;
    for (int i = 0; i < ListBoxPlayback->count(); ++i)
        lines << ListBoxPlayback->item(i)->text();
    return lines;
}

void TFormPlayback::AddToPlayList(const QString &path)
{
    const QString upper = path.toUpper();
    for (int i = 0; i < ListBoxPlayback->count(); ++i)
        if (ListBoxPlayback->item(i)->text().toUpper() == upper)
            return;
    ListBoxPlayback->addItem(path);
}

void TFormPlayback::AddDoneRow(int row)
{
    if (!Info || row < 0 || row >= int(Info->DoneList.size()))
        return;
    const QString path = Info->DoneList[size_t(row)]->FileName;
    if (IsFile(path)) {
        AddToPlayList(path);
        return;
    }
    ShowWarningText(path + " is no more existing, delete it...");
    // Only the entry goes; whatever is at the path is not touched.
    Info->DeleteDoneItem(row, false);
    StringGridDoneList->removeRow(row);
}

void TFormPlayback::AddRecentRow(int row)
{
    if (!Info || row < 0 || row >= Info->RecentList.size())
        return;
    const QString path = Info->RecentList[row];
    if (IsFile(path)) {
        AddToPlayList(path);
        return;
    }
    ShowWarningText(path + " is no more existing, delete it...");
    Info->RecentList.removeAt(row);
    StringGridRecentPlayList->removeRow(row);
}

void TFormPlayback::BitBtnAddClick()
{
    if (PageControl->currentIndex() == 1) {
        AddRecentRow(StringGridRecentPlayList->currentRow());
        return;
    }
    QList<int> rows = Marks.values();
    if (const int current = StringGridDoneList->currentRow();
        current >= 0 && !Marks.contains(current))
        rows << current;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    // From the last row up, so that a row removed for a missing file does
    // not move the rows still to come.
    Marks.clear();
    for (int row : rows)
        AddDoneRow(row);
    StringGridDoneList->viewport()->update();
}

void TFormPlayback::DoneRowDoubleClick(int row)
{
    Marks.clear();
    AddDoneRow(row);
    StringGridDoneList->viewport()->update();
}

void TFormPlayback::RecentRowDoubleClick(int row)
{
    AddRecentRow(row);
}

void TFormPlayback::BitBtnDeleteClick()
{
    if (!Info || Info->DoneList.empty() || PageControl->currentIndex() != 0)
        return;
    QString prompt = "Delete file(s)?";
    Caption("DeletePrompt", [&](const QString &text, const QString &) { prompt = text; });
    const bool deleteFiles = AskYesNo(this, prompt);
    QList<int> rows = Marks.values();
    const int current = StringGridDoneList->currentRow();
    if (current >= 0 && !Marks.contains(current))
        rows << current;
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    bool kept = false;
    for (int row : rows) {
        if (Info->DeleteDoneItem(row, deleteFiles))
            StringGridDoneList->removeRow(row);
        else
            kept = true;
    }
    Marks.clear();
    ListBoxPlayback->clear();
    SetCurrentDoneRow(current);
    StringGridDoneList->viewport()->update();
    if (kept)
        ShowWarningText("File cannot be deleted...");
}

void TFormPlayback::BitBtnDeleteAllClick()
{
    if (!Info || Info->DoneList.empty() || PageControl->currentIndex() != 0)
        return;
    const bool deleteFiles = AskYesNo(this, "Delete all file?");
    Info->ClearDoneItems(deleteFiles);
    ListBoxPlayback->clear();
    // Entries whose recordings could not be deleted stay listed.
    FillGrids();
    if (!Info->DoneList.empty())
        ShowWarningText("File cannot be deleted...");
}

void TFormPlayback::BitBtnRenameClick()
{
    const int row = StringGridDoneList->currentRow();
    if (!Info || row < 0 || row >= int(Info->DoneList.size()) || PageControl->currentIndex() != 0)
        return;
    // The file-name cell, whichever cell of the row is current: the typed
    // text always names the file.
    QTableWidgetItem *cell = StringGridDoneList->item(row, 0);
    StringGridDoneList->setCurrentCell(row, 0);
    StringGridDoneList->scrollToItem(cell);
    EditRow = row;
    EditItem->setGeometry(StringGridDoneList->visualItemRect(cell));
    EditItem->setText(cell->text());
    EditItem->show();
    EditItem->setFocus();
    EditItem->selectAll();
}

void TFormPlayback::EditItemExit()
{
    if (EditRow < 0)
        return;
    const int row = EditRow;
    EditRow = -1;
    EditItem->hide();
    RenameRow(row, EditItem->text());
}

void TFormPlayback::RenameRow(int row, const QString &name)
{
    if (!Info || row < 0 || row >= int(Info->DoneList.size()))
        return;
    TPlaybackItem &item = *Info->DoneList[size_t(row)];
    const QFileInfo old(item.FileName);
    if (name == old.fileName())
        return;
    const QString target = old.path() + '/' + name;
    // A name, not a path: the recording stays in its folder.
    bool ok = !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
              !name.contains(QChar(0));
    for (const auto &listed : Info->DoneList)
        ok = ok && listed->FileName != target;
    // Never replaces an existing file; a time shift's sound and index move
    // with its video.
    ok = ok && RenameRecording(item.FileName, target);
    if (!ok) {
        ShowWarningText("File cannot be renamed...");
        return;
    }
    const QString upper = item.FileName.toUpper();
    for (int i = 0; i < ListBoxPlayback->count(); ++i)
        if (ListBoxPlayback->item(i)->text().toUpper() == upper)
            ListBoxPlayback->item(i)->setText(target);
    item.FileName = target;
    FillDoneRow(row);
}

void TFormPlayback::BitBtnImportClick()
{
    QString folder;
    if (MainInfo)
        folder = AudioFiles ? MainInfo->FMCapturePath : MainInfo->CapturePath;
    const QStringList files = ChooseFiles(this, AudioFiles ? SoundFilters : VideoFilters, folder);
    for (qsizetype i = files.size() - 1; i >= 0; --i)
        AddToPlayList(files[i]);
}

void TFormPlayback::BitBtnClearClick()
{
    ListBoxPlayback->clear();
}

void TFormPlayback::DeleteSelectedLines()
{
    qDeleteAll(ListBoxPlayback->selectedItems());
}

void TFormPlayback::BitBtnOKClick()
{
    const QStringList lines = PlayListLines();
    if (lines.isEmpty() || !Info) {
        ShowWarning(1105);
        reject();
        return;
    }
    Info->PlayList = lines;
    accept();
}

void TFormPlayback::PageChange()
{
    const bool done = PageControl->currentIndex() == 0;
    BitBtnDelete->setEnabled(done);
    BitBtnDeleteAll->setEnabled(done);
    BitBtnRename->setEnabled(done);
}

bool TFormPlayback::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == StringGridDoneList->viewport() &&
        (event->type() == QEvent::MouseButtonPress ||
         event->type() == QEvent::MouseButtonRelease)) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->modifiers() & Qt::ControlModifier) {
            // Ctrl+click marks; it moves the current row but never takes
            // the row out of the selection as the view would.
            const int row = StringGridDoneList->rowAt(int(mouse->position().y()));
            if (row >= 0 && event->type() == QEvent::MouseButtonPress)
                StringGridDoneList->setCurrentCell(row, 0);
            if (row >= 0 && event->type() == QEvent::MouseButtonRelease)
                ToggleMark(row);
            return true;
        }
    }
    if (watched == ListBoxPlayback && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Delete) {
        DeleteSelectedLines();
        return true;
    }
    if (watched == EditItem) {
        if (event->type() == QEvent::FocusOut) {
            EditItemExit();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                EditItemExit();
                return true;
            }
            if (key == Qt::Key_Escape) {
                // Leaves the name as it was.
                EditRow = -1;
                EditItem->hide();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool RunPlaybackDialog(QWidget *owner, bool audioFiles)
{
    if (!PlaybackInfo) {
        qCWarning(lcPlayback) << "no play lists: the playback dialog cannot open";
        return false;
    }
    TFormPlayback form(PlaybackInfo, audioFiles, owner);
    if (Hooks().Opened)
        Hooks().Opened(&form);
    // The dialog runs inside the change to playback mode: a command that
    // arrives meanwhile (lyra-remote, the agent, a timer) waits until that
    // change has finished instead of starting another one inside it.
    TWaitScope modeChange;
    return form.exec() == QDialog::Accepted;
}
