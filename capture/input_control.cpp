// Inputs and picture controls of the capture engine: the crossbar paths,
// the switch by connector type and the processing amplifier. GUI thread
// only.
#include "app/main_info.h"
#include "capture/capture_info.h"
#include "capture/crossbar.h"
#include "capture/video_signal_adjust.h"
#include "platform/messages.h"
#include "platform/text_util.h"

namespace {

TFilterPtr SharedFilter(TFilterGraph *graph, TGraphFilter *filter)
{
    if (graph && filter)
        for (const TFilterPtr &f : graph->Filters())
            if (f.get() == filter)
                return f;
    return nullptr;
}

} // namespace

bool TCaptureInfo::AttachCrossbar(TGraphFilter *crossbar)
{
    CrossbarObject.reset();
    CrossbarInputNames.clear();
    InputCount = 0;
    if (!crossbar || !crossbar->Query<ICrossbar>())
        return false;
    // The paths start at the pin the crossbar feeds: the capture filter's
    // analog video input when it is connected to this crossbar.
    TPin *start = nullptr;
    if (TGraphFilter *capture = VCapture ? VCapture->Object() : nullptr)
        for (TPin *pin : capture->PinList(TPinDirection::Input))
            if (pin->Category == TPinCategory::AnalogVideoIn && pin->ConnectedTo &&
                pin->ConnectedTo->Filter == crossbar)
                start = pin;
    for (TPin *out : crossbar->PinList(TPinDirection::Output))
        if (!start && out->ConnectedTo)
            start = out->ConnectedTo;
    if (!start)
        return false;
    CrossbarObject = std::make_shared<TCrossbar>(FilterGraph.get(), start);
    InputCount = CrossbarObject->InputCount();
    for (int i = 0; i < InputCount; ++i) {
        const QString name = CrossbarObject->InputName(i);
        CrossbarInputNames << name;
        if (ContainsText(name, "Aux"))
            HasAuxInput = 1;
    }
    return true;
}

bool TCaptureInfo::SetInputType(int32_t type)
{
    if (!CrossbarObject)
        return false;
    int found = -1;
    for (int i = 0; i < CrossbarObject->InputCount() && found < 0; ++i) {
        int pathType = 0;
        if (!CrossbarObject->InputType(i, pathType)) {
            if (!Quiet)
                ShowWarning(1102);
            return false;
        }
        if (pathType == type)
            found = i;
    }
    if (found < 0 || CrossbarObject->RouteInput(found) != 0)
        return false;
    InputType = type;
    if (MainInfo && MainInfo->ChipFamily == FamilyEmpia2800)
        ReselectEmpiaInput();
    return true;
}

void TCaptureInfo::ReselectEmpiaInput()
{
    IEmpiaControl *empia = MainInfo ? MainInfo->EmpiaControl.get() : nullptr;
    if (!empia || InputType < 1 || InputType > 3)
        return;
    empia->SelectInput(InputType - 1);
}

bool TCaptureInfo::AttachVideoSignalAdjust(TGraphFilter *capture)
{
    VideoSignalAdjust = std::make_shared<TVideoSignalAdjust>();
    if (!VideoSignalAdjust->Attach(SharedFilter(FilterGraph.get(), capture)))
        return false;
    VideoSignalAdjust->ApplyAdjustments();
    return true;
}

bool TCaptureInfo::SelectAudioSource(int32_t index)
{
    // The sound does not come through the audio capture filter's inputs.
    if (AudioPath != 0)
        return true;
    TGraphFilter *audio = ACapture ? ACapture->Object() : nullptr;
    auto *mixer = audio ? audio->Query<IAudioInputMixer>() : nullptr;
    if (!mixer || index < 0 || index >= int(audio->PinList(TPinDirection::Input).size()))
        return false;
    if (mixer->PutEnable(index, true) != 0)
        return false;
    AudioSourceIndex = index;
    return true;
}
