#pragma once

#include "CoverArt.h"

#include <QMap>
#include <QString>
#include <QStringList>

// The Vorbis comments of a FLAC file, read from the file itself: field names upper-cased,
// each with its values in the order the file holds them, every character as written (a
// newline in a value stays in that value). Empty when the file cannot be read as FLAC or
// holds no comments. When asked for, *cover receives the file's front cover picture (the
// first picture when none is marked as the front cover); none when it has no picture.
QMap<QString, QStringList> ReadVorbisComments(const QString& path, TCoverArt* cover = nullptr);
