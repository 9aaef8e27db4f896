#include "app/sound_module.h"

#include "app/startup.h"
#include "platform/alsa_log.h"
#include "platform/alsa_mixer.h"

void InstallSoundHooks()
{
    // The mixer scan is the program's first use of libasound.
    QuietAlsa();
    StartupHooks.CreateMixer = []() -> std::unique_ptr<TAudioMixer> {
        return std::make_unique<TAlsaMixer>();
    };
}
