// Entry points of a program stream, found while it is written.
#include "platform/ps_pack_scanner.h"

#include <algorithm>
#include <cstring>

namespace {

bool StartCode(const uint8_t *p)
{
    return p[0] == 0 && p[1] == 0 && p[2] == 1;
}

// A 33-bit time stamp in the 5-byte PES form.
uint64_t Stamp(const uint8_t *p)
{
    return uint64_t((p[0] >> 1) & 7) << 30 | uint64_t(p[1]) << 22 | uint64_t(p[2] >> 1) << 15 |
           uint64_t(p[3]) << 7 | uint64_t(p[4] >> 1);
}

} // namespace

void TPackScanner::Feed(const uint8_t *data, size_t size, std::vector<TIndexRecord> &found)
{
    while (size > 0) {
        if (Partial.empty() && size >= Unit) {
            ScanUnit(Consumed, data, found);
            Consumed += Unit;
            data += Unit;
            size -= Unit;
            continue;
        }
        const size_t take = std::min<size_t>(size, Unit - Partial.size());
        Partial.insert(Partial.end(), data, data + take);
        data += take;
        size -= take;
        if (Partial.size() == Unit) {
            ScanUnit(Consumed, Partial.data(), found);
            Consumed += Unit;
            Partial.clear();
        }
    }
}

void TPackScanner::ScanUnit(uint64_t offset, const uint8_t *u, std::vector<TIndexRecord> &found)
{
    size_t p = 0;
    if (Unit >= 16 && StartCode(u) && u[3] == 0xBA) {
        uint64_t scr;
        if ((u[4] & 0xC0) == 0x40) { // MPEG-2 pack header
            scr = uint64_t(u[4] & 0x38) << 27 | uint64_t(u[4] & 0x03) << 28 | uint64_t(u[5]) << 20 |
                  uint64_t(u[6] & 0xF8) << 12 | uint64_t(u[6] & 0x03) << 13 | uint64_t(u[7]) << 5 |
                  uint64_t(u[8]) >> 3;
            p = 14 + (u[13] & 7);
        } else if ((u[4] & 0xF0) == 0x20) { // MPEG-1 pack header
            scr = Stamp(u + 4);
            p = 12;
        } else {
            return;
        }
        if (!HaveScr) {
            HaveScr = true;
            FirstScr = scr;
        }
    }
    while (p + 9 <= Unit && StartCode(u + p) && u[p + 3] >= 0xBB) {
        const uint8_t id = u[p + 3];
        const size_t end = std::min<size_t>(Unit, p + 6 + (size_t(u[p + 4]) << 8 | u[p + 5]));
        if (id >= 0xE0 && id <= 0xEF) {
            size_t q = p + 6;
            bool havePts = false;
            uint64_t pts = 0;
            if ((u[q] & 0xC0) == 0x80) { // MPEG-2 PES header
                havePts = (u[q + 1] & 0x80) && q + 8 <= end;
                if (havePts)
                    pts = Stamp(u + q + 3);
                q += 3 + u[q + 2];
            } else { // MPEG-1 packet header
                while (q < end && u[q] == 0xFF)
                    ++q;
                if (q < end && (u[q] & 0xC0) == 0x40)
                    q += 2;
                if (q + 5 <= end && (u[q] & 0xE0) == 0x20) {
                    havePts = true;
                    pts = Stamp(u + q);
                    q += (u[q] & 0x10) ? 10 : 5;
                } else {
                    ++q; // 0x0F: no time stamps
                }
            }
            if (q < end) {
                int64_t entry = -1;
                const int headers = CountSequenceStarts(offset, u + q, end - q, entry);
                if (havePts) {
                    HavePts = true;
                    LastPts = pts;
                }
                for (int n = 0; n < headers; ++n) {
                    // The stamp of the I picture: the writer's, shifted into
                    // the stream's time; else this packet's.
                    int64_t stamp = int64_t(LastPts);
                    if (!Keyframes.empty()) {
                        if (!HaveShift && HavePts) {
                            HaveShift = true;
                            Shift = int64_t(LastPts) - Keyframes.front();
                        }
                        stamp = Keyframes.front() + Shift;
                        Keyframes.pop_front();
                    }
                    if (n > 0 || !HavePts || !HaveScr)
                        continue;
                    const int64_t since = std::max<int64_t>(stamp - int64_t(FirstScr), 0);
                    const uint32_t millis = uint32_t(std::min<int64_t>(since / 90, UINT32_MAX));
                    const int64_t second = millis / 1000;
                    if (second > LastSecond && millis >= LastMillis) {
                        found.push_back({uint64_t(entry), millis, IndexEntryPoint});
                        LastSecond = second;
                        LastMillis = millis;
                    }
                }
            }
        }
        if (end <= p + 6)
            break;
        p = end;
    }
}

int TPackScanner::CountSequenceStarts(uint64_t unitOffset, const uint8_t *data, size_t size,
                                      int64_t &first)
{
    static const uint8_t Code[4] = {0, 0, 1, 0xB3};
    int count = 0;
    first = -1;
    // A start code that begins in the previous payload: k of its last bytes.
    for (int k = 3; k >= 1 && count == 0; --k) {
        if (size_t(4 - k) > size)
            continue;
        if (std::memcmp(Tail + 3 - k, Code, k) == 0 && std::memcmp(data, Code + k, 4 - k) == 0) {
            first = int64_t(TailUnit[3 - k]);
            ++count;
        }
    }
    for (size_t i = 0; i + 4 <= size; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB3) {
            if (first < 0)
                first = int64_t(unitOffset);
            ++count;
        }
    // Keep the last three bytes and where they came from.
    for (size_t i = size > 3 ? size - 3 : 0; i < size; ++i) {
        std::memmove(Tail, Tail + 1, 2);
        std::memmove(TailUnit, TailUnit + 1, 2 * sizeof(uint64_t));
        Tail[2] = data[i];
        TailUnit[2] = unitOffset;
    }
    return count;
}
