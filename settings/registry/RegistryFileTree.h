#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kestrun {

/// One named value of a key. The empty name is the key's unnamed value.
struct RegistryValue {
    std::string name;
    std::uint32_t type = 0;
    std::string data;  // the raw bytes

    bool operator==(const RegistryValue&) const = default;
};

/// One key, with its full path from the root ("HKEY_CURRENT_USER\Software").
struct RegistryKeyEntry {
    std::string path;
    std::vector<RegistryValue> values;

    bool operator==(const RegistryKeyEntry&) const = default;
};

/// The keys and values of the settings file, in file order. Key and value
/// names compare without regard to letter case, as in the system registry;
/// a name keeps the spelling it was created with. Keys and values are found
/// through an index of their folded names, so that reading a file costs time
/// in proportion to its size.
class RegistryTree {
public:
    const std::vector<RegistryKeyEntry>& Keys() const { return keys_; }

    RegistryKeyEntry* Find(std::string_view path);
    /// Adds the key and every missing key above it (the root excepted).
    RegistryKeyEntry& Add(std::string_view path);
    bool HasSubkeys(std::string_view path) const;
    void Remove(std::string_view path);

    /// `key` is one of this tree's keys.
    RegistryValue* FindValue(RegistryKeyEntry& key, std::string_view name);
    /// Replaces the value of that name, or appends it.
    void SetValue(RegistryKeyEntry& key, RegistryValue value);
    bool RemoveValue(RegistryKeyEntry& key, std::string_view name);

    bool operator==(const RegistryTree& other) const { return keys_ == other.keys_; }

private:
    // The index entry of a value: its key's position in keys_ and its folded name.
    std::string ValueEntry(const RegistryKeyEntry& key, std::string_view name) const;
    void Reindex();

    std::vector<RegistryKeyEntry> keys_;
    // Folded path -> position in keys_; value entry -> position in its key's values.
    std::unordered_map<std::string, std::size_t> keyIndex_;
    std::unordered_map<std::string, std::size_t> valueIndex_;
};

/// A name as the comparisons see it: letter case folded. Names that are not
/// UTF-8 stay as they are, marked so that they equal only themselves.
std::string FoldedRegistryName(std::string_view name);
/// True when both names are the same apart from letter case.
bool SameRegistryName(std::string_view a, std::string_view b);
/// The names of a key path, split at backslashes; empty names stay.
std::vector<std::string_view> RegistryPathNames(std::string_view path);
/// True when the path names at least one key and none of its names is empty
/// or holds a line break or a NUL.
bool IsWellFormedRegistryPath(std::string_view path);

}  // namespace kestrun
