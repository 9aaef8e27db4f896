#include "capture/engine_tuner_port.h"

#include <algorithm>

#include "app/main_info.h"
#include "capture/capture_info.h"

TEngineTunerPort::TEngineTunerPort(TCaptureInfo *const *engine) : EnginePointer(engine) {}

bool TEngineTunerPort::HasTuner()
{
    TCaptureInfo *e = Engine();
    return e && e->HasTuner;
}

bool TEngineTunerPort::SetTVStandard(uint32_t bit)
{
    TCaptureInfo *e = Engine();
    return e && e->SetTVStandard(int32_t(bit));
}

uint32_t TEngineTunerPort::TVStandard()
{
    TCaptureInfo *e = Engine();
    return e ? uint32_t(e->TVStandard) : 0;
}

QString TEngineTunerPort::TVStandardName()
{
    TCaptureInfo *e = Engine();
    return e ? e->TVStandardName : QString();
}

bool TEngineTunerPort::TuneChannelFrequency(int32_t frequency, bool mute)
{
    TCaptureInfo *e = Engine();
    return e && e->TuneChannelFrequency(frequency, mute);
}

bool TEngineTunerPort::SetTVAudioMode(uint32_t modes)
{
    TCaptureInfo *e = Engine();
    return e && e->SetTVAudioMode(int32_t(modes));
}

bool TEngineTunerPort::SetCountryCode(int32_t code)
{
    TCaptureInfo *e = Engine();
    return e && e->SetCountryCode(code);
}

bool TEngineTunerPort::SetInputType(int32_t connectorType)
{
    TCaptureInfo *e = Engine();
    return e && e->SetInputType(connectorType);
}

bool TEngineTunerPort::TuneFM(int32_t frequency)
{
    TCaptureInfo *e = Engine();
    return e && e->TuneFM(frequency);
}

int32_t TEngineTunerPort::FMMinimum()
{
    TCaptureInfo *e = Engine();
    return e ? e->FMMinFrequency : 76000000;
}

int32_t TEngineTunerPort::FMMaximum()
{
    TCaptureInfo *e = Engine();
    return e ? e->FMMaxFrequency : 108000000;
}

void TEngineTunerPort::SetSignalCheckCount(int32_t count)
{
    if (TCaptureInfo *e = Engine())
        e->SignalCheckCount = std::clamp(count, 1, 10);
}

bool TEngineTunerPort::RestartPreview()
{
    TCaptureInfo *e = Engine();
    if (!e || !e->FilterGraph || !e->RerenderPreviewHook)
        return false;
    e->FilterGraph->Stop();
    const bool rendered = e->RerenderPreviewHook();
    // The graph runs again even after a failed render: what was rendered
    // still shows.
    return e->FilterGraph->Run() && rendered;
}

bool TEngineTunerPort::EmpiaSetStandard(int32_t value)
{
    IEmpiaControl *empia = MainInfo ? MainInfo->EmpiaControl.get() : nullptr;
    return empia && empia->SetStandard(value) == 0;
}

bool TEngineTunerPort::ScanTune(int32_t frequency, bool &signal, int32_t &pllOffset)
{
    signal = false;
    TCaptureInfo *e = Engine();
    if (!e) {
        pllOffset = -10;
        return false;
    }
    // A tune that failed (outside the band, or refused by the device)
    // leaves a stale offset behind: it reads as -10, far from any station,
    // so that a scan never takes it for a centred carrier.
    const bool tuned = e->TuneTV(frequency, false);
    signal = tuned && e->HasSignal;
    pllOffset = tuned ? e->TVPLLOffset : -10;
    return tuned;
}

void TEngineTunerPort::SetCoarseTuning(bool on)
{
    if (TCaptureInfo *e = Engine())
        e->CoarseTuning = on ? 1 : 0;
}

int32_t TEngineTunerPort::TVMinimum()
{
    TCaptureInfo *e = Engine();
    return e ? e->TVMinFrequency : 45250000;
}

int32_t TEngineTunerPort::TVMaximum()
{
    TCaptureInfo *e = Engine();
    return e ? e->TVMaxFrequency : 889250000;
}

bool TEngineTunerPort::SelectAudioSource(int32_t index)
{
    TCaptureInfo *e = Engine();
    return e && e->SelectAudioSource(index);
}

void InstallEngineTunerPort()
{
    static TEngineTunerPort port(&CaptureInfo);
    TunerPort = &port;
}
