// The file playback as the mode machine and the shell see it: the
// IFilePlayback adapter installed in ModeEngines.FilePlayback, the play
// lists' PlayFile, the position fan-out to the views, the position bars'
// seek and opening a file from outside (command line, lyra-remote).
#pragma once

#include <QString>

void InitializePlaybackModule();
void FinalizePlaybackModule();

// The position bars' seek (0..100 of the length) as input: it runs through
// the command queue, on whichever playback exists.
void SubmitSeek(int percent);

// Plays a file asked for from outside the program. In ModePlay the new file
// replaces the one playing; from live TV or FM radio ModePlay starts with
// it; other modes (recording, time shift) refuse. Returns whether it plays.
bool OpenFileFromOutside(const QString &fileName);
// The same, queued as input (runs after a wait that is open).
void SubmitOpenFile(const QString &fileName);
