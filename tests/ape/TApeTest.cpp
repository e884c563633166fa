#include "TApe.h"

#include "ApeBytes.h"
#include "CommandLine.h"
#include "QtPrinters.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString MacFolder = QStringLiteral(MAC_FOLDER "/");
const QString Fixtures = QStringLiteral(TEST_DATA_DIR "/fixtures/");
const QString Captures = QStringLiteral(TEST_DATA_DIR "/tools/");
const QString Banner =
    QStringLiteral("--- Monkey's Audio Console Front End (v 11.57) (c) Matthew T. Ashland ---");

QString ProgressRow(const char* figure)
{
    return QStringLiteral("Progress: %1% (0.0 seconds remaining, 0.0 seconds total)").arg(figure);
}

struct PollCase
{
    const char* name;
    QStringList lines;
    int progress;
    int notifications;
    bool seen;
};

void PrintTo(const PollCase& row, std::ostream* os)
{
    *os << row.name;
}

class ApePollTest : public testing::TestWithParam<PollCase>
{};

constexpr int ProgressBefore = 7;

TEST_P(ApePollTest, ReadsTheScreen)
{
    const PollCase& row = GetParam();
    TApe ape;
    int notifications = 0;
    ape.OnProgress = [&](TAudio* sender) {
        EXPECT_EQ(sender, &ape);
        ++notifications;
    };
    ape.Progress = ProgressBefore;
    ape.Cons.Lines = row.lines;

    ape.ApePoll(&ape.Cons);

    EXPECT_EQ(ape.Progress, row.progress);
    EXPECT_EQ(notifications, row.notifications);
    EXPECT_EQ(ape.ProgressSeen, row.seen);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ApePollTest,
    testing::Values(
        PollCase{"FigureEndsAtTheDot",
                 {Banner, "Decompressing...",
                  "Progress: 45.2% (1.6 seconds remaining, 1.3 seconds total)"},
                 45,
                 1,
                 true},
        PollCase{"Hundred", {ProgressRow("100.0")}, 100, 1, true},
        PollCase{"FigureWithoutDot", {"Progress: 45%"}, 45, 1, true},
        PollCase{
            "TwoRisingValuesNotifyTwice", {ProgressRow("30.0"), ProgressRow("60.0")}, 60, 2, true},
        PollCase{"LastValueCounts", {ProgressRow("60.0"), ProgressRow("30.0")}, 30, 1, true},
        PollCase{"ZeroDoesNotNotify", {ProgressRow("0.0")}, 0, 0, false},
        PollCase{"MarkerNotAtTheStartHoldsNoFigure",
                 {"Now " + ProgressRow("45.2")},
                 ProgressBefore,
                 0,
                 false},
        PollCase{"UsageNotifies",
                 {Banner, "Proper Usage: [EXE] [Input File] [Output File] [Mode]"},
                 ProgressBefore,
                 1,
                 false},
        PollCase{"EveryRowOfAnErrorScreenNotifies",
                 {Banner, "Decompressing...", "", "Error: 1003"},
                 ProgressBefore,
                 4,
                 false},
        PollCase{"ErrorScreenWithProgress",
                 {Banner, "Decompressing...", ProgressRow("57.1"), "Error: 1009"},
                 57,
                 4,
                 true},
        PollCase{"QuietScreen", {Banner, "Decompressing..."}, ProgressBefore, 0, false},
        PollCase{"UnlistedErrorIsQuiet",
                 {Banner, "Decompressing...", "", "Error: -1"},
                 ProgressBefore,
                 0,
                 false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ApePoll, CopiesCancelIntoTheRunner)
{
    TApe ape;
    ape.Cancel = true;
    ape.ApePoll(&ape.Cons);
    EXPECT_TRUE(ape.Cons.Abort);
    ape.Cancel = false;
    ape.ApePoll(&ape.Cons);
    EXPECT_FALSE(ape.Cons.Abort);
}

// Sets an environment variable for the stand-in for as long as it lives.
class EnvironmentGuard
{
public:
    EnvironmentGuard(const char* name, const QByteArray& value) : m_name(name)
    {
        qputenv(m_name, value);
    }
    ~EnvironmentGuard() { qunsetenv(m_name); }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    const char* m_name;
};

class TApeRunTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ape.SetDecoderFolder(MacFolder);
        ape.OnProgress = [this](TAudio*) { ++notifications; };
    }

    QString ReadOnlyFile(const QString& name)
    {
        const QString path = dir.filePath(name);
        WriteFile(path, "old");
        QFile::setPermissions(path, QFileDevice::ReadOwner);
        return path;
    }

    QTemporaryDir dir;
    TApe ape;
    int notifications = 0;
};

TEST_F(TApeRunTest, VersionComesFromTheBanner)
{
    EXPECT_EQ(ape.GetVersion(), "11.57");
    EXPECT_EQ(ape.DecoderVersion, "11.57");
}

TEST_F(TApeRunTest, EmptyFolderGivesZeroAndRunsNothing)
{
    ape.SetDecoderFolder(QString());
    EXPECT_EQ(ape.GetVersion(), "0");
    EXPECT_TRUE(ape.Cons.Lines.isEmpty());
    EXPECT_TRUE(ape.DecoderVersion.isEmpty());
}

TEST_F(TApeRunTest, MissingMacIsReportedAndRunsNothing)
{
    ape.SetDecoderFolder(dir.path() + "/");
    ape.ToolOutput = QStringList{"previous run"};
    const QString wav = ReadOnlyFile("out.wav");

    EXPECT_EQ(ape.GetVersion(), "mac not found");
    EXPECT_FALSE(ape.ConvertToWav(Fixtures + "in.ape", wav));

    EXPECT_EQ(ape.DecoderVersion, "mac not found");
    EXPECT_EQ(ape.ToolOutput,
              QStringList{"cannot start " + dir.filePath("mac") + ": No such file or directory"});
    EXPECT_FALSE(QFileInfo::exists(wav));
    EXPECT_EQ(notifications, 0);
}

TEST_F(TApeRunTest, UnstartableMacSaysWhy)
{
    ape.SetDecoderFolder(dir.path() + "/");
    ASSERT_TRUE(WriteFile(dir.filePath("mac"), "not a program"));
    ape.ToolOutput = QStringList{"previous run"};

    EXPECT_FALSE(ape.ConvertToWav(Fixtures + "in.ape", dir.filePath("out.wav")));

    EXPECT_EQ(ape.DecoderVersion, "mac not found");
    EXPECT_EQ(ape.ToolOutput,
              QStringList{"cannot start " + dir.filePath("mac") + ": Permission denied"});
}

TEST_F(TApeRunTest, DecodesOverAReadOnlyTarget)
{
    const QString wav = ReadOnlyFile("out.wav");

    EXPECT_TRUE(ape.ConvertToWav(Fixtures + "in.ape", wav));

    EXPECT_EQ(ape.DecoderVersion, "11.57");
    EXPECT_EQ(ape.ToolOutput.last(), "Success");
    EXPECT_EQ(ape.Progress, 100);
    EXPECT_GE(notifications, 1);
    EXPECT_EQ(QFileInfo(wav).size(), QFileInfo(Fixtures + "in.wav").size());
}

TEST_F(TApeRunTest, WavHasTheLengthTheSourceDeclares)
{
    const QString source = dir.filePath("half second.ape");
    ASSERT_TRUE(WriteFile(source, ApeStream(22050)));
    const QString wav = dir.filePath("out \"quoted\".wav");

    EXPECT_TRUE(ape.ConvertToWav(source, wav));

    EXPECT_EQ(ape.ToolOutput.last(), "Success");
    EXPECT_EQ(QFileInfo(wav).size(), 44 + 22050 * 4);
}

TEST_F(TApeRunTest, CorruptSourceNotifiesAndFails)
{
    EXPECT_TRUE(ape.ConvertToWav(Fixtures + "corrupt.ape", dir.filePath("out.wav")));

    // mac exits with its error code cut to a byte: 1009 & 0xFF.
    EXPECT_EQ(ape.ToolOutput.mid(ape.ToolOutput.size() - 2),
              QStringList({"Error: 1009", "mac ended with exit status 241"}));
    EXPECT_FALSE(ape.ToolOutput.contains("Success"));
    EXPECT_GE(notifications, 1);
}

TEST_F(TApeRunTest, CancelStopsTheDecoder)
{
    EnvironmentGuard slow("MAC_STANDIN_STEP_MS", "100");
    const QString source = dir.filePath("long.ape");
    ASSERT_TRUE(WriteFile(source, ApeStream(99 * 9450)));
    ape.OnProgress = [this](TAudio*) { ape.Cancel = true; };

    EXPECT_TRUE(ape.ConvertToWav(source, dir.filePath("out.wav")));

    EXPECT_TRUE(ape.Cons.Abort);
    EXPECT_FALSE(ape.ToolOutput.contains("Success"));
    EXPECT_LT(ape.Progress, 100);
}

// The stand-in must show what the real mac 11.57 showed on the same input.
struct CaptureCase
{
    const char* name;
    QStringList arguments;
};

void PrintTo(const CaptureCase& row, std::ostream* os)
{
    *os << row.name;
}

class StandInTest : public testing::TestWithParam<CaptureCase>
{
protected:
    QStringList Arguments() const
    {
        QStringList arguments = GetParam().arguments;
        if (!arguments.isEmpty())
            arguments[0].prepend(Fixtures);
        return arguments;
    }

    static QByteArray Capture(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The rows of a captured screen as the runner delivers them: right-trimmed, trailing
    // empty rows dropped.
    static QStringList ScreenRows(const QString& name)
    {
        QStringList rows = QString::fromUtf8(Capture(Captures + "screens/" + name + ".txt"))
                               .split(QLatin1Char('\n'));
        for (QString& row : rows) {
            while (!row.isEmpty() && row.back().unicode() <= ' ')
                row.chop(1);
        }
        while (!rows.isEmpty() && rows.back().isEmpty())
            rows.removeLast();
        return rows;
    }

    QTemporaryDir dir;
};

class StandInScreenTest : public StandInTest
{};

// Rows with progress carry the real run's timings, so only their final screens compare.
class StandInBytesTest : public StandInTest
{};

TEST_P(StandInScreenTest, ScreenEqualsTheCapture)
{
    TCons cons;
    QStringList line{QuoteArgument(MacFolder + "mac")};
    for (const QString& argument : Arguments())
        line << QuoteArgument(argument);

    ASSERT_TRUE(cons.Execute(QString(), line.join(' '), false, dir.path()));

    EXPECT_EQ(cons.Lines, ScreenRows(QStringLiteral("mac_") + GetParam().name));
}

TEST_P(StandInBytesTest, BytesAndStatusEqualTheCapture)
{
    const QString name = QStringLiteral("mac_") + GetParam().name;
    QProcess mac;
    mac.setWorkingDirectory(dir.path());
    mac.start(MacFolder + "mac", Arguments());
    ASSERT_TRUE(mac.waitForFinished());

    // The capture went through a terminal, which turns every "\n" into "\r\n".
    QByteArray expected = Capture(Captures + "raw/" + name + ".bin");
    expected.replace("\r\n", "\n");
    EXPECT_EQ(mac.readAllStandardError(), expected);
    EXPECT_EQ(mac.readAllStandardOutput(), QByteArray());
    EXPECT_EQ(mac.exitCode(), Capture(Captures + "screens/" + name + ".rc").trimmed().toInt());
}

const CaptureCase NoArguments{"noargs", {}};
const CaptureCase Corrupt{"decode_corrupt", {"corrupt.ape", "out.wav", "-d"}};
const CaptureCase Missing{"decode_missing", {"missing.ape", "out.wav", "-d"}};
const CaptureCase BadOutputFolder{"decode_badoutdir", {"in.ape", "nosuchdir/out.wav", "-d"}};

INSTANTIATE_TEST_SUITE_P(
    Captures, StandInScreenTest,
    testing::Values(NoArguments, Corrupt, Missing, BadOutputFolder,
                    CaptureCase{"decode_ok", {"in.ape", "out.wav", "-d"}},
                    CaptureCase{"decode_tagged", {"tagged.ape", "out.wav", "-d"}},
                    CaptureCase{"decode_truncated", {"truncated.ape", "out.wav", "-d"}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Captures, StandInBytesTest,
                         testing::Values(NoArguments, Corrupt, Missing, BadOutputFolder),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
