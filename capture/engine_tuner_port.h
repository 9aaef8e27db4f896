// The channel table's tuner seam (channels/tuner_port.h) served by the
// capture engine. The start-up code installs one as TunerPort once the
// engine exists; it forwards to whatever engine the pointer it was given
// names at the time of the call, so it can outlive a re-created engine.
#pragma once

#include "channels/tuner_port.h"

class TCaptureInfo;

class TEngineTunerPort : public ITunerPort
{
public:
    // engine: the pointer to the engine (normally &CaptureInfo); a null
    // engine makes every operation fail.
    explicit TEngineTunerPort(TCaptureInfo *const *engine);

    bool HasTuner() override;
    bool SetTVStandard(uint32_t bit) override;
    uint32_t TVStandard() override;
    QString TVStandardName() override;
    bool TuneChannelFrequency(int32_t frequency, bool mute) override;
    bool SetTVAudioMode(uint32_t modes) override;
    bool SetCountryCode(int32_t code) override;
    bool SetInputType(int32_t connectorType) override;
    bool TuneFM(int32_t frequency) override;
    int32_t FMMinimum() override;
    int32_t FMMaximum() override;
    void SetSignalCheckCount(int32_t count) override;
    bool RestartPreview() override;
    bool EmpiaSetStandard(int32_t value) override;
    bool ScanTune(int32_t frequency, bool &signal, int32_t &pllOffset) override;
    void SetCoarseTuning(bool on) override;
    int32_t TVMinimum() override;
    int32_t TVMaximum() override;
    bool SelectAudioSource(int32_t index) override;

private:
    TCaptureInfo *Engine() const { return EnginePointer ? *EnginePointer : nullptr; }
    TCaptureInfo *const *EnginePointer;
};

// Installs a port on CaptureInfo as TunerPort (once; later calls keep it).
void InstallEngineTunerPort();
