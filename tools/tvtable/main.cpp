// lyra-tvtable RECORDS OUTPUT: builds "TVTable.tbl" from the plan sources
// named by the record list. Fails (and writes nothing) on any error in the
// sources, so a bad frequency never ships.
#include <cstdio>

#include <QCoreApplication>
#include <QSaveFile>

#include "channels/frequency_plan.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: lyra-tvtable RECORDS-FILE OUTPUT\n");
        return 2;
    }
    QByteArray table;
    QString error;
    if (!BuildFrequencyTable(args[1], table, error)) {
        std::fprintf(stderr, "lyra-tvtable: %s\n", qPrintable(error));
        return 1;
    }
    QSaveFile out(args[2]);
    if (!out.open(QIODevice::WriteOnly) || out.write(table) != table.size() || !out.commit()) {
        std::fprintf(stderr, "lyra-tvtable: cannot write %s: %s\n", qPrintable(args[2]),
                     qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}
