// The fan-out to the main window and the panels, the menu-state rules and the
// disk-full rule.
#include <QMutex>
#include <QThread>
#include <atomic>

#include "app/menu_captions.h"
#include "mode_fakes.h"
#include "platform/instance_channel.h"

namespace {

using Views = ModeTest;

TEST_F(Views, EventsGoToTheirViewsInOrderAndOnlyWhenVisible)
{
    FMView.Visible = true;
    ShellViews.ChannelChanged(5, "News");
    ShellViews.BandChanged(1);
    ShellViews.SourceChanged(0);
    ShellViews.AudioModeText("Stereo");
    ShellViews.FMPanelUpdate();
    ShellViews.VideoStandardText("PAL-B/G");
    ShellViews.PlayItemVisibility(true);
    ShellViews.VolumeChanged(100, false);
    EXPECT_EQ(Log.Calls, QStringList({"main:Channel", "tv:Channel", "fm:Channel", "main:Band",
                                      "tv:Band", "main:Source", "tv:Source", "main:AudioText",
                                      "tv:AudioText", "fm:FMUpdate", "tv:Standard", "main:PlayItem",
                                      "tv:PlayItem", "main:Volume", "tv:Volume", "fm:Volume"}));

    Log.Calls.clear();
    TVView.Visible = false;
    ShellViews.RecordingProgress({});
    ShellViews.TVPanel = nullptr; // a view that does not exist
    ShellViews.PlayPauseState(true);
    EXPECT_EQ(Log.Calls,
              QStringList({"main:Progress", "fm:Progress", "main:ShowPlay", "fm:ShowPlay"}));
}

TEST_F(Views, ModeChangeCarriesMenuStateAndStatusCaption)
{
    Force(ModeLive);
    ASSERT_TRUE(Main.SetAppMode(ModeCapture));
    ASSERT_EQ(MainView.Captions, QStringList({"Capture"}));
    EXPECT_TRUE(MainView.Menus[0].Stop);
    EXPECT_FALSE(MainView.Menus[0].Capture);

    // FM and None: no caption and no menu change.
    Force(ModeCapture);
    ASSERT_TRUE(Main.SetAppMode(ModeNone));
    EXPECT_EQ(MainView.Menus.size(), 1);
    EXPECT_TRUE(Log.Has("main:Mode(8)"));

    // A hidden main window keeps its menu.
    MainView.Visible = false;
    Force(ModeNone);
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(MainView.Menus.size(), 1);
    EXPECT_TRUE(Log.Has("tv:Mode(0)"));
}

TEST_F(Views, StatusCaptionsFollowTheTranslatedItems)
{
    EXPECT_EQ(StatusCaption(ModeLive), "Live");
    EXPECT_EQ(StatusCaption(ModeScheduledCapture), "Capture Schedule");
    EXPECT_EQ(StatusCaption(ModeTimeShiftPlay), "Play Time Shifting");
    EXPECT_EQ(StatusCaption(ModeChannelPreview), "Channel Preview");
    EXPECT_TRUE(StatusCaption(ModeFM).isEmpty());
    EXPECT_TRUE(StatusCaption(ModeNone).isEmpty());

    SetMessageTranslator([](const QString &key) {
        return key == "Play" ? QString("Wiedergabe") : key == "About" ? QString("Info") : QString();
    });
    ApplyMenuLanguage();
    EXPECT_TRUE(Log.Has("main:Captions"));
    EXPECT_EQ(StatusCaption(ModeTimeShiftPlay), "Wiedergabe Time Shifting");
    EXPECT_EQ(MenuCaption("About"), "Info");
    EXPECT_EQ(MenuCaption("FMMemorized"), "Memo Channel");
    SetMessageTranslator(nullptr);
    ApplyMenuLanguage();
    EXPECT_EQ(MenuCaption("Play"), "Play");
    EXPECT_EQ(MenuCaptionKeys().size(), 36);
}

TEST_F(Views, MenuStateRules)
{
    TMenuContext c;
    c.HasTuner = true;
    c.Band = ModeAntenna;
    c.FMAvailable = true;

    const TMenuState live = ComputeMenuState(ModeLive, c);
    EXPECT_TRUE(live.AspectRatio && live.FullScreen && live.VideoDesktop && live.DigitalZoom);
    EXPECT_TRUE(live.ChannelSteps && live.MemoChannel && live.ChannelPreview &&
                live.SwitchSourceEnabled);
    EXPECT_TRUE(live.Snapshot && live.Capture && live.TimeShifting && live.Setup &&
                live.SleepTimer);
    EXPECT_TRUE(live.Play && live.ResetTV && live.FMMode);
    EXPECT_FALSE(live.PlayControls || live.Stop || live.SpeedItems || live.RealScreen);

    TMenuContext full = c;
    full.FullScreen = true;
    const TMenuState liveFull = ComputeMenuState(ModeLive, full);
    EXPECT_FALSE(liveFull.AspectRatio || liveFull.DigitalZoom);
    EXPECT_TRUE(liveFull.VideoDesktop);

    TMenuContext memory = c;
    memory.Band = ModeMemory;
    EXPECT_FALSE(ComputeMenuState(ModeLive, memory).MemoChannel);
    TMenuContext noTuner = c;
    noTuner.HasTuner = false;
    const TMenuState composite = ComputeMenuState(ModeLive, noTuner);
    EXPECT_FALSE(composite.ChannelSteps || composite.ChannelPreview || composite.ResetTV ||
                 composite.MemoChannel);

    const TMenuState preview = ComputeMenuState(ModeChannelPreview, c);
    EXPECT_FALSE(preview.AspectRatio || preview.Stop || preview.ChannelSteps || preview.Snapshot);
    EXPECT_TRUE(preview.ChannelPreview && preview.FullScreen);
    TMenuContext previewWithFile = c;
    previewWithFile.FilePlaybackExists = true;
    EXPECT_FALSE(ComputeMenuState(ModeChannelPreview, previewWithFile).FullScreen);

    const TMenuState play = ComputeMenuState(ModePlay, c);
    EXPECT_TRUE(play.Snapshot && play.PlayControls && play.Stop && play.SpeedItems);
    EXPECT_FALSE(play.Play || play.RealScreen || play.ChannelSteps || play.SwitchSourceEnabled ||
                 play.Capture);
    TMenuContext pip = c;
    pip.PIPPlaybackRuns = true;
    const TMenuState playPip = ComputeMenuState(ModePlay, pip);
    EXPECT_TRUE(playPip.ChannelSteps && playPip.MemoChannel && playPip.SwitchSourceEnabled);
    EXPECT_FALSE(playPip.ChannelPreview);

    const TMenuState tsPlay = ComputeMenuState(ModeTimeShiftPlay, c);
    EXPECT_TRUE(tsPlay.RealScreen && tsPlay.PlayControls && tsPlay.Snapshot);
    EXPECT_FALSE(tsPlay.SpeedItems);

    TMenuContext noTsPlay = c;
    c.TimeShiftPlayAllowed = true;
    EXPECT_TRUE(ComputeMenuState(ModeTimeShift, c).Play);
    EXPECT_FALSE(ComputeMenuState(ModeTimeShift, noTsPlay).Play);

    const TMenuState capture = ComputeMenuState(ModeCapture, c);
    EXPECT_TRUE(capture.Stop);
    EXPECT_FALSE(capture.Snapshot || capture.Play || capture.Setup || capture.FMMode);

    TMenuContext noFM = c;
    noFM.FMAvailable = false;
    EXPECT_FALSE(ComputeMenuState(ModeLive, noFM).FMMode);
}

TEST_F(Views, LineMuteAndInsetOnModeChange)
{
    Shell.Swapped = true;
    Force(ModeCapture);
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_TRUE(Log.Has("SetLineMute(0)"));
    EXPECT_TRUE(Log.Has("SwapInsetBack"));

    Force(ModeLive);
    ASSERT_TRUE(Main.SetAppMode(ModePlay));
    EXPECT_TRUE(Log.Has("SetLineMute(1)"));

    Force(ModeLive);
    Main.PIPPlayback = 1;
    File.Open = false;
    ASSERT_TRUE(Main.SetAppMode(ModePlay));
    EXPECT_FALSE(Log.Has("SetLineMute(1)"));
}

TEST_F(Views, SourceMenuState)
{
    const TSourceMenuState cable = ComputeSourceMenuState(SourceTuner, ModeCable);
    EXPECT_TRUE(cable.Cable && cable.ChannelItems);
    EXPECT_FALSE(cable.Antenna || cable.Memory || cable.Composite);
    EXPECT_EQ(cable.OsdText, "Cable");

    const TSourceMenuState svideo = ComputeSourceMenuState(SourceSVideo, ModeCable);
    EXPECT_TRUE(svideo.SVideo);
    EXPECT_FALSE(svideo.Cable || svideo.ChannelItems);
    EXPECT_EQ(svideo.OsdText, "S-Video");
    EXPECT_EQ(ComputeSourceMenuState(SourceCamera, ModeUnset).OsdText, "Camera");

    SetMessageTranslator(
        [](const QString &key) { return key == "Memory" ? QString("Speicher") : QString(); });
    EXPECT_EQ(ComputeSourceMenuState(SourceTuner, ModeMemory).OsdText, "Speicher");
    SetMessageTranslator(nullptr);

    Channels.Src = SourceComposite;
    NotifySourceChanged();
    EXPECT_EQ(Log.Calls, QStringList({"main:Source", "tv:Source", "main:SourceMenu"}));
    ASSERT_EQ(MainView.SourceMenus.size(), 1);
    EXPECT_TRUE(MainView.SourceMenus[0].Composite);
    EXPECT_EQ(Shell.Osd, QStringList({"Composite"}));
}

TEST_F(Views, DiskFullStopsTheRecordingAndTellsTheUser)
{
    Force(ModeCapture);
    TRecordingProgress p;
    p.MustStop = true;
    p.FreeSpace = 500000;
    NotifyRecordingProgress(p);
    EXPECT_EQ(Main.AppMode, ModeLive);
    EXPECT_EQ(Log.Calls.mid(0, 3), QStringList({"main:Progress", "tv:Progress", "StopRecording"}));
    EXPECT_TRUE(Presenter.ShownNumber(1101));

    // Stopped for another reason: no disk-full message.
    Presenter.Shown.clear();
    Force(ModeCapture);
    p.FreeSpace = 500001;
    NotifyRecordingProgress(p);
    EXPECT_EQ(Main.AppMode, ModeLive);
    EXPECT_TRUE(Presenter.Shown.isEmpty());

    // Progress alone changes nothing.
    Force(ModeCapture);
    NotifyRecordingProgress({});
    EXPECT_EQ(Main.AppMode, ModeCapture);
}

// The scheduling agent is another process; here it listens on a thread of
// its own so that the shell's blocking send gets its answer.
class TAgentThread : public QThread
{
public:
    QMutex Lock;
    QList<TInstanceMessageData> Received;
    std::atomic<bool> Listening{false};
    void run() override
    {
        TInstanceServer server(AgentName);
        server.Handler = [this](const TInstanceMessageData &m) {
            QMutexLocker locker(&Lock);
            Received << m;
            return QByteArray();
        };
        Listening = server.Listen();
        exec();
    }
};

TEST_F(Views, DiskFullInAnUnattendedRunReportsToTheAgent)
{
    TAgentThread agent;
    agent.start();
    for (int i = 0; i < 200 && !agent.Listening; ++i)
        QThread::msleep(10);
    ASSERT_TRUE(agent.Listening);

    Force(ModeScheduledCapture);
    TRecordingProgress p;
    p.MustStop = true;
    p.FreeSpace = 100;
    p.Quiet = true;
    NotifyRecordingProgress(p);
    agent.quit();
    agent.wait();

    EXPECT_EQ(Main.AppMode, ModeLive);
    EXPECT_TRUE(Log.Has("StopScheduled"));
    EXPECT_TRUE(Presenter.Shown.isEmpty());
    ASSERT_EQ(agent.Received.size(), 1);
    EXPECT_EQ(agent.Received[0].Number, AgentReport);
    EXPECT_EQ(agent.Received[0].WParam, 2);
}

} // namespace
