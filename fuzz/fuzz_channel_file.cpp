// Reads arbitrary bytes as "QPAVO2.cfg". Whatever reads as a whole file must
// write out in a form that reads back to the same bytes again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QBuffer>

#include "channels/channel_file.h"

namespace {
QByteArray Write(const TChannelFileData &d)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    if (!WriteChannelFile(&buffer, d))
        std::abort();
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    TChannelFileData d;
    if (ReadChannelFile(&in, d) != TChannelFileStatus::Ok)
        return 0;
    const QByteArray once = Write(d);
    QBuffer again(const_cast<QByteArray *>(&once));
    again.open(QIODevice::ReadOnly);
    TChannelFileData d2;
    if (ReadChannelFile(&again, d2) != TChannelFileStatus::Ok || Write(d2) != once)
        std::abort();
    return 0;
}
