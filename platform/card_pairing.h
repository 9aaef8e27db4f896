// Which sound device belongs to which capture card. A TV card's sound has
// no pin on its V4L2 capture node; it comes from an ALSA capture device of
// the same card, and sysfs tells which one:
//   - saa7134: saa7134-alsa registers its sound card on the very PCI
//     function of the video node;
//   - cx88 (and bttv with snd-bt87x): the audio is a sibling function of the
//     same PCI slot (cx88-alsa on function 1 beside cx8800 on function 0);
//   - em28xx: em28xx-audio registers on the video node's USB interface,
//     snd-usb-audio on another interface of the same USB device.
// A card whose sound only leaves on a cable to the sound card's line input
// has no such device.
#pragma once

#include <vector>

#include <QString>

#include "platform/device_enum.h"

// The sysfs tree to look at ("/sys"); tests give a recorded one. An empty
// root restores the system's.
void SetSysfsRoot(const QString &root);
QString SysfsRoot();

// The card a sysfs device belongs to, as a path under the root: a USB
// interface widens to its USB device, a PCI function to its slot ("…/0000:
// 06:02" for 0000:06:02.0 and .1); any other device is itself. Empty when
// the path does not exist.
QString CardOfSysfsDevice(const QString &devicePath);

// The card of a device moniker: "v4l2:<kind>:/dev/videoN" and
// "alsa:hw:<card>,<device>" by sysfs; every "virtual:<kind>" is the virtual
// card ("virtual"). Other monikers belong to no card (empty).
QString CardOfMoniker(const QString &moniker);

// The first audio device on the same card as the video device; -1 if none.
int PairedAudioDevice(const QString &videoMoniker, const std::vector<TDeviceEntry> &audio);
