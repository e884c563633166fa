// What the window shows of a run: status lines, the shortened destination, progress, the
// error summary, and the Cancel and close commands' effect on the flags.
#include "QtPrinters.h"
#include "TColor.h"
#include "TFakeMainView.h"
#include "TForm1.h"
#include "TSettingsStore.h"
#include "TWav.h"
#include "TestMedia.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

class DisplayTest : public ::testing::Test
{
protected:
    QTemporaryDir settings;
    TFakeMainView view;
    TForm1 form{view, TestStore(settings.path())};
};

struct TShortenCase
{
    const char* name;
    const char* path;
    int width;
    const char* shown;
};

void PrintTo(const TShortenCase& c, std::ostream* os)
{
    *os << c.name;
}

class ShortenPathTest : public DisplayTest, public ::testing::WithParamInterface<TShortenCase>
{};

TEST_P(ShortenPathTest, CutsTheMiddleUntilItFits)
{
    view.DestinationWidth = GetParam().width;
    EXPECT_EQ(form.ShortenPath(QString::fromUtf8(GetParam().path)),
              QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Widths, ShortenPathTest,
    ::testing::Values(
        TShortenCase{"fits", "/music/a.mp3", 12, "/music/a.mp3"},
        TShortenCase{"narrow", "/home/user/music/album/track.mp3", 20, "/home/ >>>> rack.mp3"},
        TShortenCase{"narrower_than_the_marker", "/home/user/music/album/track.mp3", 3, " >>>> "},
        // Each note takes two UTF-16 units; the cut never leaves half of one.
        TShortenCase{"keeps_characters_whole",
                     "/m/\U0001F3B5\U0001F3B5\U0001F3B5\U0001F3B5\U0001F3B5\U0001F3B5/t1.mp3", 21,
                     "/m/\U0001F3B5 >>>> /t1.mp3"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DisplayTest, ShortenPathMeasuresWithTheViewsFont)
{
    // A font in which only "W" is wide.
    view.TextWidth = [](const QString& text) { return int(text.size() + 9 * text.count(u'W')); };
    view.DestinationWidth = 16;
    EXPECT_EQ(form.ShortenPath(QStringLiteral("/WW/b.mp3")), QStringLiteral("/ >>>> .mp3"));
}

struct TStatusCase
{
    const char* name;
    std::vector<TMenuItem> ticked;
    bool verify;
    int errorCount;
    const char* options;
    const char* bitRate;
    const char* lameVersion;
};

void PrintTo(const TStatusCase& c, std::ostream* os)
{
    *os << c.name;
}

class StatusLinesTest : public DisplayTest, public ::testing::WithParamInterface<TStatusCase>
{};

TEST_P(StatusLinesTest, ShowTheChosenSettingOrTheVerifySummary)
{
    const TStatusCase& c = GetParam();
    ASSERT_EQ(TestStore(settings.path())
                  .Write({{"LameOptionName2", "My set"},
                          {"LameOptionString2", "-V 2"},
                          {"lamename", "no such set"}}),
              QString());
    form.LoadLameOptions();
    form.LameVersionText = QStringLiteral("3.100");
    for (TMenuItem item : c.ticked)
        form.SelectPreset(item);
    form.ErrorCount = c.errorCount;
    form.ShowStatusLines(c.verify);
    EXPECT_EQ(form.CheckedPresetOptions(), QString::fromUtf8(c.options));
    EXPECT_EQ(view.label(TLabel::BitRate), QString::fromUtf8(c.bitRate));
    EXPECT_EQ(view.label(TLabel::LameVersion), QString::fromUtf8(c.lameVersion));
}

INSTANTIATE_TEST_SUITE_P(
    Settings, StatusLinesTest,
    ::testing::Values(
        TStatusCase{"none_ticked", {}, false, 0, " ", "Lame setting : ", "Lame version : 3.100"},
        TStatusCase{"standard_preset",
                    {TMenuItem::fs3},
                    false,
                    0,
                    " --preset standard",
                    "Lame setting : APS",
                    "Lame version : 3.100"},
        TStatusCase{"custom_set",
                    {TMenuItem::cs2},
                    false,
                    0,
                    " -V 2",
                    "Lame setting : My set",
                    "Lame version : 3.100"},
        TStatusCase{"last_ticked_wins",
                    {TMenuItem::cs2, TMenuItem::fs1},
                    false,
                    0,
                    " --preset cbr 128",
                    "Lame setting : 128 kb cbr",
                    "Lame version : 3.100"},
        TStatusCase{
            "verify_without_errors", {TMenuItem::fs3}, true, 0, " --preset standard", "", "Verify"},
        TStatusCase{"verify_one_error", {}, true, 1, " ", "There is an error message!", "Verify"},
        TStatusCase{
            "verify_two_errors", {}, true, 2, " ", "There are 2 error messages!", "Verify"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColorFromTextTest, ReadsBlueGreenRed)
{
    EXPECT_EQ(ColorFromText(QStringLiteral("0x006060FF")), (TColor{255, 96, 96}));
    EXPECT_EQ(ColorFromText(QStringLiteral("0x00506580")), (TColor{128, 101, 80}));
    EXPECT_EQ(ColorFromText(QStringLiteral("0x00FF6060")), (TColor{96, 96, 255}));
    EXPECT_EQ(ColorFromText(QStringLiteral("red")), TColor{});
}

TEST_F(DisplayTest, ProgressShowsTheStageAndPassesCancelToTheAdapter)
{
    form.Audio = std::make_unique<TWav>();
    form.Audio->Progress = 42;
    form.StageName = QStringLiteral("Lame");
    form.DestFile = QStringLiteral("/save/a.mp3");
    form.CancelRequested = true;
    form.ProgressChanged(form.Audio.get());
    EXPECT_TRUE(form.Audio->Cancel);
    EXPECT_EQ(view.label(TLabel::Audio), QStringLiteral("Lame :"));
    EXPECT_EQ(view.Progress, 42);
    EXPECT_EQ(view.Titles, QStringList{QStringLiteral("Lame: 42%")});
    EXPECT_EQ(view.label(TLabel::Destination), QStringLiteral("/save/a.mp3"));
    EXPECT_EQ(view.DestinationColor, TColor{});
}

TEST_F(DisplayTest, CancelWhileIdleLeavesNothingTicked)
{
    form.Stopcurrentprocesses1Click();
    EXPECT_FALSE(view.ticked(TMenuItem::Stopcurrentprocesses1));
    EXPECT_FALSE(form.CancelRequested);
    EXPECT_TRUE(form.FormCloseQuery());
}

TEST_F(DisplayTest, CancelDuringARunMutesErrorsAndFreesTheSettings)
{
    form.Busy = true;
    form.ErrorCount = 3;
    form.SetTicked(TMenuItem::Savetosourcedirectory1, true);
    form.Stopcurrentprocesses1Click();
    EXPECT_TRUE(view.ticked(TMenuItem::Stopcurrentprocesses1));
    EXPECT_TRUE(form.CancelRequested);
    EXPECT_TRUE(form.ErrorsMuted);
    EXPECT_FALSE(view.enabled(TMenuItem::mnuSaveTo)) << "saving to the source folder stays on";
    EXPECT_TRUE(view.enabled(TMenuItem::fs5) && view.enabled(TMenuItem::mnuCustomSettings));
    EXPECT_EQ(view.label(TLabel::BitRate), QStringLiteral("There are 3 error messages!"));
    form.Audio = std::make_unique<TWav>();
    form.AddErrorEntry();
    EXPECT_TRUE(view.Errors.isEmpty());
    EXPECT_EQ(form.ErrorCount, 3);
}

TEST_F(DisplayTest, CloseDuringARunIsRefusedAndCancelsIt)
{
    form.Busy = true;
    EXPECT_FALSE(form.FormCloseQuery());
    EXPECT_TRUE(form.CancelRequested);
    EXPECT_FALSE(view.ticked(TMenuItem::Stopcurrentprocesses1));
}

} // namespace
