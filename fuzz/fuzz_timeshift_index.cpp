// The time index reader and the pack scanner that feeds the index writer.
// First byte even: the rest is an index file. It is read whole, and read in
// two steps through Refresh as a growing file: both must give the same
// entries, in order, and the lookups must answer within them. First byte
// odd: the rest is a program stream fed to the scanner in pieces; what it
// finds must lie on the pack grid, in order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "platform/ps_pack_scanner.h"
#include "platform/timeshift_index.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        abort();
}

void CheckOrder(const TTimeShiftIndex &index)
{
    const auto &e = index.Entries();
    for (size_t i = 1; i < e.size(); ++i)
        Check(e[i].Offset >= e[i - 1].Offset && e[i].Millis >= e[i - 1].Millis);
    for (const TIndexRecord &r : e) {
        Check(index.OffsetFor(r.Millis) == r.Offset || index.OffsetFor(r.Millis) > r.Offset);
        Check(index.MillisAt(r.Offset) >= r.Millis);
    }
    int32_t earliest = 0, latest = 0;
    Check(index.SecondsRange(earliest, latest) == !e.empty());
    if (!e.empty())
        Check(earliest <= latest);
}

const std::string &Scratch()
{
    static const std::string path = [] {
        static char name[] = "/tmp/fuzz-tsidx-XXXXXX";
        const int fd = mkstemp(name);
        close(fd);
        atexit([] { unlink(name); });
        return std::string(name);
    }();
    return path;
}

void Write(const uint8_t *data, size_t size, const char *mode)
{
    FILE *f = fopen(Scratch().c_str(), mode);
    if (size)
        fwrite(data, 1, size, f);
    fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t plan = data[0];
    ++data;
    --size;
    if (plan % 2 == 0) {
        TTimeShiftIndex whole;
        const bool parsed = whole.Parse(data, size);
        CheckOrder(whole);
        // The same bytes arriving in two writes.
        const size_t cut = size * (plan >> 1) / 127;
        TTimeShiftIndex growing;
        Write(data, cut, "wb");
        growing.Refresh(Scratch());
        Write(data + cut, size - cut, "ab");
        Check(growing.Refresh(Scratch()) == parsed);
        CheckOrder(growing);
        Check(growing.Entries().size() == whole.Entries().size());
        Check(growing.Complete() == whole.Complete());
        return 0;
    }
    const uint32_t unit = 16 + uint32_t(plan >> 1) * 16;
    TPackScanner scanner(unit);
    std::vector<TIndexRecord> found;
    size_t step = 1 + plan % 97;
    for (size_t at = 0; at < size; at += step)
        scanner.Feed(data + at, std::min(step, size - at), found);
    for (size_t i = 0; i < found.size(); ++i) {
        Check(found[i].Offset % unit == 0 && found[i].Offset < size);
        if (i > 0)
            Check(found[i].Millis / 1000 > found[i - 1].Millis / 1000);
    }
    return 0;
}
