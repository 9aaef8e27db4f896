#include "platform/device_enum.h"

#include "platform/alsa_devices.h"
#include "platform/filter_registry.h"
#include "platform/text_util.h"
#include "platform/v4l2_devices.h"
#include "platform/virtual_card.h"
#include "platform/virtual_filters.h"

namespace {

bool VirtualListed = true;
TDeviceEnumerator Override;

std::vector<TDeviceEntry> VirtualDevices(TDeviceCategory category)
{
    const QString base = VirtualCardBaseName();
    switch (category) {
    case TDeviceCategory::VideoInput: return {{base + " Video Capture", "virtual:capture"}};
    case TDeviceCategory::Crossbar: return {{base + " Crossbar", "virtual:crossbar"}};
    case TDeviceCategory::TVTuner: return {{base + " TV Tuner", "virtual:tuner"}};
    case TDeviceCategory::TVAudio: return {{base + " TV Audio", "virtual:tvaudio"}};
    case TDeviceCategory::AudioInput: return {{base + " Audio Capture", "virtual:audio"}};
    default: return {};
    }
}

std::vector<TDeviceEntry> RegistryDevices(TRegistryCategory category)
{
    std::vector<TDeviceEntry> list;
    for (const TRegisteredFilter &f : RegisteredFilters())
        if (f.Category == category)
            list.push_back({f.FriendlyName, "registry:" + f.FriendlyName});
    return list;
}

} // namespace

void SetVirtualCardListed(bool listed)
{
    VirtualListed = listed;
}

void SetDeviceEnumerator(TDeviceEnumerator enumerator)
{
    Override = std::move(enumerator);
}

std::vector<TDeviceEntry> EnumerateDevices(TDeviceCategory category)
{
    if (Override)
        return Override(category);
    if (category == TDeviceCategory::VideoCompressor)
        return RegistryDevices(TRegistryCategory::VideoCompressor);
    if (category == TDeviceCategory::AudioCompressor)
        return RegistryDevices(TRegistryCategory::AudioCompressor);
    std::vector<TDeviceEntry> list = category == TDeviceCategory::AudioInput
                                         ? AlsaCaptureDevices()
                                         : V4l2DeviceEntries(category);
    if (VirtualListed) {
        auto virt = VirtualDevices(category);
        list.insert(list.end(), virt.begin(), virt.end());
    }
    return list;
}

QString TSysDevEnum::FriendlyName(int index) const
{
    return index >= 0 && index < CountFilters() ? Entries[index].FriendlyName : QString();
}

QString TSysDevEnum::Moniker(int index) const
{
    return index >= 0 && index < CountFilters() ? Entries[index].Moniker : QString();
}

int TSysDevEnum::Find(const QString &fragment) const
{
    for (int i = 0; i < CountFilters(); ++i)
        if (ContainsText(Entries[i].FriendlyName, fragment))
            return i;
    return -1;
}

bool TSysDevEnum::Bind(int index, TFilter &holder) const
{
    if (index < 0 || index >= CountFilters())
        return false;
    holder.BaseFilter.Moniker = Entries[index].Moniker;
    return true;
}

std::unique_ptr<IEmpiaControl> CreateEmpiaControl(const QString &videoDeviceName)
{
    if (videoDeviceName.startsWith("Lyra Virtual")) {
        if (VirtualCardProfile() == TVirtualProfile::EM2800)
            return std::make_unique<TVirtualEmpiaControl>();
        return nullptr;
    }
    return CreateV4l2EmpiaControl(videoDeviceName);
}

void RegisterDeviceSchemes()
{
    RegisterMonikerScheme("virtual", [](const QString &kind) { return CreateVirtualFilter(kind); });
    RegisterMonikerScheme("v4l2", [](const QString &rest) { return CreateV4l2Filter(rest); });
    RegisterMonikerScheme("alsa", [](const QString &pcm) { return CreateAlsaCaptureFilter(pcm); });
}
