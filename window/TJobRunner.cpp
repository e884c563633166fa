#include "TJobRunner.h"

#include "IJobsView.h"
#include "TAudio.h"
#include "TForm1.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <system_error>

// One running job: its worker reports through here. What the runner reads while the job runs
// (progress, end) is guarded by the runner's mutex; the rest is the worker's until the job has
// ended, and the runner's after.
struct TJobRunner::TRunning : IJobEvents
{
    TRunning(TJobRunner& runner, const TQueueEntry& entry, TJobSettings settings,
             const QString& madeEarlierFrom, QString destination, int slot, qint64 number)
        : Runner(runner), Job(entry, std::move(settings), *this, madeEarlierFrom),
          Destination(std::move(destination)), Slot(slot), Number(number)
    {}

    // Each stage the job enters is kept with its latest percentage, so that the view learns
    // of every stage, however short.
    void progressChanged() override
    {
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

    TJobRunner& Runner;
    TJob Job;
    const QString Destination;
    const int Slot;
    const qint64 Number;
    QList<TReport> Reports;
    // Under the runner's mutex: the stages since the runner last looked, and the end.
    QList<QPair<QString, int>> Progress;
    bool Ended = false;
    // The runner's: what the view shows of the job, and the thread that runs it.
    QPair<QString, int> Shown;
    std::thread Worker;
};

TJobRunner::TJobRunner(TForm1& form, IJobsView& view, int jobs)
    : m_form(form), m_view(view), m_jobs(jobs)
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
    m_form.SetEnabled(TMenuItem::mnuSaveTo, false);
    m_form.SetEnabled(TMenuItem::Savetosourcedirectory1, false);
    m_form.SetOptionCommandsEnabled(false);
    for (;;) {
        // The user's commands run here: Cancel, further drops.
        m_form.m_view.processEvents();
        TakeEndedJobs();
        NumberEntries();
        if (m_form.CancelRequested)
            StopAll();
        else if (!m_refused)
            StartJobs();
        WriteResults(false);
        ShowProgress();
        if (m_running.empty() && (m_form.CancelRequested || m_refused || m_form.m_queue.IsEmpty()))
            break;
        WaitForNews();
    }
    if (m_form.CancelRequested)
        m_form.AbortQueue();
    WriteResults(true);
    m_view.runEnded(m_succeeded, m_failed, m_elapsed.elapsed());
}

// Entries get their numbers in queue order; a drop appends, so a later entry always has a
// higher number than those before it.
void TJobRunner::NumberEntries()
{
    const TJobQueue& queue = m_form.m_queue;
    for (qsizetype i = 0; i < queue.Count(); ++i) {
        if (!m_number.contains(queue.At(i).Path))
            m_number.insert(queue.At(i).Path, m_nextNumber++);
    }
}

void TJobRunner::StartJobs()
{
    const TJobQueue& queue = m_form.m_queue;
    for (qsizetype i = 0;
         i < queue.Count() && int(m_running.size()) < m_jobs && !m_refused && !m_starved; ++i) {
        if (!IsRunning(queue.At(i).Path))
            StartJob(queue.At(i));
    }
}

// An entry waits while a running job writes the same MP3, and while there is no thread for it
// but running jobs that give theirs back when they end.
void TJobRunner::StartJob(const TQueueEntry& entry)
{
    const std::optional<TSourceKind> kind = SourceKindOf(entry.Path);
    if (!kind) {
        m_form.m_view.showMessage(ExtensionErrorText);
        m_refused = true;
        return;
    }
    TJobSettings settings = m_form.JobSettings(*kind);
    const QString destination = TJob::Destination(entry, settings);
    if (m_claimed.contains(destination))
        return;
    auto running = std::make_shared<TRunning>(*this, entry, std::move(settings),
                                              m_form.m_madeThisRun.value(destination), destination,
                                              FreeSlot(), m_number.value(entry.Path));
    const QString problem = StartWorker(*running);
    if (!problem.isEmpty()) {
        m_starved = !m_running.empty();
        if (m_starved)
            return;
        // No thread, so the job never ran: it has nothing to clean up and ends at once.
        running->failureLine(entry.Path + QStringLiteral(": cannot start a thread: ") + problem);
        running->Ended = true;
    }
    m_claimed.insert(destination);
    m_view.jobStarted(running->Slot, entry.Path);
    m_running.push_back(running);
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
        m_form.m_madeThisRun.insert(job.DestFile, job.SourceFile);
    m_form.m_queue.Remove(job.SourceFile);
    m_number.remove(job.SourceFile);
    if (const QString untold = job.UntoldFailure(); !untold.isEmpty())
        running->Reports.append({false, {untold}});
    const bool failed = !running->Reports.isEmpty();
    const bool ok = !failed && !job.Stopped();
    ++m_done;
    m_succeeded += ok ? 1 : 0;
    m_failed += failed ? 1 : 0;
    m_results.emplace(running->Number, TResult{job.SourceFile, std::move(running->Reports)});
    m_view.jobEnded(running->Slot, job.SourceFile, ok);
}

// A job's entries are written once every job before it in the queue has written its own.
void TJobRunner::WriteResults(bool all)
{
    const TJobQueue& queue = m_form.m_queue;
    const qint64 waiting =
        all || queue.IsEmpty()
            ? std::numeric_limits<qint64>::max()
            : m_number.value(queue.First().Path, std::numeric_limits<qint64>::max());
    while (!m_results.empty() && m_results.begin()->first < waiting) {
        const TResult& result = m_results.begin()->second;
        for (const TReport& report : result.Reports) {
            if (report.Counted)
                m_form.WriteErrorEntry(result.Source, report.Rows);
            else
                m_form.m_view.appendError(report.Rows.value(0));
        }
        m_results.erase(m_results.begin());
        if (m_form.VerifyMode && m_form.ErrorCount != 0)
            m_form.ShowErrorSummary();
    }
}

void TJobRunner::ShowJob(TRunning& running)
{
    QList<QPair<QString, int>> progress;
    {
        std::lock_guard lock(m_mutex);
        progress.swap(running.Progress);
    }
    for (const auto& shown : progress) {
        if (shown != running.Shown)
            m_view.jobProgress(running.Slot, shown.first, shown.second);
        running.Shown = shown;
    }
}

void TJobRunner::ShowProgress()
{
    for (const std::shared_ptr<TRunning>& running : m_running)
        ShowJob(*running);
    m_view.showRun(m_done, m_done + int(m_form.m_queue.Count()), m_elapsed.elapsed());
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
