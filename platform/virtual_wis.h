// The virtual card's capture filter for its Wis profile: a card with a
// hardware MPEG encoder. Its capture and preview pins deliver compressed
// video (MPEG-4 part 2, the only MPEG encoder of this platform's GStreamer
// that runs live), its second capture pin the sound. The picture follows the
// virtual card's state like the other profiles' capture filter.
#pragma once

#include <memory>

#include "platform/device_interfaces.h"
#include "platform/filter_graph.h"
#include "platform/streaming_properties.h"

class TVirtualWisCaptureFilter : public TGraphFilter,
                                 public IVideoProcAmp,
                                 public IAnalogVideoDecoder,
                                 public IStreamConfig
{
public:
    TVirtualWisCaptureFilter();
    ~TVirtualWisCaptureFilter() override;

    int GetRange(int property, int &min, int &max, int &step, int &def) override;
    int Get(int property, int &value) override;
    int Set(int property, int value) override;

    int HorizontalLocked(bool &locked) override;
    int AvailableStandards(int32_t &standards) override;
    int SetStandard(int32_t standard) override;
    int GetStandard(int32_t &standard) override;

    // Subtypes "MP4S" and "DX50" (MPEG-4 in a video-info format).
    int GetNumberOfCapabilities(int &count) override;
    int GetStreamCaps(int index, TVideoFormat &format) override;
    int GetFormat(TVideoFormat &format) override;
    int SetFormat(const TVideoFormat &format) override;

private:
    void Follow();
    // The sources' changes, made between their buffers.
    std::unique_ptr<TStreamingProperties> Picture, Sound;
    TVideoFormat Format;
    int Observer = 0;
};
