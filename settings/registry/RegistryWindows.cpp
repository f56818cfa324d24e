// The current user's registry on Windows: the system's own registry through
// its narrow-character entry points. Built on Windows only.

#include "settings/registry/RegistryOperations.h"

#include <windows.h>

#include <string>

namespace kestrun {

namespace {

HKEY Handle(RegistryKey key) { return reinterpret_cast<HKEY>(key); }

class WindowsRegistry final : public RegistryOperations {
public:
    RegistryStatus OpenKey(RegistryKey parent, std::string_view path, RegistryKey& key) override
    {
        HKEY opened = nullptr;
        LONG status = RegOpenKeyExA(Handle(parent), std::string(path).c_str(), 0, KEY_ALL_ACCESS, &opened);
        if (status == ERROR_SUCCESS)
            key = reinterpret_cast<RegistryKey>(opened);
        return status;
    }

    RegistryStatus CreateKey(RegistryKey parent, std::string_view path, RegistryKey& key) override
    {
        HKEY opened = nullptr;
        DWORD disposition = 0;
        LONG status = RegCreateKeyExA(Handle(parent), std::string(path).c_str(), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened,
                                      &disposition);
        if (status == ERROR_SUCCESS)
            key = reinterpret_cast<RegistryKey>(opened);
        return status;
    }

    RegistryStatus QueryValue(RegistryKey key, std::string_view name, std::uint32_t& type,
                              std::uint8_t* data, std::uint32_t& size) override
    {
        DWORD valueType = 0;
        DWORD valueSize = data ? size : 0;
        LONG status = RegQueryValueExA(Handle(key), std::string(name).c_str(), nullptr, &valueType,
                                       data, &valueSize);
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
            type = valueType;
            size = valueSize;
        }
        return status;
    }

    RegistryStatus SetValue(RegistryKey key, std::string_view name, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t size) override
    {
        return RegSetValueExA(Handle(key), std::string(name).c_str(), 0, type, data, size);
    }

    RegistryStatus DeleteValue(RegistryKey key, std::string_view name) override
    {
        return RegDeleteValueA(Handle(key), std::string(name).c_str());
    }

    RegistryStatus DeleteKey(RegistryKey key, std::string_view subKey) override
    {
        return RegDeleteKeyA(Handle(key), std::string(subKey).c_str());
    }

    RegistryStatus CloseKey(RegistryKey key) override { return RegCloseKey(Handle(key)); }
};

}  // namespace

std::unique_ptr<RegistryOperations> CreateUserRegistry(std::string_view, std::string_view)
{
    return std::make_unique<WindowsRegistry>();
}

}  // namespace kestrun
