#pragma once

// What the end-to-end tests ask of the X server: windows, the pointer, the keyboard mapping.

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace kestrun::test {

inline const std::string kMainCaption = "Kestrun by Quillon Works Software";

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

}  // namespace kestrun::test
