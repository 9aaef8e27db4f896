#include "platform/card_pairing.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "platform/log.h"

namespace {

QString &Root()
{
    static QString root = "/sys";
    return root;
}

// "1-1:1.0", "3-1.4:1.2": a USB interface, named after its device "1-1".
const QRegularExpression UsbInterface(R"(^\d+-[\d.]+:\d+\.\d+$)");
// "0000:06:02.1": domain, bus, slot, function.
const QRegularExpression PciFunction(R"(^([0-9a-fA-F]{4}:[0-9a-fA-F]{2}:[0-9a-fA-F]{2})\.[0-7]$)");

// The real path of a class device's "device" link, relative to the root.
QString ClassDevice(const QString &classPath)
{
    return CardOfSysfsDevice(Root() + "/" + classPath + "/device");
}

} // namespace

void SetSysfsRoot(const QString &root)
{
    Root() = root.isEmpty() ? QString("/sys") : root;
}

QString SysfsRoot()
{
    return Root();
}

QString CardOfSysfsDevice(const QString &devicePath)
{
    const QString root = QFileInfo(Root()).canonicalFilePath();
    QString path = QFileInfo(devicePath).canonicalFilePath();
    if (root.isEmpty() || path.isEmpty() || !path.startsWith(root + "/"))
        return {};
    QFileInfo device(path);
    const QString name = device.fileName();
    if (UsbInterface.match(name).hasMatch()) {
        path = device.path();
    } else if (const auto m = PciFunction.match(name); m.hasMatch()) {
        path = device.path() + "/" + m.captured(1);
    }
    return path.mid(root.size());
}

QString CardOfMoniker(const QString &moniker)
{
    if (moniker.startsWith("v4l2:")) {
        // v4l2:<kind>:<node>
        const QString node = moniker.section(':', 2);
        return ClassDevice("class/video4linux/" + QFileInfo(node).fileName());
    }
    if (moniker.startsWith("alsa:")) {
        // alsa:hw:<card>,<device> (also plughw); a named PCM is no card.
        const auto m = QRegularExpression(R"(^alsa:(?:plug)?hw:(\d+)(?:,\d+)?$)").match(moniker);
        if (m.hasMatch())
            return ClassDevice("class/sound/card" + m.captured(1));
    }
    // The virtual card's devices all sit on the one virtual card.
    if (moniker.startsWith("virtual:"))
        return QStringLiteral("virtual");
    return {};
}

int PairedAudioDevice(const QString &videoMoniker, const std::vector<TDeviceEntry> &audio)
{
    const QString card = CardOfMoniker(videoMoniker);
    if (card.isEmpty())
        return -1;
    for (size_t i = 0; i < audio.size(); ++i) {
        if (CardOfMoniker(audio[i].Moniker) == card) {
            qCDebug(lcAlsa) << videoMoniker << "has its sound on" << audio[i].Moniker << "(" << card
                            << ")";
            return int(i);
        }
    }
    return -1;
}
