#pragma once

#include <QString>

// File names of the codec tools; every text that names a tool is formed from these.
inline const QString LameTool = QStringLiteral("lame");
inline const QString FlacTool = QStringLiteral("flac");
inline const QString MetaflacTool = QStringLiteral("metaflac");
inline const QString MacTool = QStringLiteral("mac");

// The folder part of a path: everything up to and including its last "/" (empty if none).
inline QString FolderOf(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}
