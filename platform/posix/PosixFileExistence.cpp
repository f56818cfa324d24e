#include "platform/posix/PosixFileExistence.h"

#include "platform/PlatformError.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace kestrun {

namespace {

bool IsRegularFile(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool MatchesWildcard(const std::string& pattern, const std::string& name)
{
    // Greedy matching with one backtrack point: linear enough for file names.
    std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool PosixFileExistence::OrdinaryFileExists(const std::string& path)
{
    if (path.empty())
        return false;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
    if (pattern.find_first_of("*?") == std::string::npos)
        return !pattern.empty() && IsRegularFile(path);

    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) {
        if (errno == ENOENT || errno == ENOTDIR)
            return false;
        throw PlatformError("Cannot read the folder " + folder + ": " + std::strerror(errno));
    }
    const std::string prefix = slash == std::string::npos ? "" : folder;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name[0] == '.' && pattern[0] != '.')
            continue;
        if (MatchesWildcard(pattern, name) && IsRegularFile(prefix + name))
            return true;
    }
    return false;
}

}  // namespace kestrun
