#include "platform/x11/EwmhWindowActivator.h"

#include "platform/WindowWait.h"
#include "platform/posix/ProcessTree.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Property.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace kestrun {

namespace {

// A run asks about the window it typed into and the one active after a Wait.
constexpr std::size_t kOwnersKept = 8;

// The first managed window owned by each of `processIds`, in their order.
std::optional<unsigned long> FindWindowOfAny(Display* display, const std::vector<long>& processIds)
{
    const Window root = DefaultRootWindow(display);
    std::optional<unsigned long> found;
    std::size_t rank = processIds.size();
    for (unsigned long window : ReadWindowProperty(display, root, "_NET_CLIENT_LIST", XA_WINDOW)) {
        const auto pid = ReadWindowProperty(display, window, "_NET_WM_PID", XA_CARDINAL, 1);
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
    while (ActiveWindow(display) != *window && std::chrono::steady_clock::now() < deadline && !Stopping())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

std::uint64_t EwmhWindowActivator::ActiveWindowId()
{
    try {
        X11Connection connection;
        const unsigned long active = ActiveWindow(connection.get());
        if (active != None) {
            std::erase_if(owners_, [&](const auto& known) { return known.first == active; });
            owners_.emplace_front(active, ReadOwnership(connection.get(), active));
            if (owners_.size() > kOwnersKept)
                owners_.pop_back();
        }
        return active;
    } catch (const std::exception&) {
        return 0;
    }
}

bool EwmhWindowActivator::SameApplication(std::uint64_t noted, std::uint64_t other)
{
    const auto known = std::find_if(owners_.begin(), owners_.end(), [&](const auto& owner) { return owner.first == noted; });
    if (known == owners_.end())
        return false;
    try {
        X11Connection connection;
        return kestrun::SameApplication(connection.get(), static_cast<unsigned long>(noted), known->second,
                                        static_cast<unsigned long>(other));
    } catch (const std::exception&) {
        return false;
    }
}

std::string EwmhWindowActivator::WindowTitle(std::uint64_t id)
{
    try {
        X11Connection connection;
        return kestrun::WindowTitle(connection.get(), static_cast<unsigned long>(id));
    } catch (const std::exception&) {
        return {};
    }
}

bool EwmhWindowActivator::WaitForWindow(std::int32_t taskId, std::chrono::milliseconds limit)
{
    if (taskId <= 0)
        return false;
    X11Connection connection;
    return WaitForWindowWith(
        [&] {
            if (FindFamilyWindow(connection.get(), taskId))
                return WindowLook::Found;
            return ProcessRunning(taskId) ? WindowLook::Pending : WindowLook::Ended;
        },
        limit, [this] { return Stopping(); });
}

}  // namespace kestrun
