// The "TV Tuner" and "Preview" pages: the channel grids with their in-place
// editors, and the channel preview wall's layout.
#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "channels/channel_info.h"
#include "channels/fm_memories.h"
#include "channels/forms/channel_dialogs.h"
#include "channels/forms/frequency_editor.h"
#include "channels/preview_info.h"
#include "playback/forms/form_config.h"
#include "playback/forms/form_config_util.h"

namespace {

enum ChannelColumn
{
    ColNumber,
    ColName,
    ColFrequency,
    ColStandard,
    ColAudio
};
enum MemoryColumn
{
    MemNumber,
    MemName,
    MemSource,
    MemChannel
};

QTableWidget *NewGrid(int rows, const QStringList &headers)
{
    auto *grid = new QTableWidget(rows, headers.size());
    grid->setHorizontalHeaderLabels(headers);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->horizontalHeader()->setStretchLastSection(true);
    return grid;
}

QTableWidgetItem *Cell(const QString &text, bool editable = false)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                            : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

bool AntennaShown(const QComboBox *list)
{
    return list->currentIndex() != 1;
}

} // namespace

void TFormConfig::BuildTunerPage()
{
    RadioButtonNormal = new QRadioButton("Normal");
    RadioButtonMemory = new QRadioButton("Memory");
    ComboBoxList = new QComboBox;
    ComboBoxList->addItems({"Antenna", "Cable"});
    auto *group = new QGroupBox("Channel group");
    auto *groupRow = new QHBoxLayout(group);
    groupRow->addWidget(RadioButtonNormal);
    groupRow->addWidget(ComboBoxList);
    groupRow->addWidget(RadioButtonMemory);
    groupRow->addStretch();

    StringGridChannel = NewGrid(
        TVChannelCount, {"No.", "Channel name", "Frequency (MHz)", "Video standard", "Audio mode"});
    StringGridMemory = NewGrid(MemoryCount, {"No.", "Channel name", "Source", "Channel"});
    LabelGridHint = ConfigLabel("Double click on each column to  change the channel setting");
    BitBtnAutoScan = new QPushButton("Auto scan");
    BitBtnEdit = new QPushButton("Edit");
    BitBtnAdd = new QPushButton("Add ");
    BitBtnDelete = new QPushButton("Delete");
    BitBtnDeleteAll = new QPushButton("Delete All");
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {BitBtnAutoScan, BitBtnEdit, BitBtnAdd, BitBtnDelete, BitBtnDeleteAll})
        buttons->addWidget(b);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(TabSheetTVTuner);
    layout->addWidget(group);
    layout->addWidget(StringGridChannel);
    layout->addWidget(StringGridMemory);
    layout->addWidget(LabelGridHint);
    layout->addLayout(buttons);

    const bool memory = ChannelInfo && ChannelInfo->Mode == ModeMemory;
    (memory ? RadioButtonMemory : RadioButtonNormal)->setChecked(true);
    ComboBoxList->setCurrentIndex(ChannelInfo && ChannelInfo->Mode == ModeCable ? 1 : 0);

    connect(RadioButtonNormal, &QRadioButton::toggled, this, &TFormConfig::ChannelGroupClick);
    connect(ComboBoxList, &QComboBox::activated, this, &TFormConfig::ChannelGroupClick);
    connect(StringGridChannel, &QTableWidget::cellDoubleClicked, this,
            &TFormConfig::ChannelGridDoubleClick);
    connect(StringGridMemory, &QTableWidget::cellDoubleClicked, this,
            &TFormConfig::MemoryGridDoubleClick);
    connect(StringGridChannel, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (ChannelInfo && item->column() == ColName)
            ChannelInfo->List(AntennaShown(ComboBoxList))[item->row() + 1].Name = item->text();
    });
    connect(StringGridMemory, &QTableWidget::itemChanged, this, [](QTableWidgetItem *item) {
        if (ChannelInfo && item->column() == MemName)
            ChannelInfo->Memory[item->row() + 1].Name = item->text();
    });
    connect(BitBtnAutoScan, &QPushButton::clicked, this, &TFormConfig::BitBtnAutoScanClick);
    connect(BitBtnEdit, &QPushButton::clicked, this, &TFormConfig::BitBtnEditClick);
    connect(BitBtnAdd, &QPushButton::clicked, this, &TFormConfig::BitBtnAddClick);
    connect(BitBtnDelete, &QPushButton::clicked, this, &TFormConfig::BitBtnDeleteClick);
    connect(BitBtnDeleteAll, &QPushButton::clicked, this, &TFormConfig::BitBtnDeleteAllClick);
}

void TFormConfig::ChannelGroupClick()
{
    const bool memory = RadioButtonMemory->isChecked();
    ComboBoxList->setEnabled(!memory);
    StringGridChannel->setVisible(!memory);
    BitBtnAutoScan->setVisible(!memory);
    BitBtnEdit->setVisible(!memory);
    StringGridMemory->setVisible(memory);
    BitBtnAdd->setVisible(memory);
    BitBtnDelete->setVisible(memory);
    BitBtnDeleteAll->setVisible(memory);
    if (memory)
        FillMemoryGrid();
    else
        FillChannelGrid();
}

void TFormConfig::FillChannelGrid()
{
    if (!ChannelInfo)
        return;
    const QSignalBlocker block(StringGridChannel);
    const TTVList &list = ChannelInfo->List(AntennaShown(ComboBoxList));
    const QStringList standards = StandardNames();
    const QStringList audio = AudioModeNames(ChannelInfo->SystemChoice);
    for (int n = 1; n <= TVChannelCount; ++n) {
        const TTVChannel &c = list[n];
        const int row = n - 1;
        StringGridChannel->removeCellWidget(row, ColStandard);
        StringGridChannel->removeCellWidget(row, ColAudio);
        StringGridChannel->setItem(row, ColNumber, Cell(QString::number(n)));
        StringGridChannel->setItem(row, ColName, Cell(c.Name, true));
        StringGridChannel->setItem(row, ColFrequency,
                                   Cell(c.Frequency > 0 ? FormatMHz(c.Frequency) : QString()));
        StringGridChannel->setItem(row, ColStandard, Cell(standards.value(c.Standard)));
        StringGridChannel->setItem(row, ColAudio, Cell(audio.value(c.AudioMode & 0x7f)));
    }
}

void TFormConfig::FillMemoryGrid()
{
    if (!ChannelInfo)
        return;
    const QSignalBlocker block(StringGridMemory);
    for (int n = 1; n <= MemoryCount; ++n) {
        const TMemoryChannel &m = ChannelInfo->Memory[n];
        const int row = n - 1;
        StringGridMemory->removeCellWidget(row, MemSource);
        StringGridMemory->removeCellWidget(row, MemChannel);
        StringGridMemory->setItem(row, MemNumber, Cell(QString::number(n)));
        const bool used = m.Enabled != 0;
        StringGridMemory->setItem(row, MemName, Cell(used ? m.Name : QString(), used));
        StringGridMemory->setItem(row, MemSource,
                                  Cell(used ? (m.List == 1 ? "Cable" : "Antenna") : QString()));
        StringGridMemory->setItem(row, MemChannel,
                                  Cell(used ? QString::number(m.Number) : QString()));
    }
}

void TFormConfig::ChannelGridDoubleClick(int row, int column)
{
    if (!ChannelInfo || row < 0 || row >= TVChannelCount)
        return;
    TTVChannel &c = ChannelInfo->List(AntennaShown(ComboBoxList))[row + 1];
    switch (column) {
    case ColName:
        StringGridChannel->editItem(StringGridChannel->item(row, column));
        return;
    case ColFrequency:
        FineTune(c.Frequency, c.TableFrequency, this);
        FillChannelGrid();
        return;
    case ColStandard:
    case ColAudio: {
        auto *box = new QComboBox;
        box->addItems(column == ColStandard ? StandardNames()
                                            : AudioModeNames(ChannelInfo->SystemChoice));
        box->setCurrentIndex(column == ColStandard ? c.Standard : (c.AudioMode & 0x7f));
        connect(box, &QComboBox::activated, this, [this, row, column](int index) {
            TTVChannel &entry = ChannelInfo->List(AntennaShown(ComboBoxList))[row + 1];
            if (column == ColStandard)
                entry.Standard = uint8_t(index);
            else
                entry.AudioMode = uint8_t(index);
            StringGridChannel->removeCellWidget(row, column);
            StringGridChannel->item(row, column)
                ->setText(column == ColStandard
                              ? StandardNames().value(index)
                              : AudioModeNames(ChannelInfo->SystemChoice).value(index));
        });
        StringGridChannel->setCellWidget(row, column, box);
        return;
    }
    default:
        return;
    }
}

void TFormConfig::MemoryGridDoubleClick(int row, int column)
{
    if (!ChannelInfo || row < 0 || row >= MemoryCount || !ChannelInfo->Memory[row + 1].Enabled)
        return;
    TMemoryChannel &m = ChannelInfo->Memory[row + 1];
    if (column == MemName) {
        StringGridMemory->editItem(StringGridMemory->item(row, column));
    } else if (column == MemSource) {
        auto *box = new QComboBox;
        box->addItems({"Antenna", "Cable"});
        box->setCurrentIndex(m.List == 1 ? 1 : 0);
        connect(box, &QComboBox::activated, this, [this, row](int index) {
            ChannelInfo->Memory[row + 1].List = uint8_t(index);
            StringGridMemory->removeCellWidget(row, MemSource);
            StringGridMemory->item(row, MemSource)->setText(index == 1 ? "Cable" : "Antenna");
        });
        StringGridMemory->setCellWidget(row, column, box);
    } else if (column == MemChannel) {
        auto *spin = new QSpinBox;
        spin->setRange(1, TVChannelCount);
        spin->setValue(qBound(1, m.Number, TVChannelCount));
        connect(spin, &QSpinBox::editingFinished, this, [this, row, spin] {
            ChannelInfo->Memory[row + 1].Number = spin->value();
            StringGridMemory->item(row, MemChannel)->setText(QString::number(spin->value()));
            StringGridMemory->removeCellWidget(row, MemChannel);
        });
        StringGridMemory->setCellWidget(row, column, spin);
        spin->setFocus();
    }
}

void TFormConfig::BitBtnAutoScanClick()
{
    if (!ChannelInfo || ChannelInfo->Scanning)
        return;
    const int current = ChannelInfo->CurrentNumber();
    ChannelInfo->ScanTable(AntennaShown(ComboBoxList) ? 0 : 1);
    TuneIfTuner(current);
    FillChannelGrid();
}

void TFormConfig::BitBtnEditClick()
{
    if (EditFrequencyTable(this))
        FillChannelGrid();
}

void TFormConfig::BitBtnAddClick()
{
    if (!ChannelInfo)
        return;
    const int row = StringGridMemory->currentRow();
    const int n = row >= 0 ? row + 1 : 1;
    if (!ChannelInfo->InsertMemory(n))
        return;
    // The new memory names the channel being watched.
    TMemoryChannel &m = ChannelInfo->Memory[n];
    if (!ChannelInfo->IsMemoryMode() && !ChannelInfo->IsFMMode()) {
        m.List = ChannelInfo->Mode == ModeCable ? 1 : 0;
        m.Number = ChannelInfo->CurrentChannel;
    }
    FillMemoryGrid();
    StringGridMemory->setCurrentCell(n - 1, MemName);
}

void TFormConfig::BitBtnDeleteClick()
{
    const int row = StringGridMemory->currentRow();
    if (!ChannelInfo || row < 0)
        return;
    ChannelInfo->DeleteMemory(row + 1);
    FillMemoryGrid();
}

void TFormConfig::BitBtnDeleteAllClick()
{
    if (!ChannelInfo)
        return;
    for (int n = 1; n <= MemoryCount; ++n)
        ChannelInfo->Memory[n] = TMemoryChannel();
    FillMemoryGrid();
}

void TFormConfig::BuildPreviewPage()
{
    RadioButtonStandard = new QRadioButton("Standard");
    RadioButtonCustomize = new QRadioButton("Customize");
    ComboBoxDimension = new QComboBox;
    ComboBoxDimension->addItems({"2 x 2", "3 x 3", "4 x 4", "5 x 5"});
    SpinEditInterval = new QSpinBox;
    SpinEditInterval->setRange(2, 20);
    SpinEditInterval->setSuffix(" s");
    auto *method = new QGroupBox("Preview method");
    auto *methodRow = new QHBoxLayout(method);
    methodRow->addWidget(RadioButtonStandard);
    methodRow->addWidget(RadioButtonCustomize);
    auto *grid = new QGridLayout;
    AddRow(grid, "Dimension", ComboBoxDimension);
    AddRow(grid, "Preview time interval", SpinEditInterval);
    auto *cells = new QGridLayout;
    for (int k = 0; k < 25; ++k) {
        PreviewButtons[k] = new QPushButton(QString::number(k + 1));
        cells->addWidget(PreviewButtons[k], k / 5, k % 5);
        connect(PreviewButtons[k], &QPushButton::clicked, this,
                [this, k] { PreviewButtonClick(k); });
    }
    auto *layout = new QVBoxLayout(TabSheetPreview);
    layout->addWidget(method);
    layout->addLayout(grid);
    layout->addLayout(cells);
    layout->addStretch();

    if (PreviewInfo) {
        (PreviewInfo->Customize ? RadioButtonCustomize : RadioButtonStandard)->setChecked(true);
        ComboBoxDimension->setCurrentIndex(qBound(2, PreviewInfo->Dimension, 5) - 2);
        SpinEditInterval->setValue(PreviewInfo->Interval);
        CustomCells = PreviewInfo->CustomCells;
    } else {
        RadioButtonStandard->setChecked(true);
    }
    connect(RadioButtonStandard, &QRadioButton::toggled, this, &TFormConfig::PreviewMethodClick);
    connect(ComboBoxDimension, &QComboBox::activated, this, &TFormConfig::PreviewMethodClick);
    UpdatePreviewButtons();
}

void TFormConfig::PreviewMethodClick()
{
    UpdatePreviewButtons();
}

void TFormConfig::UpdatePreviewButtons()
{
    const int n = ComboBoxDimension->currentIndex() + 2;
    const bool customize = RadioButtonCustomize->isChecked();
    for (int k = 0; k < 25; ++k)
        PreviewButtons[k]->setEnabled(customize && k / 5 < n && k % 5 < n);
}

void TFormConfig::PreviewButtonClick(int cell)
{
    PickVideoSource(CustomCells[cell / 5][cell % 5], this);
}
