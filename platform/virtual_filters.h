// The virtual card's filters. Each follows the card's state
// (TVirtualCard) while it exists: a tune, an input switch or a picture
// control change takes effect in the running pipeline.
#pragma once

#include <memory>

#include "platform/device_interfaces.h"
#include "platform/filter_graph.h"
#include "platform/streaming_properties.h"
#include "platform/virtual_sync_mark.h"

// The video capture filter: a moving test pattern with the station's name
// and a clock, snow when nothing is locked. Pins: "Analog Video In",
// "Capture", "Audio" (saa7134 and cx88 profiles: the second capture pin with the
// card's sound), "Preview", "VBI".
class TVirtualCaptureFilter : public TGraphFilter,
                              public IVideoProcAmp,
                              public IAnalogVideoDecoder,
                              public IStreamConfig
{
public:
    TVirtualCaptureFilter();
    ~TVirtualCaptureFilter() override;

    int GetRange(int property, int &min, int &max, int &step, int &def) override;
    int Get(int property, int &value) override;
    int Set(int property, int value) override;

    int HorizontalLocked(bool &locked) override;
    int AvailableStandards(int32_t &standards) override;
    int SetStandard(int32_t standard) override;
    int GetStandard(int32_t &standard) override;

    int GetNumberOfCapabilities(int &count) override;
    int GetStreamCaps(int index, TVideoFormat &format) override;
    int GetFormat(TVideoFormat &format) override;
    int SetFormat(const TVideoFormat &format) override;

    void PinsChanged() override { RunVbiSource(); }
    void PinDisconnected(TPin *) override { RunVbiSource(); }

private:
    void Follow();
    void ApplyFormat();
    // The VBI source runs only while its pin is connected.
    void RunVbiSource();
    // The picture source's changes, made between its buffers.
    std::unique_ptr<TStreamingProperties> Picture;
    TVideoFormat Format;
    bool Interlaced = false;
    int Observer = 0;
    TSyncMarkSwitch Marks = std::make_shared<std::atomic<bool>>(false);
};

// Sound of the tuned station (a tone), noise between stations, a 1 kHz
// tone on the line input. Pin: "Capture".
class TVirtualAudioCaptureFilter : public TGraphFilter
{
public:
    TVirtualAudioCaptureFilter();
    ~TVirtualAudioCaptureFilter() override;

private:
    void Follow();
    std::unique_ptr<TStreamingProperties> Sound;
    int Observer = 0;
    TSyncMarkSwitch Marks = std::make_shared<std::atomic<bool>>(false);
};

class TVirtualCrossbarFilter : public TGraphFilter, public ICrossbar
{
public:
    TVirtualCrossbarFilter();
    int GetPinCounts(int &outputs, int &inputs) override;
    int GetCrossbarPinInfo(bool isInput, int index, int &related, int &type) override;
    int CanRoute(int output, int input) override;
    int Route(int output, int input) override;
    int IsRoutedTo(int output, int &input) override;
};

class TVirtualTunerFilter : public TGraphFilter, public ITVTuner
{
public:
    TVirtualTunerFilter();
    int SetMode(int mode) override;
    int GetMode(int &mode) override;
    int ModeCaps(int mode, int32_t &minHz, int32_t &maxHz) override;
    int SetFrequency(int32_t hz, int flags) override;
    int GetStatus(TTunerStatus &status) override;
    int AvailableStandards(int32_t &standards) override;
    int SetStandard(int32_t standard) override;
};

class TVirtualTVAudioFilter : public TGraphFilter, public ITVAudio
{
public:
    TVirtualTVAudioFilter();
    int GetAvailableModes(int32_t &modes) override;
    int GetMode(int32_t &mode) override;
    int SetMode(int32_t mode) override;
};

// kind: "capture", "audio", "crossbar", "tuner", "tvaudio"; null otherwise.
TFilterPtr CreateVirtualFilter(const QString &kind);
