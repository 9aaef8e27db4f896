#include "capture/capture_info.h"

#include <QFile>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "app/oem_info.h"
#include "capture/chip_identity.h"
#include "platform/card_pairing.h"
#include "platform/device_enum.h"
#include "platform/gui_wait.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "platform/text_util.h"
#include "platform/timeshift_index.h"

TCaptureInfo *CaptureInfo = nullptr;

namespace {

// Devices bound by friendly-name fragment, first match in enumeration order.
int FirstContaining(const TSysDevEnum &devices, std::initializer_list<QString> fragments)
{
    for (int i = 0; i < devices.CountFilters(); ++i)
        for (const QString &f : fragments)
            if (ContainsText(devices.FriendlyName(i), f))
                return i;
    return -1;
}

void Bind(TFilter &holder, const TSysDevEnum &devices, int index, TFilterGraph *graph)
{
    holder.SetFilterGraph(nullptr);
    devices.Bind(index, holder);
    holder.SetFilterGraph(graph);
}

} // namespace

TCaptureInfo::TCaptureInfo()
{
    RecordMixerName = [] {
        return AudioAdjustInfo ? AudioAdjustInfo->RecordMixerName() : QString();
    };
    // A standard change across 525/625 lines re-sizes and re-renders the
    // preview; leaving FM renders it again.
    RerenderPreviewHook = [this] { return RerenderPreview(); };
    ReapplyPreviewSize = [this] { return StartPreview(false); };
    DiskFreeBytes = FileSystemFreeBytes;
    CreateGraphObjects();
    ResetCaptureSettings();
    DeleteTimeShiftFiles();
}

TCaptureInfo::~TCaptureInfo()
{
    FreeGraphObjects();
    DeleteTimeShiftFiles();
}

QStringList TCaptureInfo::TimeShiftFiles()
{
    // Without a capture folder there is nothing of ours to delete; a bare
    // "ts0.mpv" would name a file in the working folder.
    if (!MainInfo || MainInfo->CapturePath.isEmpty())
        return {};
    QString video = MainInfo->CapturePath;
    if (!video.endsWith('/'))
        video += '/';
    video += "ts0.mpv";
    return TimeShiftCompanions(video);
}

QStringList TCaptureInfo::TimeShiftCompanions(const QString &file)
{
    if (file.isEmpty())
        return {};
    QString audio = file;
    audio[audio.size() - 1] = 'a';
    return {file, audio, QString::fromStdString(TimeShiftIndexName(file.toStdString()))};
}

void TCaptureInfo::DeleteTimeShiftFiles()
{
    for (const QString &file : TimeShiftFiles())
        if (QFile::exists(file) && !QFile::remove(file))
            qCWarning(lcApp) << "cannot delete" << file;
}

void TCaptureInfo::CreateGraphObjects()
{
    PreviewPin = CapturePin = CapturePin2 = VBIPin2 = AudioCapturePin = nullptr;
    StreamConfig = nullptr;
    Tuner = nullptr;
    TVAudioControl = nullptr;
    VideoDecoderControl = nullptr;

    FilterGraph = std::make_unique<TFilterGraph>();
    FilterGraph->Mode = TFilterGraph::ModeCapture;
    FilterGraph->GraphEdit = false;
    TFilterGraph *graph = FilterGraph.get();
    FilterGraph->OnGraphError = [this, graph](const TGraphError &error) {
        RunOutsideWaits(graph, [this, error] { GraphFailed(error); });
    };
    TVTuner = std::make_unique<TFilter>("TVTuner");
    TVAudio = std::make_unique<TFilter>("TVAudio");
    Crossbar = std::make_unique<TFilter>("Crossbar");
    VCapture = std::make_unique<TFilter>("VCapture");
    ACapture = std::make_unique<TFilter>("ACapture");
    SmartTee = SmartTeeAudio = InfTee = Deinterlacer = OverlayMixer = VideoEncoder = Multiplexer =
        AudioEncoder = VideoDecoder = FileWriter = nullptr;

    RecordTimer = std::make_unique<QTimer>();
    RecordTimer->setInterval(1000);
    RecordTimer->stop();
    // The clock ends or changes the recording: never inside a wait.
    QObject::connect(RecordTimer.get(), &QTimer::timeout, RecordTimer.get(), [this] {
        RunOutsideWaits(RecordTimer.get(), [this] { RecordTick(); }, RecordTimer.get());
    });
    ElapsedSeconds = StartFreeSpace = UsedSpace = 0;
    MPEGAudioBitRate = 224000;
    MPEGAudioChannels = 2;
    MPEGAudioSampleRate = 48000;
    FMStep = 50000;
    CoarseTuning = 0;
    VideoFormats.clear();
    for (QStringList *list : {&VideoDeviceNames, &VideoFormatNames, &AudioDeviceNames,
                              &AudioFormatNames, &AudioSourceNames, &CrossbarInputNames})
        list->clear();
}

void TCaptureInfo::FreeGraphObjects()
{
    CaptureInputFormat = 1;
    VideoFormatIndex = 0;
    PreviewPin = CapturePin = CapturePin2 = VBIPin2 = AudioCapturePin = nullptr;
    StreamConfig = nullptr;
    Tuner = nullptr;
    TVAudioControl = nullptr;
    VideoDecoderControl = nullptr;
    FreePreviewObjects();
    if (FilterGraph) {
        FilterGraph->Stop();
        FilterGraph->SetActive(false);
    }
    for (auto *holder : {&TVTuner, &TVAudio, &Crossbar, &VCapture, &ACapture})
        holder->reset();
    SmartTee = SmartTeeAudio = InfTee = Deinterlacer = OverlayMixer = VideoEncoder = Multiplexer =
        AudioEncoder = VideoDecoder = FileWriter = nullptr;
    VideoFormats.clear();
    for (QStringList *list : {&VideoDeviceNames, &VideoFormatNames, &AudioDeviceNames,
                              &AudioFormatNames, &AudioSourceNames, &CrossbarInputNames})
        list->clear();
    FilterGraph.reset();
    RecordTimer.reset();
}

void TCaptureInfo::ResetCaptureSettings()
{
    ResetCaptureBlock();
    HasTuner = 1;
    HasAuxInput = 0;
    HighQualityPreview = 1;
    VideoDeviceIndex = FindDefaultVideoDevice();
    CaptureInputFormat = 1;
    VideoFormatIndex = 0;
    AudioDeviceIndex = -1;
    AudioCaptureFormatIndex = 0;
    AudioSourceIndex = -1;
    AudioMixLevel = 0.7;
    FMMode = 0;
    TVMinFrequency = 100000;
    TVMaxFrequency = 870000000;
    TVFrequency = 76000000;
    FMMinFrequency = 76000000;
    FMMaxFrequency = 108000000;
    FMFrequency = SavedFMFrequency = 100000000;
    InputType = 2;
    OEMVideoDeviceName = OEMInfo ? OEMInfo->OEMVideoDeviceName : QString();
    OEMTunerName = OEMInfo ? OEMInfo->OEMTunerName : QString();
    OEMTVAudioName = OEMInfo ? OEMInfo->OEMTVAudioName : QString();
    OEMCrossbarName = OEMInfo ? OEMInfo->OEMCrossbarName : QString();
}

int TCaptureInfo::FindDefaultVideoDevice()
{
    const int index = FirstContaining(TSysDevEnum(TDeviceCategory::VideoInput),
                                      {"Philips", "713", "Conexant", "88X", "878", "28"});
    return index < 0 ? 0 : index;
}

bool TCaptureInfo::SelectDevices()
{
    if (!FilterGraph)
        CreateGraphObjects();
    FilterGraph->SetActive(false);
    bool retry = false;
    if (SelectDevicesPass(false, retry))
        return true;
    if (!retry)
        return false;
    return SelectDevicesPass(true, retry);
}

bool TCaptureInfo::SelectDevicesPass(bool secondPass, bool &retry)
{
    retry = false;
    TFilterGraph *graph = FilterGraph.get();
    TMainInfo *main = MainInfo;

    // 1. Video device.
    VideoDeviceNames.clear();
    const TSysDevEnum video(TDeviceCategory::VideoInput);
    if (video.CountFilters() == 0)
        return false;
    if (VideoDeviceIndex < 0 || VideoDeviceIndex >= video.CountFilters())
        VideoDeviceIndex = 0;
    int chosen = -1;
    for (int i = 0; i < video.CountFilters(); ++i) {
        VideoDeviceNames << video.FriendlyName(i);
        // The second pass is the fall-back to device 0; the OEM name would
        // choose the refused device again.
        if (!secondPass && ContainsText(video.FriendlyName(i), OEMVideoDeviceName)) {
            chosen = i;
            if (main)
                IdentifyChip(*main, video.FriendlyName(i));
        }
    }
    // An OEM name that matches nothing falls back to the stored index, so
    // the chip is still identified.
    if (chosen < 0) {
        chosen = VideoDeviceIndex;
        if (main)
            IdentifyChip(*main, video.FriendlyName(chosen));
    }
    ChosenVideoIndex = chosen;
    Bind(*VCapture, video, chosen, graph);
    const QString chipMaker = main ? main->ChipMaker : QString();
    const QString chipName = main ? main->ChipName : QString();

    // 2. Crossbar.
    const TSysDevEnum crossbars(TDeviceCategory::Crossbar);
    if (crossbars.CountFilters() == 0)
        return false;
    const int crossbar = !OEMCrossbarName.isEmpty()
                             ? FirstContaining(crossbars, {OEMCrossbarName})
                             : FirstContaining(crossbars, {chipMaker, chipName});

    // 3. No matching crossbar.
    if (crossbar < 0) {
        if (chosen == 0 || secondPass) {
            HasTuner = 0;
            return false;
        }
        ShowWarningText(
            "This is not a valid capture device for Tuner, try to load default setting...");
        VideoDeviceIndex = 0;
        CaptureInputFormat = 1;
        VideoFormatIndex = 0;
        VCapture->SetFilterGraph(nullptr);
        VCapture->BaseFilter = {};
        retry = true;
        return false;
    }

    // 4. Crossbar holder, audio device.
    Bind(*Crossbar, crossbars, crossbar, graph);
    AudioDeviceNames.clear();
    const TSysDevEnum audio(TDeviceCategory::AudioInput);
    for (int i = 0; i < audio.CountFilters(); ++i)
        AudioDeviceNames << audio.FriendlyName(i);
    // The card's own sound device (saa7134-alsa, cx88-alsa, em28xx audio)
    // comes before the name rules: on Linux it is found by where the card
    // sits, and its name rarely carries the chip's.
    PairedAudioIndex = PairedAudioDevice(video.Moniker(chosen), audio.Entries);
    if (AudioDeviceIndex < 0 || AudioDeviceIndex >= audio.CountFilters()) {
        const QString oemAudio = OEMInfo ? OEMInfo->OEMAudioDeviceName : QString();
        if (!oemAudio.isEmpty())
            AudioDeviceIndex = AudioDeviceNames.indexOf(oemAudio);
        else if (PairedAudioIndex >= 0)
            AudioDeviceIndex = PairedAudioIndex;
        else if (chipName == "713x")
            AudioDeviceIndex =
                AudioDeviceNames.indexOf(RecordMixerName ? RecordMixerName() : QString());
        else
            AudioDeviceIndex = FirstContaining(audio, {chipName});
        if (AudioDeviceIndex < 0)
            AudioDeviceIndex = 0;
    }
    // A card without any audio input device has no audio capture.
    HasAudioCapture = audio.CountFilters() > 0;
    if (HasAudioCapture && !(main && main->ChipFamily == FamilyWis))
        Bind(*ACapture, audio, AudioDeviceIndex, graph);

    // 5. Tuner.
    const TSysDevEnum tuners(TDeviceCategory::TVTuner);
    int tuner = -1;
    if (!OEMTunerName.isEmpty())
        tuner = FirstContaining(tuners, {OEMTunerName});
    else
        tuner = FirstContaining(tuners, {chipMaker, chipName,
                                         chipMaker == "Philips" ? QString("PhTVTune") : QString()});
    if (tuner < 0) {
        HasTuner = 0;
        return true;
    }
    Bind(*TVTuner, tuners, tuner, graph);

    // 6. TV audio.
    const TSysDevEnum tvAudio(TDeviceCategory::TVAudio);
    const int audioIndex = !OEMTVAudioName.isEmpty()
                               ? FirstContaining(tvAudio, {OEMTVAudioName})
                               : FirstContaining(tvAudio, {chipMaker, chipName});
    if (audioIndex < 0) {
        TVAudio.reset();
        return true;
    }
    if (!TVAudio)
        TVAudio = std::make_unique<TFilter>("TVAudio");
    Bind(*TVAudio, tvAudio, audioIndex, graph);
    return true;
}
