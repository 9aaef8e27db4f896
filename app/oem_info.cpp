#include "app/oem_info.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include "platform/program_folder.h"

TOEMInfo *OEMInfo = nullptr;

TOEMInfo::TOEMInfo() { SetDefaults(ProgramFolder::Path()); }

void TOEMInfo::SetDefaults(const QString &folder)
{
    ProductName = "Lyra";
    CompanyName = "The Lyra developers";
    LegalNotice = "Free software: you may use, study, share and improve it.";
    VersionText = "V 2.0 ";
    WebAddress = "https://lyra-tv.example.org/";
    SupportEmail = "support@lyra-tv.example.org";
    OEMVideoDeviceName.clear();
    OEMCrossbarName.clear();
    OEMTunerName.clear();
    OEMTVAudioName.clear();
    OEMAudioDeviceName.clear();
    TitleBitmapPresent = QFileInfo::exists(folder + "QTitle.bmp") ? 1 : 0;
    Reserved = 0;
}

void TOEMInfo::LoadOEMInfo(const QString &fileName)
{
    SetDefaults(QFileInfo(fileName).absolutePath() + "/");
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QStringList lines;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd())
        lines << in.readLine();
    if (lines.size() < 6)
        return;
    ProductName = lines[0];
    CompanyName = lines[1];
    LegalNotice = lines[2];
    VersionText = lines[3];
    WebAddress = lines[4];
    SupportEmail = lines[5];
    QString *optional[] = {&OEMVideoDeviceName, &OEMCrossbarName, &OEMTunerName,
                           &OEMTVAudioName, &OEMAudioDeviceName};
    for (int i = 0; i < 5 && 6 + i < lines.size(); ++i)
        *optional[i] = lines[6 + i].trimmed();
}
