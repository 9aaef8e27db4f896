// The recording engine as the mode machine sees it: user recordings
// (ModeCapture, also of the radio in FM mode), time shifts (ModeTimeShift)
// and the done list that finished recordings go to. Installed in
// ModeEngines by InitializeRecordingModule; the play lists are loaded there
// and saved by FinalizeRecordingModule.
#pragma once

#include <QString>

void InitializeRecordingModule();
void FinalizeRecordingModule();

// The file a recording in progress is written to, kept in the program
// folder so that a recording cut by a crash is repaired and listed at the
// next start.
QString RecordingMarkerPath();
// Repairs and lists the recording a crash left behind (done at start).
void RecoverInterruptedRecording();
