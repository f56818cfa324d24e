#pragma once

// The X session of the end-to-end tests and benchmarks, and what they ask of it.

#include "tests/support/TempFolder.h"

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace kestrun::test {

/// Polls `condition` until it holds or `timeout` passes (generous: the machine may be busy).
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(30))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (; !condition(); std::this_thread::sleep_for(std::chrono::milliseconds(20)))
        if (std::chrono::steady_clock::now() > deadline)
            return false;
    return true;
}

pid_t StartProcess(const std::vector<std::string>& argv);
void StopProcess(pid_t pid);  // SIGTERM, then SIGKILL, and reaps it
bool Ended(pid_t pid, int& status);  // reaps it
struct Started {  // stops the process however the test leaves
    pid_t pid = -1;
    ~Started() { StopProcess(pid); }
};
struct Outcome { int status = -1; std::string out, err; };  // status -1: it did not start or exit
Outcome RunProgram(const std::vector<std::string>& argv);
std::vector<std::string> Lines(const std::string& text);
std::string ReadFile(const std::filesystem::path& path);
void Step(const char* what);  // progress on standard error
/// Waits until `file` holds `size` bytes, and a little longer for any more (a fault too); its content.
std::string WaitForOutput(const std::filesystem::path& file, std::size_t size);

std::vector<std::string> WindowsNamed(const std::string& pattern);  // mapped, title a regular expression
std::vector<std::string> KestrunWindows();  // its tray icon, its windows, its menus
std::string ActiveWindow();  // empty when none
bool Active(const std::string& pattern);
bool MainWindowMapped();
struct Geometry { int x = 0, y = 0, width = 0, height = 0; };
Geometry WindowGeometry(const std::string& window);
void ClickCentre(const std::string& window, int button = 1, int count = 1);
void Xdo(std::vector<std::string> arguments);  // xdotool with these arguments
bool IsActive(pid_t pid);
/// Waits for kestrun's only window to be its icon, embedded in the tray; the icon, or empty.
std::string WaitForTrayIcon();

std::map<unsigned char, std::vector<unsigned long>> KeyRows();
/// The key codes that are down and the modifier state; empty when none.
std::string KeysDown();
/// The whole XKB keymap as text: every key's groups, key types, keysyms and actions.
std::string XkbKeys();
void SetKeySyms(unsigned char code, std::vector<unsigned long> syms);

// ASCII, shifted characters, the notation's specials, accented letters, and
// characters beyond Latin-1 (more distinct ones than spare key codes); what a terminal reads of it.
inline const std::string kEveryKindText =
    "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>?\n"
    "{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}+(abc)^(){TAB}x^(ab)~"
    "äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €\n"
    "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ жизнь 中文字 ✓→∞ 😀\n"
    "{CAPSLOCK}aB{CAPSLOCK}cD{x 3}\n";
inline const std::string kEveryKindTyped =
    "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>?\n"
    "+^%~(){}[]ABC\tx\x01\x02\n"
    "äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €\n"
    "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ жизнь 中文字 ✓→∞ 😀\n"
    "aBcDxxx\n";
inline const std::string kMainCaption = "Kestrun by Quillon Works Software";
std::string TemplateDocument(const std::string& programs = "");
/// A <program> element; each task is its type and value, enabled.
std::string Program(const std::string& name, const std::vector<std::pair<std::string, std::string>>& tasks);

struct XSessionOptions {
    bool tray = false;  // trayer at the top right, owning the system tray
};

/// A private X session: its own Xvfb, openbox, trayer when asked, private HOME and XDG folders, all
/// set in this process's environment. What it or a recorder script started is stopped when it goes.
class XSession {
public:
    explicit XSession(XSessionOptions options = {});
    ~XSession();

    bool ok() const { return failure.empty(); }
    std::string failure;
    const TempFolder& folder() const { return folder_; }

    pid_t Start(const std::vector<std::string>& argv);
    /// Starts an xterm copying every byte typed into `output`, once it has a window; its process id, or -1.
    pid_t StartRecorder(const std::filesystem::path& output, int timeout = 10);
    /// A script for task documents to start: runs `before` (a shell command), then becomes such an xterm.
    std::filesystem::path RecorderScript(const std::filesystem::path& output, const std::string& before = "true");
    /// The built kestrun and its guardian copied beside `document` (Kestrun.xml); the executable.
    std::filesystem::path InstallKestrun(const std::string& document);

private:
    bool StartAndWait(const std::vector<std::string>& argv, const char* what, bool (*ready)());

    TempFolder folder_;
    std::vector<pid_t> started_;
};

}  // namespace kestrun::test
