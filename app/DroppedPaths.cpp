#include "DroppedPaths.h"

#include "LocalNames.h"

#include <QMimeData>
#include <QUrl>
#include <algorithm>

bool CarriesLocalFiles(const QMimeData& data)
{
    const QList<QUrl> urls = data.urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

// QUrl::toLocalFile would decode the percent-encoded bytes as UTF-8 and lose the others.
QStringList DroppedPaths(const QMimeData& data)
{
    QStringList paths;
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile())
            paths << PathFromBytes(
                QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
    }
    return paths;
}
