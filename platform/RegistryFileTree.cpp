#include "platform/RegistryFileTree.h"

#include "core/Utf8.h"

#include <QString>

#include <algorithm>

namespace kestrun {

namespace {

bool SamePath(std::string_view a, std::string_view b)
{
    std::vector<std::string_view> left = RegistryPathNames(a);
    std::vector<std::string_view> right = RegistryPathNames(b);
    return std::equal(left.begin(), left.end(), right.begin(), right.end(), SameRegistryName);
}

// True when `path` lies strictly below `ancestor`.
bool IsBelow(std::string_view path, std::string_view ancestor)
{
    std::vector<std::string_view> names = RegistryPathNames(path);
    std::vector<std::string_view> above = RegistryPathNames(ancestor);
    return names.size() > above.size() &&
           std::equal(above.begin(), above.end(), names.begin(), SameRegistryName);
}

}  // namespace

bool SameRegistryName(std::string_view a, std::string_view b)
{
    if (a == b)
        return true;
    if (!IsValidUtf8(a) || !IsValidUtf8(b))
        return false;
    QString left = QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()));
    QString right = QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size()));
    return left.compare(right, Qt::CaseInsensitive) == 0;
}

std::vector<std::string_view> RegistryPathNames(std::string_view path)
{
    std::vector<std::string_view> names;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = path.find('\\', start);
        names.push_back(path.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return names;
        start = end + 1;
    }
}

bool IsWellFormedRegistryPath(std::string_view path)
{
    for (std::string_view name : RegistryPathNames(path))
        if (name.empty() || name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
            return false;
    return true;
}

RegistryKeyEntry* RegistryTree::Find(std::string_view path)
{
    auto found = std::find_if(keys_.begin(), keys_.end(),
                              [&](const RegistryKeyEntry& key) { return SamePath(key.path, path); });
    return found == keys_.end() ? nullptr : &*found;
}

RegistryKeyEntry& RegistryTree::Add(std::string_view path)
{
    // Every key above the new one exists too, as in the registry; the root
    // itself (the first name) is never listed on its own.
    std::size_t end = path.find('\\');
    while (end != std::string_view::npos) {
        std::string_view ancestor = path.substr(0, end);
        if (!Find(ancestor) && ancestor.find('\\') != std::string_view::npos)
            keys_.push_back({std::string(ancestor), {}});
        end = path.find('\\', end + 1);
    }
    if (RegistryKeyEntry* existing = Find(path))
        return *existing;
    keys_.push_back({std::string(path), {}});
    return keys_.back();
}

bool RegistryTree::HasSubkeys(std::string_view path) const
{
    return std::any_of(keys_.begin(), keys_.end(),
                       [&](const RegistryKeyEntry& key) { return IsBelow(key.path, path); });
}

void RegistryTree::Remove(std::string_view path)
{
    std::erase_if(keys_, [&](const RegistryKeyEntry& key) { return SamePath(key.path, path); });
}

RegistryValue* RegistryTree::FindValue(RegistryKeyEntry& key, std::string_view name)
{
    auto found = std::find_if(key.values.begin(), key.values.end(),
                              [&](const RegistryValue& value) { return SameRegistryName(value.name, name); });
    return found == key.values.end() ? nullptr : &*found;
}

void RegistryTree::SetValue(RegistryKeyEntry& key, RegistryValue value)
{
    if (RegistryValue* existing = FindValue(key, value.name)) {
        existing->type = value.type;
        existing->data = std::move(value.data);
    } else {
        key.values.push_back(std::move(value));
    }
}

bool RegistryTree::RemoveValue(RegistryKeyEntry& key, std::string_view name)
{
    return std::erase_if(key.values, [&](const RegistryValue& value) {
               return SameRegistryName(value.name, name);
           }) > 0;
}

}  // namespace kestrun
