// corvet: the line-in monitor. Plays a sound card's capture device (its
// line input, or a TV card's own ALSA device) on the default output with
// low latency, until it is told to stop.
//
//   corvet on [--device PCM] [--period-ms N] [--periods N] [--sink DESCRIPTION]
//   corvet off
//
// "on" plays until SIGTERM or SIGINT, until "corvet off" is run, or until
// the program that started it ends: it asks the kernel for SIGTERM when its
// parent dies and gives up at once if the parent is already gone. "off"
// stops the monitor of this user's runtime folder. Exit codes: 0 done,
// 1 the pipeline failed, 2 bad arguments.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/prctl.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <glib-unix.h>
#include <gst/gst.h>

#include "platform/line_monitor.h"

namespace {

const char Usage[] = "usage: corvet on [--device PCM] [--period-ms N] [--periods N] "
                     "[--sink DESCRIPTION]\n       corvet off\n";

QString PidFile()
{
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty())
        dir = QDir::tempPath() + QString("/corvet-%1").arg(getuid());
    QDir().mkpath(dir);
    return dir + "/corvet.pid";
}

// The pid of the running monitor, or 0.
pid_t RunningMonitor()
{
    QFile f(PidFile());
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const pid_t pid = pid_t(f.readAll().trimmed().toInt());
    if (pid <= 0 || pid == getpid())
        return 0;
    QFile comm(QString("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "corvet")
        return 0;
    return pid;
}

int Off()
{
    const pid_t pid = RunningMonitor();
    if (pid > 0 && kill(pid, SIGTERM) != 0) {
        std::fprintf(stderr, "corvet: cannot stop %d: %s\n", int(pid), std::strerror(errno));
        return 1;
    }
    return 0;
}

struct TRun
{
    GMainLoop *Loop = nullptr;
    int Code = 0;
};

gboolean OnBus(GstBus *, GstMessage *message, gpointer data)
{
    auto *run = static_cast<TRun *>(data);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError *err = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_error(message, &err, &debug);
        std::fprintf(stderr, "corvet: %s (%s)\n", err ? err->message : "error", debug ? debug : "");
        g_clear_error(&err);
        g_free(debug);
        run->Code = 1;
        g_main_loop_quit(run->Loop);
    } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        g_main_loop_quit(run->Loop);
    }
    return TRUE;
}

gboolean OnStopSignal(gpointer data)
{
    g_main_loop_quit(static_cast<TRun *>(data)->Loop);
    return G_SOURCE_CONTINUE;
}

int On(const TLineMonitorOptions &options, pid_t parent)
{
    // Die with the program that started us; it may already be gone.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        return 0;

    if (const pid_t other = RunningMonitor()) {
        std::fprintf(stderr, "corvet: already running as %d\n", int(other));
        return 0;
    }
    TRun run;
    run.Loop = g_main_loop_new(nullptr, FALSE);

    QString error;
    GstElement *pipeline = CreateLineMonitor(options, &error);
    if (!pipeline) {
        std::fprintf(stderr, "corvet: %s\n", qPrintable(error));
        g_main_loop_unref(run.Loop);
        return 1;
    }
    QFile pidFile(PidFile());
    if (pidFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        pidFile.write(QByteArray::number(qint64(getpid())) + "\n");
    pidFile.close();

    GstBus *bus = gst_element_get_bus(pipeline);
    gst_bus_add_watch(bus, OnBus, &run);
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // The error message on the bus says why.
        run.Code = 1;
        GstMessage *m = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
        if (m) {
            OnBus(bus, m, &run);
            gst_message_unref(m);
        }
    } else {
        // Until now a stop request ends the process at once (opening a
        // device may wait on a sound server); from here on it stops the
        // loop and the devices are closed.
        g_unix_signal_add(SIGTERM, OnStopSignal, &run);
        g_unix_signal_add(SIGINT, OnStopSignal, &run);
        g_main_loop_run(run.Loop);
    }
    // Closing a device can wait on a sound server that went away with our
    // parent; never outlive the request to stop by more than a moment.
    alarm(3);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_bus_remove_watch(bus);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    g_main_loop_unref(run.Loop);
    if (RunningMonitor() == 0)
        QFile::remove(PidFile());
    return run.Code;
}

} // namespace

int main(int argc, char **argv)
{
    const pid_t parent = getppid();
    gst_init(&argc, &argv);
    if (argc < 2) {
        std::fputs(Usage, stderr);
        return 2;
    }
    const QString command = QString::fromLocal8Bit(argv[1]);
    if (command == "off" && argc == 2)
        return Off();
    if (command != "on") {
        std::fputs(Usage, stderr);
        return 2;
    }
    TLineMonitorOptions options;
    for (int i = 2; i < argc; ++i) {
        const QString option = QString::fromLocal8Bit(argv[i]);
        if (i + 1 >= argc) {
            std::fputs(Usage, stderr);
            return 2;
        }
        const QString value = QString::fromLocal8Bit(argv[++i]);
        bool ok = true;
        if (option == "--device")
            options.Device = value;
        else if (option == "--period-ms")
            options.PeriodMs = value.toInt(&ok);
        else if (option == "--periods")
            options.BufferPeriods = value.toInt(&ok);
        else if (option == "--sink")
            options.Sink = value;
        else
            ok = false;
        if (!ok || options.PeriodMs < 1 || options.BufferPeriods < 2 || options.Device.isEmpty()) {
            std::fputs(Usage, stderr);
            return 2;
        }
    }
    return On(options, parent);
}
