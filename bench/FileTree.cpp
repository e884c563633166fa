#include "FileTree.h"

#include <QDir>
#include <QFile>

namespace {

constexpr int FilesPerFolder = 100;

} // namespace

bool MakeTree(const QString& root, int count, const QStringList& extensions)
{
    for (int i = 0; i < count; ++i) {
        const QString folder =
            root + QStringLiteral("/cd%1").arg(i / FilesPerFolder, 4, 10, QChar(u'0'));
        if (i % FilesPerFolder == 0 && !QDir().mkpath(folder))
            return false;
        QFile file(folder + QStringLiteral("/track %1").arg(i) + extensions[i % extensions.size()]);
        if (!file.open(QIODevice::WriteOnly))
            return false;
    }
    return true;
}
