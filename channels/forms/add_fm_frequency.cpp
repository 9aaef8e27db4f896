#include "channels/forms/add_fm_frequency.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/mode_engines.h"
#include "channels/channel_info.h"
#include "channels/fm_memories.h"
#include "platform/messages.h"

namespace {

QString Word(const char *key, const char *fallback)
{
    const QString t = TranslateKey(key);
    return t.isEmpty() ? QString(fallback) : t;
}

} // namespace

TFormAddFMFrequency::TFormAddFMFrequency(TFMList &memories, int32_t frequency, QWidget *parent)
    : QDialog(parent), Memories(memories), Frequency(frequency)
{
    setObjectName("FormAddFMFrequency");
    setWindowTitle(Word("FMAddChannel", "FM Channel"));
    LabelAddFrequency = new QLabel(FormatMHz(frequency), this);
    LabelMHz = new QLabel("MHz", this);
    LabelMemo = new QLabel(Word("FMMemoChannel", "Memo to channel:"), this);
    LabelName = new QLabel(Word("FMChannelName", "Channel Name"), this);
    for (QLabel *l : {LabelAddFrequency, LabelMHz, LabelMemo, LabelName})
        l->setTextFormat(Qt::PlainText);
    SpinEditFMFrequency = new QSpinBox(this);
    SpinEditFMFrequency->setRange(1, FMMemoryCount);
    SpinEditFMFrequency->setValue(FirstFreeFMMemory(memories));
    EditChannelName = new QLineEdit(this);
    ButtonOK = new QPushButton(Word("OK", "OK"), this);
    ButtonCancel = new QPushButton(Word("Cancel", "Cancel"), this);
    ButtonOK->setDefault(true);

    auto *grid = new QGridLayout(this);
    grid->addWidget(LabelAddFrequency, 0, 0, Qt::AlignRight);
    grid->addWidget(LabelMHz, 0, 1);
    grid->addWidget(LabelMemo, 1, 0);
    grid->addWidget(SpinEditFMFrequency, 1, 1);
    grid->addWidget(LabelName, 2, 0);
    grid->addWidget(EditChannelName, 2, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonOK);
    buttons->addWidget(ButtonCancel);
    grid->addLayout(buttons, 3, 0, 1, 2);

    connect(ButtonOK, &QPushButton::clicked, this, &TFormAddFMFrequency::OKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormAddFMFrequency::OKClick()
{
    StoreFMMemory(Memories, SpinEditFMFrequency->value(), Frequency, EditChannelName->text());
    accept();
}

bool MemorizeFM(QWidget *parent)
{
    const int32_t f = ModeEngines.FM ? ModeEngines.FM->FMFrequency() : 0;
    if (f <= 0 || !ChannelInfo)
        return false;
    TFormAddFMFrequency dialog(ChannelInfo->FMMemory, f, parent);
    return dialog.exec() == QDialog::Accepted;
}
