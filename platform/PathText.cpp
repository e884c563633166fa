#include "PathText.h"

#include <QDir>

namespace {

qsizetype NameStart(const QString& path)
{
    return path.lastIndexOf(PathSeparator) + 1;
}

// Index of the dot that starts the extension, or -1.
qsizetype ExtensionStart(const QString& path)
{
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot >= NameStart(path) ? dot : -1;
}

} // namespace

QString FolderPart(const QString& path)
{
    const qsizetype start = NameStart(path);
    return start > 1 ? path.left(start - 1) : QString();
}

QString FileNamePart(const QString& path)
{
    return path.mid(NameStart(path));
}

QString LowerExtension(const QString& path)
{
    const qsizetype dot = ExtensionStart(path);
    return dot < 0 ? QString() : path.mid(dot).toLower();
}

QString ChangeExtension(const QString& path, const QString& extension)
{
    const qsizetype dot = ExtensionStart(path);
    return (dot < 0 ? path : path.left(dot)) + extension;
}

QString AbsoluteCleanPath(const QString& path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}
