// Reads arbitrary bytes as a channel list (".chl"). Whatever reads as a whole
// list must write out in a form that reads back to the same bytes again.
#include "channels/channel_list.h"
#include "fuzz/round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return CheckRoundTrip<TChannelListData>(
        data, size,
        [](QIODevice *in, TChannelListData &d) {
            return ReadChannelList(in, d) == TChannelListStatus::Ok;
        },
        [](QIODevice *out, const TChannelListData &d) { return WriteChannelList(out, d); });
}
