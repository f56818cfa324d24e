#include "tests/support/XSession.h"

#include "platform/x11/EwmhWindowActivator.h"
#include "platform/x11/X11Property.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace kestrun::test {

namespace fs = std::filesystem;

namespace {

std::unique_ptr<Display, int (*)(Display*)> Connect() { return {XOpenDisplay(nullptr), XCloseDisplay}; }

// Non-canonical, no signals, no echo: every byte typed reaches cat as is.
const std::string kXtermCommand = "stty -icanon -isig -iexten -ixon -echo min 1 && exec cat > \"$0\"";

}  // namespace

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
