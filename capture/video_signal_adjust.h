// The capture filter's processing amplifier (brightness, contrast, hue,
// saturation, sharpness): its ranges, the user's stored percentages applied
// to it and the current values stored back as percentages. Owned by the
// capture engine, attached by the preview build. GUI thread only.
#pragma once

#include <array>

#include "platform/device_interfaces.h"
#include "platform/filter_graph.h"

struct TProcAmpRange
{
    int Default = 0;
    int Minimum = 0;
    int Maximum = 0;
    int Step = 0;
    bool Valid = false; // the device reported the range
};

using TAdjustPercents = std::array<int32_t, 5>;

class TVideoSignalAdjust
{
public:
    // Keeps the filter and reads the five ranges; false without a
    // processing amplifier.
    bool Attach(TFilterPtr filter);
    bool Attached() const { return ProcAmp != nullptr; }
    const TProcAmpRange &Range(int property) const;

    // 0 without the interface or for a property the device lacks.
    int Get(int property) const;
    bool Set(int property, int value);

    int Brightness() const { return Get(ProcAmp_Brightness); }
    int Contrast() const { return Get(ProcAmp_Contrast); }
    int Hue() const { return Get(ProcAmp_Hue); }
    int Saturation() const { return Get(ProcAmp_Saturation); }
    int Sharpness() const { return Get(ProcAmp_Sharpness); }
    bool SetBrightness(int v) { return Set(ProcAmp_Brightness, v); }
    bool SetContrast(int v) { return Set(ProcAmp_Contrast, v); }
    bool SetHue(int v) { return Set(ProcAmp_Hue, v); }
    bool SetSaturation(int v) { return Set(ProcAmp_Saturation, v); }
    bool SetSharpness(int v) { return Set(ProcAmp_Sharpness, v); }

    // Percentages 0..100 in the order of the properties; anything else
    // selects the device default. Without arguments: the settings store's
    // VideoAdjustPercent (TMainInfo).
    void ApplyAdjustments(const TAdjustPercents &percent);
    void ApplyAdjustments();
    // Current values as percentages into `percent` (properties the device
    // lacks are left as they are); without arguments into the settings
    // store.
    void StoreAdjustments(TAdjustPercents &percent) const;
    void StoreAdjustments();

    // The apply formula, limited to the maximum: at 100 % the rounding
    // gives maximum + 1, which a driver refuses.
    static int PercentToValue(int percent, const TProcAmpRange &range);
    static int ValueToPercent(int property, int value, const TProcAmpRange &range);

private:
    TFilterPtr Filter;
    IVideoProcAmp *ProcAmp = nullptr;
    std::array<TProcAmpRange, 5> Ranges{};
};
