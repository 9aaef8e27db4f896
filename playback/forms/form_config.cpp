#include "playback/forms/form_config.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/app_modes.h"
#include "app/main_info.h"
#include "app/menu_captions.h"
#include "app/mode_engines.h"
#include "app/scheduled_module.h"
#include "app/shell_views.h"
#include "app/startup.h"
#include "capture/capture_info.h"
#include "capture/video_signal_adjust.h"
#include "channels/channel_info.h"
#include "channels/languages.h"
#include "platform/instance_channel.h"
#include "platform/log.h"
#include "playback/config_rules.h"
#include "playback/forms/form_config_util.h"
#include "playback/forms/snapshot_list.h"

namespace {

std::function<void(TFormConfig *)> &DialogHook()
{
    static std::function<void(TFormConfig *)> hook;
    return hook;
}

bool InFMMode()
{
    if (ModeEngines.Shell && ModeEngines.Shell->FMPanelVisible())
        return true;
    return MainInfo && MainInfo->AppMode == ModeFM;
}

} // namespace

TFormConfig::TFormConfig(QWidget *parent) : QDialog(parent)
{
    setWindowTitle("Setup");
    setModal(true);
    FMShown = InFMMode();
    TunerPageShown = !FMShown && ChannelInfo && ChannelInfo->Source == SourceTuner && CaptureInfo &&
                     CaptureInfo->HasTuner;
    ChooseFolder = [this](const QString &start) {
        return QFileDialog::getExistingDirectory(this, "Select folder", start);
    };

    PageControl = new QTabWidget(this);
    TabSheetTVTuner = new QWidget;
    TabSheetPreview = new QWidget;
    TabSheetCapture = new QWidget;
    TabSheetVideo = new QWidget;
    TabSheetOther = new QWidget;
    TabSheetFM = new QWidget;
    PageControl->addTab(TabSheetTVTuner, "TV Tuner");
    PageControl->addTab(TabSheetPreview, "Preview");
    PageControl->addTab(TabSheetCapture, "Capture");
    PageControl->addTab(TabSheetVideo, "Video");
    PageControl->addTab(TabSheetOther, "Other");
    PageControl->addTab(TabSheetFM, "FM");
    BuildTunerPage();
    BuildPreviewPage();
    BuildCapturePage();
    BuildVideoPage();
    BuildOtherPage();
    BuildFMPage();

    PageControl->setTabVisible(0, TunerPageShown);
    PageControl->setTabVisible(1, TunerPageShown);
    for (int page = 2; page <= 4; ++page)
        PageControl->setTabVisible(page, !FMShown);
    PageControl->setTabVisible(5, FMShown);
    PageControl->setCurrentIndex(FMShown ? 5 : TunerPageShown ? 0 : 2);

    BitBtnOK = new QPushButton("OK");
    BitBtnCancel = new QPushButton("Cancel");
    BitBtnAbort = new QPushButton("Abort");
    BitBtnHelp = new QPushButton("Help");
    BitBtnOK->setDefault(true);
    connect(BitBtnOK, &QPushButton::clicked, this, &TFormConfig::BitBtnOKClick);
    connect(BitBtnCancel, &QPushButton::clicked, this, &TFormConfig::BitBtnCancelClick);
    connect(BitBtnAbort, &QPushButton::clicked, this, &TFormConfig::BitBtnAbortClick);
    connect(BitBtnHelp, &QPushButton::clicked, this, &TFormConfig::BitBtnHelpClick);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {BitBtnOK, BitBtnCancel, BitBtnAbort, BitBtnHelp})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControl);
    layout->addLayout(buttons);

    // What Cancel puts back.
    if (ChannelInfo) {
        SavedAntenna = ChannelInfo->Antenna;
        SavedCable = ChannelInfo->Cable;
        SavedMemory = ChannelInfo->Memory;
        SavedFM = ChannelInfo->FMMemory;
        SavedMode = ChannelInfo->Mode;
        SavedChannel = ChannelInfo->CurrentNumber();
    }
    if (MultiLangInfo)
        SavedLanguage = MultiLangInfo->LanguageName;
    if (CaptureInfo) {
        SavedFMMode = CaptureInfo->FMMode;
        SavedFMFrequency = CaptureInfo->FMFrequency;
    }
    LoadValues();
    ApplyLanguage();
}

void TFormConfig::ApplyLanguage()
{
    ConfigCaption(this, "Setup");
    const char *pageKeys[] = {"TVTuner", "Preview", "Capture", "Video", "Other", "FM"};
    for (int page = 0; page < 6; ++page) {
        const QString text = MultiLangInfo ? MultiLangInfo->Translate(pageKeys[page]) : QString();
        if (!text.isEmpty())
            PageControl->setTabText(page, text);
    }
    ConfigCaption(BitBtnOK, "OK");
    ConfigCaption(BitBtnCancel, "Cancel");
    ConfigCaption(BitBtnAbort, "Abort");
    ConfigCaption(BitBtnHelp, "Help");
    ConfigCaption(BitBtnAutoScan, "AutoScan");
    ConfigCaption(BitBtnEdit, "Edit");
    ConfigCaption(BitBtnAdd, "Add");
    ConfigCaption(BitBtnDelete, "Delete");
    ConfigCaption(BitBtnDeleteAll, "DeleteAll");
    ConfigCaption(BitBtnDefault, "Default");
    ConfigCaption(RadioButtonNormal, "Normal");
    ConfigCaption(RadioButtonMemory, "Memory");
    ConfigCaption(RadioButtonStandard, "Standard");
    ConfigCaption(RadioButtonCustomize, "Customize");
    ConfigCaption(CheckBoxAlwaysOnTop, "AlwaysOnTop");
    ConfigCaption(CheckBoxPIP, "PIPEnable");
    if (MultiLangInfo)
        setFont(LanguageFont(*MultiLangInfo));
}

void TFormConfig::LoadValues()
{
    LoadCaptureValues();
    LoadVideoValues();
    ChannelGroupClick();
}

void TFormConfig::SelectLanguageNow(const QString &name)
{
    if (!MultiLangInfo || name.isEmpty() || name == MultiLangInfo->LanguageName)
        return;
    MultiLangInfo->SelectLanguage(name);
    ApplyMenuLanguage();
    if (StartupHooks.ApplyPanelLanguage)
        StartupHooks.ApplyPanelLanguage();
    if (TFormSnapshotList *list = SnapshotListForm())
        list->ApplyLanguage();
    ApplyLanguage();
    // The scheduling agent shows its texts in the program's language.
    TellAgentLanguageChanged();
}

void TFormConfig::ComboBoxLanguageChange(int index)
{
    SelectLanguageNow(ComboBoxLanguage->itemText(index));
}

void TFormConfig::BitBtnAbortClick()
{
    if (ChannelInfo && ChannelInfo->Scanning)
        ChannelInfo->ScanAbort = 1;
}

void TFormConfig::BitBtnHelpClick()
{
    SubmitCommand(11);
}

void TFormConfig::BitBtnOKClick()
{
    // A scan started from the grid is still filling the lists: "Abort" ends
    // it first.
    if (Closing || (ChannelInfo && ChannelInfo->Scanning))
        return;
    Closing = true;
    if (FMShown)
        OKInFM();
    else
        OKInTV();
    if (!SaveAllSettings())
        qCWarning(lcUi) << "the settings could not be written";
    accept();
}

void TFormConfig::BitBtnCancelClick()
{
    reject();
}

void TFormConfig::reject()
{
    // Closing during a scan only stops it; the lists are restored once the
    // scan no longer writes into them.
    if (ChannelInfo && ChannelInfo->Scanning) {
        ChannelInfo->ScanAbort = 1;
        return;
    }
    if (!Closing) {
        Closing = true;
        RestoreAtCancel();
    }
    QDialog::reject();
}

void TFormConfig::RestoreAtCancel()
{
    SelectLanguageNow(SavedLanguage);
    if (!ChannelInfo)
        return;
    ChannelInfo->Antenna = SavedAntenna;
    ChannelInfo->Cable = SavedCable;
    ChannelInfo->Memory = SavedMemory;
    ChannelInfo->FMMemory = SavedFM;
    if (FMShown) {
        if (CaptureInfo) {
            CaptureInfo->FMMode = SavedFMMode;
            CaptureInfo->FMFrequency = SavedFMFrequency;
        }
        TuneFMMuted(SavedFMFrequency, true);
        return;
    }
    if (AdjustAttached && CaptureInfo && CaptureInfo->VideoSignalAdjust)
        for (int k = 0; k < 5; ++k)
            CaptureInfo->VideoSignalAdjust->Set(k, SavedAdjust[k]);
    if (ChannelInfo->Mode != SavedMode)
        ChannelInfo->SetMode(SavedMode);
    if (ChannelInfo->Source == SourceTuner)
        TuneIfTuner(SavedChannel);
}

static QWidget *CenteredOnScreen(QWidget *w)
{
    if (QScreen *screen = QGuiApplication::primaryScreen())
        w->move(screen->availableGeometry().center() - w->rect().center());
    return w;
}

bool ShowConfigDialog(QWidget *parent)
{
    TFormConfig dialog(parent);
    // Wide enough for the channel grid's five columns.
    dialog.resize(dialog.sizeHint().expandedTo(QSize(620, 600)));
    CenteredOnScreen(&dialog);
    if (DialogHook())
        DialogHook()(&dialog);
    return dialog.exec() == QDialog::Accepted;
}

void SetConfigDialogHook(std::function<void(TFormConfig *)> hook)
{
    DialogHook() = std::move(hook);
}
