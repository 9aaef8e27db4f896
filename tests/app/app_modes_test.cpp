// The mode machine: every exit and entry row, failed changes, predicates.
#include <QFile>

#include "mode_fakes.h"
#include "test_env.h"

namespace {

using Modes = ModeTest;

TEST_F(Modes, LiveKeepsThePreviewForMosaicPlayAndFM)
{
    ASSERT_TRUE(Main.SetAppMode(ModeChannelPreview));
    EXPECT_EQ(Log.Calls, QStringList({"EnterMosaic", "main:Mode(1)", "main:Menu", "tv:Mode(1)"}));

    Force(ModeLive);
    ASSERT_TRUE(Main.SetAppMode(ModeFM));
    EXPECT_FALSE(Log.Has("StopPreview"));
    EXPECT_EQ(Log.Calls.first(), "EnterFMMode");

    // Picture-in-picture playback opens over the running preview.
    Force(ModeLive);
    Main.PIPPlayback = 1;
    ASSERT_TRUE(Main.SetAppMode(ModePlay));
    EXPECT_FALSE(Log.Has("StopPreview"));
    EXPECT_TRUE(Log.Has("File.PlayList"));
}

TEST_F(Modes, LiveStopsThePreviewForRecordingAndTimeShift)
{
    ASSERT_TRUE(Main.SetAppMode(ModeCapture));
    EXPECT_EQ(Log.Calls.mid(0, 2), QStringList({"StopPreview", "StartRecording"}));
    EXPECT_EQ(Main.AppMode, ModeCapture);

    Force(ModeLive);
    ASSERT_TRUE(Main.SetAppMode(ModeTimeShift));
    EXPECT_EQ(Log.Calls.mid(0, 2), QStringList({"StopPreview", "StartTimeShift"}));

    Force(ModeLive);
    ASSERT_TRUE(Main.SetAppMode(ModeScheduledCapture));
    EXPECT_EQ(Log.Calls.mid(0, 2), QStringList({"StopPreview", "StartScheduled"}));
}

TEST_F(Modes, FirstStartBuildsTheGraph)
{
    Force(ModeNone);
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Log.Calls.first(), "StartPreview(build)");

    // Back to live from a recording: the graph exists, no build.
    Force(ModeCapture);
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Log.Calls.mid(0, 2), QStringList({"StopRecording", "StartPreview"}));

    Force(ModeNone);
    ASSERT_TRUE(Main.SetAppMode(ModeFM));
    EXPECT_EQ(Log.Calls.first(), "StartPreview(build)");
}

TEST_F(Modes, StoppingARecordingListsTheFileAndRemembersIt)
{
    Force(ModeCapture);
    Recording.File = "/videos/news.mpg";
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    ASSERT_EQ(Lists.Items.size(), 1);
    EXPECT_EQ(Lists.Items[0].Recording.FileName, "/videos/news.mpg");
    EXPECT_EQ(Lists.Items[0].Channel, 12);
    EXPECT_EQ(Main.LastCaptureFile, "/videos/news.mpg");

    // Not from the tuner: channel 0.
    Force(ModeCapture);
    Channels.Src = SourceComposite;
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Lists.Items[1].Channel, 0);
}

TEST_F(Modes, ExitRowsOfTheOtherModes)
{
    Force(ModeChannelPreview);
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Log.Calls.first(), "LeaveMosaic");
    EXPECT_FALSE(Log.Has("StartPreview"));

    Force(ModeScheduledCapture);
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Log.Calls.mid(0, 2), QStringList({"StopScheduled", "StartPreview"}));

    Force(ModePlay);
    File.Open = true;
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Log.Calls.mid(0, 3),
              QStringList({"File.Close", "ClosePlayListWindow", "RestartPreview"}));

    Force(ModePlay);
    File.Open = true;
    Main.PIPPlayback = 1;
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_FALSE(Log.Has("RestartPreview"));
    Main.PIPPlayback = 0;

    Force(ModeFM);
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Log.Calls.mid(0, 3), QStringList({"StopPreview", "LeaveFMMode", "ShowMainWindow"}));

    Force(ModeTimeShift);
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Log.Calls.mid(0, 2), QStringList({"StopTimeShift", "StartPreview"}));

    Force(ModeLive);
    ASSERT_TRUE(Main.SetAppMode(ModeNone));
    EXPECT_EQ(Log.Calls.first(), "StopPreview");
}

TEST_F(Modes, PlayFromFMStopsTheRadioGraphOnEntryOnly)
{
    Force(ModeFM);
    Main.PIPPlayback = 1;
    ASSERT_TRUE(Main.SetAppMode(ModePlay));
    EXPECT_EQ(Log.Calls.mid(0, 4),
              QStringList({"PlaybackDialog", "LeaveWallpaper", "StopPreview", "File.PlayList"}));
}

TEST_F(Modes, TimeShiftPlaybackRunsOnTopOfTheRecording)
{
    Force(ModeTimeShift);
    ASSERT_TRUE(Main.SetAppMode(ModeTimeShiftPlay));
    EXPECT_FALSE(Log.Has("StopTimeShift"));
    EXPECT_EQ(Log.Calls.first(), "TSPlay.Start");

    Log.Calls.clear();
    ASSERT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Log.Calls.mid(0, 3), QStringList({"TSPlay.Close", "StopTimeShift", "StartPreview"}));
}

TEST_F(Modes, FMFromAnotherModeSucceedsWhateverThePreviewSays)
{
    Force(ModeCapture);
    Capture.StartOk = false;
    EXPECT_TRUE(Main.SetAppMode(ModeFM));
    EXPECT_EQ(Main.AppMode, ModeFM);
    EXPECT_FALSE(Log.Has("EnterFMMode"));
}

TEST_F(Modes, AFailedEntryLeavesModeAndViewsUntouched)
{
    Recording.StartOk = false;
    EXPECT_FALSE(Main.SetAppMode(ModeCapture));
    EXPECT_EQ(Main.AppMode, ModeLive);
    // The recording graph is gone; the picture comes back.
    EXPECT_EQ(Log.Calls, QStringList({"StopPreview", "StartRecording", "RestartPreview"}));

    Force(ModeLive);
    FM.EnterOk = false;
    EXPECT_FALSE(Main.SetAppMode(ModeFM));
    EXPECT_EQ(Main.AppMode, ModeLive);
    EXPECT_EQ(Log.Calls, QStringList({"EnterFMMode"}));

    Force(ModeLive);
    Scheduled.StartOk = false;
    EXPECT_FALSE(Main.SetAppMode(ModeScheduledCapture));
    EXPECT_TRUE(Log.Has("RestartPreview"));

    Force(ModeLive);
    TimeShift.StartOk = false;
    EXPECT_FALSE(Main.SetAppMode(ModeTimeShift));
    EXPECT_EQ(Main.AppMode, ModeLive);
    EXPECT_FALSE(Log.Calls.join(" ").contains("main:"));
}

TEST_F(Modes, AFailedExitSkipsTheEntry)
{
    Force(ModeCapture);
    Recording.StopOk = false;
    EXPECT_FALSE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Main.AppMode, ModeCapture);
    EXPECT_EQ(Log.Calls, QStringList({"StopRecording"}));
    EXPECT_TRUE(Main.LastCaptureFile.isEmpty());
}

TEST_F(Modes, AMissingEngineRefusesTheChangeAndKeepsTheOldActivity)
{
    ModeEngines.Recording = nullptr;
    EXPECT_FALSE(Main.SetAppMode(ModeCapture));
    ModeEngines.TimeShift = nullptr;
    EXPECT_FALSE(Main.SetAppMode(ModeTimeShift));
    ModeEngines.FM = nullptr;
    EXPECT_FALSE(Main.SetAppMode(ModeFM));
    EXPECT_EQ(Main.AppMode, ModeLive);
    EXPECT_TRUE(Log.Calls.isEmpty()) << Log.Calls.join(",").toStdString();

    // Nothing to leave FM with: the radio keeps playing.
    Force(ModeFM);
    EXPECT_FALSE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Main.AppMode, ModeFM);

    ModeEngines = {};
    Force(ModeNone);
    EXPECT_FALSE(Main.SetAppMode(ModeLive));
    EXPECT_EQ(Main.AppMode, ModeNone);
}

TEST_F(Modes, ChannelPreviewNeedsAMarkedChannel)
{
    Mosaic.Marked = false;
    EXPECT_FALSE(Main.SetAppMode(ModeChannelPreview));
    EXPECT_TRUE(Presenter.ShownNumber(1006));
    EXPECT_FALSE(Log.Has("EnterMosaic"));
    EXPECT_EQ(Main.AppMode, ModeLive);
}

TEST_F(Modes, PlayingTheLastRecording)
{
    Main.PlayLastCapture = 1;
    Main.LastCaptureFile = TestEnv::NewFolder("rec") + "/missing.mpg";
    EXPECT_FALSE(Main.SetAppMode(ModePlay));
    EXPECT_TRUE(Presenter.ShownNumber(1105));
    EXPECT_FALSE(Log.Has("StopPreview"));

    Main.LastCaptureFile = TestEnv::WriteFile(TestEnv::NewFolder("rec") + "/last.mpg", "x");
    ASSERT_TRUE(Main.SetAppMode(ModePlay));
    EXPECT_EQ(Log.Calls.mid(0, 3), QStringList({"LeaveWallpaper", "StopPreview", "File.OpenFile"}));
    EXPECT_FALSE(Log.Has("PlaybackDialog"));

    Force(ModeLive);
    File.OpenOk = false;
    EXPECT_FALSE(Main.SetAppMode(ModePlay));
    EXPECT_EQ(Log.Calls.mid(2), QStringList({"File.OpenFile", "File.Free", "RestartPreview"}));
}

TEST_F(Modes, PlayingThePlayList)
{
    Shell.DialogOk = false;
    EXPECT_FALSE(Main.SetAppMode(ModePlay));
    EXPECT_EQ(Log.Calls, QStringList({"PlaybackDialog"}));

    Force(ModeLive);
    Shell.DialogOk = true;
    File.Items = 0;
    EXPECT_FALSE(Main.SetAppMode(ModePlay));
    EXPECT_TRUE(Log.Has("File.Free"));
    EXPECT_TRUE(Log.Has("RestartPreview"));

    Force(ModeLive);
    File.Items = 1;
    ASSERT_TRUE(Main.SetAppMode(ModePlay));
    EXPECT_FALSE(Log.Has("OpenPlayListWindow"));

    Force(ModeLive);
    File.Items = 3;
    ASSERT_TRUE(Main.SetAppMode(ModePlay));
    EXPECT_TRUE(Log.Has("OpenPlayListWindow"));
}

TEST_F(Modes, SameModeOrUnknownModeChangesNothing)
{
    int notified = 0;
    Main.OnModeChanged = [&](uint8_t) { ++notified; };
    EXPECT_TRUE(Main.SetAppMode(ModeLive));
    EXPECT_FALSE(Main.SetAppMode(9));
    EXPECT_EQ(notified, 0);
    EXPECT_TRUE(Log.Calls.isEmpty());
    ASSERT_TRUE(Main.SetAppMode(ModeCapture));
    EXPECT_EQ(notified, 1);
}

TEST_F(Modes, Predicates)
{
    struct Case
    {
        uint8_t Mode;
        uint8_t Source;
        bool Scan, Pip, FileOpen, TSOpen;
        bool TVIdle, TunerLive, NumericOK, Playing, InFM, PlaybackActive;
    };
    const Case cases[] = {
        {ModeLive, SourceTuner, false, false, false, false, true, true, true, false, false, false},
        {ModeLive, SourceComposite, false, false, false, false, true, false, false, false, false,
         false},
        {ModeLive, SourceTuner, true, false, false, false, false, false, false, false, false,
         false},
        {ModePlay, SourceTuner, false, false, true, false, false, false, false, true, false, true},
        {ModePlay, SourceTuner, false, true, true, false, false, false, true, true, false, true},
        {ModePlay, SourceTuner, false, true, false, false, false, false, false, true, false, false},
        {ModeTimeShiftPlay, SourceTuner, false, false, false, true, false, false, false, true,
         false, true},
        {ModeFM, SourceTuner, false, false, false, false, false, false, false, false, true, false},
        {ModeCapture, SourceTuner, false, false, false, false, false, false, false, false, false,
         false},
    };
    int i = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(i++);
        Main.AppMode = c.Mode;
        Channels.Src = c.Source;
        Channels.Scan = c.Scan;
        Main.PIPPlayback = c.Pip;
        File.Open = c.FileOpen;
        TSPlay.Open = c.TSOpen;
        EXPECT_EQ(TVIdle(), c.TVIdle);
        EXPECT_EQ(TunerLive(), c.TunerLive);
        EXPECT_EQ(NumericOK(), c.NumericOK);
        EXPECT_EQ(Playing(), c.Playing);
        EXPECT_EQ(InFM(), c.InFM);
        EXPECT_EQ(PlaybackActive(), c.PlaybackActive);
    }
}

} // namespace
