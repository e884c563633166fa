#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// One plain HTTP GET, as the update check makes it.
struct THttpRequest
{
    QString Url;
    QString UserAgent;
    QString Accept;
    // Bound on making the connection.
    int ConnectTimeoutMs = 5000;
    // Bound on the whole request, so that a server that accepts and never answers cannot
    // hold the caller forever.
    int TotalTimeoutMs = 15000;
};

// The body of a 2xx answer; nothing when the request failed in any way: no connection, a
// time-out, a status other than 2xx, a body of more than a megabyte.
std::optional<QByteArray> HttpGet(const THttpRequest& request);
