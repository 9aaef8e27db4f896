#include "channels/channel_list.h"

#include <QIODevice>

#include "platform/record_stream.h"

TChannelListStatus ReadChannelList(QIODevice *device, TChannelListData &data)
{
    if (!device || device->atEnd())
        return TChannelListStatus::Empty;
    TRecordReader in(device);
    int32_t marker = 0;
    if (!in.ReadInt(marker) || marker != ChannelListHead)
        return TChannelListStatus::Damaged;
    for (auto &list : data.Lists)
        for (int k = 1; k <= TVChannelCount; ++k) {
            in.ReadInt(list[k].Frequency);
            in.ReadStr(list[k].Name);
        }
    // A name longer than the stream allows reads as empty and leaves its
    // bytes behind: the records after it are misread and the closing marker
    // does not match, so such a file is refused as a whole.
    if (!in.ReadInt(marker) || !in.Ok() || marker != ChannelListTail)
        return TChannelListStatus::Damaged;
    return TChannelListStatus::Ok;
}

bool WriteChannelList(QIODevice *device, const TChannelListData &data)
{
    TRecordWriter out(device);
    out.WriteInt(ChannelListHead);
    for (const auto &list : data.Lists)
        for (int k = 1; k <= TVChannelCount; ++k) {
            out.WriteInt(list[k].Frequency);
            out.WriteStr(list[k].Name);
        }
    out.WriteInt(ChannelListTail);
    return out.Ok();
}
