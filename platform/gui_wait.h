// The waits of the GUI thread and the work held back while one runs.
//
// Tuning blocks the GUI thread with short fixed waits; an FM seek loops on
// it; start-up stage 2 and a channel scan run long on it. All of them let
// the event loop turn so that the windows keep painting and the video keeps
// flowing. Nothing that changes engine, mode or window state may run inside
// them: the interrupted operation is still using the objects such work could
// free or change. So every input that changes state (commands from the
// panel, menus, keys, wheel, lyra-remote and the scheduling agent) and every
// timer that changes state goes through RunOutsideWaits: it runs at once
// when no wait is open, and otherwise after the outermost wait has ended and
// control is back in the main loop, in the order it arrived.
//
// GUI thread only.
#pragma once

#include <functional>

class QObject;

using TGuiWaitFunction = std::function<void(int milliseconds)>;

// A fixed wait: a nested event loop that keeps painting and holds back user
// input (clicks and keys wait until it is over, as on a blocked thread).
// Counts as an open wait for RunOutsideWaits. Tests replace the waiting
// itself (SetGuiWaitFunction) so that nothing sleeps; the replacement runs
// inside the open wait.
void GuiWait(int milliseconds);

// Installs another wait (an empty function restores the default); returns
// the one installed before.
TGuiWaitFunction SetGuiWaitFunction(TGuiWaitFunction wait);

// An operation that lets the event loop turn: while one is open, work given
// to RunOutsideWaits is held back. `interrupt`, when set, is called when
// held-back input (not a timer) arrives while this is the innermost open
// wait: an FM seek stops for it. Scopes nest.
class TWaitScope
{
public:
    explicit TWaitScope(std::function<void()> interrupt = {});
    ~TWaitScope();
    TWaitScope(const TWaitScope &) = delete;
    TWaitScope &operator=(const TWaitScope &) = delete;

private:
    std::function<void()> Interrupt;
    TWaitScope *Outer = nullptr;
    friend void RunOutsideWaits(std::function<void()>, const void *, bool);
};

// True while a wait is open.
bool WaitRunning();

// Runs `work` now when no wait is open; else holds it back until the
// outermost wait has ended, then runs it from the main loop, in order of
// arrival. With a key, at most one run is held per key (a timer that ticks
// several times during a long wait runs once after it). `input` marks user
// or remote input, which interrupts an interruptible wait.
void RunOutsideWaits(std::function<void()> work, const void *key = nullptr, bool input = false);
// The same for work that belongs to an object: held work is dropped when the
// object is gone by the time it would run.
void RunOutsideWaits(const QObject *owner, std::function<void()> work, const void *key = nullptr,
                     bool input = false);

// Work held back right now (tests and the log).
int HeldBackCount();
// Drops everything held back (shutdown: nothing may run after the engines
// are gone).
void DropHeldBackWork();
