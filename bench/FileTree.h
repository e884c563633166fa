#pragma once

#include <QString>
#include <QStringList>

// A drop's worth of empty files: `count` files below `root`, a hundred per folder, named
// "track <i>" with the given extensions in turn. The intake only looks at the names.
bool MakeTree(const QString& root, int count, const QStringList& extensions);
