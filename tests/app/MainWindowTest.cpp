#include "FileSystem.h"
#include "LocalNames.h"
#include "QtPrinters.h"
#include "TForm1.h"
#include "TMainWindow.h"
#include "TestMedia.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

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
    }

    void TearDown() override
    {
        form.reset();
        for (const char* name : {"STALL_ON", "STALL_PIDS"})
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
        ASSERT_TRUE(WriteFile(path, ReadAll(QStringLiteral(SHARED_DIR "/fixtures/") + fixture)));
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

    QTemporaryDir root;
    QString In;
    QString Save;
    TMainWindow window;
    std::unique_ptr<TForm1> form;

private:
    QByteArray m_savedTempDir;
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
    const QString stalled = root.filePath(QStringLiteral("stalled")) + u'/';
    ASSERT_TRUE(QDir().mkpath(stalled));
    ASSERT_TRUE(QFile::link(QStringLiteral(STALL_TOOL), stalled + QStringLiteral("lame")));
    form->LamePath = stalled;
    const QString pids = root.filePath(QStringLiteral("pids"));
    qputenv("STALL_PIDS", QFile::encodeName(pids));
    for (const QString name : {"a.wav", "b.wav"})
        ASSERT_TRUE(WriteFile(In + u'/' + name, SineWavBytes(1, 2)));
    window.show();
    window.activateWindow();
    QCoreApplication::processEvents();
    ASSERT_TRUE(window.isActiveWindow()) << "shortcuts reach only the active window";

    // Pressed once lame has started stalling, from the events the run pumps.
    bool pressed = false;
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (pressed || ReadAll(pids).isEmpty())
            return;
        pressed = true;
        QTest::keyClick(&window, Qt::Key_F4);
    });
    press.start(0);
    Drop({In + QStringLiteral("/a.wav"), In + QStringLiteral("/b.wav")});

    EXPECT_TRUE(pressed);
    EXPECT_FALSE(form->Busy);
    EXPECT_TRUE(form->CancelRequested);
    EXPECT_EQ(FilesBelow(Save), QList<QByteArray>());
    EXPECT_EQ(Rows("lbxCueList"), 0);
    EXPECT_FALSE(window.findChild<QAction*>(QStringLiteral("Stopcurrentprocesses1"))->isChecked());
}

struct TMenuCase
{
    const char* name;
    const char* caption;
    QKeySequence shortcut;
};

class PopupMenuTest : public ::testing::TestWithParam<TMenuCase>
{};

TEST_P(PopupMenuTest, ItemHasItsCaptionAndShortcut)
{
    TMainWindow window;
    auto* menu = window.findChild<QMenu*>(QStringLiteral("PopupMenu1"));
    ASSERT_NE(menu, nullptr);
    auto* item = menu->findChild<QAction*>(QString::fromLatin1(GetParam().name));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), QString::fromUtf8(GetParam().caption));
    EXPECT_EQ(item->shortcut(), GetParam().shortcut);
    // A shortcut works while the window has the focus, without the menu open.
    EXPECT_TRUE(window.actions().contains(item));
}

INSTANTIATE_TEST_SUITE_P(
    Items, PopupMenuTest,
    ::testing::Values(
        TMenuCase{"LameHelpShow1", "Show La&me Help", QKeySequence(Qt::CTRL | Qt::Key_L)},
        TMenuCase{"mnuSaveTo", "Save to:", QKeySequence(Qt::Key_F2)},
        TMenuCase{"Savetosourcedirectory1", "Save to Source Directory (toggle)",
                  QKeySequence(Qt::CTRL | Qt::Key_S)},
        TMenuCase{"mnuCustomSettings", "custom settings:", QKeySequence(Qt::Key_F3)},
        TMenuCase{"cs1", "empty", QKeySequence()}, TMenuCase{"cs5", "empty", QKeySequence()},
        TMenuCase{"standardoptions1", "standard settings:", QKeySequence()},
        TMenuCase{"fs1", "128 kb cbr", QKeySequence(Qt::CTRL | Qt::Key_F8)},
        TMenuCase{"fs2", "192 kb vbr", QKeySequence(Qt::CTRL | Qt::Key_F9)},
        TMenuCase{"fs3", "APS", QKeySequence(Qt::CTRL | Qt::Key_A)},
        TMenuCase{"fs4", "APX", QKeySequence(Qt::CTRL | Qt::Key_X)},
        TMenuCase{"fs5", "Insane", QKeySequence(Qt::CTRL | Qt::Key_I)},
        TMenuCase{"Stopcurrentprocesses1", "Cancel &Transcoding", QKeySequence(Qt::Key_F4)},
        TMenuCase{"ShowData", "Show &Cue, Tags, Errors (toggle)", QKeySequence(Qt::Key_F5)},
        TMenuCase{"Exit1", "E&xit when done (toggle)", QKeySequence(Qt::Key_F8)},
        TMenuCase{"Verifyonly1", "&Verify only (toggle)", QKeySequence(Qt::Key_F9)},
        TMenuCase{"Checkcodecpaths1", "&Find codec locations", QKeySequence(Qt::Key_F10)}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
