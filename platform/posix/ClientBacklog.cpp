#include "platform/posix/ClientBacklog.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace kestrun {

namespace {

// A netlink socket for the kernel's socket diagnostics, closed with the object.
class DiagnosticSocket {
public:
    DiagnosticSocket() : fd_(socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG)) {}
    ~DiagnosticSocket()
    {
        if (fd_ >= 0)
            close(fd_);
    }
    DiagnosticSocket(const DiagnosticSocket&) = delete;
    DiagnosticSocket& operator=(const DiagnosticSocket&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// One unix socket as the kernel describes it.
struct UnixSocket {
    unsigned long inode = 0;
    unsigned state = 0;
    std::size_t unread = 0;
    unsigned long peer = 0;
    std::string name;
};

// Every unix socket of the system, with what is asked of each; nothing when
// the kernel does not say.
std::optional<std::vector<UnixSocket>> UnixSockets(unsigned show)
{
    const DiagnosticSocket diag;
    if (diag.fd() < 0)
        return std::nullopt;
    struct {
        nlmsghdr header;
        unix_diag_req request;
    } query{};
    query.header.nlmsg_len = sizeof query;
    query.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    query.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    query.request.sdiag_family = AF_UNIX;
    query.request.udiag_states = ~0u;
    query.request.udiag_show = show;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(diag.fd(), &query, sizeof query, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) < 0)
        return std::nullopt;

    std::vector<UnixSocket> sockets;
    alignas(nlmsghdr) char buffer[32768];
    for (;;) {
        const ssize_t length = recv(diag.fd(), buffer, sizeof buffer, 0);
        if (length <= 0)
            return std::nullopt;
        int left = static_cast<int>(length);
        for (auto* message = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(message, left);
             message = NLMSG_NEXT(message, left)) {
            if (message->nlmsg_type == NLMSG_DONE)
                return sockets;
            if (message->nlmsg_type == NLMSG_ERROR)
                return std::nullopt;
            const auto* socketInfo = static_cast<const unix_diag_msg*>(NLMSG_DATA(message));
            UnixSocket& socket = sockets.emplace_back();
            socket.inode = socketInfo->udiag_ino;
            socket.state = socketInfo->udiag_state;
            int attributesLeft = static_cast<int>(message->nlmsg_len - NLMSG_LENGTH(sizeof *socketInfo));
            for (auto* attribute = reinterpret_cast<const rtattr*>(socketInfo + 1); RTA_OK(attribute, attributesLeft);
                 attribute = RTA_NEXT(attribute, attributesLeft)) {
                const std::size_t size = RTA_PAYLOAD(attribute);
                if (attribute->rta_type == UNIX_DIAG_RQLEN && size >= sizeof(unix_diag_rqlen)) {
                    unix_diag_rqlen queue{};
                    std::memcpy(&queue, RTA_DATA(attribute), sizeof queue);
                    socket.unread = queue.udiag_rqueue;
                } else if (attribute->rta_type == UNIX_DIAG_PEER && size >= sizeof(std::uint32_t)) {
                    std::uint32_t peer = 0;
                    std::memcpy(&peer, RTA_DATA(attribute), sizeof peer);
                    socket.peer = peer;
                } else if (attribute->rta_type == UNIX_DIAG_NAME) {
                    socket.name.assign(static_cast<const char*>(RTA_DATA(attribute)), size);
                }
            }
        }
    }
}

}  // namespace

void ClientBacklog::ReadSockets(pid_t pid)
{
    std::error_code error;
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        // "socket:[12345]"
        if (!error && target.rfind("socket:[", 0) == 0)
            inodes_.insert(std::stoul(target.substr(8)));
    }
}

ClientBacklog::ClientBacklog(pid_t pid)
{
    ReadSockets(pid);
    baseline_ = Unread();
}

ClientBacklog::ClientBacklog(pid_t pid, const std::string& serverAddress)
{
    ReadSockets(pid);
    const auto sockets = UnixSockets(UDIAG_SHOW_PEER | UDIAG_SHOW_NAME);
    std::set<unsigned long> serverEnds;
    for (const UnixSocket& socket : sockets.value_or(std::vector<UnixSocket>{})) {
        // A connection the server accepted has the address it listens at.
        std::string name = socket.name;
        if (!name.empty() && name.front() == '\0')
            name.erase(0, 1);
        if (!name.empty() && name == serverAddress)
            serverEnds.insert(socket.inode);
    }
    std::set<unsigned long> connections;
    for (const UnixSocket& socket : sockets.value_or(std::vector<UnixSocket>{}))
        if (inodes_.contains(socket.inode) && serverEnds.contains(socket.peer))
            connections.insert(socket.inode);
    inodes_ = connections;
    if (!inodes_.empty())
        baseline_ = 0;
}

std::optional<std::size_t> ClientBacklog::Pending() const
{
    const std::optional<std::size_t> unread = Unread();
    if (!unread || !baseline_)
        return std::nullopt;
    return *unread > *baseline_ ? *unread - *baseline_ : 0;
}

std::optional<std::size_t> ClientBacklog::Unread() const
{
    if (inodes_.empty())
        return std::nullopt;
    const auto sockets = UnixSockets(UDIAG_SHOW_RQLEN);
    if (!sockets)
        return std::nullopt;
    std::size_t unread = 0, seen = 0;
    for (const UnixSocket& socket : *sockets) {
        if (!inodes_.contains(socket.inode))
            continue;
        ++seen;
        // A listening socket counts connections, not bytes.
        if (socket.state != 10 /* TCP_LISTEN */)
            unread += socket.unread;
    }
    return seen > 0 ? std::optional<std::size_t>(unread) : std::nullopt;
}

}  // namespace kestrun
