#pragma once

#include "tests/support/TempFolder.h"
#include "tests/support/TestProcesses.h"

#include <string>
#include <vector>

namespace kestrun::test {

/// A private headless KWin with its own session bus, run by an unprivileged user; its desktop entries
/// (XDG_DATA_HOME) give fake input to the program `typist`, whose installed entry asks for it.
/// WAYLAND_DISPLAY names it here while it lives.
class KwinSession {
public:
    /// `layout`: the keyboard layout KWin gives its seat.
    explicit KwinSession(const std::string& typist, const char* layout = "de");
    ~KwinSession();

    bool ok() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }
    const TempFolder& folder() const { return folder_; }

    /// Starts a program as the user in the session, stopped with it; -1 when it cannot start.
    pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    /// Runs a program as the user in the session to its end.
    Outcome Run(const std::vector<std::string>& argv) const;
    /// Starts the Qt recorder writing what it is typed to `output` (once it has a window); its pid or -1.
    pid_t StartQtRecorder(const std::filesystem::path& output);
    /// Starts the GTK 3 recorder likewise; its pid or -1.
    pid_t StartGtkRecorder(const std::filesystem::path& output);

private:
    std::string Begin(const std::string& typist, const char* layout);
    std::vector<std::string> AsUser(const std::vector<std::string>& argv, std::vector<std::string> environment) const;

    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::vector<pid_t> started_;
    std::string failure_;
    TempFolder folder_;
};

}  // namespace kestrun::test
