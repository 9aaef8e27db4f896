// Entering and leaving FM radio from the shell: the capture engine's FM mode
// together with the channel table's saved TV state and its FM list. Both
// use the global engine (CaptureInfo) and channel table (ChannelInfo).
// GUI thread only; the waits go through GuiWait.
#pragma once

// True when the tuner accepted FM mode; otherwise the TV state is back.
bool EnterFMMode();
// True when the tuner is back in TV mode.
bool LeaveFMMode();
