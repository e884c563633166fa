// quarlow-cli end to end: the real executable, the real lame, flac and metaflac.
#include "BrokenSettings.h"
#include "CommandLine.h"
#include "FileSystem.h"
#include "Limits.h"
#include "LocalNames.h"
#include "Pipes.h"
#include "Privileges.h"
#include "QtPrinters.h"
#include "TCons.h"
#include "TSettingsStore.h"
#include "TestMedia.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TCliResult
{
    int exitCode = -1;
    // Without the last line that names the run's record, which is in record.
    QString out;
    QString err;
    QString record;
};

const QString RecordLine = "run record: ";

// A run stopped while the stand-in lame was stalled.
struct TStoppedRun
{
    int exitCode = -1; // -1: ended by a signal, or did not stop and was killed
    QString out;
    // The save folder's files when the signal was sent.
    QStringList filesWhenStopped;
    // Stand-in processes that were still running after quarlow-cli ended (the test ends them).
    QStringList leftRunning;
};

class CliRunTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        for (const char* folder : {"in", "out", "tmp"})
            ASSERT_TRUE(QDir(root.path()).mkpath(folder));
        In = root.filePath("in");
        Out = root.filePath("out");
        environment.insert("TMPDIR", root.filePath("tmp"));
        environment.insert("LC_ALL", "C.UTF-8");
        // The settings the window stored: none, unless a test writes some.
        environment.insert("XDG_CONFIG_HOME", root.filePath("config"));
        // Where the runs leave their records; a run on a terminal of the test's inherits it.
        environment.insert("XDG_STATE_HOME", root.filePath("state"));
        m_savedState = qgetenv("XDG_STATE_HOME");
        qputenv("XDG_STATE_HOME", QFile::encodeName(root.filePath("state")));
    }

    void TearDown() override
    {
        EXPECT_EQ(FilesBelow(root.filePath("tmp")), QStringList());
        // Qt cannot remove a file whose name is not UTF-8.
        RemoveFolderTree(root.path());
        if (m_savedState.isNull())
            qunsetenv("XDG_STATE_HOME");
        else
            qputenv("XDG_STATE_HOME", m_savedState);
    }

    void Copy(const QString& fixture, const QString& relative)
    {
        ASSERT_TRUE(WriteFile(In + "/" + relative, ReadAll(TEST_DATA_DIR "/fixtures/" + fixture)));
    }

    void Start(QProcess& process, const QStringList& args)
    {
        process.setProcessEnvironment(environment);
        if (childSetup)
            process.setChildProcessModifier(childSetup);
        // One job after the other unless the test asks for more: most tests here stop or watch
        // one job while the next has not begun.
        process.start(QUARLOW_CLI,
                      args.contains("--jobs") ? args : QStringList{"--jobs", "1"} + args);
        ASSERT_TRUE(process.waitForStarted());
    }

    TCliResult Run(const QStringList& args)
    {
        QProcess process;
        Start(process, args);
        process.waitForFinished(120000);
        TCliResult r{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                     QString::fromUtf8(process.readAllStandardOutput()),
                     QString::fromUtf8(process.readAllStandardError()),
                     {}};
        const qsizetype last = r.out.lastIndexOf('\n', -2) + 1;
        if (r.out.mid(last).startsWith(RecordLine)) {
            r.record = r.out.mid(last + RecordLine.size()).chopped(1);
            r.out.truncate(last);
        }
        return r;
    }

    // A folder for --lame-dir whose lame is the stand-in that stalls on the runs naming a
    // file that holds `on` (every run, the version probe too, when it is empty): it begins
    // the encode (the MP3 file and a first progress row) and never finishes it. Other runs
    // are the real lame's.
    QString StalledLameFolder(const QString& on)
    {
        const QString folder = StandInFolder("lame", {});
        environment.insert("STALL_EXEC", QStandardPaths::findExecutable("lame"));
        environment.insert("STALL_ON", on);
        environment.insert("STALL_ROWS", "    10/767   ( 1%)|    0:00/    0:00|    0:00/    "
                                         "0:00|   1.0000x|    0:00 \r");
        environment.insert("STALL_OUTPUT", ".mp3");
        return folder;
    }

    // A folder for --flac-dir whose flac is the stand-in that, on the runs naming a file that
    // holds `on`, puts a pipe in the place of the source and runs the real flac on it, as on a
    // source swapped for a pipe after every check: the real flac waits on the pipe.
    QString FlacOnAPipeFolder(const QString& on)
    {
        const QString folder = StandInFolder("flac", {"metaflac"});
        environment.insert("STALL_EXEC", QStandardPaths::findExecutable("flac"));
        environment.insert("STALL_ON", on);
        environment.insert("STALL_FIFO", ".flac");
        return folder;
    }

    // A folder of the test's where `tool` is the stand-in that stalls and the `others` are the
    // real tools.
    QString StandInFolder(const QString& tool, const QStringList& others)
    {
        const QString folder = root.filePath("stalled-" + tool) + "/";
        if (!QFile::exists(folder + tool)) {
            EXPECT_TRUE(QDir().mkpath(folder));
            EXPECT_TRUE(QFile::link(STALL_TOOL, folder + tool));
            for (const QString& other : others)
                EXPECT_TRUE(QFile::link(QStandardPaths::findExecutable(other), folder + other));
        }
        return folder;
    }

    // Runs quarlow-cli with the args and a lame that stalls on `on` (StalledLameFolder).
    // Once the stand-in has stalled and the output holds `shown`, sends `signal` to
    // quarlow-cli and waits for its end.
    TStoppedRun StopWhileLameStalls(QStringList args, int signal, const QString& on,
                                    const QString& shown = {})
    {
        args << "--lame-dir" << StalledLameFolder(on);
        const QString pidFile = root.filePath("stalled-lame.pids");
        QFile::remove(pidFile);
        environment.insert("STALL_PIDS", pidFile);
        TStoppedRun run;
        QProcess process;
        Start(process, args);
        // The stand-in never ends by itself; the deadline only bounds a broken run.
        QElapsedTimer timer;
        timer.start();
        while ((ReadAll(pidFile).count('\n') < stallsBeforeStop || !run.out.contains(shown) ||
                (readyToStop && !readyToStop())) &&
               process.state() == QProcess::Running && timer.elapsed() < 60000) {
            process.waitForReadyRead(20);
            run.out += QString::fromUtf8(process.readAllStandardOutput());
        }
        run.filesWhenStopped = FilesBelow(Out);
        if (process.state() == QProcess::Running)
            ::kill(pid_t(process.processId()), signal);
        if (!process.waitForFinished(20000)) {
            process.kill();
            process.waitForFinished();
        } else if (process.exitStatus() == QProcess::NormalExit) {
            run.exitCode = process.exitCode();
        }
        run.out += QString::fromUtf8(process.readAllStandardOutput());
        // quarlow-cli reaps the tools it ends; one still there was left behind.
        for (const QByteArray& line : ReadAll(pidFile).split('\n')) {
            const pid_t pid = line.toInt();
            if (pid > 0 && ::kill(pid, 0) == 0) {
                run.leftRunning << QString::number(pid);
                ::kill(pid, SIGKILL);
            }
        }
        return run;
    }

    static QStringList FilesBelow(const QString& folder)
    {
        QStringList files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(folder).relativeFilePath(it.next());
        files.sort();
        return files;
    }

    QTemporaryDir root;
    QString In;
    QString Out;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Run in the child before quarlow-cli starts (limits, privileges), when set.
    std::function<void()> childSetup;
    // StopWhileLameStalls stops the run once this many calls of lame stall and, when set,
    // readyToStop holds.
    int stallsBeforeStop = 1;
    std::function<bool()> readyToStop;

private:
    QByteArray m_savedState;
};

TEST_F(CliRunTest, FolderConvertsWithItsStructureAndTags)
{
    Copy("in.flac", "album/cd1/a.flac");
    Copy("in.wav", "album/c.wav");
    Copy("in.flac", "album/.hidden/x.flac");
    const TCliResult r = Run({"--save-to", Out, In + "/album"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    EXPECT_EQ(FilesBelow(Out), QStringList({"album/c.mp3", "album/cd1/a.mp3"}));
    const TMp3Tags tags = ReadMp3Tags(Out + "/album/cd1/a.mp3");
    EXPECT_EQ(tags.Title, "The \"Quoted\" Song");
    EXPECT_EQ(tags.Album, "Café Album");
    EXPECT_EQ(tags.Track, 3u);
    // Not a terminal: plain lines, one per stage.
    EXPECT_TRUE(r.out.contains("Lame: " + In + "/album/c.wav\n")) << r.out.toStdString();
    EXPECT_EQ(ReadAll(In + "/album/cd1/a.flac"), ReadAll(TEST_DATA_DIR "/fixtures/in.flac"));
}

// The fields besides the seven and the image beside the source reach the MP3; the comment
// frame reads cleanly.
TEST_F(CliRunTest, EveryFieldAndTheCoverBesideReachTheMp3)
{
    Copy("in.flac", "a.flac");
    const QByteArray cover = PngBytes(3, 3);
    ASSERT_TRUE(WriteFile(In + "/FRONT.png", cover));
    ASSERT_EQ(RunTool("metaflac", {"--set-tag=ALBUM_ARTIST=Various", "--set-tag=DISCNUMBER=1",
                                   "--set-tag=TOTALDISCS=2", "--set-tag=TRACKTOTAL=12",
                                   "--set-tag=COMPOSER=Bach",
                                   "--set-tag=REPLAYGAIN_ALBUM_PEAK=1.000", In + "/a.flac"}),
              0);
    const TCliResult r = Run({"--save-to", Out, In + "/a.flac"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    const QString mp3 = Out + "/a.mp3";
    const std::map<std::string, QString> frames = Id3v2Frames(mp3);
    const std::map<std::string, QString> expected = {{"TIT2", "The \"Quoted\" Song"},
                                                     {"TPE1", "Test Artist"},
                                                     {"TRCK", "3/12"},
                                                     {"TALB", "Café Album"},
                                                     {"COMM:", "Encoded for tests; naïve café"},
                                                     {"TCON", "Rock"},
                                                     {"TDRC", "2024"},
                                                     {"TPE2", "Various"},
                                                     {"TPOS", "1/2"},
                                                     {"TCOM", "Bach"},
                                                     {"TXXX:REPLAYGAIN_ALBUM_PEAK", "1.000"}};
    EXPECT_EQ(frames, expected);
    EXPECT_EQ(Id3v2Cover(mp3), cover);
    EXPECT_EQ(FfprobeWarnings(mp3), QString());
}

QStringList RecordLines(const QString& path)
{
    return QString::fromUtf8(ReadAll(path)).split('\n', Qt::SkipEmptyParts);
}

// A library of three folders converted once: --update converts again only what is new or
// changed, and every run names its record on its last line.
TEST_F(CliRunTest, UpdateConvertsOnlyWhatIsNewOrChanged)
{
    for (const char* file : {"lib/a/1.flac", "lib/a/2.wav", "lib/b/3.flac", "lib/c/4.wav"})
        Copy(QString::fromUtf8(file).endsWith(".flac") ? "in.flac" : "in.wav",
             QString::fromUtf8(file));
    const TCliResult first = Run({"--save-to", Out, In + "/lib"});
    ASSERT_EQ(first.exitCode, 0) << first.out.toStdString();
    ASSERT_EQ(FilesBelow(Out).size(), 4);
    const auto made = FilesWithTimes(Out);

    const TCliResult again = Run({"--update", "--save-to", Out, In + "/lib"});

    EXPECT_EQ(again.exitCode, 0) << again.out.toStdString();
    EXPECT_TRUE(FilesWithTimes(Out) == made) << "no MP3 was written again";
    EXPECT_TRUE(QRegularExpression("^0 converted, 4 up to date, 0 failed in \\d+:\\d\\d\n$")
                    .match(again.out)
                    .hasMatch())
        << again.out.toStdString();
    ASSERT_FALSE(again.record.isEmpty());
    EXPECT_NE(again.record, first.record);
    const QStringList record = RecordLines(again.record);
    EXPECT_TRUE(record.contains("update only: on")) << record.join('\n').toStdString();
    EXPECT_EQ(record.filter(QRegularExpression("^up to date: ")).size(), 4);
    EXPECT_EQ(record.last() + "\n", again.out);

    // 1.flac changes; 5.wav is added beside 3.flac, 6.flac in a new folder.
    ASSERT_TRUE(SetModifiedFrom(In + "/lib/a/1.flac", Out + "/lib/a/1.mp3", 10));
    Copy("in.wav", "lib/b/5.wav");
    Copy("in.flac", "lib/d/6.flac");
    const auto before = FilesWithTimes(Out);
    const TCliResult changed = Run({"--update", "--save-to", Out, In + "/lib"});

    EXPECT_EQ(changed.exitCode, 0) << changed.out.toStdString();
    EXPECT_EQ(ChangedFiles(before, FilesWithTimes(Out)),
              (QStringList{"lib/a/1.mp3", "lib/b/5.mp3", "lib/d/6.mp3"}));
    EXPECT_TRUE(changed.out.contains(
        QRegularExpression("\n3 converted, 3 up to date, 0 failed in \\d+:\\d\\d\n$")))
        << changed.out.toStdString();
}

// A record that cannot be written is said once on stderr; the run and its exit status are
// those of a run without it.
TEST_F(CliRunTest, RecordThatCannotBeWrittenIsSaidOnce)
{
    Copy("in.wav", "a.wav");
    Copy("in.wav", "b.wav");
    ASSERT_TRUE(WriteFile(root.filePath("state"), "a file where the folder would be"));

    const TCliResult r = Run({"--save-to", Out, In});

    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_EQ(FilesBelow(Out), (QStringList{"in/a.mp3", "in/b.mp3"}));
    EXPECT_EQ(r.err.count("quarlow-cli: The run record cannot be written: "), 1)
        << r.err.toStdString();
    EXPECT_EQ(r.record, QString());
}

TEST_F(CliRunTest, VerifyOnACorruptFlacReportsItsErrorEntry)
{
    Copy("corrupt.flac", "bad.flac");
    const TCliResult r = Run({"--save-to", Out, "--verify", In});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.contains("Message 1 - " + In + "/bad.flac\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("ERROR while decoding data"));
    EXPECT_TRUE(r.out.endsWith(QString(40, u'-') + "\nThere is an error message!\n"));
    EXPECT_EQ(FilesBelow(Out), QStringList());
}

// No intermediate file can be made: the FLAC job never runs, its line says why, and the run
// must not count as a success. A WAV job has no intermediate file and converts.
TEST_F(CliRunTest, JobThatCannotRunFailsTheRunAndSaysWhy)
{
    Copy("in.flac", "a.flac");
    Copy("in.wav", "b.wav");
    const QString locked = root.filePath("locked");
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0555), 0);
    struct Case
    {
        const char* name;
        QString tmp;
        QString reason;
    };
    for (const Case& c : {Case{"missing", root.filePath("missing"), "No such file or directory"},
                          Case{"not writable", locked, "Permission denied"}}) {
        SCOPED_TRACE(c.name);
        environment.insert("TMPDIR", c.tmp);
        // Root writes anywhere; the run goes without its privileges.
        childSetup = DropPrivilegesForGood;
        const TCliResult r = Run({"--save-to", Out, In + "/a.flac", In + "/b.wav"});
        EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
        EXPECT_TRUE(r.out.endsWith("\n" + In + "/a.flac: cannot create intermediate wav file (" +
                                   c.reason + ")\n"))
            << r.out.toStdString();
        EXPECT_EQ(r.out.count("cannot create intermediate"), 1) << r.out.toStdString();
        EXPECT_EQ(FilesBelow(Out), QStringList{"b.mp3"});
        EXPECT_EQ(FilesBelow(c.tmp), QStringList());
        QFile::remove(Out + "/b.mp3");
    }
}

TEST_F(CliRunTest, UsageErrorsExitWithTwoAndSayWhat)
{
    struct Case
    {
        QStringList args;
        QString message;
    };
    for (const Case& c : {Case{{"--nope", In}, "unknown option --nope"},
                          Case{{"--save-to", Out, In + "/missing.flac"},
                               "no such file or folder: " + In + "/missing.flac"},
                          Case{{}, "no file or folder to convert"}}) {
        const TCliResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, 2) << c.message.toStdString();
        EXPECT_TRUE(r.err.startsWith("quarlow-cli: " + c.message + "\n")) << r.err.toStdString();
        EXPECT_EQ(r.out, QString());
    }
}

TEST_F(CliRunTest, NothingToConvertFailsAndSaysWhy)
{
    Copy("in.flac", "a.flac");
    Copy("in.wav", "b.mp3");
    QTemporaryDir noTools;
    const TCliResult r = Run({"--save-to", Out, "--flac-dir", noTools.path(), In});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "quarlow-cli: nothing to convert: 2 files, FLAC files need flac (give the "
                     "folder with --flac-dir)\n");
    EXPECT_EQ(FilesBelow(Out), QStringList());
}

// A file name may hold anything but "/" and NUL; none of it may steer the terminal.
TEST_F(CliRunTest, ControlCharactersInNamesAreNotPrinted)
{
    const QString name = QStringLiteral("a\x1b[2J\ab.wav");
    Copy("in.wav", name);
    const TCliResult r = Run({"--save-to", Out, In + "/" + name});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.contains("Lame: " + In + "/a?[2J?b.wav\n")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains(QChar(0x1b)));
    EXPECT_EQ(FilesBelow(Out), QStringList({"a\x1b[2J\ab.mp3"}));
}

// quarlow-cli starts from what the window stored (its save folder and its option set, a
// custom one here) and changes nothing of it; the options override it for one run.
TEST_F(CliRunTest, StoredSaveFolderAndOptionSetAreTheDefaults)
{
    Copy("in.wav", "a.wav");
    const QString stored = root.filePath("stored");
    ASSERT_TRUE(QDir().mkpath(stored));
    const QString storeFile = root.filePath("config/Fendrick/KPZ05.json");
    ASSERT_EQ(TSettingsStore(storeFile, root.filePath("machine.json"))
                  .Write({{"width", 470},
                          {"SaveDirName", stored + "/"},
                          {"LameOptionName1", "Small"},
                          {"LameOptionString1", "-b 32"},
                          {"lamename", "Small"}}),
              QString());
    const QByteArray storedBytes = ReadAll(storeFile);

    TCliResult r = Run({In + "/a.wav"});
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();
    // Three seconds at 32 kbit/s are about 12 KB; the standard preset makes about 70 KB.
    EXPECT_LT(ReadAll(stored + "/a.mp3").size(), 20000);
    EXPECT_GT(ReadAll(stored + "/a.mp3").size(), 8000);

    r = Run({"--save-to", Out, "--preset", "APS", In + "/a.wav"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_GT(ReadAll(Out + "/a.mp3").size(), 30000);
    EXPECT_EQ(ReadAll(storeFile), storedBytes) << "quarlow-cli never writes the settings";
    EXPECT_TRUE(Run({"--help"}).out.contains(storeFile));
}

// A stored save folder that is not there (a drive not mounted) is said, with where the MP3s go
// instead, whenever the run would have saved into it; the store keeps it.
TEST_F(CliRunTest, StoredSaveFolderThatIsNotThereIsSaidWhenItWouldBeUsed)
{
    const QString home = root.filePath("home");
    ASSERT_TRUE(QDir().mkpath(home));
    environment.insert("HOME", home);
    const QString gone = root.filePath("gone") + "/";
    const QString storeFile = root.filePath("config/Fendrick/KPZ05.json");
    ASSERT_EQ(TSettingsStore(storeFile, root.filePath("machine.json"))
                  .Write({{"width", 470}, {"SaveDirName", gone}}),
              QString());
    const QByteArray storedBytes = ReadAll(storeFile);
    Copy("in.wav", "a.wav");
    struct Case
    {
        const char* name;
        QStringList options;
        QString err;
        QString made;
    };
    for (const Case& c :
         {Case{"stored folder",
               {},
               "quarlow-cli: Save folder " + gone + " is not there: saving to " + home + "/\n",
               home + "/a.mp3"},
          Case{"--save-to", {"--save-to", Out}, "", Out + "/a.mp3"},
          Case{"--save-to-source", {"--save-to-source"}, "", In + "/a.mp3"}}) {
        SCOPED_TRACE(c.name);
        const TCliResult r = Run(c.options + QStringList{In + "/a.wav"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(QFile::remove(c.made));
    }
    EXPECT_EQ(ReadAll(storeFile), storedBytes);
    EXPECT_FALSE(QFile::exists(gone));
}

class CliBrokenSettingsTest : public CliRunTest,
                              public ::testing::WithParamInterface<TBrokenSettings>
{};

// quarlow-cli only reads the settings: a file that cannot be read is named with its problem,
// the run goes on with the defaults, and the file stays where and as it is. A pipe in its
// place is never opened: the run does not hang on it.
TEST_P(CliBrokenSettingsTest, IsNamedAndTheRunGoesOnWithTheDefaults)
{
    const TBrokenSettings& shape = GetParam();
    const QString file = root.filePath("config/Fendrick/KPZ05.json");
    ASSERT_TRUE(MakeBrokenSettings(shape, file));
    Copy("in.wav", "a.wav");

    const TCliResult r = Run({"--save-to", Out, In + "/a.wav"});

    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_EQ(r.err, "quarlow-cli: " + file + " cannot be read (" + shape.problem +
                         "); going on with the default settings\n");
    EXPECT_EQ(FilesBelow(Out), QStringList{"a.mp3"});
    EXPECT_TRUE(IsBrokenSettings(shape, file));
    EXPECT_EQ(QDir(root.filePath("config/Fendrick"))
                  .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"KPZ05.json"});
}

INSTANTIATE_TEST_SUITE_P(Shapes, CliBrokenSettingsTest, ::testing::ValuesIn(BrokenSettingsShapes()),
                         [](const auto& info) { return std::string(info.param.name); });

// Every failure a job meets is in the error list, and the run does not count as a success.
struct TFailureCase
{
    const char* name;
    QStringList sources;
    // Sets the failure up; returns the row the error list must hold.
    QString (*prepare)(class FailureExitTest& test);
    QStringList made;
};

void PrintTo(const TFailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class FailureExitTest : public CliRunTest, public testing::WithParamInterface<TFailureCase>
{
public:
    using CliRunTest::childSetup;
    using CliRunTest::environment;
    using CliRunTest::In;
    using CliRunTest::root;
    using CliRunTest::StalledLameFolder;

    QStringList extraArgs;
};

TEST_P(FailureExitTest, IsListedAndTheExitStatusIsOne)
{
    const TFailureCase& c = GetParam();
    QStringList args{"--save-to", Out};
    for (const QString& source : c.sources) {
        Copy(source.section('.', -1) == "flac" ? "in.flac" : "in.wav", source);
        if (!source.contains('/'))
            args << In + "/" + source;
    }
    if (c.sources.first().contains('/'))
        args << In + "/" + c.sources.first().section('/', 0, 0);
    const QString row = c.prepare(*this);
    const TCliResult r = Run(args + extraArgs);
    const QString locked = In + "/album/locked";
    chmod(QFile::encodeName(locked).constData(), 0755);

    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("\n" + row + "\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("\nThere is an error message!\n")) << r.out.toStdString();
    EXPECT_EQ(FilesBelow(Out), c.made);
}

// A flac the system refuses to start: a script whose interpreter may not be executed. (A
// flac we may not execute at all is no tool and takes no FLAC file.)
QString DecoderThatCannotStart(FailureExitTest& test)
{
    const QString tools = test.root.filePath("tools") + "/";
    QDir().mkpath(tools);
    WriteFile(tools + "interpreter", "not a program");
    WriteFile(tools + "flac", "#!" + QFile::encodeName(tools) + "interpreter\n");
    QFile::setPermissions(tools + "flac", QFile::ReadOwner | QFile::ExeOwner);
    QFile::link(QStandardPaths::findExecutable("metaflac"), tools + "metaflac");
    test.extraArgs << "--flac-dir" << tools;
    return "cannot start " + tools + "flac: Permission denied";
}

QString EncoderKilled(FailureExitTest& test)
{
    test.extraArgs << "--lame-dir" << test.StalledLameFolder("a.wav");
    test.environment.insert("STALL_SIGNAL", "9");
    return "lame was stopped by signal 9 (Killed)";
}

// The disk is full once the encoder has written 20,000 bytes.
QString DiskFull(FailureExitTest& test)
{
    test.childSetup = [] {
        const rlimit limit{20000, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
    };
    return "lame was stopped by signal 25 (File size limit exceeded)";
}

QString SameMp3Twice(FailureExitTest& test)
{
    return test.root.filePath("out") + "/song.mp3 was made from " + test.In +
           "/song.flac in this run, so this file was not converted";
}

// What a recorder leaves that was stopped before it wrote the sizes: LAME would make an MP3
// without audio of it.
QString WavWithoutData(FailureExitTest& test)
{
    const QString wav = test.In + "/a.wav";
    WriteFile(wav, ReadAll(wav).replace(40, 4, QByteArray(4, '\0')));
    return "the WAV data chunk is empty, so it was not encoded";
}

// A picture of a kind LAME refuses (it would fail the whole encode) is left out; the MP3 is
// made without it.
QString CoverOfAnUnknownKind(FailureExitTest& test)
{
    WriteFile(test.In + "/cover.jpg", "BM" + QByteArray(100, 'b'));
    return test.In + "/cover.jpg is no JPEG, PNG or GIF image: the MP3 has no cover";
}

// Root reads any folder; the run goes without its privileges.
QString FolderUnreadable(FailureExitTest& test)
{
    const QString locked = test.In + "/album/locked";
    chmod(QFile::encodeName(locked).constData(), 0);
    test.childSetup = DropPrivilegesForGood;
    return "cannot read the folder " + locked + "/: Permission denied";
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailureExitTest,
    testing::Values(
        TFailureCase{
            "decoder_that_cannot_start", {"a.flac", "b.wav"}, DecoderThatCannotStart, {"b.mp3"}},
        TFailureCase{"encoder_killed", {"a.wav", "b.wav"}, EncoderKilled, {"b.mp3"}},
        TFailureCase{"disk_full", {"a.wav"}, DiskFull, {}},
        TFailureCase{"wav_without_data", {"a.wav", "b.wav"}, WavWithoutData, {"b.mp3"}},
        TFailureCase{"same_mp3_twice", {"song.flac", "song.wav"}, SameMp3Twice, {"song.mp3"}},
        TFailureCase{"cover_of_an_unknown_kind", {"a.flac"}, CoverOfAnUnknownKind, {"a.mp3"}},
        TFailureCase{"folder_unreadable",
                     {"album/a.wav", "album/locked/b.wav"},
                     FolderUnreadable,
                     {"album/a.mp3"}}),
    [](const testing::TestParamInfo<TFailureCase>& info) { return std::string(info.param.name); });

// Ctrl+C while LAME writes the second MP3: the first stays, nothing of the second remains.
TEST_F(CliRunTest, InterruptDuringAnEncodeKeepsTheFinishedMp3)
{
    Copy("in.wav", "first.wav");
    Copy("in.wav", "second.wav");
    const TStoppedRun r =
        StopWhileLameStalls({"--save-to", Out, In + "/first.wav", In + "/second.wav"}, SIGINT,
                            "second.wav", "Lame: " + In + "/second.wav\n");
    EXPECT_EQ(r.exitCode, 128 + SIGINT) << r.out.toStdString();
    EXPECT_EQ(r.leftRunning, QStringList());
    EXPECT_EQ(FilesBelow(Out), QStringList({"first.mp3"}));
}

// The reader of the output goes away (as "| head -1" does): the next line meets a closed
// pipe. That stops the run like Ctrl+C; nothing of the cut job may remain.
TEST_F(CliRunTest, ClosedOutputStopsTheRunAndLeavesNoPartialFiles)
{
    Copy("in.wav", "a.wav");
    Copy("in.wav", "b.wav");
    const QStringList args = {"--save-to",   Out,          "--lame-dir", StalledLameFolder("a.wav"),
                              In + "/a.wav", In + "/b.wav"};
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    QProcess process;
    process.setChildProcessModifier([&] { dup2(pipeFds[1], STDOUT_FILENO); });
    Start(process, args);
    close(pipeFds[1]);
    // No one reads: the first line, written when a's encode shows progress, meets a closed
    // pipe while the stalled encoder is still at work.
    close(pipeFds[0]);
    ASSERT_TRUE(process.waitForFinished(60000)) << "did not stop";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 128 + SIGPIPE);
    EXPECT_EQ(FilesBelow(Out), QStringList());
}

// On a terminal the job's line is redrawn in place: one row per job, ending at 100%.
TEST_F(CliRunTest, OnATerminalEachJobIsOneRedrawnRow)
{
    Copy("in.wav", "a.wav");
    TCons cons;
    const QString line = QuoteArgument(QUARLOW_CLI) + " --jobs 1 --save-to " + QuoteArgument(Out) +
                         " " + QuoteArgument(In + "/a.wav");
    ASSERT_TRUE(cons.Execute("cli", line, false, "0"));
    const QStringList rows = cons.Lines.filter(In + "/a.wav");
    ASSERT_EQ(rows.size(), 1) << cons.Lines.join('\n').toStdString();
    EXPECT_EQ(rows.first(), "Lame  [####################] 100%  " + In + "/a.wav");
    EXPECT_EQ(FilesBelow(Out), QStringList({"a.mp3"}));
}

// A name that is not UTF-8 given on the command line names its file, whose MP3 keeps the
// name's bytes; the terminal is shown U+FFFD in its place.
TEST_F(CliRunTest, ANameThatIsNotUtf8ConvertsWithItsOwnBytes)
{
    const QString name = PathFromBytes("caf\xe9");
    Copy("in.wav", name + ".wav");
    TCons cons;
    const QString line = QuoteArgument(QUARLOW_CLI) + " --jobs 1 --save-to " + QuoteArgument(Out) +
                         " " + QuoteArgument(In + "/" + name + ".wav");
    ASSERT_TRUE(cons.Execute("cli", line, false, "0"));
    EXPECT_EQ(cons.Lines.filter("caf\uFFFD.wav").size(), 1) << cons.Lines.join('\n').toStdString();
    EXPECT_EQ(PathKind(Out + "/" + name + ".mp3"), TPathKind::File);
    EXPECT_EQ(FolderEntries(Out).size(), 1);
}

// A path wider than the terminal gives way in the middle, so the row never wraps and each
// redraw still covers all of it.
TEST_F(CliRunTest, OnATerminalALongPathIsShortenedInTheMiddle)
{
    const QString relative = QString(240, u'd') + "/a.wav";
    Copy("in.wav", relative);
    TCons cons;
    const QString line = QuoteArgument(QUARLOW_CLI) + " --jobs 1 --save-to " + QuoteArgument(Out) +
                         " " + QuoteArgument(In + "/" + relative);
    ASSERT_TRUE(cons.Execute("cli", line, false, "0"));
    const QStringList rows = cons.Lines.filter("a.wav");
    ASSERT_EQ(rows.size(), 1) << cons.Lines.join('\n').toStdString();
    EXPECT_TRUE(rows.first().startsWith("Lame  [####################] 100%  " + In.left(20)));
    EXPECT_TRUE(rows.first().endsWith("ddd/a.wav"));
    EXPECT_TRUE(rows.first().contains(u'…'));
    EXPECT_EQ(rows.first().size(), cons.BufferColumns - 1);
}

// Every job but a verify ends in an encode: without lame, nothing is decoded in vain.
TEST_F(CliRunTest, WithoutLameOnlyAVerifyRuns)
{
    Copy("in.flac", "a.flac");
    QTemporaryDir noTools;
    ASSERT_TRUE(noTools.isValid());
    const QString missing = "quarlow-cli: lame not found (give its folder with --lame-dir)\n";
    struct Case
    {
        const char* name;
        QStringList args;
        QString path; // PATH for the run; empty keeps the test's own
        int exitCode;
        QString err;
        QString out;
    };
    const QProcessEnvironment before = environment;
    for (const Case& c :
         {Case{"--lame-dir without lame",
               {"--save-to", Out, "--lame-dir", noTools.path(), In},
               {},
               2,
               missing,
               ""},
          Case{"no lame on PATH", {"--save-to", Out, In}, noTools.path(), 2, missing, ""},
          Case{"verifying",
               {"--save-to", Out, "--verify", "--lame-dir", noTools.path(), In},
               {},
               0,
               "",
               "Flac: " + In + "/a.flac\n1 verified, 0 failed in "}}) {
        SCOPED_TRACE(c.name);
        environment = before;
        if (!c.path.isEmpty())
            environment.insert("PATH", c.path);
        const TCliResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.err, c.err);
        // The run's time closes the output.
        EXPECT_EQ(r.out.left(c.out.size()), c.out);
        EXPECT_EQ(r.out.count('\n'), c.out.isEmpty() ? 0 : 2) << r.out.toStdString();
        EXPECT_EQ(FilesBelow(Out), QStringList());
    }
}

// With no home folder the MP3s would go to "/": the run must be told where they go.
TEST_F(CliRunTest, WithoutAHomeFolderADestinationMustBeGiven)
{
    const QString name = "quarlow-cli-no-home-test";
    Copy("in.wav", name + ".wav");
    const QString source = In + "/" + name + ".wav";
    const QString noHome = "quarlow-cli: no home folder to save into (HOME is not set); give "
                           "--save-to DIR or --save-to-source\n";
    struct Case
    {
        const char* name;
        std::optional<QString> home; // nullopt: unset
        QStringList args;
        int exitCode;
        QString errStart;
        QStringList madeInOut;
        QStringList madeInIn;
    };
    for (const Case& c : {Case{"unset", std::nullopt, {source}, 2, noHome, {}, {name + ".wav"}},
                          Case{"empty", "", {source}, 2, noHome, {}, {name + ".wav"}},
                          Case{"unset, --save-to",
                               std::nullopt,
                               {"--save-to", Out, source},
                               0,
                               "",
                               {name + ".mp3"},
                               {name + ".wav"}},
                          Case{"empty, --save-to-source",
                               "",
                               {"--save-to-source", source},
                               0,
                               "",
                               {},
                               {name + ".mp3", name + ".wav"}}}) {
        SCOPED_TRACE(c.name);
        if (c.home)
            environment.insert("HOME", *c.home);
        else
            environment.remove("HOME");
        const TCliResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.err.left(c.errStart.size()), c.errStart);
        if (c.exitCode == 2) {
            EXPECT_EQ(r.out, QString());
        }
        EXPECT_EQ(FilesBelow(Out), c.madeInOut);
        EXPECT_EQ(FilesBelow(In), c.madeInIn);
        EXPECT_FALSE(QFile::exists("/" + name + ".mp3"));
        for (const QString& made :
             {Out + "/" + name + ".mp3", In + "/" + name + ".mp3", "/" + name + ".mp3"})
            QFile::remove(made);
    }
}

// Each stop signal cuts the encode like Ctrl+C: the run ends with 128 + the signal, the
// queued job never starts, and nothing of the cut one remains: no partial MP3 under any name
// in the save folder, no intermediate file, no encoder.
TEST_F(CliRunTest, EveryStopSignalCutsTheRunningEncode)
{
    Copy("in.wav", "a.wav");
    Copy("in.wav", "b.wav");
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGQUIT}) {
        SCOPED_TRACE(strsignal(signal));
        const TStoppedRun r = StopWhileLameStalls({"--save-to", Out, In + "/a.wav", In + "/b.wav"},
                                                  signal, "a.wav", "Lame: " + In + "/a.wav\n");
        EXPECT_FALSE(r.filesWhenStopped.isEmpty()) << "the encode had not begun its MP3";
        EXPECT_EQ(r.exitCode, 128 + signal) << r.out.toStdString();
        EXPECT_TRUE(r.out.startsWith("Lame: " + In + "/a.wav\n")) << r.out.toStdString();
        EXPECT_FALSE(r.out.contains("b.wav")) << r.out.toStdString();
        EXPECT_EQ(r.leftRunning, QStringList());
        EXPECT_EQ(FilesBelow(Out), QStringList());
        EXPECT_EQ(FilesBelow(root.filePath("tmp")), QStringList());
    }
}

// Before any job the tools are asked for their versions. A stop signal then must stop the
// probe, not kill quarlow-cli and leave the probed tool running, and no job may start.
TEST_F(CliRunTest, StopSignalDuringTheVersionProbeStopsItAndStartsNoJob)
{
    Copy("in.wav", "a.wav");
    for (int signal : {SIGINT, SIGQUIT}) {
        SCOPED_TRACE(strsignal(signal));
        const TStoppedRun r =
            StopWhileLameStalls({"--save-to", Out, In + "/a.wav"}, signal, QString());
        EXPECT_EQ(r.exitCode, 128 + signal);
        EXPECT_EQ(r.out, QString());
        EXPECT_EQ(r.leftRunning, QStringList());
        EXPECT_EQ(FilesBelow(Out), QStringList());
    }
}

// The process ids a stand-in wrote to its pid file.
QList<pid_t> StandInPids(const QString& pidFile)
{
    QList<pid_t> pids;
    for (const QByteArray& line : ReadAll(pidFile).split('\n')) {
        if (line.toInt() > 0)
            pids << pid_t(line.toInt());
    }
    return pids;
}

// A queued source that something else replaced with a pipe while earlier jobs ran is refused
// with its entry, one job at a time and several at once; nothing waits on the pipe, and the
// run converts the rest.
class ReplacedSourceTest : public CliRunTest, public testing::WithParamInterface<int>
{};

TEST_P(ReplacedSourceTest, IsRefusedAndTheRunGoesOn)
{
    const int jobs = GetParam();
    for (const char* file : {"a-stall.wav", "b-stall.wav", "d.wav"})
        Copy("in.wav", file);
    Copy("in.flac", "c.flac");
    const QString pidFile = root.filePath("stalled-lame.pids");
    environment.insert("STALL_PIDS", pidFile);
    QProcess process;
    Start(process, {"--jobs", QString::number(jobs), "--save-to", Out, "--lame-dir",
                    StalledLameFolder("-stall"), In + "/a-stall.wav", In + "/b-stall.wav",
                    In + "/c.flac", In + "/d.wav"});
    // Once the first jobs stall, c.flac becomes a pipe; then every stalled encoder is killed
    // as it shows up, so that the later jobs run. The deadline only bounds a broken run.
    QElapsedTimer timer;
    timer.start();
    bool swapped = false;
    QList<pid_t> killed;
    while (process.state() == QProcess::Running && timer.elapsed() < 60000) {
        const QList<pid_t> stalled = StandInPids(pidFile);
        if (!swapped && stalled.size() >= jobs)
            swapped = MakePipe(In + "/c.flac");
        for (pid_t pid : stalled) {
            if (swapped && !killed.contains(pid) && ::kill(pid, SIGKILL) == 0)
                killed << pid;
        }
        process.waitForFinished(20);
    }
    const bool ended = process.state() != QProcess::Running;
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    const QString out = QString::fromUtf8(process.readAllStandardOutput());

    ASSERT_TRUE(ended) << "the run waits on the pipe\n" << out.toStdString();
    EXPECT_TRUE(swapped);
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1) << out.toStdString();
    EXPECT_TRUE(QRegularExpression("\nMessage \\d+ - " +
                                   QRegularExpression::escape(In + "/c.flac") +
                                   "\nnot a regular file, so it was not converted\n")
                    .match(out)
                    .hasMatch())
        << out.toStdString();
    EXPECT_EQ(FilesBelow(Out), QStringList{"d.mp3"});
}

INSTANTIATE_TEST_SUITE_P(Jobs, ReplacedSourceTest, testing::Values(1, 2),
                         [](const testing::TestParamInfo<int>& info) {
                             return "jobs_" + std::to_string(info.param);
                         });

// Two decoders wait on sources swapped for pipes after every check: one Ctrl+C ends both,
// the waiting job never starts, and nothing of the run remains.
TEST_F(CliRunTest, InterruptEndsDecodersThatWaitOnPipes)
{
    Copy("in.flac", "a.flac");
    Copy("in.flac", "b.flac");
    Copy("in.wav", "c.wav");
    const QString pidFile = root.filePath("flac.pids");
    environment.insert("STALL_PIDS", pidFile);
    QProcess process;
    Start(process, {"--jobs", "2", "--save-to", Out, "--flac-dir", FlacOnAPipeFolder(".flac"),
                    In + "/a.flac", In + "/b.flac", In + "/c.wav"});
    // A writer can open a pipe once its reader has: then flac reads it and gets nothing.
    QList<int> writers;
    QElapsedTimer timer;
    timer.start();
    while (writers.size() < 2 && process.state() == QProcess::Running && timer.elapsed() < 60000) {
        for (const char* file : {"/a.flac", "/b.flac"}) {
            const int writer = OpenPipeWriter(In + file);
            if (writer >= 0 && writers.size() < 2)
                writers << writer;
        }
        process.waitForFinished(20);
    }
    EXPECT_EQ(writers.size(), 2) << "the decoders never opened their pipes";
    ::kill(pid_t(process.processId()), SIGINT);
    const bool ended = process.waitForFinished(20000);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    for (int writer : writers)
        close(writer);
    const QString out = QString::fromUtf8(process.readAllStandardOutput());

    ASSERT_TRUE(ended) << "one Ctrl+C did not end the run";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 128 + SIGINT) << out.toStdString();
    for (pid_t flac : StandInPids(pidFile))
        EXPECT_NE(::kill(flac, 0), 0) << "flac " << flac << " still runs";
    EXPECT_FALSE(out.contains("c.wav")) << out.toStdString();
    EXPECT_EQ(FilesBelow(Out), QStringList());
}

// Under the address-space limit that crashed --jobs 8, every job either makes its MP3 whole or
// is in the error list; quarlow-cli ends on its own, and nothing of a failed job remains.
TEST_F(CliRunTest, TightAddressSpaceFailsJobsWithTheirReasonAndLeavesNothing)
{
    if (UnderSanitizer)
        GTEST_SKIP() << "the sanitizers' own memory is far beyond the limit";
    QStringList sources;
    for (int i = 0; i < 6; ++i) {
        for (const char* kind : {"flac", "wav"}) {
            sources << QStringLiteral("%1%2.%1").arg(kind).arg(i);
            Copy(QStringLiteral("in.%1").arg(kind), sources.last());
        }
    }
    const QString reference = root.filePath("reference");
    ASSERT_EQ(Run({"--jobs", "2", "--save-to", reference, In}).exitCode, 0);
    childSetup = [] { SetSoftLimit(RLIMIT_AS, 250'000 * 1024); };
    const TCliResult r = Run({"--jobs", "8", "--save-to", Out, In});

    EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1) << r.exitCode << r.err.toStdString();
    for (const QString& source : sources) {
        const QString mp3 = "in/" + QString(source).replace(QRegularExpression("\\.\\w+$"), ".mp3");
        if (QFile::exists(Out + "/" + mp3)) {
            EXPECT_EQ(ReadAll(Out + "/" + mp3), ReadAll(reference + "/" + mp3))
                << mp3.toStdString();
        } else {
            EXPECT_TRUE(r.out.contains("Message ") && r.out.contains(In + "/" + source))
                << source.toStdString() << "\n"
                << r.out.toStdString();
        }
    }
    EXPECT_EQ(FilesBelow(Out).filter(".~TT"), QStringList());
}

// However narrow the terminal, each job keeps to one row short of the last column, counted
// in display columns (a CJK character takes two): a row that wraps leaves a line behind at
// every redraw.
TEST_F(CliRunTest, OnANarrowTerminalEachJobStaysOneRow)
{
    const QString wide = "日本語の歌";
    Copy("in.wav", "a.wav");
    Copy("in.wav", wide + ".wav");
    struct Case
    {
        int columns;
        QStringList files;
        QStringList rows;
    };
    for (const Case& c :
         {// Even the head does not fit: the row is cut.
          Case{20, {"a.wav", wide + ".wav"}, {"Lame  [############", "Lame  [############"}},
          // 14 columns left for the path; its file name alone takes 14 columns in 9 UTF-16
          // units, and the CJK characters on each side of the cut are kept whole.
          Case{50,
               {wide + ".wav"},
               {"Lame  [####################] 100%  " + In.left(6) + "…歌.wav"}}}) {
        SCOPED_TRACE(c.columns);
        TCons cons;
        cons.BufferColumns = c.columns;
        QString line = QuoteArgument(QUARLOW_CLI) + " --jobs 1 --save-to " + QuoteArgument(Out);
        QStringList made;
        for (const QString& file : c.files) {
            line += " " + QuoteArgument(In + "/" + file);
            made << QString(file).replace(".wav", ".mp3");
        }
        ASSERT_TRUE(cons.Execute("cli", line, false, "0"));
        EXPECT_EQ(cons.Lines.mid(0, c.rows.size()), c.rows);
        // The lines that close the run are plain lines, wrapped as the terminal likes.
        EXPECT_TRUE(cons.Lines.mid(c.rows.size())
                        .join(QString())
                        .startsWith(QStringLiteral("%1 converted, 0 failed in ").arg(made.size())))
            << cons.Lines.join(u'\n').toStdString();
        made.sort();
        EXPECT_EQ(FilesBelow(Out), made);
        QDir(Out).removeRecursively();
        QDir().mkpath(Out);
    }
}

// Several jobs at once give what one job after the other gives: the same MP3s byte for byte,
// the same error list in the same order, the same exit status.
struct TJobsCase
{
    const char* name;
    int jobs;
    // Relative path -> fixture.
    QList<QPair<QString, QString>> sources;
    // What the error list must say, whatever else it holds.
    QStringList errorRows;
};

void PrintTo(const TJobsCase& c, std::ostream* os)
{
    *os << c.name;
}

class ParallelJobsTest : public CliRunTest, public testing::WithParamInterface<TJobsCase>
{
protected:
    // The run's output without the progress lines, whose order depends on the jobs, and
    // without the run's time.
    static QStringList ErrorList(const QString& out)
    {
        static const QRegularExpression stage("^(Flac|Ape|Wav|Lame): ");
        static const QRegularExpression time(" in \\d+:\\d\\d$");
        QStringList rows = out.split('\n');
        rows.removeIf([](const QString& row) { return stage.match(row).hasMatch(); });
        rows.replaceInStrings(time, " in");
        return rows;
    }

    // Every file below the folder with its bytes.
    static QList<QPair<QString, QByteArray>> Contents(const QString& folder)
    {
        QList<QPair<QString, QByteArray>> contents;
        for (const QString& file : FilesBelow(folder))
            contents.append({file, ReadAll(folder + "/" + file)});
        return contents;
    }
};

TEST_P(ParallelJobsTest, GiveWhatOneJobAtATimeGives)
{
    const TJobsCase& c = GetParam();
    for (const auto& [relative, fixture] : c.sources)
        Copy(fixture, relative);
    const QString one = root.filePath("one");
    const QString many = root.filePath("many");
    const TCliResult r1 = Run({"--jobs", "1", "--save-to", one, In});
    const TCliResult rn = Run({"--jobs", QString::number(c.jobs), "--save-to", many, In});

    EXPECT_EQ(rn.exitCode, r1.exitCode) << rn.out.toStdString() << rn.err.toStdString();
    ASSERT_FALSE(FilesBelow(one).isEmpty());
    EXPECT_EQ(FilesBelow(many), FilesBelow(one));
    EXPECT_TRUE(Contents(many) == Contents(one)) << "the MP3s differ";
    EXPECT_EQ(ErrorList(rn.out), ErrorList(QString(r1.out).replace(one, many)));
    for (const QString& row : c.errorRows)
        EXPECT_TRUE(rn.out.contains("\n" + QString(row).replace("@", In) + "\n"))
            << row.toStdString() << "\n"
            << rn.out.toStdString();
    // Each source made its MP3 once: no job ran twice.
    for (const auto& [relative, fixture] : c.sources) {
        EXPECT_EQ(rn.out.count("Lame: " + In + "/" + relative + "\n"),
                  r1.out.count("Lame: " + In + "/" + relative + "\n"))
            << relative.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Folders, ParallelJobsTest,
    testing::Values(TJobsCase{"mixed_sources_and_failures",
                              3,
                              {{"a.flac", "in.flac"},
                               {"b.wav", "in.wav"},
                               {"c.flac", "corrupt.flac"},
                               {"cd2/d.flac", "in.flac"},
                               {"cd2/e.wav", "in.wav"},
                               {"f.flac", "truncated.flac"},
                               {"g.wav", "notaudio.flac"},
                               {"h.flac", "in.flac"}},
                              {"Message 1 - @/c.flac", "Message 2 - @/f.flac",
                               "Message 3 - @/g.wav"}},
                    // a.flac and a.wav make one MP3: the later waits for the earlier and then finds
                    // the MP3 made, as it does one job after the other.
                    TJobsCase{"one_destination",
                              2,
                              {{"a.flac", "in.flac"}, {"a.wav", "in.wav"}, {"b.wav", "in.wav"}},
                              {"Message 1 - @/a.wav"}}),
    [](const testing::TestParamInfo<TJobsCase>& info) { return std::string(info.param.name); });

// Ctrl+C while two encodes stall: both tools are stopped, both partial MP3s are gone, the MP3
// finished before stays whole, and nothing of the cut jobs remains.
TEST_F(CliRunTest, InterruptStopsEveryRunningEncode)
{
    Copy("in.wav", "a-done.wav");
    Copy("in.wav", "b-stall.wav");
    Copy("in.wav", "c-stall.wav");
    Copy("in.wav", "d-waits.wav");
    const QString reference = root.filePath("reference");
    ASSERT_EQ(Run({"--jobs", "1", "--save-to", reference, In + "/a-done.wav"}).exitCode, 0);
    stallsBeforeStop = 2;
    const TStoppedRun r =
        StopWhileLameStalls({"--jobs", "2", "--save-to", Out, In}, SIGINT, "-stall");

    EXPECT_EQ(r.filesWhenStopped.filter(".~TT").size(), 2)
        << r.filesWhenStopped.join(' ').toStdString();
    EXPECT_EQ(r.exitCode, 130) << r.out.toStdString();
    EXPECT_EQ(r.leftRunning, QStringList());
    EXPECT_EQ(FilesBelow(Out), QStringList({"in/a-done.mp3"}));
    EXPECT_EQ(ReadAll(Out + "/in/a-done.mp3"), ReadAll(reference + "/a-done.mp3"));
    EXPECT_FALSE(r.out.contains("d-waits")) << "no job starts after the Cancel";
}

// One slot's tool hangs or dies; the other slot works the rest of the queue off, and its MP3s
// are those one job at a time makes.
struct TBadSlotCase
{
    const char* name;
    const char* signal; // STALL_SIGNAL: the tool dies of it; empty: it hangs until the Cancel
    int exitCode;
};

void PrintTo(const TBadSlotCase& c, std::ostream* os)
{
    *os << c.name;
}

class BadSlotTest : public CliRunTest, public testing::WithParamInterface<TBadSlotCase>
{};

TEST_P(BadSlotTest, LeavesTheOtherSlotsAlone)
{
    const TBadSlotCase& c = GetParam();
    const QStringList good = {"b.wav", "c.flac", "d.wav"};
    Copy("in.wav", "a-bad.wav");
    for (const QString& file : good)
        Copy(file.endsWith(".flac") ? "in.flac" : "in.wav", file);
    const QString reference = root.filePath("reference");
    ASSERT_EQ(Run({"--jobs", "1", "--save-to", reference, In}).exitCode, 0);
    const QStringList made = {"in/b.mp3", "in/c.mp3", "in/d.mp3"};
    const QStringList args = {"--jobs", "2", "--save-to", Out, In};
    TCliResult r;
    if (c.signal[0] != 0) {
        environment.insert("STALL_SIGNAL", c.signal);
        r = Run(args + QStringList{"--lame-dir", StalledLameFolder("a-bad")});
    } else {
        // A hanging tool holds its slot until the Cancel, which comes once the others are done.
        readyToStop = [&] {
            return FilesBelow(Out).filter(QRegularExpression("^in/[bcd]\\.mp3$")) == made;
        };
        const TStoppedRun stopped = StopWhileLameStalls(args, SIGINT, "a-bad");
        EXPECT_EQ(stopped.leftRunning, QStringList());
        r = {stopped.exitCode, stopped.out, {}, {}};
    }

    EXPECT_EQ(r.exitCode, c.exitCode) << r.out.toStdString();
    EXPECT_EQ(FilesBelow(Out), made);
    for (const QString& mp3 : made)
        EXPECT_EQ(ReadAll(Out + "/" + mp3), ReadAll(reference + "/" + mp3)) << mp3.toStdString();
    EXPECT_EQ(r.out.count("Message "), c.signal[0] != 0 ? 1 : 0) << r.out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Faults, BadSlotTest,
                         testing::Values(TBadSlotCase{"tool_hangs", "", 128 + SIGINT},
                                         TBadSlotCase{"tool_dies", "9", 1}),
                         [](const testing::TestParamInfo<TBadSlotCase>& info) {
                             return std::string(info.param.name);
                         });

// On a terminal: a row per running job and one for the run while it goes on; each job's last
// row stays, and a line at the end counts the jobs.
TEST_F(CliRunTest, OnATerminalEachJobLeavesOneRowAndTheRunIsCounted)
{
    Copy("in.wav", "a.wav");
    Copy("in.flac", "b.flac");
    Copy("corrupt.flac", "c.flac");
    TCons cons;
    const QString line = QuoteArgument(QUARLOW_CLI) + " --jobs 2 --save-to " + QuoteArgument(Out) +
                         " " + QuoteArgument(In);
    ASSERT_TRUE(cons.Execute("cli", line, false, "0"));
    const QString text = cons.Lines.join('\n');
    EXPECT_EQ(cons.Lines.filter("Lame  [####################] 100%  ").size(), 2)
        << text.toStdString();
    EXPECT_EQ(cons.Lines.filter(In + "/a.wav").size(), 1) << text.toStdString();
    EXPECT_EQ(cons.Lines.filter(In + "/b.flac").size(), 1) << text.toStdString();
    EXPECT_EQ(cons.Lines
                  .filter(QRegularExpression("^Flac .*" +
                                             QRegularExpression::escape(In + "/c.flac") + "$"))
                  .size(),
              1)
        << text.toStdString();
    EXPECT_EQ(
        cons.Lines.filter(QRegularExpression("^2 converted, 1 failed in \\d+:\\d\\d$")).size(), 1)
        << text.toStdString();
    EXPECT_EQ(cons.Lines.filter("files done").size(), 0) << "the run's row is gone at the end";
    EXPECT_EQ(FilesBelow(Out), QStringList({"in/a.mp3", "in/b.mp3"}));
}

} // namespace
