// Module initialisation of the channel table: creates ChannelInfo and
// PreviewInfo and installs the start-up hooks that load, apply and save
// "QPAVO2.cfg". Runs on the GUI thread, once at start and once at exit.
#pragma once

void InitializeChannelModule();
void FinalizeChannelModule();
