// The real program in a child process, driven as a user would with
// lyra-remote: started on a program folder (optionally with the virtual
// card's stations in its channel table), asked for its status, sent
// commands and signals, measured (memory, descriptors) and stopped.
//
// The child shares the test process's private runtime folder, so its
// single-instance socket is the test's own.
#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <functional>

class TProgramProcess
{
public:
    ~TProgramProcess();

    // A program folder holding the virtual card's stations as the table scan
    // would find them (tools/demo-channels).
    static QString FolderWithChannels();

    // Starts `lyra --program-folder folder` with the extra arguments and waits
    // until it answers on its socket and has reached a mode. False on
    // failure (a warning during the start is one), with the reason in
    // Failure.
    bool Start(const QString &folder, const QStringList &arguments = {});

    // lyra-remote COMMAND; its exit code.
    int Remote(const QString &command);
    QJsonObject Status();
    // Polls the status until the predicate holds or the time is up.
    bool WaitForStatus(const std::function<bool(const QJsonObject &)> &done, int timeoutMs = 15000);
    // The mode's name, as status reports it.
    QString Mode();

    // Waits for the child to end; true when it ended with exit code 0.
    bool WaitForExit(int timeoutMs = 15000);
    bool Running() const { return Child.state() != QProcess::NotRunning; }
    qint64 Pid() const { return Child.processId(); }
    void Signal(int number);
    // Resident memory (kB) and open descriptors of the child.
    qint64 ResidentKb() const;
    int OpenDescriptors() const;
    QByteArray Output();

    QString Failure;
    // Added to the child's environment at Start.
    QStringList Environment;

private:
    QProcess Child;
    QByteArray Collected;
};
