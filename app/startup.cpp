#include "app/startup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include <gst/gst.h>

#include "app/audio_adjust.h"
#include "app/capture_module.h"
#include "app/recording_module.h"
#include "app/scheduled_module.h"
#include "app/channel_module.h"
#include "app/main_info.h"
#include "app/main_settings.h"
#include "app/modes_module.h"
#include "app/oem_info.h"
#include "app/playback_module.h"
#include "app/snapshot_module.h"
#include "app/timeshift_playback_module.h"
#include "channels/country_info.h"
#include "channels/languages.h"
#include "platform/gui_wait.h"
#include "platform/instance_channel.h"
#include "platform/log.h"
#include "platform/messages.h"
#include "platform/program_folder.h"
#include "platform/screensaver.h"
#include "platform/version_gate.h"

TStartArguments StartArguments;
TStartupHooks StartupHooks;
bool EngineStartInFM = false;

namespace {
bool g_shutdownDone = false;
bool g_shutdownSaved = true;
TScreenSaverGuard g_screenSaver;

uint8_t Mode()
{
    return MainInfo ? MainInfo->AppMode : uint8_t(ModeNone);
}

bool SetMode(int mode)
{
    return StartupHooks.SetAppMode && StartupHooks.SetAppMode(mode);
}

template <typename F, typename... A> void Call(const F &f, A &&...args)
{
    if (f)
        f(std::forward<A>(args)...);
}
} // namespace

TStartArguments ParseArguments(const QStringList &arguments)
{
    TStartArguments a;
    bool haveFirst = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            a.Help = true;
        } else if (arg == "--version") {
            a.Version = true;
        } else if (arg == "--program-folder") {
            if (i + 1 >= arguments.size() || arguments[i + 1].isEmpty()) {
                a.Error = "--program-folder needs a folder";
                break;
            }
            a.ProgramFolder = arguments[++i];
        } else if (arg.startsWith("--program-folder=")) {
            a.ProgramFolder = arg.mid(17);
            if (a.ProgramFolder.isEmpty()) {
                a.Error = "--program-folder= needs a folder";
                break;
            }
        } else if (arg.startsWith("--virtual-card=")) {
            a.VirtualCard = arg.mid(15);
            if (a.VirtualCard.isEmpty()) {
                a.Error = "--virtual-card= needs a profile";
                break;
            }
        } else if (arg.startsWith("--")) {
            a.Error = "unknown option " + arg;
            break;
        } else if (!haveFirst) {
            // Argument 1 is remembered whatever it says; only the three
            // known words act.
            a.Argument1 = arg;
            haveFirst = true;
        }
    }
    return a;
}

QString TStartArguments::FileToPlay() const
{
    if (Argument1.isEmpty() || ScheduledTV() || ScheduledFM() || StartFM())
        return {};
    return QFileInfo(Argument1).absoluteFilePath();
}

bool PostToAgent(int message, int wParam)
{
    return PostInstanceMessage(AgentName, {message, wParam, 0});
}

void InitializeModules()
{
    OEMInfo = new TOEMInfo;
    OEMInfo->LoadOEMInfo(ProgramFolder::File("PInfo.cfg"));
    MainInfo = new TMainInfo;
    AudioAdjustInfo =
        new TAudioAdjustInfo(StartupHooks.CreateMixer ? StartupHooks.CreateMixer() : nullptr);
    Call(StartupHooks.CreateHotkeys);
    AudioAdjustInfo->DetectLineInMonitor();
    InitializeChannelModule();
    InitializeModesModule();
    InitializeCaptureModule();
    InitializeSnapshotModule();
    InitializeRecordingModule();
    InitializeTimeShiftPlaybackModule();
    InitializeScheduledModule();
    InitializePlaybackModule();
}

void FinalizeModules()
{
    FinalizePlaybackModule();
    FinalizeScheduledModule();
    FinalizeTimeShiftPlaybackModule();
    FinalizeRecordingModule();
    FinalizeSnapshotModule();
    FinalizeCaptureModule();
    FinalizeModesModule();
    FinalizeChannelModule();
    Call(StartupHooks.FreeHotkeys);
    if (AudioAdjustInfo)
        AudioAdjustInfo->SetMute(false);
    delete AudioAdjustInfo;
    AudioAdjustInfo = nullptr;
    delete MainInfo;
    MainInfo = nullptr;
    delete OEMInfo;
    OEMInfo = nullptr;
}

bool InitializeApplication()
{
    // A new start has not been shut down yet (tests start several in one process).
    g_shutdownDone = false;
    g_shutdownSaved = true;
    const TVersionGate gate = CheckMediaFramework();
    if (!gate.Passed()) {
        qCCritical(lcApp).noquote() << gate.Message();
        Call(StartupHooks.ShowPlainMessage, gate.Message());
        return false;
    }
    Call(StartupHooks.ShowSplash);

    CountryInfo = new TCountryInfo;
    MultiLangInfo = new TMultiLangInfo(LangCfgPath());
    MultiLangInfo->SelectLanguage(CountryInfo->LocaleLanguage);
    SetMessageTranslator([](const QString &key) {
        return MultiLangInfo ? MultiLangInfo->Translate(key) : QString();
    });

    const bool engine = StartupHooks.CreateCaptureEngine && StartupHooks.CreateCaptureEngine();
    if (engine)
        Call(StartupHooks.AttachEngineToWindows);
    else
        qCWarning(lcApp) << "no capture engine";

    TMainSettingsContext settings;
    settings.Main = MainInfo;
    settings.Audio = AudioAdjustInfo;
    settings.Capture =
        engine && StartupHooks.CaptureSettings ? StartupHooks.CaptureSettings() : nullptr;
    settings.Lang = MultiLangInfo;
    settings.Country = CountryInfo;
    settings.CaptureDefaults = StartupHooks.CaptureDefaults;
    LoadMainSettings(MainSettingsPath(), settings);

    if (engine && StartupHooks.SelectDevices && StartupHooks.SelectDevices()) {
        Call(StartupHooks.CreateSkin);
        return true;
    }
    Call(StartupHooks.HideSplash);
    ShowWarning(1000, 0);
    return false;
}

bool StartDevices()
{
    EngineStartInFM = false;
    if (MainInfo->FMAvailable)
        EngineStartInFM =
            StartArguments.ScheduledFM() || StartArguments.StartFM() || MainInfo->StartInFM;

    AudioAdjustInfo->SetMute(true);
    SetMode(ModeLive);
    if (Mode() == ModeNone) {
        Call(StartupHooks.HideSplash);
        ShowWarning(1001, 0);
        return false;
    }

    const bool hasTuner = StartupHooks.HasTuner && StartupHooks.HasTuner();
    if (hasTuner) {
        Call(StartupHooks.LoadChannelSettings);
        Call(StartupHooks.ApplyStoredStandard);
        if (StartupHooks.ChannelTableUnconfigured && StartupHooks.ChannelTableUnconfigured()) {
            Call(StartupHooks.ExecuteCommand, 201); // the tuner as source
            Call(StartupHooks.HideSplash);
            Call(StartupHooks.ShowMainWindow);
            Call(StartupHooks.RunFirstRunWizard);
        } else {
            if (!EngineStartInFM)
                Call(StartupHooks.RestoreSource, true);
            Call(StartupHooks.HideSplash);
        }
    } else {
        Call(StartupHooks.LoadChannelSettings);
        Call(StartupHooks.RestoreSource, false);
        MainInfo->FMAvailable = 0;
        MainInfo->StartInFM = 0;
        EngineStartInFM = false;
        Call(StartupHooks.HideSplash);
    }

    AudioAdjustInfo->SetMute(false);
    Call(StartupHooks.ShowTunerItems, hasTuner);
    Call(StartupHooks.ShowCameraItem, StartupHooks.HasAuxInput && StartupHooks.HasAuxInput());

    g_screenSaver.Inhibit("Lyra", "Watching TV");
    return true;
}

void DeferredStart()
{
    // Stage 2 waits for the tuner and may run the wizard: commands and
    // timers that arrive meanwhile run after it, on the state it leaves.
    TWaitScope stage2;
    Call(StartupHooks.RefreshSplash);
    if (!StartupHooks.CreateFMPanel || !StartupHooks.CreateFMPanel())
        ShowWarningText("Cannot create FM panel...");

    if (!StartDevices()) {
        Call(StartupHooks.CloseMainWindow);
        QCoreApplication::exit(1);
        return;
    }

    if (EngineStartInFM) {
        Call(StartupHooks.ExecuteCommand, 6000);
        if (Mode() == ModeFM) {
            Call(StartupHooks.PlaceFMPanel);
        } else {
            MainInfo->StartInFM = 0;
            Call(StartupHooks.CloseMainWindow);
            return;
        }
    }
    if (Mode() == ModeLive) {
        Call(StartupHooks.ShowMainWindow);
        Call(StartupHooks.ShowTVPanel);
    }
    Call(StartupHooks.ApplyMenuLanguage);
    Call(StartupHooks.ApplyPanelLanguage);
    Call(StartupHooks.AllowOSD, true);

    if (StartArguments.ScheduledTV() || StartArguments.ScheduledFM())
        QTimer::singleShot(0, QCoreApplication::instance(),
                           [] { RunOutsideWaits([] { StartScheduledRecording(); }); });
    else if (const QString file = StartArguments.FileToPlay(); !file.isEmpty())
        QTimer::singleShot(0, QCoreApplication::instance(), [file] { SubmitOpenFile(file); });
}

void StartScheduledRecording()
{
    HandleScheduledRequest();
}

bool ShutdownDone()
{
    return g_shutdownDone;
}

bool ShutdownSaved()
{
    return g_shutdownSaved;
}

void ShutdownApplication()
{
    if (g_shutdownDone)
        return;
    g_shutdownDone = true;
    // Nothing held back may run once the engines are going.
    DropHeldBackWork();

    SetMode(ModeNone);

    TMainSettingsContext settings;
    settings.Main = MainInfo;
    settings.Audio = AudioAdjustInfo;
    settings.Capture = StartupHooks.CaptureSettings ? StartupHooks.CaptureSettings() : nullptr;
    settings.Lang = MultiLangInfo;
    settings.Country = CountryInfo;
    g_shutdownSaved = SaveMainSettings(MainSettingsPath(), settings);
    if (StartupHooks.SaveChannelSettings && !StartupHooks.SaveChannelSettings())
        g_shutdownSaved = false;

    Call(StartupHooks.FreeSnapshotStore);
    Call(StartupHooks.DetachEngineFromWindows);
    Call(StartupHooks.FreeCaptureEngine);
    SetMessageTranslator(nullptr);
    delete MultiLangInfo;
    MultiLangInfo = nullptr;
    delete CountryInfo;
    CountryInfo = nullptr;
    Call(StartupHooks.FreeSkin);

    g_screenSaver.Release();
}
