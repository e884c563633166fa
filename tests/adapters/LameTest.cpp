#include "AdapterTestSupport.h"
#include "CommandLine.h"
#include "QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct EncodeCase
{
    const char* name;
    bool hasTags = true;
    QString title{}, artist{}, track{}, album{}, comment{}, genre{}, date{};
    QString albumArtist{}, trackTotal{}, disc{}, discTotal{}, composer{};
    QString trackGain{}, trackPeak{}, albumGain{}, albumPeak{};
    QString coverFile{};
    QString lameFolder = "/opt/lame/";
    QString wav = "/music/in.wav";
    QString mp3 = "/music/out.mp3";
    QString options = " --preset standard";
    QString expected{};
};

void PrintTo(const EncodeCase& c, std::ostream* os)
{
    *os << c.name;
}

const QString Head = R"("/opt/lame/lame" --add-id3v2 --nohist --preset standard )"
                     R"("/music/in.wav" "/music/out.mp3")";

EncodeCase TagCase(const char* name, QString tagOptions)
{
    EncodeCase c{.name = name};
    c.expected = Head + tagOptions;
    return c;
}

std::vector<EncodeCase> EncodeCases()
{
    std::vector<EncodeCase> cases;
    cases.push_back({.name = "NoTagsNoTagOptions",
                     .hasTags = false,
                     .title = "Ignored",
                     .expected = R"("/opt/lame/lame" --nohist --preset standard )"
                                 R"("/music/in.wav" "/music/out.mp3")"});
    // A field the source lacks gives no option, so LAME writes no empty frame.
    EncodeCase empty = TagCase("AllTagsEmptyGiveNoOptions", QString());
    empty.expected = R"("/opt/lame/lame" --nohist --preset standard )"
                     R"("/music/in.wav" "/music/out.mp3")";
    cases.push_back(empty);
    EncodeCase cut = TagCase("LongValuesAreCut", QString());
    cut.title = QString(300, u't');
    cut.artist = QString(256, u'a');
    cut.track = "12345678901234";
    cut.album = QString(255, u'b');
    cut.comment = QString(300, u'c');
    cut.genre = QString(70, u'g');
    cut.date = "2024-05-06T10:20:30";
    cut.albumArtist = QString(300, u'p');
    cut.composer = QString(300, u'm');
    cut.disc = "123456";
    cut.discTotal = "789";
    cut.trackGain = QString(300, u'9');
    cut.expected += " --tt \"" + QString(255, u't') + "\" --ta \"" + QString(255, u'a') +
                    "\" --tn \"12345678\" --tl \"" + QString(255, u'b') + "\" --tc \"" +
                    QString(255, u'c') + "\" --tv \"COMM==" + QString(255, u'c') + "\" --tg \"" +
                    QString(64, u'g') + "\" --ty \"2024\" --tv \"TPE2=" + QString(255, u'p') +
                    "\" --tv \"TPOS=123456/7\" --tv \"TCOM=" + QString(255, u'm') +
                    "\" --tv \"TXXX=REPLAYGAIN_TRACK_GAIN=" + QString(255, u'9') + "\"";
    cases.push_back(cut);
    EncodeCase quote = TagCase(
        "QuoteInTitleIsDoubled",
        R"( --tt "The ""Quoted"" Song" --ta "Café Artist" --tn "3" --tg "Rock" --ty "2024")");
    quote.title = R"(The "Quoted" Song)";
    quote.artist = "Café Artist";
    quote.track = "3";
    quote.genre = "Rock";
    quote.date = "2024";
    cases.push_back(quote);
    // A cut between the two halves of a surrogate pair would leave half a character.
    EncodeCase pair = TagCase("CutKeepsWholeCharacters", QString());
    pair.title = QString(254, u'x') + QString::fromUtf8("\U0001F3B5");
    pair.expected += " --tt \"" + QString(254, u'x') + "\"";
    cases.push_back(pair);
    EncodeCase other = TagCase(
        "EveryOtherField",
        R"( --tn "3/12" --tc "a ""quoted"" = note" --tv "COMM==a ""quoted"" = note")"
        R"( --tv "TPE2=Various = Artists" --tv "TPOS=1/2" --tv "TCOM=J. S. Bach")"
        R"( --tv "TXXX=REPLAYGAIN_TRACK_GAIN=-6.50 dB" --tv "TXXX=REPLAYGAIN_TRACK_PEAK=0.988")"
        R"( --tv "TXXX=REPLAYGAIN_ALBUM_GAIN=-7.10 dB" --tv "TXXX=REPLAYGAIN_ALBUM_PEAK=1.000")"
        R"( --ti "/run/~TTcover.jpg")");
    other.track = "3";
    other.trackTotal = "12";
    other.comment = R"(a "quoted" = note)";
    other.albumArtist = "Various = Artists";
    other.disc = "1";
    other.discTotal = "2";
    other.composer = "J. S. Bach";
    other.trackGain = "-6.50 dB";
    other.trackPeak = "0.988";
    other.albumGain = "-7.10 dB";
    other.albumPeak = "1.000";
    other.coverFile = "/run/~TTcover.jpg";
    cases.push_back(other);
    // A total without its number is no track or disc field.
    EncodeCase totals = TagCase("TotalWithoutNumberIsNoOption", R"( --tt "t")");
    totals.title = "t";
    totals.trackTotal = "12";
    totals.discTotal = "2";
    cases.push_back(totals);
    cases.push_back({.name = "NoTagsNoCover",
                     .hasTags = false,
                     .coverFile = "/run/~TTcover.jpg",
                     .expected = R"("/opt/lame/lame" --nohist --preset standard )"
                                 R"("/music/in.wav" "/music/out.mp3")"});
    cases.push_back({.name = "PathsWithBlanksAndQuotes",
                     .hasTags = false,
                     .lameFolder = R"(/opt/my "lame" tools/)",
                     .wav = R"(/music/a b/in "x".wav)",
                     .mp3 = "/music/a b/out.mp3",
                     .expected = R"("/opt/my ""lame"" tools/lame" --nohist --preset standard )"
                                 R"("/music/a b/in ""x"".wav" "/music/a b/out.mp3")"});
    cases.push_back({.name = "NoOptions",
                     .hasTags = false,
                     .options = "",
                     .expected = R"("/opt/lame/lame" --nohist "/music/in.wav" "/music/out.mp3")"});
    return cases;
}

class LameCommandLineTest : public testing::TestWithParam<EncodeCase>
{};

TEST_P(LameCommandLineTest, PiecesStandInTheirOrder)
{
    const EncodeCase& c = GetParam();
    TTestAudio audio;
    audio.HasTags = c.hasTags;
    audio.Title = c.title;
    audio.Artist = c.artist;
    audio.TrackNr = c.track;
    audio.Album = c.album;
    audio.Comment = c.comment;
    audio.Genre = c.genre;
    audio.Date = c.date;
    audio.AlbumArtist = c.albumArtist;
    audio.TrackTotal = c.trackTotal;
    audio.DiscNr = c.disc;
    audio.DiscTotal = c.discTotal;
    audio.Composer = c.composer;
    audio.TrackGain = c.trackGain;
    audio.TrackPeak = c.trackPeak;
    audio.AlbumGain = c.albumGain;
    audio.AlbumPeak = c.albumPeak;
    audio.CoverFile = c.coverFile;
    audio.LameOptions = c.options;
    audio.SetLameFolder(c.lameFolder);
    EXPECT_EQ(audio.LameCommandLine(c.wav, c.mp3), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, LameCommandLineTest, testing::ValuesIn(EncodeCases()),
                         [](const testing::TestParamInfo<EncodeCase>& info) {
                             return std::string(info.param.name);
                         });

// The quoting is undone by the runner's splitter: every value reaches LAME as it was.
TEST(LameCommandLineTest, EveryValueReachesTheToolUnchanged)
{
    TTestAudio audio;
    audio.HasTags = true;
    audio.Title = R"(He said "hi" \o/)";
    audio.Artist = "Café  Two  Blanks";
    audio.Comment = R"(=x "y")";
    audio.Composer = R"(\"=)";
    audio.SetLameFolder(R"(/opt/my "lame" tools/)");
    audio.LameOptions = " -V 2";
    const QStringList args =
        SplitCommandLine(audio.LameCommandLine(R"(/a b/"in".wav)", "/a b/out.mp3"));
    const QStringList expected = {R"(/opt/my "lame" tools/lame)",
                                  "--add-id3v2",
                                  "--nohist",
                                  "-V",
                                  "2",
                                  R"(/a b/"in".wav)",
                                  "/a b/out.mp3",
                                  "--tt",
                                  R"(He said "hi" \o/)",
                                  "--ta",
                                  "Café  Two  Blanks",
                                  "--tc",
                                  R"(=x "y")",
                                  "--tv",
                                  R"(COMM===x "y")",
                                  "--tv",
                                  R"(TCOM=\"=)"};
    EXPECT_EQ(args, expected);
}

// LAME keeps only a year that is a plain number; a tagger's date gives its year.
TEST(LameCommandLineTest, DateGivesLameItsYear)
{
    struct Case
    {
        QString date;
        QString year;
    };
    for (const Case& c :
         {Case{"2024", "2024"}, Case{"2024-05-06", "2024"}, Case{"2024-05", "2024"},
          Case{"2024-05-06T10:20:30", "2024"}, Case{"1999 (remaster)", "1999"},
          Case{"May 2024", "May 2024"}, Case{"20240506", "20240506"}, Case{"", ""}}) {
        TTestAudio audio;
        audio.HasTags = true;
        audio.Date = c.date;
        const QStringList args = SplitCommandLine(audio.LameCommandLine("in.wav", "out.mp3"));
        const qsizetype at = args.indexOf("--ty");
        EXPECT_EQ(at < 0 ? QString() : args.value(at + 1), c.year) << c.date.toStdString();
        EXPECT_EQ(at < 0, c.year.isEmpty()) << c.date.toStdString();
        EXPECT_EQ(audio.Date, c.date) << "the tag list shows the whole date";
    }
}

const QStringList LameHeader = {
    "LAME 3.100 64bits (http://lame.sf.net)",
    "Using polyphase lowpass filter, transition band: 18671 Hz - 19205 Hz",
    "Encoding in.wav to out.mp3", "Encoding as 44.1 kHz j-stereo MPEG-1 Layer III VBR(q=2)",
    "    Frame          |  CPU time/estim | REAL time/estim | play/CPU |    ETA"};

QString ProgressRow(const char* percent)
{
    return QStringLiteral(
               "   100/767   (%1%)|    0:00/    0:00|    0:00/    0:00|   121.95x|    0:00")
        .arg(QString::fromLatin1(percent));
}

QStringList Screen(const QStringList& rows)
{
    return LameHeader + rows;
}

class LamePollTest : public testing::TestWithParam<PollCase>
{};

TEST_P(LamePollTest, ReadsProgressAndAnnouncesErrors)
{
    TTestAudio audio;
    ExpectPoll(
        audio, &TAudio::OnEncodeProgress, [&] { audio.LamePoll(&audio.Cons); }, GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Screens, LamePollTest,
    testing::Values(
        PollCase{"Progress", Screen({ProgressRow("13")}), 13, true, 1},
        PollCase{"PaddedFigure", Screen({ProgressRow(" 7")}), 7, true, 1},
        PollCase{"HundredNotifiesTwice",
                 Screen({ProgressRow("100"), "Writing LAME Tag...done", "ReplayGain: -8.7dB"}), 100,
                 true, 2},
        PollCase{"ZeroNeverNotifies", Screen({ProgressRow(" 0")}), 0, false, 0},
        PollCase{
            "ErrorAboveProgressIsSeen", {"Error: cannot write", ProgressRow("26")}, 26, true, 2},
        PollCase{"ErrorBelowProgressIsNotRead", Screen({ProgressRow("26"), "Error: cannot write"}),
                 26, true, 1},
        PollCase{"HistogramBelowIsNotRead",
                 Screen({ProgressRow("100"), " 96 [665] %%%%%%%%", "160 [  2] %"}), 100, true, 2},
        PollCase{"Usage",
                 {"LAME 64bits version 3.100 (http://lame.sf.net)",
                  "usage: lame [options] <infile> [outfile]"},
                 42,
                 false,
                 1},
        PollCase{"UnrecognizedOption", {"lame: unrecognized option --nosuchoption"}, 42, false, 1},
        PollCase{"UnrecOption", {"unrec option --x"}, 42, false, 1},
        PollCase{"ExcessArgument", {"excess arg extra.wav"}, 42, false, 1},
        PollCase{"UnknownGenre", {"Unknown genre: Polka2"}, 42, false, 1},
        PollCase{"NoProgressYet", LameHeader, 42, false, 0},
        PollCase{"PercentWithoutParenthesisIsSkipped",
                 {"gain 50% applied", ProgressRow("39")},
                 39,
                 true,
                 1},
        PollCase{"FigureNotANumberIsSkipped", {"ratio (abc%)", ProgressRow("52")}, 52, true, 1},
        PollCase{"SkippedRowStillCountsAsError", {"Error: 5% short"}, 42, false, 1},
        // LAME echoes the file names, the output on a row of its own when the paths are
        // long; a name holding "(0%)" is no progress row.
        PollCase{"FileNamesRowIsNoProgress",
                 {"LAME 3.100 64bits (http://lame.sf.net)",
                  "Encoding /tmp/~TTa1b2c3.wav to /music/Remix (0%).mp3", LameHeader.last(),
                  ProgressRow("100"), "Writing LAME Tag...done"},
                 100,
                 true,
                 2},
        PollCase{"OutputNameRowIsNoProgress",
                 {"LAME 3.100 64bits (http://lame.sf.net)",
                  "Encoding /music/a long folder name/Best (0%) of/Remix (0%).wav",
                  "      to /mp3/a long folder name/Best (0%) of/.~TTa1b2c3.mp3", LameHeader.last(),
                  ProgressRow("57")},
                 57,
                 true,
                 1},
        PollCase{"PlaceholderRowBeforeTheFirstFrames",
                 {LameHeader.last(),
                  "     0/       ( 0%)|    0:00/     :  |    0:00/     :  |         x|     :  "},
                 0,
                 false,
                 0}),
    [](const testing::TestParamInfo<PollCase>& info) { return std::string(info.param.name); });

class LameCancelTest : public testing::TestWithParam<bool>
{};

// A stop request reaches the runner at the next poll, and the partial MP3 goes with it.
TEST_P(LameCancelTest, StopRequestStopsTheToolAndRemovesThePartialMp3)
{
    const bool cancel = GetParam();
    const QTemporaryDir dir;
    TTestAudio audio;
    audio.Mp3File = dir.filePath("partial.mp3");
    QFile file(audio.Mp3File);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    audio.Cancel = cancel;
    audio.Cons.Lines = Screen({ProgressRow("13")});
    audio.LamePoll(&audio.Cons);
    EXPECT_EQ(audio.Cons.Abort, cancel);
    EXPECT_EQ(QFile::exists(audio.Mp3File), !cancel);
}

INSTANTIATE_TEST_SUITE_P(Requests, LameCancelTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Cancel" : "NoCancel");
                         });

} // namespace
