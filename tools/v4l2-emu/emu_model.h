// A driver model of the V4L2 device emulator: what one real card on one
// real driver answers (names, capabilities, inputs, standards, formats and
// sizes, controls, tuner ranges and quirks), read from a model file in
// tools/v4l2-emu/models. The file format is described in
// models/README.md. Plain C++: the preload library links no Qt.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace emu {

// One entry of the driver's own standard table: what S_STD matches against
// and G_STD answers, with the largest capture size the driver allows on it.
struct TStd
{
    uint64_t Id = 0;
    std::string Name;
    uint32_t MaxWidth = 0, MaxHeight = 0;
};

struct TInput
{
    std::string Name;
    bool Tuner = false;
};

struct TControl
{
    uint32_t Id = 0;
    uint32_t Type = 1; // V4L2_CTRL_TYPE_INTEGER
    int32_t Min = 0, Max = 0, Step = 1, Default = 0;
    std::string Name;
    // "brightness", "contrast", "saturation", "hue" when the control changes
    // the picture; empty otherwise.
    std::string Role;
    bool Radio = false; // also offered on the radio node
};

struct TTuner
{
    std::string Name;
    uint32_t Capability = 0;
    uint32_t RangeLow = 0, RangeHigh = 0;
};

struct TModel
{
    std::string Profile; // saa7134, cx88, bttv, em28xx
    std::string Driver, Card, BusInfo;
    uint32_t Version = 0;
    std::string VideoNodeName, RadioNodeName; // sysfs "name" of the nodes
    uint32_t Capabilities = 0, DeviceCaps = 0, RadioDeviceCaps = 0;

    // Standards: the node's tvnorms, the driver's table and how S_STD picks
    // from it ("exact-then-first", "first", "as-given"), the power-on one,
    // and when S_STD is refused with EBUSY ("never", "buffers", "streaming").
    uint64_t Norms = 0;
    std::vector<TStd> Stds;
    std::string StdRule = "as-given";
    uint64_t DefaultStd = 0;
    std::string StdBusy = "never";

    std::vector<TInput> Inputs;
    // The driver fills the current input's status bits in ENUMINPUT.
    bool InputStatus = false;

    std::vector<uint32_t> Formats;
    uint32_t DefaultFourcc = 0;
    uint32_t DefaultWidth = 0, DefaultHeight = 0, DefaultField = 0;
    // TRY_FMT's rule ("saa7134", "cx88", "bttv", "em28xx": each the driver's
    // own try_fmt) and the sizes per line count when the standard table
    // gives none.
    std::string SizeRule;
    uint32_t MaxWidth625 = 0, MaxHeight625 = 0, MaxWidth525 = 0, MaxHeight525 = 0;
    // ENUM_FRAMESIZES: "none" (ENOTTY) or "em28xx" (the scaler's range).
    std::string FrameSizes = "none";
    // G_PARM: "core" (the V4L2 core answers from the standard) or "driver"
    // (the driver answers, with V4L2_CAP_TIMEPERFRAME); S_PARM is never
    // offered by these cards.
    std::string Parm = "core";
    uint32_t ReadBuffers = 2;

    std::vector<TControl> Controls;

    bool HasTuner = false, HasRadio = false;
    TTuner Tv, Radio;
    // Where G_TUNER's signal comes from on the TV tuner: "decoder" (0xffff
    // while the decoder is locked) or "none" (always 0).
    std::string TvSignal = "decoder";
    // The radio tuner's signal ("tuner-simple": 0..0xe000 in 0x2000 steps)
    // and AFC ("tda9887": the demodulator's AFC window in Hz; "none").
    std::string RadioSignal = "tuner-simple";
    std::string RadioAfc = "none";
    // How rxsubchans and the default audmode are reported on TV
    // ("saa7134", "cx88", "bttv", "mono").
    std::string TvAudio = "mono";
    // Opening the video node puts the tuner back into TV mode (saa7134's
    // video_open); opening the radio node always selects radio.
    bool VideoOpenSelectsTv = false;

    // Buffers: "vb2" (one queue per node, owned by the file that allocates)
    // or "videobuf" (a queue per file; the stream is claimed at STREAMON;
    // mapped buffers cannot be freed); the fewest buffers STREAMON needs;
    // the most DMA pages all buffers may take, one page more than each
    // buffer's size (saa7134; 0: no limit); the most bytes all buffers may
    // take (bttv; 0: no limit); CREATE_BUFS offered; sequence numbers count
    // "buffers" (completed buffers) or "frames" (every frame the hardware
    // captured).
    std::string BufferApi = "vb2";
    uint32_t MinBuffers = 1;
    uint32_t MaxBufferPages = 0;
    uint64_t MaxBufferBytes = 0;
    bool CreateBufs = false;
    // QUERYSTD offered (the decoder tells 525 from 625 lines while locked).
    bool QueryStd = false;
    std::string Sequence = "buffers";

    // The sysfs view: the bus ("pci" or "usb"), the PCI function or USB
    // device and interface of the video node, the sound card's place.
    std::string Bus = "pci";
    std::string PciSlot; // "0000:05:01.0"
    uint32_t PciVendor = 0, PciDevice = 0, PciSubVendor = 0, PciSubDevice = 0;
    std::string KernelDriver; // the driver the node's device is bound to
    std::string SoundSlot;    // PCI function or USB interface of the sound card
    std::string SoundDriver;  // the sound card's kernel driver
    std::string SoundId;      // the ALSA card id ("SAA7134")
    std::string SoundName;    // the ALSA card name
    std::string UsbDevice;    // "1-1"
    std::string UsbInterface; // "1-1:1.0"
    uint32_t UsbVendor = 0, UsbProduct = 0;
    std::string UsbManufacturer, UsbProductName;
};

// Parses a model file; false with the line and the reason in `error`.
bool ParseModel(const std::string &text, TModel &model, std::string &error);
bool LoadModel(const std::string &path, TModel &model, std::string &error);

// V4L2 names the model files use ("YUYV", "PAL_BG", "BRIGHTNESS"...).
bool FourccFromName(const std::string &name, uint32_t &fourcc);
bool StdFromNames(const std::string &names, uint64_t &std); // "PAL|SECAM_L"
// The V4L2 core's name of a standard set ("PAL-BG"); the one ENUMSTD gives.
std::string StdName(uint64_t id);
// A standard by its V4L2 core name ("NTSC", "PAL-M", "SECAM-Lc").
bool StdFromCoreName(const std::string &name, uint64_t &id);

} // namespace emu
