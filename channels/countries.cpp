#include "channels/countries.h"

#include <array>

#include "channels/channel_types.h"

namespace {

struct TSystemRow
{
    const char *Text;
    int32_t Code;
    uint8_t Record;
    uint8_t Standard;
};

const std::array<TSystemRow, TVSystemCount> Systems = {{
    {"NTSC", 1, 0, StdNTSCM},
    {"NTSC_J", 81, 7, StdNTSCJapan},
    {"PAL_BG", 49, 3, StdPALBG},
    {"PAL_DK", 86, 4, StdPALDK},
    {"PAL_I", 44, 5, StdPALI},
    {"PAL_M", 55, 0, StdPALM},
    {"PAL_N", 591, 0, StdPALN},
    {"SECAM_BG", 20, 3, StdSECAMBG},
    {"SECAM_DK", 242, 4, StdSECAMDK},
    {"SECAM_L", 33, 6, StdSECAML},
    {"PAL/SECAM", 36, 21, StdSECAMDK},
}};

struct TCountryRow
{
    const char *Text;
    int32_t Code;
};

// Display texts exactly as shown (including "Diego Carcia").
const TCountryRow CountryRows[CountryCount] = {
    {"Afghanistan(PAL-B/G)", 93},
    {"Albania(PAL-B/G)", 355},
    {"Algeria(PAL-B/G)", 213},
    {"Andorra", 376},
    {"Argentina(PAL-N)", 54},
    {"Armenia(SECAM-D/K)", 374},
    {"Aruba(NTSC-M)", 297},
    {"Ascension Island", 247},
    {"Australia(PAL-B/G)", 61},
    {"Austria(PAL-B/G)", 43},
    {"Azerbaijan(SECAM-D/K)", 994},
    {"Bahrain(PAL-B/G)", 973},
    {"Bangladesh(PAL-B/G)", 880},
    {"Belarus(SECAM-D/K)", 375},
    {"Belgium(PAL-B/G)", 32},
    {"Belize(NTSC-M)", 501},
    {"Bhutan", 975},
    {"Bolivia(PAL-N)", 591},
    {"Botswana(SECAM-D/K)", 267},
    {"Brazil(PAL-M)", 55},
    {"Brunei(PAL-B/G)", 673},
    {"Bulgaria(SECAM-D/K)", 359},
    {"Burkina Faso(SECAM-D/K)", 226},
    {"Cambodia(PAL-B/G)", 855},
    {"Cameroon(PAL-B/G)", 237},
    {"Canada(NTSC-M)", 2},
    {"Central African Republic(PAL-B/G)", 236},
    {"Chad(PAL-B/G)", 235},
    {"Chile(NTSC-M)", 56},
    {"China(PAL-D/K)", 86},
    {"Christmas Island", 672},
    {"Colombia(NTSC-M)", 57},
    {"Cook Islands(PAL-B/G)", 682},
    {"Costa Rica(NTSC-M)", 506},
    {"Croatia(PAL-B/G)", 385},
    {"Cuba(NTSC-M)", 53},
    {"Cyprus(PAL-B/G)", 357},
    {"Czech Republic(PAL-D/K)", 42},
    {"Czech Republic(SECAM-D/K)", 42},
    {"Denmark(PAL-B/G)", 45},
    {"Diego Carcia(NTSC-M)", 246},
    {"Ecuador(NTSC-M)", 593},
    {"Egypt(PAL-B/G)", 20},
    {"Egypt(SECAM-B/G)", 20},
    {"El Salvador(NTSC-M)", 503},
    {"Eritrea", 291},
    {"Estonia(PAL-B/G)", 372},
    {"Ethiopia(PAL-B/G)", 251},
    {"Falkland Islands(PAL-I)", 500},
    {"Faroe Islands(PAL-B/G)", 298},
    {"Fiji Islands(NTSC-M)", 679},
    {"Finland(PAL-B/G)", 358},
    {"France(SECAM-L)", 33},
    {"Georgia(SECAM-D/K)", 995},
    {"Germany(PAL-B/G)", 49},
    {"Ghana(PAL-B/G)", 233},
    {"Gibraltar(PAL-B/G)", 350},
    {"Greece(PAL-B/G)", 30},
    {"Greenland(NTSC-M)", 299},
    {"Guam(NTSC-M)", 671},
    {"Guatemala(NTSC-M)", 502},
    {"Guinea(SECAM-D/K)", 224},
    {"Haiti(NTSC-M)", 509},
    {"Honduras(NTSC-M)", 504},
    {"Hong Kong(PAL-I)", 852},
    {"Hungary(PAL-D/K)", 36},
    {"Hungary2(PAL-D/K)", 36},
    {"Hungary(SECAM-D/K)", 36},
    {"Iceland(PAL-B/G)", 354},
    {"India(PAL-B/G)", 91},
    {"Indonesia(PAL-B/G)", 62},
    {"INMARSAT", 871},
    {"Iran(SECAM-B/G)", 98},
    {"Iraq(SECAM-B/G)", 964},
    {"Ireland(PAL-I)", 353},
    {"Israel [Gvanim](PAL-B/G)", 972},
    {"Israel [Idan](PAL-B/G)", 972},
    {"Israel [Matav](PAL-B/G)", 972},
    {"Israel [Zahav](PAL-B/G)", 972},
    {"Italy(PAL-B/G)", 39},
    {"Japan(NTSC-J)", 81},
    {"Jordan(PAL-B/G)", 962},
    {"Kenya(PAL-B/G)", 254},
    {"Kiribati Republic(PAL-B/G)", 686},
    {"Korea(North)(SECAM-D/K)", 850},
    {"Korea(South)(NTSC-M)", 82},
    {"Kuwait(PAL-B/G)", 965},
    {"Laos(PAL-B/G)", 856},
    {"Latvia(PAL-D/K)", 371},
    {"Latvia(SECAM-D/K)", 371},
    {"Lebanon(PAL-B/G)", 961},
    {"Lebanon(SECAM-B/G)", 961},
    {"Lesotho(PAL-I)", 266},
    {"Liberia(PAL-B/G)", 231},
    {"Libya(SECAM-B/G)", 218},
    {"Lithuania(PAL-B/G)", 370},
    {"Luxembourg(PAL-B/G)", 352},
    {"Macau(PAL-I)", 853},
    {"Malawi", 265},
    {"Malaysia(PAL-B/G)", 60},
    {"Maldives(PAL-B/G)", 960},
    {"Mali(SECAM-D/K)", 223},
    {"Malta(PAL-B/G)", 356},
    {"Marshall Islands(NTSC-M)", 692},
    {"Mauritius(SECAM-B/G)", 230},
    {"Mayotte Island(SECAM-D/K)", 269},
    {"Mexico(NTSC-M)", 52},
    {"Moldova(SECAM-D/K)", 373},
    {"Monaco(SECAM-B/G)", 377},
    {"Mongolia(SECAM-D/K)", 976},
    {"Myanmar(NTSC-M)", 95},
    {"Namibia(PAL-I)", 264},
    {"Nauru", 674},
    {"Nepal(PAL-B/G)", 977},
    {"Netherlands 1(PAL-B/G)", 31},
    {"Netherlands 2(PAL-B/G)", 31},
    {"New Zealand(PAL-B/G)", 64},
    {"Nicaragua(NTSC-M)", 505},
    {"Nigeria(PAL-B/G)", 234},
    {"Niue", 683},
    {"Norway(PAL-B/G)", 47},
    {"Oman(PAL-B/G)", 968},
    {"Pakistan(PAL-B/G)", 92},
    {"Palau(NTSC-M)", 680},
    {"Panama(NTSC-M)", 507},
    {"Papua New Guinea(PAL-B/G)", 675},
    {"Paraguay(PAL-N)", 595},
    {"Peru(NTSC-M)", 51},
    {"Philippines(NTSC-M)", 63},
    {"Poland(PAL-D/K)", 48},
    {"Poland 1(PAL-D/K)", 48},
    {"Poland 2(PAL-D/K)", 48},
    {"Poland 3(PAL-D/K)", 48},
    {"Portugal(PAL-B/G)", 351},
    {"Qatar(PAL-B/G)", 974},
    {"Romania(PAL-B/G)", 40},
    {"Romania(PAL-D/K)", 40},
    {"Russia(SECAM-D/K)", 7},
    {"Russia Moscow(SECAM-D/K)", 7},
    {"Rwanda(PAL-B/G)", 250},
    {"Saipan Island", 670},
    {"San Marino(PAL-B/G)", 378},
    {"Sao Tome & Principe(PAL-B/G)", 239},
    {"Saudi Arabia(PAL-B/G)", 966},
    {"Seychelle Islands(PAL-B/G)", 248},
    {"Sierra Leone(PAL-B/G)", 232},
    {"Singapore(PAL-B/G)", 65},
    {"Slovenia(PAL-B/G)", 386},
    {"Solomon Islands", 677},
    {"Somalia(PAL-B/G)", 252},
    {"South Africa(PAL-I)", 27},
    {"Spain(PAL-B/G)", 34},
    {"Sri Lanka(PAL-B/G)", 94},
    {"St. Helena", 290},
    {"Sudan(PAL-B/G)", 249},
    {"Suriname(NTSC-M)", 597},
    {"Swaziland(PAL-B/G)", 268},
    {"Sweden(PAL-B/G)", 46},
    {"Switzerland(PAL-B/G)", 41},
    {"Syria(SECAM-B/G)", 963},
    {"Taiwan(NTSC-M)", 886},
    {"Tanzania(PAL-B/G)", 255},
    {"Thailand(PAL-B/G)", 66},
    {"Tokelau", 690},
    {"Tonga(NTSC-M)", 676},
    {"Tunisia(SECAM-B/G)", 216},
    {"Turkey(PAL-B/G)", 90},
    {"Tuvalu", 688},
    {"U.S.A.(NTSC-M)", 1},
    {"U.S.A.(HRC)(NTSC-M)", 1},
    {"U.S.A.(IRC)(NTSC-M)", 1},
    {"Uganda(PAL-B/G)", 256},
    {"Ukraine(SECAM-D/K)", 380},
    {"United Arab Emirates(PAL-B/G)", 971},
    {"United Kingdom(PAL-I)", 44},
    {"Uruguay(PAL-N)", 598},
    {"Vanuatu", 678},
    {"Venezuela(NTSC-M)", 58},
    {"Vietnam(NTSC-M)", 84},
    {"Wallis & Futuna Islands(SECAM-D/K)", 681},
    {"Western Samoa(PAL-B/G)", 685},
    {"Yemen(PAL-B/G)", 967},
    {"Yugoslavia(PAL-B/G)", 381},
    {"Zambia(PAL-B/G)", 260},
    {"Zimbabwe(PAL-B/G)", 263},
};

struct TException
{
    const char *Text;
    uint8_t Record;
};

// Entries whose plan differs from the one of their standard.
const TException Exceptions[] = {
    {"U.S.A.(HRC)(NTSC-M)", 1},
    {"U.S.A.(IRC)(NTSC-M)", 2},
    {"China(PAL-D/K)", 8},
    {"Israel [Zahav](PAL-B/G)", 9},
    {"Israel [Matav](PAL-B/G)", 10},
    {"Israel [Idan](PAL-B/G)", 11},
    {"Israel [Gvanim](PAL-B/G)", 12},
    {"Netherlands 1(PAL-B/G)", 13},
    {"Netherlands 2(PAL-B/G)", 14},
    {"Czech Republic(PAL-D/K)", 15},
    {"Hungary(PAL-D/K)", 16},
    {"Latvia(PAL-D/K)", 17},
    {"Poland(PAL-D/K)", 4},
    {"Romania(PAL-D/K)", 4},
    {"Poland 1(PAL-D/K)", 18},
    {"Poland 2(PAL-D/K)", 19},
    {"Poland 3(PAL-D/K)", 20},
    {"Russia(SECAM-D/K)", 21},
    {"Australia(PAL-B/G)", 22},
    {"Hungary2(PAL-D/K)", 23},
    {"Russia Moscow(SECAM-D/K)", 24},
    {"Ukraine(SECAM-D/K)", 25},
};

QList<TCountryEntry> BuildCountries()
{
    QList<TCountryEntry> list;
    list.reserve(CountryCount);
    for (const TCountryRow &row : CountryRows) {
        TCountryEntry e;
        e.Text = QString::fromUtf8(row.Text);
        e.CountryCode = row.Code;
        e.Standard = StandardFromText(e.Text);
        e.Record = RecordForEntry(e.Text, e.Standard);
        e.Letter = e.Text.at(0).toUpper().unicode() - 'A';
        list.append(e);
    }
    return list;
}

} // namespace

QString TVSystemText(int index)
{
    return index >= 0 && index < TVSystemCount ? QString::fromLatin1(Systems[index].Text) : QString();
}

TTVChoice TVSystemChoice(int index)
{
    if (index < 0 || index >= TVSystemCount)
        return TTVChoice();
    const TSystemRow &s = Systems[index];
    return TTVChoice{s.Code, s.Record, s.Standard};
}

uint8_t StandardFromText(const QString &text)
{
    static const struct {
        const char *Suffix;
        uint8_t Standard;
    } systems[] = {
        {"(NTSC-M)", StdNTSCM},     {"(NTSC-J)", StdNTSCJapan},   {"(PAL-B/G)", StdPALBG},
        {"(PAL-D/K)", StdPALDK},    {"(PAL-I)", StdPALI},         {"(PAL-M)", StdPALM},
        {"(PAL-N)", StdPALN},       {"(SECAM-B/G)", StdSECAMBG}, {"(SECAM-D/K)", StdSECAMDK},
        {"(SECAM-L)", StdSECAML},
    };
    for (const auto &s : systems)
        if (text.endsWith(QLatin1String(s.Suffix)))
            return s.Standard;
    return StdNTSCM;
}

uint8_t RecordForEntry(const QString &text, uint8_t standard)
{
    for (const TException &e : Exceptions)
        if (text == QLatin1String(e.Text))
            return e.Record;
    switch (standard) {
    case StdPALBG:
    case StdSECAMBG: return 3;
    case StdSECAMDK: return 4;
    case StdPALI: return 5;
    case StdSECAML: return 6;
    case StdNTSCJapan: return 7;
    default: return 0; // NTSC-M, PAL-M, PAL-N and entries without a system
    }
}

const QList<TCountryEntry> &Countries()
{
    static const QList<TCountryEntry> list = BuildCountries();
    return list;
}

QString LetterText(int letter)
{
    return letter >= 0 && letter < LetterCount ? QString(QChar('A' + letter)) : QString();
}

QList<TCountryEntry> CountriesOfLetter(int letter)
{
    QList<TCountryEntry> result;
    for (const TCountryEntry &e : Countries())
        if (e.Letter == letter)
            result.append(e);
    return result;
}

TTVChoice CountryChoice(int letter, int entry)
{
    const QList<TCountryEntry> entries = CountriesOfLetter(letter);
    if (entry < 0 || entry >= entries.size())
        return TTVChoice();
    const TCountryEntry &e = entries[entry];
    return TTVChoice{e.CountryCode, e.Record, e.Standard};
}

TCountryPosition PreselectCountry(int32_t storedCode, int32_t localeCode)
{
    const int32_t code = storedCode < 1 ? localeCode : storedCode;
    const QList<TCountryEntry> &all = Countries();
    for (int i = 0; i < all.size(); ++i) {
        const TCountryEntry &e = all[i];
        if (e.CountryCode != code)
            continue;
        if (code == 36 && e.Text != QLatin1String("Hungary2(PAL-D/K)"))
            continue;
        int within = 0;
        for (int j = 0; j < i; ++j)
            within += all[j].Letter == e.Letter ? 1 : 0;
        return TCountryPosition{e.Letter, within};
    }
    return TCountryPosition{0, 0};
}
