// Properties of a running source, changed between two of its buffers on the
// source's own streaming thread. The test sources of GStreamer 1.22 are not
// safe against a property set from another thread while they make a buffer:
// videotestsrc frees its cached picture when the pattern changes, and
// audiotestsrc swaps its sample generator through a null pointer when the
// wave changes. The virtual card changes both whenever it is tuned.
#pragma once

#include <QString>
#include <memory>

#include <gst/gst.h>

class TStreamingProperties
{
public:
    // Watches the element's "src" pad; the element must outlive this object
    // (it is a child of the same filter's bin).
    explicit TStreamingProperties(GstElement *element);

    // Sets a property (as text, as gst-launch takes it) now when the source
    // is not streaming, else once the buffer in flight has passed, before the
    // next one is made. The last value of each property wins.
    void Set(const char *name, const QString &value);
    void Set(const char *name, double value) { Set(name, QString::number(value, 'g', 12)); }

private:
    struct TShared;
    std::shared_ptr<TShared> Shared;
};
