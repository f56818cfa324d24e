// The built kestrun on a private X server with openbox and an XEmbed tray:
// it starts hidden in the tray, opens from a double click on its icon,
// launches a program with Enter and quits from the tray menu.

#include "tests/platform/XSession.h"

// Before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kMainCaption = "Kestrun by Quillon Works Software";

// Generous: the machine may be busy with other builds.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = 30s)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// Runs a command to its end and returns what it printed.
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

// Mapped windows of kestrun: its tray icon, its main window, its menus.
std::vector<std::string> VisibleKestrunWindows()
{
    return Lines(Output({"xdotool", "search", "--onlyvisible", "--class", "Kestrun"}));
}

bool MainWindowMapped()
{
    return !Lines(Output({"xdotool", "search", "--onlyvisible", "--name", kMainCaption})).empty();
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    int CentreX() const { return x + width / 2; }
    int CentreY() const { return y + height / 2; }
};

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

// Whether a window hangs below another one than the root: embedded in the tray.
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

bool Ended(pid_t pid, int& status)
{
    return waitpid(pid, &status, WNOHANG) == pid;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Progress on standard error, to see where a failed run stopped.
void Step(const char* what)
{
    static const auto start = std::chrono::steady_clock::now();
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "[%6.1fs] %s\n", elapsed.count(), what);
}

// Stops a process started here when the test leaves, however it leaves.
struct Started {
    pid_t pid = -1;
    ~Started() { StopProcess(pid); }
};

TEST(TrayEndToEnd, StartsHiddenOpensFromTheIconLaunchesAndQuits)
{
    Step("starting the X session");
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    Started trayer{StartProcess({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                                 "24", "--SetDockType", "true", "--transparent", "false"})};
    ASSERT_GT(trayer.pid, 0) << "cannot start trayer (is the trayer package installed?)";
    ASSERT_TRUE(WaitUntil(TrayOwned)) << "trayer did not take the tray selection";

    // Kestrun reads Kestrun.xml beside its executable: a copy of it in a folder of ours.
    const fs::path app = session.folder() / "app";
    fs::create_directories(app);
    fs::copy_file(KESTRUN_EXECUTABLE, app / "kestrun");
    const fs::path typed = session.folder() / "typed.txt";
    const fs::path recorderPid = session.folder() / "recorder.pid";
    const fs::path recorder = session.folder().Write(
        "recorder", "#!/bin/sh\necho $$ > '" + recorderPid.string() +
                        "'\nexec xterm -e /bin/sh -c 'stty -icanon -isig -iexten -ixon -echo && exec cat > \"$0\"' '" +
                        typed.string() + "'\n");
    fs::permissions(recorder, fs::perms::owner_all);
    std::ofstream(app / "Kestrun.xml")
        << "<?xml version=\"1.0\"?>\n<programs xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xsi:noNamespaceSchemaLocation=\"Kestrun.xsd\">"
           "<program><name>Kestrun Template</name><tasks><task index=\"1\"><type>Open File</type><value/>"
           "<enabled>True</enabled></task></tasks></program>"
           "<program><name>Record</name><tasks>"
           "<task index=\"1\"><type>Open File</type><value>" + recorder.string() + "</value><enabled>True</enabled></task>"
           "<task index=\"2\"><type>Wait</type><value>4</value><enabled>True</enabled></task>"
           "<task index=\"3\"><type>Keystrokes</type><value>Tray +works~</value><enabled>True</enabled></task>"
           "</tasks></program></programs>\n";

    // On the X server, whatever platform the widget tests run on.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // In a sanitizer build: libxkbcommon-x11 strndup()s a bounded buffer
    // without a NUL, which the strict string check takes for an overflow.
    if (const char* options = std::getenv("ASAN_OPTIONS"))
        setenv("ASAN_OPTIONS", (std::string(options) + ":strict_string_checks=0").c_str(), 1);
    Step("starting kestrun");
    Started kestrun{StartProcess({(app / "kestrun").string()})};
    ASSERT_GT(kestrun.pid, 0);

    // Hidden: only the icon, embedded in the tray.
    std::string icon;
    ASSERT_TRUE(WaitUntil([&] {
        const auto windows = VisibleKestrunWindows();
        if (windows.size() == 1)
            icon = windows.front();
        return !icon.empty() && IsEmbedded(icon);
    })) << "no tray icon appeared";
    Step("icon in the tray");
    EXPECT_FALSE(MainWindowMapped());

    // A double click on the icon opens the window, in front. (The X server
    // takes the test's pointer events in order: no need for xdotool's --sync,
    // which waits for a move that never comes when the pointer is there already.)
    const Geometry iconGeometry = WindowGeometry(icon);
    ASSERT_GT(iconGeometry.width, 0);
    Output({"xdotool", "mousemove", std::to_string(iconGeometry.CentreX()),
            std::to_string(iconGeometry.CentreY()), "click", "--repeat", "2", "--delay", "120", "1"});
    ASSERT_TRUE(WaitUntil(MainWindowMapped)) << "the main window did not open";
    std::string main;
    ASSERT_TRUE(WaitUntil([&] {
        const auto found = Lines(Output({"xdotool", "search", "--onlyvisible", "--name", kMainCaption}));
        main = found.empty() ? "" : found.front();
        const auto active = Lines(Output({"xdotool", "getactivewindow"}));
        return !main.empty() && !active.empty() && active.front() == main;
    })) << "the main window is not active";

    Step("main window open and active");
    // Enter is "Launch It !": the window goes, the program runs.
    Output({"xdotool", "key", "Return"});
    EXPECT_TRUE(WaitUntil([] { return !MainWindowMapped(); })) << "the window stayed open";
    const std::string expected = "Tray Works\n";
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(typed).size() >= expected.size(); }, 60s));
    EXPECT_EQ(ReadFile(typed), expected);
    Step("program started and typed into");
    Started recorderProcess;
    if (WaitUntil([&] { return !ReadFile(recorderPid).empty(); }, 5s))
        recorderProcess.pid = std::atoi(ReadFile(recorderPid).c_str());
    // The window manager may still be giving the started program the focus;
    // a menu opened meanwhile would close again at once.
    WaitUntil([&] { return XSession::IsActive(recorderProcess.pid); }, 10s);

    // "Quit Kestrun" from the icon's menu (the last entry). A key pressed
    // before the menu holds the keyboard would be lost, so try again then.
    int status = -1;
    bool ended = false;
    for (int attempt = 0; attempt < 4 && !ended; ++attempt) {
        Output({"xdotool", "mousemove", std::to_string(iconGeometry.CentreX()),
                std::to_string(iconGeometry.CentreY()), "click", "3"});
        if (!WaitUntil([] { return VisibleKestrunWindows().size() >= 2; }, 8s)) {
            Step("no tray menu yet");
            continue;
        }
        std::this_thread::sleep_for(300ms);
        Step("tray menu open");
        Output({"xdotool", "key", "Up", "Return"});
        ended = WaitUntil([&] { return Ended(kestrun.pid, status); }, 20s);
    }
    ASSERT_TRUE(ended) << "kestrun did not quit from its tray menu";
    Step("kestrun ended");
    kestrun.pid = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "exit status " << status;
    EXPECT_TRUE(VisibleKestrunWindows().empty()) << "the tray icon is still there";

    const std::string settings = ReadFile(session.folder() / "config" / "Quillon Works" / "Kestrun.reg");
    EXPECT_NE(settings.find("\"frmMain Left\"=dword:"), std::string::npos) << settings;
    EXPECT_NE(settings.find("\"frmMain Top\"=dword:"), std::string::npos) << settings;
}

}  // namespace
}  // namespace kestrun::test
