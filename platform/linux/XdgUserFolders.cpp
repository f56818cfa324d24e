#include "platform/UserFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <string>
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

std::filesystem::path UserRuntimeFolder()
{
    const char* value = std::getenv("XDG_RUNTIME_DIR");
    if (value && std::filesystem::path(value).is_absolute())
        return value;
    // Only a folder of the user's own that no one else may enter.
    const std::filesystem::path folder = "/run/user/" + std::to_string(::getuid());
    struct stat status {};
    if (::stat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid() &&
        (status.st_mode & 077) == 0)
        return folder;
    return {};
}

}  // namespace kestrun
