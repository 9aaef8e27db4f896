// The one channel table of the process (ChannelInfo): antenna, cable, memory
// and FM lists, the current mode, source and audio mode, the wizard's country
// and standard choice. It turns "channel n" into a frequency, a standard and
// an audio mode and drives the tuner through TunerPort. Every change is
// reported through the event procedures the shell installs.
//
// GUI thread only. SetChannel blocks for the tuner's audio-mode retries (see
// gui_wait.h); the windows keep painting meanwhile.
#pragma once

#include <cstdint>
#include <functional>

#include <QString>

#include "channels/channel_types.h"

class TChannelInfo
{
public:
    TChannelInfo();

    // Persisted and wizard state (field order of the file where it applies).
    uint8_t TableNumber = 0;
    uint8_t DefaultStandard = 0;
    int32_t CountryCode = 0;
    uint8_t SystemChoice = StdNone;
    uint8_t CableType = 2; // 0 antenna, 1 cable, 2 both
    uint8_t ScanAbort = 0;
    uint8_t Mode = ModeUnset;
    uint8_t Source = SourceUnset;
    uint8_t AudioMode = AudioModeUnknown;
    uint8_t CompositeStandard = 0;
    uint8_t SVideoStandard = 0;
    int32_t LastChannel = 4;
    int32_t CurrentChannel = 4; // shared by antenna and cable
    int32_t CurrentMemory = 4;
    int32_t LastMemory = 4;
    int32_t CurrentFM = 4;
    int32_t LastFM = 4;
    uint8_t Scanning = 0;
    int32_t SignalCheckCount = 1;
    uint8_t ShowVerifyCount = 0;
    int32_t SavedChannel = 4;
    uint8_t SavedMode = ModeUnset;
    uint8_t SavedSource = SourceUnset;

    // Event procedures; each may be unset.
    std::function<void(TChannelInfo *sender, int32_t number, const QString &text)> OnChannelChange;
    std::function<void(TChannelInfo *sender, uint8_t mode)> OnModeChange;
    std::function<void(TChannelInfo *sender)> OnSourceChange;
    std::function<void(TChannelInfo *sender, uint8_t mode, const QString &text)> OnAudioModeChange;
    std::function<void(TChannelInfo *sender, const QString &standardName)> OnStandardChange;
    std::function<void(TChannelInfo *sender, int32_t number, bool found, bool isAntenna)> OnTableScanProgress;
    std::function<void(TChannelInfo *sender, int32_t lastNumber, int32_t foundCount, bool aborted, int32_t pass)> OnTableScanDone;
    std::function<void(TChannelInfo *sender, int32_t slot, int32_t frequency, bool found)> OnFreeScanProgress;
    std::function<void(TChannelInfo *sender, int32_t foundCount, bool aborted)> OnFreeScanDone;

    TTVList Antenna;
    TTVList Cable;
    TMemoryList Memory;
    TFMList FMMemory;

    void ResetToDefaults();
    void ResetMemories();
    void SpreadFMMemories(int32_t low, int32_t high);

    bool IsMemoryMode() const { return Mode == ModeMemory; }
    bool IsFMMode() const { return Mode == ModeFMList; }
    int32_t CurrentNumber() const;
    // 50 in memory and FM mode, 160 otherwise.
    int32_t Bound() const;
    bool IsEnabled(int32_t n) const;
    int32_t FindNext(int32_t n) const;
    int32_t FindPrevious(int32_t n) const;
    int32_t NextNumber() const { return FindNext(CurrentNumber()); }
    int32_t PreviousNumber() const { return FindPrevious(CurrentNumber()); }
    int32_t CountEnabled() const;
    int32_t Recall();

    void SetMode(uint8_t mode);
    void SetChannel(int32_t n);
    void SetTableNumber(uint8_t table) { TableNumber = table; }
    void SetDefaultStandard(uint8_t standard);
    bool SetVideoStandard(uint8_t standard);
    bool SetCountry(int32_t code);
    bool SetSource(uint8_t source);
    bool SetAudioMode(uint8_t mode);
    void SetSignalCheckCount(int32_t count);

    // The antenna (true) or cable list.
    TTVList &List(bool antenna) { return antenna ? Antenna : Cable; }
    bool InsertChannel(int32_t n, bool antenna);
    bool DeleteChannel(int32_t n, bool antenna);
    bool InsertMemory(int32_t n);
    bool DeleteMemory(int32_t n);

    bool IsUnconfigured() const { return CountryCode < 1 && SystemChoice == StdNone; }
    void SaveState();
    void RestoreState();

    // "TVTable.tbl" record t into both TV lists (message 1007 on failure).
    bool LoadFrequencyTable(int32_t record);

    // The table scan of the loaded record (pass 0 antenna, 1 cable, 2 both)
    // and the free scan of the whole TV band in steps of `step` Hz. They
    // return when done or aborted (ScanAbort), reporting through the scan
    // events; false at once without a tuner or while a scan runs.
    bool ScanTable(int32_t pass);
    bool FreeScan(int32_t step);

    // Channel list files (".chl"): frequencies and names of both TV lists.
    // Import refuses a missing or empty file quietly and a damaged one with
    // a message, and then changes nothing.
    bool ImportChannelList(const QString &path);
    bool ExportChannelList(const QString &path) const;

    // "QPAVO2.cfg" (with the preview settings of PreviewInfo, when given).
    void LoadChannelSettings(class TPreviewInfo *preview);
    bool SaveChannelSettings(const class TPreviewInfo *preview) const;

    // The persisted fields as the file holds them, and back (no tuning).
    void ExportFileData(TChannelFileData &data) const;

private:
    void TuneNumber(int32_t n);
    // One tune of a scan, then the pending events.
    bool ScanStep(int32_t frequency, bool &signal, int32_t &offset);
    int32_t &CurrentRef();
    int32_t &LastRef();
    void ApplyFileData(const TChannelFileData &data, TPreviewInfo *preview);

    // The waits of a tune let timers run; a channel asked for meanwhile
    // (the preview mosaic, numeric entry) is tuned after the current one
    // instead of inside it.
    bool Tuning = false;
    bool HasPending = false;
    int32_t PendingChannel = 0;
};

// Display name of a TV audio mode under a standard index; the top bit of the
// mode is ignored. Empty when the mode has no name there.
QString AudioModeName(uint8_t mode, uint8_t standard);

// AnalogVideoStandard bit of a standard index; 0 for 10, 11 and unknown.
uint32_t StandardBit(uint8_t standard);

// The card's current standard bit back to an index (11 when none fits).
uint8_t StandardIndexFromBit(uint32_t bit);

// SetVideoStandard, then (Conexant and Empia families) a fresh preview;
// message 2009 on failure.
bool ApplyStandard(uint8_t standard);
// SetChannel only when the card has a tuner.
void TuneIfTuner(int32_t n);
// Tunes FM through the engine (only with a tuner), muting the line around it.
bool TuneFMMuted(int32_t frequency, bool mute);

extern TChannelInfo *ChannelInfo;
