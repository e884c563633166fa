#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The Vorbis comments of a FLAC file, read from the file itself: field names upper-cased,
// each with its values in the order the file holds them, every character as written (a
// newline in a value stays in that value). Empty when the file cannot be read as FLAC or
// holds no comments.
QMap<QString, QStringList> ReadVorbisComments(const QString& path);
