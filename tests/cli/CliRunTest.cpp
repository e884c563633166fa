// quarlow-cli end to end: the real executable, the real lame, flac and metaflac.
#include "CommandLine.h"
#include "QtPrinters.h"
#include "TCons.h"
#include "TestMedia.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

struct TCliResult
{
    int exitCode = -1;
    QString out;
    QString err;
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
    }

    void TearDown() override { EXPECT_EQ(FilesBelow(root.filePath("tmp")), QStringList()); }

    void Copy(const QString& fixture, const QString& relative)
    {
        ASSERT_TRUE(WriteFile(In + "/" + relative, ReadAll(SHARED_DIR "/fixtures/" + fixture)));
    }

    void Start(QProcess& process, const QStringList& args)
    {
        process.setProcessEnvironment(environment);
        process.start(QUARLOW_CLI, args);
        ASSERT_TRUE(process.waitForStarted());
    }

    TCliResult Run(const QStringList& args)
    {
        QProcess process;
        Start(process, args);
        process.waitForFinished(120000);
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
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
    EXPECT_EQ(ReadAll(In + "/album/cd1/a.flac"), ReadAll(SHARED_DIR "/fixtures/in.flac"));
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

// No intermediate file can be made: the job never runs, its line is all the error list
// holds, and the run must not count as a success.
TEST_F(CliRunTest, JobThatCannotRunFailsTheRun)
{
    Copy("in.flac", "a.flac");
    environment.insert("TMPDIR", root.filePath("missing"));
    const TCliResult r = Run({"--save-to", Out, In + "/a.flac"});
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith(In + "/a.flac: cannot create intermediate wav file\n"))
        << r.out.toStdString();
    EXPECT_EQ(FilesBelow(Out), QStringList());
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
    EXPECT_TRUE(r.err.startsWith("quarlow-cli: nothing to convert: no FLAC, APE or WAV file was "
                                 "taken (not found: flac"))
        << r.err.toStdString();
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

// Ctrl+C while LAME writes the second MP3: the first stays, nothing of the second remains.
TEST_F(CliRunTest, InterruptDuringAnEncodeLeavesNoPartialFiles)
{
    Copy("in.wav", "first.wav");
    const QString longWav = root.filePath("long.wav");
    ASSERT_TRUE(WriteFile(longWav, SineWavBytes(240, 2)));
    ASSERT_EQ(RunTool("flac", {"-s", "-0", longWav, "-o", In + "/long.flac"}), 0);
    QProcess process;
    Start(process, {"--save-to", Out, In + "/first.wav", In + "/long.flac"});
    QString out;
    QElapsedTimer timer;
    timer.start();
    while (!out.contains("Lame: " + In + "/long.flac") && timer.elapsed() < 60000) {
        process.waitForReadyRead(100);
        out += QString::fromUtf8(process.readAllStandardOutput());
    }
    ASSERT_TRUE(out.contains("Lame: " + In + "/long.flac")) << out.toStdString();
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000)) << "did not stop";
    EXPECT_EQ(process.exitCode(), 128 + SIGINT);
    EXPECT_EQ(FilesBelow(Out), QStringList({"first.mp3"}));
}

// The reader of the output goes away (as "| head -1" does): the next line meets a closed
// pipe. That stops the run like Ctrl+C; nothing of the cut job may remain.
TEST_F(CliRunTest, ClosedOutputStopsTheRunAndLeavesNoPartialFiles)
{
    const QString longWav = root.filePath("long.wav");
    ASSERT_TRUE(WriteFile(longWav, SineWavBytes(240, 2)));
    ASSERT_EQ(RunTool("flac", {"-s", "-0", longWav, "-o", In + "/long.flac"}), 0);
    Copy("in.wav", "b.wav");
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    QProcess process;
    process.setChildProcessModifier([&] { dup2(pipeFds[1], STDOUT_FILENO); });
    Start(process, {"--save-to", Out, In + "/long.flac", In + "/b.wav"});
    close(pipeFds[1]);
    // Read up to the decode's line, then close the only reading end.
    QByteArray out;
    char buffer[256];
    ssize_t got = 0;
    while (!out.contains("long.flac\n") && (got = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        out.append(buffer, got);
    close(pipeFds[0]);
    ASSERT_TRUE(out.contains("Flac: " + (In + "/long.flac").toUtf8())) << out.toStdString();
    ASSERT_TRUE(process.waitForFinished(60000)) << "did not stop";
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 128 + SIGPIPE);
    // The long job is cut at its encode's line; on a slow machine that line may still have
    // found the pipe open, and then b's job is the one cut.
    const QStringList made = FilesBelow(Out);
    EXPECT_TRUE(made.isEmpty() || made == QStringList{"long.mp3"}) << made.join(' ').toStdString();
}

// On a terminal the job's line is redrawn in place: one row per job, ending at 100%.
TEST_F(CliRunTest, OnATerminalEachJobIsOneRedrawnRow)
{
    Copy("in.wav", "a.wav");
    TCons cons;
    const QString line = QuoteArgument(QUARLOW_CLI) + " --save-to " + QuoteArgument(Out) + " " +
                         QuoteArgument(In + "/a.wav");
    ASSERT_TRUE(cons.Execute("cli", line, false, "0"));
    const QStringList rows = cons.Lines.filter(In + "/a.wav");
    ASSERT_EQ(rows.size(), 1) << cons.Lines.join('\n').toStdString();
    EXPECT_EQ(rows.first(), "Lame  [####################] 100%  " + In + "/a.wav");
    EXPECT_EQ(FilesBelow(Out), QStringList({"a.mp3"}));
}

// A path wider than the terminal gives way in the middle, so the row never wraps and each
// redraw still covers all of it.
TEST_F(CliRunTest, OnATerminalALongPathIsShortenedInTheMiddle)
{
    const QString relative = QString(240, u'd') + "/a.wav";
    Copy("in.wav", relative);
    TCons cons;
    const QString line = QuoteArgument(QUARLOW_CLI) + " --save-to " + QuoteArgument(Out) + " " +
                         QuoteArgument(In + "/" + relative);
    ASSERT_TRUE(cons.Execute("cli", line, false, "0"));
    const QStringList rows = cons.Lines.filter("a.wav");
    ASSERT_EQ(rows.size(), 1) << cons.Lines.join('\n').toStdString();
    EXPECT_TRUE(rows.first().startsWith("Lame  [####################] 100%  " + In.left(20)));
    EXPECT_TRUE(rows.first().endsWith("ddd/a.wav"));
    EXPECT_TRUE(rows.first().contains(u'…'));
    EXPECT_EQ(rows.first().size(), cons.BufferColumns - 1);
}

} // namespace
