// The OEM record: product texts for the about box and preferred device
// names, read from "PInfo.cfg" in the program folder (plain text, one value
// per line).
#pragma once

#include <cstdint>

#include <QString>

class TOEMInfo
{
public:
    TOEMInfo();

    // Defaults first; then, when the file has at least 6 lines, lines 1-6 and
    // each optional line 7-11 that exists.
    void LoadOEMInfo(const QString &fileName);

    QString ProductName;
    QString CompanyName;
    QString LegalNotice;
    QString VersionText;
    QString WebAddress;
    QString SupportEmail;
    QString OEMVideoDeviceName;
    QString OEMCrossbarName;
    QString OEMTunerName;
    QString OEMTVAudioName;
    QString OEMAudioDeviceName;
    uint8_t TitleBitmapPresent = 0; // "QTitle.bmp" exists in the program folder
    uint8_t Reserved = 0;

private:
    void SetDefaults(const QString &folder);
};

extern TOEMInfo *OEMInfo;
