// The virtual card's sync mark: while a TV station is tuned, every few
// seconds of running time (4 s unless changed) one whole picture turns white
// and the sound carries a click (3 ms of full-scale square wave) starting at
// the same instant, the start of that picture. tools/avsync measures the
// offset between the two in any recording.
//
// The instant is the first picture start at or after each multiple of the
// interval; the picture stream publishes its frame grid so that the sound,
// on its own thread, clicks on that very instant.
#pragma once

#include <atomic>
#include <memory>

#include <gst/gst.h>

using TSyncMarkSwitch = std::shared_ptr<std::atomic<bool>>;

// Marks the pictures passing `pad` (packed YUY2/UYVY, 32-bit RGB, or
// planar YUV) while the switch is on.
void AddSyncFlash(GstPad *pad, TSyncMarkSwitch on);
// Marks the interleaved S16 sound passing `pad` while the switch is on.
void AddSyncClick(GstPad *pad, TSyncMarkSwitch on);

// The interval between marks in milliseconds; 0 switches them off.
void SetSyncMarkInterval(int milliseconds);
int SyncMarkInterval();
