#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct wl_proxy;

namespace kestrun {
class WaylandConnection;
}

namespace kestrun::test {

/// A private headless sway (with its own session bus, and swaybar's tray when
/// asked) run by an unprivileged user, since sway refuses to run as root.
/// This process talks to it as a client: WAYLAND_DISPLAY and SWAYSOCK name it
/// while the session lives. Everything started is stopped by process id.
class WaylandSession {
public:
    static constexpr const char* kUser = "kestrun-wayland";

    explicit WaylandSession(bool withTray = true);
    ~WaylandSession();
    WaylandSession(const WaylandSession&) = delete;
    WaylandSession& operator=(const WaylandSession&) = delete;

    /// Why the compositor could not start; empty when it runs.
    const std::string& failure() const { return failure_; }
    bool ok() const { return failure_.empty(); }

    /// A folder the user owns, removed with the session.
    const std::filesystem::path& folder() const { return folder_; }

    /// Starts a program as the user in the session; -1 when it cannot start.
    pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});

    /// Runs a program as the user in the session and returns what it printed.
    std::string Run(const std::vector<std::string>& argv);

    /// Starts foot running `cat` into `output`, as a program `name` with
    /// that app id, and waits for its window (which then has the focus); -1
    /// when it does not come.
    pid_t StartRecorder(const std::filesystem::path& output, const std::string& name = "foot");

    /// The process that owns the focused window; 0 when none.
    static long FocusedProcess();

    /// Whether `pid` owns a window.
    static bool HasWindow(long pid);

    /// Waits until `output` holds `size` bytes (10 s at most), a moment
    /// longer for bytes that should not come, and returns it.
    static std::string WaitForOutput(const std::filesystem::path& output, std::size_t size);

    static bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit);

    /// Makes `path` readable and writable by the user.
    void GiveToUser(const std::filesystem::path& path) const;

private:
    std::vector<std::string> Environment() const;
    pid_t Spawn(std::vector<std::string> argv, std::vector<std::string> environment, bool asUser);

    std::string failure_;
    std::filesystem::path folder_;
    std::filesystem::path runtime_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
    pid_t bus_ = -1;
    pid_t sway_ = -1;
    std::vector<pid_t> started_;
};

/// The user's own keyboard: a virtual one with the given layout, which has
/// the seat's keymap until someone else types.
class UserKeyboard {
public:
    explicit UserKeyboard(const char* layout);
    ~UserKeyboard();
    UserKeyboard(const UserKeyboard&) = delete;
    UserKeyboard& operator=(const UserKeyboard&) = delete;

    const std::string& keymap() const { return keymap_; }

private:
    std::unique_ptr<WaylandConnection> connection_;
    wl_proxy* keyboard_ = nullptr;
    std::string keymap_;
};

/// The keymap xkbcommon makes for a layout.
std::string LayoutKeymap(const char* layout);

}  // namespace kestrun::test
