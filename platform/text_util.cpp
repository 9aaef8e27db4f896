#include "platform/text_util.h"

bool ContainsText(const QString &text, const QString &fragment)
{
    if (fragment.isEmpty())
        return false;
    return text.contains(fragment, Qt::CaseInsensitive);
}

QString FormatHMS(qint64 seconds)
{
    if (seconds < 0)
        seconds = 0;
    return QString::asprintf("%d:%2.2d:%2.2d", int(seconds / 3600), int(seconds / 60 % 60),
                             int(seconds % 60));
}
