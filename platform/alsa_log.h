// libasound reports through its own error handler, which prints to stderr:
// on a machine without a sound card every probe says "cannot find card".
// QuietAlsa routes those texts to the lyra.alsa log category instead.
#pragma once

// Installs the handler once per process; safe to call from any module that
// is about to use libasound.
void QuietAlsa();
