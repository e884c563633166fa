#pragma once

// The shapes a settings file takes when it cannot be read as settings: one table for the
// store, the window's logic and quarlow-cli alike.
#include <QByteArray>
#include <QList>
#include <QString>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <thread>

enum class TBrokenKind
{
    Bytes,
    Folder,
    Fifo,
    Device
};

struct TBrokenSettings
{
    const char* name;
    TBrokenKind kind;
    // The file's bytes; for a folder, those of a file in it.
    QByteArray bytes;
    // What the program says is wrong with it.
    QString problem;
};

inline void PrintTo(const TBrokenSettings& shape, std::ostream* os)
{
    *os << shape.name;
}

QList<TBrokenSettings> BrokenSettingsShapes();

// Puts the shape at path, in place of what is there: the bytes, a folder holding a file of
// them, a named pipe, or a link to a device.
bool MakeBrokenSettings(const TBrokenSettings& shape, const QString& path);

// True when path still is the shape as MakeBrokenSettings made it.
bool IsBrokenSettings(const TBrokenSettings& shape, const QString& path);

// While it lives, watches a named pipe: should the test still be running a minute on, it
// opens and closes the pipe's other end again and again, so that a reader blocked on the
// pipe gets to its end. A program that opens the pipe then fails its test instead of hanging
// it. Does nothing to anything else at path.
class TFifoWatchdog
{
public:
    explicit TFifoWatchdog(QString path);
    ~TFifoWatchdog();
    TFifoWatchdog(const TFifoWatchdog&) = delete;
    TFifoWatchdog& operator=(const TFifoWatchdog&) = delete;

private:
    void Watch();

    QString m_path;
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_done = false;
    std::thread m_thread;
};
