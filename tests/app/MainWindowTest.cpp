#include "EventLoop.h"
#include "FileSystem.h"
#include "LocalNames.h"
#include "PathOverride.h"
#include "Privileges.h"
#include "QtPrinters.h"
#include "TForm1.h"
#include "TMainWindow.h"
#include "TStopSignals.h"
#include "TUrlOpener.h"
#include "TestMedia.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStringListModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <cerrno>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The desktop window over its logic, with lame, flac and metaflac from PATH. Sources go
// below In, MP3s to Save, and the temporary folder is a private one.
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        In = root.filePath(QStringLiteral("in"));
        Save = root.filePath(QStringLiteral("save")) + u'/';
        const QString temp = root.filePath(QStringLiteral("tmp"));
        ASSERT_TRUE(QDir().mkpath(In) && QDir().mkpath(Save) && QDir().mkpath(temp));
        m_savedTempDir = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(temp));
        form = std::make_unique<TForm1>(window, TestStore(root.path()));
        window.attach(*form);
        form->SaveDirName = Save;
        form->LamePath = ToolFolderOnPath(QStringLiteral("lame"));
        form->FlacPath = ToolFolderOnPath(QStringLiteral("flac"));
        form->LameFound = form->FlacFound = form->MetaflacFound = true;
        form->SelectPreset(TMenuItem::fs1);
        // What a run of one job at a time shows; a fresh store would run one job per core.
        form->Settings.SetJobs(1);
    }

    void TearDown() override
    {
        form.reset();
        for (const char* name : {"STALL_ON", "STALL_PIDS", "STALL_EXEC", "STALL_ROWS"})
            qunsetenv(name);
        // Qt cannot remove a file whose name is not UTF-8.
        RemoveFolderTree(root.path());
        if (m_savedTempDir.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", m_savedTempDir);
    }

    // What a file manager hands over: the names' bytes, percent-encoded.
    void Drop(const QStringList& paths)
    {
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << QUrl::fromEncoded("file://" + PathBytes(path).toPercentEncoding("/"));
        QMimeData data;
        data.setUrls(urls);
        // As a drag ends: the window takes the drag first, then the drop.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        ASSERT_TRUE(drop.isAccepted());
        // The run the drop started goes on from the event loop.
        QCoreApplication::processEvents();
    }

    void CopyFixture(const QString& fixture, const QString& path)
    {
        ASSERT_TRUE(WriteFile(path, ReadAll(QStringLiteral(TEST_DATA_DIR "/fixtures/") + fixture)));
    }

    // Files below a folder by the names' bytes, relative to it, sorted.
    static QList<QByteArray> FilesBelow(const QString& folder)
    {
        QList<QByteArray> files;
        for (const TFolderEntry& entry : FolderEntries(folder)) {
            const QByteArray name = PathBytes(entry.Name);
            if (entry.Kind != TPathKind::Folder)
                files << name;
            for (const QByteArray& file : FilesBelow(folder + u'/' + entry.Name))
                files << name + '/' + file;
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    template <typename T> T& Child(const char* name)
    {
        T* child = window.findChild<T*>(QString::fromLatin1(name));
        if (!child)
            throw std::runtime_error(std::string("no child ") + name);
        return *child;
    }

    int Rows(const char* list) { return Child<QListView>(list).model()->rowCount(); }
    QStringList Lines(const char* list)
    {
        return qobject_cast<QStringListModel*>(Child<QListView>(list).model())->stringList();
    }

    // lame stalls on the calls with an argument holding `on`, after printing `rows`; the
    // other calls run the real lame.
    void StallLameOn(const QByteArray& on, const QByteArray& rows = {})
    {
        const QString stalled = root.filePath(QStringLiteral("stalled")) + u'/';
        ASSERT_TRUE(QDir().mkpath(stalled));
        ASSERT_TRUE(QFile::link(QStringLiteral(STALL_TOOL), stalled + QStringLiteral("lame")));
        form->LamePath = stalled;
        qputenv("STALL_PIDS", QFile::encodeName(Pids()));
        qputenv("STALL_ON", on);
        qputenv("STALL_ROWS", rows);
        qputenv("STALL_EXEC", QFile::encodeName(ToolFolderOnPath(QStringLiteral("lame")) + "lame"));
    }
    QString Pids() const { return root.filePath(QStringLiteral("pids")); }

    // Should a stop leave a dialog open, the test fails after a minute instead of hanging.
    void EndDialogsLeftOpen()
    {
        m_dialogGuard.setSingleShot(true);
        QObject::connect(&m_dialogGuard, &QTimer::timeout, [] {
            ADD_FAILURE() << "a dialog stayed open";
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        m_dialogGuard.start(60000);
    }

    // Acts once, from the events the run pumps, when lame stalls and `ready` holds; the
    // window is shown and active, so that its shortcuts work.
    void WhileStalled(
        const std::function<void()>& act, const std::function<bool()>& ready = [] { return true; })
    {
        window.show();
        window.activateWindow();
        QCoreApplication::processEvents();
        ASSERT_TRUE(window.isActiveWindow()) << "shortcuts reach only the active window";
        m_whileStalled.disconnect();
        QObject::connect(&m_whileStalled, &QTimer::timeout, [this, act, ready] {
            if (ReadAll(Pids()).isEmpty() || !ready())
                return;
            m_whileStalled.stop();
            act();
        });
        m_whileStalled.start(0);
    }

    QTemporaryDir root;
    QString In;
    QString Save;
    TMainWindow window;
    std::unique_ptr<TForm1> form;

private:
    QByteArray m_savedTempDir;
    QTimer m_whileStalled;
    QTimer m_dialogGuard;
};

TEST_F(MainWindowTest, DroppedFolderIsConvertedByTheRealTools)
{
    CopyFixture(QStringLiteral("in.wav"), In + QStringLiteral("/album/a.wav"));
    CopyFixture(QStringLiteral("in.flac"), In + QStringLiteral("/album/b.flac"));

    Drop({In + QStringLiteral("/album")});

    EXPECT_EQ(FilesBelow(Save), (QList<QByteArray>{"album/a.mp3", "album/b.mp3"}));
    EXPECT_EQ(ReadMp3Tags(Save + QStringLiteral("album/b.mp3")).Artist,
              QStringLiteral("Test Artist"));
    EXPECT_EQ(Rows("lbxCueList"), 0);
    EXPECT_EQ(Rows("lbxErrorsList"), 0);
    const QString tags = Child<QPlainTextEdit>("memTagsList").toPlainText();
    EXPECT_TRUE(tags.contains(QStringLiteral("Title\t= The \"Quoted\" Song")))
        << tags.toStdString();
    EXPECT_TRUE(tags.contains(QStringLiteral("Album\t= Café Album"))) << tags.toStdString();
    EXPECT_EQ(window.applicationTitle(), form->FileDescription);
    EXPECT_FALSE(form->Busy);
}

// The LAME progress row the stalled lame shows.
const QByteArray LameAt42 =
    "   330/786   ( 42%)|    0:00/    0:01|    0:00/    0:01|   38.2x|    0:01\r";

// While a run goes on, the queue, the error entries and the running job's tags show in the
// three tabs, and the task bar's title shows the progress.
TEST_F(MainWindowTest, RunInProgressShowsInTheTabsAndTheTitle)
{
    StallLameOn("3 song.wav", LameAt42);
    CopyFixture(QStringLiteral("truncated.flac"), In + QStringLiteral("/album/1 cut.flac"));
    CopyFixture(QStringLiteral("in.flac"), In + QStringLiteral("/album/2 tagged.flac"));
    for (const QString name : {"3 song.wav", "4 last.wav"})
        ASSERT_TRUE(WriteFile(In + QStringLiteral("/album/") + name, SineWavBytes(1, 2)));

    QStringList queue, errors;
    QString title;
    WhileStalled(
        [&] {
            queue = Lines("lbxCueList");
            errors = Lines("lbxErrorsList");
            title = window.applicationTitle();
            QTest::keyClick(&window, Qt::Key_F4);
        },
        // The title of the job before shows until lame's row has been read.
        [&] { return window.applicationTitle() == QStringLiteral("Lame: 42%"); });
    Drop({In + QStringLiteral("/album")});

    EXPECT_EQ(title, QStringLiteral("Lame: 42%"));
    EXPECT_EQ(queue, (QStringList{In + QStringLiteral("/album/3 song.wav"),
                                  In + QStringLiteral("/album/4 last.wav")}));
    ASSERT_FALSE(errors.isEmpty());
    EXPECT_EQ(errors.first(),
              QStringLiteral("Message 1 - ") + In + QStringLiteral("/album/1 cut.flac"));
    EXPECT_EQ(FilesBelow(Save), QList<QByteArray>{"album/2 tagged.mp3"});
    EXPECT_EQ(Child<QTabWidget>("PageControl1").tabText(1), QStringLiteral("Tag List"));
}

// Delete on the Cue List with the running entry and a waiting one selected: only the waiting
// one leaves the queue.
TEST_F(MainWindowTest, DeleteOnTheCueListRemovesTheSelectedWaitingEntries)
{
    StallLameOn("a.wav");
    for (const QString name : {"a.wav", "b.wav", "c.wav"})
        ASSERT_TRUE(WriteFile(In + u'/' + name, SineWavBytes(1, 2)));
    QStringList queue;
    WhileStalled([&] {
        QTest::keyClick(&window, Qt::Key_F5);
        auto& list = Child<QListView>("lbxCueList");
        list.setFocus();
        list.selectionModel()->select(list.model()->index(0, 0), QItemSelectionModel::Select);
        list.selectionModel()->select(list.model()->index(2, 0), QItemSelectionModel::Select);
        QTest::keyClick(&list, Qt::Key_Delete);
        queue = Lines("lbxCueList");
        QTest::keyClick(&window, Qt::Key_F4);
    });
    Drop({In});

    EXPECT_EQ(queue, (QStringList{In + QStringLiteral("/a.wav"), In + QStringLiteral("/b.wav")}));
    EXPECT_EQ(Rows("lbxCueList"), 0);
}

// A name that is no valid UTF-8 reaches the tools with its own bytes, and so does its MP3.
TEST_F(MainWindowTest, DroppedNameThatIsNotUtf8KeepsItsBytes)
{
    const QString source = In + u'/' + PathFromBytes("caf\xe9.wav");
    ASSERT_TRUE(WriteFile(source, SineWavBytes(1, 2)));

    Drop({source});

    EXPECT_EQ(FilesBelow(Save), QList<QByteArray>{"caf\xe9.mp3"});
    EXPECT_EQ(Rows("lbxErrorsList"), 0);
}

// F4 while lame works: the tool is stopped, its MP3 never appears and the queue is emptied.
TEST_F(MainWindowTest, F4CancelsTheRunningConversion)
{
    StallLameOn("a.wav");
    for (const QString name : {"a.wav", "b.wav"})
        ASSERT_TRUE(WriteFile(In + u'/' + name, SineWavBytes(1, 2)));

    bool pressed = false;
    WhileStalled([&] {
        pressed = true;
        QTest::keyClick(&window, Qt::Key_F4);
    });
    Drop({In + QStringLiteral("/a.wav"), In + QStringLiteral("/b.wav")});

    EXPECT_TRUE(pressed);
    EXPECT_FALSE(form->Busy);
    EXPECT_EQ(FilesBelow(Save), QList<QByteArray>());
    EXPECT_EQ(Rows("lbxCueList"), 0);
    EXPECT_FALSE(window.findChild<QAction*>(QStringLiteral("Stopcurrentprocesses1"))->isChecked());
    EXPECT_TRUE(window.isVisible()) << "the Cancel command does not close the window";

    // The Cancel ended with the run: LAME's help is captured whole afterwards.
    form->LameHelpShow1Click();
    const auto* help = window.findChild<QPlainTextEdit*>(QStringLiteral("MemoLame"));
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("--preset")));
}

// Answers every message box the window shows, keeping its text.
class TMessageAnswerer
{
public:
    TMessageAnswerer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                Texts << box->text();
                box->accept();
            }
        });
        m_timer.start(0);
    }

    QStringList Texts;

private:
    QTimer m_timer;
};

// The popup menu's items in their order; "-" a separator, a sub-menu's items in brackets.
QStringList MenuLayout(const QMenu& menu)
{
    QStringList layout;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator())
            layout << QStringLiteral("-");
        else if (action->menu())
            layout << action->menu()->objectName() + u'[' + MenuLayout(*action->menu()).join(u' ') +
                          u']';
        else
            layout << action->objectName();
    }
    return layout;
}

TEST_F(MainWindowTest, PopupMenuHoldsEveryItemInItsPlace)
{
    EXPECT_EQ(MenuLayout(Child<QMenu>("PopupMenu1")),
              (QStringList{"Help1",
                           "LameHelpShow1",
                           "-",
                           "mnuSaveTo",
                           "Savetosourcedirectory1",
                           "CustomLameoption1[mnuCustomSettings - cs1 cs2 cs3 cs4 cs5 "
                           "standardoptions1 - fs1 fs2 fs3 fs4 fs5]",
                           "FilesAtOnce[Jobs1 Jobs2 Jobs3 Jobs4 Jobs5 Jobs6 Jobs7 Jobs8 Jobs0]",
                           "-",
                           "Stopcurrentprocesses1",
                           "ShowData",
                           "CopyErrorListtoClipboard1",
                           "mnuShowRunRecord",
                           "-",
                           "Alwaysontop1",
                           "CheckUpdates",
                           "Exit1",
                           "Verifyonly1",
                           "mnuUpdateOnly",
                           "-",
                           "Checkcodecpaths1"}));
}

// The ticked entry is the stored number; a choice is taken and ticked, and a stored number
// the menu does not list gets an entry of its own.
TEST_F(MainWindowTest, FilesAtOnceTicksTheStoredNumberAndTakesTheChoice)
{
    const auto ticked = [this] {
        QStringList names;
        for (QAction* action : Child<QMenu>("FilesAtOnce").actions()) {
            if (action->isChecked())
                names << action->objectName();
        }
        return names;
    };
    window.applySettings();
    EXPECT_EQ(ticked(), QStringList{"Jobs1"});
    EXPECT_EQ(Child<QAction>("Jobs0").text(),
              QStringLiteral("one per core (%1)").arg(TMainSettings::CoreCount()));
    Child<QAction>("Jobs3").trigger();
    EXPECT_EQ(form->Settings.Jobs, 3);
    EXPECT_EQ(ticked(), QStringList{"Jobs3"});
    Child<QAction>("Jobs0").trigger();
    EXPECT_EQ(form->Settings.Jobs, TMainSettings::OnePerCore);
    EXPECT_EQ(ticked(), QStringList{"Jobs0"});
    form->Settings.SetJobs(12);
    window.applySettings();
    EXPECT_EQ(ticked(), QStringList{"Jobs12"});
    EXPECT_EQ(Child<QAction>("Jobs12").text(), QStringLiteral("12"));
}

struct TMenuCase
{
    const char* name;
    const char* caption;
    QKeySequence shortcut;
    bool ticked;
    bool enabled;
};

class PopupMenuTest : public MainWindowTest, public ::testing::WithParamInterface<TMenuCase>
{};

// As a first start shows them, with the option set the fixture chose; "%1" in a caption
// stands for the save folder.
TEST_P(PopupMenuTest, ItemHasItsCaptionShortcutTickAndState)
{
    form->UserFolder = Save;
    form->FormCreate();
    auto* item =
        Child<QMenu>("PopupMenu1").findChild<QAction*>(QString::fromLatin1(GetParam().name));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(),
              QString::fromUtf8(GetParam().caption).replace(QStringLiteral("%1"), Save));
    EXPECT_EQ(item->shortcut(), GetParam().shortcut);
    EXPECT_EQ(item->isChecked(), GetParam().ticked);
    EXPECT_EQ(item->isEnabled(), GetParam().enabled);
    // A shortcut works while the window has the focus, without the menu open.
    EXPECT_TRUE(window.actions().contains(item));
}

INSTANTIATE_TEST_SUITE_P(
    Items, PopupMenuTest,
    ::testing::Values(
        TMenuCase{"Help1", "Get Online &Help (pdf)", QKeySequence(Qt::Key_F1), false, true},
        TMenuCase{"LameHelpShow1", "Show La&me Help", QKeySequence(Qt::CTRL | Qt::Key_L), false,
                  true},
        TMenuCase{"mnuSaveTo", "Save to: %1   (click to change)", QKeySequence(Qt::Key_F2), false,
                  true},
        TMenuCase{"Savetosourcedirectory1", "Save to Source Directory (toggle)",
                  QKeySequence(Qt::CTRL | Qt::Key_S), false, true},
        TMenuCase{"mnuCustomSettings", "custom settings:", QKeySequence(Qt::Key_F3), false, true},
        TMenuCase{"cs1", "empty", QKeySequence(), false, true},
        TMenuCase{"cs5", "empty", QKeySequence(), false, true},
        TMenuCase{"standardoptions1", "standard settings:", QKeySequence(), false, false},
        TMenuCase{"fs1", "128 kb cbr", QKeySequence(Qt::CTRL | Qt::Key_F8), true, true},
        TMenuCase{"fs2", "192 kb vbr", QKeySequence(Qt::CTRL | Qt::Key_F9), false, true},
        TMenuCase{"fs3", "APS", QKeySequence(Qt::CTRL | Qt::Key_A), false, true},
        TMenuCase{"fs4", "APX", QKeySequence(Qt::CTRL | Qt::Key_X), false, true},
        TMenuCase{"fs5", "Insane", QKeySequence(Qt::CTRL | Qt::Key_I), false, true},
        TMenuCase{"Stopcurrentprocesses1", "Cancel &Transcoding", QKeySequence(Qt::Key_F4), false,
                  true},
        TMenuCase{"ShowData", "Show &Cue, Tags, Errors (toggle)", QKeySequence(Qt::Key_F5), false,
                  true},
        TMenuCase{"CopyErrorListtoClipboard1", "Copy &Error List to Clipboard",
                  QKeySequence(Qt::CTRL | Qt::Key_E), false, true},
        TMenuCase{"Alwaysontop1", "&Always on top (toggle)", QKeySequence(Qt::Key_F6), false, true},
        TMenuCase{"CheckUpdates", "Check for major &Updates (toggle)", QKeySequence(Qt::Key_F7),
                  true, true},
        TMenuCase{"Exit1", "E&xit when done (toggle)", QKeySequence(Qt::Key_F8), false, true},
        TMenuCase{"Verifyonly1", "&Verify only (toggle)", QKeySequence(Qt::Key_F9), false, true},
        TMenuCase{"Checkcodecpaths1", "&Find codec locations", QKeySequence(Qt::Key_F10), false,
                  true},
        TMenuCase{"mnuUpdateOnly", "Convert only &new and changed files (toggle)",
                  QKeySequence(Qt::CTRL | Qt::Key_U), false, true},
        TMenuCase{"mnuShowRunRecord", "Show &last run record", QKeySequence(Qt::CTRL | Qt::Key_R),
                  false, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Hiding keeps the height the user gave the panel and the tab they chose.
TEST_F(MainWindowTest, DataPanelComesBackWithItsHeightAndTab)
{
    window.show();
    QAction& showData = Child<QAction>("ShowData");
    auto& tabs = Child<QTabWidget>("PageControl1");
    showData.trigger();
    EXPECT_EQ(window.height(), TMainWindow::CompactHeight + TMainSettings::DefaultSmem);
    window.resize(window.width(), 400);
    tabs.setCurrentIndex(2);

    showData.trigger();
    EXPECT_FALSE(tabs.isVisible());
    EXPECT_EQ(window.height(), TMainWindow::CompactHeight);
    EXPECT_EQ(window.maximumHeight(), TMainWindow::CompactHeight);

    showData.trigger();
    EXPECT_TRUE(tabs.isVisible());
    EXPECT_EQ(window.height(), 400);
    EXPECT_EQ(tabs.currentIndex(), 2);
}

// Width, place, tab and panel height come from the store and go back at the close.
TEST_F(MainWindowTest, StoredGeometryComesBackAndGoesBack)
{
    ASSERT_EQ(
        TestStore(root.path())
            .Write({{"width", 800}, {"Top", 100}, {"Left", 50}, {"tindex", 2}, {"smem", 200}}),
        QString());
    form->FormCreate();
    window.applySettings();
    window.show();
    EXPECT_EQ(window.width() + TMainWindow::StoredFrameWidth, 800);
    EXPECT_EQ(window.pos(), QPoint(50, 100));
    EXPECT_EQ(Child<QTabWidget>("PageControl1").currentIndex(), 2);
    Child<QAction>("ShowData").trigger();
    EXPECT_EQ(window.height(), TMainWindow::CompactHeight + 200);
    window.resize(600, TMainWindow::CompactHeight + 300);
    Child<QTabWidget>("PageControl1").setCurrentIndex(1);

    ASSERT_TRUE(window.close());

    const TSettingsStore::TKey key = TestStore(root.path()).OpenForReading(QStringLiteral("width"));
    EXPECT_EQ(key.readInteger(QStringLiteral("width")).Value, 600 + TMainWindow::StoredFrameWidth);
    EXPECT_EQ(key.readInteger(QStringLiteral("smem")).Value, 300);
    EXPECT_EQ(key.readInteger(QStringLiteral("tindex")).Value, 1);
}

TEST_F(MainWindowTest, ErrorListIsCopiedLineByLineAndAnEmptyOneLeavesTheClipboard)
{
    TMessageAnswerer answerer;
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    Child<QAction>("CopyErrorListtoClipboard1").trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("before"));

    window.appendError(QStringLiteral("Message 1 - a.flac"));
    window.appendError(QStringLiteral("row"));
    Child<QAction>("CopyErrorListtoClipboard1").trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Message 1 - a.flac\nrow\n"));

    EXPECT_EQ(answerer.Texts, (QStringList{QStringLiteral("no errors found"),
                                           QStringLiteral("error list copied to clipboard")}));
}

// The window made anew above the others still takes drops.
TEST_F(MainWindowTest, AlwaysOnTopKeepsDropsWorking)
{
    CopyFixture(QStringLiteral("in.wav"), In + QStringLiteral("/a.wav"));
    window.show();
    Child<QAction>("Alwaysontop1").trigger();
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(Child<QAction>("Alwaysontop1").isChecked());

    Drop({In + QStringLiteral("/a.wav")});
    EXPECT_EQ(FilesBelow(Save), QList<QByteArray>{"a.mp3"});

    Child<QAction>("Alwaysontop1").trigger();
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

// Until the first probe has found a tool, its name is red.
TEST_F(MainWindowTest, CodecLabelsAreRedBeforeTheFirstProbe)
{
    for (const char* name : {"stxtLame", "stxtApe", "stxtFlac"})
        EXPECT_EQ(Child<QLabel>(name).palette().color(QPalette::WindowText), QColor(255, 0, 0))
            << name;
}

// A row longer than the widest window is shown whole: the list scrolls sideways to its end,
// whichever row it is, and the row's tooltip is its full text.
TEST_F(MainWindowTest, ErrorListRowsAreShownWhole)
{
    const QString longRow = QStringLiteral("/music/") + QString(300, u'a') +
                            QStringLiteral(".flac has no audio LAME reads, so this file was not "
                                           "converted");
    window.show();
    Child<QAction>("ShowData").trigger();
    Child<QTabWidget>("PageControl1").setCurrentIndex(2);
    for (const QString& row : {QStringLiteral("Message 1 - a.flac"), longRow, QString(40, u'-')})
        window.appendError(row);
    auto& list = Child<QListView>("lbxErrorsList");
    QCoreApplication::processEvents();

    const QRect shown = list.visualRect(list.model()->index(1, 0));
    EXPECT_GE(shown.width(), list.fontMetrics().horizontalAdvance(longRow));
    EXPECT_GT(list.horizontalScrollBar()->maximum(), 0);
    const QPoint at(10, shown.center().y());
    QHelpEvent help(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
    QApplication::sendEvent(list.viewport(), &help);
    EXPECT_EQ(QToolTip::text(), longRow);
    QToolTip::hideText();

    window.clearErrors();
    window.appendError(QStringLiteral("short"));
    QCoreApplication::processEvents();
    EXPECT_EQ(list.horizontalScrollBar()->maximum(), 0) << "a cleared list forgets its widest row";
}

// A right click on any part of the window opens its menu; only the Cue List has one of its own.
class RightClickTest : public MainWindowTest, public ::testing::WithParamInterface<const char*>
{};

TEST_P(RightClickTest, OpensTheWindowsMenu)
{
    window.show();
    Child<QAction>("ShowData").trigger();
    QWidget& widget = window.objectName() == QString::fromLatin1(GetParam())
                          ? window
                          : Child<QWidget>(GetParam());
    auto* area = qobject_cast<QAbstractScrollArea*>(&widget);
    QWidget& target = area ? *area->viewport() : widget;
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                            target.mapToGlobal(QPoint(5, 5)));

    QApplication::sendEvent(&target, &click);

    auto& menu = Child<QMenu>("PopupMenu1");
    EXPECT_TRUE(menu.isVisible());
    menu.close();
}

INSTANTIATE_TEST_SUITE_P(Widgets, RightClickTest,
                         ::testing::Values("Form1", "lblDestination", "memTagsList",
                                           "lbxErrorsList"),
                         [](const auto& info) { return std::string(info.param); });

// The option sets are one radio group, the Cancel command has no tick box and the switches
// have theirs. A menu draws a round mark for an item of an exclusive group, a tick box for
// any other checkable one and nothing for the rest.
struct TMarkCase
{
    const char* name;
    const char* mark;
};

class MenuMarkTest : public MainWindowTest, public ::testing::WithParamInterface<TMarkCase>
{};

TEST_P(MenuMarkTest, ItemDrawsItsMark)
{
    const QAction& item = Child<QAction>(GetParam().name);
    const char* mark = !item.isCheckable()                                       ? "none"
                       : item.actionGroup() && item.actionGroup()->isExclusive() ? "round"
                                                                                 : "tick box";
    EXPECT_STREQ(mark, GetParam().mark);
}

INSTANTIATE_TEST_SUITE_P(Items, MenuMarkTest,
                         ::testing::Values(TMarkCase{"cs1", "round"}, TMarkCase{"cs5", "round"},
                                           TMarkCase{"fs1", "round"}, TMarkCase{"fs5", "round"},
                                           TMarkCase{"Stopcurrentprocesses1", "none"},
                                           TMarkCase{"Help1", "none"},
                                           TMarkCase{"Alwaysontop1", "tick box"},
                                           TMarkCase{"Verifyonly1", "tick box"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A click ticks the one set chosen, also a click on the set that is ticked already.
TEST_F(MainWindowTest, OptionSetsTickOneAtATime)
{
    const auto ticked = [this] {
        QStringList names;
        for (const char* name :
             {"cs1", "cs2", "cs3", "cs4", "cs5", "fs1", "fs2", "fs3", "fs4", "fs5"}) {
            if (Child<QAction>(name).isChecked())
                names << QString::fromLatin1(name);
        }
        return names;
    };
    EXPECT_EQ(ticked(), QStringList{"fs1"});
    Child<QAction>("fs4").trigger();
    EXPECT_EQ(ticked(), QStringList{"fs4"});
    Child<QAction>("fs4").trigger();
    EXPECT_EQ(ticked(), QStringList{"fs4"});
    EXPECT_EQ(form->OptionSets().LameSettingText(), QStringLiteral("Lame setting : APX"));
}

// LAME's help opens level with the window's left and top, wherever the window stands at each
// show, but never off the screen; and the window is no longer above the others.
TEST_F(MainWindowTest, LameHelpOpensAtTheWindowsPlaceAndEndsAlwaysOnTop)
{
    window.show();
    Child<QAction>("Alwaysontop1").trigger();
    ASSERT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    for (const QPoint place : {QPoint(120, 90), QPoint(30, 200)}) {
        window.move(place);
        Child<QAction>("LameHelpShow1").trigger();
        const auto& help = Child<QDialog>("HelpForm");
        EXPECT_TRUE(help.isVisible());
        EXPECT_EQ(help.pos(), window.pos());
    }
    const QRect screen = window.screen()->availableGeometry();
    window.move(screen.right() + 1 - window.width(), 10);
    Child<QAction>("LameHelpShow1").trigger();
    const auto& help = Child<QDialog>("HelpForm");
    EXPECT_EQ(help.frameGeometry().right(), screen.right())
        << "the wider viewer stays on the screen";
    EXPECT_EQ(help.y(), 10);
    EXPECT_FALSE(Child<QAction>("Alwaysontop1").isChecked());
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

// A stored place where the window could not be reached (a screen unplugged since) is moved by
// the least onto the screen; a place on the screen stays.
struct TPlaceCase
{
    const char* name;
    QPoint stored;
    // Where the window comes, given the screen and the window's size.
    std::function<QPoint(const QRect&, const QSize&)> placed;
};

class StoredPlaceTest : public MainWindowTest, public ::testing::WithParamInterface<TPlaceCase>
{};

TEST_P(StoredPlaceTest, WindowComesOntoTheScreen)
{
    const QPoint stored = GetParam().stored;
    ASSERT_EQ(TestStore(root.path())
                  .Write({{"width", TMainSettings::DefaultWidth},
                          {"Left", stored.x()},
                          {"Top", stored.y()}}),
              QString());
    form->FormCreate();
    window.applySettings();
    window.show();
    EXPECT_EQ(window.pos(), GetParam().placed(window.screen()->availableGeometry(), window.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Places, StoredPlaceTest,
    ::testing::Values(
        TPlaceCase{
            "on_the_screen", {20, 40}, [](const QRect&, const QSize&) { return QPoint(20, 40); }},
        TPlaceCase{"right_of_every_screen",
                   {5000, 40},
                   [](const QRect& screen, const QSize& size) {
                       return QPoint(screen.right() + 1 - size.width(), 40);
                   }},
        TPlaceCase{"above_and_left",
                   {-3000, -3000},
                   [](const QRect& screen, const QSize&) { return screen.topLeft(); }},
        TPlaceCase{"top_edge_above_the_screen",
                   {100, -10},
                   [](const QRect& screen, const QSize&) { return QPoint(100, screen.top()); }},
        TPlaceCase{"below_every_screen",
                   {100, 5000},
                   [](const QRect& screen, const QSize& size) {
                       return QPoint(100, screen.bottom() + 1 - size.height());
                   }}),
    [](const auto& info) { return std::string(info.param.name); });

// The option table opens centred over the window at its top, but never off the screen.
TEST_F(MainWindowTest, OptionTableOpensOnTheScreen)
{
    form->UserFolder = Save;
    form->FormCreate();
    form->FormActivate();
    window.move(0, 40);
    window.show();
    QRect placed;
    QString caption;
    QTimer::singleShot(0, [&] {
        QWidget* table = QApplication::activeModalWidget();
        ASSERT_NE(table, nullptr);
        placed = table->frameGeometry();
        caption = table->windowTitle();
        table->close();
    });
    form->mnuCustomSettingsClick();

    ASSERT_GT(placed.width(), window.width()) << "wide enough for an option string";
    EXPECT_EQ(caption, QStringLiteral("Quarlow - Lame options - Custom Names & Strings"));
    EXPECT_EQ(placed.left(), window.screen()->availableGeometry().left());
    EXPECT_EQ(placed.top(), 40);
}

// A click on the hint closes the program, and its next start checks for an update.
TEST_F(MainWindowTest, HintClickClosesAndArmsTheUpdateCheck)
{
    form->FormCreate();
    window.show();
    QTest::mouseClick(&Child<QLabel>("lblHint"), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    const TSettingsStore::TKey key = TestStore(root.path()).OpenForReading(QStringLiteral("width"));
    EXPECT_EQ(key.readString(QStringLiteral("julianday")).Value, QStringLiteral("10000"));
}

// A stop signal while a command's box or dialog is open ends it unanswered, and then the
// window closes as every close does, saving the settings.
struct TStopDuringCase
{
    const char* name;
    const char* command;
};

class StopDuringDialogTest : public MainWindowTest,
                             public ::testing::WithParamInterface<TStopDuringCase>
{};

TEST_P(StopDuringDialogTest, EndsTheDialogUnansweredAndClosesTheWindow)
{
    const TStopSignals stopSignals([this] { window.closeFromOutside(); });
    form->FormCreate();
    form->Settings.Update.DayToStore = QStringLiteral("12345");
    window.show();
    QString opened;
    QTimer stopWhenOpen;
    QObject::connect(&stopWhenOpen, &QTimer::timeout, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget(); dialog && opened.isEmpty()) {
            opened = QString::fromLatin1(dialog->metaObject()->className());
            ::kill(getpid(), SIGTERM);
        }
    });
    stopWhenOpen.start(0);
    EndDialogsLeftOpen();

    Child<QAction>(GetParam().command).trigger();

    EXPECT_FALSE(opened.isEmpty()) << "a dialog was open";
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(window.isVisible()) << "the window closed";
    EXPECT_TRUE(form->FormCloseQuery());
    EXPECT_EQ(TestStore(root.path())
                  .OpenForReading(QStringLiteral("width"))
                  .readString(QStringLiteral("julianday"))
                  .Value,
              QStringLiteral("12345"))
        << "the settings were saved";
}

INSTANTIATE_TEST_SUITE_P(Dialogs, StopDuringDialogTest,
                         ::testing::Values(TStopDuringCase{"message_box",
                                                           "CopyErrorListtoClipboard1"},
                                           TStopDuringCase{"option_table", "mnuCustomSettings"},
                                           TStopDuringCase{"save_folder_dialog", "mnuSaveTo"},
                                           TStopDuringCase{"codec_locator", "Checkcodecpaths1"}),
                         [](const auto& info) { return std::string(info.param.name); });

// With a settings folder that cannot be written, the close that a stop signal starts opens a
// box ("could not be saved"): nobody may be there to answer it, so it ends at once, and its
// text reaches stderr.
TEST_F(MainWindowTest, AStopEndsTheBoxTheCloseOpens)
{
    const TStopSignals stopSignals([this] { window.closeFromOutside(); });
    form->FormCreate();
    window.show();
    const QByteArray config = QFile::encodeName(root.filePath(QStringLiteral("config")));
    ASSERT_EQ(chmod(config.constData(), 0500), 0);
    EndDialogsLeftOpen();
    ::testing::internal::CaptureStderr();
    {
        const TWithoutPrivileges asAUser;
        ::kill(getpid(), SIGTERM);
        EXPECT_TRUE(RunEventsUntil([&] { return !window.isVisible(); }));
    }
    const std::string stderrText = ::testing::internal::GetCapturedStderr();
    chmod(config.constData(), 0700);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_NE(stderrText.find("quarlow: The settings could not be saved: Permission denied"),
              std::string::npos)
        << stderrText;
}

// F1 without the maker's web server opens the installed guide with xdg-open. When xdg-open
// finds no program for it (no browser installed: status 3), or is not there at all, a message
// says so.
struct TOpenerCase
{
    const char* name;
    // The stand-in's exit status; none: no xdg-open at all.
    std::optional<int> status;
    const char* problem;
};

class FailedOpenerTest : public MainWindowTest, public ::testing::WithParamInterface<TOpenerCase>
{};

TEST_P(FailedOpenerTest, F1SaysWhyTheGuideDidNotOpen)
{
    ASSERT_EQ(TestStore(root.path()).Write({{"WebHost", QString()}}), QString());
    form->ProgramFolder = root.filePath(QStringLiteral("prefix/bin/"));
    const QString guide = root.filePath(QStringLiteral("prefix/share/doc/quarlow/guide.html"));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(guide).path()) && WriteFile(guide, "<html></html>"));
    const QString tools = root.filePath(QStringLiteral("tools"));
    const QString given = root.filePath(QStringLiteral("given"));
    ASSERT_TRUE(QDir().mkpath(tools));
    if (const std::optional<int> status = GetParam().status) {
        const QString opener = tools + QStringLiteral("/xdg-open");
        ASSERT_TRUE(
            WriteFile(opener, QStringLiteral("#!/bin/sh\nprintf %s \"$1\" > '%1'\nexit %2\n")
                                  .arg(given)
                                  .arg(*status)
                                  .toUtf8()));
        ASSERT_EQ(chmod(QFile::encodeName(opener).constData(), 0755), 0);
    }
    TMessageAnswerer answerer;
    window.show();
    {
        // Only the stand-in, or nothing at all, is found.
        const TPathOverride onlyTools(tools);
        Child<QAction>("Help1").trigger();
    }

    ASSERT_TRUE(RunEventsUntil([&] { return !answerer.Texts.isEmpty(); }));
    const QString url = QUrl::fromLocalFile(guide).toString();
    EXPECT_EQ(answerer.Texts, QStringList{QStringLiteral("Could not open %1: %2")
                                              .arg(url, QString::fromUtf8(GetParam().problem))});
    if (GetParam().status) {
        EXPECT_EQ(ReadAll(given), url.toUtf8());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Openers, FailedOpenerTest,
    ::testing::Values(
        TOpenerCase{"no_browser", 3,
                    "xdg-open ended with status 3 (no program to open it is installed)"},
        TOpenerCase{"program_failed", 4,
                    "xdg-open ended with status 4 (the program that was to open it failed)"},
        TOpenerCase{"other_status", 9, "xdg-open ended with status 9"},
        TOpenerCase{"no_xdg_open", std::nullopt,
                    "no program could be started to open it (xdg-open is not installed)"}),
    [](const auto& info) { return std::string(info.param.name); });

// An xdg-open that is still at work when the window goes is stopped and reaped, and its end
// is told to nobody.
TEST_F(MainWindowTest, OpenerStillRunningIsStoppedWhenItsOwnerGoes)
{
    const QString tools = root.filePath(QStringLiteral("tools"));
    ASSERT_TRUE(QDir().mkpath(tools));
    ASSERT_TRUE(QFile::link(QStringLiteral(STALL_TOOL), tools + QStringLiteral("/xdg-open")));
    qputenv("STALL_PIDS", QFile::encodeName(Pids()));
    bool told = false;
    {
        TUrlOpener opener;
        const TPathOverride toolsFirst(tools + u':' + QString::fromLocal8Bit(qgetenv("PATH")));
        opener.open(QUrl(QStringLiteral("http://127.0.0.1:9/")),
                    [&](const QString&) { told = true; });
        ASSERT_TRUE(RunEventsUntil([&] { return !ReadAll(Pids()).isEmpty(); }));
    }
    const pid_t pid = ReadAll(Pids()).trimmed().toInt();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(::kill(pid, 0), -1) << "the opener is gone, reaped";
    EXPECT_EQ(errno, ESRCH);
    EXPECT_FALSE(told);
}

} // namespace
