// Recording stand-ins for the engines, the channel table, the sound card and
// the windows, all writing into one call log so tests can check the order.
#pragma once

#include <QStringList>

#include <gtest/gtest.h>

#include "app/app_modes.h"
#include "app/hotkeys.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "platform/messages.h"

// Readable QString output in failure messages.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

// Stand-ins are kept one member a line so the whole set reads at a glance.
// clang-format off
struct TCallLog
{
    QStringList Calls;
    void Add(const QString &c) { Calls << c; }
    bool Has(const QString &c) const { return Calls.contains(c); }
    int IndexOf(const QString &c) const { return Calls.indexOf(c); }
};

struct FakeCapture : ICaptureEngine
{
    TCallLog *Log;
    bool StopOk = true, StartOk = true, RestartOk = true, SnapshotOk = true;
    bool Tuner = true, Aux = true;
    explicit FakeCapture(TCallLog *log) : Log(log) {}
    bool StopPreview() override { Log->Add("StopPreview"); return StopOk; }
    bool StartPreview(bool build) override { Log->Add(build ? "StartPreview(build)" : "StartPreview"); return StartOk; }
    bool RestartPreview() override { Log->Add("RestartPreview"); return RestartOk; }
    bool LiveSnapshot() override { Log->Add("LiveSnapshot"); return SnapshotOk; }
    bool HasTuner() const override { return Tuner; }
    bool HasAuxInput() const override { return Aux; }
    bool SelectEmpiaInput(int input) override { Log->Add(QString("Empia(%1)").arg(input)); return true; }
    int TVFrequency() const override { return 175250000; }
    QString DeviceName, DevicePath;
    bool VideoDevice(QString &name, QString &path) const override
    {
        name = DeviceName;
        path = DevicePath;
        return !name.isEmpty();
    }
};

struct FakeRecording : IRecordingEngine
{
    TCallLog *Log;
    bool StartOk = true, StopOk = true, Running = false;
    QString File = "/tmp/rec.mpg";
    explicit FakeRecording(TCallLog *log) : Log(log) {}
    bool StartRecording() override { Log->Add("StartRecording"); Running = StartOk; return StartOk; }
    bool StopRecording(TFinishedRecording *f) override
    {
        Log->Add("StopRecording");
        if (!StopOk)
            return false;
        Running = false;
        f->FileName = File;
        return true;
    }
    bool IsRecording() const override { return Running; }
    QString FileName() const override { return File; }
    qint64 ElapsedSeconds() const override { return 42; }
};

struct FakeScheduled : IScheduledRecording
{
    TCallLog *Log;
    bool StartOk = true;
    explicit FakeScheduled(TCallLog *log) : Log(log) {}
    bool StartScheduled() override { Log->Add("StartScheduled"); return StartOk; }
    bool StopScheduled() override { Log->Add("StopScheduled"); return true; }
};

struct FakeTimeShift : ITimeShiftEngine
{
    TCallLog *Log;
    bool StartOk = true, Allowed = true;
    explicit FakeTimeShift(TCallLog *log) : Log(log) {}
    bool StartTimeShift() override { Log->Add("StartTimeShift"); return StartOk; }
    bool StopTimeShift() override { Log->Add("StopTimeShift"); return true; }
    bool PlaybackAllowed() const override { return Allowed; }
    void TogglePreviewImage() override { Log->Add("TogglePreviewImage"); }
};

template <typename Base> struct FakePlaybackBase : Base
{
    TCallLog *Log;
    QString Name;
    bool Open = false, PauseOk = true, ResumeOk = true;
    FakePlaybackBase(TCallLog *log, QString name) : Log(log), Name(std::move(name)) {}
    void L(const QString &what) { Log->Add(Name + "." + what); }
    bool Exists() const override { return Open; }
    bool Close() override { L("Close"); Open = false; return true; }
    bool Pause() override { L("Pause"); return PauseOk; }
    bool Resume() override { L("Resume"); return ResumeOk; }
    void Forward() override { L("Forward"); }
    void Backward() override { L("Backward"); }
    void Faster() override { L("Faster"); }
    void Slower() override { L("Slower"); }
    bool Snapshot() override { L("Snapshot"); return true; }
};

struct FakeFilePlayback : FakePlaybackBase<IFilePlayback>
{
    bool OpenOk = true;
    int Items = 1;
    explicit FakeFilePlayback(TCallLog *log) : FakePlaybackBase(log, "File") {}
    bool OpenFile(const QString &f) override { L("OpenFile"); Open = OpenOk; return OpenOk; }
    int PlayList() override { L("PlayList"); Open = Items > 0; return Items; }
    void Free() override { L("Free"); Open = false; }
};

struct FakeTimeShiftPlayback : FakePlaybackBase<ITimeShiftPlayback>
{
    bool StartOk = true;
    explicit FakeTimeShiftPlayback(TCallLog *log) : FakePlaybackBase(log, "TSPlay") {}
    bool StartPlayback() override { L("Start"); Open = StartOk; return StartOk; }
    void ToggleLiveInset() override { L("ToggleLiveInset"); }
};

struct FakeMosaic : IChannelMosaic
{
    TCallLog *Log;
    bool Marked = true;
    explicit FakeMosaic(TCallLog *log) : Log(log) {}
    bool HasMarkedChannels() const override { return Marked; }
    bool EnterMosaic() override { Log->Add("EnterMosaic"); return true; }
    bool LeaveMosaic() override { Log->Add("LeaveMosaic"); return true; }
    void TakeSelectedCell() override { Log->Add("TakeSelectedCell"); }
    void MosaicKey(int key) override { Log->Add(QString("MosaicKey(%1)").arg(key)); }
};

struct FakeFM : IFMRadio
{
    TCallLog *Log;
    bool EnterOk = true, LeaveOk = true;
    explicit FakeFM(TCallLog *log) : Log(log) {}
    bool EnterFMMode() override { Log->Add("EnterFMMode"); return EnterOk; }
    bool LeaveFMMode() override { Log->Add("LeaveFMMode"); return LeaveOk; }
    void SeekUp() override { Log->Add("SeekUp"); }
    void SeekDown() override { Log->Add("SeekDown"); }
    void StepUp() override { Log->Add("StepUp"); }
    void StepDown() override { Log->Add("StepDown"); }
    int32_t Frequency = 88700000, Low = 87500000, High = 108000000;
    int FMFrequency() const override { return Frequency; }
    bool Band(int32_t &low, int32_t &high) const override
    {
        low = Low;
        high = High;
        return true;
    }
    bool Seek = false;
    bool Seeking() const override { return Seek; }
    void StopSeek() override { Log->Add("StopSeek"); Seek = false; }
};

struct FakeChannels : IChannelControl
{
    TCallLog *Log;
    bool Scan = false;
    uint8_t Src = SourceTuner, Bnd = ModeAntenna, Audio = 0, Standard = 2;
    int Number = 12;
    QList<uint8_t> Accepted{0, 1, 2, 3, 4}; // audio modes the tuner takes
    bool CameraOk = true;
    explicit FakeChannels(TCallLog *log) : Log(log) {}
    bool Scanning() const override { return Scan; }
    void AbortScan() override { Log->Add("AbortScan"); }
    bool ScanBand() override { Log->Add("ScanBand"); return true; }
    uint8_t Source() const override { return Src; }
    uint8_t Band() const override { return Bnd; }
    int CurrentNumber() const override { return Number; }
    QString ChannelText() const override { return "News- Stereo"; }
    void SetChannel(int n) override { Log->Add(QString("SetChannel(%1)").arg(n)); }
    void NextChannel() override { Log->Add("NextChannel"); }
    void PreviousChannel() override { Log->Add("PreviousChannel"); }
    void RecallChannel() override { Log->Add("RecallChannel"); }
    bool SelectBand(uint8_t b) override
    {
        Log->Add(QString("SelectBand(%1)").arg(b));
        Src = SourceTuner;
        Bnd = b;
        return true;
    }
    bool SelectInput(uint8_t s) override
    {
        Log->Add(QString("SelectInput(%1)").arg(s));
        Src = s;
        return s != SourceCamera || CameraOk;
    }
    uint8_t AudioMode() const override { return Audio; }
    uint8_t VideoStandard() const override { return Standard; }
    bool SetAudioMode(uint8_t m) override
    {
        Log->Add(QString("SetAudioMode(%1)").arg(m));
        if (!Accepted.contains(m))
            return false;
        Audio = m;
        return true;
    }
    void StoreAudioMode(uint8_t m) override { Log->Add(QString("StoreAudioMode(%1)").arg(m)); }
    void RestoreState() override { Log->Add("RestoreState"); }
    void RestoreStoredSource() override { Log->Add("RestoreStoredSource"); }
};

struct FakeAudio : IAudioControl
{
    TCallLog *Log;
    bool Mixer = true, Mute = false;
    int32_t Vol = 32768;
    explicit FakeAudio(TCallLog *log) : Log(log) {}
    bool HasMixer() const override { return Mixer; }
    int32_t Volume() const override { return Vol; }
    bool Muted() const override { return Mute; }
    void SetVolume(int32_t v) override { Vol = qBound(0, v, 65535); Log->Add(QString("SetVolume(%1)").arg(v)); }
    void SetMute(bool on) override { Mute = on; Log->Add(QString("SetMute(%1)").arg(on)); }
    void SetLineMute(bool on) override { Log->Add(QString("SetLineMute(%1)").arg(on)); }
};

struct FakePlayLists : IPlayLists
{
    QList<TDoneRecording> Items;
    void AddDoneItem(const TDoneRecording &item) override { Items << item; }
};

struct FakeView : IShellView
{
    TCallLog *Log;
    QString Name;
    bool Visible = true;
    QList<TMenuState> Menus;
    QStringList Captions;
    QList<TSourceMenuState> SourceMenus;
    FakeView(TCallLog *log, QString name) : Log(log), Name(std::move(name)) {}
    void L(const QString &what) { Log->Add(Name + ":" + what); }
    bool ViewVisible() const override { return Visible; }
    void ModeChanged(uint8_t mode) override { L(QString("Mode(%1)").arg(mode)); }
    void VolumeChanged(int32_t, bool) override { L("Volume"); }
    void DigitsTyped(const QString &b) override { L("Digits(" + b + ")"); }
    void NumberEntered(const QString &b, int v) override { L(QString("Number(%1,%2)").arg(b).arg(v)); }
    void BandChanged(uint8_t) override { L("Band"); }
    void ChannelChanged(int, const QString &) override { L("Channel"); }
    void SourceChanged(uint8_t) override { L("Source"); }
    void AudioModeText(const QString &) override { L("AudioText"); }
    void RecordingProgress(const TRecordingProgress &) override { L("Progress"); }
    void PlayPauseState(bool showPlay) override { L(showPlay ? "ShowPlay" : "ShowPause"); }
    void PlayItemVisibility(bool) override { L("PlayItem"); }
    void FMPanelUpdate() override { L("FMUpdate"); }
    void VideoStandardText(const QString &) override { L("Standard"); }
    void MenuStateChanged(const TMenuState &s, const QString &caption) override
    {
        Menus << s;
        Captions << caption;
        L("Menu");
    }
    void SourceMenuChanged(const TSourceMenuState &s) override { SourceMenus << s; L("SourceMenu"); }
    void MenuCaptionsChanged() override { L("Captions"); }
};

struct FakeShell : IShellControl
{
    TCallLog *Log;
    bool Full = false, Paper = false, Mini = false, FMPanel = false, Swapped = false, DialogOk = true;
    QStringList Osd;
    // Showing and hiding a window changes what its view reports.
    FakeView *MainV = nullptr, *TVV = nullptr, *FMV = nullptr;
    explicit FakeShell(TCallLog *log) : Log(log) {}
    static void Vis(FakeView *v, bool on)
    {
        if (v)
            v->Visible = on;
    }
    bool FullScreen() const override { return Full; }
    void SetFullScreen(bool on) override { Full = on; Log->Add(QString("SetFullScreen(%1)").arg(on)); }
    bool Wallpaper() const override { return Paper; }
    void LeaveWallpaper() override { Paper = false; Log->Add("LeaveWallpaper"); }
    bool Minimized() const override { return Mini; }
    void Minimize() override { Log->Add("Minimize"); }
    void Restore() override { Log->Add("Restore"); }
    void CloseMainWindow() override { Log->Add("CloseMainWindow"); }
    void ShowMainWindow() override { Vis(MainV, true); Log->Add("ShowMainWindow"); }
    void HideMainWindow() override { Vis(MainV, false); Log->Add("HideMainWindow"); }
    void ShowTVPanel() override { Vis(TVV, true); Log->Add("ShowTVPanel"); }
    void HideTVPanel() override { Vis(TVV, false); Log->Add("HideTVPanel"); }
    void ShowFMPanel() override { FMPanel = true; Vis(FMV, true); Log->Add("ShowFMPanel"); }
    void HideFMPanel() override { FMPanel = false; Vis(FMV, false); Log->Add("HideFMPanel"); }
    bool FMPanelVisible() const override { return FMPanel; }
    void ShowOSDText(const QString &t) override { Osd << t; }
    void SuppressOSD() override { Log->Add("SuppressOSD"); }
    void AllowOSD() override { Log->Add("AllowOSD"); }
    void FocusMainWindow() override { Log->Add("FocusMainWindow"); }
    void ReapplyAlwaysOnTop() override { Log->Add("ReapplyAlwaysOnTop"); }
    void OpenPopupMenu() override { Log->Add("OpenPopupMenu"); }
    bool InsetSwapped() const override { return Swapped; }
    void SwapInsetBack() override { Swapped = false; Log->Add("SwapInsetBack"); }
    void ShowTextBox(const QString &t) override { Log->Add("TextBox:" + t); }
    void ShowSettingsDialog() override { Log->Add("SettingsDialog"); }
    void RunSetupWizard() override { Log->Add("Wizard"); }
    void ShowSleepTimerDialog() override { Log->Add("SleepTimerDialog"); }
    void ShowAboutBox() override { Log->Add("AboutBox"); }
    void ShowAddMemoryChannel() override { Log->Add("AddMemoryChannel"); }
    void ShowAddFMFrequency() override { Log->Add("AddFMFrequency"); }
    void ShowSnapshotList() override { Log->Add("SnapshotList"); }
    bool ShowPlaybackDialog() override { Log->Add("PlaybackDialog"); return DialogOk; }
    void OpenPlayListWindow() override { Log->Add("OpenPlayListWindow"); }
    void ClosePlayListWindow() override { Log->Add("ClosePlayListWindow"); }
    bool StartAgent() override { Log->Add("StartAgent"); return true; }
};

class TWarningLog : public IWarningPresenter
{
public:
    QList<QStringList> Shown;
    void Present(const QStringList &lines) override { Shown << lines; }
    void Close() override {}
    bool ShownNumber(int n) const
    {
        for (const QStringList &l : Shown)
            if (l.contains(QString::asprintf("(%d)", n)))
                return true;
        return false;
    }
};

// clang-format on

// A fake timer: the test fires it.
struct FakeEntryTimer : IEntryTimer
{
    bool Running = false;
    int LastMs = 0;
    void Start(int ms) override
    {
        Running = true;
        LastMs = ms;
    }
    void Stop() override { Running = false; }
    bool Active() const override { return Running; }
    void Fire()
    {
        Running = false;
        if (OnTimeout)
            OnTimeout();
    }
};

// Everything installed, the program in ModeLive on the tuner's antenna band.
class ModeTest : public ::testing::Test
{
protected:
    TCallLog Log;
    TMainInfo Main;
    FakeCapture Capture{&Log};
    FakeRecording Recording{&Log};
    FakeScheduled Scheduled{&Log};
    FakeTimeShift TimeShift{&Log};
    FakeFilePlayback File{&Log};
    FakeTimeShiftPlayback TSPlay{&Log};
    FakeMosaic Mosaic{&Log};
    FakeFM FM{&Log};
    FakeChannels Channels{&Log};
    FakeAudio Audio{&Log};
    FakePlayLists Lists;
    FakeShell Shell{&Log};
    FakeView MainView{&Log, "main"}, TVView{&Log, "tv"}, FMView{&Log, "fm"};
    TWarningLog Presenter;
    FakeEntryTimer *Timer = nullptr;
    THotkeyControlInfo *Hotkeys = nullptr;

    void SetUp() override
    {
        MainInfo = &Main;
        ModeEngines = {&Capture, &Recording, &Scheduled, &TimeShift, &File,  &TSPlay,
                       &Mosaic,  &FM,        &Channels,  &Audio,     &Lists, &Shell};
        ShellViews.MainWindow = &MainView;
        ShellViews.TVPanel = &TVView;
        ShellViews.FMPanel = &FMView;
        FMView.Visible = false;
        Shell.MainV = &MainView;
        Shell.TVV = &TVView;
        Shell.FMV = &FMView;
        ConnectShellViews();
        SetWarningPresenter(&Presenter);
        auto timer = std::make_unique<FakeEntryTimer>();
        Timer = timer.get();
        Hotkeys = new THotkeyControlInfo(std::move(timer));
        ConnectHotkeys(Hotkeys);
        HotkeyControlInfo = Hotkeys;
        Main.AppMode = ModeLive;
    }

    void TearDown() override
    {
        HotkeyControlInfo = nullptr;
        delete Hotkeys;
        SetWarningPresenter(nullptr);
        ModeEngines = {};
        ShellViews = {};
        MainInfo = nullptr;
    }

    // Puts the program into a mode without running actions.
    void Force(uint8_t mode)
    {
        Main.AppMode = mode;
        Log.Calls.clear();
    }
};
