#include "GenreTable.h"

#include "QtPrinters.h"
#include "TFlac.h"
#include "TWav.h"

#include <gtest/gtest.h>

namespace {

struct PairCase
{
    const char* name;
    int firstRow;
    const char* firstName;
    const char* secondName;
    int number;
};

void PrintTo(const PairCase& c, std::ostream* os)
{
    *os << c.name;
}

class GenrePairTest : public testing::TestWithParam<PairCase>
{};

// Both rows of a pair point at each other, the first spelling carries the genre number.
TEST_P(GenrePairTest, RowsPointAtEachOtherAndTheFirstSpellingIsNumbered)
{
    const PairCase& c = GetParam();
    const GenreTable& table = SharedGenreTable();
    const GenreEntry& first = table.at(c.firstRow);
    const GenreEntry& second = table.at(c.firstRow + 1);
    EXPECT_EQ(first, (GenreEntry{c.firstName, c.secondName, GenreFirstOfPair}));
    EXPECT_EQ(second, (GenreEntry{c.secondName, c.firstName, GenreSecondOfPair}));
    EXPECT_EQ(GenreNumbering(table).at(c.number), QString::fromUtf8(c.firstName));
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, GenrePairTest,
    testing::Values(PairCase{"AltRock", 40, "Alt. Rock", "Alternative Rock", 40},
                    PairCase{"Gangsta", 60, "Gangsta Rap", "Gangsta", 59},
                    PairCase{"Native", 66, "Native American", "Native US", 64},
                    PairCase{"FolkRock", 84, "Folk/Rock", "Folk-Rock", 81},
                    PairCase{"FastFusion", 88, "Fast-Fusion", "Fast Fusion", 84},
                    PairCase{"Acappella", 128, "A Cappella", "Acappella", 123},
                    PairCase{"ChristianGangsta", 142, "Christian Gangsta Rap", "Christian Gangsta",
                             136},
                    PairCase{"Synthpop", 154, "Synthpop", "SynthPop", 147}),
    [](const testing::TestParamInfo<PairCase>& info) { return std::string(info.param.name); });

TEST(GenreTableTest, AllOtherRowsAreSinglesUnderTheirOwnName)
{
    int singles = 0;
    for (const GenreEntry& row : SharedGenreTable()) {
        if (row.Pair == 0) {
            ++singles;
            EXPECT_EQ(row.AltName, row.Name);
        }
    }
    EXPECT_EQ(singles, 140);
    EXPECT_EQ(SharedGenreTable().front().Name, QStringLiteral("Blues"));
    EXPECT_EQ(SharedGenreTable().at(14).Name, QStringLiteral("R&B"));
}

struct NumberCase
{
    const char* name;
    int number;
    const char* genre;
};

void PrintTo(const NumberCase& c, std::ostream* os)
{
    *os << c.name;
}

class GenreNumberTest : public testing::TestWithParam<NumberCase>
{};

// Every pair above a genre moves its number one below its row.
TEST_P(GenreNumberTest, NumberGivesName)
{
    const QStringList numbered = GenreNumbering(SharedGenreTable());
    ASSERT_EQ(numbered.size(), 148);
    EXPECT_EQ(numbered.at(GetParam().number), QString::fromUtf8(GetParam().genre));
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, GenreNumberTest,
    testing::Values(NumberCase{"First", 0, "Blues"}, NumberCase{"BelowFirstPair", 41, "Bass"},
                    NumberCase{"InstrumentalPop", 46, "Instrumental Pop"},
                    NumberCase{"InstrumentalRock", 47, "Instrumental Rock"},
                    NumberCase{"Folk", 80, "Folk"}, NumberCase{"JPop", 146, "JPop"},
                    NumberCase{"Last", 147, "Synthpop"}),
    [](const testing::TestParamInfo<NumberCase>& info) { return std::string(info.param.name); });

TEST(GenreTableTest, EveryAdapterHoldsAFullCopyOfTheOneTable)
{
    const TWav first;
    const TFlac second;
    EXPECT_EQ(first.Genres, SharedGenreTable());
    EXPECT_EQ(second.Genres, SharedGenreTable());
}

} // namespace
