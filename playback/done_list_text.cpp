#include "playback/done_list_text.h"

#include <QFileInfo>
#include <QLocale>
#include <cmath>

#include "playback/playback_info.h"

qint64 DurationSeconds(const TPlaybackItem &item)
{
    const double days = item.EndTime - item.StartTime;
    if (!std::isfinite(days) || std::fabs(days) > 1.0e7)
        return 0;
    // Whole days and the time of day of the difference, to the millisecond
    // first so that 0.999999 of a second from the floating point still
    // counts as the whole second it stands for.
    return std::llround(days * 86400000.0) / 1000;
}

QString DurationText(qint64 seconds)
{
    const qint64 a = seconds < 0 ? -seconds : seconds;
    return (seconds < 0 ? QStringLiteral("-") : QString()) +
           QString::asprintf("%lld:%2.2d:%2.2d", a / 3600, int(a / 60 % 60), int(a % 60));
}

QStringList DoneRowCells(const TPlaybackItem &item)
{
    const QFileInfo file(item.FileName);
    QString folder = file.path();
    if (!folder.endsWith('/'))
        folder += '/';
    const QDateTime start = DaysToDateTime(item.StartTime);
    return {file.fileName(),
            start.isValid() ? QLocale::system().toString(start, QLocale::ShortFormat) : QString(),
            DurationText(DurationSeconds(item)),
            QString::number(item.Channel),
            folder,
            item.Description};
}
