// The round trip every settings-file fuzzer checks: whatever reads as a whole
// file must write out in a form that reads back to the same bytes again.
#pragma once

#include <QBuffer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// Read(QIODevice *, Data &) is true for a file read whole; Write(QIODevice *,
// const Data &) is true when the data was written.
template <class Data, class Read, class Write>
int CheckRoundTrip(const uint8_t *data, size_t size, Read read, Write write)
{
    const auto written = [&write](const Data &d) {
        QByteArray out;
        QBuffer buffer(&out);
        buffer.open(QIODevice::WriteOnly);
        if (!write(&buffer, d))
            std::abort();
        return out;
    };
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    Data first;
    if (!read(&in, first))
        return 0;
    QByteArray once = written(first);
    QBuffer again(&once);
    again.open(QIODevice::ReadOnly);
    Data second;
    if (!read(&again, second) || written(second) != once)
        std::abort();
    return 0;
}
