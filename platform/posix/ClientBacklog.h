#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <set>
#include <string>

namespace kestrun {

/// What a program has not read yet of what was sent to it: the bytes waiting
/// in its local sockets, its connection to the compositor or X server among
/// them. A
/// program that handles keys slower than they come leaves them there, and a
/// compositor disconnects a client whose socket fills up, so how fast this
/// drains is the one answer to typing that the target itself gives.
class ClientBacklog {
public:
    /// The sockets that process `pid` holds now (of the same user, or nothing
    /// can be read of them), and what they hold unread now.
    explicit ClientBacklog(pid_t pid);

    /// Only the sockets of process `pid` connected to a server listening at
    /// the local address `serverAddress` (an abstract address is matched
    /// without its leading zero byte): an X client's connection to its
    /// server, say. All they hold counts, as a client reads everything its
    /// server sends; nothing is known when no such socket is found.
    ClientBacklog(pid_t pid, const std::string& serverAddress);

    /// Whether the kernel tells what those sockets hold.
    bool Known() const { return baseline_.has_value(); }

    /// The bytes queued unread on those sockets beyond what they held at the
    /// start (some program sockets hold bytes that are never read); nothing
    /// when the kernel no longer says, as when the process ended.
    std::optional<std::size_t> Pending() const;

private:
    void ReadSockets(pid_t pid);
    std::optional<std::size_t> Unread() const;

    std::set<unsigned long> inodes_;
    std::optional<std::size_t> baseline_;
};

}  // namespace kestrun
