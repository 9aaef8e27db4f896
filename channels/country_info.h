// The user's locale as the program sees it: the international dialling code
// of the locale's country, and the language that goes with it.
#pragma once

#include <cstdint>

#include <QLocale>
#include <QString>

class TCountryInfo
{
public:
    // Reads the system locale.
    TCountryInfo();
    explicit TCountryInfo(const QLocale &locale);

    int32_t LocaleCountry = 1;
    QString LocaleLanguage = "English";
};

// Dialling code of a locale's territory; 1 when unknown.
int32_t DiallingCode(const QLocale &locale);

// The language name that goes with a dialling code ("English" for codes
// without one).
QString LanguageForCountryCode(int32_t code);

extern TCountryInfo *CountryInfo;
