#include "WindowTestSupport.h"

#include "FileSystem.h"

#include <QDir>
#include <QDirIterator>
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

    form = std::make_unique<TForm1>(view);
    form->SaveDirName = Save;
    form->LamePath = ToolFolderOnPath(QStringLiteral("lame"));
    form->FlacPath = ToolFolderOnPath(QStringLiteral("flac"));
    form->ApePath = QStringLiteral(MAC_FOLDER);
    form->LameFound = form->FlacFound = form->ApeFound = form->MetaflacFound = true;
    form->LameVersionText = QStringLiteral("3.100");
    form->FlacVersionText = QStringLiteral("1.4.2");
    form->ApeVersionText = QStringLiteral("11.57");
    form->SetTicked(TMenuItem::fs1, true);
}

void TFormTest::TearDown()
{
    form.reset();
    EXPECT_EQ(TempWavFiles(), QStringList());
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

QStringList TFormTest::FilesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
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

QStringList TFormTest::TempWavFiles() const
{
    return QDir(Temp).entryList({QStringLiteral("~TT*")}, QDir::Files | QDir::Hidden);
}
