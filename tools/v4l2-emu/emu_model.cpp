#include "emu_model.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include <linux/videodev2.h>
#include <strings.h>

namespace emu {

namespace {

const std::map<std::string, uint32_t> &CapabilityNames()
{
    static const std::map<std::string, uint32_t> names = {{"VIDEO_CAPTURE", V4L2_CAP_VIDEO_CAPTURE},
                                                          {"VIDEO_OVERLAY", V4L2_CAP_VIDEO_OVERLAY},
                                                          {"VBI_CAPTURE", V4L2_CAP_VBI_CAPTURE},
                                                          {"RDS_CAPTURE", V4L2_CAP_RDS_CAPTURE},
                                                          {"TUNER", V4L2_CAP_TUNER},
                                                          {"AUDIO", V4L2_CAP_AUDIO},
                                                          {"RADIO", V4L2_CAP_RADIO},
                                                          {"READWRITE", V4L2_CAP_READWRITE},
                                                          {"STREAMING", V4L2_CAP_STREAMING},
                                                          {"DEVICE_CAPS", V4L2_CAP_DEVICE_CAPS},
                                                          {"HW_FREQ_SEEK", V4L2_CAP_HW_FREQ_SEEK}};
    return names;
}

const std::map<std::string, uint32_t> &TunerCapabilityNames()
{
    static const std::map<std::string, uint32_t> names = {
        {"LOW", V4L2_TUNER_CAP_LOW},       {"NORM", V4L2_TUNER_CAP_NORM},
        {"STEREO", V4L2_TUNER_CAP_STEREO}, {"LANG1", V4L2_TUNER_CAP_LANG1},
        {"LANG2", V4L2_TUNER_CAP_LANG2},   {"SAP", V4L2_TUNER_CAP_SAP},
        {"RDS", V4L2_TUNER_CAP_RDS}};
    return names;
}

const std::map<std::string, uint64_t> &StdNames()
{
    static const std::map<std::string, uint64_t> names = {{"PAL_B", V4L2_STD_PAL_B},
                                                          {"PAL_B1", V4L2_STD_PAL_B1},
                                                          {"PAL_G", V4L2_STD_PAL_G},
                                                          {"PAL_H", V4L2_STD_PAL_H},
                                                          {"PAL_I", V4L2_STD_PAL_I},
                                                          {"PAL_D", V4L2_STD_PAL_D},
                                                          {"PAL_D1", V4L2_STD_PAL_D1},
                                                          {"PAL_K", V4L2_STD_PAL_K},
                                                          {"PAL_M", V4L2_STD_PAL_M},
                                                          {"PAL_N", V4L2_STD_PAL_N},
                                                          {"PAL_Nc", V4L2_STD_PAL_Nc},
                                                          {"PAL_60", V4L2_STD_PAL_60},
                                                          {"NTSC_M", V4L2_STD_NTSC_M},
                                                          {"NTSC_M_JP", V4L2_STD_NTSC_M_JP},
                                                          {"NTSC_443", V4L2_STD_NTSC_443},
                                                          {"NTSC_M_KR", V4L2_STD_NTSC_M_KR},
                                                          {"SECAM_B", V4L2_STD_SECAM_B},
                                                          {"SECAM_D", V4L2_STD_SECAM_D},
                                                          {"SECAM_G", V4L2_STD_SECAM_G},
                                                          {"SECAM_H", V4L2_STD_SECAM_H},
                                                          {"SECAM_K", V4L2_STD_SECAM_K},
                                                          {"SECAM_K1", V4L2_STD_SECAM_K1},
                                                          {"SECAM_L", V4L2_STD_SECAM_L},
                                                          {"SECAM_LC", V4L2_STD_SECAM_LC},
                                                          {"PAL_BG", V4L2_STD_PAL_BG},
                                                          {"PAL_DK", V4L2_STD_PAL_DK},
                                                          {"PAL", V4L2_STD_PAL},
                                                          {"NTSC", V4L2_STD_NTSC},
                                                          {"SECAM_DK", V4L2_STD_SECAM_DK},
                                                          {"SECAM", V4L2_STD_SECAM},
                                                          {"525_60", V4L2_STD_525_60},
                                                          {"625_50", V4L2_STD_625_50},
                                                          {"ALL", V4L2_STD_ALL}};
    return names;
}

// The V4L2 core's standards table (v4l2-ioctl.c), in its order: ENUMSTD
// walks it, and S_STD's names in the fault options use its names.
struct TCoreStd
{
    uint64_t Id;
    const char *Name;
};
const TCoreStd CoreStds[] = {{V4L2_STD_NTSC, "NTSC"},           {V4L2_STD_NTSC_M, "NTSC-M"},
                             {V4L2_STD_NTSC_M_JP, "NTSC-M-JP"}, {V4L2_STD_NTSC_M_KR, "NTSC-M-KR"},
                             {V4L2_STD_NTSC_443, "NTSC-443"},   {V4L2_STD_PAL, "PAL"},
                             {V4L2_STD_PAL_BG, "PAL-BG"},       {V4L2_STD_PAL_B, "PAL-B"},
                             {V4L2_STD_PAL_B1, "PAL-B1"},       {V4L2_STD_PAL_G, "PAL-G"},
                             {V4L2_STD_PAL_H, "PAL-H"},         {V4L2_STD_PAL_I, "PAL-I"},
                             {V4L2_STD_PAL_DK, "PAL-DK"},       {V4L2_STD_PAL_D, "PAL-D"},
                             {V4L2_STD_PAL_D1, "PAL-D1"},       {V4L2_STD_PAL_K, "PAL-K"},
                             {V4L2_STD_PAL_M, "PAL-M"},         {V4L2_STD_PAL_N, "PAL-N"},
                             {V4L2_STD_PAL_Nc, "PAL-Nc"},       {V4L2_STD_PAL_60, "PAL-60"},
                             {V4L2_STD_SECAM, "SECAM"},         {V4L2_STD_SECAM_B, "SECAM-B"},
                             {V4L2_STD_SECAM_G, "SECAM-G"},     {V4L2_STD_SECAM_H, "SECAM-H"},
                             {V4L2_STD_SECAM_DK, "SECAM-DK"},   {V4L2_STD_SECAM_D, "SECAM-D"},
                             {V4L2_STD_SECAM_K, "SECAM-K"},     {V4L2_STD_SECAM_K1, "SECAM-K1"},
                             {V4L2_STD_SECAM_L, "SECAM-L"},     {V4L2_STD_SECAM_LC, "SECAM-Lc"}};

const std::map<std::string, uint32_t> &ControlNames()
{
    static const std::map<std::string, uint32_t> names = {
        {"BRIGHTNESS", V4L2_CID_BRIGHTNESS},     {"CONTRAST", V4L2_CID_CONTRAST},
        {"SATURATION", V4L2_CID_SATURATION},     {"HUE", V4L2_CID_HUE},
        {"AUDIO_VOLUME", V4L2_CID_AUDIO_VOLUME}, {"AUDIO_BALANCE", V4L2_CID_AUDIO_BALANCE},
        {"AUDIO_MUTE", V4L2_CID_AUDIO_MUTE},     {"HFLIP", V4L2_CID_HFLIP},
        {"SHARPNESS", V4L2_CID_SHARPNESS},       {"CHROMA_AGC", V4L2_CID_CHROMA_AGC},
        {"COLOR_KILLER", V4L2_CID_COLOR_KILLER}, {"CHROMA_GAIN", V4L2_CID_CHROMA_GAIN},
        {"RED_BALANCE", V4L2_CID_RED_BALANCE},   {"BLUE_BALANCE", V4L2_CID_BLUE_BALANCE}};
    return names;
}

const std::map<std::string, uint32_t> &FieldNames()
{
    static const std::map<std::string, uint32_t> names = {
        {"NONE", V4L2_FIELD_NONE},     {"TOP", V4L2_FIELD_TOP},
        {"BOTTOM", V4L2_FIELD_BOTTOM}, {"INTERLACED", V4L2_FIELD_INTERLACED},
        {"SEQ_TB", V4L2_FIELD_SEQ_TB}, {"ALTERNATE", V4L2_FIELD_ALTERNATE}};
    return names;
}

// Splits a line into words; "..." keeps blanks, a '#' outside quotes starts
// a comment.
std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (quoted) {
            if (c == '"')
                quoted = false;
            else
                word += c;
        } else if (c == '"') {
            quoted = any = true;
        } else if (c == '#') {
            break;
        } else if (c == ' ' || c == '\t' || c == '\r') {
            if (any)
                words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any)
        words.push_back(word);
    return words;
}

bool Number(const std::string &text, int64_t &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    value = std::strtoll(text.c_str(), &end, 0);
    return end && *end == 0;
}

bool Flags(const std::vector<std::string> &words, size_t from,
           const std::map<std::string, uint32_t> &names, uint32_t &flags)
{
    flags = 0;
    for (size_t i = from; i < words.size(); ++i) {
        auto it = names.find(words[i]);
        if (it == names.end())
            return false;
        flags |= it->second;
    }
    return true;
}

bool Size(const std::string &text, uint32_t &w, uint32_t &h)
{
    const size_t x = text.find('x');
    int64_t a, b;
    if (x == std::string::npos || !Number(text.substr(0, x), a) || !Number(text.substr(x + 1), b))
        return false;
    w = uint32_t(a), h = uint32_t(b);
    return a > 0 && b > 0;
}

} // namespace

bool FourccFromName(const std::string &name, uint32_t &fourcc)
{
    static const std::map<std::string, uint32_t> names = {
        {"GREY", V4L2_PIX_FMT_GREY},       {"RGB555", V4L2_PIX_FMT_RGB555},
        {"RGB555X", V4L2_PIX_FMT_RGB555X}, {"RGB565", V4L2_PIX_FMT_RGB565},
        {"RGB565X", V4L2_PIX_FMT_RGB565X}, {"BGR24", V4L2_PIX_FMT_BGR24},
        {"RGB24", V4L2_PIX_FMT_RGB24},     {"BGR32", V4L2_PIX_FMT_BGR32},
        {"RGB32", V4L2_PIX_FMT_RGB32},     {"YUYV", V4L2_PIX_FMT_YUYV},
        {"UYVY", V4L2_PIX_FMT_UYVY},       {"YUV422P", V4L2_PIX_FMT_YUV422P},
        {"YUV420", V4L2_PIX_FMT_YUV420},   {"YVU420", V4L2_PIX_FMT_YVU420},
        {"YUV411P", V4L2_PIX_FMT_YUV411P}, {"YUV410", V4L2_PIX_FMT_YUV410},
        {"SRGGB8", V4L2_PIX_FMT_SRGGB8},   {"SBGGR8", V4L2_PIX_FMT_SBGGR8},
        {"SGRBG8", V4L2_PIX_FMT_SGRBG8},   {"SGBRG8", V4L2_PIX_FMT_SGBRG8}};
    auto it = names.find(name);
    if (it == names.end())
        return false;
    fourcc = it->second;
    return true;
}

bool StdFromNames(const std::string &names, uint64_t &std)
{
    std = 0;
    std::stringstream in(names);
    std::string part;
    while (std::getline(in, part, '|')) {
        auto it = StdNames().find(part);
        if (it == StdNames().end())
            return false;
        std |= it->second;
    }
    return std != 0;
}

std::string StdName(uint64_t id)
{
    for (const TCoreStd &s : CoreStds)
        if (s.Id == id)
            return s.Name;
    return "Unknown";
}

bool StdFromCoreName(const std::string &name, uint64_t &id)
{
    for (const TCoreStd &s : CoreStds)
        if (strcasecmp(s.Name, name.c_str()) == 0) {
            id = s.Id;
            return true;
        }
    return false;
}

bool ParseModel(const std::string &text, TModel &m, std::string &error)
{
    m = TModel();
    std::stringstream in(text);
    std::string line;
    int lineNumber = 0;
    auto fail = [&](const std::string &why) {
        error = "line " + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::vector<std::string> w = Words(line);
        if (w.empty())
            continue;
        const std::string &key = w[0];
        const size_t n = w.size();
        int64_t a = 0, b = 0, c = 0, d = 0, e = 0;
        auto text1 = [&](std::string &to) {
            if (n != 2)
                return fail(key + " takes one text");
            to = w[1];
            return true;
        };
        bool ok = true;
        if (key == "profile")
            ok = text1(m.Profile);
        else if (key == "driver")
            ok = text1(m.Driver);
        else if (key == "card")
            ok = text1(m.Card);
        else if (key == "bus-info")
            ok = text1(m.BusInfo);
        else if (key == "video-node-name")
            ok = text1(m.VideoNodeName);
        else if (key == "radio-node-name")
            ok = text1(m.RadioNodeName);
        else if (key == "version") {
            if (n != 4 || !Number(w[1], a) || !Number(w[2], b) || !Number(w[3], c))
                return fail("version takes major minor sublevel");
            m.Version = uint32_t((a << 16) + (b << 8) + std::min<int64_t>(c, 255));
        } else if (key == "capabilities" || key == "device-caps" || key == "radio-device-caps") {
            uint32_t flags;
            if (!Flags(w, 1, CapabilityNames(), flags))
                return fail("unknown capability");
            (key == "capabilities"  ? m.Capabilities
             : key == "device-caps" ? m.DeviceCaps
                                    : m.RadioDeviceCaps) = flags;
        } else if (key == "norms") {
            if (n != 2 || !StdFromNames(w[1], m.Norms))
                return fail("norms takes standard names joined by |");
        } else if (key == "std") {
            TStd s;
            if (n < 3 || !StdFromNames(w[1], s.Id))
                return fail("std takes a standard, its name and an optional largest size");
            s.Name = w[2];
            if (n == 4 && !Size(w[3], s.MaxWidth, s.MaxHeight))
                return fail("bad size");
            m.Stds.push_back(s);
        } else if (key == "std-rule")
            ok = text1(m.StdRule);
        else if (key == "std-busy")
            ok = text1(m.StdBusy);
        else if (key == "std-default") {
            if (n != 2 || !StdFromNames(w[1], m.DefaultStd))
                return fail("std-default takes a standard");
        } else if (key == "input") {
            if (n != 3 || (w[2] != "tuner" && w[2] != "camera"))
                return fail("input takes a name and tuner or camera");
            m.Inputs.push_back({w[1], w[2] == "tuner"});
        } else if (key == "input-status") {
            m.InputStatus = n == 2 && w[1] == "current";
        } else if (key == "format") {
            uint32_t fourcc;
            if (n != 2 || !FourccFromName(w[1], fourcc))
                return fail("unknown pixel format");
            m.Formats.push_back(fourcc);
        } else if (key == "format-default") {
            if (n != 4 || !FourccFromName(w[1], m.DefaultFourcc) ||
                !Size(w[2], m.DefaultWidth, m.DefaultHeight) || !FieldNames().count(w[3]))
                return fail("format-default takes a format, a size and a field");
            m.DefaultField = FieldNames().at(w[3]);
        } else if (key == "size-rule")
            ok = text1(m.SizeRule);
        else if (key == "size-max") {
            if (n != 3 || (w[1] != "625" && w[1] != "525"))
                return fail("size-max takes 625 or 525 and a size");
            if (!Size(w[2], w[1] == "625" ? m.MaxWidth625 : m.MaxWidth525,
                      w[1] == "625" ? m.MaxHeight625 : m.MaxHeight525))
                return fail("bad size");
        } else if (key == "frame-sizes")
            ok = text1(m.FrameSizes);
        else if (key == "parm")
            ok = text1(m.Parm);
        else if (key == "read-buffers") {
            if (n != 2 || !Number(w[1], a))
                return fail("read-buffers takes a number");
            m.ReadBuffers = uint32_t(a);
        } else if (key == "control") {
            // control ID MIN MAX STEP DEFAULT "Name" [integer|boolean] [role] [radio]
            TControl ctl;
            auto it = ControlNames().find(n > 1 ? w[1] : "");
            if (it != ControlNames().end())
                ctl.Id = it->second;
            else if (n > 1 && Number(w[1], e))
                ctl.Id = uint32_t(e);
            else
                return fail("unknown control");
            if (n < 7 || !Number(w[2], a) || !Number(w[3], b) || !Number(w[4], c) ||
                !Number(w[5], d) || c <= 0 || a > b || d < a || d > b)
                return fail("control takes id, min, max, step, default, name");
            ctl.Min = int32_t(a), ctl.Max = int32_t(b), ctl.Step = int32_t(c);
            ctl.Default = int32_t(d);
            ctl.Name = w[6];
            for (size_t i = 7; i < n; ++i) {
                if (w[i] == "boolean")
                    ctl.Type = V4L2_CTRL_TYPE_BOOLEAN;
                else if (w[i] == "integer")
                    ctl.Type = V4L2_CTRL_TYPE_INTEGER;
                else if (w[i] == "radio")
                    ctl.Radio = true;
                else if (w[i] == "brightness" || w[i] == "contrast" || w[i] == "saturation" ||
                         w[i] == "hue")
                    ctl.Role = w[i];
                else
                    return fail("unknown control word " + w[i]);
            }
            m.Controls.push_back(ctl);
        } else if (key == "tuner-tv" || key == "tuner-radio") {
            // tuner-tv "Name" LOW HIGH CAP...
            TTuner t;
            if (n < 4 || !Number(w[2], a) || !Number(w[3], b))
                return fail(key + " takes a name, the range and capabilities");
            t.Name = w[1];
            t.RangeLow = uint32_t(a), t.RangeHigh = uint32_t(b);
            if (!Flags(w, 4, TunerCapabilityNames(), t.Capability))
                return fail("unknown tuner capability");
            if (key == "tuner-tv")
                m.Tv = t, m.HasTuner = true;
            else
                m.Radio = t, m.HasRadio = true;
        } else if (key == "tv-signal")
            ok = text1(m.TvSignal);
        else if (key == "radio-signal")
            ok = text1(m.RadioSignal);
        else if (key == "radio-afc")
            ok = text1(m.RadioAfc);
        else if (key == "tv-audio")
            ok = text1(m.TvAudio);
        else if (key == "video-open-selects-tv")
            m.VideoOpenSelectsTv = n == 2 && w[1] == "yes";
        else if (key == "buffers") {
            // buffers vb2|videobuf MIN PAGES BYTES create-bufs|no-create-bufs
            if (n != 6 || (w[1] != "vb2" && w[1] != "videobuf") || !Number(w[2], a) ||
                !Number(w[3], b) || !Number(w[4], c) ||
                (w[5] != "create-bufs" && w[5] != "no-create-bufs"))
                return fail("buffers takes the API, the minimum, the page and byte limits and"
                            " create-bufs or no-create-bufs");
            m.BufferApi = w[1];
            m.MinBuffers = uint32_t(std::max<int64_t>(1, a));
            m.MaxBufferPages = uint32_t(b), m.MaxBufferBytes = uint64_t(c);
            m.CreateBufs = w[5] == "create-bufs";
        } else if (key == "sequence")
            ok = text1(m.Sequence);
        else if (key == "querystd")
            m.QueryStd = n == 2 && w[1] == "yes";
        else if (key == "bus")
            ok = text1(m.Bus);
        else if (key == "pci") {
            // pci SLOT VENDOR DEVICE SUBVENDOR SUBDEVICE
            if (n != 6 || !Number(w[2], a) || !Number(w[3], b) || !Number(w[4], c) ||
                !Number(w[5], d))
                return fail("pci takes the slot and four ids");
            m.PciSlot = w[1];
            m.PciVendor = uint32_t(a), m.PciDevice = uint32_t(b);
            m.PciSubVendor = uint32_t(c), m.PciSubDevice = uint32_t(d);
        } else if (key == "usb") {
            // usb DEVICE INTERFACE VENDOR PRODUCT "Manufacturer" "Product"
            if (n != 7 || !Number(w[3], a) || !Number(w[4], b))
                return fail("usb takes the device, the interface, two ids and two names");
            m.UsbDevice = w[1], m.UsbInterface = w[2];
            m.UsbVendor = uint32_t(a), m.UsbProduct = uint32_t(b);
            m.UsbManufacturer = w[5], m.UsbProductName = w[6];
        } else if (key == "kernel-driver")
            ok = text1(m.KernelDriver);
        else if (key == "sound") {
            // sound SLOT DRIVER ID "Name"
            if (n != 5)
                return fail("sound takes the place, the driver, the card id and name");
            m.SoundSlot = w[1], m.SoundDriver = w[2], m.SoundId = w[3], m.SoundName = w[4];
        } else {
            return fail("unknown key " + key);
        }
        if (!ok)
            return false;
    }
    lineNumber = 0;
    if (m.Driver.empty() || m.Card.empty() || m.Inputs.empty() || m.Formats.empty() ||
        m.Stds.empty() || !m.DefaultFourcc || m.SizeRule.empty())
        return fail("driver, card, inputs, formats, standards, format-default and size-rule are"
                    " needed");
    if (m.SizeRule != "saa7134" && m.SizeRule != "cx88" && m.SizeRule != "bttv" &&
        m.SizeRule != "em28xx")
        return fail("unknown size-rule " + m.SizeRule);
    if (m.Controls.size() > 32)
        return fail("at most 32 controls");
    if (!m.DefaultStd)
        m.DefaultStd = m.Stds.front().Id;
    return true;
}

bool LoadModel(const std::string &path, TModel &model, std::string &error)
{
    std::ifstream in(path);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!ParseModel(text.str(), model, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

} // namespace emu
