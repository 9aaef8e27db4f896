// The virtual capture card: a complete simulated card (capture, crossbar,
// tuner with TV and FM, TV audio, audio capture, processing amplifier) that
// the device enumeration always lists after the real devices. Its filters are
// real GStreamer sources (platform/virtual_filters.cpp); this file holds the
// card's state, which those filters follow while they run.
//
// Threads: the state is changed and read on the GUI thread only; the
// filters turn changes into element properties from the observer callbacks.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <vector>

#include <QString>

#include "platform/device_interfaces.h"

enum class TVirtualProfile { SAA7134, Conexant88X, EM2820, EM2800, Wis };

// Chooses the profile by name ("saa7134", "cx88", "em2820", "em2800",
// "wis", case-insensitive; also the friendly chip words "Conexant 88X" ...).
// False, and the profile unchanged, for an unknown name.
bool SetVirtualCardProfile(const QString &name);
TVirtualProfile VirtualCardProfile();
// The profile names SetVirtualCardProfile takes, for the usage text.
QStringList VirtualProfileNames();
QString VirtualProfileName(TVirtualProfile profile);
// The words every friendly name of the card starts with, for example
// "Lyra Virtual Philips SAA7134".
QString VirtualCardBaseName();

struct TVirtualStation
{
    bool FM = false;
    int32_t Frequency = 0;
    int ToneHz = 440;
    int32_t AudioModes = TVAudio_Mono;
    QString Pattern = "smpte";
    QString Name;
};

// Parses the stations file; lines that do not parse are reported in
// `errors` (one text per line) and skipped.
std::vector<TVirtualStation> ParseVirtualStations(const QByteArray &text, QStringList *errors);

// Crossbar inputs of the card, in pin order.
enum TVirtualInput : int { InputTuner = 0, InputComposite = 1, InputSVideo = 2, InputCamera = 3 };

class TVirtualCard
{
public:
    static TVirtualCard &Instance();

    // Reads "VirtualStations.txt" from the program folder, else from the
    // shipped data. Called on first use; tests call it with their own file.
    bool LoadStations(const QString &path = {}, QString *error = nullptr);
    std::vector<TVirtualStation> Stations;

    // Tuner.
    int Mode = TunerModeTV;
    int32_t TVFrequency = 55250000;
    int32_t FMFrequency = 100000000;
    int32_t Standard = Std_PAL_B;
    int Input = InputTuner;
    int32_t AudioMode = TVAudio_Mono;
    std::map<int, int> ProcAmp; // property -> value

    // Ranges.
    static constexpr int32_t TVMin = 44000000, TVMax = 958000000;
    static constexpr int32_t FMMin = 76000000, FMMax = 108000000;
    static constexpr int32_t CentreWindow = 125000, LockWindow = 1500000;
    static constexpr int32_t FMCentreWindow = 25000, FMLockWindow = 100000;
    // The tuner's PLL step used to express the offset.
    static constexpr int32_t OffsetStep = 375000;

    // Misbehaviour on request (tests): never lock, refuse FM mode, refuse
    // the standards whose bits are set; Stall: deliver no frames or sound
    // (read on the streaming threads, hence atomic).
    struct TFaults
    {
        bool NoLock = false;
        bool RefuseFM = false;
        int32_t RefusedStandards = 0;
    } Faults;
    std::atomic<bool> Stall{false};
    // Frames woven from two fields a field time apart, as a real card's
    // interlaced frames are, so that moving pictures comb until they are
    // de-interlaced. Read when a capture filter is made.
    bool Interlaced = false;

    int32_t Frequency() const { return Mode == TunerModeFM ? FMFrequency : TVFrequency; }
    // The station the tuner is locked to (null: none, or not on the tuner).
    const TVirtualStation *LockedStation() const;
    TTunerStatus Status() const;
    // Picture lock: a station within the lock window, or an external input.
    bool Locked() const;
    int32_t AvailableAudioModes() const;

    int SetMode(int mode);
    int SetFrequency(int32_t hz);
    int SetStandard(int32_t standard);
    int SetInput(int input);
    int SetAudioMode(int32_t mode);
    int SetProcAmp(int property, int value);
    static bool ProcAmpRange(int property, int &min, int &max, int &step, int &def);

    // Back to the start state (tests), stations kept.
    void Reset();

    // Observers are told after every change; the id unsubscribes.
    int Subscribe(std::function<void()> observer);
    void Unsubscribe(int id);
    void Changed();

private:
    TVirtualCard();
    std::map<int, std::function<void()>> Observers;
    int NextObserver = 1;
    bool StationsLoaded = false;
};

// The Empia 2800 control object of the virtual EM2800 profile.
class TVirtualEmpiaControl : public IEmpiaControl
{
public:
    int Open(int value) override;
    bool IsOpen() const override { return Opened; }
    int SelectInput(int input) override;
    int SetAudioMode(int32_t modes) override;
    int SetStandard(int standard) override;

private:
    bool Opened = false;
};
