// The sound card policy: which mixer device, destination and line carry TV
// sound, the master volume and mute, the TV line's recording level and the
// external line-in monitor. One instance per process (AudioAdjustInfo).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QString>
#include <QStringList>

#include "platform/audio_mixer.h"

class TAudioAdjustInfo
{
public:
    // Takes the mixer (may be null: no mixer) and scans its devices.
    explicit TAudioAdjustInfo(std::unique_ptr<TAudioMixer> mixer = nullptr);
    ~TAudioAdjustInfo();

    void SetMute(bool on);
    void SetLineMute(bool on);
    void SetVolume(int32_t v);
    void SetRecordVolume(int32_t v);
    void SetOutputChannels(uint8_t c);
    QString RecordMixerName() const;

    // Finds a "C-Media Rear" device and, when found, starts the line-in
    // monitor with "on". Run once at start-up after creation.
    void DetectLineInMonitor();

    uint8_t HasMixer = 0;
    int32_t Volume = 0;
    int32_t RecordVolume = 0;
    uint8_t Muted = 0;
    uint8_t LineMuted = 0;
    int32_t PlaybackLineIndex = 0;
    int32_t RecordLineIndex = 0;
    uint8_t OutputChannels = 0; // 0 both, 1 right only, 2 left only
    uint8_t UseLineInMonitor = 0;
    uint8_t LineInMonitorOn = 0;

    struct TMixerRecord
    {
        int SpeakerDestination = -1;
        int RecordDestination = -1;
        int SpeakerLines = 0;
        int RecordLines = 0;
        QString ProductName;
    };
    std::vector<TMixerRecord> Mixers;
    QStringList SpeakerLineNames;
    QStringList RecordLineNames;
    int32_t PlaybackMixerIndex = -1;
    int32_t RecordMixerIndex = -1;

    std::function<void(TAudioAdjustInfo *sender, int32_t volume, bool muted)> OnVolumeChanged;

    // Sends "on" or "off" to the line-in monitor program (by default a
    // child process that this object stops when freed); replaceable for
    // tests.
    std::function<void(const QString &argument)> LaunchLineInMonitor;

private:
    bool OpenPlayback();
    bool OpenRecord();
    void OnMixerChange();

    std::unique_ptr<TAudioMixer> Mixer;
};

// The line-in monitor program (corvet), installed beside the program's binary.
QString LineInMonitorProgram();

extern TAudioAdjustInfo *AudioAdjustInfo;
