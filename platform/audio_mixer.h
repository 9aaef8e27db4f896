// The sound card mixer as the audio settings see it: devices, their
// destination lines (speakers, recording) and each destination's source
// lines, with volume and mute. The ALSA implementation maps simple mixer
// elements onto this shape; a machine without a sound card has no devices.
#pragma once

#include <functional>

#include <QString>

// Component types of destination lines.
enum TMixerComponent : int {
    MixerDstSpeakers = 4,
    MixerDstWaveIn = 7,
};

struct TMixerLineInfo
{
    int ComponentType = 0;
    int Channels = 2;
    int Connections = 0; // source lines of a destination
    QString Name;
};

class TAudioMixer
{
public:
    virtual ~TAudioMixer() = default;

    virtual int DeviceCount() const = 0;
    // Opens device id (ignored when out of range). False when it cannot.
    virtual bool SetMixerId(int id) = 0;
    virtual int MixerId() const = 0; // -1 when none is open
    virtual QString ProductName() const = 0;

    virtual int DestinationCount() const = 0;
    virtual TMixerLineInfo Destination(int destination) const = 0;
    virtual TMixerLineInfo Connection(int destination, int connection) const = 0;

    // connection -1 means the destination's own line. Values the line has
    // no control for stay -1. Volumes are 0..65536.
    virtual bool GetVolume(int destination, int connection, int &left, int &right, int &mute) = 0;
    // mute -1 leaves the mute state alone.
    virtual bool SetVolume(int destination, int connection, int left, int right, int mute) = 0;
    virtual bool SetMuteLine(int destination, int connection, bool mute) = 0;

    // Called on the GUI thread when another program changes a control.
    std::function<void()> OnChange;
};
