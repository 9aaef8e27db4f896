// Reading and writing the time index of a time-shift recording.
#include "platform/timeshift_index.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char Magic[8] = {'L', 'Y', 'R', 'A', 'T', 'S', 'I', 'X'};
constexpr uint32_t Version = 1;
// The largest pack a program stream can declare.
constexpr uint32_t MaxUnit = 65536;

uint32_t Get32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Put32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

bool ReadAll(int fd, uint64_t from, std::vector<uint8_t> &out)
{
    out.clear();
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = pread(fd, chunk, sizeof chunk, off_t(from + out.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.insert(out.end(), chunk, chunk + n);
    }
}

} // namespace

uint16_t IndexRecordCheck(const TIndexRecord &r)
{
    // FNV-1a over the fields, folded to 16 bits.
    uint32_t h = 2166136261u;
    auto mix = [&h](uint64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            h ^= uint8_t(v >> (8 * i));
            h *= 16777619u;
        }
    };
    mix(r.Offset, 8);
    mix(r.Millis, 4);
    mix(r.Kind, 2);
    return uint16_t(h ^ (h >> 16));
}

void EncodeIndexHeader(uint32_t unitSize, uint8_t out[IndexHeaderSize])
{
    std::memcpy(out, Magic, sizeof Magic);
    Put32(out + 8, Version);
    Put32(out + 12, unitSize);
}

void EncodeIndexRecord(const TIndexRecord &r, uint8_t out[IndexRecordSize])
{
    Put32(out, uint32_t(r.Offset));
    Put32(out + 4, uint32_t(r.Offset >> 32));
    Put32(out + 8, r.Millis);
    const uint16_t check = IndexRecordCheck(r);
    out[12] = uint8_t(r.Kind);
    out[13] = uint8_t(r.Kind >> 8);
    out[14] = uint8_t(check);
    out[15] = uint8_t(check >> 8);
}

std::string TimeShiftIndexName(const std::string &mediaFile)
{
    return mediaFile + ".idx";
}

void TTimeShiftIndex::Clear()
{
    *this = TTimeShiftIndex{};
}

bool TTimeShiftIndex::Parse(const uint8_t *data, size_t size)
{
    Clear();
    if (size < IndexHeaderSize || std::memcmp(data, Magic, sizeof Magic) != 0 ||
        Get32(data + 8) != Version)
        return false;
    const uint32_t unit = Get32(data + 12);
    if (unit == 0 || unit > MaxUnit)
        return false;
    Unit = unit;
    ReadUpTo = IndexHeaderSize;
    Append(data + IndexHeaderSize, size - IndexHeaderSize);
    return true;
}

bool TTimeShiftIndex::Append(const uint8_t *data, size_t size)
{
    for (size_t at = 0; at + IndexRecordSize <= size; at += IndexRecordSize) {
        if (Finished || Broken)
            return false;
        const uint8_t *p = data + at;
        TIndexRecord r;
        r.Offset = uint64_t(Get32(p)) | uint64_t(Get32(p + 4)) << 32;
        r.Millis = Get32(p + 8);
        r.Kind = uint16_t(p[12] | p[13] << 8);
        const uint16_t check = uint16_t(p[14] | p[15] << 8);
        const TIndexRecord *last = Points.empty() ? nullptr : &Points.back();
        const bool fits = check == IndexRecordCheck(r) &&
                          (r.Kind == IndexEntryPoint || r.Kind == IndexEnd) &&
                          (!last || (r.Offset >= last->Offset && r.Millis >= last->Millis)) &&
                          (r.Kind == IndexEnd || r.Offset % Unit == 0);
        if (!fits) {
            // A damaged record ends what can be trusted.
            Broken = true;
            return false;
        }
        ReadUpTo += IndexRecordSize;
        if (r.Kind == IndexEnd) {
            Finished = true;
            FinalSize = r.Offset;
        } else {
            Points.push_back(r);
        }
    }
    return true;
}

bool TTimeShiftIndex::Refresh(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    std::vector<uint8_t> bytes;
    bool ok = fstat(fd, &st) == 0;
    const bool same = ok && Unit && FileId[0] == uint64_t(st.st_dev) &&
                      FileId[1] == uint64_t(st.st_ino) && uint64_t(st.st_size) >= ReadUpTo;
    if (ok && same) {
        ok = ReadAll(fd, ReadUpTo, bytes);
        if (ok)
            Append(bytes.data(), bytes.size());
    } else if (ok) {
        ok = ReadAll(fd, 0, bytes) && Parse(bytes.data(), bytes.size());
        FileId[0] = uint64_t(st.st_dev);
        FileId[1] = uint64_t(st.st_ino);
    }
    close(fd);
    return ok;
}

uint64_t TTimeShiftIndex::OffsetFor(uint64_t millis) const
{
    if (Points.empty())
        return 0;
    auto after = std::upper_bound(Points.begin(), Points.end(), millis,
                                  [](uint64_t m, const TIndexRecord &r) { return m < r.Millis; });
    return after == Points.begin() ? Points.front().Offset : std::prev(after)->Offset;
}

uint32_t TTimeShiftIndex::MillisAt(uint64_t offset) const
{
    auto after = std::upper_bound(Points.begin(), Points.end(), offset,
                                  [](uint64_t o, const TIndexRecord &r) { return o < r.Offset; });
    return after == Points.begin() ? 0 : std::prev(after)->Millis;
}

bool TTimeShiftIndex::SecondsRange(int32_t &earliest, int32_t &latest) const
{
    if (Points.empty())
        return false;
    // The seconds in which the first and the last entry points lie.
    earliest = int32_t(Points.front().Millis / 1000);
    latest = int32_t(Points.back().Millis / 1000);
    return true;
}

bool TTimeShiftIndexWriter::Open(const std::string &path, uint32_t unitSize, int *error)
{
    Close();
    Fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (Fd < 0) {
        if (error)
            *error = errno;
        return false;
    }
    uint8_t header[IndexHeaderSize];
    EncodeIndexHeader(unitSize, header);
    if (write(Fd, header, sizeof header) != ssize_t(sizeof header)) {
        if (error)
            *error = errno ? errno : EIO;
        Close();
        return false;
    }
    return true;
}

bool TTimeShiftIndexWriter::Add(const TIndexRecord &record, int *error)
{
    if (Fd < 0)
        return false;
    uint8_t bytes[IndexRecordSize];
    EncodeIndexRecord(record, bytes);
    ssize_t n;
    do
        n = write(Fd, bytes, sizeof bytes);
    while (n < 0 && errno == EINTR);
    if (n != ssize_t(sizeof bytes)) {
        if (error)
            *error = n < 0 ? errno : ENOSPC;
        return false;
    }
    return true;
}

void TTimeShiftIndexWriter::Close()
{
    if (Fd >= 0)
        close(Fd);
    Fd = -1;
}
