#include "app/live_engine.h"

#include <memory>

#include "app/main_info.h"
#include "app/shell_views.h"
#include "capture/capture_info.h"
#include "capture/engine_tuner_port.h"
#include "capture/fm_switch.h"
#include "channels/tuner_port.h"
#include "platform/device_interfaces.h"

namespace {
std::unique_ptr<TLiveEngine> g_live;
std::unique_ptr<TEngineFMRadio> g_fm;
} // namespace

bool TLiveEngine::StopPreview()
{
    return CaptureInfo && CaptureInfo->StopGraph();
}

bool TLiveEngine::StartPreview(bool buildGraph)
{
    return CaptureInfo && CaptureInfo->StartPreview(buildGraph);
}

bool TLiveEngine::RestartPreview()
{
    return CaptureInfo && CaptureInfo->StopGraph() && CaptureInfo->StartPreview(false);
}

bool TLiveEngine::LiveSnapshot()
{
    return CaptureInfo && CaptureInfo->TakeSnapshot();
}

bool TLiveEngine::HasTuner() const
{
    return CaptureInfo && CaptureInfo->HasTuner;
}

bool TLiveEngine::HasAuxInput() const
{
    return CaptureInfo && CaptureInfo->HasAuxInput;
}

bool TLiveEngine::SelectEmpiaInput(int input)
{
    if (!MainInfo || !MainInfo->EmpiaControl)
        return false;
    return MainInfo->EmpiaControl->SelectInput(input) == 0;
}

int TLiveEngine::TVFrequency() const
{
    return CaptureInfo ? CaptureInfo->TVFrequency : 0;
}

bool TLiveEngine::ReadTuner(int32_t &frequency, bool &signal)
{
    if (!CaptureInfo || !CaptureInfo->Tuner)
        return false;
    TTunerStatus status;
    if (CaptureInfo->Tuner->GetStatus(status) != 0)
        return false;
    frequency = status.CurrentFrequency;
    signal = status.SignalStrength != 0;
    return true;
}

bool TLiveEngine::VideoDevice(QString &name, QString &path) const
{
    if (!CaptureInfo || !CaptureInfo->VCapture || !CaptureInfo->VCapture->BaseFilter.Bound())
        return false;
    name = CaptureInfo->VideoDeviceNames.value(CaptureInfo->ChosenVideoIndex);
    // "v4l2:capture:/dev/video0"; the virtual card has no node.
    const QString moniker = CaptureInfo->VCapture->BaseFilter.Moniker;
    const QString prefix = QStringLiteral("v4l2:capture:");
    path = moniker.startsWith(prefix) ? moniker.mid(prefix.size()) : QString();
    return !name.isEmpty();
}

int TLiveEngine::TunerStereo()
{
    TTunerStatus status;
    if (!CaptureInfo || !CaptureInfo->Tuner || CaptureInfo->Tuner->GetStatus(status) != 0)
        return -1;
    return status.Stereo;
}

bool TEngineFMRadio::EnterFMMode()
{
    return ::EnterFMMode();
}

bool TEngineFMRadio::LeaveFMMode()
{
    return ::LeaveFMMode();
}

void TEngineFMRadio::Seek(bool up)
{
    if (!CaptureInfo)
        return;
    if (CaptureInfo->SeekActive)
        CaptureInfo->SeekActive = 0;
    else if (up)
        CaptureInfo->SeekFMUp();
    else
        CaptureInfo->SeekFMDown();
}

void TEngineFMRadio::StepUp()
{
    if (CaptureInfo)
        CaptureInfo->FMFrequencyUp();
}

void TEngineFMRadio::StepDown()
{
    if (CaptureInfo)
        CaptureInfo->FMFrequencyDown();
}

bool TEngineFMRadio::Seeking() const
{
    return CaptureInfo && CaptureInfo->SeekActive;
}

void TEngineFMRadio::StopSeek()
{
    if (CaptureInfo)
        CaptureInfo->SeekActive = 0;
}

bool TEngineFMRadio::Band(int32_t &low, int32_t &high) const
{
    if (!CaptureInfo || CaptureInfo->FMMaxFrequency <= CaptureInfo->FMMinFrequency)
        return false;
    low = CaptureInfo->FMMinFrequency;
    high = CaptureInfo->FMMaxFrequency;
    return true;
}

int TEngineFMRadio::FMFrequency() const
{
    return CaptureInfo ? CaptureInfo->FMFrequency : 0;
}

void ConnectLiveEngine()
{
    if (!CaptureInfo)
        return;
    if (!g_live)
        g_live = std::make_unique<TLiveEngine>();
    if (!g_fm)
        g_fm = std::make_unique<TEngineFMRadio>();
    ModeEngines.Capture = g_live.get();
    ModeEngines.FM = g_fm.get();
    // The FM panel's dial follows every tune, the steps of a seek included.
    CaptureInfo->OnFMTuned = [](int32_t, bool) { ShellViews.FMPanelUpdate(); };
    InstallEngineTunerPort();
}

void DisconnectLiveEngine()
{
    if (ModeEngines.Capture == g_live.get())
        ModeEngines.Capture = nullptr;
    if (ModeEngines.FM == g_fm.get())
        ModeEngines.FM = nullptr;
    if (CaptureInfo)
        CaptureInfo->OnFMTuned = nullptr;
    if (TunerPort)
        TunerPort = nullptr;
}
