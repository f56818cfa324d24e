#include "platform/LocalListener.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrun {

LocalListener::~LocalListener() { Close(); }

bool LocalListener::Listen(const std::filesystem::path& path, std::string& error)
{
    Close();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path) {
        error = "the socket's path is too long";
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.native().size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    unlink(path.c_str());
    // The folder is the user's own; the mode keeps the socket so should it not be.
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path.c_str(), S_IRUSR | S_IWUSR) != 0 || listen(fd, SOMAXCONN) != 0) {
        error = std::strerror(errno);
        close(fd);
        return false;
    }
    descriptor_ = fd;
    path_ = path;
    return true;
}

LocalListener::Accepted LocalListener::Accept()
{
    for (;;) {
        const int fd = accept4(descriptor_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0)
            return {Taken::Connection, fd};
        switch (errno) {
        case EINTR:
        case ECONNABORTED:  // that client gave up: the next one may wait
            continue;
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM:
            return {Taken::OutOfDescriptors, -1};
        default:
            return {Taken::NoneWaiting, -1};
        }
    }
}

void LocalListener::Close()
{
    if (descriptor_ < 0)
        return;
    close(descriptor_);
    unlink(path_.c_str());
    descriptor_ = -1;
}

}  // namespace kestrun
