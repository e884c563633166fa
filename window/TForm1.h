#pragma once

#include "IJobHost.h"
#include "IMainView.h"
#include "TDropTally.h"
#include "TFormCodec.h"
#include "TJob.h"
#include "TJobQueue.h"
#include "TLameOptionSets.h"
#include "TMainSettings.h"
#include "TSettingsStore.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class IJobsView;
class TAudio;
class TForm1JobEvents;
class TJobRunner;
class TRunRecord;
class QDateTime;
class TVersionComp;
struct TFolderId;

// The main window's logic: file intake, the job queue and the transcoding loop. It drives
// one codec adapter per job and shows what happens through an IRunView, and through an
// IWindowView what only the desktop window has; it never touches a widget, so the desktop
// window, a console front end and the tests can all drive it. Its runs are worked off by a
// TJobRunner, for which it is the host.
class TForm1 : private IJobHost
{
public:
    using AdapterMaker = TJobSettings::AdapterMaker;

    // The settings live in store. On the desktop window's view; or on a view of runs alone
    // (a terminal), which has no menu and no window to show or close: the window's commands
    // (the first activation, F2, F3, F10, LAME's help, the activation by another start) are
    // not given there.
    TForm1(IMainView& view, TSettingsStore store);
    TForm1(IRunView& view, TSettingsStore store);
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Intake. A drop: queues what the dropped files and folders (full paths) hold and, unless
    // a run is going on, starts the run; during a run it only queues.
    void AppMessage(const QStringList& droppedPaths);
    void ScanFolder(const QString& folder, const QString& base);
    void AddFile(const QString& path, const QString& base);
    // Another start of the program asked this one to come to the front.
    bool MainWindowHook(const QString& message);
    // Which sources a drop takes now, and what the last drop held.
    TIntakeRules IntakeRules() const;
    const TDropTally& LastDrop() const { return m_lastDrop; }

    // The transcoding loop and what it shows.
    void TranscodeQueue();
    // Above one, that many jobs run at once, each shown on jobsView; with one, the job is
    // shown as it goes. TakeStoredJobs: each run takes the number the settings hold when it
    // starts.
    void SetParallelJobs(int jobs, IJobsView* jobsView);
    void TakeStoredJobs(IJobsView& jobsView);
    void ProgressChanged(TAudio* sender);
    QString CheckedPresetOptions() const;
    QString ShortenPath(const QString& path) const;
    void ShowStatusLines(bool verify);
    void ShowErrorSummary();
    void AddErrorEntry();
    void ShowTagList();
    void AbortQueue();
    void SetPresetItemsEnabled(bool enabled);

    // The LAME option sets: ticks one of cs1..cs5, fs1..fs5 (and so unticks the others),
    // shows its name and stores the choice. SelectChosenPreset ticks the first set of that
    // name, or none. PresetNames: the names of the sets the user can choose.
    void SelectPreset(TMenuItem item);
    void UncheckAllPresets();
    void SelectChosenPreset(const QString& name);
    QStringList PresetNames() const;
    // Reads the option sets from the store and ticks the chosen one.
    void LoadLameOptions();
    // The "custom settings" command (F3): the table of the custom sets.
    void mnuCustomSettingsClick();
    const TLameOptionSets& OptionSets() const { return m_optionSets; }

    // Start-up and shut-down. FormCreate loads the settings; the first activation loads the
    // option sets, finds the tools, checks for an update, shows the status lines and captures
    // LAME's help. FormClose saves the settings.
    void FormCreate();
    void FormActivate();
    void FormClose();
    void LoadSettings();
    // False, after telling the user, when the settings could not be written.
    bool SaveSettings();
    // The "Save to:" command (F2).
    void mnuSaveToClick();
    // The host (and ":port") of the maker's web server: the stored "WebHost", else the
    // build's; empty when there is none.
    QString WebHost() const;
    // The values kept between starts, as they are now.
    TMainSettings Settings;
    // The MP3s' fallback folder ($HOME/) and the program's own folder, both ending with "/".
    QString UserFolder;
    QString ProgramFolder;

    // Which tools are there (the four found-flags) and their versions, asked of throw-away
    // adapters.
    void FindCodecs();
    void UpdateLameVersion();
    void UpdateFlacVersion();
    void UpdateApeVersion();
    // Finds the tools and their versions, refuses an alpha or beta LAME and shows the codec
    // status.
    void RefreshCodecStatus();
    // False, after telling the user, for an alpha or beta build of LAME.
    bool AcceptLameVersion(const QString& version);

    // The codec locator (F10): a dialog with an entry per tool family. When it closes with OK,
    // the window takes over the entries' folders; in any case it finds the tools again and
    // stores the settings. A close request while it is open ends it and then the program.
    void OpenCodecLocator();
    TFormCodec CodecLocator;
    // The entries the locator shows at its next opening: the tool folders loaded at the
    // start, later the entries of each confirmed locator.
    QString OrigLamePath;
    QString OrigApePath;
    QString OrigFlacPath;

    // LAME's long help: captured anew when LAME is there, kept otherwise.
    void LoadLameHelp();
    void LameHelpShow1Click();
    QStringList HelpText;

    // The Cancel command (F4).
    void Stopcurrentprocesses1Click();
    // A close request, from the window's close box, the desktop session or a stop signal. It
    // is never withdrawn: refused while something runs that it then stops (the start, a run, a
    // version probe, the update check's fetch, a command and the box or dialog it has open,
    // the codec locator), it closes the window when that has ended. The job a
    // close cuts short removes its own partial MP3, so closing itself deletes nothing.
    bool FormCloseQuery();
    // Carries out a command of the user's; a close request that comes meanwhile waits for it.
    void RunCommand(const std::function<void()>& command);

    bool IsTicked(TMenuItem item) const { return m_ticked[size_t(item)]; }
    void SetTicked(TMenuItem item, bool ticked);
    bool IsEnabled(TMenuItem item) const { return m_enabled[size_t(item)]; }
    void SetEnabled(TMenuItem item, bool enabled);

    const TJobQueue& Queue() const { return m_queue; }
    // The Cue List's Delete: the waiting entries at these rows leave the queue; a running
    // one stays (Cancel is for that).
    void RemoveWaitingEntries(QList<qsizetype> rows);

    static const QString ActivateMessage;

    // Read from the settings, the LAME option sets and the codec status.
    QString SaveDirName;
    QString LamePath;
    QString FlacPath;
    QString ApePath;
    bool LameFound = false;
    bool FlacFound = false;
    bool ApeFound = false;
    bool MetaflacFound = false;
    QString LameVersionText;
    QString FlacVersionText;
    QString ApeVersionText;
    // The program's file description, shown as the application title between runs.
    QString FileDescription;
    // Creates the adapter for a job; the codec adapters unless a test puts in its own.
    AdapterMaker MakeAdapter;
    // Where each run that takes a file leaves its record (TRunRecord::Folder() in the
    // programs); empty: no records. OnRecordProblem says that a run's record cannot be
    // written, once per run; without it, a line in the error list says so, not counted as an
    // error.
    QString RunRecordsFolder;
    std::function<void(const QString&)> OnRecordProblem;
    // Of the last run: its record (empty when it made none) and the line that sums it up.
    QString RunRecordPath;
    QString LastRunLine;
    // The bound on the update check's whole request.
    int UpdateRequestTimeoutMs = TUpdateCheck::DefaultRequestTimeoutMs;

    // Run state.
    std::unique_ptr<TAudio> Audio;
    QString SourceFile;
    QString DestFile;
    QString WavFile;
    QString StageName;
    bool Busy = false;
    bool CancelRequested = false;
    bool ErrorsMuted = false;
    int ErrorCount = 0;
    bool NoDecodeStep = false;
    bool LoopGuard = false;
    bool VerifyMode = false;

private:
    friend class TForm1JobEvents;

    TForm1(IRunView& view, IWindowView* window, TSettingsStore store);
    // The window, for its own commands.
    IWindowView& Window() const;
    void TakeDroppedItems(const QStringList& droppedPaths);
    void StartRun();
    void EndRun();
    // The runner's host.
    TJobSettings JobSettings(TSourceKind kind) override;
    QString MadeThisRun(const QString& destination) const override;
    void RecordMade(const QString& destination, const QString& source) override;
    bool CancelPending() const override { return CancelRequested; }
    void ProcessEvents() override;
    void EntryDone(const QString& source) override;
    void WriteEntry(const QString& source, const QStringList& rows) override;
    void WriteLine(const QString& line) override;
    void ResultWritten() override;
    void RefuseEntry(const QString& source) override;
    void DropWaitingEntries() override;
    void JobResult(const QString& source, TJobResult result, const QString& mp3) override;
    void RunEnded(const TRunTally& tally, qint64 elapsedMs) override;
    IJobDisplay* LiveEvents(const TJob& job) override;
    std::unique_ptr<TAudio>* LiveAdapterSlot() override { return &Audio; }

    void AddErrorEntry(const QStringList& rows);
    // A line of the error list, which the run's record repeats at its end.
    void AppendError(const QString& line);
    void StartRecord();
    // The record's first lines: the settings the run starts with.
    QStringList RecordHeader(const QDateTime& start) const;
    void Record(const QStringList& lines);
    QString DoneWord() const;
    // One line in the error list that counts as an error but is no tool's entry.
    void AddCountedLine(const QString& line);
    // A drop's problem (a folder that cannot be read): listed at once during a run, else
    // when the run it starts has cleared the list.
    void ReportIntakeProblem(const QString& line);
    QString ErrorSummary() const;
    void ShowDestination();
    void PassCancelToAdapter();
    void ReportStoreError(const QString& error);
    void SetAsideBrokenSettings();
    void SetCustomSettingsEnabled(bool enabled);
    void SetOptionCommandsEnabled(bool enabled);
    void SetJobSettingCommandsEnabled(bool enabled);
    void FirstActivation();
    void CheckForUpdate(const TVersionComp& version);
    bool CloseMustWait() const;
    void CloseIfRequested();
    void RunProbe(TAudio& probe, const std::function<void()>& run);
    void ProbeDecoderVersion(TAudio& probe, bool found, const QString& folder, QString& version);
    void ScanFolderOnce(const QString& folder, const QString& base, QSet<TFolderId>& seen);
    void ShowNothingToConvert();

    IRunView& m_view;
    // Null without a window.
    IWindowView* m_window;
    TSettingsStore m_store;
    TLameOptionSets m_optionSets;
    bool m_firstActivation = true;
    TJobQueue m_queue;
    TDropTally m_lastDrop;
    std::array<bool, MenuItemCount> m_ticked{};
    std::array<bool, MenuItemCount> m_enabled{};
    int m_jobs = 1;
    bool m_storedJobs = false;
    IJobsView* m_jobsView = nullptr;
    // How the window shows a run's one job at a time as it goes; null while no run goes on.
    TForm1JobEvents* m_live = nullptr;
    // The runner of the run that goes on, if any.
    const TJobRunner* m_runner = nullptr;
    // Of the run: the folder of its intermediate files, made when the first decode needs it
    // (or why it could not be); each MP3 made with the source it was made from; problems of
    // the drop that started it.
    QString m_runFolder;
    QString m_runFolderError;
    QHash<QString, QString> m_madeThisRun;
    QStringList m_intakeProblems;
    // The run's record, its error list so far, and how many of its sources were up to date.
    std::unique_ptr<TRunRecord> m_record;
    QStringList m_runErrors;
    int m_upToDate = 0;
    // The throw-away adapter of a running version probe, so that a close request reaches it.
    TAudio* m_probe = nullptr;
    // In FormCreate and in the first activation.
    bool m_starting = false;
    int m_commands = 0;
    bool m_closeRequested = false;
    // The update check of the first activation, which goes on after it.
    std::unique_ptr<TUpdateCheck> m_updateCheck;
};
