// Module initialisation of the windows: the start-up hooks of the skin, the
// TV panel, the OSD and the menu items the device decides. GUI thread.
#pragma once

void InitializeWindowModule();
void FinalizeWindowModule();
