#include "PathText.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

struct TPathCase
{
    const char* name;
    const char* path;
    const char* folder;
    const char* fileName;
    const char* extension;
    const char* mp3;
};

class PathTextTest : public ::testing::TestWithParam<TPathCase>
{};

TEST_P(PathTextTest, SplitsAtTheLastSeparatorAndTheNamesLastDot)
{
    const TPathCase& c = GetParam();
    const QString path = QString::fromUtf8(c.path);
    EXPECT_EQ(FolderPart(path), QString::fromUtf8(c.folder));
    EXPECT_EQ(FileNamePart(path), QString::fromUtf8(c.fileName));
    EXPECT_EQ(LowerExtension(path), QString::fromUtf8(c.extension));
    EXPECT_EQ(ChangeExtension(path, QStringLiteral(".mp3")), QString::fromUtf8(c.mp3));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathTextTest,
    ::testing::Values(
        TPathCase{"plain", "/in/album/a.flac", "/in/album", "a.flac", ".flac", "/in/album/a.mp3"},
        TPathCase{"upper_case", "/in/B.FLAC", "/in", "B.FLAC", ".flac", "/in/B.mp3"},
        TPathCase{"two_dots", "/in/a.b.wav", "/in", "a.b.wav", ".wav", "/in/a.b.mp3"},
        TPathCase{"dot_in_folder_only", "/in/x.flac/track", "/in/x.flac", "track", "",
                  "/in/x.flac/track.mp3"},
        TPathCase{"hidden_name", "/in/.wav", "/in", ".wav", ".wav", "/in/.mp3"},
        TPathCase{"at_the_root", "/a.wav", "", "a.wav", ".wav", "/a.mp3"},
        TPathCase{"non_ascii", "/in/Café Ü.FLAC", "/in", "Café Ü.FLAC", ".flac", "/in/Café Ü.mp3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AbsoluteCleanPathTest, MakesDroppedPathsAbsoluteAndPlain)
{
    EXPECT_EQ(AbsoluteCleanPath(QStringLiteral("/in//album/../album/")),
              QStringLiteral("/in/album"));
    EXPECT_TRUE(AbsoluteCleanPath(QStringLiteral("-dash.wav")).startsWith(u'/'));
    EXPECT_TRUE(AbsoluteCleanPath(QStringLiteral("-dash.wav")).endsWith(u"/-dash.wav"));
}

} // namespace
