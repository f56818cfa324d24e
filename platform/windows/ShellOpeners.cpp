#include "platform/windows/ShellOpeners.h"

#include "core/AsciiText.h"
#include "platform/PlatformError.h"
#include "platform/windows/WideText.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

namespace kestrun {

namespace {

// The shell's handlers may be COM objects: they want an apartment on the
// calling thread, and no DDE.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment()
    {
        if (initialised_)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

bool ShellOpen(const std::string& target, int show)
{
    std::wstring wide;
    try {
        wide = WideFromUtf8(target);
    } catch (const PlatformError&) {
        return false;
    }
    if (wide.empty())
        return false;
    const ComApartment apartment;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // Returns once the outcome is known; the shell says nothing to the user.
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = wide.c_str();
    info.nShow = show;
    return ShellExecuteExW(&info) != FALSE;
}

bool StartsWithIgnoringCase(const std::string& text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualsIgnoringAsciiCase(std::string_view(text).substr(0, prefix.size()), prefix);
}

// The shell runs a batch file through cmd.exe, which parses its path as a
// command line: a folder named "a&b" would run b.
bool IsBatchFile(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find_first_of("\\/", dot) != std::string::npos)
        return false;
    const std::string_view extension = std::string_view(path).substr(dot + 1);
    return EqualsIgnoringAsciiCase(extension, "bat") || EqualsIgnoringAsciiCase(extension, "cmd");
}

}  // namespace

bool ShellFileOpener::Open(const std::string& path)
{
    return !IsBatchFile(path) && ShellOpen(path, SW_SHOWNORMAL);
}

bool ShellWebPageOpener::OpenAddress(const std::string& address)
{
    if (!StartsWithIgnoringCase(address, "http://") && !StartsWithIgnoringCase(address, "https://"))
        return false;
    return ShellOpen(address, SW_SHOWMAXIMIZED);
}

}  // namespace kestrun
