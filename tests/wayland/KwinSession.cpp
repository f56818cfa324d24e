#include "tests/wayland/KwinSession.h"

#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeymap.h"

#include <pwd.h>
#include <unistd.h>

namespace kestrun::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
constexpr const char* kSocket = "wayland-kestrun";
}

KwinSession::KwinSession(const std::string& typist, const char* layout) { failure_ = Begin(typist, layout); }

std::string KwinSession::Begin(const std::string& typist, const char* layout)
{
    if (!fs::exists("/usr/bin/kwin_wayland"))
        return "kwin_wayland is not installed";
    RunProgram({"/usr/sbin/useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", "kestrun-wayland"});
    const passwd* user = getpwnam("kestrun-wayland");
    if (!user)
        return "cannot create the user kestrun-wayland";
    uid_ = user->pw_uid, gid_ = user->pw_gid;
    const fs::path run = folder_ / "run";
    fs::create_directories(run);
    // A plain copy: the installed one carries a file capability these sandboxes refuse. Its name stays,
    // for KWin loads its own platform plugin by it.
    fs::create_directories(folder_ / "kwin");
    fs::copy_file("/usr/bin/kwin_wayland", folder_ / "kwin" / "kwin_wayland");
    fs::create_directories(folder_ / "data" / "applications");
    fs::create_directories(folder_ / "config");
    folder_.Write("data/applications/kestrun-typist.desktop",
                  "[Desktop Entry]\nType=Application\nName=Typist\nExec=" + typist +
                      "\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n");
    folder_.Write("config/kxkbrc", std::string("[Layout]\nLayoutList=") + layout + "\nUse=true\n");
    RunProgram({"chown", "-R", std::to_string(uid_) + ":" + std::to_string(gid_), folder_.path().string()});
    fs::permissions(run, fs::perms::owner_all);

    Start({"dbus-daemon", "--session", "--nofork", "--nosyslog", "--address=unix:path=" + (run / "bus").string()});
    if (!WaitUntil([&] { return fs::exists(run / "bus"); }, 10s))
        return "the session bus did not start";
    Start({(folder_ / "kwin" / "kwin_wayland").string(), "--virtual", "--no-lockscreen", "--no-global-shortcuts",
           "--no-kactivities", "--socket", kSocket, "--width", "1280", "--height", "800"},
          {"KWIN_COMPOSE=Q", "QT_QPA_PLATFORM=offscreen", std::string("XKB_DEFAULT_LAYOUT=") + layout});
    // KWin answers on the bus once its scripting is up, after its socket.
    const bool up = WaitUntil(
        [&] {
            return fs::exists(run / kSocket) &&
                   Run({"dbus-send", "--session", "--print-reply", "--dest=org.kde.KWin", "/Scripting",
                        "org.freedesktop.DBus.Peer.Ping"})
                           .status == 0;
        },
        30s);
    if (!up)
        return "headless KWin did not start (its messages are above)";
    setenv("WAYLAND_DISPLAY", (run / kSocket).c_str(), 1);
    // KWin starts with a keymap of its own and reads the user's layout later.
    const bool layoutRead = WaitUntil(
        [&] {
            const auto connection = WaylandConnection::Open();
            return connection && WaylandKeymap(connection->SeatKeymap()).LayoutDescription() != "English (US)";
        },
        10s);
    if (!layoutRead && std::string(layout) != "us")
        return "KWin did not take the layout " + std::string(layout);
    return "";
}

KwinSession::~KwinSession()
{
    for (auto pid = started_.rbegin(); pid != started_.rend(); ++pid)
        StopProcess(*pid);
    unsetenv("WAYLAND_DISPLAY");
}

std::vector<std::string> KwinSession::AsUser(const std::vector<std::string>& argv,
                                             std::vector<std::string> environment) const
{
    const fs::path run = folder_ / "run";
    std::vector<std::string> command = {"setpriv", "--reuid=" + std::to_string(uid_),
                                        "--regid=" + std::to_string(gid_), "--clear-groups",
                                        "env", "-i", "-C", folder_.path().string(),
                                        "HOME=" + folder_.path().string(), "XDG_RUNTIME_DIR=" + run.string(),
                                        "XDG_DATA_HOME=" + (folder_ / "data").string(),
                                        "XDG_CONFIG_HOME=" + (folder_ / "config").string(),
                                        "XDG_CACHE_HOME=" + (folder_ / "cache").string(),
                                        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (run / "bus").string(),
                                        "WAYLAND_DISPLAY=" + std::string(kSocket),
                                        "PATH=/usr/local/bin:/usr/bin:/bin", "USER=kestrun-wayland", "LANG=C.UTF-8"};
    command.insert(command.end(), environment.begin(), environment.end());
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
}

pid_t KwinSession::Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    const pid_t pid = StartProcess(AsUser(argv, environment));
    started_.push_back(pid);
    return pid;
}

Outcome KwinSession::Run(const std::vector<std::string>& argv) const { return RunProgram(AsUser(argv, {})); }

pid_t KwinSession::StartQtRecorder(const fs::path& output)
{
    return Start({KESTRUN_QT_RECORDER, output.string()}, {"QT_QPA_PLATFORM=wayland"});
}

pid_t KwinSession::StartGtkRecorder(const fs::path& output)
{
    return Start({"/usr/bin/python3", KESTRUN_GTK_RECORDER, output.string()}, {"GDK_BACKEND=wayland"});
}

}  // namespace kestrun::test
