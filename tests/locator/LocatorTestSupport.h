#pragma once

#include "QtPrinters.h"
#include "TFakeLocatorView.h"
#include "TFormCodec.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Files, folders and links below a temporary folder, made from paths relative to it.
class TTree
{
public:
    TTree();
    ~TTree();
    TTree(const TTree&) = delete;
    TTree& operator=(const TTree&) = delete;

    const QString& Root() const { return m_root; }
    QString Path(const QString& relative) const { return m_root + u'/' + relative; }
    // A small executable file, with its folders.
    QString File(const QString& relative) const;
    // A small file nobody may execute, with its folders.
    QString DataFile(const QString& relative) const;
    QString Folder(const QString& relative) const;
    // A symbolic link at relative that names target as it is given.
    void Link(const QString& relative, const QString& target) const;
    // Paths below the root, for comparing with what the locator shows.
    QStringList Paths(const QStringList& relatives) const;

private:
    QTemporaryDir m_dir;
    QString m_root;
};

// The locator over a recording view, searching a temporary tree unless a test names other
// roots.
class TLocatorTest : public ::testing::Test
{
protected:
    TLocatorTest();

    // Opens the dialog.
    void Activate() { locator.FormActivate(); }

    TTree tree;
    QStringList Drives;
    TFormCodec locator;
    TFakeLocatorView view{locator};
};
