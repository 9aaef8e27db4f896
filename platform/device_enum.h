// Device categories and their enumeration: real V4L2 and ALSA devices first,
// in the order the system lists them, then the virtual card.
#pragma once

#include <functional>
#include <vector>

#include <QString>

#include "platform/filter_graph.h"

enum class TDeviceCategory {
    VideoInput,
    Crossbar,
    TVTuner,
    TVAudio,
    AudioInput,
    VideoCompressor,
    AudioCompressor,
};

struct TDeviceEntry
{
    QString FriendlyName;
    QString Moniker;
};

// Every device of the category. The virtual card is always listed last
// unless it was switched off (SetVirtualCardListed).
std::vector<TDeviceEntry> EnumerateDevices(TDeviceCategory category);

// Tests and the "no virtual card" case of real installations.
void SetVirtualCardListed(bool listed);
// Replaces the whole enumeration (tests of device selection); an empty
// function restores the system's.
using TDeviceEnumerator = std::function<std::vector<TDeviceEntry>(TDeviceCategory)>;
void SetDeviceEnumerator(TDeviceEnumerator enumerator);

// One category's devices, as the engines walk them.
class TSysDevEnum
{
public:
    explicit TSysDevEnum(TDeviceCategory category) : Entries(EnumerateDevices(category)) {}
    int CountFilters() const { return int(Entries.size()); }
    QString FriendlyName(int index) const;
    QString Moniker(int index) const;
    // The first entry whose name contains the fragment (ContainsText); -1.
    int Find(const QString &fragment) const;
    // Copies the entry's moniker into the holder; false when out of range.
    bool Bind(int index, TFilter &holder) const;

    std::vector<TDeviceEntry> Entries;
};

// The Empia 2800 control object for a video device of that family: the
// virtual card's for its EM2800 profile, a V4L2-backed one for a real
// em28xx device; null when the device offers none.
class IEmpiaControl;
std::unique_ptr<IEmpiaControl> CreateEmpiaControl(const QString &videoDeviceName);
