#include "settings/registry/RegistryFile.h"

#include "settings/registry/RegistryFileFormat.h"
#include "settings/registry/RegistryFileReplace.h"
#include "platform/UserFolders.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kestrun {

namespace {

constexpr std::string_view kCurrentUserName = "HKEY_CURRENT_USER";

bool IsRoot(std::string_view fullPath) { return fullPath.find('\\') == std::string_view::npos; }

bool HasLineBreakOrNul(std::string_view text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string FileNamePart(std::string_view name)
{
    std::string part(name);
    for (char& c : part)
        if (c == '/' || c == '\0')
            c = '_';
    if (part.empty() || part == "." || part == "..")
        part = "_";
    return part;
}

}  // namespace

RegistryFile::RegistryFile(std::filesystem::path file) : file_(std::move(file))
{
    RemoveStrayRegistryTemporaries(file_);
}

RegistryStatus RegistryFile::Resolve(RegistryKey parent, std::string_view path, std::string& fullPath) const
{
    std::string base;
    if (parent == PredefinedKey(kHkeyCurrentUser)) {
        base = kCurrentUserName;
    } else if (auto open = openKeys_.find(parent); open != openKeys_.end()) {
        base = open->second;
    } else {
        return kRegInvalidHandle;
    }
    if (path.empty()) {
        fullPath = base;
        return kRegSuccess;
    }
    if (!IsWellFormedRegistryPath(path))
        return kRegBadPathname;
    fullPath = base + '\\' + std::string(path);
    return kRegSuccess;
}

RegistryFile::Contents RegistryFile::Read() const
{
    const int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT)
            return {RegistryTree{}, true};
        return Unreadable(std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Unreadable("not a regular file");
    }
    // One byte past the limit tells a file that is too large; the rest of
    // such a file is never read.
    std::string text(kMaxSettingsBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return Unreadable(std::strerror(error));
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    text.resize(got);
    if (got > kMaxSettingsBytes) {
        // What a file cut at the limit still holds; its last line may be cut.
        text.resize(text.rfind('\n', kMaxSettingsBytes) + 1);
        ReportOnce("Kestrun does not use the settings file " + file_.string() + ": it is larger than " +
                   kMaxSettingsSizeText + ". Kestrun reads the window positions in its first " +
                   kMaxSettingsSizeText + " and leaves the file as it is; make it smaller or delete it, and " +
                   "positions are saved again.");
        return {ReadableRegistryValues(text), false};
    }
    std::size_t badLine = 0;
    std::optional<RegistryTree> tree = ParseRegistryText(text, &badLine);
    if (!tree)
        return Unreadable("line " + std::to_string(badLine) + " is not a key or a value");
    return {std::move(*tree), true};
}

RegistryFile::Contents RegistryFile::Unreadable(const std::string& why) const
{
    ReportOnce("Kestrun cannot read the settings file " + file_.string() + ": " + why +
               ". Kestrun leaves the file as it is; fix or delete it, and positions are saved again.");
    return {RegistryTree{}, false};
}

void RegistryFile::ReportOnce(const std::string& text) const
{
    if (std::exchange(reported_, true))
        return;
    std::fprintf(stderr, "%s\n", text.c_str());
}

bool RegistryFile::Write(const RegistryTree& tree) const { return ReplaceRegistryFile(file_, RegistryText(tree)); }

template <typename Change>
RegistryStatus RegistryFile::Modify(Change change)
{
    std::error_code error;
    std::filesystem::create_directories(file_.parent_path(), error);
    if (error)
        return kRegIoFailed;
    const RegistryFileLock lock(file_);
    if (!lock.Held())
        return kRegIoFailed;
    Contents contents = Read();
    if (!contents.writable)
        return kRegCorrupt;
    bool changed = false;
    RegistryStatus status = change(contents.tree, changed);
    if (status == kRegSuccess && changed && !Write(contents.tree))
        return kRegIoFailed;
    return status;
}

RegistryKey RegistryFile::Remember(std::string fullPath)
{
    RegistryKey key = nextKey_++;
    openKeys_.emplace(key, std::move(fullPath));
    return key;
}

RegistryStatus RegistryFile::OpenKey(RegistryKey parent, std::string_view path, RegistryKey& key)
{
    std::string fullPath;
    if (RegistryStatus status = Resolve(parent, path, fullPath); status != kRegSuccess)
        return status;
    // Reading needs no lock: the file is only ever replaced whole.
    RegistryTree tree = Read().tree;
    if (!IsRoot(fullPath) && !tree.Find(fullPath))
        return kRegNotFound;
    key = Remember(std::move(fullPath));
    return kRegSuccess;
}

RegistryStatus RegistryFile::CreateKey(RegistryKey parent, std::string_view path, RegistryKey& key)
{
    std::string fullPath;
    if (RegistryStatus status = Resolve(parent, path, fullPath); status != kRegSuccess)
        return status;
    RegistryStatus status = Modify([&](RegistryTree& tree, bool& changed) {
        if (!IsRoot(fullPath) && !tree.Find(fullPath)) {
            tree.Add(fullPath);
            changed = true;
        }
        return kRegSuccess;
    });
    if (status == kRegSuccess)
        key = Remember(std::move(fullPath));
    return status;
}

RegistryStatus RegistryFile::QueryValue(RegistryKey key, std::string_view name, std::uint32_t& type,
                                        std::uint8_t* data, std::uint32_t& size)
{
    std::string path;
    if (RegistryStatus status = Resolve(key, {}, path); status != kRegSuccess)
        return status;
    RegistryTree tree = Read().tree;
    RegistryKeyEntry* entry = tree.Find(path);
    if (!entry)
        return IsRoot(path) ? kRegNotFound : kRegKeyDeleted;
    const RegistryValue* value = tree.FindValue(*entry, name);
    if (!value)
        return kRegNotFound;
    auto needed = static_cast<std::uint32_t>(value->data.size());
    type = value->type;
    if (data && size < needed) {
        size = needed;
        return kRegMoreData;
    }
    if (data && needed > 0)
        std::memcpy(data, value->data.data(), needed);
    size = needed;
    return kRegSuccess;
}

RegistryStatus RegistryFile::SetValue(RegistryKey key, std::string_view name, std::uint32_t type,
                                      const std::uint8_t* data, std::uint32_t size)
{
    std::string path;
    if (RegistryStatus status = Resolve(key, {}, path); status != kRegSuccess)
        return status;
    if (HasLineBreakOrNul(name) || (!data && size > 0))
        return kRegInvalidParameter;
    RegistryValue value{std::string(name), type,
                        size > 0 ? std::string(reinterpret_cast<const char*>(data), size) : std::string()};
    return Modify([&](RegistryTree& tree, bool& changed) {
        RegistryKeyEntry* entry = tree.Find(path);
        if (!entry && !IsRoot(path))
            return kRegKeyDeleted;
        tree.SetValue(entry ? *entry : tree.Add(path), std::move(value));
        changed = true;
        return kRegSuccess;
    });
}

RegistryStatus RegistryFile::DeleteValue(RegistryKey key, std::string_view name)
{
    std::string path;
    if (RegistryStatus status = Resolve(key, {}, path); status != kRegSuccess)
        return status;
    return Modify([&](RegistryTree& tree, bool& changed) {
        RegistryKeyEntry* entry = tree.Find(path);
        if (!entry)
            return IsRoot(path) ? kRegNotFound : kRegKeyDeleted;
        if (!tree.RemoveValue(*entry, name))
            return kRegNotFound;
        changed = true;
        return kRegSuccess;
    });
}

RegistryStatus RegistryFile::DeleteKey(RegistryKey key, std::string_view subKey)
{
    std::string path;
    if (RegistryStatus status = Resolve(key, subKey, path); status != kRegSuccess)
        return status;
    if (IsRoot(path))
        return kRegAccessDenied;
    return Modify([&](RegistryTree& tree, bool& changed) {
        if (!tree.Find(path))
            return kRegNotFound;
        if (tree.HasSubkeys(path))
            return kRegAccessDenied;
        tree.Remove(path);
        changed = true;
        return kRegSuccess;
    });
}

RegistryStatus RegistryFile::CloseKey(RegistryKey key)
{
    if (key == PredefinedKey(kHkeyCurrentUser))
        return kRegSuccess;
    return openKeys_.erase(key) > 0 ? kRegSuccess : kRegInvalidHandle;
}

std::filesystem::path UserRegistryFilePath(std::string_view company, std::string_view appName)
{
    return UserConfigFolder() / FileNamePart(company) / (FileNamePart(appName) + ".reg");
}

std::unique_ptr<RegistryOperations> CreateUserRegistry(std::string_view company, std::string_view appName)
{
    return std::make_unique<RegistryFile>(UserRegistryFilePath(company, appName));
}

}  // namespace kestrun
