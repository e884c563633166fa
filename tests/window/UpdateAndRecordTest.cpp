// Converting only what is new or changed, and the record each run leaves: the window's logic
// with real tools on the recording view, and the record file on its own.
#include "FileSystem.h"
#include "LocalNames.h"
#include "TAudio.h"
#include "TRunRecord.h"
#include "WindowTestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <functional>
#include <sys/stat.h>

namespace {

const char* const LameProgressRow =
    "    10/116   (10%)|    0:00/    0:00|    0:00/    0:00|   12.000x|    0:00\r";

mode_t ModeOf(const QString& path)
{
    struct stat st = {};
    EXPECT_EQ(stat(PathBytes(path).constData(), &st), 0) << path.toStdString();
    return st.st_mode & 07777;
}

QStringList Lines(const QString& path)
{
    QStringList lines = QString::fromUtf8(ReadAll(path)).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

class UpdateAndRecordTest : public TFormTest
{
protected:
    void SetUp() override
    {
        TFormTest::SetUp();
        Records = root.filePath(QStringLiteral("state/quarlow/runs"));
        form->RunRecordsFolder = Records;
    }

    QString InPath(const QString& relative) const { return In + u'/' + relative; }
    void CopySource(const QString& relative)
    {
        CopyFixture(QStringLiteral("in.") + relative.section(u'.', -1), InPath(relative));
    }
    QString Records;
};

// A library of three folders converted once; with the toggle on nothing is converted again
// until a source changes or is added, and then only those.
TEST_F(UpdateAndRecordTest, OnlyNewAndChangedSourcesAreConverted)
{
    for (const char* file : {"lib/a/1.wav", "lib/b/2.flac", "lib/c/3.ape", "lib/c/4.wav"})
        CopySource(QString::fromUtf8(file));
    Drop({InPath("lib")});
    const auto first = FilesWithTimes(Save);
    ASSERT_EQ(FilesBelow(Save),
              (QStringList{"lib/a/1.mp3", "lib/b/2.mp3", "lib/c/3.mp3", "lib/c/4.mp3"}));

    form->SetTicked(TMenuItem::mnuUpdateOnly, true);
    Drop({InPath("lib")});

    EXPECT_TRUE(FilesWithTimes(Save) == first) << "no MP3 was written again";
    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(view.Queue, QStringList());
    EXPECT_TRUE(form->LastRunLine.startsWith("0 converted, 4 up to date, 0 failed in "))
        << form->LastRunLine.toStdString();
    EXPECT_EQ(view.label(TLabel::Version), form->LastRunLine);
    EXPECT_EQ(Lines(form->RunRecordPath).filter(QStringLiteral("up to date: ")).size(), 4);

    // 1.wav changes; 5.flac comes in a new folder, 6.wav beside the others; 3.ape's MP3 is
    // gone, and only the hidden part file a cut encode would leave is there.
    ASSERT_TRUE(SetModifiedFrom(InPath("lib/a/1.wav"), Save + "lib/a/1.mp3", 10));
    CopySource("lib/d/5.flac");
    CopySource("lib/b/6.wav");
    ASSERT_TRUE(QFile::remove(Save + "lib/c/3.mp3"));
    Write(Save + "lib/c/.~TTabc123.mp3", ReadAll(Save + "lib/c/4.mp3"));
    ASSERT_TRUE(SetModifiedFrom(Save + "lib/c/.~TTabc123.mp3", InPath("lib/c/3.ape"), 10));
    const auto second = FilesWithTimes(Save);
    Drop({InPath("lib")});

    EXPECT_EQ(ChangedFiles(second, FilesWithTimes(Save)),
              (QStringList{"lib/a/1.mp3", "lib/b/6.mp3", "lib/c/3.mp3", "lib/d/5.mp3"}));
    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_TRUE(form->LastRunLine.startsWith("4 converted, 2 up to date, 0 failed in "))
        << form->LastRunLine.toStdString();
    const QStringList record = Lines(form->RunRecordPath);
    EXPECT_TRUE(
        record.contains("converted: " + InPath("lib/a/1.wav") + " -> " + Save + "lib/a/1.mp3"))
        << record.join(u'\n').toStdString();
    EXPECT_TRUE(
        record.contains("up to date: " + InPath("lib/b/2.flac") + " -> " + Save + "lib/b/2.mp3"));

    // Verifying reads every source whatever the toggle says.
    form->SetTicked(TMenuItem::Verifyonly1, true);
    form->VerifyMode = true;
    Drop({InPath("lib")});
    EXPECT_TRUE(form->LastRunLine.startsWith("3 verified, 0 failed in "))
        << form->LastRunLine.toStdString();
}

struct TNoMp3Case
{
    const char* name;
    // Puts something other than a readable MP3 in the place of the MP3, newer than the source.
    std::function<void(const QString& mp3, const QString& newer)> put;
    // The error entry's row, when the job cannot replace it; empty: it is converted.
    const char* refused;
};

void PrintTo(const TNoMp3Case& c, std::ostream* os)
{
    *os << c.name;
}

class NotAnMp3Test : public UpdateAndRecordTest, public ::testing::WithParamInterface<TNoMp3Case>
{};

// What stands under the MP3's name is handled as without the toggle, never counted as up to
// date.
TEST_P(NotAnMp3Test, IsNeverUpToDate)
{
    const TNoMp3Case& c = GetParam();
    CopySource("a.wav");
    const QString mp3 = Save + "a.mp3";
    const QString newer = Save + "newer.mp3";
    Write(newer, "an MP3 made later");
    ASSERT_TRUE(SetModifiedFrom(newer, InPath("a.wav"), 10));
    c.put(mp3, newer);
    form->SetTicked(TMenuItem::mnuUpdateOnly, true);

    {
        const TWithoutPrivileges asAUser;
        Drop({InPath("a.wav")});
    }

    EXPECT_FALSE(form->LastRunLine.contains(QStringLiteral("up to date")))
        << form->LastRunLine.toStdString();
    if (QByteArray(c.refused).isEmpty()) {
        EXPECT_EQ(view.Errors, QStringList());
        EXPECT_GT(ReadAll(mp3).size(), 10000) << "a whole MP3 took the name";
        EXPECT_FALSE(IsLink(mp3));
    } else {
        EXPECT_EQ(view.Errors.filter(QString::fromUtf8(c.refused)).size(), 1)
            << view.Errors.join(u'\n').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Destinations, NotAnMp3Test,
    ::testing::Values(TNoMp3Case{"link_to_a_newer_mp3",
                                 [](const QString& mp3, const QString& newer) {
                                     ASSERT_TRUE(QFile::link(newer, mp3));
                                 },
                                 ""},
                      TNoMp3Case{"unreadable_newer_mp3",
                                 [](const QString& mp3, const QString& newer) {
                                     ASSERT_TRUE(QFile::copy(newer, mp3));
                                     ASSERT_TRUE(SetModifiedFrom(mp3, newer, 0));
                                     ASSERT_EQ(chmod(PathBytes(mp3).constData(), 0200), 0);
                                 },
                                 ""},
                      TNoMp3Case{"folder",
                                 [](const QString& mp3, const QString&) {
                                     ASSERT_TRUE(QDir().mkpath(mp3));
                                 },
                                 "cannot save"}),
    [](const auto& info) { return std::string(info.param.name); });

// The record holds the settings, a line per source and the error list as the window shows
// it, then the line that sums the run up; only the user may read it.
TEST_F(UpdateAndRecordTest, RecordHoldsEachSourceAndTheErrorList)
{
    CopySource("a.wav");
    CopyFixture(QStringLiteral("corrupt.flac"), InPath("b.flac"));
    Drop({In});

    ASSERT_FALSE(form->RunRecordPath.isEmpty());
    EXPECT_EQ(QFileInfo(form->RunRecordPath).path(), Records);
    EXPECT_EQ(ModeOf(form->RunRecordPath), mode_t(0600));
    EXPECT_EQ(ModeOf(Records), mode_t(0700));
    const QStringList record = Lines(form->RunRecordPath);
    ASSERT_FALSE(view.Errors.isEmpty());
    const QStringList expectedStart{"Quarlow run record"};
    EXPECT_EQ(record.mid(0, 1), expectedStart);
    EXPECT_TRUE(
        record.contains("option set: 128 kb cbr (" + form->CheckedPresetOptions().trimmed() + ")"))
        << record.join(u'\n').toStdString();
    EXPECT_TRUE(record.contains("destination: below " + Save));
    EXPECT_TRUE(record.contains("files at once: 1"));
    EXPECT_TRUE(record.contains("update only: off"));
    EXPECT_EQ(record.filter(QRegularExpression("^(converted|failed): ")),
              (QStringList{"converted: " + InPath("a.wav") + " -> " + Save + "in/a.mp3",
                           "failed: " + InPath("b.flac")}));
    const qsizetype errors = record.indexOf(QStringLiteral("error list:"));
    ASSERT_GE(errors, 0);
    EXPECT_EQ(record.mid(errors + 1, view.Errors.size()), view.Errors);
    EXPECT_EQ(record.last(), form->LastRunLine);
    EXPECT_TRUE(form->LastRunLine.startsWith("1 converted, 1 failed in "));
}

// A Cancel leaves a record that says what was cut short and what never started.
TEST_F(UpdateAndRecordTest, RecordSurvivesACancel)
{
    for (const char* file : {"a.wav", "b-stall.wav", "c.wav"})
        CopySource(QString::fromUtf8(file));
    Stall(QStringLiteral("lame"), "b-stall", LameProgressRow, ".mp3");
    bool cancelled = false;
    view.OnProcessEvents = [&] {
        if (!cancelled && form->Audio && form->SourceFile.contains("b-stall") &&
            form->Audio->Progress > 0) {
            cancelled = true;
            form->Stopcurrentprocesses1Click();
        }
    };
    Drop({InPath("a.wav"), InPath("b-stall.wav"), InPath("c.wav")});

    ASSERT_TRUE(cancelled);
    const QStringList record = Lines(form->RunRecordPath);
    EXPECT_EQ(
        record.filter(QRegularExpression("^(converted|cancelled|not started): /")),
        (QStringList{"converted: " + InPath("a.wav") + " -> " + Save + "a.mp3",
                     "cancelled: " + InPath("b-stall.wav"), "not started: " + InPath("c.wav")}))
        << record.join(u'\n').toStdString();
    EXPECT_TRUE(record.contains(QStringLiteral("error list: empty")));
    EXPECT_TRUE(record.last().startsWith("cancelled: 1 converted, 1 not started in "))
        << record.last().toStdString();
}

// A record that cannot be made is said once, in the error list and not counted; the run
// converts all the same.
TEST_F(UpdateAndRecordTest, RecordThatCannotBeWrittenIsSaidOnceAndStopsNothing)
{
    Write(root.filePath("state/quarlow"), "a file where the folder would be");
    CopySource("a.wav");
    CopySource("b.wav");
    Drop({In});

    EXPECT_EQ(FilesBelow(Save), (QStringList{"in/a.mp3", "in/b.mp3"}));
    EXPECT_EQ(view.Errors.size(), 1) << view.Errors.join(u'\n').toStdString();
    EXPECT_TRUE(view.Errors.value(0).startsWith("The run record cannot be written: "));
    EXPECT_EQ(form->ErrorCount, 0);
    EXPECT_TRUE(form->RunRecordPath.isEmpty());
}

// A run of nothing leaves no record.
TEST_F(UpdateAndRecordTest, DropOfNothingLeavesNoRecord)
{
    Write(InPath("notes.txt"), "text");
    Drop({In});
    EXPECT_TRUE(form->RunRecordPath.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Records));
}

class RunRecordTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        Folder = root.filePath(QStringLiteral("runs"));
    }
    QStringList Names() const
    {
        return QDir(Folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QTemporaryDir root;
    QString Folder;
};

// Records are named by their start in UTC; two that start in the same second get names of
// their own, in the order they were made.
TEST_F(RunRecordTest, NamesAreTheStartTimeAndUnique)
{
    const QDateTime start(QDate(2026, 12, 10), QTime(15, 25, 57, 400), Qt::UTC);
    QStringList made;
    for (int i = 0; i < 3; ++i) {
        TRunRecord record(Folder, start);
        EXPECT_EQ(record.Write({QStringLiteral("line %1").arg(i)}), QString());
        made << QFileInfo(record.Path()).fileName();
    }
    EXPECT_EQ(made, (QStringList{"2026-12-10_15-25-57Z.txt", "2026-12-10_15-25-57Z-2.txt",
                                 "2026-12-10_15-25-57Z-3.txt"}));
    EXPECT_EQ(TRunRecord::Newest(Folder), Folder + "/2026-12-10_15-25-57Z-3.txt");
    EXPECT_EQ(ReadAll(Folder + "/2026-12-10_15-25-57Z-2.txt"), "line 1\n");
}

// Each line is in the file as soon as it is written: a crash leaves the lines so far.
TEST_F(RunRecordTest, LinesAreInTheFileAsTheyAreWritten)
{
    TRunRecord record(Folder, QDateTime::currentDateTimeUtc());
    ASSERT_EQ(record.Write({QStringLiteral("Quarlow run record"), QString()}), QString());
    EXPECT_EQ(ReadAll(record.Path()), "Quarlow run record\n\n");
    ASSERT_EQ(record.Write({QStringLiteral("converted: /in/a.wav -> /out/a.mp3")}), QString());
    EXPECT_EQ(ReadAll(record.Path()), "Quarlow run record\n\nconverted: /in/a.wav -> /out/a.mp3\n");
}

// The newest 50 records stay; files the program did not name so are never touched.
TEST_F(RunRecordTest, KeepsTheNewestFiftyOfItsOwn)
{
    const QStringList foreign{"notes.txt", "2026-12-10_15-25-57.txt", "2020-01-01_00-00-00Z.log"};
    for (const QString& name : foreign)
        ASSERT_TRUE(WriteFile(Folder + u'/' + name, "keep"));
    const QDateTime first(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    for (int day = 0; day < 55; ++day)
        ASSERT_TRUE(WriteFile(
            Folder + u'/' + first.addDays(day).toString("yyyy-MM-dd_HH-mm-ss") + "Z.txt", "old"));
    ASSERT_TRUE(WriteFile(Folder + "/2026-02-24_00-00-00Z-2.txt", "second of its second"));

    const TRunRecord record(Folder, first.addDays(100));

    QStringList records = Names();
    for (const QString& name : foreign) {
        EXPECT_TRUE(records.contains(name)) << name.toStdString();
        records.removeOne(name);
    }
    EXPECT_EQ(records.size(), TRunRecord::Kept);
    EXPECT_TRUE(records.contains(QFileInfo(record.Path()).fileName()));
    // 57 records: the seven oldest went, the one made second in its second stayed.
    EXPECT_FALSE(records.contains("2026-01-07_00-00-00Z.txt"));
    EXPECT_TRUE(records.contains("2026-01-08_00-00-00Z.txt"));
    EXPECT_TRUE(records.contains("2026-02-24_00-00-00Z-2.txt"));
}

// A folder that cannot be made or written gives its reason once; later writes give nothing.
TEST_F(RunRecordTest, ProblemIsToldOnce)
{
    ASSERT_TRUE(WriteFile(Folder, "a file in the folder's place"));
    TRunRecord record(Folder + "/runs", QDateTime::currentDateTimeUtc());
    EXPECT_TRUE(record.Path().isEmpty());
    EXPECT_FALSE(record.Write({QStringLiteral("a")}).isEmpty());
    EXPECT_EQ(record.Write({QStringLiteral("b")}), QString());
}

} // namespace
