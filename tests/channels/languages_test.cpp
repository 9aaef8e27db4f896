// The language table's reading rules: numbering across files, trimming,
// comments, key=text@hint, font by language name and the fall-backs.
#include <QLocale>

#include <gtest/gtest.h>

#include "channels/country_info.h"
#include "channels/languages.h"
#include "test_env.h"

namespace {

// A fresh "Language" folder; returns the path of its Lang.cfg.
QString LanguageFolder(const QByteArray &langCfg,
                       const QList<QPair<QString, QByteArray>> &files)
{
    const QString dir = TestEnv::NewFolder("lang") + "/Language/";
    for (const auto &[stem, bytes] : files)
        TestEnv::WriteFile(dir + stem + ".lng", bytes);
    return TestEnv::WriteFile(dir + "Lang.cfg", langCfg);
}

QString OneFile(const QByteArray &lng) { return LanguageFolder("Test\n", {{"Test", lng}}); }

} // namespace

TEST(Languages, CommentLanguageAndHint)
{
    TMultiLangInfo lang(OneFile("# German texts\n[language]=Deutsch\nFinish=Fertig@Beenden\n"));
    lang.SelectLanguage("Deutsch");
    QString text, hint;
    EXPECT_TRUE(lang.Translate("Finish", text, hint));
    EXPECT_EQ(text, "Fertig");
    EXPECT_EQ(hint, "Beenden");
    EXPECT_EQ(lang.LanguageNames, QStringList{"Deutsch"});
    EXPECT_EQ(lang.AllLines, QStringList{"0^Finish=Fertig@Beenden"});
}

TEST(Languages, KeyMatchIncludesEqualsSign)
{
    TMultiLangInfo lang(OneFile("[language]=X\nFinishButton=Wrong\n"));
    QString text, hint;
    EXPECT_FALSE(lang.Translate("Finish", text, hint));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_TRUE(hint.isEmpty());

    TMultiLangInfo both(OneFile("[language]=X\nFinishButton=Wrong\nFinish=Right\nFinish=Later\n"));
    EXPECT_EQ(both.Translate("Finish"), "Right"); // the first line with the key wins
    EXPECT_EQ(both.Translate("finish"), "");      // keys are case-sensitive
}

TEST(Languages, HintSplitsAtFirstAt)
{
    TMultiLangInfo lang(OneFile("[language]=X\nTotal=Total@\nMail=a@b@c\nBare=@only hint\n"
                                "Plain=No hint\n"));
    QString text, hint;
    EXPECT_TRUE(lang.Translate("Total", text, hint));
    EXPECT_EQ(text, "Total");
    EXPECT_TRUE(hint.isEmpty());

    lang.Translate("Mail", text, hint);
    EXPECT_EQ(text, "a");
    EXPECT_EQ(hint, "b@c");

    // The boolean answer is about the text only.
    EXPECT_FALSE(lang.Translate("Bare", text, hint));
    EXPECT_EQ(hint, "only hint");

    lang.Translate("Plain", text, hint);
    EXPECT_EQ(text, "No hint");
    EXPECT_TRUE(hint.isEmpty());
}

TEST(Languages, LanguagesAreNumberedAcrossFiles)
{
    const QString cfg = LanguageFolder("One\nMissing\nTwo\n",
                                       {{"One", "[language]=Eins\nFinish=Fertig\n"},
                                        {"Two", "[language]=Zwei\nFinish=Zwei fertig\n"}});
    TMultiLangInfo lang(cfg);
    EXPECT_EQ(lang.LanguageNames, (QStringList{"Eins", "Zwei"}));
    EXPECT_EQ(lang.AllLines, (QStringList{"0^Finish=Fertig", "1^Finish=Zwei fertig"}));
    EXPECT_EQ(lang.LanguageIndex, 0);
    EXPECT_EQ(lang.LanguageName, "Eins");
    EXPECT_EQ(lang.Translate("Finish"), "Fertig");

    lang.SelectLanguage("zwei"); // case-insensitive lookup
    EXPECT_EQ(lang.LanguageIndex, 1);
    EXPECT_EQ(lang.LanguageName, "zwei");
    EXPECT_EQ(lang.Translate("Finish"), "Zwei fertig");
}

TEST(Languages, LinesBelongToTheLanguageStartedLast)
{
    // Lines before the first language of all files are dropped; a file
    // without its own [language]= line continues the previous language.
    const QString cfg = LanguageFolder("A\nB\n", {{"A", "Orphan=x\n[language]=Eins\nOK=Gut\n"},
                                                  {"B", "Cancel=Nein\n"}});
    TMultiLangInfo lang(cfg);
    EXPECT_EQ(lang.AllLines, (QStringList{"0^OK=Gut", "0^Cancel=Nein"}));
    EXPECT_EQ(lang.Translate("Cancel"), "Nein");
    EXPECT_EQ(lang.Translate("Orphan"), "");
}

TEST(Languages, LinesAreTrimmedAndCommentsSkipped)
{
    TMultiLangInfo lang(OneFile("\xEF\xBB\xBF[language]=Deutsch\r\n"
                                "   # indented comment\r\n"
                                "\r\n"
                                " \t Next=N\xC3\xA4" "chster \t\r\n"
                                "#OK=commented out\n"));
    EXPECT_EQ(lang.LanguageNames, QStringList{"Deutsch"}); // no byte-order mark in the name
    EXPECT_EQ(lang.Translate("Next"), QString::fromUtf8("Nächster"));
    EXPECT_EQ(lang.Translate("OK"), "");
    EXPECT_EQ(lang.CurrentLines.size(), 1);
}

TEST(Languages, FontFollowsTheLanguageName)
{
    const QString cfg = LanguageFolder(
        "L\n", {{"L", "[language]=English\n[language]=Japanese\n[language]=Chinese(simplified)\n"
                      "[language]=Chinese\n[language]=Korean\n"}});
    TMultiLangInfo lang(cfg);
    EXPECT_EQ(lang.FontCharset, 1);
    EXPECT_EQ(lang.FontSize, 8);

    lang.SelectLanguage("Japanese");
    EXPECT_EQ(lang.FontCharset, 128);
    EXPECT_EQ(lang.FontSize, 8);
    lang.SelectLanguage("Chinese(simplified)");
    EXPECT_EQ(lang.FontCharset, 134);
    EXPECT_EQ(lang.FontSize, 9);
    lang.SelectLanguage("Chinese");
    EXPECT_EQ(lang.FontCharset, 136);
    EXPECT_EQ(lang.FontSize, 9);
    lang.SelectLanguage("Korean");
    EXPECT_EQ(lang.FontCharset, 129);
    EXPECT_EQ(lang.FontSize, 8);

    // The list search ignores letter case, the font table does not.
    lang.SelectLanguage("japanese");
    EXPECT_EQ(lang.LanguageIndex, 1);
    EXPECT_EQ(lang.FontCharset, 1);
    EXPECT_EQ(lang.FontSize, 8);

    // A reload selects language 0 with the default font again.
    lang.SelectLanguage("Chinese");
    lang.LoadLanguages(cfg);
    EXPECT_EQ(lang.LanguageName, "English");
    EXPECT_EQ(lang.FontCharset, 1);
    EXPECT_EQ(lang.FontSize, 8);
}

TEST(Languages, UnknownNameSelectsEnglish)
{
    const QString cfg = LanguageFolder("L\n", {{"L", "[language]=Japanese\nOK=Hai\n"
                                                     "[language]=English\nOK=OK\n"}});
    TMultiLangInfo lang(cfg);
    lang.SelectLanguage("Japanese");
    lang.SelectLanguage("Klingon");
    EXPECT_EQ(lang.LanguageName, "English");
    EXPECT_EQ(lang.LanguageIndex, 1);
    EXPECT_EQ(lang.FontCharset, 1);
    EXPECT_EQ(lang.FontSize, 8);
    EXPECT_EQ(lang.Translate("OK"), "OK");
}

TEST(Languages, UnknownNameWithoutEnglishKeepsTheLines)
{
    TMultiLangInfo lang(OneFile("[language]=Japanese\nOK=Hai\n"));
    lang.SelectLanguage("Japanese");
    lang.SelectLanguage("Klingon");
    EXPECT_EQ(lang.LanguageName, "English");
    EXPECT_EQ(lang.LanguageIndex, -1);
    EXPECT_EQ(lang.FontCharset, 1);
    EXPECT_EQ(lang.Translate("OK"), "Hai");
}

TEST(Languages, NothingLoadedGivesEmptyTexts)
{
    const QString dir = TestEnv::NewFolder("nolang");
    TMultiLangInfo missing(dir + "/Language/Lang.cfg");
    EXPECT_TRUE(missing.LanguageNames.isEmpty());
    EXPECT_EQ(missing.LanguageIndex, -1);
    missing.SelectLanguage("English");
    EXPECT_EQ(missing.LanguageIndex, -1);
    EXPECT_TRUE(missing.LanguageName.isEmpty());
    QString text = "x", hint = "y";
    EXPECT_FALSE(missing.Translate("OK", text, hint));
    EXPECT_TRUE(text.isEmpty());
    EXPECT_TRUE(hint.isEmpty());

    // Listed files that are missing or hold no language line.
    TMultiLangInfo empty(LanguageFolder("Gone\nBare\n\n", {{"Bare", "OK=Fine\n"}}));
    EXPECT_TRUE(empty.LanguageNames.isEmpty());
    EXPECT_TRUE(empty.AllLines.isEmpty());
    EXPECT_EQ(empty.Translate("OK"), "");
}

TEST(CountryInfo, DiallingCodeOfLocale)
{
    EXPECT_EQ(DiallingCode(QLocale("ja_JP")), 81);
    EXPECT_EQ(DiallingCode(QLocale("de_DE")), 49);
    EXPECT_EQ(DiallingCode(QLocale("cs_CZ")), 42);
    EXPECT_EQ(DiallingCode(QLocale("sk_SK")), 42);
    EXPECT_EQ(DiallingCode(QLocale("en_US")), 1);
    EXPECT_EQ(DiallingCode(QLocale("fr_CA")), 1);
    EXPECT_EQ(DiallingCode(QLocale("ru_RU")), 7);
    EXPECT_EQ(DiallingCode(QLocale::c()), 1);
}

TEST(CountryInfo, LanguageOfCountryCode)
{
    EXPECT_EQ(LanguageForCountryCode(49), "German");
    EXPECT_EQ(LanguageForCountryCode(43), "German");
    EXPECT_EQ(LanguageForCountryCode(33), "French");
    EXPECT_EQ(LanguageForCountryCode(41), "French");
    EXPECT_EQ(LanguageForCountryCode(44), "English");
    EXPECT_EQ(LanguageForCountryCode(81), "Japanese");
    EXPECT_EQ(LanguageForCountryCode(86), "Chinese(simplified)");
    EXPECT_EQ(LanguageForCountryCode(886), "Chinese");
    EXPECT_EQ(LanguageForCountryCode(42), "Czech");
    EXPECT_EQ(LanguageForCountryCode(999), "English");

    const TCountryInfo austria(QLocale("de_AT"));
    EXPECT_EQ(austria.LocaleCountry, 43);
    EXPECT_EQ(austria.LocaleLanguage, "German");
}
