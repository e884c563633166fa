// The progress row a terminal shows: it must never be wider than the terminal allows.
#include "QtPrinters.h"
#include "TConsoleView.h"

#include <gtest/gtest.h>

namespace {

const QString LameHead = QStringLiteral("Lame  [####################] 100%  ");

struct TRowCase
{
    const char* name;
    int columns;
    QString stage;
    int percent;
    QString file;
    QString row;
};

void PrintTo(const TRowCase& c, std::ostream* os)
{
    *os << c.name;
}

class CliProgressRowTest : public ::testing::TestWithParam<TRowCase>
{};

TEST_P(CliProgressRowTest, FitsTheTerminalWithoutSplittingACharacter)
{
    const TRowCase& c = GetParam();
    EXPECT_EQ(TConsoleView::ProgressRow(c.stage, c.percent, c.file, c.columns), c.row);
}

// The head ("Lame  [...] 100%  ") takes 35 columns; the last column always stays free.
INSTANTIATE_TEST_SUITE_P(
    Rows, CliProgressRowTest,
    ::testing::Values(
        TRowCase{"room_for_all", 80, "Lame", 100, "/m/a.wav", LameHead + "/m/a.wav"},
        TRowCase{"other_stage_and_percent", 80, "Flac", 7, "/m/a.flac",
                 "Flac  [#...................]   7%  /m/a.flac"},
        TRowCase{"name_fills_the_row", 44, "Lame", 100, "/m/a.wav", LameHead + "/m/a.wav"},
        TRowCase{"one_column_short", 43, "Lame", 100, "/m/a.wav", LameHead + "/m/…wav"},
        TRowCase{"head_alone_fills_the_row", 36, "Lame", 100, "/m/a.wav", LameHead},
        TRowCase{"head_too_wide_is_cut", 20, "Lame", 100, "/m/a.wav", "Lame  [############"},
        TRowCase{"one_column_terminal", 1, "Lame", 100, "/m/a.wav", ""},
        // Nine UTF-16 units, but fourteen columns.
        TRowCase{"wide_characters_take_two_columns", 46, "Lame", 100, "日本語の歌.wav",
                 LameHead + "日本….wav"},
        TRowCase{"wide_name_that_fits", 50, "Lame", 100, "日本語の歌.wav",
                 LameHead + "日本語の歌.wav"},
        // Ten UTF-16 units, but nine columns.
        TRowCase{"combining_mark_takes_no_column", 45, "Lame", 100, "cafe\u0301.wav",
                 LameHead + "cafe\u0301.wav"},
        TRowCase{"mark_stays_with_its_character_on_the_left", 40, "Lame", 100, "e\u0301aaaaaaaa",
                 LameHead + "e\u0301…aa"},
        TRowCase{"mark_without_its_character_is_dropped_on_the_right", 41, "Lame", 100,
                 "aaaae\u0301bb", LameHead + "aa…bb"},
        // Characters outside the BMP: two UTF-16 units each, two columns each.
        TRowCase{"surrogate_pairs_stay_whole", 41, "Lame", 100,
                 "\U00020000\U00020001\U00020002\U00020003\U00020004\U00020005",
                 LameHead + "\U00020000…\U00020005"},
        TRowCase{"emoji_take_two_columns", 42, "Lame", 100,
                 "a\U0001F3B5\U0001F3B5\U0001F3B5\U0001F3B5b", LameHead + "a…\U0001F3B5b"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
