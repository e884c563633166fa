#pragma once

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class TScreen;

// Runs one command-line tool on a terminal of its own, polls it every 150 ms, snapshots the
// terminal's character screen into Lines and calls OnPoll at every poll. The owner reads
// progress, versions and errors from those rows; a row a tool redraws in place with carriage
// returns or backspaces is one row holding its latest text.
class TCons
{
public:
    using PollHook = std::function<void(TCons* sender)>;
    using EventPump = std::function<void()>;

    TCons();
    ~TCons();
    TCons(const TCons&) = delete;
    TCons& operator=(const TCons&) = delete;

    // Runs CommandLine (split into arguments by SplitCommandLine; no shell) in WorkDir, or in
    // the current folder when WorkDir is exactly "0". True when the tool was started and has
    // ended, whatever it printed and also after Abort; false when it could not be started,
    // in which case Lines is left as it was and OnPoll is not called.
    bool Execute(const QString& Title, const QString& CommandLine, bool ShowConsole,
                 const QString& WorkDir);

    const QString& title() const { return m_title; }
    // Why the last start failed, empty after a good start: the program and what it could not
    // have, in the system's words ("cannot start lame: openpty: Too many open files").
    const QString& startError() const { return m_startError; }
    // After a run: whether the tool ended on its own with status 0, and if not, one row that
    // says how it ended, naming it as `tool` ("lame was stopped by signal 9 (Killed)").
    bool endedCleanly() const { return m_waitStatus == 0; }
    QString endRow(const QString& tool) const;

    bool ConsoleReady = false;
    // May be set from another thread: a runner on a worker thread is stopped from the one
    // that schedules it.
    std::atomic<bool> Abort = false;
    int BufferRows = 200;
    int BufferColumns = 265;
    QStringList Lines;
    PollHook OnPoll;
    // Keeps the program responsive during a run: called after the start, after every wait
    // and at the end. The desktop program passes its event loop; a runner on a worker thread
    // has none.
    EventPump Pump;

    static constexpr int PollMilliseconds = 150;

private:
    bool AcquireConsole();
    bool ClearScreen();
    void TakeSnapshot();
    void Poll();
    void PumpEvents();

    bool m_result = false;
    int m_waitStatus = 0;
    QString m_title;
    QString m_startError;
    std::unique_ptr<TScreen> m_screen;
    std::mutex m_screenMutex;
};
