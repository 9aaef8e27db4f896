#include "platform/v4l2_devices.h"

#include <cerrno>
#include <cstring>
#include <map>

#include <QFileInfo>
#include <QRegularExpression>

#include "platform/filter_registry.h"
#include "platform/log.h"
#include "platform/text_util.h"

namespace {

QString Text(const __u8 *bytes, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(bytes), int(strnlen(reinterpret_cast<const char *>(bytes), size)));
}

// The analog standard bits without a name in device_interfaces.h are
// NTSC 4.43 (0x4), PAL 60 (0x800), SECAM H (0x8000), SECAM K1 (0x20000) and
// SECAM L1 (0x80000, V4L2's L').
const std::pair<int32_t, v4l2_std_id> StdMap[] = {
    {Std_NTSC_M, V4L2_STD_NTSC_M},     {Std_NTSC_M_J, V4L2_STD_NTSC_M_JP},
    {0x4, V4L2_STD_NTSC_443},          {Std_PAL_B, V4L2_STD_PAL_B},
    {Std_PAL_D, V4L2_STD_PAL_D},       {Std_PAL_G, V4L2_STD_PAL_G},
    {Std_PAL_H, V4L2_STD_PAL_H},       {Std_PAL_I, V4L2_STD_PAL_I},
    {Std_PAL_M, V4L2_STD_PAL_M},       {Std_PAL_N, V4L2_STD_PAL_N},
    {0x800, V4L2_STD_PAL_60},          {Std_SECAM_B, V4L2_STD_SECAM_B},
    {Std_SECAM_D, V4L2_STD_SECAM_D},   {Std_SECAM_G, V4L2_STD_SECAM_G},
    {0x8000, V4L2_STD_SECAM_H},        {Std_SECAM_K, V4L2_STD_SECAM_K},
    {0x20000, V4L2_STD_SECAM_K1},      {Std_SECAM_L, V4L2_STD_SECAM_L},
    {0x80000, V4L2_STD_SECAM_LC}};

} // namespace

v4l2_std_id V4l2StdFromBits(int32_t bits)
{
    v4l2_std_id id = 0;
    for (auto [bit, std] : StdMap)
        if (bits & bit)
            id |= std;
    return id;
}

int32_t BitsFromV4l2Std(v4l2_std_id std)
{
    int32_t bits = 0;
    for (auto [bit, id] : StdMap)
        if (std & id)
            bits |= bit;
    return bits;
}

QString V4l2FriendlyName(const QString &driver, const QString &cardName, const QString &usbVendor,
                         const QString &usbProduct)
{
    QString words;
    const auto saa = QRegularExpression("saa(713[0-5])", QRegularExpression::CaseInsensitiveOption)
                         .match(cardName);
    if (driver.startsWith("saa7134"))
        words = saa.hasMatch() ? "Philips SAA" + saa.captured(1) : "Philips SAA713x";
    else if (driver.startsWith("cx88") || driver.startsWith("cx8800"))
        words = "Conexant 88X";
    else if (driver == "bttv")
        words = "Conexant 878";
    else if (driver.startsWith("em28xx"))
        words = usbVendor.compare("eb1a", Qt::CaseInsensitive) == 0 && usbProduct.startsWith("28")
                    ? "Empia EM" + usbProduct.toUpper()
                    : "Empia EM28xx";
    else if (driver.startsWith("go7007"))
        words = "Wis GO7007";
    if (words.isEmpty() || ContainsText(cardName, words))
        return cardName;
    return cardName + " (" + words + ")";
}

std::vector<TV4l2Card> ScanV4l2Cards()
{
    std::vector<TV4l2Card> cards;
    std::map<QString, QString> radios; // bus -> node
    TV4l2Backend &backend = V4l2Backend();
    for (const QString &node : backend.Nodes()) {
        TV4l2Device device(node);
        if (const int err = device.Open()) {
            const QString name = err == EBUSY ? backend.NodeName(node) : QString();
            if (name.isEmpty() || !QFileInfo(node).fileName().startsWith("video"))
                continue;
            TV4l2Card card;
            card.Path = node;
            card.Driver = backend.NodeDriver(node);
            card.CardName = name;
            card.FriendlyName = V4l2FriendlyName(card.Driver, name,
                                                 backend.DeviceAttribute(node, "idVendor"),
                                                 backend.DeviceAttribute(node, "idProduct"));
            card.Busy = true;
            cards.push_back(card);
            continue;
        }
        v4l2_capability cap{};
        if (device.QueryCap(cap))
            continue;
        const __u32 caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps
                                                                      : cap.capabilities;
        const QString bus = Text(cap.bus_info, sizeof cap.bus_info);
        if ((caps & V4L2_CAP_RADIO) && !(caps & V4L2_CAP_VIDEO_CAPTURE)) {
            radios.emplace(bus, node);
            continue;
        }
        if (!(caps & V4L2_CAP_VIDEO_CAPTURE))
            continue;
        TV4l2Card card;
        card.Path = node;
        card.Driver = Text(cap.driver, sizeof cap.driver);
        card.CardName = Text(cap.card, sizeof cap.card);
        card.BusInfo = bus;
        card.FriendlyName = V4l2FriendlyName(card.Driver, card.CardName,
                                             backend.DeviceAttribute(node, "idVendor"),
                                             backend.DeviceAttribute(node, "idProduct"));
        v4l2_tuner tuner{};
        card.HasTuner = (caps & V4L2_CAP_TUNER) && device.GetTuner(tuner) == 0;
        v4l2_input input{};
        for (input.index = 0; device.EnumInput(input) == 0; ++input.index)
            ++card.InputCount;
        cards.push_back(card);
    }
    for (TV4l2Card &card : cards) {
        auto it = radios.find(card.BusInfo);
        if (it != radios.end() && !card.BusInfo.isEmpty())
            card.RadioPath = it->second;
    }
    return cards;
}

std::vector<TDeviceEntry> V4l2DeviceEntries(TDeviceCategory category)
{
    std::vector<TDeviceEntry> list;
    for (const TV4l2Card &card : ScanV4l2Cards()) {
        switch (category) {
        case TDeviceCategory::VideoInput:
            list.push_back({card.FriendlyName, "v4l2:capture:" + card.Path});
            break;
        case TDeviceCategory::Crossbar:
            if (card.InputCount > 0 || card.Busy)
                list.push_back({card.FriendlyName + " Crossbar", "v4l2:crossbar:" + card.Path});
            break;
        case TDeviceCategory::TVTuner:
            if (card.HasTuner || card.Busy)
                list.push_back({card.FriendlyName + " TV Tuner", "v4l2:tuner:" + card.Path});
            break;
        case TDeviceCategory::TVAudio:
            if (card.HasTuner || card.Busy)
                list.push_back({card.FriendlyName + " TV Audio", "v4l2:tvaudio:" + card.Path});
            break;
        default:
            break;
        }
    }
    return list;
}
