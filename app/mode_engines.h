// What the mode machine and the command dispatcher need from the engines,
// the channel table, the sound card and the windows. Each owner implements
// its interface (or an adapter onto it) and installs it in ModeEngines at
// start-up; an engine that is not installed makes the actions that need it
// fail, so a mode change to it never happens and nothing is reported done
// that was not done.
//
// Everything here is called on the GUI thread only. ModeEngines does not own
// the objects it points to.
#pragma once

#include <QDateTime>
#include <QString>

#include "channels/channel_types.h"

// A user recording that has just been stopped.
struct TFinishedRecording
{
    QDateTime Start;
    QDateTime End;
    QString FileName;
    bool AudioOnly = false;
};

// One entry for the done list of the play lists.
struct TDoneRecording
{
    TFinishedRecording Recording;
    int Channel = 0; // 0 when the source was not the tuner
    bool Scheduled = false;
};

// The recording clock's report (once a second while recording).
struct TRecordingProgress
{
    qint64 ElapsedSeconds = 0;
    qint64 FileSize = 0;
    // The engine asks the shell to end the recording.
    bool MustStop = false;
    // Remaining free space in the engine's unit; meaningful with MustStop.
    qint64 FreeSpace = 0;
    // Unattended (scheduled) run: no message boxes.
    bool Quiet = false;
};

// The capture engine's live side: the preview graph and device facts.
class ICaptureEngine
{
public:
    virtual ~ICaptureEngine() = default;
    virtual bool StopPreview() = 0;
    // Starts the preview; buildGraph on the very first start builds the graph.
    virtual bool StartPreview(bool buildGraph) = 0;
    // Re-renders the kept pins and runs the graph again.
    virtual bool RestartPreview() = 0;
    virtual bool LiveSnapshot() = 0;
    virtual bool HasTuner() const = 0;
    virtual bool HasAuxInput() const = 0;
    // The Empia family's vendor input switch (0 tuner, 1 composite, 2 S-Video).
    virtual bool SelectEmpiaInput(int input) = 0;
    virtual int TVFrequency() const = 0;
    // What the tuner itself reports now: its frequency and whether it hears
    // a signal. False without a tuner.
    virtual bool ReadTuner(int32_t &frequency, bool &signal) { return false; }
    // The chosen video device: its name and its node (empty for the
    // virtual card). False while none is chosen.
    virtual bool VideoDevice(QString &name, QString &path) const { return false; }
    // Whether the tuner hears stereo now: 1 stereo, 0 mono, -1 unknown.
    virtual int TunerStereo() { return -1; }
};

class IRecordingEngine
{
public:
    virtual ~IRecordingEngine() = default;
    virtual bool StartRecording() = 0;
    // Fills finished when the recording really ended with a file.
    virtual bool StopRecording(TFinishedRecording *finished) = 0;
    virtual bool IsRecording() const = 0;
    virtual QString FileName() const = 0;
    virtual qint64 ElapsedSeconds() const = 0;
    // Disk space the recording has taken so far; -1 when unknown.
    virtual qint64 UsedBytes() const { return -1; }
};

class IScheduledRecording
{
public:
    virtual ~IScheduledRecording() = default;
    virtual bool StartScheduled() = 0;
    virtual bool StopScheduled() = 0;
};

class ITimeShiftEngine
{
public:
    virtual ~ITimeShiftEngine() = default;
    virtual bool StartTimeShift() = 0;
    virtual bool StopTimeShift() = 0;
    virtual bool PlaybackAllowed() const = 0;
    virtual void TogglePreviewImage() = 0;
};

// Where a playback stands: what the position bars show and scripts read.
struct TPlaybackState
{
    QString FileName; // the file playing (the ".mpv" for time shift)
    int Percent = 0;  // position in percent of the length, 0..100
    qint64 PositionSeconds = 0;
    qint64 DurationSeconds = 0;
    double Rate = 1.0;
    bool Playing = false; // false while paused or stopped at the end
    // Time shift: playback waits at the recorded end for more to arrive.
    bool HeldAtLiveEdge = false;
};

// What file playback and time-shift playback share.
class IPlayback
{
public:
    virtual ~IPlayback() = default;
    // A playback object exists (it is open).
    virtual bool Exists() const = 0;
    virtual bool Close() = 0;
    virtual bool Pause() = 0;
    virtual bool Resume() = 0;
    virtual void Forward() = 0;
    virtual void Backward() = 0;
    virtual void Faster() = 0;
    virtual void Slower() = 0;
    virtual bool Snapshot() = 0;
    // The position bar's seek (0..100); ignored when the file cannot seek.
    virtual void SeekPercent(int percent) {}
    // False when nothing is open.
    virtual bool State(TPlaybackState &state) const { return false; }
};

class IFilePlayback : public IPlayback
{
public:
    virtual bool OpenFile(const QString &fileName) = 0;
    // Plays the play list from its first item; the number of items, or 0 on
    // failure.
    virtual int PlayList() = 0;
    // Frees a playback whose start failed.
    virtual void Free() = 0;
};

class ITimeShiftPlayback : public IPlayback
{
public:
    virtual bool StartPlayback() = 0;
    virtual void ToggleLiveInset() = 0;
    // Plays a kept time-shift file (".mpv", with its ".mpa" when present)
    // from the disk, without a recording behind it; false when it cannot.
    virtual bool PlayStoredFile(const QString &videoFile) { return false; }
};

// The channel preview mosaic of the main window.
class IChannelMosaic
{
public:
    virtual ~IChannelMosaic() = default;
    virtual bool HasMarkedChannels() const = 0;
    virtual bool EnterMosaic() = 0;
    virtual bool LeaveMosaic() = 0;
    virtual void TakeSelectedCell() = 0;
    // A key as in the mosaic (virtual-key code: 13 Enter, 37 Left, 39 Right).
    virtual void MosaicKey(int key) = 0;
};

class IFMRadio
{
public:
    virtual ~IFMRadio() = default;
    virtual bool EnterFMMode() = 0;
    virtual bool LeaveFMMode() = 0;
    // Seeks, or stops a running seek.
    virtual void SeekUp() = 0;
    virtual void SeekDown() = 0;
    virtual void StepUp() = 0;
    virtual void StepDown() = 0;
    virtual int FMFrequency() const = 0;
    // A seek is running; StopSeek ends it after its current step.
    virtual bool Seeking() const = 0;
    virtual void StopSeek() = 0;
    // The FM band the tuner covers, in Hz; false when it is not known.
    virtual bool Band(int32_t &low, int32_t &high) const { return false; }
};

// The channel table's operations as the shell uses them.
class IChannelControl
{
public:
    virtual ~IChannelControl() = default;
    virtual bool Scanning() const = 0;
    virtual void AbortScan() = 0;
    // Scans the antenna or cable band; returns when the scan has ended.
    virtual bool ScanBand() = 0;
    virtual uint8_t Source() const = 0;
    virtual uint8_t Band() const = 0;
    virtual int CurrentNumber() const = 0;
    // Text of the last channel change.
    virtual QString ChannelText() const = 0;
    virtual void SetChannel(int number) = 0;
    virtual void NextChannel() = 0;
    virtual void PreviousChannel() = 0;
    virtual void RecallChannel() = 0;
    // Tuner with the band (SetMode, SetSource(0), the band's standard) and
    // re-tunes the current number.
    virtual bool SelectBand(uint8_t band) = 0;
    // Composite, S-Video (with their standards) or camera; false when the
    // routing failed.
    virtual bool SelectInput(uint8_t source) = 0;
    virtual uint8_t AudioMode() const = 0;
    virtual uint8_t VideoStandard() const = 0;
    virtual bool SetAudioMode(uint8_t mode) = 0;
    // Stores the mode in the current antenna or cable entry.
    virtual void StoreAudioMode(uint8_t mode) = 0;
    // Puts back the source, band and channel saved on entering FM.
    virtual void RestoreState() = 0;
    // Restores the stored source and channel as at start.
    virtual void RestoreStoredSource() = 0;
};

// The sound card's output.
class IAudioControl
{
public:
    virtual ~IAudioControl() = default;
    virtual bool HasMixer() const = 0;
    virtual int32_t Volume() const = 0;
    virtual bool Muted() const = 0;
    virtual void SetVolume(int32_t volume) = 0;
    virtual void SetMute(bool on) = 0;
    virtual void SetLineMute(bool on) = 0;
};

class IPlayLists
{
public:
    virtual ~IPlayLists() = default;
    virtual void AddDoneItem(const TDoneRecording &item) = 0;
};

class IShellControl;

struct TModeEngines
{
    ICaptureEngine *Capture = nullptr;
    IRecordingEngine *Recording = nullptr;
    IScheduledRecording *Scheduled = nullptr;
    ITimeShiftEngine *TimeShift = nullptr;
    IFilePlayback *FilePlayback = nullptr;
    ITimeShiftPlayback *TimeShiftPlayback = nullptr;
    IChannelMosaic *Mosaic = nullptr;
    IFMRadio *FM = nullptr;
    IChannelControl *Channels = nullptr;
    IAudioControl *Audio = nullptr;
    IPlayLists *PlayLists = nullptr;
    IShellControl *Shell = nullptr;
};

extern TModeEngines ModeEngines;
