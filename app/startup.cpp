#include "app/startup.h"

#include <cstdio>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gst/gst.h>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "app/main_settings.h"
#include "app/main_window.h"
#include "app/modes_module.h"
#include "app/oem_info.h"
#include "app/splash.h"
#include "app/sound_module.h"
#include "app/warning_form.h"
#include "app/window_module.h"
#include "capture/capture_module.h"
#include "channels/channel_module.h"
#include "channels/country_info.h"
#include "channels/languages.h"
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
TScreenSaverGuard g_screenSaver;
TWarningDialogPresenter *g_presenter = nullptr;

uint8_t Mode() { return MainInfo ? MainInfo->AppMode : uint8_t(ModeNone); }

bool SetMode(int mode) { return StartupHooks.SetAppMode && StartupHooks.SetAppMode(mode); }

template <typename F, typename... A> void Call(const F &f, A &&...args)
{
    if (f)
        f(std::forward<A>(args)...);
}

const char *Usage = "usage: lyra [srec_tv | srec_fm | fm] [--program-folder DIR] "
                    "[--virtual-card=PROFILE]\n";
} // namespace

TStartArguments ParseArguments(const QStringList &arguments)
{
    TStartArguments a;
    bool haveFirst = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == "--program-folder") {
            if (i + 1 >= arguments.size()) {
                a.Error = "--program-folder needs a folder";
                break;
            }
            a.ProgramFolder = arguments[++i];
        } else if (arg.startsWith("--program-folder=")) {
            a.ProgramFolder = arg.mid(17);
        } else if (arg.startsWith("--virtual-card=")) {
            a.VirtualCard = arg.mid(15);
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

bool PostToAgent(int message, int wParam)
{
    return PostInstanceMessage(AgentName, {message, wParam, 0});
}

void InitializeModules()
{
    OEMInfo = new TOEMInfo;
    OEMInfo->LoadOEMInfo(ProgramFolder::File("PInfo.cfg"));
    MainInfo = new TMainInfo;
    AudioAdjustInfo = new TAudioAdjustInfo(
        StartupHooks.CreateMixer ? StartupHooks.CreateMixer() : nullptr);
    Call(StartupHooks.CreateHotkeys);
    AudioAdjustInfo->DetectLineInMonitor();
    InitializeChannelModule();
    InitializeModesModule();
    InitializeCaptureModule();
    InitializeWindowModule();
}

void FinalizeModules()
{
    FinalizeWindowModule();
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

bool InitializeApplication(TFormMainWindow *window)
{
    const TVersionGate gate = CheckMediaFramework();
    if (!gate.Passed()) {
        QMessageBox::critical(nullptr, "Lyra", gate.Message());
        return false;
    }
    ShowSplash();

    CountryInfo = new TCountryInfo;
    MultiLangInfo = new TMultiLangInfo(LangCfgPath());
    MultiLangInfo->SelectLanguage(CountryInfo->LocaleLanguage);
    SetMessageTranslator([](const QString &key) {
        return MultiLangInfo ? MultiLangInfo->Translate(key) : QString();
    });

    const bool engine = StartupHooks.CreateCaptureEngine && StartupHooks.CreateCaptureEngine(window);
    if (!engine)
        qCWarning(lcApp) << "no capture engine";

    TMainSettingsContext settings;
    settings.Main = MainInfo;
    settings.Audio = AudioAdjustInfo;
    settings.Capture = engine && StartupHooks.CaptureSettings ? StartupHooks.CaptureSettings() : nullptr;
    settings.Lang = MultiLangInfo;
    settings.Country = CountryInfo;
    settings.CaptureDefaults = StartupHooks.CaptureDefaults;
    LoadMainSettings(MainSettingsPath(), settings);

    if (engine && StartupHooks.SelectDevices && StartupHooks.SelectDevices()) {
        Call(StartupHooks.CreateSkin);
        return true;
    }
    HideSplash();
    ShowWarning(1000, 0);
    return false;
}

bool StartDevices(TFormMainWindow *window)
{
    EngineStartInFM = false;
    if (MainInfo->FMAvailable)
        EngineStartInFM = StartArguments.ScheduledFM() || StartArguments.StartFM() ||
                          MainInfo->StartInFM;

    AudioAdjustInfo->SetMute(true);
    SetMode(ModeLive);
    if (Mode() == ModeNone) {
        HideSplash();
        ShowWarning(1001, 0);
        return false;
    }

    const bool hasTuner = StartupHooks.HasTuner && StartupHooks.HasTuner();
    if (hasTuner) {
        Call(StartupHooks.LoadChannelSettings);
        Call(StartupHooks.ApplyStoredStandard);
        if (StartupHooks.ChannelTableUnconfigured && StartupHooks.ChannelTableUnconfigured()) {
            Call(StartupHooks.ExecuteCommand, 201); // the tuner as source
            HideSplash();
            window->show();
            Call(StartupHooks.RunFirstRunWizard);
        } else {
            if (!EngineStartInFM)
                Call(StartupHooks.RestoreSource, true);
            HideSplash();
        }
    } else {
        Call(StartupHooks.LoadChannelSettings);
        Call(StartupHooks.RestoreSource, false);
        MainInfo->FMAvailable = 0;
        MainInfo->StartInFM = 0;
        EngineStartInFM = false;
        HideSplash();
    }

    AudioAdjustInfo->SetMute(false);
    window->TunerItemsVisible = hasTuner;
    window->CameraItemVisible = StartupHooks.HasAuxInput && StartupHooks.HasAuxInput();
    Call(StartupHooks.ShowTunerItems, window->TunerItemsVisible);
    Call(StartupHooks.ShowCameraItem, window->CameraItemVisible);

    g_screenSaver.Inhibit("Lyra", "Watching TV");
    return true;
}

void DeferredStart(TFormMainWindow *window)
{
    RefreshSplash();
    if (!StartupHooks.CreateFMPanel || !StartupHooks.CreateFMPanel())
        ShowWarningText("Cannot create FM panel...");

    if (!StartDevices(window)) {
        window->close();
        QCoreApplication::exit(1);
        return;
    }

    if (EngineStartInFM) {
        Call(StartupHooks.ExecuteCommand, 6000);
        if (Mode() == ModeFM) {
            Call(StartupHooks.PlaceFMPanel);
        } else {
            MainInfo->StartInFM = 0;
            window->close();
            return;
        }
    }
    if (Mode() == ModeLive) {
        window->show();
        Call(StartupHooks.ShowTVPanel);
    }
    Call(StartupHooks.ApplyMenuLanguage);
    Call(StartupHooks.ApplyPanelLanguage);
    Call(StartupHooks.AllowOSD, true);

    if (StartArguments.ScheduledTV() || StartArguments.ScheduledFM())
        QTimer::singleShot(0, window, [] { StartScheduledRecording(); });
}

void StartScheduledRecording()
{
    if (Mode() == ModeLive || Mode() == ModeFM)
        SetMode(ModeScheduledCapture);
    else
        PostToAgent(AgentReport, 3);
}

bool ShutdownDone() { return g_shutdownDone; }

void ShutdownApplication()
{
    if (g_shutdownDone)
        return;
    g_shutdownDone = true;

    SetMode(ModeNone);

    TMainSettingsContext settings;
    settings.Main = MainInfo;
    settings.Audio = AudioAdjustInfo;
    settings.Capture = StartupHooks.CaptureSettings ? StartupHooks.CaptureSettings() : nullptr;
    settings.Lang = MultiLangInfo;
    settings.Country = CountryInfo;
    SaveMainSettings(MainSettingsPath(), settings);
    Call(StartupHooks.SaveChannelSettings);

    Call(StartupHooks.FreeSnapshotStore);
    Call(StartupHooks.FreeCaptureEngine);
    SetMessageTranslator(nullptr);
    delete MultiLangInfo;
    MultiLangInfo = nullptr;
    delete CountryInfo;
    CountryInfo = nullptr;
    Call(StartupHooks.FreeSkin);

    g_screenSaver.Release();
}

int RunLyra(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    StartArguments = ParseArguments(arguments);
    if (!StartArguments.Error.isEmpty()) {
        std::fprintf(stderr, "lyra: %s\n%s", qPrintable(StartArguments.Error), Usage);
        return 2;
    }

    gst_init(&argc, &argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Lyra");
    QApplication::setApplicationDisplayName("Lyra");

    if (!ProgramFolder::Init(StartArguments.ProgramFolder)) {
        std::fprintf(stderr, "lyra: cannot create the program folder %s\n",
                     qPrintable(StartArguments.ProgramFolder));
        return 1;
    }
    ProgramFolder::InstallShippedData();

    InstallSoundHooks();
    InitializeModules();

    TInstanceServer server;
    if (!server.Listen()) {
        if (server.AlreadyRunning()) {
            // Another instance runs: bring it to the front and leave quietly.
            SendInstanceMessage(InstanceName, {MsgActivateInstance, 0, 0});
            FinalizeModules();
            return 0;
        }
        qCWarning(lcApp) << "single-instance socket unavailable:" << server.ErrorText();
    }

    g_presenter = new TWarningDialogPresenter;
    SetWarningPresenter(g_presenter);

    auto *window = new TFormMainWindow;
    FormMainWindow = window;
    server.Handler = [window](const TInstanceMessageData &m) -> QByteArray {
        switch (m.Number) {
        case MsgActivateInstance:
            window->ActivateFirstInstance();
            return {};
        case MsgRemoteCommand: {
            // Posted, as a window message is: the sender does not wait for
            // the command (which may open a dialog) to finish.
            const int command = m.WParam;
            QTimer::singleShot(0, window, [command] { Call(StartupHooks.HandleRemoteCommand, command); });
            return {};
        }
        case MsgStartScheduledRecording:
            QTimer::singleShot(0, window, [] { StartScheduledRecording(); });
            return {};
        case MsgStatusRequest:
            return StartupHooks.RemoteStatus ? StartupHooks.RemoteStatus() : QByteArray("{}");
        default:
            return {};
        }
    };

    int code = 1;
    if (window->FormCreate())
        code = app.exec();
    ShutdownApplication();
    server.Handler = nullptr;
    delete window;
    SetWarningPresenter(nullptr);
    delete g_presenter;
    g_presenter = nullptr;
    FinalizeModules();
    return code;
}
