// The search over the fixed drives: what it lists and chooses, what it counts and shows, where
// it does not go, and how it stops.
#include "FileSystem.h"
#include "LocatorTestSupport.h"
#include "Privileges.h"
#include "TestMedia.h"

#include <QFile>

namespace {

struct TSearchCase
{
    const char* name;
    TCodecRow Row;
    // Tool files, files that cannot be run, then links (at, naming) below the tree.
    QStringList Files;
    QStringList DataFiles;
    QList<QPair<QString, QString>> Links;
    // What the row's list holds and which of it is chosen, relative to the tree.
    QStringList Items;
    QString Chosen;
    QString NrOfCodecs;
    QString NrOfMeta;
    // LAME, APE, FLAC, META.
    std::array<bool, 4> Found;
};

void PrintTo(const TSearchCase& c, std::ostream* os)
{
    *os << c.name;
}

class SearchTest : public TLocatorTest, public ::testing::WithParamInterface<TSearchCase>
{};

TEST_P(SearchTest, ListsEveryMatchAndChoosesTheLast)
{
    const TSearchCase& c = GetParam();
    for (const QString& file : c.Files)
        tree.File(file);
    for (const QString& file : c.DataFiles)
        tree.DataFile(file);
    for (const auto& [at, target] : c.Links)
        tree.Link(at, target);
    Activate();
    locator.sbtLAMEfindClick(c.Row);

    EXPECT_EQ(view.items(c.Row), tree.Paths(c.Items));
    EXPECT_EQ(view.entry(c.Row), c.Chosen.isEmpty() ? QString() : tree.Path(c.Chosen));
    EXPECT_EQ(locator.EntryText(c.Row), view.entry(c.Row));
    EXPECT_EQ(view.line(TLocatorLine::NrOfCodecs), c.NrOfCodecs);
    EXPECT_EQ(view.line(TLocatorLine::NrOfMeta), c.NrOfMeta);
    EXPECT_EQ(view.Found, c.Found);
    // Without a match the path line says so, and the dialog stays tall enough to show it.
    EXPECT_EQ(view.line(TLocatorLine::PathOfAudioCodecs).isEmpty(), !c.Items.isEmpty());
    EXPECT_EQ(view.PathLineRed, c.Items.isEmpty());
    EXPECT_EQ(view.Height, c.Items.isEmpty() ? TFormCodec::SearchHeight : TFormCodec::IdleHeight);
}

const TSearchCase SearchCases[] = {
    {"two_lame_files",
     TCodecRow::Lame,
     {"a/lame", "b/deeper/lame"},
     {},
     {},
     {"a/lame", "b/deeper/lame"},
     "b/deeper/lame",
     "lame: 2 found",
     "",
     {true, false, false, false}},
    {"flac_with_metaflac_beside_it",
     TCodecRow::Flac,
     {"x/flac", "x/metaflac"},
     {},
     {},
     {"x/flac +++++ metaflac"},
     "x/flac +++++ metaflac",
     "flac: 1 found",
     "metaflac: 1 found",
     {false, false, true, true}},
    {"flac_without_metaflac",
     TCodecRow::Flac,
     {"y/flac", "elsewhere/metaflac"},
     {},
     {},
     {"y/flac"},
     "y/flac",
     "flac: 1 found",
     "",
     {false, false, true, false}},
    {"flac_with_and_without_metaflac",
     TCodecRow::Flac,
     {"x/flac", "x/metaflac", "y/flac"},
     {},
     {},
     {"x/flac +++++ metaflac", "y/flac"},
     "y/flac",
     "flac: 2 found",
     "metaflac: 1 found",
     {false, false, true, false}},
    {"mac",
     TCodecRow::Ape,
     {"monkey/mac", "monkey/lame"},
     {},
     {},
     {"monkey/mac"},
     "monkey/mac",
     "mac: 1 found",
     "",
     {false, true, false, false}},
    // Found whatever the case of its name; the folder holds no "lame" the window could run,
    // so the label stays red.
    {"upper_case_name",
     TCodecRow::Lame,
     {"up/LAME"},
     {},
     {},
     {"up/LAME"},
     "up/LAME",
     "lame: 1 found",
     "",
     {false, false, false, false}},
    {"hidden_folder_is_not_entered",
     TCodecRow::Lame,
     {".hidden/lame", "shown/.lame", "shown/lame.old"},
     {},
     {},
     {},
     "",
     "",
     "",
     {false, false, false, false}},
    // A link to a folder is not followed: a cycle ends, and a tool is listed once, under its
    // real folder. A link to a tool is a tool.
    {"links",
     TCodecRow::Lame,
     {"usr/bin/lame", "real/flac"},
     {},
     {{"a/loop", ".."}, {"bin", "usr/bin"}, {"linked/flac", "../real/flac"}},
     {"usr/bin/lame"},
     "usr/bin/lame",
     "lame: 1 found",
     "",
     {true, false, false, false}},
    {"linked_tool",
     TCodecRow::Flac,
     {"real/flac"},
     {},
     {{"linked/flac", "../real/flac"}},
     {"linked/flac", "real/flac"},
     "real/flac",
     "flac: 2 found",
     "",
     {false, false, true, false}},
    // Only a file that can be run is a match: terminfo's data file "mac" is none, and so
    // is a link to one; a link to a tool is a tool.
    {"data_file_named_like_the_tool",
     TCodecRow::Ape,
     {"opt/monkey/mac"},
     {"share/terminfo/m/mac"},
     {{"bin/mac", "../opt/monkey/mac"}, {"etc/mac", "../share/terminfo/m/mac"}},
     {"bin/mac", "opt/monkey/mac"},
     "opt/monkey/mac",
     "mac: 2 found",
     "",
     {false, true, false, false}},
    // A link to a folder of the tool's name is no match, and the folder is not entered.
    {"link_to_a_folder_named_like_the_tool",
     TCodecRow::Lame,
     {"share/doc/lame-3.100/lame"},
     {"man/lame"},
     {{"bin/lame", "../share/doc/lame-3.100"}},
     {"share/doc/lame-3.100/lame"},
     "share/doc/lame-3.100/lame",
     "lame: 1 found",
     "",
     {true, false, false, false}},
    {"only_files_that_cannot_run",
     TCodecRow::Lame,
     {},
     {"a/lame", "b/LAME"},
     {{"c/lame", "../a/lame"}},
     {},
     "",
     "",
     "",
     {false, false, false, false}},
    // metaflac beside flac counts only when it can be run too.
    {"metaflac_that_cannot_run",
     TCodecRow::Flac,
     {"x/flac"},
     {"x/metaflac"},
     {},
     {"x/flac"},
     "x/flac",
     "flac: 1 found",
     "",
     {false, false, true, false}},
};

INSTANTIATE_TEST_SUITE_P(Locator, SearchTest, ::testing::ValuesIn(SearchCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TLocatorTest, WithoutAMatchThePathLineSaysSoInRed)
{
    tree.File("a/flac");
    locator.SetEntryText(TCodecRow::Lame, QStringLiteral("typed"));
    Activate();
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    EXPECT_EQ(view.line(TLocatorLine::PathOfAudioCodecs),
              QStringLiteral("no codec found; try to find one on the internet"));
    EXPECT_TRUE(view.PathLineRed);
    EXPECT_EQ(view.items(TCodecRow::Lame), QStringList());
    EXPECT_EQ(view.entry(TCodecRow::Lame), QStringLiteral("typed")) << "the activation text";

    Drives.clear();
    view.PathLineLog.clear();
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    EXPECT_EQ(view.PathLineLog,
              QStringList{QStringLiteral("no codec found; try to find one on the internet")});
    EXPECT_EQ(view.Height, TFormCodec::SearchHeight) << "the message is in sight";

    // It stays until a reset or the next search clears the lines.
    locator.sbtLAMEcancelClick(TCodecRow::Ape);
    EXPECT_EQ(view.line(TLocatorLine::PathOfAudioCodecs), QString());
    EXPECT_EQ(view.Height, TFormCodec::IdleHeight);
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    Drives = {tree.Root()};
    locator.sbtLAMEfindClick(TCodecRow::Flac);
    EXPECT_EQ(view.line(TLocatorLine::PathOfAudioCodecs), QString());
    EXPECT_EQ(view.Height, TFormCodec::IdleHeight);
}

// A search starts from the activation text, with an empty list and no counts of the last one.
TEST_F(TLocatorTest, ASearchStartsAfresh)
{
    tree.File("a/lame");
    Activate();
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    EXPECT_EQ(view.items(TCodecRow::Lame), tree.Paths({"a/lame"}));
    locator.sbtLAMEfindClick(TCodecRow::Ape);
    EXPECT_EQ(view.line(TLocatorLine::NrOfCodecs), QString());
    EXPECT_EQ(view.items(TCodecRow::Lame), tree.Paths({"a/lame"})) << "other rows keep theirs";
}

// Below a root that ends with a separator (as "/" does), one separator follows it. Roots are
// searched in their order.
TEST_F(TLocatorTest, RootsAreSearchedInOrder)
{
    tree.File("one/lame");
    tree.File("two/lame");
    Drives = {tree.Path("two/"), tree.Path("one")};
    Activate();
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    EXPECT_EQ(view.items(TCodecRow::Lame), tree.Paths({"two/lame", "one/lame"}));
}

TEST_F(TLocatorTest, AFolderThatCannotBeReadIsPassedOver)
{
    tree.File("a/locked/lame");
    tree.File("b/lame");
    QFile::setPermissions(tree.Path("a/locked"), QFile::Permissions());
    {
        const TWithoutPrivileges asUser;
        Activate();
        locator.sbtLAMEfindClick(TCodecRow::Lame);
    }
    QFile::setPermissions(tree.Path("a/locked"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(view.items(TCodecRow::Lame), tree.Paths({"b/lame"}));
}

// The path line shows the folder being searched at every 500th entry the program's searches
// have examined, counted over all of them.
TEST_F(TLocatorTest, EveryFiveHundredthEntryShowsWhereTheSearchIs)
{
    for (int i = 0; i < 400; ++i)
        tree.File(QStringLiteral("many/f%1").arg(i));
    QList<qint64> shownAt;
    view.OnProcessEvents = [&] {
        if (!view.line(TLocatorLine::PathOfAudioCodecs).isEmpty())
            shownAt << locator.EntriesSeen;
        view.setLineText(TLocatorLine::PathOfAudioCodecs, QString());
    };
    Activate();
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    EXPECT_EQ(locator.EntriesSeen, 401);
    EXPECT_EQ(shownAt, QList<qint64>());
    view.PathLineLog.clear();
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    EXPECT_EQ(shownAt, QList<qint64>{500});
    EXPECT_EQ(view.PathLineLog.value(0), tree.Path("many/"));
}

// While a search runs: Stop instead of OK and Cancel, no other search, the taller dialog,
// the busy cursor; events are pumped after every folder and every match.
TEST_F(TLocatorTest, ASearchKeepsTheDialogResponsive)
{
    tree.File("a/lame");
    tree.Folder("b");
    Activate();
    int pumps = 0;
    view.OnProcessEvents = [&] {
        ++pumps;
        EXPECT_TRUE(view.StopShown);
        EXPECT_FALSE(view.SearchEnabled);
        EXPECT_EQ(view.Height, TFormCodec::SearchHeight);
        EXPECT_TRUE(view.Busy);
    };
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    EXPECT_EQ(pumps, 3) << "folder a, the match in it, folder b";
    EXPECT_FALSE(view.StopShown);
    EXPECT_TRUE(view.SearchEnabled);
    EXPECT_EQ(view.Height, TFormCodec::IdleHeight);
    EXPECT_FALSE(view.Busy);
}

// Stop ends the whole search at once: the rest of the folder, the folders above and the
// drives still to come are left, and what was found stays.
TEST_F(TLocatorTest, StopEndsTheSearch)
{
    tree.File("one/a/lame");
    tree.File("one/a/x/lame");
    tree.File("one/b/lame");
    tree.File("two/lame");
    Drives = {tree.Path("one"), tree.Path("two")};
    Activate();
    view.OnProcessEvents = [&] {
        if (!view.items(TCodecRow::Lame).isEmpty() && view.StopShown)
            locator.odbtnStopClick();
    };
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    EXPECT_EQ(view.items(TCodecRow::Lame), tree.Paths({"one/a/lame"}));
    EXPECT_EQ(view.entry(TCodecRow::Lame), tree.Path("one/a/lame"));
    EXPECT_EQ(view.line(TLocatorLine::NrOfCodecs), QStringLiteral("lame: 1 found"));
    EXPECT_FALSE(view.StopShown);
    EXPECT_EQ(view.Height, TFormCodec::IdleHeight);
    EXPECT_TRUE(view.found(TLocatorLabel::Lame));
}

// A close during a search ends the search too, also one that asks nothing: nothing is added
// behind a closed dialog.
TEST_F(TLocatorTest, ClosingTheDialogEndsTheSearch)
{
    tree.Folder("a");
    tree.File("b/lame");
    Activate();
    view.OnProcessEvents = [&] {
        if (!view.Closed)
            locator.odbtnCancelClick();
    };
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    EXPECT_TRUE(view.Closed);
    EXPECT_TRUE(view.Warnings.isEmpty());
    EXPECT_EQ(view.items(TCodecRow::Lame), QStringList());
    EXPECT_EQ(locator.EntryText(TCodecRow::Lame), QString());
}

TEST_F(TLocatorTest, DiscardingTheChangesDuringASearchEndsIt)
{
    tree.File("a/lame");
    tree.File("b/lame");
    Activate();
    view.OnProcessEvents = [&] {
        if (!view.Closed && !view.items(TCodecRow::Lame).isEmpty())
            locator.odbtnCancelClick();
    };
    view.WarningAnswers = {true};
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    EXPECT_TRUE(view.Closed);
    EXPECT_EQ(view.Warnings, QList{TWarnQuestion::DiscardChanges});
    EXPECT_EQ(locator.EntryText(TCodecRow::Lame), QString()) << "the activation text is back";
    EXPECT_EQ(view.items(TCodecRow::Lame), QStringList());
}

// A folder that two drives reach (a folder mounted a second time) is searched once.
TEST_F(TLocatorTest, AFolderReachedTwiceIsSearchedOnce)
{
    tree.File("a/lame");
    Drives = {tree.Path("a"), tree.Root(), tree.Path("a")};
    Activate();
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    EXPECT_EQ(view.items(TCodecRow::Lame), tree.Paths({"a/lame"}));
}

// A drive's search keeps to its own file system: /dev/shm, a file system of its own below
// /dev, is not entered from /dev.
TEST_F(TLocatorTest, ADriveIsSearchedWithoutEnteringOtherFileSystems)
{
    const std::optional<TFolderId> dev = FolderIdentity(QStringLiteral("/dev"));
    const std::optional<TFolderId> shm = FolderIdentity(QStringLiteral("/dev/shm"));
    if (!dev || !shm || dev->Device == shm->Device || !IsWritableFolder(QStringLiteral("/dev/shm")))
        GTEST_SKIP() << "no file system of its own at /dev/shm";
    const TMade folder =
        CreatePrivateFolder(QStringLiteral("/dev/shm"), QStringLiteral("quarlow-"));
    ASSERT_EQ(folder.Error, QString());
    tree.File("lame");
    ASSERT_TRUE(WriteFile(folder.Path + QStringLiteral("/lame"), "#!/bin/sh\n"));
    Drives = {QStringLiteral("/dev"), tree.Root()};
    Activate();
    locator.sbtLAMEfindClick(TCodecRow::Lame);
    RemoveFolderTree(folder.Path);
    EXPECT_EQ(view.items(TCodecRow::Lame), tree.Paths({"lame"}));
}

} // namespace
