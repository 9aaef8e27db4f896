// Filters found by friendly name. Each name stands for a bin of real
// GStreamer elements; a name with no counterpart here is simply not found,
// and the caller's "not found" path runs.
#pragma once

#include <functional>
#include <vector>

#include <QString>

#include "platform/filter_graph.h"

enum class TRegistryCategory { Filter, VideoCompressor, AudioCompressor };

struct TRegisteredFilter
{
    QString FriendlyName;
    TRegistryCategory Category = TRegistryCategory::Filter;
    std::function<TFilterPtr()> Create;
};

// In enumeration order.
const std::vector<TRegisteredFilter> &RegisteredFilters();

// The first registered filter whose name contains the fragment
// (ContainsText); null when none does or its elements are missing.
TFilterPtr CreateRegisteredFilter(const QString &fragment, QString *foundName = nullptr);

// The system file writer ("File Writer") on a file, written unbuffered.
TFilterPtr CreateFileWriter(const QString &fileName);

// Default renderers, each with a fallback chain so graphs run without a
// display or sound device: video xvimagesink, ximagesink, glimagesink, then a
// clocked fakesink; audio pulsesink, alsasink, then a silent sink that keeps
// the clock.
TFilterPtr CreateVideoRenderer();
TFilterPtr CreateAudioRenderer();
// Replaces the sink elements of the default renderers (tests, benchmarks,
// the video window); empty restores the fallback chain.
void SetRendererOverride(const QString &videoSink, const QString &audioSink);
// The sink element names the fallback chains chose (for the log and tests).
QString ChosenVideoSink();
QString ChosenAudioSink();

// A filter built from a gst-launch description. Inputs and outputs name an
// element of the description and its static pad.
struct TPinSpec
{
    QString Name;
    QString Element;
    QString Pad;
    TMediaKind Media = TMediaKind::Video;
    TPinCategory Category = TPinCategory::None;
};
TFilterPtr CreateChainFilter(const QString &name, const QString &description,
                             const std::vector<TPinSpec> &inputs,
                             const std::vector<TPinSpec> &outputs);
