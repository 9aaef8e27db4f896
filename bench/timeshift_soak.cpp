// Time-shift soak: the virtual card records the time shift and the player
// plays it behind live for MINUTES minutes (60 by default), through the
// engines the program uses. Each minute the player pauses for two seconds,
// resumes and jumps to the newest place it may (10 s behind live), so that
// every path of the player runs all along. Resident memory is sampled each
// minute; the goal is a flat line (growth under 5 MB after the first
// minute).
//
// The virtual card is a live source: it delivers pictures in real time, so
// an hour of time shift takes an hour. Not part of the suite.
//
// Usage: timeshift_soak [MINUTES (60)]
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

#include <gst/gst.h>
#include <unistd.h>

#include "app/main_info.h"
#include "bench_virtual_card.h"
#include "capture/capture_info.h"
#include "platform/filter_registry.h"
#include "platform/media_filters.h"
#include "platform/messages.h"
#include "platform/v4l2_device.h"
#include "platform/v4l2_replay.h"
#include "platform/video_window.h"
#include "platform/virtual_card.h"
#include "playback/timeshift_playback.h"

namespace {

void Spin(double seconds)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

double ResidentMb()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * sysconf(_SC_PAGESIZE) / 1048576.0 : -1;
}

class TPrintingPresenter : public IWarningPresenter
{
public:
    void Present(const QStringList &lines) override
    {
        fprintf(stderr, "message: %s\n", qPrintable(lines.join(' ')));
    }
    void Close() override {}
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    gst_init(&argc, &argv);
    RegisterLyraMediaElements();
    const int minutes = argc > 1 ? std::max(2, atoi(argv[1])) : 60;

    QTemporaryDir dir;
    TBenchVirtualCard card(dir.path());
    TPrintingPresenter presenter;
    SetWarningPresenter(&presenter);
    TCaptureInfo capture;
    if (!capture.SelectDevices() || !capture.StartPreview(true) || !capture.StartTimeShift()) {
        fprintf(stderr, "the time shift does not start on the virtual card\n");
        return 1;
    }
    Spin(12);
    TTimeShiftPlaybackProject player(false, false);
    player.VideoFileName = capture.CaptureFileName;
    player.AudioFileName = player.VideoFileName.chopped(1) + "a";
    player.RecordedSeconds = [&] { return capture.ElapsedSeconds; };
    if (!player.BuildGraph() || !player.Play()) {
        fprintf(stderr, "the player does not start on %s\n", qPrintable(player.VideoFileName));
        return 1;
    }
    printf("time shift on the virtual card (320x240 MPEG-1 4000 kbit/s + MP2), played behind "
           "live for %d minutes; resident memory each minute\n",
           minutes);
    printf("minute  RSS MB  recorded s  position s  file MB  held\n");
    fflush(stdout);
    double first = -1, highest = 0;
    for (int minute = 1; minute <= minutes; ++minute) {
        Spin(56);
        player.Pause();
        Spin(2);
        player.Play();
        Spin(1);
        player.SeekPercent(player.PositionScale);
        Spin(1);
        player.GetPositionPercent();
        const double rss = ResidentMb();
        if (minute == 1)
            first = rss;
        highest = std::max(highest, rss);
        printf("%6d  %6.1f  %10d  %10d  %7.1f  %4s\n", minute, rss, player.DurationSeconds,
               player.PositionSeconds, QFileInfo(capture.CaptureFileName).size() / 1048576.0,
               player.HeldAtLiveEdge ? "yes" : "no");
        fflush(stdout);
    }
    const double last = ResidentMb();
    printf("growth after the first minute: %.1f MB (last %.1f, highest %.1f, first %.1f)\n",
           last - first, last, highest, first);
    return 0;
}
