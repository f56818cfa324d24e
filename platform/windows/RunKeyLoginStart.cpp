#include "platform/windows/RunKeyLoginStart.h"

#include "platform/PlatformError.h"
#include "platform/windows/CommandLine.h"
#include "platform/windows/WideText.h"

#include <windows.h>

namespace kestrun {

namespace {

constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class OpenedKey {
public:
    OpenedKey() = default;
    ~OpenedKey()
    {
        if (key_)
            RegCloseKey(key_);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

[[noreturn]] void Refused(const char* what, LSTATUS status)
{
    throw PlatformError(std::string(what) + ": " + Win32ErrorText(static_cast<std::uint32_t>(status)));
}

}  // namespace

RunKeyLoginStart::RunKeyLoginStart(std::filesystem::path executable, std::wstring valueName)
    : executable_(std::move(executable)), valueName_(std::move(valueName))
{
}

std::wstring RunKeyLoginStart::CommandLine() const { return CommandLineFor(executable_.wstring()); }

bool RunKeyLoginStart::Enabled() const
{
    OpenedKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, key.out()) != ERROR_SUCCESS)
        return false;
    return RegQueryValueExW(key.get(), valueName_.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

void RunKeyLoginStart::SetEnabled(bool enabled)
{
    OpenedKey key;
    if (enabled) {
        const std::wstring line = CommandLine();
        LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_SET_VALUE, nullptr, key.out(), nullptr);
        if (status != ERROR_SUCCESS)
            Refused("Cannot open the Run key of the registry", status);
        status = RegSetValueExW(key.get(), valueName_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(line.c_str()),
                                static_cast<DWORD>((line.size() + 1) * sizeof(wchar_t)));
        if (status != ERROR_SUCCESS)
            Refused("Cannot write the start at login into the registry", status);
        return;
    }
    LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, key.out());
    if (status == ERROR_FILE_NOT_FOUND)
        return;
    if (status != ERROR_SUCCESS)
        Refused("Cannot open the Run key of the registry", status);
    status = RegDeleteValueW(key.get(), valueName_.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
        Refused("Cannot remove the start at login from the registry", status);
}

}  // namespace kestrun
