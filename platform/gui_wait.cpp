#include "platform/gui_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <deque>

#include "platform/log.h"

namespace {

struct THeld
{
    std::function<void()> Work;
    const void *Key = nullptr;
};

TWaitScope *g_innermost = nullptr;
int g_depth = 0;
std::deque<THeld> g_held;
bool g_drainPosted = false;
bool g_draining = false;

void DefaultWait(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    if (!QCoreApplication::instance() ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        QThread::msleep(milliseconds);
        return;
    }
    // Paint, frame and timer events keep flowing; clicks and keys wait until
    // the tune is over, as they would on a blocked thread. Timers and remote
    // requests that change state are held back by RunOutsideWaits.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

TGuiWaitFunction &Current()
{
    static TGuiWaitFunction wait;
    return wait;
}

void Drain();

// The held work runs from the main loop, not from the tail of the
// operation whose wait has just ended (it may wait again right after).
void PostDrain()
{
    if (g_drainPosted || g_held.empty() || !QCoreApplication::instance())
        return;
    g_drainPosted = true;
    QMetaObject::invokeMethod(QCoreApplication::instance(), &Drain, Qt::QueuedConnection);
}

void Drain()
{
    g_drainPosted = false;
    if (g_draining)
        return;
    g_draining = true;
    // Each piece may open waits of its own; what arrives meanwhile queues
    // behind the rest and runs in this same loop.
    while (g_depth == 0 && !g_held.empty()) {
        THeld next = std::move(g_held.front());
        g_held.pop_front();
        next.Work();
    }
    g_draining = false;
    if (g_depth == 0)
        PostDrain();
}

} // namespace

void GuiWait(int milliseconds)
{
    TWaitScope scope;
    if (Current())
        Current()(milliseconds);
    else
        DefaultWait(milliseconds);
}

TGuiWaitFunction SetGuiWaitFunction(TGuiWaitFunction wait)
{
    TGuiWaitFunction old = std::move(Current());
    Current() = std::move(wait);
    return old;
}

TWaitScope::TWaitScope(std::function<void()> interrupt)
    : Interrupt(std::move(interrupt)), Outer(g_innermost)
{
    g_innermost = this;
    ++g_depth;
}

TWaitScope::~TWaitScope()
{
    g_innermost = Outer;
    if (--g_depth == 0)
        PostDrain();
}

bool WaitRunning()
{
    return g_depth > 0;
}

void RunOutsideWaits(std::function<void()> work, const void *key, bool input)
{
    if (!work)
        return;
    if (g_depth == 0) {
        work();
        return;
    }
    if (input) {
        // The innermost interruptible wait hears of it (an FM seek stops).
        for (TWaitScope *s = g_innermost; s; s = s->Outer)
            if (s->Interrupt) {
                s->Interrupt();
                break;
            }
    }
    if (key)
        for (const THeld &h : g_held)
            if (h.Key == key)
                return;
    qCDebug(lcApp) << "held back until the wait ends; waits open:" << g_depth
                   << "held:" << g_held.size() + 1;
    g_held.push_back({std::move(work), key});
}

void RunOutsideWaits(const QObject *owner, std::function<void()> work, const void *key, bool input)
{
    QPointer<const QObject> guard(owner);
    RunOutsideWaits(
        [guard, work = std::move(work)] {
            if (guard)
                work();
        },
        key, input);
}

int HeldBackCount()
{
    return int(g_held.size());
}

void DropHeldBackWork()
{
    g_held.clear();
}
