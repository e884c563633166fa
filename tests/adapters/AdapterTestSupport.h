#pragma once

#include "TAudio.h"
#include "TFlac.h"
#include "TestMedia.h"

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
