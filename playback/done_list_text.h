// The done list as the Playback dialog shows it: one row of texts a
// recording. GUI thread or any other; no state.
#pragma once

#include <QString>
#include <QStringList>

struct TPlaybackItem;

// The length of a recording in whole seconds, EndTime - StartTime; negative
// when it ends before it starts.
qint64 DurationSeconds(const TPlaybackItem &item);
// "h:mm:ss", hours not wrapped at 24; a negative length carries its minus
// sign in the hours field ("-1:01:01", "-0:00:30").
QString DurationText(qint64 seconds);

// The six cells of a recording's row: file name, start (the desktop's date
// and time format), length, channel, folder (with its trailing separator),
// description.
QStringList DoneRowCells(const TPlaybackItem &item);
