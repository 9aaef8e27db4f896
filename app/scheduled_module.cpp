#include "app/scheduled_module.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "app/app_modes.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "capture/capture_info.h"
#include "platform/gui_wait.h"
#include "platform/instance_channel.h"
#include "platform/log.h"
#include "platform/program_folder.h"
#include "playback/scheduled_record.h"

namespace {

constexpr int RequestInvalid = 3;
constexpr int RequestUnfit = 4;
constexpr int RecordingFinished = 100;

bool FMPanelShown()
{
    return ModeEngines.Shell && ModeEngines.Shell->FMPanelVisible();
}

class TScheduledRecording : public IScheduledRecording
{
public:
    // Steps before the mode change: the request, the settings and the TV/FM
    // switch (itself a mode change, so it cannot run inside the entry of
    // the scheduled mode). False when the request was refused; the agent
    // has been told.
    bool Prepare();
    bool StartScheduled() override;
    bool StopScheduled() override;
    // Undoes Prepare when the mode change did not happen.
    void Abandon();

private:
    bool Refuse(int code);
    void ApplyRequest();
    void RestoreSettings();
    void RememberSource();
    void RestoreSource();
    bool SelectRequestedSource();

    TRelayRequest Request;
    bool Prepared = false;
    bool Switched = false;
    bool Remembered = false;
    uint8_t KeptSource = SourceTuner;
    uint8_t KeptBand = ModeAntenna;
    int KeptChannel = 0;
};

bool TScheduledRecording::Refuse(int code)
{
    SendToAgent(AgentReport, code);
    return false;
}

void TScheduledRecording::ApplyRequest()
{
    TCaptureInfo &c = *CaptureInfo;
    c.SaveCaptureSettings();
    c.Quiet = 1;
    c.CaptureFormat = Request.Format;
    c.BitRate = Request.BitRate;
    c.FrameRateIndex = Request.FrameRate;
    c.CaptureWidth = Request.Width;
    c.CaptureHeight = Request.Height;
    c.CaptureQuality = Request.Quality;
    c.TimeLimitEnabled = true;
    c.TimeLimit = Request.RecordLimit;
    c.UseDateTimeFileName = Request.NameFormat == 0;
    c.CaptureBaseName = Request.FileName;
    c.CaptureAudioOption = Request.Kind;
}

void TScheduledRecording::RestoreSettings()
{
    if (!CaptureInfo)
        return;
    CaptureInfo->RestoreCaptureSettings();
    CaptureInfo->Quiet = 0;
}

void TScheduledRecording::RememberSource()
{
    const IChannelControl *c = ModeEngines.Channels;
    Remembered = c != nullptr;
    if (!c)
        return;
    KeptSource = c->Source();
    KeptBand = c->Band();
    KeptChannel = c->CurrentNumber();
}

void TScheduledRecording::RestoreSource()
{
    IChannelControl *c = ModeEngines.Channels;
    if (!Remembered || !c)
        return;
    Remembered = false;
    if (FMPanelShown()) {
        c->SetChannel(KeptChannel);
    } else if (KeptSource == SourceTuner) {
        if (c->Source() != SourceTuner || c->Band() != KeptBand)
            c->SelectBand(KeptBand);
        c->SetChannel(KeptChannel);
    } else {
        c->SelectInput(KeptSource);
    }
}

bool TScheduledRecording::Prepare()
{
    Prepared = false;
    Switched = false;
    Remembered = false;
    if (!CaptureInfo || !ModeEngines.Capture) {
        qCWarning(lcApp) << "scheduled recording: no capture engine";
        return Refuse(RequestInvalid);
    }
    if (!ReadRelayFile(RelayFilePath(), Request)) {
        qCWarning(lcFiles) << "scheduled recording: the request" << RelayFilePath()
                           << "is missing or damaged";
        return Refuse(RequestInvalid);
    }
    ApplyRequest();
    const bool noTuner = Request.IsTV() && !ModeEngines.Capture->HasTuner();
    const bool noFM = Request.IsFM() && !(MainInfo && MainInfo->FMAvailable);
    if (noTuner || noFM) {
        qCInfo(lcApp) << "scheduled recording: the card cannot record source" << Request.Source;
        RestoreSettings();
        return Refuse(RequestUnfit);
    }
    Switched = FMPanelShown() != Request.IsFM();
    if (Switched) {
        ExecuteCommand(6000);
        if (FMPanelShown() != Request.IsFM()) {
            qCWarning(lcApp) << "scheduled recording: the switch between TV and FM failed";
            RestoreSettings();
            // A half-made switch is taken back as far as it went.
            Switched = false;
            return Refuse(RequestUnfit);
        }
    } else {
        RememberSource();
    }
    Prepared = true;
    return true;
}

void TScheduledRecording::Abandon()
{
    if (!Prepared)
        return;
    Prepared = false;
    RestoreSettings();
    if (Switched)
        ExecuteCommand(6000);
    else
        RestoreSource();
    Switched = false;
}

bool TScheduledRecording::SelectRequestedSource()
{
    IChannelControl *c = ModeEngines.Channels;
    if (!c)
        return false;
    switch (Request.Source) {
    case RelayComposite:
        return c->SelectInput(SourceComposite);
    case RelaySVideo:
        return c->SelectInput(SourceSVideo);
    case RelayFM:
        c->SetChannel(Request.Channel);
        return true;
    default: {
        const bool routed = c->SelectBand(uint8_t(Request.Source));
        c->SetChannel(Request.Channel);
        return routed;
    }
    }
}

bool TScheduledRecording::StartScheduled()
{
    // Entered without the message (a mode change of its own): the request
    // is read here, and one that needs a TV/FM switch is refused.
    if (!Prepared) {
        if (!Prepare())
            return false;
        if (Switched) {
            Abandon();
            return Refuse(RequestUnfit);
        }
    }
    Prepared = false;
    TFilterGraph *graph = CaptureInfo->FilterGraph.get();
    const bool wasRunning = graph && graph->State() == GST_STATE_PLAYING;
    if (!wasRunning)
        CaptureInfo->RunGraph();
    if (!SelectRequestedSource())
        qCWarning(lcApp) << "scheduled recording: source" << Request.Source
                         << "could not be selected; recording what is routed";
    CaptureInfo->StopGraph();
    if (ModeEngines.Recording && ModeEngines.Recording->StartRecording()) {
        qCInfo(lcApp) << "scheduled recording started:" << ModeEngines.Recording->FileName();
        return true;
    }
    qCWarning(lcApp) << "scheduled recording: the recording did not start";
    SendToAgent(AgentReport, RequestInvalid);
    RestoreSettings();
    if (Switched) {
        // Back to where the user was once the failed mode change is over.
        Switched = false;
        QTimer::singleShot(0, QCoreApplication::instance(),
                           [] { RunOutsideWaits([] { ExecuteCommand(6000); }); });
    } else {
        RestoreSource();
    }
    return false;
}

bool TScheduledRecording::StopScheduled()
{
    if (!ModeEngines.Recording)
        return false;
    TFinishedRecording finished;
    const bool stopped = ModeEngines.Recording->StopRecording(&finished);
    if (stopped && !finished.FileName.isEmpty()) {
        TDoneRecording item;
        item.Recording = finished;
        item.Recording.End = QDateTime::currentDateTime();
        const IChannelControl *c = ModeEngines.Channels;
        item.Channel = c && c->Source() == SourceTuner ? c->CurrentNumber() : 0;
        item.Scheduled = true;
        // Listed and saved at once, not only at exit.
        if (ModeEngines.PlayLists)
            ModeEngines.PlayLists->AddDoneItem(item);
        else
            qCWarning(lcApp) << "no play lists: the scheduled recording" << finished.FileName
                             << "is not listed";
        if (MainInfo)
            MainInfo->LastCaptureFile = finished.FileName;
        qCInfo(lcApp) << "scheduled recording finished:" << finished.FileName;
    } else if (!stopped) {
        qCWarning(lcApp) << "scheduled recording: the recording did not stop; nothing is listed";
    }
    if (CaptureInfo)
        CaptureInfo->RestoreCaptureSettings();
    if (Switched) {
        // The toggle is a mode change: it follows once this one is over.
        Switched = false;
        QTimer::singleShot(0, QCoreApplication::instance(),
                           [] { RunOutsideWaits([] { ExecuteCommand(6000); }); });
    } else {
        RestoreSource();
    }
    if (CaptureInfo)
        CaptureInfo->Quiet = 0;
    PostAgentMessage(AgentReport, RecordingFinished);
    return stopped;
}

TScheduledRecording g_scheduled;

} // namespace

QString RelayFilePath()
{
    return ProgramFolder::File("Relay.rec");
}

void HandleScheduledRequest()
{
    if (!MainInfo || (MainInfo->AppMode != ModeLive && MainInfo->AppMode != ModeFM)) {
        qCInfo(lcApp) << "scheduled recording refused: the program is busy";
        SendToAgent(AgentReport, RequestInvalid);
        return;
    }
    if (!g_scheduled.Prepare())
        return;
    if (!MainInfo->SetAppMode(ModeScheduledCapture))
        g_scheduled.Abandon();
}

void SendToAgent(int message, int wParam)
{
    if (!InstanceListening(AgentName) ||
        !SendInstanceMessage(AgentName, {message, wParam, 0}, nullptr, 2000))
        qCInfo(lcApp) << "message" << message << wParam << "to the scheduling agent is lost";
}

void PostAgentMessage(int message, int wParam)
{
    if (!InstanceListening(AgentName) || !PostInstanceMessage(AgentName, {message, wParam, 0}))
        qCInfo(lcApp) << "message" << message << wParam << "to the scheduling agent is lost";
}

void TellAgentLanguageChanged()
{
    // Posted: a stuck agent must not hold the settings dialog.
    PostAgentMessage(AgentHello, 0);
}

QString SchedulingAgentProgram()
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {dir + "/tallon", dir + "/tools/tallon"}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return QStandardPaths::findExecutable("tallon");
}

bool StartSchedulingAgent()
{
    const QString program = SchedulingAgentProgram();
    if (program.isEmpty()) {
        qCWarning(lcApp) << "the scheduling agent tallon is not installed";
        return false;
    }
    const QStringList arguments = {"srec_tv", "--program-folder", ProgramFolder::Path(), "--lyra",
                                   QCoreApplication::applicationFilePath()};
    return QProcess::startDetached(program, arguments);
}

void InitializeScheduledModule()
{
    ModeEngines.Scheduled = &g_scheduled;
}

void FinalizeScheduledModule()
{
    if (ModeEngines.Scheduled == &g_scheduled)
        ModeEngines.Scheduled = nullptr;
}
