// The dispatcher's view of the channel table (ChannelInfo) and the table's
// events passed on to the views. GUI thread only.
#pragma once

// Installs the adapter in ModeEngines.Channels, the channel-table events and
// the start-up hook that restores the stored source. Needs ChannelInfo.
void InstallChannelControl();
void RemoveChannelControl();
