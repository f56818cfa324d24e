#pragma once

#include <filesystem>
#include <string>

namespace kestrun {

/// A listening local (Unix-domain) stream socket, by descriptor, for an event
/// loop to watch. Unlike a toolkit's server it never stops listening by
/// itself: a connection it cannot take yet waits in the system's queue.
class LocalListener {
public:
    enum class Taken {
        Connection,        ///< `descriptor` is the new connection's, non-blocking
        NoneWaiting,       ///< no connection waits
        OutOfDescriptors,  ///< the process or system has no descriptor left: try again shortly
    };
    struct Accepted {
        Taken taken = Taken::NoneWaiting;
        int descriptor = -1;
    };

    LocalListener() = default;
    ~LocalListener();
    LocalListener(const LocalListener&) = delete;
    LocalListener& operator=(const LocalListener&) = delete;

    /// Listens at `path`, replacing a socket file left there, reachable by
    /// the user only. False with `error` set when it cannot.
    bool Listen(const std::filesystem::path& path, std::string& error);
    /// The listening descriptor (readable when a connection waits); -1 when not listening.
    int descriptor() const { return descriptor_; }
    /// Takes one waiting connection.
    Accepted Accept();
    /// Stops listening and removes the socket file.
    void Close();

private:
    int descriptor_ = -1;
    std::filesystem::path path_;
};

}  // namespace kestrun
