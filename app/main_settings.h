// "QPAVO.cfg": the main settings file in the program folder. Read once at
// start-up, written once at shutdown.
#pragma once

#include <functional>

#include <QString>

class TMainInfo;
class TAudioAdjustInfo;
class TMultiLangInfo;
class TCountryInfo;
struct TCaptureSettings;

constexpr int32_t MainSettingsMagic = 0x9999;
constexpr int32_t MainSettingsEndMark = 0x8907;

// What the settings file is read into and written from. Any pointer may be
// null; its fields are then skipped on reading and written as defaults.
struct TMainSettingsContext
{
    TMainInfo *Main = nullptr;
    TAudioAdjustInfo *Audio = nullptr;
    TCaptureSettings *Capture = nullptr;
    TMultiLangInfo *Lang = nullptr;
    TCountryInfo *Country = nullptr;

    // Applies the loaded aspect ratio to the main window.
    std::function<void(int32_t)> ApplyAspectRatio;
    // The capture engine's defaults; without it the recording block's
    // defaults are applied.
    std::function<void()> CaptureDefaults;

    // The program shows messages and deletes a damaged file; lyra-config
    // only reports what the program would do.
    bool ShowMessages = true;
    bool DeleteDamaged = true;
    // lyra-config must not create folders while checking them.
    bool CreateFolders = true;

    // Results of the last load.
    int Message = 0;      // message number shown (or that would be shown)
    bool Deleted = false; // the damaged file was (or would be) deleted
    QString LanguageRead; // the language name stored in the file
};

bool LoadMainSettings(const QString &file, TMainSettingsContext &context);
bool SaveMainSettings(const QString &file, const TMainSettingsContext &context);

// The program folder's "QPAVO.cfg".
QString MainSettingsPath();

// Replaces the folder check (tests: read-only media without mounting any).
void SetFolderCheck(std::function<bool(const QString &)> check);
