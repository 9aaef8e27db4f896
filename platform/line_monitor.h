// The line-in monitor's pipeline: a sound card's capture device played on
// the default output with as little delay as the devices allow. The
// companion program corvet runs it; the benchmark measures it.
#pragma once

#include <QString>

#include <gst/gst.h>

struct TLineMonitorOptions
{
    QString Device = "default"; // ALSA capture device
    // Period of the capture and playback buffers (ms); each side keeps
    // BufferPeriods of them.
    int PeriodMs = 5;
    int BufferPeriods = 4;
    // A sink description replacing the default output (tests, benchmark);
    // empty: autoaudiosink (the sound server, else ALSA).
    QString Sink;
};

// The pipeline description, for gst_parse_launch. Its elements are named
// "src" and "sink".
QString LineMonitorDescription(const TLineMonitorOptions &options);

// Builds the pipeline and sets the low-latency buffer sizes also on the
// audio sink that autoaudiosink picks. Null on failure, with the reason in
// error.
GstElement *CreateLineMonitor(const TLineMonitorOptions &options, QString *error = nullptr);
