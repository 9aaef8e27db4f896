// Channel list files (".chl"): the tuned frequency and the name of the 160
// antenna and 160 cable channels, to exchange them between programs and
// machines. Little-endian record stream: 39321 (0x9999), 160 antenna
// records (Int frequency in Hz, Str name), 160 cable records, 35079
// (0x8907). Nothing else of a channel is stored.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "channels/channel_types.h"

class QIODevice;

constexpr int32_t ChannelListHead = 39321;
constexpr int32_t ChannelListTail = 35079;

struct TChannelListEntry
{
    int32_t Frequency = 0;
    QString Name;
};

struct TChannelListData
{
    // [0] antenna, [1] cable; element 0 of each is unused.
    std::array<std::array<TChannelListEntry, TVChannelCount + 1>, 2> Lists;
};

enum class TChannelListStatus
{
    Ok,
    Empty,   // nothing to read: refused without a message
    Damaged, // wrong marker, short read or misplaced field: refused with the text
};

// Reads the whole layout from the device's current position; data is only
// meaningful when the result is Ok.
TChannelListStatus ReadChannelList(QIODevice *device, TChannelListData &data);
bool WriteChannelList(QIODevice *device, const TChannelListData &data);
