// The dispatcher's rules that stand on their own: the source cycle, the TV
// audio-mode candidates, the volume percentages, and where help and the
// programme guide are found.
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>

#include "app/commands.h"
#include "app/mode_engines.h"
#include "platform/program_folder.h"

namespace {

// The guide is offered for Japan only (country code 81).
const char *const BuiltInEpgAddress = "https://bangumi.org/";

TUrlOpener &UrlOpener()
{
    static TUrlOpener opener = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    return opener;
}

} // namespace

TSourceStep NextSourceStep(bool hasTuner, bool hasAux, uint8_t source, uint8_t band)
{
    if (hasTuner) {
        switch (source) {
        case SourceTuner:
            if (band == ModeAntenna)
                return {SourceTuner, ModeCable};
            if (band == ModeCable)
                return {SourceTuner, ModeMemory};
            return band == ModeMemory ? TSourceStep{SourceComposite, band}
                                      : TSourceStep{SourceTuner, ModeAntenna};
        case SourceComposite:
            return {SourceSVideo, band};
        case SourceSVideo:
            return hasAux ? TSourceStep{SourceCamera, band} : TSourceStep{SourceTuner, ModeAntenna};
        default:
            return {SourceTuner, ModeAntenna};
        }
    }
    if (source == SourceComposite)
        return {SourceSVideo, band};
    if (source == SourceSVideo && hasAux)
        return {SourceCamera, band};
    return {SourceComposite, band};
}

QList<uint8_t> AudioModeCandidates(uint8_t mode, uint8_t standard)
{
    // Without a second-language carrier (NTSC, or no standard chosen) mode 2
    // does not exist in the cycle.
    const bool narrow = standard < 2 || standard == 11;
    const QList<uint8_t> ring = narrow ? QList<uint8_t>{0, 1, 3, 4} : QList<uint8_t>{0, 1, 2, 3, 4};
    if (mode > 4)
        mode = 0; // no mode known yet: start as from mono
    QList<uint8_t> out;
    // The candidates run from the first ring member above mode, wrapping
    // round (so they end with mode itself when it is in the ring).
    int start = 0;
    while (start < ring.size() && ring[start] <= mode)
        ++start;
    for (int i = 0; i < ring.size(); ++i)
        out << ring[(start + i) % ring.size()];
    return out;
}

int VolumeStepPercent(int32_t volume, bool up)
{
    const qint64 v = volume;
    if (up)
        return int(qMin<qint64>(100, (v * 100 + 655300) / 65536));
    return int(qMax<qint64>(0, (v * 100 - 655300) / 65536));
}

void SetUrlOpener(TUrlOpener opener)
{
    UrlOpener() =
        opener ? std::move(opener) : [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

bool OpenUrl(const QUrl &url)
{
    return UrlOpener()(url);
}

QString HelpFolder()
{
    return ProgramFolder::ShippedDataDir() + "/doc";
}

QString HelpFilePath(const QString &folder, const QString &language)
{
    // The manual of the language, else the English one, else the
    // language-less page.
    for (const QString &name : {language, QStringLiteral("English")}) {
        const QString localized = folder + "/Lyra_" + name + ".html";
        if (!name.isEmpty() && QFileInfo::exists(localized))
            return localized;
    }
    const QString plain = folder + "/Lyra.html";
    return QFileInfo::exists(plain) ? plain : QString();
}

QString EpgAddress()
{
    QFile f(ProgramFolder::File("EPG.url"));
    if (f.open(QIODevice::ReadOnly)) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (!line.isEmpty())
            return line;
    }
    return BuiltInEpgAddress;
}
