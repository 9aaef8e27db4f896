// The capture engine as the mode machine and the windows see it: the live
// preview, device facts and frames for the mosaic. Installed at start-up
// once the engine exists.
#pragma once

#include "app/mode_engines.h"

// The shell's FM radio operations on the global engine. A seek command
// while a seek runs stops it instead (the seek handles events between its
// steps, so the second press arrives while the first one still runs).
class TEngineFMRadio : public IFMRadio
{
public:
    bool EnterFMMode() override;
    bool LeaveFMMode() override;
    void SeekUp() override { Seek(true); }
    void SeekDown() override { Seek(false); }
    void StepUp() override;
    void StepDown() override;
    int FMFrequency() const override;
    bool Seeking() const override;
    void StopSeek() override;
    bool Band(int32_t &low, int32_t &high) const override;

private:
    void Seek(bool up);
};

class TLiveEngine : public ICaptureEngine
{
public:
    bool StopPreview() override;
    bool StartPreview(bool buildGraph) override;
    bool RestartPreview() override;
    // The frame on screen into the snapshot store.
    bool LiveSnapshot() override;
    bool HasTuner() const override;
    bool HasAuxInput() const override;
    bool SelectEmpiaInput(int input) override;
    int TVFrequency() const override;
    bool ReadTuner(int32_t &frequency, bool &signal) override;
    bool VideoDevice(QString &name, QString &path) const override;
    int TunerStereo() override;
};

// Wires the global engine (CaptureInfo) to the mode machine and the channel
// table: ModeEngines.Capture and .FM and the channel table's tuner port. The
// windows' side (video window, mosaic grabs) is wired by the window module.
// Safe to call again after the engine was recreated.
void ConnectLiveEngine();
void DisconnectLiveEngine();
