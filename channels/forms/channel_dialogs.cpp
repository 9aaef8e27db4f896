#include "channels/forms/channel_dialogs.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "app/forms/plain_text.h"
#include "capture/capture_info.h"
#include "channels/channel_info.h"
#include "channels/fm_memories.h"
#include "channels/languages.h"
#include "channels/tuner_port.h"

namespace {

std::function<void(QDialog *)> &DialogHook()
{
    static std::function<void(QDialog *)> hook;
    return hook;
}

int RunDialog(QDialog &dialog)
{
    if (DialogHook())
        DialogHook()(&dialog);
    return dialog.exec();
}

void Caption(QWidget *w, const char *key, const std::function<void(const QString &)> &set,
             bool hint = false)
{
    if (!MultiLangInfo)
        return;
    QString text, tip;
    if (!MultiLangInfo->Translate(key, text, tip) || text.isEmpty())
        return;
    set(text);
    if (hint)
        w->setToolTip(PlainToolTip(tip.isEmpty() ? text : tip));
}

void ButtonCaption(QPushButton *b, const char *key)
{
    Caption(
        b, key, [b](const QString &s) { b->setText(s); }, true);
}

QLabel *NewLabel(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QHBoxLayout *ButtonRow(std::initializer_list<QPushButton *> buttons)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton *b : buttons)
        row->addWidget(b);
    return row;
}

} // namespace

void SetChannelDialogHook(std::function<void(QDialog *)> hook)
{
    DialogHook() = std::move(hook);
}

// Fine tune.

TDialogFineTune::TDialogFineTune(QWidget *parent) : QDialog(parent)
{
    setObjectName("DialogFineTune");
    setWindowTitle("Tuning");
    TrackBarTuning = new QSlider(Qt::Horizontal, this);
    TrackBarTuning->setRange(-Range, Range);
    TrackBarTuning->setMinimumWidth(300);
    LabelTuning = NewLabel(QString(), this);
    LabelTuning->setAlignment(Qt::AlignCenter);
    BitBtnDefault = new QPushButton("Default", this);
    BitBtnOK = new QPushButton("OK", this);
    BitBtnCancel = new QPushButton("Cancel", this);
    Caption(this, "Tuning", [this](const QString &s) { setWindowTitle(s); });
    ButtonCaption(BitBtnDefault, "Default");
    ButtonCaption(BitBtnOK, "OK");
    ButtonCaption(BitBtnCancel, "Cancel");
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(LabelTuning);
    layout->addWidget(TrackBarTuning);
    layout->addLayout(ButtonRow({BitBtnDefault, BitBtnOK, BitBtnCancel}));
    connect(BitBtnDefault, &QPushButton::clicked, this, &TDialogFineTune::BitBtnDefaultClick);
    connect(BitBtnOK, &QPushButton::clicked, this, &TDialogFineTune::BitBtnOKClick);
    connect(BitBtnCancel, &QPushButton::clicked, this, &TDialogFineTune::BitBtnCancelClick);
}

int TDialogFineTune::PositionOf(int32_t frequency) const
{
    const int64_t steps = (int64_t(frequency) - BaseFrequency) / StepHz;
    return int(std::clamp<int64_t>(steps, -Range, Range));
}

void TDialogFineTune::TrackBarTuningChange(int position)
{
    TunedFrequency = FrequencyAt(position);
    if (TunerPort)
        TunerPort->TuneChannelFrequency(TunedFrequency, false);
    LabelTuning->setText(FormatMHz(TunedFrequency));
    LabelTuning->repaint();
}

void TDialogFineTune::BitBtnDefaultClick()
{
    // Already at 0 the slider reports no change: tune the base all the same.
    if (TrackBarTuning->value() == 0)
        TrackBarTuningChange(0);
    else
        TrackBarTuning->setValue(0);
}

void TDialogFineTune::BitBtnOKClick()
{
    if (TunedFrequency > 0)
        StartFrequency = TunedFrequency;
    accept();
}

void TDialogFineTune::BitBtnCancelClick()
{
    reject();
}

void TDialogFineTune::reject()
{
    // Closing the window is Cancel too: the tuner goes back.
    if (TunerPort)
        TunerPort->TuneChannelFrequency(StartFrequency, false);
    QDialog::reject();
}

void FineTune(int32_t &frequency, int32_t base, QWidget *parent)
{
    if (base <= 0)
        return;
    TDialogFineTune dialog(parent);
    dialog.TunedFrequency = 0;
    dialog.StartFrequency = frequency;
    dialog.BaseFrequency = base;
    dialog.TrackBarTuning->setValue(dialog.PositionOf(frequency));
    dialog.LabelTuning->setText(FormatMHz(frequency));
    // Connected after the opening position, which tunes nothing.
    QObject::connect(dialog.TrackBarTuning, &QSlider::valueChanged, &dialog,
                     &TDialogFineTune::TrackBarTuningChange);
    if (RunDialog(dialog) == QDialog::Accepted)
        frequency = dialog.StartFrequency;
}

// Video source.

TFormVideoSource::TFormVideoSource(bool hasAuxInput, QWidget *parent) : QDialog(parent)
{
    setObjectName("FormVideoSource");
    setWindowTitle("Video Source");
    RadioGroupVideoSource = new QGroupBox("Video Source", this);
    SourceButtons = new QButtonGroup(this);
    auto *items = new QVBoxLayout(RadioGroupVideoSource);
    const char *const texts[] = {"Antenna", "Cable", "Composite", "SVideo", "Camera"};
    const int count = hasAuxInput ? 5 : 4;
    for (int i = 0; i < count; ++i) {
        auto *r = new QRadioButton(texts[i], RadioGroupVideoSource);
        Caption(r, texts[i], [r](const QString &s) { r->setText(s); });
        SourceButtons->addButton(r, i);
        items->addWidget(r);
    }
    LabelChannel = NewLabel("Channel:", this);
    SpinEditChannel = new QSpinBox(this);
    SpinEditChannel->setRange(1, TVChannelCount);
    BitBtnOK = new QPushButton("OK", this);
    BitBtnCancel = new QPushButton("Cancel", this);
    Caption(this, "MapSource", [this](const QString &s) {
        setWindowTitle(s);
        RadioGroupVideoSource->setTitle(s);
    });
    Caption(LabelChannel, "Channel", [this](const QString &s) { LabelChannel->setText(s); });
    ButtonCaption(BitBtnOK, "OK");
    ButtonCaption(BitBtnCancel, "Cancel");
    auto *layout = new QGridLayout(this);
    layout->addWidget(RadioGroupVideoSource, 0, 0, 1, 2);
    layout->addWidget(LabelChannel, 1, 0);
    layout->addWidget(SpinEditChannel, 1, 1);
    layout->addLayout(ButtonRow({BitBtnOK, BitBtnCancel}), 2, 0, 1, 2);
    connect(SourceButtons, &QButtonGroup::idToggled, this, [this](int, bool) {
        const bool channel = SelectedItem() <= 1;
        LabelChannel->setEnabled(channel);
        SpinEditChannel->setEnabled(channel);
    });
    connect(BitBtnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

int TFormVideoSource::SelectedItem() const
{
    return SourceButtons->checkedId();
}

void TFormVideoSource::SelectItem(int item)
{
    if (QAbstractButton *b = SourceButtons->button(item))
        b->setChecked(true);
}

bool PickVideoSource(TPreviewCell &cell, QWidget *parent)
{
    TFormVideoSource dialog(CaptureInfo && CaptureInfo->HasAuxInput, parent);
    // A camera cell on a card without the input shows as the first item.
    if (cell.Kind != 0 && dialog.SourceButtons->button(cell.Kind - 1)) {
        dialog.SelectItem(cell.Kind - 1);
        dialog.SpinEditChannel->setValue(cell.Channel);
    } else {
        dialog.SelectItem(0);
        dialog.SpinEditChannel->setValue(ChannelInfo ? ChannelInfo->CurrentNumber() : 1);
    }
    if (RunDialog(dialog) != QDialog::Accepted)
        return false;
    cell.Kind = uint8_t(dialog.SelectedItem() + 1);
    cell.Channel = dialog.SpinEditChannel->value();
    return true;
}

// Memory channel.

TFormAddMemoryChannel::TFormAddMemoryChannel(QWidget *parent) : QDialog(parent)
{
    setObjectName("FormAddMemoryChannel");
    setWindowTitle("Memory Channel");
    LabelAddChannel = NewLabel(QString(), this);
    LabelChannel = NewLabel("Channel", this);
    LabelMemoChannel = NewLabel("Memo to channel:", this);
    LabelChannelName = NewLabel("Channel Name", this);
    SpinEditChannel = new QSpinBox(this);
    SpinEditChannel->setRange(1, MemoryCount);
    EditChannelName = new QLineEdit(this);
    BitBtnOK = new QPushButton("OK", this);
    BitBtnCancel = new QPushButton("Cancel", this);
    Caption(this, "FMAddChannel", [this](const QString &s) { setWindowTitle(s); });
    Caption(LabelChannel, "Channel", [this](const QString &s) { LabelChannel->setText(s); });
    Caption(LabelMemoChannel, "FMMemoChannel",
            [this](const QString &s) { LabelMemoChannel->setText(s); });
    Caption(LabelChannelName, "FMChannelName",
            [this](const QString &s) { LabelChannelName->setText(s); });
    ButtonCaption(BitBtnOK, "OK");
    ButtonCaption(BitBtnCancel, "Cancel");
    auto *layout = new QGridLayout(this);
    layout->addWidget(LabelChannel, 0, 0);
    layout->addWidget(LabelAddChannel, 0, 1);
    layout->addWidget(LabelMemoChannel, 1, 0);
    layout->addWidget(SpinEditChannel, 1, 1);
    layout->addWidget(LabelChannelName, 2, 0);
    layout->addWidget(EditChannelName, 2, 1);
    layout->addLayout(ButtonRow({BitBtnOK, BitBtnCancel}), 3, 0, 1, 2);
    connect(BitBtnOK, &QPushButton::clicked, this, &TFormAddMemoryChannel::BitBtnOKClick);
    connect(BitBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormAddMemoryChannel::BitBtnOKClick()
{
    TChannelInfo *t = ChannelInfo;
    if (t && (t->Mode == ModeAntenna || t->Mode == ModeCable)) {
        TMemoryChannel &m = t->Memory[SpinEditChannel->value()];
        m.List = t->Mode;
        m.Enabled = 1;
        m.Number = t->CurrentNumber();
        m.Name = EditChannelName->text();
    }
    accept();
}

void AddMemoryChannel(QWidget *parent)
{
    if (!ChannelInfo)
        return;
    TFormAddMemoryChannel dialog(parent);
    dialog.LabelAddChannel->setText(QString::number(ChannelInfo->CurrentNumber()));
    int first = 1;
    for (int n = 1; n <= MemoryCount; ++n)
        if (ChannelInfo->Memory[n].Enabled) {
            first = n;
            break;
        }
    dialog.SpinEditChannel->setValue(first);
    RunDialog(dialog);
}
