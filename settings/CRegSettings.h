#pragma once

#include "settings/registry/RegistryOperations.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kestrun {

inline constexpr std::string_view kDefaultMainKey = "Software";
inline constexpr std::string_view kDefaultCompany = "Quillon Works";
inline constexpr std::string_view kDefaultAppName = "Kestrun";

/// Named values in the current user's registry, below the key
/// MainKey\Company\AppName of the root key HKey (by default
/// HKEY_CURRENT_USER\Software\Quillon Works\Kestrun). Callers deal in a
/// section (a subkey; empty for the application key itself), a value name
/// and texts; "*" names the key's unnamed value.
///
/// Values are written as text (REG_SZ) or as a 32-bit number (REG_DWORD) and
/// read back as text; values of any other type read as absent. No operation
/// raises an error: failures show only in the result. Every call opens the
/// key it needs and closes it before returning. Names and texts are bytes in
/// the system's narrow encoding (UTF-8 on Linux).
class CRegSettings {
public:
    /// The store of this platform (the registry, or its stand-in file).
    CRegSettings();
    explicit CRegSettings(std::unique_ptr<RegistryOperations> registry);

    std::int32_t HKey() const { return hKey_; }
    /// Stores the root key's number unchanged.
    void SetHKey(std::int32_t NewVal) { hKey_ = NewVal; }

    const std::string& MainKey() const { return mainKey_; }
    const std::string& Company() const { return company_; }
    const std::string& AppName() const { return appName_; }
    /// An empty text restores the default; any other text is stored without
    /// its leading and trailing spaces (spaces only store an empty text).
    void SetMainKey(std::string_view NewVal);
    void SetCompany(std::string_view NewVal);
    void SetAppName(std::string_view NewVal);

    /// The value's text: a REG_SZ without one trailing NUL, a REG_DWORD as
    /// signed decimal. `sDefault` when the key or value is missing, the value
    /// is empty or of another type.
    std::string GetSetting(const std::string& sSection, const std::string& sKey,
                           const std::string& sDefault = {});

    /// Writes `sString` as a REG_SZ (without a terminating NUL) when it is not
    /// empty, else `lNumber` as a REG_DWORD, creating the section's key when
    /// missing. False when nothing was written, also when both are empty.
    bool SaveSetting(const std::string& sSection, const std::string& sKey,
                     const std::string& sString = {},
                     std::optional<std::int32_t> lNumber = std::nullopt);

    /// With `sKey`, deletes that value of the section ("*": the unnamed
    /// value); without, deletes the section's key, which must have no subkeys.
    /// True when the deletion succeeded.
    bool DeleteSetting(const std::string& sSection, const std::string& sKey = {});

private:
    std::string GetKeyPath(const std::string& sSection) const;
    RegistryKey Root() const { return PredefinedKey(hKey_); }

    std::unique_ptr<RegistryOperations> registry_;
    std::int32_t hKey_ = kHkeyCurrentUser;
    std::string mainKey_{kDefaultMainKey};
    std::string company_{kDefaultCompany};
    std::string appName_{kDefaultAppName};
};

}  // namespace kestrun
