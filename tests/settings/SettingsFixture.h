#pragma once

#include "platform/RegistryFile.h"
#include "settings/CRegSettings.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kestrun::test {

/// A settings store over a file in a fresh temporary folder, and the same
/// file's raw registry for values as another program would write them.
class SettingsFixture : public ::testing::Test {
protected:
    /// Writes a value of any type below Kestrun's key.
    void SetRaw(const std::string& section, const std::string& name, std::uint32_t type, const std::string& data)
    {
        RegistryKey key = 0;
        ASSERT_EQ(raw.CreateKey(PredefinedKey(kHkeyCurrentUser), kAppKey + section, key), kRegSuccess);
        ASSERT_EQ(raw.SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                               static_cast<std::uint32_t>(data.size())),
                  kRegSuccess);
        raw.CloseKey(key);
    }

    /// The type and bytes of a value below Kestrun's key, as "<type>:<bytes>".
    std::string GetRaw(const std::string& section, const std::string& name)
    {
        RegistryKey key = 0;
        std::uint32_t type = 0, size = 64;
        std::string data(size, '\0');
        if (raw.OpenKey(PredefinedKey(kHkeyCurrentUser), kAppKey + section, key) != kRegSuccess)
            return "no key";
        const bool read = raw.QueryValue(key, name, type, reinterpret_cast<std::uint8_t*>(data.data()), size) == kRegSuccess;
        raw.CloseKey(key);
        return read ? std::to_string(type) + ":" + data.substr(0, size) : "no value";
    }

    const std::string kAppKey = "Software\\Quillon Works\\Kestrun\\";
    TempFolder folder;
    std::filesystem::path file = folder / "Quillon Works" / "Kestrun.reg";
    CRegSettings settings{std::make_unique<RegistryFile>(file)};
    RegistryFile raw{file};
};

}  // namespace kestrun::test
