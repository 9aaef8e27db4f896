// Rules of the settings dialog that do not depend on its widgets: the
// defaults of each capture profile, the capture size texts, the size a
// 525-line-only card gets, folder acceptance and storing everything the
// dialog changed.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

// The capture-format list's entries, in the order of TCaptureFormat.
QStringList CaptureFormatNames();
// "23.97" ... "30"; the stored FrameRateIndex is the list index + 1.
QStringList FrameRateNames();
// "Fastest" ... "Highest".
QStringList CaptureQualityNames();
// The audio capture formats offered for AudioCaptureFormatIndex.
QStringList AudioCaptureFormatNames();

// What choosing a capture format sets, and which controls stay editable.
struct TCaptureProfile
{
    QStringList Sizes;
    QString Selected; // may be absent from Sizes: then none is selected
    int32_t BitRate = 0;
    int32_t Quality = 0;        // index into CaptureQualityNames
    int32_t FrameRateIndex = 0; // index into FrameRateNames
    bool SizeEditable = false;
    bool BitRateEditable = false;
    bool QualityEditable = false;
    bool FrameRateEditable = false;
};
TCaptureProfile CaptureProfile(int32_t format, uint8_t chipFamily);

// "%3dx%3d" of a size, as the size list shows it.
QString CaptureSizeText(int32_t width, int32_t height);
// Width from characters 1-3, height from characters 5-7; false when either
// is not a number.
bool ParseCaptureSize(const QString &entry, int32_t &width, int32_t &height);

// The Empia 2800 cannot scale 720 lines wide outside the 525-line
// standards: true when a 720x480 capture must become 640x480. With a tuner
// the channel table's TV-system code decides (0 and 1 are NTSC), without
// one the composite and S-Video standards (indexes 0 and 1 are NTSC).
bool NarrowDVDSize(uint8_t chipFamily, bool hasTuner, uint8_t systemCode, uint8_t compositeStandard,
                   uint8_t sVideoStandard);

// A folder chosen in the dialog: the path with a trailing "/" when it is
// usable (not on read-only media; created when missing), else `current`
// unchanged.
QString AcceptFolder(const QString &chosen, const QString &current);

// The recording level's label: position x 100 div 65536, then "%".
QString RecordLevelText(int position);

// Writes "QPAVO.cfg" and "QPAVO2.cfg" from the live settings objects, as
// the shutdown does; false when either could not be written.
bool SaveAllSettings();
