#include "LocalDrives.h"

#include "LocalNames.h"

#include <QFile>
#include <QList>
#include <QMap>
#include <QSet>

namespace {

// File systems that live on a local disk. FUSE (fuseblk included), network and memory file
// systems are left out, as are those of optical media.
const QSet<QByteArray> LocalDiskTypes = {"ext2",     "ext3",    "ext4",   "xfs",  "btrfs",   "f2fs",
                                         "vfat",     "msdos",   "exfat",  "ntfs", "ntfs3",   "jfs",
                                         "reiserfs", "hfsplus", "nilfs2", "zfs",  "bcachefs"};

bool IsOctalDigit(char c)
{
    return c >= '0' && c <= '7';
}

// The table writes a blank, a tab, a line feed and a backslash in a name as "\040", "\011",
// "\012" and "\134".
QByteArray Unescaped(const QByteArray& field)
{
    QByteArray name;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) &&
            IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
            name.append(char(field.mid(i + 1, 3).toInt(nullptr, 8)));
            i += 3;
        } else {
            name.append(field[i]);
        }
    }
    return name;
}

} // namespace

QStringList LocalDiskMounts(const QByteArray& mountTable)
{
    // Mount point -> local disk or not, the last mount on a point deciding.
    QMap<QByteArray, bool> mounts;
    for (const QByteArray& line : mountTable.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() >= 3)
            mounts.insert(Unescaped(fields[1]), LocalDiskTypes.contains(fields[2]));
    }
    QStringList drives;
    for (auto mount = mounts.cbegin(); mount != mounts.cend(); ++mount) {
        if (mount.value() && mount.key().startsWith('/'))
            drives << PathFromBytes(mount.key());
    }
    return drives;
}

QStringList LocalDrives()
{
    QFile table(QStringLiteral("/proc/self/mounts"));
    if (!table.open(QIODevice::ReadOnly))
        return {};
    return LocalDiskMounts(table.readAll());
}
