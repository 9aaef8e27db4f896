// "TVTable.tbl": fixed 1600-byte records, no header. A record holds the
// antenna half then the cable half, each 200 little-endian int32 elements;
// element k (1..160) is channel k's video carrier in units of 10 kHz.
#pragma once

#include <array>
#include <cstdint>

#include <QString>

class QIODevice;

constexpr int FrequencyRecordSize = 1600;
constexpr int FrequencyHalfElements = 200;
constexpr int FrequencyTableChannels = 160;
constexpr int32_t FrequencyTableUnitHz = 10000;

struct TFrequencyRecord
{
    // [0] antenna, [1] cable; raw elements as stored.
    std::array<std::array<int32_t, FrequencyHalfElements>, 2> Half{};

    // Channel k (1..160) of a half in Hz. Elements that cannot be a
    // frequency (negative, or too large for an int of Hz) give 0.
    int32_t FrequencyHz(int half, int channel) const;
};

// Reads one record. False when the device is missing or the record lies
// (even partly) beyond its end.
bool ReadFrequencyRecord(QIODevice *device, int record, TFrequencyRecord &out);

// Number of whole records the device holds.
int FrequencyRecordCount(QIODevice *device);

QByteArray EncodeFrequencyRecord(const TFrequencyRecord &record);
