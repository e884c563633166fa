#pragma once

#include "TAudio.h"
#include "TFlac.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <ostream>

// The adapters with their poll callbacks and command-line builders in reach of the tests.
class TTestAudio : public TAudio
{
public:
    using TAudio::LameCommandLine;
    using TAudio::LamePoll;
    using TAudio::LameVersionFromBanner;
};

class TTestFlac : public TFlac
{
public:
    using TFlac::FlacCommandLine;
    using TFlac::FlacPoll;
    using TFlac::TakeTagRows;
    using TFlac::TakeTagValues;
    using TFlac::VersionFromBanner;
};

// Counts the calls of a hook and checks that each comes with the adapter as sender.
struct THookCounter
{
    int calls = 0;
    TAudio* expectedSender = nullptr;
    int wrongSenders = 0;

    TAudio::Hook hook()
    {
        return [this](TAudio* sender) {
            ++calls;
            wrongSenders += sender == expectedSender ? 0 : 1;
        };
    }
};

// A screen a poll callback reads and what it must make of it, starting from Progress 42.
struct PollCase
{
    const char* name;
    QStringList rows;
    int progress;
    bool seen;
    int notifications;
};

void PrintTo(const PollCase& c, std::ostream* os);

// Puts the case's rows on the adapter's screen, runs one poll through `poll` and checks
// Progress, ProgressSeen and the calls of the hook the poll reports through.
void ExpectPoll(TAudio& adapter, TAudio::Hook TAudio::*hook, const std::function<void()>& poll,
                const PollCase& c);

// Writes a 16-bit PCM WAV file holding a 441 Hz sine.
void WriteSineWav(const QString& path, int seconds, int channels);

// The folder, ending with "/", where the named tool is found on PATH.
QString ToolFolder(const QString& tool);

// Runs a tool to completion without a shell; returns its exit code, -1 when it failed to
// run, and its merged output in *output when given.
int RunTool(const QString& program, const QStringList& arguments, QString* output = nullptr);

// Reads a whole file; empty when it cannot be read.
QByteArray ReadAll(const QString& path);
