#pragma once

// Helpers for tests that drive the built kestrun on a private X server
// (tests/support/XSession.h) with xdotool.

#include "tests/support/TempFolder.h"

#include <sys/types.h>

#include <chrono>
#include <filesystem>
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
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

/// Runs a command to its end and returns what it printed.
std::string Output(const std::vector<std::string>& argv);
/// The non-empty lines of a text.
std::vector<std::string> Lines(const std::string& text);
/// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::filesystem::path& path);

/// The caption of kestrun's main window.
inline const std::string kMainCaption = "Kestrun by Quillon Works Software";

/// Mapped windows of kestrun: its tray icon, its windows, its menus.
std::vector<std::string> VisibleKestrunWindows();
/// Mapped windows whose title matches a regular expression.
std::vector<std::string> VisibleWindowsNamed(const std::string& pattern);
bool MainWindowMapped();
/// The window the window manager has made active; empty when none.
std::string ActiveWindow();

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    int CentreX() const { return x + width / 2; }
    int CentreY() const { return y + height / 2; }
};
Geometry WindowGeometry(const std::string& window);

/// Whether a window hangs below another one than the root: embedded in the tray.
bool IsEmbedded(const std::string& window);
/// Whether a tray has taken the system tray selection.
bool TrayOwned();
/// Whether a child process has ended, reaping it.
bool Ended(pid_t pid, int& status);

/// Progress on standard error, to see where a failed run stopped.
void Step(const char* what);

/// Stops a process started here when the test leaves, however it leaves.
struct Started {
    pid_t pid = -1;
    ~Started();
};

/// Writes a script that records its process id into `pidFile`, then becomes
/// an xterm whose terminal copies every byte typed into `typed`: the program
/// a test's task document starts. Its path.
std::filesystem::path WriteRecorder(const TempFolder& folder, const std::filesystem::path& typed,
                                    const std::filesystem::path& pidFile);

/// Starts trayer at the top right of the screen and waits until it owns the
/// tray selection; its process id, or -1.
pid_t StartTray();

/// A task document holding the template program, then `programs` (further
/// <program> elements).
std::string TemplateDocument(const std::string& programs = "");

/// Copies the built kestrun into `folder` beside `document` (Kestrun.xml)
/// and starts it on the X server; its process id, or -1.
pid_t StartKestrun(const std::filesystem::path& folder, const std::string& document);
/// Starts a kestrun executable on the X server as it is; its process id, or -1.
pid_t StartKestrunAt(const std::filesystem::path& executable);

/// Waits for kestrun's only window to be its icon, embedded in the tray; the
/// icon's window, or empty.
std::string WaitForTrayIcon();

/// Double-clicks the icon and waits until the main window is mapped and
/// active; the main window, or empty.
std::string OpenMainWindowFromIcon(const std::string& icon);

}  // namespace kestrun::test
