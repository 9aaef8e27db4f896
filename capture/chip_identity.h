// Chip identification from the video device's friendly name.
#pragma once

#include <QString>

class TMainInfo;

// Sets the settings' ChipMaker, ChipName, ChipFamily, IsWisFamily and
// SignalCheckCount from a video device name, and creates or drops their
// EmpiaControl. The channel table, when it exists, takes the new lock count.
void IdentifyChip(TMainInfo &main, const QString &deviceName);
