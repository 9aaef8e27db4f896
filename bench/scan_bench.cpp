// Speed of the table scan on the virtual card: one record of "TVTable.tbl"
// (both halves by default) scanned through the channel table, the capture
// engine and a running preview, against
//   - the sum of the scan's fixed waits for that record (300 ms after every
//     tune inside the tuner's band, 50 ms between lock readings that found
//     no picture), and
//   - the same number of fixed waits spent in the same kind of nested event
//     loop while a bare GStreamer pipeline (videotestsrc ! fakesink) runs in
//     this process.
// Goal: scan wall time within 1.05 of the sum of its waits.
//
//   scan_bench [RECORD [PASS [CHECKS]]]   defaults: 0 2 1
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include <gst/gst.h>

#include "app/main_info.h"
#include "capture/capture_info.h"
#include "capture/engine_tuner_port.h"
#include "channels/channel_info.h"
#include "platform/filter_registry.h"
#include "platform/program_folder.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"

namespace {

void NestedWait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int record = argc > 1 ? atoi(argv[1]) : 0;
    const int pass = argc > 2 ? atoi(argv[2]) : 2;
    const int checks = argc > 3 ? atoi(argv[3]) : 1;
    QTemporaryDir folder;
    if (!folder.isValid() || !ProgramFolder::Init(folder.path()))
        return 1;
    ProgramFolder::InstallShippedData();

    // The preview shows in a real (hidden) video window, as in the program.
    TVideoWindowHost host;
    SetVideoWindowHost(&host);
    TMainInfo main;
    MainInfo = &main;
    SetV4l2Backend(std::make_shared<TV4l2Replay>(std::vector<TRecordedCard>{}));
    SetRendererOverride({}, "fakesink sync=true");
    TCaptureInfo engine;
    if (!engine.SelectDevices() || !engine.StartPreview(true)) {
        std::fprintf(stderr, "scan_bench: the virtual card's preview does not start\n");
        return 1;
    }
    CaptureInfo = &engine;
    InstallEngineTunerPort();
    TChannelInfo table;
    ChannelInfo = &table;
    if (!table.LoadFrequencyTable(record))
        return 1;
    table.SetSignalCheckCount(checks);

    // The waits the scan must make, from the table and the card's stations.
    int tunes = 0, silentReadings = 0;
    for (int half = 0; half < 2; ++half) {
        if (half == 0 ? pass == 1 : pass == 0)
            continue;
        const TTVList &list = table.List(half == 0);
        for (int k = 1; k <= TVChannelCount; ++k) {
            const int32_t f = list[k].TableFrequency;
            if (f < engine.TVMinFrequency || f > engine.TVMaxFrequency)
                continue;
            ++tunes;
            bool locks = false;
            for (const TVirtualStation &s : TVirtualCard::Instance().Stations)
                locks = locks || (!s.FM && std::abs(s.Frequency - f) <= TVirtualCard::LockWindow);
            if (!locks)
                silentReadings += engine.SignalChecks() - 1;
        }
    }
    const double waitsMs = tunes * 300.0 + silentReadings * 50.0;

    int progress = 0;
    table.OnTableScanProgress = [&](TChannelInfo *, int32_t, bool, bool) { ++progress; };
    QElapsedTimer clock;
    clock.start();
    table.ScanTable(pass);
    const double scanMs = clock.nsecsElapsed() / 1e6;
    int found = 0;
    for (int k = 1; k <= TVChannelCount; ++k)
        found += table.Antenna[k].Enabled + table.Cable[k].Enabled;
    ChannelInfo = nullptr;
    TunerPort = nullptr;
    CaptureInfo = nullptr;
    engine.FreeGraphObjects();

    // The same waits beside a bare pipeline.
    GstElement *bare = gst_parse_launch(
        "videotestsrc is-live=true ! video/x-raw,width=720,height=576 ! fakesink sync=true",
        nullptr);
    gst_element_set_state(bare, GST_STATE_PLAYING);
    gst_element_get_state(bare, nullptr, nullptr, 5 * GST_SECOND);
    clock.restart();
    for (int i = 0; i < tunes; ++i)
        NestedWait(300);
    for (int i = 0; i < silentReadings; ++i)
        NestedWait(50);
    const double bareMs = clock.nsecsElapsed() / 1e6;
    gst_element_set_state(bare, GST_STATE_NULL);
    gst_object_unref(bare);

    std::printf("table scan of record %d, pass %d, %d lock reading(s), virtual card (%s):\n",
                record, pass, checks, qPrintable(VirtualProfileName(VirtualCardProfile())));
    std::printf("  %d entries scanned, %d tuned in the band, %d found\n", progress, tunes, found);
    std::printf("  scan wall time                         %10.1f ms\n", scanMs);
    std::printf("  sum of its fixed waits                 %10.1f ms\n", waitsMs);
    std::printf("  the same waits beside a bare pipeline  %10.1f ms\n", bareMs);
    std::printf("  ratio scan / fixed waits               %10.4f (goal <= 1.05)\n",
                scanMs / waitsMs);
    std::printf("  ratio scan / waits with bare pipeline  %10.4f\n", scanMs / bareMs);
    SetRendererOverride({}, {});
    SetV4l2Backend(nullptr);
    MainInfo = nullptr;
    SetVideoWindowHost(nullptr);
    return 0;
}
