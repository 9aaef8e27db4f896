#include "channels/forms/frequency_editor.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/forms/plain_text.h"
#include "channels/channel_info.h"
#include "channels/languages.h"
#include "channels/tuner_port.h"
#include "platform/messages.h"

namespace {

std::function<void(TFormEditFrequencyTable *)> &EditorHook()
{
    static std::function<void(TFormEditFrequencyTable *)> hook;
    return hook;
}

void ButtonCaption(QPushButton *b, const char *key)
{
    if (!MultiLangInfo)
        return;
    QString text, tip;
    if (!MultiLangInfo->Translate(key, text, tip) || text.isEmpty())
        return;
    b->setText(text);
    b->setToolTip(PlainToolTip(tip.isEmpty() ? text : tip));
}

QString Word(const char *key, const char *fallback)
{
    const QString t = TranslateKey(key);
    return t.isEmpty() ? QString::fromLatin1(fallback) : t;
}

int32_t LowestTV()
{
    return TunerPort ? TunerPort->TVMinimum() : 45250000;
}

int32_t HighestTV()
{
    return TunerPort ? TunerPort->TVMaximum() : 889250000;
}

} // namespace

const char *const TFormEditFrequencyTable::FileFilter =
    "Channel list files (*.chl);;All files(*.*)";

void SetFrequencyEditorHook(std::function<void(TFormEditFrequencyTable *)> hook)
{
    EditorHook() = std::move(hook);
}

bool ParseTypedFrequency(const QString &text, int32_t lowest, int32_t highest, int32_t &out,
                         QString *error)
{
    bool number = false;
    const qlonglong value = text.trimmed().toLongLong(&number);
    const QString range = QStringLiteral("Enter 0 (no channel) or a frequency in Hz from %1 to %2.")
                              .arg(lowest)
                              .arg(highest);
    if (!number) {
        if (error)
            *error = QStringLiteral("\"%1\" is not a frequency. %2").arg(text.trimmed(), range);
        return false;
    }
    if (value != 0 && (value < lowest || value > highest)) {
        if (error)
            *error =
                QStringLiteral("%1 Hz is outside the tuner's TV band. %2").arg(value).arg(range);
        return false;
    }
    out = int32_t(value);
    return true;
}

QString ExportFileName(const QString &typed, bool channelListFilter)
{
    if (channelListFilter && !typed.endsWith(".chl", Qt::CaseInsensitive))
        return typed + ".chl";
    return typed;
}

TFormEditFrequencyTable::TFormEditFrequencyTable(QWidget *parent) : QDialog(parent)
{
    setObjectName("FormEditFrequencyTable");
    setWindowTitle("Frequency Table Editing");
    // The caption is the language's "Frequency" text, also an empty one.
    if (MultiLangInfo)
        setWindowTitle(MultiLangInfo->Translate("Frequency"));
    PageControlFreq = new QTabWidget(this);
    TabSheetAntenna = new QWidget(PageControlFreq);
    TabSheetCable = new QWidget(PageControlFreq);
    PageControlFreq->addTab(TabSheetAntenna, Word("Antenna", "Antenna"));
    PageControlFreq->addTab(TabSheetCable, Word("Cable", "Cable"));
    StringGridAntenna = NewGrid(TabSheetAntenna);
    StringGridCable = NewGrid(TabSheetCable);
    SpinEditAntennaFrequency = new QLineEdit(StringGridAntenna->viewport());
    SpinEditCableFrequency = new QLineEdit(StringGridCable->viewport());
    EditAntennaChannelName = new QLineEdit(StringGridAntenna->viewport());
    EditCableChannelName = new QLineEdit(StringGridCable->viewport());
    for (QLineEdit *e : {SpinEditAntennaFrequency, SpinEditCableFrequency, EditAntennaChannelName,
                         EditCableChannelName})
        e->hide();

    BitBtnOK = new QPushButton("OK", this);
    BitBtnImport = new QPushButton("Import", this);
    BitBtnExport = new QPushButton("Export", this);
    ButtonCaption(BitBtnOK, "OK");
    ButtonCaption(BitBtnImport, "Import");
    ButtonCaption(BitBtnExport, "Export");
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControlFreq);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(BitBtnImport);
    buttons->addWidget(BitBtnExport);
    buttons->addStretch();
    buttons->addWidget(BitBtnOK);
    layout->addLayout(buttons);
    resize(520, 560);

    for (QTableWidget *grid : {StringGridAntenna, StringGridCable}) {
        connect(grid, &QTableWidget::cellClicked, this,
                [this, grid](int row, int column) { GridCellClick(grid, row, column); });
        QLineEdit *f = FrequencyEditor(grid), *n = NameEditor(grid);
        connect(f, &QLineEdit::editingFinished, this,
                [this, grid, f] { FrequencyEditorDone(grid, f); });
        connect(n, &QLineEdit::editingFinished, this, [this, grid, n] { NameEditorDone(grid, n); });
    }
    connect(BitBtnOK, &QPushButton::clicked, this, &TFormEditFrequencyTable::BitBtnOKClick);
    connect(BitBtnImport, &QPushButton::clicked, this, &TFormEditFrequencyTable::BitBtnImportClick);
    connect(BitBtnExport, &QPushButton::clicked, this, &TFormEditFrequencyTable::BitBtnExportClick);

    ChooseImportFile = [this] {
        return QFileDialog::getOpenFileName(this, QString(), QString(), FileFilter);
    };
    ChooseExportFile = [this](bool &channelList) {
        QString filter;
        const QString name = QFileDialog::getSaveFileName(
            this, QString(), QString(), FileFilter, &filter, QFileDialog::DontConfirmOverwrite);
        channelList = filter.startsWith("Channel list");
        return name;
    };
    FillGrids();
}

QTableWidget *TFormEditFrequencyTable::NewGrid(QWidget *tab)
{
    auto *grid = new QTableWidget(TVChannelCount, 3, tab);
    grid->setHorizontalHeaderLabels(
        {Word("Channel", "Channel"), Word("Frequency", "Frequency"), Word("Name", "Name")});
    QFont bold = grid->horizontalHeader()->font();
    bold.setBold(true);
    for (int c = 0; c < 3; ++c) {
        grid->horizontalHeaderItem(c)->setFont(bold);
        grid->horizontalHeaderItem(c)->setForeground(Qt::blue);
    }
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setColumnWidth(1, 130);
    for (int r = 0; r < TVChannelCount; ++r)
        for (int c = 0; c < 3; ++c)
            grid->setItem(r, c, new QTableWidgetItem(c == 0 ? QString::number(r + 1) : QString()));
    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(grid);
    return grid;
}

QLineEdit *TFormEditFrequencyTable::FrequencyEditor(QTableWidget *grid) const
{
    return grid == StringGridAntenna ? SpinEditAntennaFrequency : SpinEditCableFrequency;
}

QLineEdit *TFormEditFrequencyTable::NameEditor(QTableWidget *grid) const
{
    return grid == StringGridAntenna ? EditAntennaChannelName : EditCableChannelName;
}

void TFormEditFrequencyTable::FillGrids()
{
    if (!ChannelInfo)
        return;
    for (QTableWidget *grid : {StringGridAntenna, StringGridCable}) {
        const TTVList &list = ChannelInfo->List(grid == StringGridAntenna);
        for (int k = 1; k <= TVChannelCount; ++k) {
            grid->item(k - 1, 1)->setText(QString::number(list[k].Frequency));
            grid->item(k - 1, 2)->setText(list[k].Name);
        }
    }
}

void TFormEditFrequencyTable::GridCellClick(QTableWidget *grid, int row, int column)
{
    if (row < 0 || column < 1 || column > 2)
        return;
    QLineEdit *editor = column == 1 ? FrequencyEditor(grid) : NameEditor(grid);
    editor->setProperty("row", row);
    editor->setText(grid->item(row, column)->text());
    editor->setGeometry(grid->visualItemRect(grid->item(row, column)));
    editor->show();
    editor->setFocus();
    editor->selectAll();
}

void TFormEditFrequencyTable::FrequencyEditorDone(QTableWidget *grid, QLineEdit *editor)
{
    if (editor->isHidden())
        return;
    editor->hide();
    const int row = editor->property("row").toInt();
    int32_t value = 0;
    QString error;
    // What cannot be tuned is not stored: the cell keeps its value and the
    // user is told why.
    if (!ParseTypedFrequency(editor->text(), LowestTV(), HighestTV(), value, &error)) {
        ShowWarningText(error);
        return;
    }
    grid->item(row, 1)->setText(QString::number(value));
}

void TFormEditFrequencyTable::NameEditorDone(QTableWidget *grid, QLineEdit *editor)
{
    if (editor->isHidden())
        return;
    editor->hide();
    grid->item(editor->property("row").toInt(), 2)->setText(editor->text());
}

void TFormEditFrequencyTable::BitBtnOKClick()
{
    // An editor still open hands its value in first.
    for (QTableWidget *grid : {StringGridAntenna, StringGridCable}) {
        FrequencyEditorDone(grid, FrequencyEditor(grid));
        NameEditorDone(grid, NameEditor(grid));
    }
    if (ChannelInfo) {
        for (QTableWidget *grid : {StringGridAntenna, StringGridCable}) {
            TTVList &list = ChannelInfo->List(grid == StringGridAntenna);
            for (int k = 1; k <= TVChannelCount; ++k) {
                const int32_t f = grid->item(k - 1, 1)->text().toInt();
                if (f >= 0)
                    list[k].Frequency = f;
                list[k].Name = grid->item(k - 1, 2)->text();
            }
        }
    }
    accept();
}

void TFormEditFrequencyTable::BitBtnImportClick()
{
    const QString path = ChooseImportFile ? ChooseImportFile() : QString();
    if (path.isEmpty() || !ChannelInfo)
        return;
    ChannelInfo->ImportChannelList(path);
    FillGrids();
}

void TFormEditFrequencyTable::BitBtnExportClick()
{
    bool channelList = true;
    const QString typed = ChooseExportFile ? ChooseExportFile(channelList) : QString();
    if (typed.isEmpty() || !ChannelInfo)
        return;
    ChannelInfo->ExportChannelList(ExportFileName(typed, channelList));
}

bool EditFrequencyTable(QWidget *parent)
{
    TFormEditFrequencyTable form(parent);
    if (EditorHook())
        EditorHook()(&form);
    return form.exec() == QDialog::Accepted;
}
