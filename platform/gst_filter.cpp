// Pins, filters, monikers and holders of the graph layer.
#include "platform/filter_graph.h"

#include <map>
#include <mutex>

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

TPin *TGraphFilter::AddTargetlessOutput(const QString &name, TMediaKind media)
{
    const QByteArray padName = QString("pin%1").arg(PinStore.size()).toUtf8();
    GstPad *ghost = gst_ghost_pad_new_no_target(padName.constData(), GST_PAD_SRC);
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(Bin(), ghost);
    TPin *pin = NewPin(name, TPinDirection::Output, TPinCategory::None, media, this);
    pin->Pad = ghost;
    PinStore.emplace_back(pin);
    pin->Drop(true);
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
