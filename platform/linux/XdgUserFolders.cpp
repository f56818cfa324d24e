#include "platform/UserFolders.h"

#include <cstdlib>
#include <pwd.h>
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

}  // namespace kestrun
