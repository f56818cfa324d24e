#include "tests/windows/WindowsTestSupport.h"

#include "platform/windows/CommandLine.h"
#include "platform/windows/ProcessFamily.h"
#include "platform/windows/WideText.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace kestrun::test {

std::filesystem::path TestProgram(const std::string& name)
{
    // The build folder is a Unix path; wine shows the root as drive Z:.
    std::string folder = KESTRUN_TEST_PROGRAMS_DIR;
    if (!folder.empty() && folder[0] == '/')
        folder = "Z:" + folder;
    return std::filesystem::path(folder).make_preferred() / name;
}

WindowsTempFolder::WindowsTempFolder()
{
    wchar_t base[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, base);
    static unsigned counter = 0;
    for (;;) {
        path_ = std::filesystem::path(base) /
                ("kestrun-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter));
        if (std::filesystem::create_directory(path_))
            break;
    }
}

WindowsTempFolder::~WindowsTempFolder()
{
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

void EndProcessFamily(std::uint32_t process)
{
    for (const std::uint32_t member : ProcessFamily(process)) {
        if (HANDLE handle = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, member)) {
            TerminateProcess(handle, 1);
            WaitForSingleObject(handle, 10000);
            CloseHandle(handle);
        }
    }
}

ProcessReaper::~ProcessReaper()
{
    for (const std::uint32_t process : processes)
        EndProcessFamily(process);
}

std::uint32_t StartProgram(const std::filesystem::path& program, const std::vector<std::wstring>& arguments)
{
    std::wstring line = CommandLineFor(program.wstring(), arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return process.dwProcessId;
}

namespace {

struct Search {
    std::vector<std::uint32_t> family;
    HWND found = nullptr;
};

BOOL CALLBACK LookAt(HWND window, LPARAM context)
{
    auto& search = *reinterpret_cast<Search*>(context);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    for (const std::uint32_t member : search.family) {
        if (member == process && IsWindowVisible(window) && !GetWindow(window, GW_OWNER)) {
            search.found = window;
            return FALSE;
        }
    }
    return TRUE;
}

}  // namespace

HWND WindowOfProcess(std::uint32_t process)
{
    Search search{ProcessFamily(process)};
    EnumWindows(LookAt, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string EditText(HWND window)
{
    const HWND edit = FindWindowExW(window, nullptr, L"Edit", nullptr);
    if (!edit)
        return "<no edit control>";
    DWORD_PTR length = 0;
    SendMessageTimeoutW(edit, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length);
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(edit, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                        5000, &copied);
    text.resize(copied);
    std::wstring lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue;
        lines += text[i];
    }
    return Utf8FromWide(lines);
}

bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::string ReadFileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kestrun::test
