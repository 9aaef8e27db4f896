// The two channel scans of the table: the table scan tests every frequency
// of the loaded table record for a picture, the free scan walks the tuner's
// whole TV band and builds both lists from what it finds.
//
// Both run on the GUI thread. Each tune waits for the tuner inside the
// engine (GuiWait: the picture keeps painting); between two tunes the scan
// lets every pending event through, user input included, so that the
// wizard's Abort button and the progress bars work. The whole scan is one
// open wait: commands and state-changing timers that arrive meanwhile are
// held back and run after it (RunOutsideWaits).
#include <QCoreApplication>

#include "channels/channel_info.h"
#include "channels/tuner_port.h"
#include "platform/gui_wait.h"
#include "platform/log.h"

namespace {

constexpr int32_t NTSCSkip = 5000000;
constexpr int32_t OtherSkip = 6000000;

void LetEventsThrough()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents();
}

// Clears Scanning (and coarse tuning) on every way out.
struct TScanGuard
{
    TChannelInfo &Table;
    bool Coarse;
    ~TScanGuard()
    {
        Table.Scanning = 0;
        if (Coarse && TunerPort)
            TunerPort->SetCoarseTuning(false);
    }
};

} // namespace

bool TChannelInfo::ScanStep(int32_t frequency, bool &signal, int32_t &offset)
{
    signal = false;
    offset = -10;
    const bool tuned = TunerPort && TunerPort->ScanTune(frequency, signal, offset);
    LetEventsThrough();
    return tuned;
}

bool TChannelInfo::ScanTable(int32_t pass)
{
    // A scan never starts inside another (the running one keeps its abort).
    if (Scanning)
        return false;
    ScanAbort = 0;
    if (!TunerPort || !TunerPort->HasTuner())
        return false;
    SetVideoStandard(DefaultStandard);
    Scanning = 1;
    TScanGuard guard{*this, false};
    TWaitScope scope;
    qCInfo(lcApp) << "table scan, pass" << pass << "record" << TableNumber;

    for (int half = 0; half < 2; ++half) {
        const bool antenna = half == 0;
        if (antenna ? pass == 1 : (pass == 0 || ScanAbort))
            continue;
        TTVList &list = List(antenna);
        int32_t found = 0;
        int32_t k = 1;
        for (; k <= TVChannelCount; ++k) {
            TTVChannel &c = list[k];
            bool signal = false;
            int32_t offset = 0;
            ScanStep(c.TableFrequency, signal, offset);
            c.SignalFound = signal ? 1 : 0;
            c.Enabled = c.SignalFound;
            found += c.SignalFound;
            // The entry the abort is seen at has been tested and counted,
            // but no progress is reported for it.
            if (ScanAbort)
                break;
            if (OnTableScanProgress)
                OnTableScanProgress(this, k, c.Enabled != 0, antenna);
        }
        if (OnTableScanDone)
            OnTableScanDone(this, k - 1, found, ScanAbort != 0, antenna ? 0 : pass);
    }
    return true;
}

bool TChannelInfo::FreeScan(int32_t step)
{
    if (!TunerPort || !TunerPort->HasTuner() || Scanning || step <= 0)
        return false;
    TunerPort->SetCoarseTuning(true);
    Antenna.fill(TTVChannel());
    Cable.fill(TTVChannel());
    ResetMemories();
    SetVideoStandard(DefaultStandard);
    Scanning = 1;
    ScanAbort = 0;
    TScanGuard guard{*this, true};
    TWaitScope scope;

    const int64_t lowest = TunerPort->TVMinimum();
    const int64_t highest = TunerPort->TVMaximum();
    const int32_t skip = DefaultStandard <= StdNTSCJapan ? NTSCSkip : OtherSkip;
    qCInfo(lcApp) << "free scan" << lowest << "-" << highest << "Hz, step" << step;
    int32_t slot = 1;
    int32_t found = 0;
    int64_t f = lowest;
    while (f <= highest && slot <= TVChannelCount && !ScanAbort) {
        bool signal = false;
        int32_t first = 0;
        ScanStep(int32_t(f), signal, first);
        bool hit = false;
        int64_t best = f;
        if (OnFreeScanProgress)
            OnFreeScanProgress(this, slot, int32_t(f), false);
        if (signal) {
            int64_t g = f;
            // Off centre: walk up until the carrier is centred or the offset
            // has swung to the other side; losing the picture gives up.
            bool centred = first == 0;
            while (!centred && !ScanAbort) {
                g += step;
                int32_t offset = 0;
                if (g > highest || !ScanStep(int32_t(g), signal, offset) || !signal)
                    break;
                if (offset == 0) {
                    best = g;
                    hit = centred = true;
                } else if ((offset + first) / 2 == 0) {
                    best = g;
                    hit = true;
                    break;
                }
            }
            // Centred: the last step that is still centred is the carrier.
            // A step that loses the picture ends the walk as well: some
            // tuners report no offset at all without a signal, and the walk
            // would otherwise run to the top of the band.
            if (centred) {
                hit = true;
                while (!ScanAbort) {
                    g += step;
                    int32_t offset = 0;
                    if (g > highest || !ScanStep(int32_t(g), signal, offset) || offset != 0 ||
                        !signal)
                        break;
                    best = g;
                }
            }
        }
        if (hit) {
            TTVChannel &c = Antenna[slot];
            c = TTVChannel();
            c.Frequency = c.TableFrequency = int32_t(best);
            c.SignalFound = c.Enabled = 1;
            if (OnFreeScanProgress)
                OnFreeScanProgress(this, slot, int32_t(best), true);
            ++slot;
            ++found;
            f = best + skip;
        } else if (OnFreeScanProgress) {
            OnFreeScanProgress(this, slot, int32_t(f), false);
        }
        f += step;
    }
    Cable = Antenna;
    if (OnFreeScanDone)
        OnFreeScanDone(this, found, ScanAbort != 0);
    return true;
}
