// The preview's sound paths 1 (the video capture filter's second capture
// pin, or the card's own sound device in its place) and 2 (a USB audio
// device); path 0 needs nothing in the graph.
#include "capture/preview_util.h"
#include "platform/device_enum.h"
#include "platform/text_util.h"

using Dir = TPinDirection;
using Cat = TPinCategory;

bool TCaptureInfo::RenderAudioPath(bool withTee, bool captureCategory, int path)
{
    TFilterGraph *graph = FilterGraph.get();
    if (!graph)
        return false;
    // 1. The sound does not come from the audio capture device, unless that
    // device is the card's own and its pin serves as the second capture pin.
    const bool cardAudio = path == 1 && CapturePin2 && ACapture &&
                           CapturePin2->Filter == ACapture->Object();
    if (ACapture && !cardAudio)
        ACapture->SetFilterGraph(nullptr);
    AudioCapturePin = nullptr;
    // 2.
    TPin *audioPin = nullptr;
    if (path == 2) {
        if (SmartTeeAudio) {
            graph->RemoveDownstream(SmartTeeAudio.get());
            graph->RemoveFilter(SmartTeeAudio.get());
            SmartTeeAudio.reset();
        }
        // One audio device category here: the capture and audio-input
        // categories of the system are the same devices.
        (void)captureCategory;
        const TSysDevEnum devices(TDeviceCategory::AudioInput);
        // The stick's own audio device (found by where it sits) before any
        // device that merely has "USB" in its name.
        int chosen = PairedAudioIndex < devices.CountFilters() ? PairedAudioIndex : -1;
        if (chosen < 0)
            chosen = devices.Find("USB EMP");
        if (chosen < 0)
            for (int i = 0; i < devices.CountFilters(); ++i)
                if (ContainsText(devices.FriendlyName(i), "USB"))
                    chosen = i;
        if (chosen >= 0) {
            if (!USBAudio)
                USBAudio = std::make_unique<TFilter>("USBAudio");
            USBAudio->SetFilterGraph(nullptr);
            devices.Bind(chosen, *USBAudio);
            USBAudio->SetFilterGraph(graph);
            audioPin = TFilterGraph::FindPin(USBAudio->Object(), Dir::Output, Cat::Capture);
        }
    } else if (path == 1) {
        audioPin = CapturePin2;
    }
    if (!audioPin)
        return false;
    // A re-render finds the pin still connected from the last one.
    if (audioPin->IsConnected()) {
        if (SmartTeeAudio && audioPin->ConnectedTo->Filter == SmartTeeAudio.get()) {
            graph->RemoveDownstream(SmartTeeAudio.get());
            graph->RemoveFilter(SmartTeeAudio.get());
            SmartTeeAudio.reset();
        }
        RemoveDownstream(audioPin);
    }
    AudioTeeCapturePin = nullptr;
    // 3.
    if (!withTee)
        return graph->Render(audioPin);
    if (!SmartTeeAudio) {
        SmartTeeAudio = FindPreviewFilter(*this, "Infinite Pin Tee Filter");
        if (!SmartTeeAudio || !graph->AddFilter(SmartTeeAudio, "SmartTeeAudio")) {
            SmartTeeAudio.reset();
            return false;
        }
    }
    if (!graph->ConnectDirect(audioPin, TFilterGraph::FindPin(SmartTeeAudio.get(), Dir::Input)))
        return false;
    const bool ok = graph->Render(TFilterGraph::FindPin(SmartTeeAudio.get(), Dir::Output));
    AudioTeeCapturePin = TFilterGraph::FindPin(SmartTeeAudio.get(), Dir::Output,
                                               Cat::None, TMediaKind::Any, 1);
    return ok;
}
