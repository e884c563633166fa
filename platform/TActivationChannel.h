#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

// The text another start of the program sends to the one that runs: "bring your window to
// the front".
inline const QString ActivationText = QStringLiteral("just this Quarlow");

// What one start of the program tells the one that already runs.
struct TActivation
{
    QString Text;
    QStringList Paths;
};

enum class THandOver
{
    // The running instance has received the message.
    Delivered,
    // Nobody listens on the channel (no socket, or a socket left behind by a crashed run).
    NobodyListens,
    // Something listens but took no message: it did not answer in time, or belongs to
    // another user.
    NotTaken
};

// The local socket a channel of that name listens on: in the user's runtime folder, named
// from the channel's text and the user id.
QString ActivationServerName(const QString& channel);

// Sends `message` to the instance listening on `serverName` and waits, at most
// `timeoutMs`, until it confirms. Blocks; needs no event loop.
THandOver HandOverActivation(const QString& serverName, const TActivation& message, int timeoutMs);

enum class TChannelState
{
    // This instance is the one that runs; others hand their messages to it.
    Listening,
    // Another instance runs and has the message; this one should end.
    HandedOver,
    Failed
};

struct TChannelStart
{
    TChannelState State = TChannelState::Failed;
    QString Error;
};

// Keeps the program to one instance per user. The first start listens on a local socket
// that only its user can reach; a later start hands its message to it and ends. Every
// message received goes to the handler, whatever its text: the receiver decides what a
// text means.
class TActivationChannel
{
public:
    using THandler = std::function<void(const TActivation&)>;

    explicit TActivationChannel(const QString& channel = ActivationText);
    ~TActivationChannel();
    TActivationChannel(const TActivationChannel&) = delete;
    TActivationChannel& operator=(const TActivationChannel&) = delete;

    // Hands `paths` with the activation text to the running instance or, when none runs,
    // becomes the listener. Blocks for at most `timeoutMs`, however long the running instance
    // takes.
    TChannelStart start(const QStringList& paths, int timeoutMs = 5000);

    void setHandler(THandler handler) { m_handler = std::move(handler); }
    const QString& serverName() const { return m_serverName; }
    bool isListening() const;

private:
    TChannelStart listen();
    void accept();
    void receive(QLocalSocket* socket);

    QString m_serverName;
    std::unique_ptr<QLocalServer> m_server;
    THandler m_handler;
};
