// Reads arbitrary bytes as "TVTable.tbl": every whole record must read, and
// encode back to its own bytes; every element must convert to Hz safely.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QBuffer>

#include "channels/frequency_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    const int count = FrequencyRecordCount(&in);
    for (int t = 0; t <= count; ++t) {
        TFrequencyRecord r;
        const bool read = ReadFrequencyRecord(&in, t, r);
        if (read != (t < count))
            std::abort();
        if (!read)
            break;
        if (EncodeFrequencyRecord(r) != bytes.mid(qsizetype(t) * FrequencyRecordSize, FrequencyRecordSize))
            std::abort();
        for (int half = 0; half < 2; ++half)
            for (int k = 0; k <= FrequencyTableChannels + 1; ++k)
                if (r.FrequencyHz(half, k) < 0)
                    std::abort();
    }
    return 0;
}
