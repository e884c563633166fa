#pragma once

#include <QByteArray>
#include <QString>

// The front cover an MP3 gets: a picture the source holds, or an image file beside it.
struct TCoverArt
{
    // Where the picture comes from, as a person is told it; empty when there is none.
    QString Origin;
    // The image bytes, when LAME gets them.
    QByteArray Image;
    qint64 Size = 0;
    // Why LAME does not get the picture; empty when it does.
    QString Problem;

    bool Found() const { return !Origin.isEmpty(); }
    bool Usable() const { return Found() && Problem.isEmpty(); }
};

// LAME reads any size, holding the picture twice in memory, and past 256 MiB its ID3v2 tag
// overflows its size field. A FLAC picture block holds less than 16 MiB; a larger cover is no
// cover a player shows.
inline constexpr qint64 MaxCoverBytes = 16 * 1024 * 1024;

// A picture LAME takes for its front cover: a JPEG, PNG or GIF image of at most
// MaxCoverBytes; any other one carries the reason it is left out.
TCoverArt CoverFromImage(const QString& origin, const QByteArray& image);

// A picture too large to be read at all.
TCoverArt CoverTooLarge(const QString& origin, qint64 size);

// The file name suffix of an image LAME takes (".jpg", ".png", ".gif"); empty for any
// other bytes. LAME tells the kind by the first bytes, and refuses the whole encode for a
// kind it does not know.
QString ImageSuffix(const QByteArray& image);

// The cover image beside a source that holds no picture: cover, folder or front, .jpg,
// .jpeg or .png, in that order, the names in any case. Only a regular file counts.
TCoverArt CoverBesideSource(const QString& sourcePath);

struct TMade;

// Writes the image into a new file "~TT...<suffix>" in folder, for LAME to read: its path,
// or why it could not be written (no file is left then).
TMade WriteCoverImage(const QString& folder, const QByteArray& image);

// The tag list's text for a cover: where it comes from and its size, or why it is left out.
QString CoverText(const TCoverArt& cover);
