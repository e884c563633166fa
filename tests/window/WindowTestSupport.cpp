#include "WindowTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QtEndian>
#include <taglib/fileref.h>
#include <taglib/tag.h>

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
    form->LamePath = FolderOnPath(QStringLiteral("lame"));
    form->FlacPath = FolderOnPath(QStringLiteral("flac"));
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
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
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

QByteArray WavBytes(int seconds)
{
    constexpr quint32 rate = 44100;
    constexpr quint16 channels = 2;
    constexpr quint16 bits = 16;
    constexpr quint32 blockBytes = channels * bits / 8;
    const quint32 dataBytes = rate * blockBytes * quint32(seconds);
    QByteArray wav("RIFF....WAVEfmt ....");
    wav.resize(44 + qsizetype(dataBytes));
    auto put32 = [&wav](qsizetype at, quint32 value) { qToLittleEndian(value, wav.data() + at); };
    auto put16 = [&wav](qsizetype at, quint16 value) { qToLittleEndian(value, wav.data() + at); };
    put32(4, 36 + dataBytes);
    put32(16, 16);
    put16(20, 1);
    put16(22, channels);
    put32(24, rate);
    put32(28, rate * blockBytes);
    put16(32, blockBytes);
    put16(34, bits);
    wav.replace(36, 4, "data");
    put32(40, dataBytes);
    // A tone whose pitch rises, so the encoder has real work on every frame.
    for (quint32 i = 0; i < dataBytes / 2; ++i)
        put16(44 + 2 * qsizetype(i), quint16((i * (1 + i / 400000)) % 16000));
    return wav;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TMp3Tags ReadMp3Tags(const QString& path)
{
    TagLib::FileRef file(QFile::encodeName(path).constData());
    if (file.isNull() || !file.tag())
        return {};
    const TagLib::Tag* tag = file.tag();
    auto text = [](const TagLib::String& s) { return QString::fromStdString(s.to8Bit(true)); };
    return {text(tag->title()), text(tag->artist()), text(tag->album()), tag->track()};
}

QString FolderOnPath(const QString& program)
{
    return QFileInfo(QStandardPaths::findExecutable(program)).path() + u'/';
}
