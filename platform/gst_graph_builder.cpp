// The capture-graph-builder operations: finding pins, connecting, rendering
// and cutting branches, also while the graph runs.
#include "platform/filter_graph.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/filter_registry.h"
#include "platform/log.h"

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
