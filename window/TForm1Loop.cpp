// TForm1: the transcoding loop. One job per queue entry, one at a time, shown as it goes; or
// several at once through a TJobRunner.
#include "FileSystem.h"
#include "TAudio.h"
#include "TForm1.h"
#include "TJobRunner.h"

#include <QDir>
#include <utility>

namespace {

// Progress bar colours per stage, as 0x00BBGGRR.
const QString FlacGaugeColor = QStringLiteral("0x006060FF");
const QString ApeGaugeColor = QStringLiteral("0x00506580");
const QString LameGaugeColor = QStringLiteral("0x00FF6060");

// The folder of a run's intermediate files, in the temporary folder.
const QString RunFolderPrefix = QStringLiteral("quarlow-");

} // namespace

// Shows the job the loop runs on the window, as it goes.
class TForm1JobEvents : public IJobEvents
{
public:
    explicit TForm1JobEvents(TForm1& form) : m_form(form) {}

    void Follow(const TJob& job) { m_job = &job; }

    void adapterCreating() override
    {
        m_form.m_view.setProgress(0);
        if (m_job->Kind() != TSourceKind::Wav)
            m_form.m_view.setProgressColor(
                ColorFromText(m_job->Kind() == TSourceKind::Flac ? FlacGaugeColor : ApeGaugeColor));
    }

    void jobPrepared() override
    {
        TakeJobState();
        m_form.ShowStatusLines(m_form.VerifyMode);
        m_form.ShowDestination();
        m_form.m_view.repaint();
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

    void decodeStarting() override { m_form.SetEnabled(TMenuItem::Checkcodecpaths1, false); }

    void encodeStageStarted() override
    {
        m_form.m_view.setProgress(0);
        m_form.m_view.setProgressColor(ColorFromText(LameGaugeColor));
        TakeJobState();
        m_form.ShowStatusLines(m_form.VerifyMode);
    }

    void encoderRunning(bool running) override { m_form.SetCustomSettingsEnabled(!running); }
    void jobEnded() override { m_form.SetEnabled(TMenuItem::Checkcodecpaths1, true); }
    void errorEntry(const QStringList& rows) override { m_form.AddErrorEntry(rows); }
    void failureLine(const QString& line) override { m_form.m_view.appendError(line); }
    bool stopRequested() const override { return m_form.CancelRequested; }

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
}

void TForm1::TranscodeQueue()
{
    StartRun();
    if (m_jobs > 1)
        TJobRunner(*this, *m_jobsView, m_jobs).Run();
    else
        while (!m_queue.IsEmpty() && RunIteration()) {
        }
    EndRun();
}

void TForm1::StartRun()
{
    Busy = true;
    SetEnabled(TMenuItem::Exit1, false);
    m_view.setHintEnabled(false);
    SetEnabled(TMenuItem::LameHelpShow1, false);
    m_view.clearErrors();
    m_view.showTags({});
    ShowStatusLines(VerifyMode);
    ErrorCount = 0;
    m_madeThisRun.clear();
    // What the drop that starts the run could not read belongs to this run's list.
    for (const QString& problem : std::exchange(m_intakeProblems, {}))
        AddCountedLine(problem);
}

// False when the loop is to end at once (an entry of a kind no adapter serves).
bool TForm1::RunIteration()
{
    // Between jobs the user's commands run: Cancel, further drops, the window's commands.
    m_view.processEvents();
    SetEnabled(TMenuItem::mnuSaveTo, false);
    SetEnabled(TMenuItem::Savetosourcedirectory1, false);
    SetOptionCommandsEnabled(false);
    if (CancelRequested)
        AbortQueue();
    else if (!RunFirstEntry())
        return false;
    if (VerifyMode && ErrorCount != 0)
        ShowErrorSummary();
    return true;
}

bool TForm1::RunFirstEntry()
{
    const TQueueEntry entry = m_queue.First();
    SourceFile = entry.Path;
    if (!SourceKindOf(SourceFile)) {
        m_view.showMessage(ExtensionErrorText);
        return false;
    }
    RunJob(entry);
    if (!m_queue.IsEmpty()) {
        m_queue.RemoveFirst();
        m_view.removeFirstQueueEntry();
    }
    return true;
}

// The job's tools keep the window responsive while they run.
void TForm1::RunJob(const TQueueEntry& entry)
{
    TJobSettings settings = JobSettings(*SourceKindOf(entry.Path));
    settings.MakeAdapter = [this, make = std::move(settings.MakeAdapter)](TSourceKind kind) {
        std::unique_ptr<TAudio> audio = make(kind);
        if (audio)
            audio->Cons.Pump = [this] { m_view.processEvents(); };
        return audio;
    };
    const QString madeEarlierFrom = m_madeThisRun.value(TJob::Destination(entry, settings));
    TForm1JobEvents events(*this);
    TJob job(entry, std::move(settings), events, madeEarlierFrom, &Audio);
    events.Follow(job);
    job.Run();
    if (const QString untold = job.UntoldFailure(); !untold.isEmpty())
        m_view.appendError(untold);
    if (job.MadeMp3)
        m_madeThisRun.insert(job.DestFile, job.SourceFile);
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
    SetEnabled(TMenuItem::mnuSaveTo, !IsTicked(TMenuItem::Savetosourcedirectory1));
    SetEnabled(TMenuItem::Savetosourcedirectory1, true);
    SetOptionCommandsEnabled(true);
    SetEnabled(TMenuItem::Exit1, true);
    m_view.setProgress(0);
    m_view.setLabelText(TLabel::Version, {});
    m_view.setLabelText(TLabel::Audio, {});
    m_view.setLabelText(TLabel::Destination, {});
    RemoveFolderTree(std::exchange(m_runFolder, {}));
    Busy = false;
    m_view.setHintEnabled(true);
    SetEnabled(TMenuItem::LameHelpShow1, true);
    m_view.setApplicationTitle(FileDescription);
    // The Cancel command's request ends with the run it stopped, so that it stops no later
    // tool (the help capture, a version probe); a close request's never does. "Exit when
    // done" closes unless the run was cancelled.
    const bool cancelled = IsTicked(TMenuItem::Stopcurrentprocesses1);
    SetTicked(TMenuItem::Stopcurrentprocesses1, false);
    CancelRequested = m_closeRequested;
    if (IsTicked(TMenuItem::Exit1) && !cancelled)
        m_view.closeWindow();
    else
        CloseIfRequested();
}
