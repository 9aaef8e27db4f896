#include "platform/line_monitor.h"

#include <algorithm>

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

// Sound that waited in the queue beyond half a capture buffer is dropped
// on its way out. A backlog builds up while the output starts (the capture
// runs meanwhile) and after a stall; as capture and output then run at the
// same pace, it would otherwise stay as latency for good.
struct TDrain
{
    GstElement *Queue;
    guint MaxWaiting;
};

GstPadProbeReturn DrainBacklog(GstPad *, GstPadProbeInfo *, gpointer data)
{
    const auto *d = static_cast<const TDrain *>(data);
    guint waiting = 0;
    g_object_get(d->Queue, "current-level-buffers", &waiting, nullptr);
    return waiting > d->MaxWaiting ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
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
    // waits little stays in it; a probe on its output (DrainBacklog) drops
    // what waits longer, and the queue's own limit of two capture buffers
    // drops the oldest sound as a last resort. (Bounded in time instead of
    // buffers, the queue drops nearly all the sound that comes through the
    // pulse plugin.)
    return QString("alsasrc name=src device=\"%1\" buffer-time=%2 latency-time=%3 ! "
                   "queue name=q max-size-buffers=%4 max-size-bytes=0 max-size-time=0 "
                   "leaky=downstream ! "
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
    if (GstElement *queue = gst_bin_get_by_name(GST_BIN(pipeline), "q")) {
        GstPad *out = gst_element_get_static_pad(queue, "src");
        auto *drain = new TDrain{queue, guint(std::max(1, options.BufferPeriods / 2))};
        gst_pad_add_probe(out, GST_PAD_PROBE_TYPE_BUFFER, DrainBacklog, drain,
                          [](gpointer data) { delete static_cast<TDrain *>(data); });
        gst_object_unref(out);
        gst_object_unref(queue); // the pipeline holds it as long as the probe
    }
    auto *copy = new TLineMonitorOptions(options);
    g_signal_connect_data(
        pipeline, "deep-element-added", G_CALLBACK(OnElementAdded), copy,
        [](gpointer data, GClosure *) { delete static_cast<TLineMonitorOptions *>(data); },
        GConnectFlags(0));
    return pipeline;
}
