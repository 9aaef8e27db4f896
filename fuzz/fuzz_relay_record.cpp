// Reads arbitrary bytes as "Relay.rec". A request the reader accepts must
// encode to a file that reads back to the same request and the same bytes.
#include <QBuffer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "playback/scheduled_record.h"

namespace {
bool Same(const TRelayRequest &a, const TRelayRequest &b)
{
    return a.RecordLimit == b.RecordLimit && a.Source == b.Source && a.Channel == b.Channel &&
           a.Format == b.Format && a.Width == b.Width && a.Height == b.Height &&
           a.Quality == b.Quality && a.BitRate == b.BitRate && a.FrameRate == b.FrameRate &&
           a.Kind == b.Kind && a.NameFormat == b.NameFormat && a.FileName == b.FileName &&
           a.Reserved == b.Reserved;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    TRelayRequest request;
    if (!ReadRelayRecord(&in, request))
        return 0;
    // The name is cut at its zero; invalid UTF-8 comes back replaced, so
    // only a name that is valid text must survive unchanged.
    QByteArray once;
    if (!EncodeRelayRecord(request, once)) {
        if (request.FileName.toUtf8().size() <= RelayNameMax)
            std::abort();
        return 0;
    }
    if (once.size() != RelayFileSize)
        std::abort();
    QBuffer again(&once);
    again.open(QIODevice::ReadOnly);
    TRelayRequest back;
    QByteArray twice;
    if (!ReadRelayRecord(&again, back) || !Same(back, request) || !EncodeRelayRecord(back, twice) ||
        twice != once)
        std::abort();
    return 0;
}
