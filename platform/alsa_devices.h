// ALSA capture devices as the audio input category, and their capture
// filter (alsasrc).
#pragma once

#include <vector>

#include "platform/device_enum.h"

// One entry per capture PCM of every card: "<card name> <pcm name>" with the
// moniker "alsa:hw:<card>,<device>".
std::vector<TDeviceEntry> AlsaCaptureDevices();
TFilterPtr CreateAlsaCaptureFilter(const QString &pcm);
