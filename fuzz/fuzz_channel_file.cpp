// Reads arbitrary bytes as "QPAVO2.cfg". Whatever reads as a whole file must
// write out in a form that reads back to the same bytes again.
#include "channels/channel_file.h"
#include "fuzz/round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return CheckRoundTrip<TChannelFileData>(
        data, size,
        [](QIODevice *in, TChannelFileData &d) {
            return ReadChannelFile(in, d) == TChannelFileStatus::Ok;
        },
        [](QIODevice *out, const TChannelFileData &d) { return WriteChannelFile(out, d); });
}
