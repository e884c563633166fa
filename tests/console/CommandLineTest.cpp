#include "CommandLine.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase
{
    const char* name;
    QString commandLine;
    QStringList expected;
};

class SplitCommandLineTest : public testing::TestWithParam<SplitCase>
{};

TEST_P(SplitCommandLineTest, GivesTheArguments)
{
    EXPECT_EQ(SplitCommandLine(GetParam().commandLine), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitCommandLineTest,
    testing::Values(SplitCase{"Empty", "", {}}, SplitCase{"OnlyBlanks", "   ", {}},
                    SplitCase{"PlainWords", "lame --nohist a.wav", {"lame", "--nohist", "a.wav"}},
                    SplitCase{"RunsOfBlanks", "  a   b  ", {"a", "b"}},
                    SplitCase{"TabSeparates", "a\tb", {"a", "b"}},
                    SplitCase{"QuotedBlank", "\"/m y/lame\" x", {"/m y/lame", "x"}},
                    SplitCase{"EmptyQuotedValue", "--tc \"\" --tg \"\"", {"--tc", "", "--tg", ""}},
                    SplitCase{"DoubledQuoteInside",
                              "--tt \"The \"\"Quoted\"\" Song\"",
                              {"--tt", "The \"Quoted\" Song"}},
                    SplitCase{"OnlyADoubledQuote", "\"\"\"\"", {"\""}},
                    SplitCase{"QuotesJoinWithText", "a\"b c\"d", {"ab cd"}},
                    SplitCase{"BackslashesLiteral", "\"C:\\x\\\" y\\\"z", {"C:\\x\\", "y\\z"}},
                    SplitCase{"LeadingDash", "\"-rf\" \"--help\"", {"-rf", "--help"}},
                    SplitCase{"NonAscii", "\"Café/日本.flac\"", {"Café/日本.flac"}},
                    SplitCase{"UnclosedQuoteRunsToEnd", "a \"b c", {"a", "b c"}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

// Whatever a path holds, quoting it and splitting it again gives it back unchanged.
TEST(QuoteArgumentTest, SplitUndoesQuote)
{
    const QStringList values = {"",       "plain",  "with blank", "\"",
                                "a\"\"b", "\"lead", "trail\"",    "back\\slash\\",
                                " ",      "-dash",  "Café 日本",  "\t"};
    for (const QString& value : values) {
        const QString line = QStringLiteral("tool ") + QuoteArgument(value);
        EXPECT_EQ(SplitCommandLine(line), QStringList({"tool", value})) << value.toStdString();
    }
}

TEST(QuoteArgumentTest, DoublesInnerQuotes)
{
    EXPECT_EQ(QuoteArgument("a \"b\""), "\"a \"\"b\"\"\"");
    EXPECT_EQ(QuoteArgument(""), "\"\"");
}

} // namespace
