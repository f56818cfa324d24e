#pragma once

// The X session of the end-to-end tests and benchmarks: the server, its window manager and tray.

#include "tests/support/TempFolder.h"
#include "tests/support/TestProcesses.h"

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kestrun::test {

struct XSessionOptions {
    bool tray = false;  // trayer at the top right, owning the system tray
};

/// A private X session: its own Xvfb, openbox, trayer when asked, private HOME and XDG folders, all
/// set in this process's environment. What it or a recorder script started is stopped when it goes.
class XSession {
public:
    explicit XSession(XSessionOptions options = {});
    ~XSession();

    bool ok() const { return failure.empty(); }
    std::string failure;
    const TempFolder& folder() const { return folder_; }

    pid_t Start(const std::vector<std::string>& argv);
    /// Starts an xterm copying every byte typed into `output`, once it has a window; its process id, or -1.
    pid_t StartRecorder(const std::filesystem::path& output, int timeout = 10);
    /// A script for task documents to start: runs `before` (a shell command), then becomes such an xterm.
    std::filesystem::path RecorderScript(const std::filesystem::path& output, const std::string& before = "true");
    /// The built kestrun and its guardian copied beside `document` (Kestrun.xml); the executable.
    std::filesystem::path InstallKestrun(const std::string& document);

private:
    bool StartAndWait(const std::vector<std::string>& argv, const char* what, bool (*ready)());

    TempFolder folder_;
    std::vector<pid_t> started_;
};

}  // namespace kestrun::test
