#include "tests/support/KestrunDesktop.h"

#include "tests/support/XSession.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace kestrun::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Output(const std::vector<std::string>& argv)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> copies = argv;
    std::vector<char*> args;
    for (auto& arg : copies)
        args.push_back(arg.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; error == 0 && (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(fds[0]);
    if (error == 0)
        waitpid(pid, nullptr, 0);
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> VisibleKestrunWindows()
{
    return Lines(Output({"xdotool", "search", "--onlyvisible", "--class", "Kestrun"}));
}

std::vector<std::string> VisibleWindowsNamed(const std::string& pattern)
{
    return Lines(Output({"xdotool", "search", "--onlyvisible", "--name", pattern}));
}

bool MainWindowMapped() { return !VisibleWindowsNamed(kMainCaption).empty(); }

std::string ActiveWindow()
{
    const auto active = Lines(Output({"xdotool", "getactivewindow"}));
    return active.empty() ? std::string() : active.front();
}

Geometry WindowGeometry(const std::string& window)
{
    Geometry geometry;
    for (const std::string& line : Lines(Output({"xdotool", "getwindowgeometry", "--shell", window}))) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const int value = std::atoi(line.c_str() + equals + 1);
        if (key == "X") geometry.x = value;
        if (key == "Y") geometry.y = value;
        if (key == "WIDTH") geometry.width = value;
        if (key == "HEIGHT") geometry.height = value;
    }
    return geometry;
}

bool IsEmbedded(const std::string& window)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    const bool queried = XQueryTree(display, std::stoul(window), &root, &parent, &children, &count);
    if (children)
        XFree(children);
    XCloseDisplay(display);
    return queried && parent != root;
}

bool TrayOwned()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const Atom selection = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
    const bool owned = XGetSelectionOwner(display, selection) != None;
    XCloseDisplay(display);
    return owned;
}

bool Ended(pid_t pid, int& status) { return waitpid(pid, &status, WNOHANG) == pid; }

void Step(const char* what)
{
    static const auto start = std::chrono::steady_clock::now();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "[%6.1fs] %s\n", elapsed.count(), what);
}

Started::~Started() { StopProcess(pid); }

fs::path WriteRecorder(const TempFolder& folder, const fs::path& typed, const fs::path& pidFile)
{
    const fs::path recorder = folder.Write(
        "recorder", "#!/bin/sh\necho $$ > '" + pidFile.string() +
                        "'\nexec xterm -e /bin/sh -c 'stty -icanon -isig -iexten -ixon -echo && exec cat > \"$0\"' '" +
                        typed.string() + "'\n");
    fs::permissions(recorder, fs::perms::owner_all);
    return recorder;
}

pid_t StartTray()
{
    const pid_t trayer = StartProcess({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                       "--height", "24", "--SetDockType", "true", "--transparent", "false"});
    if (trayer > 0 && !WaitUntil(TrayOwned)) {
        StopProcess(trayer);
        return -1;
    }
    return trayer;
}

std::string TemplateDocument(const std::string& programs)
{
    return "<?xml version=\"1.0\"?>\n<programs xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xsi:noNamespaceSchemaLocation=\"Kestrun.xsd\">"
           "<program><name>Kestrun Template</name><tasks><task index=\"1\"><type>Open File</type><value/>"
           "<enabled>True</enabled></task></tasks></program>" +
           programs + "</programs>\n";
}

pid_t StartKestrun(const fs::path& folder, const std::string& document)
{
    // Kestrun reads Kestrun.xml beside its executable.
    fs::create_directories(folder);
    fs::copy_file(KESTRUN_EXECUTABLE, folder / "kestrun", fs::copy_options::overwrite_existing);
    // Its keyboard guardian lives beside it.
    const fs::path guardian = fs::path(KESTRUN_EXECUTABLE).parent_path() / "kestrun-keyguard";
    fs::copy_file(guardian, folder / "kestrun-keyguard", fs::copy_options::overwrite_existing);
    std::ofstream(folder / "Kestrun.xml", std::ios::binary) << document;
    return StartKestrunAt(folder / "kestrun");
}

pid_t StartKestrunAt(const fs::path& executable)
{
    // On the X server, whatever platform the widget tests run on.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // In a sanitizer build: libxkbcommon-x11 strndup()s a bounded buffer
    // without a NUL, which the strict string check takes for an overflow.
    if (const char* options = std::getenv("ASAN_OPTIONS"))
        setenv("ASAN_OPTIONS", (std::string(options) + ":strict_string_checks=0").c_str(), 1);
    return StartProcess({executable.string()});
}

std::string WaitForTrayIcon()
{
    std::string icon;
    WaitUntil([&] {
        const auto windows = VisibleKestrunWindows();
        if (windows.size() == 1)
            icon = windows.front();
        return !icon.empty() && IsEmbedded(icon);
    });
    return !icon.empty() && IsEmbedded(icon) ? icon : std::string();
}

std::string OpenMainWindowFromIcon(const std::string& icon)
{
    // The X server takes the test's pointer events in order: no need for
    // xdotool's --sync, which waits for a move that never comes when the
    // pointer is there already.
    const Geometry geometry = WindowGeometry(icon);
    Output({"xdotool", "mousemove", std::to_string(geometry.CentreX()), std::to_string(geometry.CentreY()), "click",
            "--repeat", "2", "--delay", "120", "1"});
    std::string main;
    WaitUntil([&] {
        const auto found = VisibleWindowsNamed(kMainCaption);
        main = found.empty() ? "" : found.front();
        return !main.empty() && ActiveWindow() == main;
    });
    return !main.empty() && ActiveWindow() == main ? main : std::string();
}

}  // namespace kestrun::test
