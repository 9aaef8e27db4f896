// The line-in monitor (corvet's pipeline) on a private sound server, two
// measures:
//  1. latency from source to sink: a tone switched on and off is played
//     into a null sink "line" whose monitor is the default input; the
//     monitor pipeline plays that input on the null sink "out". One
//     recorder pipeline captures both monitors with the same clock, and the
//     latency is the time between the same tone onset on "line" and on
//     "out" (goal 50 ms);
//  2. CPU of the monitor pipeline, playing a server-side sine source,
//     against a bare "alsasrc device=pulse ! alsasink device=pulse" in the
//     same process on the same source (goal 1.2x).
// The server runs in a temporary runtime folder and home of its own.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gst/app/gstappsink.h>
#include <gst/audio/gstaudiobasesink.h>
#include <gst/gst.h>

#include "platform/line_monitor.h"
#include "sound_server.h"

namespace {

constexpr int Rate = 48000;

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

GstElement *Launch(const QString &description)
{
    GError *error = nullptr;
    GstElement *p = gst_parse_launch(description.toUtf8().constData(), &error);
    if (error) {
        fprintf(stderr, "%s: %s\n", qPrintable(description), error->message);
        g_clear_error(&error);
        if (p)
            gst_object_unref(p);
        return nullptr;
    }
    return p;
}

bool Play(GstElement *p)
{
    if (gst_element_set_state(p, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return false;
    GstState state;
    return gst_element_get_state(p, &state, nullptr, 5 * GST_SECOND) != GST_STATE_CHANGE_FAILURE;
}

void Stop(GstElement *&p)
{
    if (!p)
        return;
    gst_element_set_state(p, GST_STATE_NULL);
    gst_object_unref(p);
    p = nullptr;
}

// Samples of one recorded stream with the running time of the first one.
struct TTrack
{
    std::vector<int16_t> Samples;
    GstClockTime Start = GST_CLOCK_TIME_NONE;
};

GstFlowReturn OnSample(GstAppSink *sink, gpointer data)
{
    auto *track = static_cast<TTrack *>(data);
    GstSample *sample = gst_app_sink_pull_sample(sink);
    if (!sample)
        return GST_FLOW_EOS;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        if (track->Start == GST_CLOCK_TIME_NONE && GST_BUFFER_PTS_IS_VALID(buffer))
            track->Start = GST_BUFFER_PTS(buffer);
        const auto *s = reinterpret_cast<const int16_t *>(map.data);
        if (track->Start != GST_CLOCK_TIME_NONE)
            track->Samples.insert(track->Samples.end(), s, s + map.size / 2);
        gst_buffer_unmap(buffer, &map);
    }
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

// Running times (ns) where the tone comes on: the first 1 ms window above
// the threshold after at least 100 ms of quiet.
std::vector<double> Onsets(const TTrack &t)
{
    std::vector<double> out;
    const int window = Rate / 1000;
    int quiet = 0;
    for (size_t i = 0; i + window <= t.Samples.size(); i += window) {
        double peak = 0;
        for (int k = 0; k < window; ++k)
            peak = std::max(peak, std::abs(double(t.Samples[i + k])));
        if (peak < 1000) {
            ++quiet;
            continue;
        }
        if (quiet >= 100) {
            // Refine to the first loud sample of the window.
            size_t first = i;
            while (first < i + window && std::abs(t.Samples[first]) < 1000)
                ++first;
            out.push_back(double(t.Start) + double(first) * 1e9 / Rate);
        }
        quiet = 0;
    }
    return out;
}

struct TLatency
{
    double MedianMs = -1, MaxMs = -1;
    int Onsets = 0;
    QString Sink; // the output autoaudiosink chose
};

// The factory of the audio sink running inside a pipeline.
QString AudioSinkOf(GstElement *pipeline)
{
    QString name;
    GstIterator *it = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        GstElement *e = GST_ELEMENT(g_value_get_object(&item));
        if (GST_IS_AUDIO_BASE_SINK(e))
            name = QString::fromUtf8(GST_OBJECT_NAME(gst_element_get_factory(e)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return name;
}

TLatency MeasureLatency(const TLineMonitorOptions &options, int cycles)
{
    TLatency result;
    QString error;
    GstElement *monitor = CreateLineMonitor(options, &error);
    if (!monitor) {
        fprintf(stderr, "monitor: %s\n", qPrintable(error));
        return result;
    }
    TTrack in, out;
    // The tone runs (silent) before the monitor starts: a null sink that
    // nothing plays into renders its monitor in blocks of seconds.
    GstElement *tone = Launch("audiotestsrc name=tone wave=sine freq=1000 volume=0 is-live=true "
                              "samplesperbuffer=240 ! pulsesink device=line buffer-time=20000 "
                              "latency-time=5000");
    GstElement *recorder =
        Launch(QString("pulsesrc device=line.monitor buffer-time=20000 latency-time=5000 ! "
                       "audio/x-raw,format=S16LE,rate=%1,channels=1 ! appsink name=in sync=false "
                       "pulsesrc device=out.monitor buffer-time=20000 latency-time=5000 ! "
                       "audio/x-raw,format=S16LE,rate=%1,channels=1 ! appsink name=out sync=false")
                   .arg(Rate));
    if (!recorder || !tone || !Play(tone)) {
        Stop(monitor), Stop(recorder), Stop(tone);
        return result;
    }
    for (auto [name, track] : {std::pair{"in", &in}, std::pair{"out", &out}}) {
        GstElement *sink = gst_bin_get_by_name(GST_BIN(recorder), name);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = OnSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, track, nullptr);
        gst_object_unref(sink);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    if (!Play(monitor)) {
        fprintf(stderr, "the monitor does not run\n");
        Stop(monitor), Stop(recorder), Stop(tone);
        return result;
    }
    result.Sink = AudioSinkOf(monitor);
    // Let the monitor settle, then record both sides with one clock.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    Play(recorder);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    GstElement *src = gst_bin_get_by_name(GST_BIN(tone), "tone");
    for (int i = 0; i < cycles; ++i) {
        g_object_set(src, "volume", 0.5, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        g_object_set(src, "volume", 0.0, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(350));
    }
    gst_object_unref(src);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Stop(recorder);
    Stop(tone);
    Stop(monitor);

    const std::vector<double> a = Onsets(in), b = Onsets(out);
    std::vector<double> delays;
    for (double t : a) {
        // The matching onset on the output: the first after this one within
        // half a cycle.
        auto it = std::lower_bound(b.begin(), b.end(), t);
        if (it != b.end() && *it - t < 250e6)
            delays.push_back((*it - t) / 1e6);
    }
    if (!delays.empty()) {
        std::sort(delays.begin(), delays.end());
        result.MedianMs = delays[delays.size() / 2];
        result.MaxMs = delays.back();
        result.Onsets = int(delays.size());
    }
    return result;
}

// Process CPU (fraction of one core) while a pipeline runs.
double CpuWhile(GstElement *pipeline, double seconds)
{
    if (!pipeline || !Play(pipeline))
        return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double cpu0 = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(int(seconds * 1000)));
    const double used = CpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    return used / elapsed;
}

} // namespace

int main(int argc, char **argv)
{
    // The server and the clients meet in a folder of their own, never the
    // user's session.
    QTemporaryDir root;
    const QByteArray base = root.path().toUtf8();
    QDir().mkpath(root.path() + "/run");
    QDir().mkpath(root.path() + "/home");
    QFile::setPermissions(root.path() + "/run",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    setenv("XDG_RUNTIME_DIR", base + "/run", 1);
    setenv("HOME", base + "/home", 1);
    setenv("XDG_CONFIG_HOME", base + "/home/.config", 1);
    unsetenv("PULSE_SERVER");
    gst_init(&argc, &argv);
    QCoreApplication app(argc, argv);

    TSoundServer server;
    if (!server.Start()) {
        fprintf(stderr, "no sound server: %s\n", qPrintable(server.Error()));
        return 1;
    }
    server.LoadModule({"module-null-sink", "sink_name=line", "rate=48000"});
    server.LoadModule({"module-null-sink", "sink_name=out", "rate=48000"});
    server.Pactl({"set-default-source", "line.monitor"});
    server.Pactl({"set-default-sink", "out"});

    TLineMonitorOptions options; // corvet's defaults: ALSA "default" is the server
    printf("line-in monitor on a private PulseAudio server (ALSA device \"%s\", "
           "%d ms periods x %d)\n",
           qPrintable(options.Device), options.PeriodMs, options.BufferPeriods);
    const int cycles = 12;
    const TLatency latency = MeasureLatency(options, cycles);
    if (latency.Onsets == 0) {
        fprintf(stderr, "no tone onset came through the monitor\n");
        return 1;
    }
    printf("latency source to sink (alsasrc -> %s): median %.1f ms, max %.1f ms over %d of %d "
           "onsets (goal 50 ms): ratio %.2f\n",
           qPrintable(latency.Sink), latency.MedianMs, latency.MaxMs, latency.Onsets, cycles,
           latency.MedianMs / 50);

    // CPU, alternating rounds on a sine source of the server.
    server.LoadModule({"module-sine-source", "source_name=tone", "rate=48000", "frequency=440"});
    server.Pactl({"set-default-source", "tone"});
    const double seconds = 4;
    const int rounds = 3;
    const char *const bareAlsa = "alsasrc device=pulse ! alsasink device=pulse";
    const char *const barePulse = "pulsesrc ! pulsesink";
    double lyra = 0, alsa = 0, pulse = 0;
    for (int i = 0; i < rounds; ++i) {
        GstElement *m = CreateLineMonitor(options);
        lyra += CpuWhile(m, seconds);
        Stop(m);
        GstElement *b = Launch(bareAlsa);
        alsa += CpuWhile(b, seconds);
        Stop(b);
        b = Launch(barePulse);
        pulse += CpuWhile(b, seconds);
        Stop(b);
    }
    lyra /= rounds, alsa /= rounds, pulse /= rounds;
    printf("CPU: monitor %.2f %%; bare \"%s\" %.2f %%: ratio %.2f (goal 1.2); "
           "bare \"%s\" %.2f %%: ratio %.2f\n",
           lyra * 100, bareAlsa, alsa * 100, alsa > 0 ? lyra / alsa : 0.0, barePulse, pulse * 100,
           pulse > 0 ? lyra / pulse : 0.0);
    server.Stop();
    return 0;
}
