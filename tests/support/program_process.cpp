#include "program_process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QThread>
#include <csignal>

#include "platform/instance_channel.h"
#include "test_env.h"

namespace {

int RunTool(const QString &program, const QStringList &arguments, QByteArray *out = nullptr)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(30000)) {
        tool.kill();
        tool.waitForFinished();
        return -1;
    }
    if (out)
        *out = tool.readAllStandardOutput();
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -2;
}

QString Remote()
{
    return TestEnv::BinaryDir() + "/tools/lyra-remote";
}

} // namespace

TProgramProcess::~TProgramProcess()
{
    if (Running()) {
        Child.kill();
        Child.waitForFinished(5000);
    }
}

QString TProgramProcess::FolderWithChannels()
{
    const QString folder = TestEnv::NewFolder("program");
    if (RunTool(TestEnv::BinaryDir() + "/tools/demo-channels", {folder}) != 0)
        return {};
    return folder;
}

bool TProgramProcess::Start(const QString &folder, const QStringList &arguments)
{
    Child.setProcessChannelMode(QProcess::MergedChannels);
    if (!Environment.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &entry : Environment)
            env.insert(entry.section('=', 0, 0), entry.section('=', 1));
        Child.setProcessEnvironment(env);
    }
    Child.start(TestEnv::BinaryDir() + "/lyra",
                QStringList{"--program-folder", folder} + arguments);
    if (!Child.waitForStarted(10000)) {
        Failure = "cannot start lyra: " + Child.errorString();
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (!InstanceListening(InstanceName)) {
        if (!Running() || clock.elapsed() > 20000) {
            Failure = "lyra did not listen: " + QString::fromLocal8Bit(Output());
            return false;
        }
        QThread::msleep(50);
    }
    // The start is over when a mode is reached and its second stage (the
    // restore of source and channel, or the first-run wizard) has run or
    // shows. A normal start shows no warning: one that holds it up fails the
    // start.
    QString warning;
    const bool started = WaitForStatus(
        [&warning](const QJsonObject &s) {
            if (s["Warning"].isString())
                warning = s["Warning"].toString();
            // The first-run wizard holds the second stage open until it
            // closes: the start is over when it shows.
            return !warning.isEmpty() ||
                   (s["AppModeName"].toString() != "ModeNone" &&
                    (!s["Busy"].toBool() || s["Dialog"].isString()));
        },
        20000);
    if (!warning.isEmpty())
        Failure = "the start showed a warning: " + warning;
    else if (!started)
        Failure = "lyra reached no mode: " + QString::fromLocal8Bit(Output());
    return started && warning.isEmpty();
}

int TProgramProcess::Remote(const QString &command)
{
    return RunTool(::Remote(), {command});
}

QJsonObject TProgramProcess::Status()
{
    QByteArray out;
    if (RunTool(::Remote(), {"status"}, &out) != 0)
        return {};
    return QJsonDocument::fromJson(out).object();
}

bool TProgramProcess::WaitForStatus(const std::function<bool(const QJsonObject &)> &done,
                                    int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs && Running()) {
        const QJsonObject s = Status();
        if (!s.isEmpty() && done(s))
            return true;
        QThread::msleep(100);
    }
    return false;
}

QString TProgramProcess::Mode()
{
    return Status()["AppModeName"].toString();
}

bool TProgramProcess::WaitForExit(int timeoutMs)
{
    if (Running() && !Child.waitForFinished(timeoutMs))
        return false;
    return Child.exitStatus() == QProcess::NormalExit && Child.exitCode() == 0;
}

void TProgramProcess::Signal(int number)
{
    if (Running())
        ::kill(pid_t(Pid()), number);
}

qint64 TProgramProcess::ResidentKb() const
{
    QFile status(QString("/proc/%1/status").arg(Pid()));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

int TProgramProcess::OpenDescriptors() const
{
    return int(QDir(QString("/proc/%1/fd").arg(Pid()))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

QByteArray TProgramProcess::Output()
{
    // Nothing reads the pipe while the test waits: take what is there now.
    for (int i = 0; i < 20 && Child.waitForReadyRead(20); ++i)
        Collected += Child.readAll();
    Collected += Child.readAll();
    return Collected;
}
