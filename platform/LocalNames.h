#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// File names are bytes on Linux, and a name that is not valid UTF-8 (a Latin-1 "café.flac"
// from an old library) still names a file that must be converted. These turn names into
// text and back without loss: a byte that is not part of valid UTF-8 becomes one of
// U+DC80..U+DCFF, a lone low surrogate that no valid text holds, and turns back into that
// byte. Every path handed to the file system or to a tool goes through PathBytes.

// One UTF-8 character read from bytes: its code point and how many bytes it takes; Length 0
// where the bytes at that place are no valid UTF-8 (a stray byte, a sequence cut off by the
// end, an overlong form, a surrogate, a code beyond U+10FFFF).
struct TUtf8Char
{
    char32_t Code = 0;
    int Length = 0;
};
TUtf8Char Utf8CharAt(QByteArrayView bytes, qsizetype at);

// A name as the file system holds it, as text.
QString PathFromBytes(QByteArrayView bytes);

// The bytes of a name made by PathFromBytes, exactly as they were.
QByteArray PathBytes(const QString& path);

// A name as a person may be shown it: every byte that was no valid UTF-8 shows as U+FFFD.
QString DisplayPath(const QString& path);
