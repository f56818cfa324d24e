#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <set>

namespace kestrun {

/// What a program has not read yet of what was sent to it: the bytes waiting
/// in its local sockets, its connection to the compositor among them. A
/// program that handles keys slower than they come leaves them there, and a
/// compositor disconnects a client whose socket fills up, so how fast this
/// drains is the one answer to typing that the target itself gives.
class ClientBacklog {
public:
    /// The sockets that process `pid` holds now (of the same user, or nothing
    /// can be read of them), and what they hold unread now.
    explicit ClientBacklog(pid_t pid);

    /// Whether the kernel tells what those sockets hold.
    bool Known() const { return baseline_.has_value(); }

    /// The bytes queued unread on those sockets beyond what they held at the
    /// start (some program sockets hold bytes that are never read); nothing
    /// when the kernel no longer says, as when the process ended.
    std::optional<std::size_t> Pending() const;

private:
    std::optional<std::size_t> Unread() const;

    std::set<unsigned long> inodes_;
    std::optional<std::size_t> baseline_;
};

}  // namespace kestrun
