// The entries of the channel table and the content of "QPAVO2.cfg". Plain
// data: the file reader works on these alone, so lyra-config and the fuzz
// target use it without the rest of the table.
#pragma once

#include <array>
#include <cstdint>

#include <QString>

constexpr int TVChannelCount = 160;
constexpr int MemoryCount = 50;
constexpr int FMMemoryCount = 50;
constexpr int PreviewGridMax = 5;

// Video standard indexes.
enum TStandardIndex : uint8_t {
    StdNTSCM = 0,
    StdNTSCJapan = 1,
    StdPALBG = 2,
    StdPALDK = 3,
    StdPALI = 4,
    StdPALM = 5,
    StdPALN = 6,
    StdSECAMBG = 7,
    StdSECAMDK = 8,
    StdSECAML = 9,
    StdPALSECAM = 10,
    StdNone = 11,
};

// Channel-table modes (bands) and sources.
enum TChannelMode : uint8_t { ModeAntenna = 0, ModeCable = 1, ModeMemory = 2, ModeFMList = 3, ModeUnset = 4 };
enum TVideoSource : uint8_t { SourceTuner = 0, SourceComposite = 1, SourceSVideo = 2, SourceCamera = 3, SourceUnset = 4 };

constexpr uint8_t AudioModeUnknown = 5;

struct TTVChannel
{
    uint8_t Enabled = 0;
    uint8_t SignalFound = 0;
    uint8_t Standard = 0;
    uint8_t AudioMode = 0;
    int32_t Frequency = 0;      // Hz, what is tuned (with fine tuning)
    int32_t TableFrequency = 0; // Hz, from the table or the free scan
    QString Name;
    QString Extra; // kept and stored, never shown
};

struct TMemoryChannel
{
    uint8_t Enabled = 0;
    uint8_t List = 0; // 0 antenna, 1 cable
    int32_t Number = 0;
    QString Name;
};

struct TFMMemory
{
    int32_t Frequency = 0; // Hz; 0 = empty slot
    QString Name;
};

struct TPreviewCell
{
    // Cells: 1 = filled. CustomCells: 0 unassigned, 1 antenna, 2 cable,
    // 3 composite, 4 S-Video, 5 camera.
    uint8_t Kind = 0;
    int32_t Channel = 0;
};

// Arrays are indexed by channel number; element 0 is never used.
using TTVList = std::array<TTVChannel, TVChannelCount + 1>;
using TMemoryList = std::array<TMemoryChannel, MemoryCount + 1>;
using TFMList = std::array<TFMMemory, FMMemoryCount + 1>;
// [row][column] of the mosaic; an N x N mosaic uses rows and columns 0..N-1.
using TPreviewGrid = std::array<std::array<TPreviewCell, PreviewGridMax>, PreviewGridMax>;

// Everything "QPAVO2.cfg" holds, in file order.
struct TChannelFileData
{
    uint8_t TableNumber = 0;
    uint8_t DefaultStandard = 0;
    int32_t CountryCode = 0;
    uint8_t SystemChoice = StdNone;
    uint8_t CableType = 2;
    uint8_t Mode = ModeUnset;
    uint8_t CompositeStandard = 0;
    uint8_t SVideoStandard = 0;
    TTVList Antenna;
    TTVList Cable;
    TMemoryList Memory;
    TFMList FMMemory;
    int32_t CurrentChannel = 4;
    int32_t LastChannel = 4;
    int32_t CurrentMemory = 4;
    int32_t LastMemory = 4;
    int32_t CurrentFM = 4;
    int32_t LastFM = 4;
    uint8_t Source = SourceUnset;
    bool Customize = false;
    int32_t Dimension = 3;
    int32_t Interval = 3;
    TPreviewGrid CustomCells;
};
