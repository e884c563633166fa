#include "TCons.h"

#include "CommandLine.h"
#include "Limits.h"
#include "QtPrinters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString helperLine(const QString& mode, const QString& arg = {}, const QString& marker = {})
{
    QStringList parts = {QuoteArgument(CONSOLE_HELPER), mode};
    if (!arg.isEmpty())
        parts << QuoteArgument(arg);
    if (!marker.isEmpty())
        parts << QuoteArgument(marker);
    return parts.join(u' ');
}

class TConsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        cons.OnPoll = [this](TCons* sender) {
            EXPECT_EQ(sender, &cons);
            ++polls;
        };
    }

    bool run(const QString& mode, const QString& arg = {}, const QString& workDir = "0")
    {
        return cons.Execute("test", helperLine(mode, arg), false, workDir);
    }

    TCons cons;
    int polls = 0;
};

TEST_F(TConsTest, RedrawnRowHoldsItsLatestText)
{
    ASSERT_TRUE(run("redraw"));
    EXPECT_EQ(cons.Lines, QStringList({"progress 100%"}));
    EXPECT_GE(polls, 2);
    EXPECT_FALSE(cons.ConsoleReady);
    EXPECT_EQ(cons.title(), "test");
}

struct RowsCase
{
    const char* name;
    const char* mode;
    QString arg;
    QStringList expected;
};

class TConsRowsTest : public TConsTest, public testing::WithParamInterface<RowsCase>
{};

TEST_P(TConsRowsTest, FinalSnapshot)
{
    ASSERT_TRUE(run(GetParam().mode, GetParam().arg));
    EXPECT_EQ(cons.Lines, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TConsRowsTest,
    testing::Values(
        RowsCase{"NoOutputIsOneEmptyRow", "nothing", {}, {""}},
        RowsCase{"RowsZeroAndFive", "rows05", {}, {"top row", "", "", "", "", "row five"}},
        RowsCase{"LeadingBlanksStayTrailingGo", "blanks", {}, {"  50%"}},
        RowsCase{"LongLineWrapsAt265", "long", "300", {QString(265, u'x'), QString(35, u'x')}},
        RowsCase{"Utf8WideCharactersOnce", "utf8", {}, {"Café naïve 日本語 end"}},
        RowsCase{"ArgumentWithQuotesAndBlanks", "print", "say \"hi\"  -x", {"say \"hi\"  -x"}}),
    [](const testing::TestParamInfo<RowsCase>& info) { return std::string(info.param.name); });

TEST_F(TConsTest, KeepsTheNewest200Rows)
{
    ASSERT_TRUE(run("lines", "1000"));
    // 1,000 rows each ended by a line feed leave the cursor on an empty bottom row.
    ASSERT_EQ(cons.Lines.size(), 199);
    EXPECT_EQ(cons.Lines.first(), "line 801");
    EXPECT_EQ(cons.Lines.last(), "line 999");
}

TEST_F(TConsTest, WorkDirZeroInheritsOtherTextsAreTheFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(run("pwd", {}, "0"));
    EXPECT_EQ(cons.Lines, QStringList({QDir::currentPath()}));
    ASSERT_TRUE(run("pwd", {}, dir.path()));
    EXPECT_EQ(cons.Lines, QStringList({QFileInfo(dir.path()).canonicalFilePath()}));
}

TEST_F(TConsTest, AbortFromAPollEndsTheChildBeforeTheNextWait)
{
    int abortedAt = -1;
    cons.OnPoll = [&](TCons*) {
        ++polls;
        if (polls == 2) {
            cons.Abort = true;
            abortedAt = polls;
        }
    };
    ASSERT_TRUE(run("sleep"));
    // The request lands before the next wait: only the final poll follows the child's end.
    EXPECT_EQ(polls - abortedAt, 1);
    EXPECT_EQ(cons.Lines, QStringList({"sleeping"}));
    EXPECT_TRUE(cons.Abort) << "the runner never resets Abort";
}

// A Cancel usually arrives while the events are pumped: the tool must not get another poll
// period to run on.
TEST_F(TConsTest, AbortFromThePumpEndsTheChildBeforeTheNextWait)
{
    cons.Pump = [this] { cons.Abort = true; };
    ASSERT_TRUE(run("sleep"));
    // The poll after the pump and the final poll; no wait in between saw a live child.
    EXPECT_EQ(polls, 2);
    EXPECT_EQ(cons.endRow("helper"), "helper was stopped by signal 9 (Killed)");
}

// How a tool ended is told in one row, so that an error list can say it.
TEST_F(TConsTest, EndRowSaysHowTheToolEnded)
{
    ASSERT_TRUE(run("exit", "0"));
    EXPECT_TRUE(cons.endedCleanly());
    EXPECT_EQ(cons.endRow("tool"), QString());
    ASSERT_TRUE(run("exit", "3"));
    EXPECT_FALSE(cons.endedCleanly());
    EXPECT_EQ(cons.endRow("tool"), "tool ended with exit status 3");
    cons.OnPoll = [this](TCons*) { cons.Abort = true; };
    ASSERT_TRUE(run("sleep"));
    EXPECT_FALSE(cons.endedCleanly());
    EXPECT_EQ(cons.endRow("lame"), "lame was stopped by signal 9 (Killed)");
    // The next run starts afresh.
    cons.OnPoll = nullptr;
    cons.Abort = false;
    ASSERT_TRUE(run("print", "x"));
    EXPECT_TRUE(cons.endedCleanly());
}

TEST_F(TConsTest, SecondRunStartsFromAClearedScreen)
{
    ASSERT_TRUE(run("rows05"));
    ASSERT_TRUE(run("nothing"));
    EXPECT_EQ(cons.Lines, QStringList({""}));
}

TEST_F(TConsTest, StartFailureKeepsLinesAndCallsNoPoll)
{
    ASSERT_TRUE(run("print", "kept"));
    polls = 0;
    struct Case
    {
        QString commandLine;
        QString workDir;
    };
    QTemporaryDir dir;
    for (const Case& c :
         {Case{"no-such-tool-anywhere --x", "0"}, Case{QuoteArgument(dir.filePath("missing")), "0"},
          Case{helperLine("print", "x"), dir.filePath("no-such-folder")},
          Case{helperLine("print", "x"), ""}, Case{"", "0"}}) {
        EXPECT_FALSE(cons.Execute("t", c.commandLine, false, c.workDir))
            << c.commandLine.toStdString();
        EXPECT_FALSE(cons.startError().isEmpty());
        EXPECT_EQ(cons.Lines, QStringList({"kept"}));
        EXPECT_EQ(polls, 0);
        EXPECT_FALSE(cons.ConsoleReady);
    }
}

// A tool file that is not a program (shell text without a "#!" line) is not started: no shell
// ever runs it, by its path or found on PATH.
TEST_F(TConsTest, FileThatIsNoProgramIsNotHandedToAShell)
{
    QTemporaryDir dir;
    const QString marker = dir.filePath("ran");
    const QString tool = dir.filePath("tool");
    QFile file(tool);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("touch " + QFile::encodeName(marker) + "\n");
    file.close();
    ASSERT_TRUE(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()) + ':' + path);
    for (const QString& commandLine : {QuoteArgument(tool), QStringLiteral("tool")}) {
        EXPECT_FALSE(cons.Execute("t", commandLine, false, "0")) << commandLine.toStdString();
        EXPECT_TRUE(cons.startError().endsWith(QStringLiteral(": Exec format error")))
            << cons.startError().toStdString();
    }
    qputenv("PATH", path);
    EXPECT_FALSE(QFile::exists(marker)) << "a shell ran the tool file";
}

int openFdCount()
{
    return static_cast<int>(QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size());
}

// What a run needs is had before its tool starts; a run that cannot have it does not start
// (rather than start and then wait for ever for its reader, or crash in the screen model),
// says why in the system's words and leaves nothing behind.
struct StartFailureCase
{
    const char* name;
    int resource;
    rlim_t (*limit)();
    // The screen the run asks for.
    int rows;
    int columns;
    const char* failure;
    // The limit is too tight for the sanitizers' own books.
    bool tight;
};

class TConsStartFailureTest : public TConsTest, public testing::WithParamInterface<StartFailureCase>
{};

TEST_P(TConsStartFailureTest, FailsCleanlyAndSaysWhy)
{
    const StartFailureCase& c = GetParam();
    if (c.tight && UnderSanitizer)
        GTEST_SKIP() << "the sanitizers need what the limit takes away";
    ASSERT_TRUE(run("print", "kept"));
    polls = 0;
    const int fdsBefore = openFdCount();
    cons.BufferRows = c.rows;
    cons.BufferColumns = c.columns;
    bool started = true;
    {
        const rlim_t limit = c.limit();
        ASSERT_NE(limit, RLIM_INFINITY);
        const TFreshThreadStacks freshStacks;
        const TResourceLimit lowered(c.resource, limit);
        ASSERT_TRUE(lowered.isSet());
        started = run("print", "x");
    }

    EXPECT_FALSE(started);
    EXPECT_EQ(cons.startError(), QStringLiteral("cannot start " CONSOLE_HELPER ": ") + c.failure);
    EXPECT_EQ(cons.Lines, QStringList({"kept"}));
    EXPECT_EQ(polls, 0);
    EXPECT_EQ(openFdCount(), fdsBefore);
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD) << "a tool was started";
    cons.BufferRows = 200;
    cons.BufferColumns = 265;
    ASSERT_TRUE(run("print", "again")) << "the runner works again once the limit is gone";
    EXPECT_EQ(cons.Lines, QStringList({"again"}));
}

INSTANTIATE_TEST_SUITE_P(
    Limits, TConsStartFailureTest,
    testing::Values(
        // The largest screen a terminal can have: far more memory than a gigabyte.
        StartFailureCase{"no_memory_for_the_screen", RLIMIT_AS,
                         [] { return AddressSpaceWithRoom(size_t(1) << 30); }, 65535, 65535,
                         "terminal screen: Cannot allocate memory", false},
        // Room for a small screen, none for the reader's stack.
        StartFailureCase{"no_memory_for_the_reader", RLIMIT_AS,
                         [] { return AddressSpaceWithRoom(size_t(1) << 20); }, 2, 20,
                         "terminal reader: Resource temporarily unavailable", true},
        StartFailureCase{"no_descriptor_for_the_wake_up", RLIMIT_NOFILE,
                         [] { return DescriptorsWithRoom(0); }, 200, 265,
                         "eventfd: Too many open files", true},
        StartFailureCase{"no_descriptor_for_the_terminal", RLIMIT_NOFILE,
                         [] { return DescriptorsWithRoom(1); }, 200, 265,
                         "openpty: Too many open files", true},
        StartFailureCase{"no_descriptor_for_its_far_side", RLIMIT_NOFILE,
                         [] { return DescriptorsWithRoom(2); }, 200, 265,
                         "openpty: Too many open files", true},
        StartFailureCase{"no_descriptor_for_the_exec_pipe", RLIMIT_NOFILE,
                         [] { return DescriptorsWithRoom(3); }, 200, 265,
                         "pipe: Too many open files", true}),
    [](const testing::TestParamInfo<StartFailureCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(TConsTest, LastRowBeforeExitIsAlwaysInTheFinalSnapshot)
{
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(run("lastrow"));
        ASSERT_EQ(cons.Lines, QStringList({"encoding", "Writing LAME Tag...done"})) << "run " << i;
    }
}

TEST_F(TConsTest, PumpRunsAfterStartAfterEveryWaitAndAtTheEnd)
{
    int pumps = 0;
    cons.Pump = [&] { ++pumps; };
    ASSERT_TRUE(run("redraw"));
    EXPECT_EQ(pumps, polls + 1);
}

// The pump may sit in a nested modal loop for a long time; the tool must go on writing.
TEST_F(TConsTest, ToolNeverBlocksWhileThePumpIsBusy)
{
    QTemporaryDir dir;
    const QString marker = dir.filePath("finished");
    bool finishedInsidePump = false;
    cons.Pump = [&] {
        if (finishedInsidePump)
            return;
        QElapsedTimer timer;
        timer.start();
        while (!QFileInfo::exists(marker) && timer.elapsed() < 20000)
            QThread::msleep(10);
        finishedInsidePump = QFileInfo::exists(marker);
    };
    ASSERT_TRUE(cons.Execute("flood", helperLine("flood", "512", marker), false, "0"));
    EXPECT_TRUE(finishedInsidePump);
    EXPECT_EQ(cons.Lines.last(), "the very last row");
    EXPECT_EQ(cons.Lines.size(), 199);
}

TEST_F(TConsTest, SeveralMegabytesWithoutPauseKeepTheLastRow)
{
    // Every line feed scrolls the whole 265 x 200 screen; under the sanitizers, which check
    // each of those moves, a smaller flood keeps the suite quick.
    ASSERT_TRUE(run("flood", QString::number(UnderSanitizer ? 1024 : 3 * 1024)));
    EXPECT_EQ(cons.Lines.last(), "the very last row");
}

TEST_F(TConsTest, ManyRunsLeaveNoFdsAndNoZombies)
{
    ASSERT_TRUE(run("nothing"));
    const int fdsBefore = openFdCount();
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(run(i % 2 ? "nothing" : "print", "x"));
    cons.OnPoll = [&](TCons*) { cons.Abort = true; };
    ASSERT_TRUE(run("sleep"));
    EXPECT_FALSE(cons.Execute("t", "no-such-tool-anywhere", false, "0"));
    EXPECT_EQ(openFdCount(), fdsBefore);
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD) << "a child of the runner was left behind";
}

struct ToolCase
{
    const char* name;
    const char* tool;
    int row;
    const char* marker;
};

class RealToolTest : public testing::TestWithParam<ToolCase>
{};

TEST_P(RealToolTest, BannerWithoutArguments)
{
    const QString path = QStandardPaths::findExecutable(GetParam().tool);
    ASSERT_FALSE(path.isEmpty()) << GetParam().tool << " is not installed";
    TCons cons;
    ASSERT_TRUE(cons.Execute("", QuoteArgument(path), false, "0"));
    ASSERT_GT(cons.Lines.size(), GetParam().row);
    EXPECT_TRUE(cons.Lines.at(GetParam().row).contains(GetParam().marker))
        << cons.Lines.join(u'\n').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Tools, RealToolTest,
                         testing::Values(ToolCase{"Lame", "lame", 0, " version "},
                                         ToolCase{"Flac", "flac", 1, "decoder version "}),
                         [](const testing::TestParamInfo<ToolCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
