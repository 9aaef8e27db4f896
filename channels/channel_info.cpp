#include "channels/channel_info.h"

#include <QFile>
#include <algorithm>

#include "app/audio_adjust.h"
#include "app/main_info.h"
#include "channels/tuner_port.h"
#include "platform/gui_wait.h"
#include "platform/messages.h"
#include "platform/program_folder.h"

TChannelInfo *ChannelInfo = nullptr;
ITunerPort *TunerPort = nullptr;

namespace {

std::function<void(bool)> &LineMuteFunction()
{
    static std::function<void(bool)> mute;
    return mute;
}

uint8_t ChipFamily()
{
    return MainInfo ? MainInfo->ChipFamily : uint8_t(FamilyNone);
}

constexpr int AudioRetries = 10;
constexpr int AudioRetryWaitMs = 200;
constexpr int UnmuteWaitMs = 100;

} // namespace

void ChannelLineMute(bool mute)
{
    if (LineMuteFunction())
        LineMuteFunction()(mute);
    else if (AudioAdjustInfo)
        AudioAdjustInfo->SetLineMute(mute);
}

void SetChannelLineMuteFunction(std::function<void(bool)> mute)
{
    LineMuteFunction() = std::move(mute);
}

QString AudioModeName(uint8_t mode, uint8_t standard)
{
    mode &= 0x7f;
    if (mode > 4)
        return QString();
    static const char *const ntsc[] = {"Mono", "Stereo", "SAP", "SAP", "SAP 2"};
    static const char *const japan[] = {"Main", "Stereo", "SUB", "SUB", "Both"};
    static const char *const other[] = {"Mono", "Stereo", "Dual-A", "Dual-B", "Dual-C"};
    switch (standard) {
    case StdNTSCM:
        return ntsc[mode];
    case StdNTSCJapan:
        return japan[mode];
    case StdNone:
        return mode == 0   ? QStringLiteral("Mono")
               : mode == 1 ? QStringLiteral("Stereo")
                           : QString();
    default:
        return other[mode];
    }
}

uint32_t StandardBit(uint8_t standard)
{
    static const uint32_t bits[] = {0x1,   0x2,   0x10,   0x20,   0x100,
                                    0x200, 0x400, 0x1000, 0x2000, 0x40000};
    return standard < 10 ? bits[standard] : 0;
}

uint8_t StandardIndexFromBit(uint32_t bit)
{
    switch (bit) {
    case 0x1:
        return StdNTSCM;
    case 0x2:
        return StdNTSCJapan;
    case 0x10:
        return StdPALBG;
    case 0x20:
        return StdPALDK;
    case 0x100:
        return StdPALI;
    case 0x200:
        return StdPALM;
    case 0x400:
        return StdPALN;
    case 0x1000:
    case 0x4000:
        return StdSECAMBG;
    case 0x2000:
    case 0x10000:
        return StdSECAMDK;
    case 0x40000:
        return StdSECAML;
    default:
        return StdNone;
    }
}

TChannelInfo::TChannelInfo()
{
    ResetToDefaults();
}

void TChannelInfo::ResetToDefaults()
{
    TableNumber = 0;
    DefaultStandard = 0;
    CountryCode = 0;
    SystemChoice = StdNone;
    CableType = 2;
    ScanAbort = 0;
    Mode = ModeUnset;
    Source = SourceUnset;
    AudioMode = AudioModeUnknown;
    CompositeStandard = 0;
    SVideoStandard = 0;
    LastChannel = CurrentChannel = 4;
    CurrentMemory = LastMemory = 4;
    CurrentFM = LastFM = 4;
    Scanning = 0;
    SignalCheckCount = 1;
    // Only its presence matters: it unlocks the verify-count control.
    ShowVerifyCount = QFile::exists(ProgramFolder::File("MaxAutoScan.cfg")) ? 1 : 0;
    Antenna.fill(TTVChannel());
    Cable.fill(TTVChannel());
    ResetMemories();
    SaveState();
    for (int n = 1; n <= FMMemoryCount; ++n) {
        FMMemory[n].Frequency = std::min(87500000 + n * 400000, 108000000);
        FMMemory[n].Name = QStringLiteral("FM Memory %1").arg(n);
    }
}

void TChannelInfo::ResetMemories()
{
    for (int n = 1; n <= MemoryCount; ++n)
        Memory[n] = TMemoryChannel{1, 0, n, QStringLiteral("Memory %1").arg(n)};
}

void TChannelInfo::SpreadFMMemories(int32_t low, int32_t high)
{
    int64_t step = (int64_t(high) - low) / FMMemoryCount;
    step -= step % 100000;
    if (step <= 0)
        return;
    for (int n = 1; n <= FMMemoryCount; ++n) {
        FMMemory[n].Frequency = int32_t(std::min<int64_t>(low + n * step, high));
        FMMemory[n].Name = QStringLiteral("FM Memory %1").arg(n);
    }
}

int32_t TChannelInfo::CurrentNumber() const
{
    if (Mode == ModeMemory)
        return CurrentMemory;
    if (Mode == ModeFMList)
        return CurrentFM;
    return CurrentChannel;
}

int32_t &TChannelInfo::CurrentRef()
{
    return Mode == ModeMemory ? CurrentMemory : Mode == ModeFMList ? CurrentFM : CurrentChannel;
}

int32_t &TChannelInfo::LastRef()
{
    return Mode == ModeMemory ? LastMemory : Mode == ModeFMList ? LastFM : LastChannel;
}

int32_t TChannelInfo::Bound() const
{
    return (Mode == ModeMemory || Mode == ModeFMList) ? MemoryCount : TVChannelCount;
}

bool TChannelInfo::IsEnabled(int32_t n) const
{
    if (n < 1 || n > Bound())
        return false;
    switch (Mode) {
    case ModeMemory:
        return Memory[n].Enabled != 0;
    case ModeFMList:
        return FMMemory[n].Frequency != 0;
    case ModeCable:
        return Cable[n].Enabled != 0;
    default:
        return Antenna[n].Enabled != 0;
    }
}

int32_t TChannelInfo::FindNext(int32_t n) const
{
    const int32_t bound = Bound();
    for (int32_t i = std::max(n + 1, 1); i <= bound; ++i)
        if (IsEnabled(i))
            return i;
    for (int32_t i = 1; i <= std::min(n - 1, bound); ++i)
        if (IsEnabled(i))
            return i;
    return n;
}

int32_t TChannelInfo::FindPrevious(int32_t n) const
{
    const int32_t bound = Bound();
    for (int32_t i = std::min(n - 1, bound); i >= 1; --i)
        if (IsEnabled(i))
            return i;
    for (int32_t i = bound; i >= std::max(n + 1, 1); --i)
        if (IsEnabled(i))
            return i;
    return n;
}

int32_t TChannelInfo::CountEnabled() const
{
    int32_t count = 0;
    for (int32_t i = 1; i <= Bound(); ++i)
        count += IsEnabled(i) ? 1 : 0;
    return count;
}

int32_t TChannelInfo::Recall()
{
    SetChannel(LastRef());
    return CurrentNumber();
}

void TChannelInfo::SetMode(uint8_t mode)
{
    // Values above 4 are no list at all; treating them like 4 keeps a
    // damaged byte from leaving the table in a mode nothing can tune.
    if (mode == Mode || mode >= ModeUnset)
        return;
    Mode = mode;
    if (OnModeChange)
        OnModeChange(this, mode);
    SetChannel(CurrentNumber());
}

void TChannelInfo::SetChannel(int32_t n)
{
    if (Tuning) {
        PendingChannel = n;
        HasPending = true;
        return;
    }
    Tuning = true;
    TuneNumber(n);
    while (HasPending) {
        HasPending = false;
        TuneNumber(PendingChannel);
    }
    Tuning = false;
}

void TChannelInfo::TuneNumber(int32_t n)
{
    if (n < 1 || n > Bound()) {
        if (OnChannelChange)
            OnChannelChange(this, CurrentNumber(), QString());
        return;
    }
    int32_t &current = CurrentRef();
    if (n != current) {
        LastRef() = current;
        current = n;
    }

    int32_t frequency = 0;
    uint8_t standard = DefaultStandard;
    uint8_t wanted = AudioModeUnknown;
    QString name;
    switch (Mode) {
    case ModeAntenna:
    case ModeCable: {
        const TTVChannel &c = List(Mode == ModeAntenna)[n];
        frequency = c.Frequency;
        standard = c.Standard;
        wanted = c.AudioMode;
        name = c.Name;
        break;
    }
    case ModeMemory: {
        const TMemoryChannel &m = Memory[n];
        name = m.Name;
        // A memory that points nowhere (bad list or number) tunes nothing
        // known: frequency 0 and no audio mode, as for a bad list value.
        if (m.List <= 1 && m.Number >= 1 && m.Number <= TVChannelCount) {
            const TTVChannel &c = List(m.List == 0)[m.Number];
            frequency = c.Frequency;
            standard = c.Standard;
            wanted = c.AudioMode;
        }
        break;
    }
    case ModeFMList:
        TuneFMMuted(FMMemory[n].Frequency, true);
        if (OnChannelChange)
            OnChannelChange(this, CurrentNumber(), FMMemory[n].Name);
        return;
    default:
        return;
    }

    SetVideoStandard(standard);
    ChannelLineMute(true);
    if (TunerPort)
        TunerPort->TuneChannelFrequency(frequency, false);
    // The audio decoder only accepts a mode once it has locked to the new
    // carrier's sound, hence the retries. A wanted mode outside 0..4 can
    // never be set: no retries for it, nor without an engine.
    if (wanted != AudioMode && wanted <= 4 && TunerPort) {
        for (int i = 0; i < AudioRetries; ++i) {
            GuiWait(AudioRetryWaitMs);
            SetAudioMode(wanted);
            if (AudioMode == wanted || AudioMode == AudioModeUnknown)
                break;
        }
    }
    if (AudioMode == AudioModeUnknown)
        SetAudioMode(0);
    const QString modeName = AudioModeName(AudioMode, standard);
    GuiWait(UnmuteWaitMs);
    ChannelLineMute(false);
    const QString text = modeName.isEmpty() ? name : name + "- " + modeName;
    if (OnChannelChange)
        OnChannelChange(this, CurrentNumber(), text);
}

void TChannelInfo::SetDefaultStandard(uint8_t standard)
{
    DefaultStandard = standard;
    for (int n = 1; n <= TVChannelCount; ++n) {
        Antenna[n].Standard = standard;
        Cable[n].Standard = standard;
    }
    if (ChipFamily() == FamilyEmpia2800 && TunerPort)
        TunerPort->EmpiaSetStandard(standard == StdNTSCM ? 1 : standard == StdNTSCJapan ? 2 : 3);
}

bool TChannelInfo::SetVideoStandard(uint8_t standard)
{
    const uint32_t bit = StandardBit(standard);
    if (!bit || !TunerPort)
        return false;
    if (!TunerPort->SetTVStandard(bit))
        return false;
    if (OnStandardChange)
        OnStandardChange(this, TunerPort->TVStandardName());
    return true;
}

bool TChannelInfo::SetCountry(int32_t code)
{
    CountryCode = code;
    return TunerPort && TunerPort->SetCountryCode(code);
}

bool TChannelInfo::SetSource(uint8_t source)
{
    if (source > SourceUnset)
        source = SourceUnset;
    if (source == Source)
        return false;
    static const int32_t connector[] = {1, 2, 3, 9};
    bool routed = false;
    if (source < SourceUnset && TunerPort)
        routed = TunerPort->SetInputType(connector[source]);
    Source = source;
    if (routed && OnSourceChange)
        OnSourceChange(this);
    return routed;
}

bool TChannelInfo::SetAudioMode(uint8_t mode)
{
    if (mode > 4 || !TunerPort)
        return false;
    static const uint32_t bits[] = {0x1, 0x2, 0x10, 0x20, 0x40};
    uint32_t modes = bits[mode];
    if (ChipFamily() == FamilyConexant && mode <= 1)
        modes |= 0x10;
    if (!TunerPort->SetTVAudioMode(modes))
        return false;
    AudioMode = mode;
    if (OnAudioModeChange)
        OnAudioModeChange(this, mode, AudioModeName(mode, DefaultStandard));
    return true;
}

void TChannelInfo::SetSignalCheckCount(int32_t count)
{
    SignalCheckCount = std::clamp(count, 1, 10);
    if (TunerPort)
        TunerPort->SetSignalCheckCount(SignalCheckCount);
}

bool TChannelInfo::InsertChannel(int32_t n, bool antenna)
{
    if (n < 1 || n > TVChannelCount)
        return false;
    TTVList &list = List(antenna);
    std::move_backward(list.begin() + n, list.begin() + TVChannelCount,
                       list.begin() + TVChannelCount + 1);
    TTVChannel &c = list[n];
    const int32_t frequency = n < TVChannelCount ? list[n + 1].Frequency : c.Frequency;
    c = TTVChannel{1, 0, DefaultStandard, 0, frequency, frequency, QString(), QString()};
    return true;
}

bool TChannelInfo::DeleteChannel(int32_t n, bool antenna)
{
    if (n < 1 || n > TVChannelCount)
        return false;
    TTVList &list = List(antenna);
    std::move(list.begin() + n + 1, list.end(), list.begin() + n);
    list[TVChannelCount] = TTVChannel{0, 0, DefaultStandard, 0, 0, 0, QString(), QString()};
    return true;
}

bool TChannelInfo::InsertMemory(int32_t n)
{
    if (n < 1 || n > MemoryCount)
        return false;
    std::move_backward(Memory.begin() + n, Memory.begin() + MemoryCount,
                       Memory.begin() + MemoryCount + 1);
    Memory[n] = TMemoryChannel{1, 0, n, QStringLiteral("Memory %1").arg(n)};
    return true;
}

bool TChannelInfo::DeleteMemory(int32_t n)
{
    if (n < 1 || n > MemoryCount)
        return false;
    std::move(Memory.begin() + n + 1, Memory.end(), Memory.begin() + n);
    Memory[MemoryCount] = TMemoryChannel();
    return true;
}

void TChannelInfo::SaveState()
{
    SavedChannel = CurrentNumber();
    SavedMode = Mode;
    SavedSource = Source;
}

void TChannelInfo::RestoreState()
{
    SetSource(SavedSource);
    AudioMode = AudioModeUnknown;
    SetMode(SavedMode);
    SetChannel(SavedChannel);
}

bool ApplyStandard(uint8_t standard)
{
    bool ok = ChannelInfo && ChannelInfo->SetVideoStandard(standard);
    const uint8_t family = ChipFamily();
    if (ok && family >= FamilyConexant && family <= FamilyEmpia28x1)
        ok = TunerPort && TunerPort->RestartPreview();
    if (!ok)
        ShowWarning(2009);
    return ok;
}

void TuneIfTuner(int32_t n)
{
    if (ChannelInfo && TunerPort && TunerPort->HasTuner())
        ChannelInfo->SetChannel(n);
}

bool TuneFMMuted(int32_t frequency, bool mute)
{
    if (!TunerPort || !TunerPort->HasTuner())
        return false;
    if (mute)
        ChannelLineMute(true);
    const bool ok = TunerPort->TuneFM(frequency);
    if (mute)
        ChannelLineMute(false);
    return ok;
}
