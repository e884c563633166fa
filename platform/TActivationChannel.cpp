#include "TActivationChannel.h"

#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QUrl>
#include <QtEndian>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A message on the wire: its size as a 32-bit big-endian number, then the text and the
// paths as QDataStream writes them, which keeps every UTF-16 unit as it is (newlines, lone
// surrogates standing for bytes of a name that are no UTF-8). The receiver answers with
// one byte.
constexpr auto StreamVersion = QDataStream::Qt_6_0;
constexpr qsizetype SizeBytes = sizeof(quint32);
// Far above any drop of paths; a bound on what a broken client can make us buffer.
constexpr quint32 MaxMessageBytes = 64 * 1024 * 1024;
constexpr char Ack = '\x06';

QByteArray Frame(const TActivation& message)
{
    QByteArray payload;
    QDataStream out(&payload, QIODevice::WriteOnly);
    out.setVersion(StreamVersion);
    out << message.Text << message.Paths;
    QByteArray frame(SizeBytes, '\0');
    qToBigEndian(quint32(payload.size()), frame.data());
    return frame + payload;
}

std::optional<TActivation> Unframe(const QByteArray& payload)
{
    QDataStream in(payload);
    in.setVersion(StreamVersion);
    TActivation message;
    in >> message.Text >> message.Paths;
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return std::nullopt;
    return message;
}

// Permission bits keep other users off the socket; this also keeps us from talking to a
// socket another user put in our place (the /tmp fallback is open to everyone).
bool PeerIsThisUser(const QLocalSocket& socket)
{
    ucred peer{};
    socklen_t size = sizeof(peer);
    const int fd = int(socket.socketDescriptor());
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

int Remaining(const QDeadlineTimer& deadline)
{
    return int(deadline.remainingTime());
}

bool WriteAll(QLocalSocket& socket, const QByteArray& bytes, const QDeadlineTimer& deadline)
{
    if (socket.write(bytes) != bytes.size())
        return false;
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(Remaining(deadline)))
            return false;
    return true;
}

bool ReadAck(QLocalSocket& socket, const QDeadlineTimer& deadline)
{
    while (socket.bytesAvailable() < 1)
        if (!socket.waitForReadyRead(Remaining(deadline)))
            return false;
    char answer = 0;
    return socket.getChar(&answer) && answer == Ack;
}

THandOver Connect(QLocalSocket& socket, const QString& serverName, const QDeadlineTimer& deadline)
{
    socket.connectToServer(serverName);
    if (socket.waitForConnected(Remaining(deadline)))
        return PeerIsThisUser(socket) ? THandOver::Delivered : THandOver::NotTaken;
    const auto error = socket.error();
    const bool nobody =
        error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError;
    return nobody ? THandOver::NobodyListens : THandOver::NotTaken;
}

// Drops a connection without a word and without calling anything on it afterwards.
void Drop(QLocalSocket* socket)
{
    socket->disconnect();
    socket->abort();
    socket->deleteLater();
}

} // namespace

QString ActivationServerName(const QString& channel)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QString file =
        QString::fromLatin1(QUrl::toPercentEncoding(channel)) + '-' + QString::number(getuid());
    return folder + '/' + file;
}

THandOver HandOverActivation(const QString& serverName, const TActivation& message, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    const THandOver connected = Connect(socket, serverName, deadline);
    if (connected != THandOver::Delivered)
        return connected;
    const bool taken = WriteAll(socket, Frame(message), deadline) && ReadAck(socket, deadline);
    return taken ? THandOver::Delivered : THandOver::NotTaken;
}

TActivationChannel::TActivationChannel(const QString& channel)
    : m_serverName(ActivationServerName(channel))
{}

TActivationChannel::~TActivationChannel() = default;

bool TActivationChannel::isListening() const
{
    return m_server && m_server->isListening();
}

TChannelStart TActivationChannel::start(const QStringList& paths, int timeoutMs)
{
    if (isListening())
        return {TChannelState::Listening, {}};
    // Two starts at the same moment must not both find nobody and both listen.
    const QDeadlineTimer deadline(timeoutMs);
    QLockFile lock(m_serverName + ".lock");
    if (!lock.tryLock(Remaining(deadline)))
        return {TChannelState::Failed, QStringLiteral("Another start holds ") + lock.fileName()};
    switch (HandOverActivation(m_serverName, {ActivationText, paths}, Remaining(deadline))) {
    case THandOver::Delivered:
        return {TChannelState::HandedOver, {}};
    case THandOver::NobodyListens:
        return listen();
    case THandOver::NotTaken:
        break;
    }
    return {TChannelState::Failed,
            QStringLiteral("The instance listening on %1 took no message").arg(m_serverName)};
}

TChannelStart TActivationChannel::listen()
{
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // Nobody answered on the name: whatever socket file is there was left by a crashed run.
    // Removed here rather than left to listen(), which replaces it today only because of the
    // way it applies the access option.
    QLocalServer::removeServer(m_serverName);
    if (!server->listen(m_serverName))
        return {TChannelState::Failed, server->errorString()};
    QObject::connect(server.get(), &QLocalServer::newConnection, server.get(),
                     [this] { accept(); });
    m_server = std::move(server);
    return {TChannelState::Listening, {}};
}

void TActivationChannel::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (!PeerIsThisUser(*socket)) {
            Drop(socket);
            continue;
        }
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket,
                         [this, socket] { receive(socket); });
        receive(socket);
    }
}

// Called as bytes come in; acts once the whole message is there. The handler runs last and
// must not destroy the channel.
void TActivationChannel::receive(QLocalSocket* socket)
{
    const QByteArray head = socket->peek(SizeBytes);
    if (head.size() < SizeBytes)
        return;
    const quint32 size = qFromBigEndian<quint32>(head.constData());
    if (size > MaxMessageBytes)
        return Drop(socket);
    if (socket->bytesAvailable() < SizeBytes + qsizetype(size))
        return;
    socket->skip(SizeBytes);
    const std::optional<TActivation> message = Unframe(socket->read(size));
    if (!message)
        return Drop(socket);
    socket->putChar(Ack);
    socket->disconnectFromServer();
    if (m_handler)
        m_handler(*message);
}
