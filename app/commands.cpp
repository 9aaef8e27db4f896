// The command dispatcher: every menu item, panel button, key, wheel step and
// remote request arrives here as a number.
#include "app/commands.h"

#include <QCoreApplication>

#include "app/app_modes.h"
#include "app/hotkeys.h"
#include "app/main_info.h"
#include "app/menu_captions.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "channels/languages.h"
#include "platform/gui_wait.h"
#include "platform/instance_channel.h"
#include "platform/log.h"
#include "platform/messages.h"

namespace {

constexpr int32_t VolumeStep = 6553;

TMainInfo &M()
{
    return *MainInfo;
}
const TModeEngines &E()
{
    return ModeEngines;
}
IShellControl &Shell()
{
    static IShellControl none;
    return E().Shell ? *E().Shell : none;
}

uint8_t Source()
{
    return E().Channels ? E().Channels->Source() : uint8_t(SourceUnset);
}
uint8_t Band()
{
    return E().Channels ? E().Channels->Band() : uint8_t(ModeUnset);
}
bool Scanning()
{
    return E().Channels && E().Channels->Scanning();
}
bool FMPanelVisible()
{
    return Shell().FMPanelVisible();
}

IPlayback *CurrentPlayback()
{
    if (E().TimeShiftPlayback && E().TimeShiftPlayback->Exists())
        return E().TimeShiftPlayback;
    if (E().FilePlayback && E().FilePlayback->Exists())
        return E().FilePlayback;
    return nullptr;
}

QString Word(const QString &key)
{
    const QString t = TranslateKey(key);
    return t.isEmpty() ? key : t;
}

void EmpiaInput(int input)
{
    if (MainInfo && MainInfo->ChipFamily == FamilyEmpia2800 && E().Capture)
        E().Capture->SelectEmpiaInput(input);
}

void SelectBand(uint8_t band)
{
    if (!E().Channels)
        return;
    E().Channels->SelectBand(band);
    EmpiaInput(0);
}

void SelectInput(uint8_t source)
{
    if (!E().Channels)
        return;
    if (source == SourceCamera) {
        if (!E().Channels->SelectInput(SourceCamera)) {
            E().Channels->SelectInput(SourceComposite);
            EmpiaInput(1);
        }
        return;
    }
    E().Channels->SelectInput(source);
    EmpiaInput(source == SourceSVideo ? 2 : 1);
}

} // namespace

void RestoreSourceAsAtStart(bool hasTuner)
{
    if (!E().Channels)
        return;
    const uint8_t source = Source();
    if (!hasTuner)
        SelectInput(source == SourceSVideo ? SourceSVideo : SourceComposite);
    else if (source == SourceTuner)
        SelectBand(Band() <= ModeMemory ? Band() : uint8_t(ModeAntenna));
    else if (source >= SourceComposite && source <= SourceCamera)
        SelectInput(source);
    else
        SelectBand(ModeAntenna);
}

namespace {

void SwitchSource()
{
    const bool tuner = E().Capture && E().Capture->HasTuner();
    const bool aux = E().Capture && E().Capture->HasAuxInput();
    const TSourceStep next = NextSourceStep(tuner, aux, Source(), Band());
    if (next.Source == SourceTuner)
        SelectBand(next.Band);
    else
        SelectInput(next.Source);
}

void CycleAudioMode()
{
    IChannelControl *c = E().Channels;
    if (!c || c->Source() != SourceTuner)
        return;
    for (uint8_t mode : AudioModeCandidates(c->AudioMode(), c->VideoStandard())) {
        c->SetAudioMode(mode);
        if (c->AudioMode() == mode) {
            if (c->Band() == ModeAntenna || c->Band() == ModeCable)
                c->StoreAudioMode(mode);
            return;
        }
    }
}

void StepVolume(bool up)
{
    IAudioControl *a = E().Audio;
    if (!a || !a->HasMixer())
        return;
    const int32_t v = a->Volume();
    a->SetVolume(up ? v + VolumeStep : v - VolumeStep);
    Shell().ShowOSDText(QString(" %1 %2%").arg(Word("Volume")).arg(VolumeStepPercent(v, up)));
}

void ToggleMute()
{
    IAudioControl *a = E().Audio;
    if (!a || !a->HasMixer())
        return;
    const bool wasMuted = a->Muted();
    a->SetMute(!wasMuted);
    Shell().ShowOSDText(QString(" %1 %2").arg(Word("Mute"), wasMuted ? "OFF" : "ON"));
}

void Snapshot()
{
    bool ok = false;
    if (E().FilePlayback && E().FilePlayback->Exists())
        ok = E().FilePlayback->Snapshot();
    else if (E().TimeShiftPlayback && E().TimeShiftPlayback->Exists())
        ok = E().TimeShiftPlayback->Snapshot();
    else if (E().Capture)
        ok = E().Capture->LiveSnapshot();
    if (ok)
        Shell().ShowSnapshotList();
    else
        ShowWarning(1008);
    if (!Shell().Wallpaper())
        Shell().FocusMainWindow();
}

void Stop()
{
    M().SetAppMode(FMPanelVisible() ? ModeFM : ModeLive);
}

void Play()
{
    if (IPlayback *p = CurrentPlayback()) {
        if (M().PIPPlayback && Shell().InsetSwapped())
            Shell().SwapInsetBack();
        if (p->Resume())
            ShellViews.PlayPauseState(false);
        return;
    }
    if (M().AppMode == ModeTimeShift) {
        M().SetAppMode(ModeTimeShiftPlay);
        return;
    }
    M().PlayLastCapture = 0;
    M().SetAppMode(ModePlay);
}

void ToggleFM()
{
    if (TVIdle()) {
        Shell().SuppressOSD();
        Shell().LeaveWallpaper();
        Shell().SetFullScreen(false);
        M().SetAppMode(ModeFM);
        if (M().AppMode == ModeFM) {
            Shell().HideTVPanel();
            Shell().ShowFMPanel();
            Shell().HideMainWindow();
            NotifyModeChanged(ModeFM);
        } else {
            Shell().AllowOSD();
        }
    } else if (InFM()) {
        if (!M().SetAppMode(ModeLive))
            return;
        Shell().HideFMPanel();
        Shell().ShowTVPanel();
        Shell().ShowMainWindow();
        NotifyModeChanged(ModeLive);
        Shell().AllowOSD();
        if (E().Channels)
            E().Channels->RestoreStoredSource();
    }
}

void Scan()
{
    IChannelControl *c = E().Channels;
    if (!c)
        return;
    if (c->Scanning()) {
        c->AbortScan();
        return;
    }
    if (c->Source() != SourceTuner)
        return;
    const int current = c->CurrentNumber();
    c->ScanBand();
    c->SetChannel(current);
}

void Typed(std::initializer_list<QChar> chars)
{
    if (!HotkeyControlInfo)
        return;
    for (QChar c : chars)
        HotkeyControlInfo->EnterChar(c);
}

void OpenHelp()
{
    const QString language = MultiLangInfo ? MultiLangInfo->LanguageName : QString();
    const QString path = HelpFilePath(HelpFolder(), language);
    if (path.isEmpty()) {
        ShowWarningText("Cannot find the help file in " + HelpFolder());
        return;
    }
    if (!OpenUrl(QUrl::fromLocalFile(path)))
        qCWarning(lcApp) << "cannot open the help file" << path;
}

void Schedule()
{
    if (InstanceListening(AgentName)) {
        if (!PostInstanceMessage(AgentName, {AgentShowWindow, 0, 0}))
            qCWarning(lcApp) << "the scheduling agent did not take the Schedule command";
    } else if (!Shell().StartAgent()) {
        qCWarning(lcApp) << "the scheduling agent cannot be started";
    }
}

void ChannelStep(void (IChannelControl::*step)())
{
    if (E().Channels && (Source() == SourceTuner || FMPanelVisible()))
        (E().Channels->*step)();
}

} // namespace

bool ExecuteCommand(int command)
{
    if (!MainInfo)
        return false;
    const uint8_t mode = M().AppMode;
    const bool tvIdle = TVIdle();
    const bool inFM = InFM();
    const bool numericOK = NumericOK();
    const bool playing = Playing();

    switch (command) {
    case 1: // Exit
        if (Scanning())
            E().Channels->AbortScan();
        if (FMPanelVisible() && E().Channels)
            E().Channels->RestoreState();
        M().StartInFM = FMPanelVisible();
        Shell().CloseMainWindow();
        return true;
    case 2:
        Shell().Minimize();
        return true;
    case 3:
        if (inFM)
            return false;
        Shell().SetFullScreen(!Shell().FullScreen());
        return true;
    case 5:
        if (Shell().Minimized())
            Shell().Restore();
        else
            Shell().Minimize();
        return true;
    case 7:
        if (!tvIdle && !inFM)
            return false;
        Shell().ShowSettingsDialog();
        if (!Shell().FullScreen() && !Shell().Wallpaper())
            Shell().ReapplyAlwaysOnTop();
        return true;
    case 8:
        if (!TunerLive() && mode != ModeChannelPreview)
            return false;
        if (mode != ModeChannelPreview)
            M().SetAppMode(ModeChannelPreview);
        else if (E().Mosaic)
            E().Mosaic->TakeSelectedCell();
        return true;
    case 9:
        if (!TunerLive())
            return false;
        if (!Scanning())
            Shell().RunSetupWizard();
        return true;
    case 10:
        Schedule();
        return true;
    case 11:
        OpenHelp();
        return true;
    case 12:
        if (!tvIdle && !inFM)
            return false;
        Shell().ShowSleepTimerDialog();
        return true;
    case 13:
        Shell().ShowAboutBox();
        return true;
    case 14:
        if (inFM)
            return false;
        if (!OpenUrl(QUrl(EpgAddress())))
            qCWarning(lcApp) << "cannot open the programme guide" << EpgAddress();
        return true;
    case 200:
    case 201:
    case 202:
    case 203:
    case 204:
    case 205:
    case 206:
        if (!tvIdle)
            return false;
        if (command == 200)
            SwitchSource();
        else if (command <= 203)
            SelectBand(uint8_t(command - 201));
        else if (command == 204)
            SelectInput(SourceComposite);
        else if (command == 205)
            SelectInput(SourceSVideo);
        else
            SelectBand(Source() != SourceTuner || Band() != ModeAntenna ? ModeAntenna : ModeCable);
        return true;
    case 300:
        if (!numericOK)
            return false;
        CycleAudioMode();
        return true;
    case 401:
    case 402:
        StepVolume(command == 401);
        return true;
    case 403:
        ToggleMute();
        return true;
    case 1000:
        if (!tvIdle && !playing)
            return false;
        Snapshot();
        return true;
    case 1001:
        if (!tvIdle && !inFM)
            return false;
        Shell().LeaveWallpaper();
        M().SetAppMode(ModeCapture);
        return true;
    case 1002:
        if (mode == ModeLive || mode == ModeChannelPreview || inFM)
            return false;
        Stop();
        return true;
    case 1003:
        if (!playing)
            return false;
        if (IPlayback *p = CurrentPlayback(); p && p->Pause())
            ShellViews.PlayPauseState(true);
        return true;
    case 1004:
    case 1005:
    case 1006:
    case 1007:
        if (!playing)
            return false;
        if (IPlayback *p = CurrentPlayback()) {
            if (command == 1004)
                p->Forward();
            else if (command == 1005)
                p->Backward();
            else if (command == 1006)
                p->Faster();
            else
                p->Slower();
        }
        return true;
    case 2000:
        if (!M().TimeShiftAvailable || M().ChipFamily == FamilyWis || !tvIdle)
            return false;
        Shell().LeaveWallpaper();
        M().SetAppMode(ModeTimeShift);
        return true;
    case 2001:
        if (mode != ModeTimeShift && mode != ModeTimeShiftPlay)
            return false;
        if (mode == ModeTimeShift && E().TimeShift)
            E().TimeShift->TogglePreviewImage();
        else if (E().TimeShiftPlayback && E().TimeShiftPlayback->Exists())
            E().TimeShiftPlayback->ToggleLiveInset();
        return true;
    case 3000:
        if (!(tvIdle || inFM || playing ||
              (mode == ModeTimeShift && E().TimeShift && E().TimeShift->PlaybackAllowed())))
            return false;
        Play();
        return true;
    case 3001:
        if (tvIdle || inFM) {
            Shell().LeaveWallpaper();
            if (mode == ModeTimeShift) {
                M().SetAppMode(ModeTimeShiftPlay);
            } else {
                M().PlayLastCapture = 1;
                M().SetAppMode(ModePlay);
            }
            return true;
        }
        if (!PlaybackActive())
            return false;
        Play();
        return true;
    case 4001:
    case 4002:
    case 4003:
        if (!inFM && !numericOK)
            return false;
        ChannelStep(command == 4001   ? &IChannelControl::NextChannel
                    : command == 4002 ? &IChannelControl::PreviousChannel
                                      : &IChannelControl::RecallChannel);
        return true;
    case 4004:
        if (!TunerLive() && !Scanning())
            return false;
        Scan();
        return true;
    case 4005:
        if (!numericOK || (Band() != ModeAntenna && Band() != ModeCable))
            return false;
        Shell().ShowAddMemoryChannel();
        return true;
    case 5000:
        if (mode != ModeChannelPreview)
            return false;
        if (E().Mosaic)
            E().Mosaic->MosaicKey(VkReturn);
        return true;
    case 5002:
    case 5003:
        if (mode == ModeChannelPreview) {
            if (E().Mosaic)
                E().Mosaic->MosaicKey(command == 5002 ? VkLeft : VkRight);
            return true;
        }
        if (!inFM)
            return false;
        if (E().FM)
            command == 5002 ? E().FM->StepDown() : E().FM->StepUp();
        return true;
    case 6000:
        if (!tvIdle && !inFM)
            return false;
        ToggleFM();
        return true;
    case 6001:
    case 6002:
    case 6003:
    case 6004:
    case 6005:
        if (!inFM)
            return false;
        if (command == 6005)
            Shell().ShowAddFMFrequency();
        else if (E().FM)
            command == 6001   ? E().FM->SeekUp()
            : command == 6002 ? E().FM->SeekDown()
            : command == 6003 ? E().FM->StepUp()
                              : E().FM->StepDown();
        return true;
    case 10010:
    case 10011:
    case 10012:
        if (!numericOK)
            return false;
        // A whole channel number: digits typed before must not turn
        // "channel 10" into 510.
        if (HotkeyControlInfo)
            HotkeyControlInfo->Reset();
        Typed({'1', QChar('0' + command - 10010), QChar(VkReturn)});
        return true;
    case 10020:
        if (!inFM && !numericOK)
            return false;
        Typed({QChar(VkReturn)});
        return true;
    case 10021:
        Typed({QChar(VkEscape)});
        return true;
    case 10100:
        if (!numericOK)
            return false;
        Typed({'.'});
        return true;
    default:
        if (command >= 10000 && command <= 10009) {
            if (!inFM && !numericOK)
                return false;
            Typed({QChar('0' + command - 10000)});
            return true;
        }
        return false;
    }
}

void SubmitCommand(int command)
{
    // A seek command while a seek runs stops it instead.
    if ((command == 6001 || command == 6002) && E().FM && E().FM->Seeking()) {
        E().FM->StopSeek();
        return;
    }
    // So does the scan command while a scan runs; the exit command stops the
    // scan and then waits for it to end like every other command.
    if ((command == 4004 || command == 1) && Scanning()) {
        E().Channels->AbortScan();
        if (command == 4004)
            return;
    }
    RunOutsideWaits(
        [command] {
            if (!ExecuteCommand(command))
                qCDebug(lcApp) << "command" << command << "not allowed in"
                               << AppModeName(MainInfo ? MainInfo->AppMode : ModeNone);
        },
        nullptr, true);
}

void HandleRemoteCommand(int command)
{
    // The rules look at the program as the request finds it.
    if (WarningOpen()) {
        CloseWarning();
        return;
    }
    if (Scanning() && command != 4004)
        return;
    SubmitCommand(command);
}

void PostRemoteCommand(int command)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [command] { HandleRemoteCommand(command); },
        Qt::QueuedConnection);
}
