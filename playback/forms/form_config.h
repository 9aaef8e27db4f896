// The settings dialog (TFormConfig): one modal dialog with a page per
// group of settings. TV mode shows "TV Tuner" (tuner source on a card with
// a tuner), "Preview" (with it), "Capture", "Video" and "Other"; FM mode
// shows only "FM". The picture sliders and the language act at once; every
// other value is stored when the dialog closes with OK, and Cancel puts
// back what acted at once. GUI thread only; created when opened, freed
// when it closes.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>

#include "channels/channel_types.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTableWidget;

class TFormConfig : public QDialog
{
    Q_OBJECT
public:
    explicit TFormConfig(QWidget *parent = nullptr);

    // What the dialog was opened for.
    bool FMShown = false;
    bool TunerPageShown = false;

    QTabWidget *PageControl;
    QWidget *TabSheetTVTuner, *TabSheetPreview, *TabSheetCapture, *TabSheetVideo, *TabSheetOther,
        *TabSheetFM;
    QPushButton *BitBtnOK, *BitBtnCancel, *BitBtnAbort, *BitBtnHelp;

    // "TV Tuner".
    QRadioButton *RadioButtonNormal, *RadioButtonMemory;
    QComboBox *ComboBoxList; // "Antenna", "Cable"
    QTableWidget *StringGridChannel, *StringGridMemory;
    QPushButton *BitBtnAutoScan, *BitBtnEdit, *BitBtnAdd, *BitBtnDelete, *BitBtnDeleteAll;
    QLabel *LabelGridHint;

    // "Preview".
    QRadioButton *RadioButtonStandard, *RadioButtonCustomize;
    QComboBox *ComboBoxDimension;
    QSpinBox *SpinEditInterval;
    std::array<QPushButton *, 25> PreviewButtons{};

    // "Capture".
    QComboBox *ComboBoxVideoDevice, *ComboBoxInputFormat, *ComboBoxCaptureFormat,
        *ComboBoxAudioFormat, *ComboBoxCaptureSize, *ComboBoxQuality, *ComboBoxFrameRate,
        *ComboBoxAudioOption, *ComboBoxAudioDevice, *ComboBoxAudioSource,
        *ComboBoxAudioCaptureFormat;
    QSpinBox *SpinEditBitRate, *SpinEditTimeLimit;
    QCheckBox *CheckBoxTimeLimit;
    QLineEdit *EditCapturePath, *EditBaseName;
    QPushButton *BitBtnBrowseCapture;
    QRadioButton *RadioButtonDateTime, *RadioButtonUserDefine;
    QSlider *TrackBarRecordLevel;
    QLabel *LabelRecordLevel, *LabelCaptureFormat, *LabelAudioCapture;

    // "Video".
    std::array<QSlider *, 5> TrackBars{}; // brightness, contrast, hue, saturation, sharpness
    std::array<QLabel *, 5> TrackBarLabels{};
    QPushButton *BitBtnDefault;
    QComboBox *ComboBoxCompositeStandard, *ComboBoxSVideoStandard, *ComboBoxAspect;
    QLabel *LabelAspect;
    QCheckBox *CheckBoxAlwaysOnTop, *CheckBoxHighQuality, *CheckBoxNoOverlay;

    // "Other".
    QComboBox *ComboBoxLanguage, *ComboBoxMPEG4Codec;
    QCheckBox *CheckBoxPIP, *CheckBoxSaveTimeShift;

    // "FM".
    QLineEdit *EditFMPath;
    QPushButton *BitBtnBrowseFM;
    QTableWidget *StringGridFM;
    QComboBox *ComboBoxFMCaptureFormat, *ComboBoxFMAudioSource, *ComboBoxFMOutputFormat;
    QSlider *TrackBarFMRecordLevel;
    QLabel *LabelFMRecordLevel;
    QSpinBox *SpinEditFMFrequency; // kHz, within the tuner's FM band

    // Handlers.
    void ComboBoxCaptureFormatChange(int index);
    void ComboBoxAudioOptionChange(int index);
    void CheckBoxTimeLimitClick();
    void NamingClick();
    void TrackBarChange(int item, int position);
    void BitBtnDefaultClick();
    void ComboBoxLanguageChange(int index);
    void PreviewMethodClick();
    void PreviewButtonClick(int cell);
    void ChannelGroupClick();
    void FillChannelGrid();
    void FillMemoryGrid();
    void FillFMGrid();
    void ChannelGridDoubleClick(int row, int column);
    void MemoryGridDoubleClick(int row, int column);
    void BitBtnAutoScanClick();
    void BitBtnEditClick();
    void BitBtnAddClick();
    void BitBtnDeleteClick();
    void BitBtnDeleteAllClick();
    void BitBtnAbortClick();
    void BitBtnHelpClick();
    void BitBtnOKClick();
    void BitBtnCancelClick();

    // Folder browsing; tests replace it. Returns the chosen folder or empty.
    std::function<QString(const QString &start)> ChooseFolder;

protected:
    void reject() override;

private:
    void BuildTunerPage();
    void BuildPreviewPage();
    void BuildCapturePage();
    void BuildVideoPage();
    void BuildOtherPage();
    void BuildFMPage();
    void ApplyLanguage();
    void LoadValues();
    void LoadCaptureValues();
    void LoadVideoValues();
    void ApplyCaptureEnables();
    void SelectSize(const QString &text);
    void OKInTV();
    void OKInFM();
    void StoreCapturePage();
    void RestoreAtCancel();
    void SelectLanguageNow(const QString &name);
    void UpdatePreviewButtons();

    // Taken when the dialog opens, put back by Cancel.
    TTVList SavedAntenna{}, SavedCable{};
    TMemoryList SavedMemory{};
    TFMList SavedFM{};
    uint8_t SavedMode = ModeUnset;
    int32_t SavedChannel = 0;
    std::array<int, 5> SavedAdjust{};
    bool AdjustAttached = false;
    QString SavedLanguage;
    uint8_t SavedFMMode = 0;
    int32_t SavedFMFrequency = 0;
    TPreviewGrid CustomCells{};
    bool Closing = false;
};

// Runs the dialog modally; true when it closed with OK.
bool ShowConfigDialog(QWidget *parent = nullptr);

// Called with each dialog right after it has been created and before it
// runs (tests and screenshots drive it from here).
void SetConfigDialogHook(std::function<void(TFormConfig *)> hook);
