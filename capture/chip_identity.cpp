// Chip identification from the video device's friendly name.
#include "app/main_info.h"
#include "channels/channel_info.h"
#include "platform/device_enum.h"
#include "platform/device_interfaces.h"
#include "platform/text_util.h"

namespace {

bool ContainsAny(const QString &name, std::initializer_list<const char *> fragments)
{
    for (const char *f : fragments)
        if (ContainsText(name, f))
            return true;
    return false;
}

} // namespace

void TMainInfo::IdentifyChip(const QString &deviceName)
{
    ChipMaker.clear();
    for (const QString &maker : ChipMakers)
        if (ContainsText(deviceName, maker)) {
            ChipMaker = maker;
            break;
        }
    ChipName.clear();
    for (const QString &model : ChipModels)
        if (ContainsText(deviceName, model)) {
            ChipName = model;
            break;
        }

    uint8_t family = FamilyNone;
    QString maker;
    if (ContainsAny(deviceName, {"Philips", "713"}))
        family = FamilyPhilips, maker = "Philips";
    else if (ContainsAny(deviceName, {"Conexant", "88X", "878"}))
        family = FamilyConexant, maker = "Conexant";
    else if (ContainsText(deviceName, "2800"))
        family = FamilyEmpia2800, maker = "Empia";
    else if (ContainsText(deviceName, "Wis"))
        family = FamilyWis, maker = "Wis";
    else if (ContainsAny(deviceName, {"2821", "2841", "2861", "2881"}))
        family = FamilyEmpia28x1, maker = "Empia";
    else if (ContainsAny(deviceName, {"2820", "2840", "2860", "2880"}))
        family = FamilyEmpia28x0, maker = "Empia";
    ChipFamily = family;
    if (ChipMaker.isEmpty())
        ChipMaker = maker;

    // A failed creation leaves none.
    EmpiaControl.reset();
    if (family == FamilyEmpia2800)
        EmpiaControl = CreateEmpiaControl(deviceName);

    IsWisFamily = family == FamilyWis;
    switch (family) {
    case FamilyConexant:
    case FamilyEmpia28x0:
    case FamilyEmpia28x1: SignalCheckCount = 3; break;
    case FamilyEmpia2800: SignalCheckCount = 10; break;
    default: SignalCheckCount = 1; break;
    }
    // The channel table keeps its own count (the wizard changes it too); a
    // table created later starts from SignalCheckCount here.
    if (ChannelInfo)
        ChannelInfo->SetSignalCheckCount(SignalCheckCount);
}
