#include "playback/playback_files.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

TPlaybackFileKind PlaybackFileKind(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == "mpv")
        return TPlaybackFileKind::TimeShift;
    for (const char *audio : {"mp3", "mpa", "wma", "wav", "wave"})
        if (suffix == audio)
            return TPlaybackFileKind::Audio;
    if (suffix == "mpg" || suffix == "mpeg")
        return TPlaybackFileKind::Mpeg;
    return TPlaybackFileKind::Other;
}

bool IsTransportStreamData(const QByteArray &head, qint64 fileSize)
{
    constexpr int Packet = 188;
    if (fileSize < Packet)
        return false;
    const int n = int(std::min<qint64>({fileSize, 545, head.size()}));
    int start = -1;
    for (int i = 0; i < 9 && i < n; ++i)
        if (uint8_t(head[i]) == 0x47) {
            start = i;
            break;
        }
    if (start < 0)
        return false;
    // The number of packets the bytes read hold, rounded to the nearest,
    // halves to even.
    int count = n / Packet;
    const int rest = n % Packet;
    if (2 * rest > Packet || (2 * rest == Packet && count % 2 == 1))
        ++count;
    for (int at = start; count > 0 && at < n && uint8_t(head[at]) == 0x47; at += Packet)
        --count;
    return count == 0;
}

bool IsTransportStream(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return IsTransportStreamData(file.read(545), file.size());
}

int32_t StepPercentFor(int32_t durationSeconds, int32_t positionScale)
{
    const int divisor = durationSeconds <= 9      ? 3
                        : durationSeconds <= 99   ? 5
                        : durationSeconds <= 499  ? 10
                        : durationSeconds <= 1999 ? 20
                                                  : 30;
    return positionScale / divisor;
}
