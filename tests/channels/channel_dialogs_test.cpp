// Fine tune, video source and memory channel dialogs.
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

#include <gtest/gtest.h>

#include "channels/channel_info.h"
#include "channels/forms/channel_dialogs.h"
#include "fake_tuner.h"

namespace {

// Installs a hook that drives the next dialog, then clears it.
template <typename D> void Drive(std::function<void(D *)> drive)
{
    SetChannelDialogHook([drive](QDialog *d) {
        QTimer::singleShot(0, d, [d, drive] {
            drive(qobject_cast<D *>(d));
            if (d->isVisible())
                d->reject();
        });
    });
}

struct TDialogScope
{
    TChannelTestScope Scope;
    TChannelInfo Table;
    TDialogScope() { ChannelInfo = &Table; }
    ~TDialogScope()
    {
        ChannelInfo = nullptr;
        SetChannelDialogHook(nullptr);
    }
};

TEST(FineTune, FollowsTheSliderStoresOnOKAndGoesBackOnCancel)
{
    TDialogScope s;
    int32_t frequency = 55400000;
    int opened = 0;
    Drive<TDialogFineTune>([&](TDialogFineTune *d) {
        opened = d->TrackBarTuning->value();
        EXPECT_EQ(d->LabelTuning->text(), "55.4");
        EXPECT_EQ(d->windowTitle(), "Tuning");
        s.Scope.Tuner.Calls.clear();
        d->TrackBarTuning->setValue(4);
        EXPECT_EQ(s.Scope.Tuner.Calls, QStringList{"tune 55450000"});
        EXPECT_EQ(d->LabelTuning->text(), "55.45");
        d->BitBtnCancelClick();
    });
    FineTune(frequency, 55250000);
    EXPECT_EQ(opened, 3);
    EXPECT_EQ(frequency, 55400000);
    EXPECT_EQ(s.Scope.Tuner.Calls.last(), "tune 55400000");

    // OK stores the tuned frequency; Default goes back to the table's.
    Drive<TDialogFineTune>([](TDialogFineTune *d) {
        d->TrackBarTuning->setValue(-2);
        d->BitBtnOKClick();
    });
    FineTune(frequency, 55250000);
    EXPECT_EQ(frequency, 55150000);
    Drive<TDialogFineTune>([&](TDialogFineTune *d) {
        s.Scope.Tuner.Calls.clear();
        d->BitBtnDefaultClick();
        EXPECT_EQ(s.Scope.Tuner.Calls, QStringList{"tune 55250000"});
        d->BitBtnOKClick();
    });
    FineTune(frequency, 55250000);
    EXPECT_EQ(frequency, 55250000);

    // Far outside the slider: it opens at its end, and OK without a move
    // keeps the frequency.
    frequency = 70000000;
    Drive<TDialogFineTune>([&](TDialogFineTune *d) {
        opened = d->TrackBarTuning->value();
        d->BitBtnOKClick();
    });
    FineTune(frequency, 55250000);
    EXPECT_EQ(opened, 125);
    EXPECT_EQ(frequency, 70000000);

    // No base, no dialog.
    bool shown = false;
    Drive<TDialogFineTune>([&](TDialogFineTune *) { shown = true; });
    FineTune(frequency, 0);
    EXPECT_FALSE(shown);
}

TEST(VideoSource, PreselectsTheCellAndKeepsTheChannelRule)
{
    TDialogScope s;
    s.Table.CurrentChannel = 12;
    s.Table.Mode = ModeAntenna;
    TPreviewCell cell{2, 7};
    Drive<TFormVideoSource>([](TFormVideoSource *d) {
        EXPECT_EQ(d->SelectedItem(), 1);
        EXPECT_EQ(d->SpinEditChannel->value(), 7);
        EXPECT_EQ(d->SourceButtons->buttons().size(), 4); // no camera input
        d->SelectItem(2);
        EXPECT_FALSE(d->SpinEditChannel->isEnabled());
        d->SelectItem(0);
        EXPECT_TRUE(d->SpinEditChannel->isEnabled());
        d->SpinEditChannel->setValue(9);
        d->accept();
    });
    EXPECT_TRUE(PickVideoSource(cell));
    EXPECT_EQ(cell.Kind, 1);
    EXPECT_EQ(cell.Channel, 9);

    TPreviewCell empty;
    Drive<TFormVideoSource>([](TFormVideoSource *d) {
        EXPECT_EQ(d->SelectedItem(), 0);
        EXPECT_EQ(d->SpinEditChannel->value(), 12);
        d->SelectItem(3);
        d->reject();
    });
    EXPECT_FALSE(PickVideoSource(empty));
    EXPECT_EQ(empty.Kind, 0);
}

TEST(MemoryChannel, StoresTheCurrentCableChannel)
{
    TDialogScope s;
    s.Table.Mode = ModeCable;
    s.Table.CurrentChannel = 30;
    for (int n = 1; n <= MemoryCount; ++n)
        s.Table.Memory[n].Enabled = n >= 4;
    Drive<TFormAddMemoryChannel>([](TFormAddMemoryChannel *d) {
        EXPECT_EQ(d->LabelAddChannel->text(), "30");
        EXPECT_EQ(d->SpinEditChannel->value(), 4); // the first enabled memory
        d->SpinEditChannel->setValue(2);
        d->EditChannelName->setText("Movies");
        d->BitBtnOKClick();
    });
    AddMemoryChannel();
    const TMemoryChannel &m = s.Table.Memory[2];
    EXPECT_EQ(m.Enabled, 1);
    EXPECT_EQ(m.List, 1);
    EXPECT_EQ(m.Number, 30);
    EXPECT_EQ(m.Name, "Movies");

    // The memory tunes that cable entry later.
    s.Table.Cable[30].Frequency = 247250000;
    s.Table.SetMode(ModeMemory);
    s.Scope.Tuner.Calls.clear();
    s.Table.SetChannel(2);
    EXPECT_TRUE(s.Scope.Tuner.Calls.contains("tune 247250000"));

    // Outside the antenna and cable lists OK stores nothing.
    Drive<TFormAddMemoryChannel>([](TFormAddMemoryChannel *d) {
        d->SpinEditChannel->setValue(5);
        d->BitBtnOKClick();
    });
    AddMemoryChannel();
    EXPECT_EQ(s.Table.Memory[5].Number, 5);
}

} // namespace
