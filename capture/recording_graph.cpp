// The recording graph: the capture branch rendered to encoder, multiplexer
// and writer for each kind of recording, and the names of the files.
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "app/main_info.h"
#include "capture/preview_util.h"
#include "platform/media_filters.h"
#include "platform/text_util.h"

namespace {

using Dir = TPinDirection;

void Warn(const TCaptureInfo &engine, int number)
{
    if (!engine.Quiet)
        ShowWarning(number);
    else
        qCWarning(lcApp) << "recording: message" << number << "(quiet)";
}

void WarnText(const TCaptureInfo &engine, const QString &text)
{
    if (!engine.Quiet)
        ShowWarningText(text);
    else
        qCWarning(lcApp) << "recording:" << text << "(quiet)";
}

TFilterPtr Find(const TCaptureInfo &engine, const QString &name)
{
    return FindPreviewFilter(engine, name);
}

// The video compressor of the MPEG4Codec choice: 0 the last compressor
// whose name has "Divx", 1..3 the Microsoft MPEG-4 codecs V3, V2, V1.
TFilterPtr FindMpeg4Compressor(const TCaptureInfo &engine, int codec)
{
    static const char *const names[] = {"Microsoft MPEG-4 Video Codec V3",
                                        "Microsoft MPEG-4 Video Codec V2",
                                        "Microsoft MPEG-4 Video Codec V1"};
    if (codec >= 1 && codec <= 3)
        return Find(engine, names[codec - 1]);
    if (engine.FindFilter)
        return engine.FindFilter("Divx");
    const TRegisteredFilter *last = nullptr;
    for (const TRegisteredFilter &entry : RegisteredFilters())
        if (entry.Category == TRegistryCategory::VideoCompressor &&
            ContainsText(entry.FriendlyName, "Divx"))
            last = &entry;
    return last ? last->Create() : nullptr;
}

// A compressor built from libavcodec takes the recording's bit rate (its
// own default is a preview-grade 200 kbit/s).
void SetCompressorBitRate(TGraphFilter *compressor, int kbits)
{
    GstElement *encoder = gst_bin_get_by_name(GST_BIN(compressor->Bin()), "last");
    if (!encoder)
        return;
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(encoder), "bitrate"))
        g_object_set(encoder, "bitrate", gint64(kbits) * 1000, nullptr);
    gst_object_unref(encoder);
}

// Unattended runs always get a name of their own; a time shift records
// into "ts0.mpv" unless its result is kept.
QString RecordingFileName(const TCaptureInfo &engine, int kind)
{
    if (engine.Quiet)
        return engine.BuildCaptureFileName(!engine.UseDateTimeFileName, engine.CaptureBaseName,
                                           kind);
    if (engine.RecordPurpose != 1 || engine.SaveTimeShiftResult)
        return engine.BuildCaptureFileName(!engine.UseDateTimeFileName,
                                           engine.RecordFolder() + engine.CaptureBaseName, kind);
    const QStringList files = TCaptureInfo::TimeShiftFiles();
    return files.isEmpty() ? QString() : files.first();
}

TPin *InputOf(TGraphFilter *filter, const QString &name = {})
{
    if (!filter)
        return nullptr;
    return name.isEmpty() ? TFilterGraph::FindPin(filter, Dir::Input, TPinCategory::None,
                                                  TMediaKind::Any, 0, true)
                          : filter->PinByName(name);
}

TPin *OutputOf(TGraphFilter *filter)
{
    return TFilterGraph::FindPin(filter, Dir::Output);
}

} // namespace

int TCaptureInfo::RecordKind() const
{
    if (FMMode)
        return CaptureAudioFormat == 1 ? KindMP3 : KindWave;
    if (RecordPurpose == 1)
        return KindTimeShift;
    if (CaptureAudioOption == 1)
        return CaptureAudioFormat == 1 ? KindMP3 : KindWave;
    switch (CaptureFormat) {
    case FormatMPEG1:
    case FormatVCDNTSC:
    case FormatVCDPAL:
        return KindMPEG1;
    case FormatMPEG4:
        return KindMPEG4;
    case FormatAVI:
        return KindAVI;
    default:
        return KindMPEG2;
    }
}

QString TCaptureInfo::RecordExtension(int kind)
{
    switch (kind) {
    case KindMPEG4:
    case KindAVI:
        return "avi";
    case KindWave:
        return "wav";
    case KindMP3:
        return "mp3";
    case KindTimeShift:
        return "mpv";
    default:
        return "mpg";
    }
}

QString TCaptureInfo::RecordFolder() const
{
    const bool fm = FMPanelVisible ? FMPanelVisible() : FMMode != 0;
    QString folder = MainInfo ? (fm ? MainInfo->FMCapturePath : MainInfo->CapturePath) : QString();
    if (!folder.isEmpty() && !folder.endsWith('/'))
        folder += '/';
    return folder;
}

QString TCaptureInfo::BuildCaptureFileName(bool numbered, const QString &base, int kind) const
{
    const QString extension = RecordExtension(kind);
    const bool hasFolder = base.contains('/');
    // A name without a folder goes to the folder of the mode's recordings.
    const QString folder = hasFolder ? QString() : RecordFolder();
    QString name;
    if (numbered) {
        name = base + "." + extension;
        for (int n = 1; QFileInfo::exists(folder + name); ++n)
            name = base + "_" + QString::number(n) + "." + extension;
    } else {
        const QDateTime now = QDateTime::currentDateTime();
        const QDate d = now.date();
        const QTime t = now.time();
        name = QString::asprintf("%4d%2.2d%2.2d_%2.2d%2.2d%2.2d", d.year(), d.month(), d.day(),
                                 t.hour(), t.minute(), t.second()) +
               "." + extension;
        // The date name has no folder of its own.
        return RecordFolder() + name;
    }
    return folder + name;
}

bool TCaptureInfo::BuildWisRecording()
{
    TFilterGraph *graph = FilterGraph.get();
    if (Capturing || !graph)
        return false;
    RemoveDownstream(CapturePin);
    RemoveDownstream(AudioCapturePin);
    RemoveDownstream(PreviewPin);
    VideoDecoder.reset();
    SetWisVideoFormat(CaptureFormat, CaptureWidth, CaptureHeight);
    const int wisKind = (CaptureFormat == FormatMPEG1 || CaptureFormat == FormatVCDNTSC ||
                         CaptureFormat == FormatVCDPAL)
                            ? 0
                        : (CaptureFormat == FormatMPEG4 || CaptureFormat == FormatAVI) ? 2
                                                                                       : 1;
    if (HasPreviewPin && !RenderWisVideo(wisKind))
        Warn(*this, 1002);

    const bool avi = wisKind == 2;
    Multiplexer = Find(*this, avi ? "AVI Mux" : "HT MPEG Multiplexer");
    if (!Multiplexer || !graph->AddFilter(Multiplexer, "MPEGMux")) {
        Multiplexer.reset();
        Warn(*this, 1020);
        return false;
    }
    const bool wantAudio = CaptureAudioOption != 2 && AudioCapturePin;
    if (!avi) {
        TPin *video = Multiplexer->PinByName("Video");
        TPin *audio = Multiplexer->PinByName("Audio");
        if (!video || !graph->ConnectDirect(CapturePin, video)) {
            Warn(*this, 1020);
            return false;
        }
        if (wantAudio) {
            AudioEncoder = Find(*this, "HT MPEG1 Audio Encoder");
            if (!AudioEncoder || !graph->AddFilter(AudioEncoder, "MPEG1AudioEncoder")) {
                AudioEncoder.reset();
                WarnText(*this, "Cannot capture audio");
                return false;
            }
            if (!graph->ConnectDirect(AudioCapturePin, InputOf(AudioEncoder.get())) || !audio ||
                !graph->ConnectDirect(OutputOf(AudioEncoder.get()), audio)) {
                Warn(*this, 1026);
                return false;
            }
        }
    } else {
        if (!graph->ConnectDirect(CapturePin, InputOf(Multiplexer.get())) ||
            (wantAudio && !graph->ConnectDirect(AudioCapturePin, InputOf(Multiplexer.get())))) {
            Warn(*this, 1020);
            return false;
        }
    }
    CaptureFileName = RecordingFileName(*this, RecordKind());
    FileWriter = CreateFileWriter(CaptureFileName);
    if (!FileWriter) {
        WarnText(*this, "Cannot get file writer...");
        return false;
    }
    if (!graph->AddFilter(FileWriter, "File Writer") ||
        !graph->ConnectDirect(OutputOf(Multiplexer.get()), InputOf(FileWriter.get()))) {
        Warn(*this, 1020);
        return false;
    }
    return true;
}

bool TCaptureInfo::BuildRecording()
{
    TFilterGraph *graph = FilterGraph.get();
    if (Capturing || !graph)
        return false;
    const bool timeShift = RecordPurpose == 1;
    const bool is525 = Is525Line();
    const uint8_t family = MainInfo ? MainInfo->ChipFamily : FamilyNone;

    // 1. The capture branch is cut; the capture size is the recording's.
    if (!FMMode) {
        RemoveDownstream(PreviewPin);
        RemoveDownstream(CapturePin);
        if (AudioPath == 0)
            RemoveDownstream(AudioCapturePin);
        if (timeShift)
            SetVideoFormat(ColorFormatKind, is525 ? 320 : 352, is525 ? 240 : 288);
        else
            SetVideoFormat(ColorFormatKind, CaptureWidth, CaptureHeight);
    }

    // 2. The sound source. Linux capture devices have no per-input mix
    // level: the chosen input is enabled, its level is the mixer's.
    if (HasAudioCapture) {
        if (AudioPath == 0) {
            TGraphFilter *audio = ACapture ? ACapture->Object() : nullptr;
            if (auto *mixer = audio ? audio->Query<IAudioInputMixer>() : nullptr;
                mixer && AudioSourceIndex >= 0)
                mixer->PutEnable(AudioSourceIndex, true);
        } else if (!RenderAudioPath(true, false, AudioPath)) {
            WarnText(*this, "Cannot render audio renderer(5002)...");
            return false;
        }
    }

    // 3. The preview beside the recording.
    if (HasPreviewPin && !FMMode)
        RenderPreviewVideo(false, !timeShift && CaptureHeight > 300, false);

    // 4. The file.
    const int kind = RecordKind();
    CaptureFileName = RecordingFileName(*this, kind);

    const bool wantAudio = timeShift || CaptureAudioOption != 2;
    // The sound as it reaches a recording: the audio tee's free output, or
    // the audio capture pin.
    TPin *soundPin = AudioPath != 0 ? AudioTeeCapturePin : AudioCapturePin;

    // 5. MPEG-1/2 through the recorder.
    if (kind == KindMPEG1 || kind == KindMPEG2 || kind == KindTimeShift) {
        VideoEncoder = Find(*this, "videdazir Mpeg1/2 Recorder Filter");
        if (!VideoEncoder || !graph->AddFilter(VideoEncoder, "MPEG")) {
            VideoEncoder.reset();
            Warn(*this, 1018);
            return false;
        }
        TGraphFilter *recorder = VideoEncoder.get();
        if (auto *settings = recorder->Query<IMpegRecorderSettings>()) {
            if (settings->SetMpegType(kind == KindMPEG2 ? 2 : 1) != 0) {
                WarnText(*this, "Cannot set MPEG property...");
                return false;
            }
            int width = CaptureWidth, height = CaptureHeight;
            if (timeShift) {
                settings->SetBitRate(4000000);
                settings->SetQuality(3);
                const bool large = family >= FamilyConexant && family <= FamilyEmpia28x1 && !is525;
                width = large ? 352 : 320;
                height = large ? 288 : 240;
            } else {
                settings->SetBitRate(BitRate * 1000);
                settings->SetQuality(CaptureQuality);
            }
            settings->SetVideoSize(width, height);
            const bool dvd = CaptureFormat == FormatDVDNTSC || CaptureFormat == FormatDVDPAL;
            settings->SetAudioSampleRate(!timeShift && dvd ? 48000 : 44100);
            int rate = FrameRateIndex;
            if (width > 700 && height > 575 && rate > 3)
                rate = 3;
            // The PAL disc profiles are 25 frames/s by definition; their
            // muxers cannot write anything else into a valid disc stream.
            if (!timeShift && (CaptureFormat == FormatVCDPAL || CaptureFormat == FormatSVCDPAL ||
                               CaptureFormat == FormatDVDPAL))
                rate = 3;
            settings->SetFrameRateIndex(rate);
            settings->SetRecordingKind(timeShift, !timeShift);
        }
        auto *sink = recorder->Query<IFileSinkFilter>();
        if (!sink) {
            Warn(*this, 1020);
            return false;
        }
        if (sink->SetFileName(CaptureFileName) != 0) {
            Warn(*this, 1022);
            return false;
        }
        if (auto *tuning = recorder->Query<IMpegEncoderTuning>()) {
            static const struct
            {
                bool S1, S2, S3;
                int R[4];
            } table[] = {{0, 0, 0, {2, 2, 2, 2}},     {0, 0, 0, {2, 2, 2, 2}},
                         {1, 0, 0, {8, 8, 4, 4}},     {1, 1, 0, {16, 16, 8, 8}},
                         {1, 1, 0, {32, 32, 16, 16}}, {1, 1, 1, {32, 32, 16, 16}},
                         {1, 1, 1, {64, 64, 32, 32}}};
            const int quality = std::clamp(CaptureQuality, 0, 6);
            tuning->SetMotionSearch(1);
            tuning->SetKeyInterval(10);
            tuning->SetBPictureCount(1);
            tuning->SetSwitches(table[quality].S1, table[quality].S2, table[quality].S3);
            tuning->SetSearchRanges(table[quality].R[0], table[quality].R[1], table[quality].R[2],
                                    table[quality].R[3]);
        }
        // The recorder takes pictures and sound on named inputs; the graph's
        // automatic rendering would not choose it, so both are connected.
        if (!graph->ConnectDirect(CapturePin, recorder->PinByName("Video"))) {
            qCWarning(lcApp) << "recording:" << graph->LastError();
            WarnText(*this, "Cannot render video capture...");
            return false;
        }
        if (wantAudio && HasAudioCapture) {
            if (!graph->ConnectDirect(soundPin, recorder->PinByName("Audio"))) {
                qCWarning(lcApp) << "recording:" << graph->LastError();
                WarnText(*this, "Cannot render audio capture...");
                return false;
            }
            // The time-shift player plays the sound; the live sound stops.
            if (timeShift && AudioPath != 0 && SmartTeeAudio)
                graph->RemoveDownstreamOfPin(OutputOf(SmartTeeAudio.get()));
        }
        return true;
    }

    // 6. AVI, with or without a compressor.
    if (kind == KindMPEG4 || kind == KindAVI) {
        if (kind == KindMPEG4) {
            VideoEncoder = FindMpeg4Compressor(*this, MainInfo ? MainInfo->MPEG4Codec : 0);
            if (!VideoEncoder || !graph->AddFilter(VideoEncoder, "MPEG4")) {
                VideoEncoder.reset();
                Warn(*this, 1019);
                return false;
            }
            SetCompressorBitRate(VideoEncoder.get(), BitRate);
        }
        TGraphFilter *writer = nullptr;
        TGraphFilter *mux = graph->SetOutputFileName("AVI Mux", CaptureFileName, &writer);
        if (!mux) {
            Warn(*this, 1020);
            return false;
        }
        Multiplexer.reset();
        for (const TFilterPtr &f : graph->Filters()) {
            if (f.get() == mux)
                Multiplexer = f;
            else if (f.get() == writer)
                FileWriter = f;
        }
        // The frame rate of the recording is the capture format's.
        if (StreamConfig) {
            TVideoFormat format;
            if (StreamConfig->GetFormat(format) == 0) {
                static const int rates[][2] = {
                    {24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}};
                const int index = std::clamp(FrameRateIndex, 1, 5) - 1;
                format.RateNumerator = rates[index][0];
                format.RateDenominator = rates[index][1];
                if (SetCaptureFormat(format) != 0)
                    qCInfo(lcApp) << "recording: the card keeps its frame rate";
            }
        }
        if (!graph->RenderStreamFromPin(CapturePin, VideoEncoder.get(), mux)) {
            qCWarning(lcApp) << "recording:" << graph->LastError();
            WarnText(*this, "Cannot render capture stream...");
            return false;
        }
        if (wantAudio && HasAudioCapture && !graph->RenderStreamFromPin(soundPin, nullptr, mux)) {
            qCWarning(lcApp) << "recording:" << graph->LastError();
            WarnText(*this, "Cannot render capture audio stream...");
            return false;
        }
        return true;
    }

    // 7. Sound only: WAV, or MP3.
    if (!soundPin) {
        Warn(*this, 1026);
        return false;
    }
    TPin *source = soundPin;
    if (kind == KindMP3) {
        AudioEncoder = Find(*this, "MPEG Layer-3");
        if (!AudioEncoder || !graph->AddFilter(AudioEncoder, "MP3") ||
            !graph->ConnectDirect(source, InputOf(AudioEncoder.get())) ||
            !OutputOf(AudioEncoder.get())) {
            if (AudioEncoder)
                graph->RemoveFilter(AudioEncoder.get());
            AudioEncoder.reset();
            Warn(*this, 1027);
            return false;
        }
        source = OutputOf(AudioEncoder.get());
    } else {
        // An MP3 file holds the compressor's frames as they are (it plays
        // and survives a cut anywhere); a wave file gets its RIFF header.
        Multiplexer = Find(*this, "WAV Dest");
        if (!Multiplexer || !graph->AddFilter(Multiplexer, "WaveDest")) {
            Multiplexer.reset();
            WarnText(*this, "Cannot find wave dest filter..");
            return false;
        }
    }
    FileWriter = CreateFileWriter(CaptureFileName);
    if (!FileWriter) {
        Warn(*this, 1020);
        return false;
    }
    if (!graph->AddFilter(FileWriter, "File Writer")) {
        WarnText(*this, "Cannot add write file interface...");
        return false;
    }
    const bool rendered =
        kind == KindMP3 ? graph->ConnectDirect(source, InputOf(FileWriter.get()))
                        : graph->RenderStreamFromPin(source, Multiplexer.get(), FileWriter.get());
    if (!rendered) {
        qCWarning(lcApp) << "recording:" << graph->LastError();
        WarnText(*this, "Cannot render audio capture...");
        return false;
    }
    return true;
}
