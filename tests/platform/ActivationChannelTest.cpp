// One instance per user: a later start hands its paths to the running one and ends.
#include "QtPrinters.h"
#include "TActivationChannel.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

// Found by GoogleTest beside the types they print.
void PrintTo(THandOver result, std::ostream* os)
{
    *os << (result == THandOver::Delivered       ? "Delivered"
            : result == THandOver::NobodyListens ? "NobodyListens"
                                                 : "NotTaken");
}

void PrintTo(TChannelState state, std::ostream* os)
{
    *os << (state == TChannelState::Listening    ? "Listening"
            : state == TChannelState::HandedOver ? "HandedOver"
                                                 : "Failed");
}

namespace {

// Only a guard against a hang; every wait ends on an event long before.
constexpr int GuardMs = 20000;
constexpr uid_t Nobody = 65534;

// The channel of the running test, the same at every call; no other test, and no other run
// of the tests, uses it. Short, as the path of a socket has to be.
QString TestChannel()
{
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString testName = QString::fromLatin1(test->test_suite_name()) + '.' + test->name();
    return QStringLiteral("quarlow-test-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(qHash(testName, 0), 0, 16);
}

// Runs `work` on a thread of its own, as a second start of the program would run in a
// process of its own, while this thread's event loop serves the listener.
template <typename F> auto InSecondStart(F work)
{
    decltype(work()) result{};
    std::unique_ptr<QThread> thread(QThread::create([&] { result = work(); }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(GuardMs, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();
    return result;
}

THandOver SendFromSecondStart(const QString& serverName, const TActivation& message)
{
    return InSecondStart([&] { return HandOverActivation(serverName, message, GuardMs); });
}

TChannelState StartSecond(const QString& channel, const QStringList& paths)
{
    return InSecondStart([&] { return TActivationChannel(channel).start(paths, GuardMs).State; });
}

// Writes raw bytes as a client; true when the listener then hangs up.
bool SendRawFromSecondStart(const QString& serverName, const QByteArray& bytes)
{
    return InSecondStart([&] {
        QLocalSocket socket;
        socket.connectToServer(serverName);
        if (!socket.waitForConnected(GuardMs))
            return false;
        socket.write(bytes);
        socket.waitForBytesWritten(GuardMs);
        return socket.waitForDisconnected(GuardMs);
    });
}

// A channel that listens and keeps every message it receives.
struct TListener
{
    explicit TListener(const QString& channel) : Channel(channel)
    {
        Channel.setHandler([this](const TActivation& message) { Received.append(message); });
    }

    TActivationChannel Channel;
    QList<TActivation> Received;
};

sockaddr_un AddressOf(const QByteArray& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    memcpy(address.sun_path, path.constData(),
           std::min(size_t(path.size()), sizeof(address.sun_path) - 1));
    return address;
}

// A socket file as a crashed run leaves it: bound, then closed without being removed.
void LeaveDeadSocket(const QString& path)
{
    const sockaddr_un address = AddressOf(QFile::encodeName(path));
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    const int bound = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    close(fd);
    ASSERT_EQ(bound, 0) << strerror(errno);
    ASSERT_TRUE(QFileInfo::exists(path));
}

struct TPathsCase
{
    const char* name;
    QStringList paths;
};

void PrintTo(const TPathsCase& c, std::ostream* os)
{
    *os << c.name;
}

class ActivationChannelPathsTest : public ::testing::TestWithParam<TPathsCase>
{};

TEST_P(ActivationChannelPathsTest, TheRunningInstanceGetsThePathsExactlyAndInOrder)
{
    TListener first(TestChannel());
    ASSERT_EQ(first.Channel.start({}, GuardMs).State, TChannelState::Listening);

    EXPECT_EQ(StartSecond(TestChannel(), GetParam().paths), TChannelState::HandedOver);

    ASSERT_EQ(first.Received.size(), 1);
    EXPECT_EQ(first.Received[0].Text, ActivationText);
    EXPECT_EQ(first.Received[0].Paths, GetParam().paths);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ActivationChannelPathsTest,
    ::testing::Values(TPathsCase{"none", {}},
                      TPathsCase{"plain", {"/music/a.flac", "/music/b.ape", "/music/c.wav"}},
                      // A name with a newline, one with a byte that is no UTF-8 (U+DCE9 stands for
                      // 0xE9), an empty one, characters beyond the BMP.
                      TPathsCase{"odd_names",
                                 {QStringLiteral("/m/line\nbreak.flac"),
                                  QStringLiteral("/m/caf") + QChar(0xDCE9) + QStringLiteral(".ape"),
                                  QString(), QString::fromUtf8("/m/日 \U0001F3B5 \"q\".wav"),
                                  QStringLiteral("/m/z.flac")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ActivationChannelTest, TheListenerServesEveryClientAndPassesOnAnyText)
{
    TListener first(TestChannel());
    ASSERT_EQ(first.Channel.start({}, GuardMs).State, TChannelState::Listening);
    const QString name = first.Channel.serverName();

    EXPECT_EQ(SendFromSecondStart(name, {ActivationText, {"/a.flac"}}), THandOver::Delivered);
    // The receiver judges the text; the channel hands on what came.
    EXPECT_EQ(SendFromSecondStart(name, {"something else", {"/b.flac"}}), THandOver::Delivered);
    EXPECT_EQ(SendFromSecondStart(name, {ActivationText, {}}), THandOver::Delivered);

    ASSERT_EQ(first.Received.size(), 3);
    EXPECT_EQ(first.Received[0].Paths, QStringList{"/a.flac"});
    EXPECT_EQ(first.Received[1].Text, "something else");
    EXPECT_EQ(first.Received[1].Paths, QStringList{"/b.flac"});
    EXPECT_EQ(first.Received[2].Text, ActivationText);
}

// A message as the program frames it: its size in 32 bits, big-endian, then the payload.
QByteArray Framed(const QByteArray& payload)
{
    QByteArray size(4, '\0');
    qToBigEndian(quint32(payload.size()), size.data());
    return size + payload;
}

QByteArray Streamed(const QString& text, const std::optional<QStringList>& paths)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << text;
    if (paths)
        out << *paths;
    return bytes;
}

struct TRawCase
{
    const char* name;
    QByteArray bytes;
    bool taken;
};

void PrintTo(const TRawCase& c, std::ostream* os)
{
    *os << c.name;
}

class ActivationChannelRawTest : public ::testing::TestWithParam<TRawCase>
{};

TEST_P(ActivationChannelRawTest, OnlyAWholeMessageIsTakenAndTheNextClientIsServed)
{
    TListener first(TestChannel());
    ASSERT_EQ(first.Channel.start({}, GuardMs).State, TChannelState::Listening);
    const QString name = first.Channel.serverName();

    // The listener hangs up either way: after its answer, or on a broken message at once.
    EXPECT_TRUE(SendRawFromSecondStart(name, GetParam().bytes));
    EXPECT_EQ(first.Received.size(), GetParam().taken ? 1 : 0);

    EXPECT_EQ(SendFromSecondStart(name, {ActivationText, {"/c.flac"}}), THandOver::Delivered);
    ASSERT_FALSE(first.Received.isEmpty());
    EXPECT_EQ(first.Received.last().Paths, QStringList{"/c.flac"});
}

INSTANTIATE_TEST_SUITE_P(
    Raw, ActivationChannelRawTest,
    ::testing::Values(TRawCase{"whole_message", Framed(Streamed("t", QStringList{"/x"})), true},
                      TRawCase{"size_beyond_bound", QByteArray("\xFF\xFF\xFF\xFF", 4), false},
                      TRawCase{"text_cut_short",
                               Framed(QByteArray("\0\0\0\x08"
                                                 "ab",
                                                 6)),
                               false},
                      TRawCase{"no_paths", Framed(Streamed("t", std::nullopt)), false},
                      TRawCase{"trailing_bytes", Framed(Streamed("t", QStringList{"/x"}) + "!"),
                               false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ActivationChannelTest, NobodyListensWithoutASocketOrOnADeadOne)
{
    const QString name = ActivationServerName(TestChannel());
    EXPECT_EQ(HandOverActivation(name, {ActivationText, {}}, GuardMs), THandOver::NobodyListens);

    LeaveDeadSocket(name);
    EXPECT_EQ(HandOverActivation(name, {ActivationText, {}}, GuardMs), THandOver::NobodyListens);
    QLocalServer::removeServer(name);
}

TEST(ActivationChannelTest, TheSocketOfACrashedRunDoesNotStopTheNextStart)
{
    TListener first(TestChannel());
    LeaveDeadSocket(first.Channel.serverName());

    ASSERT_EQ(first.Channel.start({}, GuardMs).State, TChannelState::Listening);
    EXPECT_EQ(StartSecond(TestChannel(), {"/d.flac"}), TChannelState::HandedOver);
    ASSERT_EQ(first.Received.size(), 1);
    EXPECT_EQ(first.Received[0].Paths, QStringList{"/d.flac"});
}

TEST(ActivationChannelTest, AfterTheListenerEndsTheNextStartListens)
{
    QString name;
    {
        TActivationChannel first(TestChannel());
        ASSERT_EQ(first.start({}, GuardMs).State, TChannelState::Listening);
        name = first.serverName();
        ASSERT_TRUE(QFileInfo::exists(name));
    }
    EXPECT_FALSE(QFileInfo::exists(name));
    EXPECT_FALSE(QFileInfo::exists(name + ".lock"));

    TListener next(TestChannel());
    ASSERT_EQ(next.Channel.start({"/e.flac"}, GuardMs).State, TChannelState::Listening);
    EXPECT_TRUE(next.Received.isEmpty());
    EXPECT_EQ(StartSecond(TestChannel(), {"/f.flac"}), TChannelState::HandedOver);
    ASSERT_EQ(next.Received.size(), 1);
    EXPECT_EQ(next.Received[0].Paths, QStringList{"/f.flac"});
}

TEST(ActivationChannelTest, AListenerThatNeverAnswersKeepsItsSocket)
{
    const QString channel = TestChannel();
    QLocalServer deaf;
    ASSERT_TRUE(deaf.listen(ActivationServerName(channel)));

    // The connection is taken by the system; nobody reads it, so the bound runs out.
    const TChannelStart second =
        InSecondStart([&] { return TActivationChannel(channel).start({"/g.flac"}, 300); });
    EXPECT_EQ(second.State, TChannelState::Failed);
    EXPECT_FALSE(second.Error.isEmpty());
    EXPECT_TRUE(deaf.isListening());
    EXPECT_TRUE(QFileInfo::exists(deaf.fullServerName()));
}

TEST(ActivationChannelTest, TheSocketIsForItsUserOnly)
{
    TActivationChannel first(TestChannel());
    ASSERT_EQ(first.start({}, GuardMs).State, TChannelState::Listening);
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_EQ(QFileInfo(first.serverName()).permissions() & others, QFile::Permissions());
}

// A child process that runs as another user: it does `work` and exits with its result, or
// with 100 + errno where a step failed. The parent gets the child's pid and a pipe on which
// the child writes one byte when it is ready.
struct TOtherUser
{
    pid_t Pid = -1;
    int Ready = -1;
};

template <typename F> TOtherUser RunAsNobody(F work)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        if (setgid(Nobody) != 0 || setuid(Nobody) != 0)
            _exit(99);
        _exit(work(pipeFds[1]));
    }
    close(pipeFds[1]);
    return {pid, pipeFds[0]};
}

int ExitCodeOf(pid_t pid)
{
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ActivationChannelTest, AnotherUserCannotConnect)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    TActivationChannel first(TestChannel());
    ASSERT_EQ(first.start({}, GuardMs).State, TChannelState::Listening);

    const sockaddr_un address = AddressOf(QFile::encodeName(first.serverName()));
    const TOtherUser child = RunAsNobody([&](int) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        const int connected =
            connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        return connected == 0 ? 0 : 100 + errno;
    });
    ASSERT_GT(child.Pid, 0);
    close(child.Ready);
    EXPECT_EQ(ExitCodeOf(child.Pid), 100 + EACCES);
}

// Another user's socket in a folder we would look in, answering like the program: our
// side must notice whose it is before it says anything.
TEST(ActivationChannelTest, ASocketOfAnotherUserGetsNoMessage)
{
    if (getuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_EQ(chmod(QFile::encodeName(folder.path()).constData(), 0777), 0);
    const QString name = folder.filePath("s");
    const sockaddr_un address = AddressOf(QFile::encodeName(name));

    const TOtherUser child = RunAsNobody([&](int ready) {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
            listen(fd, 4) != 0)
            return 100 + errno;
        const char one = 1;
        if (write(ready, &one, 1) != 1)
            return 100 + errno;
        const int client = accept(fd, nullptr, nullptr);
        char message[256];
        const char ack = '\x06';
        if (read(client, message, sizeof(message)) > 0 && write(client, &ack, 1) != 1)
            return 100 + errno;
        pause();
        return 0;
    });
    ASSERT_GT(child.Pid, 0);
    pollfd readyFd{child.Ready, POLLIN, 0};
    char byte = 0;
    const bool listening = poll(&readyFd, 1, GuardMs) == 1 && read(child.Ready, &byte, 1) == 1;
    close(child.Ready);

    const THandOver result = HandOverActivation(name, {ActivationText, {"/h.flac"}}, GuardMs);
    kill(child.Pid, SIGKILL);
    ExitCodeOf(child.Pid);
    ASSERT_TRUE(listening);
    EXPECT_EQ(result, THandOver::NotTaken);
}

} // namespace

// The sockets go to a runtime folder of the run's own, which goes with it; without one Qt
// would make /tmp/runtime-<user> and leave it behind.
int main(int argc, char** argv)
{
    const QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
