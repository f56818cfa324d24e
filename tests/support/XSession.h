#pragma once

// The one X session of every end-to-end test and benchmark, and what they
// ask of it: processes, windows, the keyboard, the built kestrun.

#include "tests/support/TempFolder.h"

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace kestrun::test {

/// Polls `condition` until it holds or `timeout` passes; generous by default
/// because the machine may be busy with other builds.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

/// Starts a process (standard input /dev/null); -1 when it cannot start.
/// Descriptors opened without close-on-exec stay open in it.
pid_t StartProcess(const std::vector<std::string>& argv);
/// Ends a process started here: SIGTERM, then SIGKILL, and reaps it.
void StopProcess(pid_t pid);
/// Whether a child process has ended, reaping it.
bool Ended(pid_t pid, int& status);

/// Stops a process started here when the test leaves, however it leaves.
struct Started {
    pid_t pid = -1;
    ~Started() { StopProcess(pid); }
};

struct Outcome {
    int status = -1;  // the exit status; -1 when it did not start or exit
    std::string out, err;
};
/// Runs a program to its end.
Outcome RunProgram(const std::vector<std::string>& argv);

std::vector<std::string> Lines(const std::string& text);
std::string ReadFile(const std::filesystem::path& path);
/// Progress on standard error, to see where a failed run stopped.
void Step(const char* what);

/// Waits until `file` holds at least `size` bytes (a minute at most), and
/// a little longer for anything beyond them, which would be a fault too; its
/// content.
std::string WaitForOutput(const std::filesystem::path& file, std::size_t size);

// Windows and keyboard of the display in DISPLAY.

/// Mapped windows whose title matches a regular expression.
std::vector<std::string> WindowsNamed(const std::string& pattern);
/// Mapped windows of kestrun: its tray icon, its windows, its menus.
std::vector<std::string> KestrunWindows();
/// The window the window manager has made active; empty when none.
std::string ActiveWindow();
/// Whether exactly one window matches `pattern` and it is the active one.
bool Active(const std::string& pattern);
bool MainWindowMapped();
struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
};
Geometry WindowGeometry(const std::string& window);
/// Whether a window hangs below another one than the root: embedded in the tray.
bool IsEmbedded(const std::string& window);
/// Moves the pointer to the centre of `window` and clicks `button` `count` times.
void ClickCentre(const std::string& window, int button = 1, int count = 1);
/// xdotool with these arguments (keys, typing, pointer).
void Xdo(const std::vector<std::string>& arguments);

/// Waits until a process or one it started has a managed window.
bool WaitForWindowOf(pid_t pid, int timeout = 10);
/// Whether that window is the active one.
bool IsActive(pid_t pid);
/// The core keyboard mapping, key code by key code.
std::map<unsigned char, std::vector<unsigned long>> KeyRows();
/// The key codes that are down and the modifier state; empty when none.
std::string KeysDown();

/// The caption of kestrun's main window.
inline const std::string kMainCaption = "Kestrun by Quillon Works Software";

/// A task document holding the template program, then `programs`.
std::string TemplateDocument(const std::string& programs = "");
/// A <program> element; each task is its type and value, enabled.
std::string Program(const std::string& name, const std::vector<std::pair<std::string, std::string>>& tasks);

struct XSessionOptions {
    bool tray = false;  // trayer at the top right, owning the system tray
};

/// A private X session: its own Xvfb on a free display (-displayfd), openbox,
/// trayer when asked, and a private HOME and XDG folders, all set in this
/// process's environment (DISPLAY included). Everything started through it,
/// and every recorder script kestrun starts, is stopped by process id when it
/// goes.
class XSession {
public:
    explicit XSession(XSessionOptions options = {});
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    /// False (with the reason in `failure`) when the session could not start.
    bool ok() const { return failure.empty(); }
    std::string failure;
    const TempFolder& folder() const { return folder_; }

    /// Starts a process stopped with the session; -1 when it cannot start.
    pid_t Start(const std::vector<std::string>& argv);

    /// Starts an xterm whose terminal copies every byte typed into `output`
    /// and waits until its window is managed; its process id, or -1.
    pid_t StartRecorder(const std::filesystem::path& output, int timeout = 10);
    /// The same with a Qt window, which writes its whole text on each change.
    pid_t StartQtRecorder(const std::filesystem::path& output);
    /// A script that runs `before` (a shell command), then becomes such an
    /// xterm: a program for task documents to start. Its path.
    std::filesystem::path RecorderScript(const std::filesystem::path& output, const std::string& before = "true");

    /// Copies the built kestrun and its keyboard guardian into a folder of
    /// their own beside `document` (Kestrun.xml); the executable.
    std::filesystem::path InstallKestrun(const std::string& document);
    /// Waits for kestrun's only window to be its icon, embedded in the tray;
    /// the icon's window, or empty.
    static std::string WaitForTrayIcon();
    /// Double-clicks the icon and waits until the main window is mapped and
    /// active; the main window, or empty.
    static std::string OpenMainWindowFromIcon(const std::string& icon);

private:
    bool StartServer();
    bool StartAndWait(const std::vector<std::string>& argv, const char* what, bool (*ready)());

    TempFolder folder_;
    std::vector<pid_t> started_;
};

}  // namespace kestrun::test
