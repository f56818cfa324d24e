#include "platform/x11/WindowClient.h"

#include "platform/x11/X11Property.h"
#include "platform/x11/XErrorTrap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XRes.h>
#include <unistd.h>

#include <cctype>

namespace kestrun {

namespace {

std::optional<long> ServerKnownProcess(Display* display, unsigned long window)
{
    int event = 0, error = 0;
    if (!XResQueryExtension(display, &event, &error))
        return std::nullopt;
    XResClientIdSpec spec{window, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    if (XResQueryClientIds(display, 1, &spec, &count, &ids) != Success)
        return std::nullopt;
    std::optional<long> pid;
    for (long k = 0; k < count && !pid; ++k)
        if (const pid_t found = XResGetClientPid(&ids[k]); found > 0)
            pid = found;
    XResClientIdsDestroy(count, ids);
    return pid;
}

// _NET_WM_PID is the client's own word, and means a process here only when
// the client runs here.
std::optional<long> ClaimedProcess(Display* display, unsigned long window)
{
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        return std::nullopt;
    XTextProperty machine{};
    if (!XGetWMClientMachine(display, window, &machine) || !machine.value)
        return std::nullopt;
    const std::string named(reinterpret_cast<const char*>(machine.value), machine.nitems);
    XFree(machine.value);
    if (named != host)
        return std::nullopt;
    const auto pid = ReadWindowProperty(display, window, "_NET_WM_PID", XA_CARDINAL, 1);
    if (pid.empty() || pid[0] == 0)
        return std::nullopt;
    return static_cast<long>(pid[0]);
}

}  // namespace

std::optional<long> WindowClientProcess(Display* display, unsigned long window)
{
    if (window == None)
        return std::nullopt;
    XErrorTrap trap;  // the window may be gone
    std::optional<long> pid = ServerKnownProcess(display, window);
    if (!pid)
        pid = ClaimedProcess(display, window);
    XSync(display, False);
    return trap.errors().empty() ? pid : std::nullopt;
}

std::string DisplaySocketAddress(const std::string& displayName)
{
    std::string rest;
    if (displayName.rfind(':', 0) == 0)
        rest = displayName.substr(1);
    else if (displayName.rfind("unix:", 0) == 0)
        rest = displayName.substr(5);
    else
        return {};
    std::size_t digits = 0;
    while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits])))
        ++digits;
    // The number, then at most a screen: ":1.0".
    if (digits == 0 || (digits < rest.size() && rest[digits] != '.'))
        return {};
    return "/tmp/.X11-unix/X" + rest.substr(0, digits);
}

}  // namespace kestrun
