#include "FileSystem.h"

#include "Pipes.h"
#include "QtPrinters.h"
#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileSystemTest : public ::testing::Test
{
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    void Touch(const QString& name)
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    QTemporaryDir dir;
};

TEST_F(FileSystemTest, EntriesCarryTheKindOfWhatTheyName)
{
    Touch(QStringLiteral("file.wav"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("x.flac")));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("file.wav")), Path(QStringLiteral("link.wav"))));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("x.flac")), Path(QStringLiteral("folderlink"))));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("gone")), Path(QStringLiteral("dangling.wav"))));
    ASSERT_EQ(mkfifo(QFile::encodeName(Path(QStringLiteral("pipe.wav"))).constData(), 0600), 0);

    QList<TFolderEntry> entries = FolderEntries(dir.path());
    std::sort(entries.begin(), entries.end(),
              [](const TFolderEntry& a, const TFolderEntry& b) { return a.Name < b.Name; });
    QStringList seen;
    for (const TFolderEntry& entry : entries)
        seen.append(entry.Name + u':' + QString::number(int(entry.Kind)));
    auto row = [](const char* name, TPathKind kind) {
        return QString::fromUtf8(name) + u':' + QString::number(int(kind));
    };
    EXPECT_EQ(seen, (QStringList{
                        row("dangling.wav", TPathKind::Missing), row("file.wav", TPathKind::File),
                        row("folderlink", TPathKind::Folder), row("link.wav", TPathKind::File),
                        row("pipe.wav", TPathKind::Other), row("x.flac", TPathKind::Folder)}));
    EXPECT_TRUE(FolderEntries(Path(QStringLiteral("missing"))).isEmpty());
}

// readdir's order is arbitrary; a listing comes as a file manager shows it.
TEST_F(FileSystemTest, EntriesComeInTheOrderAFileManagerShows)
{
    const QStringList shown = {"1.flac", "2.flac", "03.flac", "10.flac", "11.flac",
                               "a.flac", "B.flac", "c.flac",  "Disc 9",  "disc 10"};
    for (const QString& name : shown)
        Touch(name);
    QStringList listed;
    for (const TFolderEntry& entry : FolderEntries(dir.path()))
        listed.append(entry.Name);
    EXPECT_EQ(listed, shown);
}

TEST_F(FileSystemTest, FolderThatCannotBeListedSaysWhy)
{
    QString error;
    EXPECT_TRUE(FolderEntries(Path(QStringLiteral("missing")), &error).isEmpty());
    EXPECT_EQ(error, QStringLiteral("No such file or directory"));
}

TEST_F(FileSystemTest, FolderIdentityIsTheSameThroughALink)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("a")));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("a")), Path(QStringLiteral("b"))));
    const auto a = FolderIdentity(Path(QStringLiteral("a")));
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(FolderIdentity(Path(QStringLiteral("b"))), a);
    EXPECT_NE(FolderIdentity(dir.path()), a);
    Touch(QStringLiteral("f"));
    EXPECT_FALSE(FolderIdentity(Path(QStringLiteral("f"))).has_value());
}

TEST_F(FileSystemTest, FileExistsOnlyForNonFolders)
{
    Touch(QStringLiteral("f"));
    EXPECT_TRUE(FileExists(Path(QStringLiteral("f"))));
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(Path(QStringLiteral("missing"))));
    EXPECT_FALSE(FileExists(QString()));
}

// Only a regular file we may execute, reached directly or through links, is one to run.
TEST_F(FileSystemTest, RunnableFileIsARegularFileWeMayExecute)
{
    const auto make = [this](const char* name, mode_t mode) {
        Touch(QString::fromLatin1(name));
        ASSERT_EQ(chmod(QFile::encodeName(Path(QString::fromLatin1(name))).constData(), mode), 0);
    };
    make("program", 0755);
    make("data", 0644);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    ASSERT_EQ(mkfifo(QFile::encodeName(Path(QStringLiteral("pipe"))).constData(), 0755), 0);
    for (const auto& [link, target] : {std::pair{"to-program", "program"},
                                       {"to-data", "data"},
                                       {"to-folder", "folder"},
                                       {"to-to-program", "to-program"},
                                       {"dangling", "gone"}})
        ASSERT_TRUE(QFile::link(QString::fromLatin1(target), Path(QString::fromLatin1(link))));

    const std::pair<const char*, bool> cases[] = {
        {"program", true},   {"to-program", true}, {"to-to-program", true}, {"data", false},
        {"to-data", false},  {"folder", false},    {"to-folder", false},    {"pipe", false},
        {"dangling", false}, {"missing", false}};
    for (const auto& [name, runnable] : cases)
        EXPECT_EQ(IsRunnableFile(Path(QString::fromLatin1(name))), runnable) << name;
    EXPECT_FALSE(IsRunnableFile(QString()));
}

TEST_F(FileSystemTest, RemoveFileTellsWhetherItRemovedOne)
{
    Touch(QStringLiteral("f"));
    EXPECT_TRUE(RemoveFile(Path(QStringLiteral("f"))));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("f"))));
    EXPECT_FALSE(RemoveFile(Path(QStringLiteral("f"))));
    EXPECT_FALSE(RemoveFile(dir.path()));
}

TEST_F(FileSystemTest, ClearReadOnlyGivesTheOwnerWriteAccess)
{
    Touch(QStringLiteral("f"));
    const QString f = Path(QStringLiteral("f"));
    ASSERT_TRUE(QFile::setPermissions(f, QFileDevice::ReadOwner));
    ClearReadOnly(f);
    EXPECT_TRUE(QFileInfo(f).permissions() & QFileDevice::WriteOwner);
}

TEST_F(FileSystemTest, ForceFoldersCreatesEveryMissingLevel)
{
    const QString deep = Path(QStringLiteral("a/b c/d"));
    EXPECT_TRUE(ForceFolders(deep));
    EXPECT_TRUE(QFileInfo(deep).isDir());
    EXPECT_TRUE(ForceFolders(deep)) << "an existing folder is fine";
    Touch(QStringLiteral("file"));
    EXPECT_FALSE(ForceFolders(Path(QStringLiteral("file/sub"))));
}

// Only a regular file is opened, and never waited for: a pipe without a writer blocks an
// ordinary open for ever, a device never ends. What is opened is read-only, reads block as
// usual, and no tool inherits it.
struct TOpenCase
{
    const char* name;
    // Puts what the case names at path; returns false when it could not.
    bool (*make)(const QString& path);
    bool opens;
    // The test holds the pipe open for writing, so that a blocking open would return.
    bool withWriter = false;
};

void PrintTo(const TOpenCase& c, std::ostream* os)
{
    *os << c.name;
}

class OpenForReadingTest : public FileSystemTest, public ::testing::WithParamInterface<TOpenCase>
{};

TEST_P(OpenForReadingTest, OpensOnlyARegularFileAndNeverWaits)
{
    const TOpenCase& c = GetParam();
    const QString path = Path(QStringLiteral("source.flac"));
    ASSERT_TRUE(c.make(path));
    const int holder =
        c.withWriter ? open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK) : -1;
    QFile file;
    bool opened = false;
    RunWithoutWaiting("OpenForReading", [&] { opened = OpenForReading(file, path); });
    EXPECT_EQ(opened, c.opens);
    if (c.opens) {
        const int flags = fcntl(file.handle(), F_GETFL);
        EXPECT_EQ(flags & O_ACCMODE, O_RDONLY);
        EXPECT_EQ(flags & O_NONBLOCK, 0);
        EXPECT_TRUE(fcntl(file.handle(), F_GETFD) & FD_CLOEXEC);
        EXPECT_EQ(file.readAll(), QByteArray("audio"));
    }
    if (holder >= 0)
        close(holder);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OpenForReadingTest,
    ::testing::Values(
        TOpenCase{"regular_file", [](const QString& path) { return WriteFile(path, "audio"); },
                  true},
        TOpenCase{"pipe_without_a_writer", MakePipe, false},
        TOpenCase{"pipe_with_a_writer", MakePipe, false, true},
        TOpenCase{"device", [](const QString& path) { return QFile::link("/dev/zero", path); },
                  false},
        TOpenCase{"folder", [](const QString& path) { return QDir().mkdir(path); }, false},
        TOpenCase{"missing", [](const QString&) { return true; }, false}),
    [](const testing::TestParamInfo<TOpenCase>& info) { return std::string(info.param.name); });

struct TUpToDateCase
{
    const char* name;
    // Makes what stands under the MP3's name, given the source made a second before.
    bool (*make)(const QString& mp3, const QString& source);
    bool upToDate;
};

void PrintTo(const TUpToDateCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpToDateTest : public FileSystemTest, public ::testing::WithParamInterface<TUpToDateCase>
{};

// Only a readable regular file under the MP3's own name, not older than the source, is up to
// date.
TEST_P(UpToDateTest, OnlyAReadableMp3AsNewAsItsSource)
{
    const QString source = Path(QStringLiteral("a.flac"));
    const QString mp3 = Path(QStringLiteral("a.mp3"));
    ASSERT_TRUE(WriteFile(source, "audio"));
    ASSERT_TRUE(GetParam().make(mp3, source));
    EXPECT_EQ(IsUpToDate(mp3, source), GetParam().upToDate);
}

bool MadeLater(const QString& mp3, const QString& source)
{
    return WriteFile(mp3, "mp3") && SetModifiedFrom(mp3, source, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, UpToDateTest,
    ::testing::Values(
        TUpToDateCase{"newer", MadeLater, true},
        TUpToDateCase{"same_time",
                      [](const QString& mp3, const QString& source) {
                          return WriteFile(mp3, "mp3") && SetModifiedFrom(mp3, source, 0);
                      },
                      true},
        TUpToDateCase{"older",
                      [](const QString& mp3, const QString& source) {
                          return WriteFile(mp3, "mp3") && SetModifiedFrom(mp3, source, -1);
                      },
                      false},
        TUpToDateCase{"missing", [](const QString&, const QString&) { return true; }, false},
        TUpToDateCase{"link_to_a_newer_file",
                      [](const QString& mp3, const QString& source) {
                          return MadeLater(mp3 + ".real", source) &&
                                 QFile::link(mp3 + ".real", mp3);
                      },
                      false},
        TUpToDateCase{"folder",
                      [](const QString& mp3, const QString& source) {
                          return QDir().mkdir(mp3) && SetModifiedFrom(mp3, source, 1);
                      },
                      false},
        TUpToDateCase{"source_gone",
                      [](const QString& mp3, const QString& source) {
                          return MadeLater(mp3, source) && QFile::remove(source);
                      },
                      false}),
    [](const testing::TestParamInfo<TUpToDateCase>& info) { return std::string(info.param.name); });

TEST(HiddenNameTest, DotStartsAHiddenName)
{
    EXPECT_TRUE(IsHiddenName(QStringLiteral(".hidden")));
    EXPECT_FALSE(IsHiddenName(QStringLiteral("visible.flac")));
}

} // namespace
