// The short fixed waits of tuning. They block the caller (the GUI thread) as
// the tuner needs, but keep the windows painting: the default waits in a
// nested event loop that excludes user input. Tests replace it so that no
// test ever sleeps.
#pragma once

#include <functional>

using TGuiWaitFunction = std::function<void(int milliseconds)>;

void GuiWait(int milliseconds);

// Installs another wait (an empty function restores the default); returns
// the one installed before.
TGuiWaitFunction SetGuiWaitFunction(TGuiWaitFunction wait);
