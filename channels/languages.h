// The language table: every language of the files listed in
// "Language/Lang.cfg", and the texts and hints of the selected one.
#pragma once

#include <cstdint>

#include <QString>
#include <QStringList>

class QFont;

class TMultiLangInfo
{
public:
    TMultiLangInfo() = default;
    // Loads the languages listed in the given "Lang.cfg" and selects language 0.
    explicit TMultiLangInfo(const QString &langCfgPath);

    void LoadLanguages(const QString &langCfgPath);
    void SelectLanguage(const QString &name);

    // Text and hint of a key in the selected language; both empty when the
    // key is missing.
    bool Translate(const QString &key, QString &text, QString &hint) const;
    QString Translate(const QString &key) const;

    QStringList LanguageNames;
    QStringList AllLines;
    QStringList CurrentLines;
    QString LanguageName;
    int32_t LanguageIndex = -1;
    int32_t FontCharset = 1;
    int32_t FontSize = 8;

private:
    void SelectLines(int index);
};

// A font for the forms of the selected language: a family that covers the
// language's writing system, at FontSize points (plus extra, for buttons).
QFont LanguageFont(const TMultiLangInfo &lang, int extra = 0);

// The program folder's "Language/Lang.cfg".
QString LangCfgPath();

extern TMultiLangInfo *MultiLangInfo;
