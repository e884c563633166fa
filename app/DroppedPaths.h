#pragma once

#include <QStringList>

class QMimeData;

// True when a drag carries at least one local file or folder.
bool CarriesLocalFiles(const QMimeData& data);

// The local paths a drop carries, in the order given, as our path text: the URL's own bytes
// are kept, so a name that is not valid UTF-8 still names its file. Other URLs are skipped.
QStringList DroppedPaths(const QMimeData& data);
