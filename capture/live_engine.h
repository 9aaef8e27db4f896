// The capture engine as the mode machine and the windows see it: the live
// preview, device facts and frames for the mosaic. Installed at start-up
// once the engine exists.
#pragma once

#include "app/mode_engines.h"

class TFormMainWindow;

class TLiveEngine : public ICaptureEngine
{
public:
    bool StopPreview() override;
    bool StartPreview(bool buildGraph) override;
    bool RestartPreview() override;
    // Snapshots arrive with the snapshot store; until then there is nothing
    // to take them into.
    bool LiveSnapshot() override { return false; }
    bool HasTuner() const override;
    bool HasAuxInput() const override;
    bool SelectEmpiaInput(int input) override;
    int TVFrequency() const override;
};

// Wires the engine to the shell: ModeEngines.Capture and .FM, the channel
// table's tuner port, the video window inside the main window and the
// mosaic's frame grabs. Safe to call again after the engine was recreated.
void ConnectLiveEngine(TFormMainWindow *window);
void DisconnectLiveEngine();
