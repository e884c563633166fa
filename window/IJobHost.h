#pragma once

#include "IJobsView.h"
#include "TJob.h"

#include <QString>
#include <QStringList>
#include <memory>

class TAudio;

// What the job runner needs of the program it works for: the window's logic, or a test's
// stand-in. Every call comes on the thread that runs the runner.
class IJobHost
{
public:
    virtual ~IJobHost() = default;

    // What a job of this kind reads of the settings, now.
    virtual TJobSettings JobSettings(TSourceKind kind) = 0;
    // The run's record of the MP3s it made: the source an MP3 was made from, if any.
    virtual QString MadeThisRun(const QString& destination) const = 0;
    virtual void RecordMade(const QString& destination, const QString& source) = 0;
    // Whether the user asked to stop the run (a Cancel or a close request): the running jobs
    // are stopped, and what the stop causes is no error entry.
    virtual bool CancelPending() const = 0;
    // Runs the user's pending commands and drops; between jobs, and while the tool of a job
    // on the runner's own thread polls.
    virtual void ProcessEvents() = 0;
    // The entry's job has ended: it leaves the queue.
    virtual void EntryDone(const QString& source) = 0;
    // An error entry of the source's rows, counted; a line that is no entry, uncounted; and
    // the moment after a job's entries are all written.
    virtual void WriteEntry(const QString& source, const QStringList& rows) = 0;
    virtual void WriteLine(const QString& line) = 0;
    virtual void ResultWritten() = 0;
    // The entry is of no kind a job takes: the run takes no further job.
    virtual void RefuseEntry(const QString& source) = 0;
    // After a Cancel: the waiting entries are dropped.
    virtual void DropWaitingEntries() = 0;
    // What became of an entry, with the MP3 it made or found up to date (empty for none).
    virtual void JobResult(const QString& source, TJobResult result, const QString& mp3) = 0;
    // The run is over and its error entries are all written.
    virtual void RunEnded(const TRunTally& tally, qint64 elapsedMs) = 0;

    // With one job at a time the job runs on the runner's thread and the host shows it as it
    // goes: the events it shows it by (none: it is shown as a job of several), and where its
    // adapter lives so that the host's commands reach it.
    virtual IJobDisplay* LiveEvents(const TJob& job) = 0;
    virtual std::unique_ptr<TAudio>* LiveAdapterSlot() = 0;
};
