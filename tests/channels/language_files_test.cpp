// The language files shipped with Lyra. The English file is the one list of
// keys the forms look up, with the built-in English texts; every other
// language must give exactly the same keys.
#include <map>

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "channels/country_info.h"
#include "channels/languages.h"
#include "platform/messages.h"

namespace {

QString ShippedLangCfg() { return QStringLiteral(LYRA_STAGED_DATA) + "/Language/Lang.cfg"; }

struct TEntry
{
    QString Text;
    QString Hint;
    bool HasAt = false;
};

// The selected language's lines by key; a key given twice is reported, as
// the second line could never be found.
std::map<QString, TEntry> Entries(const TMultiLangInfo &lang, QStringList &problems)
{
    static const QRegularExpression keyShape("^[A-Za-z0-9]+$");
    std::map<QString, TEntry> entries;
    for (const QString &line : lang.CurrentLines) {
        const qsizetype eq = line.indexOf('=');
        const QString key = line.left(eq);
        if (eq < 0 || !keyShape.match(key).hasMatch()) {
            problems << lang.LanguageName + ": malformed line \"" + line + "\"";
            continue;
        }
        if (entries.count(key)) {
            problems << lang.LanguageName + ": key " + key + " given twice";
            continue;
        }
        TEntry entry;
        entry.HasAt = line.indexOf('@', eq) >= 0;
        lang.Translate(key, entry.Text, entry.Hint);
        entries[key] = entry;
    }
    return entries;
}

class ShippedLanguages : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Lang.LoadLanguages(ShippedLangCfg());
        ASSERT_EQ(Lang.LanguageNames, (QStringList{"English", "German", "French"}));
    }

    TMultiLangInfo Lang;
};

} // namespace

TEST_F(ShippedLanguages, EveryListedFileIsShipped)
{
    QFile cfg(ShippedLangCfg());
    ASSERT_TRUE(cfg.open(QIODevice::ReadOnly));
    const QStringList stems = QString::fromUtf8(cfg.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(stems, (QStringList{"English", "Deutsch", "Francais"}));
    for (const QString &stem : stems)
        EXPECT_TRUE(QFile::exists(QStringLiteral(LYRA_STAGED_DATA) + "/Language/" + stem + ".lng"))
            << stem.toStdString();
}

TEST_F(ShippedLanguages, EveryLanguageHasTheEnglishKeys)
{
    QStringList problems;
    Lang.SelectLanguage("English");
    const auto english = Entries(Lang, problems);
    ASSERT_GT(english.size(), 100u);

    for (const QString &name : Lang.LanguageNames) {
        Lang.SelectLanguage(name);
        ASSERT_EQ(Lang.LanguageName, name);
        const auto entries = Entries(Lang, problems);
        for (const auto &[key, entry] : english) {
            const auto it = entries.find(key);
            if (it == entries.end()) {
                problems << name + ": missing " + key;
                continue;
            }
            if (it->second.Text.isEmpty())
                problems << name + ": empty text for " + key;
            // A button with a hint in English has one in every language.
            if (it->second.HasAt != entry.HasAt || it->second.Hint.isEmpty() != entry.Hint.isEmpty())
                problems << name + ": hint of " + key + " differs from English";
        }
        for (const auto &[key, entry] : entries)
            if (!english.count(key))
                problems << name + ": extra key " + key;
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
}

TEST_F(ShippedLanguages, EnglishMessagesAreTheBuiltInTexts)
{
    QStringList problems;
    Lang.SelectLanguage("English");
    const auto english = Entries(Lang, problems);
    for (int number : MessageNumbers()) {
        const QString key = QString::number(number);
        const auto it = english.find(key);
        if (it == english.end())
            problems << "missing message " + key;
        else if (it->second.Text != BuiltInMessageText(number) || it->second.HasAt)
            problems << "message " + key + " differs: " + it->second.Text;
    }
    // Numbers the message table does not know are never looked up.
    for (const auto &[key, entry] : english)
        if (key[0].isDigit() && !MessageNumbers().contains(key.toInt()))
            problems << "unknown message number " + key;
    EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
}

TEST_F(ShippedLanguages, MessagesAreTranslated)
{
    for (const QString &name : {QStringLiteral("German"), QStringLiteral("French")}) {
        Lang.SelectLanguage(name);
        for (int number : MessageNumbers()) {
            const QString text = Lang.Translate(QString::number(number));
            EXPECT_FALSE(text.isEmpty()) << name.toStdString() << " " << number;
            EXPECT_NE(text, BuiltInMessageText(number)) << name.toStdString() << " " << number;
        }
    }
}

TEST_F(ShippedLanguages, LocaleLanguageSelectsItsFile)
{
    Lang.SelectLanguage(LanguageForCountryCode(49));
    EXPECT_EQ(Lang.LanguageIndex, 1);
    EXPECT_EQ(Lang.Translate("Finish"), "Fertigstellen");
    EXPECT_EQ(Lang.Translate("Cancel"), "Abbrechen");
    EXPECT_EQ(Lang.Translate("WizardForm"), "TV-Einrichtungsassistent");
    EXPECT_EQ(Lang.Translate("1103"),
              QString::fromUtf8("Die Haupteinstellungen sind beschädigt, die "
                                "Standardeinstellungen werden geladen..."));

    Lang.SelectLanguage(LanguageForCountryCode(33));
    EXPECT_EQ(Lang.LanguageIndex, 2);
    EXPECT_EQ(Lang.Translate("Cancel"), "Annuler");
    EXPECT_EQ(Lang.Translate("Antenna"), "Antenne");
    EXPECT_EQ(Lang.Translate("SVideo"), QString::fromUtf8("S-Vidéo"));

    // A locale language without a file falls back to English.
    Lang.SelectLanguage(LanguageForCountryCode(81));
    EXPECT_EQ(Lang.LanguageName, "English");
    EXPECT_EQ(Lang.LanguageIndex, 0);
    EXPECT_EQ(Lang.Translate("AspectRatio"), "Display Aspect Ration");
}

TEST_F(ShippedLanguages, ButtonHintsSplit)
{
    QString text, hint;
    Lang.SelectLanguage("English");
    EXPECT_TRUE(Lang.Translate("Exit", text, hint));
    EXPECT_EQ(text, "Exit");
    EXPECT_EQ(hint, "Close");
    Lang.Translate("RecallChannel", text, hint);
    EXPECT_EQ(text, "Recall Channel");
    EXPECT_EQ(hint, "Recall last channel");
    Lang.Translate("OK", text, hint);
    EXPECT_EQ(text, "OK");
    EXPECT_TRUE(hint.isEmpty());

    Lang.SelectLanguage("German");
    Lang.Translate("Exit", text, hint);
    EXPECT_EQ(text, "Beenden");
    EXPECT_EQ(hint, QString::fromUtf8("Schließen"));

    Lang.SelectLanguage("French");
    Lang.Translate("NextPage", text, hint);
    EXPECT_EQ(text, "Suivante");
    EXPECT_EQ(hint, "Page suivante");
}

TEST_F(ShippedLanguages, MessageTextUsesTheSelectedLanguage)
{
    Lang.SelectLanguage("French");
    SetMessageTranslator([this](const QString &key) { return Lang.Translate(key); });
    EXPECT_EQ(MessageText(1105), QString::fromUtf8("Aucun élément à lire"));
    EXPECT_EQ(MessageText(4242), "");
    SetMessageTranslator(nullptr);
    EXPECT_EQ(MessageText(1105), "No items to playback");
}
