// The video inputs that reach the capture filter through one or more
// crossbars, and the switch between them. Built once per preview build from
// the capture filter's analog video input pin; owned by the capture engine.
// GUI thread only.
#pragma once

#include <vector>

#include <QString>

#include "platform/device_interfaces.h"
#include "platform/filter_graph.h"

// One hop of a path: a crossbar and the input routed to its output.
struct TCrossbarRoute
{
    // Keeps the crossbar filter alive as long as the path may route it.
    TFilterPtr Owner;
    ICrossbar *Crossbar = nullptr;
    int InputIndex = -1;
    int OutputIndex = -1;
    // The audio pins that belong to the pair; -1 if none.
    int RelatedInput = -1;
    int RelatedOutput = -1;
    int InputType = 0;
    int RelatedOutputType = 0;
    int Depth = 0; // 0: the crossbar next to the capture filter
};

// Hops from the crossbar next to the capture filter outwards.
using TCrossbarPath = std::vector<TCrossbarRoute>;

class TCrossbar
{
public:
    // pin: the capture filter's analog video input pin; graph: the graph
    // that holds the crossbars.
    TCrossbar(TFilterGraph *graph, TPin *pin);

    int InputCount() const { return int(Paths.size()); }
    // The physical connector type of the path's outermost input, asked of
    // the crossbar; false when the index is bad or the crossbar fails.
    bool InputType(int index, int &type) const;
    // PinTypeName of the path's type; empty for a bad index.
    QString InputName(int index) const;
    // 0 or the errno of the first route that failed; every hop is tried.
    int RouteInput(int index);
    int CurrentIndex() const { return Current; }
    const std::vector<TCrossbarPath> &RoutePaths() const { return Paths; }

    static QString PinTypeName(int type);

private:
    void BuildRoutes(TPin *pin, int depth, TCrossbarPath &hops);
    TFilterGraph *Graph;
    std::vector<TCrossbarPath> Paths;
    int Current = 0;
};
