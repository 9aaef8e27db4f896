// Main settings and state of the shell: chip identity, the operating mode and
// the persisted options of "QPAVO.cfg". One instance per process (MainInfo).
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class IEmpiaControl;

// Operating modes (TMainInfo::AppMode).
enum TAppMode : uint8_t
{
    ModeLive = 0,
    ModeChannelPreview = 1,
    ModeCapture = 2,
    ModeScheduledCapture = 3,
    ModePlay = 4,
    ModeFM = 5,
    ModeTimeShift = 6,
    ModeTimeShiftPlay = 7,
    ModeNone = 8,
};

// Chip families (TMainInfo::ChipFamily).
enum TChipFamily : uint8_t
{
    FamilyNone = 0,
    FamilyPhilips = 1,
    FamilyConexant = 2,
    FamilyEmpia2800 = 3,
    FamilyEmpia28x0 = 4,
    FamilyEmpia28x1 = 5,
    FamilyWis = 6,
};

// Indices into VideoAdjustPercent.
enum TVideoAdjustItem
{
    AdjustBrightness,
    AdjustContrast,
    AdjustHue,
    AdjustSaturation,
    AdjustSharpness
};

class TMainInfo
{
public:
    TMainInfo();

    // Defaults of every persisted field and of StartInFM, ChipFamily,
    // SleepMinutes, PlayLastCapture and LastCaptureFile.
    void ResetMainSettings();

    // Leaves the current mode and enters the new one (app/app_modes.cpp).
    // False, with AppMode unchanged, when either step failed.
    bool SetAppMode(uint8_t mode);

    QString Title = "Lyra";
    QStringList ChipMakers;
    QStringList ChipModels;
    QString ChipMaker;
    QString ChipName;
    uint8_t AppMode = ModeNone;
    uint8_t IsWisFamily = 0;
    uint8_t ChipFamily = FamilyNone;
    uint8_t FMAvailable = 1;
    uint8_t StartInFM = 0;
    uint8_t DoNotUseOverlay = 0;
    uint8_t TimeShiftAvailable = 1;
    uint8_t PIPPlayback = 0;
    uint8_t SpareFlag = 0;
    int32_t SleepMinutes = 30;
    uint8_t AlwaysOnTop = 0;
    int32_t MPEG4Codec = 2;
    QString CapturePath;
    QString FMCapturePath;
    QString SpareBaseName = "capture";
    uint8_t PlayLastCapture = 0;
    QString LastCaptureFile;
    // A file opened from outside (command line, lyra-remote play-file):
    // ModePlay plays it as one file, like the last recording. Not stored.
    QString PlayFileName;
    // Percent of the device range; above 100 (compared unsigned, so also -1)
    // means the device default.
    std::array<int32_t, 5> VideoAdjustPercent{-1, -1, -1, -1, -1};

    // The main window's aspect ratio (0 free, 1 4:3, 2 16:9). Kept here
    // because "QPAVO.cfg" stores it; the window applies it.
    int32_t AspectRatio = 0;

    // Called after each successful mode change.
    std::function<void(uint8_t mode)> OnModeChanged;

    // Lock readings per tune for the identified family (1, 3 or 10); also
    // passed to the channel table's SignalCheckCount when it exists.
    int32_t SignalCheckCount = 1;
    // The Empia 2800 control object; exists only for that family. Set with
    // the chip fields by IdentifyChip (capture/chip_identity.h).
    std::shared_ptr<IEmpiaControl> EmpiaControl;
};

// The default folder of recordings: the user's documents folder with a
// trailing "/".
QString DefaultCaptureFolder();

extern TMainInfo *MainInfo;
