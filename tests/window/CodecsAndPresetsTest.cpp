// The LAME option sets the window ticks, and which codec tools it finds with their versions.
#include "FileSystem.h"
#include "QtPrinters.h"
#include "TCodecStatus.h"
#include "TFakeMainView.h"
#include "TForm1.h"
#include "TSettingsStore.h"
#include "TestMedia.h"
#include "ToolNames.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr TMenuItem PresetItems[] = {TMenuItem::cs1, TMenuItem::cs2, TMenuItem::cs3, TMenuItem::cs4,
                                     TMenuItem::cs5, TMenuItem::fs1, TMenuItem::fs2, TMenuItem::fs3,
                                     TMenuItem::fs4, TMenuItem::fs5};

struct TPresetCase
{
    const char* name;
    const char* chosen;
    const char* customName; // given to cs2 and cs4
    std::optional<TMenuItem> ticked;
    const char* options;
};

void PrintTo(const TPresetCase& c, std::ostream* os)
{
    *os << c.name;
}

class PresetTest : public ::testing::TestWithParam<TPresetCase>
{
protected:
    QTemporaryDir settings;
    TFakeMainView view;
    TForm1 form{view, TestStore(settings.path())};
};

// The name the command line asks for, among the sets the store holds.
TEST_P(PresetTest, ChosenNameTicksTheFirstSetOfThatNameAlone)
{
    const TPresetCase& c = GetParam();
    const QString custom = QString::fromUtf8(c.customName);
    ASSERT_EQ(TestStore(settings.path())
                  .Write({{"LameOptionName2", custom},
                          {"LameOptionString2", "-V 0"},
                          {"LameOptionName4", custom},
                          {"LameOptionString4", "-V 9"},
                          {"lamename", "128 kb cbr"}}),
              QString());
    form.LoadLameOptions();
    ASSERT_TRUE(view.ticked(TMenuItem::fs1));
    form.SelectChosenPreset(QString::fromUtf8(c.chosen));
    for (TMenuItem item : PresetItems)
        EXPECT_EQ(view.ticked(item), c.ticked == item) << int(item);
    EXPECT_EQ(form.CheckedPresetOptions(), QString::fromUtf8(c.options));
    if (c.ticked) {
        EXPECT_EQ(form.OptionSets().ChosenOptionName(), QString::fromUtf8(c.chosen));
        EXPECT_EQ(view.label(TLabel::BitRate), QStringLiteral("Lame setting : ") + c.chosen);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, PresetTest,
    ::testing::Values(
        TPresetCase{"standard_preset", "APS", "", TMenuItem::fs3, " --preset standard"},
        TPresetCase{"custom_set_of_the_same_name_wins", "APS", "APS", TMenuItem::cs2, " -V 0"},
        TPresetCase{"lower_of_two_custom_sets", "Mine", "Mine", TMenuItem::cs2, " -V 0"},
        TPresetCase{"unknown_name_ticks_nothing", "Nope", "", std::nullopt, " "},
        TPresetCase{"empty_name_is_no_set", "", "", std::nullopt, " "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PresetItemTest, ItemWithoutANameCannotBeChosenAndAChoiceIsStored)
{
    QTemporaryDir settings;
    TFakeMainView view;
    TForm1 form{view, TestStore(settings.path())};
    form.LoadLameOptions();
    form.SelectPreset(TMenuItem::fs4);
    form.SelectPreset(TMenuItem::cs1);
    EXPECT_TRUE(view.ticked(TMenuItem::fs4));
    EXPECT_FALSE(view.ticked(TMenuItem::cs1));
    EXPECT_EQ(form.OptionSets().ChosenOptionName(), QStringLiteral("APX"));
    EXPECT_EQ(TestStore(settings.path()).OpenForReading("lamename").readString("lamename").Value,
              QStringLiteral("APX"));
    EXPECT_EQ(form.PresetNames(),
              (QStringList{"128 kb cbr", "192 kb vbr", "APS", "APX", "Insane"}));
}

// A choice that cannot be stored is said, and kept for this run.
TEST(PresetItemTest, ChoiceThatCannotBeStoredIsSaid)
{
    QTemporaryDir settings;
    ASSERT_TRUE(WriteFile(settings.filePath("config"), "a file where the folder should be"));
    TFakeMainView view;
    TForm1 form{view, TestStore(settings.path())};
    form.SelectPreset(TMenuItem::fs4);
    EXPECT_TRUE(view.ticked(TMenuItem::fs4));
    ASSERT_EQ(view.Messages.size(), 1);
    EXPECT_TRUE(view.Messages.first().startsWith("The settings could not be saved: "));
}

// A tool folder with links to some of the real tools.
class FindCodecsTest : public ::testing::Test
{
protected:
    QString folderWith(const QStringList& tools)
    {
        const QString folder = root.filePath(tools.join(u'-')) + u'/';
        EXPECT_TRUE(QDir().mkpath(folder));
        for (const QString& tool : tools)
            EXPECT_TRUE(QFile::exists(folder + tool) ||
                        QFile::link(ToolFolderOnPath(tool) + tool, folder + tool));
        return folder;
    }

    QTemporaryDir root;
    TFakeMainView view;
    TForm1 form{view, TestStore(root.path())};
};

TEST_F(FindCodecsTest, FlagsAndVersionsFollowTheToolFiles)
{
    form.LamePath = folderWith({LameTool});
    form.FlacPath = folderWith({FlacTool});
    form.ApePath = QStringLiteral(MAC_FOLDER);
    form.FindCodecs();
    EXPECT_TRUE(form.LameFound);
    EXPECT_TRUE(form.FlacFound);
    EXPECT_FALSE(form.MetaflacFound) << "FLAC without tags";
    EXPECT_TRUE(form.ApeFound);
    EXPECT_EQ(form.LameVersionText, QStringLiteral("3.100"));
    EXPECT_TRUE(form.FlacVersionText.startsWith(QStringLiteral("1.")))
        << form.FlacVersionText.toStdString();
    EXPECT_EQ(form.ApeVersionText, QStringLiteral("11.57"));
}

TEST_F(FindCodecsTest, MissingToolsAreNotFoundAndHaveNoVersion)
{
    form.LameVersionText = form.FlacVersionText = form.ApeVersionText = QStringLiteral("old");
    form.MetaflacFound = true;
    form.LamePath = QString();           // never tested
    form.FlacPath = QStringLiteral("0"); // a folder never set finds nothing
    form.ApePath = folderWith({LameTool});
    form.FindCodecs();
    EXPECT_FALSE(form.LameFound || form.FlacFound || form.MetaflacFound || form.ApeFound);
    EXPECT_EQ(form.LameVersionText, QString());
    EXPECT_EQ(form.FlacVersionText, QString());
    EXPECT_EQ(form.ApeVersionText, QString());
}

// A file of a tool's name that cannot be run is no tool: the run would fail on every file.
TEST_F(FindCodecsTest, ToolFilesThatCannotRunAreNotFound)
{
    const QString folder = root.filePath(QStringLiteral("data")) + u'/';
    for (const QString& tool : {LameTool, FlacTool, MetaflacTool, MacTool})
        ASSERT_TRUE(WriteFile(folder + tool, "#!/bin/sh\n"));
    form.LamePath = form.FlacPath = form.ApePath = folder;
    form.FindCodecs();
    EXPECT_FALSE(form.LameFound || form.FlacFound || form.MetaflacFound || form.ApeFound);
    EXPECT_EQ(form.LameVersionText, QString());
}

struct TStatusRow
{
    const char* name;
    QStringList lameTools, flacTools;
    bool ape;
    TColor lame, flac;
    const char* flacHint;
    bool noCodecs;
};

// What the window shows for each combination of tool files.
TEST_F(FindCodecsTest, StatusShowsWhatEachToolFamilyCanDo)
{
    const TColor red = NotUsableColor;
    const TStatusRow rows[] = {
        {"lame_and_flac_without_metaflac",
         {LameTool},
         {FlacTool},
         false,
         FoundColor,
         PartialColor,
         "FLAC version: 1.4.2; processing enabled without tags",
         false},
        {"only_flac",
         {},
         {FlacTool},
         false,
         red,
         PartialColor,
         "FLAC version: 1.4.2; processing enabled without tags",
         true},
        {"everything",
         {LameTool},
         {FlacTool, MetaflacTool},
         true,
         FoundColor,
         FoundColor,
         "FLAC version: 1.4.2; processing enabled with tags",
         false},
        {"nothing", {}, {}, false, red, red, "FLAC processing disabled", true},
    };
    for (const TStatusRow& row : rows) {
        SCOPED_TRACE(row.name);
        form.LamePath = row.lameTools.isEmpty() ? QStringLiteral("0") : folderWith(row.lameTools);
        form.FlacPath = row.flacTools.isEmpty() ? QString() : folderWith(row.flacTools);
        form.ApePath = row.ape ? QStringLiteral(MAC_FOLDER) : QStringLiteral("0");
        form.RefreshCodecStatus();
        ASSERT_FALSE(view.CodecStatuses.isEmpty());
        const TCodecStatus& shown = view.CodecStatuses.last();
        EXPECT_EQ(shown.Lame.Color, row.lame);
        EXPECT_EQ(shown.Lame.Hint,
                  row.lameTools.isEmpty()
                      ? QStringLiteral("conversion to MP3 disabled")
                      : QStringLiteral("Lame version: 3.100; conversion to MP3 enabled"));
        EXPECT_EQ(shown.Flac.Color, row.flac);
        // The rows name the version of Debian 12's flac; the hint holds the one found.
        EXPECT_EQ(shown.Flac.Hint,
                  QString::fromUtf8(row.flacHint).replace("1.4.2", form.FlacVersionText));
        EXPECT_EQ(shown.Ape.Color, row.ape ? FoundColor : NotUsableColor);
        EXPECT_EQ(shown.Ape.Hint, row.ape ? QStringLiteral("APE version: 11.57; processing enabled")
                                          : QStringLiteral("APE processing disabled"));
        EXPECT_EQ(shown.NoCodecs, row.noCodecs);
    }
}

TEST(AcceptLameVersionTest, RefusesAlphaAndBetaBuildsWithTheirMessage)
{
    QTemporaryDir settings;
    TFakeMainView view;
    TForm1 form(view, TestStore(settings.path()));
    for (const char* accepted : {"3.100", "B", ""})
        EXPECT_TRUE(form.AcceptLameVersion(QString::fromUtf8(accepted))) << accepted;
    EXPECT_EQ(view.Messages, QStringList());
    EXPECT_FALSE(form.AcceptLameVersion(QStringLiteral("3.99b1")));
    EXPECT_EQ(view.Messages, QStringList{"     unsupported Lame Version 3.99b1;\n"
                                         "alpha and beta versions of Lame are excluded.\n"
                                         "          use a different Lame executable."});
}

// The help is LAME's own long help, captured anew at every show while LAME is there.
TEST_F(FindCodecsTest, LameHelpShowsWhatLameSaysUnderItsVersion)
{
    form.LamePath = folderWith({LameTool});
    form.RefreshCodecStatus();
    form.LameHelpShow1Click();
    EXPECT_EQ(view.HelpCaption, QStringLiteral("Help Lame v. 3.100"));
    ASSERT_FALSE(view.HelpLines.isEmpty());
    EXPECT_TRUE(view.HelpLines.join(u'\n').contains(QStringLiteral("--preset")));
    // Without LAME the last capture is kept.
    form.LamePath = QStringLiteral("0");
    form.RefreshCodecStatus();
    const QStringList kept = form.HelpText;
    form.LameHelpShow1Click();
    EXPECT_EQ(view.HelpLines, kept);
}

// A probe takes the tool commands away while it runs and gives back only what was there:
// during a run the help stays off after the codec locator's refresh.
TEST_F(FindCodecsTest, ProbeGivesTheToolCommandsBackAsTheyWere)
{
    form.LamePath = folderWith({LameTool});
    QList<bool> helpDuringProbes;
    view.OnProcessEvents = [&] { helpDuringProbes << view.enabled(TMenuItem::LameHelpShow1); };
    form.SetEnabled(TMenuItem::LameHelpShow1, false);

    form.RefreshCodecStatus();
    EXPECT_FALSE(view.enabled(TMenuItem::LameHelpShow1));
    EXPECT_TRUE(view.enabled(TMenuItem::Checkcodecpaths1));

    form.SetEnabled(TMenuItem::LameHelpShow1, true);
    form.RefreshCodecStatus();
    EXPECT_TRUE(view.enabled(TMenuItem::LameHelpShow1));
    ASSERT_FALSE(helpDuringProbes.isEmpty());
    EXPECT_FALSE(helpDuringProbes.contains(true)) << "no tool command while a probe runs";
}

} // namespace
