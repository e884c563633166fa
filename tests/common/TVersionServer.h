#pragma once

// A real HTTP server on 127.0.0.1 for the update check's tests: it serves one answer to every
// request, or accepts and never answers.
#include <QString>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A file descriptor that is closed with its owner.
class TFd
{
public:
    explicit TFd(int fd);
    ~TFd();
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// A port on which nothing listens, held so that nobody else takes it: connecting is refused.
class TRefusingPort
{
public:
    TRefusingPort();
    QString Host() const;

private:
    TFd m_socket;
};

// An HTTP answer with a plain text body and "Connection: close".
std::string HttpAnswer(const std::string& status, const std::string& body);
// A version file announcing these versions.
std::string VersionFile(const std::string& fileVersion, const std::string& productVersion);

// An HTTP server on 127.0.0.1 and an ephemeral port, one connection at a time. It keeps the
// head of every request and sends each the same answer. A stalling server sends nothing and
// waits until the client gives up (hangs up); should none give up within two minutes, it
// answers after all, so that a client without a bound fails its test instead of hanging it.
// Requests to it never go through a proxy that the environment names.
class TVersionServer
{
public:
    enum class TMode
    {
        Answer,
        Stall
    };

    explicit TVersionServer(std::string answer, TMode mode = TMode::Answer);
    ~TVersionServer();
    TVersionServer(const TVersionServer&) = delete;
    TVersionServer& operator=(const TVersionServer&) = delete;

    // "127.0.0.1:port".
    QString Host() const;
    std::vector<std::string> Requests() const;
    // The clients that hung up on a stalling server before it answered.
    int HangUps() const;

private:
    enum class TWake
    {
        Readable,
        Stopped,
        TimedOut
    };

    TWake Wait(int fd, int timeoutMs = -1) const;
    void Serve();
    std::string ReadHead(int client) const;
    bool StallUntilClientGivesUp(int client);
    void Send(int client) const;
    void Record(std::string head);

    const std::string m_answer;
    const TMode m_mode;
    TFd m_listener;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
    int m_hangUps = 0;
    std::thread m_thread;
};
