// The locator's commands besides the search: activation, labels, browse, reset, web, and the
// closing with its questions.
#include "LocatorTestSupport.h"

namespace {

class CommandsTest : public TLocatorTest
{
protected:
    // LAME and APE in their folders, FLAC without metaflac; the entries name them.
    void SetUpTools()
    {
        locator.SetEntryText(TCodecRow::Lame, tree.File("lame-dir/lame"));
        locator.SetEntryText(TCodecRow::Ape, tree.File("ape-dir/mac"));
        locator.SetEntryText(TCodecRow::Flac, tree.File("flac-dir/flac"));
    }
};

TEST_F(CommandsTest, ActivationShowsTheEntriesAndTakesThemAsTheOriginals)
{
    SetUpTools();
    Activate();
    EXPECT_EQ(view.Caption,
              QStringLiteral("Quarlow - Find Codec locations on the local hard drives"));
    EXPECT_EQ(view.entry(TCodecRow::Lame), tree.Path("lame-dir/lame"));
    EXPECT_EQ(view.Found, (std::array{true, true, true, false}));
    EXPECT_FALSE(view.StopShown);
    EXPECT_EQ(view.Height, TFormCodec::IdleHeight);
    EXPECT_TRUE(locator.NothingChanged());
    EXPECT_FALSE(view.WebEnabled) << "no web server is known";
}

// A label is in the found colour when the folder of its entry holds the tool under its own
// name: that is the path the main window will run.
TEST_F(CommandsTest, TypingAnEntryColoursItsLabel)
{
    Activate();
    const QString flacFolder = tree.Folder("f") + u'/';
    tree.File("f/flac");
    const std::pair<QString, std::array<bool, 4>> typed[] = {
        {flacFolder + QStringLiteral("flac"), {false, false, true, false}},
        {flacFolder + QStringLiteral("flac +++++ metaflac"), {false, false, true, false}},
        {flacFolder, {false, false, true, false}},
        {QStringLiteral("flac"), {false, false, false, false}},
        {tree.Path("elsewhere/flac"), {false, false, false, false}},
    };
    for (const auto& [text, found] : typed) {
        view.Type(TCodecRow::Flac, text);
        EXPECT_EQ(view.Found, found) << text.toStdString();
    }
    tree.File("f/metaflac");
    view.Type(TCodecRow::Flac, flacFolder + QStringLiteral("flac"));
    EXPECT_TRUE(view.found(TLocatorLabel::Meta));
    EXPECT_EQ(locator.EntryText(TCodecRow::Flac), flacFolder + QStringLiteral("flac"));
}

// What a row's folder holds under the tool's name, made in the tree at "t/lame".
struct TToolFileCase
{
    const char* name;
    void (*make)(const TTree& tree);
    bool found;
};

void PrintTo(const TToolFileCase& c, std::ostream* os)
{
    *os << c.name;
}

class ToolFileColourTest : public TLocatorTest, public ::testing::WithParamInterface<TToolFileCase>
{};

// Green means the main window can run the tool: a file of the tool's name that cannot be run
// leaves the label red.
TEST_P(ToolFileColourTest, LabelIsGreenOnlyForAToolThatCanRun)
{
    const TToolFileCase& c = GetParam();
    tree.Folder("t");
    c.make(tree);
    locator.SetEntryText(TCodecRow::Lame, tree.Path("t/lame"));
    Activate();
    EXPECT_EQ(view.found(TLocatorLabel::Lame), c.found);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ToolFileColourTest,
    ::testing::Values(
        TToolFileCase{"program", [](const TTree& tree) { tree.File("t/lame"); }, true},
        TToolFileCase{"data_file", [](const TTree& tree) { tree.DataFile("t/lame"); }, false},
        TToolFileCase{"link_to_a_program",
                      [](const TTree& tree) {
                          tree.File("bin/lame");
                          tree.Link("t/lame", "../bin/lame");
                      },
                      true},
        TToolFileCase{"link_to_a_data_file",
                      [](const TTree& tree) {
                          tree.DataFile("share/lame");
                          tree.Link("t/lame", "../share/lame");
                      },
                      false},
        TToolFileCase{"link_to_a_folder",
                      [](const TTree& tree) {
                          tree.Folder("doc/lame");
                          tree.Link("t/lame", "../doc/lame");
                      },
                      false},
        TToolFileCase{"folder", [](const TTree& tree) { tree.Folder("t/lame"); }, false},
        TToolFileCase{"dangling_link", [](const TTree& tree) { tree.Link("t/lame", "gone"); },
                      false}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever file is chosen, the entry becomes its folder with the tool's name.
TEST_F(CommandsTest, BrowsingSetsTheFolderAndTheToolName)
{
    SetUpTools();
    Activate();
    view.ChosenFile = tree.File("other/readme.txt");
    locator.sbtLAMEbrowseClick(TCodecRow::Lame);
    ASSERT_EQ(view.FileQuestions.size(), 1);
    EXPECT_EQ(view.FileQuestions[0].StartFolder, tree.Path("lame-dir/"));
    EXPECT_EQ(view.FileQuestions[0].FileName, QStringLiteral("lame"));
    EXPECT_EQ(view.FileQuestions[0].Filters,
              (QStringList{QStringLiteral("LAME (lame)"), QStringLiteral("ALL (*)")}));
    EXPECT_EQ(view.entry(TCodecRow::Lame), tree.Path("other/lame"));
    EXPECT_FALSE(view.found(TLocatorLabel::Lame)) << "there is no lame there";

    view.ChosenFile = tree.File("meta/metaflac");
    tree.File("meta/flac");
    locator.sbtLAMEbrowseClick(TCodecRow::Flac);
    EXPECT_EQ(view.FileQuestions.last().Filters,
              (QStringList{QStringLiteral("FLAC & METAFLAC (flac metaflac)"),
                           QStringLiteral("ALL (*)")}));
    EXPECT_EQ(view.entry(TCodecRow::Flac), tree.Path("meta/flac"));
    EXPECT_TRUE(view.found(TLocatorLabel::Meta));

    view.ChosenFile.reset();
    locator.sbtLAMEbrowseClick(TCodecRow::Ape);
    EXPECT_EQ(view.FileQuestions.last().Filters.first(), QStringLiteral("APE (mac)"));
    EXPECT_EQ(view.entry(TCodecRow::Ape), tree.Path("ape-dir/mac")) << "cancelled";
}

TEST_F(CommandsTest, ResetGoesBackToTheActivationText)
{
    SetUpTools();
    tree.File("found/lame");
    Activate();
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    ASSERT_EQ(view.entry(TCodecRow::Lame), tree.Path("lame-dir/lame"));
    view.Type(TCodecRow::Lame, QStringLiteral("/nowhere/lame"));
    ASSERT_FALSE(view.found(TLocatorLabel::Lame));
    locator.sbtLAMEcancelClick(TCodecRow::Lame);
    EXPECT_EQ(view.entry(TCodecRow::Lame), tree.Path("lame-dir/lame"));
    EXPECT_TRUE(view.found(TLocatorLabel::Lame));
    EXPECT_EQ(view.items(TCodecRow::Lame), tree.Paths({"found/lame", "lame-dir/lame"}))
        << "the list stays";
    EXPECT_EQ(view.line(TLocatorLine::NrOfCodecs), QString());
    EXPECT_TRUE(locator.NothingChanged());
}

TEST_F(CommandsTest, TheWebButtonsOpenTheDownloadPages)
{
    locator.WebHost = QStringLiteral("example.org:8080");
    Activate();
    EXPECT_TRUE(view.WebEnabled);
    for (TCodecRow row : CodecRows)
        locator.sbtLAMEwebClick(row);
    EXPECT_EQ(view.WebPages,
              (QStringList{"http://example.org:8080/net/redir.php?dest=free-codecs_lame",
                           "http://example.org:8080/net/redir.php?dest=free-codecs_ape",
                           "http://example.org:8080/net/redir.php?dest=free-codecs_flac"}));
}

// How a close ends: the questions asked, the answers, and the entries the dialog ends with.
struct TCloseCase
{
    const char* name;
    // Changes LAME's entry to a folder without lame first.
    bool Change;
    // OK, else Cancel, Esc or the close box.
    enum
    {
        Ok,
        Cancel,
        Escape,
        CloseBox
    } How;
    QList<bool> Answers;
    QList<TWarnQuestion> Asked;
    bool Closed;
    // The LAME entry afterwards is the activation text.
    bool Restored;
};

void PrintTo(const TCloseCase& c, std::ostream* os)
{
    *os << c.name;
}

class CloseTest : public CommandsTest, public ::testing::WithParamInterface<TCloseCase>
{};

TEST_P(CloseTest, AsksWhatItMust)
{
    const TCloseCase& c = GetParam();
    SetUpTools();
    Activate();
    if (c.Change)
        view.Type(TCodecRow::Lame, tree.Folder("empty") + QStringLiteral("/lame"));
    view.WarningAnswers = c.Answers;
    switch (c.How) {
    case TCloseCase::Ok:
        locator.odbtnSaveClick();
        break;
    case TCloseCase::Cancel:
        locator.odbtnCancelClick();
        break;
    case TCloseCase::Escape:
        locator.FormKeyDown(Qt::Key_Escape);
        break;
    case TCloseCase::CloseBox:
        view.closeDialog();
        break;
    }
    EXPECT_EQ(view.Warnings, c.Asked);
    EXPECT_EQ(view.Closed, c.Closed);
    EXPECT_EQ(locator.EntryText(TCodecRow::Lame) == tree.Path("lame-dir/lame"), c.Restored);
    EXPECT_EQ(view.entry(TCodecRow::Lame), locator.EntryText(TCodecRow::Lame));
}

using Q = TWarnQuestion;
const TCloseCase CloseCases[] = {
    {"ok_without_changes", false, TCloseCase::Ok, {}, {}, true, true},
    {"ok_with_a_missing_tool_yes",
     true,
     TCloseCase::Ok,
     {true},
     {Q::SaveWithCodecsMissing},
     true,
     false},
    {"ok_with_a_missing_tool_no",
     true,
     TCloseCase::Ok,
     {false},
     {Q::SaveWithCodecsMissing},
     false,
     false},
    {"cancel_without_changes", false, TCloseCase::Cancel, {}, {}, true, true},
    {"cancel_with_changes_yes", true, TCloseCase::Cancel, {true}, {Q::DiscardChanges}, true, true},
    {"cancel_with_changes_no",
     true,
     TCloseCase::Cancel,
     {false},
     {Q::DiscardChanges},
     false,
     false},
    {"escape_with_changes_yes", true, TCloseCase::Escape, {true}, {Q::DiscardChanges}, true, true},
    {"escape_with_changes_no",
     true,
     TCloseCase::Escape,
     {false},
     {Q::DiscardChanges},
     false,
     false},
    {"close_box_with_changes_yes",
     true,
     TCloseCase::CloseBox,
     {true},
     {Q::DiscardChanges},
     true,
     true},
};

INSTANTIATE_TEST_SUITE_P(Locator, CloseTest, ::testing::ValuesIn(CloseCases),
                         [](const auto& info) { return std::string(info.param.name); });

// OK without changes closes without a question even when tools are missing; with a change,
// OK closes at once when LAME, APE and FLAC are all there, metaflac or not.
TEST_F(CommandsTest, OkAsksOnlyAboutMissingTools)
{
    Activate();
    locator.odbtnSaveClick();
    EXPECT_TRUE(view.Closed);
    EXPECT_TRUE(view.Warnings.isEmpty());

    view.Closed = false;
    Activate();
    view.Type(TCodecRow::Lame, tree.File("l/lame"));
    view.Type(TCodecRow::Ape, tree.File("a/mac"));
    view.Type(TCodecRow::Flac, tree.File("f/flac"));
    locator.odbtnSaveClick();
    EXPECT_TRUE(view.Closed);
    EXPECT_TRUE(view.Warnings.isEmpty());
    EXPECT_FALSE(view.found(TLocatorLabel::Meta));
}

// An answer "No" to the OK question leaves the dialog as it was; a later Esc asks about the
// changes, since the close comes from Esc now.
TEST_F(CommandsTest, AfterNoTheNextCloseAsksAgain)
{
    Activate();
    view.Type(TCodecRow::Lame, QStringLiteral("/nowhere/lame"));
    view.WarningAnswers = {false, true};
    locator.odbtnSaveClick();
    locator.FormKeyDown(Qt::Key_Escape);
    EXPECT_EQ(view.Warnings, (QList{Q::SaveWithCodecsMissing, Q::DiscardChanges}));
    EXPECT_TRUE(view.Closed);
    EXPECT_EQ(locator.EntryText(TCodecRow::Lame), QString());
}

// The locator is open while its host shows it.
class THost : public ICodecLocatorHost
{
public:
    explicit THost(std::function<bool(TFormCodec&)> run) : m_run(std::move(run)) {}
    bool runCodecLocator(TFormCodec& locator) override { return m_run(locator); }

private:
    std::function<bool(TFormCodec&)> m_run;
};

TEST_F(CommandsTest, TheProgramClosingEndsTheDialogWithoutAQuestion)
{
    THost abandoning([this](TFormCodec& shown) {
        EXPECT_TRUE(shown.IsOpen());
        Activate();
        view.Type(TCodecRow::Lame, QStringLiteral("/nowhere/lame"));
        locator.Abandon();
        return false;
    });
    EXPECT_FALSE(locator.Run(abandoning));
    EXPECT_TRUE(view.Abandoned);
    EXPECT_TRUE(view.Warnings.isEmpty());
    EXPECT_FALSE(locator.IsOpen());
    EXPECT_TRUE(locator.WasAbandoned());
    THost closing([this](TFormCodec&) {
        Activate();
        locator.odbtnSaveClick();
        return view.Closed;
    });
    EXPECT_TRUE(locator.Run(closing));
    EXPECT_FALSE(locator.WasAbandoned());
}

struct TPlaceCase
{
    QRect Main;
    QPoint Dialog;
};

// Centred on the main window's width, halves cut toward zero; the warning window keeps its
// place on the dialog.
TEST(LocatorPlaceTest, TheDialogOpensOverTheMainWindow)
{
    const TPlaceCase cases[] = {
        {{100, 50, 462, 75}, {25, 50}},   {{100, 50, 461, 75}, {25, 50}},
        {{100, 50, 700, 300}, {144, 50}}, {{100, 50, 613, 75}, {100, 50}},
        {{0, 0, 200, 75}, {-206, 0}},
    };
    for (const TPlaceCase& c : cases)
        EXPECT_EQ(TFormCodec::Origin(c.Main), c.Dialog) << c.Main.width();
    EXPECT_EQ(TFormCodec::WarnOrigin({25, 50}), QPoint(199, 176));
}

} // namespace
