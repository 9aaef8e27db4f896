// Module initialisation of the mode machine and the dispatcher: the hotkey
// object, the sound card adapter, the view fan-out on TMainInfo and the
// start-up hooks (SetAppMode, ExecuteCommand, remote commands and status,
// menu language, the channel table's adapter and events). Runs on the GUI
// thread after MainInfo, AudioAdjustInfo and ChannelInfo exist, and once more
// at exit before they are freed.
#pragma once

void InitializeModesModule();
void FinalizeModesModule();
