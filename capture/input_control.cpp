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

bool TCaptureInfo::CreateCrossbar()
{
    CrossbarObject.reset();
    CrossbarInputNames.clear();
    InputCount = 0;
    HasAuxInput = 0;
    TGraphFilter *capture = VCapture ? VCapture->Object() : nullptr;
    TPin *analogIn = nullptr;
    if (capture)
        for (TPin *pin : capture->PinList(TPinDirection::Input))
            if (pin->Category == TPinCategory::AnalogVideoIn) {
                analogIn = pin;
                break;
            }
    TPin *upstream = analogIn ? analogIn->ConnectedTo : nullptr;
    if (!upstream || !upstream->Filter || !upstream->Filter->Query<ICrossbar>()) {
        InputType = 0;
        return false;
    }
    CrossbarObject = std::make_shared<TCrossbar>(FilterGraph.get(), analogIn);
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

bool TCaptureInfo::AttachVideoSignalAdjust()
{
    VideoSignalAdjust = std::make_shared<TVideoSignalAdjust>();
    TFilterPtr capture = SharedFilter(FilterGraph.get(), VCapture ? VCapture->Object() : nullptr);
    if (!VideoSignalAdjust->Attach(capture))
        return false;
    VideoSignalAdjust->ApplyAdjustments();
    return true;
}
