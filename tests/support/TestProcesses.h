#pragma once

// Processes the end-to-end tests start, wait for and read: POSIX only, no display.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace kestrun::test {

/// Polls `condition` until it holds or `timeout` passes (generous: the machine may be busy).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (; !condition(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

pid_t StartProcess(const std::vector<std::string>& argv);
void StopProcess(pid_t pid);  // SIGTERM, then SIGKILL, and reaps it
bool Ended(pid_t pid, int& status);  // reaps it
pid_t EndedProcess();  // the id of a child that has exited and been reaped
struct Started {  // stops the process however the test leaves
    pid_t pid = -1;
    ~Started() { StopProcess(pid); }
};
struct Outcome { int status = -1; std::string out, err; };  // status -1: it did not start or exit
Outcome RunProgram(const std::vector<std::string>& argv);
std::vector<std::string> Lines(const std::string& text);
std::string ReadFile(const std::filesystem::path& path);
void Step(const char* what);  // progress on standard error
/// Waits until `file` holds `size` bytes, and a little longer for any more (a fault too); its content.
std::string WaitForOutput(const std::filesystem::path& file, std::size_t size);

}  // namespace kestrun::test
