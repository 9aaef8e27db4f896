#include "emu_sysfs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "emu_shared.h"

namespace emu {

namespace {

bool MakeDirs(const std::string &path)
{
    std::string part;
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/') {
            part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    return true;
}

bool Write(const std::string &path, const std::string &text)
{
    std::ofstream out(path);
    out << text;
    return bool(out);
}

std::string Hex(uint32_t value, int digits)
{
    char text[16];
    snprintf(text, sizeof text, "%0*x", digits, value);
    return text;
}

// A relative link from `from` (a path) to `to` (a path), both under /sys.
std::string Relative(const std::string &from, const std::string &to)
{
    std::string dir = from.substr(0, from.rfind('/'));
    std::string up;
    while (to.compare(0, dir.size() + 1, dir + "/") != 0) {
        dir = dir.substr(0, dir.rfind('/'));
        up += "../";
    }
    return up + to.substr(dir.size() + 1);
}

} // namespace

void RemoveTree(const std::string &path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0)
        return;
    if (S_ISDIR(st.st_mode)) {
        if (DIR *d = opendir(path.c_str())) {
            while (dirent *e = readdir(d))
                if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
                    RemoveTree(path + "/" + e->d_name);
            closedir(d);
        }
        rmdir(path.c_str());
    } else {
        unlink(path.c_str());
    }
}

bool BuildSysfsView(const TModel &m, bool radio, const std::string &root, TSysfsView &view,
                    std::string &error)
{
    view.Root = root;
    view.Redirected.clear();
    bool ok = true;
    auto dir = [&](const std::string &p) { ok = ok && MakeDirs(root + p); };
    auto file = [&](const std::string &p, const std::string &text) {
        ok = ok && Write(root + p, text + "\n");
    };
    auto link = [&](const std::string &p, const std::string &target) {
        dir(p.substr(0, p.rfind('/')));
        ok = ok && symlink(Relative(p, target).c_str(), (root + p).c_str()) == 0;
    };
    auto driver = [&](const std::string &device, const std::string &bus, const std::string &name) {
        dir("/sys/bus/" + bus + "/drivers/" + name);
        link(device + "/driver", "/sys/bus/" + bus + "/drivers/" + name);
    };

    // The device the video node hangs on, and where the sound card sits.
    std::string device, soundDevice, busDevice;
    if (m.Bus == "pci") {
        const std::string bridge = "/sys/devices/pci0000:00/0000:00:1e.0";
        device = bridge + "/" + m.PciSlot;
        dir(device);
        file(device + "/vendor", "0x" + Hex(m.PciVendor, 4));
        file(device + "/device", "0x" + Hex(m.PciDevice, 4));
        file(device + "/subsystem_vendor", "0x" + Hex(m.PciSubVendor, 4));
        file(device + "/subsystem_device", "0x" + Hex(m.PciSubDevice, 4));
        file(device + "/class", "0x048000");
        driver(device, "pci", m.KernelDriver);
        link("/sys/bus/pci/devices/" + m.PciSlot, device);
        view.Redirected.push_back(device);
        view.Redirected.push_back("/sys/bus/pci/devices/" + m.PciSlot);
        soundDevice = m.SoundSlot == m.PciSlot ? device : bridge + "/" + m.SoundSlot;
        if (!m.SoundSlot.empty() && soundDevice != device) {
            // A function of its own (cx88's and bttv's audio functions).
            dir(soundDevice);
            file(soundDevice + "/vendor", "0x" + Hex(m.PciVendor, 4));
            file(soundDevice + "/device", "0x" + Hex(m.PciDevice + 1, 4));
            file(soundDevice + "/subsystem_vendor", "0x" + Hex(m.PciSubVendor, 4));
            file(soundDevice + "/subsystem_device", "0x" + Hex(m.PciSubDevice, 4));
            file(soundDevice + "/class", "0x048000");
            driver(soundDevice, "pci", m.SoundDriver);
            link("/sys/bus/pci/devices/" + m.SoundSlot, soundDevice);
            view.Redirected.push_back(soundDevice);
            view.Redirected.push_back("/sys/bus/pci/devices/" + m.SoundSlot);
        }
    } else {
        busDevice = "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + m.UsbDevice;
        dir(busDevice);
        file(busDevice + "/idVendor", Hex(m.UsbVendor, 4));
        file(busDevice + "/idProduct", Hex(m.UsbProduct, 4));
        file(busDevice + "/manufacturer", m.UsbManufacturer);
        file(busDevice + "/product", m.UsbProductName);
        file(busDevice + "/busnum", "1");
        file(busDevice + "/devnum", "2");
        device = busDevice + "/" + m.UsbInterface;
        dir(device);
        file(device + "/bInterfaceClass", "ff");
        driver(device, "usb", m.KernelDriver);
        soundDevice = busDevice + "/" + m.SoundSlot;
        if (!m.SoundSlot.empty()) {
            dir(soundDevice);
            file(soundDevice + "/bInterfaceClass", "01");
            driver(soundDevice, "usb", m.SoundDriver);
        }
        link("/sys/bus/usb/devices/" + m.UsbDevice, busDevice);
        view.Redirected.push_back(busDevice);
        view.Redirected.push_back("/sys/bus/usb/devices/" + m.UsbDevice);
    }

    auto node = [&](const std::string &name, unsigned minor, const std::string &title) {
        const std::string n = device + "/video4linux/" + name;
        dir(n);
        file(n + "/name", title.substr(0, 31)); // video_device's name[32]
        file(n + "/dev", std::to_string(VideoMajor) + ":" + std::to_string(minor));
        file(n + "/index", "0");
        file(n + "/uevent", "MAJOR=" + std::to_string(VideoMajor) +
                                "\nMINOR=" + std::to_string(minor) + "\nDEVNAME=" + name);
        link(n + "/device", device);
        link(n + "/subsystem", "/sys/class/video4linux");
        link("/sys/class/video4linux/" + name, n);
        const std::string dev =
            "/sys/dev/char/" + std::to_string(VideoMajor) + ":" + std::to_string(minor);
        link(dev, n);
        view.Redirected.push_back("/sys/class/video4linux/" + name);
        view.Redirected.push_back(dev);
    };
    node("video0", VideoMinor, m.VideoNodeName);
    if (radio && m.HasRadio)
        node("radio0", RadioMinor, m.RadioNodeName);

    if (!m.SoundSlot.empty()) {
        // The card's own sound card, for pairing its capture device with the
        // video node: on the same PCI function, a sibling function, or a
        // sibling USB interface.
        const std::string card = soundDevice + "/sound/card1";
        dir(card);
        file(card + "/id", m.SoundId);
        file(card + "/number", "1");
        link(card + "/device", soundDevice);
        link(card + "/subsystem", "/sys/class/sound");
        link("/sys/class/sound/card1", card);
        dir(soundDevice + "/sound/card1/pcmC1D0c");
        file(soundDevice + "/sound/card1/pcmC1D0c/pcm_class", "generic");
        file(soundDevice + "/sound/card1/pcmC1D0c/id", m.SoundName);
        view.Redirected.push_back("/sys/class/sound/card1");
    }
    if (!ok)
        error = "cannot write the sysfs view under " + root + ": " + strerror(errno);
    return ok;
}

} // namespace emu
