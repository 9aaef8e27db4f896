// The set-up wizard on the virtual card: its pages, the scans it runs, and
// what Finish and Cancel leave in the channel table.
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "channels/channel_file.h"
#include "channels/countries.h"
#include "channels/forms/setup_wizard.h"
#include "virtual_scan.h"

namespace {

// Runs the wizard with `drive` called once it is up; restores the hook.
bool RunDriven(bool firstRun, std::function<void(TFormTVSetupWizard *)> drive)
{
    SetWizardOpenedHook([drive](TFormTVSetupWizard *w) {
        QTimer::singleShot(0, w, [w, drive] {
            drive(w);
            // Whatever the drive left open ends as a cancel would.
            if (w->isVisible() && !w->FirstRun)
                w->BitBtnCancel->click();
        });
    });
    const bool finished = RunSetupWizard(firstRun);
    SetWizardOpenedHook(nullptr);
    return finished;
}

void ChooseTVSystem(TFormTVSetupWizard *w, int index)
{
    w->RadioButtonTVSystem->setChecked(true);
    w->ComboBoxTVSystem->setCurrentIndex(index);
}

TEST(SetupWizard, PagesButtonsAndChoiceRules)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    s.Table->CountryCode = 972;
    s.Table->SystemChoice = StdNone;
    RunDriven(false, [&](TFormTVSetupWizard *w) {
        EXPECT_EQ(w->windowTitle(), "TV Setup Wizard");
        EXPECT_EQ(w->Page, 1);
        EXPECT_TRUE(w->RadioButtonCountry->isChecked());
        EXPECT_EQ(w->ComboBoxLetter->currentText(), "I");
        EXPECT_EQ(w->ListBoxCountry->currentItem()->text(), "Israel [Gvanim](PAL-B/G)");
        EXPECT_FALSE(w->ComboBoxTVSystem->isEnabled());
        EXPECT_FALSE(w->BitBtnBack->isVisibleTo(w));
        EXPECT_TRUE(w->BitBtnNext->isVisibleTo(w));
        EXPECT_FALSE(w->BitBtnFinish->isVisibleTo(w));
        EXPECT_TRUE(w->BitBtnCancel->isEnabled());
        // A new letter refills the list and selects its first entry.
        w->ComboBoxLetter->setCurrentIndex(0);
        EXPECT_EQ(w->ListBoxCountry->count(), 11);
        EXPECT_EQ(w->ListBoxCountry->currentRow(), 0);
        ChooseTVSystem(w, 10);
        EXPECT_FALSE(w->ListBoxCountry->isEnabled());
        EXPECT_TRUE(w->ComboBoxTVSystem->isEnabled());

        w->BitBtnNextClick();
        EXPECT_EQ(w->Page, 2);
        EXPECT_TRUE(w->RadioButtonUseDefaultTable->isChecked());
        EXPECT_EQ(w->CableTypeIndex(), 2);
        w->RadioButtonUseFreeScan->setChecked(true);
        EXPECT_FALSE(w->RadioGroupCableType->isEnabled());
        w->RadioButtonUseDefaultTable->setChecked(true);
        EXPECT_TRUE(w->RadioGroupCableType->isEnabled());

        w->BitBtnNextClick();
        EXPECT_EQ(w->Page, 3);
        EXPECT_TRUE(w->BitBtnFinish->isVisibleTo(w));
        EXPECT_FALSE(w->BitBtnNext->isVisibleTo(w));
        EXPECT_FALSE(w->BitBtnAbort->isEnabled());
        // "PAL/SECAM": code 36, record 21, SECAM-D/K.
        EXPECT_EQ(w->SystemCode, 36);
        EXPECT_EQ(w->ChosenRecord, 21);
        EXPECT_EQ(w->ChosenStandard, StdSECAMDK);
        EXPECT_EQ(s.Table->Antenna[1].TableFrequency, 49750000); // R1, disabled
        EXPECT_EQ(s.Table->Antenna[1].Enabled, 0);
        EXPECT_FALSE(w->LabelVerifiedCount->isVisibleTo(w)); // no MaxAutoScan.cfg
        w->BitBtnBackClick();
        EXPECT_EQ(w->Page, 2);
    });
}

TEST(SetupWizard, TableScanAndFinishStoreTheChoiceAndTheFile)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    QFile::remove(ProgramFolder::File("QPAVO2.cfg"));
    QStringList labels;
    const bool finished = RunDriven(false, [&](TFormTVSetupWizard *w) {
        ChooseTVSystem(w, 0); // NTSC: code 1, record 0
        w->BitBtnNextClick();
        w->BitBtnNextClick();
        w->BitBtnStartClick();
        labels << w->LabelAntennaTuningResult->text() << w->LabelCableTuningResult->text();
        EXPECT_EQ(w->ProgressBarAntenna->value(), 160);
        EXPECT_TRUE(w->BitBtnFinish->isEnabled());
        EXPECT_FALSE(w->BitBtnAbort->isEnabled());
        w->BitBtnFinishClick();
    });
    ASSERT_TRUE(finished);
    const std::set<int> antenna{2, 3, 4, 5, 6, 7, 9, 14, 18};
    ASSERT_EQ(labels.size(), 2);
    EXPECT_EQ(labels[0], "Total scan = 160, Find 9 ");
    EXPECT_EQ(labels[1],
              QString("Total scan = 160, Find %1 ").arg(s.LockingChannels(s.Table->Cable).size()));
    TChannelInfo &t = *s.Table;
    EXPECT_EQ(t.CableType, 2);
    EXPECT_EQ(t.TableNumber, 0);
    EXPECT_EQ(t.SystemChoice, 0);
    EXPECT_EQ(t.CountryCode, 1);
    EXPECT_EQ(t.DefaultStandard, StdNTSCM);
    EXPECT_EQ(TVirtualScanScope::Enabled(t.Antenna), antenna);

    // Finish wrote the channel file with what the scan found.
    QFile file(ProgramFolder::File("QPAVO2.cfg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    TChannelFileData data;
    ASSERT_EQ(ReadChannelFile(&file, data), TChannelFileStatus::Ok);
    EXPECT_EQ(TVirtualScanScope::Enabled(data.Antenna), antenna);
    EXPECT_EQ(data.Antenna[2].Frequency, 55250000);
    EXPECT_EQ(data.CountryCode, 1);
}

TEST(SetupWizard, CancelRestoresAllEntriesAndTheFiveFields)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    TChannelInfo &t = *s.Table;
    for (int k = 1; k <= TVChannelCount; ++k) {
        t.Antenna[k] = TTVChannel{uint8_t(k % 2),        uint8_t(k % 3 == 0),  uint8_t(k % 10),
                                  uint8_t(k % 5),        50000000 + k * 1000,  50000000 + k,
                                  QString("A%1").arg(k), QString("x%1").arg(k)};
        t.Cable[k] = TTVChannel{uint8_t(k % 3 == 1),   0,
                                uint8_t((k + 3) % 10), 1,
                                100000000 + k * 7,     100000000 + k * 7,
                                QString("C%1").arg(k), QString()};
    }
    t.TableNumber = 5;
    t.DefaultStandard = StdPALI;
    t.CountryCode = 44;
    t.SystemChoice = 4;
    t.CableType = 1;
    const TTVList antenna = t.Antenna, cable = t.Cable;
    RunDriven(false, [&](TFormTVSetupWizard *w) {
        ChooseTVSystem(w, 0);
        w->BitBtnNextClick();
        w->RadioButtonUseDefaultTable->setChecked(true);
        static_cast<QRadioButton *>(w->CableTypeButtons->button(2))->setChecked(true);
        w->BitBtnNextClick();
        w->BitBtnStartClick();
        EXPECT_EQ(t.Antenna[2].Enabled, 1);
        w->BitBtnCancelClick();
    });
    auto same = [](const TTVChannel &a, const TTVChannel &b) {
        return a.Enabled == b.Enabled && a.SignalFound == b.SignalFound &&
               a.Standard == b.Standard && a.AudioMode == b.AudioMode &&
               a.Frequency == b.Frequency && a.TableFrequency == b.TableFrequency &&
               a.Name == b.Name && a.Extra == b.Extra;
    };
    for (int k = 1; k <= TVChannelCount; ++k) {
        EXPECT_TRUE(same(t.Antenna[k], antenna[k])) << "antenna " << k;
        EXPECT_TRUE(same(t.Cable[k], cable[k])) << "cable " << k;
    }
    EXPECT_EQ(t.TableNumber, 5);
    EXPECT_EQ(t.DefaultStandard, StdPALI);
    EXPECT_EQ(t.CountryCode, 44);
    EXPECT_EQ(t.SystemChoice, 4);
    EXPECT_EQ(t.CableType, 1);
}

TEST(SetupWizard, ClosingOrAbortingDuringAScanStopsIt)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    TChannelInfo &t = *s.Table;
    t.OnTableScanProgress = [](TChannelInfo *, int32_t, bool, bool) {};
    QString label, cableLabel;
    RunDriven(false, [&](TFormTVSetupWizard *w) {
        ChooseTVSystem(w, 0);
        w->BitBtnNextClick();
        w->BitBtnNextClick();
        // Abort during the antenna pass: the cable pass never runs, the
        // bars jump to their ends and the buttons come back.
        auto before = t.OnTableScanProgress;
        t.OnTableScanProgress = [&, w, before](TChannelInfo *c, int32_t k, bool f, bool a) {
            before(c, k, f, a);
            if (k == 10)
                w->BitBtnAbortClick();
        };
        w->BitBtnStartClick();
        label = w->LabelAntennaTuningResult->text();
        cableLabel = w->LabelCableTuningResult->text();
        EXPECT_EQ(w->ProgressBarCable->value(), 160);
        EXPECT_TRUE(w->BitBtnStart->isEnabled());
        EXPECT_TRUE(w->BitBtnCancel->isEnabled());
        // Closing the window during a scan stops it, then closes.
        t.OnTableScanProgress = [w](TChannelInfo *, int32_t k, bool, bool) {
            if (k == 3)
                w->close();
        };
        w->BitBtnStartClick();
        EXPECT_FALSE(w->isVisible());
    });
    // The abort is seen at entry 11, which is tested and counted.
    EXPECT_EQ(label, "Total scan = 10, Find 7 ");
    EXPECT_TRUE(cableLabel.isEmpty());
    EXPECT_EQ(t.Scanning, 0);
    // The wizard gave the events back.
    EXPECT_TRUE(bool(t.OnTableScanProgress));
}

TEST(SetupWizard, FreeScanFillsTheMemoAndFinishStoresBothLists)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    s.Engine->TVMinFrequency = 44000000;
    s.Engine->TVMaxFrequency = 70000000;
    QStringList memo;
    const bool finished = RunDriven(false, [&](TFormTVSetupWizard *w) {
        ChooseTVSystem(w, 0);
        w->BitBtnNextClick();
        static_cast<QRadioButton *>(w->CableTypeButtons->button(0))->setChecked(true);
        w->RadioButtonUseFreeScan->setChecked(true);
        w->BitBtnNextClick();
        EXPECT_TRUE(w->PanelFreeScan->isVisibleTo(w));
        EXPECT_FALSE(w->PanelCableScan->isVisibleTo(w));
        EXPECT_EQ(w->ComboBoxScanStep->currentText(), "0.25 MHz");
        w->BitBtnStartClick();
        memo = w->MemoFreeScanResult->toPlainText().split('\n');
        EXPECT_EQ(w->ProgressBarFreeScan->value(), w->ProgressBarFreeScan->maximum());
        EXPECT_EQ(w->ProgressBarFreeScan->maximum(), (70000000 - 44000000) / 1000);
        EXPECT_TRUE(w->ComboBoxScanStep->isEnabled());
        w->BitBtnFinishClick();
    });
    ASSERT_TRUE(finished);
    EXPECT_EQ(memo,
              (QStringList{"Channel 1 is set to 48250000 Hz", "Channel 2 is set to 55250000 Hz",
                           "Channel 3 is set to 61250000 Hz", "Channel 4 is set to 67250000 Hz"}));
    // A free scan stores cable type "both", whatever the buttons show.
    EXPECT_EQ(s.Table->CableType, 2);
    EXPECT_EQ(s.Table->Cable[4].Frequency, 67250000);
}

TEST(SetupWizard, FirstRunFormHasNoCancelAndEndsOnTheChosenBand)
{
    TVirtualScanScope s;
    ASSERT_TRUE(s.Ready);
    QFile verify(ProgramFolder::File("MaxAutoScan.cfg"));
    ASSERT_TRUE(verify.open(QIODevice::WriteOnly));
    verify.close();
    s.Table->ResetToDefaults();
    ASSERT_TRUE(s.Table->IsUnconfigured());
    const bool finished = RunDriven(true, [&](TFormTVSetupWizard *w) {
        EXPECT_FALSE(w->BitBtnCancel->isEnabled());
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &escape); // nothing to cancel to
        EXPECT_TRUE(w->isVisible());
        ChooseTVSystem(w, 0);
        w->BitBtnNextClick();
        static_cast<QRadioButton *>(w->CableTypeButtons->button(1))->setChecked(true);
        w->BitBtnNextClick();
        EXPECT_TRUE(w->LabelVerifiedCount->isVisibleTo(w));
        w->SpinEditVerifiedCount->setValue(2);
        w->BitBtnStartClick();
        EXPECT_FALSE(w->BitBtnCancel->isEnabled());
        w->BitBtnFinishClick();
    });
    QFile::remove(ProgramFolder::File("MaxAutoScan.cfg"));
    ASSERT_TRUE(finished);
    EXPECT_FALSE(s.Table->IsUnconfigured());
    EXPECT_EQ(s.Table->Mode, ModeCable);
    EXPECT_EQ(s.Table->SignalCheckCount, 2);
    EXPECT_EQ(s.Engine->SignalCheckCount, 2);
    EXPECT_EQ(s.Table->CompositeStandard, s.Table->DefaultStandard);
    EXPECT_EQ(TVirtualScanScope::Enabled(s.Table->Cable), s.LockingChannels(s.Table->Cable));
}

} // namespace
