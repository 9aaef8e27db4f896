// Keyboard input of the main window and the TV panel: the fixed key map
// (HandleKey) and the numeric channel entry (THotkeyControlInfo).
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

// The one-second entry timer, replaceable so tests control time.
class IEntryTimer
{
public:
    virtual ~IEntryTimer() = default;
    virtual void Start(int ms) = 0;
    virtual void Stop() = 0;
    virtual bool Active() const = 0;
    // Set by the owner; called on the GUI thread when the time is up.
    std::function<void()> OnTimeout;
};

// A single-shot QTimer.
class TQtEntryTimer : public IEntryTimer
{
public:
    TQtEntryTimer();
    ~TQtEntryTimer() override;
    void Start(int ms) override;
    void Stop() override;
    bool Active() const override;

private:
    std::unique_ptr<QTimer> Timer;
};

class THotkeyControlInfo
{
public:
    static constexpr int EntryTimeoutMs = 1000;

    explicit THotkeyControlInfo(std::unique_ptr<IEntryTimer> timer = nullptr);

    // A typed character: digits, "." (hundreds), Enter (13); others only
    // restart the timer.
    void EnterChar(QChar c);
    // The entry timer's action (also called by the timer).
    void EntryTimeout();
    // The buffer's channel number; clears the hundreds flag.
    int BufferValue();
    // Back to idle without tuning: empty buffer, no flag, timer off.
    void Reset();

    QString Buffer;
    uint8_t EntryKind = 0;
    uint8_t HundredsFlag = 0;

    std::function<void(THotkeyControlInfo *sender, const QString &buffer)> OnDigits;
    std::function<void(THotkeyControlInfo *sender, const QString &buffer, int value)> OnNumber;
    // Tunes the channel table to the entered number.
    std::function<void(int number)> TuneChannel;

    IEntryTimer &Timer() { return *EntryTimer; }

private:
    void Complete();
    std::unique_ptr<IEntryTimer> EntryTimer;
};

extern THotkeyControlInfo *HotkeyControlInfo;

// Wires the entry's callbacks to the views and the channel table.
void ConnectHotkeys(THotkeyControlInfo *hotkeys);

// Windows virtual-key codes used by the key map.
enum TVirtualKey : int
{
    VkBack = 8,
    VkReturn = 13,
    VkEscape = 27,
    VkLeft = 37,
    VkUp = 38,
    VkRight = 39,
    VkDown = 40,
    VkInsert = 45,
    VkAdd = 107,
    VkSubtract = 109,
    VkF1 = 112,
    VkF12 = 123,
};
enum TShiftFlag : int
{
    ShiftDown = 1,
    AltDown = 2,
    CtrlDown = 4
};

// The virtual-key code of a Qt key (0 when the key map has no use for it).
// The numeric pad's + and - are told apart from the main keyboard's by the
// keypad modifier.
int VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers);
int ShiftStateFromQt(Qt::KeyboardModifiers modifiers);

// The key-up map of the main window and the TV panel.
void HandleKey(int key, int shift);

// Where the windows send their keys. Key-up on the main window goes to the
// mosaic in channel preview, else to HandleKey; on the TV panel it is
// dropped in channel preview. A typed character goes to the numeric entry
// when NumericOK or InFM, never in channel preview.
void MainWindowKeyUp(int key, int shift);
void TVPanelKeyUp(int key, int shift);
void CharacterTyped(QChar c);

// "Version = a.b.c.d" of the program.
QString VersionText();
