#pragma once

#include "tests/support/TempFolder.h"
#include "tests/support/TestProcesses.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kestrun::test {

/// A private headless mutter with a session bus of its own and another standing in for the system bus
/// (mutter asks logind there), run by an unprivileged user; while it lives, WAYLAND_DISPLAY and
/// DBUS_SESSION_BUS_ADDRESS name them here, and the bus lets this process (root) in too.
class MutterSession {
public:
    MutterSession();
    ~MutterSession();
    MutterSession(const MutterSession&) = delete;
    MutterSession& operator=(const MutterSession&) = delete;

    bool ok() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }
    const TempFolder& folder() const { return folder_; }

    /// Starts a program as the user in the session; -1 when it cannot start. Stopped with the session.
    pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    /// A Qt or a GTK window recording its text into `output`, started and given the focus (mutter focuses
    /// new windows); its pid, or -1 when it did not show.
    pid_t StartQtRecorder(const std::filesystem::path& output);
    pid_t StartGtkRecorder(const std::filesystem::path& output);
    /// Whether mutter's log names a client it disconnected or a keysym it found no key for.
    std::string Log() const;

private:
    std::string Begin();
    pid_t StartRecorder(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                        const std::filesystem::path& output);

    unsigned uid_ = 0, gid_ = 0;
    std::vector<pid_t> started_;
    std::string failure_;
    std::string savedBus_, savedDisplay_;
    TempFolder folder_;
};

}  // namespace kestrun::test
