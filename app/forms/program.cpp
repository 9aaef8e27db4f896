#include "app/forms/program.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <gst/gst.h>
#include <unistd.h>

#include "app/app_modes.h"
#include "app/forms/main_window.h"
#include "app/forms/warning_form.h"
#include "app/forms/window_module.h"
#include "app/playback_module.h"
#include "app/snapshot_module.h"
#include "app/sound_module.h"
#include "app/startup.h"
#include "platform/gui_wait.h"
#include "platform/instance_channel.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "platform/program_folder.h"

namespace {

const char *Usage = "usage: lyra [srec_tv | srec_fm | fm | FILE] [--program-folder DIR]\n"
                    "            [--virtual-card=PROFILE]\n"
                    "       lyra --help | --version\n";

const char *Help = "Watches and records analog TV and FM radio from a capture card, or from the\n"
                   "built-in virtual card when there is none.\n"
                   "\n"
                   "  fm                      start as FM radio\n"
                   "  srec_tv, srec_fm        run the scheduled recording the agent handed over\n"
                   "  FILE                    play the file (a running Lyra plays it instead)\n"
                   "  --program-folder DIR    keep settings, channels and lists in DIR\n"
                   "                          (default: ~/.local/share/lyra)\n"
                   "  --virtual-card=PROFILE  the virtual card's chip: saa7134, cx88, em2820,\n"
                   "                          em2800 or wis\n"
                   "  --help, --version       this text, the version\n"
                   "\n"
                   "lyra-remote drives a running Lyra; lyra-config prints its files.\n";

template <typename F, typename... A> void Call(const F &f, A &&...args)
{
    if (f)
        f(std::forward<A>(args)...);
}

// SIGTERM (a desktop logout), SIGINT and SIGHUP end the program the orderly
// way, through the exit command: the handler only writes the signal number
// to a pipe that the GUI thread watches.
int g_signalPipe[2] = {-1, -1};

void OnSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

// The exit command once no modal dialog is open (each is closed first: its
// loop must end before the windows go).
void ExitWhenDialogsClosed()
{
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->close();
        QTimer::singleShot(50, qApp, ExitWhenDialogsClosed);
        return;
    }
    SubmitCommand(1);
}

void WatchSignals(QObject *parent)
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [] {
        char byte = 0;
        while (::read(g_signalPipe[0], &byte, 1) == 1)
            qCInfo(lcApp) << "signal" << int(byte) << "- closing";
        ExitWhenDialogsClosed();
    });
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGHUP})
        sigaction(number, &action, nullptr);
}

} // namespace

int RunLyra(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    StartArguments = ParseArguments(arguments);
    if (!StartArguments.Error.isEmpty()) {
        std::fprintf(stderr, "lyra: %s\n%s", qPrintable(StartArguments.Error), Usage);
        return 2;
    }
    if (StartArguments.Help) {
        std::printf("%s\n%s", Usage, Help);
        return 0;
    }
    if (StartArguments.Version) {
        std::printf("lyra %s\n", LYRA_VERSION);
        return 0;
    }

    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Lyra");
    QApplication::setApplicationDisplayName("Lyra");

    if (!ProgramFolder::Init(StartArguments.ProgramFolder)) {
        std::fprintf(stderr, "lyra: cannot create the program folder %s\n",
                     qPrintable(StartArguments.ProgramFolder));
        return 1;
    }
    ProgramFolder::InstallShippedData();

    InstallSoundHooks();
    InitializeModules();
    InitializeWindowModule();

    TInstanceServer server;
    if (!server.Listen()) {
        if (server.AlreadyRunning()) {
            // Another instance runs: bring it to the front and leave, saying
            // so (it answers with its program folder).
            QByteArray folder;
            SendInstanceMessage(InstanceName, {MsgActivateInstance, 0, 0}, &folder);
            if (const QByteArray file = StartArguments.FileToPlay().toUtf8(); !file.isEmpty()) {
                TInstanceMessageData play(MsgPlayFile, int(file.size()), 0);
                play.Text = file;
                if (file.size() > MaxMessageText || !SendInstanceMessage(InstanceName, play))
                    std::fprintf(stderr, "lyra: could not hand the file over\n");
            }
            std::fprintf(stderr, "lyra: already running%s; brought it to the front\n",
                         folder.isEmpty()
                             ? ""
                             : qPrintable(" with the program folder " + QString::fromUtf8(folder)));
            FinalizeWindowModule();
            FinalizeModules();
            return 0;
        }
        qCWarning(lcApp) << "single-instance socket unavailable:" << server.ErrorText();
    }

    auto presenter = std::make_unique<TWarningDialogPresenter>();
    SetWarningPresenter(presenter.get());

    auto *window = new TFormMainWindow;
    FormMainWindow = window;
    server.Handler = [window](const TInstanceMessageData &m) -> QByteArray {
        switch (m.Number) {
        case MsgActivateInstance:
            window->ActivateFirstInstance();
            return ProgramFolder::Path().toUtf8();
        case MsgRemoteCommand: {
            // Posted, as a window message is: the sender does not wait for
            // the command (which may open a dialog) to finish.
            const int command = m.WParam;
            QTimer::singleShot(0, window,
                               [command] { Call(StartupHooks.HandleRemoteCommand, command); });
            return {};
        }
        case MsgStartScheduledRecording:
            QTimer::singleShot(0, window, [] {
                RunOutsideWaits([] { StartScheduledRecording(); }, nullptr, true);
            });
            return {};
        case MsgPlayFile: {
            const QString file = QString::fromUtf8(m.Text);
            QTimer::singleShot(0, window, [file] { SubmitOpenFile(file); });
            return {};
        }
        case MsgSnapshotSave:
            // Answered at once: saving reads the store and writes a file,
            // and changes nothing the program's state depends on.
            return SaveNewestSnapshot(QString::fromUtf8(m.Text));
        case MsgStatusRequest:
            return StartupHooks.RemoteStatus ? StartupHooks.RemoteStatus() : QByteArray("{}");
        default:
            return {};
        }
    };

    // Closing the main window ends the program even when no window is
    // visible (FM mode shows only the FM panel).
    window->Shutdown = [] {
        ShutdownApplication();
        QCoreApplication::quit();
    };
    WatchSignals(window);

    int code = 1;
    if (window->FormCreate())
        code = app.exec();
    ShutdownApplication();
    server.Handler = nullptr;
    delete window;
    SetWarningPresenter(nullptr);
    presenter.reset();
    FinalizeWindowModule();
    FinalizeModules();
    // Settings that could not be written are a failed run, for scripts too.
    return code == 0 && !ShutdownSaved() ? 1 : code;
}
