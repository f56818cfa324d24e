#include "tests/gnome/MutterSession.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace kestrun::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr const char* kUser = "kestrun-wayland";

// A session bus like dbus-daemon's own, that the test itself (root) may use too.
std::string BusConfig(const fs::path& socket)
{
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n  <type>session</type>\n  <listen>unix:path=" + socket.string() + "</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n    <allow user=\"root\"/>\n    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n";
}

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

void Restore(const char* name, const std::string& value)
{
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
}

}  // namespace

MutterSession::MutterSession() : savedBus_(Environment("DBUS_SESSION_BUS_ADDRESS")), savedDisplay_(Environment("WAYLAND_DISPLAY"))
{
    failure_ = Begin();
}

std::string MutterSession::Begin()
{
    if (access("/usr/bin/mutter", X_OK) != 0)
        return "mutter is not installed";
    RunProgram({"/usr/sbin/useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kUser});
    const passwd* user = getpwnam(kUser);
    if (!user)
        return std::string("cannot create the user ") + kUser;
    uid_ = user->pw_uid, gid_ = user->pw_gid;
    const fs::path run = folder_ / "run";
    fs::create_directories(run);
    folder_.Write("bus.conf", BusConfig(run / "bus"));
    RunProgram({"chown", "-R", std::to_string(uid_) + ":" + std::to_string(gid_), folder_.path().string()});
    fs::permissions(run, fs::perms::owner_all);

    Start({"dbus-daemon", "--config-file=" + (folder_ / "bus.conf").string(), "--nofork", "--nosyslog"});
    Start({"dbus-daemon", "--session", "--nofork", "--nosyslog", "--address=unix:path=" + (run / "system").string()});
    if (!WaitUntil([&] { return fs::exists(run / "bus") && fs::exists(run / "system"); }, 10s))
        return "the private buses did not start";
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (run / "bus").string()).c_str(), 1);
    Start({"/bin/sh", "-c", "exec \"$0\" \"$@\" >>\"$HOME/mutter.log\" 2>&1", "mutter", "--headless", "--wayland",
           "--no-x11", "--virtual-monitor", "1024x768"},
          {"DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + (run / "system").string()});
    const bool up = WaitUntil(
        [&] {
            return fs::exists(run / "wayland-0") &&
                   RunProgram({"gdbus", "call", "--session", "-d", "org.gnome.Mutter.RemoteDesktop", "-o",
                               "/org/gnome/Mutter/RemoteDesktop", "-m", "org.freedesktop.DBus.Peer.Ping"})
                           .status == 0;
        },
        30s);
    if (!up)
        return "headless mutter did not start: " + Log();
    setenv("WAYLAND_DISPLAY", (run / "wayland-0").c_str(), 1);
    return "";
}

MutterSession::~MutterSession()
{
    for (auto pid = started_.rbegin(); pid != started_.rend(); ++pid)
        StopProcess(*pid);
    Restore("DBUS_SESSION_BUS_ADDRESS", savedBus_);
    Restore("WAYLAND_DISPLAY", savedDisplay_);
}

pid_t MutterSession::Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    // A session of its own: mutter signals its whole process group as it ends, which must not reach the
    // test.
    std::vector<std::string> command = {"setsid", "setpriv", "--reuid=" + std::to_string(uid_), "--regid=" + std::to_string(gid_),
                                        "--clear-groups", "env", "-i", "-C", folder_.path().string(),
                                        "HOME=" + folder_.path().string(),
                                        "XDG_RUNTIME_DIR=" + (folder_ / "run").string(),
                                        "XDG_CONFIG_HOME=" + (folder_ / "config").string(),
                                        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (folder_ / "run" / "bus").string(),
                                        "PATH=/usr/local/bin:/usr/bin:/bin", std::string("USER=") + kUser,
                                        "LANG=C.UTF-8"};
    if (const char* display = std::getenv("WAYLAND_DISPLAY"))
        command.push_back(std::string("WAYLAND_DISPLAY=") + display);
    command.insert(command.end(), environment.begin(), environment.end());
    command.insert(command.end(), argv.begin(), argv.end());
    const pid_t pid = StartProcess(command);
    started_.push_back(pid);
    return pid;
}

pid_t MutterSession::StartRecorder(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                                   const fs::path& output)
{
    const pid_t pid = Start(argv, environment);
    const fs::path active = output.string() + ".active";
    return pid > 0 && WaitUntil([&] { return fs::exists(active); }, 30s) ? pid : -1;
}

pid_t MutterSession::StartQtRecorder(const fs::path& output)
{
    return StartRecorder({KESTRUN_QT_RECORDER, output.string()}, {"QT_QPA_PLATFORM=wayland"}, output);
}

pid_t MutterSession::StartGtkRecorder(const fs::path& output)
{
    return StartRecorder({"/usr/bin/python3", KESTRUN_GTK_RECORDER, output.string()}, {"GDK_BACKEND=wayland"},
                         output);
}

std::string MutterSession::Log() const { return ReadFile(folder_ / "mutter.log"); }

}  // namespace kestrun::test
