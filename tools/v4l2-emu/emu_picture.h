// The launcher's side of the picture: the station picture of the virtual
// card (platform/station_picture.h) drawn by a GStreamer pipeline in the
// card's current format and size and written into the shared frame slots,
// from which the capture threads of the programs fill their buffers.
//
// The pipeline runs in the launcher, never inside the program under test:
// GStreamer's threads, its registry and its clock stay out of the program.
//
// Threads: Follow runs on the launcher's main loop; the appsink callback
// writes the slots on the pipeline's streaming thread.
#pragma once

#include <memory>
#include <string>

#include <gst/gst.h>

#include "emu_model.h"
#include "emu_shared.h"
#include "platform/streaming_properties.h"

namespace emu {

class TPictureSource
{
public:
    TPictureSource(TShared *shared, const TModel &model) : Shared(shared), Model(model) {}
    ~TPictureSource();
    TPictureSource(const TPictureSource &) = delete;
    TPictureSource &operator=(const TPictureSource &) = delete;

    // Follows the device state: draws while a stream runs, in its format,
    // showing what the tuner or the input receives.
    void Follow();

private:
    bool Build(const TPixFormat &format, uint64_t std);
    void Teardown();
    void ShowState();
    static GstFlowReturn NewSample(GstElement *sink, gpointer self);
    static gboolean OnBus(GstBus *bus, GstMessage *message, gpointer self);
    void Write(GstSample *sample);

    TShared *Shared;
    const TModel &Model;
    GstElement *Pipeline = nullptr;
    // The pattern changes between two frames (platform/streaming_properties.h).
    std::unique_ptr<TStreamingProperties> Source;
    TPixFormat Format;     // of the running pipeline
    uint64_t Std = 0;      // its standard (the frame rate)
    uint32_t Serial = ~0u; // the state last shown
    gint64 LastStreaming = 0;
    bool Failed = false; // the pipeline posted an error
};

} // namespace emu
