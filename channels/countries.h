// The wizard's two ways to pick a broadcast plan: the list of 11 TV systems
// and the list of 185 countries (shown one initial letter at a time). Each
// choice gives the tuner country code, the "TVTable.tbl" record and the
// video standard index.
#pragma once

#include <cstdint>

#include <QList>
#include <QString>

struct TTVChoice
{
    int32_t CountryCode = 1;
    uint8_t Record = 0;
    uint8_t Standard = 0;
};

struct TCountryEntry
{
    QString Text; // exact display text
    int32_t CountryCode = 0;
    uint8_t Record = 0;
    uint8_t Standard = 0;
    int Letter = 0; // 0 "A" .. 25 "Z"
};

constexpr int TVSystemCount = 11;
constexpr int CountryCount = 185;
constexpr int LetterCount = 26;

// "NTSC", "NTSC_J", ... "PAL/SECAM".
QString TVSystemText(int index);
// Index 0..10; any other index gives code 1, record 0, standard 0.
TTVChoice TVSystemChoice(int index);

// All 185 entries in display order.
const QList<TCountryEntry> &Countries();
// "A" .. "Z".
QString LetterText(int letter);
// The entries shown for a letter, in order (empty for "X").
QList<TCountryEntry> CountriesOfLetter(int letter);
// An entry of a letter; no entry (entry out of range) gives code 1, record
// 0, standard 0.
TTVChoice CountryChoice(int letter, int entry);

// The standard index named at the end of an entry's text (0 without one).
uint8_t StandardFromText(const QString &text);
// The table record of an entry: by standard, with the exceptions.
uint8_t RecordForEntry(const QString &text, uint8_t standard);

struct TCountryPosition
{
    int Letter = 0;
    int Entry = 0; // within the letter
};

// What the wizard preselects: the stored code, or the locale's code when the
// stored one is below 1. The first entry carrying the code, except 36, which
// shows "Hungary2(PAL-D/K)"; an unknown code shows "A" and its first entry.
TCountryPosition PreselectCountry(int32_t storedCode, int32_t localeCode);
