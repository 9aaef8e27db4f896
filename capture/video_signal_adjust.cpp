#include "capture/video_signal_adjust.h"

#include <algorithm>

#include "app/main_info.h"
#include "platform/log.h"

bool TVideoSignalAdjust::Attach(TFilterPtr filter)
{
    Filter = std::move(filter);
    ProcAmp = Filter ? Filter->Query<IVideoProcAmp>() : nullptr;
    Ranges = {};
    if (!ProcAmp)
        return false;
    for (int p = 0; p < 5; ++p) {
        TProcAmpRange &r = Ranges[p];
        r.Valid = ProcAmp->GetRange(p, r.Minimum, r.Maximum, r.Step, r.Default) == 0 &&
                  r.Maximum >= r.Minimum;
        if (!r.Valid)
            r = TProcAmpRange();
    }
    return true;
}

const TProcAmpRange &TVideoSignalAdjust::Range(int property) const
{
    static const TProcAmpRange none;
    return property >= 0 && property < 5 ? Ranges[property] : none;
}

int TVideoSignalAdjust::Get(int property) const
{
    int value = 0;
    if (!ProcAmp || ProcAmp->Get(property, value) != 0)
        return 0;
    return value;
}

bool TVideoSignalAdjust::Set(int property, int value)
{
    return ProcAmp && ProcAmp->Set(property, value) == 0;
}

int TVideoSignalAdjust::PercentToValue(int percent, const TProcAmpRange &range)
{
    if (percent < 0 || percent > 100)
        return range.Default;
    const int64_t scaled = int64_t(percent) * (int64_t(range.Maximum) - range.Minimum + 1);
    const int64_t value = range.Minimum + scaled / 100 + (scaled % 100 >= 50 ? 1 : 0);
    return int(std::min<int64_t>(value, range.Maximum));
}

int TVideoSignalAdjust::ValueToPercent(int property, int value, const TProcAmpRange &range)
{
    const int64_t span = int64_t(range.Maximum) - range.Minimum + 1;
    const int64_t v = std::clamp(value, range.Minimum, range.Maximum);
    if (property == ProcAmp_Brightness || property == ProcAmp_Contrast)
        return int((v - range.Minimum + 1) * 100 / span);
    return int(((v - range.Minimum) * 100 + 1) / span);
}

void TVideoSignalAdjust::ApplyAdjustments(const TAdjustPercents &percent)
{
    if (!ProcAmp)
        return;
    for (int p = 0; p < 5; ++p) {
        if (!Ranges[p].Valid)
            continue;
        const int value = PercentToValue(percent[p], Ranges[p]);
        if (!Set(p, value))
            qCDebug(lcApp) << "picture control" << p << "refused" << value;
    }
}

void TVideoSignalAdjust::ApplyAdjustments()
{
    ApplyAdjustments(MainInfo ? MainInfo->VideoAdjustPercent : TAdjustPercents{-1, -1, -1, -1, -1});
}

void TVideoSignalAdjust::StoreAdjustments(TAdjustPercents &percent) const
{
    if (!ProcAmp)
        return;
    for (int p = 0; p < 5; ++p) {
        int value = 0;
        if (Ranges[p].Valid && ProcAmp->Get(p, value) == 0)
            percent[p] = ValueToPercent(p, value, Ranges[p]);
    }
}

void TVideoSignalAdjust::StoreAdjustments()
{
    if (MainInfo)
        StoreAdjustments(MainInfo->VideoAdjustPercent);
}
