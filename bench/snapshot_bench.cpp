// Cost of a snapshot: the frame tap's last 720x576 YUY2 frame in a running
// pipeline, converted to RGB, encoded and written as a JPEG file (what the
// snapshot command and the list's Save do), against a bare libjpeg-turbo
// encode of the same RGB picture into a file with stdio (what cjpeg does),
// in the same process and interleaved. Prints both medians and the ratio
// (goal: at most 15 ms and 1.3x).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include <gst/gst.h>
#include <jpeglib.h>

#include "capture/sample_grabber.h"
#include "platform/filter_graph.h"
#include "platform/filter_registry.h"
#include "platform/safe_file.h"
#include "playback/snapshot_info.h"

namespace {

double Now()
{
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// cjpeg's path: default settings, scanlines from memory, stdio into a file.
bool BareEncode(const QImage &rgb, const QByteArray &path)
{
    FILE *file = std::fopen(path.constData(), "wb");
    if (!file)
        return false;
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(rgb.width());
    info.image_height = JDIMENSION(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    gst_init(&argc, &argv);
    const int rounds = argc > 1 ? std::max(5, atoi(argv[1])) : 60;

    // A running pipeline with the tap in it: 720x576 YUY2 at 25 frames/s.
    TFilterGraph graph;
    graph.SetActive(true);
    TFilterPtr source = CreateChainFilter(
        "Source",
        "videotestsrc name=first is-live=true pattern=smpte ! "
        "video/x-raw,format=YUY2,width=720,height=576,framerate=25/1 ! identity name=last",
        {}, {{"Output", "last", "src", TMediaKind::Video}});
    TFilterPtr sink = CreateChainFilter("Sink", "fakesink name=first sync=true",
                                        {{"Input", "first", "sink", TMediaKind::Video}}, {});
    TSampleGrabberEx tap(TSampleGrabberEx::KindYUY2);
    if (!source || !sink || !graph.AddFilter(source) || !graph.AddFilter(sink) ||
        !tap.JoinGraph(&graph) ||
        !graph.ConnectDirect(TFilterGraph::FindPin(source.get(), TPinDirection::Output),
                             TFilterGraph::FindPin(tap.Filter(), TPinDirection::Input)) ||
        !graph.ConnectDirect(TFilterGraph::FindPin(tap.Filter(), TPinDirection::Output),
                             TFilterGraph::FindPin(sink.get(), TPinDirection::Input)) ||
        !graph.Run()) {
        std::fprintf(stderr, "snapshot_bench: cannot build the pipeline: %s\n",
                     qPrintable(graph.LastError()));
        return 1;
    }
    QElapsedTimer wait;
    wait.start();
    while (tap.FrameCount() < 5 && wait.elapsed() < 10000)
        QThread::msleep(10);
    if (tap.FrameCount() < 5) {
        std::fprintf(stderr, "snapshot_bench: no frames reach the tap\n");
        return 1;
    }

    QTemporaryDir dir;
    TSnapshotInfo store;
    std::vector<double> lyra, bare;
    QImage last;
    for (int i = 0; i < rounds; ++i) {
        const QString ours = dir.filePath(QString("snap%1.jpg").arg(i));
        double t0 = Now();
        QImage picture;
        if (!tap.GrabFrame(picture) || !store.Insert(picture) || !store.SaveOne(0, ours)) {
            std::fprintf(stderr, "snapshot_bench: the snapshot failed\n");
            return 1;
        }
        lyra.push_back(Now() - t0);
        last = store.Picture(0);
        store.Delete(0);

        const QByteArray theirs = QFile::encodeName(dir.filePath(QString("bare%1.jpg").arg(i)));
        t0 = Now();
        if (!BareEncode(last, theirs)) {
            std::fprintf(stderr, "snapshot_bench: the bare encode failed\n");
            return 1;
        }
        bare.push_back(Now() - t0);
        QThread::msleep(20); // a new frame between rounds
    }

    // Where the time goes: the same three steps, timed one by one.
    std::vector<double> grab, encode, write;
    for (int i = 0; i < 20; ++i) {
        QImage p;
        double t = Now();
        tap.GrabFrame(p);
        grab.push_back(Now() - t);
        QByteArray bytes;
        t = Now();
        EncodeJpeg(p, bytes);
        encode.push_back(Now() - t);
        t = Now();
        WriteFileSafely(dir.filePath("part.jpg"), bytes, nullptr, false);
        write.push_back(Now() - t);
        QThread::msleep(20);
    }
    graph.Stop();
    tap.LeaveGraph();
    const double l = Median(lyra), b = Median(bare);
    std::printf("snapshot of a %dx%d YUY2 frame from the tap to a JPEG file "
                "(GrabFrame + SaveOne): median %.2f ms over %d rounds\n",
                last.width(), last.height(), l, rounds);
    std::printf("  of which: GrabFrame (YUY2 -> RGB, swscale) %.2f ms, EncodeJpeg %.2f ms, "
                "file through a temporary name %.2f ms (medians of 20)\n",
                Median(grab), Median(encode), Median(write));
    std::printf("bare libjpeg-turbo encode of the same RGB picture to a file (cjpeg path): "
                "median %.2f ms\n",
                b);
    std::printf("ratio snapshot/bare: %.2fx (goal <= 1.3x, <= 15 ms)\n", b > 0 ? l / b : 0.0);
    return 0;
}
