// lyra-config show FILE [ARGS...]: prints a program file as JSON, decoded
// exactly as Lyra reads it. The tool never changes or deletes the file.
#include <cstdio>

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>

#include "decoders.h"
#include "platform/messages.h"

namespace {
QList<TConfigDecoder> &Registry()
{
    static QList<TConfigDecoder> registry;
    return registry;
}

int Usage(FILE *out)
{
    std::fprintf(out, "usage: lyra-config show FILE [ARGS...]\n\nKnown files:\n");
    for (const auto &d : Registry())
        std::fprintf(out, "  %s\n", qPrintable(d.Name));
    return out == stdout ? 0 : 2;
}
} // namespace

bool RegisterDecoder(TConfigDecoder decoder)
{
    Registry().append(std::move(decoder));
    return true;
}

const QList<TConfigDecoder> &Decoders() { return Registry(); }

bool FileNameIs(const QString &file, const QString &name)
{
    return QFileInfo(file).fileName().compare(name, Qt::CaseInsensitive) == 0;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h"))
        return Usage(stdout);
    if (args.size() < 2 || args[0] != "show")
        return Usage(stderr);
    const QString file = args[1];
    const QStringList rest = args.mid(2);
    for (const auto &d : Registry()) {
        if (!d.Accepts(file))
            continue;
        const QJsonObject json = d.Decode(file, rest);
        if (json.contains("error")) {
            std::fprintf(stderr, "lyra-config: %s\n", qPrintable(json["error"].toString()));
            return 1;
        }
        std::fputs(QJsonDocument(json).toJson(QJsonDocument::Indented).constData(), stdout);
        return 0;
    }
    std::fprintf(stderr, "lyra-config: no decoder knows %s\n", qPrintable(file));
    return Usage(stderr);
}
