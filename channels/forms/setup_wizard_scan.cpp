// The set-up wizard's scan page at work: the buttons while a scan runs and
// the scan's progress on the page.
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

#include "channels/channel_info.h"
#include "channels/forms/setup_wizard.h"
#include "channels/tuner_port.h"
#include "platform/log.h"

namespace {

// The free scan's step, in Hz.
constexpr int32_t FreeScanStep = 250000;

} // namespace

void TFormTVSetupWizard::ScanControlsIdle()
{
    BitBtnStart->setEnabled(true);
    BitBtnBack->setEnabled(true);
    BitBtnFinish->setEnabled(true);
    BitBtnAbort->setEnabled(false);
    BitBtnCancel->setEnabled(!FirstRun);
}

void TFormTVSetupWizard::InstallScanEvents()
{
    TChannelInfo &t = *ChannelInfo;
    OldTableProgress = t.OnTableScanProgress;
    OldTableDone = t.OnTableScanDone;
    OldFreeProgress = t.OnFreeScanProgress;
    OldFreeDone = t.OnFreeScanDone;
    t.OnTableScanProgress = [this](TChannelInfo *s, int32_t k, bool found, bool antenna) {
        (antenna ? ProgressBarAntenna : ProgressBarCable)->setValue(k);
        if (OldTableProgress)
            OldTableProgress(s, k, found, antenna);
    };
    t.OnTableScanDone = [this](TChannelInfo *s, int32_t last, int32_t count, bool aborted,
                               int32_t pass) {
        const QString text = QString::asprintf("%s = %d, %s %d ", qPrintable(TotalScanText), last,
                                               qPrintable(FindText), count);
        (pass != 0 ? LabelCableTuningResult : LabelAntennaTuningResult)->setText(text);
        if (pass == CableTypeIndex())
            ScanControlsIdle();
        if (OldTableDone)
            OldTableDone(s, last, count, aborted, pass);
    };
    t.OnFreeScanProgress = [this](TChannelInfo *s, int32_t slot, int32_t f, bool found) {
        LabelFrequencyValue->setText(QString::number(f) + " Hz");
        ProgressBarFreeScan->setValue((f - LowestTV) / 1000);
        if (found)
            MemoFreeScanResult->appendPlainText(
                QString::asprintf("Channel %d is set to %d Hz", slot, f));
        if (OldFreeProgress)
            OldFreeProgress(s, slot, f, found);
    };
    t.OnFreeScanDone = [this](TChannelInfo *s, int32_t count, bool aborted) {
        ProgressBarFreeScan->setValue(ProgressBarFreeScan->maximum());
        ComboBoxScanStep->setEnabled(true);
        LabelStepSize->setEnabled(true);
        ScanControlsIdle();
        if (OldFreeDone)
            OldFreeDone(s, count, aborted);
    };
}

void TFormTVSetupWizard::BitBtnStartClick()
{
    if (Scanning)
        return;
    for (QPushButton *b : {BitBtnStart, BitBtnBack, BitBtnFinish, BitBtnCancel})
        b->setEnabled(false);
    BitBtnAbort->setEnabled(true);
    TChannelInfo &t = *ChannelInfo;
    t.SetSignalCheckCount(SpinEditVerifiedCount->value());
    Scanning = true;
    bool ran;
    if (FreeScanChosen) {
        ComboBoxScanStep->setEnabled(false);
        LabelStepSize->setEnabled(false);
        MemoFreeScanResult->clear();
        LowestTV = TunerPort ? TunerPort->TVMinimum() : LowestTV;
        const int32_t highest = TunerPort ? TunerPort->TVMaximum() : LowestTV;
        ProgressBarFreeScan->setRange(0, (highest - LowestTV) / 1000);
        ran = t.FreeScan(FreeScanStep);
    } else {
        ProgressBarAntenna->setValue(0);
        ProgressBarCable->setValue(0);
        LabelAntennaTuningResult->clear();
        LabelCableTuningResult->clear();
        ran = t.ScanTable(CableTypeIndex());
    }
    Scanning = false;
    // A scan stopped other than by Abort (the scan command, closing), or
    // one that could not start, gives the buttons back as well.
    if (!ran)
        qCWarning(lcUi) << "the scan could not start: no tuner";
    ScanControlsIdle();
    if (CloseWanted)
        reject();
}

void TFormTVSetupWizard::BitBtnAbortClick()
{
    ChannelInfo->ScanAbort = 1;
    if (FreeScanChosen) {
        ProgressBarFreeScan->setValue(ProgressBarFreeScan->maximum());
    } else {
        for (QProgressBar *b : {ProgressBarAntenna, ProgressBarCable})
            if (b->isEnabled())
                b->setValue(b->maximum());
    }
    ScanControlsIdle();
}
