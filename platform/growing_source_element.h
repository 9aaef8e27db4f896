// "lyragrowingsrc": reads a file that another pipeline may still be
// writing (a time-shift recording). At the current end of the file it
// waits for more instead of ending the stream; it ends the stream once the
// writer has stopped: told through the "growing" property, or by the end
// record of the time index beside the file. A flush or a state change
// ends a wait at once.
//
// It runs in push mode with a time segment: a seek in time is mapped to a
// byte offset through the time index (docs/recording.md), a seek in bytes
// goes to that byte; either way the demuxer keeps the stream's own clock.
//
// Properties: location, index-location (default: location + ".idx"),
// growing (default true), poll-interval (ms); read-only earliest-second
// and latest-second (-1 while the index has no entry).
#pragma once

#include <gst/gst.h>

GType LyraGrowingSourceGetType();
