// Rules of the command dispatcher that are worth naming on their own.
#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <cstdint>
#include <functional>

// One step of the source cycle (command 200).
struct TSourceStep
{
    uint8_t Source;
    uint8_t Band; // meaningful for the tuner
    bool operator==(const TSourceStep &) const = default;
};
TSourceStep NextSourceStep(bool hasTuner, bool hasAuxInput, uint8_t source, uint8_t band);

// Selects the stored source again as at start: the tuner's band with its
// current channel, composite, S-Video or camera (composite when the card
// refuses the camera); without a tuner S-Video when stored, else composite.
void RestoreSourceAsAtStart(bool hasTuner);

// TV audio modes to try, in order, from mode m (0..4) under video standard s.
QList<uint8_t> AudioModeCandidates(uint8_t mode, uint8_t standard);

// The percentage the volume OSD shows after a step from volume v.
int VolumeStepPercent(int32_t volume, bool up);

// Opens a URL (help file, programme guide). Tests install their own.
using TUrlOpener = std::function<bool(const QUrl &)>;
void SetUrlOpener(TUrlOpener opener);
bool OpenUrl(const QUrl &url);

// The HTML manual for the language in the folder: "Lyra_<language>.html",
// else "Lyra_English.html", else "Lyra.html". Empty when none exists.
QString HelpFilePath(const QString &folder, const QString &language);
// The program's documentation: doc/ of the shipped data.
QString HelpFolder();

// The programme guide's address: the first line of "EPG.url" in the program
// folder, else the built-in one.
QString EpgAddress();
