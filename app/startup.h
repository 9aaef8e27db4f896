// How the program comes up and goes down: arguments, single instance,
// the two start-up stages and the orderly shutdown.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

struct TCaptureSettings;
class TAudioMixer;
class IVideoWindow;

// The command line. Arguments beginning with "--" are Lyra's own options and
// never count as argument 1.
struct TStartArguments
{
    QString Argument1;     // as given
    QString ProgramFolder; // --program-folder DIR
    QString VirtualCard;   // --virtual-card=PROFILE
    QString Error;         // a bad option, for the usage text
    bool Help = false;     // --help
    bool Version = false;  // --version

    bool ScheduledTV() const { return Argument1.compare("srec_tv", Qt::CaseInsensitive) == 0; }
    bool ScheduledFM() const { return Argument1.compare("srec_fm", Qt::CaseInsensitive) == 0; }
    bool StartFM() const { return Argument1.compare("fm", Qt::CaseInsensitive) == 0; }
    // Any other argument 1 is a file to play, as a full path (empty when
    // argument 1 is one of the three words or missing).
    QString FileToPlay() const;
};

TStartArguments ParseArguments(const QStringList &arguments);
extern TStartArguments StartArguments;

// The subsystems the start-up code drives. Each is installed by the module
// that owns it; one that is missing makes its step fail (or, for the
// optional ones, skipped), never pretend to succeed.
struct TStartupHooks
{
    // Module initialisation and finalisation.
    std::function<void()> CreateHotkeys;
    std::function<void()> FreeHotkeys;
    // The sound card mixer for the audio settings; null: no mixer.
    std::function<std::unique_ptr<TAudioMixer>()> CreateMixer;
    // The windows: splash, the main window, a plain message box for the
    // version gate. Installed by the window module.
    std::function<void()> ShowSplash;
    std::function<void()> RefreshSplash;
    std::function<void()> HideSplash;
    std::function<void()> ShowMainWindow;
    std::function<void()> CloseMainWindow;
    std::function<void(const QString &text)> ShowPlainMessage;
    // Stage 1. The windows take the new engine's video window and frames
    // once it exists, and let go of it before it is freed.
    std::function<bool()> CreateCaptureEngine;
    std::function<void()> AttachEngineToWindows;
    std::function<void()> DetachEngineFromWindows;
    std::function<TCaptureSettings *()> CaptureSettings;
    std::function<void()> CaptureDefaults;
    std::function<bool()> SelectDevices;
    std::function<void()> CreateSkin;
    // Stage 2.
    std::function<bool()> CreateFMPanel;
    std::function<bool(int mode)> SetAppMode;
    std::function<void(int command)> ExecuteCommand;
    std::function<bool()> HasTuner;
    std::function<bool()> HasAuxInput;
    std::function<void()> LoadChannelSettings;
    std::function<void()> ApplyStoredStandard;
    std::function<bool()> ChannelTableUnconfigured;
    std::function<void()> RunFirstRunWizard;
    // Restores the stored source and channel (tuner bands, inputs).
    std::function<void(bool hasTuner)> RestoreSource;
    std::function<void(bool visible)> ShowTunerItems;
    std::function<void(bool visible)> ShowCameraItem;
    std::function<bool()> FMPanelVisible;
    std::function<void()> ShowTVPanel;
    std::function<void()> PlaceFMPanel;
    std::function<void()> ApplyMenuLanguage;
    std::function<void()> ApplyPanelLanguage;
    std::function<void(bool allowed)> AllowOSD;
    // A playback's video window joins (attached) or leaves the main window,
    // which then shows it in place of the live picture, or the live picture
    // again.
    std::function<void(IVideoWindow *window, bool attached)> PlaybackVideoWindow;
    // Messages from other processes.
    std::function<void(int command)> HandleRemoteCommand;
    std::function<QByteArray()> RemoteStatus;
    // Shutdown.
    std::function<bool()> SaveChannelSettings;
    std::function<void()> FreeSnapshotStore;
    std::function<void()> FreeCaptureEngine;
    std::function<void()> FreeSkin;
};
extern TStartupHooks StartupHooks;

// The start-in-FM decision kept by the engine for stage 2.
extern bool EngineStartInFM;

bool InitializeApplication();
bool StartDevices();
// Stage 2, run once from the posted MsgDeferredStart.
void DeferredStart();
// MsgStartScheduledRecording.
void StartScheduledRecording();
// Runs at most once per process.
void ShutdownApplication();
// False when the shutdown could not write the settings or channel file (the
// user has been told; the program then ends with exit code 1).
bool ShutdownSaved();
bool ShutdownDone();

// Module initialisation and finalisation (OEM record, settings objects).
void InitializeModules();
void FinalizeModules();

// Sends a message to the scheduling agent when it listens.
bool PostToAgent(int message, int wParam = 0);
