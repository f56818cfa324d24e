#pragma once

// Where the receiver matrix runs: a private X session or a private headless sway, each with a resident
// Kestrun that types through its real sender when asked with `kestrun --run`, as a user's shortcut does.

#include "tests/support/TempFolder.h"

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace kestrun::test {

class Desktop {
public:
    virtual ~Desktop() = default;

    virtual std::string failure() const = 0;  // empty when the desktop runs
    virtual const TempFolder& folder() const = 0;  // its user's, writable by the programs started
    /// Starts a program with these extra environment variables, stopped with the desktop; -1 when it cannot start.
    virtual pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& environment) = 0;
    /// A terminal copying every byte typed into `output`, focused; its process id or -1.
    virtual pid_t StartRecorder(const std::filesystem::path& output) = 0;
    /// Waits for a window of `pid` (or of a process it started) and brings it to the front; false when none came.
    virtual bool Focus(pid_t pid, std::chrono::milliseconds limit) = 0;
    /// Installs the built kestrun beside `document` and starts it in the tray; false when it did not come up.
    virtual bool StartKestrun(const std::string& document) = 0;
    /// `kestrun --run NAME`, handed over to the resident Kestrun.
    virtual void RunKestrun(const std::string& program) = 0;
    /// Runs a program in the desktop (as its user, with its display) to its end.
    virtual void Run(const std::vector<std::string>& argv) = 0;
    /// The keyboard layout of the cells to come: an X layout ("us", "de", "us+ru" with the ru group active),
    /// or on sway "us" and "us/wtype" (wtype, another virtual keyboard, typed last); false when it failed.
    virtual bool SetLayout(const std::string& layout) = 0;
    virtual void GiveToUser(const std::filesystem::path&) const {}
};

/// Xvfb with openbox and a tray, a private session bus for the applications.
std::unique_ptr<Desktop> MakeX11Desktop();
/// Headless sway with swaybar's tray; the user's keyboard a virtual one with the us layout.
std::unique_ptr<Desktop> MakeSwayDesktop();

/// The resident Kestrun of a desktop with one program per matrix text, each ending by marking its end in a
/// file, plus "save" (Ctrl+S) and "clear" (select all, delete).
class KestrunTypist {
public:
    explicit KestrunTypist(Desktop& desktop);
    bool ok() const { return ok_; }
    /// Runs the program and waits until its keys are all sent; false when it did not end within `limit`.
    bool Run(const std::string& program, std::chrono::seconds limit = std::chrono::seconds(180));

private:
    Desktop& desktop_;
    std::filesystem::path marks_;
    bool ok_ = false;
};

}  // namespace kestrun::test
