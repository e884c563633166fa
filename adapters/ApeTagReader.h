#pragma once

#include "CoverArt.h"

#include <QIODevice>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

// What ReadFileTags found at the end of a file. The APE codes are the ID3v1 codes plus 3.
enum : std::int8_t
{
    TagKindNone = -1,
    TagKindId3v10 = 0,
    TagKindId3v11 = 1,
    TagKindApe = 2,
    TagKindApeId3v10 = 3,
    TagKindApeId3v11 = 4,
};

inline constexpr int Id3TagBytes = 128;
inline constexpr int ApeFooterBytes = 32;
// ID3v1 genre numbers 0..147 have names; 148 stands for every higher number and is empty.
inline constexpr int GenreNameCount = 149;

// Reads the tags Monkey's Audio files carry at their very end: an ID3v1 tag in the last 128
// bytes and an APE tag (version 1 or 2) whose 32-byte footer lies right before the ID3v1
// tag, or at the end when there is none. Values of the APE tag replace those of the ID3v1
// tag. Every length in the file is distrusted: the reader never reads outside the tag, stops
// where the data ends and allocates no more than its fixed buffers.
class TApeTagReader
{
public:
    // TagNames: the adapter's eight field names ("Title", "Artist", "Track", "Album",
    // "Comment", "Genre", "Year", "Copyright"), possibly followed by more names whose items
    // are read as well; APE keys are matched against them ignoring case. GenreNames: the 149
    // names of the ID3v1 genre numbers.
    TApeTagReader(const QStringList& TagNames, const QStringList& GenreNames);

    // Reads both tags of the file and returns the TagKind code; -1 also for a file that
    // does not exist or cannot be opened.
    std::int8_t ReadFileTags(const QString& file);
    // The value read for one of the names, compared ignoring case; empty when none was.
    QString Value(const QString& name) const;

    // The results, indexed like TagNames: 0 title, 1 artist, 2 track, 3 album, 4 comment,
    // 5 genre, 6 year (7, copyright, only from an APE tag). An APE tag whose items could be
    // reached replaces all of them, also where it lacks a field the ID3v1 tag has. The
    // values of the names after the eight follow, from the APE tag only.
    QStringList Values;
    // The binary item "Cover Art (Front)": a file name, a zero byte, the image.
    TCoverArt Cover;
    // True when either tag was found, even with empty fields only.
    bool HasTags = false;
    std::int8_t TagKind = TagKindNone;

    // The state of the last read, kept for inspection.
    std::int32_t Id3Size = 0;
    std::int32_t ItemCount = 0;
    std::int32_t TagSize = 0;
    std::int32_t ItemSize = 0;
    std::uint32_t ItemFlags = 0;
    // The value of the item being read. Large enough for the 255 characters LAME keeps of
    // a title even when every character takes four UTF-8 bytes; longer values are cut here.
    std::array<char, 1024> ItemValue{};
    QString ItemKey;
    std::array<char, Id3TagBytes - 3> Id3Body{};
    std::array<char, ApeFooterBytes> Footer{};

private:
    std::int8_t ReadDeviceTags(QIODevice& file);
    void ReadId3(QIODevice& file);
    void TakeId3Fields();
    bool ReadFooter(QIODevice& file);
    void TakeFooter();
    void ReadApeItems(QIODevice& file);
    bool ReadItem(QIODevice& file, qint64 areaEnd);
    bool ReadItemKey(QIODevice& file, qint64 areaEnd);
    void StoreItem(qint64 valueBytes);
    bool ReadCover(QIODevice& file, qint64 length);
    QString Id3Field(int offset, int width) const;
    void Reset();

    QStringList m_tagNames;
    QStringList m_genreNames;
    // The values of the APE items read so far, indexed like TagNames.
    QStringList m_itemValues;
};
