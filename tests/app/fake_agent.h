// The scheduling agent played by a test: a socket of the agent's name on a
// thread of its own (so that the program's sent reports are answered while
// the test waits), keeping every message it gets.
#pragma once

#include <QList>
#include <QMutex>
#include <QThread>
#include <utility>

#include "platform/instance_channel.h"

using TReport = std::pair<int, int>;

class TFakeAgent
{
public:
    TFakeAgent()
    {
        Thread.start();
        Context.moveToThread(&Thread);
        QMetaObject::invokeMethod(
            &Context,
            [this] {
                Server = new TInstanceServer(AgentName);
                Server->Handler = [this](const TInstanceMessageData &m) {
                    QMutexLocker lock(&Mutex);
                    Got.append({m.Number, m.WParam});
                    return QByteArray();
                };
                Listening = Server->Listen();
            },
            Qt::BlockingQueuedConnection);
    }
    ~TFakeAgent()
    {
        QMetaObject::invokeMethod(
            &Context, [this] { delete Server; }, Qt::BlockingQueuedConnection);
        Thread.quit();
        Thread.wait();
    }
    QList<TReport> Messages()
    {
        QMutexLocker lock(&Mutex);
        return Got;
    }
    bool WaitFor(TReport report, int count = 1, int timeoutMs = 15000)
    {
        for (int waited = 0; waited < timeoutMs; waited += 50) {
            if (Messages().count(report) >= count)
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    bool Listening = false;

private:
    QThread Thread;
    QObject Context;
    TInstanceServer *Server = nullptr;
    QMutex Mutex;
    QList<TReport> Got;
};
