#include "ApeTagReader.h"

#include "FileSystem.h"
#include "TAudio.h"

#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace {

constexpr int TagNameCount = 8;
enum FieldIndex
{
    TitleIndex,
    ArtistIndex,
    TrackIndex,
    AlbumIndex,
    CommentIndex,
    GenreIndex,
    YearIndex
};

// ID3v1 body layout (the tag without its leading "TAG").
constexpr int Id3TitleAt = 0;
constexpr int Id3ArtistAt = 30;
constexpr int Id3AlbumAt = 60;
constexpr int Id3TextWidth = 30;
constexpr int Id3YearAt = 90;
constexpr int Id3YearWidth = 4;
constexpr int Id3CommentAt = 94;
constexpr int Id3v11CommentWidth = 28;
constexpr int Id3v11ZeroAt = 122;
constexpr int Id3v11TrackAt = 123;
constexpr int Id3GenreAt = 124;

constexpr int FooterTagSizeAt = 12;
constexpr int FooterItemCountAt = 16;
constexpr int ItemHeadBytes = 8;

// APE keys hold at most 255 characters. A longer key is read to its end but only its start
// is kept: it matches no name either way.
constexpr int MaxKeyLength = 255;
// Real tags have a few dozen items. The cap keeps a hostile tag made of millions of tiny
// items from keeping the reader busy for long.
constexpr std::int32_t MaxItems = 65536;

const QString CoverKey = QStringLiteral("Cover Art (Front)");
// Room for the file name in front of a cover's image.
constexpr qint64 MaxCoverNameBytes = 4096;

std::int32_t LittleEndian32(const char* bytes)
{
    return qFromLittleEndian<std::int32_t>(bytes);
}

} // namespace

TApeTagReader::TApeTagReader(const QStringList& TagNames, const QStringList& GenreNames)
    : m_tagNames(TagNames), m_genreNames(GenreNames)
{
    Reset();
}

void TApeTagReader::Reset()
{
    Values = QStringList(std::max<qsizetype>(TagNameCount, m_tagNames.size()), QString());
    Cover = {};
    m_itemValues = Values;
    HasTags = false;
    TagKind = TagKindNone;
    Id3Size = ItemCount = TagSize = ItemSize = 0;
    ItemFlags = 0;
    ItemKey.clear();
    Id3Body.fill(0);
    Footer.fill(0);
}

std::int8_t TApeTagReader::ReadFileTags(const QString& file)
{
    Reset();
    QFile source;
    if (!OpenForReading(source, file))
        return TagKind;
    return ReadDeviceTags(source);
}

QString TApeTagReader::Value(const QString& name) const
{
    for (qsizetype i = 0; i < m_tagNames.size(); ++i) {
        if (m_tagNames[i].compare(name, Qt::CaseInsensitive) == 0)
            return Values.value(i);
    }
    return QString();
}

std::int8_t TApeTagReader::ReadDeviceTags(QIODevice& file)
{
    Reset();
    ReadId3(file);
    // The ID3v1 tag decides where the APE footer lies, nothing more: a failed ID3v1 read
    // does not hinder the APE one.
    if (ReadFooter(file)) {
        HasTags = true;
        TagKind = static_cast<std::int8_t>(TagKind + 3);
        TakeFooter();
        ReadApeItems(file);
    }
    return TagKind;
}

void TApeTagReader::ReadId3(QIODevice& file)
{
    const qint64 size = file.size();
    if (size < Id3TagBytes || !file.seek(size - Id3TagBytes) || file.read(3) != "TAG")
        return;
    if (file.read(Id3Body.data(), Id3Body.size()) != qint64(Id3Body.size()))
        return;
    HasTags = true;
    Id3Size = Id3TagBytes;
    const bool v11 = Id3Body[Id3v11ZeroAt] == 0 && Id3Body[Id3v11TrackAt] != 0;
    TagKind = v11 ? TagKindId3v11 : TagKindId3v10;
    TakeId3Fields();
}

void TApeTagReader::TakeId3Fields()
{
    Values[TitleIndex] = Id3Field(Id3TitleAt, Id3TextWidth);
    Values[ArtistIndex] = Id3Field(Id3ArtistAt, Id3TextWidth);
    Values[AlbumIndex] = Id3Field(Id3AlbumAt, Id3TextWidth);
    Values[YearIndex] = Id3Field(Id3YearAt, Id3YearWidth);
    const int genre =
        std::min<int>(static_cast<unsigned char>(Id3Body[Id3GenreAt]), GenreNameCount - 1);
    Values[GenreIndex] = m_genreNames.value(genre);
    if (TagKind == TagKindId3v11) {
        Values[TrackIndex] = QString::number(static_cast<unsigned char>(Id3Body[Id3v11TrackAt]));
        Values[CommentIndex] = Id3Field(Id3CommentAt, Id3v11CommentWidth);
    } else {
        Values[TrackIndex].clear();
        Values[CommentIndex] = Id3Field(Id3CommentAt, Id3TextWidth);
    }
}

// A field ends at its first zero byte or at its width; ID3v1 text is Latin-1. Blanks that
// pad a field stay part of it.
QString TApeTagReader::Id3Field(int offset, int width) const
{
    const char* field = Id3Body.data() + offset;
    return QString::fromLatin1(field, static_cast<qsizetype>(qstrnlen(field, width)));
}

bool TApeTagReader::ReadFooter(QIODevice& file)
{
    const qint64 at = file.size() - ApeFooterBytes - Id3Size;
    if (at < 0 || !file.seek(at) ||
        file.read(Footer.data(), Footer.size()) != qint64(Footer.size()))
        return false;
    return std::memcmp(Footer.data(), "APETAGEX", 8) == 0;
}

void TApeTagReader::TakeFooter()
{
    TagSize = LittleEndian32(Footer.data() + FooterTagSizeAt);
    ItemCount = LittleEndian32(Footer.data() + FooterItemCountAt);
}

// The items fill the TagSize bytes before the footer's end, the footer included. They are
// read only inside that area: an item running past it (a count, length or key larger than
// the data) ends the reading, and the items read whole before it are kept.
void TApeTagReader::ReadApeItems(QIODevice& file)
{
    const qint64 areaEnd = file.size() - Id3Size - ApeFooterBytes;
    const qint64 areaStart = file.size() - Id3Size - qint64(TagSize);
    // A tag size smaller than its own footer or larger than the file puts the items
    // nowhere: the values found so far stay as they are.
    if (TagSize < ApeFooterBytes || areaStart < 0 || !file.seek(areaStart))
        return;
    const std::int32_t count = std::min(ItemCount, MaxItems);
    for (std::int32_t i = 0; i < count && ReadItem(file, areaEnd); ++i) {
    }
    Values = m_itemValues;
}

bool TApeTagReader::ReadItem(QIODevice& file, qint64 areaEnd)
{
    ItemKey.clear();
    std::array<char, ItemHeadBytes> head{};
    if (areaEnd - file.pos() < ItemHeadBytes ||
        file.read(head.data(), head.size()) != ItemHeadBytes)
        return false;
    ItemSize = LittleEndian32(head.data());
    ItemFlags = static_cast<std::uint32_t>(LittleEndian32(head.data() + 4));
    if (!ReadItemKey(file, areaEnd))
        return false;
    // Lengths are unsigned in the file: a negative ItemSize is a huge one.
    const qint64 length = static_cast<std::uint32_t>(ItemSize);
    if (length > areaEnd - file.pos())
        return false;
    if (ItemKey.compare(CoverKey, Qt::CaseInsensitive) == 0)
        return ReadCover(file, length);
    ItemValue.fill(0);
    const qint64 kept = std::min<qint64>(length, ItemValue.size());
    // The whole value is consumed, kept or not: the next item starts right after it.
    if (file.read(ItemValue.data(), kept) != kept || !file.seek(file.pos() + length - kept))
        return false;
    StoreItem(kept);
    return true;
}

// The key is ASCII and ends at a zero byte; a byte of 0x80 or above ends it as well and
// does not belong to it.
bool TApeTagReader::ReadItemKey(QIODevice& file, qint64 areaEnd)
{
    char byte = 0;
    while (file.pos() < areaEnd && file.getChar(&byte)) {
        if (byte == 0 || static_cast<unsigned char>(byte) >= 0x80)
            return true;
        if (ItemKey.size() < MaxKeyLength)
            ItemKey.append(QLatin1Char(byte));
    }
    return false;
}

// The whole value is read, up to the largest cover with a file name in front of it; a larger
// one is passed over. Its length lies inside the tag, so it is no larger than the file.
bool TApeTagReader::ReadCover(QIODevice& file, qint64 length)
{
    static const QString origin = QStringLiteral("the APE item ") + CoverKey;
    if (length > MaxCoverBytes + MaxCoverNameBytes) {
        Cover = CoverTooLarge(origin, length);
        return file.seek(file.pos() + length);
    }
    const QByteArray value = file.read(length);
    if (value.size() != length)
        return false;
    const qsizetype nameEnd = value.indexOf('\0');
    Cover = CoverFromImage(origin, nameEnd < 0 ? QByteArray() : value.mid(nameEnd + 1));
    return true;
}

void TApeTagReader::StoreItem(qint64 valueBytes)
{
    for (qsizetype i = 0; i < m_tagNames.size(); ++i) {
        if (ItemKey.compare(m_tagNames[i], Qt::CaseInsensitive) != 0)
            continue;
        const auto length = static_cast<qsizetype>(qstrnlen(ItemValue.data(), valueBytes));
        m_itemValues[i] = TAudio::DecodeUtf8(QByteArray(ItemValue.data(), length));
        return;
    }
}
