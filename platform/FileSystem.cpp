#include "FileSystem.h"

#include "LocalNames.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>
#include <QLocale>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TPathKind KindOf(const struct stat& st)
{
    if (S_ISDIR(st.st_mode))
        return TPathKind::Folder;
    if (S_ISREG(st.st_mode))
        return TPathKind::File;
    return TPathKind::Other;
}

bool NotEarlier(const timespec& a, const timespec& b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec >= b.tv_nsec;
}

// Closes the folder stream however the listing ends.
struct TDirCloser
{
    void operator()(DIR* dir) const { closedir(dir); }
};

// The permissions a file made by open(..., 0666) gets. umask can only be read by setting it;
// it is set back at once.
mode_t NewFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// readdir's order is arbitrary; a user expects an album's tracks in the order a file
// manager shows them. Names equal but for case keep a fixed order.
void SortAsShown(QList<TFolderEntry>& entries)
{
    // Under the C locale Qt compares code points and ignores numeric mode; the file manager
    // order is wanted there too.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(entries.begin(), entries.end(),
              [&collator](const TFolderEntry& a, const TFolderEntry& b) {
                  const int order = collator.compare(a.Name, b.Name);
                  return order != 0 ? order < 0 : a.Name < b.Name;
              });
}

bool IsDotEntry(const char* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

} // namespace

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

TPathKind PathKind(const QString& path)
{
    struct stat st;
    if (path.isEmpty() || stat(PathBytes(path).constData(), &st) != 0)
        return TPathKind::Missing;
    return KindOf(st);
}

std::optional<TFolderId> FolderIdentity(const QString& folder)
{
    struct stat st;
    if (stat(PathBytes(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return TFolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

QList<TFolderEntry> FolderEntries(const QString& folder, QString* error)
{
    QList<TFolderEntry> entries;
    std::unique_ptr<DIR, TDirCloser> dir(opendir(PathBytes(folder).constData()));
    if (!dir) {
        if (error)
            *error = ErrnoText(errno);
        return entries;
    }
    const int fd = dirfd(dir.get());
    while (const dirent* entry = readdir(dir.get())) {
        if (IsDotEntry(entry->d_name))
            continue;
        struct stat st;
        const TPathKind kind =
            fstatat(fd, entry->d_name, &st, 0) == 0 ? KindOf(st) : TPathKind::Missing;
        entries.append({PathFromBytes(entry->d_name), kind});
    }
    SortAsShown(entries);
    return entries;
}

bool IsLink(const QString& path)
{
    struct stat st;
    return lstat(PathBytes(path).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsHiddenName(const QString& name)
{
    return name.startsWith(u'.');
}

bool FileExists(const QString& path)
{
    const TPathKind kind = PathKind(path);
    return kind == TPathKind::File || kind == TPathKind::Other;
}

bool IsUpToDate(const QString& made, const QString& source)
{
    struct stat madeStat = {};
    struct stat sourceStat = {};
    const QByteArray madeBytes = PathBytes(made);
    return lstat(madeBytes.constData(), &madeStat) == 0 && S_ISREG(madeStat.st_mode) &&
           stat(PathBytes(source).constData(), &sourceStat) == 0 && S_ISREG(sourceStat.st_mode) &&
           NotEarlier(madeStat.st_mtim, sourceStat.st_mtim) &&
           faccessat(AT_FDCWD, madeBytes.constData(), R_OK, AT_EACCESS) == 0;
}

bool IsRunnableFile(const QString& path)
{
    return PathKind(path) == TPathKind::File &&
           faccessat(AT_FDCWD, PathBytes(path).constData(), X_OK, AT_EACCESS) == 0;
}

bool RemoveFile(const QString& path)
{
    return !path.isEmpty() && unlink(PathBytes(path).constData()) == 0;
}

bool IsWritableFolder(const QString& folder)
{
    return PathKind(folder) == TPathKind::Folder &&
           faccessat(AT_FDCWD, PathBytes(folder).constData(), W_OK, AT_EACCESS) == 0;
}

void ClearReadOnly(const QString& path)
{
    struct stat st;
    const QByteArray name = PathBytes(path);
    if (stat(name.constData(), &st) == 0 && !(st.st_mode & S_IWUSR))
        chmod(name.constData(), (st.st_mode & 07777) | S_IWUSR);
}

TMade CreateUniqueFile(const QString& folder, const QString& prefix, const QString& suffix)
{
    const QString name = prefix + QStringLiteral("XXXXXX") + suffix;
    QByteArray path = PathBytes(folder + u'/' + name);
    const int fd = mkstemps(path.data(), int(PathBytes(suffix).size()));
    if (fd < 0)
        return {{}, ErrnoText(errno)};
    const int modeError = fchmod(fd, NewFileMode()) == 0 ? 0 : errno;
    close(fd);
    if (modeError != 0) {
        unlink(path.constData());
        return {{}, ErrnoText(modeError)};
    }
    return {PathFromBytes(path), {}};
}

TMade CreatePrivateFolder(const QString& parent, const QString& prefix)
{
    if (parent.isEmpty())
        return {{}, ErrnoText(ENOENT)};
    QByteArray path = PathBytes(parent + u'/' + prefix + QStringLiteral("XXXXXX"));
    if (!mkdtemp(path.data()))
        return {{}, ErrnoText(errno)};
    return {PathFromBytes(path), {}};
}

bool RemoveFolderTree(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    const QByteArray path = PathBytes(folder);
    // An empty folder goes without the walk, which needs memory that a run at the limit of
    // the machine may not have left.
    if (rmdir(path.constData()) == 0)
        return true;
    // Depth first and without following links: a link is removed, never what it names.
    const auto remove = [](const char* entry, const struct stat*, int, FTW*) {
        return ::remove(entry);
    };
    return nftw(path.constData(), remove, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

QString ReplaceFile(const QString& source, const QString& target)
{
    if (rename(PathBytes(source).constData(), PathBytes(target).constData()) != 0)
        return ErrnoText(errno);
    return QString();
}

QString RenameNoReplace(const QString& source, const QString& target)
{
    const QByteArray from = PathBytes(source);
    const QByteArray to = PathBytes(target);
    if (renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return QString();
    if (errno != EINVAL)
        return ErrnoText(errno);
    // A file system that cannot rename without replacing: look first.
    struct stat st;
    if (lstat(to.constData(), &st) == 0)
        return ErrnoText(EEXIST);
    return ReplaceFile(source, target);
}

bool ForceFolders(const QString& path, unsigned mode)
{
    const QByteArray bytes = PathBytes(path);
    // Every folder on the way, the first one too; one that is there already is fine.
    for (qsizetype slash = bytes.indexOf('/', 1); slash > 0; slash = bytes.indexOf('/', slash + 1))
        mkdir(bytes.left(slash).constData(), mode);
    mkdir(bytes.constData(), mode);
    return PathKind(path) == TPathKind::Folder;
}

int CreatePrivateFile(const QString& path, int* error)
{
    const int fd = open(PathBytes(path).constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    *error = fd < 0 ? errno : 0;
    return fd;
}

QString WriteAll(int fd, const QByteArray& bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno != EINTR)
            return ErrnoText(errno);
        done += written > 0 ? written : 0;
    }
    return {};
}

QString UserStateFolder()
{
    const QByteArray state = qgetenv("XDG_STATE_HOME");
    if (state.startsWith('/'))
        return PathFromBytes(state);
    const QByteArray home = qgetenv("HOME");
    return home.isEmpty() ? QString() : PathFromBytes(home) + QStringLiteral("/.local/state");
}

// Opening a pipe for reading waits for a writer, and a device may never end: the open does
// not wait, and only a regular file is kept, then read as usual (blocking).
int OpenRegularFile(const QString& path)
{
    const int fd = open(PathBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0)
        return fd;
    close(fd);
    return -1;
}

bool OpenForReading(QFile& file, const QString& path)
{
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return false;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    close(fd);
    return false;
}

size_t qHash(const TFolderId& id, size_t seed) noexcept
{
    return qHashMulti(seed, id.Device, id.Inode);
}

QString ToolFolderOnPath(const QString& program)
{
    const QString found = QStandardPaths::findExecutable(program);
    return found.isEmpty() ? QString() : QFileInfo(found).path() + u'/';
}
