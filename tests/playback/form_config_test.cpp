// The settings dialog on the virtual card: which pages each mode shows, the
// limits of its controls, the capture profiles, what OK stores (read back
// from the settings file) and what Cancel puts back.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "app/main_settings.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "app/startup.h"
#include "capture/capture_info.h"
#include "capture/engine_tuner_port.h"
#include "capture/video_signal_adjust.h"
#include "channels/channel_info.h"
#include "channels/forms/channel_dialogs.h"
#include "channels/forms/frequency_editor.h"
#include "channels/languages.h"
#include "channels/preview_info.h"
#include "channels/tuner_port.h"
#include "platform/filter_registry.h"
#include "platform/gui_wait.h"
#include "platform/instance_channel.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"
#include "playback/config_rules.h"
#include "playback/forms/form_config.h"
#include "recording_presenter.h"
#include "test_env.h"

namespace {

class TShell : public IShellControl
{
public:
    bool FM = false;
    bool Full = false;
    bool FMPanelVisible() const override { return FM; }
    bool FullScreen() const override { return Full; }
};

class FormConfig : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MainInfo = &Main;
        SetWarningPresenter(&Presenter);
        SetGuiWaitFunction([](int) {});
        SetVideoWindowHost(&Host);
        SetRendererOverride({}, "fakesink sync=true");
        SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
        TVirtualCard &card = TVirtualCard::Instance();
        card.LoadStations(QStringLiteral(LYRA_SOURCE_DIR) + "/data/VirtualStations.txt");
        card.Reset();
        ASSERT_TRUE(SetVirtualCardProfile("saa7134"));
        Engine = std::make_unique<TCaptureInfo>();
        CaptureInfo = Engine.get();
        ASSERT_TRUE(Engine->SelectDevices());
        ASSERT_TRUE(Engine->StartPreview(true));
        ASSERT_TRUE(Engine->VideoSignalAdjust && Engine->VideoSignalAdjust->Attached());
        InstallEngineTunerPort();
        Lang = std::make_unique<TMultiLangInfo>(QStringLiteral(LYRA_SOURCE_DIR) +
                                                "/data/Language/Lang.cfg");
        Lang->SelectLanguage("English");
        MultiLangInfo = Lang.get();
        ChannelInfo = &Table;
        PreviewInfo = &Preview;
        AudioAdjustInfo = &Audio;
        Table.Source = SourceTuner;
        Table.Mode = ModeAntenna;
        Table.Antenna[5].Name = "Five";
        Table.Antenna[5].Frequency = Table.Antenna[5].TableFrequency = 77250000;
        Main.CapturePath = TestEnv::NewFolder("rec") + "/";
        Main.AppMode = ModeLive;
        ModeEngines.Shell = &Shell;
        StartupHooks.CaptureSettings = [this]() -> TCaptureSettings * { return Engine.get(); };
        StartupHooks.SaveChannelSettings = [this] { return Table.SaveChannelSettings(&Preview); };
        QFile::remove(MainSettingsPath());
    }
    void TearDown() override
    {
        StartupHooks.CaptureSettings = nullptr;
        StartupHooks.SaveChannelSettings = nullptr;
        ModeEngines.Shell = nullptr;
        TunerPort = nullptr;
        ChannelInfo = nullptr;
        PreviewInfo = nullptr;
        AudioAdjustInfo = nullptr;
        MultiLangInfo = nullptr;
        CaptureInfo = nullptr;
        Engine.reset();
        SetV4l2Backend(nullptr);
        SetVideoWindowHost(nullptr);
        SetRendererOverride({}, {});
        SetGuiWaitFunction(nullptr);
        SetWarningPresenter(nullptr);
        TVirtualCard::Instance().Reset();
        MainInfo = nullptr;
    }

    QStringList VisiblePages(const TFormConfig &d) const
    {
        QStringList pages;
        for (int i = 0; i < d.PageControl->count(); ++i)
            if (d.PageControl->isTabVisible(i))
                pages << d.PageControl->tabText(i);
        return pages;
    }

    TMainInfo Main;
    TRecordingPresenter Presenter;
    std::unique_ptr<TCaptureInfo> Engine;
    std::unique_ptr<TMultiLangInfo> Lang;
    TChannelInfo Table;
    TPreviewInfo Preview{&Table};
    TAudioAdjustInfo Audio;
    TShell Shell;
    TVideoWindowHost Host;
};

TEST_F(FormConfig, PagesFollowTheModeTheSourceAndTheTuner)
{
    {
        TFormConfig d;
        EXPECT_EQ(VisiblePages(d),
                  QStringList({"TV Tuner", "Preview", "Capture", "Video", "Other"}));
        EXPECT_EQ(d.PageControl->currentWidget(), d.TabSheetTVTuner);
    }
    Table.Source = SourceComposite;
    {
        TFormConfig d;
        EXPECT_EQ(VisiblePages(d), QStringList({"Capture", "Video", "Other"}));
        EXPECT_EQ(d.PageControl->currentWidget(), d.TabSheetCapture);
    }
    Table.Source = SourceTuner;
    Engine->HasTuner = 0;
    {
        TFormConfig d;
        EXPECT_EQ(VisiblePages(d), QStringList({"Capture", "Video", "Other"}));
    }
    Engine->HasTuner = 1;
    Shell.FM = true;
    {
        TFormConfig d;
        EXPECT_EQ(VisiblePages(d), QStringList({"FM"}));
        EXPECT_EQ(d.PageControl->currentWidget(), d.TabSheetFM);
    }
}

TEST_F(FormConfig, ControlsKeepTheirLimits)
{
    Shell.Full = true;
    TFormConfig d;
    EXPECT_EQ(d.SpinEditBitRate->minimum(), 500);
    EXPECT_EQ(d.SpinEditBitRate->maximum(), 10000);
    EXPECT_EQ(d.SpinEditBitRate->singleStep(), 50);
    EXPECT_EQ(d.SpinEditTimeLimit->minimum(), 10);
    EXPECT_EQ(d.SpinEditTimeLimit->maximum(), 5000000);
    EXPECT_EQ(d.SpinEditInterval->minimum(), 2);
    EXPECT_EQ(d.SpinEditInterval->maximum(), 20);
    EXPECT_EQ(d.TrackBarRecordLevel->maximum(), 65536);
    d.TrackBarRecordLevel->setValue(32768);
    EXPECT_EQ(d.LabelRecordLevel->text(), "50%");
    d.TrackBarRecordLevel->setValue(65535);
    EXPECT_EQ(d.LabelRecordLevel->text(), "99%");
    EXPECT_EQ(d.ComboBoxDimension->count(), 4);
    EXPECT_EQ(d.ComboBoxLanguage->count(), Lang->LanguageNames.size());
    // The aspect choice is not offered in full screen.
    EXPECT_TRUE(d.ComboBoxAspect->isHidden());

    // The picture sliders span the device's ranges.
    const TVideoSignalAdjust &adjust = *Engine->VideoSignalAdjust;
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(d.TrackBars[k]->minimum(), adjust.Range(k).Minimum) << k;
        EXPECT_EQ(d.TrackBars[k]->maximum(), adjust.Range(k).Maximum) << k;
    }

    // Custom cells only in "Customize" and only inside the dimension.
    d.RadioButtonStandard->setChecked(true);
    EXPECT_FALSE(d.PreviewButtons[0]->isEnabled());
    d.RadioButtonCustomize->setChecked(true);
    d.ComboBoxDimension->setCurrentIndex(1); // 3 x 3
    d.PreviewMethodClick();
    EXPECT_TRUE(d.PreviewButtons[0]->isEnabled());
    EXPECT_TRUE(d.PreviewButtons[12]->isEnabled());
    EXPECT_FALSE(d.PreviewButtons[3]->isEnabled());
    EXPECT_FALSE(d.PreviewButtons[15]->isEnabled());

    // A memory's channel is chosen among the 160 TV channels.
    d.RadioButtonMemory->setChecked(true);
    d.BitBtnAddClick();
    d.MemoryGridDoubleClick(0, 3);
    auto *spin = qobject_cast<QSpinBox *>(d.StringGridMemory->cellWidget(0, 3));
    ASSERT_NE(spin, nullptr);
    EXPECT_EQ(spin->minimum(), 1);
    EXPECT_EQ(spin->maximum(), 160);
}

TEST_F(FormConfig, CaptureProfilesSetAndLockTheirControls)
{
    TFormConfig d;
    d.ComboBoxCaptureFormat->setCurrentIndex(5);
    d.ComboBoxCaptureFormatChange(5); // "VCD (PAL)"
    EXPECT_EQ(d.ComboBoxCaptureSize->currentText(), "352x288");
    EXPECT_EQ(d.SpinEditBitRate->value(), 1150);
    EXPECT_EQ(d.ComboBoxQuality->currentText(), "Normal");
    EXPECT_EQ(d.ComboBoxFrameRate->currentText(), "25");
    for (QWidget *w :
         {static_cast<QWidget *>(d.ComboBoxCaptureSize), static_cast<QWidget *>(d.SpinEditBitRate),
          static_cast<QWidget *>(d.ComboBoxQuality), static_cast<QWidget *>(d.ComboBoxFrameRate)})
        EXPECT_FALSE(w->isEnabled());

    d.ComboBoxCaptureFormat->setCurrentIndex(7);
    d.ComboBoxCaptureFormatChange(7); // "DVD (PAL)": bit rate and quality only
    EXPECT_TRUE(d.SpinEditBitRate->isEnabled());
    EXPECT_TRUE(d.ComboBoxQuality->isEnabled());
    EXPECT_FALSE(d.ComboBoxCaptureSize->isEnabled());

    // Audio only: the audio format replaces the profile, the video
    // controls are locked; back to video, the profile's defaults return.
    d.ComboBoxAudioOption->setCurrentIndex(1);
    d.ComboBoxAudioOptionChange(1);
    EXPECT_TRUE(d.ComboBoxCaptureFormat->isHidden());
    EXPECT_FALSE(d.ComboBoxAudioFormat->isHidden());
    EXPECT_FALSE(d.ComboBoxInputFormat->isEnabled());
    EXPECT_FALSE(d.SpinEditBitRate->isEnabled());
    d.SpinEditBitRate->setValue(9000);
    d.ComboBoxAudioOption->setCurrentIndex(0);
    d.ComboBoxAudioOptionChange(0);
    EXPECT_EQ(d.SpinEditBitRate->value(), 3950);
    EXPECT_FALSE(d.ComboBoxCaptureFormat->isHidden());

    // Switches that enable their boxes.
    d.CheckBoxTimeLimit->setChecked(true);
    EXPECT_TRUE(d.SpinEditTimeLimit->isEnabled());
    d.CheckBoxTimeLimit->setChecked(false);
    EXPECT_FALSE(d.SpinEditTimeLimit->isEnabled());
    d.RadioButtonUserDefine->setChecked(true);
    EXPECT_TRUE(d.EditBaseName->isEnabled());
    d.RadioButtonDateTime->setChecked(true);
    EXPECT_FALSE(d.EditBaseName->isEnabled());
}

TEST_F(FormConfig, EmpiaInputFormatsAndAStoredIndexBeyondThem)
{
    Main.ChipFamily = FamilyEmpia2800;
    Engine->CaptureInputFormat = 2;
    TFormConfig d;
    EXPECT_EQ(d.ComboBoxInputFormat->count(), 2);
    EXPECT_EQ(d.ComboBoxInputFormat->currentText(), "UYVY");
}

TEST_F(FormConfig, OKStoresTheValuesInTheSettingsFile)
{
    const QString folder = TestEnv::NewFolder("capture-here");
    {
        TFormConfig d;
        d.ComboBoxCaptureFormat->setCurrentIndex(0);
        d.ComboBoxCaptureFormatChange(0); // "MPEG 1"
        d.ComboBoxCaptureSize->setCurrentText("352x288");
        d.SpinEditBitRate->setValue(2500);
        d.ComboBoxFrameRate->setCurrentIndex(2);
        d.CheckBoxTimeLimit->setChecked(true);
        d.SpinEditTimeLimit->setValue(600);
        d.RadioButtonUserDefine->setChecked(true);
        d.EditBaseName->setText("news");
        d.EditCapturePath->setText(folder);
        d.CheckBoxPIP->setChecked(true);
        d.CheckBoxSaveTimeShift->setChecked(true);
        d.ComboBoxMPEG4Codec->setCurrentIndex(1);
        d.CheckBoxAlwaysOnTop->setChecked(true);
        d.RadioButtonMemory->setChecked(false);
        d.ComboBoxList->setCurrentIndex(1);
        d.SpinEditInterval->setValue(7);
        d.BitBtnOKClick();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_EQ(Table.Mode, ModeCable);

    TMainInfo main;
    TCaptureSettings capture;
    TMainSettingsContext read;
    read.Main = &main;
    read.Capture = &capture;
    ASSERT_TRUE(LoadMainSettings(MainSettingsPath(), read));
    EXPECT_EQ(capture.CaptureFormat, FormatMPEG1);
    EXPECT_EQ(capture.CaptureWidth, 352);
    EXPECT_EQ(capture.CaptureHeight, 288);
    EXPECT_EQ(capture.BitRate, 2500);
    EXPECT_EQ(capture.FrameRateIndex, 3);
    EXPECT_TRUE(capture.TimeLimitEnabled);
    EXPECT_EQ(capture.TimeLimit, 600);
    EXPECT_FALSE(capture.UseDateTimeFileName);
    EXPECT_EQ(capture.CaptureBaseName, "news");
    EXPECT_TRUE(capture.SaveTimeShiftResult);
    EXPECT_EQ(main.CapturePath, folder + "/");
    EXPECT_EQ(main.PIPPlayback, 1);
    EXPECT_EQ(main.MPEG4Codec, 1);
    EXPECT_EQ(main.AlwaysOnTop, 1);

    // The channel file holds the group and the wall's interval.
    TChannelInfo table;
    TPreviewInfo preview(&table);
    table.LoadChannelSettings(&preview);
    EXPECT_EQ(table.Mode, ModeCable);
    EXPECT_EQ(preview.Interval, 7);
}

TEST_F(FormConfig, EmpiaNarrowsDVDWidthOutsideNTSCAndAFolderThatCannotBeMadeIsKept)
{
    Main.ChipFamily = FamilyEmpia2800;
    Table.SystemChoice = 2;
    Engine->CaptureFormat = FormatDVDNTSC;
    Engine->CaptureWidth = 720;
    Engine->CaptureHeight = 480;
    const QString before = Main.CapturePath;
    TFormConfig d;
    d.EditCapturePath->setText("/proc/no-such-folder/deeper");
    d.BitBtnOKClick();
    EXPECT_EQ(Engine->CaptureWidth, 640);
    EXPECT_EQ(Engine->CaptureHeight, 480);
    EXPECT_EQ(Main.CapturePath, before);
}

TEST_F(FormConfig, CancelRestoresWhatActedAtOnceAndWritesNothing)
{
    TVideoSignalAdjust &adjust = *Engine->VideoSignalAdjust;
    const int brightness = adjust.Brightness();
    const QString language = Lang->LanguageName;
    ASSERT_GE(Lang->LanguageNames.indexOf("German"), 0);
    {
        TFormConfig d;
        // The slider reaches the device at once.
        const int moved = brightness == adjust.Range(0).Minimum ? adjust.Range(0).Maximum
                                                                : adjust.Range(0).Minimum;
        d.TrackBars[0]->setValue(moved);
        EXPECT_EQ(adjust.Brightness(), moved);
        // So does the language.
        d.ComboBoxLanguage->setCurrentIndex(Lang->LanguageNames.indexOf("German"));
        d.ComboBoxLanguageChange(d.ComboBoxLanguage->currentIndex());
        EXPECT_EQ(Lang->LanguageName, "German");
        EXPECT_EQ(d.PageControl->tabText(0), "TV-Tuner");
        EXPECT_EQ(d.BitBtnAutoScan->text(), "Suchlauf");
        // Channel edits in the grid.
        d.StringGridChannel->item(4, 1)->setText("Renamed");
        EXPECT_EQ(Table.Antenna[5].Name, "Renamed");
        d.SpinEditBitRate->setValue(9000);
        // While a scan still writes into the lists, closing only stops it.
        Table.Scanning = 1;
        d.BitBtnCancelClick();
        d.BitBtnOKClick();
        EXPECT_EQ(Table.ScanAbort, 1);
        EXPECT_EQ(Table.Antenna[5].Name, "Renamed");
        EXPECT_EQ(Lang->LanguageName, "German");
        Table.Scanning = 0;
        d.BitBtnCancelClick();
        EXPECT_EQ(d.result(), QDialog::Rejected);
    }
    EXPECT_EQ(adjust.Brightness(), brightness);
    EXPECT_EQ(Lang->LanguageName, language);
    EXPECT_EQ(Table.Antenna[5].Name, "Five");
    EXPECT_NE(Engine->BitRate, 9000);
    EXPECT_FALSE(QFile::exists(MainSettingsPath()));
}

TEST_F(FormConfig, FMPageStoresItsFolderAndTheMemoryFrequencies)
{
    Shell.FM = true;
    const QString folder = TestEnv::NewFolder("fm-here");
    {
        TFormConfig d;
        EXPECT_EQ(d.SpinEditFMFrequency->minimum(), Engine->FMMinFrequency / 1000);
        EXPECT_EQ(d.SpinEditFMFrequency->maximum(), Engine->FMMaxFrequency / 1000);
        d.EditFMPath->setText(folder);
        d.ComboBoxFMOutputFormat->setCurrentIndex(1);
        // A frequency outside the band is refused, one inside kept.
        const int32_t before = Table.FMMemory[1].Frequency;
        d.StringGridFM->item(0, 1)->setText("200");
        EXPECT_EQ(Table.FMMemory[1].Frequency, before);
        d.StringGridFM->item(0, 1)->setText("99.5");
        EXPECT_EQ(Table.FMMemory[1].Frequency, 99500000);
        d.BitBtnOKClick();
    }
    EXPECT_EQ(Main.FMCapturePath, folder + "/");
    EXPECT_EQ(Engine->CaptureAudioFormat, 1);
    {
        TFormConfig d;
        d.StringGridFM->item(0, 1)->setText("101");
        d.BitBtnCancelClick();
    }
    EXPECT_EQ(Table.FMMemory[1].Frequency, 99500000);
}

TEST_F(FormConfig, GridEditorsFineTuneAndTheFrequencyEditor)
{
    TFormConfig d;
    // Fine tune from the frequency column: OK keeps the tuned frequency.
    SetChannelDialogHook([](QDialog *dialog) {
        QTimer::singleShot(0, dialog, [dialog] {
            auto *tune = qobject_cast<TDialogFineTune *>(dialog);
            tune->TrackBarTuning->setValue(2);
            tune->BitBtnOKClick();
        });
    });
    d.ChannelGridDoubleClick(4, 2);
    SetChannelDialogHook(nullptr);
    EXPECT_EQ(Table.Antenna[5].Frequency, 77350000);
    EXPECT_EQ(d.StringGridChannel->item(4, 2)->text(), "77.35");

    // The audio modes offered follow the TV-system code.
    Table.SystemChoice = 1;
    d.ChannelGridDoubleClick(4, 4);
    auto *modes = qobject_cast<QComboBox *>(d.StringGridChannel->cellWidget(4, 4));
    ASSERT_NE(modes, nullptr);
    EXPECT_EQ(modes->itemText(0), "Main");
    EXPECT_EQ(modes->itemText(4), "Both");
    emit modes->activated(3);
    EXPECT_EQ(Table.Antenna[5].AudioMode, 3);
    EXPECT_EQ(d.StringGridChannel->item(4, 4)->text(), "SUB");
    d.ChannelGridDoubleClick(4, 3);
    auto *standards = qobject_cast<QComboBox *>(d.StringGridChannel->cellWidget(4, 3));
    ASSERT_NE(standards, nullptr);
    EXPECT_EQ(standards->count(), 10);
    emit standards->activated(4);
    EXPECT_EQ(Table.Antenna[5].Standard, StdPALI);

    // "Edit" opens the frequency editor; its OK reloads the grid.
    SetFrequencyEditorHook([](TFormEditFrequencyTable *f) {
        QTimer::singleShot(0, f, [f] {
            f->StringGridAntenna->item(4, 2)->setText("Edited");
            f->BitBtnOKClick();
        });
    });
    d.BitBtnEditClick();
    SetFrequencyEditorHook(nullptr);
    EXPECT_EQ(d.StringGridChannel->item(4, 1)->text(), "Edited");

    // Cancel puts every entry back as it was when the dialog opened.
    d.BitBtnCancelClick();
    EXPECT_EQ(Table.Antenna[5].Frequency, 77250000);
    EXPECT_EQ(Table.Antenna[5].Name, "Five");
    EXPECT_EQ(Table.Antenna[5].AudioMode, 0);
}

TEST_F(FormConfig, ALanguageChangeIsToldToTheSchedulingAgent)
{
    TInstanceServer agent(AgentName);
    ASSERT_TRUE(agent.Listen());
    QList<int> received;
    agent.Handler = [&](const TInstanceMessageData &m) {
        received << m.Number;
        return QByteArray();
    };
    TFormConfig d;
    // Choosing the language already in use tells nobody.
    d.ComboBoxLanguageChange(d.ComboBoxLanguage->currentIndex());
    d.ComboBoxLanguageChange(Lang->LanguageNames.indexOf("French"));
    QElapsedTimer clock;
    clock.start();
    while (received.isEmpty() && clock.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(received, QList<int>{AgentHello});
    EXPECT_EQ(Lang->LanguageName, "French");
}

TEST(ConfigRules, SizesAndTheNarrowingRule)
{
    int32_t w = 0, h = 0;
    EXPECT_EQ(CaptureSizeText(352, 288), "352x288");
    EXPECT_TRUE(ParseCaptureSize("720x576", w, h));
    EXPECT_EQ(w, 720);
    EXPECT_EQ(h, 576);
    EXPECT_FALSE(ParseCaptureSize("", w, h));
    EXPECT_FALSE(ParseCaptureSize("abcxdef", w, h));
    EXPECT_EQ(w, 720); // unchanged on failure

    // Every profile selects one of its own sizes, except where the card
    // family lacks it: then nothing is selected and OK keeps the stored size.
    for (uint8_t family : {uint8_t(FamilyPhilips), uint8_t(FamilyEmpia2800)})
        for (int f = 0; f < CaptureFormatNames().size(); ++f) {
            const TCaptureProfile p = CaptureProfile(f, family);
            ASSERT_FALSE(p.Sizes.isEmpty()) << f;
            const bool absent = f == FormatMPEG2 && family == FamilyEmpia2800;
            EXPECT_EQ(p.Sizes.contains(p.Selected), !absent) << f << " " << int(family);
            EXPECT_GE(p.BitRate, 500);
        }
    EXPECT_EQ(FrameRateNames()[CaptureProfile(FormatSVCDPAL, 1).FrameRateIndex], "25");

    EXPECT_FALSE(NarrowDVDSize(FamilyPhilips, true, 2, 0, 0));
    EXPECT_FALSE(NarrowDVDSize(FamilyEmpia2800, true, 1, 5, 5));
    EXPECT_TRUE(NarrowDVDSize(FamilyEmpia2800, true, 11, 0, 0));
    EXPECT_FALSE(NarrowDVDSize(FamilyEmpia2800, false, 11, 1, 0));
    EXPECT_TRUE(NarrowDVDSize(FamilyEmpia2800, false, 0, 0, 2));
}

} // namespace
