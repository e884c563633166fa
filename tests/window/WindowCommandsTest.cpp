// The popup menu's own commands: the switches, the help and web pages, copying the error
// list, staying on top and the update hint.
#include "TWindowCommands.h"
#include "WindowTestSupport.h"

#include <QDir>
#include <QUrl>
#include <functional>

namespace {

// Records what the commands did to the window.
class TFakeCommandsView : public IWindowCommandsView
{
public:
    QStringList errorLines() const override { return ErrorLines; }
    void setClipboardText(const QString& text) override { Clipboard = text; }
    void openUrl(const QUrl& url, std::function<void(const QString&)> failed) override
    {
        Opened << url;
        if (!OpenProblem.isEmpty())
            failed(OpenProblem);
    }
    void setStayOnTop(bool onTop) override { StayOnTop << onTop; }
    void setWebLink(const QString& address) override { WebLink = address; }
    void showMessage(const QString& text) override
    {
        Messages << text;
        if (OnMessage)
            OnMessage();
    }
    void closeWindow() override { ++CloseRequests; }

    QStringList ErrorLines;
    // Null while nothing was put on the clipboard.
    QString Clipboard;
    QList<QUrl> Opened;
    // What the opener says went wrong; empty: nothing.
    QString OpenProblem;
    QList<bool> StayOnTop;
    QString WebLink = QStringLiteral("never set");
    QStringList Messages;
    // What happens while a message is open.
    std::function<void()> OnMessage;
    int CloseRequests = 0;
};

class WindowCommandsTest : public TFormTest
{
protected:
    TSettingsStore Store() const { return TestStore(root.path()); }

    // The maker's web server as the settings name it; empty: none.
    void SetWebHost(const QString& host)
    {
        ASSERT_EQ(Store().Write({{"WebHost", host}}), QString());
    }

    void SetUp() override
    {
        TFormTest::SetUp();
        commands = std::make_unique<TWindowCommands>(*form, commandsView);
    }

    TFakeCommandsView commandsView;
    std::unique_ptr<TWindowCommands> commands;
};

struct TToggleCase
{
    const char* name;
    TMenuItem item;
    bool tickedAtStart;
};

class WindowToggleTest : public WindowCommandsTest,
                         public ::testing::WithParamInterface<TToggleCase>
{};

// A click turns the tick over, and a second click turns it back.
TEST_P(WindowToggleTest, EachClickTurnsTheTickOver)
{
    const TMenuItem item = GetParam().item;
    form->SetTicked(item, GetParam().tickedAtStart);

    commands->Run(item);
    EXPECT_NE(view.ticked(item), GetParam().tickedAtStart);
    commands->Run(item);
    EXPECT_EQ(view.ticked(item), GetParam().tickedAtStart);
}

INSTANTIATE_TEST_SUITE_P(
    Items, WindowToggleTest,
    ::testing::Values(TToggleCase{"exit_when_done", TMenuItem::Exit1, false},
                      TToggleCase{"check_updates", TMenuItem::CheckUpdates, true},
                      TToggleCase{"always_on_top", TMenuItem::Alwaysontop1, false},
                      TToggleCase{"save_to_source", TMenuItem::Savetosourcedirectory1, false},
                      TToggleCase{"verify_only", TMenuItem::Verifyonly1, false},
                      TToggleCase{"update_only", TMenuItem::mnuUpdateOnly, false}),
    [](const auto& info) { return std::string(info.param.name); });

// What each switch changes besides its tick.
TEST_F(WindowCommandsTest, SwitchesChangeTheirEffects)
{
    commands->Run(TMenuItem::Savetosourcedirectory1);
    EXPECT_FALSE(view.enabled(TMenuItem::mnuSaveTo));
    commands->Run(TMenuItem::Savetosourcedirectory1);
    EXPECT_TRUE(view.enabled(TMenuItem::mnuSaveTo));

    commands->Run(TMenuItem::Verifyonly1);
    EXPECT_TRUE(form->VerifyMode);
    EXPECT_EQ(view.label(TLabel::LameVersion), QStringLiteral("Verify"));
    commands->Run(TMenuItem::Verifyonly1);
    EXPECT_FALSE(form->VerifyMode);
    EXPECT_TRUE(view.label(TLabel::LameVersion).startsWith(QStringLiteral("Lame version : ")));

    commands->Run(TMenuItem::Alwaysontop1);
    commands->Run(TMenuItem::Alwaysontop1);
    EXPECT_EQ(commandsView.StayOnTop, (QList<bool>{true, false}));
}

// The viewer of LAME's help would be hidden behind a window above the others: showing it
// unticks "Always on top" and takes the window down among the others.
TEST_F(WindowCommandsTest, ShowingLameHelpEndsAlwaysOnTop)
{
    commands->Run(TMenuItem::Alwaysontop1);
    commands->Run(TMenuItem::LameHelpShow1);

    EXPECT_FALSE(view.ticked(TMenuItem::Alwaysontop1));
    EXPECT_EQ(commandsView.StayOnTop, (QList<bool>{true, false}));
    EXPECT_EQ(view.HelpCaption, QStringLiteral("Help Lame v. ") + form->LameVersionText);
}

// The update switch and the hint go to the store at the close: the hint makes the next
// start check whatever day it last did.
TEST_F(WindowCommandsTest, UpdateSwitchAndHintAreStored)
{
    form->FormCreate();
    EXPECT_TRUE(view.ticked(TMenuItem::CheckUpdates)) << "a first start checks for updates";
    commands->Run(TMenuItem::CheckUpdates);

    commands->lblHintClick();
    EXPECT_EQ(commandsView.CloseRequests, 1);
    form->FormClose();

    const TSettingsStore::TKey key = Store().OpenForReading(QStringLiteral("width"));
    EXPECT_EQ(key.readString(QStringLiteral("julianday")).Value, QStringLiteral("10000"));
    EXPECT_EQ(key.readInteger(QStringLiteral("checkupdate")).Value, 0);
}

// "Convert only new and changed files" is kept between starts.
TEST_F(WindowCommandsTest, UpdateOnlyIsStoredAndLoaded)
{
    form->FormCreate();
    EXPECT_FALSE(view.ticked(TMenuItem::mnuUpdateOnly)) << "off on a first start";
    commands->Run(TMenuItem::mnuUpdateOnly);
    form->FormClose();
    EXPECT_EQ(Store()
                  .OpenForReading(QStringLiteral("width"))
                  .readInteger(QStringLiteral("UpdateOnly"))
                  .Value,
              1);

    TFakeMainView again;
    TForm1 next(again, Store());
    next.FormCreate();
    EXPECT_TRUE(again.ticked(TMenuItem::mnuUpdateOnly));
}

// "Show last run record" opens the newest record, of whichever program, with the desktop's
// viewer, and says so when there is none or nothing could open it.
TEST_F(WindowCommandsTest, ShowRunRecordOpensTheNewestRecord)
{
    const QString folder = root.filePath(QStringLiteral("state/quarlow/runs"));
    form->RunRecordsFolder = folder;
    commands->Run(TMenuItem::mnuShowRunRecord);
    EXPECT_EQ(commandsView.Opened, QList<QUrl>());
    ASSERT_EQ(commandsView.Messages.size(), 1);
    EXPECT_TRUE(commandsView.Messages.last().contains(folder))
        << commandsView.Messages.last().toStdString();

    for (const char* name : {"2026-12-10_15-25-57Z.txt", "2026-12-10_15-25-57Z-2.txt",
                             "2026-12-09_23-59-59Z.txt", "notes.txt"})
        Write(folder + u'/' + QString::fromUtf8(name), "record");
    commands->Run(TMenuItem::mnuShowRunRecord);
    EXPECT_EQ(commandsView.Opened,
              QList<QUrl>{QUrl::fromLocalFile(folder + "/2026-12-10_15-25-57Z-2.txt")});
    EXPECT_EQ(commandsView.Messages.size(), 1);

    commandsView.OpenProblem = QStringLiteral("xdg-open ended with status 3");
    commands->Run(TMenuItem::mnuShowRunRecord);
    ASSERT_EQ(commandsView.Messages.size(), 2);
    EXPECT_TRUE(commandsView.Messages.last().startsWith(QStringLiteral("Could not open ")))
        << commandsView.Messages.last().toStdString();
    EXPECT_TRUE(commandsView.Messages.last().endsWith(QStringLiteral("status 3")));
    commandsView.OpenProblem.clear();

    form->RunRecordsFolder.clear();
    commands->Run(TMenuItem::mnuShowRunRecord);
    ASSERT_EQ(commandsView.Messages.size(), 3);
    EXPECT_TRUE(commandsView.Messages.last().contains(QStringLiteral("no record")));
}

TEST_F(WindowCommandsTest, ErrorListGoesToTheClipboardLineByLine)
{
    commandsView.ErrorLines = {QStringLiteral("Message 1 - /in/a.flac"), QStringLiteral("row"),
                               QString(40, u'-')};

    commands->Run(TMenuItem::CopyErrorListtoClipboard1);

    EXPECT_EQ(commandsView.Clipboard,
              QStringLiteral("Message 1 - /in/a.flac\nrow\n") + QString(40, u'-') + u'\n');
    EXPECT_EQ(commandsView.Messages, QStringList{TWindowCommands::CopiedText});
}

TEST_F(WindowCommandsTest, EmptyErrorListLeavesTheClipboardAlone)
{
    commands->Run(TMenuItem::CopyErrorListtoClipboard1);

    EXPECT_TRUE(commandsView.Clipboard.isNull());
    EXPECT_EQ(commandsView.Messages, QStringList{TWindowCommands::NoErrorsText});
}

// With the maker's web server F1 and lblWeb open its pages.
TEST_F(WindowCommandsTest, WithAWebServerHelpAndWebOpenItsPages)
{
    SetWebHost(QStringLiteral("127.0.0.1:8080"));
    commands->ShowWebLink();
    commands->Run(TMenuItem::Help1);
    commands->lblWebClick();

    EXPECT_EQ(commandsView.WebLink, QStringLiteral("http://127.0.0.1:8080"));
    EXPECT_EQ(commandsView.Opened,
              (QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:8080/net/Quarlow_help.pdf")),
                           QUrl(QStringLiteral("http://127.0.0.1:8080/net/quarlow.html"))}));
    EXPECT_EQ(commandsView.Messages, QStringList());
}

// Without one F1 opens the guide installed beside the program, and lblWeb is no link.
TEST_F(WindowCommandsTest, WithoutAWebServerHelpOpensTheInstalledGuide)
{
    SetWebHost(QString());
    form->ProgramFolder = root.filePath(QStringLiteral("prefix/bin/"));
    const QString guide = root.filePath(QStringLiteral("prefix/share/doc/quarlow/guide.html"));
    Write(guide, "<html></html>");

    commands->ShowWebLink();
    commands->lblWebClick();
    commands->Run(TMenuItem::Help1);

    EXPECT_EQ(commandsView.WebLink, QString());
    EXPECT_EQ(commandsView.Opened, QList<QUrl>{QUrl::fromLocalFile(guide)});
    EXPECT_EQ(commandsView.Messages, QStringList());
}

// A guide that is not there, or no program to show a page: the user is told.
TEST_F(WindowCommandsTest, HelpThatCannotBeShownIsSaid)
{
    SetWebHost(QString());
    form->ProgramFolder = root.filePath(QStringLiteral("prefix/bin/"));
    commands->Help1Click();
    ASSERT_EQ(commandsView.Messages.size(), 1);
    EXPECT_EQ(commandsView.Messages.first(),
              QStringLiteral("The user guide is not installed: ") +
                  root.filePath(QStringLiteral("prefix/share/doc/quarlow/guide.html")));
    EXPECT_TRUE(commandsView.Opened.isEmpty());

    SetWebHost(QStringLiteral("example.invalid"));
    commandsView.OpenProblem = QStringLiteral("xdg-open ended with status 3");
    commands->Help1Click();
    EXPECT_EQ(commandsView.Messages.last(),
              QStringLiteral("Could not open http://example.invalid/net/Quarlow_help.pdf: "
                             "xdg-open ended with status 3"));
}

// A close request while a command's box or dialog is open waits for the command, so that what
// the command does after its box comes before the close; then the window closes.
struct TCommandBoxCase
{
    const char* name;
    TMenuItem item;
};

class CommandBoxTest : public WindowCommandsTest,
                       public ::testing::WithParamInterface<TCommandBoxCase>
{};

TEST_P(CommandBoxTest, ACloseRequestWaitsForTheCommandThenCloses)
{
    bool refused = false;
    view.OnModal = commandsView.OnMessage = [&] {
        refused = !form->FormCloseQuery();
        EXPECT_EQ(view.CloseRequests, 0);
    };
    commands->Run(GetParam().item);

    EXPECT_TRUE(refused);
    EXPECT_EQ(view.CloseRequests, 1);
    EXPECT_TRUE(form->FormCloseQuery());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandBoxTest,
    ::testing::Values(TCommandBoxCase{"options_table", TMenuItem::mnuCustomSettings},
                      TCommandBoxCase{"save_folder_dialog", TMenuItem::mnuSaveTo},
                      TCommandBoxCase{"message", TMenuItem::CopyErrorListtoClipboard1}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
