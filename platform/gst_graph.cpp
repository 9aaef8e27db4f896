// The graph: pipeline, state, bus events, seeking, filters and holders.
#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/filter_graph.h"
#include "platform/gst_log.h"
#include "platform/log.h"

// ---- graph ----

TFilterGraph::TFilterGraph(QObject *parent) : QObject(parent)
{
    BridgeGstLogging();
}

TFilterGraph::~TFilterGraph()
{
    SetActive(false);
    for (TFilter *holder : Holders)
        holder->Graph = nullptr;
}

QString TFilterGraph::LastError() const
{
    std::lock_guard lock(BusMutex);
    return ErrorText;
}

void TFilterGraph::SetError(const QString &text)
{
    qCWarning(lcGst) << text;
    std::lock_guard lock(BusMutex);
    ErrorText = text;
}

namespace {

// The device an element works on: its own "device" property, or that of
// the first bin around it that has one.
QString DeviceOf(GstObject *object)
{
    for (GstObject *o = object; o && !GST_IS_PIPELINE(o); o = GST_OBJECT_PARENT(o)) {
        GParamSpec *spec = g_object_class_find_property(G_OBJECT_GET_CLASS(o), "device");
        if (!spec || spec->value_type != G_TYPE_STRING || !(spec->flags & G_PARAM_READABLE))
            continue;
        gchar *device = nullptr;
        g_object_get(o, "device", &device, nullptr);
        const QString text = QString::fromUtf8(device);
        g_free(device);
        if (!text.isEmpty())
            return text;
    }
    return {};
}

} // namespace

// Every message of the pipeline ends here, on the streaming thread that
// posted it. A handler that answers GST_BUS_DROP owns the message and must
// unref it: each message holds a reference to the element that posted it,
// so a message kept by mistake keeps its whole filter alive.
GstBusSyncReply TFilterGraph::BusSyncHandler(GstBus *, GstMessage *message, gpointer data)
{
    auto *self = static_cast<TFilterGraph *>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        {
            std::lock_guard lock(self->BusMutex);
            self->ErrorText = QString::fromUtf8(error->message);
        }
        qCWarning(lcGst) << GST_OBJECT_NAME(message->src) << DeviceOf(message->src)
                         << error->message << debug;
        g_error_free(error);
        g_free(debug);
        break;
    }
    case GST_MESSAGE_WARNING: {
        // Not fatal: the element goes on (a late buffer, a format it
        // adapted to). The log keeps it with the device.
        GError *error = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_warning(message, &error, &debug);
        qCWarning(lcGst) << "warning:" << GST_OBJECT_NAME(message->src) << DeviceOf(message->src)
                         << error->message << debug;
        g_error_free(error);
        g_free(debug);
        gst_message_unref(message);
        return GST_BUS_DROP;
    }
    case GST_MESSAGE_CLOCK_LOST:
    case GST_MESSAGE_LATENCY:
        break;
    case GST_MESSAGE_EOS: {
        std::lock_guard lock(self->BusMutex);
        self->EosSeen = true;
        if (self->Stopping) {
            gst_message_unref(message);
            return GST_BUS_DROP;
        }
        break;
    }
    default:
        gst_message_unref(message);
        return GST_BUS_DROP;
    }
    // The graph may be gone when the GUI thread gets to it: the queued call
    // dies with its context object, and the message (whose reference the
    // bus handed over with the drop) with the lambda.
    std::shared_ptr<GstMessage> keep(message, [](GstMessage *m) { gst_message_unref(m); });
    const quint64 serial = self->Serial.load();
    QMetaObject::invokeMethod(
        self, [self, keep, serial] { self->HandleMessage(keep.get(), serial); },
        Qt::QueuedConnection);
    return GST_BUS_DROP;
}

TGraphError TFilterGraph::DescribeError(GstMessage *message) const
{
    TGraphError e;
    GError *error = nullptr;
    gchar *debug = nullptr;
    gst_message_parse_error(message, &error, &debug);
    e.Text = QString::fromUtf8(error->message);
    e.Debug = QString::fromUtf8(debug);
    g_error_free(error);
    g_free(debug);
    e.Element = QString::fromUtf8(GST_OBJECT_NAME(message->src));
    e.Device = DeviceOf(message->src);
    for (GstObject *o = message->src; o; o = GST_OBJECT_PARENT(o))
        for (const TFilterPtr &f : FilterStore)
            if (GST_OBJECT(f->Bin()) == o)
                e.Filter = f->Name;
    return e;
}

void TFilterGraph::HandleMessage(GstMessage *message, quint64 serial)
{
    const bool current = serial == Serial.load() && Pipeline;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        if (OnGraphComplete)
            OnGraphComplete();
        break;
    case GST_MESSAGE_ERROR:
        if (!current) {
            qCInfo(lcGst) << "an error of a stopped run is dropped";
            break;
        }
        if (OnGraphError) {
            TGraphError e = DescribeError(message);
            e.Serial = serial;
            OnGraphError(e);
        }
        break;
    case GST_MESSAGE_CLOCK_LOST:
        // The clock's provider left (an audio sink removed from a running
        // graph): pausing and playing again makes the pipeline pick a new one.
        if (current && State() == GST_STATE_PLAYING) {
            qCInfo(lcGst) << "clock lost; selecting a new one";
            gst_element_set_state(Pipeline.Get(), GST_STATE_PAUSED);
            gst_element_set_state(Pipeline.Get(), GST_STATE_PLAYING);
        }
        break;
    case GST_MESSAGE_LATENCY:
        if (Pipeline)
            gst_bin_recalculate_latency(GST_BIN(Pipeline.Get()));
        break;
    default:
        break;
    }
}

bool TFilterGraph::SetActive(bool active)
{
    if (active == Active())
        return true;
    if (active) {
        Pipeline = TElementRef::Ref(gst_pipeline_new(nullptr));
        TBusRef bus = TBusRef::Adopt(gst_element_get_bus(Pipeline.Get()));
        gst_bus_set_sync_handler(bus.Get(), BusSyncHandler, this, nullptr);
        bool ok = true;
        for (TFilter *holder : Holders) {
            QString error;
            if (!holder->CreateFilter(&error)) {
                SetError(error);
                ok = false;
            }
        }
        if (OnActivate)
            OnActivate();
        return ok;
    }
    Stop();
    for (TFilter *holder : Holders)
        holder->ReleaseFilter();
    while (!FilterStore.empty())
        RemoveFilter(FilterStore.back().get());
    TBusRef bus = TBusRef::Adopt(gst_element_get_bus(Pipeline.Get()));
    gst_bus_set_sync_handler(bus.Get(), nullptr, nullptr, nullptr);
    Pipeline.Reset();
    return true;
}

GstState TFilterGraph::State() const
{
    if (!Pipeline)
        return GST_STATE_NULL;
    GstState state = GST_STATE_NULL;
    gst_element_get_state(Pipeline.Get(), &state, nullptr, 0);
    return state;
}

bool TFilterGraph::ChangeState(GstState state)
{
    if (!Pipeline) {
        SetError("The filter graph is not active");
        return false;
    }
    {
        std::lock_guard lock(BusMutex);
        ErrorText.clear();
    }
    if (state > GST_STATE_NULL && State() == GST_STATE_NULL)
        for (auto &filter : FilterStore)
            filter->BeforeStart();
    if (state > GST_STATE_NULL)
        for (auto &filter : FilterStore)
            for (auto &pin : filter->Pins())
                pin->Drop(!pin->IsConnected());
    // Filters added while running whose branch was never completed follow
    // the graph again.
    for (TGraphFilter *f : Pending)
        gst_element_set_locked_state(f->Bin(), FALSE);
    Pending.clear();
    if (gst_element_set_state(Pipeline.Get(), state) == GST_STATE_CHANGE_FAILURE) {
        if (LastError().isEmpty())
            SetError("The graph cannot change state");
        gst_element_set_state(Pipeline.Get(), GST_STATE_NULL);
        // The caller reports this failure; the errors it posted are stale.
        ++Serial;
        return false;
    }
    return true;
}

bool TFilterGraph::Run()
{
    return ChangeState(GST_STATE_PLAYING);
}

bool TFilterGraph::Pause()
{
    return ChangeState(GST_STATE_PAUSED);
}

bool TFilterGraph::SendEndOfStreamAndWait(int timeoutMs)
{
    {
        std::lock_guard lock(BusMutex);
        EosSeen = false;
        Stopping = true;
    }
    gst_element_send_event(Pipeline.Get(), gst_event_new_eos());
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool seen = false;
    while (std::chrono::steady_clock::now() < until) {
        {
            std::lock_guard lock(BusMutex);
            seen = EosSeen;
        }
        if (seen)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::lock_guard lock(BusMutex);
    Stopping = false;
    return seen;
}

bool TFilterGraph::Stop()
{
    if (!Pipeline)
        return true;
    const bool writing = std::any_of(FilterStore.begin(), FilterStore.end(),
                                     [](const TFilterPtr &f) { return f->NeedsEndOfStream; });
    // A recording is finished by an end-of-stream through the muxer; a graph
    // that stalls is stopped anyway after the wait.
    if (writing && State() == GST_STATE_PLAYING && !SendEndOfStreamAndWait(3000))
        qCWarning(lcGst) << "end of stream did not reach the writer in time";
    for (TGraphFilter *f : Pending)
        gst_element_set_locked_state(f->Bin(), FALSE);
    Pending.clear();
    gst_element_set_state(Pipeline.Get(), GST_STATE_NULL);
    // After the streaming threads have ended: what they posted while
    // shutting down belongs to the run that ended.
    ++Serial;
    return true;
}

void TFilterGraph::ClearGraph()
{
    Stop();
    while (!FilterStore.empty())
        RemoveFilter(FilterStore.back().get());
}

bool TFilterGraph::WaitForState(int timeoutMs)
{
    if (!Pipeline)
        return false;
    return gst_element_get_state(Pipeline.Get(), nullptr, nullptr,
                                 GstClockTime(timeoutMs) * GST_MSECOND) != GST_STATE_CHANGE_FAILURE;
}

qint64 TFilterGraph::CurrentPosition() const
{
    gint64 pos = -1;
    if (!Pipeline || !gst_element_query_position(Pipeline.Get(), GST_FORMAT_TIME, &pos))
        return -1;
    return pos;
}

qint64 TFilterGraph::Duration() const
{
    gint64 duration = -1;
    if (!Pipeline || !gst_element_query_duration(Pipeline.Get(), GST_FORMAT_TIME, &duration))
        return -1;
    return duration;
}

bool TFilterGraph::SetPositions(qint64 position, qint64 stopPosition)
{
    if (!Pipeline)
        return false;
    WaitForState(2000);
    const bool ok = gst_element_seek(Pipeline.Get(), PlayRate, GST_FORMAT_TIME,
                                     GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                     position < 0 ? GST_SEEK_TYPE_NONE : GST_SEEK_TYPE_SET,
                                     position < 0 ? 0 : position,
                                     stopPosition < 0 ? GST_SEEK_TYPE_NONE : GST_SEEK_TYPE_SET,
                                     stopPosition < 0 ? GST_CLOCK_TIME_NONE : stopPosition);
    if (!ok)
        SetError("The graph cannot seek");
    return ok;
}

bool TFilterGraph::SetRate(double rate)
{
    if (!Pipeline || rate <= 0)
        return false;
    const qint64 position = CurrentPosition();
    const double old = PlayRate;
    PlayRate = rate;
    if (!SetPositions(std::max<qint64>(position, 0))) {
        PlayRate = old;
        return false;
    }
    return true;
}

TFilterPtr TFilterGraph::Shared(TGraphFilter *filter) const
{
    for (auto &f : FilterStore)
        if (f.get() == filter)
            return f;
    return nullptr;
}

bool TFilterGraph::AddFilter(const TFilterPtr &filter, const QString &name)
{
    if (!Pipeline || !filter) {
        SetError("No graph to add the filter to");
        return false;
    }
    if (Shared(filter.get()))
        return true;
    if (!name.isEmpty())
        filter->Name = name;
    if (!gst_bin_add(GST_BIN(Pipeline.Get()), filter->Bin())) {
        SetError("Cannot add filter " + filter->Name);
        return false;
    }
    filter->Graph = this;
    FilterStore.push_back(filter);
    // Filters joining a running graph start once their branch is complete.
    if (State() >= GST_STATE_PAUSED) {
        gst_element_set_locked_state(filter->Bin(), TRUE);
        Pending.push_back(filter.get());
    }
    return true;
}

bool TFilterGraph::RemoveFilter(TGraphFilter *filter)
{
    TFilterPtr keep = Shared(filter);
    if (!keep)
        return false;
    for (auto &pin : filter->Pins())
        if (pin->ConnectedTo)
            Disconnect(pin.get());
    gst_element_set_locked_state(filter->Bin(), TRUE);
    gst_element_set_state(filter->Bin(), GST_STATE_NULL);
    gst_bin_remove(GST_BIN(Pipeline.Get()), filter->Bin());
    filter->Graph = nullptr;
    Pending.erase(std::remove(Pending.begin(), Pending.end(), filter), Pending.end());
    FilterStore.erase(std::find(FilterStore.begin(), FilterStore.end(), keep));
    for (TFilter *holder : Holders)
        if (holder->Created == keep)
            holder->Created.reset();
    return true;
}

TGraphFilter *TFilterGraph::FindFilterByName(const QString &name) const
{
    for (auto &f : FilterStore)
        if (f->Name == name)
            return f.get();
    return nullptr;
}

void TFilterGraph::AttachHolder(TFilter *holder)
{
    Holders.push_back(holder);
    if (Active()) {
        QString error;
        if (!holder->CreateFilter(&error))
            SetError(error);
    }
}

void TFilterGraph::DetachHolder(TFilter *holder)
{
    holder->ReleaseFilter();
    Holders.erase(std::remove(Holders.begin(), Holders.end(), holder), Holders.end());
}
