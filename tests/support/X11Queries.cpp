#include "tests/support/X11Queries.h"

#include "platform/x11/EwmhWindowActivator.h"
#include "platform/x11/X11Property.h"
#include "tests/support/TestProcesses.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>

namespace kestrun::test {

namespace {

std::unique_ptr<Display, int (*)(Display*)> Connect() { return {XOpenDisplay(nullptr), XCloseDisplay}; }

// Whether a window hangs below another one than the root: embedded in the tray.
bool IsEmbedded(const std::string& window)
{
    const std::string tree = RunProgram({"xwininfo", "-tree", "-id", window}).out;
    const auto parent = tree.find("Parent window id:");
    return parent != std::string::npos && tree.substr(parent, tree.find('\n', parent) - parent).find("(the root") == std::string::npos;
}
}  // namespace

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
}  // namespace kestrun::test
