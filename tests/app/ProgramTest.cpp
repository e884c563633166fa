// The real `quarlow` program on Qt's offscreen platform: a second start hands its files to the
// running one, and SIGTERM is a close request that saves the settings.
#include "FileSystem.h"
#include "TSettingsStore.h"
#include "TestMedia.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Waits for a condition that the program brings about; the bound only keeps a broken
// program from hanging the test.
bool WaitFor(const std::function<bool()>& done)
{
    QElapsedTimer guard;
    guard.start();
    while (!done()) {
        if (guard.elapsed() > 60000)
            return false;
        QThread::msleep(20);
    }
    return true;
}

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

    QTemporaryDir root;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

TEST_F(ProgramTest, SecondStartHandsOverItsFilesAndSigtermSavesTheSettings)
{
    ASSERT_TRUE(WriteFile(root.filePath("in/a.wav"), ReadAll(SHARED_DIR "/fixtures/in.wav")));
    // The window saves below out/.
    ASSERT_EQ(TSettingsStore(root.filePath("config/Fendrick/KPZ05.json"), root.filePath("none"))
                  .Write({{"width", 470}, {"SaveDirName", root.filePath("out") + "/"}}),
              QString());
    QProcess first;
    Start(first, {});
    // The running instance listens once its socket is there.
    const auto anything = QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
    ASSERT_TRUE(WaitFor([&] { return !QDir(root.filePath("run")).isEmpty(anything); }));

    QProcess second;
    Start(second, {root.filePath("in/a.wav")});
    ASSERT_TRUE(second.waitForFinished(60000));
    EXPECT_EQ(second.exitCode(), 0) << "the second start hands over and ends";
    EXPECT_TRUE(WaitFor([&] { return QFile::exists(root.filePath("out/a.mp3")); }))
        << first.readAllStandardError().toStdString();

    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(60000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    const QByteArray settings = ReadAll(root.filePath("config/Fendrick/KPZ05.json"));
    EXPECT_TRUE(settings.contains("\"SaveDirName\"")) << settings.toStdString();
    EXPECT_TRUE(QDir(root.filePath("tmp")).isEmpty(anything));
    EXPECT_TRUE(QDir(root.filePath("run")).isEmpty(anything)) << "the socket goes with the program";
}

// A desktop session that ends during a run: the running lame is stopped, the finished MP3
// stays whole, nothing partial or intermediate remains, and the window's values are saved.
TEST_F(ProgramTest, SigtermDuringARunLeavesOnlyFinishedMp3s)
{
    for (const char* name : {"in/a.wav", "in/b.wav"})
        ASSERT_TRUE(WriteFile(root.filePath(name), ReadAll(SHARED_DIR "/fixtures/in.wav")));
    const QString stalled = root.filePath("stalled");
    ASSERT_TRUE(QDir().mkpath(stalled));
    ASSERT_TRUE(QFile::link(STALL_TOOL, stalled + "/lame"));
    ASSERT_EQ(TSettingsStore(root.filePath("config/Fendrick/KPZ05.json"), root.filePath("none"))
                  .Write({{"width", 600},
                          {"SaveDirName", root.filePath("out") + "/"},
                          {"LamePath", stalled + "/"},
                          {"FlacPath", ToolFolderOnPath("flac")}}),
              QString());
    const QString pids = root.filePath("pids");
    environment.insert("STALL_EXEC", ToolFolderOnPath("lame") + "lame");
    environment.insert("STALL_ON", "b.wav");
    environment.insert("STALL_OUTPUT", ".mp3");
    environment.insert("STALL_PIDS", pids);
    QProcess program;
    Start(program, {root.filePath("in/a.wav"), root.filePath("in/b.wav")});
    ASSERT_TRUE(WaitFor([&] { return !ReadAll(pids).isEmpty(); }))
        << program.readAllStandardError().toStdString();

    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(60000));

    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    const auto anything = QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot;
    EXPECT_EQ(QDir(root.filePath("out")).entryList(anything), QStringList{"a.mp3"});
    EXPECT_EQ(ReadMp3Tags(root.filePath("out/a.mp3")).Seconds, 3) << "a whole MP3";
    EXPECT_TRUE(QDir(root.filePath("tmp")).isEmpty(anything));
    EXPECT_NE(::kill(ReadAll(pids).trimmed().toInt(), 0), 0) << "the stalled lame is gone";
    const TSettingsStore::TKey key =
        TSettingsStore(root.filePath("config/Fendrick/KPZ05.json"), root.filePath("none"))
            .OpenForReading("width");
    EXPECT_EQ(key.readInteger("width").Value, 600);
    EXPECT_EQ(key.readString("LamePath").Value, stalled + "/");
}

// A save folder on a drive that is not mounted at this start: the program saves into the home
// folder meanwhile and, closed, keeps the stored folder; a tick stored as JSON false stays so.
TEST_F(ProgramTest, SaveFolderThatIsNotThereStaysStoredAfterAClose)
{
    ASSERT_TRUE(WriteFile(root.filePath("in/a.wav"), ReadAll(SHARED_DIR "/fixtures/in.wav")));
    const QString gone = root.filePath("gone") + "/";
    const TSettingsStore store(root.filePath("config/Fendrick/KPZ05.json"), root.filePath("none"));
    ASSERT_EQ(store.Write({{"width", 470}, {"SaveDirName", gone}, {"checkupdate", false}}),
              QString());
    QProcess program;
    Start(program, {root.filePath("in/a.wav")});
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(root.filePath("home/a.mp3")); }))
        << program.readAllStandardError().toStdString();

    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(60000));

    EXPECT_EQ(program.exitCode(), 0);
    const TSettingsStore::TKey key = store.OpenForReading("width");
    EXPECT_EQ(key.readString("SaveDirName").Value, gone);
    EXPECT_EQ(key.stored("checkupdate"), QJsonValue(false));
    EXPECT_FALSE(QFile::exists(gone));
}

} // namespace
