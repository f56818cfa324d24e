#include "tests/support/XSession.h"

#include "platform/linux/EwmhWindowActivator.h"
#include "platform/linux/X11Property.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kestrun::test {

namespace {

using Clock = std::chrono::steady_clock;

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

pid_t StartProcess(const std::vector<std::string>& argv, int inheritFd)
{
    std::vector<char*> args;
    std::vector<std::string> copies = argv;
    for (auto& arg : copies)
        args.push_back(arg.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Children of the test must not read the test's standard input.
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    (void)inheritFd;  // the descriptor is created without close-on-exec
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

void StopProcess(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    const bool ended = WaitUntil([&] { return waitpid(pid, nullptr, WNOHANG) != 0; }, std::chrono::seconds(3));
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

int RunProcess(const std::vector<std::string>& argv)
{
    const pid_t pid = StartProcess(argv);
    if (pid < 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

XSession::XSession()
{
    const auto home = folder_.path();
    for (const char* sub : {"config", "data", "cache", "runtime"})
        std::filesystem::create_directories(home / sub);
    std::filesystem::permissions(home / "runtime", std::filesystem::perms::owner_all);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (home / "runtime").c_str(), 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    // Kestrun types through a Wayland compositor when one answers.
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("XAUTHORITY");
    setenv("LC_ALL", "C.UTF-8", 1);
    if (StartServer())
        StartWindowManager();
}

XSession::~XSession()
{
    for (auto pid = started_.rbegin(); pid != started_.rend(); ++pid)
        StopProcess(*pid);
}

bool XSession::StartServer()
{
    int fds[2];
    if (pipe2(fds, 0) != 0) {
        failure = "cannot make a pipe";
        return false;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const pid_t server = StartProcess({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                                       "-nolisten", "tcp", "-noreset"},
                                      fds[1]);
    close(fds[1]);
    if (server < 0) {
        close(fds[0]);
        failure = "cannot start Xvfb (is the xvfb package installed?)";
        return false;
    }
    started_.push_back(server);
    std::string number;
    pollfd poller{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&poller, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(fds[0]);
    if (number.empty()) {
        failure = "Xvfb did not report its display";
        return false;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

bool XSession::StartWindowManager()
{
    const pid_t manager = StartProcess({"openbox", "--sm-disable"});
    if (manager < 0) {
        failure = "cannot start openbox";
        return false;
    }
    started_.push_back(manager);
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        failure = "cannot connect to Xvfb";
        return false;
    }
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
    const bool ready = WaitUntil(
        [&] {
            Atom type = None;
            int format = 0;
            unsigned long count = 0, remaining = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type, &format,
                               &count, &remaining, &data);
            if (data)
                XFree(data);
            return count == 1;
        },
        std::chrono::seconds(10));
    XCloseDisplay(display);
    if (!ready)
        failure = "openbox did not start managing windows";
    return ready;
}

bool XSession::WaitForWindowOf(pid_t pid, int timeout)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const bool found =
        WaitUntil([&] { return FindClientWindow(display, pid).has_value(); }, std::chrono::seconds(timeout));
    XCloseDisplay(display);
    return found;
}

bool XSession::IsActive(pid_t pid)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const auto window = FindClientWindow(display, pid);
    const bool active = window && ActiveWindow(display) == *window;
    XCloseDisplay(display);
    return active;
}

std::vector<unsigned long> XSession::CoreKeymap()
{
    std::vector<unsigned long> copy;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return copy;
    int min = 0, max = 0, width = 0;
    XDisplayKeycodes(display, &min, &max);
    KeySym* syms = XGetKeyboardMapping(display, static_cast<KeyCode>(min), max - min + 1, &width);
    copy.assign(syms, syms + (max - min + 1) * width);
    XFree(syms);
    XCloseDisplay(display);
    return copy;
}

std::string XSession::KeysDown()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return "no display";
    std::string down;
    char keys[32];
    XQueryKeymap(display, keys);
    for (int code = 0; code < 256; ++code)
        if (keys[code / 8] & (1 << (code % 8)))
            down += "key " + std::to_string(code) + " ";
    XkbStateRec state{};
    XkbGetState(display, XkbUseCoreKbd, &state);
    if (state.mods != 0)
        down += "modifiers " + std::to_string(state.mods);
    XCloseDisplay(display);
    return down;
}

pid_t XSession::StartRecorder(const std::filesystem::path& output, int timeout)
{
    // Non-canonical, no signals, no echo: every byte typed reaches cat as is.
    const pid_t pid = StartProcess({"xterm", "-e", "/bin/sh", "-c",
                                    "stty -icanon -isig -iexten -ixon -echo min 1 && exec cat > \"$0\"",
                                    output.string()});
    if (pid < 0)
        return -1;
    started_.push_back(pid);
    const bool ready = WaitForWindowOf(pid, timeout) &&
                       WaitUntil([&] { return std::filesystem::exists(output); }, std::chrono::seconds(timeout));
    return ready ? pid : -1;
}

std::string XSession::WaitForOutput(const std::filesystem::path& output, std::size_t size)
{
    const auto length = [&] {
        std::error_code error;
        const auto bytes = std::filesystem::file_size(output, error);
        return error ? 0 : static_cast<std::size_t>(bytes);
    };
    WaitUntil([&] { return length() >= size; }, std::chrono::seconds(10));
    // Anything beyond the expected bytes would be a fault too.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::ifstream in(output, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace kestrun::test
