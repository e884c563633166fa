#pragma once

#include <QString>

// What shows the jobs of a run that works on several files at once: a row per running job
// and one for the run as a whole. Slots count from 0 to the number of jobs less one; a slot
// holds one job at a time. All calls come on the thread that runs the window's logic.
class IJobsView
{
public:
    virtual ~IJobsView() = default;

    virtual void jobStarted(int slot, const QString& source) = 0;
    // stage: "Flac", "Ape", "Wav" while reading and decoding, "Lame" while encoding.
    virtual void jobProgress(int slot, const QString& stage, int percent) = 0;
    // The job has ended and its entry has left the queue; ok: it did its work without an
    // error entry.
    virtual void jobEnded(int slot, const QString& source, bool ok) = 0;
    // Jobs ended of all the run has taken, and the time since it began.
    virtual void showRun(int done, int total, qint64 elapsedMs) = 0;
    // At the end of the run: the jobs that did their work, those that failed, and how long the
    // run took.
    virtual void runEnded(int succeeded, int failed, qint64 elapsedMs) = 0;
};
