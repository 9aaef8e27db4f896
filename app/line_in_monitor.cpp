#include "app/line_in_monitor.h"

#include <QProcess>

#include "app/audio_adjust.h"
#include "platform/log.h"

TLineInMonitor::TLineInMonitor(const QString &program) : Program(program) {}

TLineInMonitor::~TLineInMonitor()
{
    Stop();
}

bool TLineInMonitor::Running() const
{
    return Process && Process->state() != QProcess::NotRunning;
}

qint64 TLineInMonitor::ProcessId() const
{
    return Running() ? Process->processId() : 0;
}

void TLineInMonitor::Send(const QString &argument)
{
    if (argument.trimmed() == "off") {
        Stop();
        return;
    }
    if (argument.trimmed() != "on" || Running())
        return;
    // Resolved when needed: a settings object may exist without an
    // application object (tests, the settings reader's fuzzer).
    const QString program = Program.isEmpty() ? LineInMonitorProgram() : Program;
    Process = std::make_unique<QProcess>();
    Process->setProgram(program);
    Process->setArguments(QStringList{"on"} + Arguments);
    Process->setStandardOutputFile(QProcess::nullDevice());
    Process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    Process->start();
    if (!Process->waitForStarted(5000)) {
        qCWarning(lcAlsa) << "cannot start the line-in monitor" << program
                          << Process->errorString();
        Process.reset();
    }
}

void TLineInMonitor::Stop()
{
    if (!Running()) {
        Process.reset();
        return;
    }
    Process->terminate();
    if (!Process->waitForFinished(3000)) {
        qCWarning(lcAlsa) << "the line-in monitor does not stop; killing it";
        Process->kill();
        Process->waitForFinished(2000);
    }
    Process.reset();
}
