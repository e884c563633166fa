// One job: read the tags, decode to an intermediate WAV file, encode that to MP3, record what
// failed, remove the intermediate file.
#include "TJob.h"

#include "FileSystem.h"
#include "PathText.h"
#include "RiffWave.h"
#include "TApe.h"
#include "TFlac.h"
#include "TWav.h"

#include <cerrno>
#include <exception>
#include <new>
#include <system_error>
#include <utility>

namespace {

const QString LameTagDone = QStringLiteral("Writing LAME Tag...done");
const QString NoIntermediateText = QStringLiteral(": cannot create intermediate wav file");
const QString JobFailedText = QStringLiteral(": the job could not run");
const QString NotRegularText = QStringLiteral("not a regular file, so it was not converted");
// LAME writes to a hidden file of this name in the destination folder; only a whole MP3 is
// then put in the place of the final name.
const QString PartFilePrefix = QStringLiteral(".~TT");
const QString Mp3Extension = QStringLiteral(".mp3");

// flac ends a good decode with "NAME: done"; mac with "Success..." in older versions and a
// row that reads just "Success" in current ones.
bool DecoderReportedSuccess(const QStringList& rows)
{
    for (const QString& row : rows) {
        if (row.contains(u"Success...") || row.contains(u": done") || row.trimmed() == u"Success")
            return true;
    }
    return false;
}

// What an exception escaping a job says, in the system's words where it has them.
QString ExceptionText(const std::exception_ptr& exception)
{
    try {
        std::rethrow_exception(exception);
    } catch (const std::bad_alloc&) {
        return ErrnoText(ENOMEM);
    } catch (const std::system_error& error) {
        return QString::fromStdString(error.code().message());
    } catch (const std::exception& error) {
        return QString::fromLocal8Bit(error.what());
    } catch (...) {
    }
    return QStringLiteral("unknown failure");
}

QString StageNameOf(TSourceKind kind)
{
    switch (kind) {
    case TSourceKind::Flac:
        return QStringLiteral("Flac");
    case TSourceKind::Ape:
        return QStringLiteral("Ape");
    case TSourceKind::Wav:
        break;
    }
    return QStringLiteral("Wav");
}

} // namespace

std::optional<TSourceKind> SourceKindOf(const QString& path)
{
    const QString extension = LowerExtension(path);
    if (extension == u".flac")
        return TSourceKind::Flac;
    if (extension == u".ape")
        return TSourceKind::Ape;
    if (extension == u".wav")
        return TSourceKind::Wav;
    return std::nullopt;
}

std::unique_ptr<TAudio> CreateCodecAdapter(TSourceKind kind)
{
    switch (kind) {
    case TSourceKind::Flac:
        return std::make_unique<TFlac>();
    case TSourceKind::Ape:
        return std::make_unique<TApe>();
    case TSourceKind::Wav:
        break;
    }
    return std::make_unique<TWav>();
}

// The entry names a source of one of the three kinds: the caller has checked it.
TJob::TJob(const TQueueEntry& entry, TJobSettings settings, IJobEvents& events,
           QString madeEarlierFrom, std::unique_ptr<TAudio>* adapterSlot)
    : SourceFile(entry.Path), m_entry(entry), m_settings(std::move(settings)), m_events(events),
      m_madeEarlierFrom(std::move(madeEarlierFrom)), m_kind(SourceKindOf(entry.Path).value()),
      m_audio(adapterSlot ? *adapterSlot : m_ownAdapter)
{}

TJob::~TJob() = default;

// Below the save folder the path rebuilds the dropped item: the part of the source path
// after the base folder.
QString TJob::Destination(const TQueueEntry& entry, const TJobSettings& settings)
{
    const QString mp3 = ChangeExtension(entry.Path, Mp3Extension);
    const QString& base = entry.BaseFolder;
    const QString relative = mp3.mid(base.size() + (base.endsWith(PathSeparator) ? 0 : 1));
    if (settings.SaveToSource)
        return FolderPart(entry.Path) + PathSeparator + FileNamePart(relative);
    return settings.SaveDirName + relative;
}

// The MP3 under its final name is always a whole one: a cut encode leaves only its hidden
// part file, so an interrupted run leaves nothing that passes for up to date.
bool TJob::IsUpToDate(const TQueueEntry& entry, const TJobSettings& settings,
                      const QString& destination)
{
    return settings.UpdateOnly && !settings.Verify && ::IsUpToDate(destination, entry.Path);
}

void TJob::Run()
{
    // Whatever goes wrong inside a job is recorded; the clean-up below always runs, so no
    // intermediate or partial file outlives its job.
    try {
        RunSteps();
    } catch (...) {
        ReportFailure(std::current_exception());
    }
    m_events.jobEnded();
    CleanUp();
}

// Without memory even the line that says so may not be made: the job still ends and cleans
// up, and whoever runs it tells the line once the job's memory is back.
void TJob::ReportFailure(const std::exception_ptr& failure)
{
    m_failure = failure;
    try {
        m_events.failureLine(FailureLine(ExceptionText(failure)));
    } catch (...) {
        m_failureUntold = true;
    }
}

QString TJob::UntoldFailure() const
{
    return m_failureUntold ? FailureLine(ExceptionText(m_failure)) : QString();
}

void TJob::RunSteps()
{
    // A pipe or a device put in the place of a queued file would be waited on for ever; a
    // file gone missing is for the tools to report.
    const TPathKind kind = PathKind(SourceFile);
    if (kind == TPathKind::Folder || kind == TPathKind::Other) {
        m_events.errorEntry({NotRegularText});
        return;
    }
    const QString problem = CreateAdapter();
    if (!problem.isEmpty())
        m_events.failureLine(FailureLine(problem));
    else if (Prepare())
        DecodeAndEncode();
}

// The line of a job that could not run: a decoder's job says that its intermediate file could
// not be made; a WAV job has none.
QString TJob::FailureLine(const QString& reason) const
{
    return SourceFile + (m_kind == TSourceKind::Wav ? JobFailedText : NoIntermediateText) +
           QStringLiteral(" (") + reason + u')';
}

void TJob::Stop()
{
    m_stopped = true;
    std::lock_guard lock(m_audioMutex);
    if (m_audio)
        m_audio->SetCancel(true);
}

void TJob::SetAdapter(std::unique_ptr<TAudio> audio)
{
    std::lock_guard lock(m_audioMutex);
    m_audio = std::move(audio);
    if (m_audio && m_stopped)
        m_audio->SetCancel(true);
}

// Why the job cannot run: no adapter, or no intermediate file could be created; empty when it
// can.
QString TJob::CreateAdapter()
{
    SetAdapter(nullptr);
    WavFile.clear();
    m_hadDecodeStep = false;
    m_events.adapterCreating();
    SetAdapter(m_settings.MakeAdapter(m_kind));
    // A maker that gives no adapter had no memory for one.
    if (!m_audio)
        return ErrnoText(ENOMEM);
    switch (m_kind) {
    case TSourceKind::Flac:
        return CreateIntermediateFile(m_settings.FlacPath, m_settings.FlacVersion);
    case TSourceKind::Ape:
        return CreateIntermediateFile(m_settings.ApePath, m_settings.ApeVersion);
    case TSourceKind::Wav:
        break;
    }
    WavFile = SourceFile;
    return {};
}

// The intermediate files live in a folder of the run's own that no one else can enter, so
// nothing planted in the shared temporary folder can redirect a decoder's write.
QString TJob::CreateIntermediateFile(const QString& folder, const QString& version)
{
    m_hadDecodeStep = true;
    DecoderVersion = version;
    m_audio->DecoderVersion = version;
    m_audio->SetDecoderFolder(folder);
    if (m_settings.RunFolder.isEmpty())
        return m_settings.RunFolderError.isEmpty() ? ErrnoText(ENOENT) : m_settings.RunFolderError;
    m_audio->TempFolder = m_settings.RunFolder;
    const TMade made = m_audio->MakeTempWav();
    WavFile = made.Path;
    return made.Error;
}

bool TJob::Prepare()
{
    m_audio->LameOptions = m_settings.LameOptions;
    m_audio->SourceFile = SourceFile;
    // The destination is known before anything is read, and shown from the job's first moment.
    DestFile = Destination(m_entry, m_settings);
    StageName = StageNameOf(m_kind);
    NoDecodeStep = !m_hadDecodeStep;
    m_events.jobPrepared();
    m_audio->OnProgress = [this](TAudio*) { m_events.progressChanged(); };
    m_audio->ReadTags(SourceFile);
    m_events.tagsRead();
    if (m_settings.Verify)
        return true;
    // Two sources of one name (song.flac, song.FLAC, song.wav) would make one MP3, and the
    // later would silently replace the earlier.
    if (!m_madeEarlierFrom.isEmpty()) {
        m_events.errorEntry({QStringLiteral("%1 was made from %2 in this run, so this file was "
                                            "not converted")
                                 .arg(DestFile, m_madeEarlierFrom)});
        return false;
    }
    ForceFolders(FolderPart(DestFile));
    return true;
}

void TJob::DecodeAndEncode()
{
    m_events.decodeStarting();
    if (m_audio->ConvertToWav(SourceFile, WavFile))
        JudgeDecodeAndEncode();
    else
        m_events.errorEntry(m_audio->ToolOutput); // the decoder could not start; it says why
}

void TJob::JudgeDecodeAndEncode()
{
    StageName = QStringLiteral("Lame");
    m_audio->OnEncodeProgress = [this](TAudio*) { m_events.progressChanged(); };
    m_events.encodeStageStarted();
    if (NoDecodeStep) {
        const QString problem = RiffWaveProblem(WavFile);
        if (!problem.isEmpty()) {
            m_events.errorEntry({problem});
            return;
        }
    } else if (!DecodeSucceeded()) {
        // A decoder that stopped half-way may leave a partial WAV: it is not encoded.
        m_events.errorEntry(m_audio->ToolOutput);
        return;
    }
    if (!m_stopped && !m_events.stopRequested() && !m_settings.Verify)
        EncodeJob();
}

bool TJob::DecodeSucceeded() const
{
    return m_audio->Cons.endedCleanly() && FileExists(WavFile) &&
           DecoderReportedSuccess(m_audio->ToolOutput);
}

// LAME writes a hidden file beside the MP3; only a whole encode takes the MP3's name, in one
// step. Whatever else happens, an MP3 made earlier stays as it was.
void TJob::EncodeJob()
{
    m_audio->SetLameFolder(m_settings.LamePath);
    const TMade part = CreateUniqueFile(FolderPart(DestFile), PartFilePrefix, Mp3Extension);
    m_partFile = part.Path;
    if (m_partFile.isEmpty()) {
        m_events.errorEntry(
            {QStringLiteral("cannot write into %1: %2").arg(FolderPart(DestFile), part.Error)});
    } else if (!m_audio->Encode(WavFile, m_partFile)) {
        m_events.errorEntry(m_audio->ToolOutput); // LAME could not start; it says why
    } else {
        PutMp3InPlace();
    }
}

// A whole encode: LAME wrote its tag row (or reached 100%), showed progress and ended on its
// own with status 0, and its file is there.
void TJob::PutMp3InPlace()
{
    // A cover LAME would refuse, or take in a form readers reject, was left out: the MP3 is
    // made all the same, and an entry says what it lacks.
    if (const QString& problem = m_audio->Cover.Problem; !problem.isEmpty())
        m_events.errorEntry({problem});
    // LAME writes no tag row when its frames are too small to hold the tag (32 kbit/s at
    // 16 kHz); its progress row at 100% then tells the end.
    const bool finished = m_audio->ToolOutput.contains(LameTagDone) || m_audio->Progress == 100;
    if (!m_audio->Cons.endedCleanly() || !finished || !FileExists(m_partFile)) {
        m_events.errorEntry(m_audio->ToolOutput);
        return;
    }
    if (!m_audio->ProgressSeen) {
        m_events.errorEntry(
            m_audio->ToolOutput +
            QStringList{QStringLiteral("LAME showed no progress, so its MP3 was discarded")});
        return;
    }
    const QString problem = ReplaceFile(m_partFile, DestFile);
    if (!problem.isEmpty()) {
        m_events.errorEntry({QStringLiteral("cannot save %1: %2").arg(DestFile, problem)});
        return;
    }
    m_partFile.clear();
    MadeMp3 = true;
}

void TJob::CleanUp()
{
    if (m_hadDecodeStep && !WavFile.isEmpty()) {
        ClearReadOnly(WavFile);
        RemoveFile(WavFile);
    }
    // An encode that failed or was cut short leaves nothing behind.
    RemoveFile(std::exchange(m_partFile, {}));
    SetAdapter(nullptr);
}
