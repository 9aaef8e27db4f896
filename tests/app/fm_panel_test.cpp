// The skinned FM panel: which regions and menu items are live in each mode,
// what a click sends, where the dial's needle stands, what the labels show,
// and the memorize dialog.
#include <QCoreApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>

#include "app/forms/main_panel.h"
#include "app/forms/shape_image.h"
#include "app/ui_info.h"
#include "channels/fm_memories.h"
#include "channels/forms/add_fm_frequency.h"
#include "channels/forms/fm_panel.h"
#include "mode_fakes.h"
#include "test_env.h"

namespace {

QString StagedSkin()
{
    return QStringLiteral(LYRA_STAGED_DATA "/skins/default/");
}

class FMPanel : public ModeTest
{
protected:
    TUIInfo UI;
    TFormFMMainPanel *P = nullptr;

    void SetUp() override
    {
        ModeTest::SetUp();
        ASSERT_TRUE(UI.LoadSkin(StagedSkin(), StagedSkin()))
            << UI.SkinErrors.join("\n").toStdString();
        Force(ModeFM);
        P = new TFormFMMainPanel(&UI);
        P->show();
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
    void Click(QPoint at)
    {
        Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    }
    QPoint Centre(int region) const { return UI.FMPanelRegions[region].Rect().center(); }
    bool Shows(const QRect &r, const QImage &look) const
    {
        return P->Face().copy(r).convertToFormat(QImage::Format_ARGB32) ==
               look.copy(r).convertToFormat(QImage::Format_ARGB32);
    }
    bool Shows(int region, int look) const
    {
        return Shows(UI.FMPanelRegions[region].Rect(), UI.FMPanelLooks[look]);
    }
};

TEST(FMPanelRules, EnabledTablePerMode)
{
    const TFMPanelContext mixer{true};
    const auto fm = FMPanelEnabledFlags(ModeFM, mixer);
    // Keypad, memorize, TV, steps, Play and Capture in FM; volume with a mixer.
    for (int r : {0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 31, 33, 35})
        EXPECT_TRUE(fm[r]) << r;
    for (int r : {27, 28, 29, 30, 32, 34})
        EXPECT_FALSE(fm[r]) << r;

    // Recording the radio: only Stop (and what is always there) is live.
    const auto rec = FMPanelEnabledFlags(ModeCapture, mixer);
    EXPECT_TRUE(rec[28]);
    for (int r : {4, 5, 6, 7, 19, 21, 26, 27, 31, 34})
        EXPECT_FALSE(rec[r]) << r;

    const auto play = FMPanelEnabledFlags(ModePlay, mixer);
    for (int r : {27, 28, 29, 30, 34})
        EXPECT_TRUE(play[r]) << r;
    for (int r : {6, 21, 22, 26, 31})
        EXPECT_FALSE(play[r]) << r;

    // No mixer: no volume keys, lamp or bar.
    const auto bare = FMPanelEnabledFlags(ModeFM, TFMPanelContext{false});
    for (int r : {23, 24, 25, 33, 35})
        EXPECT_FALSE(bare[r]) << r;
}

TEST_F(FMPanel, ButtonsSendTheirCommandsOnlyWhenEnabled)
{
    P->ModeChanged(ModeFM);
    Log.Calls.clear();
    Click(Centre(21)); // Frequency Up
    Click(Centre(20)); // Previous Channel
    Click(Centre(9));  // digit 3
    EXPECT_TRUE(Log.Has("StepUp"));
    EXPECT_TRUE(Log.Has("PreviousChannel"));
    EXPECT_TRUE(Log.Calls.join(",").contains("Digits(3)")) << Log.Calls.join(",").toStdString();
    EXPECT_TRUE(Shows(21, LookNormal));

    // While recording the steps are dark: a click does nothing.
    Force(ModeCapture);
    P->ModeChanged(ModeCapture);
    Log.Calls.clear();
    Click(Centre(21));
    EXPECT_TRUE(Log.Calls.isEmpty()) << Log.Calls.join(",").toStdString();
    EXPECT_TRUE(Shows(21, LookDisabled));
    EXPECT_EQ(P->LabelPAVOState->text(), "REC");
    EXPECT_FALSE(P->PanelTVMode->isEnabled());
}

TEST_F(FMPanel, MenuShowsTheFrequencyStepsOnlyInLiveFM)
{
    P->ModeChanged(ModeFM);
    EXPECT_EQ(P->LabelPAVOState->text(), "FM");
    EXPECT_TRUE(Log.Has("SetLineMute(0)")) << "live FM unmutes the line";
    EXPECT_TRUE(P->MenuItem(6003)->isVisible());
    EXPECT_TRUE(P->MenuItem(6004)->isVisible());
    EXPECT_TRUE(P->PanelTVMode->isEnabled());

    P->ModeChanged(ModePlay);
    EXPECT_EQ(P->LabelPAVOState->text(), "Play");
    EXPECT_FALSE(P->MenuItem(6003)->isVisible());
    EXPECT_FALSE(P->MenuItem(6004)->isVisible());
    EXPECT_TRUE(P->MenuItem(6001)->isVisible());

    Log.Calls.clear();
    P->MenuItem(6001)->trigger();
    EXPECT_EQ(Log.Calls, QStringList({"SeekUp"}));

    // The mute item's check mark follows the volume display.
    P->VolumeChanged(1000, true);
    EXPECT_TRUE(P->MenuItem(403)->isChecked());
    EXPECT_TRUE(Shows(Skin::FMMuteLamp, LookNormal));
    P->VolumeChanged(1000, false);
    EXPECT_FALSE(P->MenuItem(403)->isChecked());
    EXPECT_TRUE(Shows(Skin::FMMuteLamp, LookDisabled));
}

TEST_F(FMPanel, DialAndTextsFollowTheFrequency)
{
    FM.Frequency = 88700000;
    P->ChannelChanged(3, "FM Memory 3");
    EXPECT_EQ(P->LabelCurretPos->text(), "CH=3 (88.7M)");

    P->FMPanelUpdate();
    EXPECT_EQ(P->LabelCurretPos->text(), "88.7MHz");
    const QRect dial = UI.FMPanelRegions[Skin::FMDial].Rect();
    const QRect needle = UI.FMPanelRegions[Skin::FMNeedle].Rect();
    // (88.7 - 87.5) / 20.5 of 88 pixels: 5.15 -> 5.
    EXPECT_EQ(P->NeedleX(), 5);
    const QRect at(dial.left() + 5 - needle.width() / 2, needle.top(), needle.width(),
                   needle.height());
    const QImage drawn = P->Face().copy(at).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(drawn, UI.FMPanelLooks[LookHover].copy(needle).convertToFormat(QImage::Format_ARGB32))
        << "the needle is the hover look's, centred on its x";

    // Moving on wipes the old needle: the scale there is the normal look's.
    FM.Frequency = 108000000;
    P->FMPanelUpdate();
    EXPECT_EQ(P->NeedleX(), dial.width());
    EXPECT_TRUE(Shows(at, UI.FMPanelLooks[LookNormal]));

    FM.Frequency = FM.Low;
    P->FMPanelUpdate();
    EXPECT_EQ(P->NeedleX(), 1);
    EXPECT_EQ(P->LabelCurretPos->text(), "87.5MHz");
}

TEST_F(FMPanel, HiddenPanelIsNotToldAndShowRefreshes)
{
    P->HidePanel();
    EXPECT_FALSE(P->TimerShowTime.isActive());
    FM.Frequency = 100000000;
    ShellViews.FMPanel = P;
    ShellViews.FMPanelUpdate();
    EXPECT_NE(P->LabelCurretPos->text(), "100.0MHz");
    P->ShowPanel(nullptr);
    EXPECT_TRUE(P->TimerShowTime.isActive());
    EXPECT_EQ(P->LabelCurretPos->text(), "100.0MHz");
    EXPECT_FALSE(P->LabelTime->text().isEmpty());
}

TEST_F(FMPanel, PanelGoesWhereTheTVPanelGoes)
{
    // The TV panel's rule, with the FM panel's size.
    EXPECT_EQ(PanelPlacement(QSize(1920, 1080), QSize(640, 480), P->size()), QPoint(1500, 300));
    EXPECT_EQ(P->size(), QSize(Skin::FMPanelWidth, Skin::FMPanelHeight));
}

TEST(MemorizeDialog, ProposesTheFirstFreeMemoryAndOverwritesOnOK)
{
    TFMList memories;
    for (int n = 1; n <= FMMemoryCount; ++n)
        memories[n].Frequency = 87500000 + n * 400000;
    memories[7].Frequency = 0;
    {
        TFormAddFMFrequency dialog(memories, 95300000);
        EXPECT_EQ(dialog.LabelAddFrequency->text(), "95.3");
        EXPECT_EQ(dialog.SpinEditFMFrequency->value(), 7);
        EXPECT_EQ(dialog.SpinEditFMFrequency->maximum(), 50);
        dialog.EditChannelName->setText("Classic");
        dialog.ButtonOK->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(memories[7].Frequency, 95300000);
    EXPECT_EQ(memories[7].Name, "Classic");

    // All 50 used: memory 1 is proposed; Cancel changes nothing.
    {
        TFormAddFMFrequency dialog(memories, 100000000);
        EXPECT_EQ(dialog.SpinEditFMFrequency->value(), 1);
        dialog.ButtonCancel->click();
    }
    EXPECT_EQ(memories[1].Frequency, 87900000);
    {
        TFormAddFMFrequency dialog(memories, 100000000);
        dialog.ButtonOK->click(); // an empty name is allowed
    }
    EXPECT_EQ(memories[1].Frequency, 100000000);
    EXPECT_EQ(memories[1].Name, "");
}

} // namespace
