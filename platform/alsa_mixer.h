// The sound card mixer on ALSA's simple mixer. Devices are the "default"
// control device (a sound server's, so PulseAudio and PipeWire desktops get
// their volume) and then every card snd_card_next lists. Each device shows
// at most two destinations:
//
//   speakers (MixerDstSpeakers): its own line is "Master" (else the first
//     element with a playback volume); its source lines are the other
//     elements with a playback volume. A playback switch is the line's mute.
//   recording (MixerDstWaveIn): its own line is "Capture" (capture volume,
//     capture switch as mute); its source lines are, in this order of
//     preference, the items of a capture source enumeration ("Input Source"),
//     which is the destination's multiplexer; elements whose capture switches
//     are exclusive (ALSA's rendering of a "Capture Source" enumeration),
//     also a multiplexer; or elements with plain capture switches, which act
//     as the destination's mixer control (each source on or off).
//
// Everything runs on the GUI thread; change notifications come from the
// mixer's poll descriptors through QSocketNotifier.
#pragma once

#include <memory>
#include <vector>

#include <QStringList>

#include "platform/audio_mixer.h"

class QObject;
class QSocketNotifier;
typedef struct _snd_mixer snd_mixer_t;
typedef struct _snd_mixer_elem snd_mixer_elem_t;

struct TMixerCloser
{
    void operator()(snd_mixer_t *mixer) const;
};
using TMixerHandle = std::unique_ptr<snd_mixer_t, TMixerCloser>;

// "default" first when it is not simply a card's hw device (a card is
// listed anyway), then "hw:N" for every card.
QStringList SystemMixerDevices();

class TAlsaMixer : public TAudioMixer
{
public:
    // The system's devices.
    TAlsaMixer();
    // These ALSA control device names, in this order.
    explicit TAlsaMixer(const QStringList &devices);
    ~TAlsaMixer() override;
    TAlsaMixer(const TAlsaMixer &) = delete;
    TAlsaMixer &operator=(const TAlsaMixer &) = delete;

    int DeviceCount() const override { return int(Devices.size()); }
    bool SetMixerId(int id) override;
    int MixerId() const override { return OpenId; }
    QString ProductName() const override { return Product; }
    QString DeviceName() const { return OpenId >= 0 ? Devices[OpenId] : QString(); }

    int DestinationCount() const override { return int(Destinations.size()); }
    TMixerLineInfo Destination(int destination) const override;
    TMixerLineInfo Connection(int destination, int connection) const override;

    bool GetVolume(int destination, int connection, int &left, int &right, int &mute) override;
    bool SetVolume(int destination, int connection, int left, int right, int mute) override;
    bool SetMuteLine(int destination, int connection, bool mute) override;

    // Whether change notifications are being watched (a device is open and
    // gave poll descriptors).
    bool Watching() const { return !Notifiers.empty(); }

private:
    enum class TSelect
    {
        None,
        Multiplexer,
        Mixer
    };
    struct TLine
    {
        TMixerLineInfo Info;
        snd_mixer_elem_t *Element = nullptr; // null: no element of its own
        bool Capture = false;                // capture or playback controls
        int Item = -1;                       // item of the multiplexer enumeration
    };
    struct TDest
    {
        TLine Own;
        std::vector<TLine> Sources;
        TSelect Select = TSelect::None;
        snd_mixer_elem_t *Enumeration = nullptr; // multiplexer as an enumeration
    };

    bool Open(int id);
    void Close();
    void BuildDestinations();
    const TLine *LineAt(int destination, int connection) const;
    bool ReadVolume(const TLine &line, int &left, int &right) const;
    bool WriteVolume(const TLine &line, int left, int right);
    // -1: the line has no mute of its own nor a selector that decides.
    int ReadMute(const TDest &dest, const TLine &line) const;
    bool WriteMute(const TDest &dest, const TLine &line, bool mute);
    // Handles the events waiting on the descriptors; true when any was.
    bool Drain();
    void NotifyLater();
    void Notify();

    QStringList Devices;
    int OpenId = -1;
    QString Product;
    TMixerHandle Handle;
    std::vector<TDest> Destinations;
    std::unique_ptr<QObject> Context; // owns the notifiers, guards queued calls
    std::vector<QSocketNotifier *> Notifiers;
    bool ChangePending = false;
};
