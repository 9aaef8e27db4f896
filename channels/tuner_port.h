// What the channel table needs from the capture engine: its tuner, crossbar
// and standard operations. The live-TV engine implements this and installs itself in
// TunerPort at start-up; until then every operation that needs the card
// reports failure (the channel table checks for a missing port itself).
//
// All calls come from the GUI thread.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

class ITunerPort
{
public:
    virtual ~ITunerPort() = default;

    // True when the card has a tuner at all (composite-only cards do not).
    virtual bool HasTuner() = 0;

    // AnalogVideoStandard bit (0x1 NTSC M ... 0x40000 SECAM L).
    virtual bool SetTVStandard(uint32_t bit) = 0;
    virtual uint32_t TVStandard() = 0;
    virtual QString TVStandardName() = 0;

    // TV frequency in Hz; 0 means 100 MHz. With mute the engine mutes around
    // the tune itself.
    virtual bool TuneChannelFrequency(int32_t frequency, bool mute) = 0;

    // TVAudioMode bits (0x1 mono, 0x2 stereo, 0x10/0x20/0x40 languages A-C;
    // 0x11/0x12 for the Conexant family).
    virtual bool SetTVAudioMode(uint32_t modes) = 0;

    // Tuner country code (international dialling code, 2 for Canada).
    virtual bool SetCountryCode(int32_t code) = 0;

    // Routes the crossbar to a physical connector type: 1 tuner,
    // 2 composite, 3 S-Video, 9 auxiliary.
    virtual bool SetInputType(int32_t connectorType) = 0;

    // FM frequency in Hz.
    virtual bool TuneFM(int32_t frequency) = 0;
    // The tuner's FM band in Hz (after the country overrides).
    virtual int32_t FMMinimum() = 0;
    virtual int32_t FMMaximum() = 0;

    // How many lock readings the tuner takes after each tune (1..10).
    virtual void SetSignalCheckCount(int32_t count) = 0;

    // Stops the graph, renders the preview again and runs it: needed after a
    // standard change on the Conexant and Empia families.
    virtual bool RestartPreview() = 0;

    // The standard switch of the Empia driver's control object:
    // 1 NTSC, 2 NTSC Japan, 3 any other.
    virtual bool EmpiaSetStandard(int32_t value) = 0;

    // One step of a channel scan: tunes the TV frequency (coarsely while
    // coarse tuning is on), waits for the tuner, and reads its PLL offset
    // (-10 when the frequency lies outside the TV band) and the picture
    // lock. False when nothing was tuned.
    virtual bool ScanTune(int32_t frequency, bool &signal, int32_t &pllOffset) = 0;
    virtual void SetCoarseTuning(bool on) = 0;
    // The tuner's TV band in Hz.
    virtual int32_t TVMinimum() = 0;
    virtual int32_t TVMaximum() = 0;
    // The sound input recordings take (the audio capture's input index).
    virtual bool SelectAudioSource(int32_t index) = 0;
};

// Not owned; null while no engine exists.
extern ITunerPort *TunerPort;

// The line mute around a tune. By default the audio settings'
// (AudioAdjustInfo) SetLineMute; tests install their own. An empty function
// restores the default.
void ChannelLineMute(bool mute);
void SetChannelLineMuteFunction(std::function<void(bool mute)> mute);
