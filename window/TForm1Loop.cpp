// TForm1: its runs. A TJobRunner works the queue off, one job at a time shown as it goes, or
// several at once; the window is its host.
#include "FileSystem.h"
#include "TAudio.h"
#include "TForm1.h"
#include "TJobRunner.h"

#include <QDir>
#include <algorithm>
#include <functional>
#include <utility>

namespace {

// Progress bar colours per stage, as 0x00BBGGRR.
const QString FlacGaugeColor = QStringLiteral("0x006060FF");
const QString ApeGaugeColor = QStringLiteral("0x00506580");
const QString LameGaugeColor = QStringLiteral("0x00FF6060");

// The folder of a run's intermediate files, in the temporary folder.
const QString RunFolderPrefix = QStringLiteral("quarlow-");

} // namespace

// Shows the job that runs on the window's thread, as it goes.
class TForm1JobEvents : public IJobDisplay
{
public:
    explicit TForm1JobEvents(TForm1& form) : m_form(form) {}

    void Follow(const TJob& job)
    {
        m_job = &job;
        m_form.SourceFile = job.SourceFile;
    }

    void adapterCreating() override
    {
        m_form.m_view.setProgress(0);
        if (m_form.m_window && m_job->Kind() != TSourceKind::Wav)
            m_form.m_window->setProgressColor(
                ColorFromText(m_job->Kind() == TSourceKind::Flac ? FlacGaugeColor : ApeGaugeColor));
    }

    void jobPrepared() override
    {
        TakeJobState();
        m_form.ShowStatusLines(m_form.VerifyMode);
        m_form.ShowDestination();
        if (m_form.m_window)
            m_form.m_window->repaint();
        m_form.m_view.setLabelText(TLabel::Version, m_job->NoDecodeStep
                                                        ? QStringLiteral("WAV to MP3")
                                                        : m_job->StageName +
                                                              QStringLiteral(" version : ") +
                                                              m_job->DecoderVersion);
    }

    void progressChanged() override { m_form.ProgressChanged(m_form.Audio.get()); }

    void tagsRead() override
    {
        TakeJobState();
        m_form.ShowTagList();
    }

    void encodeStageStarted() override
    {
        m_form.m_view.setProgress(0);
        if (m_form.m_window)
            m_form.m_window->setProgressColor(ColorFromText(LameGaugeColor));
        TakeJobState();
        m_form.ShowStatusLines(m_form.VerifyMode);
    }

private:
    // The window's run state names the running job's files and stage.
    void TakeJobState()
    {
        m_form.DestFile = m_job->DestFile;
        m_form.WavFile = m_job->WavFile;
        m_form.StageName = m_job->StageName;
        m_form.NoDecodeStep = m_job->NoDecodeStep;
    }

    TForm1& m_form;
    const TJob* m_job = nullptr;
};

void TForm1::SetParallelJobs(int jobs, IJobsView* jobsView)
{
    m_jobs = jobsView ? jobs : 1;
    m_jobsView = jobsView;
    m_storedJobs = false;
}

void TForm1::TakeStoredJobs(IJobsView& jobsView)
{
    m_jobsView = &jobsView;
    m_storedJobs = true;
}

void TForm1::TranscodeQueue()
{
    if (m_storedJobs)
        m_jobs = Settings.JobCount();
    StartRun();
    TForm1JobEvents live(*this);
    m_live = m_jobs == 1 ? &live : nullptr;
    TJobRunner runner(*this, m_queue, m_jobs == 1 ? nullptr : m_jobsView, m_jobs);
    m_runner = &runner;
    runner.Run();
    m_runner = nullptr;
    m_live = nullptr;
    EndRun();
}

// The codec locator would open its modal dialog inside the run's event pump, so it stays off
// for the whole run.
void TForm1::StartRun()
{
    Busy = true;
    SetEnabled(TMenuItem::Exit1, false);
    SetEnabled(TMenuItem::Checkcodecpaths1, false);
    SetJobSettingCommandsEnabled(false);
    SetEnabled(TMenuItem::LameHelpShow1, false);
    m_view.clearErrors();
    if (m_window) {
        m_window->setHintEnabled(false);
        m_window->showTags({});
    }
    ShowStatusLines(VerifyMode);
    ErrorCount = 0;
    m_madeThisRun.clear();
    // What the drop that starts the run could not read belongs to this run's list.
    for (const QString& problem : std::exchange(m_intakeProblems, {}))
        AddCountedLine(problem);
}

// The user's commands run: Cancel, further drops, the window's commands.
void TForm1::ProcessEvents()
{
    m_view.processEvents();
}

// The commands that change a job's settings are off while a run takes jobs.
void TForm1::SetJobSettingCommandsEnabled(bool enabled)
{
    SetEnabled(TMenuItem::mnuSaveTo, enabled && !IsTicked(TMenuItem::Savetosourcedirectory1));
    SetEnabled(TMenuItem::Savetosourcedirectory1, enabled);
    SetOptionCommandsEnabled(enabled);
}

IJobDisplay* TForm1::LiveEvents(const TJob& job)
{
    if (m_live)
        m_live->Follow(job);
    return m_live;
}

// From the last row up, so that each row still names its entry.
void TForm1::RemoveWaitingEntries(QList<qsizetype> rows)
{
    std::sort(rows.begin(), rows.end(), std::greater<>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (qsizetype row : rows) {
        if (row < 0 || row >= m_queue.Count())
            continue;
        const QString path = m_queue.At(row).Path;
        if (m_runner && m_runner->IsRunning(path))
            continue;
        m_queue.Remove(path);
        m_view.removeQueueEntry(row);
    }
}

QString TForm1::MadeThisRun(const QString& destination) const
{
    return m_madeThisRun.value(destination);
}

void TForm1::RecordMade(const QString& destination, const QString& source)
{
    m_madeThisRun.insert(destination, source);
}

void TForm1::EntryDone(const QString& source)
{
    const qsizetype index = m_queue.Remove(source);
    if (index >= 0)
        m_view.removeQueueEntry(index);
}

void TForm1::WriteLine(const QString& line)
{
    m_view.appendError(line);
}

void TForm1::ResultWritten()
{
    if (VerifyMode && ErrorCount != 0)
        ShowErrorSummary();
}

void TForm1::RefuseEntry(const QString& /*source*/)
{
    m_view.showMessage(ExtensionErrorText);
}

void TForm1::DropWaitingEntries()
{
    AbortQueue();
}

TJobSettings TForm1::JobSettings(TSourceKind kind)
{
    // The intermediate files live in a folder of the run's own, made when the first decode
    // needs it.
    if (kind != TSourceKind::Wav && m_runFolder.isEmpty()) {
        const TMade made = CreatePrivateFolder(QDir::tempPath(), RunFolderPrefix);
        m_runFolder = made.Path;
        m_runFolderError = made.Error;
    }
    return {CheckedPresetOptions(),
            SaveDirName,
            IsTicked(TMenuItem::Savetosourcedirectory1),
            IsTicked(TMenuItem::Verifyonly1),
            LamePath,
            FlacPath,
            ApePath,
            FlacVersionText,
            ApeVersionText,
            m_runFolder,
            m_runFolderError,
            MakeAdapter};
}

// The intermediate file and the partial MP3 of the job that a Cancel cut short were removed
// when that job ended; what remains to do is to drop the waiting entries.
void TForm1::AbortQueue()
{
    m_queue.Clear();
    m_view.clearQueue();
}

void TForm1::EndRun()
{
    if (ErrorCount != 0)
        ShowErrorSummary();
    SetJobSettingCommandsEnabled(true);
    SetEnabled(TMenuItem::Exit1, true);
    SetEnabled(TMenuItem::Checkcodecpaths1, true);
    m_view.setProgress(0);
    // After several jobs at once the line that sums the run up stays.
    if (m_jobs == 1)
        m_view.setLabelText(TLabel::Version, {});
    m_view.setLabelText(TLabel::Audio, {});
    m_view.setLabelText(TLabel::Destination, {});
    RemoveFolderTree(std::exchange(m_runFolder, {}));
    Busy = false;
    SetEnabled(TMenuItem::LameHelpShow1, true);
    if (m_window) {
        m_window->setHintEnabled(true);
        m_window->setApplicationTitle(FileDescription);
    }
    // The Cancel command's request ends with the run it stopped, so that it stops no later
    // tool (the help capture, a version probe); a close request's never does. "Exit when
    // done" closes unless the run was cancelled.
    const bool cancelled = IsTicked(TMenuItem::Stopcurrentprocesses1);
    SetTicked(TMenuItem::Stopcurrentprocesses1, false);
    CancelRequested = m_closeRequested;
    if (IsTicked(TMenuItem::Exit1) && !cancelled && m_window)
        m_window->closeWindow();
    else
        CloseIfRequested();
}
