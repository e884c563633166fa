#include "ApeBytes.h"
#include "QtPrinters.h"
#include "TApe.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The seven tag members of an adapter, in TagValues order.
struct Tags
{
    QString Title, Artist, TrackNr, Album, Comment, Genre, Date;
    bool operator==(const Tags&) const = default;
};

void PrintTo(const Tags& tags, std::ostream* os)
{
    PrintTo(QStringList{tags.Title, tags.Artist, tags.TrackNr, tags.Album, tags.Comment, tags.Genre,
                        tags.Date},
            os);
}

Tags TagsOf(const TApe& ape)
{
    return {ape.Title, ape.Artist, ape.TrackNr, ape.Album, ape.Comment, ape.Genre, ape.Date};
}

const Tags Id3Defaults{"Id3 Title", "Id3 Artist", "7", "Id3 Album", "Id3 Comment", "Rock", "1999"};

QByteArray Id3WithGenre(unsigned char genre)
{
    Id3Fields fields;
    fields.genre = genre;
    return Audio() + Id3Tag(fields);
}

const QList<QByteArray> FullApeItems = {
    ApeItem("Title", "Ape Title"), ApeItem("Artist", "Ape Artist"), ApeItem("Track", "12"),
    ApeItem("Album", "Ape Album"), ApeItem("Comment", "Ape Note"),  ApeItem("Genre", "Ape Genre"),
    ApeItem("Year", "2024"),
};
const Tags FullApeTags{"Ape Title", "Ape Artist", "12",  "Ape Album",
                       "Ape Note",  "Ape Genre",  "2024"};

// A file whose APE tag holds only a title; any other member comes out empty.
Tags TitleOnly(const QString& title)
{
    Tags tags;
    tags.Title = title;
    return tags;
}

QByteArray WithTitleValue(const QByteArray& value)
{
    return Audio() + ApeTag({ApeItem("Title", value)});
}

struct TagCase
{
    const char* name;
    QByteArray bytes;
    int kind;
    Tags tags;
};

void PrintTo(const TagCase& row, std::ostream* os)
{
    *os << row.name;
}

class ReadTagsTest : public testing::TestWithParam<TagCase>
{};

TEST_P(ReadTagsTest, FillsTheTagMembers)
{
    const TagCase& row = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath("song.ape");
    ASSERT_TRUE(WriteFile(path, row.bytes));

    TApe ape;
    const bool found = ape.ReadTags(path);

    EXPECT_EQ(ape.TagKind, row.kind);
    EXPECT_EQ(ape.HasTags, row.kind != TagKindNone);
    EXPECT_EQ(found, ape.HasTags);
    EXPECT_EQ(TagsOf(ape), row.tags);
}

Id3Fields Id3v10Fields()
{
    Id3Fields fields;
    fields.comment = Id3v10Comment("A comment of thirty characters");
    return fields;
}

Id3Fields Id3v10WithTrackByte()
{
    Id3Fields fields;
    fields.comment = Id3v11Comment("Twenty-eight bytes of commen", 7);
    fields.comment[28] = 'X';
    return fields;
}

Id3Fields Id3PaddedLatin1()
{
    Id3Fields fields;
    fields.title = "Padded  ";
    fields.album = "Caf\xe9";
    fields.comment = Id3v11Comment("Twenty-eight bytes of commen", 200);
    return fields;
}

Tags Id3With(Tags tags, QString Tags::*member, const QString& value)
{
    tags.*member = value;
    return tags;
}

const QByteArray LongValue(2000, 'x');
const QString LongTitle(255, QChar(0xe9));

INSTANTIATE_TEST_SUITE_P(
    Id3v1, ReadTagsTest,
    testing::Values(
        TagCase{"Id3v11Only", Audio() + Id3Tag(), TagKindId3v11, Id3Defaults},
        TagCase{"Id3v10ThirtyByteComment", Audio() + Id3Tag(Id3v10Fields()), TagKindId3v10,
                Id3With(Id3With(Id3Defaults, &Tags::TrackNr, ""), &Tags::Comment,
                        "A comment of thirty characters")},
        TagCase{"Id3v10WhenByte122IsNotZero", Audio() + Id3Tag(Id3v10WithTrackByte()),
                TagKindId3v10,
                Id3With(Id3With(Id3Defaults, &Tags::TrackNr, ""), &Tags::Comment,
                        // The track byte is part of the comment; as a control
                        // character it becomes a blank.
                        "Twenty-eight bytes of commenX ")},
        TagCase{"Track200PaddingAndLatin1", Audio() + Id3Tag(Id3PaddedLatin1()), TagKindId3v11,
                Tags{"Padded  ", "Id3 Artist", "200", "Caf\u00e9", "Twenty-eight bytes of commen",
                     "Rock", "1999"}},
        TagCase{"Genre147", Id3WithGenre(147), TagKindId3v11,
                Id3With(Id3Defaults, &Tags::Genre, "Synthpop")},
        TagCase{"Genre148IsEmpty", Id3WithGenre(148), TagKindId3v11,
                Id3With(Id3Defaults, &Tags::Genre, "")},
        TagCase{"Genre255IsEmpty", Id3WithGenre(255), TagKindId3v11,
                Id3With(Id3Defaults, &Tags::Genre, "")},
        TagCase{"ShorterThan128Bytes", QByteArray("TAG") + QByteArray(100, 'a'), TagKindNone, {}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Ape, ReadTagsTest,
    testing::Values(
        TagCase{"ApeOnlyFooterAtTheEnd", Audio() + ApeTag(FullApeItems), TagKindApe, FullApeTags},
        TagCase{"ApeReplacesId3v11", Audio() + ApeTag(FullApeItems) + Id3Tag(), TagKindApeId3v11,
                FullApeTags},
        TagCase{"ApeWithId3v10", Audio() + ApeTag(FullApeItems) + Id3Tag(Id3v10Fields()),
                TagKindApeId3v10, FullApeTags},
        TagCase{"KeyTheApeTagLacksStaysEmpty",
                Audio() + ApeTag({ApeItem("Title", "Ape Title")}) + Id3Tag(), TagKindApeId3v11,
                TitleOnly("Ape Title")},
        TagCase{"KeysIgnoreCaseCopyrightAndPictureArePassedOver",
                Audio() + ApeTag({ApeItem("Copyright", "(c) Someone"),
                                  ApeItem("Cover Art (Front)", QByteArray(5000, '\xff')),
                                  ApeItem("ARTIST", "Loud"), ApeItem("title", "Quiet")}),
                TagKindApe, Tags{"Quiet", "Loud", "", "", "", "", ""}},
        TagCase{"LongValueIsConsumedWhole",
                Audio() + ApeTag({ApeItem("Comment", LongValue), ApeItem("Title", "After")}),
                TagKindApe, Tags{"After", "", "", "", QString(1024, 'x'), "", ""}},
        TagCase{"TitleOf255CharactersSurvivesWhole", WithTitleValue(LongTitle.toUtf8()), TagKindApe,
                TitleOnly(LongTitle)},
        TagCase{"ShorterThan128BytesWithApeTag", ApeTag({ApeItem("Title", "Tiny")}), TagKindApe,
                TitleOnly("Tiny")},
        TagCase{
            "ShorterThan32Bytes", QByteArray("APETAGEX") + QByteArray(20, '\0'), TagKindNone, {}},
        TagCase{"NeitherMarker", QByteArray(4000, 'z'), TagKindNone, {}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Utf8, ReadTagsTest,
    testing::Values(
        TagCase{"TwoByteSequence", WithTitleValue("Caf\xc3\xa9"), TagKindApe,
                TitleOnly("Caf\u00e9")},
        TagCase{"LoneContinuationByteEnds",
                WithTitleValue("Ca\x80"
                               "fe"),
                TagKindApe, TitleOnly("Ca")},
        TagCase{"CutSequenceEnds", WithTitleValue("Caf\xe2\x82"), TagKindApe, TitleOnly("Caf")},
        TagCase{"FourByteSequenceIsASurrogatePair", WithTitleValue("Note \xf0\x9f\x8e\xb5!"),
                TagKindApe, TitleOnly(QString::fromUtf8("Note \xf0\x9f\x8e\xb5!"))}),
    [](const auto& info) { return std::string(info.param.name); });

// Damaged or hostile tags: the reader stays inside the tag, stops where the data ends and
// keeps the items it read whole before that point.
INSTANTIATE_TEST_SUITE_P(
    Hostile, ReadTagsTest,
    testing::Values(
        TagCase{"ItemCountFarBeyondTheItems",
                Audio() +
                    ApeTag({ApeItem("Title", "Kept"), ApeItem("Artist", "Kept too")}, 0x7fffffff),
                TagKindApe, Tags{"Kept", "Kept too", "", "", "", "", ""}},
        TagCase{"ValueLengthBeyondTheFile",
                Audio() +
                    ApeTag({ApeItem("Title", "Kept"), ApeItem("Artist", "Lost", 1'000'000'000)}),
                TagKindApe, TitleOnly("Kept")},
        TagCase{"ValueLengthNegative",
                Audio() + ApeTag({ApeItem("Title", "Kept"), ApeItem("Artist", "Lost", 0xffffffff)}),
                TagKindApe, TitleOnly("Kept")},
        TagCase{"ValueRunningIntoTheFooter",
                Audio() + ApeTag({ApeItem("Title", "Kept"), ApeItem("Artist", "Lost", 40)}) +
                    Id3Tag(),
                TagKindApeId3v11, TitleOnly("Kept")},
        TagCase{"KeyThatNeverEnds",
                Audio() +
                    ApeTag({ApeItem("Title", "Kept"), Le32(1) + Le32(0) + QByteArray(100, 'K')}),
                TagKindApe, TitleOnly("Kept")},
        TagCase{"OverlongKeyIsPassedOver",
                Audio() + ApeTag({ApeItem(QByteArray(300, 'K'), "x"), ApeItem("Title", "Kept")}),
                TagKindApe, TitleOnly("Kept")},
        TagCase{"TagSizeBeyondTheFileKeepsId3",
                Audio() + ApeItem("Title", "Lost") + ApeFooter(0x7fffffff, 1) + Id3Tag(),
                TagKindApeId3v11, Id3Defaults},
        TagCase{"TagSizeSmallerThanItsFooterKeepsId3",
                Audio() + ApeItem("Title", "Lost") + ApeFooter(8, 1) + Id3Tag(), TagKindApeId3v11,
                Id3Defaults},
        TagCase{"ManyEmptyItems",
                Audio() + QByteArray(9 * 20000, '\0') + ApeFooter(9 * 20000 + 32, 0x7fffffff),
                TagKindApe,
                {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadTags, MissingFileFindsNothingAndChangesNothing)
{
    QTemporaryDir dir;
    TApe ape;
    ape.Title = "Before";

    EXPECT_FALSE(ape.ReadTags(dir.filePath("missing.ape")));

    EXPECT_EQ(ape.TagKind, TagKindNone);
    EXPECT_FALSE(ape.HasTags);
    EXPECT_EQ(ape.Title, "Before");
}

TEST(ReadTags, FolderReadsAsNoFile)
{
    QTemporaryDir dir;
    TApe ape;
    EXPECT_FALSE(ape.ReadTags(dir.path()));
    EXPECT_EQ(ape.TagKind, TagKindNone);
}

QByteArray Fixture(const char* name)
{
    QFile file(QStringLiteral(TEST_DATA_DIR "/fixtures/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

INSTANTIATE_TEST_SUITE_P(
    RealFiles, ReadTagsTest,
    testing::Values(TagCase{"Tagged", Fixture("tagged.ape"), TagKindApe,
                            Tags{"The \"Quoted\" Song", "Test Artist", "3", "Caf\u00e9 Album",
                                 "Encoded for tests; na\u00efve caf\u00e9", "Rock", "2024"}},
                    TagCase{"Untagged", Fixture("in.ape"), TagKindNone, {}},
                    TagCase{"Truncated", Fixture("truncated.ape"), TagKindNone, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GenreNames, NumberTheGenresWithAnEmptyLastEntry)
{
    TApe ape;
    ASSERT_EQ(ape.GenreNames.size(), GenreNameCount);
    EXPECT_EQ(ape.GenreNames[0], "Blues");
    EXPECT_EQ(ape.GenreNames[17], "Rock");
    EXPECT_EQ(ape.GenreNames[40], "Alt. Rock");
    EXPECT_EQ(ape.GenreNames[147], "Synthpop");
    EXPECT_EQ(ape.GenreNames[148], "");
}

} // namespace

namespace {

// The fields read besides the seven, and the cover, from APE items a tagger writes; the tag
// list shows each one the file has after the seven.
struct OtherFieldsCase
{
    const char* name;
    QList<QByteArray> items;
    QStringList listedAfterTheSeven;
    QByteArray cover = {};
};

void PrintTo(const OtherFieldsCase& c, std::ostream* os)
{
    *os << c.name;
}

class OtherFieldsTest : public testing::TestWithParam<OtherFieldsCase>
{};

const QByteArray CoverPng = QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray(40, 'p');

TEST_P(OtherFieldsTest, AreReadAndListed)
{
    const OtherFieldsCase& c = GetParam();
    const QTemporaryDir dir;
    const QString path = dir.filePath("a.ape");
    // Only the cover item's value is larger than the reader's item buffer.
    ASSERT_TRUE(WriteFile(path, Audio() + ApeTag(c.items)));
    TApe ape;
    ape.ReadTags(path);
    EXPECT_EQ(ape.TagListLines().mid(7), c.listedAfterTheSeven);
    EXPECT_EQ(ape.Cover.Image, c.cover);
    EXPECT_EQ(ape.Title, QStringLiteral("After"));
}

const QByteArray BigImage = CoverPng + QByteArray(4000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Items, OtherFieldsTest,
    testing::Values(
        OtherFieldsCase{"Every",
                        {ApeItem("Album Artist", "Various"), ApeItem("Track", "3/12"),
                         ApeItem("Disc", "1/2"), ApeItem("Composer", "Bach"),
                         ApeItem("REPLAYGAIN_TRACK_GAIN", "-6.50 dB"),
                         ApeItem("replaygain_track_peak", "0.988"),
                         ApeItem("REPLAYGAIN_ALBUM_GAIN", "-7.10 dB"),
                         ApeItem("REPLAYGAIN_ALBUM_PEAK", "1.000"),
                         ApeItem("Cover Art (Front)", "front.png" + QByteArray(1, '\0') + BigImage),
                         ApeItem("Title", "After")},
                        {"Albumartist\t= Various", "Tracktotal\t= 12", "Discnr\t= 1",
                         "Disctotal\t= 2", "Composer\t= Bach", "Trackgain\t= -6.50 dB",
                         "Trackpeak\t= 0.988", "Albumgain\t= -7.10 dB", "Albumpeak\t= 1.000",
                         QStringLiteral("Cover\t= the APE item Cover Art (Front), %1 bytes")
                             .arg(BigImage.size())},
                        BigImage},
        OtherFieldsCase{"NoneOfThem", {ApeItem("Title", "After")}, {}},
        OtherFieldsCase{
            "ControlCharactersAndZeroTotal",
            {ApeItem("ALBUMARTIST", "a\nb\tc"), ApeItem("Track", "0/0"), ApeItem("Title", "After")},
            {"Albumartist\t= a b c"}},
        OtherFieldsCase{"CoverOfAnUnknownKind",
                        {ApeItem("Cover Art (Front)", "f.bmp" + QByteArray(1, '\0') + "BM...."),
                         ApeItem("Title", "After")},
                        {"Cover\t= the APE item Cover Art (Front) is no JPEG, PNG or GIF image: "
                         "the MP3 has no cover"}},
        OtherFieldsCase{"CoverWithoutAFileName",
                        {ApeItem("Cover Art (Front)", CoverPng), ApeItem("Title", "After")},
                        {"Cover\t= the APE item Cover Art (Front) is no JPEG, PNG or GIF image: "
                         "the MP3 has no cover"}}),
    [](const testing::TestParamInfo<OtherFieldsCase>& info) {
        return std::string(info.param.name);
    });

// A cover item larger than any cover is passed over whole: the items after it are read.
TEST(OtherFields, CoverTooLargeIsPassedOver)
{
    const QTemporaryDir dir;
    const QString path = dir.filePath("a.ape");
    const QByteArray huge =
        "f.png" + QByteArray(1, '\0') + CoverPng + QByteArray(MaxCoverBytes + 4096, 'x');
    ASSERT_TRUE(WriteFile(
        path, Audio() + ApeTag({ApeItem("Cover Art (Front)", huge), ApeItem("Title", "After")})));
    TApe ape;
    ape.ReadTags(path);
    EXPECT_EQ(ape.Title, QStringLiteral("After"));
    EXPECT_TRUE(ape.Cover.Image.isEmpty());
    EXPECT_EQ(ape.Cover.Problem,
              QStringLiteral("the APE item Cover Art (Front) holds %1 bytes, more than the %2 "
                             "bytes a cover may hold: the MP3 has no cover")
                  .arg(huge.size())
                  .arg(MaxCoverBytes));
}

} // namespace
