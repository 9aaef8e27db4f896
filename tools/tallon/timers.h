// How tallon is woken at an entry's time: a systemd user timer when the
// user's systemd runs (it also starts tallon when nothing of it runs, and
// can wake a suspended machine), else the agent's own resident timer.
#pragma once

#include <QString>
#include <QStringList>

#include "tools/tallon/schedule.h"

// The user's systemd manager answers (its private socket exists).
bool UserSystemdRuns();

// The unit name of an entry's timer: unique per program folder and entry.
QString TimerUnitName(const QString &programFolder, int id);

// The systemd-run arguments of an entry's timer, which runs `tallon fire ID`
// with the folder and the program at the entry's start; `wake` asks for
// WakeSystem=.
QStringList TimerArguments(const TScheduleEntry &entry, const QString &unit, const QString &tallon,
                           const QString &programFolder, const QString &lyra, bool wake);

// Creates the timer; false with the reason. A refused WakeSystem= is tried
// again without it.
bool ArmSystemdTimer(const TScheduleEntry &entry, const QString &unit, const QString &tallon,
                     const QString &programFolder, const QString &lyra, bool wake, QString *error);
// Stops an entry's timer (the entry was removed or changed).
void DisarmSystemdTimer(const QString &unit);
