#include "TVersionServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int GiveUpMs = 120000;

// Loopback requests must never go to a proxy that the environment names; programs the tests
// start inherit this.
class TDirectLoopback : public ::testing::Environment
{
public:
    void SetUp() override { qputenv("no_proxy", "127.0.0.1"); }
};
const auto* const DirectLoopback = ::testing::AddGlobalTestEnvironment(new TDirectLoopback);

// A TCP socket bound to 127.0.0.1 and an ephemeral port.
int BoundLoopbackSocket()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        ADD_FAILURE() << "bind: " << std::strerror(errno);
    return fd;
}

QString HostOf(const TFd& socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &length);
    return QStringLiteral("127.0.0.1:%1").arg(ntohs(address.sin_port));
}

} // namespace

TFd::TFd(int fd) : m_fd(fd)
{
    if (fd < 0)
        ADD_FAILURE() << std::strerror(errno);
}

TFd::~TFd()
{
    if (m_fd >= 0)
        close(m_fd);
}

TRefusingPort::TRefusingPort() : m_socket(BoundLoopbackSocket()) {}

QString TRefusingPort::Host() const
{
    return HostOf(m_socket);
}

std::string HttpAnswer(const std::string& status, const std::string& body)
{
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::string VersionFile(const std::string& fileVersion, const std::string& productVersion)
{
    return "[version]\r\n" + fileVersion + "\r\n[productversion]\r\n" + productVersion + "\r\n";
}

TVersionServer::TVersionServer(std::string answer, TMode mode)
    : m_answer(std::move(answer)), m_mode(mode), m_listener(BoundLoopbackSocket())
{
    listen(m_listener.get(), 4);
    int wake[2] = {-1, -1};
    if (pipe2(wake, O_CLOEXEC) != 0)
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];
    m_thread = std::thread([this] { Serve(); });
}

TVersionServer::~TVersionServer()
{
    const char stop = 0;
    if (write(m_wakeWrite, &stop, 1) != 1)
        ADD_FAILURE() << "wake: " << std::strerror(errno);
    m_thread.join();
    close(m_wakeRead);
    close(m_wakeWrite);
}

QString TVersionServer::Host() const
{
    return HostOf(m_listener);
}

std::vector<std::string> TVersionServer::Requests() const
{
    const std::lock_guard lock(m_mutex);
    return m_requests;
}

int TVersionServer::HangUps() const
{
    const std::lock_guard lock(m_mutex);
    return m_hangUps;
}

TVersionServer::TWake TVersionServer::Wait(int fd, int timeoutMs) const
{
    pollfd fds[] = {{fd, POLLIN, 0}, {m_wakeRead, POLLIN, 0}};
    int ready = 0;
    do {
        ready = poll(fds, 2, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0)
        return TWake::TimedOut;
    return fds[1].revents != 0 || ready < 0 ? TWake::Stopped : TWake::Readable;
}

void TVersionServer::Serve()
{
    while (Wait(m_listener.get()) == TWake::Readable) {
        const TFd client(accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (client.get() < 0)
            return;
        Record(ReadHead(client.get()));
        if (m_mode == TMode::Answer || StallUntilClientGivesUp(client.get()))
            Send(client.get());
    }
}

std::string TVersionServer::ReadHead(int client) const
{
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && Wait(client) == TWake::Readable) {
        const ssize_t n = recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        head.append(buffer, size_t(n));
    }
    return head;
}

// True when the client did not give up in time.
bool TVersionServer::StallUntilClientGivesUp(int client)
{
    char buffer[256];
    for (;;) {
        const TWake wake = Wait(client, GiveUpMs);
        if (wake != TWake::Readable)
            return wake == TWake::TimedOut;
        if (recv(client, buffer, sizeof buffer, 0) <= 0) {
            const std::lock_guard lock(m_mutex);
            ++m_hangUps;
            return false;
        }
    }
}

// A client that stops reading early (a body too large for it) ends the sending.
void TVersionServer::Send(int client) const
{
    for (size_t sent = 0; sent < m_answer.size();) {
        const ssize_t n =
            send(client, m_answer.data() + sent, m_answer.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += size_t(n);
    }
    shutdown(client, SHUT_WR);
}

void TVersionServer::Record(std::string head)
{
    const std::lock_guard lock(m_mutex);
    m_requests.push_back(std::move(head));
}
