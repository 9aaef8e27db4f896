#include "app/main_info.h"

#include "platform/program_folder.h"

TMainInfo *MainInfo = nullptr;

QString DefaultCaptureFolder() { return DefaultDocumentsFolder(); }

TMainInfo::TMainInfo()
{
    ChipMakers = {"Philips", "Conexant", "Empia", "Wis"};
    ChipModels = {"7130", "7131", "7133", "7134", "7135", "713x", "878", "88X", "2800",
                  "2820", "2821", "2840", "2841", "2860", "2861", "2880", "2881"};
    ResetMainSettings();
}

void TMainInfo::ResetMainSettings()
{
    AlwaysOnTop = 0;
    PIPPlayback = 0;
    StartInFM = 0;
    DoNotUseOverlay = 0;
    SpareFlag = 0;
    MPEG4Codec = 2;
    CapturePath = DefaultCaptureFolder();
    FMCapturePath = DefaultCaptureFolder();
    SpareBaseName = "capture";
    VideoAdjustPercent = {-1, -1, -1, -1, -1};
    ChipFamily = FamilyNone;
    SleepMinutes = 30;
    PlayLastCapture = 0;
    LastCaptureFile.clear();
}
