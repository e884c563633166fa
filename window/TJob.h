#pragma once

#include "TJobQueue.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class TAudio;

enum class TSourceKind
{
    Flac,
    Ape,
    Wav
};

// Shown when a queue entry is of no kind an adapter serves.
inline const QString ExtensionErrorText = QStringLiteral("error in extension");

// The kind of source a path names by its extension (any case), if it is one of the three.
std::optional<TSourceKind> SourceKindOf(const QString& path);

// The codec adapter for a kind of source.
std::unique_ptr<TAudio> CreateCodecAdapter(TSourceKind kind);

// Everything a job reads of the window, copied when the job is made, so that a job on a worker
// thread never reads what the window may change meanwhile.
struct TJobSettings
{
    using AdapterMaker = std::function<std::unique_ptr<TAudio>(TSourceKind)>;

    QString LameOptions;
    QString SaveDirName;
    bool SaveToSource = false;
    bool Verify = false;
    // A source whose MP3 is up to date is not converted (unless verifying).
    bool UpdateOnly = false;
    QString LamePath;
    QString FlacPath;
    QString ApePath;
    QString FlacVersion;
    QString ApeVersion;
    // The run's private folder for intermediate files; empty when it could not be made, and
    // then the reason.
    QString RunFolder;
    QString RunFolderError;
    AdapterMaker MakeAdapter;
};

// What a job shows as it goes, at the moments the window shows something. Every call comes
// on the thread that runs the job.
class IJobDisplay
{
public:
    virtual ~IJobDisplay() = default;
    // The adapter is about to be made; the job's kind is known.
    virtual void adapterCreating() {}
    // The destination and the decoder are known; the tags are read next.
    virtual void jobPrepared() {}
    // The adapter read a new progress value or an error row.
    virtual void progressChanged() {}
    virtual void tagsRead() {}
    virtual void decodeStarting() {}
    // The decode has ended and is judged; LAME runs next unless it failed.
    virtual void encodeStageStarted() {}
    virtual void jobEnded() {}
};

// What a job tells whoever runs it: what it shows, and what fails.
class IJobEvents : public IJobDisplay
{
public:
    // A failed step: the rows of one error entry.
    virtual void errorEntry(const QStringList& rows) = 0;
    // The job could not run at all: one line, not counted as an entry.
    virtual void failureLine(const QString& line) = 0;
    // Whether the user asked to stop, besides a Stop of the job itself.
    virtual bool stopRequested() const { return false; }
};

// The rules of one job: the adapter for the source's kind, the destination, the tags, the
// decode, the judging of each step, the encode, the error entries and the clean-up. The job
// runner runs jobs of this class, for the window and for quarlow-cli.
class TJob
{
public:
    // adapterSlot: where the adapter lives while the job runs; the window keeps it in its own
    // member so that its commands reach it. madeEarlierFrom: the source this run already made
    // the job's MP3 from, if any.
    TJob(const TQueueEntry& entry, TJobSettings settings, IJobEvents& events,
         QString madeEarlierFrom = {}, std::unique_ptr<TAudio>* adapterSlot = nullptr);
    ~TJob();
    TJob(const TJob&) = delete;
    TJob& operator=(const TJob&) = delete;

    // Works the job off; whatever fails is told through the events, nothing is thrown.
    void Run();
    // From any thread: stops the job's running tool now and every tool it would start.
    void Stop();
    bool Stopped() const { return m_stopped; }
    // After Run: the line of a failure inside the job that could not be told then; empty when
    // there was none, or it was told.
    QString UntoldFailure() const;

    // Where the MP3 of a queue entry goes.
    static QString Destination(const TQueueEntry& entry, const TJobSettings& settings);
    // Whether the entry needs no job: only what is new or changed is converted, and its MP3 at
    // destination is as new as the source. Never when verifying.
    static bool IsUpToDate(const TQueueEntry& entry, const TJobSettings& settings,
                           const QString& destination);

    TAudio* Audio() const { return m_audio.get(); }
    TSourceKind Kind() const { return m_kind; }
    // Of the running job, as the window shows them.
    const QString SourceFile;
    QString DestFile;
    QString WavFile;
    QString StageName;
    QString DecoderVersion;
    bool NoDecodeStep = false;
    // Whether the job put an MP3 in place.
    bool MadeMp3 = false;

private:
    void RunSteps();
    void ReportFailure(const std::exception_ptr& failure);
    QString FailureLine(const QString& reason) const;
    QString CreateAdapter();
    QString CreateIntermediateFile(const QString& folder, const QString& version);
    // False when the job must not run (its MP3 would replace one this run made).
    bool Prepare();
    void DecodeAndEncode();
    void JudgeDecodeAndEncode();
    bool DecodeSucceeded() const;
    void EncodeJob();
    void PutMp3InPlace();
    void CleanUp();
    void SetAdapter(std::unique_ptr<TAudio> audio);

    const TQueueEntry m_entry;
    const TJobSettings m_settings;
    IJobEvents& m_events;
    const QString m_madeEarlierFrom;
    const TSourceKind m_kind;
    std::unique_ptr<TAudio> m_ownAdapter;
    std::unique_ptr<TAudio>& m_audio;
    // Guards m_audio between the job's thread, which makes and ends the adapter, and Stop.
    mutable std::mutex m_audioMutex;
    std::atomic<bool> m_stopped = false;
    std::exception_ptr m_failure;
    bool m_failureUntold = false;
    bool m_hadDecodeStep = false;
    // The hidden file LAME writes before it takes DestFile's name; empty once it has.
    QString m_partFile;
};
