// The wizard's country and TV-system lists.
#include <gtest/gtest.h>

#include "channels/channel_types.h"
#include "channels/countries.h"

namespace {

int FindEntry(int letter, const QString &text)
{
    const auto entries = CountriesOfLetter(letter);
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].Text == text)
            return i;
    return -1;
}

TEST(CountriesTest, ListShapeByLetter)
{
    EXPECT_EQ(Countries().size(), 185);
    EXPECT_TRUE(CountriesOfLetter('X' - 'A').isEmpty());
    EXPECT_EQ(CountriesOfLetter('O' - 'A').size(), 1);
    EXPECT_EQ(CountriesOfLetter('Q' - 'A').size(), 1);
    EXPECT_EQ(CountriesOfLetter(0).first().Text, "Afghanistan(PAL-B/G)");
    EXPECT_EQ(CountriesOfLetter('I' - 'A')[3].Text, "INMARSAT");
    EXPECT_EQ(Countries().last().Text, "Zimbabwe(PAL-B/G)");
    int total = 0;
    for (int l = 0; l < LetterCount; ++l)
        total += CountriesOfLetter(l).size();
    EXPECT_EQ(total, 185);
    EXPECT_EQ(LetterText(25), "Z");
    for (const TCountryEntry &e : Countries())
        EXPECT_LE(e.Record, 25) << e.Text.toStdString();
}

TEST(CountriesTest, ChoicesGiveCodeRecordAndStandard)
{
    const int c = 'C' - 'A';
    auto pal = CountryChoice(c, FindEntry(c, "Czech Republic(PAL-D/K)"));
    auto secam = CountryChoice(c, FindEntry(c, "Czech Republic(SECAM-D/K)"));
    EXPECT_EQ(pal.CountryCode, 42);
    EXPECT_EQ(pal.Record, 15);
    EXPECT_EQ(pal.Standard, StdPALDK);
    EXPECT_EQ(secam.CountryCode, 42);
    EXPECT_EQ(secam.Record, 4);
    EXPECT_EQ(secam.Standard, StdSECAMDK);

    auto canada = CountryChoice(c, FindEntry(c, "Canada(NTSC-M)"));
    EXPECT_EQ(canada.CountryCode, 2);
    const int a = 0;
    auto andorra = CountryChoice(a, FindEntry(a, "Andorra"));
    EXPECT_EQ(andorra.Standard, 0);
    EXPECT_EQ(andorra.Record, 0);
    auto argentina = CountryChoice(a, FindEntry(a, "Argentina(PAL-N)"));
    EXPECT_EQ(argentina.Record, 0);
    EXPECT_EQ(argentina.Standard, StdPALN);
    const int r = 'R' - 'A';
    EXPECT_EQ(CountryChoice(r, FindEntry(r, "Romania(PAL-D/K)")).Record, 4);
    EXPECT_EQ(CountryChoice(r, FindEntry(r, "Romania(PAL-B/G)")).Record, 3);
    EXPECT_EQ(CountryChoice(r, FindEntry(r, "Russia Moscow(SECAM-D/K)")).Record, 24);
    const int f = 'F' - 'A';
    auto france = CountryChoice(f, FindEntry(f, "France(SECAM-L)"));
    EXPECT_EQ(france.Record, 6);
    EXPECT_EQ(france.Standard, StdSECAML);
    const int j = 'J' - 'A';
    EXPECT_EQ(CountryChoice(j, 0).Record, 7);
    const int u = 'U' - 'A';
    EXPECT_EQ(CountryChoice(u, FindEntry(u, "U.S.A.(IRC)(NTSC-M)")).Record, 2);
    EXPECT_EQ(CountryChoice(u, FindEntry(u, "United Kingdom(PAL-I)")).Record, 5);

    // Nothing selected.
    auto none = CountryChoice(c, -1);
    EXPECT_EQ(none.CountryCode, 1);
    EXPECT_EQ(none.Record, 0);
    EXPECT_EQ(CountryChoice('X' - 'A', 0).CountryCode, 1);
}

TEST(CountriesTest, TVSystems)
{
    EXPECT_EQ(TVSystemText(10), "PAL/SECAM");
    auto ps = TVSystemChoice(10);
    EXPECT_EQ(ps.CountryCode, 36);
    EXPECT_EQ(ps.Record, 21);
    EXPECT_EQ(ps.Standard, StdSECAMDK);
    EXPECT_EQ(TVSystemChoice(1).Record, 7);
    auto other = TVSystemChoice(11);
    EXPECT_EQ(other.CountryCode, 1);
    EXPECT_EQ(other.Standard, 0);
}

TEST(CountriesTest, Preselection)
{
    auto at = [](TCountryPosition p) { return CountriesOfLetter(p.Letter).value(p.Entry).Text; };
    EXPECT_EQ(at(PreselectCountry(972, 1)), "Israel [Gvanim](PAL-B/G)");
    EXPECT_EQ(PreselectCountry(972, 1).Letter, 'I' - 'A');
    EXPECT_EQ(at(PreselectCountry(266, 1)), "Lesotho(PAL-I)");
    EXPECT_EQ(at(PreselectCountry(0, 81)), "Japan(NTSC-J)");
    EXPECT_EQ(at(PreselectCountry(36, 1)), "Hungary2(PAL-D/K)");
    EXPECT_EQ(at(PreselectCountry(42, 1)), "Czech Republic(PAL-D/K)");
    EXPECT_EQ(at(PreselectCountry(12345, 1)), "Afghanistan(PAL-B/G)");
    EXPECT_EQ(at(PreselectCountry(-1, 1)), "U.S.A.(NTSC-M)");
}

} // namespace
