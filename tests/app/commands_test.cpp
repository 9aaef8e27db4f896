// The command dispatcher: when each command is allowed, and the rules with
// their own tables (source cycle, TV audio modes, volume texts, FM toggle,
// remote commands).
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "app/commands.h"
#include "channels/languages.h"
#include "mode_fakes.h"
#include "platform/instance_channel.h"
#include "platform/program_folder.h"
#include "test_env.h"

namespace {

using Commands = ModeTest;

// The situations the "allowed when" column tells apart.
struct Situation
{
    char Code;
    uint8_t Mode;
    uint8_t Source;
    bool Scan, Pip, FileOpen, TSOpen;
};
// L live tuner, C live composite, S live while scanning, P channel preview,
// R recording, Y file playback, F FM, T time shift, U time-shift playback,
// Q file playback in picture-in-picture.
const Situation Situations[] = {
    {'L', ModeLive, SourceTuner, false, false, false, false},
    {'C', ModeLive, SourceComposite, false, false, false, false},
    {'S', ModeLive, SourceTuner, true, false, false, false},
    {'P', ModeChannelPreview, SourceTuner, false, false, false, false},
    {'R', ModeCapture, SourceTuner, false, false, false, false},
    {'Y', ModePlay, SourceTuner, false, false, true, false},
    {'F', ModeFM, SourceTuner, false, false, false, false},
    {'T', ModeTimeShift, SourceTuner, false, false, false, false},
    {'U', ModeTimeShiftPlay, SourceTuner, false, false, false, true},
    {'Q', ModePlay, SourceTuner, false, true, true, false},
};

TEST_F(Commands, AllowedWhen)
{
    SetUrlOpener([](const QUrl &) { return true; });
    struct Row
    {
        QList<int> Numbers;
        const char *Allowed; // one mark per situation, in the order above
    };
    const Row rows[] = {
        {{1, 2, 5, 10, 11, 13, 401, 402, 403, 10021}, "xxxxxxxxxx"},
        {{3, 14}, "xxxxxx.xxx"},
        {{7, 12, 1001, 6000}, "xx....x..."},
        {{8}, "x..x......"},
        {{9}, "x........."},
        {{200, 201, 202, 203, 204, 205, 206, 2000}, "xx........"},
        {{300, 4005, 10010, 10011, 10012, 10100}, "x........x"},
        {{1000}, "xx...x..xx"},
        {{1002}, "....xx.xxx"},
        {{1003, 1004, 1005, 1006, 1007}, ".....x..xx"},
        {{2001}, ".......xx."},
        {{3000}, "xx...xxxxx"},
        {{3001}, "xx...xx.xx"},
        {{4001, 4002, 4003, 10000, 10005, 10009, 10020}, "x.....x..x"},
        {{4004}, "x.x......."},
        {{5000}, "...x......"},
        {{5002, 5003}, "...x..x..."},
        {{6001, 6002, 6003, 6004, 6005}, "......x..."},
        {{0, 4, 6, 15, 199, 207, 404, 1008, 2002, 5001, 10013, 10101, 99999}, ".........."},
    };
    for (const Row &row : rows) {
        for (int number : row.Numbers) {
            for (int i = 0; i < 10; ++i) {
                const Situation &s = Situations[i];
                Force(s.Mode);
                Channels.Src = s.Source;
                Channels.Bnd = ModeAntenna;
                Channels.Scan = s.Scan;
                Main.PIPPlayback = s.Pip;
                File.Open = s.FileOpen;
                TSPlay.Open = s.TSOpen;
                Hotkeys->Buffer.clear();
                EXPECT_EQ(ExecuteCommand(number), row.Allowed[i] == 'x')
                    << "command " << number << " in situation " << s.Code;
            }
        }
    }
    SetUrlOpener(nullptr);
}

TEST_F(Commands, MoreConditions)
{
    // Time shifting needs the feature and a chip other than Wis.
    Main.TimeShiftAvailable = 0;
    EXPECT_FALSE(ExecuteCommand(2000));
    Main.TimeShiftAvailable = 1;
    Main.ChipFamily = FamilyWis;
    EXPECT_FALSE(ExecuteCommand(2000));
    Main.ChipFamily = FamilyPhilips;
    EXPECT_TRUE(ExecuteCommand(2000));
    EXPECT_EQ(Main.AppMode, ModeTimeShift);

    // Play in time shift only when the engine allows its playback.
    TimeShift.Allowed = false;
    EXPECT_FALSE(ExecuteCommand(3000));
    TimeShift.Allowed = true;
    EXPECT_TRUE(ExecuteCommand(3000));

    // Memorising is for the antenna and cable lists only.
    Force(ModeLive);
    Channels.Bnd = ModeMemory;
    EXPECT_FALSE(ExecuteCommand(4005));
    Channels.Bnd = ModeCable;
    EXPECT_TRUE(ExecuteCommand(4005));
    EXPECT_TRUE(Log.Has("AddMemoryChannel"));
}

TEST_F(Commands, StopReturnsToFMWhenTheFMPanelIsVisible)
{
    Force(ModePlay);
    File.Open = true;
    Shell.FMPanel = true;
    ASSERT_TRUE(ExecuteCommand(1002));
    EXPECT_EQ(Main.AppMode, ModeFM);
    // Coming back from playback the radio graph is started, not FM entered again.
    EXPECT_FALSE(Log.Has("EnterFMMode"));
    EXPECT_TRUE(Log.Has("StartPreview"));

    Force(ModePlay);
    File.Open = true;
    Shell.FMPanel = false;
    ASSERT_TRUE(ExecuteCommand(1002));
    EXPECT_EQ(Main.AppMode, ModeLive);
}

TEST_F(Commands, PlayInTimeShiftKeepsRecordingAndStopEndsBoth)
{
    Force(ModeTimeShift);
    ASSERT_TRUE(ExecuteCommand(3000));
    EXPECT_EQ(Main.AppMode, ModeTimeShiftPlay);
    EXPECT_FALSE(Log.Has("StopTimeShift"));

    Log.Calls.clear();
    ASSERT_TRUE(ExecuteCommand(1002));
    EXPECT_EQ(Main.AppMode, ModeLive);
    EXPECT_LT(Log.IndexOf("TSPlay.Close"), Log.IndexOf("StopTimeShift"));
}

TEST_F(Commands, CaptureFromFMRecordsTheRadioAndStopReturnsToFM)
{
    Force(ModeFM);
    Shell.FMPanel = true;
    ASSERT_TRUE(ExecuteCommand(1001));
    EXPECT_EQ(Main.AppMode, ModeCapture);
    EXPECT_EQ(Log.Calls.mid(0, 3),
              QStringList({"LeaveWallpaper", "StopPreview", "StartRecording"}));

    Log.Calls.clear();
    ASSERT_TRUE(ExecuteCommand(1002));
    EXPECT_EQ(Main.AppMode, ModeFM);
    EXPECT_EQ(Log.Calls.mid(0, 2), QStringList({"StopRecording", "StartPreview"}));
}

TEST_F(Commands, PlayResumesAnExistingPlayback)
{
    Force(ModePlay);
    File.Open = true;
    Main.PIPPlayback = 1;
    Shell.Swapped = true;
    ASSERT_TRUE(ExecuteCommand(3000));
    EXPECT_EQ(Log.Calls.mid(0, 2), QStringList({"SwapInsetBack", "File.Resume"}));
    EXPECT_TRUE(Log.Has("main:ShowPause"));

    Log.Calls.clear();
    File.ResumeOk = false;
    ExecuteCommand(3000);
    EXPECT_FALSE(Log.Has("main:ShowPause"));

    // Pause shows "Play" only when the playback really paused.
    Log.Calls.clear();
    ExecuteCommand(1003);
    EXPECT_EQ(Log.Calls, QStringList({"File.Pause", "main:ShowPlay", "tv:ShowPlay"}));
    Log.Calls.clear();
    File.PauseOk = false;
    ExecuteCommand(1003);
    EXPECT_EQ(Log.Calls, QStringList({"File.Pause"}));

    // 3001 during a playback acts as Play.
    Log.Calls.clear();
    File.ResumeOk = true;
    ExecuteCommand(3001);
    EXPECT_TRUE(Log.Has("File.Resume"));
    EXPECT_EQ(Main.PlayLastCapture, 0);
}

TEST_F(Commands, ChannelCommandsNeedTheTunerOrTheFMPanel)
{
    ExecuteCommand(4001);
    ExecuteCommand(4002);
    ExecuteCommand(4003);
    EXPECT_EQ(Log.Calls, QStringList({"NextChannel", "PreviousChannel", "RecallChannel"}));

    // Picture-in-picture over a composite source: allowed, but nothing to tune.
    Force(ModePlay);
    Main.PIPPlayback = 1;
    File.Open = true;
    Channels.Src = SourceComposite;
    EXPECT_TRUE(ExecuteCommand(4001));
    EXPECT_TRUE(Log.Calls.isEmpty());

    Force(ModeFM);
    Shell.FMPanel = true;
    ExecuteCommand(4001);
    EXPECT_EQ(Log.Calls, QStringList({"NextChannel"}));
}

TEST_F(Commands, TwoDigitChannelsTypeTwoDigitsAndEnter)
{
    ASSERT_TRUE(ExecuteCommand(10011));
    EXPECT_EQ(Log.Calls,
              QStringList({"main:Digits(1)", "tv:Digits(1)", "main:Digits(11)", "tv:Digits(11)",
                           "main:Number(11,11)", "tv:Number(11,11)", "SetChannel(11)"}));
    Log.Calls.clear();
    ExecuteCommand(10010);
    EXPECT_TRUE(Log.Has("SetChannel(10)"));
    ExecuteCommand(10012);
    EXPECT_TRUE(Log.Has("SetChannel(12)"));
    EXPECT_TRUE(Hotkeys->Buffer.isEmpty());
    EXPECT_FALSE(Timer->Active());

    // Digits typed before are dropped: channel 11, not 511.
    ExecuteCommand(10005);
    ExecuteCommand(10011);
    EXPECT_EQ(Log.Calls.last(), "SetChannel(11)");
}

TEST_F(Commands, SourceCycle)
{
    struct Step
    {
        bool Tuner, Aux;
        uint8_t Source, Band;
        TSourceStep Next;
    };
    const Step steps[] = {
        {true, true, SourceTuner, ModeAntenna, {SourceTuner, ModeCable}},
        {true, true, SourceTuner, ModeCable, {SourceTuner, ModeMemory}},
        {true, true, SourceTuner, ModeMemory, {SourceComposite, ModeMemory}},
        {true, true, SourceComposite, ModeMemory, {SourceSVideo, ModeMemory}},
        {true, true, SourceSVideo, ModeMemory, {SourceCamera, ModeMemory}},
        {true, false, SourceSVideo, ModeMemory, {SourceTuner, ModeAntenna}},
        {true, true, SourceCamera, ModeMemory, {SourceTuner, ModeAntenna}},
        {true, true, SourceUnset, ModeUnset, {SourceTuner, ModeAntenna}},
        {false, true, SourceComposite, ModeUnset, {SourceSVideo, ModeUnset}},
        {false, true, SourceSVideo, ModeUnset, {SourceCamera, ModeUnset}},
        {false, false, SourceSVideo, ModeUnset, {SourceComposite, ModeUnset}},
        {false, true, SourceCamera, ModeUnset, {SourceComposite, ModeUnset}},
        {false, true, SourceUnset, ModeUnset, {SourceComposite, ModeUnset}},
    };
    for (const Step &s : steps)
        EXPECT_EQ(NextSourceStep(s.Tuner, s.Aux, s.Source, s.Band), s.Next)
            << int(s.Tuner) << int(s.Aux) << " " << int(s.Source) << "/" << int(s.Band);
}

TEST_F(Commands, SourceCommandsAndTheCameraFallback)
{
    Main.ChipFamily = FamilyEmpia2800;
    Channels.Src = SourceSVideo;
    Channels.CameraOk = false;
    ExecuteCommand(200);
    EXPECT_EQ(Log.Calls, QStringList({"SelectInput(3)", "SelectInput(1)", "Empia(1)"}));

    Log.Calls.clear();
    ExecuteCommand(205);
    ExecuteCommand(202);
    EXPECT_EQ(Log.Calls, QStringList({"SelectInput(2)", "Empia(2)", "SelectBand(1)", "Empia(0)"}));

    // 206: antenna unless the tuner is already on the antenna band.
    Log.Calls.clear();
    ExecuteCommand(206);
    ExecuteCommand(206);
    Channels.Src = SourceComposite;
    ExecuteCommand(206);
    EXPECT_EQ(Log.Calls, QStringList({"SelectBand(0)", "Empia(0)", "SelectBand(1)", "Empia(0)",
                                      "SelectBand(0)", "Empia(0)"}));

    // Other families have no vendor switch.
    Main.ChipFamily = FamilyPhilips;
    Log.Calls.clear();
    ExecuteCommand(204);
    EXPECT_EQ(Log.Calls, QStringList({"SelectInput(1)"}));
}

TEST_F(Commands, AudioModeCandidateTable)
{
    const QList<QList<uint8_t>> narrow = {
        {1, 3, 4, 0}, {3, 4, 0, 1}, {3, 4, 0, 1}, {4, 0, 1, 3}, {0, 1, 3, 4}};
    const QList<QList<uint8_t>> wide = {
        {1, 2, 3, 4, 0}, {2, 3, 4, 0, 1}, {3, 4, 0, 1, 2}, {4, 0, 1, 2, 3}, {0, 1, 2, 3, 4}};
    for (uint8_t m = 0; m < 5; ++m) {
        for (uint8_t s : {0, 1, 11})
            EXPECT_EQ(AudioModeCandidates(m, s), narrow[m]) << int(m) << "/" << int(s);
        for (uint8_t s : {2, 5, 9, 10})
            EXPECT_EQ(AudioModeCandidates(m, s), wide[m]) << int(m) << "/" << int(s);
    }
    EXPECT_EQ(AudioModeCandidates(5, 2), wide[0]);
}

TEST_F(Commands, AudioModeTakesTheFirstAcceptedAndStoresItOnlyInTVLists)
{
    Channels.Audio = 1;
    Channels.Accepted = {0, 1, 4};
    ExecuteCommand(300);
    EXPECT_EQ(Log.Calls, QStringList({"SetAudioMode(2)", "SetAudioMode(3)", "SetAudioMode(4)",
                                      "StoreAudioMode(4)"}));

    Log.Calls.clear();
    Channels.Bnd = ModeMemory;
    ExecuteCommand(300);
    EXPECT_EQ(Log.Calls, QStringList({"SetAudioMode(0)"}));
    EXPECT_EQ(Channels.Audio, 0);
}

TEST_F(Commands, VolumeTexts)
{
    EXPECT_EQ(VolumeStepPercent(0, true), 9);
    EXPECT_EQ(VolumeStepPercent(0, false), 0);
    EXPECT_EQ(VolumeStepPercent(58900, true), 99);
    EXPECT_EQ(VolumeStepPercent(58982, true), 99);
    EXPECT_EQ(VolumeStepPercent(58983, true), 100);
    EXPECT_EQ(VolumeStepPercent(65536, true), 100);
    EXPECT_EQ(VolumeStepPercent(65536, false), 90);
    EXPECT_EQ(VolumeStepPercent(6553, false), 0);

    Audio.Vol = 0;
    ExecuteCommand(401);
    Audio.Vol = 65535;
    ExecuteCommand(402);
    EXPECT_EQ(Log.Calls, QStringList({"SetVolume(6553)", "SetVolume(58982)"}));
    ExecuteCommand(403);
    ExecuteCommand(403);
    EXPECT_EQ(Shell.Osd, QStringList({" Volume 9%", " Volume 89%", " Mute ON", " Mute OFF"}));

    // The words come from the language when it has them.
    SetMessageTranslator(
        [](const QString &key) { return key == "Volume" ? QString("Lautstärke") : QString(); });
    Shell.Osd.clear();
    ExecuteCommand(401);
    EXPECT_EQ(Shell.Osd, QStringList({" Lautstärke 99%"}));
    SetMessageTranslator(nullptr);

    // No mixer: nothing to set and nothing to report.
    Audio.Mixer = false;
    Shell.Osd.clear();
    Log.Calls.clear();
    ExecuteCommand(401);
    ExecuteCommand(403);
    EXPECT_TRUE(Shell.Osd.isEmpty());
    EXPECT_TRUE(Log.Calls.isEmpty());
}

TEST_F(Commands, FMToggle)
{
    Shell.Full = true;
    ASSERT_TRUE(ExecuteCommand(6000));
    EXPECT_EQ(Main.AppMode, ModeFM);
    EXPECT_EQ(Log.Calls, QStringList({"SuppressOSD", "LeaveWallpaper", "SetFullScreen(0)",
                                      "EnterFMMode", "main:Mode(5)", "tv:Mode(5)", "HideTVPanel",
                                      "ShowFMPanel", "HideMainWindow", "fm:Mode(5)"}));

    Log.Calls.clear();
    ASSERT_TRUE(ExecuteCommand(6000));
    EXPECT_EQ(Main.AppMode, ModeLive);
    const QStringList back = {
        "StopPreview",  "LeaveFMMode",    "ShowMainWindow", "SetLineMute(0)",
        "main:Mode(0)", "main:Menu",      "fm:Mode(0)",     "HideFMPanel",
        "ShowTVPanel",  "ShowMainWindow", "SetLineMute(0)", "main:Mode(0)",
        "main:Menu",    "tv:Mode(0)",     "AllowOSD",       "RestoreStoredSource"};
    EXPECT_EQ(Log.Calls, back);

    // A tuner that refuses FM: the OSD comes back, the panels stay.
    FM.EnterOk = false;
    Log.Calls.clear();
    ExecuteCommand(6000);
    EXPECT_EQ(Main.AppMode, ModeLive);
    EXPECT_EQ(Log.Calls.last(), "AllowOSD");
    EXPECT_FALSE(Log.Has("ShowFMPanel"));
}

TEST_F(Commands, ExitPutsBackTheTVStateWhenLeavingFromFM)
{
    Force(ModeFM);
    Shell.FMPanel = true;
    Channels.Scan = true;
    ExecuteCommand(1);
    EXPECT_EQ(Log.Calls, QStringList({"AbortScan", "RestoreState", "CloseMainWindow"}));
    EXPECT_EQ(Main.StartInFM, 1);

    Force(ModeLive);
    Shell.FMPanel = false;
    Channels.Scan = false;
    ExecuteCommand(1);
    EXPECT_EQ(Log.Calls, QStringList({"CloseMainWindow"}));
    EXPECT_EQ(Main.StartInFM, 0);
}

TEST_F(Commands, ScanStopsARunningScanOrScansAndReturns)
{
    Channels.Scan = true;
    Force(ModeLive);
    ExecuteCommand(4004);
    EXPECT_EQ(Log.Calls, QStringList({"AbortScan"}));

    Channels.Scan = false;
    Log.Calls.clear();
    ExecuteCommand(4004);
    EXPECT_EQ(Log.Calls, QStringList({"ScanBand", "SetChannel(12)"}));
}

TEST_F(Commands, SnapshotSourcesAndFailure)
{
    ExecuteCommand(1000);
    EXPECT_EQ(Log.Calls, QStringList({"LiveSnapshot", "SnapshotList", "FocusMainWindow"}));

    Force(ModePlay);
    File.Open = true;
    Shell.Paper = true;
    ExecuteCommand(1000);
    EXPECT_EQ(Log.Calls, QStringList({"File.Snapshot", "SnapshotList"}));

    Force(ModeLive);
    File.Open = false;
    Capture.SnapshotOk = false;
    ExecuteCommand(1000);
    EXPECT_TRUE(Presenter.ShownNumber(1008));
    EXPECT_FALSE(Log.Has("SnapshotList"));
}

TEST_F(Commands, HelpOpensTheManualOfTheLanguage)
{
    const QString folder = TestEnv::NewFolder("doc");
    EXPECT_TRUE(HelpFilePath(folder, "Deutsch").isEmpty());
    TestEnv::WriteFile(folder + "/Lyra.html", "<html></html>");
    EXPECT_EQ(HelpFilePath(folder, "Deutsch"), folder + "/Lyra.html");
    EXPECT_EQ(HelpFilePath(folder, ""), folder + "/Lyra.html");
    TestEnv::WriteFile(folder + "/Lyra_English.html", "<html></html>");
    EXPECT_EQ(HelpFilePath(folder, "Deutsch"), folder + "/Lyra_English.html");
    TestEnv::WriteFile(folder + "/Lyra_Deutsch.html", "<html></html>");
    EXPECT_EQ(HelpFilePath(folder, "Deutsch"), folder + "/Lyra_Deutsch.html");
    EXPECT_EQ(HelpFilePath(folder, "Francais"), folder + "/Lyra_English.html");

    // The command opens what the rule finds in the program's documentation,
    // or says that there is none.
    QList<QUrl> opened;
    SetUrlOpener([&](const QUrl &url) {
        opened << url;
        return true;
    });
    ExecuteCommand(11);
    const QString expected = HelpFilePath(HelpFolder(), "");
    if (expected.isEmpty()) {
        EXPECT_TRUE(opened.isEmpty());
        ASSERT_EQ(Presenter.Shown.size(), 1);
    } else {
        ASSERT_EQ(opened.size(), 1);
        EXPECT_EQ(opened[0].toLocalFile(), expected);
    }

    // The manuals shipped with the program: the language's own, else the
    // English one.
    TMultiLangInfo lang;
    MultiLangInfo = &lang;
    for (const auto &[language, page] :
         {std::pair{"German", "Lyra_German.html"}, std::pair{"French", "Lyra_French.html"},
          std::pair{"Korean", "Lyra_English.html"}}) {
        lang.LanguageName = language;
        opened.clear();
        ExecuteCommand(11);
        ASSERT_EQ(opened.size(), 1) << language;
        EXPECT_EQ(opened[0].toLocalFile(), HelpFolder() + "/" + page);
        EXPECT_TRUE(QFileInfo::exists(opened[0].toLocalFile()));
    }
    MultiLangInfo = nullptr;
    SetUrlOpener(nullptr);
}

// Presents a warning "modally": a remote command arrives while it is open.
class TModalPresenter : public IWarningPresenter
{
public:
    std::function<void()> WhileOpen;
    int Closed = 0;
    void Present(const QStringList &) override
    {
        if (WhileOpen)
            WhileOpen();
    }
    void Close() override { ++Closed; }
};

TEST_F(Commands, RemoteCommands)
{
    TModalPresenter modal;
    SetWarningPresenter(&modal);
    modal.WhileOpen = [] { HandleRemoteCommand(1001); };
    ShowWarning(1101);
    EXPECT_EQ(modal.Closed, 1);
    EXPECT_EQ(Main.AppMode, ModeLive);
    EXPECT_TRUE(Log.Calls.isEmpty());
    SetWarningPresenter(&Presenter);

    // While scanning only the scan command gets through.
    Channels.Scan = true;
    HandleRemoteCommand(1);
    HandleRemoteCommand(403);
    EXPECT_TRUE(Log.Calls.isEmpty());
    HandleRemoteCommand(4004);
    EXPECT_EQ(Log.Calls, QStringList({"AbortScan"}));

    Channels.Scan = false;
    HandleRemoteCommand(1001);
    EXPECT_EQ(Main.AppMode, ModeCapture);

    // A posted command runs later, from the event loop.
    PostRemoteCommand(1002);
    EXPECT_EQ(Main.AppMode, ModeCapture);
    QCoreApplication::processEvents();
    EXPECT_EQ(Main.AppMode, ModeLive);
}

// Schedule: the agent's window is asked to show (3027) while an agent
// listens; only without one is the agent program started.
TEST_F(Commands, ScheduleWakesARunningAgentOrStartsOne)
{
    Force(ModeLive);
    Log.Calls.clear();
    ExecuteCommand(10);
    EXPECT_EQ(Log.Calls, QStringList{"StartAgent"});

    TInstanceServer agent(AgentName);
    ASSERT_TRUE(agent.Listen());
    QList<int> got;
    agent.Handler = [&got](const TInstanceMessageData &m) {
        got << m.Number;
        return QByteArray();
    };
    Log.Calls.clear();
    ExecuteCommand(10);
    for (int i = 0; i < 100 && got.isEmpty(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(got, QList<int>{AgentShowWindow});
    EXPECT_FALSE(Log.Has("StartAgent"));
}

// iEPG opens the address of "EPG.url" in the program folder (the built-in
// one without it); not in FM.
TEST_F(Commands, TheGuideOpensTheConfiguredAddress)
{
    QList<QUrl> opened;
    SetUrlOpener([&opened](const QUrl &url) {
        opened << url;
        return true;
    });
    const QString file = ProgramFolder::File("EPG.url");
    QFile::remove(file);
    Force(ModeLive);
    EXPECT_TRUE(ExecuteCommand(14));
    TestEnv::WriteFile(file, "https://guide.example/tv\nignored\n");
    EXPECT_TRUE(ExecuteCommand(14));
    Force(ModeFM);
    EXPECT_FALSE(ExecuteCommand(14));
    SetUrlOpener(nullptr);
    QFile::remove(file);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], QUrl(EpgAddress()));
    EXPECT_FALSE(opened[0].isEmpty());
    EXPECT_EQ(opened[1], QUrl("https://guide.example/tv"));
}

} // namespace
