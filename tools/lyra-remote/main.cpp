// lyra-remote: drives the running Lyra over its local socket.
//   lyra-remote [--socket NAME] COMMAND   command by name or number
//   lyra-remote [--socket NAME] status    the program's state as JSON
//   lyra-remote [--socket NAME] snapshot-save FILE
//                                         the newest snapshot as FILE (".jpg"
//                                         or ".jpeg": JPEG, else BMP)
//   lyra-remote [--socket NAME] play-file FILE
//                                         plays FILE in the running program
//   lyra-remote --list                    every command name
// Exit codes: 0 delivered, 1 no running program, 2 bad arguments, 3 the
// snapshot was not saved.
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStringList>
#include <cstdio>

#include "app/command_names.h"
#include "platform/instance_channel.h"

namespace {

constexpr int Delivered = 0;
constexpr int NotRunning = 1;
constexpr int BadArguments = 2;
constexpr int NotSaved = 3;

int Usage(FILE *out, int code)
{
    std::fprintf(out, "usage: lyra-remote [--socket NAME] [--timeout MS] COMMAND\n"
                      "       lyra-remote [--socket NAME] [--timeout MS] status\n"
                      "       lyra-remote [--socket NAME] [--timeout MS] snapshot-save FILE\n"
                      "       lyra-remote [--socket NAME] [--timeout MS] play-file FILE\n"
                      "       lyra-remote --list\n"
                      "COMMAND is a command name (see --list) or its number.\n"
                      "snapshot-save writes the newest snapshot: JPEG when FILE ends in\n"
                      "\".jpg\" or \".jpeg\" (lower case), else BMP.\n"
                      "play-file plays FILE (the program shows why when it cannot).\n"
                      "Exit codes: 0 delivered, 1 no running program, 2 bad arguments,\n"
                      "3 the snapshot was not saved.\n");
    return code;
}

int List()
{
    for (const TCommandName &c : CommandNames())
        std::printf("%-18s %5d  %s\n", c.Name, c.Command, c.Description);
    return Delivered;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString socket = InstanceName;
    int timeoutMs = 5000;
    QString request;
    QString saveFile; // snapshot-save's argument
    QString playFile; // play-file's argument
    while (!args.isEmpty()) {
        const QString a = args.takeFirst();
        if (a == "--help" || a == "-h")
            return Usage(stdout, Delivered);
        if (a == "--list")
            return List();
        if (a == "--socket" || a == "--timeout") {
            if (args.isEmpty())
                return Usage(stderr, BadArguments);
            const QString value = args.takeFirst();
            if (a == "--socket") {
                socket = value;
            } else {
                bool ok = false;
                timeoutMs = value.toInt(&ok);
                if (!ok || timeoutMs <= 0)
                    return Usage(stderr, BadArguments);
            }
            continue;
        }
        if (a.startsWith("--") || !request.isEmpty())
            return Usage(stderr, BadArguments);
        request = a;
        if (request.compare("snapshot-save", Qt::CaseInsensitive) == 0) {
            if (args.isEmpty() || args.first().isEmpty())
                return Usage(stderr, BadArguments);
            // The program runs elsewhere: it gets the full path.
            saveFile = QFileInfo(args.takeFirst()).absoluteFilePath();
            if (saveFile.toUtf8().size() > MaxMessageText)
                return Usage(stderr, BadArguments);
        } else if (request.compare("play-file", Qt::CaseInsensitive) == 0) {
            if (args.isEmpty() || args.first().isEmpty())
                return Usage(stderr, BadArguments);
            playFile = QFileInfo(args.takeFirst()).absoluteFilePath();
            if (playFile.toUtf8().size() > MaxMessageText)
                return Usage(stderr, BadArguments);
        }
    }
    if (request.isEmpty() || socket.isEmpty() || socket.contains('/'))
        return Usage(stderr, BadArguments);

    TInstanceMessageData message;
    const bool status = request.compare("status", Qt::CaseInsensitive) == 0;
    if (status) {
        message.Number = MsgStatusRequest;
    } else if (!playFile.isEmpty()) {
        message.Number = MsgPlayFile;
        message.Text = playFile.toUtf8();
    } else if (!saveFile.isEmpty()) {
        message.Number = MsgSnapshotSave;
        message.Text = saveFile.toUtf8();
    } else {
        const int command = CommandFromText(request);
        if (command < 0) {
            std::fprintf(stderr, "lyra-remote: unknown command \"%s\" (see lyra-remote --list)\n",
                         qPrintable(request));
            return BadArguments;
        }
        message.Number = MsgRemoteCommand;
        message.WParam = command;
    }

    if (!InstanceListening(socket)) {
        std::fprintf(stderr, "lyra-remote: Lyra is not running (no socket %s)\n",
                     qPrintable(RuntimeSocketPath(socket)));
        return NotRunning;
    }
    QByteArray reply;
    if (!SendInstanceMessage(socket, message, &reply, timeoutMs)) {
        // It listens but did not answer in time: most likely a modal dialog
        // is open and the command is still running.
        std::fprintf(stderr, "lyra-remote: Lyra did not answer within %d ms (is a dialog open?)\n",
                     timeoutMs);
        return NotRunning;
    }
    if (message.Number == MsgSnapshotSave && !reply.isEmpty()) {
        std::fprintf(stderr, "lyra-remote: snapshot not saved as %s: %s\n", qPrintable(saveFile),
                     reply.constData());
        return NotSaved;
    }
    if (status) {
        const QJsonDocument doc = QJsonDocument::fromJson(reply);
        if (!doc.isObject()) {
            std::fprintf(stderr, "lyra-remote: the running program sent no status\n");
            return NotRunning;
        }
        std::printf("%s", doc.toJson(QJsonDocument::Indented).constData());
    }
    return Delivered;
}
