// The "Capture" page: devices, formats, size, rates, audio and file naming.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "capture/capture_info.h"
#include "platform/device_enum.h"
#include "playback/config_rules.h"
#include "playback/forms/form_config.h"
#include "playback/forms/form_config_util.h"

namespace {

QComboBox *NewCombo(const QStringList &items)
{
    auto *c = new QComboBox;
    c->addItems(items);
    return c;
}

QStringList DeviceNames(TDeviceCategory category)
{
    QStringList names;
    for (const TDeviceEntry &e : EnumerateDevices(category))
        names << e.FriendlyName;
    return names;
}

QStringList AudioInputNames()
{
    QStringList names;
    TGraphFilter *audio =
        CaptureInfo && CaptureInfo->ACapture ? CaptureInfo->ACapture->Object() : nullptr;
    if (audio)
        for (TPin *pin : audio->PinList(TPinDirection::Input))
            names << pin->Name;
    return names;
}

bool AudioOnly(const QComboBox *option)
{
    return option->currentIndex() == 1;
}

} // namespace

void TFormConfig::BuildCapturePage()
{
    const uint8_t family = MainInfo ? MainInfo->ChipFamily : 0;
    ComboBoxVideoDevice = NewCombo(DeviceNames(TDeviceCategory::VideoInput));
    QStringList inputFormats = {"UYVY", "YUY2"};
    if (family != FamilyEmpia2800 && family != FamilyEmpia28x0 && family != FamilyEmpia28x1)
        inputFormats << "RGB24";
    ComboBoxInputFormat = NewCombo(inputFormats);
    ComboBoxCaptureFormat = NewCombo(CaptureFormatNames());
    ComboBoxAudioFormat = NewCombo({"Wave", "MP3"});
    ComboBoxCaptureSize = new QComboBox;
    SpinEditBitRate = new QSpinBox;
    SpinEditBitRate->setRange(500, 10000);
    SpinEditBitRate->setSingleStep(50);
    ComboBoxQuality = NewCombo(CaptureQualityNames());
    ComboBoxFrameRate = NewCombo(FrameRateNames());
    ComboBoxAudioOption =
        NewCombo({"Capture Audio and Video", "Capture Audio only", "Disable Audio"});
    CheckBoxTimeLimit = new QCheckBox("Enable time limit");
    SpinEditTimeLimit = new QSpinBox;
    SpinEditTimeLimit->setRange(10, 5000000);
    SpinEditTimeLimit->setSuffix(" sec.");
    EditCapturePath = new QLineEdit;
    BitBtnBrowseCapture = new QPushButton("...");
    RadioButtonDateTime = new QRadioButton("Use date/time as filename (yyyymmdd_hhmmss.xxx)");
    RadioButtonUserDefine = new QRadioButton("User define");
    EditBaseName = new QLineEdit;
    ComboBoxAudioDevice = NewCombo(DeviceNames(TDeviceCategory::AudioInput));
    ComboBoxAudioSource = NewCombo(AudioInputNames());
    ComboBoxAudioCaptureFormat = NewCombo(AudioCaptureFormatNames());
    TrackBarRecordLevel = new QSlider(Qt::Horizontal);
    TrackBarRecordLevel->setRange(0, 65536);
    LabelRecordLevel = ConfigLabel("0%");
    LabelCaptureFormat = ConfigLabel("Capture format (Profile)");

    auto *video = new QGridLayout;
    AddRow(video, "Video Capture Device:", ComboBoxVideoDevice);
    AddRow(video, "Input format:", ComboBoxInputFormat);
    const int formatRow = video->rowCount();
    video->addWidget(LabelCaptureFormat, formatRow, 0);
    video->addWidget(ComboBoxCaptureFormat, formatRow, 1);
    video->addWidget(ComboBoxAudioFormat, formatRow, 1);
    AddRow(video, "Capture size", ComboBoxCaptureSize);
    AddRow(video, "Bit rate (kbps):", SpinEditBitRate);
    AddRow(video, "Capture quality:", ComboBoxQuality);
    AddRow(video, "Frame rate:", ComboBoxFrameRate);
    AddRow(video, "Capture Audio option:", ComboBoxAudioOption);
    const int limitRow = video->rowCount();
    video->addWidget(CheckBoxTimeLimit, limitRow, 0);
    video->addWidget(SpinEditTimeLimit, limitRow, 1);

    auto *files = new QGridLayout;
    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(EditCapturePath);
    pathRow->addWidget(BitBtnBrowseCapture);
    files->addWidget(ConfigLabel("Capture location:"), 0, 0);
    files->addLayout(pathRow, 0, 1);
    files->addWidget(RadioButtonDateTime, 1, 0, 1, 2);
    files->addWidget(RadioButtonUserDefine, 2, 0);
    files->addWidget(EditBaseName, 2, 1);

    auto *audio = new QGridLayout;
    AddRow(audio, "Audio capture device:", ComboBoxAudioDevice);
    AddRow(audio, "Audio Source:", ComboBoxAudioSource);
    AddRow(audio, "Capture format:", ComboBoxAudioCaptureFormat);
    auto *level = new QHBoxLayout;
    level->addWidget(TrackBarRecordLevel);
    level->addWidget(LabelRecordLevel);
    LabelAudioCapture = ConfigLabel("Recording Level:");
    const int levelRow = audio->rowCount();
    audio->addWidget(LabelAudioCapture, levelRow, 0);
    audio->addLayout(level, levelRow, 1);

    auto *layout = new QVBoxLayout(TabSheetCapture);
    layout->addLayout(video);
    layout->addLayout(files);
    layout->addLayout(audio);
    layout->addStretch();

    connect(ComboBoxCaptureFormat, &QComboBox::activated, this,
            &TFormConfig::ComboBoxCaptureFormatChange);
    connect(ComboBoxAudioOption, &QComboBox::activated, this,
            &TFormConfig::ComboBoxAudioOptionChange);
    connect(CheckBoxTimeLimit, &QCheckBox::toggled, this, &TFormConfig::CheckBoxTimeLimitClick);
    connect(RadioButtonDateTime, &QRadioButton::toggled, this, &TFormConfig::NamingClick);
    connect(TrackBarRecordLevel, &QSlider::valueChanged, this,
            [this](int v) { LabelRecordLevel->setText(RecordLevelText(v)); });
    connect(BitBtnBrowseCapture, &QPushButton::clicked, this, [this] {
        const QString chosen = ChooseFolder(EditCapturePath->text());
        if (!chosen.isEmpty())
            EditCapturePath->setText(chosen.size() > 3 && !chosen.endsWith('/') ? chosen + "/"
                                                                                : chosen);
    });
}

void TFormConfig::LoadCaptureValues()
{
    if (!CaptureInfo || !MainInfo)
        return;
    const TCaptureInfo &c = *CaptureInfo;
    ComboBoxVideoDevice->setCurrentIndex(c.VideoDeviceIndex);
    ComboBoxInputFormat->setCurrentIndex(c.CaptureInputFormat >= 0 &&
                                                 c.CaptureInputFormat < ComboBoxInputFormat->count()
                                             ? c.CaptureInputFormat
                                             : 0);
    ComboBoxAudioFormat->setCurrentIndex(c.CaptureAudioFormat == 1 ? 1 : 0);
    ComboBoxCaptureFormat->setCurrentIndex(c.CaptureFormat);
    // The size list of the stored format, with the stored values.
    const TCaptureProfile profile = CaptureProfile(c.CaptureFormat, MainInfo->ChipFamily);
    ComboBoxCaptureSize->clear();
    ComboBoxCaptureSize->addItems(profile.Sizes);
    SelectSize(CaptureSizeText(c.CaptureWidth, c.CaptureHeight));
    SpinEditBitRate->setValue(c.BitRate);
    ComboBoxQuality->setCurrentIndex(c.CaptureQuality);
    ComboBoxFrameRate->setCurrentIndex(c.FrameRateIndex - 1);
    if (!c.HasAudioCapture) {
        ComboBoxAudioOption->setCurrentIndex(2);
        ComboBoxAudioOption->setEnabled(false);
    } else {
        ComboBoxAudioOption->setCurrentIndex(qBound(0, c.CaptureAudioOption, 2));
    }
    CheckBoxTimeLimit->setChecked(c.TimeLimitEnabled);
    SpinEditTimeLimit->setValue(c.TimeLimit);
    SpinEditTimeLimit->setEnabled(c.TimeLimitEnabled);
    EditCapturePath->setText(MainInfo->CapturePath);
    (c.UseDateTimeFileName ? RadioButtonDateTime : RadioButtonUserDefine)->setChecked(true);
    EditBaseName->setText(c.CaptureBaseName.isEmpty() ? QStringLiteral("capture")
                                                      : c.CaptureBaseName);
    EditBaseName->setEnabled(!c.UseDateTimeFileName);
    ComboBoxAudioDevice->setCurrentIndex(c.AudioDeviceIndex);
    ComboBoxAudioSource->setCurrentIndex(c.AudioSourceIndex);
    ComboBoxAudioCaptureFormat->setCurrentIndex(c.AudioCaptureFormatIndex);
    const int level = AudioAdjustInfo ? AudioAdjustInfo->RecordVolume : 0;
    TrackBarRecordLevel->setValue(level);
    LabelRecordLevel->setText(RecordLevelText(level));
    // The stored values stand; only the editable state follows the format.
    ApplyCaptureEnables();
}

void TFormConfig::SelectSize(const QString &text)
{
    ComboBoxCaptureSize->setCurrentIndex(ComboBoxCaptureSize->findText(text));
}

void TFormConfig::ApplyCaptureEnables()
{
    const uint8_t family = MainInfo ? MainInfo->ChipFamily : 0;
    const TCaptureProfile profile = CaptureProfile(ComboBoxCaptureFormat->currentIndex(), family);
    const bool audioOnly = AudioOnly(ComboBoxAudioOption);
    LabelCaptureFormat->setText(audioOnly ? "Audio format" : "Capture format (Profile)");
    ComboBoxCaptureFormat->setVisible(!audioOnly);
    ComboBoxAudioFormat->setVisible(audioOnly);
    ComboBoxCaptureSize->setEnabled(!audioOnly && profile.SizeEditable);
    SpinEditBitRate->setEnabled(!audioOnly && profile.BitRateEditable);
    ComboBoxQuality->setEnabled(!audioOnly && profile.QualityEditable);
    ComboBoxFrameRate->setEnabled(!audioOnly && profile.FrameRateEditable);
    ComboBoxInputFormat->setEnabled(!audioOnly);
    const bool noAudio = ComboBoxAudioOption->currentIndex() == 2;
    for (QWidget *w :
         {static_cast<QWidget *>(ComboBoxAudioDevice), static_cast<QWidget *>(ComboBoxAudioSource),
          static_cast<QWidget *>(ComboBoxAudioCaptureFormat),
          static_cast<QWidget *>(TrackBarRecordLevel), static_cast<QWidget *>(LabelAudioCapture)})
        w->setEnabled(!noAudio);
    // A card whose sound does not pass the capture filter's inputs has no
    // source to choose.
    ComboBoxAudioSource->setEnabled(!noAudio && ComboBoxAudioSource->count() > 0);
}

void TFormConfig::ComboBoxCaptureFormatChange(int index)
{
    const TCaptureProfile profile = CaptureProfile(index, MainInfo ? MainInfo->ChipFamily : 0);
    ComboBoxCaptureSize->clear();
    ComboBoxCaptureSize->addItems(profile.Sizes);
    SelectSize(profile.Selected);
    SpinEditBitRate->setValue(profile.BitRate);
    ComboBoxQuality->setCurrentIndex(profile.Quality);
    ComboBoxFrameRate->setCurrentIndex(profile.FrameRateIndex);
    ApplyCaptureEnables();
}

void TFormConfig::ComboBoxAudioOptionChange(int index)
{
    if (index == 1)
        ApplyCaptureEnables();
    else
        ComboBoxCaptureFormatChange(ComboBoxCaptureFormat->currentIndex());
}

void TFormConfig::CheckBoxTimeLimitClick()
{
    SpinEditTimeLimit->setEnabled(CheckBoxTimeLimit->isChecked());
}

void TFormConfig::NamingClick()
{
    EditBaseName->setEnabled(RadioButtonUserDefine->isChecked());
}

void TFormConfig::StoreCapturePage()
{
    TCaptureInfo &c = *CaptureInfo;
    c.CaptureAudioFormat = ComboBoxAudioFormat->currentIndex();
    c.UseDateTimeFileName = RadioButtonDateTime->isChecked();
    c.CaptureBaseName = EditBaseName->text();
    c.TimeLimitEnabled = CheckBoxTimeLimit->isChecked();
    c.TimeLimit = SpinEditTimeLimit->value();
    c.SaveTimeShiftResult = CheckBoxSaveTimeShift->isChecked();
    c.CaptureAudioOption = ComboBoxAudioOption->currentIndex();
    c.AudioDeviceIndex = ComboBoxAudioDevice->currentIndex();
    if (ComboBoxAudioSource->currentIndex() >= 0 &&
        ComboBoxAudioSource->currentIndex() != c.AudioSourceIndex)
        c.SelectAudioSource(ComboBoxAudioSource->currentIndex());
    c.AudioCaptureFormatIndex = ComboBoxAudioCaptureFormat->currentIndex();
    if (c.CaptureAudioOption != 1) {
        c.CaptureFormat = ComboBoxCaptureFormat->currentIndex();
        int32_t w = 0, h = 0;
        // No size selected (the profile's size is not offered here): the
        // stored size stands.
        if (ParseCaptureSize(ComboBoxCaptureSize->currentText(), w, h)) {
            c.CaptureWidth = w;
            c.CaptureHeight = h;
        }
        c.BitRate = SpinEditBitRate->value();
        c.CaptureQuality = ComboBoxQuality->currentIndex();
        c.FrameRateIndex = ComboBoxFrameRate->currentIndex() + 1;
    }
}
