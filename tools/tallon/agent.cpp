#include "tools/tallon/agent.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "platform/log.h"

namespace {

bool LoginManagerPowerOff()
{
    QDBusInterface login("org.freedesktop.login1", "/org/freedesktop/login1",
                         "org.freedesktop.login1.Manager", QDBusConnection::systemBus());
    if (!login.isValid()) {
        qCWarning(lcApp) << "tallon: the login manager is not reachable";
        return false;
    }
    // Not interactive: nobody is there to type a password.
    const QDBusMessage reply = login.call("PowerOff", false);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        qCWarning(lcApp) << "tallon: the login manager refused to power off:"
                         << reply.errorMessage();
        return false;
    }
    return true;
}

QString ReportReason(int code)
{
    switch (code) {
    case ReportNotCarriedOut:
        return "Lyra could not carry out the request: it was busy, the request was damaged, or "
               "the recording did not start";
    case ReportUnfit:
        return "the card or mode does not fit the request: no tuner, no FM radio, or the switch "
               "between TV and FM failed";
    default:
        return QString("Lyra reported %1").arg(code);
    }
}

} // namespace

QString FindLyra()
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {dir + "/lyra", dir + "/../lyra"}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return QStandardPaths::findExecutable("lyra");
}

TAgent::TAgent(const QString &programFolder, QObject *parent)
    : QObject(parent), ProgramFolder(programFolder)
{
    Launch = [](const QString &program, const QStringList &arguments) {
        return QProcess::startDetached(program, arguments);
    };
    WakeRunningLyra = [] {
        return InstanceListening(InstanceName) &&
               SendInstanceMessage(InstanceName, {MsgStartScheduledRecording, 0, 0});
    };
    PowerOff = LoginManagerPowerOff;
}

TAgent::~TAgent() = default;

bool TAgent::Listen()
{
    Server = std::make_unique<TInstanceServer>(AgentName);
    Server->Handler = [this](const TInstanceMessageData &m) { return HandleMessage(m); };
    if (Server->Listen())
        return true;
    LastError = Server->ErrorText();
    Server.reset();
    return false;
}

bool TAgent::Listening() const
{
    return Server != nullptr;
}

void TAgent::StartTimer()
{
    if (!Timer) {
        Timer = new QTimer(this);
        Timer->setInterval(1000);
        connect(Timer, &QTimer::timeout, this, [this] { Tick(); });
    }
    Timer->start();
    Tick();
}

bool TAgent::LoadSchedule(TSchedule &schedule)
{
    QString error;
    if (schedule.Load(ScheduleFilePath(ProgramFolder), &error))
        return true;
    if (error != LastError)
        qCWarning(lcFiles).noquote() << "tallon:" << error;
    LastError = error;
    return false;
}

bool TAgent::SaveSchedule(const TSchedule &schedule)
{
    QString error;
    if (!schedule.Save(ScheduleFilePath(ProgramFolder), &error)) {
        qCWarning(lcFiles).noquote() << "tallon: the schedule cannot be saved:" << error;
        LastError = error;
        return false;
    }
    if (OnScheduleChanged)
        OnScheduleChanged();
    return true;
}

int TAgent::RunningId() const
{
    TSchedule schedule;
    QString error;
    if (!schedule.Load(ScheduleFilePath(ProgramFolder), &error))
        return 0;
    for (const TScheduleEntry &e : schedule.Entries)
        if (e.State == TScheduleEntry::Running)
            return e.Id;
    return 0;
}

int TAgent::Tick()
{
    TSchedule schedule;
    if (!LoadSchedule(schedule))
        return 0;
    const QDateTime now = Now();
    bool changed = false;
    for (int id : schedule.Missed(now)) {
        TScheduleEntry *e = schedule.Find(id);
        e->State = TScheduleEntry::Failed;
        e->Reason = "missed: nothing ran the agent at its time";
        changed = true;
    }
    for (TScheduleEntry &e : schedule.Entries) {
        const QDateTime deadline =
            e.Start.addSecs(qint64(e.DurationMinutes + ReportGraceMinutes) * 60);
        if (e.State == TScheduleEntry::Running && deadline <= now) {
            e.State = TScheduleEntry::Failed;
            e.Reason = "Lyra never reported the end of the recording";
            changed = true;
        }
    }
    if (changed)
        SaveSchedule(schedule);
    int fired = 0;
    for (int id : schedule.Due(now))
        fired += Fire(id) ? 1 : 0;
    return fired;
}

bool TAgent::Fire(int id)
{
    TSchedule schedule;
    if (!LoadSchedule(schedule))
        return false;
    TScheduleEntry *entry = schedule.Find(id);
    if (!entry || entry->State != TScheduleEntry::Pending) {
        LastError = QString("entry %1 is not waiting to be recorded").arg(id);
        return false;
    }
    auto fail = [&](const QString &reason) {
        entry->State = TScheduleEntry::Failed;
        entry->Reason = reason;
        LastError = reason;
        SaveSchedule(schedule);
        qCWarning(lcApp).noquote() << "tallon: entry" << id << "failed:" << reason;
        return false;
    };
    for (const TScheduleEntry &e : schedule.Entries)
        if (e.State == TScheduleEntry::Running)
            return fail(QString("entry %1 was still recording").arg(e.Id));
    const QDateTime now = Now();
    const QDateTime end = entry->Start.addSecs(qint64(entry->DurationMinutes) * 60);
    TRelayRequest request = entry->Request();
    // A late start records what is left of the planned time.
    request.RecordLimit = int(std::max<qint64>(10, now.secsTo(end)));
    QString error;
    if (!WriteRelayFile(ProgramFolder + "/Relay.rec", request, &error))
        return fail("the request cannot be written: " + error);
    DiskFullReported = false;
    entry->State = TScheduleEntry::Running;
    entry->Reason.clear();
    if (!SaveSchedule(schedule))
        return false;
    if (WakeRunningLyra && WakeRunningLyra()) {
        qCInfo(lcApp) << "tallon: entry" << id << "handed to the running Lyra";
        return true;
    }
    const QString lyra = LyraProgram.isEmpty() ? FindLyra() : LyraProgram;
    const QStringList arguments = {request.IsFM() ? "srec_fm" : "srec_tv", "--program-folder",
                                   ProgramFolder};
    if (lyra.isEmpty() || !Launch(lyra, arguments)) {
        TSchedule again;
        if (!LoadSchedule(again) || !again.Find(id))
            return false;
        schedule = again;
        entry = schedule.Find(id);
        return fail(lyra.isEmpty() ? QString("lyra is not found")
                                   : "lyra cannot be started: " + lyra);
    }
    qCInfo(lcApp).noquote() << "tallon: entry" << id << "started" << lyra << arguments.join(' ');
    return true;
}

void TAgent::Finish(int id, TScheduleEntry::TState state, const QString &reason)
{
    TSchedule schedule;
    if (!LoadSchedule(schedule))
        return;
    TScheduleEntry *e = schedule.Find(id);
    if (!e)
        return;
    e->State = state;
    e->Reason = reason;
    const bool powerOff = e->PowerOff;
    SaveSchedule(schedule);
    qCInfo(lcApp).noquote() << "tallon: entry" << id << StateName(state) << reason;
    MaybePowerOff(powerOff);
}

void TAgent::MaybePowerOff(bool askedByEntry)
{
    if (!askedByEntry)
        return;
    TSchedule schedule;
    if (!LoadSchedule(schedule) || schedule.AnyPendingOrRunning()) {
        qCInfo(lcApp) << "tallon: more recordings are planned; the machine stays on";
        return;
    }
    if (PowerOff && !PowerOff())
        qCWarning(lcApp) << "tallon: the machine could not be switched off";
}

QByteArray TAgent::HandleMessage(const TInstanceMessageData &m)
{
    switch (m.Number) {
    case AgentReport: {
        const int id = RunningId();
        if (!id) {
            qCInfo(lcApp) << "tallon: report" << m.WParam << "with no recording running";
            break;
        }
        if (m.WParam == ReportDiskFull)
            DiskFullReported = true;
        else if (m.WParam == ReportFinished)
            DiskFullReported
                ? Finish(id, TScheduleEntry::Failed, "stopped early: the disk was nearly full")
                : Finish(id, TScheduleEntry::Done, "recorded");
        else
            Finish(id, TScheduleEntry::Failed, ReportReason(m.WParam));
        break;
    }
    case AgentShowWindow:
        if (OnShowWindow)
            OnShowWindow();
        break;
    case AgentHello:
        // Lyra's language changed; tallon speaks English only.
        qCInfo(lcApp) << "tallon: Lyra's language changed";
        break;
    case AgentSleepExpired: {
        // Lyra's sleep timer asks for the machine to go off; not while a
        // recording runs or one is due within the grace time.
        TSchedule schedule;
        bool soon = !LoadSchedule(schedule);
        const QDateTime limit = Now().addSecs(ReportGraceMinutes * 60);
        for (const TScheduleEntry &e : schedule.Entries)
            soon = soon || e.State == TScheduleEntry::Running ||
                   (e.State == TScheduleEntry::Pending && e.Start <= limit);
        if (soon)
            qCInfo(lcApp) << "tallon: a recording is near; the machine stays on";
        else if (PowerOff && !PowerOff())
            qCWarning(lcApp) << "tallon: the machine could not be switched off";
        break;
    }
    case MsgFireEntry:
        QTimer::singleShot(0, this, [this, id = m.WParam] { Fire(id); });
        break;
    case MsgScheduleChanged:
        if (OnScheduleChanged)
            OnScheduleChanged();
        break;
    default:
        break;
    }
    return {};
}
