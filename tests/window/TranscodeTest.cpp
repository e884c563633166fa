// The transcoding loop end to end: real lame, flac and metaflac, the stand-in mac, a
// recording view. Every test also checks (in TearDown) that no "~TT" file is left behind.
#include "QtPrinters.h"
#include "TFlac.h"
#include "WindowTestSupport.h"

#include <QDir>
#include <QFile>
#include <stdexcept>

namespace {

const QString Hyphens(40, u'-');

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
    EXPECT_EQ(view.Errors.last(), Hyphens);
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

// The decoder writes its output and then something inside the job fails.
class TFailingFlac : public TFlac
{
public:
    bool ConvertToWav(const QString& source, const QString& wav) override
    {
        TFlac::ConvertToWav(source, wav);
        throw std::runtime_error("out of resources");
    }
};

TEST_F(TranscodeTest, FailureInsideAJobIsListedAndTheNextJobRuns)
{
    UseFlacAdapter([] { return std::make_unique<TFailingFlac>(); });
    CopySource(QStringLiteral("a.flac"));
    CopySource(QStringLiteral("b.wav"));
    Drop({InPath(QStringLiteral("a.flac")), InPath(QStringLiteral("b.wav"))});

    EXPECT_EQ(view.Errors, QStringList{InPath(QStringLiteral("a.flac")) +
                                       ": cannot create intermediate wav file"});
    EXPECT_EQ(form->ErrorCount, 0);
    EXPECT_EQ(FilesBelow(Save), QStringList{"b.mp3"});
    EXPECT_TRUE(view.enabled(TMenuItem::Checkcodecpaths1));
}

TEST_F(TranscodeTest, MissingFlacSkipsTheJobSilentlyAndTheNextRuns)
{
    // flac vanished after the codec check found it.
    form->FlacPath = root.filePath(QStringLiteral("no-tools")) + u'/';
    CopySource(QStringLiteral("a.flac"));
    CopySource(QStringLiteral("b.wav"));
    Drop({InPath(QStringLiteral("a.flac")), InPath(QStringLiteral("b.wav"))});

    EXPECT_EQ(view.Errors, QStringList());
    EXPECT_EQ(FilesBelow(Save), QStringList{"b.mp3"});
}

struct TNotWavCase
{
    const char* name;
    QByteArray bytes;
};

void PrintTo(const TNotWavCase& c, std::ostream* os)
{
    *os << c.name;
}

class NotWavTest : public TranscodeTest, public ::testing::WithParamInterface<TNotWavCase>
{};

// LAME would take such a file as raw samples and make an MP3 of noise.
TEST_P(NotWavTest, WavSourceThatIsNotRiffWaveGetsAnEntryAndNoMp3)
{
    Write(InPath(QStringLiteral("bad.wav")), GetParam().bytes);
    CopySource(QStringLiteral("good.wav"));
    Drop({InPath(QStringLiteral("bad.wav")), InPath(QStringLiteral("good.wav"))});

    EXPECT_EQ(
        view.Errors,
        (QStringList{QStringLiteral("Message 1 - ") + InPath("bad.wav"),
                     QStringLiteral("not a RIFF/WAVE file, so it was not encoded"), Hyphens}));
    EXPECT_EQ(FilesBelow(Save), QStringList{"good.mp3"});
}

INSTANTIATE_TEST_SUITE_P(Sources, NotWavTest,
                         ::testing::Values(TNotWavCase{"text", "just some notes, no audio\n"},
                                           TNotWavCase{
                                               "cut_in_the_header",
                                               ReadAll(SHARED_DIR "/fixtures/in.wav").left(10)},
                                           TNotWavCase{"empty", {}}),
                         [](const auto& info) { return std::string(info.param.name); });

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
struct TCancelCase
{
    const char* name;
    const char* second;
    // The stand-in mac waits this long before each progress row, so a decode can be caught.
    const char* macStepMs;
    int secondWavSeconds;
    bool (*cancelNow)(const TFakeMainView& view, const TForm1& form);
    // No application title after the Cancel may hold this: the cut tool got no further.
    const char* notAfterCancel;
};

void PrintTo(const TCancelCase& c, std::ostream* os)
{
    *os << c.name;
}

class CancelTest : public TranscodeTest, public ::testing::WithParamInterface<TCancelCase>
{
protected:
    void TearDown() override
    {
        qunsetenv("MAC_STANDIN_STEP_MS");
        TranscodeTest::TearDown();
    }
};

TEST_P(CancelTest, StopsTheToolEmptiesTheQueueAndKeepsFinishedWork)
{
    const TCancelCase& c = GetParam();
    const QString second = QString::fromUtf8(c.second);
    CopySource(QStringLiteral("a.wav"));
    if (c.secondWavSeconds > 0)
        Write(InPath(second), SineWavBytes(c.secondWavSeconds, 2));
    else
        CopySource(second);
    CopySource(QStringLiteral("c.flac"));
    qputenv("MAC_STANDIN_STEP_MS", c.macStepMs);
    const auto sources = Sources();
    qsizetype titlesAtCancel = -1;
    view.OnProcessEvents = [&] {
        if (titlesAtCancel < 0 && c.cancelNow(view, *form)) {
            titlesAtCancel = view.Titles.size();
            form->Stopcurrentprocesses1Click();
        }
    };

    Drop({InPath(QStringLiteral("a.wav")), InPath(second), InPath(QStringLiteral("c.flac"))});

    ASSERT_GE(titlesAtCancel, 0) << "the cancel point was never reached";
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

bool ApeIsDecoding(const TFakeMainView&, const TForm1& form)
{
    return form.StageName == u"Ape" && form.Audio && form.Audio->Progress > 0;
}

// The decode has started and shown no progress yet.
bool SecondIsSilent(const TFakeMainView&, const TForm1& form)
{
    return form.StageName == u"Ape" && form.Audio && form.Audio->Progress == 0;
}

bool SecondIsEncoding(const TFakeMainView&, const TForm1& form)
{
    return form.SourceFile.endsWith(u"/b.wav") && form.StageName == u"Lame" && form.Audio &&
           form.Audio->Progress > 0;
}

INSTANTIATE_TEST_SUITE_P(
    Moments, CancelTest,
    ::testing::Values(
        // The first MP3 is finished when the Cancel comes; it must stay.
        TCancelCase{"between_jobs", "b.wav", "0", 0, BetweenFirstAndSecondJob, "Lame: "},
        TCancelCase{"during_decode", "b.ape", "300", 0, ApeIsDecoding, "Ape: 100%"},
        TCancelCase{"during_encode", "b.wav", "0", 60, SecondIsEncoding, "Lame: 100%"},
        // A tool that shows no progress for long is stopped all the same.
        TCancelCase{"before_any_progress", "b.ape", "3000", 0, SecondIsSilent, "Ape: "}),
    [](const auto& info) { return std::string(info.param.name); });

// Verifying never writes an MP3, so a Cancel must not delete the one beside the source.
TEST_F(TranscodeTest, CancelNeverDeletesAnMp3TheRunDidNotWrite)
{
    form->SetTicked(TMenuItem::Verifyonly1, true);
    form->VerifyMode = true;
    form->SetTicked(TMenuItem::Savetosourcedirectory1, true);
    CopySource(QStringLiteral("b.ape"));
    CopySource(QStringLiteral("c.flac"));
    Write(InPath(QStringLiteral("b.mp3")), "an MP3 made earlier");
    qputenv("MAC_STANDIN_STEP_MS", "300");
    bool cancelled = false;
    view.OnProcessEvents = [&] {
        if (!cancelled && ApeIsDecoding(view, *form)) {
            cancelled = true;
            form->Stopcurrentprocesses1Click();
        }
    };
    Drop({InPath(QStringLiteral("b.ape")), InPath(QStringLiteral("c.flac"))});
    qunsetenv("MAC_STANDIN_STEP_MS");

    EXPECT_TRUE(cancelled);
    EXPECT_EQ(ReadAll(InPath(QStringLiteral("b.mp3"))), QByteArray("an MP3 made earlier"));
}

TEST_F(TranscodeTest, CloseDuringARunEndsItAndThenClosesTheWindow)
{
    CopySource(QStringLiteral("a.wav"));
    CopySource(QStringLiteral("b.wav"));
    bool refused = false;
    view.OnProcessEvents = [&] {
        if (!refused && view.Queue.size() == 1)
            refused = !form->FormCloseQuery();
    };
    Drop({InPath(QStringLiteral("a.wav")), InPath(QStringLiteral("b.wav"))});

    EXPECT_TRUE(refused);
    EXPECT_EQ(view.CloseRequests, 1);
    EXPECT_EQ(FilesBelow(Save), QStringList{"a.mp3"});
    EXPECT_EQ(view.Queue, QStringList());
}

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
