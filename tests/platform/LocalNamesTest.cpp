// File names as bytes: every name survives the trip into text and back, whatever its bytes.
#include "LocalNames.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct TNameCase
{
    const char* name;
    QByteArray bytes;
    QString shown;
};

void PrintTo(const TNameCase& c, std::ostream* os)
{
    *os << c.name;
}

class LocalNamesTest : public ::testing::TestWithParam<TNameCase>
{};

TEST_P(LocalNamesTest, BytesComeBackAsTheyWere)
{
    const TNameCase& c = GetParam();
    const QString text = PathFromBytes(c.bytes);
    EXPECT_EQ(PathBytes(text), c.bytes);
    EXPECT_EQ(DisplayPath(text), c.shown);
}

const QString Bad(QChar::ReplacementCharacter);

INSTANTIATE_TEST_SUITE_P(
    Names, LocalNamesTest,
    ::testing::Values(TNameCase{"ascii", "/music/a b.flac", "/music/a b.flac"},
                      TNameCase{"utf8", "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x8E\xB5.flac",
                                QString::fromUtf8("café 日 \U0001F3B5.flac")},
                      TNameCase{"latin1", "caf\xE9.flac", "caf" + Bad + ".flac"},
                      // An overlong "/" must not become a separator in the text.
                      TNameCase{"overlong_slash",
                                "a\xC0\xAF"
                                "b",
                                "a" + Bad + Bad + "b"},
                      TNameCase{"encoded_surrogate", "x\xED\xA0\x80", "x" + Bad + Bad + Bad},
                      TNameCase{"beyond_unicode", "\xF4\x90\x80\x80", Bad + Bad + Bad + Bad},
                      TNameCase{"cut_at_the_end", "ab\xE6\x97", "ab" + Bad + Bad},
                      TNameCase{"stray_continuation", "\x80\xBF", Bad + Bad},
                      // The escape of a byte and the bytes of that escape's code point differ.
                      TNameCase{"bytes_of_a_lone_surrogate", "\xED\xB3\xA9", Bad + Bad + Bad}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LocalNamesTest, EveryByteValueComesBack)
{
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        all.append(char(b));
    EXPECT_EQ(PathBytes(PathFromBytes(all)), all);
}

} // namespace
