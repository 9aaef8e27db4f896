#include "channels/languages.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include "platform/program_folder.h"

TMultiLangInfo *MultiLangInfo = nullptr;

namespace {

// Trims blanks and control characters at both ends.
QString TrimLine(const QString &line)
{
    qsizetype begin = 0, end = line.size();
    while (begin < end && line[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && line[end - 1].unicode() <= 0x20)
        --end;
    return line.mid(begin, end - begin);
}

QStringList ReadLines(const QString &path)
{
    QStringList lines;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return lines;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd())
        lines << in.readLine();
    return lines;
}

} // namespace

QString LangCfgPath() { return ProgramFolder::File("Language/Lang.cfg"); }

TMultiLangInfo::TMultiLangInfo(const QString &langCfgPath) { LoadLanguages(langCfgPath); }

void TMultiLangInfo::LoadLanguages(const QString &langCfgPath)
{
    LanguageNames.clear();
    AllLines.clear();
    CurrentLines.clear();
    LanguageIndex = -1;
    LanguageName.clear();
    // Language 0 is selected with the default font, also on a reload after
    // another language had been chosen.
    FontCharset = 1;
    FontSize = 8;

    const QString folder = QFileInfo(langCfgPath).absolutePath() + "/";
    int number = -1;
    for (const QString &stem : ReadLines(langCfgPath)) {
        // The stem is used as it stands; an empty one names no file.
        if (stem.isEmpty())
            continue;
        const QString lng = folder + stem + ".lng";
        if (!QFileInfo(lng).isFile())
            continue;
        for (const QString &raw : ReadLines(lng)) {
            const QString line = TrimLine(raw);
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            if (line.startsWith("[language]=")) {
                ++number;
                LanguageNames << line.mid(11);
            } else if (number >= 0) {
                AllLines << QString::number(number) + "^" + line;
            }
        }
    }
    if (!LanguageNames.isEmpty()) {
        LanguageIndex = 0;
        LanguageName = LanguageNames.first();
        SelectLines(0);
    }
}

void TMultiLangInfo::SelectLines(int index)
{
    if (index < 0)
        return;
    CurrentLines.clear();
    const QString prefix = QString::number(index) + "^";
    for (const QString &line : AllLines)
        if (line.startsWith(prefix))
            CurrentLines << line.mid(prefix.size());
}

void TMultiLangInfo::SelectLanguage(const QString &name)
{
    if (LanguageNames.isEmpty())
        return;
    int found = -1;
    for (int i = 0; i < LanguageNames.size(); ++i) {
        if (LanguageNames[i].compare(name, Qt::CaseInsensitive) == 0) {
            found = i;
            break;
        }
    }
    if (found < 0) {
        LanguageName = "English";
        LanguageIndex = -1;
        for (int i = 0; i < LanguageNames.size(); ++i)
            if (LanguageNames[i].compare("English", Qt::CaseInsensitive) == 0) {
                LanguageIndex = i;
                break;
            }
        FontCharset = 1;
        FontSize = 8;
        SelectLines(LanguageIndex);
        return;
    }
    LanguageName = name;
    LanguageIndex = found;
    if (name == "Chinese") {
        FontCharset = 136;
        FontSize = 9;
    } else if (name == "Chinese(simplified)") {
        FontCharset = 134;
        FontSize = 9;
    } else if (name == "Japanese") {
        FontCharset = 128;
        FontSize = 8;
    } else if (name == "Korean") {
        FontCharset = 129;
        FontSize = 8;
    } else {
        FontCharset = 1;
        FontSize = 8;
    }
    SelectLines(found);
}

bool TMultiLangInfo::Translate(const QString &key, QString &text, QString &hint) const
{
    text.clear();
    hint.clear();
    if (CurrentLines.isEmpty())
        return false;
    const QString prefix = key + "=";
    for (const QString &line : CurrentLines) {
        if (!line.startsWith(prefix))
            continue;
        const QString value = line.mid(prefix.size());
        const qsizetype at = value.indexOf('@');
        if (at < 0) {
            text = value;
        } else {
            text = value.left(at);
            hint = value.mid(at + 1);
        }
        return !text.isEmpty();
    }
    return false;
}

QString TMultiLangInfo::Translate(const QString &key) const
{
    QString text, hint;
    Translate(key, text, hint);
    return text;
}
