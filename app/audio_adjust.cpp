#include "app/audio_adjust.h"

#include <algorithm>

#include <QCoreApplication>

#include "app/line_in_monitor.h"

TAudioAdjustInfo *AudioAdjustInfo = nullptr;

QString LineInMonitorProgram()
{
    return QCoreApplication::applicationDirPath() + "/corvet";
}

namespace {
int LastLineIndex(const QStringList &names)
{
    for (int i = names.size() - 1; i >= 0; --i)
        if (names[i].toLower().contains("line"))
            return i;
    return names.size() - 1;
}
} // namespace

TAudioAdjustInfo::TAudioAdjustInfo(std::unique_ptr<TAudioMixer> mixer) : Mixer(std::move(mixer))
{
    // The monitor belongs to this object: freeing it stops the program.
    auto monitor = std::make_shared<TLineInMonitor>();
    LaunchLineInMonitor = [monitor](const QString &argument) { monitor->Send(argument); };
    if (!Mixer)
        return;

    const int count = Mixer->DeviceCount();
    for (int i = 0; i < count; ++i) {
        TMixerRecord record;
        if (Mixer->SetMixerId(i)) {
            record.ProductName = Mixer->ProductName();
            for (int d = 0; d < Mixer->DestinationCount(); ++d) {
                const TMixerLineInfo info = Mixer->Destination(d);
                if (info.ComponentType == MixerDstSpeakers && record.SpeakerDestination < 0) {
                    record.SpeakerDestination = d;
                    record.SpeakerLines = info.Connections;
                } else if (info.ComponentType == MixerDstWaveIn && record.RecordDestination < 0) {
                    record.RecordDestination = d;
                    record.RecordLines = info.Connections;
                }
            }
        }
        Mixers.push_back(record);
    }

    for (int i = 0; i < count; ++i) {
        const TMixerRecord &r = Mixers[i];
        if (PlaybackMixerIndex < 0 && r.SpeakerDestination >= 0)
            PlaybackMixerIndex = i;
        if (RecordMixerIndex < 0 && r.RecordDestination >= 0 && r.RecordLines > 1)
            RecordMixerIndex = i;
        if (r.SpeakerDestination >= 0 && r.RecordDestination >= 0 && r.RecordLines > 1)
            break;
    }
    HasMixer = PlaybackMixerIndex >= 0 ? 1 : 0;
    if (HasMixer && Mixers[PlaybackMixerIndex].RecordDestination >= 0)
        RecordMixerIndex = PlaybackMixerIndex;
    if (!HasMixer)
        return;

    Mixer->OnChange = [this] { OnMixerChange(); };
    if (OpenPlayback()) {
        const int dst = Mixers[PlaybackMixerIndex].SpeakerDestination;
        int left = -1, right = -1, mute = -1;
        if (Mixer->GetVolume(dst, -1, left, right, mute)) {
            Muted = mute > 0 ? 1 : 0;
            if (left >= 0)
                Volume = left;
        }
        for (int c = 0; c < Mixers[PlaybackMixerIndex].SpeakerLines; ++c)
            SpeakerLineNames << Mixer->Connection(dst, c).Name;
        PlaybackLineIndex = LastLineIndex(SpeakerLineNames);
    }
    if (OpenRecord()) {
        const int dst = Mixers[RecordMixerIndex].RecordDestination;
        for (int c = 0; c < Mixers[RecordMixerIndex].RecordLines; ++c)
            RecordLineNames << Mixer->Connection(dst, c).Name;
        RecordLineIndex = LastLineIndex(RecordLineNames);
        int left = -1, right = -1, mute = -1;
        if (Mixer->GetVolume(dst, RecordLineIndex, left, right, mute) && left >= 0)
            RecordVolume = left;
    }
}

TAudioAdjustInfo::~TAudioAdjustInfo()
{
    OutputChannels = 0;
    if (Mixer)
        Mixer->OnChange = nullptr;
}

bool TAudioAdjustInfo::OpenPlayback()
{
    if (!Mixer || PlaybackMixerIndex < 0)
        return false;
    return Mixer->MixerId() == PlaybackMixerIndex || Mixer->SetMixerId(PlaybackMixerIndex);
}

bool TAudioAdjustInfo::OpenRecord()
{
    if (!Mixer || RecordMixerIndex < 0 || Mixers[RecordMixerIndex].RecordDestination < 0)
        return false;
    return Mixer->MixerId() == RecordMixerIndex || Mixer->SetMixerId(RecordMixerIndex);
}

void TAudioAdjustInfo::DetectLineInMonitor()
{
    if (!Mixer)
        return;
    for (int i = 0; i < int(Mixers.size()); ++i) {
        if (!Mixers[i].ProductName.contains("C-Media Rear"))
            continue;
        if (!Mixer->SetMixerId(i))
            continue;
        const bool threeLines =
            Mixer->DestinationCount() > 1 && Mixer->Destination(1).Connections == 3;
        if (threeLines && Mixers[i].RecordDestination >= 0) {
            UseLineInMonitor = 1;
            LaunchLineInMonitor("on");
            LineInMonitorOn = 1;
            break;
        }
    }
}

void TAudioAdjustInfo::SetMute(bool on)
{
    if (!HasMixer || !OpenPlayback())
        return;
    // The mute alone: writing the volume with it would put back a level
    // that another program changed since the last notification, and undo
    // a one-channel output.
    Mixer->SetMuteLine(Mixers[PlaybackMixerIndex].SpeakerDestination, -1, on);
}

void TAudioAdjustInfo::SetLineMute(bool on)
{
    if (UseLineInMonitor) {
        const uint8_t wanted = on ? 0 : 1;
        if (wanted != LineInMonitorOn) {
            LaunchLineInMonitor(on ? "off" : "on");
            LineInMonitorOn = wanted;
        }
        return;
    }
    if (!HasMixer || !OpenPlayback())
        return;
    if (Mixer->SetMuteLine(Mixers[PlaybackMixerIndex].SpeakerDestination, PlaybackLineIndex, on))
        LineMuted = on ? 1 : 0;
}

void TAudioAdjustInfo::SetVolume(int32_t v)
{
    v = std::clamp(v, 0, 65536);
    if (!HasMixer || !OpenPlayback())
        return;
    Mixer->SetVolume(Mixers[PlaybackMixerIndex].SpeakerDestination, -1, v, v, -1);
    Mixer->SetVolume(0, -1, OutputChannels == 1 ? 0 : v, OutputChannels == 2 ? 0 : v, -1);
}

void TAudioAdjustInfo::SetRecordVolume(int32_t v)
{
    v = std::clamp(v, 0, 65536);
    if (!HasMixer || !OpenRecord())
        return;
    Mixer->SetVolume(Mixers[RecordMixerIndex].RecordDestination, RecordLineIndex, v, v, -1);
}

void TAudioAdjustInfo::SetOutputChannels(uint8_t c)
{
    if (c == OutputChannels)
        return;
    OutputChannels = c;
    if (!HasMixer || !OpenPlayback())
        return;
    int left = -1, right = -1, mute = -1;
    if (!Mixer->GetVolume(Mixers[PlaybackMixerIndex].SpeakerDestination, -1, left, right, mute))
        return;
    SetVolume(left == 0 ? right : left);
}

QString TAudioAdjustInfo::RecordMixerName() const
{
    if (RecordMixerIndex < 0 || RecordMixerIndex >= int(Mixers.size()))
        return QString();
    return Mixers[RecordMixerIndex].ProductName;
}

void TAudioAdjustInfo::OnMixerChange()
{
    if (OpenPlayback()) {
        int left = -1, right = -1, mute = -1;
        if (Mixer->GetVolume(Mixers[PlaybackMixerIndex].SpeakerDestination, -1, left, right, mute)) {
            Muted = mute > 0 ? 1 : 0;
            if (left >= 0)
                Volume = left;
        }
    }
    if (OpenRecord()) {
        int left = -1, right = -1, mute = -1;
        if (Mixer->GetVolume(Mixers[RecordMixerIndex].RecordDestination, RecordLineIndex, left,
                             right, mute) &&
            left >= 0)
            RecordVolume = left;
    }
    if (OnVolumeChanged)
        OnVolumeChanged(this, Volume, Muted != 0);
}
