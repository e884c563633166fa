// Draws the codec locator into PNG files in the folder given: while it searches a temporary
// tree for lame, after it has searched it for lame and flac, and after a search for mac,
// which is not there. Run it on Qt's offscreen platform (scripts/screenshots does).
#include "TCodecLocatorDialog.h"
#include "TestMedia.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <cstdio>

namespace {

// Two lame builds, flac with metaflac beside it, and a flac of its own; and terminfo's data
// file named mac, which is no tool.
bool MakeTree(const QString& root)
{
    for (const char* tool : {"opt/lame-3.100/bin/lame", "usr/local/bin/lame", "usr/bin/flac",
                             "usr/bin/metaflac", "home/me/tools/flac"}) {
        const QString path = root + u'/' + QString::fromLatin1(tool);
        if (!WriteFile(path, "#!/bin/sh\n") ||
            !QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner))
            return false;
    }
    return WriteFile(root + QStringLiteral("/usr/share/terminfo/m/mac"), "terminfo");
}

void Click(TCodecLocatorDialog& dialog, const char* button)
{
    dialog.findChild<QToolButton*>(QString::fromLatin1(button))->click();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: locator_screenshot FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QTemporaryDir tree;
    if (!tree.isValid() || !MakeTree(tree.path()))
        return 1;
    TFormCodec locator;
    locator.ListDrives = [&tree] { return QStringList{tree.path()}; };
    TCodecLocatorDialog dialog(nullptr, locator);
    bool saved = true;
    const auto save = [&](const char* name) {
        saved = dialog.grab().save(out.filePath(QString::fromLatin1(name))) && saved;
    };
    QTimer::singleShot(0, [&] {
        Click(dialog, "sbtFLACfind");
        QTimer::singleShot(0, [&] { save("codec-locator-searching.png"); });
        Click(dialog, "sbtLAMEfind");
        save("codec-locator.png");
        QComboBox& entry = *dialog.findChild<QComboBox*>(QStringLiteral("cbxLAME"));
        entry.showPopup();
        saved =
            entry.view()->window()->grab().save(out.filePath("codec-locator-list.png")) && saved;
        entry.hidePopup();
        Click(dialog, "sbtAPEfind");
        save("codec-locator-nothing-found.png");
        dialog.abandonDialog();
    });
    dialog.run({0, 0});
    return saved ? 0 : 1;
}
