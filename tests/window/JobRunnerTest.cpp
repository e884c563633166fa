// Several jobs at once on the window's logic: real tools, the recording view, and a view of
// the jobs that checks every call comes on the test's own thread.
#include "FileSystem.h"
#include "IJobHost.h"
#include "IJobsView.h"
#include "Limits.h"
#include "PathText.h"
#include "RiffWave.h"
#include "TAudio.h"
#include "TFlac.h"
#include "TJobRunner.h"
#include "TRunDisplay.h"
#include "TWav.h"
#include "WindowTestSupport.h"

#include <QRegularExpression>
#include <QThread>
#include <atomic>
#include <functional>
#include <utility>

namespace {

const QString Hyphens(40, u'-');
const char* const MacProgressRow =
    "Decompressing...\nProgress: 10.0% (2.7 seconds remaining, 0.3 seconds total)\r";

// Records the jobs' rows; no call may come from a worker.
class TFakeJobsView : public IJobsView
{
public:
    void jobStarted(int slot, const QString& source) override
    {
        ExpectOwnThread();
        Started << source;
        Slots.insert(source, slot);
        if (OnJobStarted)
            OnJobStarted(source);
    }
    void jobProgress(int slot, const QString& stage, int percent) override
    {
        ExpectOwnThread();
        Progress << QStringLiteral("%1 %2 %3").arg(slot).arg(stage).arg(percent);
    }
    void jobEnded(int slot, const QString& source, bool ok) override
    {
        ExpectOwnThread();
        EXPECT_EQ(Slots.value(source, -1), slot) << source.toStdString();
        Ended << source;
        Succeeded += ok ? 1 : 0;
        AnyEnded = true;
    }
    void showRun(int done, int total, qint64) override
    {
        ExpectOwnThread();
        EXPECT_LE(done, total);
        if (OnShowRun)
            OnShowRun();
    }
    void runEnded(int succeeded, int failed, qint64) override
    {
        ExpectOwnThread();
        RunEnds << QStringLiteral("%1 %2").arg(succeeded).arg(failed);
    }

    QStringList Started;
    QHash<QString, int> Slots;
    QStringList Progress;
    QStringList Ended;
    QStringList RunEnds;
    int Succeeded = 0;
    // Read by the test's adapters on their workers.
    std::atomic<bool> AnyEnded = false;
    std::function<void(const QString&)> OnJobStarted;
    std::function<void()> OnShowRun;

private:
    void ExpectOwnThread() const { EXPECT_EQ(QThread::currentThread(), m_thread); }

    QThread* m_thread = QThread::currentThread();
};

// The runner takes an ended job's entry out wherever it stands; the others keep their order.
TEST(JobQueueTest, RemovesAnEntryByItsPath)
{
    TJobQueue queue;
    for (const char* path : {"/a", "/b", "/c"})
        ASSERT_TRUE(queue.Append(QString::fromUtf8(path), QStringLiteral("/")));
    queue.Remove(QStringLiteral("/b"));
    queue.Remove(QStringLiteral("/x"));
    ASSERT_EQ(queue.Count(), 2);
    EXPECT_EQ(queue.At(0).Path, QStringLiteral("/a"));
    EXPECT_EQ(queue.At(1).Path, QStringLiteral("/c"));
    EXPECT_TRUE(queue.Append(QStringLiteral("/b"), QStringLiteral("/"))) << "queued again";
    EXPECT_FALSE(queue.Append(QStringLiteral("/c"), QStringLiteral("/"))) << "still queued";
}

class JobRunnerTest : public TFormTest
{
protected:
    void SetUp() override
    {
        TFormTest::SetUp();
        form->SetParallelJobs(2, &jobs);
    }

    QString InPath(const QString& relative) const { return In + u'/' + relative; }
    void CopySource(const QString& relative)
    {
        CopyFixture(QStringLiteral("in.") + relative.section(u'.', -1), InPath(relative));
    }

    TFakeJobsView jobs;
};

// flac whose decode ends only once a later job has ended, and then fails with rows of its own.
class TLateFailingFlac : public TFlac
{
public:
    explicit TLateFailingFlac(const TFakeJobsView& jobs) : m_jobs(jobs) {}

    bool ConvertToWav(const QString&, const QString&) override
    {
        // The later job is quick; the bound only keeps a broken runner from hanging the test.
        for (int i = 0; i < 60000 && !m_jobs.AnyEnded; ++i)
            QThread::msleep(1);
        ToolOutput = QStringList{QStringLiteral("first row"), QStringLiteral("second row")};
        return true;
    }

private:
    const TFakeJobsView& m_jobs;
};

TEST_F(JobRunnerTest, EntriesComeInQueueOrderEachWholeNumberedAndCounted)
{
    CopySource(QStringLiteral("a.flac"));
    Write(InPath(QStringLiteral("b.wav")), "not audio");
    form->MakeAdapter = [standard = form->MakeAdapter, this](TSourceKind kind) {
        return kind == TSourceKind::Flac ? std::make_unique<TLateFailingFlac>(jobs)
                                         : standard(kind);
    };
    Drop({InPath(QStringLiteral("a.flac")), InPath(QStringLiteral("b.wav"))});

    EXPECT_EQ(jobs.Ended, (QStringList{InPath("b.wav"), InPath("a.flac")})) << "b ended first";
    EXPECT_EQ(view.Errors,
              (QStringList{QStringLiteral("Message 1 - ") + InPath("a.flac"), "first row",
                           "second row", Hyphens, QStringLiteral("Message 2 - ") + InPath("b.wav"),
                           "not a RIFF/WAVE file, so it was not encoded", Hyphens}));
    EXPECT_EQ(form->ErrorCount, 2);
    EXPECT_EQ(view.label(TLabel::BitRate), QStringLiteral("There are 2 error messages!"));
    EXPECT_EQ(jobs.RunEnds, QStringList{"0 2"});
    EXPECT_TRUE(form->Queue().IsEmpty());
    EXPECT_FALSE(form->Busy);
}

TEST_F(JobRunnerTest, JobsShareTheSlotsAndEachStageIsShown)
{
    for (const char* file : {"a.flac", "b.wav", "c.ape", "d.wav"})
        CopySource(QString::fromUtf8(file));
    Drop({In});

    EXPECT_EQ(FilesBelow(Save), (QStringList{"in/a.mp3", "in/b.mp3", "in/c.mp3", "in/d.mp3"}));
    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(jobs.Started,
              (QStringList{InPath("a.flac"), InPath("b.wav"), InPath("c.ape"), InPath("d.wav")}));
    for (int slot : jobs.Slots)
        EXPECT_TRUE(slot == 0 || slot == 1) << slot;
    EXPECT_EQ(jobs.Progress.filter(QRegularExpression("^\\d Lame 100$")).size(), 4);
    EXPECT_GE(jobs.Progress.filter(QRegularExpression("^\\d (Flac|Ape) ")).size(), 2);
    EXPECT_EQ(jobs.RunEnds, QStringList{"4 0"});
    EXPECT_EQ(view.label(TLabel::Destination), QString());
}

// A drop during the run queues, and the running run takes the new entries.
TEST_F(JobRunnerTest, DropDuringTheRunIsTakenByIt)
{
    CopySource(QStringLiteral("a.wav"));
    CopySource(QStringLiteral("b.wav"));
    bool dropped = false;
    view.OnProcessEvents = [&] {
        if (!dropped && !jobs.Started.isEmpty()) {
            dropped = true;
            Drop({InPath(QStringLiteral("b.wav"))});
        }
    };
    Drop({InPath(QStringLiteral("a.wav"))});

    EXPECT_TRUE(dropped);
    EXPECT_EQ(FilesBelow(Save), (QStringList{"a.mp3", "b.mp3"}));
    EXPECT_EQ(jobs.RunEnds, QStringList{"2 0"});
}

// A job whose tool cannot have its screen fails with its entry while the others convert.
TEST_F(JobRunnerTest, JobWithoutItsScreenFailsAndTheOthersConvert)
{
    for (const char* file : {"a.flac", "b.wav", "c.wav"})
        CopySource(QString::fromUtf8(file));
    // The largest screen a terminal can have: far more memory than the gigabytes left.
    form->MakeAdapter = [standard = form->MakeAdapter](TSourceKind kind) {
        std::unique_ptr<TAudio> audio = standard(kind);
        if (kind == TSourceKind::Flac)
            audio->Cons.BufferRows = audio->Cons.BufferColumns = 65535;
        return audio;
    };
    {
        const TResourceLimit limit(RLIMIT_AS, AddressSpaceWithRoom(size_t(4) << 30));
        ASSERT_TRUE(limit.isSet());
        Drop({InPath("a.flac"), InPath("b.wav"), InPath("c.wav")});
    }

    EXPECT_EQ(view.Errors, (QStringList{QStringLiteral("Message 1 - ") + InPath("a.flac"),
                                        "cannot start " + form->FlacPath +
                                            "flac: terminal screen: Cannot allocate memory",
                                        Hyphens}));
    EXPECT_EQ(FilesBelow(Save), (QStringList{"b.mp3", "c.mp3"}));
    EXPECT_EQ(jobs.RunEnds, QStringList{"2 1"});
}

// No thread can be had for a job: each job is a line that says why, and the run ends.
TEST_F(JobRunnerTest, JobsWithoutAThreadFailWithTheReason)
{
    if (UnderSanitizer)
        GTEST_SKIP() << "the sanitizers need what the limit takes away";
    CopySource(QStringLiteral("a.wav"));
    CopySource(QStringLiteral("b.wav"));
    {
        const TFreshThreadStacks freshStacks;
        const TResourceLimit limit(RLIMIT_AS, AddressSpaceWithRoom(size_t(1) << 20));
        ASSERT_TRUE(limit.isSet());
        Drop({InPath("a.wav"), InPath("b.wav")});
    }

    const QString reason =
        QStringLiteral(": cannot start a thread: Resource temporarily unavailable");
    EXPECT_EQ(view.Errors, (QStringList{InPath("a.wav") + reason, InPath("b.wav") + reason}));
    EXPECT_EQ(FilesBelow(Save), QStringList());
    EXPECT_EQ(jobs.RunEnds, QStringList{"0 2"});
    EXPECT_TRUE(form->Queue().IsEmpty());
}

// A WAV job held back before its encode until the test lets it go.
class THeldBackWav : public TWav
{
public:
    explicit THeldBackWav(std::atomic<bool>& go) : m_go(go) {}

    bool ConvertToWav(const QString& source, const QString& wav) override
    {
        m_go.wait(false);
        return TWav::ConvertToWav(source, wav);
    }

private:
    std::atomic<bool>& m_go;
};

// A job that finds no thread while another job runs waits for that job to end, whose thread
// is then free, and runs: a loaded machine converts fewer files at once, not fewer files.
TEST_F(JobRunnerTest, JobWithoutAThreadWaitsForARunningJob)
{
    if (UnderSanitizer)
        GTEST_SKIP() << "the sanitizers need what the limit takes away";
    CopySource(QStringLiteral("a.wav"));
    CopySource(QStringLiteral("b.wav"));
    std::atomic<bool> go = false;
    bool first = true;
    form->MakeAdapter = [&, standard = form->MakeAdapter](TSourceKind kind) {
        return std::exchange(first, false) ? std::make_unique<THeldBackWav>(go) : standard(kind);
    };
    // While a's job is held back, b's thread finds no memory; the memory comes back before a's
    // job ends.
    std::unique_ptr<TFreshThreadStacks> freshStacks;
    std::unique_ptr<TResourceLimit> limit;
    jobs.OnJobStarted = [&](const QString& source) {
        if (source != InPath("a.wav"))
            return;
        freshStacks = std::make_unique<TFreshThreadStacks>();
        limit = std::make_unique<TResourceLimit>(RLIMIT_AS, AddressSpaceWithRoom(size_t(1) << 20));
    };
    jobs.OnShowRun = [&] {
        if (!limit)
            return;
        limit.reset();
        freshStacks.reset();
        go = true;
        go.notify_all();
    };
    Drop({InPath("a.wav"), InPath("b.wav")});

    EXPECT_TRUE(go);
    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(FilesBelow(Save), (QStringList{"a.mp3", "b.mp3"}));
    EXPECT_EQ(jobs.Started, (QStringList{InPath("a.wav"), InPath("b.wav")}));
    EXPECT_EQ(jobs.RunEnds, QStringList{"2 0"});
}

// Two decoders stall; the Cancel stops both at once, no entry is written for what the stop
// did, nothing of either job remains, and the waiting entry never runs.
TEST_F(JobRunnerTest, CancelStopsEveryRunningJob)
{
    CopySource(QStringLiteral("a.wav"));
    CopySource(QStringLiteral("b-stall.ape"));
    CopySource(QStringLiteral("c-stall.ape"));
    CopySource(QStringLiteral("d.wav"));
    Stall(QStringLiteral("mac"), "-stall", MacProgressRow, ".wav");
    bool cancelled = false;
    view.OnProcessEvents = [&] {
        if (!cancelled && jobs.Progress.filter(QRegularExpression("^\\d Ape 10$")).size() >= 2) {
            cancelled = true;
            form->Stopcurrentprocesses1Click();
        }
    };
    Drop({In});

    EXPECT_TRUE(cancelled);
    EXPECT_EQ(FilesBelow(Save), QStringList{"in/a.mp3"});
    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_FALSE(jobs.Started.contains(InPath("d.wav")));
    EXPECT_TRUE(form->Queue().IsEmpty());
    EXPECT_EQ(view.Queue, QStringList());
    EXPECT_FALSE(view.ticked(TMenuItem::Stopcurrentprocesses1));
    EXPECT_EQ(view.CloseRequests, 0);
}

// A host of the runner that records what the runner asks of it and tells it. Its settings are
// those of the test's window; a Cancel comes at the first pump for which CancelWhen holds.
class TFakeHost : public IJobHost
{
public:
    TFakeHost(const TForm1& form, QString save, QString runFolder)
        : m_form(form), m_save(std::move(save)), m_runFolder(std::move(runFolder))
    {}

    TJobSettings JobSettings(TSourceKind) override
    {
        return {m_form.CheckedPresetOptions(),
                m_save,
                false,
                false,
                m_form.LamePath,
                m_form.FlacPath,
                m_form.ApePath,
                m_form.FlacVersionText,
                m_form.ApeVersionText,
                m_runFolder,
                QString(),
                CreateCodecAdapter};
    }
    QString MadeThisRun(const QString& destination) const override
    {
        return Made.value(destination);
    }
    void RecordMade(const QString& destination, const QString& source) override
    {
        Made.insert(destination, source);
    }
    bool CancelPending() const override { return Cancelled; }
    void ProcessEvents() override
    {
        EXPECT_EQ(QThread::currentThread(), m_thread);
        if (!Cancelled && CancelWhen && CancelWhen(*this))
            Cancelled = true;
    }
    void EntryDone(const QString& source) override
    {
        Done << source;
        EXPECT_GE(Queue.Remove(source), 0) << source.toStdString();
    }
    void WriteEntry(const QString& source, const QStringList& rows) override
    {
        Written << source + QStringLiteral(": ") + rows.join(u'|');
    }
    void WriteLine(const QString& line) override { Written << line; }
    void ResultWritten() override { ++Results; }
    void RefuseEntry(const QString& source) override { Refused << source; }
    void DropWaitingEntries() override { Queue.Clear(); }
    IJobDisplay* LiveEvents(const TJob&) override { return nullptr; }
    std::unique_ptr<TAudio>* LiveAdapterSlot() override { return &Live; }

    TJobQueue Queue;
    QHash<QString, QString> Made;
    QStringList Done;
    QStringList Written;
    QStringList Refused;
    int Results = 0;
    bool Cancelled = false;
    std::function<bool(const TFakeHost&)> CancelWhen;
    // Where a job on the runner's own thread keeps its adapter.
    std::unique_ptr<TAudio> Live;

private:
    const TForm1& m_form;
    const QString m_save;
    const QString m_runFolder;
    QThread* m_thread = QThread::currentThread();
};

// The runner on a host of the test's own, with one job at a time (on the runner's thread) and
// with three at once (on workers): the same MP3s, entries, records and ends.
class RunnerOnHostTest : public TFormTest, public ::testing::WithParamInterface<int>
{
protected:
    void SetUp() override
    {
        TFormTest::SetUp();
        m_runFolder = CreatePrivateFolder(Temp, QStringLiteral("run-")).Path;
        host = std::make_unique<TFakeHost>(*form, Save, m_runFolder);
    }
    void TearDown() override
    {
        host.reset();
        RemoveFolderTree(m_runFolder);
        TFormTest::TearDown();
    }
    QString InPath(const QString& relative) const { return In + u'/' + relative; }
    void Queue(const QStringList& relatives)
    {
        for (const QString& relative : relatives) {
            if (!QFile::exists(InPath(relative)))
                CopyFixture(QStringLiteral("in.") + relative.section(u'.', -1), InPath(relative));
            ASSERT_TRUE(host->Queue.Append(InPath(relative), In));
        }
    }
    void Run() { TJobRunner(*host, host->Queue, &jobs, GetParam()).Run(); }

    std::unique_ptr<TFakeHost> host;
    TFakeJobsView jobs;

private:
    QString m_runFolder;
};

TEST_P(RunnerOnHostTest, EntriesInQueueOrderEachDoneEntryLeavesAndMadeMp3sAreRecorded)
{
    Write(InPath(QStringLiteral("b.wav")), "not audio");
    Queue({"a.wav", "b.wav", "a.flac", "c.flac", "d.ape"});

    Run();

    EXPECT_EQ(FilesBelow(Save), (QStringList{"a.mp3", "c.mp3", "d.mp3"}));
    EXPECT_EQ(host->Written,
              (QStringList{InPath("b.wav") + ": not a RIFF/WAVE file, so it was not encoded",
                           InPath("a.flac") + ": " + Save + "a.mp3 was made from " +
                               InPath("a.wav") + " in this run, so this file was not converted"}));
    EXPECT_EQ(host->Results, 5);
    QStringList done = host->Done;
    done.sort();
    EXPECT_EQ(done, (QStringList{InPath("a.flac"), InPath("a.wav"), InPath("b.wav"),
                                 InPath("c.flac"), InPath("d.ape")}));
    EXPECT_TRUE(host->Queue.IsEmpty());
    EXPECT_EQ(host->Made, (QHash<QString, QString>{{Save + "a.mp3", InPath("a.wav")},
                                                   {Save + "c.mp3", InPath("c.flac")},
                                                   {Save + "d.mp3", InPath("d.ape")}}));
    EXPECT_EQ(jobs.RunEnds, QStringList{"3 2"});
    EXPECT_FALSE(host->Live) << "the adapter of a job on the runner's thread is gone";
}

// An entry of no kind a job takes ends the run before it; what runs ends first.
TEST_P(RunnerOnHostTest, EntryOfNoKnownKindEndsTheRun)
{
    Write(InPath(QStringLiteral("b.txt")), "text");
    Queue({"a.wav", "b.txt", "c.wav"});

    Run();

    EXPECT_EQ(host->Refused, QStringList{InPath("b.txt")});
    EXPECT_EQ(FilesBelow(Save), QStringList{"a.mp3"});
    EXPECT_EQ(host->Queue.Count(), 2);
    EXPECT_EQ(host->Written, QStringList());
}

// Every job that runs after the first stalls in its decoder; the Cancel stops what runs, mutes
// what the stop causes, and the waiting entries are dropped without running.
TEST_P(RunnerOnHostTest, CancelStopsWhatRunsAndDropsWhatWaits)
{
    Queue({"a.wav", "b-stall.ape", "c-stall.ape", "d-stall.ape", "e.wav"});
    Stall(QStringLiteral("mac"), "-stall", MacProgressRow, ".wav");
    const int stalling = GetParam();
    host->CancelWhen = [this, stalling](const TFakeHost& h) {
        const int shown = int(jobs.Progress.filter(QRegularExpression("^\\d Ape 10$")).size());
        return shown >= stalling ||
               (h.Live && h.Live->SourceFile.contains(u"-stall") && h.Live->Progress > 0);
    };

    Run();

    EXPECT_TRUE(host->Cancelled);
    EXPECT_EQ(FilesBelow(Save), QStringList{"a.mp3"});
    EXPECT_EQ(host->Written, QStringList());
    EXPECT_FALSE(jobs.Started.contains(InPath("e.wav")));
    EXPECT_EQ(jobs.Started.size(), 1 + stalling);
    EXPECT_TRUE(host->Queue.IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Jobs, RunnerOnHostTest, ::testing::Values(1, 3),
                         [](const auto& info) { return std::to_string(info.param) + "_jobs"; });

// The window taking the stored number of jobs, shown by its run display on the recording view.
class WindowJobsTest : public TFormTest
{
protected:
    void SetUp() override
    {
        TFormTest::SetUp();
        display = std::make_unique<TRunDisplay>(view, view, form->Queue());
        form->TakeStoredJobs(*display);
    }
    QString InPath(const QString& relative) const { return In + u'/' + relative; }
    void CopySource(const QString& relative)
    {
        CopyFixture(QStringLiteral("in.") + relative.section(u'.', -1), InPath(relative));
    }
    // Sources of each kind, a file that is no audio, a corrupt FLAC, two sources of one MP3
    // and one in a subfolder.
    void CopyMixedFolder()
    {
        for (const char* file :
             {"a.flac", "b.ape", "c.wav", "e.wav", "e.flac", "sub/f.flac", "g.wav"})
            CopySource(QString::fromUtf8(file));
        Write(InPath(QStringLiteral("d.wav")), "not audio");
        CopyFixture(QStringLiteral("corrupt.flac"), InPath(QStringLiteral("h.flac")));
    }
    // The MP3s made, with their bytes; they are removed.
    QList<QPair<QString, QByteArray>> TakeMp3s()
    {
        QList<QPair<QString, QByteArray>> mp3s;
        for (const QString& mp3 : FilesBelow(Save))
            mp3s.append({mp3, ReadAll(Save + mp3)});
        RemoveFolderTree(Save + QStringLiteral("in"));
        return mp3s;
    }

    // At every pump: the Cue List shows the queue, a running entry's row its stage and
    // percent, a waiting one its path.
    void CheckCueListAtEveryPump()
    {
        view.OnProcessEvents = [this] {
            const TJobQueue& queue = form->Queue();
            ASSERT_EQ(view.Queue.size(), queue.Count());
            for (qsizetype i = 0; i < queue.Count(); ++i) {
                ASSERT_EQ(view.Queue[i], queue.At(i).Path);
                const QString& row = view.QueueRows[i];
                if (row != queue.At(i).Path) {
                    EXPECT_TRUE(RunningRow.match(row).hasMatch()) << row.toStdString();
                    EXPECT_TRUE(row.endsWith(FileNamePart(queue.At(i).Path)));
                    ++runningRows;
                }
            }
        };
    }

    const QRegularExpression RunningRow{QStringLiteral("^(Starting|Flac|Ape|Wav|Lame) \\d+% — ")};
    std::unique_ptr<TRunDisplay> display;
    int runningRows = 0;
};

// On a mixed folder three jobs at once make the same MP3s, byte for byte, and the same error
// list as one after the other.
TEST_F(WindowJobsTest, ThreeJobsGiveTheMp3sAndErrorListOfOne)
{
    CopyMixedFolder();
    CheckCueListAtEveryPump();
    QHash<int, QPair<QList<QPair<QString, QByteArray>>, QStringList>> results;
    for (int jobs : {1, 3}) {
        form->Settings.SetJobs(jobs);
        Drop({In});
        results.insert(jobs, {TakeMp3s(), view.Errors});
        EXPECT_TRUE(view.Queue.isEmpty());
        EXPECT_EQ(view.Titles.last(), form->FileDescription);
    }
    EXPECT_EQ(results[1].first.size(), 6);
    EXPECT_EQ(results[3].first, results[1].first);
    EXPECT_EQ(results[3].second, results[1].second);
    EXPECT_EQ(results[1].second.filter(QStringLiteral("Message ")).size(), 3);
    EXPECT_GT(runningRows, 0);
    EXPECT_TRUE(view.label(TLabel::Version).startsWith(QStringLiteral("6 converted, 3 failed in ")))
        << view.label(TLabel::Version).toStdString();
    EXPECT_TRUE(view.enabled(TMenuItem::Checkcodecpaths1));
}

// The logic on a view of runs alone, as quarlow-cli has it (no menu, title, Tag List or
// window), works the mixed folder off as the window does: the same queue, MP3s, error list,
// summary and messages.
TEST_F(WindowJobsTest, RunWithoutAWindowGoesAsTheWindowsRun)
{
    CopyMixedFolder();
    TFakeRunView runView;
    TForm1 alone(runView, TestStore(root.filePath(QStringLiteral("alone"))));
    Equip(alone);
    alone.AppMessage({In});
    const QList<QPair<QString, QByteArray>> mp3s = TakeMp3s();
    form->Settings.SetJobs(1);
    Drop({In});

    EXPECT_EQ(mp3s.size(), 6);
    EXPECT_EQ(mp3s, TakeMp3s());
    EXPECT_EQ(runView.QueueLog, view.QueueLog);
    EXPECT_EQ(runView.Queue, QStringList());
    EXPECT_EQ(runView.Errors, view.Errors);
    EXPECT_EQ(runView.label(TLabel::BitRate), view.label(TLabel::BitRate));
    EXPECT_EQ(runView.Messages, view.Messages);
    EXPECT_FALSE(alone.Busy);
}

// Three decoders stall at once; the Cancel stops them all, keeps the finished MP3, lists
// nothing for what the stop did, and the window says what became of the run.
TEST_F(WindowJobsTest, CancelWithThreeRunning)
{
    CopySource(QStringLiteral("a.wav"));
    for (const char* file : {"b-stall.ape", "c-stall.ape", "d-stall.ape", "e.wav"})
        CopySource(QString::fromUtf8(file));
    Stall(QStringLiteral("mac"), "-stall", MacProgressRow, ".wav");
    form->Settings.SetJobs(3);
    bool cancelled = false;
    view.OnProcessEvents = [&] {
        if (!cancelled && view.QueueRows.filter(QStringLiteral("Ape 10% — ")).size() == 3) {
            cancelled = true;
            EXPECT_FALSE(view.enabled(TMenuItem::Checkcodecpaths1));
            form->Stopcurrentprocesses1Click();
        }
    };
    Drop({In});

    EXPECT_TRUE(cancelled);
    EXPECT_EQ(FilesBelow(Save), QStringList{"in/a.mp3"});
    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(view.Queue, QStringList());
    EXPECT_TRUE(form->Queue().IsEmpty());
    EXPECT_TRUE(view.label(TLabel::Version)
                    .startsWith(QStringLiteral("cancelled: 1 converted, 1 not started in ")))
        << view.label(TLabel::Version).toStdString();
    EXPECT_FALSE(view.ticked(TMenuItem::Stopcurrentprocesses1));
    EXPECT_TRUE(view.enabled(TMenuItem::Checkcodecpaths1));
    EXPECT_EQ(view.CloseRequests, 0);
}

class WindowDeleteTest : public WindowJobsTest, public ::testing::WithParamInterface<int>
{};

// Delete on the first row (running) and the fourth (waiting) once the jobs have started: only
// the waiting entry leaves, and its file is never converted.
TEST_P(WindowDeleteTest, RemovesAWaitingEntryAndKeepsARunningOne)
{
    for (const char* file : {"a.wav", "b.wav", "c.wav", "d.wav", "e.wav"})
        CopySource(QString::fromUtf8(file));
    form->Settings.SetJobs(GetParam());
    bool deleted = false;
    view.OnProcessEvents = [&] {
        const bool started = form->Audio || view.QueueRows.value(0) != view.Queue.value(0);
        if (deleted || !started)
            return;
        deleted = true;
        form->RemoveWaitingEntries({3, 0, 3});
        EXPECT_EQ(view.Queue, (QStringList{InPath("a.wav"), InPath("b.wav"), InPath("c.wav"),
                                           InPath("e.wav")}));
        EXPECT_EQ(form->Queue().Count(), 4);
    };
    Drop({In});

    EXPECT_TRUE(deleted);
    EXPECT_EQ(FilesBelow(Save), (QStringList{"in/a.mp3", "in/b.mp3", "in/c.mp3", "in/e.mp3"}));
    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(view.Queue, QStringList());
}

INSTANTIATE_TEST_SUITE_P(Jobs, WindowDeleteTest, ::testing::Values(1, 3),
                         [](const auto& info) { return std::to_string(info.param) + "_jobs"; });

// The run display's texts.
TEST(RunDisplayTest, DurationsAndRows)
{
    EXPECT_EQ(TRunDisplay::Duration(0), QStringLiteral("0:00"));
    EXPECT_EQ(TRunDisplay::Duration(70999), QStringLiteral("1:10"));
    EXPECT_EQ(TRunDisplay::Duration(3723000), QStringLiteral("1:02:03"));
    EXPECT_EQ(TRunDisplay::RowText(QStringLiteral("/m/03 Song.wav"), QStringLiteral("Lame"), 42),
              QStringLiteral("Lame 42% — 03 Song.wav"));
}

} // namespace
