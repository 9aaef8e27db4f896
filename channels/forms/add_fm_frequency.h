// TFormAddFMFrequency ("FM Channel"): stores the tuned FM frequency, with a
// name, into one of the 50 FM memories. GUI thread only.
#pragma once

#include <QDialog>
#include <cstdint>

#include "channels/channel_types.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class TFormAddFMFrequency : public QDialog
{
    Q_OBJECT
public:
    // memories must outlive the dialog; OK writes into it.
    TFormAddFMFrequency(TFMList &memories, int32_t frequency, QWidget *parent = nullptr);

    QLabel *LabelAddFrequency, *LabelMHz, *LabelMemo, *LabelName;
    QSpinBox *SpinEditFMFrequency;
    QLineEdit *EditChannelName;
    QPushButton *ButtonOK, *ButtonCancel;

private:
    void OKClick();

    TFMList &Memories;
    int32_t Frequency;
};

// MemorizeFM: the dialog for the current FM frequency, into the channel
// table's FM memories. Nothing happens without a frequency (0 or less) or a
// channel table. True when a memory was written.
bool MemorizeFM(QWidget *parent);
