// The sound card side of start-up: installs the ALSA mixer as the mixer of
// the audio settings. Called before the modules initialise.
#pragma once

void InstallSoundHooks();
