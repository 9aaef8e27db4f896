// The transport-stream test on a file's first bytes. The input is the start
// of a file; the file may be claimed longer than what was read (a short
// read). A refusal needs a whole packet's length and a sync byte within the
// first nine bytes, and the test never reads past what it was given.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QByteArray>

#include "playback/playback_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const qint64 extra = qint64(data[0]) * 37;
    // A copy of exactly the bytes given, so ASan sees any read beyond them.
    const QByteArray head(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    for (qint64 fileSize : {qint64(head.size()), qint64(head.size()) + extra}) {
        if (!IsTransportStreamData(head, fileSize))
            continue;
        if (fileSize < 188 || head.size() < 1)
            abort();
        bool sync = false;
        for (int i = 0; i < 9 && i < head.size(); ++i)
            sync = sync || uint8_t(head[i]) == 0x47;
        if (!sync)
            abort();
    }
    return 0;
}
