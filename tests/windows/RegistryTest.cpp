// The settings store and the start at login on the system's registry, read
// back through the Reg* calls themselves.
#include "platform/windows/RunKeyLoginStart.h"
#include "settings/CRegSettings.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace kestrun {
namespace {

constexpr const char* kPositionKey = "Software\\Quillon Works\\Kestrun\\Position";

struct RawValue {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

RawValue ReadRaw(const char* keyPath, const char* name)
{
    RawValue value;
    HKEY key = nullptr;
    value.status = RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, &key);
    if (value.status != ERROR_SUCCESS)
        return value;
    DWORD size = 0;
    value.status = RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size);
    if (value.status == ERROR_SUCCESS) {
        value.data.resize(size);
        value.status = RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size);
    }
    RegCloseKey(key);
    return value;
}

void WriteRaw(const char* keyPath, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

class SystemRegistry : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillon Works"); }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillon Works"); }
    CRegSettings settings;
};

TEST_F(SystemRegistry, PositionsGoInAsNumbersAndComeBackAsText)
{
    const struct {
        const char* name;
        std::int32_t number;
        const char* text;
    } rows[] = {
        {"frmMain Left", 1440, "1440"},
        {"frmMain Top", 0, "0"},
        {"frmAddTask Left", -2160, "-2160"},
        {"frmAddTask Top", 32767, "32767"},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(settings.SaveSetting("Position", row.name, {}, row.number)) << row.name;
        const RawValue raw = ReadRaw(kPositionKey, row.name);
        ASSERT_EQ(raw.status, ERROR_SUCCESS) << row.name;
        EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD)) << row.name;
        ASSERT_EQ(raw.data.size(), 4u) << row.name;
        std::int32_t stored = 0;
        std::memcpy(&stored, raw.data.data(), 4);
        EXPECT_EQ(stored, row.number) << row.name;
        EXPECT_EQ(settings.GetSetting("Position", row.name, "none"), row.text) << row.name;
    }
}

TEST_F(SystemRegistry, TextsRoundTripAsStrings)
{
    ASSERT_TRUE(settings.SaveSetting("Position", "Note", "a text, with spaces"));
    const RawValue raw = ReadRaw(kPositionKey, "Note");
    ASSERT_EQ(raw.status, ERROR_SUCCESS);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(settings.GetSetting("Position", "Note"), "a text, with spaces");
    // A value written by someone else with its terminating NUL reads the same.
    WriteRaw(kPositionKey, "Terminated", REG_SZ, "1200", 5);
    EXPECT_EQ(settings.GetSetting("Position", "Terminated"), "1200");
    // The unnamed value, and the application's own key.
    ASSERT_TRUE(settings.SaveSetting("", "*", "default"));
    EXPECT_EQ(ReadRaw("Software\\Quillon Works\\Kestrun", "").status, ERROR_SUCCESS);
    EXPECT_EQ(settings.GetSetting("", "*"), "default");
}

TEST_F(SystemRegistry, ValuesOfAnotherTypeReadAsAbsent)
{
    const std::uint64_t wide = 1440;
    const BYTE binary[] = {0xA0, 0x05, 0, 0};
    WriteRaw(kPositionKey, "frmMain Left", REG_BINARY, binary, sizeof binary);
    WriteRaw(kPositionKey, "frmMain Top", REG_QWORD, &wide, sizeof wide);
    WriteRaw(kPositionKey, "frmAddTask Left", REG_MULTI_SZ, "12\0\0", 4);
    WriteRaw(kPositionKey, "frmAddTask Top", REG_DWORD, binary, 2);  // too short for a number
    WriteRaw(kPositionKey, "Empty", REG_SZ, "", 0);
    for (const char* name : {"frmMain Left", "frmMain Top", "frmAddTask Left", "frmAddTask Top", "Empty", "Missing"})
        EXPECT_EQ(settings.GetSetting("Position", name, "centred"), "centred") << name;
    EXPECT_EQ(settings.GetSetting("No such section", "frmMain Left", "centred"), "centred");
    // Saving over a value of another type replaces it.
    ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Left", {}, 720));
    EXPECT_EQ(ReadRaw(kPositionKey, "frmMain Left").type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(settings.GetSetting("Position", "frmMain Left"), "720");
}

TEST_F(SystemRegistry, DeletesValuesThenTheSection)
{
    ASSERT_TRUE(settings.SaveSetting("Position", "frmMain Left", {}, 1));
    ASSERT_TRUE(settings.SaveSetting("Position\\Inner", "x", {}, 2));
    EXPECT_TRUE(settings.DeleteSetting("Position", "frmMain Left"));
    EXPECT_EQ(ReadRaw(kPositionKey, "frmMain Left").status, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(settings.DeleteSetting("Position", "frmMain Left"));
    EXPECT_FALSE(settings.DeleteSetting("Position")) << "a key with subkeys was deleted";
    EXPECT_TRUE(settings.DeleteSetting("Position\\Inner"));
    EXPECT_TRUE(settings.DeleteSetting("Position"));
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPositionKey, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST(LoginStart, TheRunKeyHoldsTheQuotedExecutable)
{
    const char* run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    RunKeyLoginStart login(L"C:\\Program Files\\Kestrun Ω\\kestrun.exe");
    login.SetEnabled(false);
    EXPECT_FALSE(login.Enabled());
    login.SetEnabled(true);
    EXPECT_TRUE(login.Enabled());
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                            KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Kestrun", nullptr, &type, reinterpret_cast<BYTE*>(value), &size), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(value), L"\"C:\\Program Files\\Kestrun Ω\\kestrun.exe\"");
    login.SetEnabled(false);
    EXPECT_FALSE(login.Enabled());
    EXPECT_EQ(ReadRaw(run, "Kestrun").status, ERROR_FILE_NOT_FOUND);
    login.SetEnabled(false);  // nothing to remove: no error
}

}  // namespace
}  // namespace kestrun
