// End to end with the real lame, flac and metaflac on a real terminal.
#include "AdapterTestSupport.h"
#include "CommandLine.h"
#include "FileSystem.h"
#include "QtPrinters.h"
#include "TFlac.h"
#include "TWav.h"
#include "ToolNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

bool AnyRowContains(const QStringList& rows, const QString& text)
{
    return std::any_of(rows.begin(), rows.end(),
                       [&text](const QString& row) { return row.contains(text); });
}

// A work folder and a tool folder whose names hold blanks and quotes, with the real tools
// linked into the tool folder, so every path on a command line needs its quoting.
class RealToolsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_root.isValid());
        m_work = m_root.path() + QStringLiteral(R"(/work dir "q"/)");
        m_tools = m_root.path() + QStringLiteral(R"(/tools "x" dir/)");
        ASSERT_TRUE(QDir().mkpath(m_work));
        ASSERT_TRUE(QDir().mkpath(m_tools));
        for (const QString& tool : {LameTool, FlacTool, MetaflacTool}) {
            const QString found = ToolFolderOnPath(tool);
            ASSERT_FALSE(found.isEmpty()) << tool.toStdString() << " is not installed";
            ASSERT_TRUE(QFile::link(found + tool, m_tools + tool));
        }
    }

    // Counts the pumps of the adapter's runner.
    void countPumps(TAudio& audio)
    {
        audio.Cons.Pump = [this] { ++m_pumps; };
    }

    QString work(const QString& name) const { return m_work + name; }

    // A FLAC file made from a generated WAV by the real encoder.
    QString makeFlac(const QString& name, int seconds, int channels,
                     const QStringList& options = {})
    {
        const QString wav = work(name + ".wav");
        const QString flac = work(name + ".flac");
        EXPECT_TRUE(WriteFile(wav, SineWavBytes(seconds, channels)));
        EXPECT_EQ(RunTool(m_tools + FlacTool, options + QStringList{"-s", "-f", wav, "-o", flac}),
                  0);
        return flac;
    }

    // Decodes the FLAC file with the real tools and encodes it with a fast LAME setting to
    // name.mp3 in the work folder, whose path it returns.
    QString decodeAndEncode(TFlac& flac, const QString& flacFile, const QString& name)
    {
        flac.SetDecoderFolder(m_tools);
        flac.SetLameFolder(m_tools);
        flac.LameOptions = " -V 5";
        const QString wav = emptyTarget("~TT" + name + ".wav");
        EXPECT_TRUE(flac.ConvertToWav(flacFile, wav));
        const QString mp3 = work(name + ".mp3");
        EXPECT_TRUE(flac.Encode(wav, mp3));
        EXPECT_TRUE(flac.ToolOutput.contains("Writing LAME Tag...done"))
            << flac.ToolOutput.join('\n').toStdString();
        return mp3;
    }

    QString emptyTarget(const QString& name) const
    {
        QFile file(work(name));
        file.open(QIODevice::WriteOnly);
        return file.fileName();
    }

    QTemporaryDir m_root;
    QString m_work;
    QString m_tools;
    int m_pumps = 0;
};

const QString LongTitle = QString("0123456789").repeated(30);
const QString LongGenre = QString("Genre-").repeated(12);
const QString Artist = QStringLiteral(R"(Café "Artist")");

TEST_F(RealToolsTest, FlacTagsSurviveTheWholeJob)
{
    const QString flacFile = makeFlac("song", 2, 2);
    ASSERT_EQ(RunTool(m_tools + MetaflacTool,
                      {"--set-tag=TITLE=" + LongTitle, "--set-tag=ARTIST=" + Artist,
                       "--set-tag=TRACKNUMBER=12345678901234", "--set-tag=ALBUM=Naïve Album",
                       "--set-tag=COMMENT=" + LongTitle, "--set-tag=GENRE=" + LongGenre,
                       "--set-tag=DATE=2024-05-06T10:20:30+02:00", flacFile}),
              0);
    TFlac flac;
    THookCounter decodeCounter{.expectedSender = &flac};
    flac.SetDecoderFolder(m_tools);
    flac.OnProgress = decodeCounter.hook();
    EXPECT_TRUE(flac.ReadTags(flacFile));
    EXPECT_TRUE(flac.HasTags);
    EXPECT_EQ(flac.Artist, Artist);
    EXPECT_EQ(flac.Album, QStringLiteral("Naïve Album"));
    EXPECT_EQ(flac.Comment, LongTitle);

    const QString wav = emptyTarget("~TTjob.wav");
    EXPECT_TRUE(flac.ConvertToWav(flacFile, wav));
    EXPECT_TRUE(AnyRowContains(flac.ToolOutput, ": done"))
        << flac.ToolOutput.join('\n').toStdString();
    EXPECT_EQ(flac.Progress, 100);
    EXPECT_GT(decodeCounter.calls, 0);
    EXPECT_EQ(ReadAll(wav), ReadAll(work("song.wav")));

    THookCounter encodeCounter{.expectedSender = &flac};
    flac.OnEncodeProgress = encodeCounter.hook();
    flac.LameOptions = " --preset standard";
    flac.SetLameFolder(m_tools);
    const QString mp3 = work("song.mp3");
    EXPECT_TRUE(flac.Encode(wav, mp3));
    EXPECT_TRUE(AnyRowContains(flac.ToolOutput, "Writing LAME Tag...done"))
        << flac.ToolOutput.join('\n').toStdString();
    EXPECT_TRUE(flac.ProgressSeen);
    EXPECT_EQ(flac.Progress, 100);
    EXPECT_GT(encodeCounter.calls, 0);
    EXPECT_EQ(encodeCounter.wrongSenders + decodeCounter.wrongSenders, 0);

    const std::map<std::string, QString> frames = Id3v2Frames(mp3);
    EXPECT_EQ(frames.at("TIT2"), LongTitle.left(255));
    EXPECT_EQ(frames.at("TPE1"), Artist);
    EXPECT_EQ(frames.at("TRCK"), QStringLiteral("12345678"));
    EXPECT_EQ(frames.at("TALB"), QStringLiteral("Naïve Album"));
    EXPECT_EQ(frames.at("TCON"), LongGenre.left(64));
    EXPECT_EQ(flac.Date, QStringLiteral("2024-05-06T10:20:30+02:00"));
    EXPECT_EQ(frames.at("TDRC"), QStringLiteral("2024"));
    EXPECT_EQ(frames.at("COMM:"), LongTitle.left(255));
}

// Tags written by a real tagger, read from the FLAC file and handed to LAME: every value
// arrives whole and on its own, cut only at 255 characters.
struct TFlacTagCase
{
    const char* name;
    QStringList setTags;
    // What the tag list shows: Title, Artist, TrackNr, Album, Comment, Genre, Date.
    QStringList shown;
    // ID3v2 frames the MP3 must hold; no ID3v2 tag at all when there are none.
    std::map<std::string, QString> frames;
};

void PrintTo(const TFlacTagCase& c, std::ostream* os)
{
    *os << c.name;
}

class FlacTagTest : public RealToolsTest, public testing::WithParamInterface<TFlacTagCase>
{};

TEST_P(FlacTagTest, ValuesReachTheMp3Exactly)
{
    const TFlacTagCase& c = GetParam();
    const QString flacFile = makeFlac("tagged", 1, 1);
    QStringList setTags;
    for (const QString& tag : c.setTags)
        setTags << "--set-tag=" + tag;
    ASSERT_EQ(RunTool(m_tools + MetaflacTool, setTags << flacFile), 0);

    TFlac flac;
    flac.ReadTags(flacFile);
    EXPECT_EQ((QStringList{flac.Title, flac.Artist, flac.TrackNr, flac.Album, flac.Comment,
                           flac.Genre, flac.Date}),
              c.shown);
    EXPECT_EQ(flac.HasTags, !c.frames.empty());
    const QString mp3 = decodeAndEncode(flac, flacFile, "tagged");
    // Frame by frame: no other frame, none empty, none twice.
    EXPECT_EQ(Id3v2Frames(mp3), c.frames);
}

const QString Wide = QStringLiteral("日");
const QString Note = QString::fromUtf8("\U0001F3B5");

INSTANTIATE_TEST_SUITE_P(
    Values, FlacTagTest,
    testing::Values(
        TFlacTagCase{
            "AllSeven",
            {"TITLE=The \"Quoted\" Song", "ARTIST=Café", "TRACKNUMBER=3", "ALBUM=Naïve",
             "COMMENT=a \"quoted\" = note", "GENRE=Rock", "DATE=2004"},
            {"The \"Quoted\" Song", "Café", "3", "Naïve", "a \"quoted\" = note", "Rock", "2004"},
            {{"TIT2", "The \"Quoted\" Song"},
             {"TPE1", "Café"},
             {"TRCK", "3"},
             {"TALB", "Naïve"},
             {"COMM:", "a \"quoted\" = note"},
             {"TCON", "Rock"},
             {"TDRC", "2004"}}},
        // On metaflac's screen the second line of the comment read as a title of its own.
        TFlacTagCase{"CommentCannotSetTheTitle",
                     {"TITLE=Real", "COMMENT=first line\nTITLE=Hacked"},
                     {"Real", "", "", "", "first line TITLE=Hacked", "", ""},
                     {{"TIT2", "Real"}, {"COMM:", "first line TITLE=Hacked"}}},
        TFlacTagCase{"ControlCharactersBecomeBlanks",
                     {"TITLE=a\rb\tc\x1b[2Jd", "ARTIST=Art"},
                     {"a b c [2Jd", "Art", "", "", "", "", ""},
                     {{"TIT2", "a b c [2Jd"}, {"TPE1", "Art"}}},
        // 300 double-width characters are 600 columns: more than a screen row holds.
        TFlacTagCase{"WideTitleIsCutOnlyAt255",
                     {"TITLE=" + Wide.repeated(300)},
                     {Wide.repeated(300), "", "", "", "", "", ""},
                     {{"TIT2", Wide.repeated(255)}}},
        TFlacTagCase{"CutNeverSplitsACharacter",
                     {"TITLE=" + QString(254, u'x') + Note},
                     {QString(254, u'x') + Note, "", "", "", "", "", ""},
                     {{"TIT2", QString(254, u'x')}}},
        TFlacTagCase{"DateGivesItsYear",
                     {"DATE=2024-05-06"},
                     {"", "", "", "", "", "", "2024-05-06"},
                     {{"TDRC", "2024"}}},
        TFlacTagCase{"SeveralValuesOfOneTag",
                     {"ARTIST=Ann", "ARTIST=Bob"},
                     {"", "Ann; Bob", "", "", "", "", ""},
                     {{"TPE1", "Ann; Bob"}}},
        TFlacTagCase{"NamesIgnoreCase",
                     {"title=lower", "Genre=Jazz"},
                     {"lower", "", "", "", "", "Jazz", ""},
                     {{"TIT2", "lower"}, {"TCON", "Jazz"}}},
        TFlacTagCase{"ZeroIsEmpty",
                     {"TRACKNUMBER=0", "TITLE=t"},
                     {"t", "", "", "", "", "", ""},
                     {{"TIT2", "t"}}},
        TFlacTagCase{"OtherFieldsAreNoTags", {"YEAR=1999", "COPYRIGHT=me"}, QStringList(7), {}}),
    [](const testing::TestParamInfo<TFlacTagCase>& info) { return std::string(info.param.name); });

// Every field a tagger writes besides the seven, and the front cover among other pictures,
// read back frame by frame; the picture goes through the adapter's temporary folder and
// leaves nothing there.
TEST_F(RealToolsTest, EveryFieldAndTheFrontCoverReachTheMp3)
{
    const QString flacFile = makeFlac("full", 1, 2);
    const QByteArray back = PngBytes(3, 2);
    const QByteArray front = PngBytes(4, 4);
    ASSERT_TRUE(WriteFile(work("back.png"), back));
    ASSERT_TRUE(WriteFile(work("front.png"), front));
    const QString comment = "Liner notes:\n\"Recorded\" live = 1999 " + QString(280, u'n');
    ASSERT_EQ(
        RunTool(
            m_tools + MetaflacTool,
            {"--set-tag=TITLE=Song", "--set-tag=ARTIST=Soloist", "--set-tag=TRACKNUMBER=3/12",
             "--set-tag=ALBUM=Album", "--set-tag=COMMENT=" + comment, "--set-tag=GENRE=Baroque",
             "--set-tag=DATE=1999", "--set-tag=ALBUM ARTIST=Various \"Artists\"",
             "--set-tag=DISCNUMBER=1", "--set-tag=DISCTOTAL=2", "--set-tag=COMPOSER=J. S. Bach",
             "--set-tag=REPLAYGAIN_TRACK_GAIN=-6.50 dB", "--set-tag=REPLAYGAIN_TRACK_PEAK=0.988",
             "--set-tag=REPLAYGAIN_ALBUM_GAIN=-7.10 dB", "--set-tag=REPLAYGAIN_ALBUM_PEAK=1.000000",
             "--import-picture-from=4||||" + work("back.png"),
             "--import-picture-from=3||||" + work("front.png"), flacFile}),
        0);
    const QTemporaryDir runFolder;
    TFlac flac;
    flac.TempFolder = runFolder.path();
    ASSERT_TRUE(flac.ReadTags(flacFile));
    const QString oneLineComment = QString(comment).replace(u'\n', u' ');
    EXPECT_EQ(
        flac.TagListLines(),
        (QStringList{
            "Title\t= Song", "Artist\t= Soloist", "Tracknr\t= 3", "Album\t= Album",
            "Comment\t= " + oneLineComment, "Genre\t= Baroque", "Date\t= 1999",
            "Albumartist\t= Various \"Artists\"", "Tracktotal\t= 12", "Discnr\t= 1",
            "Disctotal\t= 2", "Composer\t= J. S. Bach", "Trackgain\t= -6.50 dB",
            "Trackpeak\t= 0.988", "Albumgain\t= -7.10 dB", "Albumpeak\t= 1.000000",
            QStringLiteral("Cover\t= the FLAC front cover picture, %1 bytes").arg(front.size())}));
    const QString mp3 = decodeAndEncode(flac, flacFile, "full");
    EXPECT_EQ(QDir(runFolder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList());
    const std::map<std::string, QString> expected = {{"TIT2", "Song"},
                                                     {"TPE1", "Soloist"},
                                                     {"TRCK", "3/12"},
                                                     {"TALB", "Album"},
                                                     {"COMM:", oneLineComment.left(255)},
                                                     {"TCON", "Baroque"},
                                                     {"TDRC", "1999"},
                                                     {"TPE2", "Various \"Artists\""},
                                                     {"TPOS", "1/2"},
                                                     {"TCOM", "J. S. Bach"},
                                                     {"TXXX:REPLAYGAIN_TRACK_GAIN", "-6.50 dB"},
                                                     {"TXXX:REPLAYGAIN_TRACK_PEAK", "0.988"},
                                                     {"TXXX:REPLAYGAIN_ALBUM_GAIN", "-7.10 dB"},
                                                     {"TXXX:REPLAYGAIN_ALBUM_PEAK", "1.000000"}};
    EXPECT_EQ(Id3v2Frames(mp3), expected);
    EXPECT_EQ(Id3v2Cover(mp3), front);
    EXPECT_EQ(FfprobeWarnings(mp3), QString());
}

// Where the cover comes from, and a picture LAME would refuse (or write into a broken tag)
// left out with the reason, the MP3 made all the same.
struct TCoverCase
{
    const char* name;
    // metaflac's picture specifications; "%1" stands for the work folder.
    QStringList pictures;
    // Files beside the source: name and bytes (a name ending in "/" is a folder).
    std::vector<std::pair<QString, QByteArray>> beside;
    // The cover the MP3 must have; none when empty.
    QByteArray cover;
    // A part of the reason the cover is left out; none when empty.
    QString problem = {};
};

void PrintTo(const TCoverCase& c, std::ostream* os)
{
    *os << c.name;
}

class CoverTest : public RealToolsTest, public testing::WithParamInterface<TCoverCase>
{};

const QByteArray SmallPng = PngBytes(2, 2);
const QByteArray OtherPng = PngBytes(5, 1);
const QByteArray Jpeg = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(60, 'j');
const QByteArray Bitmap = "BM" + QByteArray(60, 'b');
const QByteArray Gif = "GIF89a" + QByteArray(60, 'g');

TEST_P(CoverTest, TheMp3GetsTheCoverItShould)
{
    const TCoverCase& c = GetParam();
    const QString flacFile = makeFlac("song", 1, 1);
    ASSERT_TRUE(WriteFile(work("pictures/small.png"), SmallPng));
    ASSERT_TRUE(WriteFile(work("pictures/other.png"), OtherPng));
    ASSERT_TRUE(WriteFile(work("pictures/picture.bmp"), Bitmap));
    ASSERT_TRUE(WriteFile(work("pictures/picture.gif"), Gif));
    QStringList imports;
    for (const QString& picture : c.pictures)
        imports << "--import-picture-from=" + picture.arg(work("pictures"));
    if (!imports.isEmpty()) {
        ASSERT_EQ(RunTool(m_tools + MetaflacTool, imports << flacFile), 0);
    }
    for (const auto& [name, bytes] : c.beside) {
        const bool made =
            name.endsWith(u'/') ? QDir().mkpath(work(name)) : WriteFile(work(name), bytes);
        ASSERT_TRUE(made) << name.toStdString();
    }
    TFlac flac;
    flac.ReadTags(flacFile);
    EXPECT_TRUE(flac.Cover.Problem.contains(c.problem)) << flac.Cover.Problem.toStdString();
    EXPECT_EQ(flac.Cover.Problem.isEmpty(), c.problem.isEmpty())
        << flac.Cover.Problem.toStdString();
    EXPECT_EQ(Id3v2Cover(decodeAndEncode(flac, flacFile, "song")), c.cover);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, CoverTest,
    testing::Values(
        TCoverCase{"FirstPictureWithoutAFrontCover",
                   {"4||||%1/small.png", "5||||%1/other.png"},
                   {},
                   SmallPng},
        TCoverCase{"ImageBesideTheSourceInAnyCase", {}, {{"Folder.PNG", OtherPng}}, OtherPng},
        TCoverCase{"CoverBeforeFolderAndFront",
                   {},
                   {{"front.jpg", Jpeg}, {"folder.png", SmallPng}, {"COVER.jpeg", OtherPng}},
                   OtherPng},
        TCoverCase{"PictureOfTheFileBeforeTheImageBeside",
                   {"3||||%1/small.png"},
                   {{"cover.jpg", Jpeg}},
                   SmallPng},
        TCoverCase{"JpegBeside", {}, {{"cover.jpg", Jpeg}}, Jpeg},
        TCoverCase{"GifPicture", {"3|image/gif||1x1x8|%1/picture.gif"}, {}, Gif},
        TCoverCase{"FolderNamedLikeAnImageIsNone", {}, {{"cover.jpg/", {}}}, {}},
        TCoverCase{"UnknownKindIsLeftOut",
                   {"3|image/bmp||2x2x24|%1/picture.bmp"},
                   {{"cover.jpg", Jpeg}},
                   {},
                   "the FLAC front cover picture is no JPEG, PNG or GIF image"},
        TCoverCase{"TooLargeIsLeftOut",
                   {},
                   {{"cover.png", SmallPng + QByteArray(MaxCoverBytes + 1 - SmallPng.size(), 'x')}},
                   {},
                   QStringLiteral("holds %1 bytes, more than the %2 bytes")
                       .arg(MaxCoverBytes + 1)
                       .arg(MaxCoverBytes)},
        TCoverCase{"LargestIsTaken",
                   {},
                   {{"cover.png", SmallPng + QByteArray(MaxCoverBytes - SmallPng.size(), 'x')}},
                   SmallPng + QByteArray(MaxCoverBytes - SmallPng.size(), 'x')}),
    [](const testing::TestParamInfo<TCoverCase>& info) { return std::string(info.param.name); });

TEST_F(RealToolsTest, FileThatIsNoFlacHasNoTags)
{
    TFlac flac;
    EXPECT_FALSE(flac.ReadTags(TEST_DATA_DIR "/fixtures/notaudio.flac"));
    EXPECT_FALSE(flac.HasTags);
    EXPECT_FALSE(flac.ReadTags(work("missing.flac")));
    EXPECT_EQ((QStringList{flac.Title, flac.Artist, flac.Date}), QStringList(3));
}

TEST_F(RealToolsTest, WavSourceGivesAnMp3WithoutTags)
{
    const QString wav = work("plain.wav");
    ASSERT_TRUE(WriteFile(wav, SineWavBytes(1, 2)));
    TWav audio;
    EXPECT_FALSE(audio.ReadTags(wav));
    EXPECT_TRUE(audio.ConvertToWav(wav, wav));
    audio.SetLameFolder(m_tools);
    audio.LameOptions = " -V 5";
    const QString mp3 = work("plain.mp3");
    EXPECT_TRUE(audio.Encode(wav, mp3));
    EXPECT_TRUE(AnyRowContains(audio.ToolOutput, "Writing LAME Tag...done"));
    EXPECT_TRUE(audio.ProgressSeen);
    EXPECT_TRUE(QFileInfo(mp3).size() > 0);
    EXPECT_TRUE(Id3v2Frames(mp3).empty());
}

TEST_F(RealToolsTest, CorruptFlacNotifiesErrorsAndNeverEnds)
{
    const QString flacFile = makeFlac("broken", 3, 2);
    QFile file(flacFile);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray noise(4096, '\0');
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    ASSERT_TRUE(file.seek(file.size() / 2));
    file.write(noise);
    file.close();

    TFlac flac;
    THookCounter counter{.expectedSender = &flac};
    flac.SetDecoderFolder(m_tools);
    flac.OnProgress = counter.hook();
    EXPECT_TRUE(flac.ConvertToWav(flacFile, emptyTarget("~TTbroken.wav")));
    EXPECT_GT(counter.calls, 0);
    EXPECT_TRUE(flac.HasErrorCode() || AnyRowContains(flac.ToolOutput, "ERROR"));
    EXPECT_FALSE(AnyRowContains(flac.ToolOutput, ": done"))
        << flac.ToolOutput.join('\n').toStdString();
}

// A decode asks flac for its version first, unless the job gave the version its run found:
// then it starts flac once, with the options of that version ("1.1.0" knows no -f, and the
// decode works without it as the target is cleared first).
// A WAV file holds about 4 GiB; flac decodes a longer stream to RF64 only when told to. The
// streams here are a tenth of a second of silence whose STREAMINFO says they are longer: flac
// decodes what is there and then finds it shorter than said, where an output format that
// cannot hold the stream stops it before it starts.
struct TLongStreamCase
{
    const char* name;
    int channels;
    int bits;
    quint64 totalSamples;
    bool rf64;
    // An ID3v2 tag before the stream, which flac skips.
    bool id3v2 = false;
};

void PrintTo(const TLongStreamCase& c, std::ostream* os)
{
    *os << c.name;
}

class LongStreamTest : public RealToolsTest, public testing::WithParamInterface<TLongStreamCase>
{
protected:
    // Encoded by the real flac, then the total samples (the low 36 bits of the 8 bytes at
    // 18 of the stream) patched.
    QString makeLongFlac(const TLongStreamCase& c)
    {
        const QString raw = work("silence.raw");
        const QString flacFile = work("long.flac");
        EXPECT_TRUE(WriteFile(raw, QByteArray(4410 * c.channels * c.bits / 8, '\0')));
        EXPECT_EQ(RunTool(m_tools + FlacTool,
                          {"-s", "-f", "--force-raw-format", "--endian=little", "--sign=signed",
                           "--channels=" + QString::number(c.channels),
                           "--bps=" + QString::number(c.bits), "--sample-rate=44100", raw, "-o",
                           flacFile}),
                  0);
        const QByteArray tag = QByteArray("ID3\x03\0\0\0\0\0\x14", 10) + QByteArray(20, '\0');
        QByteArray bytes = (c.id3v2 ? tag : QByteArray()) + ReadAll(flacFile);
        const qsizetype at = (c.id3v2 ? tag.size() : 0) + 18;
        constexpr quint64 totalMask = (quint64(1) << 36) - 1;
        const auto fields = qFromBigEndian<quint64>(bytes.constData() + at);
        qToBigEndian((fields & ~totalMask) | c.totalSamples, bytes.data() + at);
        EXPECT_TRUE(WriteFile(flacFile, bytes));
        return flacFile;
    }
};

TEST_P(LongStreamTest, GoesThroughRf64OnlyWhenAWavFileCannotHoldIt)
{
    const TLongStreamCase& c = GetParam();
    const QString flacFile = makeLongFlac(c);
    TTestFlac flac;
    flac.SetDecoderFolder(m_tools);
    const QString wav = emptyTarget("~TTlong.wav");
    flac.DecoderVersion = QStringLiteral("1.4.2");
    EXPECT_EQ(flac.FlacCommandLine(flacFile, wav), QuoteArgument(m_tools + FlacTool) + " -d -f" +
                                                       (c.rf64 ? " --force-rf64-format " : " ") +
                                                       QuoteArgument(flacFile) + " -o " +
                                                       QuoteArgument(wav));

    ASSERT_TRUE(flac.ConvertToWav(flacFile, wav));
    const std::string rows = flac.ToolOutput.join('\n').toStdString();
    EXPECT_FALSE(AnyRowContains(flac.ToolOutput, "too big to fit")) << rows;
    EXPECT_TRUE(AnyRowContains(flac.ToolOutput,
                               "decoded number of samples is smaller than the total number"))
        << rows;
}

INSTANTIATE_TEST_SUITE_P(
    Streams, LongStreamTest,
    testing::Values(TLongStreamCase{"stereo_16_bit_the_longest_wav", 2, 16, 1073741811, false},
                    TLongStreamCase{"stereo_16_bit_one_sample_longer", 2, 16, 1073741812, true},
                    TLongStreamCase{"stereo_24_bit_the_longest_wav", 2, 24, 715827870, false},
                    TLongStreamCase{"stereo_24_bit_one_sample_longer", 2, 24, 715827871, true},
                    TLongStreamCase{"mono_8_bit_the_longest_wav", 1, 8, 4294967246, false},
                    TLongStreamCase{"mono_8_bit_padded_past_it", 1, 8, 4294967247, true},
                    TLongStreamCase{"after_an_id3v2_tag", 2, 16, 1073741812, true, true}),
    [](const testing::TestParamInfo<TLongStreamCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(RealToolsTest, DecodeAsksTheVersionOnlyWhenNotGivenIt)
{
    const QString flacFile = makeFlac("song", 1, 2);
    for (const QString& given : {QString(), QStringLiteral("1.1.0")}) {
        TFlac flac;
        flac.SetDecoderFolder(m_tools);
        flac.DecoderVersion = given;
        const QString wav = emptyTarget("~TTversion.wav");
        EXPECT_TRUE(flac.ConvertToWav(flacFile, wav));
        EXPECT_TRUE(AnyRowContains(flac.ToolOutput, ": done"))
            << flac.ToolOutput.join('\n').toStdString();
        if (given.isEmpty())
            EXPECT_TRUE(flac.DecoderVersion.startsWith(QStringLiteral("1."))) << "asked flac";
        else
            EXPECT_EQ(flac.DecoderVersion, given) << "flac was not asked again";
    }
}

TEST_F(RealToolsTest, ProbesReadTheToolsVersions)
{
    QString lameBanner;
    QString flacBanner;
    ASSERT_EQ(RunTool(m_tools + LameTool, {"--version"}, &lameBanner), 0);
    ASSERT_EQ(RunTool(m_tools + FlacTool, {"--version"}, &flacBanner), 0);
    // "LAME 64bits version 3.100 (http://lame.sf.net)" and "flac 1.4.2".
    const QStringList lameWords = lameBanner.section('\n', 0, 0).split(' ');
    const QString lameVersion = lameWords.value(lameWords.indexOf("version") + 1);
    const QString flacVersion = flacBanner.trimmed().section(' ', 1, 1);
    ASSERT_FALSE(lameVersion.isEmpty());

    TWav wav;
    EXPECT_TRUE(wav.GetLameVersion().isEmpty());
    wav.SetLameFolder(m_tools);
    EXPECT_EQ(wav.GetLameVersion(), lameVersion);
    EXPECT_EQ(wav.LameVersion, lameVersion);
    TFlac flac;
    flac.SetDecoderFolder(m_tools);
    EXPECT_EQ(flac.GetVersion(), flacVersion);
    EXPECT_EQ(flac.DecoderVersion, flacVersion);
}

TEST_F(RealToolsTest, LameHelpIsTheScreenTheLongHelpLeaves)
{
    QString help;
    ASSERT_EQ(RunTool(m_tools + LameTool, {"--longhelp"}, &help), 0);
    const QString lastRow = help.trimmed().section('\n', -1).trimmed();
    TWav audio;
    audio.SetLameFolder(m_tools);
    EXPECT_TRUE(audio.CaptureLameHelp());
    ASSERT_FALSE(audio.HelpLines.isEmpty());
    EXPECT_LE(audio.HelpLines.size(), audio.Cons.BufferRows);
    EXPECT_EQ(audio.HelpLines.last().trimmed(), lastRow);
}

// Without lame the adapter says so instead of passing on another tool's screen.
TEST_F(RealToolsTest, MissingLameIsReportedNotMadeUp)
{
    const QString wav = work("in.wav");
    ASSERT_TRUE(WriteFile(wav, SineWavBytes(1, 1)));
    TWav audio;
    audio.SetLameFolder(m_work);
    audio.Cons.Lines = {"in.flac: done"};
    EXPECT_FALSE(audio.Encode(wav, work("out.mp3")));
    ASSERT_EQ(audio.ToolOutput.size(), 1);
    EXPECT_TRUE(audio.ToolOutput.first().contains("No such file"))
        << audio.ToolOutput.first().toStdString();
    EXPECT_FALSE(QFileInfo::exists(work("out.mp3")));
    EXPECT_TRUE(audio.GetLameVersion().isEmpty());
    EXPECT_FALSE(audio.CaptureLameHelp());
    EXPECT_TRUE(audio.HelpLines.isEmpty());
}

// The tools stall in the middle of their work (the stand-in in their place prints a
// progress row, begins the output and waits), so the stop always finds them at work.
class StalledToolTest : public RealToolsTest
{
protected:
    void stall(const QString& tool, const QByteArray& on, const QByteArray& row,
               const QByteArray& output)
    {
        const QString real = m_tools + tool + ".real";
        ASSERT_TRUE(QFile::rename(m_tools + tool, real));
        ASSERT_TRUE(QFile::link(STALL_TOOL, m_tools + tool));
        qputenv("STALL_EXEC", QFile::encodeName(real));
        qputenv("STALL_ON", on);
        qputenv("STALL_ROWS", row);
        qputenv("STALL_OUTPUT", output);
    }

    void TearDown() override
    {
        for (const char* name : {"STALL_EXEC", "STALL_ON", "STALL_ROWS", "STALL_OUTPUT"})
            qunsetenv(name);
        RealToolsTest::TearDown();
    }

    // Called from the progress hook: the first notification with progress above 0 asks
    // for the stop, as the window does when the user cancels.
    void cancelOnProgress(TAudio* audio)
    {
        if (audio->Progress > 0 && !audio->Cancel) {
            audio->Cancel = true;
            m_pumpsAtCancel = m_pumps;
        }
    }

    int pumpsSinceCancel() const { return m_pumps - m_pumpsAtCancel; }

    int m_pumpsAtCancel = -1;
};

TEST_F(StalledToolTest, CancelStopsTheDecoder)
{
    const QString flacFile = makeFlac("long", 1, 1);
    stall(FlacTool, "long.flac", "long.flac: 10% complete", ".wav");
    TFlac flac;
    countPumps(flac);
    flac.SetDecoderFolder(m_tools);
    flac.OnProgress = [this](TAudio* sender) { cancelOnProgress(sender); };
    const QString wav = emptyTarget("~TTlong.wav");
    EXPECT_TRUE(flac.ConvertToWav(flacFile, wav));
    ASSERT_GE(m_pumpsAtCancel, 0) << "no progress seen:\n"
                                  << flac.ToolOutput.join('\n').toStdString();
    EXPECT_EQ(flac.ToolOutput.last(), "flac was stopped by signal 9 (Killed)");
    // The next poll passes the stop on and the tool ends before another wait: one pump
    // after the wait, one after the short wait for the end, one at the end.
    EXPECT_LE(pumpsSinceCancel(), 3);
}

TEST_F(StalledToolTest, CancelStopsTheEncoderAndRemovesTheMp3)
{
    const QString wav = work("long.wav");
    ASSERT_TRUE(WriteFile(wav, SineWavBytes(1, 1)));
    stall(LameTool, "long.wav",
          "    10/116   (10%)|    0:00/    0:00|    0:00/    0:00|   12.000x|    0:00", ".mp3");
    TWav audio;
    countPumps(audio);
    audio.SetLameFolder(m_tools);
    audio.LameOptions = " --preset standard";
    audio.OnEncodeProgress = [this](TAudio* sender) { cancelOnProgress(sender); };
    const QString mp3 = work("long.mp3");
    EXPECT_TRUE(audio.Encode(wav, mp3));
    ASSERT_GE(m_pumpsAtCancel, 0) << "no progress seen:\n"
                                  << audio.ToolOutput.join('\n').toStdString();
    EXPECT_EQ(audio.ToolOutput.last(), "lame was stopped by signal 9 (Killed)");
    EXPECT_EQ(audio.Progress, 10);
    EXPECT_LE(pumpsSinceCancel(), 3);
    EXPECT_FALSE(QFileInfo::exists(mp3));
}

} // namespace
