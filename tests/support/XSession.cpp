#include "tests/support/XSession.h"

#include "platform/x11/EwmhWindowActivator.h"
#include "platform/x11/X11Property.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace kestrun::test {

namespace fs = std::filesystem;

namespace {

pid_t Spawn(std::vector<std::string> argv, int out, int err)
{
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out >= 0) {
        posix_spawn_file_actions_adddup2(&actions, out, 1);
        posix_spawn_file_actions_adddup2(&actions, err, 2);
    }
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

std::unique_ptr<Display, int (*)(Display*)> Connect() { return {XOpenDisplay(nullptr), XCloseDisplay}; }

// Whether a window hangs below another one than the root: embedded in the tray.
bool IsEmbedded(const std::string& window)
{
    const std::string tree = RunProgram({"xwininfo", "-tree", "-id", window}).out;
    const auto parent = tree.find("Parent window id:");
    return parent != std::string::npos && tree.substr(parent, tree.find('\n', parent) - parent).find("(the root") == std::string::npos;
}

// Non-canonical, no signals, no echo: every byte typed reaches cat as is.
const std::string kXtermCommand = "stty -icanon -isig -iexten -ixon -echo min 1 && exec cat > \"$0\"";

}  // namespace

pid_t StartProcess(const std::vector<std::string>& argv) { return Spawn(argv, -1, -1); }

void StopProcess(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    // Not a child (a program kestrun started): waitpid fails at once.
    if (!WaitUntil([&] { return waitpid(pid, nullptr, WNOHANG) != 0; }, std::chrono::seconds(3))) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool Ended(pid_t pid, int& status) { return waitpid(pid, &status, WNOHANG) == pid; }

Outcome RunProgram(const std::vector<std::string>& argv)
{
    const int out = memfd_create("out", MFD_CLOEXEC), err = memfd_create("err", MFD_CLOEXEC);
    Outcome outcome;
    const pid_t pid = Spawn(argv, out, err);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        outcome.status = WEXITSTATUS(status);
    // A new description of the memory file, read from its start.
    outcome.out = ReadFile("/proc/self/fd/" + std::to_string(out));
    outcome.err = ReadFile("/proc/self/fd/" + std::to_string(err));
    close(out);
    close(err);
    return outcome;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::erase(lines, "");
    return lines;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Step(const char* what)
{
    static const auto start = std::chrono::steady_clock::now();
    std::fprintf(stderr, "[%6.1fs] %s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), what);
}

std::string WaitForOutput(const fs::path& file, std::size_t size)
{
    WaitUntil([&] { return ReadFile(file).size() >= size; }, std::chrono::seconds(60));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return ReadFile(file);
}

std::vector<std::string> WindowsNamed(const std::string& pattern) { return Lines(RunProgram({"xdotool", "search", "--onlyvisible", "--name", pattern}).out); }
std::vector<std::string> KestrunWindows() { return Lines(RunProgram({"xdotool", "search", "--onlyvisible", "--class", "Kestrun"}).out); }
std::string ActiveWindow()
{
    const auto active = Lines(RunProgram({"xdotool", "getactivewindow"}).out);
    return active.empty() ? "" : active.front();
}

bool Active(const std::string& pattern)
{
    const auto found = WindowsNamed(pattern);
    return found.size() == 1 && ActiveWindow() == found.front();
}

bool MainWindowMapped() { return !WindowsNamed(kMainCaption).empty(); }

Geometry WindowGeometry(const std::string& window)
{
    std::map<std::string, int> values;
    for (const std::string& line : Lines(RunProgram({"xdotool", "getwindowgeometry", "--shell", window}).out))
        if (const auto equals = line.find('='); equals != std::string::npos)
            values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
    return {values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]};
}

void ClickCentre(const std::string& window, int button, int count)
{
    // The X server takes the pointer events in order: no need for --sync,
    // which waits for a move that never comes when the pointer is there.
    const Geometry g = WindowGeometry(window);
    Xdo({"mousemove", std::to_string(g.x + g.width / 2), std::to_string(g.y + g.height / 2), "click", "--repeat",
         std::to_string(count), "--delay", "120", std::to_string(button)});
}

void Xdo(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "xdotool");
    RunProgram(arguments);
}

bool IsActive(pid_t pid)
{
    const auto x = Connect();
    const auto window = x.get() ? FindFamilyWindow(x.get(), pid) : std::nullopt;
    return window && kestrun::ActiveWindow(x.get()) == *window;
}

std::string WaitForTrayIcon()
{
    std::string icon;
    const bool embedded = WaitUntil([&] {
        const auto windows = KestrunWindows();
        icon = windows.size() == 1 ? windows.front() : std::string();
        return !icon.empty() && IsEmbedded(icon);
    });
    return embedded ? icon : std::string();
}

std::map<unsigned char, std::vector<unsigned long>> KeyRows()
{
    const auto x = Connect();
    std::map<unsigned char, std::vector<unsigned long>> rows;
    int low = 0, high = 0, width = 0;
    if (!x.get())
        return rows;
    XDisplayKeycodes(x.get(), &low, &high);
    KeySym* syms = XGetKeyboardMapping(x.get(), static_cast<KeyCode>(low), high - low + 1, &width);
    for (int code = low; code <= high; ++code)
        rows[static_cast<unsigned char>(code)].assign(syms + (code - low) * width, syms + (code - low + 1) * width);
    XFree(syms);
    return rows;
}

std::string KeysDown()
{
    const auto x = Connect();
    if (!x.get())
        return "no display";
    std::string down;
    char keys[32];
    XQueryKeymap(x.get(), keys);
    for (int code = 0; code < 256; ++code)
        if (keys[code / 8] & (1 << (code % 8)))
            down += "key " + std::to_string(code) + " ";
    XkbStateRec state{};
    XkbGetState(x.get(), XkbUseCoreKbd, &state);
    return state.mods ? down + "modifiers " + std::to_string(state.mods) : down;
}

std::string XkbKeys() { return RunProgram({"xkbcomp", "-xkb", std::getenv("DISPLAY"), "-"}).out; }

void SetKeySyms(unsigned char code, std::vector<unsigned long> syms)
{
    if (const auto x = Connect())
        XChangeKeyboardMapping(x.get(), code, static_cast<int>(syms.size()), syms.data(), 1);
}

std::string TemplateDocument(const std::string& programs)
{
    return "<?xml version=\"1.0\"?>\n<programs xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xsi:noNamespaceSchemaLocation=\"Kestrun.xsd\">" +
           Program("Kestrun Template", {{"Open File", ""}}) + programs + "</programs>\n";
}

std::string Program(const std::string& name, const std::vector<std::pair<std::string, std::string>>& tasks)
{
    std::string xml = "<program><name>" + name + "</name><tasks>";
    for (std::size_t k = 0; k < tasks.size(); ++k)
        xml += "<task index=\"" + std::to_string(k + 1) + "\"><type>" + tasks[k].first + "</type><value>" +
               tasks[k].second + "</value><enabled>True</enabled></task>";
    return xml + "</tasks></program>";
}

XSession::XSession(XSessionOptions options)
{
    const auto home = folder_.path();
    setenv("HOME", home.c_str(), 1);
    for (const auto& [name, sub] : {std::pair{"XDG_CONFIG_HOME", "config"}, {"XDG_DATA_HOME", "data"},
                                    {"XDG_CACHE_HOME", "cache"}, {"XDG_RUNTIME_DIR", "runtime"}}) {
        fs::create_directories(home / sub);
        setenv(name, (home / sub).c_str(), 1);
    }
    fs::permissions(home / "runtime", fs::perms::owner_all);
    // No bus, no Wayland compositor (kestrun would type through it), no
    // credentials of the machine's display.
    for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY", "XAUTHORITY"})
        unsetenv(name);
    setenv("LC_ALL", "C.UTF-8", 1);
    // Qt programs on the X server, whatever platform the widget tests run on.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // In a sanitizer build: libxkbcommon-x11 strndup()s a bounded buffer
    // without a NUL, which the strict string check takes for an overflow.
    if (const char* asan = std::getenv("ASAN_OPTIONS"))
        setenv("ASAN_OPTIONS", (std::string(asan) + ":strict_string_checks=0").c_str(), 1);

    int fds[2];
    if (pipe2(fds, 0) != 0) {
        failure = "cannot make a pipe";
        return;
    }
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    const pid_t server = Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                                "-nolisten", "tcp", "-noreset"});
    close(fds[1]);
    std::string number;
    pollfd poller{fds[0], POLLIN, 0};
    for (char c = 0; server > 0 && poll(&poller, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n';)
        number += c;
    close(fds[0]);
    if (number.empty()) {
        failure = "Xvfb did not report its display (is the xvfb package installed?)";
        return;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    if (StartAndWait({"openbox", "--sm-disable"}, "openbox", [] {
            const auto x = Connect();
            return !ReadWindowProperty(x.get(), DefaultRootWindow(x.get()), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty();
        }) && options.tray)
        StartAndWait({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
                      "--SetDockType", "true", "--transparent", "false"},
                     "trayer", [] {
                         const auto x = Connect();
                         return XGetSelectionOwner(x.get(), XInternAtom(x.get(), "_NET_SYSTEM_TRAY_S0", False)) != None;
                     });
}

XSession::~XSession()
{
    for (const std::string& pid : Lines(ReadFile(folder_ / "recorders")))
        StopProcess(std::stoi(pid));
    for (auto pid = started_.rbegin(); pid != started_.rend(); ++pid)
        StopProcess(*pid);
}

pid_t XSession::Start(const std::vector<std::string>& argv)
{
    const pid_t pid = StartProcess(argv);
    if (pid > 0)
        started_.push_back(pid);
    return pid;
}

bool XSession::StartAndWait(const std::vector<std::string>& argv, const char* what, bool (*ready)())
{
    if (Start(argv) < 0 || !WaitUntil(ready, std::chrono::seconds(10)))
        failure = std::string(what) + " did not start (is it installed?)";
    return ok();
}

pid_t XSession::StartRecorder(const fs::path& output, int timeout)
{
    const pid_t pid = Start({"xterm", "-e", "/bin/sh", "-c", kXtermCommand, output.string()});
    const bool ready = pid > 0 && EwmhWindowActivator().WaitForWindow(pid, std::chrono::seconds(timeout)) &&
                       WaitUntil([&] { return fs::exists(output); }, std::chrono::seconds(timeout));
    return ready ? pid : -1;
}

fs::path XSession::RecorderScript(const fs::path& output, const std::string& before)
{
    const fs::path script = folder_.Write(
        "recorder-" + output.filename().string(),
        "#!/bin/sh\necho $$ >> '" + (folder_ / "recorders").string() + "'\n" + before + "\nexec xterm -e /bin/sh -c '" +
            kXtermCommand + "' '" + output.string() + "'\n");
    fs::permissions(script, fs::perms::owner_all);
    return script;
}

fs::path XSession::InstallKestrun(const std::string& document)
{
    // Kestrun reads the Kestrun.xml beside it; its guardian lives beside it.
    const fs::path app = folder_ / "app", built = KESTRUN_EXECUTABLE;
    fs::create_directories(app);
    for (const fs::path& file : {built, built.parent_path() / "kestrun-keyguard"})
        fs::copy_file(file, app / file.filename(), fs::copy_options::overwrite_existing);
    folder_.Write("app/Kestrun.xml", document);
    return app / "kestrun";
}

}  // namespace kestrun::test
