// Time-shift playback as the mode machine sees it: the player of the
// recording the time shift is writing (ModeTimeShiftPlay) and of kept
// time-shift files handed over by file playback. Installed in
// ModeEngines.TimeShiftPlayback by InitializeTimeShiftPlaybackModule.
#pragma once

class TTimeShiftPlaybackProject;

void InitializeTimeShiftPlaybackModule();
void FinalizeTimeShiftPlaybackModule();

// The one player, or null when none exists.
TTimeShiftPlaybackProject *TimeShiftPlayback();
