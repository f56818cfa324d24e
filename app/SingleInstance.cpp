#include "app/SingleInstance.h"

#include "app/QtPath.h"
#include "platform/UserFolders.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>
#include <QTimer>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <cstdio>
#include <memory>
#include <system_error>
#include <utility>

namespace kestrun {

namespace {

using Clock = std::chrono::steady_clock;

// How long a later start keeps trying to reach a Kestrun that holds the lock
// but does not listen yet (it may still be loading its document).
constexpr auto kReachLimit = std::chrono::seconds(20);

// A request is its kind (4 bytes) and the program's name as a QString: its
// length in bytes (4 bytes, all bits set for a null text), then UTF-16.
constexpr qint64 kRequestHeaderBytes = 8;
constexpr quint32 kNullText = 0xFFFFFFFFu;

// With no descriptor left, the listener waits this long before it takes the
// next connection.
constexpr std::chrono::milliseconds kOutOfDescriptorsPause{150};

// Where a connection's request stands.
enum class Stage { Waiting, Handling, Answered };

const char* const kTooLarge = "Kestrun takes no request larger than 64 KiB: no program name is that long.";

// Says it once per process on standard error: a later start says it at most
// once, a running Kestrun once in its life.
void ReportOnce(bool& reported, const QString& text)
{
    if (!std::exchange(reported, true))
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

bool gFolderReported = false;
bool gImpostorReported = false;

// The length field of the request's name, once the header is there.
std::optional<quint32> AnnouncedNameBytes(QLocalSocket& socket)
{
    if (socket.bytesAvailable() < kRequestHeaderBytes)
        return std::nullopt;
    const QByteArray header = socket.peek(kRequestHeaderBytes);
    QDataStream in(header);
    qint32 kind = 0;
    quint32 bytes = 0;
    in >> kind >> bytes;
    return bytes;
}

bool SameUser(const QLocalSocket& socket)
{
    const std::optional<unsigned> peer = LocalPeerUser(socket.socketDescriptor());
    return peer && *peer == CurrentUser();
}

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

QString LockProblem(QLockFile::LockError error)
{
    return error == QLockFile::PermissionError ? QStringLiteral("permission denied") : QStringLiteral("unknown error");
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
    std::string refused;
    const std::filesystem::path runtime = UserRuntimeFolder(&refused);
#if defined(_WIN32)
    // Names in any letter case are one file, and the pipe's name is one of
    // the whole machine: the user's own folder makes it the user's.
    const QByteArray named = (QtPath(runtime) + QLatin1Char('|') + QtPath(resolved)).toLower().toUtf8();
#else
    const QByteArray named(resolved.c_str());
#endif
    const QByteArray key = QCryptographicHash::hash(named, QCryptographicHash::Sha256).toHex().left(16);
    if (!refused.empty())
        ReportOnce(gFolderReported, QStringLiteral("Kestrun does not use the runtime folder %1: %2. It uses %3 instead.")
                                        .arg(QFile::decodeName(qgetenv("XDG_RUNTIME_DIR")),
                                             QString::fromLocal8Bit(refused.c_str()),
                                             runtime.empty() ? QStringLiteral("none") : QtPath(runtime)));
    if (runtime.empty())
        return {};
    return QtPath(runtime) + QStringLiteral("/kestrun-") + QString::fromLatin1(key);
}

SingleInstance::SingleInstance(const QString& address)
    : address_(address), lock_(address + QStringLiteral(".lock"))
{
    // Held for the whole life of the process: never stale by its age.
    lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    waiting_.reset();
#if defined(_WIN32)
    if (server_)
        server_->close();
#endif
    // Before the members they count on go.
    qDeleteAll(findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly));
    listener_.Close();
    lock_.unlock();
}

std::optional<InstanceReply> SingleInstance::Claim(const InstanceRequest& request, std::chrono::milliseconds patience)
{
    // Without the lock nothing keeps a second copy of the document from
    // running: only a listing, which changes nothing, goes on without it.
    const auto withoutLock = [&request](const QString& why) -> std::optional<InstanceReply> {
        if (request.kind == InstanceRequest::Kind::List)
            return std::nullopt;
        return InstanceReply{1, ("Kestrun " + why + ", which keeps a second copy of the document from running. It ends.")
                                    .toStdString()};
    };
    if (address_.isEmpty())
        return withoutLock(QStringLiteral("has no runtime folder of the user's own for its lock"));
    const auto deadline = Clock::now() + kReachLimit;
    while (!lock_.tryLock(0)) {
        if (lock_.error() != QLockFile::LockFailedError)
            return withoutLock(QStringLiteral("cannot make its lock file %1 (%2)")
                                   .arg(lock_.fileName(), LockProblem(lock_.error())));
        bool gone = false;
        if (auto reply = Deliver(request, patience, gone))
            return reply;
        if (Clock::now() > deadline)
            return InstanceReply{1, "Kestrun is running for this document but does not answer (it holds the lock " +
                                        lock_.fileName().toStdString() +
                                        "). This start ends, so that no second copy of the document runs."};
        if (!gone)
            QThread::msleep(100);
    }
    return std::nullopt;
}

std::optional<InstanceReply> SingleInstance::Deliver(const InstanceRequest& request,
                                                     std::chrono::milliseconds patience, bool& gone)
{
    const QString program = QString::fromStdString(request.program);
    if (qint64(program.size()) * 2 + kRequestHeaderBytes > kMaxRequestBytes)
        return InstanceReply{2, kTooLarge};
    QLocalSocket socket;
    socket.connectToServer(SocketName());
    if (!socket.waitForConnected(500))
        return std::nullopt;
    // Whoever else listens under this name never gets a request, nor answers one.
    if (!SameUser(socket)) {
        ReportOnce(gImpostorReported, QStringLiteral("Kestrun ignores the socket %1: it belongs to another user.")
                                          .arg(socket.fullServerName()));
        return std::nullopt;
    }
    Write(socket, qint32(request.kind), program);

    // A listing and a stop have to wait for their answer; a run or a showing
    // is handed over once it is written.
    const bool mustAnswer = request.kind == InstanceRequest::Kind::List || request.kind == InstanceRequest::Kind::Stop;
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
    // Whatever is there was left by a Kestrun that ended without cleaning up:
    // the lock says no other one lives.
#if defined(_WIN32)
    // A pipe of the user's only; the system removes it with its process.
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->setMaxPendingConnections(kMostConnections);
    if (!server_->listen(SocketName())) {
        error = server_->errorString();
        server_.reset();
        return false;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::Accept);
    return true;
#else
    std::string why;
    if (!listener_.Listen(QFile::encodeName(SocketName()).toStdString(), why)) {
        error = QString::fromLocal8Bit(why.c_str());
        return false;
    }
    waiting_ = std::make_unique<QSocketNotifier>(listener_.descriptor(), QSocketNotifier::Read);
    connect(waiting_.get(), &QSocketNotifier::activated, this, &SingleInstance::Accept);
    return true;
#endif
}

QString SingleInstance::SocketName() const
{
#if defined(_WIN32)
    // A named pipe's name holds no backslash: the address's last part, which
    // carries the key of the user's folder and the document.
    return address_.mid(address_.lastIndexOf(QLatin1Char('/')) + 1);
#else
    return address_ + QStringLiteral(".socket");
#endif
}

void SingleInstance::Accept()
{
#if defined(_WIN32)
    // The pipe's later instances wait in the server until there is room.
    while (server_ && connections_ < kMostConnections && server_->hasPendingConnections())
        Serve(server_->nextPendingConnection());
#else
    while (connections_ < kMostConnections) {
        const LocalListener::Accepted accepted = listener_.Accept();
        if (accepted.taken == LocalListener::Taken::NoneWaiting)
            return;
        if (accepted.taken == LocalListener::Taken::OutOfDescriptors) {
            // The connection stays queued; taking it again at once would spin.
            paused_ = true;
            waiting_->setEnabled(false);
            QTimer::singleShot(kOutOfDescriptorsPause, this, [this] {
                paused_ = false;
                ResumeAccepting();
            });
            return;
        }
        auto* socket = new QLocalSocket(this);
        if (!socket->setSocketDescriptor(accepted.descriptor)) {
            ::close(accepted.descriptor);
            delete socket;
            continue;
        }
        Serve(socket);
    }
    waiting_->setEnabled(false);  // until one of them is closed
#endif
}

void SingleInstance::ResumeAccepting()
{
#if defined(_WIN32)
    Accept();
#else
    if (waiting_ && !paused_ && connections_ < kMostConnections)
        waiting_->setEnabled(true);
#endif
}

void SingleInstance::Serve(QLocalSocket* socket)
{
    socket->setParent(this);
    ++connections_;
    connect(socket, &QObject::destroyed, this, [this] {
        --connections_;
        ResumeAccepting();
    });
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!SameUser(*socket)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    // Qt reads no more than this much ahead; a larger request is refused
    // from its header, before its name is read.
    socket->setReadBufferSize(kMaxRequestBytes);
    const auto close = [socket] {
        socket->abort();
        socket->deleteLater();
    };
    // Once answered, the client has a while to take the answer.
    const auto finish = [socket, close] {
        socket->disconnectFromServer();
        QTimer::singleShot(kConnectionLifetime, socket, close);
    };
    const auto stage = std::make_shared<Stage>(Stage::Waiting);
    const auto answer = [this, socket, stage, finish] {
        if (*stage != Stage::Waiting)
            return;
        const std::optional<quint32> nameBytes = AnnouncedNameBytes(*socket);
        if (nameBytes && *nameBytes != kNullText && *nameBytes > kMaxRequestBytes - kRequestHeaderBytes) {
            *stage = Stage::Answered;
            Write(*socket, qint32(2), QString::fromLatin1(kTooLarge));
            finish();
            return;
        }
        qint32 kind = 0;
        QString program;
        if (!Read(*socket, kind, program))
            return;
        *stage = Stage::Handling;
        InstanceRequest request;
        if (kind < qint32(InstanceRequest::Kind::Show) || kind > qint32(InstanceRequest::Kind::Stop)) {
            *stage = Stage::Answered;
            finish();
            return;
        }
        request.kind = InstanceRequest::Kind(kind);
        request.program = program.toStdString();
        // The handler may show a message box, whose event loop sees the
        // client go: the connection may be gone when it returns.
        const QPointer<QLocalSocket> alive(socket);
        const InstanceReply reply = handler_(request);
        if (!alive)
            return;
        *stage = Stage::Answered;
        if (socket->state() == QLocalSocket::ConnectedState)
            Write(*socket, qint32(reply.status), QString::fromStdString(reply.text));
        finish();
    };
    connect(socket, &QLocalSocket::readyRead, this, answer);
    // A request that came while the event loop stood still (a run) is served
    // still; a connection that has sent none by then frees its place.
    QTimer::singleShot(kConnectionLifetime, socket, [socket, stage, answer, close] {
        socket->waitForReadyRead(0);
        answer();
        if (*stage == Stage::Waiting)
            close();
    });
}

}  // namespace kestrun
