#include "platform/line_monitor.h"

#include <gst/audio/gstaudiobasesink.h>

namespace {

// An output plays what arrives at once (no waiting for the pipeline's
// clock, which would add the capture latency a second time) from a buffer
// as small as the capture's.
void ConfigureSink(GstElement *element, const TLineMonitorOptions &o)
{
    if (!GST_IS_AUDIO_BASE_SINK(element))
        return;
    const gint64 period = gint64(o.PeriodMs) * 1000;
    g_object_set(element, "buffer-time", period * o.BufferPeriods, "latency-time", period, "sync",
                 FALSE, nullptr);
}

void OnElementAdded(GstBin *, GstBin *, GstElement *element, gpointer data)
{
    ConfigureSink(element, *static_cast<const TLineMonitorOptions *>(data));
}

} // namespace

QString LineMonitorDescription(const TLineMonitorOptions &o)
{
    const qint64 period = qint64(o.PeriodMs) * 1000;
    const qint64 buffer = period * o.BufferPeriods;
    QString device = o.Device;
    device.replace('"', "");
    const QString sink = o.Sink.isEmpty() ? QString("autoaudiosink name=sink") : o.Sink;
    // The queue hands the capture to the output's thread. Without clock
    // waits nothing accumulates in it, unless the capture's clock runs ahead
    // of the output's: then the oldest sound is dropped, so the delay stays
    // within two capture buffers. (A queue bounded in time instead of
    // buffers drops nearly everything behind the pulse plugin, whose
    // timestamps jump.)
    return QString("alsasrc name=src device=\"%1\" buffer-time=%2 latency-time=%3 ! "
                   "queue max-size-buffers=%4 max-size-bytes=0 max-size-time=0 leaky=downstream ! "
                   "audioconvert ! audioresample ! %5")
        .arg(device)
        .arg(buffer)
        .arg(period)
        .arg(o.BufferPeriods * 2)
        .arg(sink);
}

GstElement *CreateLineMonitor(const TLineMonitorOptions &options, QString *error)
{
    GError *err = nullptr;
    GstElement *pipeline =
        gst_parse_launch(LineMonitorDescription(options).toUtf8().constData(), &err);
    if (!pipeline || err) {
        if (error)
            *error = err ? QString::fromUtf8(err->message) : QString("cannot build the pipeline");
        g_clear_error(&err);
        if (pipeline)
            gst_object_unref(pipeline);
        return nullptr;
    }
    // The sinks there are now, and the one autoaudiosink makes when it
    // starts. The signal owns its copy of the options.
    GstIterator *it = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        ConfigureSink(GST_ELEMENT(g_value_get_object(&item)), options);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    auto *copy = new TLineMonitorOptions(options);
    g_signal_connect_data(
        pipeline, "deep-element-added", G_CALLBACK(OnElementAdded), copy,
        [](gpointer data, GClosure *) { delete static_cast<TLineMonitorOptions *>(data); },
        GConnectFlags(0));
    return pipeline;
}
