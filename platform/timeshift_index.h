// The time index the MPEG recorder keeps beside a time-shift recording
// ("ts0.mpv.idx" beside "ts0.mpv"): where in the file each second of the
// recording can be entered.
//
// Layout, little-endian:
//   header, 16 bytes: "LYRATSIX", uint32 version (1), uint32 unit size (the
//     size of every pack of the program stream, 2048 or 2324)
//   records, 16 bytes each, appended one write at a time:
//     uint64 byte offset of a pack start, uint32 milliseconds from the start
//     of the stream (the position a player reports), uint16 kind
//     (1 = entry point: a sequence header starts in that pack; 2 = end:
//     the recording is finished and the offset is the file's final size),
//     uint16 check (IndexRecordCheck of the other fields).
// A reader takes records up to the first that does not check, does not
// follow its predecessor (offsets and times never go back) or comes after
// an end record; a record cut by a crash is simply not there yet.
//
// Threads: a TTimeShiftIndex belongs to one thread at a time; the users
// lock around it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TIndexRecord
{
    uint64_t Offset = 0;
    uint32_t Millis = 0;
    uint16_t Kind = 0;
};

enum : uint16_t
{
    IndexEntryPoint = 1,
    IndexEnd = 2
};
constexpr size_t IndexHeaderSize = 16;
constexpr size_t IndexRecordSize = 16;

uint16_t IndexRecordCheck(const TIndexRecord &record);
void EncodeIndexHeader(uint32_t unitSize, uint8_t out[IndexHeaderSize]);
void EncodeIndexRecord(const TIndexRecord &record, uint8_t out[IndexRecordSize]);

// The index file of a recording: its name followed by ".idx".
std::string TimeShiftIndexName(const std::string &mediaFile);

class TTimeShiftIndex
{
public:
    // Parses a whole index image. False when the header is not one.
    bool Parse(const uint8_t *data, size_t size);
    // Reads the file, or only what was appended since the last call when it
    // still is the same index. False when it cannot be read or is not one.
    bool Refresh(const std::string &path);
    void Clear();

    uint32_t UnitSize() const { return Unit; }
    const std::vector<TIndexRecord> &Entries() const { return Points; }
    // An end record was read: nothing more will be written.
    bool Complete() const { return Finished; }
    uint64_t EndOffset() const { return FinalSize; }

    // The offset to read from to play from `millis`: the last entry point
    // at or before it, else the first; 0 without entry points.
    uint64_t OffsetFor(uint64_t millis) const;
    // The time of the last entry point at or before `offset`; 0 when none.
    uint32_t MillisAt(uint64_t offset) const;
    // Earliest and latest available second; false without entry points.
    bool SecondsRange(int32_t &earliest, int32_t &latest) const;

private:
    // Takes the records in `data` (a whole number of them is used); false
    // at the first one that does not belong.
    bool Append(const uint8_t *data, size_t size);

    uint32_t Unit = 0;
    std::vector<TIndexRecord> Points;
    bool Finished = false;
    bool Broken = false;
    uint64_t FinalSize = 0;
    uint64_t ReadUpTo = 0; // bytes of the file taken so far
    uint64_t FileId[2] = {0, 0};
};

// Writes an index: created empty with its header, records appended with
// one write each, so a reader never sees half a record unless the system
// itself fails mid-write.
class TTimeShiftIndexWriter
{
public:
    TTimeShiftIndexWriter() = default;
    ~TTimeShiftIndexWriter() { Close(); }
    TTimeShiftIndexWriter(const TTimeShiftIndexWriter &) = delete;
    TTimeShiftIndexWriter &operator=(const TTimeShiftIndexWriter &) = delete;

    // False with the errno value in `error` when the file cannot be made.
    bool Open(const std::string &path, uint32_t unitSize, int *error);
    bool IsOpen() const { return Fd >= 0; }
    // False with the errno value when the write fails.
    bool Add(const TIndexRecord &record, int *error);
    void Close();

private:
    int Fd = -1;
};
