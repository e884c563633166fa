// Several jobs at once on the window's logic: real tools, the recording view, and a view of
// the jobs that checks every call comes on the test's own thread.
#include "IJobsView.h"
#include "Limits.h"
#include "RiffWave.h"
#include "TFlac.h"
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

} // namespace
