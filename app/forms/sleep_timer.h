// The sleep timer: its dialog (TFormSleepingTimer) and what happens when it
// expires. GUI thread only.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QSlider;
class QPushButton;

class TFormSleepingTimer : public QDialog
{
    Q_OBJECT
public:
    explicit TFormSleepingTimer(QWidget *parent = nullptr);

    QSlider *TrackBarSleepingTimer;
    QLabel *LabelMin, *LabelMax, *LabelSleeping, *LabelTimerValue, *LabelMinute;
    QPushButton *BitBtnOK, *BitBtnCancel;

    void BitBtnOKClick();
    void BitBtnCancelClick();
};

// Runs the dialog modally; true when OK was pressed. SleepMinutes holds the
// result either way (0 after Cancel).
bool RunSleepTimerDialog(QWidget *parent);

// Switches the computer off; replaceable so that tests never do.
using TPowerOffAction = std::function<bool()>;
void SetPowerOffAction(TPowerOffAction action);
// The login manager's PowerOff over the system bus.
bool LoginManagerPowerOff();

// Expiry after the main window has closed: the scheduling agent is told
// (3035) when it listens, else the computer is switched off. Returns what
// was done: 1 agent told, 2 power-off asked, 0 power-off refused.
int SleepExpired();
