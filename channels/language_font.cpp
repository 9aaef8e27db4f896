// Kept apart from the language table so that the table itself needs QtCore
// only (the .lng reader is fuzzed without QtGui).
#include <QFont>
#include <QFontDatabase>

#include "channels/languages.h"

QFont LanguageFont(const TMultiLangInfo &lang, int extra)
{
    QFontDatabase::WritingSystem system = QFontDatabase::Latin;
    switch (lang.FontCharset) {
    case 136: system = QFontDatabase::TraditionalChinese; break;
    case 134: system = QFontDatabase::SimplifiedChinese; break;
    case 128: system = QFontDatabase::Japanese; break;
    case 129: system = QFontDatabase::Korean; break;
    default: break;
    }
    QFont font;
    if (system != QFontDatabase::Latin) {
        const QStringList families = QFontDatabase::families(system);
        if (!families.isEmpty())
            font.setFamily(families.first());
    }
    font.setPointSize(lang.FontSize + extra);
    return font;
}
