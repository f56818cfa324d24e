#include "platform/UserFolders.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrun {

namespace {

std::filesystem::path HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        const passwd* user = ::getpwuid(::getuid());
        home = user && user->pw_dir ? user->pw_dir : "/";
    }
    return home;
}

// A base folder of the XDG convention: a relative value is to be ignored.
std::filesystem::path BaseFolder(const char* variable, const char* fallbackInHome)
{
    const char* value = std::getenv(variable);
    if (value && std::filesystem::path(value).is_absolute())
        return value;
    return HomeFolder() / fallbackInHome;
}

}  // namespace

std::filesystem::path UserConfigFolder()
{
    return BaseFolder("XDG_CONFIG_HOME", ".config");
}

std::filesystem::path UserDataFolder()
{
    return BaseFolder("XDG_DATA_HOME", ".local/share");
}

std::string UntrustedFolderReason(const std::filesystem::path& folder)
{
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0)
        return std::strerror(errno);
    if (!S_ISDIR(status.st_mode))
        return "not a folder";
    if (status.st_uid != ::geteuid())
        return "it belongs to another user";
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return "other users may write to it";
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "Kestrun may not write to it";
    return {};
}

std::filesystem::path UserRuntimeFolder(std::string* refused)
{
    if (refused)
        refused->clear();
    const char* value = std::getenv("XDG_RUNTIME_DIR");
    const bool named = value && std::filesystem::path(value).is_absolute();
    const std::filesystem::path session = named ? std::filesystem::path(value)
                                                : std::filesystem::path("/run/user/" + std::to_string(::geteuid()));
    const std::string reason = UntrustedFolderReason(session);
    if (reason.empty())
        return session;
    if (refused && named)
        *refused = reason;

    // A folder of its own that only this user may enter; one that someone
    // else made under that name, or a link, is no such folder.
    const char* temporary = std::getenv("TMPDIR");
    const std::filesystem::path base = temporary && std::filesystem::path(temporary).is_absolute() ? std::filesystem::path(temporary) : std::filesystem::path("/tmp");
    const std::filesystem::path own = base / ("kestrun-" + std::to_string(::geteuid()));
    ::mkdir(own.c_str(), 0700);
    struct stat status {};
    if (::lstat(own.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid())
        return {};
    if ((status.st_mode & 077) != 0 && ::chmod(own.c_str(), 0700) != 0)
        return {};
    return UntrustedFolderReason(own).empty() ? own : std::filesystem::path();
}

std::optional<unsigned> LocalPeerUser(std::intptr_t socketDescriptor)
{
    ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials)
        return std::nullopt;
    return credentials.uid;
}

unsigned CurrentUser() { return ::geteuid(); }

}  // namespace kestrun
