#pragma once

#include "platform/LocalListener.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kestrun {

/// What a later start of Kestrun asks of the running one.
struct InstanceRequest {
    enum class Kind { Show, Run, List, Stop };
    Kind kind = Kind::Show;
    /// The program to run (Run).
    std::string program;
};

/// The running Kestrun's answer: the later start's exit status and what it
/// prints (on standard output with status 0, on standard error otherwise).
struct InstanceReply {
    int status = 0;
    std::string text;
};

/// The largest request a later start may send: no program name is longer.
/// A larger one is refused from its first bytes, and never read whole.
inline constexpr qint64 kMaxRequestBytes = 64 * 1024;

/// How many later starts a running Kestrun talks to at once, and how long
/// each one may take to send its request and read the answer.
inline constexpr int kMostConnections = 64;
inline constexpr std::chrono::milliseconds kConnectionLifetime{5000};

/// The socket and lock of the Kestrun of one user and one document: in the
/// user's runtime folder (one that only the user may write to), named after
/// the document's path. Says once on standard error when $XDG_RUNTIME_DIR
/// names a folder that does not qualify. Empty when the user has no such
/// folder at all.
QString InstanceAddress(const std::filesystem::path& document);

/// One Kestrun per user and document. The first start holds a lock for as
/// long as it lives and listens on a local socket; a later start finds the
/// lock taken, sends its request over the socket and ends with the answer.
/// A Kestrun that was killed leaves nothing that blocks the next start: its
/// lock names a process that no longer runs and is taken over, and its socket
/// file is replaced. Requests go only to, and come only from, processes of
/// the same user; the lock alone decides which process is the one instance,
/// also when that one cannot listen.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<InstanceReply(const InstanceRequest&)>;

    explicit SingleInstance(const QString& address);
    ~SingleInstance() override;

    /// Either makes this process the one instance (the result is empty; then
    /// Listen), or hands the request to the running one and returns its
    /// answer. A running Kestrun that is busy with a run answers a request
    /// for a run or a showing once the run is over; until then the request
    /// counts as handed over after `patience`. Where no lock can be made at
    /// all, a listing goes on alone (the result is empty) and any other
    /// request ends with a reply saying why.
    std::optional<InstanceReply> Claim(const InstanceRequest& request,
                                       std::chrono::milliseconds patience = std::chrono::seconds(5));

    /// Answers the requests of later starts with `handler`, from the event
    /// loop. False with `error` set when the socket cannot be made. Once
    /// listening it goes on, whatever clients do: a connection that has not
    /// sent its request and taken its answer in kConnectionLifetime is
    /// closed, at most kMostConnections are open at once (the others wait
    /// to be taken), and with no descriptor left it pauses for a moment.
    bool Listen(Handler handler);
    QString error;

private:
    std::optional<InstanceReply> Deliver(const InstanceRequest& request, std::chrono::milliseconds patience,
                                         bool& gone);
    void Accept();
    void Serve(QLocalSocket* socket);
    void ResumeAccepting();
    /// The local socket's name: a file beside the lock, or on Windows a named pipe's.
    QString SocketName() const;

    QString address_;
    QLockFile lock_;
    LocalListener listener_;
    std::unique_ptr<QLocalServer> server_;  // Windows' named pipe
    std::unique_ptr<QSocketNotifier> waiting_;
    bool paused_ = false;
    int connections_ = 0;
    Handler handler_;
};

}  // namespace kestrun
