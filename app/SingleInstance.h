#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <chrono>
#include <filesystem>
#include <functional>
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
    /// loop. False with `error` set when the socket cannot be made.
    bool Listen(Handler handler);
    QString error;

private:
    std::optional<InstanceReply> Deliver(const InstanceRequest& request, std::chrono::milliseconds patience,
                                         bool& gone);
    void Accept();

    QString address_;
    QLockFile lock_;
    QLocalServer server_;
    Handler handler_;
};

}  // namespace kestrun
