// The real `quarlow` program on Qt's offscreen platform: a second start hands its files to the
// running one, and SIGTERM is a close request that saves the settings.
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

} // namespace
