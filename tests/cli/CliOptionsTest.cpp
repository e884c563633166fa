#include "QtPrinters.h"
#include "TCliOptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const QStringList Presets = {"128 kb cbr", "192 kb vbr", "APS", "APX", "Insane"};

struct TParseCase
{
    const char* name;
    QStringList args;       // "@" stands for an existing folder
    const char* error;      // empty when the line is good
    const char* home = "@"; // $HOME; empty when there is none
};

void PrintTo(const TParseCase& c, std::ostream* os)
{
    *os << c.name;
}

class CliParseTest : public ::testing::TestWithParam<TParseCase>
{
protected:
    void SetUp() override { QFile(dir.filePath("file")).open(QIODevice::WriteOnly); }

    QTemporaryDir dir;
};

TEST_P(CliParseTest, GoodLinesParseBadOnesSayWhy)
{
    QStringList args = GetParam().args;
    args.replaceInStrings(QStringLiteral("@"), dir.path());
    const QString home = QString(GetParam().home).replace(u'@', dir.path());
    const TCliParse parsed = ParseCliArguments(args, Presets, home);
    const QString error = QString(GetParam().error).replace(u'@', dir.path());
    EXPECT_EQ(parsed.Error, error);
    EXPECT_EQ(parsed.Options.has_value(), error.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CliParseTest,
    ::testing::Values(
        TParseCase{"one_folder", {"@"}, ""},
        TParseCase{"all_options",
                   {"--save-to", "@", "--verify", "--preset", "APX", "--lame-dir", "@",
                    "--flac-dir=@", "--ape-dir", "@", "@"},
                   ""},
        TParseCase{"preset_with_blanks", {"--preset=128 kb cbr", "@"}, ""},
        TParseCase{"jobs", {"--jobs", "3", "@"}, ""},
        TParseCase{"jobs_inline", {"--jobs=64", "@"}, ""},
        TParseCase{"jobs_zero", {"--jobs", "0", "@"}, "--jobs: not a whole number from 1 to 64: 0"},
        TParseCase{
            "jobs_too_many", {"--jobs=65", "@"}, "--jobs: not a whole number from 1 to 64: 65"},
        TParseCase{"jobs_not_a_number",
                   {"--jobs", "2x", "@"},
                   "--jobs: not a whole number from 1 to 64: 2x"},
        TParseCase{
            "jobs_signed", {"--jobs=+2", "@"}, "--jobs: not a whole number from 1 to 64: +2"},
        TParseCase{"help_needs_no_path", {"--help"}, ""},
        TParseCase{"list_presets_needs_no_path", {"--list-presets"}, ""},
        TParseCase{
            "list_presets_with_value", {"--list-presets=all"}, "--list-presets takes no value"},
        TParseCase{"no_path", {"--verify"}, "no file or folder to convert"},
        TParseCase{"unknown_option", {"--fast", "@"}, "unknown option --fast"},
        TParseCase{"missing_value", {"@", "--save-to"}, "--save-to needs a value"},
        TParseCase{"empty_value", {"--preset=", "@"}, "--preset needs a value"},
        TParseCase{"flag_with_value", {"--verify=yes", "@"}, "--verify takes no value"},
        TParseCase{"update", {"--update", "@"}, ""},
        TParseCase{"update_with_value", {"--update=1", "@"}, "--update takes no value"},
        TParseCase{"unknown_preset",
                   {"--preset", "aps", "@"},
                   "--preset: unknown option set \"aps\" (known: 128 kb cbr, 192 kb vbr, APS, APX, "
                   "Insane)"},
        TParseCase{"both_destinations",
                   {"--save-to", "@", "--save-to-source", "@"},
                   "--save-to and --save-to-source exclude each other"},
        TParseCase{"missing_path", {"@/nothing-here"}, "no such file or folder: @/nothing-here"},
        TParseCase{
            "missing_tool_folder", {"--lame-dir", "@/x", "@"}, "--lame-dir: no such folder: @/x"},
        TParseCase{
            "save_to_a_file", {"--save-to", "@/file", "@"}, "--save-to: not a folder: @/file"},
        // Without a home folder the MP3s would land in "/": a destination must be given.
        TParseCase{"no_home_no_destination",
                   {"@"},
                   "no home folder to save into (HOME is not set); give --save-to DIR or "
                   "--save-to-source",
                   ""},
        TParseCase{"no_home_save_to", {"--save-to", "@", "@"}, "", ""},
        TParseCase{"no_home_save_to_source", {"--save-to-source", "@"}, "", ""},
        TParseCase{"no_home_help", {"--help"}, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliPathsTest, PathsAfterDoubleDashAndFoldersEndWithSlash)
{
    QTemporaryDir dir;
    QFile(dir.filePath("-x.flac")).open(QIODevice::WriteOnly);
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const TCliParse parsed = ParseCliArguments(
        {"--save-to", ".", "--flac-dir", dir.path() + "/", "--", "-x.flac"}, Presets, "/home/u");
    ASSERT_TRUE(parsed.Options) << parsed.Error.toStdString();
    EXPECT_EQ(parsed.Options->Paths, QStringList({"-x.flac"}));
    EXPECT_EQ(parsed.Options->SaveTo, QDir::currentPath() + "/");
    EXPECT_EQ(parsed.Options->FlacDir, dir.path() + "/");
    EXPECT_TRUE(parsed.Options->Preset.isNull()) << "no --preset keeps the default";
    EXPECT_FALSE(parsed.Options->Update) << "everything is converted unless --update";
    QDir::setCurrent(before);
}

// Without --save-to the MP3s go below the home folder, a folder like any other; beside the
// sources there is no save folder at all.
TEST(CliPathsTest, TheHomeFolderIsTheDefaultDestination)
{
    struct Case
    {
        QStringList args;
        QString home;
        QString saveTo;
    };
    for (const Case& c : {Case{{"/"}, "/home/u", "/home/u/"}, Case{{"/"}, "/home/u/", "/home/u/"},
                          Case{{"--save-to-source", "/"}, "/home/u", ""}}) {
        const TCliParse parsed = ParseCliArguments(c.args, Presets, c.home);
        ASSERT_TRUE(parsed.Options) << parsed.Error.toStdString();
        EXPECT_EQ(parsed.Options->SaveTo, c.saveTo)
            << c.args.join(' ').toStdString() << ", HOME=" << c.home.toStdString();
    }
}

// Without --jobs every core gets a job; --jobs 1 is one job after the other.
TEST(CliJobsTest, TheDefaultIsOneJobPerCore)
{
    struct Case
    {
        QStringList args;
        int jobs;
    };
    for (const Case& c : {Case{{"/"}, qBound(1, QThread::idealThreadCount(), MaxJobs)},
                          Case{{"--jobs", "1", "/"}, 1}, Case{{"--jobs=7", "/"}, 7}}) {
        const TCliParse parsed = ParseCliArguments(c.args, Presets, "/home/u");
        ASSERT_TRUE(parsed.Options) << parsed.Error.toStdString();
        EXPECT_EQ(parsed.Options->Jobs, c.jobs) << c.args.join(' ').toStdString();
    }
}

} // namespace
