// The TV set-up wizard: three pages that choose the broadcast plan (by
// country or by TV system), the scan method and the sound inputs, then fill
// the channel table's antenna and cable lists with a table scan or a free
// scan. Cancel puts the lists and the plan choice back as they were.
//
// GUI thread only. The wizard listens to the channel table's scan events
// while it exists and hands them on to whoever listened before.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

#include "channels/channel_types.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TChannelInfo;

class TFormTVSetupWizard : public QDialog
{
    Q_OBJECT
public:
    explicit TFormTVSetupWizard(bool firstRun, QWidget *parent = nullptr);
    ~TFormTVSetupWizard() override;

    bool FirstRun = false;
    int Page = 1;
    int32_t CountryChoice = 0;
    int32_t SystemCode = 0;
    bool FreeScanChosen = false;
    uint8_t ChosenRecord = 0;
    uint8_t ChosenStandard = 0;
    QString TotalScanText = "Total scan";
    QString FindText = "Find";

    // Page 1.
    QWidget *PanelPage1;
    QRadioButton *RadioButtonCountry;
    QLabel *LabelCountryDesc;
    QComboBox *ComboBoxLetter;
    QListWidget *ListBoxCountry;
    QRadioButton *RadioButtonTVSystem;
    QComboBox *ComboBoxTVSystem;
    // Page 2.
    QWidget *PanelPage2;
    QGroupBox *GroupBoxScan;
    QRadioButton *RadioButtonUseDefaultTable;
    QGroupBox *RadioGroupCableType;
    QButtonGroup *CableTypeButtons;
    QRadioButton *RadioButtonUseFreeScan;
    QLabel *LabelTVLiveSound, *LabelRecordSound;
    QComboBox *ComboBoxTVLiveSound, *ComboBoxRecordSound;
    // Page 3.
    QWidget *PanelPage3;
    QWidget *PanelCableScan;
    QLabel *LabelAntenna, *LabelCable;
    QProgressBar *ProgressBarAntenna, *ProgressBarCable;
    QLabel *LabelAntennaTuningResult, *LabelCableTuningResult;
    QWidget *PanelFreeScan;
    QLabel *LabelStepSize;
    QComboBox *ComboBoxScanStep;
    QProgressBar *ProgressBarFreeScan;
    QLabel *LabelFrequency, *LabelFrequencyValue;
    QPlainTextEdit *MemoFreeScanResult;
    QLabel *LabelVerifiedCount;
    QSpinBox *SpinEditVerifiedCount;
    QPushButton *BitBtnStart, *BitBtnAbort;
    // Always.
    QPushButton *BitBtnBack, *BitBtnNext, *BitBtnFinish, *BitBtnCancel;

    // 0 antenna, 1 cable, 2 both.
    int CableTypeIndex() const;

    void BitBtnBackClick();
    void BitBtnNextClick();
    void BitBtnStartClick();
    void BitBtnAbortClick();
    void BitBtnFinishClick();
    void BitBtnCancelClick();
    void ComboBoxLetterChange();
    void ShowPage(int page);
    // True while a scan started here runs.
    bool ScanRunning() const { return Scanning; }

protected:
    void reject() override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void BuildPage1();
    void BuildPage2();
    void BuildPage3();
    void ApplyLanguage();
    void ApplyChoiceRules();
    void OpenPage3();
    void ScanControlsIdle();
    void InstallScanEvents();

    // The state Cancel brings back.
    struct TBackup
    {
        TTVList Antenna, Cable;
        uint8_t TableNumber = 0, DefaultStandard = 0, SystemChoice = StdNone, CableType = 2;
        int32_t CountryCode = 0;
    } Backup;

    bool Scanning = false;
    bool CloseWanted = false;
    int32_t LowestTV = 0;

    // The scan events as they were before the wizard.
    std::function<void(TChannelInfo *, int32_t, bool, bool)> OldTableProgress;
    std::function<void(TChannelInfo *, int32_t, int32_t, bool, int32_t)> OldTableDone;
    std::function<void(TChannelInfo *, int32_t, int32_t, bool)> OldFreeProgress;
    std::function<void(TChannelInfo *, int32_t, bool)> OldFreeDone;
};

// Runs the wizard modally around the channel table as the shell does (the
// first-run form from start-up, else from the menu); true on Finish, which
// also writes the channel settings file.
bool RunSetupWizard(bool firstRun, QWidget *parent = nullptr);

// Called with each wizard right after it has been created and before it is
// shown (tests and screenshots drive it from here).
void SetWizardOpenedHook(std::function<void(TFormTVSetupWizard *)> hook);
