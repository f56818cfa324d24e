#include "platform/windows/WindowsProgramStarter.h"

#include "core/AsciiText.h"
#include "platform/PlatformError.h"
#include "platform/windows/CommandLine.h"
#include "platform/windows/WideText.h"

#include <windows.h>

#include <initializer_list>

namespace kestrun {

namespace {

std::string Extension(const std::string& path)
{
    const std::size_t dot = path.rfind('.');
    const std::size_t separator = path.find_last_of("\\/");
    if (dot == std::string::npos || (separator != std::string::npos && dot < separator))
        return {};
    return path.substr(dot + 1);
}

bool HasExtension(const std::string& path, std::initializer_list<std::string_view> extensions)
{
    const std::string extension = Extension(path);
    for (const std::string_view candidate : extensions) {
        if (EqualsIgnoringAsciiCase(extension, candidate))
            return true;
    }
    return false;
}

bool IsOrdinaryFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool WindowsProgramStarter::IsProgramFile(const std::string& path)
{
    if (!HasExtension(path, {"exe", "com"}))
        return false;
    try {
        return IsOrdinaryFile(WideFromUtf8(path));
    } catch (const PlatformError&) {
        return false;
    }
}

std::int32_t WindowsProgramStarter::Start(const std::string& path)
{
    if (HasExtension(path, {"bat", "cmd"}))
        throw PlatformError("Cannot start " + path + " as a program: it is a batch file; open it instead.");
    const std::wstring program = WideFromUtf8(path, "The program's path");
    std::wstring commandLine = CommandLineFor(program);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_UNICODE_ENVIRONMENT | CREATE_DEFAULT_ERROR_MODE, nullptr, nullptr, &startup,
                        &process))
        throw PlatformError("Cannot start " + path + ": " + Win32ErrorText(GetLastError()));
    AllowSetForegroundWindow(process.dwProcessId);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<std::int32_t>(process.dwProcessId);
}

}  // namespace kestrun
