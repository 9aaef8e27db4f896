// What OK stores, in the order the settings depend on each other: the
// simple options first, then the capture block, the picture, the channel
// group and standards (with a re-tune), the preview wall, and last the
// device or preview rebuild the changes need.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

#include "app/audio_adjust.h"
#include "app/commands.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "capture/capture_info.h"
#include "capture/video_signal_adjust.h"
#include "channels/channel_info.h"
#include "channels/preview_info.h"
#include "playback/config_rules.h"
#include "playback/forms/form_config.h"

void TFormConfig::OKInFM()
{
    if (MainInfo)
        MainInfo->FMCapturePath = AcceptFolder(EditFMPath->text(), MainInfo->FMCapturePath);
    if (CaptureInfo) {
        TCaptureInfo &c = *CaptureInfo;
        const int source = ComboBoxFMAudioSource->currentIndex();
        if (source >= 0 && source != c.AudioSourceIndex)
            c.SelectAudioSource(source);
        c.AudioCaptureFormatIndex = ComboBoxFMCaptureFormat->currentIndex();
        c.CaptureAudioFormat = ComboBoxFMOutputFormat->currentIndex();
    }
    if (AudioAdjustInfo)
        AudioAdjustInfo->SetRecordVolume(TrackBarFMRecordLevel->value());
    TuneFMMuted(SpinEditFMFrequency->value() * 1000, true);
}

void TFormConfig::OKInTV()
{
    if (!MainInfo || !CaptureInfo)
        return;
    TMainInfo &m = *MainInfo;
    TCaptureInfo &c = *CaptureInfo;
    m.PIPPlayback = CheckBoxPIP->isChecked();
    m.CapturePath = AcceptFolder(EditCapturePath->text(), m.CapturePath);
    m.AlwaysOnTop = CheckBoxAlwaysOnTop->isChecked();
    // Not offered in full screen: the stored ratio stays.
    if (!ComboBoxAspect->isHidden())
        m.AspectRatio = ComboBoxAspect->currentIndex();
    const bool overlayChanged = m.DoNotUseOverlay != uint8_t(CheckBoxNoOverlay->isChecked());
    m.DoNotUseOverlay = CheckBoxNoOverlay->isChecked();
    m.MPEG4Codec = ComboBoxMPEG4Codec->currentIndex();
    const bool videoDeviceChanged = ComboBoxVideoDevice->currentIndex() >= 0 &&
                                    ComboBoxVideoDevice->currentIndex() != c.VideoDeviceIndex;
    if (ComboBoxVideoDevice->currentIndex() >= 0)
        c.VideoDeviceIndex = ComboBoxVideoDevice->currentIndex();
    const bool inputFormatChanged = ComboBoxInputFormat->currentIndex() != c.CaptureInputFormat;
    c.CaptureInputFormat = ComboBoxInputFormat->currentIndex();
    const int32_t oldAudioDevice = c.AudioDeviceIndex;
    StoreCapturePage();
    const bool audioDeviceChanged = c.AudioDeviceIndex != oldAudioDevice;
    if (c.VideoSignalAdjust && c.VideoSignalAdjust->Attached())
        c.VideoSignalAdjust->StoreAdjustments();
    if (c.CaptureWidth == 720 && c.CaptureHeight == 480 && ChannelInfo &&
        NarrowDVDSize(m.ChipFamily, c.HasTuner, ChannelInfo->SystemChoice,
                      ChannelInfo->CompositeStandard, ChannelInfo->SVideoStandard))
        c.CaptureWidth = 640;
    const bool highQualityChanged =
        c.HighQualityPreview != uint8_t(CheckBoxHighQuality->isChecked());
    c.HighQualityPreview = CheckBoxHighQuality->isChecked();

    if (ChannelInfo) {
        TChannelInfo &t = *ChannelInfo;
        if (TunerPageShown) {
            const uint8_t mode = RadioButtonMemory->isChecked()      ? ModeMemory
                                 : ComboBoxList->currentIndex() == 1 ? ModeCable
                                                                     : ModeAntenna;
            t.SetMode(mode);
        }
        t.CompositeStandard = uint8_t(ComboBoxCompositeStandard->currentIndex());
        t.SVideoStandard = uint8_t(ComboBoxSVideoStandard->currentIndex());
        // The grids may have changed what the current channel tunes to.
        if (t.Source == SourceTuner)
            TuneIfTuner(t.CurrentNumber());
        else if (t.Source == SourceComposite)
            ApplyStandard(t.CompositeStandard);
        else if (t.Source == SourceSVideo)
            ApplyStandard(t.SVideoStandard);
    }
    if (PreviewInfo && TunerPageShown) {
        PreviewInfo->SetCustomize(RadioButtonCustomize->isChecked());
        PreviewInfo->SetDimension(ComboBoxDimension->currentIndex() + 2);
        PreviewInfo->Interval = SpinEditInterval->value();
        PreviewInfo->CustomCells = CustomCells;
    }
    if (AudioAdjustInfo)
        AudioAdjustInfo->SetRecordVolume(TrackBarRecordLevel->value());

    if (videoDeviceChanged || audioDeviceChanged) {
        if (c.ReselectDevices())
            RestoreSourceAsAtStart(c.HasTuner);
    } else if (overlayChanged || inputFormatChanged || highQualityChanged) {
        IShellControl *shell = ModeEngines.Shell;
        const bool fullScreen = shell && shell->FullScreen();
        if (fullScreen)
            shell->SetFullScreen(false);
        if (ModeEngines.Capture)
            ModeEngines.Capture->RestartPreview();
        if (fullScreen)
            shell->SetFullScreen(true);
    }
}
