#pragma once

#include <QByteArray>
#include <QString>
#include <atomic>
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

// One GET that waits for its answer on the thread that runs it and that another thread can
// end at once, so that a program that is told to stop never waits for a silent server.
class THttpGet
{
public:
    explicit THttpGet(THttpRequest request);
    ~THttpGet();
    THttpGet(const THttpGet&) = delete;
    THttpGet& operator=(const THttpGet&) = delete;

    // The body of a 2xx answer; nothing when the request failed in any way: no connection, a
    // time-out, a status other than 2xx, a body of more than a megabyte, an Abort. The
    // connection is closed when it returns.
    std::optional<QByteArray> Run();
    // From any thread, also before Run: the request ends at once, as a failed one.
    void Abort();

private:
    bool Transfer(void* curl);

    const THttpRequest m_request;
    void* m_multi = nullptr;
    std::atomic<bool> m_aborted = false;
};
