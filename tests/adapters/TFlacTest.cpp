#include "AdapterTestSupport.h"
#include "QtPrinters.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct FlacLineCase
{
    const char* name;
    QString version{};
    QString folder = "/opt/flac/";
    QString source = "/music/in.flac";
    QString wav = "/tmp/~TT1.wav";
    QString expected{};
};

void PrintTo(const FlacLineCase& c, std::ostream* os)
{
    *os << c.name;
}

class FlacCommandLineTest : public testing::TestWithParam<FlacLineCase>
{};

TEST_P(FlacCommandLineTest, ForceOptionDependsOnTheVersion)
{
    const FlacLineCase& c = GetParam();
    TTestFlac flac;
    flac.SetDecoderFolder(c.folder);
    flac.DecoderVersion = c.version;
    EXPECT_EQ(flac.FlacCommandLine(c.source, c.wav), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FlacCommandLineTest,
    testing::Values(
        FlacLineCase{.name = "CurrentVersionForces",
                     .version = "1.2.1",
                     .expected = R"("/opt/flac/flac" -d -f "/music/in.flac" -o "/tmp/~TT1.wav")"},
        FlacLineCase{.name = "Version110CannotForce",
                     .version = "1.1.0",
                     .expected = R"("/opt/flac/flac" -d "/music/in.flac" -o "/tmp/~TT1.wav")"},
        FlacLineCase{.name = "OnlyTheExactTextCounts",
                     .version = "1.1.0 ",
                     .expected = R"("/opt/flac/flac" -d -f "/music/in.flac" -o "/tmp/~TT1.wav")"},
        FlacLineCase{.name = "MissingToolTextForces",
                     .version = TFlac::MissingToolText,
                     .expected = R"("/opt/flac/flac" -d -f "/music/in.flac" -o "/tmp/~TT1.wav")"},
        FlacLineCase{.name = "PathsWithBlanksAndQuotes",
                     .version = "1.4.2",
                     .folder = R"(/opt/my "flac" tools/)",
                     .source = R"(/music/a b/"live".flac)",
                     .wav = "/tmp/a b/x.wav",
                     .expected = R"("/opt/my ""flac"" tools/flac" -d -f )"
                                 R"("/music/a b/""live"".flac" -o "/tmp/a b/x.wav")"}),
    [](const testing::TestParamInfo<FlacLineCase>& info) { return std::string(info.param.name); });

const QStringList FlacHeader = {
    "",
    "flac 1.4.2",
    "Copyright (C) 2000-2009  Josh Coalson, 2011-2022  Xiph.Org Foundation",
    "flac comes with ABSOLUTELY NO WARRANTY.  This is free software, and you are",
    "welcome to redistribute it under certain conditions.  Type `flac' for details.",
    ""};

class FlacPollTest : public testing::TestWithParam<PollCase>
{};

TEST_P(FlacPollTest, ReadsProgressAndAnnouncesErrors)
{
    TTestFlac flac;
    ExpectPoll(
        flac, &TAudio::OnProgress, [&] { flac.FlacPoll(&flac.Cons); }, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Screens, FlacPollTest,
    testing::Values(
        PollCase{"Progress", FlacHeader + QStringList{"long.flac: 41% complete"}, 41, true, 1},
        PollCase{"ColonInThePathIsNotTheFigure", {R"(C:\a\x.flac: 45% complete)"}, 45, true, 1},
        PollCase{
            "RisingRowsNotifyEach", {"a.flac: 30% complete", "b.flac: 60% complete"}, 60, true, 2},
        PollCase{"FallingRowNotifiesOnceLastCounts",
                 {"a.flac: 60% complete", "b.flac: 30% complete"},
                 30,
                 true,
                 1},
        PollCase{"ZeroNeverNotifies", {"x.flac: 0% complete"}, 0, false, 0},
        PollCase{"DoneGivesHundred", FlacHeader + QStringList{"long.flac: done"}, 100, false, 1},
        PollCase{"ErrorWord",
                 {"in.flac: ERROR: can't open output file nosuchdir/out.tmp: No such file"},
                 42,
                 false,
                 1},
        PollCase{"InvalidWord", {"x.flac: invalid sample rate"}, 42, false, 1},
        PollCase{"ErrorCodeMakesEveryOtherRowNotify",
                 {"flac 1.4.2", "", "*** Got error code 2:FLAC__STREAM_DECODER_ERROR"},
                 42,
                 false,
                 3},
        PollCase{"UncheckedMd5",
                 {"x.flac: WARNING, cannot check MD5 signature since it was unset", "x.flac: done"},
                 100,
                 false,
                 2},
        PollCase{"RealCorruptDecode",
                 FlacHeader + QStringList{"corrupt.flac: *** Got error code "
                                          "0:FLAC__STREAM_DECODER_ERROR_STATUS_LOST_SYNC",
                                          "", "corrupt.flac: ERROR while decoding data",
                                          "              state = "
                                          "FLAC__STREAM_DECODER_ABORTED"},
                 42, false, 10},
        PollCase{"CleanScreen", FlacHeader, 42, false, 0},
        PollCase{"NoColonBeforeFigureIsSkipped", {"45% complete"}, 42, false, 0},
        PollCase{"FigureNotANumberIsSkipped", {"x.flac: ab% complete"}, 42, false, 0},
        PollCase{"SkippedRowStillCountsAsError", {"ERROR 5% complete"}, 42, false, 1}),
    [](const testing::TestParamInfo<PollCase>& info) { return std::string(info.param.name); });

TEST(FlacPollTest, EveryPollPassesTheStopRequestOn)
{
    TTestFlac flac;
    flac.Cons.Lines = {"x.flac: 10% complete"};
    flac.Cancel = true;
    flac.FlacPoll(&flac.Cons);
    EXPECT_TRUE(flac.Cons.Abort);
    flac.Cancel = false;
    flac.FlacPoll(&flac.Cons);
    EXPECT_FALSE(flac.Cons.Abort);
}

struct FlacBannerCase
{
    const char* name;
    QStringList rows;
    QString version{};
};

void PrintTo(const FlacBannerCase& c, std::ostream* os)
{
    *os << c.name;
}

class FlacBannerTest : public testing::TestWithParam<FlacBannerCase>
{};

TEST_P(FlacBannerTest, VersionComesFromTheSecondRow)
{
    EXPECT_EQ(TTestFlac::VersionFromBanner(GetParam().rows), GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FlacBannerTest,
    testing::Values(FlacBannerCase{"Marked",
                                   {"=====", "flac - Command-line FLAC encoder/decoder version "
                                             "1.2.1"},
                                   "1.2.1"},
                    FlacBannerCase{"UnmarkedRowIsWhole", {"=====", "flac 1.4.2"}, "flac 1.4.2"},
                    FlacBannerCase{"NoSecondRow", {"flac 1.4.2"}, ""}),
    [](const testing::TestParamInfo<FlacBannerCase>& info) {
        return std::string(info.param.name);
    });

TEST(TFlacTest, EmptyDecoderFolderGivesZeroAndRunsNothing)
{
    TFlac flac;
    flac.Cons.Lines = {"untouched"};
    EXPECT_EQ(flac.GetVersion(), QStringLiteral("0"));
    EXPECT_EQ(flac.Cons.Lines, QStringList{"untouched"});
    EXPECT_TRUE(flac.DecoderVersion.isEmpty());
}

// Without the tools: the target is still cleared away, nothing runs, nothing is made up, and
// the decode says why it could not run.
TEST(TFlacTest, MissingToolsReportThemselves)
{
    const QTemporaryDir dir;
    const QString wav = dir.filePath("target.wav");
    QFile target(wav);
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.close();
    ASSERT_TRUE(target.setPermissions(QFileDevice::ReadOwner));
    TFlac flac;
    flac.SetDecoderFolder(dir.path() + u'/');
    flac.ToolOutput = {"earlier output"};
    EXPECT_EQ(flac.GetVersion(), QStringLiteral("flac and/or metaflac not found"));
    EXPECT_FALSE(flac.ConvertToWav(dir.filePath("in.flac"), wav));
    EXPECT_FALSE(QFileInfo::exists(wav));
    EXPECT_EQ(flac.DecoderVersion, TFlac::MissingToolText);
    EXPECT_EQ(flac.ToolOutput,
              QStringList{"cannot start " + dir.filePath("flac") + ": No such file or directory"});
}

} // namespace
