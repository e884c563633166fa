#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

// The few file-system services the transcoding control needs, in the terms it thinks in
// (a "file" is anything that is not a folder, as on the system's home platform; here only
// regular files count as files, so a pipe or device named like audio is never read).

enum class TPathKind
{
    Missing,
    File,
    Folder,
    Other
};

// Device and inode of a folder: two paths to the same folder compare equal.
struct TFolderId
{
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool operator==(const TFolderId&) const = default;
};

struct TFolderEntry
{
    QString Name;
    TPathKind Kind = TPathKind::Other;
};

// What a path names, following links.
TPathKind PathKind(const QString& path);

// The folder's identity, following links; empty when it cannot be read.
std::optional<TFolderId> FolderIdentity(const QString& folder);

// The entries of a folder other than "." and "..", in the order the file system returns
// them, each with the kind its link target has. A folder that cannot be listed gives none.
QList<TFolderEntry> FolderEntries(const QString& folder);

// A hidden file or folder is one whose name starts with a dot.
bool IsHiddenName(const QString& name);

// True when path names something that is not a folder.
bool FileExists(const QString& path);

// Deletes a file; false when it could not (a missing file included).
bool RemoveFile(const QString& path);

// Gives the owner the write permission, the counterpart of clearing a read-only attribute.
void ClearReadOnly(const QString& path);

// Creates a folder and every missing folder above it. False when the folder is not there
// afterwards.
bool ForceFolders(const QString& path);

// The folder, ending with "/", where a program is found on PATH; empty when it is not. A
// tool folder that was never set defaults to this, so a machine with the tools installed
// works at once.
QString ToolFolderOnPath(const QString& program);

size_t qHash(const TFolderId& id, size_t seed = 0) noexcept;
