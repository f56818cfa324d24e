#include "platform/posix/PipeReaders.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace kestrun {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

// A name of /proc that is a number, as process ids and fd numbers are; else -1.
long Number(const char* name)
{
    char* end = nullptr;
    const long value = std::strtol(name, &end, 10);
    return end != name && *end == '\0' && value >= 0 ? value : -1;
}

}  // namespace

PipeReaders::PipeReaders(int fd)
{
    struct stat pipe {};
    if (fstat(fd, &pipe) != 0 || !S_ISFIFO(pipe.st_mode))
        return;
    link_ = "pipe:[" + std::to_string(pipe.st_ino) + "]";
    const pid_t self = getpid();
    const Dir proc(opendir("/proc"));
    if (!proc)
        return;
    while (const dirent* entry = readdir(proc.get())) {
        const long pid = Number(entry->d_name);
        if (pid > 0 && pid != self && HoldsReadEnd(static_cast<pid_t>(pid)))
            processes_.push_back(static_cast<pid_t>(pid));
    }
}

bool PipeReaders::Remain()
{
    std::erase_if(processes_, [this](pid_t pid) { return !HoldsReadEnd(pid); });
    return !processes_.empty();
}

bool PipeReaders::HoldsReadEnd(pid_t pid) const
{
    const std::string base = "/proc/" + std::to_string(pid);
    // Another user's process, or one that has ended, cannot be looked into.
    const Dir fds(opendir((base + "/fd").c_str()));
    if (!fds)
        return false;
    char target[64];
    while (const dirent* entry = readdir(fds.get())) {
        if (Number(entry->d_name) < 0)
            continue;
        const std::string name = base + "/fd/" + entry->d_name;
        const ssize_t size = readlink(name.c_str(), target, sizeof target);
        if (size <= 0 || link_.compare(0, std::string::npos, target, static_cast<std::size_t>(size)) != 0)
            continue;
        std::ifstream info(base + "/fdinfo/" + entry->d_name);
        std::ostringstream text;
        text << info.rdbuf();
        if (ReadsOnly(text.str()))
            return true;
    }
    return false;
}

bool PipeReaders::ReadsOnly(const std::string& fdinfo)
{
    std::istringstream lines(fdinfo);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("flags:", 0) != 0)
            continue;
        char* end = nullptr;
        const unsigned long flags = std::strtoul(line.c_str() + 6, &end, 8);
        return end != line.c_str() + 6 && (flags & O_ACCMODE) == O_RDONLY;
    }
    return false;
}

}  // namespace kestrun
