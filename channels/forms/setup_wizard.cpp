#include "channels/forms/setup_wizard.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/audio_adjust.h"
#include "app/forms/plain_text.h"
#include "channels/channel_info.h"
#include "channels/countries.h"
#include "channels/country_info.h"
#include "channels/languages.h"
#include "channels/preview_info.h"
#include "channels/tuner_port.h"
#include "platform/log.h"
#include "platform/messages.h"

namespace {

std::function<void(TFormTVSetupWizard *)> &OpenedHook()
{
    static std::function<void(TFormTVSetupWizard *)> hook;
    return hook;
}

// A caption from the language table; buttons also take the hint.
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

QLabel *NewLabel(const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}

} // namespace

void SetWizardOpenedHook(std::function<void(TFormTVSetupWizard *)> hook)
{
    OpenedHook() = std::move(hook);
}

TFormTVSetupWizard::TFormTVSetupWizard(bool firstRun, QWidget *parent)
    : QDialog(parent), FirstRun(firstRun)
{
    setObjectName("FormTVSetupWizard");
    setWindowTitle("TV Setup Wizard");
    TChannelInfo &t = *ChannelInfo;
    CountryChoice = t.CountryCode >= 1 ? t.CountryCode
                    : CountryInfo      ? CountryInfo->LocaleCountry
                                       : 1;
    SystemCode = CountryChoice;
    LowestTV = TunerPort ? TunerPort->TVMinimum() : 45250000;

    BuildPage1();
    BuildPage2();
    BuildPage3();
    BitBtnBack = new QPushButton("Back", this);
    BitBtnNext = new QPushButton("Next", this);
    BitBtnFinish = new QPushButton("Finish", this);
    BitBtnCancel = new QPushButton("Cancel", this);
    BitBtnBack->setObjectName("BitBtnBack");
    BitBtnNext->setObjectName("BitBtnNext");
    BitBtnFinish->setObjectName("BitBtnFinish");
    BitBtnCancel->setObjectName("BitBtnCancel");
    BitBtnNext->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PanelPage1);
    layout->addWidget(PanelPage2);
    layout->addWidget(PanelPage3);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton *b : {BitBtnBack, BitBtnNext, BitBtnFinish, BitBtnCancel})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    connect(BitBtnBack, &QPushButton::clicked, this, &TFormTVSetupWizard::BitBtnBackClick);
    connect(BitBtnNext, &QPushButton::clicked, this, &TFormTVSetupWizard::BitBtnNextClick);
    connect(BitBtnFinish, &QPushButton::clicked, this, &TFormTVSetupWizard::BitBtnFinishClick);
    connect(BitBtnCancel, &QPushButton::clicked, this, &TFormTVSetupWizard::BitBtnCancelClick);
    connect(BitBtnStart, &QPushButton::clicked, this, &TFormTVSetupWizard::BitBtnStartClick);
    connect(BitBtnAbort, &QPushButton::clicked, this, &TFormTVSetupWizard::BitBtnAbortClick);

    // Creation, in order: captions, page 1, the choice, the sound inputs,
    // the preselected country, the cable type, the verify count, Cancel.
    ApplyLanguage();
    Page = 1;
    (t.SystemChoice == StdNone ? RadioButtonCountry : RadioButtonTVSystem)->setChecked(true);
    RadioButtonUseDefaultTable->setChecked(true);
    if (AudioAdjustInfo) {
        ComboBoxTVLiveSound->addItems(AudioAdjustInfo->SpeakerLineNames);
        ComboBoxRecordSound->addItems(AudioAdjustInfo->RecordLineNames);
        ComboBoxTVLiveSound->setCurrentIndex(AudioAdjustInfo->PlaybackLineIndex);
        ComboBoxRecordSound->setCurrentIndex(AudioAdjustInfo->RecordLineIndex);
    }
    const TCountryPosition at =
        PreselectCountry(t.CountryCode, CountryInfo ? CountryInfo->LocaleCountry : 1);
    ComboBoxLetter->setCurrentIndex(at.Letter);
    ComboBoxLetterChange();
    ListBoxCountry->setCurrentRow(at.Entry);
    ComboBoxTVSystem->setCurrentIndex(
        RadioButtonTVSystem->isChecked() && t.SystemChoice < TVSystemCount ? t.SystemChoice : 0);
    if (QAbstractButton *b = CableTypeButtons->button(t.CableType <= 2 ? t.CableType : 2))
        b->setChecked(true);
    SpinEditVerifiedCount->setValue(t.SignalCheckCount);
    BitBtnCancel->setEnabled(!FirstRun);

    Backup.Antenna = t.Antenna;
    Backup.Cable = t.Cable;
    Backup.TableNumber = t.TableNumber;
    Backup.DefaultStandard = t.DefaultStandard;
    Backup.CountryCode = t.CountryCode;
    Backup.SystemChoice = t.SystemChoice;
    Backup.CableType = t.CableType;

    connect(ComboBoxLetter, &QComboBox::currentIndexChanged, this,
            &TFormTVSetupWizard::ComboBoxLetterChange);
    for (QRadioButton *r : {RadioButtonCountry, RadioButtonTVSystem, RadioButtonUseDefaultTable,
                            RadioButtonUseFreeScan})
        connect(r, &QRadioButton::toggled, this, &TFormTVSetupWizard::ApplyChoiceRules);
    ApplyChoiceRules();
    InstallScanEvents();
    ShowPage(1);
}

TFormTVSetupWizard::~TFormTVSetupWizard()
{
    if (ChannelInfo) {
        ChannelInfo->OnTableScanProgress = OldTableProgress;
        ChannelInfo->OnTableScanDone = OldTableDone;
        ChannelInfo->OnFreeScanProgress = OldFreeProgress;
        ChannelInfo->OnFreeScanDone = OldFreeDone;
    }
}

void TFormTVSetupWizard::BuildPage1()
{
    PanelPage1 = new QWidget(this);
    PanelPage1->setObjectName("PanelPage1");
    RadioButtonCountry = new QRadioButton("Country", PanelPage1);
    LabelCountryDesc = NewLabel("Country selected by letter", PanelPage1);
    ComboBoxLetter = new QComboBox(PanelPage1);
    for (int l = 0; l < LetterCount; ++l)
        ComboBoxLetter->addItem(LetterText(l));
    ListBoxCountry = new QListWidget(PanelPage1);
    ListBoxCountry->setMinimumHeight(160);
    RadioButtonTVSystem = new QRadioButton("TV system", PanelPage1);
    ComboBoxTVSystem = new QComboBox(PanelPage1);
    for (int i = 0; i < TVSystemCount; ++i)
        ComboBoxTVSystem->addItem(TVSystemText(i));
    auto *grid = new QGridLayout(PanelPage1);
    grid->addWidget(RadioButtonCountry, 0, 0, 1, 2);
    grid->addWidget(LabelCountryDesc, 1, 0);
    grid->addWidget(ComboBoxLetter, 1, 1);
    grid->addWidget(ListBoxCountry, 2, 0, 1, 2);
    grid->addWidget(RadioButtonTVSystem, 3, 0);
    grid->addWidget(ComboBoxTVSystem, 3, 1);
}

void TFormTVSetupWizard::BuildPage2()
{
    PanelPage2 = new QWidget(this);
    PanelPage2->setObjectName("PanelPage2");
    GroupBoxScan = new QGroupBox("Scan", PanelPage2);
    RadioButtonUseDefaultTable = new QRadioButton("Use default table", GroupBoxScan);
    RadioGroupCableType = new QGroupBox("Cable Type", GroupBoxScan);
    CableTypeButtons = new QButtonGroup(this);
    auto *types = new QHBoxLayout(RadioGroupCableType);
    int id = 0;
    for (const char *text : {"Antenna", "Cable", "Both"}) {
        auto *r = new QRadioButton(text, RadioGroupCableType);
        CableTypeButtons->addButton(r, id++);
        types->addWidget(r);
    }
    RadioButtonUseFreeScan = new QRadioButton("Use free scan", GroupBoxScan);
    auto *scan = new QVBoxLayout(GroupBoxScan);
    scan->addWidget(RadioButtonUseDefaultTable);
    scan->addWidget(RadioGroupCableType);
    scan->addWidget(RadioButtonUseFreeScan);
    LabelTVLiveSound = NewLabel("TV Live Sound:", PanelPage2);
    LabelRecordSound = NewLabel("Record Sound:", PanelPage2);
    ComboBoxTVLiveSound = new QComboBox(PanelPage2);
    ComboBoxRecordSound = new QComboBox(PanelPage2);
    auto *grid = new QGridLayout(PanelPage2);
    grid->addWidget(GroupBoxScan, 0, 0, 1, 2);
    grid->addWidget(LabelTVLiveSound, 1, 0);
    grid->addWidget(ComboBoxTVLiveSound, 1, 1);
    grid->addWidget(LabelRecordSound, 2, 0);
    grid->addWidget(ComboBoxRecordSound, 2, 1);
}

void TFormTVSetupWizard::BuildPage3()
{
    PanelPage3 = new QWidget(this);
    PanelPage3->setObjectName("PanelPage3");
    PanelCableScan = new QWidget(PanelPage3);
    LabelAntenna = NewLabel("Antenna:", PanelCableScan);
    LabelCable = NewLabel("Cable:", PanelCableScan);
    ProgressBarAntenna = new QProgressBar(PanelCableScan);
    ProgressBarCable = new QProgressBar(PanelCableScan);
    for (QProgressBar *b : {ProgressBarAntenna, ProgressBarCable}) {
        b->setRange(0, TVChannelCount);
        b->setValue(0);
    }
    LabelAntennaTuningResult = NewLabel(QString(), PanelCableScan);
    LabelCableTuningResult = NewLabel(QString(), PanelCableScan);
    auto *table = new QGridLayout(PanelCableScan);
    table->addWidget(LabelAntenna, 0, 0);
    table->addWidget(ProgressBarAntenna, 0, 1);
    table->addWidget(LabelAntennaTuningResult, 1, 1);
    table->addWidget(LabelCable, 2, 0);
    table->addWidget(ProgressBarCable, 2, 1);
    table->addWidget(LabelCableTuningResult, 3, 1);

    PanelFreeScan = new QWidget(PanelPage3);
    LabelStepSize = NewLabel("Step Size:", PanelFreeScan);
    ComboBoxScanStep = new QComboBox(PanelFreeScan);
    ComboBoxScanStep->addItem("0.25 MHz");
    ProgressBarFreeScan = new QProgressBar(PanelFreeScan);
    ProgressBarFreeScan->setValue(0);
    LabelFrequency = NewLabel("Frequency:", PanelFreeScan);
    LabelFrequencyValue = NewLabel(QString(), PanelFreeScan);
    MemoFreeScanResult = new QPlainTextEdit(PanelFreeScan);
    MemoFreeScanResult->setReadOnly(true);
    auto *free = new QGridLayout(PanelFreeScan);
    free->addWidget(LabelStepSize, 0, 0);
    free->addWidget(ComboBoxScanStep, 0, 1);
    free->addWidget(ProgressBarFreeScan, 1, 0, 1, 2);
    free->addWidget(LabelFrequency, 2, 0);
    free->addWidget(LabelFrequencyValue, 2, 1);
    free->addWidget(MemoFreeScanResult, 3, 0, 1, 2);

    LabelVerifiedCount = NewLabel("Maximum verified count for channel scaning", PanelPage3);
    SpinEditVerifiedCount = new QSpinBox(PanelPage3);
    SpinEditVerifiedCount->setRange(1, 10);
    const bool verify = ChannelInfo->ShowVerifyCount != 0;
    LabelVerifiedCount->setVisible(verify);
    SpinEditVerifiedCount->setVisible(verify);
    BitBtnStart = new QPushButton("Start", PanelPage3);
    BitBtnAbort = new QPushButton("Abort", PanelPage3);
    BitBtnStart->setObjectName("BitBtnStart");
    BitBtnAbort->setObjectName("BitBtnAbort");

    auto *layout = new QVBoxLayout(PanelPage3);
    layout->addWidget(PanelCableScan);
    layout->addWidget(PanelFreeScan);
    auto *verifyRow = new QHBoxLayout;
    verifyRow->addWidget(LabelVerifiedCount);
    verifyRow->addWidget(SpinEditVerifiedCount);
    verifyRow->addStretch();
    layout->addLayout(verifyRow);
    auto *startRow = new QHBoxLayout;
    startRow->addStretch();
    startRow->addWidget(BitBtnStart);
    startRow->addWidget(BitBtnAbort);
    layout->addLayout(startRow);
}

void TFormTVSetupWizard::ApplyLanguage()
{
    Caption(this, "WizardForm", [this](const QString &s) { setWindowTitle(s); });
    auto button = [](QPushButton *b, const char *key) {
        Caption(
            b, key, [b](const QString &s) { b->setText(s); }, true);
        if (MultiLangInfo)
            b->setFont(LanguageFont(*MultiLangInfo, 1));
    };
    button(BitBtnFinish, "Finish");
    button(BitBtnCancel, "Cancel");
    button(BitBtnBack, "Back");
    button(BitBtnNext, "Next");
    button(BitBtnStart, "Start");
    button(BitBtnAbort, "Abort");
    auto text = [](auto *w, const char *key) {
        Caption(w, key, [w](const QString &s) { w->setText(s); });
    };
    auto title = [](QGroupBox *g, const char *key) {
        Caption(g, key, [g](const QString &s) { g->setTitle(s); });
    };
    title(GroupBoxScan, "Scan");
    title(RadioGroupCableType, "CableType");
    text(LabelStepSize, "StepSize");
    text(RadioButtonCountry, "Country");
    text(LabelCountryDesc, "CountryDesc");
    text(RadioButtonTVSystem, "TVSystem");
    text(static_cast<QRadioButton *>(CableTypeButtons->button(0)), "Antenna");
    text(LabelAntenna, "Antenna");
    text(static_cast<QRadioButton *>(CableTypeButtons->button(1)), "Cable");
    text(LabelCable, "Cable");
    text(static_cast<QRadioButton *>(CableTypeButtons->button(2)), "Both");
    text(RadioButtonUseDefaultTable, "UseDefaultTable");
    text(RadioButtonUseFreeScan, "UseFreeScan");
    text(LabelTVLiveSound, "TVLiveSound");
    text(LabelRecordSound, "RecordingSound");
    text(LabelFrequency, "Frequency");
    text(LabelVerifiedCount, "ScaningVerifyCount");
    const QString total = TranslateKey("TotalScan"), find = TranslateKey("Find");
    if (!total.isEmpty())
        TotalScanText = total;
    if (!find.isEmpty())
        FindText = find;
}

int TFormTVSetupWizard::CableTypeIndex() const
{
    const int id = CableTypeButtons->checkedId();
    return id >= 0 ? id : 2;
}

void TFormTVSetupWizard::ApplyChoiceRules()
{
    const bool byCountry = RadioButtonCountry->isChecked();
    ComboBoxLetter->setEnabled(byCountry);
    ListBoxCountry->setEnabled(byCountry);
    LabelCountryDesc->setEnabled(byCountry);
    ComboBoxTVSystem->setEnabled(!byCountry);
    FreeScanChosen = RadioButtonUseFreeScan->isChecked();
    RadioGroupCableType->setEnabled(!FreeScanChosen);
}

void TFormTVSetupWizard::ComboBoxLetterChange()
{
    ListBoxCountry->clear();
    for (const TCountryEntry &e : CountriesOfLetter(ComboBoxLetter->currentIndex()))
        ListBoxCountry->addItem(e.Text);
    if (ListBoxCountry->count() > 0)
        ListBoxCountry->setCurrentRow(0);
}

void TFormTVSetupWizard::ShowPage(int page)
{
    Page = std::clamp(page, 1, 3);
    PanelPage1->setVisible(Page == 1);
    PanelPage2->setVisible(Page == 2);
    PanelPage3->setVisible(Page == 3);
    BitBtnBack->setVisible(Page >= 2);
    BitBtnNext->setVisible(Page <= 2);
    BitBtnFinish->setVisible(Page == 3);
    if (Page == 3)
        OpenPage3();
}

void TFormTVSetupWizard::BitBtnBackClick()
{
    ShowPage(Page - 1);
}

void TFormTVSetupWizard::BitBtnNextClick()
{
    ShowPage(Page + 1);
}

void TFormTVSetupWizard::OpenPage3()
{
    BitBtnAbort->setEnabled(false);
    PanelFreeScan->setVisible(FreeScanChosen);
    PanelCableScan->setVisible(!FreeScanChosen);
    TTVChoice choice;
    if (RadioButtonCountry->isChecked()) {
        choice = ::CountryChoice(ComboBoxLetter->currentIndex(), ListBoxCountry->currentRow());
        CountryChoice = choice.CountryCode;
    } else {
        choice = TVSystemChoice(ComboBoxTVSystem->currentIndex());
        SystemCode = choice.CountryCode;
    }
    ChosenRecord = choice.Record;
    ChosenStandard = choice.Standard;
    if (FreeScanChosen) {
        MemoFreeScanResult->clear();
        ProgressBarFreeScan->setValue(0);
        return;
    }
    ProgressBarAntenna->setValue(0);
    ProgressBarCable->setValue(0);
    LabelAntennaTuningResult->clear();
    LabelCableTuningResult->clear();
    const int type = CableTypeIndex();
    LabelAntenna->setEnabled(type != 1);
    ProgressBarAntenna->setEnabled(type != 1);
    LabelCable->setEnabled(type != 0);
    ProgressBarCable->setEnabled(type != 0);
    ChannelInfo->LoadFrequencyTable(ChosenRecord);
}

void TFormTVSetupWizard::BitBtnFinishClick()
{
    if (Scanning)
        return;
    TChannelInfo &t = *ChannelInfo;
    t.CableType = FreeScanChosen ? 2 : uint8_t(CableTypeIndex());
    t.SetTableNumber(ChosenRecord);
    if (RadioButtonCountry->isChecked()) {
        t.SystemChoice = StdNone;
        t.SetCountry(CountryChoice);
    } else {
        t.SystemChoice = uint8_t(ComboBoxTVSystem->currentIndex());
        t.SetCountry(SystemCode);
    }
    t.SetDefaultStandard(ChosenStandard);
    t.SetSignalCheckCount(SpinEditVerifiedCount->value());
    if (AudioAdjustInfo) {
        AudioAdjustInfo->PlaybackLineIndex = std::max(0, ComboBoxTVLiveSound->currentIndex());
        AudioAdjustInfo->RecordLineIndex = std::max(0, ComboBoxRecordSound->currentIndex());
        if (TunerPort)
            TunerPort->SelectAudioSource(AudioAdjustInfo->RecordLineIndex);
    }
    accept();
}

void TFormTVSetupWizard::BitBtnCancelClick()
{
    reject();
}

void TFormTVSetupWizard::reject()
{
    // Closing during a scan stops it; the wizard closes once it has ended.
    if (Scanning) {
        ChannelInfo->ScanAbort = 1;
        CloseWanted = true;
        return;
    }
    // The standard goes first: it is written into every entry, and the
    // entries put back keep the standards they had.
    TChannelInfo &t = *ChannelInfo;
    t.SetTableNumber(Backup.TableNumber);
    t.SetDefaultStandard(Backup.DefaultStandard);
    t.Antenna = Backup.Antenna;
    t.Cable = Backup.Cable;
    t.SetCountry(Backup.CountryCode);
    t.SystemChoice = Backup.SystemChoice;
    t.CableType = Backup.CableType;
    QDialog::reject();
}

void TFormTVSetupWizard::keyPressEvent(QKeyEvent *event)
{
    // Escape is Cancel, which the first-run form does not offer.
    if (event->key() == Qt::Key_Escape && (FirstRun || Scanning)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool RunSetupWizard(bool firstRun, QWidget *parent)
{
    if (!ChannelInfo)
        return false;
    TChannelInfo &t = *ChannelInfo;
    const int32_t n = t.CurrentNumber();
    const uint8_t before = StandardIndexFromBit(TunerPort ? TunerPort->TVStandard() : 0);
    const int32_t codeBefore = t.CountryCode;
    if (firstRun && CountryInfo)
        t.SetCountry(CountryInfo->LocaleCountry);
    bool finished = false;
    {
        TFormTVSetupWizard wizard(firstRun, parent);
        if (OpenedHook())
            OpenedHook()(&wizard);
        finished = wizard.exec() == QDialog::Accepted;
    }
    // A first-run wizard closed without Finish (the session ended) leaves
    // the table unconfigured, so that the next start asks again.
    if (firstRun && !finished)
        t.SetCountry(codeBefore);
    if (firstRun) {
        t.SetMode(t.CableType == 1 ? ModeCable : ModeAntenna);
        t.CompositeStandard = t.DefaultStandard;
        t.SVideoStandard = t.DefaultStandard;
    }
    if (before != t.DefaultStandard) {
        ApplyStandard(t.DefaultStandard);
        if (!firstRun)
            ShowWarning(2010);
    }
    t.SetChannel(1);
    t.SetChannel(n);
    // What the scan found survives a crash or a killed session.
    if (finished)
        t.SaveChannelSettings(PreviewInfo);
    return finished;
}
