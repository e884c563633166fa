// The main window around the locator (F10): the entries it opens with, what it takes over,
// the codec status and the stored settings that follow, and a close request meanwhile.
#include "FileSystem.h"
#include "LocatorTestSupport.h"
#include "Privileges.h"
#include "TFakeMainView.h"
#include "TForm1.h"
#include "TestMedia.h"

#include <QFile>
#include <memory>

namespace {

// A main window over a recording view, its settings stored in the tree. Its tool folder
// "tools/" holds links to the real lame, flac and metaflac.
class OpenCodecLocatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const QString tool : {"lame", "flac", "metaflac"})
            tree.Link(QStringLiteral("tools/") + tool, ToolFolderOnPath(tool) + tool);
        form = std::make_unique<TForm1>(view, TestStore(tree.Root()));
        form->UserFolder = tree.Folder("home") + u'/';
        view.OnRunCodecLocator = [this](TFormCodec& locator) {
            TFakeLocatorView dialog(locator);
            locator.ListDrives = [this] { return QStringList{tree.Root()}; };
            locator.FormActivate();
            Opened = {dialog.EntryTexts, locator.WebHost};
            if (User)
                User(locator, dialog);
            return dialog.Closed;
        };
    }

    // Starts the window with these tool folders stored.
    void Start(const QString& lame, const QString& ape, const QString& flac)
    {
        ASSERT_EQ(Store().Write(
                      {{"width", 462}, {"LamePath", lame}, {"ApePath", ape}, {"FlacPath", flac}}),
                  QString());
        form->FormCreate();
    }

    TSettingsStore Store() const { return TestStore(tree.Root()); }
    QString Stored(const char* name) const
    {
        const QString key = QString::fromLatin1(name);
        return Store().OpenForReading(key).readString(key).Value;
    }

    TTree tree;
    const QString Tools = tree.Path("tools/");
    TFakeMainView view;
    std::unique_ptr<TForm1> form;
    // What the user does in the dialog.
    std::function<void(TFormCodec&, TFakeLocatorView&)> User;
    // The entries and the web host the dialog opened with.
    std::pair<std::array<QString, 3>, QString> Opened;
};

// A row whose folder holds its tool shows the tool; FLAC with metaflac beside it carries the
// mark; a row without a folder keeps its entry.
TEST_F(OpenCodecLocatorTest, TheEntriesShowTheLoadedFolders)
{
    Start(Tools, QString(), Tools);
    form->OpenCodecLocator();
    EXPECT_EQ(Opened.first, (std::array{Tools + "lame", QString(), Tools + "flac +++++ metaflac"}));
    Start(QStringLiteral("0"), tree.Path("nothing/"), tree.Path("nothing/"));
    form->OpenCodecLocator();
    EXPECT_EQ(Opened.first,
              (std::array{QStringLiteral("0"), tree.Path("nothing/"), tree.Path("nothing/")}));
}

// After OK the window uses the folders of the entries: the tools are found and probed, LAME's
// help is captured, and the folders are stored. The next opening shows the same entries.
TEST_F(OpenCodecLocatorTest, ConfirmedEntriesBecomeTheToolFolders)
{
    Start(QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"));
    User = [](TFormCodec& locator, TFakeLocatorView& dialog) {
        locator.sbtLAMEfindClick(TCodecRow::Lame);
        locator.sbtLAMEfindClick(TCodecRow::Flac);
        dialog.WarningAnswers = {true};
        locator.odbtnSaveClick();
        EXPECT_EQ(dialog.Warnings, QList{TWarnQuestion::SaveWithCodecsMissing}) << "no mac";
    };
    form->OpenCodecLocator();

    EXPECT_EQ(form->LamePath, Tools);
    EXPECT_EQ(form->FlacPath, Tools);
    EXPECT_EQ(form->ApePath, QString()) << "the entry \"0\" has no folder";
    EXPECT_EQ(form->OrigLamePath, Tools + "lame");
    EXPECT_EQ(form->OrigFlacPath, Tools + "flac +++++ metaflac");
    EXPECT_EQ(form->OrigApePath, QStringLiteral("0"));
    ASSERT_FALSE(view.CodecStatuses.isEmpty());
    EXPECT_EQ(view.CodecStatuses.last().Lame.Color, FoundColor);
    EXPECT_EQ(view.CodecStatuses.last().Flac.Color, FoundColor);
    EXPECT_EQ(view.CodecStatuses.last().Ape.Color, NotUsableColor);
    EXPECT_EQ(view.label(TLabel::LameVersion), QStringLiteral("Lame version : 3.100"));
    EXPECT_TRUE(form->HelpText.join(u'\n').contains(QStringLiteral("--preset")));
    EXPECT_EQ(Stored("LamePath"), Tools);
    EXPECT_EQ(Stored("FlacPath"), Tools);
    EXPECT_EQ(Stored("ApePath"), QString());

    User = {};
    form->OpenCodecLocator();
    EXPECT_EQ(Opened.first[0], Tools + "lame");
    EXPECT_EQ(Opened.first[2], Tools + "flac +++++ metaflac");
}

// "Yes" to discarding the changes restores the activation texts, and the window takes over
// the folders it had put in.
TEST_F(OpenCodecLocatorTest, DiscardedChangesLeaveTheFoldersAsTheyWere)
{
    tree.File("other/lame");
    Start(Tools, QString(), Tools);
    User = [this](TFormCodec& locator, TFakeLocatorView& dialog) {
        dialog.Type(TCodecRow::Lame, tree.Path("other/lame"));
        dialog.WarningAnswers = {true};
        locator.FormKeyDown(Qt::Key_Escape);
        EXPECT_EQ(dialog.Warnings, QList{TWarnQuestion::DiscardChanges});
    };
    form->OpenCodecLocator();
    EXPECT_EQ(form->LamePath, Tools);
    EXPECT_EQ(Stored("LamePath"), Tools);
    EXPECT_EQ(view.CodecStatuses.last().Lame.Color, FoundColor);
}

TEST_F(OpenCodecLocatorTest, TheWebButtonsUseTheStoredWebHost)
{
    ASSERT_EQ(Store().Write({{"width", 462}, {"WebHost", "example.org"}}), QString());
    form->FormCreate();
    form->OpenCodecLocator();
    EXPECT_EQ(Opened.second, QStringLiteral("example.org"));
}

// A close request while the locator is open (the program is told to stop) ends the locator
// without taking anything over, and then closes the window, which saves the settings.
TEST_F(OpenCodecLocatorTest, ACloseRequestEndsTheLocatorAndThenTheWindow)
{
    Start(Tools, QString(), Tools);
    bool refused = false;
    User = [&](TFormCodec&, TFakeLocatorView& dialog) {
        dialog.Type(TCodecRow::Lame, tree.Path("elsewhere/lame"));
        refused = !form->FormCloseQuery();
        EXPECT_TRUE(dialog.Abandoned);
        EXPECT_TRUE(dialog.Warnings.isEmpty());
    };
    form->OpenCodecLocator();
    EXPECT_TRUE(refused);
    EXPECT_EQ(view.CloseRequests, 1);
    EXPECT_EQ(form->LamePath, Tools);
    EXPECT_TRUE(view.Messages.isEmpty());
    EXPECT_TRUE(view.CodecStatuses.isEmpty()) << "no tool is probed on the way out";
    EXPECT_TRUE(form->FormCloseQuery()) << "the locator is closed now";
}

// When the settings cannot be written the user is told, and the window keeps the folders just
// chosen instead of reading back the stored ones.
TEST_F(OpenCodecLocatorTest, ChosenFoldersOutliveAFailedSave)
{
    Start(QStringLiteral("0"), QString(), QString());
    User = [](TFormCodec& locator, TFakeLocatorView& dialog) {
        locator.sbtLAMEfindClick(TCodecRow::Lame);
        dialog.WarningAnswers = {true};
        locator.odbtnSaveClick();
    };
    const QString config = tree.Path("config");
    ASSERT_TRUE(QFile::setPermissions(config, QFile::ReadOwner | QFile::ExeOwner));
    {
        const TWithoutPrivileges asUser;
        form->OpenCodecLocator();
    }
    QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(view.Messages.size(), 1);
    EXPECT_TRUE(view.Messages[0].startsWith(QStringLiteral("The settings could not be saved: ")));
    EXPECT_EQ(form->LamePath, Tools);
    EXPECT_EQ(Stored("LamePath"), QStringLiteral("0"));
}

} // namespace
