#pragma once

#include "tests/support/TempFolder.h"

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kestrun::test {

/// Starts a process with the test's environment; -1 when it cannot start.
/// `inheritFd`, when given, stays open in the child.
pid_t StartProcess(const std::vector<std::string>& argv, int inheritFd = -1);
/// Ends a process started by the test: SIGTERM, then SIGKILL, and reaps it.
void StopProcess(pid_t pid);
/// Runs a program to its end; its exit status, or -1.
int RunProcess(const std::vector<std::string>& argv);

/// A private X session for one test: its own Xvfb on a free display, its own
/// openbox, and a private HOME and XDG folders, all set in this process's
/// environment (DISPLAY included). Fails the test when the X server cannot
/// start. Everything started is stopped by process id when it goes.
class XSession {
public:
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    /// False (with the reason in `failure`) when the session could not start.
    bool ok() const { return failure.empty(); }
    std::string failure;

    /// Starts an xterm (UTF-8 locale) whose terminal copies every byte typed
    /// into `output`, and waits until its window is managed (`timeout`
    /// seconds at most). Its process id, or -1.
    pid_t StartRecorder(const std::filesystem::path& output, int timeout = 10);

    /// Waits until a process has a managed window (a few seconds at most).
    static bool WaitForWindowOf(pid_t pid, int timeout = 10);
    /// Whether that window is the active one.
    static bool IsActive(pid_t pid);
    /// The core keyboard mapping, every key code's keysyms.
    static std::vector<unsigned long> CoreKeymap();
    /// The key codes that are down and the modifier state; empty when none.
    static std::string KeysDown();

    /// Waits until `output` holds at least `size` bytes (a few seconds at
    /// most), then returns its content.
    static std::string WaitForOutput(const std::filesystem::path& output, std::size_t size);

    const TempFolder& folder() const { return folder_; }

private:
    bool StartServer();
    bool StartWindowManager();

    TempFolder folder_;
    std::vector<pid_t> started_;
};

}  // namespace kestrun::test
