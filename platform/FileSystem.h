#pragma once

#include <QFile>
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

// What a system call's errno says, in the system's words ("Permission denied").
QString ErrnoText(int error);

// What a path names, following links.
TPathKind PathKind(const QString& path);

// The folder's identity, following links; empty when it cannot be read.
std::optional<TFolderId> FolderIdentity(const QString& folder);

// The entries of a folder other than "." and "..", in the order a file manager shows them
// (without case, digit runs by value: "1", "2", "03", "10"), each with the kind its link
// target has. A folder that cannot be listed gives none,
// and the reason in *error when asked for.
QList<TFolderEntry> FolderEntries(const QString& folder, QString* error = nullptr);

// True when path is a symbolic link itself, whatever it names.
bool IsLink(const QString& path);

// A hidden file or folder is one whose name starts with a dot.
bool IsHiddenName(const QString& name);

// True when path names something that is not a folder.
bool FileExists(const QString& path);

// True when made is a regular file under its own name (not a link), readable, and modified
// no earlier than source, a regular file too: what was made from source is still up to date.
// One status read of each; neither file is opened.
bool IsUpToDate(const QString& made, const QString& source);

// True when path names a regular file that we may execute, following links: a data file,
// a folder or a link to either is none.
bool IsRunnableFile(const QString& path);

// Deletes a file; false when it could not (a missing file included).
bool RemoveFile(const QString& path);

// A folder the user can write into; one they cannot write into counts as read-only. The
// check is the one a write will meet: by the effective user and privileges.
bool IsWritableFolder(const QString& folder);

// Gives the owner the write permission, the counterpart of clearing a read-only attribute.
void ClearReadOnly(const QString& path);

// A new file or folder, or why it could not be made.
struct TMade
{
    QString Path;
    QString Error;
};

// Creates a new, empty file in folder named prefix + six random characters + suffix, with
// the permissions the user's umask gives a new file (a finished MP3 under its final name
// must not be more private than one the user would make).
TMade CreateUniqueFile(const QString& folder, const QString& prefix, const QString& suffix);

// Creates a new folder that only the user can enter (mode 0700) in parent, named prefix +
// six random characters.
TMade CreatePrivateFolder(const QString& parent, const QString& prefix);

// Removes a folder and everything in it; false when something is left.
bool RemoveFolderTree(const QString& folder);

// Puts source in the place of target in one step: a reader sees the old file or the new one,
// never a part. Empty on success, else the reason.
QString ReplaceFile(const QString& source, const QString& target);

// Gives source the name target unless something has that name already (then "File exists"):
// empty on success, else the reason. Nothing is ever replaced.
QString RenameNoReplace(const QString& source, const QString& target);

// Creates a folder and every missing folder above it, each with mode (less the umask). False
// when the folder is not there afterwards.
bool ForceFolders(const QString& path, unsigned mode = 0777);

// Creates a new file that only the user may read and write (mode 0600), never one that is
// there already or a link's target: its descriptor (close-on-exec), or -1 and *error the
// errno.
int CreatePrivateFile(const QString& path, int* error);

// Writes all of bytes to the descriptor: empty on success, else the system's reason.
QString WriteAll(int fd, const QByteArray& bytes);

// Where programs keep the user's state: $XDG_STATE_HOME when it is an absolute path, else
// ~/.local/state; empty without either.
QString UserStateFolder();

// A descriptor of a regular file, opened read-only (and close-on-exec) by its name's bytes
// (Qt's own opening would mangle a name that is not valid UTF-8); -1 for anything else, a
// pipe or a device among them, which is never waited for.
int OpenRegularFile(const QString& path);

// Opens a regular file for reading, as OpenRegularFile does.
bool OpenForReading(QFile& file, const QString& path);

// The folder, ending with "/", where a program is found on PATH; empty when it is not. A
// tool folder that was never set defaults to this, so a machine with the tools installed
// works at once.
QString ToolFolderOnPath(const QString& program);

size_t qHash(const TFolderId& id, size_t seed = 0) noexcept;
