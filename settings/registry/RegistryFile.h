#pragma once

#include "settings/registry/RegistryFileTree.h"
#include "settings/registry/RegistryOperations.h"

#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace kestrun {

/// The largest settings file Kestrun reads whole. A real one holds a few
/// hundred bytes.
inline constexpr std::size_t kMaxSettingsBytes = 1 << 20;
inline constexpr const char* kMaxSettingsSizeText = "1 MiB";

/// The current user's registry kept in one text file (format in
/// RegistryFileFormat.h). Only HKEY_CURRENT_USER is served.
///
/// Every operation reads the file; every change is a read-modify-write under
/// an exclusive lock on "<file>.lock" (removed again after the change),
/// written beside the file and renamed over it, so that readers always see a
/// whole file and processes that change it at the same time keep each
/// other's changes. Making the store removes what changes killed midway left
/// behind. A missing file is an empty store. A file that cannot be read or
/// parsed reads as empty and is never written: changes then fail with
/// kRegCorrupt and leave it untouched. A file larger than kMaxSettingsBytes is
/// never written either; what reads of it are the values on the lines of its
/// first kMaxSettingsBytes that follow the format. Either is reported once on
/// standard error.
class RegistryFile final : public RegistryOperations {
public:
    explicit RegistryFile(std::filesystem::path file);

    const std::filesystem::path& FilePath() const { return file_; }

    RegistryStatus OpenKey(RegistryKey parent, std::string_view path, RegistryKey& key) override;
    RegistryStatus CreateKey(RegistryKey parent, std::string_view path, RegistryKey& key) override;
    RegistryStatus QueryValue(RegistryKey key, std::string_view name, std::uint32_t& type,
                              std::uint8_t* data, std::uint32_t& size) override;
    RegistryStatus SetValue(RegistryKey key, std::string_view name, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t size) override;
    RegistryStatus DeleteValue(RegistryKey key, std::string_view name) override;
    RegistryStatus DeleteKey(RegistryKey key, std::string_view subKey) override;
    RegistryStatus CloseKey(RegistryKey key) override;

private:
    /// The full path of the key `path` below `parent`, or a status.
    RegistryStatus Resolve(RegistryKey parent, std::string_view path, std::string& fullPath) const;
    struct Contents {
        RegistryTree tree;
        /// False for a file that may not be replaced: unreadable or too large.
        bool writable;
    };
    /// The file's keys and values, and whether changes may be written.
    Contents Read() const;
    Contents Unreadable(const std::string& why) const;
    void ReportOnce(const std::string& text) const;
    /// Runs `change` on the file's tree under the lock and writes the tree
    /// back when `change` returns kRegSuccess and says it changed something.
    template <typename Change>
    RegistryStatus Modify(Change change);
    bool Write(const RegistryTree& tree) const;
    RegistryKey Remember(std::string fullPath);

    std::filesystem::path file_;
    std::map<RegistryKey, std::string> openKeys_;
    RegistryKey nextKey_ = 1;
    mutable bool reported_ = false;
};

/// Where the current user's settings file lives: "<company>/<appName>.reg"
/// in $XDG_CONFIG_HOME, or in ~/.config when that is not set to an absolute
/// path.
std::filesystem::path UserRegistryFilePath(std::string_view company, std::string_view appName);

}  // namespace kestrun
