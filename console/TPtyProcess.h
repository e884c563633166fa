#pragma once

#include <QString>
#include <QStringList>
#include <mutex>
#include <optional>
#include <sys/types.h>
#include <thread>

class TScreen;

// One child process on its own pseudo-terminal. A reader thread drains the terminal's master
// side into the screen for the whole life of the child, so a tool never blocks on a full
// terminal even while the caller sits in a nested event loop. The screen is shared with the
// caller under screenMutex.
class TPtyProcess
{
public:
    TPtyProcess(TScreen& screen, std::mutex& screenMutex);
    ~TPtyProcess();
    TPtyProcess(const TPtyProcess&) = delete;
    TPtyProcess& operator=(const TPtyProcess&) = delete;

    // Starts argv[0] (searched on PATH when it holds no "/") in workDir, or in the current
    // folder when there is none. Fails synchronously, with the program and errno's text in
    // *error, when the terminal, its reader, the folder or the program cannot be had.
    bool start(const QStringList& argv, const std::optional<QString>& workDir, QString* error);
    // Waits at most timeoutMs for the child to end; true once it has ended and been reaped.
    bool waitForExit(int timeoutMs);
    // Kills the child's whole process group.
    void kill();
    // After the child has ended: reads what is left on the terminal, then stops the reader.
    void finishOutput();
    // How the child ended, as waitpid reports it; meaningful once waitForExit was true.
    int waitStatus() const { return m_status; }

private:
    // The terminal pair, the exec pipe and the reader's wake-up; the reader itself.
    bool OpenFds(int* slave, int errorPipe[2], QString* error);
    bool StartReader(QString* error);
    void endFailedStart();
    // Reaps the child if it has ended.
    bool reap();
    void readLoop();
    bool readOnce(int timeoutMs);
    void closeFds();

    TScreen& m_screen;
    std::mutex& m_screenMutex;
    std::thread m_reader;
    pid_t m_pid = -1;
    int m_master = -1;
    int m_pidFd = -1;
    int m_wakeFd = -1;
    bool m_exited = false;
    int m_status = 0;
};
