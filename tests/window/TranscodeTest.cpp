// The transcoding loop end to end: real lame, flac and metaflac, the stand-in mac, a
// recording view. Every test also checks (in TearDown) that no "~TT" file is left behind.
#include "FileSystem.h"
#include "Limits.h"
#include "LocalNames.h"
#include "PathText.h"
#include "Pipes.h"
#include "QtPrinters.h"
#include "RiffWave.h"
#include "TFlac.h"
#include "TWav.h"
#include "WindowTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <fcntl.h>
#include <new>
#include <optional>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Hyphens(40, u'-');

// Rows the stalled stand-ins print: a decode and an encode that have made some progress.
const char* const MacProgressRow =
    "Decompressing...\nProgress: 10.0% (2.7 seconds remaining, 0.3 seconds total)\r";
const char* const LameProgressRow =
    "    10/116   (10%)|    0:00/    0:00|    0:00/    0:00|   12.000x|    0:00\r";

class TranscodeTest : public TFormTest
{
protected:
    // A copy of the fixture that fits the file's extension.
    void CopySource(const QString& relative)
    {
        const QString extension = relative.section(u'.', -1);
        CopyFixture(QStringLiteral("in.") + extension, In + u'/' + relative);
    }
    QString InPath(const QString& relative) const { return In + u'/' + relative; }
    QString SavePath(const QString& relative) const { return Save + relative; }
    void UseFlacAdapter(std::function<std::unique_ptr<TAudio>()> make)
    {
        form->MakeAdapter = [standard = form->MakeAdapter, make](TSourceKind kind) {
            return kind == TSourceKind::Flac ? make() : standard(kind);
        };
    }
};

TEST_F(TranscodeTest, DroppedAlbumIsRebuiltUnderTheSaveFolderWithItsTags)
{
    CopyFixture(QStringLiteral("in.flac"), InPath(QStringLiteral("album/cd1/a.flac")));
    CopyFixture(QStringLiteral("tagged.ape"), InPath(QStringLiteral("album/cd1/b.ape")));
    CopySource(QStringLiteral("album/c.wav"));
    Write(InPath(QStringLiteral("album/d.mp3")), "not audio");
    CopySource(QStringLiteral("album/.hidden/e.flac"));
    const auto sources = Sources();

    Drop({InPath(QStringLiteral("album"))});

    EXPECT_EQ(FilesBelow(Save), (QStringList{"album/c.mp3", "album/cd1/a.mp3", "album/cd1/b.mp3"}));
    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(view.Queue, QStringList());
    EXPECT_TRUE(form->Queue().IsEmpty());
    EXPECT_EQ(Sources(), sources);
    for (const char* mp3 : {"album/cd1/a.mp3", "album/cd1/b.mp3"}) {
        const TMp3Tags tags = ReadMp3Tags(SavePath(QString::fromUtf8(mp3)));
        EXPECT_EQ(tags.Title, QStringLiteral("The \"Quoted\" Song")) << mp3;
        EXPECT_EQ(tags.Artist, QStringLiteral("Test Artist")) << mp3;
        EXPECT_EQ(tags.Album, QStringLiteral("Café Album")) << mp3;
        EXPECT_EQ(tags.Track, 3u) << mp3;
    }
    EXPECT_EQ(ReadMp3Tags(SavePath(QStringLiteral("album/c.mp3"))).Title, QString());
    // LAME wrote a file of our making; the MP3 still gets the permissions the user's umask
    // gives a new file, not those of a private temporary file.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat made = {};
    ASSERT_EQ(stat(QFile::encodeName(SavePath(QStringLiteral("album/c.mp3"))).constData(), &made),
              0);
    EXPECT_EQ(made.st_mode & 0777, 0666 & ~mask);
    // The bar took the FLAC, APE and LAME colours.
    for (TColor color : {TColor{255, 96, 96}, TColor{128, 101, 80}, TColor{96, 96, 255}})
        EXPECT_TRUE(view.ProgressColors.contains(color)) << color.Red;
    // The window is back at rest.
    EXPECT_FALSE(form->Busy);
    EXPECT_EQ(view.Titles.last(), QStringLiteral("Quarlow - FLAC/APE to MP3 transcoder"));
    EXPECT_EQ(view.label(TLabel::Destination), QString());
    for (TMenuItem item : {TMenuItem::Exit1, TMenuItem::LameHelpShow1, TMenuItem::mnuSaveTo,
                           TMenuItem::Checkcodecpaths1, TMenuItem::fs1, TMenuItem::cs1})
        EXPECT_TRUE(view.enabled(item)) << int(item);
    EXPECT_TRUE(view.HintEnabled);
    EXPECT_EQ(view.CloseRequests, 0);
}

// Every kind of MP3 the program writes reads cleanly: a FLAC source with every field and a
// cover, a tagged APE source and a WAV source.
TEST_F(TranscodeTest, EveryKindOfMp3ReadsWithoutAComplaint)
{
    const QString flac = InPath(QStringLiteral("album/a.flac"));
    CopyFixture(QStringLiteral("in.flac"), flac);
    const QByteArray cover = PngBytes(6, 6);
    Write(InPath(QStringLiteral("art/front.png")), cover);
    ASSERT_EQ(
        RunTool(
            QStringLiteral("metaflac"),
            {"--set-tag=ALBUMARTIST=Various", "--set-tag=DISCNUMBER=2/3", "--set-tag=TOTALTRACKS=9",
             "--set-tag=COMPOSER=Bach", "--set-tag=REPLAYGAIN_TRACK_GAIN=-6.50 dB",
             "--set-tag=REPLAYGAIN_TRACK_PEAK=0.988", "--set-tag=REPLAYGAIN_ALBUM_GAIN=-7.10 dB",
             "--set-tag=REPLAYGAIN_ALBUM_PEAK=1.000",
             "--import-picture-from=3||||" + InPath(QStringLiteral("art/front.png")), flac}),
        0);
    CopyFixture(QStringLiteral("tagged.ape"), InPath(QStringLiteral("album/b.ape")));
    CopySource(QStringLiteral("album/c.wav"));

    Drop({InPath(QStringLiteral("album"))});

    EXPECT_EQ(view.Errors, QStringList());
    ASSERT_EQ(FilesBelow(Save), (QStringList{"album/a.mp3", "album/b.mp3", "album/c.mp3"}));
    for (const char* mp3 : {"album/a.mp3", "album/b.mp3", "album/c.mp3"})
        EXPECT_EQ(FfprobeWarnings(SavePath(QString::fromUtf8(mp3))), QString()) << mp3;
    const std::map<std::string, QString> frames =
        Id3v2Frames(SavePath(QStringLiteral("album/a.mp3")));
    EXPECT_EQ(frames.at("TRCK"), QStringLiteral("3/9"));
    EXPECT_EQ(frames.at("TPOS"), QStringLiteral("2/3"));
    EXPECT_EQ(frames.at("COMM:"), QStringLiteral("Encoded for tests; naïve café"));
    EXPECT_EQ(Id3v2Cover(SavePath(QStringLiteral("album/a.mp3"))), cover);
    EXPECT_EQ(frames.at("TPE2"), QStringLiteral("Various"));
    EXPECT_EQ(Id3v2Frames(SavePath(QStringLiteral("album/c.mp3"))).size(), 0u);
}

// A cover LAME would be given in a form players reject is left out with an entry saying so;
// the MP3 is made with every other field, and the tag list tells the same.
TEST_F(TranscodeTest, CoverTooLargeIsLeftOutAndTheMp3IsMade)
{
    const QString flac = InPath(QStringLiteral("a.flac"));
    CopyFixture(QStringLiteral("in.flac"), flac);
    const QString cover = InPath(QStringLiteral("Cover.PNG"));
    Write(cover, PngBytes(1, 1) + QByteArray(MaxCoverBytes, 'x'));

    Drop({flac});

    const QString problem =
        DisplayPath(cover) +
        QStringLiteral(" holds %1 bytes, more than the %2 bytes a cover may hold: the MP3 has "
                       "no cover")
            .arg(QFileInfo(cover).size())
            .arg(MaxCoverBytes);
    EXPECT_EQ(view.Errors, (QStringList{"Message 1 - " + flac, problem, Hyphens}));
    ASSERT_EQ(FilesBelow(Save), QStringList({"a.mp3"}));
    EXPECT_EQ(Id3v2Cover(SavePath(QStringLiteral("a.mp3"))), QByteArray());
    EXPECT_EQ(Id3v2Frames(SavePath(QStringLiteral("a.mp3"))).at("TIT2"),
              QStringLiteral("The \"Quoted\" Song"));
    EXPECT_EQ(view.Tags.mid(7), QStringList{"Cover\t= " + problem});
}

// While a tool runs, the commands that would start another tool or change the job's
// settings are off, and they come back when the run ends.
TEST_F(TranscodeTest, CommandsThatWouldDisturbARunAreOffWhileAToolRuns)
{
    CopyFixture(QStringLiteral("in.flac"), InPath(QStringLiteral("a.flac")));
    const TMenuItem off[] = {TMenuItem::Exit1,
                             TMenuItem::LameHelpShow1,
                             TMenuItem::mnuSaveTo,
                             TMenuItem::Savetosourcedirectory1,
                             TMenuItem::standardoptions1,
                             TMenuItem::mnuCustomSettings,
                             TMenuItem::cs1,
                             TMenuItem::fs5};
    int toolPolls = 0;
    view.OnProcessEvents = [&] {
        if (!form->Audio)
            return;
        ++toolPolls;
        for (TMenuItem item : off)
            EXPECT_FALSE(view.enabled(item)) << int(item);
        EXPECT_FALSE(view.HintEnabled);
    };
    Drop({InPath(QStringLiteral("a.flac"))});
    EXPECT_GT(toolPolls, 0);
    EXPECT_EQ(FilesBelow(Save), QStringList({"a.mp3"}));
    for (TMenuItem item : off)
        EXPECT_TRUE(view.enabled(item)) << int(item);
}

TEST_F(TranscodeTest, SaveToSourcePutsEachMp3BesideItsSource)
{
    form->SetTicked(TMenuItem::Savetosourcedirectory1, true);
    CopySource(QStringLiteral("one/a.wav"));
    CopySource(QStringLiteral("one/two/b.wav"));
    CopySource(QStringLiteral("c.flac"));

    Drop({InPath(QStringLiteral("one")), InPath(QStringLiteral("c.flac"))});

    EXPECT_EQ(FilesBelow(In), (QStringList{"c.flac", "c.mp3", "one/a.mp3", "one/a.wav",
                                           "one/two/b.mp3", "one/two/b.wav"}));
    EXPECT_EQ(FilesBelow(Save), QStringList());
    EXPECT_FALSE(view.enabled(TMenuItem::mnuSaveTo));
    // The last job was the FLAC file; the tag list shows its tags.
    EXPECT_EQ(view.Tags,
              (QStringList{"Title\t= The \"Quoted\" Song", "Artist\t= Test Artist", "Tracknr\t= 3",
                           "Album\t= Café Album", "Comment\t= Encoded for tests; naïve café",
                           "Genre\t= Rock", "Date\t= 2024"}));
}

TEST_F(TranscodeTest, VerifyOnlyDecodesAndWritesNothing)
{
    form->SetTicked(TMenuItem::Verifyonly1, true);
    form->VerifyMode = true;
    CopySource(QStringLiteral("album/good.flac"));
    CopyFixture(QStringLiteral("corrupt.flac"), InPath(QStringLiteral("album/bad.flac")));
    CopySource(QStringLiteral("album/good.ape"));
    CopySource(QStringLiteral("album/c.wav"));
    const auto sources = Sources();

    Drop({InPath(QStringLiteral("album"))});

    EXPECT_EQ(view.QueueLog.size(), 3) << "the WAV file is not taken";
    EXPECT_FALSE(QDir(SavePath(QStringLiteral("album"))).exists());
    EXPECT_EQ(Sources(), sources);
    ASSERT_FALSE(view.Errors.isEmpty());
    EXPECT_EQ(view.Errors.first(), QStringLiteral("Message 1 - ") + InPath("album/bad.flac"));
    EXPECT_EQ(view.Errors.count(Hyphens), 1);
    EXPECT_EQ(view.label(TLabel::LameVersion), QStringLiteral("Verify"));
    EXPECT_EQ(view.label(TLabel::BitRate), QStringLiteral("There is an error message!"));
}

TEST_F(TranscodeTest, CorruptFlacGivesOneEntryWithTheToolsRows)
{
    CopyFixture(QStringLiteral("corrupt.flac"), InPath(QStringLiteral("bad.flac")));
    Drop({InPath(QStringLiteral("bad.flac"))});

    ASSERT_GE(view.Errors.size(), 3);
    EXPECT_EQ(view.Errors.first(), QStringLiteral("Message 1 - ") + InPath("bad.flac"));
    EXPECT_EQ(view.Errors.filter(QStringLiteral("bad.flac: ERROR while decoding data")).size(), 1);
    // flac's own rows end with how it ended, and the entry with the hyphens.
    EXPECT_EQ(view.Errors.mid(view.Errors.size() - 2),
              (QStringList{"flac ended with exit status 1", Hyphens}));
    EXPECT_EQ(view.Errors.count(Hyphens), 1);
    EXPECT_EQ(form->ErrorCount, 1);
    EXPECT_EQ(view.label(TLabel::BitRate), QStringLiteral("There is an error message!"));
}

TEST_F(TranscodeTest, TwoBadSourcesAreNumberedAndCounted)
{
    CopyFixture(QStringLiteral("corrupt.flac"), InPath(QStringLiteral("bad1.flac")));
    CopyFixture(QStringLiteral("truncated.ape"), InPath(QStringLiteral("bad2.ape")));
    Drop({InPath(QStringLiteral("bad1.flac")), InPath(QStringLiteral("bad2.ape"))});

    EXPECT_EQ(view.Errors.filter(QStringLiteral("Message ")),
              (QStringList{QStringLiteral("Message 1 - ") + InPath("bad1.flac"),
                           QStringLiteral("Message 2 - ") + InPath("bad2.ape")}));
    EXPECT_EQ(view.Errors.filter(QStringLiteral("Error: 1009")).size(), 1);
    EXPECT_EQ(view.label(TLabel::BitRate), QStringLiteral("There are 2 error messages!"));
}

// flac, run for real, whose output then vanishes: a decoder that reports success and leaves
// no WAV file.
class TFlacWithoutOutput : public TFlac
{
public:
    bool ConvertToWav(const QString& source, const QString& wav) override
    {
        const bool ran = TFlac::ConvertToWav(source, wav);
        QFile::remove(wav);
        return ran;
    }
};

TEST_F(TranscodeTest, DecodeThatLeavesNoWavIsAnErrorAndIsNotEncoded)
{
    UseFlacAdapter([] { return std::make_unique<TFlacWithoutOutput>(); });
    CopySource(QStringLiteral("a.flac"));
    Drop({InPath(QStringLiteral("a.flac"))});

    EXPECT_EQ(view.Errors.first(), QStringLiteral("Message 1 - ") + InPath("a.flac"));
    EXPECT_EQ(view.Errors.filter(QStringLiteral("a.flac: done")).size(), 1);
    EXPECT_EQ(view.Errors.count(Hyphens), 1);
    EXPECT_TRUE(view.Titles.filter(QStringLiteral("Lame:")).isEmpty()) << "LAME never ran";
    EXPECT_EQ(FilesBelow(Save), QStringList());
}

// The decoder writes its output, or LAME is to run, and then something inside the job fails.
template <typename Adapter, typename Failure> class TFailingAdapter : public Adapter
{
public:
    bool ConvertToWav(const QString& source, const QString& wav) override
    {
        Adapter::ConvertToWav(source, wav);
        throw Failure();
    }
};

template <typename Adapter, typename Failure> std::unique_ptr<TAudio> MakeFailing()
{
    return std::make_unique<TFailingAdapter<Adapter, Failure>>();
}

struct TOutOfResources : std::runtime_error
{
    TOutOfResources() : std::runtime_error("out of resources") {}
};

// The failure is one line with its reason; only a decoder's job has an intermediate file to
// speak of. The next job runs, and nothing of the failed one remains.
struct TJobFailureCase
{
    const char* name;
    const char* source;
    std::unique_ptr<TAudio> (*make)();
    const char* line;
    // The next job, of another kind.
    const char* next;
};

void PrintTo(const TJobFailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class JobFailureTest : public TranscodeTest, public ::testing::WithParamInterface<TJobFailureCase>
{};

TEST_P(JobFailureTest, IsListedWithItsReasonAndTheNextJobRuns)
{
    const TJobFailureCase& c = GetParam();
    const QString source = QString::fromUtf8(c.source);
    const TSourceKind kind = *SourceKindOf(source);
    form->MakeAdapter = [standard = form->MakeAdapter, kind, make = c.make](TSourceKind asked) {
        return asked == kind ? make() : standard(asked);
    };
    const QString next = QString::fromUtf8(c.next);
    CopySource(source);
    CopySource(next);
    Drop({InPath(source), InPath(next)});

    EXPECT_EQ(view.Errors, QStringList{InPath(source) + QString::fromUtf8(c.line)});
    EXPECT_EQ(form->ErrorCount, 0);
    EXPECT_EQ(FilesBelow(Save), QStringList{"z.mp3"});
    EXPECT_TRUE(view.enabled(TMenuItem::Checkcodecpaths1));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, JobFailureTest,
    ::testing::Values(
        TJobFailureCase{"decoder_job", "a.flac", MakeFailing<TFlac, TOutOfResources>,
                        ": cannot create intermediate wav file (out of resources)", "z.wav"},
        TJobFailureCase{"wav_job_without_memory", "a.wav", MakeFailing<TWav, std::bad_alloc>,
                        ": the job could not run (Cannot allocate memory)", "z.flac"}),
    [](const auto& info) { return std::string(info.param.name); });

// A tool that cannot be started is said in an entry with the reason; the next job runs.
struct TUnstartableCase
{
    const char* name;
    const char* source;
    // Makes the tool unusable in a folder of the test's and returns the row that says why.
    QString (*breakTool)(TForm1& form, const QString& folder);
};

void PrintTo(const TUnstartableCase& c, std::ostream* os)
{
    *os << c.name;
}

class UnstartableToolTest : public TranscodeTest,
                            public ::testing::WithParamInterface<TUnstartableCase>
{};

TEST_P(UnstartableToolTest, IsAnEntryWithTheReasonAndTheNextJobRuns)
{
    const TUnstartableCase& c = GetParam();
    const QString source = QString::fromUtf8(c.source);
    CopySource(source);
    CopySource(QStringLiteral("z.wav"));
    const QString tools = root.filePath(QStringLiteral("tools")) + u'/';
    ASSERT_TRUE(QDir().mkpath(tools));
    const QString reason = c.breakTool(*form, tools);
    const bool lameBroken = form->LamePath == tools;

    Drop({InPath(source), InPath(QStringLiteral("z.wav"))});

    EXPECT_EQ(view.Errors.mid(0, 3),
              (QStringList{"Message 1 - " + InPath(source), reason, Hyphens}));
    EXPECT_EQ(FilesBelow(Save), lameBroken ? QStringList() : QStringList{"z.mp3"});
    EXPECT_EQ(form->ErrorCount, lameBroken ? 2 : 1);
}

QString FlacMissing(TForm1& form, const QString& folder)
{
    QFile::link(form.FlacPath + "metaflac", folder + "metaflac");
    form.FlacPath = folder;
    return "cannot start " + folder + "flac: No such file or directory";
}

QString FlacNotAProgram(TForm1& form, const QString& folder)
{
    QFile::link(form.FlacPath + "metaflac", folder + "metaflac");
    WriteFile(folder + "flac", "not a program");
    form.FlacPath = folder;
    return "cannot start " + folder + "flac: Permission denied";
}

QString LameMissing(TForm1& form, const QString& folder)
{
    form.LamePath = folder;
    return "cannot start " + folder + "lame: No such file or directory";
}

INSTANTIATE_TEST_SUITE_P(
    Tools, UnstartableToolTest,
    ::testing::Values(TUnstartableCase{"flac_missing", "a.flac", FlacMissing},
                      TUnstartableCase{"flac_not_a_program", "a.flac", FlacNotAProgram},
                      TUnstartableCase{"lame_missing", "a.wav", LameMissing},
                      // The decode's progress is no encode's.
                      TUnstartableCase{"lame_missing_after_a_decode", "a.flac", LameMissing}),
    [](const auto& info) { return std::string(info.param.name); });

// What a job's tool needs to start (its screen, its terminal, the pipe that tells a failed
// start) may be missing on a loaded machine: the job fails with an entry that says why, the
// next job runs, and nothing of the failed one remains.
struct TNoResourceCase
{
    const char* name;
    const char* source;
    int resource;
    rlim_t (*limit)();
    // The screen the job's tool asks for.
    int rows;
    int columns;
    // The row that says why, after "cannot start TOOL: ".
    const char* tool;
    const char* reason;
    // The limit is too tight for the sanitizers' own books.
    bool tight;
};

void PrintTo(const TNoResourceCase& c, std::ostream* os)
{
    *os << c.name;
}

class NoResourceTest : public TranscodeTest, public ::testing::WithParamInterface<TNoResourceCase>
{};

TEST_P(NoResourceTest, FailsThatJobWithItsReasonAndTheNextJobRuns)
{
    const TNoResourceCase& c = GetParam();
    if (c.tight && UnderSanitizer)
        GTEST_SKIP() << "the sanitizers need what the limit takes away";
    const QString source = QString::fromUtf8(c.source);
    const QString next =
        source.endsWith(u".wav") ? QStringLiteral("z.flac") : QStringLiteral("z.wav");
    CopySource(source);
    CopySource(next);
    // The limit holds from the failing job's adapter to the next job's.
    std::unique_ptr<TResourceLimit> limit;
    form->MakeAdapter = [&, standard = form->MakeAdapter,
                         kind = *SourceKindOf(source)](TSourceKind asked) {
        limit.reset();
        std::unique_ptr<TAudio> audio = standard(asked);
        if (asked == kind) {
            audio->Cons.BufferRows = c.rows;
            audio->Cons.BufferColumns = c.columns;
            limit = std::make_unique<TResourceLimit>(c.resource, c.limit());
            EXPECT_TRUE(limit->isSet());
        }
        return audio;
    };
    Drop({InPath(source), InPath(next)});
    limit.reset();

    const QString tool = QString::fromUtf8(c.tool);
    const QString folder = tool == u"lame" ? form->LamePath : form->FlacPath;
    EXPECT_EQ(view.Errors,
              (QStringList{"Message 1 - " + InPath(source),
                           "cannot start " + folder + tool + ": " + c.reason, Hyphens}));
    EXPECT_EQ(FilesBelow(Save), QStringList{"z.mp3"});
    EXPECT_EQ(form->ErrorCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, NoResourceTest,
    ::testing::Values(
        // The largest screen a terminal can have: far more memory than the gigabyte left.
        TNoResourceCase{"no_memory_for_the_screen", "a.flac", RLIMIT_AS,
                        [] { return AddressSpaceWithRoom(size_t(1) << 30); }, 65535, 65535, "flac",
                        "terminal screen: Cannot allocate memory", false},
        // The WAV job opens its source and LAME's file first, one at a time.
        TNoResourceCase{"no_descriptor_for_the_terminal", "a.wav", RLIMIT_NOFILE,
                        [] { return DescriptorsWithRoom(1); }, 200, 265, "lame",
                        "openpty: Too many open files", true},
        TNoResourceCase{"no_descriptor_for_the_exec_pipe", "a.flac", RLIMIT_NOFILE,
                        [] { return DescriptorsWithRoom(3); }, 200, 265, "flac",
                        "pipe: Too many open files", true}),
    [](const auto& info) { return std::string(info.param.name); });

// The tools are started in their own folders; a folder given relative to ours still finds
// them.
TEST_F(TranscodeTest, RelativeToolFoldersWork)
{
    const QString tools = root.filePath(QStringLiteral("tools"));
    ASSERT_TRUE(QDir().mkpath(tools));
    for (const QString tool : {"lame", "flac", "metaflac"})
        ASSERT_TRUE(QFile::link(ToolFolderOnPath(tool) + tool, tools + u'/' + tool));
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(root.path()));
    form->LamePath = form->FlacPath = QStringLiteral("tools/");
    CopySource(QStringLiteral("a.flac"));
    Drop({InPath(QStringLiteral("a.flac"))});
    QDir::setCurrent(saved);

    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(FilesBelow(Save), QStringList{"a.mp3"});
}

// A second conversion of a file that fails in any way leaves the MP3 of the first as it was,
// and no partial file beside it.
class ReconvertTest;

struct TReconvertCase
{
    const char* name;
    const char* source;
    // Spoils the second conversion; returns the row its entry must hold.
    QString (*spoil)(ReconvertTest& test, const QString& source);
    // The most a tool of the second conversion may write into one file.
    rlim_t writeLimit = RLIM_INFINITY;
};

void PrintTo(const TReconvertCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReconvertTest : public TranscodeTest, public ::testing::WithParamInterface<TReconvertCase>
{
public:
    using TranscodeTest::CopyFixture;
    using TranscodeTest::form;
    using TranscodeTest::root;
    using TranscodeTest::Stall;
};

TEST_P(ReconvertTest, FailureKeepsTheEarlierMp3)
{
    const TReconvertCase& c = GetParam();
    const QString source = InPath(QString::fromUtf8(c.source));
    CopySource(QString::fromUtf8(c.source));
    Drop({source});
    ASSERT_EQ(view.Errors, QStringList());
    const QString mp3 = SavePath(ChangeExtension(QString::fromUtf8(c.source), ".mp3"));
    const QByteArray earlier = ReadAll(mp3);
    ASSERT_GT(earlier.size(), 10000);

    const QString row = c.spoil(*this, source);
    {
        const TResourceLimit limit(RLIMIT_FSIZE, c.writeLimit);
        Drop({source});
    }

    EXPECT_EQ(view.Errors.value(0), "Message 1 - " + source);
    EXPECT_TRUE(view.Errors.contains(row)) << view.Errors.join(u'\n').toStdString();
    EXPECT_EQ(view.Errors.last(), Hyphens);
    EXPECT_EQ(ReadAll(mp3), earlier);
    EXPECT_EQ(FilesBelow(Save), QStringList{FileNamePart(mp3)});
}

// The encoder may write only 20,000 bytes, as on the disk that was full at 91%.
QString FullDisk(ReconvertTest&, const QString&)
{
    return "lame was stopped by signal 25 (File size limit exceeded)";
}

QString EncoderKilled(ReconvertTest& test, const QString&)
{
    test.Stall("lame", "", LameProgressRow, ".mp3");
    qputenv("STALL_SIGNAL", "9");
    return "lame was stopped by signal 9 (Killed)";
}

QString LameGone(ReconvertTest& test, const QString&)
{
    // The tool is started in its folder, which is gone too.
    test.form->LamePath = test.root.filePath("no-tools") + "/";
    return "cannot start " + test.form->LamePath + "lame in " + test.form->LamePath +
           ": No such file or directory";
}

QString FlacSourceDamaged(ReconvertTest& test, const QString& source)
{
    test.CopyFixture("corrupt.flac", source);
    return "flac ended with exit status 1";
}

// mac stops with an error code and leaves the part of the WAV it got to: never encoded.
QString ApeSourceCut(ReconvertTest& test, const QString& source)
{
    test.CopyFixture("truncated.ape", source);
    return "Error: 1009";
}

INSTANTIATE_TEST_SUITE_P(Faults, ReconvertTest,
                         ::testing::Values(TReconvertCase{"full_disk", "a.wav", FullDisk, 20000},
                                           TReconvertCase{"encoder_killed", "a.wav", EncoderKilled},
                                           TReconvertCase{"lame_cannot_start", "a.wav", LameGone},
                                           TReconvertCase{"decode_error", "a.flac",
                                                          FlacSourceDamaged},
                                           TReconvertCase{"cut_ape", "a.ape", ApeSourceCut}),
                         [](const auto& info) { return std::string(info.param.name); });

// LAME echoes the output path on a row of its own when the paths are long; a folder named
// "(0%)" there is no progress row, and the MP3 is kept.
TEST_F(TranscodeTest, PercentInALongDestinationPathIsNoProgress)
{
    const QString relative = QStringLiteral("album/Best of the long folder names (0%) collection/"
                                            "Remix (0%).wav");
    CopySource(relative);
    Drop({InPath(QStringLiteral("album"))});

    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_GT(ReadAll(SavePath(relative.chopped(4) + ".mp3")).size(), 10000);
}

// A folder of the drop that cannot be read is said, counted, and the rest is converted.
TEST_F(TranscodeTest, UnreadableFolderInADropIsSaidAndTheRestConverts)
{
    CopySource(QStringLiteral("album/a.wav"));
    CopySource(QStringLiteral("album/locked/b.wav"));
    const QString locked = InPath(QStringLiteral("album/locked"));
    ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0), 0);
    {
        const TWithoutPrivileges asAUser;
        Drop({InPath(QStringLiteral("album"))});
    }
    chmod(QFile::encodeName(locked).constData(), 0755);

    EXPECT_EQ(view.Errors,
              QStringList{"cannot read the folder " + locked + "/: Permission denied"});
    EXPECT_EQ(form->ErrorCount, 1);
    EXPECT_EQ(view.label(TLabel::BitRate), QStringLiteral("There is an error message!"));
    EXPECT_EQ(FilesBelow(Save), QStringList{"album/a.mp3"});
}

// Names from an old Latin-1 library are not UTF-8; they convert all the same, through every
// kind of job, in a dropped folder and as a dropped file, and each MP3 keeps the bytes of its
// source's name. Verifying reads them too.
class Latin1NamesTest : public TranscodeTest, public ::testing::WithParamInterface<bool>
{};

TEST_P(Latin1NamesTest, ConvertAndKeepTheirBytes)
{
    const bool verify = GetParam();
    form->SetTicked(TMenuItem::Verifyonly1, verify);
    form->VerifyMode = verify;
    const QString folder = PathFromBytes("Caf\xe9 album");
    const QStringList inFolder = {PathFromBytes("caf\xe9.flac"), PathFromBytes("\xe9t\xe9.wav"),
                                  PathFromBytes("\xe0 la.ape")};
    for (const QString& name : inFolder)
        CopySource(folder + u'/' + name);
    const QString dropped = PathFromBytes("d\xe9j\xe0.flac");
    CopySource(dropped);
    const auto sources = Sources();

    Drop({InPath(folder), InPath(dropped)});

    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(view.QueueLog.size(), verify ? 3 : 4);
    EXPECT_EQ(Sources(), sources);
    QStringList made;
    if (!verify) {
        made = QStringList{PathFromBytes("Caf\xe9 album/caf\xe9.mp3"),
                           PathFromBytes("Caf\xe9 album/\xe9t\xe9.mp3"),
                           PathFromBytes("Caf\xe9 album/\xe0 la.mp3"),
                           PathFromBytes("d\xe9j\xe0.mp3")};
        made.sort();
    }
    EXPECT_EQ(FilesBelow(Save), made);
    if (!verify) {
        EXPECT_EQ(ReadMp3Tags(SavePath(PathFromBytes("Caf\xe9 album/caf\xe9.mp3"))).Title,
                  QStringLiteral("The \"Quoted\" Song"));
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, Latin1NamesTest, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "verify" : "convert");
});

// song.flac, song.FLAC and song.wav would all become song.mp3: the first one makes it, the
// others are said and left alone.
TEST_F(TranscodeTest, SourcesThatMakeTheSameMp3AreNotConvertedTwice)
{
    CopySource(QStringLiteral("album/song.flac"));
    CopyFixture(QStringLiteral("in.flac"), InPath(QStringLiteral("album/song.FLAC")));
    Write(InPath(QStringLiteral("album/song.wav")), SineWavBytes(1, 1));
    Drop({InPath(QStringLiteral("album/song.flac")), InPath(QStringLiteral("album/song.FLAC")),
          InPath(QStringLiteral("album/song.wav"))});

    const QString mp3 = SavePath(QStringLiteral("song.mp3"));
    EXPECT_EQ(view.Errors, (QStringList{"Message 1 - " + InPath("album/song.FLAC"),
                                        mp3 + " was made from " + InPath("album/song.flac") +
                                            " in this run, so this file was not converted",
                                        Hyphens, "Message 2 - " + InPath("album/song.wav"),
                                        mp3 + " was made from " + InPath("album/song.flac") +
                                            " in this run, so this file was not converted",
                                        Hyphens}));
    EXPECT_EQ(FilesBelow(Save), QStringList{"song.mp3"});
    EXPECT_EQ(ReadMp3Tags(mp3).Title, QStringLiteral("The \"Quoted\" Song"));
}

// Pieces of WAV files, put together to make damaged and unusual ones.
QByteArray Le(quint32 value, int bytes)
{
    char raw[4];
    qToLittleEndian(value, raw);
    return QByteArray(raw, bytes);
}

// A chunk with its header and, after an odd size, the padding byte; the header says `size`
// when it is given.
QByteArray Chunk(const char* id, const QByteArray& body, std::optional<quint32> size = {})
{
    const QByteArray chunk = QByteArray(id, 4) + Le(size.value_or(quint32(body.size())), 4) + body;
    return body.size() % 2 ? chunk + '\0' : chunk;
}

constexpr quint16 Extensible = 0xFFFE;

struct TFmt
{
    quint16 Code = 1;
    quint16 Channels = 2;
    quint16 Bits = 16;
    quint32 Rate = 8000;
    std::optional<quint16> Align{};
    quint16 Subformat = 1;

    quint16 frame() const { return Align.value_or(quint16(Channels * ((Bits + 7) / 8))); }
};

QByteArray FmtChunk(const TFmt& f)
{
    QByteArray body = Le(f.Code, 2) + Le(f.Channels, 2) + Le(f.Rate, 4) +
                      Le(f.Rate * f.frame(), 4) + Le(f.frame(), 2) + Le(f.Bits, 2);
    if (f.Code == Extensible) {
        body += Le(22, 2) + Le(f.Bits, 2) + Le(f.Channels == 2 ? 3 : 4, 4) + Le(f.Subformat, 2) +
                QByteArray::fromHex("000000001000800000aa00389b71");
    }
    return Chunk("fmt ", body);
}

// Two seconds of audio at 8 kHz: read as the raw samples LAME falls back to, they would
// last a fraction of that.
QByteArray Audio(const TFmt& f = {})
{
    return QByteArray(2 * 8000 * f.frame(), '\x01');
}

QByteArray Riff(const QByteArray& chunks, const char* magic = "RIFF")
{
    return magic + Le(4 + chunks.size(), 4) + "WAVE" + chunks;
}

QByteArray Wav(const TFmt& f)
{
    return Riff(FmtChunk(f) + Chunk("data", Audio(f)));
}

QByteArray Rf64(const TFmt& f)
{
    const QByteArray audio = Audio(f);
    const QByteArray ds64 = Le(0, 4) + Le(0, 4) + Le(audio.size(), 4) + Le(0, 4) +
                            Le(audio.size() / f.frame(), 4) + Le(0, 4) + Le(0, 4);
    return Riff(Chunk("ds64", ds64) + FmtChunk(f) + Chunk("data", audio, 0xFFFFFFFF), "RF64");
}

struct TWavSourceCase
{
    const char* name;
    QByteArray bytes;
    // Why the file is not encoded; empty for one LAME reads.
    const char* problem;
};

void PrintTo(const TWavSourceCase& c, std::ostream* os)
{
    *os << c.name;
}

class WavSourceTest : public TranscodeTest, public ::testing::WithParamInterface<TWavSourceCase>
{};

// A WAV source LAME cannot read as such it would take as raw samples and make an MP3 of
// noise; an empty one an MP3 without audio. Either would replace the MP3 of an earlier run.
TEST_P(WavSourceTest, IsEncodedOnlyWhenLameReadsItsAudio)
{
    const TWavSourceCase& c = GetParam();
    const QString mp3 = SavePath(QStringLiteral("song.mp3"));
    const QByteArray earlier = "the MP3 of an earlier run";
    Write(mp3, earlier);
    Write(InPath(QStringLiteral("song.wav")), c.bytes);
    CopySource(QStringLiteral("next.wav"));
    Drop({InPath(QStringLiteral("song.wav")), InPath(QStringLiteral("next.wav"))});

    EXPECT_EQ(FilesBelow(Save), (QStringList{"next.mp3", "song.mp3"}));
    if (*c.problem) {
        EXPECT_EQ(view.Errors, (QStringList{QStringLiteral("Message 1 - ") + InPath("song.wav"),
                                            QString::fromUtf8(c.problem) +
                                                QStringLiteral(", so it was not encoded"),
                                            Hyphens}));
        EXPECT_EQ(ReadAll(mp3), earlier);
    } else {
        EXPECT_EQ(view.Errors, QStringList());
        EXPECT_EQ(ReadMp3Tags(mp3).Seconds, 2);
    }
}

const QByteArray Fmt16 = FmtChunk({});

INSTANTIATE_TEST_SUITE_P(
    Sources, WavSourceTest,
    ::testing::Values(
        TWavSourceCase{"pcm_8_bit_mono", Wav({.Channels = 1, .Bits = 8}), ""},
        TWavSourceCase{"pcm_16_bit", Wav({}), ""},
        TWavSourceCase{"pcm_24_bit", Wav({.Bits = 24}), ""},
        TWavSourceCase{"pcm_32_bit", Wav({.Bits = 32}), ""},
        TWavSourceCase{"float_with_fact_chunk",
                       Riff(FmtChunk({.Code = 3, .Bits = 32}) + Chunk("fact", Le(16000, 4)) +
                            Chunk("data", Audio({.Code = 3, .Bits = 32}))),
                       ""},
        TWavSourceCase{"float_64_bit", Wav({.Code = 3, .Bits = 64}), ""},
        TWavSourceCase{"extensible_pcm_24_bit", Wav({.Code = Extensible, .Bits = 24}), ""},
        TWavSourceCase{"extensible_float", Wav({.Code = Extensible, .Bits = 32, .Subformat = 3}),
                       ""},
        TWavSourceCase{"a_law", Wav({.Code = 6, .Channels = 1, .Bits = 8}), ""},
        TWavSourceCase{"list_chunk_first",
                       Riff(Chunk("LIST", "INFOISFTtest") + Fmt16 + Chunk("data", Audio())), ""},
        TWavSourceCase{"odd_sized_chunk_padded",
                       Riff(Fmt16 + Chunk("LIST", "odd") + Chunk("data", Audio())), ""},
        TWavSourceCase{"data_size_unset", Riff(Fmt16 + Chunk("data", Audio(), 0xFFFFFFFF)), ""},
        TWavSourceCase{"data_longer_than_the_file",
                       Riff(Fmt16 + Chunk("data", Audio(), 10 * Audio().size())), ""},
        TWavSourceCase{"rf64", Rf64({}), ""},
        TWavSourceCase{"text", "just some notes, no audio\n", "not a RIFF/WAVE file"},
        TWavSourceCase{"cut_in_the_header", ReadAll(TEST_DATA_DIR "/fixtures/in.wav").left(10),
                       "not a RIFF/WAVE file"},
        TWavSourceCase{"empty", {}, "not a RIFF/WAVE file"},
        TWavSourceCase{"data_size_zero", Riff(Fmt16 + Chunk("data", {})),
                       "the WAV data chunk is empty"},
        // What a recorder leaves that was stopped before it wrote the sizes.
        TWavSourceCase{"data_size_zero_before_audio", Riff(Fmt16 + Chunk("data", Audio(), 0)),
                       "the WAV data chunk is empty"},
        TWavSourceCase{"truncated_before_the_data", Wav({}).left(40),
                       "the WAV file ends before its data chunk"},
        TWavSourceCase{"truncated_in_the_first_frame", Wav({}).left(46),
                       "the WAV data chunk holds no whole sample frame"},
        TWavSourceCase{"chunk_larger_than_the_file",
                       Riff(Fmt16 + Chunk("JUNK", {}, 0xFFFFFFF0) + Chunk("data", Audio())),
                       "the WAV file ends before its data chunk"},
        TWavSourceCase{"odd_sized_chunk_unpadded",
                       Riff(Fmt16 + "LIST" + Le(3, 4) + "odd" + Chunk("data", Audio())),
                       "the WAV file has a damaged chunk header at byte 48"},
        TWavSourceCase{"no_fmt_before_the_data", Riff(Chunk("data", Audio()) + Fmt16),
                       "the WAV file has no fmt chunk before its data chunk"},
        TWavSourceCase{"two_fmt_chunks", Riff(Fmt16 + Fmt16 + Chunk("data", Audio())),
                       "the WAV file has two fmt chunks"},
        TWavSourceCase{"fmt_too_short",
                       Riff(Chunk("fmt ", Fmt16.mid(8, 14)) + Chunk("data", Audio())),
                       "the WAV fmt chunk is too short"},
        TWavSourceCase{"three_channels", Wav({.Channels = 3}),
                       "the WAV audio has 3 channels where LAME takes 1 or 2"},
        TWavSourceCase{"no_channels", Wav({.Channels = 0}),
                       "the WAV audio has 0 channels where LAME takes 1 or 2"},
        TWavSourceCase{"adpcm", Wav({.Code = 2}),
                       "the WAV audio format 2 is not PCM, floating point, A-law or mu-law"},
        TWavSourceCase{"extensible_adpcm", Wav({.Code = Extensible, .Subformat = 2}),
                       "the WAV audio format is extensible, with a subformat that is not PCM or "
                       "floating point"},
        TWavSourceCase{"no_sample_rate", Wav({.Rate = 0}),
                       "the WAV sample rate of 0 Hz is not one LAME takes"},
        TWavSourceCase{"pcm_33_bit", Wav({.Bits = 33}),
                       "the WAV audio has 33-bit samples, which LAME does not read as PCM"},
        TWavSourceCase{"float_16_bit", Wav({.Code = 3, .Bits = 16}),
                       "the WAV audio has 16-bit samples, which LAME does not read as floating "
                       "point"},
        TWavSourceCase{"block_align_wrong", Wav({.Bits = 24, .Align = 8}),
                       "the WAV block align of 8 bytes does not fit 2 channels of 24-bit "
                       "samples"}),
    [](const auto& info) { return std::string(info.param.name); });

// A pipe named like a WAV file is not read: with its writing end held here, a check that
// read it would get a whole WAV file instead of waiting for one.
TEST(RiffWaveTest, APipeIsNotRead)
{
    QTemporaryDir dir;
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("song.wav")));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    const int writer = open(fifo.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    const QByteArray wav = Wav({.Channels = 1, .Bits = 8}).left(4096);
    EXPECT_EQ(write(writer, wav.constData(), size_t(wav.size())), wav.size());

    EXPECT_EQ(RiffWaveProblem(QFile::decodeName(fifo)),
              QStringLiteral("cannot read the WAV file, so it was not encoded"));
    close(writer);
}

// A file of thousands of tiny chunks is not walked header by header to its end.
TEST(RiffWaveTest, TheWalkStopsAfterTenThousandChunks)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.wav"));
    const auto withJunk = [&](int chunks) {
        EXPECT_TRUE(WriteFile(
            path, Riff(Chunk("JUNK", {}).repeated(chunks) + Fmt16 + Chunk("data", Audio()))));
        return RiffWaveProblem(path);
    };
    EXPECT_EQ(withJunk(9999), QString());
    EXPECT_EQ(withJunk(10000), QStringLiteral("the WAV file has more than 10000 chunks before its "
                                              "data chunk, so it was not encoded"));
}

TEST_F(TranscodeTest, FileIsQueuedOnceWhileWaitingAndAgainAfterItsJob)
{
    CopySource(QStringLiteral("a.wav"));
    CopySource(QStringLiteral("b.wav"));
    const QString a = InPath(QStringLiteral("a.wav"));
    const QString b = InPath(QStringLiteral("b.wav"));
    bool dropped = false;
    view.OnProcessEvents = [&] {
        if (dropped)
            return;
        dropped = true;
        // a's entry stays queued until its job has ended.
        Drop({b});
        Drop({b, a});
    };
    Drop({a});
    EXPECT_EQ(view.QueueLog, (QStringList{a, b}));
    Drop({a});
    EXPECT_EQ(view.QueueLog, (QStringList{a, b, a}));
    EXPECT_EQ(FilesBelow(Save), (QStringList{"a.mp3", "b.mp3"}));
}

TEST_F(TranscodeTest, DropAfterCancelWithdrawsItAndTheRunGoesOn)
{
    for (const char* file : {"a.wav", "b.wav", "c.wav"})
        CopySource(QString::fromUtf8(file));
    bool acted = false;
    view.OnProcessEvents = [&] {
        if (acted)
            return;
        acted = true;
        form->Stopcurrentprocesses1Click();
        Drop({InPath(QStringLiteral("c.wav"))});
    };
    Drop({InPath(QStringLiteral("a.wav")), InPath(QStringLiteral("b.wav"))});

    EXPECT_EQ(FilesBelow(Save), (QStringList{"a.mp3", "b.mp3", "c.mp3"}));
    EXPECT_FALSE(view.ticked(TMenuItem::Stopcurrentprocesses1));
    EXPECT_EQ(view.CloseRequests, 0);
}

// A queue of three: a short first job, a second that the Cancel cuts, a third that never runs.
// The second job's tool is the stand-in that stalls, so the Cancel always finds it running.
struct TCancelCase
{
    const char* name;
    const char* second;
    // The tool that stalls (none when the Cancel comes between jobs), on the calls naming
    // which file (every call when empty), what it prints and which output it begins.
    const char* stalledTool;
    const char* on;
    const char* rows;
    const char* output;
    bool (*cancelNow)(const TFakeMainView& view, const TForm1& form);
    // No application title after the Cancel may hold this: the cut job got no further.
    const char* notAfterCancel;
};

void PrintTo(const TCancelCase& c, std::ostream* os)
{
    *os << c.name;
}

class CancelTest : public TranscodeTest, public ::testing::WithParamInterface<TCancelCase>
{};

TEST_P(CancelTest, StopsTheToolEmptiesTheQueueAndKeepsFinishedWork)
{
    const TCancelCase& c = GetParam();
    const QString second = QString::fromUtf8(c.second);
    CopySource(QStringLiteral("a.wav"));
    CopySource(second);
    CopySource(QStringLiteral("c.flac"));
    if (c.stalledTool)
        Stall(QString::fromUtf8(c.stalledTool), c.on, c.rows, c.output);
    const auto sources = Sources();
    qsizetype titlesAtCancel = -1;
    QStringList savedAtCancel;
    view.OnProcessEvents = [&] {
        if (titlesAtCancel < 0 && c.cancelNow(view, *form)) {
            titlesAtCancel = view.Titles.size();
            savedAtCancel = FilesBelow(Save);
            form->Stopcurrentprocesses1Click();
        }
    };

    Drop({InPath(QStringLiteral("a.wav")), InPath(second), InPath(QStringLiteral("c.flac"))});

    ASSERT_GE(titlesAtCancel, 0) << "the cancel point was never reached";
    // The cut encode had begun its MP3 under a hidden name; that file is gone now.
    if (QByteArray(c.output) == ".mp3") {
        EXPECT_EQ(savedAtCancel.filter(QStringLiteral(".~TT")).size(), 1)
            << savedAtCancel.join(u' ').toStdString();
    }
    EXPECT_EQ(FilesBelow(Save), QStringList{"a.mp3"});
    EXPECT_EQ(ReadMp3Tags(SavePath(QStringLiteral("a.mp3"))).Title, QString());
    EXPECT_GT(ReadAll(SavePath(QStringLiteral("a.mp3"))).size(), 10000);
    EXPECT_EQ(view.Queue, QStringList());
    EXPECT_TRUE(form->Queue().IsEmpty());
    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(Sources(), sources);
    EXPECT_EQ(view.Titles.mid(titlesAtCancel).filter(QString::fromUtf8(c.notAfterCancel)),
              QStringList());
    EXPECT_FALSE(view.ticked(TMenuItem::Stopcurrentprocesses1));
    EXPECT_EQ(view.CloseRequests, 0);
}

bool BetweenFirstAndSecondJob(const TFakeMainView& view, const TForm1& form)
{
    return view.Queue.size() == 2 && !form.Audio;
}

// The second job's tool run of this title is going on.
bool SecondRuns(const TForm1& form, const char* title)
{
    return form.Queue().Count() == 2 && form.Audio && form.Audio->Cons.ConsoleReady &&
           form.Audio->Cons.title() == QString::fromUtf8(title);
}

bool ApeIsDecoding(const TFakeMainView&, const TForm1& form)
{
    return SecondRuns(form, "Conversion to WAV") && form.Audio->Progress > 0;
}

bool DecodeIsSilent(const TFakeMainView&, const TForm1& form)
{
    return SecondRuns(form, "Conversion to WAV") && form.Audio->Progress == 0;
}

bool SecondIsEncoding(const TFakeMainView&, const TForm1& form)
{
    return SecondRuns(form, "Mp3 conversion") && form.Audio->Progress > 0;
}

INSTANTIATE_TEST_SUITE_P(Moments, CancelTest,
                         ::testing::Values(
                             // The first MP3 is finished when the Cancel comes; it must stay.
                             TCancelCase{"between_jobs", "b.wav", nullptr, "", "", "",
                                         BetweenFirstAndSecondJob, "Lame: "},
                             TCancelCase{"during_decode", "b.ape", "mac", "/b.ape", MacProgressRow,
                                         ".wav", ApeIsDecoding, "Lame: "},
                             TCancelCase{"during_encode", "b.wav", "lame", "/b.wav",
                                         LameProgressRow, ".mp3", SecondIsEncoding, "Lame: 100%"},
                             // A tool that shows no progress is stopped all the same.
                             TCancelCase{"before_any_progress", "b.ape", "mac", "/b.ape", "",
                                         ".wav", DecodeIsSilent, "Lame: "},
                             TCancelCase{"flac_before_any_progress", "b.flac", "flac", "/b.flac",
                                         "", ".wav", DecodeIsSilent, "Flac: "}),
                         [](const auto& info) { return std::string(info.param.name); });

// A queued source that something else replaced before its job began is not read (a pipe would
// be waited on for ever, a device never ends): its entry says so and the run goes on.
struct TReplacedSourceCase
{
    const char* name;
    const char* source;
    bool (*replace)(const QString& path);
};

void PrintTo(const TReplacedSourceCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReplacedSourceTest : public TranscodeTest,
                           public ::testing::WithParamInterface<TReplacedSourceCase>
{};

TEST_P(ReplacedSourceTest, IsRefusedAndTheRunGoesOn)
{
    const TReplacedSourceCase& c = GetParam();
    const QString source = InPath(QString::fromUtf8(c.source));
    CopySource(QStringLiteral("a.wav"));
    CopySource(QString::fromUtf8(c.source));
    CopySource(QStringLiteral("c.wav"));
    bool replaced = false;
    view.OnProcessEvents = [&] {
        if (!replaced && form->Audio && form->SourceFile == InPath(QStringLiteral("a.wav"))) {
            replaced = true;
            ASSERT_TRUE(QFile::remove(source));
            ASSERT_TRUE(c.replace(source));
        }
    };
    RunWithoutWaiting("the run", [&] {
        Drop({InPath(QStringLiteral("a.wav")), source, InPath(QStringLiteral("c.wav"))});
    });

    EXPECT_TRUE(replaced);
    EXPECT_EQ(view.Errors, (QStringList{"Message 1 - " + source,
                                        "not a regular file, so it was not converted", Hyphens}));
    EXPECT_EQ(FilesBelow(Save), (QStringList{"a.mp3", "c.mp3"}));
    EXPECT_TRUE(form->Queue().IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Replacements, ReplacedSourceTest,
    ::testing::Values(TReplacedSourceCase{"pipe_for_a_flac", "b.flac", MakePipe},
                      TReplacedSourceCase{"pipe_for_an_ape", "b.ape", MakePipe},
                      TReplacedSourceCase{"pipe_for_a_wav", "b.wav", MakePipe},
                      TReplacedSourceCase{
                          "device_for_a_flac", "b.flac",
                          [](const QString& path) { return QFile::link("/dev/zero", path); }},
                      TReplacedSourceCase{"folder_for_a_wav", "b.wav",
                                          [](const QString& path) { return QDir().mkdir(path); }}),
    [](const auto& info) { return std::string(info.param.name); });

// A source swapped for a pipe after every check of its job: the decoder waits on the pipe,
// and the Cancel still ends it at once. Nothing of the job remains, the next never runs.
TEST_F(TranscodeTest, CancelEndsADecoderThatWaitsOnAPipe)
{
    const QString source = InPath(QStringLiteral("b.flac"));
    CopySource(QStringLiteral("b.flac"));
    CopySource(QStringLiteral("c.wav"));
    Stall(QStringLiteral("flac"), "/b.flac");
    qputenv("STALL_FIFO", ".flac");
    const QString pids = root.filePath(QStringLiteral("flac.pids"));
    qputenv("STALL_PIDS", QFile::encodeName(pids));
    int writer = -1;
    bool released = false;
    QElapsedTimer sinceCancel;
    view.OnProcessEvents = [&] {
        if (writer < 0) {
            // Once flac has opened the pipe, it reads it and gets nothing.
            writer = OpenPipeWriter(source);
            if (writer >= 0) {
                form->Stopcurrentprocesses1Click();
                sinceCancel.start();
            }
        } else if (!released && sinceCancel.elapsed() > 60000) {
            // A Cancel that does not end the tool: the pipe's end lets flac go, so that the
            // test fails instead of hanging.
            released = true;
            close(writer);
        }
    };
    Drop({source, InPath(QStringLiteral("c.wav"))});

    ASSERT_GE(writer, 0) << "flac never opened the pipe";
    EXPECT_FALSE(released) << "the Cancel did not end flac";
    if (!released)
        close(writer);
    const pid_t flac = pid_t(ReadAll(pids).trimmed().toInt());
    ASSERT_GT(flac, 0);
    EXPECT_NE(kill(flac, 0), 0) << "flac still runs";
    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(FilesBelow(Save), QStringList());
    EXPECT_TRUE(form->Queue().IsEmpty());
    EXPECT_FALSE(view.ticked(TMenuItem::Stopcurrentprocesses1));
}

// A version probe runs a tool as a job does: a drop meanwhile queues and starts no run, the
// commands that would start another tool are off, and a close request stops the probe.
TEST_F(TranscodeTest, DropDuringAVersionProbeOnlyQueues)
{
    CopySource(QStringLiteral("a.wav"));
    Stall(QStringLiteral("lame"), "");
    bool dropped = false;
    view.OnProcessEvents = [&] {
        if (dropped)
            return;
        dropped = true;
        Drop({InPath(QStringLiteral("a.wav"))});
        EXPECT_FALSE(view.enabled(TMenuItem::LameHelpShow1));
        EXPECT_FALSE(view.enabled(TMenuItem::Checkcodecpaths1));
        EXPECT_FALSE(form->FormCloseQuery()) << "the probe is still running";
    };
    form->FindCodecs();

    EXPECT_TRUE(dropped);
    EXPECT_EQ(view.Queue, QStringList{InPath(QStringLiteral("a.wav"))});
    EXPECT_TRUE(view.Titles.filter(QStringLiteral("Lame:")).isEmpty()) << "no run started";
    EXPECT_EQ(form->LameVersionText, QString()) << "the stopped probe told no version";
    EXPECT_TRUE(view.enabled(TMenuItem::LameHelpShow1));
    EXPECT_TRUE(view.enabled(TMenuItem::Checkcodecpaths1));
}

// Verifying never writes an MP3, so a Cancel must not delete the one beside the source.
TEST_F(TranscodeTest, CancelNeverDeletesAnMp3TheRunDidNotWrite)
{
    form->SetTicked(TMenuItem::Verifyonly1, true);
    form->VerifyMode = true;
    form->SetTicked(TMenuItem::Savetosourcedirectory1, true);
    CopySource(QStringLiteral("b.ape"));
    CopySource(QStringLiteral("c.flac"));
    Write(InPath(QStringLiteral("b.mp3")), "an MP3 made earlier");
    Stall(QStringLiteral("mac"), "/b.ape", MacProgressRow, ".wav");
    bool cancelled = false;
    view.OnProcessEvents = [&] {
        if (!cancelled && ApeIsDecoding(view, *form)) {
            cancelled = true;
            form->Stopcurrentprocesses1Click();
        }
    };
    Drop({InPath(QStringLiteral("b.ape")), InPath(QStringLiteral("c.flac"))});

    EXPECT_TRUE(cancelled);
    EXPECT_EQ(ReadAll(InPath(QStringLiteral("b.mp3"))), QByteArray("an MP3 made earlier"));
}

// A close request during a run ends it and then closes the window; neither the Cancel command
// before it nor a drop after it keeps the window open.
enum class TAroundTheClose
{
    Nothing,
    CancelBefore,
    DropAfter
};

struct TRunCloseCase
{
    const char* name;
    TAroundTheClose around;
};

class RunCloseTest : public TranscodeTest, public ::testing::WithParamInterface<TRunCloseCase>
{};

TEST_P(RunCloseTest, CloseDuringARunEndsItAndThenClosesTheWindow)
{
    for (const QString name : {"a.wav", "b.wav", "c.wav"})
        CopySource(name);
    const TAroundTheClose around = GetParam().around;
    bool refused = false;
    view.OnProcessEvents = [&] {
        if (refused || view.Queue.size() != 1)
            return;
        if (around == TAroundTheClose::CancelBefore)
            form->Stopcurrentprocesses1Click();
        refused = !form->FormCloseQuery();
        if (around == TAroundTheClose::DropAfter)
            Drop({InPath(QStringLiteral("c.wav"))});
    };
    Drop({InPath(QStringLiteral("a.wav")), InPath(QStringLiteral("b.wav"))});

    EXPECT_TRUE(refused);
    EXPECT_EQ(view.CloseRequests, 1);
    EXPECT_EQ(FilesBelow(Save), QStringList{"a.mp3"});
    EXPECT_EQ(view.Queue, QStringList());
}

INSTANTIATE_TEST_SUITE_P(
    Around, RunCloseTest,
    ::testing::Values(TRunCloseCase{"close_only", TAroundTheClose::Nothing},
                      TRunCloseCase{"after_the_cancel_command", TAroundTheClose::CancelBefore},
                      TRunCloseCase{"drop_after_the_close", TAroundTheClose::DropAfter}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TranscodeTest, ExitWhenDoneClosesTheWindowAfterTheLastJob)
{
    form->SetTicked(TMenuItem::Exit1, true);
    CopySource(QStringLiteral("a.wav"));
    Drop({InPath(QStringLiteral("a.wav"))});
    EXPECT_EQ(view.CloseRequests, 1);
    EXPECT_EQ(FilesBelow(Save), QStringList{"a.mp3"});
}

TEST_F(TranscodeTest, OddNamesConvertAndNothingIsLostOrOverwritten)
{
    const QStringList names{"with blank.wav",   "quote\"d.flac", "-dash.wav", "café ü.flac",
                            "x.flac/inner.wav", "100% pure.wav", "it's.ape"};
    for (const QString& name : names)
        CopySource(QStringLiteral("odd/") + name);
    const auto sources = Sources();

    Drop({InPath(QStringLiteral("odd"))});

    QStringList expected;
    for (const QString& name : names)
        expected.append(QStringLiteral("odd/") + name.section(u'.', 0, -2) +
                        QStringLiteral(".mp3"));
    expected.sort();
    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(FilesBelow(Save), expected);
    EXPECT_EQ(Sources(), sources);
}

} // namespace
