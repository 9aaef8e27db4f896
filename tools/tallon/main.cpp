// tallon: plans Lyra's unattended recordings and starts them at their time.
//   tallon add --start 'YYYY-MM-DD HH:MM' --duration MIN --source SOURCE
//              --channel N [--format F] [--name NAME] [--power-off] [--wake]
//              [--no-systemd]
//   tallon list | remove ID | run | fire ID | window | srec_tv
// with --program-folder DIR (Lyra's, passed on to lyra) and --lyra PATH.
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "platform/instance_channel.h"
#include "platform/program_folder.h"
#include "tools/tallon/agent.h"
#include "tools/tallon/forms/schedule_window.h"
#include "tools/tallon/schedule.h"
#include "tools/tallon/timers.h"

namespace {

const char *const UsageText =
    "usage: tallon [COMMAND] [--program-folder DIR] [--lyra PATH]\n"
    "  add --start 'YYYY-MM-DD HH:MM' --duration MIN\n"
    "      --source tv|cable|memory|composite|svideo|fm --channel N\n"
    "      [--format 0-9|mpeg1|mpeg2|mpeg4|avi|vcd-pal|...] [--name NAME]\n"
    "      [--power-off] [--wake] [--no-systemd]\n"
    "                 plans a recording ('+N' starts N minutes from now)\n"
    "  list           shows the schedule\n"
    "  remove ID      takes an entry off the schedule\n"
    "  run            the agent without a window: fires the entries at their time\n"
    "  fire ID        hands an entry to Lyra now (what the timers run)\n"
    "  window, srec_tv  the schedule window (the default), with the agent\n";

struct TOptions
{
    QString Command = "window";
    QStringList Positional;
    QString Folder;
    QString Lyra;
    QString Start, Duration, Source, Channel, Format = "1", Name;
    bool PowerOff = false, Wake = false, NoSystemd = false;
    QString Error;
};

TOptions Parse(const QStringList &args)
{
    TOptions o;
    bool haveCommand = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        auto value = [&](QString &into) {
            if (i + 1 >= args.size()) {
                o.Error = a + " needs a value";
                return;
            }
            into = args[++i];
        };
        if (a == "--program-folder")
            value(o.Folder);
        else if (a == "--lyra")
            value(o.Lyra);
        else if (a == "--start")
            value(o.Start);
        else if (a == "--duration")
            value(o.Duration);
        else if (a == "--source")
            value(o.Source);
        else if (a == "--channel")
            value(o.Channel);
        else if (a == "--format")
            value(o.Format);
        else if (a == "--name")
            value(o.Name);
        else if (a == "--power-off")
            o.PowerOff = true;
        else if (a == "--wake")
            o.Wake = true;
        else if (a == "--no-systemd")
            o.NoSystemd = true;
        else if (a == "-h" || a == "--help")
            o.Command = "help";
        else if (a.startsWith("--"))
            o.Error = "unknown option " + a;
        else if (!haveCommand) {
            o.Command = a.toLower();
            haveCommand = true;
        } else
            o.Positional << a;
        if (!o.Error.isEmpty())
            break;
    }
    return o;
}

int Fail(const QString &text)
{
    std::fprintf(stderr, "tallon: %s\n", qPrintable(text));
    return 1;
}

bool LoadOrComplain(TSchedule &schedule, const QString &folder)
{
    QString error;
    if (schedule.Load(ScheduleFilePath(folder), &error))
        return true;
    std::fprintf(stderr,
                 "tallon: %s\ntallon: the schedule is left as it is; move it away to "
                 "start a new one\n",
                 qPrintable(error));
    return false;
}

QDateTime ParseStart(const QString &text)
{
    if (text.startsWith('+')) {
        bool ok = false;
        const int minutes = text.mid(1).toInt(&ok);
        if (!ok || minutes < 0)
            return {};
        QDateTime t = QDateTime::currentDateTime().addSecs(qint64(minutes) * 60);
        return t.addSecs(-t.time().second()).addMSecs(-t.time().msec());
    }
    return QDateTime::fromString(text.trimmed(), "yyyy-MM-dd HH:mm");
}

QString TallonProgram()
{
    return QCoreApplication::applicationFilePath();
}

// The resident agent, started when no timer of systemd will start tallon.
bool EnsureResidentAgent(const TOptions &o, const QString &folder)
{
    if (InstanceListening(AgentName)) {
        SendInstanceMessage(AgentName, {MsgScheduleChanged, 0, 0}, nullptr, 1000);
        return true;
    }
    QStringList args = {"run", "--program-folder", folder};
    if (!o.Lyra.isEmpty())
        args << "--lyra" << o.Lyra;
    return QProcess::startDetached(TallonProgram(), args);
}

int Add(const TOptions &o, const QString &folder)
{
    TScheduleEntry e;
    e.Start = ParseStart(o.Start);
    if (!e.Start.isValid())
        return Fail("--start needs 'YYYY-MM-DD HH:MM' or '+MINUTES'");
    bool ok = false;
    e.DurationMinutes = o.Duration.toInt(&ok);
    if (!ok)
        return Fail("--duration needs the minutes to record");
    e.Source = SourceFromName(o.Source);
    if (e.Source < 0)
        return Fail("--source is one of tv, cable, memory, composite, svideo, fm");
    e.Channel = o.Channel.isEmpty() && (e.Source == RelayComposite || e.Source == RelaySVideo)
                    ? 0
                    : o.Channel.toInt(&ok);
    if (!ok && !(e.Source == RelayComposite || e.Source == RelaySVideo))
        return Fail("--channel needs the channel number");
    e.Format = FormatFromName(o.Format);
    e.Name = o.Name;
    e.PowerOff = o.PowerOff;
    if (e.Start.addSecs(qint64(e.DurationMinutes) * 60) <= QDateTime::currentDateTime())
        return Fail("that recording would be over already");
    TSchedule schedule;
    if (!LoadOrComplain(schedule, folder))
        return 1;
    QString error;
    if (!schedule.Add(e, &error))
        return Fail(error);
    TScheduleEntry &added = schedule.Entries.last();
    QString how;
    if (!o.NoSystemd && UserSystemdRuns()) {
        const QString unit = TimerUnitName(folder, added.Id);
        if (ArmSystemdTimer(added, unit, TallonProgram(), folder, o.Lyra, o.Wake, &error)) {
            added.TimerUnit = unit;
            how = "systemd timer " + unit;
        } else {
            std::fprintf(stderr, "tallon: %s; the resident agent times it\n", qPrintable(error));
        }
    }
    if (!schedule.Save(ScheduleFilePath(folder), &error))
        return Fail("the schedule cannot be saved: " + error);
    if (how.isEmpty()) {
        if (!EnsureResidentAgent(o, folder))
            return Fail("the resident agent cannot be started");
        how = "the resident agent";
    } else if (InstanceListening(AgentName)) {
        SendInstanceMessage(AgentName, {MsgScheduleChanged, 0, 0}, nullptr, 1000);
    }
    std::printf("added %d: %s, %d min, %s %d (%s)\n", added.Id,
                qPrintable(added.Start.toString("yyyy-MM-dd HH:mm")), added.DurationMinutes,
                qPrintable(SourceName(added.Source)), added.Channel, qPrintable(how));
    return 0;
}

int List(const QString &folder)
{
    TSchedule schedule;
    if (!LoadOrComplain(schedule, folder))
        return 1;
    std::printf("%-4s %-16s %5s %-9s %7s %6s %-8s %s\n", "ID", "START", "MIN", "SOURCE", "CHANNEL",
                "FORMAT", "STATE", "NAME / REASON");
    for (const TScheduleEntry &e : schedule.Entries) {
        QString note = e.Name;
        if (!e.Reason.isEmpty())
            note += (note.isEmpty() ? "" : " / ") + e.Reason;
        std::printf("%-4d %-16s %5d %-9s %7d %6d %-8s %s\n", e.Id,
                    qPrintable(e.Start.toString("yyyy-MM-dd HH:mm")), e.DurationMinutes,
                    qPrintable(SourceName(e.Source)), e.Channel, e.Format,
                    qPrintable(StateName(e.State)), qPrintable(note));
    }
    return 0;
}

int Remove(const TOptions &o, const QString &folder)
{
    bool ok = false;
    const int id = o.Positional.value(0).toInt(&ok);
    if (!ok)
        return Fail("remove needs the entry's ID");
    TSchedule schedule;
    if (!LoadOrComplain(schedule, folder))
        return 1;
    const TScheduleEntry *e = schedule.Find(id);
    if (!e)
        return Fail(QString("there is no entry %1").arg(id));
    DisarmSystemdTimer(e->TimerUnit);
    schedule.Remove(id);
    QString error;
    if (!schedule.Save(ScheduleFilePath(folder), &error))
        return Fail("the schedule cannot be saved: " + error);
    if (InstanceListening(AgentName))
        SendInstanceMessage(AgentName, {MsgScheduleChanged, 0, 0}, nullptr, 1000);
    std::printf("removed %d\n", id);
    return 0;
}

// Runs the agent until the event loop ends; `untilIdle`: ends once no
// entry is running any more (a `fire` started by a timer).
int RunAgent(TAgent &agent, bool untilIdle, int fireId)
{
    if (!agent.Listen())
        return Fail("another agent runs: " + agent.LastError);
    if (fireId > 0 && !agent.Fire(fireId))
        return Fail(agent.LastError);
    if (untilIdle) {
        auto *check = new QTimer(&agent);
        QObject::connect(check, &QTimer::timeout, &agent, [&agent] {
            agent.Tick();
            if (agent.RunningId() == 0)
                QCoreApplication::quit();
        });
        check->start(1000);
    } else {
        agent.StartTimer();
        // Nothing planned any more: the next `tallon add` starts it again.
        auto *idle = new QTimer(&agent);
        QObject::connect(idle, &QTimer::timeout, &agent, [&agent] {
            TSchedule schedule;
            QString error;
            if (schedule.Load(ScheduleFilePath(agent.ProgramFolder), &error) &&
                !schedule.AnyPendingOrRunning())
                QCoreApplication::quit();
        });
        idle->start(5000);
    }
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const TOptions o = Parse(args);
    const bool window = o.Command == "window" || o.Command == "srec_tv";
    std::unique_ptr<QCoreApplication> app;
    if (window)
        app = std::make_unique<QApplication>(argc, argv);
    else
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName("tallon");
    if (!o.Error.isEmpty()) {
        std::fprintf(stderr, "tallon: %s\n%s", qPrintable(o.Error), UsageText);
        return 2;
    }
    if (o.Command == "help") {
        std::fputs(UsageText, stdout);
        return 0;
    }
    if (!ProgramFolder::Init(o.Folder))
        return Fail("the program folder cannot be made");
    QString folder = ProgramFolder::Path();
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);

    if (o.Command == "add")
        return Add(o, folder);
    if (o.Command == "list")
        return List(folder);
    if (o.Command == "remove")
        return Remove(o, folder);

    TAgent agent(folder);
    agent.LyraProgram = o.Lyra;
    if (o.Command == "run")
        return RunAgent(agent, false, 0);
    if (o.Command == "fire") {
        bool ok = false;
        const int id = o.Positional.value(0).toInt(&ok);
        if (!ok)
            return Fail("fire needs the entry's ID");
        // A resident agent listens already: it fires the entry and hears
        // the reports.
        if (InstanceListening(AgentName))
            return SendInstanceMessage(AgentName, {MsgFireEntry, id, 0}) ? 0 : 1;
        return RunAgent(agent, true, id);
    }
    if (window)
        return RunScheduleWindow(agent);
    std::fprintf(stderr, "tallon: unknown command %s\n%s", qPrintable(o.Command), UsageText);
    return 2;
}
