// The filter-graph layer: filters, pins and one graph, over GStreamer.
//
// A filter (TGraphFilter) is a GstBin whose ghost pads are its pins; a pin
// connection is a pad link; the graph (TFilterGraph) is one GstPipeline.
// Device filters that only steer hardware (tuner, crossbar, TV audio) have
// "analog" pins without a pad: connecting them records the routing only.
//
// Threads: every operation here is called on the GUI thread. Bus messages
// arrive on streaming threads and are handed to the GUI thread through the
// graph's QObject; the completion and error callbacks run there.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include <gst/gst.h>

#include "platform/gst_ref.h"

// Raised where a platform call the layer checks fails; carries the
// GStreamer error text. Never thrown across a Qt slot or a GStreamer callback.
class EDirectShowException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
class EDSPackException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class TPinDirection { Input, Output };
// Pin categories the engines look pins up by. Analog: the tuner, crossbar
// and TV audio connections that carry no data through the pipeline.
enum class TPinCategory { None, Capture, Preview, VBI, AnalogVideoIn, Analog };
enum class TMediaKind { None, Video, Audio, Stream, Analog, Any };

class TGraphFilter;
class TFilterGraph;

// An error a running graph reported, as the engines get it on the GUI thread.
struct TGraphError
{
    QString Text;    // GStreamer's message for the user
    QString Debug;   // GStreamer's details, for the log
    QString Element; // the element that failed
    QString Filter;  // the graph filter that holds it ("" when none does)
    QString Device;  // the device the element works on ("/dev/video0", "hw:1,0"), if any
    // The run of the graph it belongs to (TFilterGraph::RunSerial): an error
    // of a run that has since been stopped is stale.
    quint64 Serial = 0;
};

class TPin
{
public:
    QString Name;
    TPinDirection Direction = TPinDirection::Input;
    TPinCategory Category = TPinCategory::None;
    TMediaKind Media = TMediaKind::None;
    TGraphFilter *Filter = nullptr;
    // Ghost pad on the filter's bin (owned by the bin); null for analog pins.
    GstPad *Pad = nullptr;
    TPin *ConnectedTo = nullptr;

    bool IsConnected() const { return ConnectedTo != nullptr; }
    // The caps this pin can carry, one text per structure.
    QStringList MediaTypes() const;

private:
    friend class TGraphFilter;
    friend class TFilterGraph;
    // While an output pin is not connected (or its downstream is not yet
    // running) its buffers are dropped, so a live source never meets an
    // unlinked pad. 0 = no probe.
    gulong DropProbe = 0;
    // Optionally also further up the branch (a queue's input), so an
    // unconnected branch costs no thread wake-ups; the probe at the pin
    // still takes what the queue held when the pin was cut.
    GstPad *DropAt = nullptr;
    gulong DropProbeUp = 0;
    void Drop(bool on);
};

using TPinList = std::vector<TPin *>;

class TGraphFilter
{
public:
    // Takes ownership of the bin (sinks a floating reference).
    TGraphFilter(const QString &name, GstElement *bin);
    virtual ~TGraphFilter();
    TGraphFilter(const TGraphFilter &) = delete;
    TGraphFilter &operator=(const TGraphFilter &) = delete;

    QString Name;
    GstElement *Bin() const { return BinRef.Get(); }
    const std::vector<std::unique_ptr<TPin>> &Pins() const { return PinStore; }
    TPinList PinList(TPinDirection direction) const;
    TPin *PinByName(const QString &name) const;

    // Interface query: device filters also implement the device interfaces
    // (platform/device_interfaces.h).
    template <typename I>
    I *Query()
    {
        return dynamic_cast<I *>(this);
    }

    // Filters with pins made on demand (tees, muxers): called before `in`
    // is linked from `from`, to give a target-less input its element pad,
    // and after every connect or disconnect to keep one free pin.
    virtual bool PrepareInput(TPin *in, TPin *from) { return true; }
    virtual void PinsChanged() {}
    virtual void PinDisconnected(TPin *pin) {}
    // The graph is about to start from stopped (its elements were closed).
    virtual void BeforeStart() {}
    // Muxers and writers must see end-of-stream before the graph stops, or
    // the file is left unfinished.
    bool NeedsEndOfStream = false;
    TFilterGraph *Graph = nullptr;

protected:
    // Ghosts the pad of an element inside the bin.
    TPin *AddPin(const QString &name, TPinDirection direction, TPinCategory category,
                 TMediaKind media, GstPad *target);
    TPin *AddAnalogPin(const QString &name, TPinDirection direction, TPinCategory category);
    // Drops the unconnected pin's data at `pad` (an element pad inside the
    // bin, upstream of the pin) instead of at the pin.
    void SetDropPoint(TPin *pin, GstPad *pad);
    // An input ghost pad whose target is set by PrepareInput.
    TPin *AddTargetlessInput(const QString &name, TMediaKind media);
    // An output ghost pad whose target the filter sets when its element
    // makes the pad (a demuxer's streams).
    TPin *AddTargetlessOutput(const QString &name, TMediaKind media);

private:
    TElementRef BinRef;
    std::vector<std::unique_ptr<TPin>> PinStore;
};

using TFilterPtr = std::shared_ptr<TGraphFilter>;
using TFilterList = std::vector<TFilterPtr>;

// The serialised moniker of a device or a registered filter. Schemes:
// "registry:<friendly name>", "v4l2:<kind>:<device path>",
// "alsa:<pcm name>", "virtual:<kind>".
struct TBaseFilter
{
    QString Moniker;
    bool Bound() const { return !Moniker.isEmpty(); }
};

// Creates the filter a moniker stands for; throws EDSPackException with the
// reason when it cannot.
TFilterPtr CreateFilterFromMoniker(const QString &moniker);
using TMonikerFactory = std::function<TFilterPtr(const QString &rest)>;
// Backends register their scheme once at start (the first call of
// CreateFilterFromMoniker registers the built-in ones).
void RegisterMonikerScheme(const QString &scheme, TMonikerFactory factory);

class TFilter;

class TFilterGraph : public QObject
{
    Q_OBJECT
public:
    enum TMode { ModeNormal, ModeCapture };

    explicit TFilterGraph(QObject *parent = nullptr);
    ~TFilterGraph() override;

    TMode Mode = ModeNormal;
    // Kept for the callers that set it; the pipeline has no external viewer.
    bool GraphEdit = false;

    bool Active() const { return bool(Pipeline); }
    // True creates the pipeline and the filters of every holder; false stops
    // it and releases everything. Returns false (LastError) on failure.
    bool SetActive(bool active);

    bool Run();
    bool Pause();
    bool Stop();
    // Stop, then remove every filter.
    void ClearGraph();
    // Waits until a pending state change has finished (tests, seeking).
    bool WaitForState(int timeoutMs = 5000);
    GstState State() const;

    // Seeking, in nanoseconds. -1 when unknown.
    qint64 CurrentPosition() const;
    qint64 Duration() const;
    bool SetPositions(qint64 position, qint64 stopPosition = -1);
    bool SetRate(double rate);
    double Rate() const { return PlayRate; }

    // Filters.
    bool AddFilter(const TFilterPtr &filter, const QString &name = {});
    bool RemoveFilter(TGraphFilter *filter);
    const TFilterList &Filters() const { return FilterStore; }
    TGraphFilter *FindFilterByName(const QString &name) const;

    // Capture-graph-builder operations.
    // The index-th pin of the filter matching direction, category (None =
    // any) and media (Any = any), optionally only unconnected ones.
    static TPin *FindPin(TGraphFilter *filter, TPinDirection direction,
                         TPinCategory category = TPinCategory::None,
                         TMediaKind media = TMediaKind::Any, int index = 0,
                         bool unconnectedOnly = false);
    // Searches the filter, then the filters upstream of it, then downstream.
    template <typename I>
    I *FindInterface(TGraphFilter *filter)
    {
        for (TGraphFilter *f : Neighbourhood(filter))
            if (I *i = f->Query<I>())
                return i;
        return nullptr;
    }
    bool ConnectDirect(TPin *out, TPin *in);
    // Connects the source's first output pin of the category and media (or
    // `fromPin` when given) through `intermediate` (may be null) to `sink`
    // (null: the default renderer of the media).
    bool RenderStream(TPinCategory category, TMediaKind media, TGraphFilter *source,
                      TGraphFilter *intermediate, TGraphFilter *sink);
    bool RenderStreamFromPin(TPin *fromPin, TGraphFilter *intermediate, TGraphFilter *sink);
    // Connects the pin to the default renderer of its media.
    bool Render(TPin *out);
    // Adds the multiplexer found by name and a file writer on `fileName`
    // connected to it; returns the multiplexer (null on failure).
    TGraphFilter *SetOutputFileName(const QString &muxerName, const QString &fileName,
                                    TGraphFilter **writer = nullptr);
    // Removes every filter downstream of the filter (not the filter itself),
    // or downstream of one output pin; works on a running graph.
    bool RemoveDownstream(TGraphFilter *filter);
    bool RemoveDownstreamOfPin(TPin *out);
    bool Disconnect(TPin *pin);

    QString LastError() const;

    GstElement *PipelineElement() const { return Pipeline.Get(); }

    // Events, on the GUI thread. Only the errors of the current run arrive:
    // one queued before a Stop is dropped. Warnings are logged; a lost clock
    // makes the graph choose a new one, and a latency change (a branch joined
    // the running graph) has the latency recalculated, both here.
    std::function<void()> OnGraphComplete;
    std::function<void(const TGraphError &error)> OnGraphError;
    std::function<void()> OnActivate;

    // Counts the runs: raised by every Stop, by a failed state change and by
    // deactivation.
    quint64 RunSerial() const { return Serial.load(); }

private:
    friend class TFilter;
    void AttachHolder(TFilter *holder);
    void DetachHolder(TFilter *holder);
    void HandleMessage(GstMessage *message, quint64 serial);
    TGraphError DescribeError(GstMessage *message) const;
    static GstBusSyncReply BusSyncHandler(GstBus *bus, GstMessage *message, gpointer self);
    void SetError(const QString &text);
    bool ChangeState(GstState state);
    void ActivatePending();
    void UnlinkPins(TPin *out, TPin *in);
    bool SendEndOfStreamAndWait(int timeoutMs);
    std::vector<TGraphFilter *> Neighbourhood(TGraphFilter *filter) const;
    TFilterPtr Shared(TGraphFilter *filter) const;

    TElementRef Pipeline;
    TFilterList FilterStore;
    std::vector<TGraphFilter *> Pending; // added while running, not yet started
    std::vector<TFilter *> Holders;
    double PlayRate = 1.0;

    // Shared with the bus sync handler (streaming threads).
    mutable std::mutex BusMutex;
    QString ErrorText;
    bool EosSeen = false;
    bool Stopping = false;
    std::atomic<quint64> Serial{1};
};

// A holder bound to a device or registered filter, as the engines keep them
// ("VCapture", "Crossbar"...). Its filter exists while it belongs to an
// active graph and has a bound moniker.
class TFilter
{
public:
    explicit TFilter(const QString &name) : Name(name) {}
    ~TFilter();
    TFilter(const TFilter &) = delete;
    TFilter &operator=(const TFilter &) = delete;

    QString Name;
    TBaseFilter BaseFilter;

    void SetFilterGraph(TFilterGraph *graph);
    TFilterGraph *FilterGraph() const { return Graph; }
    TGraphFilter *Object() const { return Created.get(); }
    template <typename I>
    I *Query() const
    {
        return Created ? Created->Query<I>() : nullptr;
    }

private:
    friend class TFilterGraph;
    bool CreateFilter(QString *error);
    void ReleaseFilter();
    TFilterGraph *Graph = nullptr;
    TFilterPtr Created;
};
