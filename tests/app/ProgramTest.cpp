// The real `quarlow` program on Qt's offscreen platform: a second start hands its files to the
// running one, and SIGTERM is a close request that saves the settings, whatever the program
// is doing when it comes.
#include "EventLoop.h"
#include "FileSystem.h"
#include "Privileges.h"
#include "TSettingsStore.h"
#include "TVersionServer.h"
#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        for (const char* folder : {"home", "config", "run", "tmp", "in", "out"})
            ASSERT_TRUE(QDir(root.path()).mkpath(folder));
        QFile::setPermissions(root.filePath("run"), QFileDevice::ReadOwner |
                                                        QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner);
        environment.insert("HOME", root.filePath("home"));
        environment.insert("XDG_CONFIG_HOME", root.filePath("config"));
        // The runs' records, out of the home folder whose files a test looks at.
        environment.insert("XDG_STATE_HOME", root.filePath("state"));
        environment.insert("XDG_RUNTIME_DIR", root.filePath("run"));
        environment.insert("TMPDIR", root.filePath("tmp"));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("LC_ALL", "C.UTF-8");
    }

    void Start(QProcess& process, const QStringList& args)
    {
        process.setProcessEnvironment(environment);
        process.start(QUARLOW_PROGRAM, args);
        ASSERT_TRUE(process.waitForStarted());
    }

    TSettingsStore Store() const
    {
        return TSettingsStore(root.filePath("config/Fendrick/KPZ05.json"), root.filePath("none"));
    }

    // The window saves below out/; lame is the stand-in that stalls, on every call unless
    // STALL_ON names some.
    void StallLame()
    {
        const QString stalled = Stalled();
        ASSERT_TRUE(QDir().mkpath(stalled));
        ASSERT_TRUE(QFile::link(STALL_TOOL, stalled + "/lame"));
        ASSERT_EQ(Store().Write({{"width", 600},
                                 {"SaveDirName", root.filePath("out") + "/"},
                                 {"LamePath", stalled + "/"},
                                 {"FlacPath", ToolFolderOnPath("flac")}}),
                  QString());
        environment.insert("STALL_PIDS", Pids());
    }
    QString Stalled() const { return root.filePath("stalled"); }
    QString Pids() const { return root.filePath("pids"); }

    // The program has ended on its own after a SIGTERM, leaving nothing in the temporary
    // folder.
    void StopAndExpectAnEnd(QProcess& program)
    {
        ::kill(pid_t(program.processId()), SIGTERM);
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_TRUE(QDir(root.filePath("tmp")).isEmpty(Anything));
    }

    static constexpr auto Anything =
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;

    QTemporaryDir root;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(ProgramTest, SecondStartHandsOverItsFilesAndSigtermSavesTheSettings)
{
    ASSERT_TRUE(WriteFile(root.filePath("in/a.wav"), ReadAll(TEST_DATA_DIR "/fixtures/in.wav")));
    // The window saves below out/.
    ASSERT_EQ(Store().Write({{"width", 470}, {"SaveDirName", root.filePath("out") + "/"}}),
              QString());
    QProcess first;
    Start(first, {});
    // The running instance listens once its socket is there.
    ASSERT_TRUE(RunEventsUntil([&] { return !QDir(root.filePath("run")).isEmpty(Anything); }));

    QProcess second;
    Start(second, {root.filePath("in/a.wav")});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitCode(), 0) << "the second start hands over and ends";
    EXPECT_TRUE(RunEventsUntil([&] { return QFile::exists(root.filePath("out/a.mp3")); }))
        << first.readAllStandardError().toStdString();

    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(60000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    const QByteArray settings = ReadAll(root.filePath("config/Fendrick/KPZ05.json"));
    EXPECT_TRUE(settings.contains("\"SaveDirName\"")) << settings.toStdString();
    EXPECT_TRUE(QDir(root.filePath("tmp")).isEmpty(Anything));
    EXPECT_TRUE(QDir(root.filePath("run")).isEmpty(Anything)) << "the socket goes with the program";
}

// A desktop session that ends during a run: the running lame is stopped, the finished MP3
// stays whole, nothing partial or intermediate remains, and the window's values are saved.
TEST_F(ProgramTest, SigtermDuringARunLeavesOnlyFinishedMp3s)
{
    for (const char* name : {"in/a.wav", "in/b.wav"})
        ASSERT_TRUE(WriteFile(root.filePath(name), ReadAll(TEST_DATA_DIR "/fixtures/in.wav")));
    StallLame();
    environment.insert("STALL_EXEC", ToolFolderOnPath("lame") + "lame");
    environment.insert("STALL_ON", "b.wav");
    environment.insert("STALL_OUTPUT", ".mp3");
    QProcess program;
    Start(program, {root.filePath("in/a.wav"), root.filePath("in/b.wav")});
    ASSERT_TRUE(RunEventsUntil([&] { return !ReadAll(Pids()).isEmpty(); }))
        << program.readAllStandardError().toStdString();

    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(60000));

    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(QDir(root.filePath("out")).entryList(Anything), QStringList{"a.mp3"});
    EXPECT_EQ(ReadMp3Tags(root.filePath("out/a.mp3")).Seconds, 3) << "a whole MP3";
    EXPECT_TRUE(QDir(root.filePath("tmp")).isEmpty(Anything));
    EXPECT_NE(::kill(ReadAll(Pids()).trimmed().toInt(), 0), 0) << "the stalled lame is gone";
    const TSettingsStore::TKey key = Store().OpenForReading("width");
    EXPECT_EQ(key.readInteger("width").Value, 600);
    EXPECT_EQ(key.readString("LamePath").Value, Stalled() + "/");
}

// SIGTERM while the first activation asks lame for its version: the probe is stopped, the
// program ends with the settings saved, and the files given to it, on its command line or by
// a second start during the probe, are not converted.
enum class TGiven
{
    Nothing,
    OnTheCommandLine,
    ByASecondStart
};

struct TStartupSigtermCase
{
    const char* name;
    TGiven given;
};

class StartupSigtermTest : public ProgramTest,
                           public ::testing::WithParamInterface<TStartupSigtermCase>
{};

TEST_P(StartupSigtermTest, EndsTheProgramAfterTheProbe)
{
    const TGiven given = GetParam().given;
    const QString source = root.filePath("in/a.wav");
    ASSERT_TRUE(WriteFile(source, ReadAll(TEST_DATA_DIR "/fixtures/in.wav")));
    StallLame();
    QProcess program;
    Start(program, given == TGiven::OnTheCommandLine ? QStringList{source} : QStringList());
    ASSERT_TRUE(RunEventsUntil([&] { return !ReadAll(Pids()).isEmpty(); }))
        << program.readAllStandardError().toStdString();
    if (given == TGiven::ByASecondStart) {
        QProcess second;
        Start(second, {source});
        ASSERT_TRUE(second.waitForFinished(60000));
        EXPECT_EQ(second.exitCode(), 0) << "the second start hands over and ends";
    }

    StopAndExpectAnEnd(program);

    EXPECT_TRUE(QDir(root.filePath("out")).isEmpty(Anything)) << "nothing was converted";
    const QList<QByteArray> pids = ReadAll(Pids()).trimmed().split('\n');
    ASSERT_EQ(pids.size(), 1) << "the probe was stopped, and no tool started after it";
    EXPECT_NE(::kill(pids.first().toInt(), 0), 0) << "the stalled lame is gone";
    EXPECT_EQ(Store().OpenForReading("width").readString("julianday").State, TStored::Present)
        << "the settings were saved";
}

INSTANTIATE_TEST_SUITE_P(
    Given, StartupSigtermTest,
    ::testing::Values(TStartupSigtermCase{"nothing", TGiven::Nothing},
                      TStartupSigtermCase{"on_the_command_line", TGiven::OnTheCommandLine},
                      TStartupSigtermCase{"by_a_second_start", TGiven::ByASecondStart}),
    [](const auto& info) { return std::string(info.param.name); });

// A settings folder that cannot be written: whether its box ("could not be saved") is open
// when SIGTERM comes or opens at the close, nobody answers it, and the program ends all the
// same, the file as it was and the box's text on stderr.
TEST_F(ProgramTest, SigtermEndsTheProgramWhenTheSettingsCannotBeSaved)
{
    ASSERT_EQ(Store().Write({{"width", 600}, {"SaveDirName", root.filePath("out") + "/"}}),
              QString());
    const QByteArray settings = ReadAll(root.filePath("config/Fendrick/KPZ05.json"));
    const QByteArray folder = QFile::encodeName(root.filePath("config/Fendrick"));
    ASSERT_EQ(chmod(folder.constData(), 0500), 0);
    QProcess program;
    program.setChildProcessModifier(DropPrivilegesForGood);
    Start(program, {});
    // Another start finds it once its stop signals are set.
    EXPECT_TRUE(RunEventsUntil([&] { return !QDir(root.filePath("run")).isEmpty(Anything); }));

    StopAndExpectAnEnd(program);

    chmod(folder.constData(), 0700);
    EXPECT_EQ(ReadAll(root.filePath("config/Fendrick/KPZ05.json")), settings);
    EXPECT_TRUE(program.readAllStandardError().contains(
        "quarlow: The settings could not be saved: Permission denied"));
}

// A version server that accepts and never answers: a file given to the program is converted
// while the check waits, and SIGTERM ends the program, which hangs up on the server and leaves
// no downloaded version file.
TEST_F(ProgramTest, AStalledUpdateServerHoldsUpNeitherTheFilesNorTheEnd)
{
    const TVersionServer server(HttpAnswer("200 OK", VersionFile("5.0.0.0", "5.0.0.0")),
                                TVersionServer::TMode::Stall);
    ASSERT_EQ(Store().Write({{"width", 600},
                             {"SaveDirName", root.filePath("out") + "/"},
                             {"WebHost", server.Host()}}),
              QString());
    ASSERT_TRUE(WriteFile(root.filePath("in/a.wav"), ReadAll(TEST_DATA_DIR "/fixtures/in.wav")));
    QProcess program;
    Start(program, {root.filePath("in/a.wav")});
    ASSERT_TRUE(RunEventsUntil([&] { return server.Requests().size() == 1; }))
        << program.readAllStandardError().toStdString();
    EXPECT_TRUE(RunEventsUntil([&] { return QFile::exists(root.filePath("out/a.mp3")); }));

    StopAndExpectAnEnd(program);

    EXPECT_TRUE(RunEventsUntil([&] { return server.HangUps() == 1; })) << "the request was ended";
    EXPECT_TRUE(QDir(root.filePath("home")).isEmpty(Anything)) << "no version file is left";
    EXPECT_EQ(Store().OpenForReading("width").readInteger("applversretrieved").Value, 0);
}

// A save folder on a drive that is not mounted at this start: the program saves into the home
// folder meanwhile and, closed, keeps the stored folder; a tick stored as JSON false stays so.
TEST_F(ProgramTest, SaveFolderThatIsNotThereStaysStoredAfterAClose)
{
    ASSERT_TRUE(WriteFile(root.filePath("in/a.wav"), ReadAll(TEST_DATA_DIR "/fixtures/in.wav")));
    const QString gone = root.filePath("gone") + "/";
    const TSettingsStore store = Store();
    ASSERT_EQ(store.Write({{"width", 470}, {"SaveDirName", gone}, {"checkupdate", false}}),
              QString());
    QProcess program;
    Start(program, {root.filePath("in/a.wav")});
    ASSERT_TRUE(RunEventsUntil([&] { return QFile::exists(root.filePath("home/a.mp3")); }))
        << program.readAllStandardError().toStdString();

    StopAndExpectAnEnd(program);

    const TSettingsStore::TKey key = store.OpenForReading("width");
    EXPECT_EQ(key.readString("SaveDirName").Value, gone);
    EXPECT_EQ(key.stored("checkupdate"), QJsonValue(false));
    EXPECT_FALSE(QFile::exists(gone));
}

// "--help" and "--version" answer on the terminal without a display, and start no window:
// nothing is stored and no file is taken.
struct TAnswerCase
{
    const char* name;
    const char* option;
    QStringList lines;
};

void PrintTo(const TAnswerCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProgramAnswerTest : public ProgramTest, public ::testing::WithParamInterface<TAnswerCase>
{};

TEST_P(ProgramAnswerTest, AnswersWithoutADisplay)
{
    for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(display);
    QProcess program;
    Start(program, {GetParam().option});
    ASSERT_TRUE(program.waitForFinished());

    EXPECT_EQ(program.exitCode(), 0);
    const QString out = QString::fromUtf8(program.readAllStandardOutput());
    for (QString line : GetParam().lines)
        EXPECT_TRUE(out.contains(line.replace("@", root.path()))) << out.toStdString();
    EXPECT_EQ(program.readAllStandardError(), QByteArray());
    EXPECT_TRUE(QDir(root.filePath("config")).isEmpty(Anything));
}

INSTANTIATE_TEST_SUITE_P(Options, ProgramAnswerTest,
                         ::testing::Values(TAnswerCase{"help",
                                                       "--help",
                                                       {"Usage: quarlow [FILE|FOLDER]...\n",
                                                        "  --version",
                                                        "@/config/Fendrick/KPZ05.json"}},
                                           TAnswerCase{"version", "--version", {"quarlow 3."}}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
