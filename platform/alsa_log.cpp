#include "platform/alsa_log.h"

#include <cstdarg>
#include <cstdio>

#include <alsa/asoundlib.h>

#include "platform/log.h"

namespace {

// Runs on whichever thread called libasound (GStreamer's streaming threads
// too); the Qt logging categories are thread-safe.
void AlsaError(const char *file, int line, const char *function, int err, const char *fmt, ...)
{
    char text[256];
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    qCDebug(lcAlsa) << function << text << (err ? snd_strerror(err) : "");
}

} // namespace

void QuietAlsa()
{
    static const bool installed = [] {
        snd_lib_error_set_handler(AlsaError);
        return true;
    }();
    (void)installed;
}
