// The card's device interfaces, as the capture engine asks a filter for
// them (TGraphFilter::Query / TFilterGraph::FindInterface). The V4L2 and the
// virtual filters implement them. Every call returns 0 on success or an errno
// value; ENOTTY means the device does not offer the operation.
#pragma once

#include <cstdint>

#include <QString>

// Physical connector types of crossbar pins.
enum TPhysicalConnector : int {
    PhysConn_Video_Tuner = 1,
    PhysConn_Video_Composite = 2,
    PhysConn_Video_SVideo = 3,
    PhysConn_Video_AUX = 9,
    PhysConn_Video_USB = 11,
    PhysConn_Video_VideoDecoder = 12,
    PhysConn_Audio_Tuner = 0x1000,
    PhysConn_Audio_Line = 0x1001,
    PhysConn_Audio_AudioDecoder = 0x1009,
};

class ICrossbar
{
public:
    virtual ~ICrossbar() = default;
    virtual int GetPinCounts(int &outputs, int &inputs) = 0;
    // related: the index of the audio (or video) pin that belongs to this
    // one, -1 if none.
    virtual int GetCrossbarPinInfo(bool isInput, int index, int &related, int &type) = 0;
    virtual int CanRoute(int output, int input) = 0;
    virtual int Route(int output, int input) = 0;
    virtual int IsRoutedTo(int output, int &input) = 0;
};

// Tuner modes.
enum TTunerMode : int { TunerModeTV = 1, TunerModeFM = 2 };

// Analog video standard bits.
enum : int32_t {
    Std_NTSC_M = 0x1,
    Std_NTSC_M_J = 0x2,
    Std_PAL_B = 0x10,
    Std_PAL_D = 0x20,
    Std_PAL_G = 0x40,
    Std_PAL_H = 0x80,
    Std_PAL_I = 0x100,
    Std_PAL_M = 0x200,
    Std_PAL_N = 0x400,
    Std_SECAM_B = 0x1000,
    Std_SECAM_D = 0x2000,
    Std_SECAM_G = 0x4000,
    Std_SECAM_K = 0x10000,
    Std_SECAM_L = 0x40000,
    Std_525Lines = Std_NTSC_M | Std_NTSC_M_J | Std_PAL_M,
};

// TV audio mode bits.
enum : int32_t {
    TVAudio_Mono = 0x1,
    TVAudio_Stereo = 0x2,
    TVAudio_LangA = 0x10,
    TVAudio_LangB = 0x20,
    TVAudio_LangC = 0x40,
};

struct TTunerStatus
{
    int32_t CurrentFrequency = 0;
    // Signed distance to the carrier in the tuner's own steps: 0 when the
    // carrier is centred.
    int32_t PLLOffset = 0;
    int32_t SignalStrength = 0;
    int32_t Busy = 0;
    // The sound the tuner receives: 1 stereo, 0 mono, -1 when it cannot tell.
    int32_t Stereo = -1;
};

// The TV tuner with its property set (frequency with flags, status, mode
// capabilities, standard).
class ITVTuner
{
public:
    virtual ~ITVTuner() = default;
    virtual int SetMode(int mode) = 0;
    virtual int GetMode(int &mode) = 0;
    virtual int ModeCaps(int mode, int32_t &minHz, int32_t &maxHz) = 0;
    virtual int SetFrequency(int32_t hz, int flags) = 0;
    virtual int GetStatus(TTunerStatus &status) = 0;
    virtual int AvailableStandards(int32_t &standards) = 0;
    virtual int SetStandard(int32_t standard) = 0;
};

class IAnalogVideoDecoder
{
public:
    virtual ~IAnalogVideoDecoder() = default;
    virtual int HorizontalLocked(bool &locked) = 0;
    virtual int AvailableStandards(int32_t &standards) = 0;
    virtual int SetStandard(int32_t standard) = 0;
    virtual int GetStandard(int32_t &standard) = 0;
};

class ITVAudio
{
public:
    virtual ~ITVAudio() = default;
    virtual int GetAvailableModes(int32_t &modes) = 0;
    virtual int GetMode(int32_t &mode) = 0;
    virtual int SetMode(int32_t mode) = 0;
};

// Processing amplifier properties.
enum TProcAmpProperty : int {
    ProcAmp_Brightness = 0,
    ProcAmp_Contrast = 1,
    ProcAmp_Hue = 2,
    ProcAmp_Saturation = 3,
    ProcAmp_Sharpness = 4,
};

class IVideoProcAmp
{
public:
    virtual ~IVideoProcAmp() = default;
    virtual int GetRange(int property, int &min, int &max, int &step, int &defaultValue) = 0;
    virtual int Get(int property, int &value) = 0;
    virtual int Set(int property, int value) = 0;
};

struct TVideoFormat
{
    QString Subtype; // "YUY2", "UYVY", "RGB555", "RGB32"
    int Width = 0;
    int Height = 0;
    // Frames per second as a fraction: 25/1 on 625-line standards,
    // 30000/1001 on 525-line ones.
    int RateNumerator = 25;
    int RateDenominator = 1;
    QString Name() const { return QString("%1 %2x%3").arg(Subtype).arg(Width).arg(Height); }
};

class IStreamConfig
{
public:
    virtual ~IStreamConfig() = default;
    virtual int GetNumberOfCapabilities(int &count) = 0;
    virtual int GetStreamCaps(int index, TVideoFormat &format) = 0;
    virtual int GetFormat(TVideoFormat &format) = 0;
    // Only while the pin is not connected.
    virtual int SetFormat(const TVideoFormat &format) = 0;
};

// The Empia 2800 driver's control object: input select 0 tuner, 1 composite,
// 2 S-Video; audio modes; standard switch 1, 2, 3; opened with a 7-bit value.
class IEmpiaControl
{
public:
    virtual ~IEmpiaControl() = default;
    virtual int Open(int value) = 0;
    virtual bool IsOpen() const = 0;
    virtual int SelectInput(int input) = 0;
    virtual int SetAudioMode(int32_t modes) = 0;
    virtual int SetStandard(int standard) = 0;
};

// The inputs of an audio capture device that can be mixed into its capture
// (line, microphone, CD...), by input pin index.
class IAudioInputMixer
{
public:
    virtual ~IAudioInputMixer() = default;
    virtual int GetEnable(int input, bool &enabled) = 0;
    virtual int PutEnable(int input, bool enable) = 0;
};
