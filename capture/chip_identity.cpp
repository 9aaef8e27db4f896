#include "capture/chip_identity.h"

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

void IdentifyChip(TMainInfo &main, const QString &deviceName)
{
    main.ChipMaker.clear();
    for (const QString &maker : main.ChipMakers)
        if (ContainsText(deviceName, maker)) {
            main.ChipMaker = maker;
            break;
        }
    main.ChipName.clear();
    for (const QString &model : main.ChipModels)
        if (ContainsText(deviceName, model)) {
            main.ChipName = model;
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
    main.ChipFamily = family;
    if (main.ChipMaker.isEmpty())
        main.ChipMaker = maker;

    // A failed creation leaves none.
    main.EmpiaControl.reset();
    if (family == FamilyEmpia2800)
        main.EmpiaControl = CreateEmpiaControl(deviceName);

    main.IsWisFamily = family == FamilyWis;
    switch (family) {
    case FamilyConexant:
    case FamilyEmpia28x0:
    case FamilyEmpia28x1:
        main.SignalCheckCount = 3;
        break;
    case FamilyEmpia2800:
        main.SignalCheckCount = 10;
        break;
    default:
        main.SignalCheckCount = 1;
        break;
    }
    // The channel table keeps its own count (the wizard changes it too); a
    // table created later starts from the settings' count.
    if (ChannelInfo)
        ChannelInfo->SetSignalCheckCount(main.SignalCheckCount);
}
