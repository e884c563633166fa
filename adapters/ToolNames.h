#pragma once

#include "FileSystem.h"

#include <QDir>
#include <QString>

// File names of the codec tools; every text that names a tool is formed from these.
inline const QString LameTool = QStringLiteral("lame");
inline const QString FlacTool = QStringLiteral("flac");
inline const QString MetaflacTool = QStringLiteral("metaflac");
inline const QString MacTool = QStringLiteral("mac");

// A tool's path as the runner gets it: absolute, since the tool is started in its own folder,
// where a path relative to ours would lead nowhere.
inline QString AbsoluteToolPath(const QString& path)
{
    return QDir::current().absoluteFilePath(path);
}

// A tool's path: its folder (ending with "/") followed by its file name, made absolute.
inline QString ToolPath(const QString& folder, const QString& tool)
{
    return AbsoluteToolPath(folder + tool);
}

// The folder part of a path: everything up to and including its last "/" (empty if none).
inline QString FolderOf(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

// Whether the folder (ending with "/") holds a tool file of this name that we can run: a
// data file of that name is no tool. An empty folder is never tested; any other text is,
// "0" included (it finds nothing).
inline bool ToolIn(const QString& folder, const QString& tool)
{
    return !folder.isEmpty() && IsRunnableFile(folder + tool);
}
