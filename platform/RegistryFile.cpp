#include "platform/RegistryFile.h"

#include "platform/RegistryFileFormat.h"
#include "platform/RegistryFileReplace.h"
#include "platform/UserFolders.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

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

std::optional<RegistryTree> RegistryFile::Read() const
{
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(file_, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return RegistryTree{};
    if (status.type() != std::filesystem::file_type::regular)
        return std::nullopt;
    std::ifstream in(file_, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        return std::nullopt;
    return ParseRegistryText(text);
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
    std::optional<RegistryTree> tree = Read();
    if (!tree)
        return kRegCorrupt;
    bool changed = false;
    RegistryStatus status = change(*tree, changed);
    if (status == kRegSuccess && changed && !Write(*tree))
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
    RegistryTree tree = Read().value_or(RegistryTree{});
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
    RegistryTree tree = Read().value_or(RegistryTree{});
    RegistryKeyEntry* entry = tree.Find(path);
    if (!entry)
        return IsRoot(path) ? kRegNotFound : kRegKeyDeleted;
    const RegistryValue* value = RegistryTree::FindValue(*entry, name);
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
        RegistryTree::SetValue(entry ? *entry : tree.Add(path), std::move(value));
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
        if (!RegistryTree::RemoveValue(*entry, name))
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
