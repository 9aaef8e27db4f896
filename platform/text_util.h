// Small text helpers shared by every subsystem.
#pragma once

#include <QString>

// Case-insensitive substring test used for every device and filter lookup by
// friendly name. An empty fragment never matches.
bool ContainsText(const QString &text, const QString &fragment);

// "%d:%2.2d:%2.2d" of a duration or clock time in seconds.
QString FormatHMS(qint64 seconds);
