// The agent's schedule: the recordings planned with tallon, kept as JSON in
// "Schedule.tal" of Lyra's program folder and written whole or not at all.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "playback/scheduled_record.h"

struct TScheduleEntry
{
    enum TState
    {
        Pending,
        Running,
        Done,
        Failed
    };

    int Id = 0;
    QDateTime Start; // local time, whole minutes
    int DurationMinutes = 0;
    int Source = RelayAntenna; // as in Relay.rec
    int Channel = 0;
    int Format = 1;        // capture format index
    QString Name;          // file name stem; empty: named by date and time
    bool PowerOff = false; // switch the machine off when this is the last
    TState State = Pending;
    QString Reason;    // why it failed, or what happened
    QString TimerUnit; // the systemd timer that fires it, when one does

    // The request handed to the program.
    TRelayRequest Request() const;
};

// "tv" (antenna), "cable", "memory", "composite", "svideo", "fm": the source
// number, or -1.
int SourceFromName(const QString &name);
QString SourceName(int source);
// The capture format by index ("0".."9") or name ("mpeg1", "mpeg2", "mpeg4",
// "avi", "vcd-ntsc", "vcd-pal", "dvd-ntsc", "dvd-pal", "svcd-ntsc",
// "svcd-pal"); -1 when unknown.
int FormatFromName(const QString &name);
QString StateName(TScheduleEntry::TState state);

class TSchedule
{
public:
    QList<TScheduleEntry> Entries;

    // False, with the reason, when the file exists but is not a schedule
    // (damaged, or written by something else); then nothing is loaded. A
    // missing file is an empty schedule.
    bool Load(const QString &path, QString *error);
    bool Save(const QString &path, QString *error) const;

    // Checks an entry and gives it the next free id; false with the reason
    // when it is not a possible recording.
    bool Add(TScheduleEntry &entry, QString *error);
    bool Remove(int id);
    TScheduleEntry *Find(int id);
    // Pending entries whose start has come (not those more than their
    // duration late: those are missed), earliest first.
    QList<int> Due(const QDateTime &now) const;
    // Pending entries whose whole recording time has passed unrecorded.
    QList<int> Missed(const QDateTime &now) const;
    // The next pending start after now; invalid when none.
    QDateTime NextStart(const QDateTime &now) const;
    bool AnyPendingOrRunning() const;
};

// "Schedule.tal" in the folder.
QString ScheduleFilePath(const QString &programFolder);
