// Finds the entry points of a program stream as it is written: libavformat's
// MPEG muxers write packs of one fixed size, each starting with a pack
// header or a packet start code (or, on a VCD, a zero sector). A pack in
// which a video sequence header starts is where a reader can begin.
//
// Its time is counted from the first system clock reference, which is how a
// demuxer reports positions. A packet's stamp belongs to the first picture
// that starts in it, not necessarily to the I picture after the sequence
// header; so the writer tells the scanner the stamp of every I picture it
// hands to the muxer (AddKeyframe), in order: the n-th sequence header is
// the n-th I picture. The first one, which opens the first video packet,
// gives the offset between the writer's stamps and the stream's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/timeshift_index.h"

class TPackScanner
{
public:
    explicit TPackScanner(uint32_t unitSize) : Unit(unitSize) {}

    // Takes the next bytes of the stream; entry points of the packs
    // completed by them are appended to `found`, at most one per second.
    void Feed(const uint8_t *data, size_t size, std::vector<TIndexRecord> &found);
    // The presentation stamp (90 kHz) of the next I picture given to the
    // muxer. Without them, the packets' own stamps are taken.
    void AddKeyframe(int64_t pts) { Keyframes.push_back(pts); }
    uint64_t Position() const { return Consumed; }
    // The time of the last entry point found (0 before the first).
    uint32_t LastEntryMillis() const { return LastMillis; }

private:
    void ScanUnit(uint64_t offset, const uint8_t *unit, std::vector<TIndexRecord> &found);
    // Counts the sequence headers in a video payload, also one cut by the
    // end of the previous payload; `first` is the offset of the pack the
    // first of them starts in.
    int CountSequenceStarts(uint64_t unitOffset, const uint8_t *data, size_t size, int64_t &first);

    uint32_t Unit;
    std::vector<uint8_t> Partial;
    uint64_t Consumed = 0;
    bool HaveScr = false;
    uint64_t FirstScr = 0;
    bool HavePts = false;
    uint64_t LastPts = 0;
    std::deque<int64_t> Keyframes;
    bool HaveShift = false;
    int64_t Shift = 0; // stream stamp minus writer stamp
    // The last three payload bytes of the video stream and the packs they
    // came from, for start codes cut by a pack border.
    uint8_t Tail[3] = {1, 1, 1};
    uint64_t TailUnit[3] = {0, 0, 0};
    int64_t LastSecond = -1;
    uint32_t LastMillis = 0;
};
