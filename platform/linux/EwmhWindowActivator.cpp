#include "platform/linux/EwmhWindowActivator.h"

#include "platform/linux/ProcessTree.h"
#include "platform/linux/X11Connection.h"

#include <X11/Xatom.h>

#include <chrono>
#include <thread>
#include <vector>

namespace kestrun {

namespace {

std::vector<unsigned long> ReadProperty(Display* display, Window window, const char* name, Atom type)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(display, name, False);
    std::vector<unsigned long> values;
    if (XGetWindowProperty(display, window, property, 0, 1 << 16, False, type, &actualType, &format, &count,
                           &remaining, &data) == Success && data) {
        if (actualType == type && format == 32) {
            const auto* items = reinterpret_cast<const unsigned long*>(data);  // 32-bit items come as longs
            values.assign(items, items + count);
        }
        XFree(data);
    }
    return values;
}

// The first managed window owned by each of `processIds`, in their order.
std::optional<unsigned long> FindWindowOfAny(Display* display, const std::vector<long>& processIds)
{
    const Window root = DefaultRootWindow(display);
    std::optional<unsigned long> found;
    std::size_t rank = processIds.size();
    for (unsigned long window : ReadProperty(display, root, "_NET_CLIENT_LIST", XA_WINDOW)) {
        const auto pid = ReadProperty(display, window, "_NET_WM_PID", XA_CARDINAL);
        if (pid.empty())
            continue;
        for (std::size_t i = 0; i < rank; ++i) {
            if (processIds[i] == static_cast<long>(pid[0])) {
                found = window;
                rank = i;
                break;
            }
        }
    }
    return found;
}

}  // namespace

std::optional<unsigned long> FindClientWindow(Display* display, long processId)
{
    return FindWindowOfAny(display, {processId});
}

std::optional<unsigned long> FindFamilyWindow(Display* display, long processId)
{
    if (const auto own = FindClientWindow(display, processId))
        return own;
    return FindWindowOfAny(display, ProcessFamily(processId));
}

unsigned long ActiveWindow(Display* display)
{
    const auto active = ReadProperty(display, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return active.empty() ? None : active[0];
}

void EwmhWindowActivator::Activate(std::int32_t taskId)
{
    if (taskId <= 0)
        throw PlatformError("No program was started.");
    X11Connection connection;
    Display* display = connection.get();
    const auto window = FindFamilyWindow(display, taskId);
    if (!window)
        throw PlatformError("The program has no window.");

    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = *window;
    event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 2;  // the request comes from a pager-like tool: honoured at once
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    XSync(display, False);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (ActiveWindow(display) != *window && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

bool EwmhWindowActivator::WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit)
{
    if (taskId <= 0)
        return false;
    X11Connection connection;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (FindFamilyWindow(connection.get(), taskId))
            return true;
        if (!ProcessRunning(taskId) || std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace kestrun
