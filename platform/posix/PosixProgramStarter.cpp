#include "platform/posix/PosixProgramStarter.h"

#include "platform/PlatformError.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

extern char** environ;

namespace kestrun {

PosixProgramStarter::~PosixProgramStarter() { ReapEnded(); }

bool PosixProgramStarter::IsProgramFile(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::int32_t PosixProgramStarter::Start(const std::string& path)
{
    ReapEnded();
    // A script's interpreter gets the path as its argument: an absolute path
    // can never read as an option, as a relative "-x" would.
    std::error_code ec;
    std::string absolute = std::filesystem::absolute(path, ec).string();
    if (ec || path.empty())
        absolute = path;
    char* argv[] = {absolute.data(), nullptr};
    pid_t pid = 0;
    // posix_spawn reports a failed exec as its result, so nothing is started
    // when the file cannot run.
    const int error = posix_spawn(&pid, absolute.c_str(), nullptr, nullptr, argv, environ);
    if (error != 0)
        throw PlatformError("Cannot start " + path + ": " + std::strerror(error));
    ReapWhenEnded(pid);
    return static_cast<std::int32_t>(pid);
}

void PosixProgramStarter::ReapWhenEnded(pid_t pid)
{
    // A small thread per child waits for that one process id, so a started
    // program never lingers as a zombie and the children Qt and GLib start
    // and reap themselves are left alone.
    try {
        std::thread([pid] {
            while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child is reaped at the next start instead.
        started_.push_back(pid);
    }
}

void PosixProgramStarter::ReapEnded()
{
    std::erase_if(started_, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
}

}  // namespace kestrun
