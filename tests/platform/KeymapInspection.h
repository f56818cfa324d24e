#pragma once

#include <chrono>
#include <string>
#include <vector>

// More of the keyboard of the display in DISPLAY than XSession.h tells.

namespace kestrun::test {

/// Every key's groups, key types and keysyms as XKB describes them, as text.
std::string XkbKeys();

/// Gives key `code` these keysyms, as a user's own key mapping would.
void SetKeySyms(unsigned char code, std::vector<unsigned long> syms);

/// Whether the active window answers typing's ping within `timeout`.
bool PingActiveWindow(std::chrono::milliseconds timeout);

/// A client of its own that grabs key codes on the root window, with any
/// modifiers, for as long as it lives.
class KeyGrabber {
public:
    explicit KeyGrabber(const std::vector<unsigned char>& codes);
    ~KeyGrabber();
    KeyGrabber(const KeyGrabber&) = delete;
    KeyGrabber& operator=(const KeyGrabber&) = delete;

private:
    void* display_;
};

}  // namespace kestrun::test
