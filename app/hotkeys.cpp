#include "app/hotkeys.h"

#include <QTimer>

#include "app/app_modes.h"
#include "app/main_info.h"
#include "app/mode_engines.h"
#include "app/shell_views.h"
#include "platform/gui_wait.h"

THotkeyControlInfo *HotkeyControlInfo = nullptr;

namespace {
// A fifth character resets the entry.
constexpr int MaxEntryLength = 4;
} // namespace

TQtEntryTimer::TQtEntryTimer() : Timer(std::make_unique<QTimer>())
{
    Timer->setSingleShot(true);
    // The completed entry tunes: never inside a wait.
    QObject::connect(Timer.get(), &QTimer::timeout, [this] {
        RunOutsideWaits(
            [this] {
                if (OnTimeout)
                    OnTimeout();
            },
            this);
    });
}

TQtEntryTimer::~TQtEntryTimer() = default;

void TQtEntryTimer::Start(int ms)
{
    Timer->start(ms);
}
void TQtEntryTimer::Stop()
{
    Timer->stop();
}
bool TQtEntryTimer::Active() const
{
    return Timer->isActive();
}

THotkeyControlInfo::THotkeyControlInfo(std::unique_ptr<IEntryTimer> timer)
    : EntryTimer(timer ? std::move(timer) : std::make_unique<TQtEntryTimer>())
{
    EntryTimer->OnTimeout = [this] { EntryTimeout(); };
}

int THotkeyControlInfo::BufferValue()
{
    if (Buffer.isEmpty() || Buffer.startsWith('.'))
        return 0;
    if (HundredsFlag) {
        HundredsFlag = 0;
        if (Buffer.size() == 1)
            return 100;
        if (Buffer.size() == 2)
            return Buffer[1].isDigit() ? 100 + Buffer[1].digitValue() : 0;
    }
    bool ok = false;
    const int value = Buffer.toInt(&ok);
    return ok ? value : 0;
}

void THotkeyControlInfo::Reset()
{
    EntryTimer->Stop();
    Buffer.clear();
    HundredsFlag = 0;
}

void THotkeyControlInfo::Complete()
{
    const QString typed = Buffer;
    const int value = BufferValue();
    if (OnNumber)
        OnNumber(this, typed, value);
    Buffer.clear();
    EntryTimer->Stop();
    if (TuneChannel)
        TuneChannel(value);
}

void THotkeyControlInfo::EnterChar(QChar c)
{
    EntryTimer->Stop();
    if (c.unicode() == 13) {
        // Enter on an empty entry has no number to tune: only the state is
        // cleared.
        if (!Buffer.isEmpty())
            Complete();
        HundredsFlag = 0;
        return;
    }
    if (Buffer.size() >= MaxEntryLength) {
        Buffer.clear();
        HundredsFlag = 0; // a reset entry must not turn the next one into 1xx
        return;
    }
    if (c >= '1' && c <= '9') {
        Buffer += c;
    } else if (c == '0') {
        if (!Buffer.isEmpty())
            Buffer += c;
    } else if (c == '.') {
        if (Buffer.isEmpty()) {
            HundredsFlag = 1;
            Buffer = "1";
        }
    }
    if (OnDigits)
        OnDigits(this, Buffer);
    EntryTimer->Start(EntryTimeoutMs);
}

void THotkeyControlInfo::EntryTimeout()
{
    EntryTimer->Stop();
    if (Buffer.isEmpty())
        return;
    Complete();
}

void ConnectHotkeys(THotkeyControlInfo *hotkeys)
{
    hotkeys->OnDigits = [](THotkeyControlInfo *, const QString &buffer) {
        ShellViews.DigitsTyped(buffer);
    };
    hotkeys->OnNumber = [](THotkeyControlInfo *, const QString &buffer, int value) {
        ShellViews.NumberEntered(buffer, value);
    };
    hotkeys->TuneChannel = [](int number) {
        if (ModeEngines.Channels)
            ModeEngines.Channels->SetChannel(number);
    };
}

int ShiftStateFromQt(Qt::KeyboardModifiers modifiers)
{
    int shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= ShiftDown;
    if (modifiers & Qt::AltModifier)
        shift |= AltDown;
    if (modifiers & Qt::ControlModifier)
        shift |= CtrlDown;
    return shift;
}

int VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers)
{
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return VkF1 + (qtKey - Qt::Key_F1);
    // Letters: Qt's codes are the upper-case ASCII codes, as virtual keys are.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey;
    switch (qtKey) {
    case Qt::Key_Backspace:
        return VkBack;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VkReturn;
    case Qt::Key_Escape:
        return VkEscape;
    case Qt::Key_Left:
        return VkLeft;
    case Qt::Key_Up:
        return VkUp;
    case Qt::Key_Right:
        return VkRight;
    case Qt::Key_Down:
        return VkDown;
    case Qt::Key_Insert:
        return VkInsert;
    case Qt::Key_Plus:
        return (modifiers & Qt::KeypadModifier) ? VkAdd : 0;
    case Qt::Key_Minus:
        return (modifiers & Qt::KeypadModifier) ? VkSubtract : 0;
    default:
        return 0;
    }
}

QString VersionText()
{
    QList<int> parts;
    for (const QString &p : QString(LYRA_VERSION).split('.'))
        parts << p.toInt();
    while (parts.size() < 4)
        parts << 0;
    return QString::asprintf("Version = %d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
}

void HandleKey(int key, int shift)
{
    static const int FunctionCommands[] = {11, 6000, 403, 1000, 2, 1001, 3000, 2000, 7, 12, 10};
    IShellControl *shell = ModeEngines.Shell;
    const bool ctrl = shift & CtrlDown;
    switch (key) {
    case VkBack:
        SubmitCommand(4003);
        return;
    case VkLeft:
        SubmitCommand(402);
        return;
    case VkUp:
        SubmitCommand(4001);
        return;
    case VkRight:
        SubmitCommand(401);
        return;
    case VkDown:
        SubmitCommand(4002);
        return;
    case VkInsert:
        SubmitCommand(shell && shell->FMPanelVisible() ? 6005 : 4005);
        return;
    case VkEscape:
        if (shell && shell->FullScreen())
            shell->SetFullScreen(false);
        return;
    case 'F':
        if (ctrl && shell && !shell->FullScreen())
            shell->SetFullScreen(true);
        return;
    case 'I':
        if (ctrl && MainInfo)
            MainInfo->PIPPlayback = MainInfo->PIPPlayback ? 0 : 1;
        return;
    case 'P':
        if (ctrl)
            SubmitCommand(3001);
        return;
    case 'V':
        if (ctrl && (shift & AltDown) && shell)
            shell->ShowTextBox(VersionText());
        return;
    case VkAdd:
        SubmitCommand((shift & ShiftDown) ? 401 : ctrl ? 1006 : 4001);
        return;
    case VkSubtract:
        SubmitCommand((shift & ShiftDown) ? 402 : ctrl ? 1007 : 4002);
        return;
    case VkF12:
        if (shell)
            shell->OpenPopupMenu();
        return;
    default:
        if (key >= VkF1 && key < VkF12)
            SubmitCommand(FunctionCommands[key - VkF1]);
        return;
    }
}

void MainWindowKeyUp(int key, int shift)
{
    if (MainInfo && MainInfo->AppMode == ModeChannelPreview) {
        if (ModeEngines.Mosaic)
            ModeEngines.Mosaic->MosaicKey(key);
        return;
    }
    HandleKey(key, shift);
}

void TVPanelKeyUp(int key, int shift)
{
    if (MainInfo && MainInfo->AppMode != ModeChannelPreview)
        HandleKey(key, shift);
}

void CharacterTyped(QChar c)
{
    if (!MainInfo || MainInfo->AppMode == ModeChannelPreview || !HotkeyControlInfo)
        return;
    if (NumericOK() || InFM())
        HotkeyControlInfo->EnterChar(c);
}
