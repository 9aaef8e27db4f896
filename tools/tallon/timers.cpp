#include "tools/tallon/timers.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QProcess>

#include "platform/log.h"

namespace {

bool RunQuietly(const QString &program, const QStringList &arguments, QString *output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    if (!p.waitForFinished(15000)) {
        p.kill();
        p.waitForFinished(1000);
        if (output)
            *output = program + " did not answer";
        return false;
    }
    if (output)
        *output = QString::fromLocal8Bit(p.readAll()).trimmed();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

bool UserSystemdRuns()
{
    const QString runtime = QString::fromLocal8Bit(qgetenv("XDG_RUNTIME_DIR"));
    return !runtime.isEmpty() && QFileInfo::exists(runtime + "/systemd/private");
}

QString TimerUnitName(const QString &programFolder, int id)
{
    const QByteArray folder =
        QCryptographicHash::hash(QFileInfo(programFolder).absoluteFilePath().toUtf8(),
                                 QCryptographicHash::Sha1)
            .toHex()
            .left(8);
    return QString("lyra-tallon-%1-%2").arg(QString::fromLatin1(folder)).arg(id);
}

QStringList TimerArguments(const TScheduleEntry &entry, const QString &unit, const QString &tallon,
                           const QString &programFolder, const QString &lyra, bool wake)
{
    QStringList a = {"--user", "--unit=" + unit,
                     "--on-calendar=" + entry.Start.toString("yyyy-MM-dd HH:mm:00"),
                     "--timer-property=AccuracySec=1s", "--collect"};
    if (wake)
        a << "--timer-property=WakeSystem=yes";
    a << "--" << tallon << "fire" << QString::number(entry.Id) << "--program-folder"
      << programFolder;
    if (!lyra.isEmpty())
        a << "--lyra" << lyra;
    return a;
}

bool ArmSystemdTimer(const TScheduleEntry &entry, const QString &unit, const QString &tallon,
                     const QString &programFolder, const QString &lyra, bool wake, QString *error)
{
    QString output;
    if (RunQuietly("systemd-run", TimerArguments(entry, unit, tallon, programFolder, lyra, wake),
                   &output))
        return true;
    if (wake) {
        qCInfo(lcApp).noquote() << "tallon: a timer that wakes the machine was refused (" + output +
                                       "); trying one that does not";
        if (RunQuietly("systemd-run",
                       TimerArguments(entry, unit, tallon, programFolder, lyra, false), &output))
            return true;
    }
    if (error)
        *error = "systemd-run: " + output;
    return false;
}

void DisarmSystemdTimer(const QString &unit)
{
    if (unit.isEmpty())
        return;
    QString output;
    if (!RunQuietly("systemctl", {"--user", "stop", unit + ".timer"}, &output))
        qCInfo(lcApp).noquote() << "tallon: the timer" << unit << "was not running:" << output;
}
