#include "channels/gui_wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace {

void DefaultWait(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    if (!QCoreApplication::instance() ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        QThread::msleep(milliseconds);
        return;
    }
    // Paint and timer events keep flowing; clicks and keys wait until the
    // tune is over, as they would on a blocked thread.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

TGuiWaitFunction &Current()
{
    static TGuiWaitFunction wait;
    return wait;
}

} // namespace

void GuiWait(int milliseconds)
{
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
