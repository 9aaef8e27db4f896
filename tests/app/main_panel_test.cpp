// The skinned TV panel: which regions are live in each mode, what a click,
// a slip off a button, a drag and the volume bar do, what the labels show,
// and where the panel goes.
#include <QCoreApplication>
#include <QMouseEvent>

#include "app/forms/main_panel.h"
#include "app/forms/shape_image.h"
#include "app/ui_info.h"
#include "channels/country_info.h"
#include "mode_fakes.h"
#include "test_env.h"

namespace {

QString StagedSkin()
{
    return QStringLiteral(LYRA_STAGED_DATA "/skins/default/");
}

class Panel : public ModeTest
{
protected:
    TUIInfo UI;
    TFormMainPanel *P = nullptr;

    void SetUp() override
    {
        ModeTest::SetUp();
        ASSERT_TRUE(UI.LoadSkin(StagedSkin(), StagedSkin()))
            << UI.SkinErrors.join("\n").toStdString();
        P = new TFormMainPanel(&UI);
        P->show();
        P->ModeChanged(ModeLive);
        Log.Calls.clear();
    }
    void TearDown() override
    {
        delete P;
        ModeTest::TearDown();
    }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
    {
        QMouseEvent e(type, QPointF(at), QPointF(P->ShapeImageSkin->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(P->ShapeImageSkin, &e);
    }
    void Press(QPoint at) { Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton); }
    void Drag(QPoint at) { Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
    void Hover(QPoint at) { Mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    void Release(QPoint at) { Mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton); }
    void Click(QPoint at)
    {
        Press(at);
        Release(at);
    }
    QPoint Centre(int region) const { return UI.TVPanelRegions[region].Rect().center(); }
    // The panel's face over a region equals the look's.
    bool Shows(int region, int look) const
    {
        const QRect r = UI.TVPanelRegions[region].Rect();
        const QImage want = UI.TVPanelLooks[look].copy(r).convertToFormat(QImage::Format_ARGB32);
        return P->Face().copy(r).convertToFormat(QImage::Format_ARGB32) == want;
    }
};

TEST(PanelRules, EnabledTablePerMode)
{
    TPanelContext tuner{true, true, false, false};
    auto live = PanelEnabledFlags(ModeLive, tuner);
    for (int r : {0, 1, 2, 4, 5, 6, 7, 8, 9, 12, 25, 26, 27, 28, 29, 34, 35, 37, 39})
        EXPECT_TRUE(live[r]) << r;
    for (int r : {3, 10, 11, 30, 31, 32, 33, 36, 38})
        EXPECT_FALSE(live[r]) << r;

    auto play = PanelEnabledFlags(ModePlay, tuner);
    for (int r : {7, 30, 31, 32, 33, 38})
        EXPECT_TRUE(play[r]) << r;
    for (int r : {5, 6, 8, 9, 12, 21, 25, 29, 34, 35})
        EXPECT_FALSE(play[r]) << r;
    // Picture-in-picture playback keeps the channel keys.
    auto pip = PanelEnabledFlags(ModePlay, {true, true, true, false});
    EXPECT_TRUE(pip[12]);
    EXPECT_TRUE(pip[9]);
    EXPECT_FALSE(pip[6]);

    EXPECT_TRUE(PanelEnabledFlags(ModeTimeShift, {true, true, false, true})[29]);
    EXPECT_FALSE(PanelEnabledFlags(ModeTimeShift, tuner)[29]);
    EXPECT_FALSE(PanelEnabledFlags(ModeChannelPreview, tuner)[31]);
    EXPECT_TRUE(PanelEnabledFlags(ModeCapture, tuner)[31]);
    // Composite: no channel keys, no channel preview.
    auto composite = PanelEnabledFlags(ModeLive, {false, false, false, false});
    for (int r : {6, 9, 12, 20, 25, 26, 37, 39})
        EXPECT_FALSE(composite[r]) << r;
}

TEST(PanelRules, VolumeFromPointAndPlacement)
{
    const Skin::TRect bar = Skin::TVRegions[Skin::TVVolumeBar].Rect;
    EXPECT_EQ(VolumeFromPoint(bar, bar.Top), 65536);
    EXPECT_EQ(VolumeFromPoint(bar, bar.Top - 20), 65536);
    EXPECT_EQ(VolumeFromPoint(bar, bar.Bottom), 0);
    EXPECT_EQ(VolumeFromPoint(bar, bar.Bottom + 40), 0);
    EXPECT_EQ(VolumeFromPoint(bar, bar.Bottom - bar.Height() / 2),
              (bar.Height() / 2) * 65536 / bar.Height());

    // Room beside the window: centred in the margin; no room: at the edge.
    EXPECT_EQ(PanelPlacement({1280, 800}, {480, 360}, {201, 313}), QPoint(640 + 400 - 100, 220));
    EXPECT_EQ(PanelPlacement({1280, 800}, {1000, 700}, {201, 313}), QPoint(1280 - 201, 50));
}

TEST_F(Panel, ShapedAndSizedBySkin)
{
    EXPECT_EQ(P->size(), QSize(201, 313));
    ASSERT_FALSE(P->mask().isEmpty());
    // The corners of the panel's bounding box are outside the remote's body.
    EXPECT_FALSE(P->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(P->mask().contains(Centre(22)));
}

TEST_F(Panel, ClickExecutesTheRegionsCommand)
{
    Click(Centre(26)); // Volume up
    EXPECT_TRUE(Log.Has("SetVolume(39321)")) << Log.Calls.join(",").toStdString();
    EXPECT_TRUE(Shows(26, LookNormal));
    Log.Calls.clear();
    Click(Centre(1)); // Close
    EXPECT_TRUE(Log.Has("CloseMainWindow"));
}

TEST_F(Panel, PressMoveOffReleaseExecutesNothing)
{
    Press(Centre(26));
    EXPECT_TRUE(Shows(26, LookPressed));
    Drag(Centre(12));
    Release(Centre(12));
    EXPECT_TRUE(Log.Calls.isEmpty()) << Log.Calls.join(",").toStdString();
    EXPECT_TRUE(Shows(26, LookNormal));
    EXPECT_TRUE(Shows(12, LookNormal));
}

TEST_F(Panel, DisabledButtonDoesNothingAndHoverLights)
{
    Click(Centre(30)); // Pause is disabled in ModeLive
    EXPECT_TRUE(Log.Calls.isEmpty());
    EXPECT_TRUE(Shows(30, LookDisabled));
    Hover(Centre(13));
    EXPECT_TRUE(Shows(13, LookHover));
    EXPECT_EQ(P->ShapeImageSkin->toolTip(), "2");
    Hover(Centre(14));
    EXPECT_TRUE(Shows(13, LookNormal));
    EXPECT_TRUE(Shows(14, LookHover));
}

TEST_F(Panel, DragFromEmptyAreaOrDisabledButtonMovesThePanel)
{
    const QPoint empty(100, 30);
    ASSERT_EQ(UI.TVPanelRegionAt(empty.x(), empty.y()), TUIInfo::NoTVRegion);
    P->move(300, 200);
    const QPoint start = P->pos();
    Press(empty);
    Drag(empty + QPoint(25, -10));
    Release(empty + QPoint(25, -10));
    EXPECT_EQ(P->pos(), start + QPoint(25, -10));
    EXPECT_TRUE(Log.Calls.isEmpty());

    Press(Centre(30));
    Drag(Centre(30) + QPoint(-5, 7));
    Release(Centre(30) + QPoint(-5, 7));
    EXPECT_EQ(P->pos(), start + QPoint(20, -3));

    // An enabled button does not drag.
    Press(Centre(26));
    Drag(Centre(26) + QPoint(40, 40));
    Release(Centre(26) + QPoint(40, 40));
    EXPECT_EQ(P->pos(), start + QPoint(20, -3));
}

TEST_F(Panel, VolumeBarSetsVolumeFromTheMouse)
{
    const TUIRegion &bar = UI.TVPanelRegions[Skin::TVVolumeBar];
    Click(QPoint(bar.Left + 2, bar.Top));
    EXPECT_EQ(Log.Calls.value(0), "SetVolume(65536)");
    Log.Calls.clear();
    Press(QPoint(bar.Left + 2, bar.Top + 10));
    Drag(QPoint(bar.Left + 2, bar.Bottom + 30)); // dragged past the bottom
    Release(QPoint(bar.Left + 2, bar.Bottom + 30));
    EXPECT_EQ(Log.Calls.last(), "SetVolume(0)");

    // Without a mixer the bar is dead.
    Audio.Mixer = false;
    P->ModeChanged(ModeLive);
    Log.Calls.clear();
    Click(QPoint(bar.Left + 2, bar.Top));
    EXPECT_TRUE(Log.Calls.isEmpty());
}

TEST_F(Panel, VolumeDisplayPaintsLampAndBar)
{
    P->VolumeChanged(65536, true);
    EXPECT_TRUE(Shows(Skin::TVMuteLamp, LookNormal));
    EXPECT_TRUE(Shows(Skin::TVVolumeBar, LookNormal));
    P->VolumeChanged(0, false);
    EXPECT_TRUE(Shows(Skin::TVMuteLamp, LookDisabled));
    EXPECT_TRUE(Shows(Skin::TVVolumeBar, LookDisabled));
}

TEST_F(Panel, LabelsFollowModeChannelAndRecording)
{
    P->ModeChanged(ModeCapture);
    EXPECT_EQ(P->LabelPAVOState->text(), "REC");
    TRecordingProgress progress;
    progress.FileSize = 12500000;
    progress.ElapsedSeconds = 3725;
    P->RecordingProgress(progress);
    EXPECT_EQ(P->LabelDuration->text(), "12.50 MB");
    EXPECT_EQ(P->LabelCurretPos->text(), "1:02:05");
    P->ModeChanged(ModeFM); // nothing changes
    EXPECT_EQ(P->LabelPAVOState->text(), "REC");
    EXPECT_TRUE(P->RegionEnabled(31));
    P->ModeChanged(ModeLive);
    EXPECT_EQ(P->LabelPAVOState->text(), "Live");
    EXPECT_EQ(P->LabelDuration->text(), " 0MB");

    P->ChannelChanged(5, "x");
    EXPECT_EQ(P->LabelChannel->text(), " 5");
    P->ChannelChanged(42, "x");
    EXPECT_EQ(P->LabelChannel->text(), "42");
    P->NumberEntered("1-", 1);
    EXPECT_EQ(P->LabelChannel->text(), "1-");

    Channels.Src = SourceSVideo;
    P->SourceChanged(SourceSVideo);
    EXPECT_EQ(P->PanelVideoSource->text(), "S-Video");
    EXPECT_FALSE(P->LabelTVChannelAudio->isVisible());
    EXPECT_FALSE(P->RegionEnabled(12));
    EXPECT_FALSE(P->RegionEnabled(6));
    Channels.Src = SourceTuner;
    Channels.Bnd = ModeCable;
    P->SourceChanged(SourceTuner);
    EXPECT_EQ(P->PanelVideoSource->text(), "Cable");
    EXPECT_TRUE(P->RegionEnabled(12));
}

TEST_F(Panel, TimerBlinksRecordingAndSleepLabels)
{
    bool recording = true, sleeping = true;
    P->Recording = [&] { return recording; };
    P->SleepTimerRunning = [&] { return sleeping; };
    P->ShowTime();
    const bool first = P->LabelPAVOState->isVisible();
    P->ShowTime();
    EXPECT_NE(P->LabelPAVOState->isVisible(), first);
    const bool sleepFirst = P->LabelSleep->isVisible();
    P->ShowTime();
    EXPECT_NE(P->LabelSleep->isVisible(), sleepFirst);
    recording = sleeping = false;
    P->ShowTime();
    EXPECT_TRUE(P->LabelPAVOState->isVisible());
    EXPECT_FALSE(P->LabelSleep->isVisible());
    EXPECT_TRUE(P->LabelTime->text().contains(':'));
}

TEST_F(Panel, PlayStateAndTextButtons)
{
    P->ModeChanged(ModePlay);
    P->PlayPauseState(true);
    EXPECT_TRUE(P->RegionEnabled(29));
    EXPECT_FALSE(P->RegionEnabled(30));
    EXPECT_TRUE(Shows(29, LookNormal));
    P->PlayPauseState(false);
    EXPECT_FALSE(P->RegionEnabled(29));
    EXPECT_TRUE(Shows(29, LookDisabled));
    EXPECT_FALSE(P->PanelVideoSource->isEnabled());
    EXPECT_FALSE(P->PanelFMMode->isVisible());
    P->ModeChanged(ModeLive);
    EXPECT_TRUE(P->PanelVideoSource->isEnabled());
    EXPECT_TRUE(P->PanelFMMode->isVisible());
}

// The programme guide's button: Japan's country code only, and only while
// TV is shown.
TEST_F(Panel, TheGuideButtonShowsForCountry81InTVOnly)
{
    TCountryInfo country;
    CountryInfo = &country;
    for (int code : {1, 49, 81}) {
        country.LocaleCountry = code;
        for (uint8_t mode : {ModeLive, ModeCapture, ModeFM}) {
            P->ModeChanged(mode);
            EXPECT_EQ(P->PaneliEPG->isVisible(), code == 81 && mode == ModeLive)
                << code << " " << int(mode);
        }
    }
    CountryInfo = nullptr;
}

} // namespace
