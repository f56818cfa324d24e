#include "tests/wayland/WaylandSession.h"

#include "platform/wayland/CompositorIpc.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandProtocols.h"

#include <xkbcommon/xkbcommon.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace kestrun::test {

namespace {

namespace fs = std::filesystem;

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

void Stop(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

std::string Json(SwayMessage type)
{
    return SwayRequest(type, "").value_or("");
}

}  // namespace

WaylandSession::WaylandSession(bool withTray)
{
    if (!getpwnam(kUser)) {
        const pid_t useradd = Spawn({"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", kUser},
                                    {"PATH=/usr/sbin:/usr/bin:/sbin:/bin"}, false);
        waitpid(useradd, nullptr, 0);
        started_.clear();
    }
    const passwd* user = getpwnam(kUser);
    if (!user) {
        failure_ = std::string("cannot create the user ") + kUser + " (useradd)";
        return;
    }
    uid_ = user->pw_uid;
    gid_ = user->pw_gid;

    char pattern[] = "/tmp/kestrun-wayland-XXXXXX";
    if (!mkdtemp(pattern)) {
        failure_ = "cannot make a temporary folder";
        return;
    }
    folder_ = pattern;
    runtime_ = folder_ / "run";
    fs::create_directories(runtime_);
    fs::create_directories(folder_ / "home");
    std::ofstream(folder_ / "sway.conf") << "output HEADLESS-1 resolution 1280x800\n"
                                            "xwayland disable\n"
                                         << (withTray ? "bar {\n  status_command true\n  tray_output *\n}\n" : "");
    for (const auto& entry : fs::recursive_directory_iterator(folder_))
        GiveToUser(entry.path());
    GiveToUser(folder_);
    chmod(runtime_.c_str(), 0700);

    bus_ = Start({"dbus-daemon", "--session", "--nofork", "--nosyslog", "--address=unix:path=" + (runtime_ / "bus").string()});
    WaitUntil([&] { return fs::exists(runtime_ / "bus"); }, std::chrono::seconds(5));
    sway_ = Start({"sway", "-c", (folder_ / "sway.conf").string()},
                  {"WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman"});
    fs::path display, ipc;
    const bool up = WaitUntil(
        [&] {
            for (const auto& entry : fs::directory_iterator(runtime_)) {
                const std::string name = entry.path().filename().string();
                if (name.rfind("wayland-", 0) == 0 && entry.path().extension() != ".lock")
                    display = entry.path();
                if (name.rfind("sway-ipc.", 0) == 0)
                    ipc = entry.path();
            }
            return !display.empty() && !ipc.empty();
        },
        std::chrono::seconds(10));
    if (!up) {
        std::ifstream log(folder_ / "sway.log");
        std::stringstream text;
        text << log.rdbuf();
        failure_ = "headless sway did not start (see its log):\n" + text.str();
        return;
    }
    setenv("WAYLAND_DISPLAY", display.c_str(), 1);
    setenv("SWAYSOCK", ipc.c_str(), 1);
    WaitUntil([] { return !Json(SwayMessage::GetTree).empty(); }, std::chrono::seconds(5));
    // swaybar's tray host, which a program asks for before it shows an icon;
    // the tests of the tray say so when it does not come.
    if (withTray)
        WaitUntil(
            [&] {
                return Run({"dbus-send", "--session", "--print-reply", "--dest=org.kde.StatusNotifierWatcher",
                            "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties.Get",
                            "string:org.kde.StatusNotifierWatcher", "string:IsStatusNotifierHostRegistered"})
                           .find("boolean true") != std::string::npos;
            },
            std::chrono::seconds(10));
}

WaylandSession::~WaylandSession()
{
    for (auto pid = started_.rbegin(); pid != started_.rend(); ++pid)
        if (*pid != bus_)
            Stop(*pid);
    Stop(bus_);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("SWAYSOCK");
    if (!folder_.empty()) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
}

void WaylandSession::GiveToUser(const fs::path& path) const
{
    if (chown(path.c_str(), uid_, gid_) != 0)
        return;
}

std::vector<std::string> WaylandSession::Environment() const
{
    std::vector<std::string> environment = {
        "HOME=" + (folder_ / "home").string(),
        "XDG_RUNTIME_DIR=" + runtime_.string(),
        "XDG_CONFIG_HOME=" + (folder_ / "home" / ".config").string(),
        "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (runtime_ / "bus").string(),
        "PATH=/usr/local/bin:/usr/bin:/bin",
        std::string("USER=") + kUser,
        "LANG=C.UTF-8",
    };
    for (const char* name : {"WAYLAND_DISPLAY", "SWAYSOCK"})
        if (const char* value = std::getenv(name))
            environment.push_back(std::string(name) + "=" + value);
    return environment;
}

pid_t WaylandSession::Start(const std::vector<std::string>& argv, const std::vector<std::string>& extra)
{
    std::vector<std::string> environment = Environment();
    environment.insert(environment.end(), extra.begin(), extra.end());
    return Spawn(argv, environment, true);
}

// Output goes to a log named after the program in the folder.
pid_t WaylandSession::Spawn(std::vector<std::string> argv, std::vector<std::string> environment, bool asUser)
{
    const std::string log = folder_.empty() ? "/dev/null"
                                            : (folder_ / (fs::path(argv[0]).filename().string() + ".log")).string();
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(out, 1);
        dup2(out, 2);
        if (asUser && (setgroups(0, nullptr) != 0 || setgid(gid_) != 0 || setuid(uid_) != 0 ||
                       chdir(folder_.c_str()) != 0))
            _exit(126);
        execvpe(argv[0].c_str(), Pointers(argv).data(), Pointers(environment).data());
        _exit(127);
    }
    if (pid > 0)
        started_.push_back(pid);
    return pid;
}

std::string WaylandSession::Run(const std::vector<std::string>& argv)
{
    const fs::path output = folder_ / (fs::path(argv[0]).filename().string() + ".log");
    std::error_code ignored;
    fs::remove(output, ignored);
    const pid_t pid = Start(argv);
    int status = 0;
    waitpid(pid, &status, 0);
    started_.pop_back();
    std::ifstream in(output);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

pid_t WaylandSession::StartRecorder(const fs::path& output, const std::string& name)
{
    // foot under the given program name, which is also its app id.
    const fs::path program = folder_ / name;
    std::error_code ignored;
    fs::create_symlink("/usr/bin/foot", program, ignored);
    // Non-canonical, no signals, no echo: every byte typed reaches cat as is.
    const pid_t pid = Start({program.string(), "--app-id=" + name, "/bin/sh", "-c", "stty -icanon -isig -iexten -ixon -echo min 1 && exec cat > \"$0\"",
                             output.string()});
    const bool ready = pid > 0 && WaitUntil([&] { return HasWindow(pid) && fs::exists(output); },
                                            std::chrono::seconds(10));
    return ready && WaitUntil([&] { return FocusedProcess() == pid; }, std::chrono::seconds(5)) ? pid : -1;
}

long WaylandSession::FocusedProcess()
{
    const std::string tree = Json(SwayMessage::GetTree);
    const std::size_t focused = tree.find("\"focused\": true");
    if (focused == std::string::npos)
        return 0;
    // The focused node's own members end where the next node begins.
    const std::size_t next = tree.find("\"id\":", focused);
    const auto pids = PidsInJson(tree.substr(focused, next == std::string::npos ? next : next - focused));
    return pids.empty() ? 0 : *pids.begin();
}

bool WaylandSession::HasWindow(long pid) { return PidsInJson(Json(SwayMessage::GetTree)).count(pid) != 0; }

std::string WaylandSession::WaitForOutput(const fs::path& output, std::size_t size)
{
    const auto length = [&] {
        std::error_code error;
        const auto bytes = fs::file_size(output, error);
        return error ? 0 : static_cast<std::size_t>(bytes);
    };
    WaitUntil([&] { return length() >= size; }, std::chrono::seconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::ifstream in(output, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool WaylandSession::WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string LayoutKeymap(const char* layout)
{
    const xkb_rule_names names{nullptr, nullptr, layout, nullptr, nullptr};
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
    const std::string result = text ? text : "";
    std::free(text);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return result;
}

UserKeyboard::UserKeyboard(const char* layout) : connection_(WaylandConnection::Open()), keymap_(LayoutKeymap(layout))
{
    if (!connection_ || !connection_->keyboards())
        return;
    keyboard_ = wayland::CreateVirtualKeyboard(connection_->keyboards(), connection_->seat());
    wayland::UploadKeymap(keyboard_, keymap_);
    connection_->RoundTrip();
}

UserKeyboard::~UserKeyboard()
{
    if (keyboard_)
        wayland::DestroyVirtualKeyboard(keyboard_);
}

}  // namespace kestrun::test
