// Reads arbitrary bytes as "PLAYRECENT.LST": every line read is a path
// without line ends, and the list written from it reads back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "playback/playback_info.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList list = ReadRecentList(bytes);
    QByteArray written;
    for (const QString &line : list) {
        if (line.isEmpty() || line.contains('\n'))
            std::abort();
        written += line.toUtf8() + "\r\n";
    }
    if (ReadRecentList(written) != list)
        std::abort();
    return 0;
}
