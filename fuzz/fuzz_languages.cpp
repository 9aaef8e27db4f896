// Feeds arbitrary bytes to the language table as one or two ".lng" files
// named by a "Lang.cfg", then selects languages and looks keys up, checking
// that the table stays consistent with what it read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <QFile>
#include <QTemporaryDir>

#include "channels/languages.h"

namespace {

void Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        abort();
    f.write(bytes);
}

void Check(bool ok)
{
    if (!ok)
        abort();
}

// The selected language's lines must all come from AllLines under its number.
void CheckSelection(const TMultiLangInfo &lang)
{
    if (lang.LanguageIndex < 0)
        return;
    Check(lang.LanguageIndex < lang.LanguageNames.size());
    const QString prefix = QString::number(lang.LanguageIndex) + "^";
    qsizetype n = 0;
    for (const QString &line : lang.AllLines)
        if (line.startsWith(prefix))
            Check(lang.CurrentLines.value(n++) == line.mid(prefix.size()));
    Check(n == lang.CurrentLines.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    if (!dir.isValid() || size < 1)
        return 0;
    const QString folder = dir.path() + "/";
    const uint8_t plan = data[0];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    // Bit 0 splits the input over two files (the language counter runs over
    // both); bit 1 lists a file that does not exist in between.
    QByteArray cfg = "A\n";
    if (plan & 2)
        cfg += "Gone\n";
    if (plan & 1) {
        const qsizetype half = bytes.size() / 2;
        Write(folder + "A.lng", bytes.left(half));
        Write(folder + "B.lng", bytes.mid(half));
        cfg += "B\n";
    } else {
        Write(folder + "A.lng", bytes);
        QFile::remove(folder + "B.lng");
    }
    Write(folder + "Lang.cfg", cfg);

    TMultiLangInfo lang(folder + "Lang.cfg");
    Check(lang.LanguageIndex == (lang.LanguageNames.isEmpty() ? -1 : 0));
    Check(lang.FontCharset == 1 && lang.FontSize == 8);
    for (const QString &line : lang.AllLines) {
        const qsizetype caret = line.indexOf('^');
        Check(caret > 0 && line.left(caret).toInt() < lang.LanguageNames.size());
    }
    CheckSelection(lang);

    QStringList names = lang.LanguageNames.mid(0, 3);
    names << "English" << "Japanese" << "no such language";
    for (const QString &name : names) {
        lang.SelectLanguage(name);
        CheckSelection(lang);
        // Look up the keys of the first few lines: the text never holds the
        // "@" that split it from the hint.
        for (qsizetype i = 0; i < lang.CurrentLines.size() && i < 8; ++i) {
            const QString &line = lang.CurrentLines[i];
            const qsizetype eq = line.indexOf('=');
            if (eq < 0)
                continue;
            QString text, hint;
            const bool found = lang.Translate(line.left(eq), text, hint);
            Check(found == !text.isEmpty());
            Check(!text.contains('@'));
        }
        lang.Translate("OK");
        lang.Translate("1103");
    }
    return 0;
}
