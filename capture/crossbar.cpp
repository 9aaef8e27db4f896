#include "capture/crossbar.h"

#include <cerrno>

namespace {

// Crossbars are never cascaded this deep; the limit only guards against a
// graph whose analog connections form a loop.
constexpr int MaxDepth = 8;

int IndexOf(const TPinList &pins, const TPin *pin)
{
    for (size_t i = 0; i < pins.size(); ++i)
        if (pins[i] == pin)
            return int(i);
    return -1;
}

} // namespace

TCrossbar::TCrossbar(TFilterGraph *graph, TPin *pin) : Graph(graph)
{
    TCrossbarPath hops;
    if (pin)
        BuildRoutes(pin, 0, hops);
}

void TCrossbar::BuildRoutes(TPin *pin, int depth, TCrossbarPath &hops)
{
    TPin *upstream = pin->ConnectedTo;
    ICrossbar *crossbar = upstream && upstream->Filter ? upstream->Filter->Query<ICrossbar>() : nullptr;
    if (!crossbar || depth >= MaxDepth) {
        if (depth > 0)
            Paths.push_back(hops);
        return;
    }
    TGraphFilter *filter = upstream->Filter;
    TFilterPtr owner;
    if (Graph)
        for (const TFilterPtr &f : Graph->Filters())
            if (f.get() == filter)
                owner = f;

    int outputs = 0, inputs = 0;
    if (crossbar->GetPinCounts(outputs, inputs) != 0)
        return;
    const int output = IndexOf(filter->PinList(TPinDirection::Output), upstream);
    int relatedOutput = -1, outputType = 0, relatedOutputType = 0, unused = 0;
    if (output < 0 || crossbar->GetCrossbarPinInfo(false, output, relatedOutput, outputType) != 0)
        return;
    if (relatedOutput >= 0 &&
        crossbar->GetCrossbarPinInfo(false, relatedOutput, unused, relatedOutputType) != 0)
        relatedOutputType = 0;

    const TPinList inputPins = filter->PinList(TPinDirection::Input);
    for (int i = 0; i < inputs; ++i) {
        int related = -1, type = 0;
        if (crossbar->GetCrossbarPinInfo(true, i, related, type) != 0 || type >= 0x1000)
            continue;
        if (crossbar->CanRoute(output, i) != 0)
            continue;
        hops.push_back({owner, crossbar, i, output, related, relatedOutput, type,
                        relatedOutputType, depth});
        if (i < int(inputPins.size()))
            BuildRoutes(inputPins[i], depth + 1, hops);
        else
            Paths.push_back(hops);
        hops.pop_back();
    }
}

bool TCrossbar::InputType(int index, int &type) const
{
    if (index < 0 || index >= int(Paths.size()) || Paths[index].empty())
        return false;
    const TCrossbarRoute &outer = Paths[index].back();
    int related = 0;
    return outer.Crossbar->GetCrossbarPinInfo(true, outer.InputIndex, related, type) == 0;
}

QString TCrossbar::InputName(int index) const
{
    if (index < 0 || index >= int(Paths.size()) || Paths[index].empty())
        return {};
    return PinTypeName(Paths[index].back().InputType);
}

int TCrossbar::RouteInput(int index)
{
    if (index < 0 || index >= int(Paths.size()))
        return EINVAL;
    // A failed hop is reported even when later hops succeed: the picture
    // did not reach the capture filter.
    int result = 0;
    for (const TCrossbarRoute &hop : Paths[index]) {
        int r = hop.Crossbar->Route(hop.OutputIndex, hop.InputIndex);
        if (r == 0 && hop.RelatedOutput != -1 && hop.RelatedInput != -1)
            r = hop.Crossbar->Route(hop.RelatedOutput, hop.RelatedInput);
        if (r != 0 && result == 0)
            result = r;
    }
    Current = index;
    return result;
}

QString TCrossbar::PinTypeName(int type)
{
    static const char *const video[] = {
        "Video Tuner", "Video Composite", "Video SVideo", "Video RGB", "Video YRYBY",
        "Video SerialDigital", "Video ParallelDigital", "Video SCSI", "Video AUX",
        "Video 1394", "Video USB", "Video Decoder", "Video Encoder", "Video Scart"};
    static const char *const audio[] = {
        "Audio Tuner", "Audio Line", "Audio Mic", "Audio AESDigital", "Audio SPDIFDigital",
        "Audio SCSI", "Audio AUX", "Audio 1394", "Audio USB", "Audio Decoder"};
    if (type >= 1 && type <= 14)
        return video[type - 1];
    if (type >= 0x1000 && type <= 0x1009)
        return audio[type - 0x1000];
    return "Unknown";
}
