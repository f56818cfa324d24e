#pragma once

#include "platform/wayland/WaylandConnection.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestProcesses.h"

#include <memory>

struct zwp_virtual_keyboard_v1;

// Skips a test where no compositor could be started.
#define SKIP_WITHOUT_SWAY(session) \
    if (!(session).ok()) GTEST_SKIP() << "No Wayland compositor here: " << (session).failure()

namespace kestrun::test {

/// A private headless sway with its own bus (and swaybar's tray when asked), run by an unprivileged
/// user since sway refuses root; WAYLAND_DISPLAY and SWAYSOCK name it here while it lives.
class WaylandSession {
public:
    /// With `xwayland`, sway starts XWayland for the first X program run through `swaymsg exec`.
    explicit WaylandSession(bool tray = true, bool xwayland = false);
    ~WaylandSession();

    bool ok() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }  // why the compositor could not start
    const TempFolder& folder() const { return folder_; }      // the user's

    /// Starts a program as the user in the session, stopped with it; -1 when it cannot start.
    pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    /// Runs a program as the user in the session; what it printed.
    std::string Run(const std::vector<std::string>& argv) const;
    /// The same, with its exit status and its standard error.
    Outcome Execute(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {}) const;
    /// A property of the StatusNotifierWatcher, as dbus-send prints it.
    std::string Watcher(const char* property) const;
    /// Starts foot (named, titled and app id `name`) copying every byte typed into `output`, once focused; its pid or -1.
    pid_t StartRecorder(const std::filesystem::path& output, const std::string& name = "foot");
    void GiveToUser(const std::filesystem::path& path) const;

private:
    std::string Begin(bool tray, bool xwayland);
    std::vector<std::string> AsUser(const std::vector<std::string>& argv, std::vector<std::string> environment) const;

    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::vector<pid_t> started_;
    std::string failure_;
    TempFolder folder_;
};

/// The process that owns sway's focused window; 0 when none.
long FocusedProcess();
/// Sway's container id of the focused window; 0 when none.
std::uint64_t FocusedContainer();
bool HasWindow(long pid);

std::string LayoutKeymap(const char* layout);

/// The user's own keyboard: a virtual one with this layout, whose keymap the seat has until someone types.
class UserKeyboard {
public:
    explicit UserKeyboard(const char* layout);
    ~UserKeyboard();
    const std::string keymap;

private:
    std::unique_ptr<WaylandConnection> connection_;
    zwp_virtual_keyboard_v1* keyboard_ = nullptr;
};

}  // namespace kestrun::test
