#pragma once

#include <QString>

// Path texts as the transcoding control builds them: "/" separates folders, and a folder
// text that is to be extended ends with it.

inline constexpr QChar PathSeparator = u'/';

// Everything before the last separator ("/in/album" for "/in/album/a.flac"); empty when
// there is none or when it is the first character.
QString FolderPart(const QString& path);

// Everything after the last separator.
QString FileNamePart(const QString& path);

// The file name's extension from its last dot on, lower-cased (".flac"); empty without a dot.
QString LowerExtension(const QString& path);

// The path with its extension (from the file name's last dot) replaced, or with the new
// extension appended when the file name has no dot.
QString ChangeExtension(const QString& path, const QString& extension);

// An absolute path without "." or ".." parts, doubled or trailing separators.
QString AbsoluteCleanPath(const QString& path);
