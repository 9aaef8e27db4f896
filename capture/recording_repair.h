// Files cut by a crash, a full disk or a write error: MPEG program streams
// and MP3 play up to the cut as they are; the RIFF files (AVI, WAV) get
// their sizes, and an AVI its index, from what was written.
#pragma once

#include <QString>

// Repairs the file in place when it is an unfinished AVI or WAV; true when
// it needs nothing or was repaired.
bool RepairRecording(const QString &path);
bool RepairWave(const QString &path);
bool RepairAvi(const QString &path);
