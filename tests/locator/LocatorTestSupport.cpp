#include "LocatorTestSupport.h"

#include "FileSystem.h"
#include "TestMedia.h"

#include <QDir>
#include <QFile>

TTree::TTree() : m_root(m_dir.path()) {}

// Qt cannot remove a folder a test has made unreadable.
TTree::~TTree()
{
    RemoveFolderTree(m_root);
}

QString TTree::File(const QString& relative) const
{
    const QString path = DataFile(relative);
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

QString TTree::DataFile(const QString& relative) const
{
    const QString path = Path(relative);
    EXPECT_TRUE(WriteFile(path, "#!/bin/sh\n")) << path.toStdString();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                    QFile::ReadOther);
    return path;
}

QString TTree::Folder(const QString& relative) const
{
    const QString path = Path(relative);
    EXPECT_TRUE(QDir().mkpath(path)) << path.toStdString();
    return path;
}

void TTree::Link(const QString& relative, const QString& target) const
{
    QDir().mkpath(QFileInfo(Path(relative)).path());
    EXPECT_TRUE(QFile::link(target, Path(relative))) << relative.toStdString();
}

QStringList TTree::Paths(const QStringList& relatives) const
{
    QStringList paths;
    for (const QString& relative : relatives)
        paths << Path(relative);
    return paths;
}

TLocatorTest::TLocatorTest() : Drives{tree.Root()}
{
    locator.ListDrives = [this] { return Drives; };
}
