// demo-channels FOLDER: fills a program folder's channel table as the set-up
// wizard's table scan does on the virtual card: the U.S. broadcast table
// (country 1, NTSC M) with the channels that carry a virtual station
// enabled. Used to take screenshots of a configured program and by people
// who want to try Lyra without running the wizard.
#include <cstdio>

#include <QCoreApplication>

#include "channels/channel_info.h"
#include "platform/program_folder.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo-channels PROGRAM_FOLDER\n");
        return 2;
    }
    if (!ProgramFolder::Init(QString::fromLocal8Bit(argv[1])))
        return 1;
    ProgramFolder::InstallShippedData();
    TChannelInfo table;
    table.ResetToDefaults();
    table.CountryCode = 1;
    table.SystemChoice = 0;
    table.Mode = ModeAntenna;
    if (!table.LoadFrequencyTable(0)) {
        std::fprintf(stderr, "demo-channels: cannot read TVTable.tbl record 0\n");
        return 1;
    }
    // The carriers of data/VirtualStations.txt on this table.
    for (int n : {2, 3, 4, 5, 7}) {
        table.Antenna[n].Enabled = 1;
        table.Antenna[n].SignalFound = 1;
    }
    table.CurrentChannel = 2;
    if (!table.SaveChannelSettings(nullptr)) {
        std::fprintf(stderr, "demo-channels: cannot write QPAVO2.cfg\n");
        return 1;
    }
    std::printf("%s\n", qPrintable(ProgramFolder::File("QPAVO2.cfg")));
    return 0;
}
