// The "Video", "Other" and "FM" pages.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "capture/capture_info.h"
#include "capture/video_signal_adjust.h"
#include "channels/channel_info.h"
#include "channels/fm_memories.h"
#include "channels/languages.h"
#include "playback/config_rules.h"
#include "playback/forms/form_config.h"
#include "playback/forms/form_config_util.h"

namespace {

TVideoSignalAdjust *Adjust()
{
    return CaptureInfo && CaptureInfo->VideoSignalAdjust &&
                   CaptureInfo->VideoSignalAdjust->Attached()
               ? CaptureInfo->VideoSignalAdjust.get()
               : nullptr;
}

} // namespace

void TFormConfig::BuildVideoPage()
{
    const char *names[] = {"Brightness", "Contrast", "Hue", "Saturation", "Sharpness"};
    auto *grid = new QGridLayout;
    for (int k = 0; k < 5; ++k) {
        TrackBars[k] = new QSlider(Qt::Horizontal);
        TrackBarLabels[k] = ConfigLabel("0");
        TrackBarLabels[k]->setMinimumWidth(40);
        grid->addWidget(ConfigLabel(names[k]), k, 0);
        grid->addWidget(TrackBars[k], k, 1);
        grid->addWidget(TrackBarLabels[k], k, 2);
        connect(TrackBars[k], &QSlider::valueChanged, this,
                [this, k](int v) { TrackBarChange(k, v); });
    }
    BitBtnDefault = new QPushButton("Default");
    connect(BitBtnDefault, &QPushButton::clicked, this, &TFormConfig::BitBtnDefaultClick);
    grid->addWidget(BitBtnDefault, 5, 2);

    auto *system = new QGridLayout;
    ComboBoxCompositeStandard = new QComboBox;
    ComboBoxCompositeStandard->addItems(StandardNames());
    ComboBoxSVideoStandard = new QComboBox;
    ComboBoxSVideoStandard->addItems(StandardNames());
    AddRow(system, "Video System  Composite", ComboBoxCompositeStandard);
    AddRow(system, "Video System  S-Video", ComboBoxSVideoStandard);
    ComboBoxAspect = new QComboBox;
    ComboBoxAspect->addItems({"No Scale", "4:3", "16:9"});
    LabelAspect = ConfigLabel("Display aspect ratio:");
    const int row = system->rowCount();
    system->addWidget(LabelAspect, row, 0);
    system->addWidget(ComboBoxAspect, row, 1);
    CheckBoxAlwaysOnTop = new QCheckBox("Always on top");
    CheckBoxHighQuality = new QCheckBox("Enable High quality preview");
    CheckBoxNoOverlay = new QCheckBox("Don't use overlay as display surface");

    auto *layout = new QVBoxLayout(TabSheetVideo);
    layout->addLayout(grid);
    layout->addLayout(system);
    layout->addWidget(CheckBoxAlwaysOnTop);
    layout->addWidget(CheckBoxHighQuality);
    layout->addWidget(CheckBoxNoOverlay);
    layout->addStretch();
}

void TFormConfig::LoadVideoValues()
{
    TVideoSignalAdjust *adjust = Adjust();
    AdjustAttached = adjust != nullptr;
    for (int k = 0; k < 5; ++k) {
        QSlider *bar = TrackBars[k];
        const QSignalBlocker block(bar);
        if (!adjust) {
            bar->setEnabled(false);
            continue;
        }
        const TProcAmpRange &r = adjust->Range(k);
        bar->setRange(r.Minimum, r.Maximum);
        bar->setSingleStep(r.Step > 0 ? r.Step : 1);
        SavedAdjust[k] = adjust->Get(k);
        bar->setValue(SavedAdjust[k]);
        TrackBarLabels[k]->setText(QString::number(SavedAdjust[k]));
        // Sharpness only where the device has a range for it.
        bar->setEnabled(r.Valid && r.Maximum > r.Minimum);
    }
    BitBtnDefault->setEnabled(adjust != nullptr);
    if (ChannelInfo) {
        ComboBoxCompositeStandard->setCurrentIndex(qMin<int>(ChannelInfo->CompositeStandard, 9));
        ComboBoxSVideoStandard->setCurrentIndex(qMin<int>(ChannelInfo->SVideoStandard, 9));
    }
    if (MainInfo) {
        ComboBoxAspect->setCurrentIndex(qBound(0, MainInfo->AspectRatio, 2));
        CheckBoxAlwaysOnTop->setChecked(MainInfo->AlwaysOnTop);
        CheckBoxNoOverlay->setChecked(MainInfo->DoNotUseOverlay);
    }
    const bool fullScreen = ModeEngines.Shell && ModeEngines.Shell->FullScreen();
    ComboBoxAspect->setVisible(!fullScreen);
    LabelAspect->setVisible(!fullScreen);
    if (CaptureInfo)
        CheckBoxHighQuality->setChecked(CaptureInfo->HighQualityPreview);
}

void TFormConfig::TrackBarChange(int item, int position)
{
    TrackBarLabels[item]->setText(QString::number(position));
    if (TVideoSignalAdjust *adjust = Adjust())
        adjust->Set(item, position);
}

void TFormConfig::BitBtnDefaultClick()
{
    TVideoSignalAdjust *adjust = Adjust();
    if (!adjust)
        return;
    for (int k = 0; k < 5; ++k)
        if (TrackBars[k]->isEnabled())
            TrackBars[k]->setValue(adjust->Range(k).Default);
}

void TFormConfig::BuildOtherPage()
{
    ComboBoxLanguage = new QComboBox;
    if (MultiLangInfo) {
        ComboBoxLanguage->addItems(MultiLangInfo->LanguageNames);
        ComboBoxLanguage->setCurrentIndex(
            MultiLangInfo->LanguageNames.indexOf(MultiLangInfo->LanguageName));
    }
    connect(ComboBoxLanguage, &QComboBox::activated, this, &TFormConfig::ComboBoxLanguageChange);
    CheckBoxPIP = new QCheckBox("PIP Enable");
    CheckBoxSaveTimeShift = new QCheckBox("Save file on time-shifting is over");
    ComboBoxMPEG4Codec = new QComboBox;
    ComboBoxMPEG4Codec->addItems({"Divx", "Microsoft V3", "Microsoft V2", "Microsoft V1"});

    auto *grid = new QGridLayout;
    AddRow(grid, "Multi language option", ComboBoxLanguage);
    grid->addWidget(CheckBoxPIP, grid->rowCount(), 0, 1, 2);
    grid->addWidget(ConfigLabel("Time shift"), grid->rowCount(), 0);
    grid->addWidget(CheckBoxSaveTimeShift, grid->rowCount() - 1, 1);
    grid->addWidget(ConfigLabel("MPEG4"), grid->rowCount(), 0);
    AddRow(grid, "MPEG4 Codec", ComboBoxMPEG4Codec);
    auto *layout = new QVBoxLayout(TabSheetOther);
    layout->addLayout(grid);
    layout->addStretch();

    if (MainInfo) {
        CheckBoxPIP->setChecked(MainInfo->PIPPlayback);
        ComboBoxMPEG4Codec->setCurrentIndex(qBound(0, MainInfo->MPEG4Codec, 3));
    }
    if (CaptureInfo)
        CheckBoxSaveTimeShift->setChecked(CaptureInfo->SaveTimeShiftResult);
}

void TFormConfig::BuildFMPage()
{
    EditFMPath = new QLineEdit;
    BitBtnBrowseFM = new QPushButton("...");
    connect(BitBtnBrowseFM, &QPushButton::clicked, this, [this] {
        const QString chosen = ChooseFolder(EditFMPath->text());
        if (!chosen.isEmpty())
            EditFMPath->setText(chosen.size() > 3 && !chosen.endsWith('/') ? chosen + "/" : chosen);
    });
    StringGridFM = new QTableWidget(FMMemoryCount, 3);
    StringGridFM->setHorizontalHeaderLabels({"No.", "Frequency (MHz)", "Name"});
    StringGridFM->verticalHeader()->hide();
    StringGridFM->verticalHeader()->setDefaultSectionSize(StringGridFM->fontMetrics().height() + 8);
    StringGridFM->horizontalHeader()->setStretchLastSection(true);
    ComboBoxFMCaptureFormat = new QComboBox;
    ComboBoxFMCaptureFormat->addItems(AudioCaptureFormatNames());
    ComboBoxFMAudioSource = new QComboBox;
    if (CaptureInfo && CaptureInfo->ACapture && CaptureInfo->ACapture->Object())
        for (TPin *pin : CaptureInfo->ACapture->Object()->PinList(TPinDirection::Input))
            ComboBoxFMAudioSource->addItem(pin->Name);
    ComboBoxFMOutputFormat = new QComboBox;
    ComboBoxFMOutputFormat->addItems({"Wave", "MP3"});
    TrackBarFMRecordLevel = new QSlider(Qt::Horizontal);
    TrackBarFMRecordLevel->setRange(0, 65536);
    LabelFMRecordLevel = ConfigLabel("0%");
    connect(TrackBarFMRecordLevel, &QSlider::valueChanged, this,
            [this](int v) { LabelFMRecordLevel->setText(RecordLevelText(v)); });
    SpinEditFMFrequency = new QSpinBox;
    SpinEditFMFrequency->setSuffix(" kHz");

    auto *grid = new QGridLayout;
    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(EditFMPath);
    pathRow->addWidget(BitBtnBrowseFM);
    grid->addWidget(ConfigLabel("Wave file location:"), 0, 0);
    grid->addLayout(pathRow, 0, 1);
    AddRow(grid, "Capture format:", ComboBoxFMCaptureFormat);
    AddRow(grid, "Audio Source:", ComboBoxFMAudioSource);
    AddRow(grid, "Audio output format:", ComboBoxFMOutputFormat);
    auto *level = new QHBoxLayout;
    level->addWidget(TrackBarFMRecordLevel);
    level->addWidget(LabelFMRecordLevel);
    const int row = grid->rowCount();
    grid->addWidget(ConfigLabel("Recording Level:"), row, 0);
    grid->addLayout(level, row, 1);
    AddRow(grid, "Frequency", SpinEditFMFrequency);
    auto *layout = new QVBoxLayout(TabSheetFM);
    layout->addLayout(grid);
    layout->addWidget(StringGridFM);

    if (CaptureInfo) {
        const TCaptureInfo &c = *CaptureInfo;
        SpinEditFMFrequency->setRange(c.FMMinFrequency / 1000, c.FMMaxFrequency / 1000);
        SpinEditFMFrequency->setSingleStep(qMax(1, c.FMStep / 1000));
        SpinEditFMFrequency->setValue(c.FMFrequency / 1000);
        ComboBoxFMCaptureFormat->setCurrentIndex(c.AudioCaptureFormatIndex);
        ComboBoxFMAudioSource->setCurrentIndex(c.AudioSourceIndex);
        ComboBoxFMAudioSource->setEnabled(ComboBoxFMAudioSource->count() > 0);
        ComboBoxFMOutputFormat->setCurrentIndex(c.CaptureAudioFormat == 1 ? 1 : 0);
    }
    if (MainInfo)
        EditFMPath->setText(MainInfo->FMCapturePath);
    const int level0 = AudioAdjustInfo ? AudioAdjustInfo->RecordVolume : 0;
    TrackBarFMRecordLevel->setValue(level0);
    LabelFMRecordLevel->setText(RecordLevelText(level0));
    FillFMGrid();
    connect(StringGridFM, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (!ChannelInfo || item->column() == 0)
            return;
        TFMMemory &m = ChannelInfo->FMMemory[item->row() + 1];
        if (item->column() == 2) {
            m.Name = item->text();
            return;
        }
        bool ok = false;
        const double mhz = item->text().toDouble(&ok);
        const int32_t hz = ok ? int32_t(mhz * 1000000.0 + 0.5) : -1;
        const bool inBand =
            CaptureInfo && hz >= CaptureInfo->FMMinFrequency && hz <= CaptureInfo->FMMaxFrequency;
        if (hz == 0 || inBand)
            m.Frequency = hz;
        const QSignalBlocker block(StringGridFM);
        item->setText(m.Frequency > 0 ? FormatMHz(m.Frequency) : QString());
    });
}

void TFormConfig::FillFMGrid()
{
    const QSignalBlocker block(StringGridFM);
    for (int n = 1; n <= FMMemoryCount; ++n) {
        const TFMMemory m = ChannelInfo ? ChannelInfo->FMMemory[n] : TFMMemory{};
        auto *number = new QTableWidgetItem(QString::number(n));
        number->setFlags(Qt::ItemIsEnabled);
        StringGridFM->setItem(n - 1, 0, number);
        StringGridFM->setItem(n - 1, 1,
                              new QTableWidgetItem(m.Frequency > 0 ? FormatMHz(m.Frequency) : ""));
        StringGridFM->setItem(n - 1, 2, new QTableWidgetItem(m.Name));
    }
}
