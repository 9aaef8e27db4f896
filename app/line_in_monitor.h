// The line-in monitor program as a child process: "on" starts it (once),
// "off" stops it. A child, not a detached process, so that it ends with the
// program: corvet also asks the kernel to stop it when its parent dies.
#pragma once

#include <memory>

#include <QString>
#include <QStringList>

class QProcess;

class TLineInMonitor
{
public:
    // The program to run; by default corvet beside the program's binary.
    explicit TLineInMonitor(const QString &program = QString());
    ~TLineInMonitor(); // stops the monitor
    TLineInMonitor(const TLineInMonitor &) = delete;
    TLineInMonitor &operator=(const TLineInMonitor &) = delete;

    // "on" or "off", as the audio settings send them.
    void Send(const QString &argument);
    bool Running() const;
    qint64 ProcessId() const;

    // Given after "on" (for example "--device", "hw:1").
    QStringList Arguments;

private:
    void Stop();

    QString Program;
    std::unique_ptr<QProcess> Process;
};
