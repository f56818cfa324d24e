#include "platform/wayland/LocalSocket.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace kestrun {

LocalSocket::LocalSocket(const std::string& path)
{
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size());
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ >= 0 && connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

LocalSocket::~LocalSocket()
{
    if (fd_ >= 0)
        close(fd_);
}

void LocalSocket::SetReceiveLimit(std::chrono::milliseconds limit)
{
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(limit.count() / 1000);
    timeout.tv_usec = static_cast<suseconds_t>(limit.count() % 1000 * 1000);
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

bool LocalSocket::Send(const std::string& bytes) const
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string> LocalSocket::Receive(std::size_t size) const
{
    std::string bytes;
    char buffer[4096];
    while (bytes.size() < size) {
        const std::size_t want = std::min(sizeof buffer, size - bytes.size());
        const ssize_t n = recv(fd_, buffer, want, 0);
        if (n < 0 || (n == 0 && size != std::string::npos))
            return std::nullopt;
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

}  // namespace kestrun
