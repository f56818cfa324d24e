#include "settings/registry/RegistryFileReplace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>

namespace kestrun {

namespace {

constexpr std::string_view kTemporaryMark = ".kestrun-save-";
constexpr std::size_t kRandomLength = 12;
constexpr std::string_view kRandomLetters = "abcdefghijklmnopqrstuvwxyz0123456789";

std::string TemporaryPrefix(const std::filesystem::path& file)
{
    return "." + file.filename().string() + std::string(kTemporaryMark);
}

bool IsTemporaryName(std::string_view name, std::string_view prefix)
{
    if (!name.starts_with(prefix) || name.size() != prefix.size() + kRandomLength)
        return false;
    return name.substr(prefix.size()).find_first_not_of(kRandomLetters) == std::string_view::npos;
}

std::string RandomLetters()
{
    static std::mt19937_64 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kRandomLetters.size() - 1);
    std::string letters;
    for (std::size_t i = 0; i < kRandomLength; ++i)
        letters += kRandomLetters[pick(generator)];
    return letters;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

bool WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

RegistryFileLock::RegistryFileLock(const std::filesystem::path& file, Wait wait) : path_(file.string() + ".lock")
{
    // The holder before us removes the file when done: a lock on a removed
    // file guards nothing, so we lock again whatever the name now holds.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        int locked = 0;
        while ((locked = ::flock(fd, LOCK_EX | (wait == Wait::No ? LOCK_NB : 0))) != 0 && errno == EINTR) {
        }
        struct stat held {};
        struct stat named {};
        if (locked == 0 && ::fstat(fd, &held) == 0 && ::stat(path_.c_str(), &named) == 0 && SameFile(held, named)) {
            fd_ = fd;
            return;
        }
        ::close(fd);
        if (locked != 0)
            return;
    }
}

RegistryFileLock::~RegistryFileLock()
{
    if (fd_ < 0)
        return;
    ::unlink(path_.c_str());
    ::close(fd_);
}

bool ReplaceRegistryFile(const std::filesystem::path& file, std::string_view text)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::exists(file, error) ? std::filesystem::canonical(file, error) : file;
    if (error)
        return false;
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;

    std::filesystem::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = target.parent_path() / (TemporaryPrefix(target) + RandomLetters());
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && errno != EEXIST)
            return false;
    }
    if (fd < 0)
        return false;
    bool written = (!existed || ::fchmod(fd, old.st_mode & 07777) == 0) && WriteAll(fd, text) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

void RemoveStrayRegistryTemporaries(const std::filesystem::path& file) noexcept
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::exists(file, error) ? std::filesystem::canonical(file, error) : file;
    if (error || !std::filesystem::is_directory(target.parent_path(), error))
        return;
    const RegistryFileLock lock(file, RegistryFileLock::Wait::No);
    if (!lock.Held())
        return;
    DIR* listing = ::opendir(target.parent_path().c_str());
    if (!listing)
        return;
    const std::string prefix = TemporaryPrefix(target);
    while (const dirent* entry = ::readdir(listing)) {
        if (IsTemporaryName(entry->d_name, prefix))
            ::unlink((target.parent_path() / entry->d_name).c_str());
    }
    ::closedir(listing);
}

}  // namespace kestrun
