#include "platform/windows/WindowsFileExistence.h"

#include "platform/PlatformError.h"
#include "platform/windows/WideText.h"

#include <windows.h>

namespace kestrun {

namespace {

// What a missing file, folder or drive, or a name no file can have, reports.
bool MeansMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_NETPATH || error == ERROR_BAD_PATHNAME || error == ERROR_NOT_READY ||
           error == ERROR_INVALID_DRIVE || error == ERROR_DIRECTORY;
}

[[noreturn]] void CannotTest(const std::string& path, DWORD error)
{
    throw PlatformError("Cannot look for " + path + ": " + Win32ErrorText(error));
}

}  // namespace

bool WindowsFileExistence::OrdinaryFileExists(const std::string& path)
{
    if (path.empty())
        return false;
    std::wstring wide;
    try {
        wide = WideFromUtf8(path, "The path");
    } catch (const PlatformError&) {
        return false;  // no file has such a name
    }
    const std::size_t separator = wide.find_last_of(L"\\/");
    const std::wstring last = separator == std::wstring::npos ? wide : wide.substr(separator + 1);
    if (last.empty())
        return false;

    if (last.find_first_of(L"*?") == std::wstring::npos) {
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            if (MeansMissing(error))
                return false;
            CannotTest(path, error);
        }
        return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    WIN32_FIND_DATAW found{};
    const HANDLE search = FindFirstFileExW(wide.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (MeansMissing(error) || error == ERROR_NO_MORE_FILES)
            return false;
        CannotTest(path, error);
    }
    bool any = false;
    do {
        any = !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    } while (!any && FindNextFileW(search, &found));
    FindClose(search);
    return any;
}

}  // namespace kestrun
