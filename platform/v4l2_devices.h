// V4L2 capture cards as device categories and filters. Every call to the
// driver goes through the seam of platform/v4l2_device.h.
#pragma once

#include <memory>
#include <vector>

#include "platform/device_enum.h"
#include "platform/device_interfaces.h"
#include "platform/v4l2_device.h"

struct TV4l2Card
{
    QString Path;         // the capture node
    QString RadioPath;    // the radio node of the same card, if any
    QString Driver;
    QString CardName;     // as the driver reports it
    QString FriendlyName; // completed with the chip words
    QString BusInfo;
    bool HasTuner = false;
    int InputCount = 0;
    // Another program holds the card (its node answered EBUSY): known only
    // by its sysfs name and driver, listed with all its parts.
    bool Busy = false;
};

// Looks at every node through the seam: capture nodes become cards, radio
// nodes join the card on the same bus. A capture node that is busy is still
// a card of this machine (as the system lists a device another program
// uses); choosing it then fails at the preview with the device message.
std::vector<TV4l2Card> ScanV4l2Cards();

// The driver's card name completed with the words that name its chip, so
// that chip identification works on real cards: saa7134 -> "Philips SAA713x"
// (or the model the card name gives), cx88 -> "Conexant 88X", bttv ->
// "Conexant 878", em28xx -> the EM28xx model of the USB id, go7007 ->
// "Wis GO7007".
QString V4l2FriendlyName(const QString &driver, const QString &cardName, const QString &usbVendor,
                         const QString &usbProduct);

std::vector<TDeviceEntry> V4l2DeviceEntries(TDeviceCategory category);

// rest: "<kind>:<path>", kind capture, crossbar, tuner or tvaudio.
TFilterPtr CreateV4l2Filter(const QString &rest);

std::unique_ptr<IEmpiaControl> CreateV4l2EmpiaControl(const QString &videoDeviceName);

// Analog video standard bits <-> V4L2 standard sets.
v4l2_std_id V4l2StdFromBits(int32_t bits);
int32_t BitsFromV4l2Std(v4l2_std_id std);
