// What the file playback decides from a file before it plays it: its kind
// by extension, whether it is an MPEG-2 transport stream (refused), and the
// step for forward and backward by its length, with the rate table.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// What a file is, from its extension (case ignored).
enum class TPlaybackFileKind
{
    TimeShift,
    Audio,
    Mpeg,
    Other
};
TPlaybackFileKind PlaybackFileKind(const QString &fileName);

// True when the file's first bytes are MPEG-2 transport stream packets
// (sync byte 0x47 every 188 bytes from one of the first nine bytes); such
// files are refused. False for a file that is missing or shorter than one
// packet.
bool IsTransportStream(const QString &fileName);
bool IsTransportStreamData(const QByteArray &head, qint64 fileSize);

// The forward/backward step in percent for a length in whole seconds.
int32_t StepPercentFor(int32_t durationSeconds, int32_t positionScale = 100);

// The rate table and its two cycles.
inline constexpr double PlaybackRates[7] = {1.0, 2.0, 4.0, 8.0, 0.5, 0.25, 0.125};
inline constexpr uint8_t FasterRateIndex[7] = {1, 2, 3, 0, 5, 6, 0};
inline constexpr uint8_t SlowerRateIndex[7] = {4, 2, 3, 4, 5, 6, 0};
