// The predicates of the command dispatcher, computed from the current mode
// and the installed engines at each call, and the dispatcher itself.
#pragma once

#include <QString>
#include <cstdint>

// AppMode is ModeLive and no channel scan runs.
bool TVIdle();
// TVIdle and the source is the tuner.
bool TunerLive();
// TunerLive, or picture-in-picture is set and a file playback exists.
bool NumericOK();
bool Playing();
bool InFM();
// A file playback or a time-shift playback exists.
bool PlaybackActive();

// Readable name of a mode ("ModeLive"...); empty for unknown values.
QString AppModeName(int mode);

// Runs a command number; unknown numbers and commands whose condition is
// false do nothing. Returns whether the command was allowed. Operations use
// it for the commands they are made of; input goes through SubmitCommand.
bool ExecuteCommand(int command);

// The one way in for input (panel, menus, keys, wheel, lyra-remote, the
// agent): ExecuteCommand at once, or after the wait that is running
// (platform/gui_wait.h), in order of arrival.
void SubmitCommand(int command);

// A command from the local socket (message 3024): with a warning open it only
// closes the warning; while a scan runs only 4004 gets through.
void HandleRemoteCommand(int command);

// Queues a remote command to this program's own event loop, as the shell
// does when a play list started for the last recording ends.
void PostRemoteCommand(int command);
