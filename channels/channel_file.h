// "QPAVO2.cfg": the channel table and the preview settings. Little-endian
// record stream; byte fields are stored as ints (on reading, negative -> 0,
// low 8 bits kept). Opens with 39321 (0x9999) and closes with 35079 (0x8907).
#pragma once

#include "channels/channel_types.h"

class QIODevice;

constexpr int32_t ChannelFileHead = 39321;
constexpr int32_t ChannelFileTail = 35079;

enum class TChannelFileStatus {
    Ok,
    Empty,   // nothing to read: defaults, no message
    Damaged, // wrong marker or short read: message 1104
};

// Reads the whole layout from the device's current position. On anything but
// Ok, data is left in an unspecified state: read into a scratch copy.
TChannelFileStatus ReadChannelFile(QIODevice *device, TChannelFileData &data);

bool WriteChannelFile(QIODevice *device, const TChannelFileData &data);
