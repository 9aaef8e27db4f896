#include "platform/streaming_properties.h"

#include <QByteArray>
#include <mutex>
#include <utility>
#include <vector>

// Between the GUI thread, which queues, and the probe on the streaming
// thread, which applies; the probe holds a reference.
struct TStreamingProperties::TShared
{
    std::mutex Mutex;
    std::vector<std::pair<QByteArray, QByteArray>> Pending;
    GstElement *Element = nullptr;

    void ApplyPending()
    {
        std::vector<std::pair<QByteArray, QByteArray>> pending;
        {
            std::lock_guard lock(Mutex);
            pending.swap(Pending);
        }
        for (const auto &[name, value] : pending)
            gst_util_set_object_arg(G_OBJECT(Element), name.constData(), value.constData());
    }

    static GstPadProbeReturn Probe(GstPad *, GstPadProbeInfo *, gpointer data)
    {
        static_cast<std::shared_ptr<TShared> *>(data)->get()->ApplyPending();
        return GST_PAD_PROBE_OK;
    }
};

TStreamingProperties::TStreamingProperties(GstElement *element)
    : Shared(std::make_shared<TShared>())
{
    Shared->Element = element;
    if (GstPad *pad = element ? gst_element_get_static_pad(element, "src") : nullptr) {
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, TShared::Probe,
                          new std::shared_ptr<TShared>(Shared),
                          [](gpointer p) { delete static_cast<std::shared_ptr<TShared> *>(p); });
        gst_object_unref(pad);
    }
}

void TStreamingProperties::Set(const char *name, const QString &value)
{
    if (!Shared->Element)
        return;
    GstPad *pad = gst_element_get_static_pad(Shared->Element, "src");
    const bool streaming = pad && GST_PAD_MODE(pad) != GST_PAD_MODE_NONE;
    if (pad)
        gst_object_unref(pad);
    {
        std::lock_guard lock(Shared->Mutex);
        auto &pending = Shared->Pending;
        for (auto it = pending.begin(); it != pending.end();)
            it = it->first == name ? pending.erase(it) : it + 1;
        pending.emplace_back(name, value.toUtf8());
    }
    // No buffer is being made: the change can go in now (and is not left
    // waiting for a buffer that may never come).
    if (!streaming)
        Shared->ApplyPending();
}
