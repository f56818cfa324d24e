#include "platform/posix/ClientBacklog.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

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

}  // namespace

ClientBacklog::ClientBacklog(pid_t pid)
{
    std::error_code error;
    const std::filesystem::path fds = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        // "socket:[12345]"
        if (!error && target.rfind("socket:[", 0) == 0)
            inodes_.insert(std::stoul(target.substr(8)));
    }
    baseline_ = Unread();
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
    query.request.udiag_show = UDIAG_SHOW_RQLEN;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(diag.fd(), &query, sizeof query, 0, reinterpret_cast<const sockaddr*>(&kernel), sizeof kernel) < 0)
        return std::nullopt;

    std::size_t unread = 0, seen = 0;
    alignas(nlmsghdr) char buffer[32768];
    for (;;) {
        const ssize_t length = recv(diag.fd(), buffer, sizeof buffer, 0);
        if (length <= 0)
            return std::nullopt;
        int left = static_cast<int>(length);
        for (auto* message = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(message, left);
             message = NLMSG_NEXT(message, left)) {
            if (message->nlmsg_type == NLMSG_DONE)
                return seen > 0 ? std::optional<std::size_t>(unread) : std::nullopt;
            if (message->nlmsg_type == NLMSG_ERROR)
                return std::nullopt;
            const auto* socketInfo = static_cast<const unix_diag_msg*>(NLMSG_DATA(message));
            if (!inodes_.contains(socketInfo->udiag_ino))
                continue;
            ++seen;
            int attributesLeft = static_cast<int>(message->nlmsg_len - NLMSG_LENGTH(sizeof *socketInfo));
            for (auto* attribute = reinterpret_cast<const rtattr*>(socketInfo + 1); RTA_OK(attribute, attributesLeft);
                 attribute = RTA_NEXT(attribute, attributesLeft)) {
                if (attribute->rta_type != UNIX_DIAG_RQLEN)
                    continue;
                unix_diag_rqlen queue{};
                std::memcpy(&queue, RTA_DATA(attribute), sizeof queue);
                // A listening socket counts connections, not bytes.
                if (socketInfo->udiag_state != 10 /* TCP_LISTEN */)
                    unread += queue.udiag_rqueue;
            }
        }
    }
}

}  // namespace kestrun
