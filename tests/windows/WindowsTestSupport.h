#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace kestrun::test {

/// One of the small Windows programs the tests start (edit_window.exe,
/// show_arguments.exe), as a path wine and Windows both understand.
std::filesystem::path TestProgram(const std::string& name);

/// A fresh folder in the user's temporary folder, removed with its contents.
class WindowsTempFolder {
public:
    WindowsTempFolder();
    ~WindowsTempFolder();
    WindowsTempFolder(const WindowsTempFolder&) = delete;
    WindowsTempFolder& operator=(const WindowsTempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

/// Ends the process and every process it started; for the end of a test.
void EndProcessFamily(std::uint32_t process);

/// Ends the processes of the ids it holds when it goes.
struct ProcessReaper {
    std::vector<std::uint32_t> processes;
    ~ProcessReaper();
};

/// Starts `program` with `arguments` (quoted by CommandLineFor); its id.
std::uint32_t StartProgram(const std::filesystem::path& program, const std::vector<std::wstring>& arguments = {});

/// The visible top-level window of the process or a process it started.
HWND WindowOfProcess(std::uint32_t process);

/// The text of the EDIT control in a top-level window, its line breaks as
/// "\n", in UTF-8.
std::string EditText(HWND window);

/// Looks until `done` says so or `limit` has passed; whether it did.
bool PollUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(30));

/// A file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::filesystem::path& file);

}  // namespace kestrun::test
