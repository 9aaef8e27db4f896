// ".chl" import and export on the channel table.
#include <QBuffer>
#include <QFile>

#include "channels/channel_info.h"
#include "channels/channel_list.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "platform/safe_file.h"

bool TChannelInfo::ImportChannelList(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0)
        return false;
    // Read whole into a scratch copy first: a damaged file changes nothing.
    TChannelListData data;
    const TChannelListStatus status = ReadChannelList(&file, data);
    if (status == TChannelListStatus::Empty)
        return false;
    if (status != TChannelListStatus::Ok) {
        qCWarning(lcFiles) << "not a channel list:" << path;
        ShowWarningText("Cannot import channel info, invalid format...");
        return false;
    }
    for (int half = 0; half < 2; ++half) {
        TTVList &list = List(half == 0);
        for (int k = 1; k <= TVChannelCount; ++k) {
            list[k].Frequency = data.Lists[half][k].Frequency;
            list[k].Name = data.Lists[half][k].Name;
        }
    }
    return true;
}

bool TChannelInfo::ExportChannelList(const QString &path) const
{
    TChannelListData data;
    for (int half = 0; half < 2; ++half) {
        const TTVList &list = half == 0 ? Antenna : Cable;
        for (int k = 1; k <= TVChannelCount; ++k)
            data.Lists[half][k] = TChannelListEntry{list[k].Frequency, list[k].Name};
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QString error;
    // Written beside the target and renamed over it when complete: a failed
    // write leaves no partial file behind.
    const bool ok = buffer.open(QIODevice::WriteOnly) && WriteChannelList(&buffer, data) &&
                    WriteFileSafely(path, bytes, &error);
    if (!ok) {
        qCWarning(lcFiles).noquote() << (error.isEmpty() ? "cannot write " + path : error);
        ShowWarningText("Cannot write channel list infomation....");
    }
    return ok;
}
