#include "platform/filter_graph.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <set>
#include <thread>

#include <QMetaObject>

#include "platform/filter_registry.h"
#include "platform/log.h"

// ---- pins and filters ----

QStringList TPin::MediaTypes() const
{
    QStringList result;
    if (!Pad)
        return result;
    GstCaps *caps = gst_pad_query_caps(Pad, nullptr);
    if (!caps)
        return result;
    for (guint i = 0; i < gst_caps_get_size(caps); ++i) {
        gchar *text = gst_structure_to_string(gst_caps_get_structure(caps, i));
        result << QString::fromUtf8(text);
        g_free(text);
    }
    gst_caps_unref(caps);
    return result;
}

static GstPadProbeReturn DropBuffers(GstPad *, GstPadProbeInfo *, gpointer)
{
    return GST_PAD_PROBE_DROP;
}

void TPin::Drop(bool on)
{
    if (!Pad || Direction != TPinDirection::Output)
        return;
    const auto type = GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST);
    if (on) {
        if (!DropProbe)
            DropProbe = gst_pad_add_probe(Pad, type, DropBuffers, nullptr, nullptr);
        if (DropAt && !DropProbeUp)
            DropProbeUp = gst_pad_add_probe(DropAt, type, DropBuffers, nullptr, nullptr);
        return;
    }
    if (DropProbe)
        gst_pad_remove_probe(Pad, DropProbe);
    if (DropProbeUp)
        gst_pad_remove_probe(DropAt, DropProbeUp);
    DropProbe = DropProbeUp = 0;
}

TGraphFilter::TGraphFilter(const QString &name, GstElement *bin)
    : Name(name), BinRef(TElementRef::Ref(bin))
{
}

TGraphFilter::~TGraphFilter()
{
    for (auto &pin : PinStore)
        pin->Drop(false);
    if (Bin())
        gst_element_set_state(Bin(), GST_STATE_NULL);
}

TPinList TGraphFilter::PinList(TPinDirection direction) const
{
    TPinList list;
    for (auto &pin : PinStore)
        if (pin->Direction == direction)
            list.push_back(pin.get());
    return list;
}

TPin *TGraphFilter::PinByName(const QString &name) const
{
    for (auto &pin : PinStore)
        if (pin->Name == name)
            return pin.get();
    return nullptr;
}

static TPin *NewPin(const QString &name, TPinDirection direction, TPinCategory category,
                    TMediaKind media, TGraphFilter *filter)
{
    auto *pin = new TPin;
    pin->Name = name;
    pin->Direction = direction;
    pin->Category = category;
    pin->Media = media;
    pin->Filter = filter;
    return pin;
}

TPin *TGraphFilter::AddPin(const QString &name, TPinDirection direction, TPinCategory category,
                           TMediaKind media, GstPad *target)
{
    const QByteArray padName = QString("pin%1").arg(PinStore.size()).toUtf8();
    GstPad *ghost = gst_ghost_pad_new(padName.constData(), target);
    if (!ghost)
        return nullptr;
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(Bin(), ghost);
    TPin *pin = NewPin(name, direction, category, media, this);
    pin->Pad = ghost;
    PinStore.emplace_back(pin);
    pin->Drop(true);
    return pin;
}

void TGraphFilter::SetDropPoint(TPin *pin, GstPad *pad)
{
    const bool dropping = pin->DropProbe != 0;
    pin->Drop(false);
    pin->DropAt = pad;
    pin->Drop(dropping);
}

TPin *TGraphFilter::AddTargetlessInput(const QString &name, TMediaKind media)
{
    const QByteArray padName = QString("pin%1").arg(PinStore.size()).toUtf8();
    GstPad *ghost = gst_ghost_pad_new_no_target(padName.constData(), GST_PAD_SINK);
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(Bin(), ghost);
    TPin *pin = NewPin(name, TPinDirection::Input, TPinCategory::None, media, this);
    pin->Pad = ghost;
    PinStore.emplace_back(pin);
    return pin;
}

TPin *TGraphFilter::AddAnalogPin(const QString &name, TPinDirection direction,
                                 TPinCategory category)
{
    TPin *pin = NewPin(name, direction, category, TMediaKind::Analog, this);
    PinStore.emplace_back(pin);
    return pin;
}

// ---- monikers ----

static std::map<QString, TMonikerFactory> &Schemes()
{
    static std::map<QString, TMonikerFactory> schemes;
    return schemes;
}

void RegisterMonikerScheme(const QString &scheme, TMonikerFactory factory)
{
    Schemes()[scheme] = std::move(factory);
}

void RegisterDeviceSchemes(); // platform/device_enum.cpp

TFilterPtr CreateFilterFromMoniker(const QString &moniker)
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterMonikerScheme("registry", [](const QString &name) {
            QString found;
            TFilterPtr f = CreateRegisteredFilter(name, &found);
            if (!f || found != name)
                throw EDSPackException(("No registered filter \"" + name + "\"").toStdString());
            return f;
        });
        RegisterDeviceSchemes();
    });
    const int colon = moniker.indexOf(':');
    auto it = Schemes().find(moniker.left(colon));
    if (colon < 0 || it == Schemes().end())
        throw EDSPackException(("Unknown moniker \"" + moniker + "\"").toStdString());
    TFilterPtr filter = it->second(moniker.mid(colon + 1));
    if (!filter)
        throw EDSPackException(("Cannot create \"" + moniker + "\"").toStdString());
    return filter;
}

// ---- graph ----

TFilterGraph::TFilterGraph(QObject *parent) : QObject(parent) {}

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
        qCWarning(lcGst) << GST_OBJECT_NAME(message->src) << error->message << debug;
        g_error_free(error);
        g_free(debug);
        break;
    }
    case GST_MESSAGE_EOS: {
        std::lock_guard lock(self->BusMutex);
        self->EosSeen = true;
        if (self->Stopping)
            return GST_BUS_DROP;
        break;
    }
    default:
        return GST_BUS_DROP;
    }
    // The graph may be gone when the GUI thread gets to it: the queued call
    // dies with its context object, and the message reference with the lambda.
    gst_message_ref(message);
    std::shared_ptr<GstMessage> keep(message, [](GstMessage *m) { gst_message_unref(m); });
    QMetaObject::invokeMethod(
        self, [self, keep] { self->HandleMessage(keep.get()); }, Qt::QueuedConnection);
    return GST_BUS_DROP;
}

void TFilterGraph::HandleMessage(GstMessage *message)
{
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        if (OnGraphComplete)
            OnGraphComplete();
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        const QString text = QString::fromUtf8(error->message);
        g_error_free(error);
        if (OnGraphError)
            OnGraphError(text);
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
                                 GstClockTime(timeoutMs) * GST_MSECOND) !=
           GST_STATE_CHANGE_FAILURE;
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
    const bool ok = gst_element_seek(
        Pipeline.Get(), PlayRate, GST_FORMAT_TIME,
        GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
        position < 0 ? GST_SEEK_TYPE_NONE : GST_SEEK_TYPE_SET, position < 0 ? 0 : position,
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

TPin *TFilterGraph::FindPin(TGraphFilter *filter, TPinDirection direction, TPinCategory category,
                            TMediaKind media, int index, bool unconnectedOnly)
{
    if (!filter)
        return nullptr;
    for (auto &pin : filter->Pins()) {
        if (pin->Direction != direction)
            continue;
        if (category != TPinCategory::None && pin->Category != category)
            continue;
        if (media != TMediaKind::Any && pin->Media != media)
            continue;
        if (unconnectedOnly && pin->IsConnected())
            continue;
        if (index-- == 0)
            return pin.get();
    }
    return nullptr;
}

std::vector<TGraphFilter *> TFilterGraph::Neighbourhood(TGraphFilter *filter) const
{
    std::vector<TGraphFilter *> order;
    if (!filter)
        return order;
    order.push_back(filter);
    for (TPinDirection direction : {TPinDirection::Input, TPinDirection::Output})
        for (size_t i = 0; i < order.size(); ++i)
            for (auto &pin : order[i]->Pins())
                if (pin->Direction == direction && pin->ConnectedTo &&
                    std::find(order.begin(), order.end(), pin->ConnectedTo->Filter) == order.end())
                    order.push_back(pin->ConnectedTo->Filter);
    return order;
}

static const char *LinkText(GstPadLinkReturn r)
{
    switch (r) {
    case GST_PAD_LINK_WRONG_HIERARCHY: return "the filters are not in the same graph";
    case GST_PAD_LINK_WAS_LINKED: return "the pin is already connected";
    case GST_PAD_LINK_WRONG_DIRECTION: return "the pins have the wrong direction";
    case GST_PAD_LINK_NOFORMAT: return "the pins have no common media type";
    case GST_PAD_LINK_NOSCHED: return "the pins cannot work together";
    default: return "the connection was refused";
    }
}

bool TFilterGraph::ConnectDirect(TPin *out, TPin *in)
{
    if (!out || !in || out->Direction != TPinDirection::Output ||
        in->Direction != TPinDirection::Input) {
        SetError("Cannot connect: missing pin or wrong direction");
        return false;
    }
    if (out->IsConnected() || in->IsConnected()) {
        SetError("Cannot connect: " + QString(LinkText(GST_PAD_LINK_WAS_LINKED)));
        return false;
    }
    if ((out->Pad == nullptr) != (in->Pad == nullptr)) {
        SetError("Cannot connect an analog pin to a stream pin");
        return false;
    }
    if (out->Pad) {
        if (!in->Filter->PrepareInput(in, out)) {
            SetError("Cannot connect " + out->Filter->Name + " to " + in->Filter->Name +
                     ": the input takes no such stream");
            return false;
        }
        const GstPadLinkReturn r = gst_pad_link(out->Pad, in->Pad);
        if (r != GST_PAD_LINK_OK) {
            SetError("Cannot connect " + out->Filter->Name + " to " + in->Filter->Name + ": " +
                     LinkText(r));
            in->Filter->PinDisconnected(in);
            return false;
        }
    }
    out->ConnectedTo = in;
    in->ConnectedTo = out;
    out->Filter->PinsChanged();
    in->Filter->PinsChanged();
    ActivatePending();
    return true;
}

void TFilterGraph::ActivatePending()
{
    // Downstream first, so no buffer meets a filter that is not running.
    for (auto it = Pending.rbegin(); it != Pending.rend(); ++it) {
        gst_element_set_locked_state((*it)->Bin(), FALSE);
        gst_element_sync_state_with_parent((*it)->Bin());
    }
    Pending.clear();
    for (auto &filter : FilterStore)
        for (auto &pin : filter->Pins())
            if (pin->Direction == TPinDirection::Output && pin->ConnectedTo)
                pin->Drop(false);
}

struct TIdleUnlink {
    GstPad *Out;
    GstPad *In;
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
};

static GstPadProbeReturn UnlinkWhenIdle(GstPad *, GstPadProbeInfo *, gpointer data)
{
    auto *job = static_cast<TIdleUnlink *>(data);
    gst_pad_unlink(job->Out, job->In);
    std::lock_guard lock(job->Mutex);
    job->Finished = true;
    job->Done.notify_all();
    return GST_PAD_PROBE_REMOVE;
}

void TFilterGraph::UnlinkPins(TPin *out, TPin *in)
{
    if (!out->Pad)
        return;
    out->Drop(true);
    if (State() != GST_STATE_PLAYING) {
        gst_pad_unlink(out->Pad, in->Pad);
        return;
    }
    // Unlink between two buffers; a pad stuck downstream is unlinked anyway
    // after the wait, and the element behind it is shut down next.
    auto job = std::make_shared<TIdleUnlink>();
    job->Out = out->Pad;
    job->In = in->Pad;
    auto *holder = new std::shared_ptr<TIdleUnlink>(job);
    const gulong id = gst_pad_add_probe(
        out->Pad, GST_PAD_PROBE_TYPE_IDLE,
        [](GstPad *pad, GstPadProbeInfo *info, gpointer data) {
            return UnlinkWhenIdle(pad, info, static_cast<std::shared_ptr<TIdleUnlink> *>(data)->get());
        },
        holder, [](gpointer data) { delete static_cast<std::shared_ptr<TIdleUnlink> *>(data); });
    std::unique_lock lock(job->Mutex);
    if (!job->Done.wait_for(lock, std::chrono::seconds(1), [&] { return job->Finished; })) {
        lock.unlock();
        if (id)
            gst_pad_remove_probe(out->Pad, id);
        gst_pad_unlink(out->Pad, in->Pad);
    }
}

bool TFilterGraph::Disconnect(TPin *pin)
{
    if (!pin || !pin->ConnectedTo)
        return false;
    TPin *out = pin->Direction == TPinDirection::Output ? pin : pin->ConnectedTo;
    TPin *in = out->ConnectedTo;
    UnlinkPins(out, in);
    out->ConnectedTo = nullptr;
    in->ConnectedTo = nullptr;
    in->Filter->PinDisconnected(in);
    out->Filter->PinDisconnected(out);
    return true;
}

bool TFilterGraph::RemoveDownstreamOfPin(TPin *out)
{
    if (!out || out->Direction != TPinDirection::Output)
        return false;
    if (!out->ConnectedTo)
        return true;
    std::vector<TGraphFilter *> doomed{out->ConnectedTo->Filter};
    for (size_t i = 0; i < doomed.size(); ++i)
        for (auto &pin : doomed[i]->Pins())
            if (pin->Direction == TPinDirection::Output && pin->ConnectedTo &&
                std::find(doomed.begin(), doomed.end(), pin->ConnectedTo->Filter) == doomed.end())
                doomed.push_back(pin->ConnectedTo->Filter);
    // Cut every link into the doomed set first (this pin and, for a muxer,
    // the other branches feeding it), then shut the filters down.
    for (TGraphFilter *f : doomed)
        for (auto &pin : f->Pins())
            if (pin->Direction == TPinDirection::Input && pin->ConnectedTo)
                Disconnect(pin.get());
    for (TGraphFilter *f : doomed)
        RemoveFilter(f);
    return true;
}

bool TFilterGraph::RemoveDownstream(TGraphFilter *filter)
{
    if (!filter)
        return false;
    for (TPin *pin : filter->PinList(TPinDirection::Output))
        RemoveDownstreamOfPin(pin);
    return true;
}

bool TFilterGraph::RenderStreamFromPin(TPin *from, TGraphFilter *intermediate, TGraphFilter *sink)
{
    if (!from) {
        SetError("Cannot render: no such pin");
        return false;
    }
    TPin *current = from;
    if (intermediate) {
        if (!Shared(intermediate)) {
            SetError("Cannot render through " + intermediate->Name + ": it is not in the graph");
            return false;
        }
        TPin *in = FindPin(intermediate, TPinDirection::Input, TPinCategory::None, TMediaKind::Any,
                           0, true);
        if (!ConnectDirect(current, in))
            return false;
        current = FindPin(intermediate, TPinDirection::Output, TPinCategory::None, from->Media, 0,
                          true);
        if (!current)
            current = FindPin(intermediate, TPinDirection::Output, TPinCategory::None,
                              TMediaKind::Any, 0, true);
    }
    if (!sink)
        return Render(current);
    TPin *in = FindPin(sink, TPinDirection::Input, TPinCategory::None, TMediaKind::Any, 0, true);
    return ConnectDirect(current, in);
}

bool TFilterGraph::RenderStream(TPinCategory category, TMediaKind media, TGraphFilter *source,
                                TGraphFilter *intermediate, TGraphFilter *sink)
{
    TPin *from = FindPin(source, TPinDirection::Output, category, media, 0, true);
    if (!from) {
        SetError("Cannot render: " + (source ? source->Name : QString("no filter")) +
                 " has no free pin of that kind");
        return false;
    }
    return RenderStreamFromPin(from, intermediate, sink);
}

bool TFilterGraph::Render(TPin *out)
{
    if (!out || out->Direction != TPinDirection::Output) {
        SetError("Cannot render: no output pin");
        return false;
    }
    TFilterPtr renderer;
    if (out->Media == TMediaKind::Video)
        renderer = CreateVideoRenderer();
    else if (out->Media == TMediaKind::Audio)
        renderer = CreateAudioRenderer();
    if (!renderer) {
        SetError("Cannot render: no renderer for the pin " + out->Name);
        return false;
    }
    if (!AddFilter(renderer))
        return false;
    TPin *in = FindPin(renderer.get(), TPinDirection::Input);
    if (!ConnectDirect(out, in)) {
        RemoveFilter(renderer.get());
        return false;
    }
    return true;
}

TGraphFilter *TFilterGraph::SetOutputFileName(const QString &muxerName, const QString &fileName,
                                              TGraphFilter **writerOut)
{
    TFilterPtr mux = CreateRegisteredFilter(muxerName);
    TFilterPtr writer = CreateFileWriter(fileName);
    if (!mux || !writer) {
        SetError("Cannot find the filter \"" + muxerName + "\"");
        return nullptr;
    }
    if (!AddFilter(mux) || !AddFilter(writer))
        return nullptr;
    if (!ConnectDirect(FindPin(mux.get(), TPinDirection::Output),
                       FindPin(writer.get(), TPinDirection::Input))) {
        RemoveFilter(writer.get());
        RemoveFilter(mux.get());
        return nullptr;
    }
    if (writerOut)
        *writerOut = writer.get();
    return mux.get();
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

// ---- holders ----

TFilter::~TFilter()
{
    SetFilterGraph(nullptr);
}

void TFilter::SetFilterGraph(TFilterGraph *graph)
{
    if (graph == Graph)
        return;
    if (Graph)
        Graph->DetachHolder(this);
    Graph = graph;
    if (Graph)
        Graph->AttachHolder(this);
}

bool TFilter::CreateFilter(QString *error)
{
    if (Created || !BaseFilter.Bound() || !Graph)
        return true;
    try {
        TFilterPtr filter = CreateFilterFromMoniker(BaseFilter.Moniker);
        if (!Graph->AddFilter(filter, Name)) {
            *error = Graph->LastError();
            return false;
        }
        Created = filter;
        return true;
    } catch (const std::exception &e) {
        *error = QString::fromUtf8(e.what());
        return false;
    }
}

void TFilter::ReleaseFilter()
{
    if (Created && Graph)
        Graph->RemoveFilter(Created.get());
    Created.reset();
}
