// Entering and leaving FM radio from the shell: the capture engine's FM mode
// together with the channel table's saved TV state and its FM list. Both
// use the global engine (CaptureInfo) and channel table (ChannelInfo).
// GUI thread only; the waits go through GuiWait.
#pragma once

// True when the tuner accepted FM mode; otherwise the TV state is back.
bool EnterFMMode();
// True when the tuner is back in TV mode.
bool LeaveFMMode();

#include "app/mode_engines.h"

// The shell's FM radio operations on the global engine. A seek command
// while a seek runs stops it instead (the seek handles events between its
// steps, so the second press arrives while the first one still runs).
class TEngineFMRadio : public IFMRadio
{
public:
    bool EnterFMMode() override { return ::EnterFMMode(); }
    bool LeaveFMMode() override { return ::LeaveFMMode(); }
    void SeekUp() override { Seek(true); }
    void SeekDown() override { Seek(false); }
    void StepUp() override;
    void StepDown() override;
    int FMFrequency() const override;

private:
    void Seek(bool up);
};
