#pragma once

#include "platform/wayland/WaylandConnection.h"
#include "tests/support/TempFolder.h"
#include "tests/support/XSession.h"

#include <memory>

namespace kestrun::test {

/// A private headless sway with its own session bus (and swaybar's tray when
/// asked), run by an unprivileged user since sway refuses to run as root.
/// WAYLAND_DISPLAY and SWAYSOCK name it in this process while it lives.
class WaylandSession {
public:
    explicit WaylandSession(bool tray = true);
    ~WaylandSession();

    bool ok() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }  // why the compositor could not start
    const TempFolder& folder() const { return folder_; }      // the user's

    /// Starts a program as the user in the session, stopped with it; -1 when it cannot start.
    pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
    /// Runs a program as the user in the session; what it printed.
    std::string Run(const std::vector<std::string>& argv) const;
    /// A property of the StatusNotifierWatcher, as dbus-send prints it.
    std::string Watcher(const char* property) const;
    /// Starts foot, named and with the app id `name`, copying every byte typed
    /// into `output`, and waits until it has the focus; its process id or -1.
    pid_t StartRecorder(const std::filesystem::path& output, const std::string& name = "foot");
    void GiveToUser(const std::filesystem::path& path) const;

private:
    std::string Begin(bool tray);
    std::vector<std::string> AsUser(const std::vector<std::string>& argv, std::vector<std::string> environment) const;

    uid_t uid_ = 0;
    gid_t gid_ = 0;
    std::vector<pid_t> started_;
    std::string failure_;
    TempFolder folder_;
};

/// The process that owns sway's focused window; 0 when none.
long FocusedProcess();
bool HasWindow(long pid);

/// The keymap xkbcommon makes for a layout.
std::string LayoutKeymap(const char* layout);

/// The user's own keyboard: a virtual one with the given layout, which has
/// the seat's keymap until someone else types.
class UserKeyboard {
public:
    explicit UserKeyboard(const char* layout);
    ~UserKeyboard();
    const std::string keymap;

private:
    std::string Begin(bool tray);
    std::unique_ptr<WaylandConnection> connection_;
    wl_proxy* keyboard_ = nullptr;
};

}  // namespace kestrun::test
