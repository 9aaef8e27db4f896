// Recorded sound cards behind libasound: ~/.asoundrc (the test process's
// private home) names one control device per recorded card, served by the
// lyra_recorded control plugin (recorded_ctl.c) from tests/data/alsa.
#pragma once

#include <QString>

namespace RecordedCards {

// The control device names.
inline const char *const Intel = "rec_intel";     // HDA Intel, STAC9271D codec
inline const char *const Bt878 = "rec_bt878";     // snd-bt87x of a Bt878 TV card
inline const char *const Saa7134 = "rec_saa7134"; // saa7134-alsa

// Writes the configuration and makes libasound read it again. False when
// the plugin was not built.
bool Install();

} // namespace RecordedCards
