// The preview graph: built once after SelectDevices, re-rendered downstream
// of the capture filter's kept pins after lighter changes.
#include <cerrno>

#include "app/main_info.h"
#include "capture/preview_util.h"
#include "platform/device_enum.h"
#include "platform/text_util.h"
#include "platform/video_output.h"

namespace {

using Dir = TPinDirection;
using Cat = TPinCategory;

int CrossbarInputType(TGraphFilter *crossbar, TPin *pin)
{
    auto *x = crossbar ? crossbar->Query<ICrossbar>() : nullptr;
    if (!x)
        return 0;
    const TPinList inputs = crossbar->PinList(Dir::Input);
    for (size_t i = 0; i < inputs.size(); ++i) {
        int related = -1, type = 0;
        if (inputs[i] == pin && x->GetCrossbarPinInfo(true, int(i), related, type) == 0)
            return type;
    }
    return 0;
}

} // namespace

void TCaptureInfo::RemoveDownstream(TPin *pin)
{
    if (pin && FilterGraph)
        FilterGraph->RemoveDownstreamOfPin(pin);
}

// Connects an analog (routing-only) output the way the system's graph
// builder would: tuner video to the crossbar's tuner input, tuner audio
// through the TV audio filter when there is one, and the crossbar's video
// output on to the capture filter's analog video input.
static bool RenderAnalog(TCaptureInfo &engine, TPin *out)
{
    TFilterGraph *graph = engine.FilterGraph.get();
    TGraphFilter *crossbar = engine.Crossbar ? engine.Crossbar->Object() : nullptr;
    TGraphFilter *capture = engine.VCapture ? engine.VCapture->Object() : nullptr;
    if (!out || !graph)
        return false;
    if (out->Filter == crossbar) {
        TPin *in = TFilterGraph::FindPin(capture, Dir::Input, Cat::AnalogVideoIn, TMediaKind::Any,
                                         0, true);
        return in && graph->ConnectDirect(out, in);
    }
    if (!crossbar)
        return false;
    const bool tunerVideo = out == TFilterGraph::FindPin(out->Filter, Dir::Output);
    const int wanted = tunerVideo ? PhysConn_Video_Tuner : PhysConn_Audio_Tuner;
    TPin *target = nullptr;
    for (TPin *in : crossbar->PinList(Dir::Input))
        if (!in->IsConnected() && CrossbarInputType(crossbar, in) == wanted) {
            target = in;
            break;
        }
    if (!target)
        return false;
    if (!graph->ConnectDirect(out, target))
        return false;
    // The crossbar's video output continues to the capture filter.
    if (tunerVideo) {
        TPin *xout = TFilterGraph::FindPin(crossbar, Dir::Output);
        if (xout && !xout->IsConnected())
            RenderAnalog(engine, xout);
    }
    return true;
}

bool TCaptureInfo::ConnectTuner()
{
    TFilterGraph *graph = FilterGraph.get();
    if (HasTuner) {
        TGraphFilter *tuner = TVTuner ? TVTuner->Object() : nullptr;
        if (!tuner) {
            HasTuner = 0;
            if (TVTuner)
                TVTuner->SetFilterGraph(nullptr);
            if (TVAudio)
                TVAudio->SetFilterGraph(nullptr);
            TVTuner.reset();
            TVAudio.reset();
        }
    }
    if (HasTuner) {
        TGraphFilter *tuner = TVTuner->Object();
        const TPinList outputs = tuner->PinList(Dir::Output);
        for (size_t k = 0; k < outputs.size(); ++k) {
            TPin *pin = outputs[k];
            if (pin->IsConnected())
                continue;
            TGraphFilter *tvAudio = TVAudio ? TVAudio->Object() : nullptr;
            // The tuner's sound goes through the TV audio filter when there is one.
            if (k > 0 && tvAudio) {
                TPin *in = TFilterGraph::FindPin(tvAudio, Dir::Input);
                if (!in) {
                    PreviewWarnText(*this, "Cannot find TV Audio input pin..");
                    break;
                }
                if (!graph->ConnectDirect(pin, in)) {
                    PreviewWarnText(*this, "Cannot connect to TV Audio input pin...");
                    continue;
                }
                TPin *tvOut = TFilterGraph::FindPin(tvAudio, Dir::Output);
                if (!tvOut) {
                    PreviewWarnText(*this, "Cannot find TV Audio output pin..");
                    continue;
                }
                TGraphFilter *crossbar = Crossbar ? Crossbar->Object() : nullptr;
                for (TPin *xin : crossbar ? crossbar->PinList(Dir::Input) : TPinList{})
                    if (!xin->IsConnected() &&
                        CrossbarInputType(crossbar, xin) == PhysConn_Audio_Tuner &&
                        graph->ConnectDirect(tvOut, xin))
                        break;
                continue;
            }
            if (!RenderAnalog(*this, pin) && k == 0) {
                PreviewWarn(*this, 1002);
                return false;
            }
        }
        return true;
    }
    TGraphFilter *crossbar = Crossbar ? Crossbar->Object() : nullptr;
    TPin *out = TFilterGraph::FindPin(crossbar, Dir::Output);
    if (out && !out->IsConnected())
        RenderAnalog(*this, out);
    return true;
}

bool TCaptureInfo::BuildPreviewPins(bool wis)
{
    if (!FilterGraph)
        CreateGraphObjects();
    // 1. A second build on a running graph: connections change only while
    // it is stopped.
    StopGraph();
    if (!FilterGraph->Active() && !FilterGraph->SetActive(true))
        qCWarning(lcApp) << "preview: a device filter is missing:" << FilterGraph->LastError();
    if (!ConnectTuner())
        return false;

    // 2. The tee that splits capture and preview.
    SmartTee = FindPreviewFilter(*this, "Smart Tee");
    if (SmartTee && !FilterGraph->AddFilter(SmartTee, "SmartTee"))
        SmartTee.reset();

    // 3. Pins.
    TGraphFilter *capture = VCapture ? VCapture->Object() : nullptr;
    TGraphFilter *audio = ACapture ? ACapture->Object() : nullptr;
    AudioCapturePin = nullptr;
    if (HasAudioCapture) {
        AudioCapturePin = TFilterGraph::FindPin(audio, Dir::Output, Cat::Capture);
        HasAudioCapture = AudioCapturePin != nullptr;
    }
    PreviewPin = TFilterGraph::FindPin(capture, Dir::Output, Cat::Preview);
    HasPreviewPin = PreviewPin != nullptr;
    CapturePin = TFilterGraph::FindPin(capture, Dir::Output, Cat::Capture);
    HasCapturePin = CapturePin != nullptr;
    if (!CapturePin)
        PreviewWarn(*this, 1003);
    CapturePin2 = TFilterGraph::FindPin(capture, Dir::Output, Cat::Capture, TMediaKind::Any, 1);
    // A Linux card gives its sound on an ALSA device of its own beside the
    // video node, not on a second pin of it: when that device is the audio
    // capture device, its pin stands where the second capture pin would.
    if (!CapturePin2 && !wis && AudioCapturePin && PairedAudioIndex >= 0 &&
        PairedAudioIndex == AudioDeviceIndex)
        CapturePin2 = AudioCapturePin;
    // The Wis card's sound is its second capture pin.
    if (wis) {
        AudioCapturePin = CapturePin2;
        HasAudioCapture = AudioCapturePin != nullptr;
        if (!AudioCapturePin)
            PreviewWarn(*this, 1004);
    }
    VBIPin2 = TFilterGraph::FindPin(capture, Dir::Output, Cat::VBI, TMediaKind::Any, 1);
    HasVBIPin = VBIPin2 != nullptr;

    // 4.
    RemoveDownstream(PreviewPin);
    RemoveDownstream(CapturePin);
    if (AudioPath == 0 || wis)
        RemoveDownstream(AudioCapturePin);

    // 5. Smart Tee insertion; any failure drops the tee.
    if (SmartTee) {
        TPin *teeIn = TFilterGraph::FindPin(SmartTee.get(), Dir::Input);
        TPin *teePreview = SmartTee->PinByName("Preview");
        TPin *teeCapture = SmartTee->PinByName("Capture");
        bool ok = false;
        if (!teeIn)
            PreviewWarnText(*this, "Cannot find SmartTee input pin..");
        else if (!teePreview)
            PreviewWarnText(*this, "Cannot find Smart Tee preview pin..");
        else if (!teeCapture)
            PreviewWarnText(*this, "Cannot find Smart Tee capture pin..");
        else if (!FilterGraph->ConnectDirect(CapturePin, teeIn))
            PreviewWarnText(*this, "Cannot connect to Smart Tee input pin...");
        else
            ok = true;
        if (ok) {
            HasPreviewPin = 1;
            PreviewPin = teePreview;
            CapturePin = teeCapture;
        } else {
            FilterGraph->RemoveFilter(SmartTee.get());
            SmartTee.reset();
        }
    }
    return true;
}

bool TCaptureInfo::BuildPreview()
{
    if (Capturing)
        return false;
    if (!BuildPreviewPins(false))
        return false;
    TGraphFilter *capture = VCapture ? VCapture->Object() : nullptr;
    TGraphFilter *audio = ACapture ? ACapture->Object() : nullptr;

    // 6. Video formats of the capture pin.
    VideoFormats.clear();
    VideoFormatNames.clear();
    UYVYIndex = YUY2Index = RGB555Index = RGB32Index = -1;
    if (auto *config = capture ? capture->Query<IStreamConfig>() : nullptr) {
        int count = 0;
        config->GetNumberOfCapabilities(count);
        for (int i = 0; i < count; ++i) {
            TVideoFormat format;
            if (config->GetStreamCaps(i, format) != 0)
                continue;
            VideoFormats.push_back(format);
            VideoFormatNames << format.Name();
        }
    }
    auto firstIndex = [this](const char *fragment) {
        for (int i = 0; i < VideoFormatNames.size(); ++i)
            if (ContainsText(VideoFormatNames[i], fragment))
                return i;
        return -1;
    };
    UYVYIndex = firstIndex("UYVY");
    YUY2Index = firstIndex("YUY2");
    RGB555Index = firstIndex("RGB555");
    RGB32Index = firstIndex("RGB32");
    if (RGB32Index < 0)
        RGB32Index = RGB555Index;
    ColorFormatKind = CaptureInputFormat == 0 ? 1 : CaptureInputFormat == 2 ? 3 : 0;

    // 7. Audio formats and the audio capture filter's inputs.
    if (HasAudioCapture) {
        AudioFormatNames = AudioCapturePin->MediaTypes();
        AudioSourceNames.clear();
        auto *mixer = audio->Query<IAudioInputMixer>();
        int enabledK = -1;
        const TPinList inputs = audio->PinList(Dir::Input);
        for (int k = 0; k < int(inputs.size()); ++k) {
            AudioSourceNames << inputs[k]->Name;
            bool enabled = false;
            if (mixer && mixer->GetEnable(k, enabled) == 0 && enabled)
                enabledK = k;
        }
        if (AudioSourceIndex < 0) {
            if (inputs.size() >= 2 && mixer && enabledK >= 0)
                mixer->PutEnable(enabledK, true);
            AudioSourceIndex = enabledK;
        } else if (AudioSourceIndex != enabledK) {
            if (AudioSourceIndex >= int(inputs.size()))
                AudioSourceIndex = enabledK;
            else if (mixer)
                mixer->PutEnable(AudioSourceIndex, true);
        }
        if (AudioSourceIndex < 0)
            AudioSourceIndex = 0;
    }

    // 8. Size and video.
    ApplyPreviewSize(HighQualityPreview);
    if (HasPreviewPin)
        RenderPreviewVideo(true, HighQualityPreview, false);

    // 9.
    RemoveDownstream(AudioCapturePin);
    RemoveDownstream(CapturePin2);

    // 10. Where the sound comes from.
    const uint8_t family = MainInfo ? MainInfo->ChipFamily : FamilyNone;
    if (family == FamilyEmpia28x1) {
        AudioPath = 2;
        // The stick's own audio device first; the names only without one.
        AudioDeviceIndex = PairedAudioIndex;
        for (const char *fragment : {"USB EMP", "USB"}) {
            for (int i = 0; i < AudioDeviceNames.size() && AudioDeviceIndex < 0; ++i)
                if (ContainsText(AudioDeviceNames[i], fragment))
                    AudioDeviceIndex = i;
            if (AudioDeviceIndex >= 0)
                break;
        }
    } else if (audio && audio->PinList(Dir::Input).size() >= 2) {
        AudioPath = 0;
    } else {
        AudioPath = CapturePin2 ? 1 : 0;
    }

    // 11.
    if (AudioPath != 0 && HasAudioCapture && !RenderAudioPath(AudioPath == 1, true, AudioPath)) {
        PreviewWarnText(*this, "Cannot render audio renderer (5001)...");
        return false;
    }
    return FinishPreviewBuild();
}

bool TCaptureInfo::FinishPreviewBuild()
{
    TGraphFilter *capture = VCapture ? VCapture->Object() : nullptr;

    // 12. Stream config.
    StreamConfig = FilterGraph->FindInterface<IStreamConfig>(capture);
    if (!StreamConfig) {
        PreviewWarn(*this, 1010);
        return false;
    }

    // 13. Tuner interfaces and ranges.
    if (HasTuner) {
        Tuner = FilterGraph->FindInterface<ITVTuner>(capture);
        if (!Tuner) {
            PreviewWarn(*this, 1010);
            return false;
        }
        if (TVAudio && TVAudio->Object()) {
            TVAudioControl = FilterGraph->FindInterface<ITVAudio>(capture);
            if (!TVAudioControl) {
                PreviewWarn(*this, 1011);
                return false;
            }
        }
        if (!TVTuner || !TVTuner->Query<ITVTuner>()) {
            PreviewWarn(*this, 1012);
            return false;
        }
        TVMinFrequency = 45250000;
        TVMaxFrequency = 889250000;
        ReadTunerRanges();
    }

    // 14. Crossbar: the filter upstream of the capture filter's analog input.
    CrossbarInputNames.clear();
    HasAuxInput = 0;
    TGraphFilter *crossbarFilter = nullptr;
    for (TPin *in : capture ? capture->PinList(Dir::Input) : TPinList{})
        if (in->Category == Cat::AnalogVideoIn) {
            if (in->ConnectedTo)
                crossbarFilter = in->ConnectedTo->Filter;
            break;
        }
    if (crossbarFilter) {
        AttachCrossbar(crossbarFilter);
        for (const QString &name : CrossbarInputNames)
            if (ContainsText(name, "Aux"))
                HasAuxInput = 1;
    } else {
        InputType = 0;
    }

    // 15.
    VideoDecoderControl = capture ? capture->Query<IAnalogVideoDecoder>() : nullptr;
    return AttachVideoSignalAdjust(capture);
}

bool TCaptureInfo::RenderPreviewVideo(bool grabber, bool deinterlace, bool overlay)
{
    TFilterGraph *graph = FilterGraph.get();
    TGraphFilter *capture = VCapture ? VCapture->Object() : nullptr;
    if (!graph)
        return false;
    // Every render makes a new tap; the old one went with its branch, as did
    // the other filters of the last render.
    Grabber.reset();
    for (TFilterPtr *f : {&Deinterlacer, &OverlayMixer})
        if (*f && (*f)->Graph != graph)
            f->reset();
    const uint8_t kind = ColorFormatKind == 0   ? TSampleGrabberEx::KindYUY2
                         : ColorFormatKind == 1 ? TSampleGrabberEx::KindUYVY
                                                : TSampleGrabberEx::KindRGB24;
    if (!SmartTee) {
        if (grabber) {
            Grabber = std::make_unique<TSampleGrabberEx>(kind);
            Grabber->JoinGraph(graph);
        }
        CreateVideoWindow();
        if (!VideoWindow || !VideoWindow->Renderer() ||
            !graph->RenderStream(Cat::Preview, TMediaKind::Any, capture, nullptr,
                                 VideoWindow->Renderer())) {
            PreviewWarn(*this, 1002);
            return false;
        }
        return true;
    }

    TPin *current = PreviewPin;
    bool stop = false; // a filter without its pins ends the insertions
    // Inserts the filter after the current pin; false when it could not be.
    auto insert = [&](TGraphFilter *filter) {
        TPin *in = TFilterGraph::FindPin(filter, Dir::Input);
        TPin *out = TFilterGraph::FindPin(filter, Dir::Output);
        if (!in || !out) {
            stop = true;
            return false;
        }
        if (!graph->ConnectDirect(current, in))
            return false;
        current = out;
        return true;
    };
    if (deinterlace) {
        Deinterlacer = FindPreviewFilter(*this, "videdazir Deinterlacer");
        if (!Deinterlacer)
            Deinterlacer = FindPreviewFilter(*this, "QUOVIXDeinterlace Filter");
        if (!Deinterlacer || !graph->AddFilter(Deinterlacer, "Deinterlace")) {
            Deinterlacer.reset();
            PreviewWarn(*this, 1016);
        } else if (!insert(Deinterlacer.get())) {
            if (!stop)
                PreviewWarn(*this, 1017);
            graph->RemoveFilter(Deinterlacer.get());
            Deinterlacer.reset();
        }
    }
    if (grabber && !stop) {
        Grabber = std::make_unique<TSampleGrabberEx>(kind);
        if (!Grabber->JoinGraph(graph) || !insert(Grabber->Filter())) {
            if (!stop)
                PreviewWarn(*this, 1008);
            Grabber.reset();
        }
    }
    if (overlay && !stop) {
        OverlayMixer = FindPreviewFilter(*this, "Overlay Mixer");
        if (!OverlayMixer || !graph->AddFilter(OverlayMixer, "Overlay") ||
            !insert(OverlayMixer.get())) {
            if (OverlayMixer)
                graph->RemoveFilter(OverlayMixer.get());
            OverlayMixer.reset();
            PreviewWarnText(*this, "Cannot use overlay");
        }
    }
    CreateVideoWindow();
    TGraphFilter *renderer = VideoWindow ? VideoWindow->Renderer() : nullptr;
    if (!renderer || !graph->ConnectDirect(current, TFilterGraph::FindPin(renderer, Dir::Input))) {
        qCWarning(lcApp) << "preview: cannot render the video:" << graph->LastError();
        PreviewWarn(*this, 1002);
        return false;
    }
    return true;
}

bool TCaptureInfo::RerenderPreview()
{
    if (Capturing || !FilterGraph)
        return false;
    // Connections change only in a stopped graph; the caller runs it again.
    StopGraph();
    RemoveDownstream(PreviewPin);
    RemoveDownstream(CapturePin);
    if (AudioPath == 0)
        RemoveDownstream(AudioCapturePin);
    if (AudioPath != 0 && !RenderAudioPath(AudioPath == 1, true, AudioPath)) {
        PreviewWarnText(*this, "Cannot render audio renderer...(5003)");
        return false;
    }
    if (FMMode)
        return true;
    ApplyPreviewSize(HighQualityPreview);
    if (HasPreviewPin)
        return RenderPreviewVideo(true, HighQualityPreview, false);
    return true;
}

namespace {

// The crossbar's audio tuner input: where the tuner's sound enters.
int AudioTunerInput(ICrossbar *x, int inputs)
{
    for (int i = 0; i < inputs; ++i) {
        int related = -1, type = 0;
        if (x->GetCrossbarPinInfo(true, i, related, type) == 0 && type == PhysConn_Audio_Tuner)
            return i;
    }
    return -1;
}

} // namespace

bool TCaptureInfo::RouteCrossbarAudio()
{
    auto *x = Crossbar ? Crossbar->Query<ICrossbar>() : nullptr;
    if (!x)
        return true; // no crossbar: nothing to route
    int outputs = 0, inputs = 0;
    if (x->GetPinCounts(outputs, inputs) != 0)
        return false;
    bool ok = true;
    for (int out = 1; out < outputs; ++out) {
        int current = -1;
        if (x->IsRoutedTo(out, current) != 0 || current < 0)
            continue;
        // The audio decoder output takes the tuner's sound. A card whose
        // sound follows its video input refuses that on another input; the
        // output then keeps the sound that belongs to the picture.
        int from = out == 1 ? AudioTunerInput(x, inputs) : current;
        if (from < 0)
            from = current;
        int err = x->Route(out, from);
        if (err && from != current) {
            qCInfo(lcApp) << "crossbar: output" << out << "keeps input" << current << "(input"
                          << from << "refused:" << err << ")";
            err = x->Route(out, current);
        }
        if (err) {
            qCWarning(lcApp) << "crossbar: cannot route output" << out << "of"
                             << Crossbar->BaseFilter.Moniker << ":" << err;
            ok = false;
        }
    }
    return ok;
}
