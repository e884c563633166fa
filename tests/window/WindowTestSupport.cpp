#include "WindowTestSupport.h"

#include "FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void TFormTest::SetUp()
{
    ASSERT_TRUE(root.isValid());
    In = root.filePath(QStringLiteral("in"));
    Save = root.filePath(QStringLiteral("save")) + u'/';
    Temp = root.filePath(QStringLiteral("tmp"));
    ASSERT_TRUE(QDir().mkpath(In) && QDir().mkpath(Save) && QDir().mkpath(Temp));
    m_savedTempDir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(Temp));

    form = std::make_unique<TForm1>(view, TestStore(root.path()));
    Equip(*form);
}

void TFormTest::Equip(TForm1& logic) const
{
    logic.SaveDirName = Save;
    logic.LamePath = ToolFolderOnPath(QStringLiteral("lame"));
    logic.FlacPath = ToolFolderOnPath(QStringLiteral("flac"));
    logic.ApePath = QStringLiteral(MAC_FOLDER);
    logic.LameFound = logic.FlacFound = logic.ApeFound = logic.MetaflacFound = true;
    logic.LameVersionText = QStringLiteral("3.100");
    logic.FlacVersionText = QStringLiteral("1.4.2");
    logic.ApeVersionText = QStringLiteral("11.57");
    logic.SelectPreset(TMenuItem::fs1);
}

void TFormTest::TearDown()
{
    form.reset();
    for (const char* name : {"STALL_EXEC", "STALL_ON", "STALL_ROWS", "STALL_OUTPUT", "STALL_SIGNAL",
                             "STALL_FIFO", "STALL_PIDS"})
        qunsetenv(name);
    EXPECT_EQ(TempEntries(), QStringList());
    // Qt cannot remove a file whose name is not UTF-8.
    RemoveFolderTree(root.path());
    if (m_savedTempDir.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", m_savedTempDir);
}

void TFormTest::Write(const QString& path, const QByteArray& bytes)
{
    ASSERT_TRUE(WriteFile(path, bytes)) << path.toStdString();
}

void TFormTest::CopyFixture(const QString& fixture, const QString& path)
{
    Write(path, ReadAll(QStringLiteral(SHARED_DIR "/fixtures/") + fixture));
}

// Listed by the names' bytes, so that a name that is not UTF-8 shows as it is.
QStringList TFormTest::FilesBelow(const QString& folder)
{
    QStringList files;
    for (const TFolderEntry& entry : FolderEntries(folder)) {
        if (entry.Kind == TPathKind::Folder) {
            for (const QString& file : FilesBelow(folder + u'/' + entry.Name))
                files.append(entry.Name + u'/' + file);
        } else {
            files.append(entry.Name);
        }
    }
    files.sort();
    return files;
}

QList<QPair<QString, QByteArray>> TFormTest::Sources() const
{
    QList<QPair<QString, QByteArray>> sources;
    for (const QString& file : FilesBelow(In))
        sources.append({file, ReadAll(In + u'/' + file)});
    return sources;
}

QStringList TFormTest::TempEntries() const
{
    return QDir(Temp).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                QDir::NoDotAndDotDot);
}

void TFormTest::Stall(const QString& tool, const QByteArray& on, const QByteArray& rows,
                      const QByteArray& output)
{
    QString& folder = tool == u"mac"    ? form->ApePath
                      : tool == u"lame" ? form->LamePath
                                        : form->FlacPath;
    const QString stalled = root.filePath(QStringLiteral("stalled-") + tool) + u'/';
    ASSERT_TRUE(QDir().mkpath(stalled));
    for (const QString name : {"lame", "flac", "metaflac", "mac"}) {
        if (name != tool && QFile::exists(folder + name)) {
            ASSERT_TRUE(QFile::link(folder + name, stalled + name));
        }
    }
    ASSERT_TRUE(QFile::link(QStringLiteral(STALL_TOOL), stalled + tool));
    qputenv("STALL_EXEC", QFile::encodeName(folder + tool));
    qputenv("STALL_ON", on);
    qputenv("STALL_ROWS", rows);
    qputenv("STALL_OUTPUT", output);
    folder = stalled;
}
