#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kestrun {

/// A key handle: one of the predefined root keys, or a key opened by
/// OpenKey or CreateKey and not yet closed.
using RegistryKey = std::uintptr_t;

/// A registry status: 0 for success, otherwise the system's error number.
using RegistryStatus = std::int32_t;

inline constexpr RegistryStatus kRegSuccess = 0;
inline constexpr RegistryStatus kRegNotFound = 2;
inline constexpr RegistryStatus kRegAccessDenied = 5;
inline constexpr RegistryStatus kRegInvalidHandle = 6;
inline constexpr RegistryStatus kRegInvalidParameter = 87;
inline constexpr RegistryStatus kRegBadPathname = 161;
inline constexpr RegistryStatus kRegMoreData = 234;
inline constexpr RegistryStatus kRegCorrupt = 1015;
inline constexpr RegistryStatus kRegIoFailed = 1016;
inline constexpr RegistryStatus kRegKeyDeleted = 1018;

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

inline constexpr std::int32_t kHkeyCurrentUser = static_cast<std::int32_t>(0x80000001u);

/// The handle of a predefined root key given as its 32-bit signed number
/// (HKEY_CURRENT_USER is 0x80000001). The number is sign-extended, as the
/// system does for its predefined handles.
inline RegistryKey PredefinedKey(std::int32_t root)
{
    return static_cast<RegistryKey>(static_cast<std::intptr_t>(root));
}

/// The operations of the per-user registry, in the form the system offers
/// them. Names and texts are bytes in the system's narrow encoding (UTF-8 on
/// Linux); key paths separate their keys with backslashes and are relative to
/// the key they are opened from. Every operation returns a status and changes
/// its out-arguments only on success (QueryValue also on kRegMoreData).
class RegistryOperations {
public:
    virtual ~RegistryOperations() = default;

    /// Opens an existing key.
    virtual RegistryStatus OpenKey(RegistryKey parent, std::string_view path, RegistryKey& key) = 0;
    /// Opens a key, creating it and every missing key on its path.
    virtual RegistryStatus CreateKey(RegistryKey parent, std::string_view path, RegistryKey& key) = 0;
    /// Reads a value's type and data. With `data` null only the type and the
    /// size in bytes are delivered. When `size` (the buffer's size in bytes)
    /// is too small, the needed size is delivered with kRegMoreData.
    virtual RegistryStatus QueryValue(RegistryKey key, std::string_view name, std::uint32_t& type,
                                      std::uint8_t* data, std::uint32_t& size) = 0;
    /// Writes a value, replacing any value of the same name whatever its type.
    virtual RegistryStatus SetValue(RegistryKey key, std::string_view name, std::uint32_t type,
                                    const std::uint8_t* data, std::uint32_t size) = 0;
    virtual RegistryStatus DeleteValue(RegistryKey key, std::string_view name) = 0;
    /// Deletes the key at `subKey` below `key`; a key that has subkeys stays
    /// and the result is kRegAccessDenied.
    virtual RegistryStatus DeleteKey(RegistryKey key, std::string_view subKey) = 0;
    virtual RegistryStatus CloseKey(RegistryKey key) = 0;
};

/// The current user's registry on this platform: the system's registry on
/// Windows, a file named after `company` and `appName` in the user's
/// configuration folder elsewhere. Chosen at link time.
std::unique_ptr<RegistryOperations> CreateUserRegistry(std::string_view company,
                                                       std::string_view appName);

}  // namespace kestrun
