#include "settings/registry/RegistryFileTree.h"

#include "core/Utf8.h"

#include <QString>

#include <algorithm>
#include <utility>

namespace kestrun {

namespace {

// A byte no UTF-8 text holds: marks a name kept as it is.
constexpr char kRawMark = '\xff';

std::string FoldedPath(std::string_view path)
{
    std::string folded;
    folded.reserve(path.size());
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find('\\', start);
        folded += FoldedRegistryName(path.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos)
            return folded;
        folded += '\\';
        start = end + 1;
    }
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

std::string FoldedRegistryName(std::string_view name)
{
    if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        std::string folded(name);
        for (char& c : folded)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return folded;
    }
    if (!IsValidUtf8(name))
        return kRawMark + std::string(name);
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())).toCaseFolded().toStdString();
}

bool SameRegistryName(std::string_view a, std::string_view b)
{
    return a == b || FoldedRegistryName(a) == FoldedRegistryName(b);
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

std::string RegistryTree::ValueEntry(const RegistryKeyEntry& key, std::string_view name) const
{
    const auto position = static_cast<std::size_t>(&key - keys_.data());
    return std::to_string(position) + '\n' + FoldedRegistryName(name);
}

void RegistryTree::Reindex()
{
    keyIndex_.clear();
    valueIndex_.clear();
    for (std::size_t i = 0; i < keys_.size(); ++i) {
        keyIndex_.emplace(FoldedPath(keys_[i].path), i);
        for (std::size_t j = 0; j < keys_[i].values.size(); ++j)
            valueIndex_.emplace(ValueEntry(keys_[i], keys_[i].values[j].name), j);
    }
}

RegistryKeyEntry* RegistryTree::Find(std::string_view path)
{
    auto found = keyIndex_.find(FoldedPath(path));
    return found == keyIndex_.end() ? nullptr : &keys_[found->second];
}

RegistryKeyEntry& RegistryTree::Add(std::string_view path)
{
    if (RegistryKeyEntry* existing = Find(path))
        return *existing;
    // Every key above the new one exists too, as in the registry; the root
    // itself (the first name) is never listed on its own. Above a key that
    // exists, all do.
    std::vector<std::string_view> missing{path};
    for (std::size_t end = path.rfind('\\'); end != std::string_view::npos; end = path.rfind('\\', end - 1)) {
        const std::string_view ancestor = path.substr(0, end);
        if (ancestor.find('\\') == std::string_view::npos || Find(ancestor))
            break;
        missing.push_back(ancestor);
        if (end == 0)
            break;
    }
    for (auto key = missing.rbegin(); key != missing.rend(); ++key) {
        keyIndex_.emplace(FoldedPath(*key), keys_.size());
        keys_.push_back({std::string(*key), {}});
    }
    return keys_.back();
}

bool RegistryTree::HasSubkeys(std::string_view path) const
{
    return std::any_of(keys_.begin(), keys_.end(),
                       [&](const RegistryKeyEntry& key) { return IsBelow(key.path, path); });
}

void RegistryTree::Remove(std::string_view path)
{
    const std::string folded = FoldedPath(path);
    std::erase_if(keys_, [&](const RegistryKeyEntry& key) { return FoldedPath(key.path) == folded; });
    Reindex();
}

RegistryValue* RegistryTree::FindValue(RegistryKeyEntry& key, std::string_view name)
{
    auto found = valueIndex_.find(ValueEntry(key, name));
    return found == valueIndex_.end() ? nullptr : &key.values[found->second];
}

void RegistryTree::SetValue(RegistryKeyEntry& key, RegistryValue value)
{
    if (RegistryValue* existing = FindValue(key, value.name)) {
        existing->type = value.type;
        existing->data = std::move(value.data);
        return;
    }
    valueIndex_.emplace(ValueEntry(key, value.name), key.values.size());
    key.values.push_back(std::move(value));
}

bool RegistryTree::RemoveValue(RegistryKeyEntry& key, std::string_view name)
{
    const std::string folded = FoldedRegistryName(name);
    const bool removed = std::erase_if(key.values, [&](const RegistryValue& value) {
                             return FoldedRegistryName(value.name) == folded;
                         }) > 0;
    Reindex();
    return removed;
}

}  // namespace kestrun
