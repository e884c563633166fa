#pragma once

#include "Privileges.h"
#include "QtPrinters.h"
#include "TFakeMainView.h"
#include "TForm1.h"
#include "TestMedia.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// A main window on a recording view, with real tools: lame, flac and metaflac from PATH, the
// stand-in mac. Sources go below In, MP3s to Save, and the temporary folder is Temp, a private
// one, so that a test can see every "~TT" file a job leaves.
class TFormTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the parent folders and writes the file.
    void Write(const QString& path, const QByteArray& bytes);
    // Copies a file of the shared fixtures.
    void CopyFixture(const QString& fixture, const QString& path);
    // Files below a folder, as paths relative to it, sorted.
    static QStringList FilesBelow(const QString& folder);
    // Every file below In with its contents, to see that a run left the sources alone.
    QList<QPair<QString, QByteArray>> Sources() const;
    // Everything in the temporary folder, hidden entries and folders included.
    QStringList TempEntries() const;
    // Puts the stand-in that stalls in the place of one tool (lame, flac, metaflac, mac): a
    // copy of the tool's folder where `tool` is the stand-in and the other tools are the
    // real ones. It stalls on the calls with an argument holding `on` (every call when
    // empty), printing `rows` and writing the start of the output named with `output`.
    void Stall(const QString& tool, const QByteArray& on, const QByteArray& rows = {},
               const QByteArray& output = {});
    void Drop(const QStringList& paths) { form->AppMessage(paths); }
    // The tools and the save folder above, and the first standard option set.
    void Equip(TForm1& logic) const;

    QTemporaryDir root;
    QString In;
    QString Save;
    QString Temp;
    TFakeMainView view;
    std::unique_ptr<TForm1> form;

private:
    QByteArray m_savedTempDir;
};
