#pragma once

#include <QString>

// What became of a queue entry in a run: its MP3 made (or, when verifying, its source read
// without fault), its MP3 found up to date, an error entry, cut short by a Cancel, or never
// started because of one.
enum class TJobResult
{
    Converted,
    UpToDate,
    Failed,
    Cancelled,
    NotStarted
};

// What a run did with its entries, counted.
struct TRunTally
{
    int Converted = 0;
    int UpToDate = 0;
    int Failed = 0;
    int NotStarted = 0;
};

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
    // At the end of the run: what became of its entries, and how long the run took.
    virtual void runEnded(const TRunTally& tally, qint64 elapsedMs) = 0;
};
