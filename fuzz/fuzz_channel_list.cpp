// Reads arbitrary bytes as a channel list (".chl"). Whatever reads as a whole
// list must write out in a form that reads back to the same bytes again.
#include <QBuffer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "channels/channel_list.h"

namespace {
QByteArray Write(const TChannelListData &d)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    if (!WriteChannelList(&buffer, d))
        std::abort();
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    TChannelListData d;
    if (ReadChannelList(&in, d) != TChannelListStatus::Ok)
        return 0;
    const QByteArray once = Write(d);
    QBuffer again(const_cast<QByteArray *>(&once));
    again.open(QIODevice::ReadOnly);
    TChannelListData d2;
    if (ReadChannelList(&again, d2) != TChannelListStatus::Ok || Write(d2) != once)
        std::abort();
    return 0;
}
