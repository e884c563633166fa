#pragma once

#include "IJobsView.h"

#include <QString>
#include <map>

class IMainView;
class TJobQueue;

// The rows of the Cue List, as far as a run of several jobs changes them.
class IQueueRowsView
{
public:
    virtual ~IQueueRowsView() = default;
    // The row of the queue entry at index shows text instead of the entry's path.
    virtual void setQueueEntryText(qsizetype index, const QString& text) = 0;
};

// What the window shows of a run of several jobs at once: the gauge of the whole run (files
// done plus the running files' fractions), a status line such as "3 running · 14 of 40 done ·
// 0:41 · about 1:10 left", each running file's stage and percent in its Cue List row, the title
// with the overall percent, and at the end a line that stays until the next run.
class TRunDisplay : public IJobsView
{
public:
    TRunDisplay(IMainView& view, IQueueRowsView& rows, const TJobQueue& queue);

    void jobStarted(int slot, const QString& source) override;
    void jobProgress(int slot, const QString& stage, int percent) override;
    void jobEnded(int slot, const QString& source, bool ok) override;
    void showRun(int done, int total, qint64 elapsedMs) override;
    void runEnded(const TRunTally& tally, qint64 elapsedMs) override;

    // The line that sums a run up: "40 converted, 2 failed in 1:10", "3 converted, 297 up to
    // date, 0 failed in 0:02", "cancelled: 12 converted, 28 not started in 0:41". done: what
    // the jobs did ("converted", "verified").
    static QString EndLine(const TRunTally& tally, qint64 elapsedMs,
                           const QString& done = QStringLiteral("converted"));
    // "1:10", "1:02:03".
    static QString Duration(qint64 ms);
    // The row of a running file: "Lame 42% — 03 Song.wav".
    static QString RowText(const QString& source, const QString& stage, int percent);

private:
    struct TShown
    {
        QString Source;
        QString Stage;
        int Percent = 0;
    };

    void ShowRow(const TShown& job);
    // Of the running files, how much is done: decoding is the first half of a job, LAME's
    // encode the second.
    double RunningFraction() const;

    IMainView& m_view;
    IQueueRowsView& m_rows;
    const TJobQueue& m_queue;
    std::map<int, TShown> m_running;
};
