// Numeric channel entry with a controlled timer, and the key map.
#include "mode_fakes.h"

namespace {

class Entry : public ModeTest
{
protected:
    QStringList Numbers;
    QList<int> Tuned;
    QStringList Digits;

    void SetUp() override
    {
        ModeTest::SetUp();
        Hotkeys->OnDigits = [this](THotkeyControlInfo *, const QString &b) { Digits << b; };
        Hotkeys->OnNumber = [this](THotkeyControlInfo *, const QString &b, int v) {
            Numbers << QString("%1=%2").arg(b).arg(v);
        };
        Hotkeys->TuneChannel = [this](int n) { Tuned << n; };
    }

    void Type(const QString &chars)
    {
        for (QChar c : chars)
            Hotkeys->EnterChar(c == '\n' ? QChar(13) : c);
    }
};

TEST_F(Entry, DigitsThenAPauseTuneAfterOneSecond)
{
    Type("12");
    EXPECT_TRUE(Tuned.isEmpty());
    EXPECT_TRUE(Timer->Active());
    EXPECT_EQ(Timer->LastMs, 1000);
    EXPECT_EQ(Digits, QStringList({"1", "12"}));
    Timer->Fire();
    EXPECT_EQ(Numbers, QStringList({"12=12"}));
    EXPECT_EQ(Tuned, QList<int>({12}));
    EXPECT_TRUE(Hotkeys->Buffer.isEmpty());

    // The timer on an empty entry does nothing.
    Timer->Fire();
    EXPECT_EQ(Tuned.size(), 1);
}

TEST_F(Entry, EnterTunesAtOnce)
{
    Type("12\n");
    EXPECT_EQ(Tuned, QList<int>({12}));
    EXPECT_FALSE(Timer->Active());
    // Nothing typed: Enter tunes nothing.
    Type("\n");
    EXPECT_EQ(Tuned.size(), 1);
    EXPECT_EQ(Numbers.size(), 1);
}

TEST_F(Entry, LeadingZeroIsDropped)
{
    Type("07\n");
    EXPECT_EQ(Digits, QStringList({"", "7"}));
    EXPECT_EQ(Tuned, QList<int>({7}));
    Type("70\n");
    EXPECT_EQ(Tuned.last(), 70);
}

TEST_F(Entry, FifthCharacterResetsWithoutTuning)
{
    Type("1234");
    Type("5");
    EXPECT_TRUE(Hotkeys->Buffer.isEmpty());
    EXPECT_FALSE(Timer->Active());
    EXPECT_EQ(Digits.size(), 4);
    Timer->Fire();
    EXPECT_TRUE(Tuned.isEmpty());
    EXPECT_TRUE(Numbers.isEmpty());
}

TEST_F(Entry, HundredsEntry)
{
    Type(".3\n");
    EXPECT_EQ(Numbers, QStringList({"13=103"}));
    Type(".\n");
    EXPECT_EQ(Tuned, QList<int>({103, 100}));
    // Longer entries are read as they stand; the flag is spent.
    Type(".57\n");
    EXPECT_EQ(Tuned.last(), 157);
    Type("5\n");
    EXPECT_EQ(Tuned.last(), 5);
    // "." after a digit adds nothing.
    Type("2.\n");
    EXPECT_EQ(Tuned.last(), 2);
    // A reset entry does not carry the flag into the next one.
    Type(".234");
    Type("9");
    Type("5\n");
    EXPECT_EQ(Tuned.last(), 5);
}

TEST_F(Entry, OtherCharactersOnlyRestartTheTimer)
{
    Type("4");
    Timer->Stop();
    Hotkeys->EnterChar(QChar(27));
    EXPECT_EQ(Hotkeys->Buffer, "4");
    EXPECT_TRUE(Timer->Active());
    Hotkeys->EnterChar('x');
    EXPECT_EQ(Hotkeys->Buffer, "4");
}

TEST_F(Entry, TheRealTimerCompletesTheEntry)
{
    THotkeyControlInfo real;
    QList<int> tuned;
    real.TuneChannel = [&](int n) { tuned << n; };
    real.EnterChar('9');
    EXPECT_TRUE(real.Timer().Active());
    real.Timer().Stop();
    EXPECT_FALSE(real.Timer().Active());
    real.EntryTimeout();
    EXPECT_EQ(tuned, QList<int>({9}));
}

using Keys = ModeTest;

TEST_F(Keys, QtKeysMapToVirtualKeys)
{
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F1, {}), 112);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F12, {}), 123);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Backspace, {}), 8);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Insert, {}), 45);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Left, {}), 37);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Down, {}), 40);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_F, Qt::ControlModifier), 70);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Plus, Qt::KeypadModifier), 107);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Minus, Qt::KeypadModifier | Qt::ShiftModifier), 109);
    // The main keyboard's + and - are not the numeric pad's.
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Plus, {}), 0);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Minus, {}), 0);
    EXPECT_EQ(ShiftStateFromQt(Qt::ControlModifier | Qt::AltModifier), CtrlDown | AltDown);
}

TEST_F(Keys, KeyTable)
{
    // Keys in live TV on the tuner, with what they lead to.
    struct Case
    {
        int Key, Shift;
        QString Call;
    };
    const Case cases[] = {
        {VkBack, 0, "RecallChannel"},
        {VkUp, 0, "NextChannel"},
        {VkDown, 0, "PreviousChannel"},
        {VkRight, 0, "SetVolume(39321)"},
        {VkLeft, 0, "SetVolume(26215)"},
        {VkInsert, 0, "AddMemoryChannel"},
        {VkAdd, 0, "NextChannel"},
        {VkAdd, ShiftDown, "SetVolume(39321)"},
        {VkSubtract, 0, "PreviousChannel"},
        {VkSubtract, ShiftDown, "SetVolume(26215)"},
        {VkF1 + 1, 0, "EnterFMMode"},
        {VkF1 + 2, 0, "SetMute(1)"},
        {VkF1 + 3, 0, "LiveSnapshot"},
        {VkF1 + 4, 0, "Minimize"},
        {VkF1 + 5, 0, "StartRecording"},
        {VkF1 + 6, 0, "PlaybackDialog"},
        {VkF1 + 7, 0, "StartTimeShift"},
        {VkF1 + 8, 0, "SettingsDialog"},
        {VkF1 + 9, 0, "SleepTimerDialog"},
        {VkF12, 0, "OpenPopupMenu"},
        {'V', CtrlDown | AltDown, "TextBox:" + VersionText()},
    };
    for (const Case &c : cases) {
        Force(ModeLive);
        Audio.Vol = 32768;
        HandleKey(c.Key, c.Shift);
        EXPECT_TRUE(Log.Has(c.Call)) << c.Key << " -> " << Log.Calls.join(",").toStdString();
    }
    EXPECT_TRUE(VersionText().startsWith("Version = "));
    EXPECT_EQ(VersionText().count('.'), 3);

    // With the FM panel up, Insert memorises the FM frequency.
    Force(ModeFM);
    Shell.FMPanel = true;
    HandleKey(VkInsert, 0);
    EXPECT_EQ(Log.Calls, QStringList({"AddFMFrequency"}));

    // Ctrl on the numeric pad changes the playback rate.
    Force(ModePlay);
    File.Open = true;
    HandleKey(VkAdd, CtrlDown);
    HandleKey(VkSubtract, CtrlDown);
    EXPECT_EQ(Log.Calls, QStringList({"File.Faster", "File.Slower"}));

    // Ctrl+P plays the last recording; plain letters do nothing.
    Force(ModePlay);
    MainView.Visible = TVView.Visible = true;
    FMView.Visible = false;
    HandleKey('P', 0);
    HandleKey('V', CtrlDown);
    EXPECT_TRUE(Log.Calls.isEmpty());
    HandleKey('P', CtrlDown);
    EXPECT_EQ(Log.Calls, QStringList({"File.Resume", "main:ShowPause", "tv:ShowPause"}));
}

TEST_F(Keys, FullScreenAndPictureInPicture)
{
    HandleKey('F', CtrlDown);
    EXPECT_TRUE(Shell.Full);
    Log.Calls.clear();
    HandleKey('F', CtrlDown);
    EXPECT_TRUE(Log.Calls.isEmpty());
    HandleKey(VkEscape, 0);
    EXPECT_FALSE(Shell.Full);
    Log.Calls.clear();
    HandleKey(VkEscape, 0);
    EXPECT_TRUE(Log.Calls.isEmpty());

    HandleKey('I', CtrlDown);
    EXPECT_EQ(Main.PIPPlayback, 1);
    HandleKey('I', CtrlDown);
    EXPECT_EQ(Main.PIPPlayback, 0);
}

TEST_F(Keys, WhereWindowKeysGo)
{
    Force(ModeChannelPreview);
    MainWindowKeyUp(VkLeft, 0);
    TVPanelKeyUp(VkUp, 0);
    CharacterTyped('5');
    EXPECT_EQ(Log.Calls, QStringList({"MosaicKey(37)"}));
    EXPECT_TRUE(Hotkeys->Buffer.isEmpty());

    Force(ModeLive);
    TVPanelKeyUp(VkUp, 0);
    CharacterTyped('5');
    EXPECT_EQ(Log.Calls.first(), "NextChannel");
    EXPECT_EQ(Hotkeys->Buffer, "5");

    // Digits mean nothing on a composite picture.
    Hotkeys->Buffer.clear();
    Channels.Src = SourceComposite;
    CharacterTyped('5');
    EXPECT_TRUE(Hotkeys->Buffer.isEmpty());
    Force(ModeFM);
    CharacterTyped('5');
    EXPECT_EQ(Hotkeys->Buffer, "5");
}

} // namespace
