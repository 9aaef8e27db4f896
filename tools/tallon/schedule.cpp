#include "tools/tallon/schedule.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "platform/safe_file.h"

namespace {

const char *const Sources[] = {"tv", "cable", "memory", "composite", "svideo", "fm"};
const char *const Formats[] = {"mpeg1",   "mpeg2",    "mpeg4",   "avi",       "vcd-ntsc",
                               "vcd-pal", "dvd-ntsc", "dvd-pal", "svcd-ntsc", "svcd-pal"};
const char *const States[] = {"pending", "running", "done", "failed"};
constexpr const char *FileKind = "lyra-schedule";
constexpr int FileVersion = 1;
// The longest recording one entry may ask for: a day.
constexpr int MaxMinutes = 24 * 60;

QString Check(const TScheduleEntry &e)
{
    if (!e.Start.isValid())
        return "the start time is not valid";
    if (e.DurationMinutes < 1 || e.DurationMinutes > MaxMinutes)
        return QString("the duration must be 1 to %1 minutes").arg(MaxMinutes);
    if (e.Source < RelayAntenna || e.Source > RelayFM)
        return "the source is not known";
    if (e.Channel < 0 || e.Channel > 9999)
        return "the channel must be 0 to 9999";
    if (e.Format < 0 || e.Format > 9)
        return "the format is not known";
    if (e.Name.toUtf8().size() > RelayNameMax)
        return QString("the name is longer than %1 bytes").arg(RelayNameMax);
    return {};
}

QJsonObject ToJson(const TScheduleEntry &e)
{
    QJsonObject o{{"id", e.Id},
                  {"start", e.Start.toString("yyyy-MM-dd HH:mm")},
                  {"duration", e.DurationMinutes},
                  {"source", SourceName(e.Source)},
                  {"channel", e.Channel},
                  {"format", e.Format},
                  {"name", e.Name},
                  {"powerOff", e.PowerOff},
                  {"state", StateName(e.State)}};
    if (!e.Reason.isEmpty())
        o["reason"] = e.Reason;
    if (!e.TimerUnit.isEmpty())
        o["timerUnit"] = e.TimerUnit;
    return o;
}

bool FromJson(const QJsonValue &v, TScheduleEntry &e, QString *error)
{
    const QJsonObject o = v.toObject();
    if (!v.isObject() || !o["id"].isDouble() || !o["start"].isString() ||
        !o["duration"].isDouble() || !o["source"].isString() || !o["channel"].isDouble() ||
        !o["format"].isDouble() || !o["state"].isString()) {
        *error = "an entry lacks a field";
        return false;
    }
    e.Id = o["id"].toInt();
    e.Start = QDateTime::fromString(o["start"].toString(), "yyyy-MM-dd HH:mm");
    e.DurationMinutes = o["duration"].toInt();
    e.Source = SourceFromName(o["source"].toString());
    e.Channel = o["channel"].toInt();
    e.Format = o["format"].toInt(-1);
    e.Name = o["name"].toString();
    e.PowerOff = o["powerOff"].toBool();
    e.Reason = o["reason"].toString();
    e.TimerUnit = o["timerUnit"].toString();
    const auto *state = std::find(std::begin(States), std::end(States), o["state"].toString());
    if (state == std::end(States)) {
        *error = "an entry's state is not known";
        return false;
    }
    e.State = TScheduleEntry::TState(state - std::begin(States));
    const QString why = e.Id > 0 ? Check(e) : QString("an entry's id is not positive");
    if (!why.isEmpty()) {
        *error = QString("entry %1: %2").arg(e.Id).arg(why);
        return false;
    }
    return true;
}

QDateTime End(const TScheduleEntry &e)
{
    return e.Start.addSecs(qint64(e.DurationMinutes) * 60);
}

} // namespace

TRelayRequest TScheduleEntry::Request() const
{
    TRelayRequest r;
    r.RecordLimit = DurationMinutes * 60;
    r.Source = Source;
    r.Channel = Channel;
    r.Format = uint8_t(Format);
    r.FileName = Name;
    r.NameFormat = Name.isEmpty() ? 0 : 1;
    // The sizes and rates of the formats with a fixed frame; the others
    // record at the program's usual 640x480, 4000 kbit/s.
    switch (Format) {
    case 4: // VCD (NTSC)
        r.Width = 352, r.Height = 240, r.BitRate = 1150;
        break;
    case 5: // VCD (PAL)
        r.Width = 352, r.Height = 288, r.BitRate = 1150;
        break;
    case 6: // DVD (NTSC)
    case 8: // SVCD (NTSC)
        r.Width = Format == 6 ? 720 : 480, r.Height = 480, r.BitRate = Format == 6 ? 6000 : 2500;
        break;
    case 7: // DVD (PAL)
    case 9: // SVCD (PAL)
        r.Width = Format == 7 ? 720 : 480, r.Height = 576, r.BitRate = Format == 7 ? 6000 : 2500;
        break;
    default:
        break;
    }
    // The agent's own bytes: the entry's id, for the program's log.
    r.Reserved = QByteArray(16, '\0');
    r.Reserved[0] = char(Id & 0xff);
    r.Reserved[1] = char((Id >> 8) & 0xff);
    return r;
}

int SourceFromName(const QString &name)
{
    for (int i = 0; i < 6; ++i)
        if (name.compare(Sources[i], Qt::CaseInsensitive) == 0)
            return i;
    if (name.compare("antenna", Qt::CaseInsensitive) == 0)
        return RelayAntenna;
    if (name.compare("s-video", Qt::CaseInsensitive) == 0)
        return RelaySVideo;
    return -1;
}

QString SourceName(int source)
{
    return source >= 0 && source < 6 ? QString(Sources[source]) : QString();
}

int FormatFromName(const QString &name)
{
    bool number = false;
    const int index = name.toInt(&number);
    if (number)
        return index >= 0 && index <= 9 ? index : -1;
    for (int i = 0; i < 10; ++i)
        if (name.compare(Formats[i], Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString StateName(TScheduleEntry::TState state)
{
    return States[state];
}

bool TSchedule::Load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.exists()) {
        Entries.clear();
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + ": " + file.errorString();
        return false;
    }
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parse);
    const QJsonObject root = doc.object();
    if (parse.error != QJsonParseError::NoError || !doc.isObject() ||
        root["kind"].toString() != FileKind || root["version"].toInt() != FileVersion ||
        !root["entries"].isArray()) {
        *error = path + " is damaged or not a schedule" +
                 (parse.error != QJsonParseError::NoError ? ": " + parse.errorString() : QString());
        return false;
    }
    QList<TScheduleEntry> entries;
    for (const QJsonValue &v : root["entries"].toArray()) {
        TScheduleEntry e;
        QString why;
        if (!FromJson(v, e, &why)) {
            *error = path + " is damaged: " + why;
            return false;
        }
        const bool duplicate = std::any_of(entries.begin(), entries.end(),
                                           [&](const TScheduleEntry &o) { return o.Id == e.Id; });
        if (duplicate) {
            *error = path + QString(" is damaged: id %1 twice").arg(e.Id);
            return false;
        }
        entries.append(e);
    }
    Entries = entries;
    return true;
}

bool TSchedule::Save(const QString &path, QString *error) const
{
    QJsonArray entries;
    for (const TScheduleEntry &e : Entries)
        entries.append(ToJson(e));
    const QJsonObject root{{"kind", FileKind}, {"version", FileVersion}, {"entries", entries}};
    return WriteFileSafely(path, QJsonDocument(root).toJson(QJsonDocument::Indented), error);
}

bool TSchedule::Add(TScheduleEntry &entry, QString *error)
{
    entry.Start = entry.Start.addSecs(-entry.Start.time().second());
    const QString why = Check(entry);
    if (!why.isEmpty()) {
        *error = why;
        return false;
    }
    int id = 1;
    for (const TScheduleEntry &e : Entries)
        id = std::max(id, e.Id + 1);
    entry.Id = id;
    entry.State = TScheduleEntry::Pending;
    entry.Reason.clear();
    Entries.append(entry);
    return true;
}

bool TSchedule::Remove(int id)
{
    return Entries.removeIf([id](const TScheduleEntry &e) { return e.Id == id; }) > 0;
}

TScheduleEntry *TSchedule::Find(int id)
{
    for (TScheduleEntry &e : Entries)
        if (e.Id == id)
            return &e;
    return nullptr;
}

QList<int> TSchedule::Due(const QDateTime &now) const
{
    QList<const TScheduleEntry *> due;
    for (const TScheduleEntry &e : Entries)
        if (e.State == TScheduleEntry::Pending && e.Start <= now && now < End(e))
            due.append(&e);
    std::sort(due.begin(), due.end(),
              [](const TScheduleEntry *a, const TScheduleEntry *b) { return a->Start < b->Start; });
    QList<int> ids;
    for (const TScheduleEntry *e : due)
        ids.append(e->Id);
    return ids;
}

QList<int> TSchedule::Missed(const QDateTime &now) const
{
    QList<int> ids;
    for (const TScheduleEntry &e : Entries)
        if (e.State == TScheduleEntry::Pending && End(e) <= now)
            ids.append(e.Id);
    return ids;
}

QDateTime TSchedule::NextStart(const QDateTime &now) const
{
    QDateTime next;
    for (const TScheduleEntry &e : Entries)
        if (e.State == TScheduleEntry::Pending && e.Start > now &&
            (!next.isValid() || e.Start < next))
            next = e.Start;
    return next;
}

bool TSchedule::AnyPendingOrRunning() const
{
    return std::any_of(Entries.begin(), Entries.end(), [](const TScheduleEntry &e) {
        return e.State == TScheduleEntry::Pending || e.State == TScheduleEntry::Running;
    });
}

QString ScheduleFilePath(const QString &programFolder)
{
    return programFolder + "/Schedule.tal";
}
