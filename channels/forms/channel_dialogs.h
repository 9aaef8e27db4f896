// Three small dialogs on single entries of the channel table: fine tuning a
// channel around its table frequency, choosing the source of a custom
// preview cell, and storing the current channel as a memory channel.
// GUI thread only; each is created when opened and freed when it closes.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

#include "channels/channel_types.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;


class TDialogFineTune : public QDialog
{
    Q_OBJECT
public:
    explicit TDialogFineTune(QWidget *parent = nullptr);

    static constexpr int32_t StepHz = 50000;
    static constexpr int Range = 125;

    int32_t BaseFrequency = 0;
    int32_t StartFrequency = 0;
    int32_t TunedFrequency = 0;

    QSlider *TrackBarTuning;
    QLabel *LabelTuning;
    QPushButton *BitBtnDefault, *BitBtnOK, *BitBtnCancel;

    // The slider position of a frequency (toward zero, limited to the range)
    // and the frequency of a position.
    int PositionOf(int32_t frequency) const;
    int32_t FrequencyAt(int position) const { return BaseFrequency + position * StepHz; }

    void TrackBarTuningChange(int position);
    void BitBtnDefaultClick();
    void BitBtnOKClick();
    void BitBtnCancelClick();

protected:
    void reject() override;
};

// Opens the fine tune dialog for an entry; on OK `frequency` receives the
// new frequency. Nothing happens for a base of 0 or less.
void FineTune(int32_t &frequency, int32_t base, QWidget *parent = nullptr);

class TFormVideoSource : public QDialog
{
    Q_OBJECT
public:
    TFormVideoSource(bool hasAuxInput, QWidget *parent = nullptr);

    QGroupBox *RadioGroupVideoSource;
    QButtonGroup *SourceButtons;
    QLabel *LabelChannel;
    QSpinBox *SpinEditChannel;
    QPushButton *BitBtnOK, *BitBtnCancel;

    // The item selected (0 "Antenna" ... 4 "Camera"); selecting one applies
    // the rule for the channel controls.
    int SelectedItem() const;
    void SelectItem(int item);
};

// Opens the video source dialog for one custom preview cell; on OK the cell
// receives the chosen kind and channel.
bool PickVideoSource(TPreviewCell &cell, QWidget *parent = nullptr);

class TFormAddMemoryChannel : public QDialog
{
    Q_OBJECT
public:
    explicit TFormAddMemoryChannel(QWidget *parent = nullptr);

    QLabel *LabelAddChannel, *LabelChannel, *LabelMemoChannel, *LabelChannelName;
    QSpinBox *SpinEditChannel;
    QLineEdit *EditChannelName;
    QPushButton *BitBtnOK, *BitBtnCancel;

    void BitBtnOKClick();
};

// Opens the memory channel dialog for the current channel.
void AddMemoryChannel(QWidget *parent = nullptr);

// Called with each of these dialogs right after it has been created and
// before it runs (tests and screenshots drive them from here).
void SetChannelDialogHook(std::function<void(QDialog *)> hook);
