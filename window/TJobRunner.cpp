#include "TJobRunner.h"

#include "IJobHost.h"
#include "IJobsView.h"
#include "TAudio.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <system_error>

// One running job: it reports through here. What the runner reads while a worker runs the job
// (progress, end) is guarded by the runner's mutex; the rest is the worker's until the job has
// ended, and the runner's after. A job on the runner's own thread is also shown live by the
// host, through Live.
struct TJobRunner::TRunning : IJobEvents
{
    TRunning(TJobRunner& runner, const TQueueEntry& entry, TJobSettings settings,
             const QString& madeEarlierFrom, QString destination, int slot, qint64 number,
             std::unique_ptr<TAudio>* adapterSlot)
        : Runner(runner), Job(entry, std::move(settings), *this, madeEarlierFrom, adapterSlot),
          Destination(std::move(destination)), Slot(slot), Number(number)
    {}

    void adapterCreating() override { Tell(&IJobDisplay::adapterCreating); }
    void jobPrepared() override { Tell(&IJobDisplay::jobPrepared); }
    void tagsRead() override { Tell(&IJobDisplay::tagsRead); }
    void decodeStarting() override { Tell(&IJobDisplay::decodeStarting); }
    void encodeStageStarted() override { Tell(&IJobDisplay::encodeStageStarted); }
    void jobEnded() override { Tell(&IJobDisplay::jobEnded); }

    // Each stage the job enters is kept with its latest percentage, so that the view learns
    // of every stage, however short.
    void progressChanged() override
    {
        Tell(&IJobDisplay::progressChanged);
        std::lock_guard lock(Runner.m_mutex);
        const int percent = Job.Audio()->Progress;
        if (!Progress.isEmpty() && Progress.last().first == Job.StageName)
            Progress.last().second = percent;
        else
            Progress.append({Job.StageName, percent});
    }
    // What a stopped job meets is the stop's doing, not the source's.
    void errorEntry(const QStringList& rows) override
    {
        if (!Job.Stopped())
            Reports.append({true, rows});
    }
    void failureLine(const QString& line) override { Reports.append({false, {line}}); }

    void Tell(void (IJobDisplay::*event)())
    {
        if (Live)
            (Live->*event)();
    }

    TJobRunner& Runner;
    TJob Job;
    const QString Destination;
    const int Slot;
    const qint64 Number;
    IJobDisplay* Live = nullptr;
    QList<TReport> Reports;
    // Under the runner's mutex: the stages since the runner last looked, and the end.
    QList<QPair<QString, int>> Progress;
    bool Ended = false;
    // The runner's: what the view shows of the job, and the thread that runs it.
    QPair<QString, int> Shown;
    std::thread Worker;
};

TJobRunner::TJobRunner(IJobHost& host, const TJobQueue& queue, IJobsView* view, int jobs)
    : m_host(host), m_queue(queue), m_view(view), m_jobs(std::max(jobs, 1))
{}

// Only a run left by an exception has jobs still running here.
TJobRunner::~TJobRunner()
{
    StopAll();
    for (const std::shared_ptr<TRunning>& running : m_running) {
        if (running->Worker.joinable())
            running->Worker.join();
    }
}

void TJobRunner::Run()
{
    m_elapsed.start();
    for (;;) {
        // The user's commands run here: Cancel, further drops.
        m_host.ProcessEvents();
        TakeEndedJobs();
        NumberEntries();
        if (m_host.CancelPending())
            StopAll();
        else if (!m_refused)
            StartJobs();
        WriteResults(false);
        ShowProgress();
        if (m_running.empty() && (m_host.CancelPending() || m_refused || m_queue.IsEmpty()))
            break;
        if (!m_running.empty())
            WaitForNews();
    }
    EndRun();
}

// After a Cancel the entries still waiting are never started.
void TJobRunner::EndRun()
{
    if (m_host.CancelPending()) {
        for (qsizetype i = 0; i < m_queue.Count(); ++i)
            m_host.JobResult(m_queue.At(i).Path, TJobResult::NotStarted, {});
        m_tally.NotStarted = int(m_queue.Count());
        m_host.DropWaitingEntries();
    }
    WriteResults(true);
    m_host.RunEnded(m_tally, m_elapsed.elapsed());
    if (m_view)
        m_view->runEnded(m_tally, m_elapsed.elapsed());
}

// Entries get their numbers in queue order; a drop appends, so a later entry always has a
// higher number than those before it.
void TJobRunner::NumberEntries()
{
    // An entry the user took out loses its number, so that a later drop of it queues it last.
    if (m_number.size() > m_queue.Count()) {
        m_number.removeIf([this](const auto& numbered) {
            return !m_queue.Contains(numbered.key()) && !IsRunning(numbered.key());
        });
    }
    for (qsizetype i = 0; i < m_queue.Count(); ++i) {
        if (!m_number.contains(m_queue.At(i).Path))
            m_number.insert(m_queue.At(i).Path, m_nextNumber++);
    }
}

// A job on the runner's own thread has ended when StartJob returns: the user's commands run
// before the next one starts. Entries that are up to date are passed over at once; a long row
// of them (each MP3's status read from a cold disk) yields to the user's commands as often as
// a running tool is polled.
void TJobRunner::StartJobs()
{
    QElapsedTimer passing;
    passing.start();
    for (qsizetype i = 0;
         i < m_queue.Count() && int(m_running.size()) < m_jobs && !m_refused && !m_starved;) {
        const TStart start =
            IsRunning(m_queue.At(i).Path) ? TStart::Waits : StartJob(m_queue.At(i));
        if (start == TStart::Started && m_jobs == 1)
            return;
        if (start != TStart::UpToDate)
            ++i;
        else if (passing.elapsed() >= TCons::PollMilliseconds)
            return;
    }
}

// An entry waits while a running job writes the same MP3, and while there is no thread for it
// but running jobs that give theirs back when they end. An MP3 this run made from another
// source is never up to date for this one: the job says why it does not replace it.
TJobRunner::TStart TJobRunner::StartJob(const TQueueEntry& entry)
{
    const std::optional<TSourceKind> kind = SourceKindOf(entry.Path);
    if (!kind) {
        m_host.RefuseEntry(entry.Path);
        m_refused = true;
        return TStart::Waits;
    }
    TJobSettings settings = m_host.JobSettings(*kind);
    const QString destination = TJob::Destination(entry, settings);
    if (m_claimed.contains(destination))
        return TStart::Waits;
    const QString madeEarlierFrom = m_host.MadeThisRun(destination);
    if (madeEarlierFrom.isEmpty() && TJob::IsUpToDate(entry, settings, destination)) {
        PassUpToDate(entry.Path, destination);
        return TStart::UpToDate;
    }
    const bool onThisThread = m_jobs == 1;
    if (onThisThread) {
        settings.MakeAdapter = [this, make = std::move(settings.MakeAdapter)](TSourceKind made) {
            std::unique_ptr<TAudio> audio = make(made);
            if (audio)
                audio->Cons.Pump = [this] { PumpEvents(); };
            return audio;
        };
    }
    auto running = std::make_shared<TRunning>(*this, entry, std::move(settings), madeEarlierFrom,
                                              destination, FreeSlot(), m_number.value(entry.Path),
                                              onThisThread ? m_host.LiveAdapterSlot() : nullptr);
    const QString problem = onThisThread ? QString() : StartWorker(*running);
    if (!problem.isEmpty()) {
        m_starved = !m_running.empty();
        if (m_starved)
            return TStart::Waits;
        // No thread, so the job never ran: it has nothing to clean up and ends at once.
        running->failureLine(entry.Path + QStringLiteral(": cannot start a thread: ") + problem);
        running->Ended = true;
    }
    m_claimed.insert(destination);
    if (m_view)
        m_view->jobStarted(running->Slot, entry.Path);
    m_running.push_back(running);
    if (onThisThread)
        RunOnThisThread(*running);
    return TStart::Started;
}

void TJobRunner::PassUpToDate(const QString& source, const QString& destination)
{
    const QString path = source; // EntryDone takes the entry and the text source refers to
    ++m_done;
    ++m_tally.UpToDate;
    m_number.remove(path);
    m_host.JobResult(path, TJobResult::UpToDate, destination);
    m_host.EntryDone(path);
}

void TJobRunner::RunOnThisThread(TRunning& running)
{
    running.Live = m_host.LiveEvents(running.Job);
    running.Job.Run();
    running.Ended = true;
    EndJob(m_running.back());
}

// Why the job's thread could not start; empty when it runs.
QString TJobRunner::StartWorker(TRunning& running)
{
    try {
        running.Worker = std::thread([this, job = &running] {
            job->Job.Run();
            std::lock_guard lock(m_mutex);
            job->Ended = true;
            m_ended = true;
            m_news.notify_one();
        });
        return {};
    } catch (const std::system_error& error) {
        return QString::fromStdString(error.code().message());
    }
}

// While the tool of a job on this thread polls: a Cancel stops the job there and then.
void TJobRunner::PumpEvents()
{
    m_host.ProcessEvents();
    if (m_host.CancelPending())
        StopAll();
}

// Every running tool is stopped at once; the jobs remove what they had begun.
void TJobRunner::StopAll()
{
    for (const std::shared_ptr<TRunning>& running : m_running)
        running->Job.Stop();
}

void TJobRunner::TakeEndedJobs()
{
    std::vector<std::shared_ptr<TRunning>> ended;
    {
        std::lock_guard lock(m_mutex);
        std::copy_if(m_running.begin(), m_running.end(), std::back_inserter(ended),
                     [](const auto& running) { return running->Ended; });
    }
    for (const std::shared_ptr<TRunning>& running : ended)
        EndJob(running);
}

void TJobRunner::EndJob(const std::shared_ptr<TRunning>& running)
{
    if (running->Worker.joinable())
        running->Worker.join();
    ShowJob(*running);
    m_running.erase(std::find(m_running.begin(), m_running.end(), running));
    m_claimed.remove(running->Destination);
    m_starved = false;
    const TJob& job = running->Job;
    if (job.MadeMp3)
        m_host.RecordMade(job.DestFile, job.SourceFile);
    m_number.remove(job.SourceFile);
    if (const QString untold = job.UntoldFailure(); !untold.isEmpty())
        running->Reports.append({false, {untold}});
    const bool failed = !running->Reports.isEmpty();
    const bool ok = !failed && !job.Stopped();
    ++m_done;
    m_tally.Converted += ok ? 1 : 0;
    m_tally.Failed += failed ? 1 : 0;
    m_results.emplace(running->Number, TResult{job.SourceFile, std::move(running->Reports)});
    m_host.JobResult(job.SourceFile,
                     failed ? TJobResult::Failed
                            : (ok ? TJobResult::Converted : TJobResult::Cancelled),
                     job.MadeMp3 ? job.DestFile : QString());
    m_host.EntryDone(job.SourceFile);
    if (m_view)
        m_view->jobEnded(running->Slot, job.SourceFile, ok);
}

// A job's entries are written once every job before it in the queue has written its own.
void TJobRunner::WriteResults(bool all)
{
    const qint64 waiting =
        all || m_queue.IsEmpty()
            ? std::numeric_limits<qint64>::max()
            : m_number.value(m_queue.First().Path, std::numeric_limits<qint64>::max());
    while (!m_results.empty() && m_results.begin()->first < waiting) {
        const TResult& result = m_results.begin()->second;
        for (const TReport& report : result.Reports) {
            if (report.Counted)
                m_host.WriteEntry(result.Source, report.Rows);
            else
                m_host.WriteLine(report.Rows.value(0));
        }
        m_results.erase(m_results.begin());
        m_host.ResultWritten();
    }
}

void TJobRunner::ShowJob(TRunning& running)
{
    if (!m_view)
        return;
    QList<QPair<QString, int>> progress;
    {
        std::lock_guard lock(m_mutex);
        progress.swap(running.Progress);
    }
    for (const auto& shown : progress) {
        if (shown != running.Shown)
            m_view->jobProgress(running.Slot, shown.first, shown.second);
        running.Shown = shown;
    }
}

void TJobRunner::ShowProgress()
{
    if (!m_view)
        return;
    for (const std::shared_ptr<TRunning>& running : m_running)
        ShowJob(*running);
    m_view->showRun(m_done, m_done + int(m_queue.Count()), m_elapsed.elapsed());
}

// Until a job ends, or for one poll of the tools, so that progress and the user's commands
// are seen as often as a running tool is polled.
void TJobRunner::WaitForNews()
{
    std::unique_lock lock(m_mutex);
    m_news.wait_for(lock, std::chrono::milliseconds(TCons::PollMilliseconds),
                    [this] { return m_ended; });
    m_ended = false;
}

bool TJobRunner::IsRunning(const QString& source) const
{
    return std::any_of(m_running.begin(), m_running.end(), [&source](const auto& running) {
        return running->Job.SourceFile == source;
    });
}

int TJobRunner::FreeSlot() const
{
    int slot = 0;
    while (std::any_of(m_running.begin(), m_running.end(),
                       [slot](const auto& running) { return running->Slot == slot; }))
        ++slot;
    return slot;
}
