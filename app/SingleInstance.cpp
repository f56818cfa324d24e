#include "app/SingleInstance.h"

#include "platform/UserFolders.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <system_error>

namespace kestrun {

namespace {

using Clock = std::chrono::steady_clock;

// How long a later start keeps trying to reach a Kestrun that holds the lock
// but does not listen yet (it may still be loading its document).
constexpr auto kReachLimit = std::chrono::seconds(20);

void Write(QLocalSocket& socket, const auto&... values)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    (out << ... << values);
    socket.write(bytes);
    socket.flush();
}

// Reads a whole message once it is there; false while it is incomplete.
bool Read(QLocalSocket& socket, auto&... values)
{
    QDataStream in(&socket);
    in.startTransaction();
    (in >> ... >> values);
    return in.commitTransaction();
}

int Milliseconds(Clock::duration duration)
{
    return int(std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()));
}

}  // namespace

QString InstanceAddress(const std::filesystem::path& document)
{
    std::error_code ignored;
    std::filesystem::path resolved = std::filesystem::weakly_canonical(std::filesystem::absolute(document), ignored);
    if (resolved.empty())
        resolved = document;
    const QByteArray key =
        QCryptographicHash::hash(QByteArray(resolved.c_str()), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    const std::filesystem::path runtime = UserRuntimeFolder();
    const QString folder = runtime.empty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                                           : QFile::decodeName(runtime.c_str());
    return folder + QStringLiteral("/kestrun-") + QString::fromLatin1(key);
}

SingleInstance::SingleInstance(const QString& address)
    : address_(address), lock_(address + QStringLiteral(".lock"))
{
    // Held for the whole life of the process: never stale by its age.
    lock_.setStaleLockTime(0);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
}

SingleInstance::~SingleInstance()
{
    server_.close();
    lock_.unlock();
}

std::optional<InstanceReply> SingleInstance::Claim(const InstanceRequest& request, std::chrono::milliseconds patience)
{
    const auto deadline = Clock::now() + kReachLimit;
    while (!lock_.tryLock(0)) {
        // With no place for the lock (a runtime folder that is missing or
        // not ours) Kestrun runs on its own rather than not at all.
        if (lock_.error() != QLockFile::LockFailedError)
            return std::nullopt;
        bool gone = false;
        if (auto reply = Deliver(request, patience, gone))
            return reply;
        if (Clock::now() > deadline)
            return InstanceReply{1, "Kestrun is running but does not answer."};
        if (!gone)
            QThread::msleep(100);
    }
    return std::nullopt;
}

std::optional<InstanceReply> SingleInstance::Deliver(const InstanceRequest& request,
                                                     std::chrono::milliseconds patience, bool& gone)
{
    QLocalSocket socket;
    socket.connectToServer(address_ + QStringLiteral(".socket"));
    if (!socket.waitForConnected(500))
        return std::nullopt;
    Write(socket, qint32(request.kind), QString::fromStdString(request.program));

    // A listing has to wait for its answer; a run or a showing is handed over
    // once it is written, and the running Kestrun takes it after its own run.
    const bool mustAnswer = request.kind == InstanceRequest::Kind::List;
    const auto deadline = Clock::now() + (mustAnswer ? kReachLimit : patience);
    qint32 status = 0;
    QString text;
    while (!Read(socket, status, text)) {
        if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0) {
            gone = true;  // it ended before it answered: try to be the one
            return std::nullopt;
        }
        if (Clock::now() > deadline) {
            socket.waitForBytesWritten(Milliseconds(std::chrono::seconds(1)));
            if (mustAnswer)
                return InstanceReply{1, "Kestrun is running but does not answer."};
            return InstanceReply{0, {}};
        }
        socket.waitForReadyRead(Milliseconds(deadline - Clock::now()));
    }
    return InstanceReply{status, text.toStdString()};
}

bool SingleInstance::Listen(Handler handler)
{
    handler_ = std::move(handler);
    const QString socketName = address_ + QStringLiteral(".socket");
    // Whatever is there was left by a Kestrun that ended without cleaning up:
    // the lock says no other one lives.
    QLocalServer::removeServer(socketName);
    if (!server_.listen(socketName)) {
        error = server_.errorString();
        return false;
    }
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
    return true;
}

void SingleInstance::Accept()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto answer = [this, socket] {
            qint32 kind = 0;
            QString program;
            if (!Read(*socket, kind, program))
                return;
            InstanceRequest request;
            if (kind < qint32(InstanceRequest::Kind::Show) || kind > qint32(InstanceRequest::Kind::List)) {
                socket->disconnectFromServer();
                return;
            }
            request.kind = InstanceRequest::Kind(kind);
            request.program = program.toStdString();
            const InstanceReply reply = handler_(request);
            if (socket->state() == QLocalSocket::ConnectedState)
                Write(*socket, qint32(reply.status), QString::fromStdString(reply.text));
            socket->disconnectFromServer();
        };
        connect(socket, &QLocalSocket::readyRead, this, answer);
        if (socket->bytesAvailable() > 0)
            answer();
    }
}

}  // namespace kestrun
