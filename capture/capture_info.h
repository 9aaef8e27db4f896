// The capture engine: one instance (CaptureInfo), created at start-up after
// the languages and living until exit. It owns one filter graph in capture
// mode, the five device holders, the optional filters and every pin and
// interface of the card kept between operations. GUI thread only.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "capture/capture_settings.h"
#include "capture/sample_grabber.h"
#include "platform/device_interfaces.h"
#include "platform/filter_graph.h"

class IVideoWindow;

class TCaptureInfo : public TCaptureSettings
{
public:
    // Runs CreateGraphObjects and ResetCaptureSettings, then deletes the
    // time-shift files of the capture folder.
    TCaptureInfo();
    virtual ~TCaptureInfo();
    TCaptureInfo(const TCaptureInfo &) = delete;
    TCaptureInfo &operator=(const TCaptureInfo &) = delete;

    virtual void CreateGraphObjects();
    // Safe to run twice.
    virtual void FreeGraphObjects();
    void ResetCaptureSettings();

    // Binds the card's holders; false when there is no usable video device
    // or crossbar (start-up then shows message 1000).
    bool SelectDevices();
    // The first video device that looks like a supported card; 0 if none.
    int FindDefaultVideoDevice();

    // The time-shift files: "ts0.mpv" in CapturePath, the same name ending
    // in "a" and the time index beside it.
    static QStringList TimeShiftFiles();

    // Graph and holders ("TVTuner", "TVAudio", "Crossbar", "VCapture",
    // "ACapture"). TVAudio is null after SelectDevices found no TV audio.
    std::unique_ptr<TFilterGraph> FilterGraph;
    std::unique_ptr<TFilter> TVTuner, TVAudio, Crossbar, VCapture, ACapture;

    // Optional filters, created on demand by the graph builders.
    TFilterPtr SmartTee, SmartTeeAudio, InfTee, Deinterlacer, OverlayMixer, VideoEncoder,
        Multiplexer, AudioEncoder, VideoDecoder, FileWriter;

    // Pins and interfaces kept between operations; they belong to the
    // graph's filters and are forgotten by FreeGraphObjects.
    TPin *PreviewPin = nullptr;
    TPin *CapturePin = nullptr;
    TPin *CapturePin2 = nullptr;
    TPin *VBIPin2 = nullptr;
    TPin *AudioCapturePin = nullptr;
    IStreamConfig *StreamConfig = nullptr;
    ITVTuner *Tuner = nullptr;
    ITVAudio *TVAudioControl = nullptr;
    IAnalogVideoDecoder *VideoDecoderControl = nullptr;

    // Capability flags.
    uint8_t HasTuner = 1;
    uint8_t HasAuxInput = 0;
    uint8_t FMMode = 0;
    uint8_t HasPreviewPin = 0;
    uint8_t HasCapturePin = 0;
    uint8_t HasAudioCapture = 0;
    uint8_t HasVBIPin = 0;
    uint8_t Capturing = 0;
    uint8_t Quiet = 0;
    uint8_t AudioPath = 0;

    // Device and format lists.
    QStringList VideoDeviceNames, VideoFormatNames, AudioDeviceNames, AudioFormatNames,
        AudioSourceNames, CrossbarInputNames;
    std::vector<TVideoFormat> VideoFormats;
    // The video device SelectDevices chose (its index in VideoDeviceNames).
    int ChosenVideoIndex = -1;
    // The audio device of the same card as the chosen video device (its
    // index in AudioDeviceNames), -1 when the card has none of its own.
    int PairedAudioIndex = -1;

    // Tuner and crossbar state.
    int32_t TVMinFrequency = 100000;
    int32_t TVMaxFrequency = 870000000;
    int32_t TVFrequency = 76000000;
    int32_t FMMinFrequency = 76000000;
    int32_t FMMaxFrequency = 108000000;
    int32_t FMStep = 50000;
    int32_t TVPLLOffset = 0;
    uint8_t HasSignal = 0;
    uint8_t CoarseTuning = 0;
    int32_t InputType = 2;
    int32_t InputCount = 0;

    // Tuner, standards and crossbar
    // (capture/tuner_control.cpp, capture/input_control.cpp). GUI thread
    // only; the waits of tuning go through GuiWait (platform/gui_wait.h), so
    // the windows keep painting and tests never sleep.

    // State. TVStandard is an AnalogVideoStandard bit (0: none set yet).
    uint8_t SeekActive = 0;
    int32_t TVStandard = 0;
    QString TVStandardName;
    int32_t TVAudioModes = 0;
    // The channel table's tuner country code. V4L2 tuners take frequencies
    // in Hz, so it never changes what is tuned.
    int32_t TunerCountryCode = 0;
    // Lock readings per TV tune; 0 takes the identified family's count
    // (TMainInfo::SignalCheckCount).
    int32_t SignalCheckCount = 0;
    int32_t SignalChecks() const;

    // Made by the preview build (AttachCrossbar, AttachVideoSignalAdjust).
    std::shared_ptr<class TCrossbar> CrossbarObject;
    std::shared_ptr<class TVideoSignalAdjust> VideoSignalAdjust;

    bool TuneTV(int32_t frequency, bool pauseGraph);
    bool TuneChannelFrequency(int32_t frequency, bool mute);
    bool TuneFM(int32_t frequency);
    // FMFrequency +/- FMStep, in FM mode only.
    bool FMFrequencyUp();
    bool FMFrequencyDown();
    // Runs on the caller's thread until a station is found, a full turn is
    // made or SeekActive is cleared (pending events are handled between
    // steps, so the shell's seek command can clear it).
    bool SeekFM(int32_t start, int32_t step, bool up);
    bool SeekFMUp() { return SeekFM(FMFrequency, 100000, true); }
    bool SeekFMDown() { return SeekFM(FMFrequency, 100000, false); }
    // Called between the steps of a seek; empty: QCoreApplication's pending
    // events (user input included) are processed.
    std::function<void()> OnSeekStep;
    bool SetFMMode(bool on);

    bool SetTVStandard(int32_t bit);
    static bool Is525Line(int32_t bit);
    // The current standard's line count; before any standard was set, the
    // decoder's own standard.
    bool Is525Line();
    // The standard's name; empty for a bit the program does not know.
    static QString StandardName(int32_t bit);
    bool SetTVAudioMode(int32_t modes);
    bool SetCountryCode(int32_t code);
    // TV and FM limits from the tuner, with the locale country's FM band;
    // false without a tuner.
    bool ReadTunerRanges();
    bool SelectAudioSource(int32_t index);

    // Crossbar and picture controls, called by the preview build: the
    // paths through the crossbar upstream of the capture filter (fills
    // InputCount and CrossbarInputNames), and the capture filter's
    // processing amplifier with the stored adjustments applied.
    bool AttachCrossbar(TGraphFilter *crossbar);
    bool AttachVideoSignalAdjust(TGraphFilter *capture);
    bool SetInputType(int32_t type);
    // The Empia 2800 control object's input for the current InputType.
    void ReselectEmpiaInput();

    // The preview builder's operations these need. ReapplyPreviewSize:
    // stop, remove downstream, ApplyPreviewSize, render the preview video,
    // run (a TV standard changed the line count). RerenderPreviewHook:
    // RerenderPreview (FM mode switched). Unset: the step fails.
    std::function<bool()> ReapplyPreviewSize;
    std::function<bool()> RerenderPreviewHook;

    // Recording clock and counters.
    std::unique_ptr<QTimer> RecordTimer;
    int64_t ElapsedSeconds = 0;
    int64_t StartFreeSpace = 0;
    int64_t UsedSpace = 0;
    int32_t MPEGAudioBitRate = 224000;
    int32_t MPEGAudioChannels = 2;
    int32_t MPEGAudioSampleRate = 48000;
    double AudioMixLevel = 0.7;

    // Preferred device names, copied from the OEM record at reset.
    QString OEMVideoDeviceName, OEMTunerName, OEMTVAudioName, OEMCrossbarName;

    // Set by the start-up code right after creation. OnRecordTick: the
    // clock's report (stop requested, time shifting, free bytes above
    // MinFreeSpace, used bytes, elapsed seconds), once a second.
    std::function<void(bool stop, bool timeShift, int64_t freeAboveMinimum, int64_t used,
                       int64_t elapsed)>
        OnRecordTick;
    std::function<void(bool ready)> OnTimeShiftReady;
    std::function<void()> OnVideoWindowCreated;
    std::function<void(int32_t frequency, bool signal)> OnFMTuned;

    // The audio device name kept by the audio settings (the 713x case of
    // SelectDevices). Defaults to the audio settings object's record mixer.
    std::function<QString()> RecordMixerName;

    // Preview graph
    // Builders and the video window (capture/preview_graph.cpp,
    // capture/wis_preview.cpp). GUI thread; every numbered message and text is
    // shown only when Quiet is 0.
    virtual bool ConnectTuner();
    virtual bool BuildPreview();
    virtual bool RerenderPreview();
    virtual bool RenderAudioPath(bool withTee, bool captureCategory, int path);
    virtual bool RenderWisVideo(int kind);
    virtual bool BuildWisPreview();
    virtual bool RerenderWisPreview();
    bool RenderPreviewVideo(bool grabber, bool deinterlace, bool overlay);
    void ApplyPreviewSize(bool highQuality);
    bool SetVideoFormat(int kind, int width, int height);
    bool SetWisVideoFormat(int format, int width, int height);
    void RemoveDownstream(TPin *pin);
    void CreateVideoWindow();
    // build: BuildPreview (BuildWisPreview) and run; else re-render and run.
    bool StartPreview(bool build);
    bool RunGraph();
    bool StopGraph();
    bool ReselectDevices();
    // An error of the running graph (a card that went away, a stream that
    // broke): logged with the device, the graph stopped, message 1002 shown
    // with the device and the system's text (unless Quiet). Held back while
    // a wait runs; an error of a run that has ended since is ignored.
    void GraphFailed(const TGraphError &error);
    // The error's place for the user: the device node the element names,
    // else the card's name for its capture filter, else the filter or
    // element; logged with GStreamer's debug text.
    QString GraphErrorPlace(const TGraphError &error) const;
    // Set when a failed card ended a recording: the preview is not run again
    // on it (StartPreview(false) leaves the graph stopped) until the devices
    // are chosen again (StartPreview(true), ReselectDevices).
    bool CardFailed = false;
    // Routes the crossbar's audio outputs (audio path 1); false when a
    // route the card needs was refused.
    bool RouteCrossbarAudio();
    // Picture-in-picture placement of the video window in its owner.
    void SetPictureInPicture(bool on);
    // The grabber and the video window, freed before the graph.
    void FreePreviewObjects();
    // The steps the two builders share: activation, tuner, Smart Tee and
    // pins (false: ConnectTuner failed); stream config, tuner interfaces,
    // crossbar and picture controls (the build's result).
    bool BuildPreviewPins(bool wis);
    bool FinishPreviewBuild();
    // A format change on the capture filter, whose connected pins are taken
    // off their downstream filters for it and put back; 0 or the error.
    int SetCaptureFormat(const TVideoFormat &format);

    // Snapshots (capture/snapshot_capture.cpp): the frame on screen now, put
    // in front of the snapshot store. False, and the store unchanged, when
    // there is no frame to take: no tap in the picture's path (the Wis
    // family's decoded preview carries none), a stopped graph, no frame yet,
    // or no store.
    virtual bool TakeSnapshot();

    // Made by CreateVideoWindow through the video window host the shell
    // installed (platform/video_output.h). Freed by the engine, or first by
    // the window's owner, which clears it.
    IVideoWindow *VideoWindow = nullptr;
    // The frame tap of the running preview; a new one per preview render.
    std::unique_ptr<TSampleGrabberEx> Grabber;
    // USB audio device of audio path 2; the infinite tee's output kept for
    // recording the sound of audio path 1.
    std::unique_ptr<TFilter> USBAudio;
    TPin *AudioTeeCapturePin = nullptr;
    // Capture pin media type indices (-1: not offered) and the kind chosen.
    int UYVYIndex = -1, YUY2Index = -1, RGB555Index = -1, RGB32Index = -1;
    int ColorFormatKind = 0; // 0 YUY2, 1 UYVY, 2 VideoFormatIndex, 3 RGB555, 4 RGB32
    bool PictureInPicture = false;
    // Filters found by friendly name (ContainsText, first match); tests
    // replace it to take names away.
    std::function<TFilterPtr(const QString &name)> FindFilter;

    // Recording and time shift (capture/recording_graph.cpp,
    // capture/recording_control.cpp, capture/timeshift_recording.cpp). GUI
    // thread only.
    static constexpr int64_t MinFreeSpace = 500000;
    enum TRecordKind { KindMPEG1 = 0, KindMPEG2, KindMPEG4, KindAVI, KindWave, KindMP3, KindTimeShift };
    // 0 normal recording, 1 time shift.
    uint8_t RecordPurpose = 0;
    uint8_t TimeShiftReady = 0;
    QString CaptureFileName;
    // When the running recording started (local time).
    QDateTime RecordStartTime;
    // The write error that ended the running recording (empty: none).
    QString RecordWriteError;
    int RecordKind() const;
    static QString RecordExtension(int kind);
    // The folder recordings of the current mode go to (FMCapturePath in FM
    // mode), with a trailing "/".
    QString RecordFolder() const;
    QString BuildCaptureFileName(bool numbered, const QString &base, int kind) const;
    // A normal recording (RecordPurpose := 0); on failure the recording
    // graph is stopped and the caller re-renders the preview.
    bool StartRecording();
    bool StopRecording();
    bool BuildRecording();
    bool BuildWisRecording();
    // A graph error that is not the recording's own (the card went away)
    // while recording: the graph is stopped so that the file is finished,
    // the shell is asked to end the recording, and message 1002 names the
    // device. Run outside waits.
    void RecordingSourceFailed(const TGraphError &error);
    // One tick of the recording clock (the timer calls it every second).
    void RecordTick();
    // Free bytes for the caller on the folder's file system (statvfs); -1
    // when it cannot be read. Tests replace it.
    std::function<int64_t(const QString &folder)> DiskFreeBytes;
    static int64_t FileSystemFreeBytes(const QString &folder);
    // The shell's FM panel is showing (FM recordings go to FMCapturePath);
    // unset: the engine's FM mode decides.
    std::function<bool()> FMPanelVisible;

    // Time shift: the recording block saved before and restored after.
    void SaveCaptureSettings();
    void RestoreCaptureSettings();
    bool StartTimeShift();
    // Stops the time-shift recording; `deleteFile` (no SaveTimeShiftResult)
    // deletes the file, its companion and its time index.
    bool StopTimeShift();
    bool TimeShiftRecording() const { return Capturing && RecordPurpose == 1; }
    // Every file of one time-shift recording: the file, its companion (the
    // name ending in "a") and the time index beside the file.
    static QStringList TimeShiftCompanions(const QString &file);

private:
    // Starts the graph built for RecordPurpose; shared by both starts.
    bool StartRecordingGraph();
    void OnRecordGraphError(const TGraphError &error);
    // Takes the recording's encoder, multiplexer and writer out of the graph.
    void DropRecordingFilters();
    void UnhookGraphError();
    TCaptureSettings SavedCaptureBlock;
    std::function<void(const TGraphError &)> PreviousGraphError;
    bool GraphErrorHooked = false;

    // One pass of SelectDevices; `retry` is set when a second pass with
    // device 0 should follow.
    bool SelectDevicesPass(bool secondPass, bool &retry);
    void DeleteTimeShiftFiles();
};

extern TCaptureInfo *CaptureInfo;
