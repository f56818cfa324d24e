#include "tests/wayland/WaylandSession.h"

#include "platform/wayland/CompositorIpc.h"
#include "platform/wayland/KeymapUpload.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <xkbcommon/xkbcommon.h>

#include <pwd.h>
#include <unistd.h>

namespace kestrun::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

WaylandSession::WaylandSession(bool tray, bool xwayland) { failure_ = Begin(tray, xwayland); }

std::string WaylandSession::Begin(bool tray, bool xwayland)
{
    RunProgram({"/usr/sbin/useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", "kestrun-wayland"});
    const passwd* user = getpwnam("kestrun-wayland");
    if (!user)
        return "cannot create the user kestrun-wayland";
    uid_ = user->pw_uid, gid_ = user->pw_gid;
    const fs::path run = folder_ / "run";
    fs::create_directories(run);
    folder_.Write("sway.conf", std::string("output HEADLESS-1 resolution 1280x800\nxwayland ") +
                                  (xwayland ? "enable\n" : "disable\n") +
                                  (tray ? "bar {\n  status_command true\n  tray_output *\n}\n" : ""));
    GiveToUser(folder_.path());
    fs::permissions(run, fs::perms::owner_all);

    Start({"dbus-daemon", "--session", "--nofork", "--nosyslog", "--address=unix:path=" + (run / "bus").string()});
    WaitUntil([&] { return fs::exists(run / "bus"); }, 5s);
    setenv("SWAYSOCK", (run / "sway.sock").c_str(), 1);
    Start({"sway", "-c", (folder_ / "sway.conf").string()},
          {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"});
    fs::path display;
    const bool up = WaitUntil(
        [&] {
            for (const auto& entry : fs::directory_iterator(run))
                if (entry.path().filename().string().rfind("wayland-", 0) == 0 && entry.path().extension() != ".lock")
                    display = entry.path();
            return !display.empty() && SwayRequest(SwayMessage::GetTree, "");
        },
        10s);
    if (!up)
        return "headless sway did not start (its messages are above)";
    setenv("WAYLAND_DISPLAY", display.c_str(), 1);
    // Programs ask for swaybar's tray host before they show an icon.
    if (tray)
        WaitUntil([&] { return Watcher("IsStatusNotifierHostRegistered").find("boolean true") != std::string::npos; },
                  10s);
    return "";
}

WaylandSession::~WaylandSession()
{
    for (auto pid = started_.rbegin(); pid != started_.rend(); ++pid)
        StopProcess(*pid);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SWAYSOCK");
}

void WaylandSession::GiveToUser(const fs::path& path) const
{
    RunProgram({"chown", "-R", std::to_string(uid_) + ":" + std::to_string(gid_), path.string()});
}

std::vector<std::string> WaylandSession::AsUser(const std::vector<std::string>& argv,
                                                std::vector<std::string> environment) const
{
    std::vector<std::string> command = {"setpriv", "--reuid=" + std::to_string(uid_),
                                        "--regid=" + std::to_string(gid_), "--clear-groups",
                                        "env", "-i", "-C", folder_.path().string(),
                                        "HOME=" + folder_.path().string(), "XDG_RUNTIME_DIR=" + (folder_ / "run").string(),
                                        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (folder_ / "run" / "bus").string(),
                                        "PATH=/usr/local/bin:/usr/bin:/bin", "USER=kestrun-wayland", "LANG=C.UTF-8"};
    for (const char* name : {"WAYLAND_DISPLAY", "SWAYSOCK"})
        if (const char* value = std::getenv(name))
            command.push_back(std::string(name) + "=" + value);
    command.insert(command.end(), environment.begin(), environment.end());
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

pid_t WaylandSession::Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    const pid_t pid = StartProcess(AsUser(argv, environment));
    started_.push_back(pid);
    return pid;
}

std::string WaylandSession::Run(const std::vector<std::string>& argv) const { return Execute(argv).out; }

Outcome WaylandSession::Execute(const std::vector<std::string>& argv, const std::vector<std::string>& environment) const
{
    return RunProgram(AsUser(argv, environment));
}

std::string WaylandSession::Watcher(const char* property) const
{
    return Run({"dbus-send", "--session", "--print-reply", "--dest=org.kde.StatusNotifierWatcher",
                "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get", "string:org.kde.StatusNotifierWatcher",
                std::string("string:") + property});
}

pid_t WaylandSession::StartRecorder(const fs::path& output, const std::string& name)
{
    // Activation by app id looks for the program's name in it.
    std::error_code exists;
    fs::create_symlink("/usr/bin/foot", folder_ / name, exists);
    // Non-canonical, no signals, no echo: every byte typed reaches cat as is.
    const pid_t pid = Start({(folder_ / name).string(), "--app-id=" + name, "--title=" + name, "--log-level=error", "/bin/sh", "-c",
                             "stty -icanon -isig -iexten -ixon -echo min 1 && exec cat > \"$0\"", output.string()});
    return pid > 0 && WaitUntil([&] { return FocusedProcess() == pid && fs::exists(output); }, 10s) ? pid : -1;
}

long FocusedProcess()
{
    const auto focused = FocusedInTree(SwayRequest(SwayMessage::GetTree, "").value_or(""));
    return focused ? focused->pid : 0;
}

std::uint64_t FocusedContainer()
{
    const auto focused = FocusedInTree(SwayRequest(SwayMessage::GetTree, "").value_or(""));
    return focused ? focused->id : 0;
}

bool HasWindow(long pid) { return PidsInJson(SwayRequest(SwayMessage::GetTree, "").value_or("")).count(pid) != 0; }

std::string LayoutKeymap(const char* layout)
{
    const xkb_rule_names names{nullptr, nullptr, layout, nullptr, nullptr};
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    const std::string result = text;
    std::free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return result;
}

UserKeyboard::UserKeyboard(const char* layout) : keymap(LayoutKeymap(layout)), connection_(WaylandConnection::Open())
{
    if (!connection_ || !connection_->keyboards())
        return;
    keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(connection_->keyboards(), connection_->seat());
    UploadKeymap(keyboard_, keymap);
    connection_->RoundTrip();
}

UserKeyboard::~UserKeyboard()
{
    if (keyboard_)
        zwp_virtual_keyboard_v1_destroy(keyboard_);
}

}  // namespace kestrun::test
