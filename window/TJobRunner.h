#pragma once

#include "IJobsView.h"
#include "TJob.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class IJobHost;
class IJobsView;

// Works off a queue for its host, the only loop that runs jobs. With one job at a time the
// job runs on the runner's own thread, its tools pumping the host's events, and the host
// shows it as it goes. With more, each job runs on a worker thread of its own with its own
// adapter and terminal: at most `jobs` threads, one per running job, joined when the job ends. They
// are plain threads, not a QThreadPool: Qt hands a task to its pool under its own locks, which
// ThreadSanitizer cannot see in a Qt not built for it. The runner itself runs on the window's
// thread: it starts up to `jobs` jobs in queue order, keeps two jobs with one destination from
// running at the same time (the later waits, so the result is that of one job after the other),
// passes a Cancel on to every running job, and shows progress and error entries. No worker touches
// a view or pumps events: what a job tells reaches the view through this thread, and the error
// entries of the jobs come in queue order, each whole.
class TJobRunner
{
public:
    // view: where the jobs are shown one by one (may be null).
    TJobRunner(IJobHost& host, const TJobQueue& queue, IJobsView* view, int jobs);
    ~TJobRunner();
    TJobRunner(const TJobRunner&) = delete;
    TJobRunner& operator=(const TJobRunner&) = delete;

    // Returns when the queue is empty and no job runs, or once a Cancel has stopped them all.
    void Run();
    // Whether a job of this source runs now.
    bool IsRunning(const QString& source) const;

private:
    struct TRunning;
    // What an ended job leaves for the error list: counted entries and uncounted lines.
    struct TReport
    {
        bool Counted;
        QStringList Rows;
    };
    struct TResult
    {
        QString Source;
        QList<TReport> Reports;
    };

    // What became of a queue entry the runner would start.
    enum class TStart
    {
        Waits,
        Started,
        // Its MP3 is up to date: it has left the queue without a job.
        UpToDate
    };

    void NumberEntries();
    void StartJobs();
    TStart StartJob(const TQueueEntry& entry);
    void PassUpToDate(const QString& source, const QString& destination);
    void EndRun();
    QString StartWorker(TRunning& running);
    void RunOnThisThread(TRunning& running);
    void PumpEvents();
    void StopAll();
    void TakeEndedJobs();
    void EndJob(const std::shared_ptr<TRunning>& running);
    void WriteResults(bool all);
    void ShowProgress();
    void ShowJob(TRunning& running);
    void WaitForNews();
    int FreeSlot() const;

    IJobHost& m_host;
    const TJobQueue& m_queue;
    IJobsView* const m_view;
    const int m_jobs;
    QElapsedTimer m_elapsed;
    // Shared with the workers: their progress and their end.
    std::mutex m_mutex;
    std::condition_variable m_news;
    bool m_ended = false;
    // The runner's own.
    std::vector<std::shared_ptr<TRunning>> m_running;
    QSet<QString> m_claimed;
    // Each queue entry's place in the queue order, and the results waiting for the entries
    // before them.
    QHash<QString, qint64> m_number;
    qint64 m_nextNumber = 0;
    std::map<qint64, TResult> m_results;
    bool m_refused = false;
    // A job found no thread while others ran: no more start until one of them ends.
    bool m_starved = false;
    int m_done = 0;
    TRunTally m_tally;
};
