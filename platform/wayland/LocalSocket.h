#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace kestrun {

/// A stream socket connected to a local (Unix) socket path, closed with the
/// object.
class LocalSocket {
public:
    /// Not ok() when the path is empty or too long or nothing listens there.
    explicit LocalSocket(const std::string& path);
    ~LocalSocket();
    LocalSocket(const LocalSocket&) = delete;
    LocalSocket& operator=(const LocalSocket&) = delete;

    bool ok() const { return fd_ >= 0; }

    /// A receive that waits longer than `limit` fails; 0 waits for ever.
    void SetReceiveLimit(std::chrono::milliseconds limit);

    /// Writes all of `bytes`; false when the socket fails.
    bool Send(const std::string& bytes) const;

    /// Exactly `size` bytes, or up to the end of the stream when `size` is
    /// npos; nothing when the socket fails first.
    std::optional<std::string> Receive(std::size_t size) const;

private:
    int fd_ = -1;
};

}  // namespace kestrun
