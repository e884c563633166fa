#include "CoverArt.h"

#include "FileSystem.h"
#include "LocalNames.h"
#include "PathText.h"

#include <QFile>
#include <QStringList>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QStringList CoverNames = {QStringLiteral("cover"), QStringLiteral("folder"),
                                QStringLiteral("front")};
const QStringList CoverSuffixes = {QStringLiteral(".jpg"), QStringLiteral(".jpeg"),
                                   QStringLiteral(".png")};

struct TImageKind
{
    QByteArray Signature;
    QString Suffix;
};

// What LAME looks for, or a little more of it: every real file of the kind starts so.
const TImageKind ImageKinds[] = {
    {QByteArray("\xFF\xD8\xFF", 3), QStringLiteral(".jpg")},
    {QByteArray("\x89PNG\r\n\x1A\n", 8), QStringLiteral(".png")},
    {QByteArray("GIF87a"), QStringLiteral(".gif")},
    {QByteArray("GIF89a"), QStringLiteral(".gif")},
};

QString NoCover(const QString& reason)
{
    return reason + QStringLiteral(": the MP3 has no cover");
}

// The entry of the folder that is the cover image, by the order of CoverNames and
// CoverSuffixes; empty when there is none.
QString CoverFileIn(const QString& folder)
{
    const QList<TFolderEntry> entries = FolderEntries(folder);
    for (const QString& name : CoverNames) {
        for (const QString& suffix : CoverSuffixes) {
            for (const TFolderEntry& entry : entries) {
                if (entry.Kind == TPathKind::File &&
                    entry.Name.compare(name + suffix, Qt::CaseInsensitive) == 0)
                    return folder + u'/' + entry.Name;
            }
        }
    }
    return QString();
}

} // namespace

QString ImageSuffix(const QByteArray& image)
{
    for (const TImageKind& kind : ImageKinds) {
        if (image.startsWith(kind.Signature))
            return kind.Suffix;
    }
    return QString();
}

TCoverArt CoverFromImage(const QString& origin, const QByteArray& image)
{
    if (image.size() > MaxCoverBytes)
        return CoverTooLarge(origin, image.size());
    TCoverArt cover;
    cover.Origin = origin;
    cover.Size = image.size();
    if (ImageSuffix(image).isEmpty())
        cover.Problem = NoCover(origin + QStringLiteral(" is no JPEG, PNG or GIF image"));
    else
        cover.Image = image;
    return cover;
}

TCoverArt CoverTooLarge(const QString& origin, qint64 size)
{
    TCoverArt cover;
    cover.Origin = origin;
    cover.Size = size;
    cover.Problem =
        NoCover(QStringLiteral("%1 holds %2 bytes, more than the %3 bytes a cover may hold")
                    .arg(origin)
                    .arg(size)
                    .arg(MaxCoverBytes));
    return cover;
}

TCoverArt CoverBesideSource(const QString& sourcePath)
{
    const QString path = CoverFileIn(FolderPart(sourcePath));
    if (path.isEmpty())
        return {};
    const QString origin = DisplayPath(path);
    QFile file;
    if (!OpenForReading(file, path)) {
        TCoverArt unreadable;
        unreadable.Origin = origin;
        unreadable.Problem = NoCover(origin + QStringLiteral(" cannot be read"));
        return unreadable;
    }
    if (file.size() > MaxCoverBytes)
        return CoverTooLarge(origin, file.size());
    // One byte more than allowed tells a file that grew since its size was asked.
    return CoverFromImage(origin, file.read(MaxCoverBytes + 1));
}

TMade WriteCoverImage(const QString& folder, const QByteArray& image)
{
    TMade made = CreateUniqueFile(folder, QStringLiteral("~TT"), ImageSuffix(image));
    if (made.Path.isEmpty())
        return made;
    const int fd = open(PathBytes(made.Path).constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    QFile file;
    if (fd >= 0 && file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) &&
        file.write(image) == image.size() && file.flush())
        return made;
    const QString reason =
        fd < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : file.errorString();
    if (fd >= 0 && !file.isOpen())
        close(fd);
    RemoveFile(made.Path);
    return {QString(), reason};
}

QString CoverText(const TCoverArt& cover)
{
    if (!cover.Problem.isEmpty())
        return cover.Problem;
    return QStringLiteral("%1, %2 bytes").arg(cover.Origin).arg(cover.Size);
}
