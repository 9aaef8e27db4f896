// The FM radio's texts and memories as the FM panel and the memorize dialog
// show and change them: the MHz text of a frequency, where the dial's needle
// stands, and which memory a new station goes to. Plain functions, no state.
#pragma once

#include <QString>
#include <cstdint>

#include "channels/channel_types.h"

// 88 700 000 -> "88.7", 100 000 000 -> "100.0", 55 250 000 -> "55.25": the
// MHz, a point, and the digits below the MHz without trailing zeros (at
// least one kept).
QString FormatMHz(int32_t frequency);

// The needle's x on a dial of the given width for a frequency in the band
// [low, high]: rounded to the nearest pixel (halves to even), at least 1 and
// at most the width. 1 when the band is empty.
int DialNeedleX(int32_t frequency, int32_t low, int32_t high, int width);

// The memory a new station is proposed for: the first empty one, or 1 when
// all 50 hold a frequency.
int FirstFreeFMMemory(const TFMList &memories);

// Stores the frequency and name into memory n (1..50), overwriting it. False
// for a number outside the memories or a frequency of 0 or less.
bool StoreFMMemory(TFMList &memories, int n, int32_t frequency, const QString &name);
