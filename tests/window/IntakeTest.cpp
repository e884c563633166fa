// Intake: which dropped files reach the queue, in what form, and what a drop does to a run.
#include "Privileges.h"
#include "QtPrinters.h"
#include "WindowTestSupport.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>

namespace {

// Drops arrive while a run is going on, so they only queue and nothing is transcoded.
class IntakeTest : public TFormTest
{
protected:
    void SetUp() override
    {
        TFormTest::SetUp();
        form->Busy = true;
    }

    QStringList QueuedBelowIn() const
    {
        QStringList queued;
        for (const QString& path : view.Queue)
            queued.append(QDir(In).relativeFilePath(path));
        return queued;
    }
};

struct TAcceptCase
{
    const char* name;
    const char* file;
    bool flacFound;
    bool apeFound;
    bool verifyOnly;
    bool queued;
};

void PrintTo(const TAcceptCase& c, std::ostream* os)
{
    *os << c.name;
}

class AcceptRuleTest : public IntakeTest, public ::testing::WithParamInterface<TAcceptCase>
{};

TEST_P(AcceptRuleTest, QueuesOnlyWhatCanBeDone)
{
    const TAcceptCase& c = GetParam();
    const QString path = In + u'/' + QString::fromUtf8(c.file);
    Write(path, "x");
    form->FlacFound = c.flacFound;
    form->ApeFound = c.apeFound;
    form->SetTicked(TMenuItem::Verifyonly1, c.verifyOnly);
    Drop({path});
    EXPECT_EQ(view.Queue, c.queued ? QStringList{path} : QStringList{});
    EXPECT_EQ(form->Queue().Count(), view.Queue.size());
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, AcceptRuleTest,
    ::testing::Values(TAcceptCase{"flac", "a.flac", true, true, false, true},
                      TAcceptCase{"flac_without_flac", "a.flac", false, true, false, false},
                      TAcceptCase{"ape", "a.ape", true, true, false, true},
                      TAcceptCase{"ape_without_mac", "a.ape", true, false, false, false},
                      TAcceptCase{"wav", "a.wav", false, false, false, true},
                      TAcceptCase{"wav_in_verify_mode", "a.wav", true, true, true, false},
                      TAcceptCase{"flac_in_verify_mode", "a.flac", true, true, true, true},
                      TAcceptCase{"upper_case_extension", "A.FLAC", true, true, false, true},
                      TAcceptCase{"hidden_file", ".a.wav", true, true, false, true},
                      TAcceptCase{"mp3", "a.mp3", true, true, false, false},
                      TAcceptCase{"name_without_dot", "flac", true, true, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(IntakeTest, FolderDropQueuesItsTreeUnderTheParentAsBase)
{
    for (const char* file : {"album/cd1/a.flac", "album/cd1/b.ape", "album/c.wav", "album/d.mp3",
                             "album/.hidden/e.flac", "album/x.flac/f.wav"})
        Write(In + u'/' + QString::fromUtf8(file), "x");
    Drop({In + QStringLiteral("/album")});
    QStringList queued = QueuedBelowIn();
    queued.sort();
    EXPECT_EQ(queued, (QStringList{"album/c.wav", "album/cd1/a.flac", "album/cd1/b.ape",
                                   "album/x.flac/f.wav"}));
    for (qsizetype i = 0; i < form->Queue().Count(); ++i)
        EXPECT_EQ(form->Queue().At(i).BaseFolder, In);
}

// An album is worked off as a file manager lists it, folder by folder; files dropped
// together keep the order of the drop.
TEST_F(IntakeTest, FoldersAreWorkedOffInTheOrderAFileManagerShows)
{
    for (const char* file :
         {"album/11.flac", "album/2.flac", "album/10.flac", "album/1.flac", "album/03.flac",
          "album/B.wav", "album/a.wav", "album/CD 10/x.wav", "album/cd 9/x.wav", "z.wav", "y.wav"})
        Write(In + u'/' + QString::fromUtf8(file), "x");
    Drop({In + QStringLiteral("/z.wav"), In + QStringLiteral("/album"),
          In + QStringLiteral("/y.wav")});
    EXPECT_EQ(QueuedBelowIn(),
              (QStringList{"z.wav", "album/1.flac", "album/2.flac", "album/03.flac",
                           "album/10.flac", "album/11.flac", "album/a.wav", "album/B.wav",
                           "album/cd 9/x.wav", "album/CD 10/x.wav", "y.wav"}));
}

TEST_F(IntakeTest, DroppedFileHasItsOwnFolderAsBase)
{
    const QString path = In + QStringLiteral("/sub/a.wav");
    Write(path, "x");
    // A drop may name a path in any spelling; the queue holds it cleaned.
    Drop({In + QStringLiteral("/sub/../sub//a.wav")});
    ASSERT_EQ(view.Queue, QStringList{path});
    EXPECT_EQ(form->Queue().First().BaseFolder, In + QStringLiteral("/sub"));
}

TEST_F(IntakeTest, FolderLinkCycleEndsTheScan)
{
    Write(In + QStringLiteral("/album/a.wav"), "x");
    Write(In + QStringLiteral("/album/sub/b.wav"), "x");
    ASSERT_TRUE(QFile::link(In + QStringLiteral("/album"), In + QStringLiteral("/album/sub/up")));
    Drop({In + QStringLiteral("/album")});
    QStringList queued = QueuedBelowIn();
    queued.sort();
    EXPECT_EQ(queued, (QStringList{"album/a.wav", "album/sub/b.wav"}));
}

TEST_F(IntakeTest, SameFileDroppedTwiceIsQueuedOnce)
{
    const QString path = In + QStringLiteral("/a.wav");
    Write(path, "x");
    Drop({path, path});
    Drop({In});
    EXPECT_EQ(view.Queue, QStringList{path});
}

TEST_F(IntakeTest, PipesMissingPathsAndDanglingLinksAddNothing)
{
    const QString pipe = In + QStringLiteral("/p.wav");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(
        QFile::link(In + QStringLiteral("/gone.wav"), In + QStringLiteral("/dangling.wav")));
    Drop({pipe, In + QStringLiteral("/missing.flac"), In});
    EXPECT_EQ(view.Queue, QStringList());
}

TEST_F(IntakeTest, DropDuringARunWithdrawsAPendingCancelAndOnlyQueues)
{
    form->ErrorCount = 2;
    form->Stopcurrentprocesses1Click();
    ASSERT_TRUE(form->CancelRequested && form->ErrorsMuted);
    ASSERT_TRUE(view.ticked(TMenuItem::Stopcurrentprocesses1));
    const QString path = In + QStringLiteral("/a.wav");
    Write(path, "x");
    Drop({path});
    EXPECT_FALSE(form->CancelRequested);
    EXPECT_FALSE(form->ErrorsMuted);
    EXPECT_FALSE(view.ticked(TMenuItem::Stopcurrentprocesses1));
    EXPECT_EQ(form->ErrorCount, 2) << "the running run keeps its count";
    EXPECT_EQ(view.Queue, QStringList{path});
    EXPECT_TRUE(view.Titles.isEmpty()) << "no second run was started";
    EXPECT_EQ(view.Raises, 2);
}

// A drop that queues nothing says why on the destination line; one that queues something
// leaves the line alone.
struct TNothingCase
{
    const char* name;
    QStringList files;
    bool flacFound;
    bool apeFound;
    bool verifyOnly;
    // Dropped before the drop that is looked at.
    bool droppedBefore;
    const char* line;
};

void PrintTo(const TNothingCase& c, std::ostream* os)
{
    *os << c.name;
}

class NothingToConvertTest : public IntakeTest, public ::testing::WithParamInterface<TNothingCase>
{};

TEST_P(NothingToConvertTest, TheLineSaysWhy)
{
    const TNothingCase& c = GetParam();
    const QString folder = In + QStringLiteral("/drop");
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString& file : c.files)
        Write(folder + u'/' + file, "x");
    form->FlacFound = c.flacFound;
    form->ApeFound = c.apeFound;
    form->SetTicked(TMenuItem::Verifyonly1, c.verifyOnly);
    if (c.droppedBefore) {
        Drop({folder});
        view.setLabelText(TLabel::Destination, {});
    }

    Drop({folder});

    EXPECT_EQ(view.label(TLabel::Destination), QString::fromUtf8(c.line));
}

INSTANTIATE_TEST_SUITE_P(
    Drops, NothingToConvertTest,
    ::testing::Values(
        TNothingCase{"no_source",
                     {"a.txt", "b.jpg", "sub/c.mp3"},
                     true,
                     true,
                     false,
                     false,
                     "nothing to convert in the drop: 3 files, none FLAC, APE or WAV"},
        TNothingCase{"one_file",
                     {"a.txt"},
                     true,
                     true,
                     false,
                     false,
                     "nothing to convert in the drop: 1 file, none FLAC, APE or WAV"},
        TNothingCase{"empty_folder",
                     {},
                     true,
                     true,
                     false,
                     false,
                     "nothing to convert in the drop: no files"},
        TNothingCase{"flac_without_flac",
                     {"a.flac", "b.flac", "cover.jpg"},
                     false,
                     true,
                     false,
                     false,
                     "nothing to convert in the drop: 3 files, FLAC files need flac — press F10"},
        TNothingCase{"flac_and_ape_without_decoders",
                     {"a.flac", "b.ape"},
                     false,
                     false,
                     false,
                     false,
                     "nothing to convert in the drop: 2 files, FLAC files need flac, APE files "
                     "need mac — press F10"},
        TNothingCase{"wav_while_verifying",
                     {"a.wav"},
                     true,
                     true,
                     true,
                     false,
                     "nothing to convert in the drop: 1 file, WAV files have nothing to verify"},
        TNothingCase{"queued_already",
                     {"a.wav", "b.txt"},
                     true,
                     true,
                     false,
                     true,
                     "nothing to convert in the drop: 2 files, the WAV files are queued already"},
        TNothingCase{"something_to_convert", {"a.flac", "b.wav"}, false, false, false, false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Not during a run: a drop with nothing to convert starts none, so the last run's error list
// and count stay; a drop whose folder cannot be read runs to list that, and the line comes
// after that run, which clears the status lines.
class IdleDropTest : public TFormTest
{};

TEST_F(IdleDropTest, NothingToConvertKeepsTheLastRunsErrors)
{
    Write(In + QStringLiteral("/a.txt"), "x");
    form->FlacFound = form->ApeFound = true;
    view.appendError(QStringLiteral("Message 1 - /in/b.flac"));
    form->ErrorCount = 1;

    Drop({In});

    EXPECT_TRUE(view.Titles.isEmpty()) << "no run was started";
    EXPECT_EQ(view.Errors, QStringList{"Message 1 - /in/b.flac"});
    EXPECT_EQ(form->ErrorCount, 1);
    EXPECT_EQ(view.label(TLabel::Destination),
              QStringLiteral("nothing to convert in the drop: 1 file, none FLAC, APE or WAV"));
}

TEST_F(IdleDropTest, NothingToConvertOutlastsTheRunThatListsAProblem)
{
    const QString locked = In + QStringLiteral("/locked");
    Write(locked + QStringLiteral("/a.wav"), "x");
    ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0), 0);
    const TWithoutPrivileges asAUser;

    Drop({In});
    chmod(QFile::encodeName(locked).constData(), 0700);

    EXPECT_FALSE(view.Titles.isEmpty()) << "the drop ran the queue";
    ASSERT_EQ(view.Errors.size(), 1);
    EXPECT_TRUE(view.Errors.first().startsWith(QStringLiteral("cannot read the folder")));
    EXPECT_EQ(view.label(TLabel::Destination),
              QStringLiteral("nothing to convert in the drop: no files"));
}

TEST_F(IntakeTest, ActivationMessageRestoresAndRaisesTheWindow)
{
    EXPECT_FALSE(form->MainWindowHook(QStringLiteral("something else")));
    EXPECT_EQ(view.Raises, 0);
    EXPECT_TRUE(form->MainWindowHook(QStringLiteral("just this Quarlow")));
    EXPECT_EQ(view.Restores, 1);
}

} // namespace
