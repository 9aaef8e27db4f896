#include "channels/country_info.h"

#include <map>

TCountryInfo *CountryInfo = nullptr;

namespace {

// ITU-T E.164 country calling codes by ISO 3166 alpha-2 territory. The
// numbering-plan areas of +1 (North America and the Caribbean) and +7 share
// their code. The Czech Republic and Slovakia keep 42, the code of former
// Czechoslovakia, because the country list and the language table know them
// by it.
const std::map<QString, int32_t> &CallingCodes()
{
    static const std::map<QString, int32_t> codes = {
        {"US", 1},   {"CA", 1},   {"PR", 1},   {"JM", 1},   {"BS", 1},   {"BB", 1},
        {"TT", 1},   {"DO", 1},   {"RU", 7},   {"KZ", 7},   {"EG", 20},  {"ZA", 27},
        {"GR", 30},  {"NL", 31},  {"BE", 32},  {"FR", 33},  {"ES", 34},  {"HU", 36},
        {"IT", 39},  {"RO", 40},  {"CH", 41},  {"AT", 43},  {"GB", 44},  {"DK", 45},
        {"SE", 46},  {"NO", 47},  {"PL", 48},  {"DE", 49},  {"PE", 51},  {"MX", 52},
        {"CU", 53},  {"AR", 54},  {"BR", 55},  {"CL", 56},  {"CO", 57},  {"VE", 58},
        {"MY", 60},  {"AU", 61},  {"ID", 62},  {"PH", 63},  {"NZ", 64},  {"SG", 65},
        {"TH", 66},  {"JP", 81},  {"KR", 82},  {"VN", 84},  {"CN", 86},  {"TR", 90},
        {"IN", 91},  {"PK", 92},  {"AF", 93},  {"LK", 94},  {"MM", 95},  {"IR", 98},
        {"MA", 212}, {"DZ", 213}, {"TN", 216}, {"LY", 218}, {"GM", 220}, {"SN", 221},
        {"ML", 223}, {"CI", 225}, {"GH", 233}, {"NG", 234}, {"ET", 251}, {"SO", 252},
        {"KE", 254}, {"TZ", 255}, {"UG", 256}, {"MZ", 258}, {"ZM", 260}, {"MG", 261},
        {"ZW", 263}, {"NA", 264}, {"MW", 265}, {"LS", 266}, {"BW", 267}, {"SZ", 268},
        {"FO", 298}, {"GL", 299}, {"GI", 350}, {"PT", 351}, {"LU", 352}, {"IE", 353},
        {"IS", 354}, {"AL", 355}, {"MT", 356}, {"CY", 357}, {"FI", 358}, {"BG", 359},
        {"LT", 370}, {"LV", 371}, {"EE", 372}, {"MD", 373}, {"AM", 374}, {"BY", 375},
        {"AD", 376}, {"MC", 377}, {"SM", 378}, {"UA", 380}, {"RS", 381}, {"ME", 382},
        {"HR", 385}, {"SI", 386}, {"BA", 387}, {"MK", 389}, {"CZ", 42},  {"SK", 42},
        {"LI", 423}, {"FK", 500}, {"BZ", 501}, {"GT", 502}, {"SV", 503}, {"HN", 504},
        {"NI", 505}, {"CR", 506}, {"PA", 507}, {"HT", 509}, {"BO", 591}, {"GY", 592},
        {"EC", 593}, {"PY", 595}, {"SR", 597}, {"UY", 598}, {"BN", 673}, {"PG", 675},
        {"FJ", 679}, {"KP", 850}, {"HK", 852}, {"MO", 853}, {"KH", 855}, {"LA", 856},
        {"BD", 880}, {"TW", 886}, {"MV", 960}, {"LB", 961}, {"JO", 962}, {"SY", 963},
        {"IQ", 964}, {"KW", 965}, {"SA", 966}, {"YE", 967}, {"OM", 968}, {"PS", 970},
        {"AE", 971}, {"IL", 972}, {"BH", 973}, {"QA", 974}, {"BT", 975}, {"MN", 976},
        {"NP", 977}, {"TJ", 992}, {"TM", 993}, {"AZ", 994}, {"GE", 995}, {"KG", 996},
        {"UZ", 998},
    };
    return codes;
}

} // namespace

int32_t DiallingCode(const QLocale &locale)
{
    const QString iso = QLocale::territoryToCode(locale.territory());
    const auto it = CallingCodes().find(iso);
    return it == CallingCodes().end() ? 1 : it->second;
}

QString LanguageForCountryCode(int32_t code)
{
    struct Group
    {
        const char *Language;
        std::initializer_list<int32_t> Codes;
    };
    static const Group groups[] = {
        {"English", {1, 2, 27, 44, 61, 63, 64, 263, 353, 500, 501}},
        {"Spanish", {34, 51, 52, 54, 56, 57, 58, 502, 503, 504, 505, 506, 507, 591, 593, 595, 598}},
        {"Arabic", {20, 213, 216, 218, 961, 962, 963, 964, 965, 966, 967, 968, 971, 974}},
        {"French", {33, 41, 352, 377}},
        {"Chinese", {65, 852, 853, 886}},
        {"Chinese(simplified)", {86}},
        {"Dutch", {31, 32}},
        {"German", {43, 49}},
        {"Danish", {45, 299}},
        {"Malay", {60, 673}},
        {"Portuguese", {255, 351}},
        {"Russian", {7}},       {"Greek", {30}},      {"Hungarian", {36}},   {"Italian", {39}},
        {"Romanian", {40}},     {"Czech", {42}},      {"Swedish", {46}},     {"Norwegian", {47}},
        {"Polski", {48}},       {"Indonesian", {62}}, {"Thai", {66}},        {"Japanese", {81}},
        {"Korean", {82}},       {"Turkish", {90}},    {"Kashmiri", {91}},    {"Urdu", {92}},
        {"Burmese", {95}},      {"Swahili", {254}},   {"Icelandic", {354}},  {"Albanian", {355}},
        {"Finnish", {358}},     {"Lithuanian", {370}}, {"Latvian", {371}},   {"Estonian", {372}},
        {"Belarussian", {375}}, {"Ukrainian", {380}}, {"Croatian", {385}},   {"Slovenian", {386}},
        {"Azeri", {994}},
    };
    for (const Group &g : groups)
        for (int32_t c : g.Codes)
            if (c == code)
                return QString::fromLatin1(g.Language);
    return QStringLiteral("English");
}

TCountryInfo::TCountryInfo() : TCountryInfo(QLocale::system()) {}

TCountryInfo::TCountryInfo(const QLocale &locale)
{
    LocaleCountry = DiallingCode(locale);
    LocaleLanguage = LanguageForCountryCode(LocaleCountry);
}
