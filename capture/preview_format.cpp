// The preview's picture format: the size for the quality setting and the
// media type the capture pin is asked for.
#include <cerrno>

#include "app/main_info.h"
#include "capture/preview_util.h"

namespace {

using Dir = TPinDirection;

} // namespace

void TCaptureInfo::ApplyPreviewSize(bool highQuality)
{
    const bool is525 = Is525Line();
    const uint8_t family = MainInfo ? MainInfo->ChipFamily : FamilyNone;
    if (!highQuality) {
        SetVideoFormat(ColorFormatKind, is525 ? 320 : 352, is525 ? 240 : 288);
    } else if (is525) {
        SetVideoFormat(ColorFormatKind, 640, 480);
    } else if (family == FamilyConexant || family == FamilyEmpia2800) {
        if (!SetVideoFormat(ColorFormatKind, 640, 576))
            SetVideoFormat(ColorFormatKind, 720, 576);
    } else {
        SetVideoFormat(ColorFormatKind, 640, 480);
    }
}

bool TCaptureInfo::SetVideoFormat(int kind, int width, int height)
{
    // 1. The media type for the kind, with the fallbacks.
    int index = kind == 0   ? YUY2Index
                : kind == 1 ? UYVYIndex
                : kind == 3 ? RGB555Index
                : kind == 4 ? RGB32Index
                            : VideoFormatIndex;
    if (index < 0) {
        if (UYVYIndex > 0) {
            index = UYVYIndex, CaptureInputFormat = 0, ColorFormatKind = 1;
        } else if (YUY2Index > 0) {
            index = YUY2Index, CaptureInputFormat = 1, ColorFormatKind = 0;
        } else if (RGB555Index > 0) {
            index = RGB555Index, CaptureInputFormat = 2, ColorFormatKind = 3;
        } else {
            index = 0, CaptureInputFormat = 1, ColorFormatKind = 0;
        }
    }
    if (index >= int(VideoFormats.size()))
        return false;
    // 2. On the first output pin; a connected pin is taken off its
    // downstream filter for the change and put back.
    TVideoFormat format = VideoFormats[size_t(index)];
    format.Width = width;
    format.Height = height;
    const int result = SetCaptureFormat(format);
    if (result != 0)
        qCInfo(lcApp) << "preview: format" << format.Name() << "refused, error" << result;
    // 3. The Empia 2800 forgets its input on a format change.
    if (MainInfo && MainInfo->ChipFamily == FamilyEmpia2800 && MainInfo->EmpiaControl &&
        MainInfo->EmpiaControl->IsOpen() && InputType >= 1 && InputType <= 3)
        MainInfo->EmpiaControl->SelectInput(InputType - 1);
    return result == 0;
}

int TCaptureInfo::SetCaptureFormat(const TVideoFormat &format)
{
    TGraphFilter *capture = VCapture ? VCapture->Object() : nullptr;
    auto *config = capture ? capture->Query<IStreamConfig>() : nullptr;
    if (!config)
        return ENOTTY;
    std::vector<std::pair<TPin *, TPin *>> links;
    for (TPin *out : capture->PinList(Dir::Output))
        if (out->Pad && out->ConnectedTo) {
            links.emplace_back(out, out->ConnectedTo);
            FilterGraph->Disconnect(out);
        }
    const int result = config->SetFormat(format);
    for (auto &[out, in] : links)
        if (!FilterGraph->ConnectDirect(out, in))
            qCWarning(lcApp) << "preview: cannot reconnect" << out->Name
                             << "after the format change:" << FilterGraph->LastError();
    return result;
}
