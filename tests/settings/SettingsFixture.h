#pragma once

#include "platform/RegistryFile.h"
#include "settings/CRegSettings.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace kestrun::test {

inline const std::string kAppKey = "Software\\Quillon Works\\Kestrun";

/// A settings store over a file in a fresh temporary folder, and the same
/// file's raw registry for writing values as another program would.
class SettingsFixture : public ::testing::Test {
protected:
    TempFolder folder;
    std::filesystem::path file = folder / "Quillon Works" / "Kestrun.reg";
    CRegSettings settings{std::make_unique<RegistryFile>(file)};
    RegistryFile raw{file};

    /// Writes a value of any type below the application key.
    void SetRaw(const std::string& section, const std::string& name, std::uint32_t type,
                const std::string& data)
    {
        RegistryKey key = 0;
        ASSERT_EQ(raw.CreateKey(PredefinedKey(kHkeyCurrentUser), kAppKey + "\\" + section, key), kRegSuccess);
        ASSERT_EQ(raw.SetValue(key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                               static_cast<std::uint32_t>(data.size())),
                  kRegSuccess);
        raw.CloseKey(key);
    }

    /// The type and bytes of a value below the application key; type 0 and
    /// "<missing>" when it cannot be read.
    std::pair<std::uint32_t, std::string> GetRaw(const std::string& section, const std::string& name)
    {
        RegistryKey key = 0;
        if (raw.OpenKey(PredefinedKey(kHkeyCurrentUser), kAppKey + "\\" + section, key) != kRegSuccess)
            return {0, "<missing>"};
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        std::string data;
        if (raw.QueryValue(key, name, type, nullptr, size) == kRegSuccess) {
            data.resize(size);
            if (raw.QueryValue(key, name, type, reinterpret_cast<std::uint8_t*>(data.data()), size) != kRegSuccess)
                data = "<missing>";
        } else {
            data = "<missing>";
        }
        raw.CloseKey(key);
        return {type, data};
    }

    std::string FileText() const
    {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void WriteFile(const std::string& text) const
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
};

}  // namespace kestrun::test
