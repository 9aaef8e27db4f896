// Reads arbitrary bytes as "PLAYITEMS.LST". The records a read keeps must
// write out in a form that reads back whole to the same bytes again.
#include <QBuffer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "playback/playback_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    std::vector<std::unique_ptr<TPlaybackItem>> items;
    ReadDoneList(&in, items);
    bool ok = false;
    const QByteArray once = WriteDoneList(items, &ok);
    if (!ok)
        std::abort();
    QBuffer again(const_cast<QByteArray *>(&once));
    again.open(QIODevice::ReadOnly);
    std::vector<std::unique_ptr<TPlaybackItem>> back;
    if (!ReadDoneList(&again, back) || back.size() != items.size() ||
        WriteDoneList(back, &ok) != once)
        std::abort();
    return 0;
}
