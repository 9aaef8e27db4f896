// INTERIM, to be deleted when the tuner and crossbar code lands: the
// smallest working versions of the four calls the preview build makes into
// it (tuner ranges, the crossbar object, the picture controls, the line
// count of the current standard).
#include "capture/capture_info.h"

bool TCaptureInfo::ReadTunerRanges()
{
    if (!Tuner)
        return false;
    int32_t low = 0, high = 0;
    if (Tuner->ModeCaps(TunerModeTV, low, high) == 0)
        TVMinFrequency = low, TVMaxFrequency = high;
    if (Tuner->ModeCaps(TunerModeFM, low, high) == 0)
        FMMinFrequency = low, FMMaxFrequency = high;
    return true;
}

bool TCaptureInfo::AttachCrossbar(TGraphFilter *crossbar)
{
    auto *x = crossbar ? crossbar->Query<ICrossbar>() : nullptr;
    if (!x)
        return false;
    int outputs = 0, inputs = 0;
    x->GetPinCounts(outputs, inputs);
    InputCount = 0;
    for (int i = 0; i < inputs; ++i) {
        int related = -1, type = 0;
        if (x->GetCrossbarPinInfo(true, i, related, type) != 0 || type >= PhysConn_Audio_Tuner)
            continue;
        ++InputCount;
        CrossbarInputNames << (type == PhysConn_Video_Tuner       ? "Video Tuner"
                               : type == PhysConn_Video_Composite ? "Video Composite"
                               : type == PhysConn_Video_SVideo    ? "Video SVideo"
                               : type == PhysConn_Video_AUX       ? "Video AUX"
                                                                  : "Unknown");
    }
    return true;
}

bool TCaptureInfo::AttachVideoSignalAdjust(TGraphFilter *capture)
{
    return capture && capture->Query<IVideoProcAmp>();
}

bool TCaptureInfo::Is525Line()
{
    auto *decoder = VCapture ? VCapture->Query<IAnalogVideoDecoder>() : nullptr;
    int32_t standard = 0;
    return decoder && decoder->GetStandard(standard) == 0 && (standard & (Std_525Lines | 0x4 /* NTSC 4.43 */));
}
