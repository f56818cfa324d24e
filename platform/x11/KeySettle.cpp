#include "platform/x11/KeySettle.h"

#include "platform/posix/ProcessIdle.h"
#include "platform/x11/WindowClient.h"
#include "platform/x11/X11Property.h"
#include "platform/x11/XErrorTrap.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <string>
#include <thread>
#include <vector>

namespace kestrun {

namespace {

using Clock = std::chrono::steady_clock;

// A window gets this long to turn its keys into characters, plus the time
// the slowest one measured takes for each key it may still have to translate:
// LibreOffice Writer on GTK, which answers the ping first and has been seen
// to translate at about 145 characters a second on a busy machine.
constexpr auto kPause = std::chrono::milliseconds(400);
constexpr auto kPausePerKey = std::chrono::microseconds(7000);
constexpr auto kPingTimeout = std::chrono::milliseconds(500);
// How often a client's unread bytes are looked at, and how many looks in a
// row must find none and the client waiting: the server may still be writing
// the last keys out.
constexpr auto kBacklogPoll = std::chrono::milliseconds(1);
constexpr int kIdleLooks = 2;
// Where a client sleeps when it has nothing to do is learnt from this many
// looks in a row finding the same, within this time, before typing.
constexpr int kIdleLearnLooks = 10;
constexpr auto kLearnIdle = std::chrono::milliseconds(300);
// After a key such a window takes out of turn (measured with Writer 7.4 on
// GTK 3: 30 ms more than the keys' own time kept all 32 Enters of a
// 2,000-character text in place, none did without).
constexpr auto kInTurnPause = std::chrono::milliseconds(50);

bool TakesPart(Display* display, Window window, const char* protocol)
{
    const Atom wanted = XInternAtom(display, protocol, False);
    Atom* protocols = nullptr;
    int count = 0;
    if (!XGetWMProtocols(display, window, &protocols, &count))
        return false;
    bool found = false;
    for (int k = 0; k < count; ++k)
        found = found || protocols[k] == wanted;
    XFree(protocols);
    return found;
}

bool IsLibreOffice(Display* display, Window window)
{
    XClassHint hint{};
    if (!XGetClassHint(display, window, &hint))
        return false;
    const std::string name = hint.res_name ? hint.res_name : "";
    const std::string type = hint.res_class ? hint.res_class : "";
    XFree(hint.res_name);
    XFree(hint.res_class);
    return name == "libreoffice" || name == "soffice" || type.rfind("libreoffice", 0) == 0 || type == "Soffice";
}

}  // namespace

unsigned long KeySettle::FocusedWindow()
{
    XErrorTrap trap;  // the window may go away at any moment
    const Window window = ActiveWindow(display_);
    const bool pings = window != None && TakesPart(display_, window, "_NET_WM_PING");
    XSync(display_, False);
    return pings && trap.errors().empty() ? window : None;
}

bool KeySettle::Ping(std::chrono::milliseconds timeout)
{
    const Window window = FocusedWindow();
    if (window == None)
        return false;
    const Window root = DefaultRootWindow(display_);
    const Atom protocols = XInternAtom(display_, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(display_, "_NET_WM_PING", False);

    // The answer goes to the root window for the window manager; any client
    // that listens to the root's structure or substructure changes receives
    // it too (toolkits differ in which of the two they name).
    XErrorTrap trap;
    // Added to what this connection already selects on the root (typing
    // watches its properties), and taken away again afterwards.
    XWindowAttributes attributes{};
    const long selected = XGetWindowAttributes(display_, root, &attributes) ? attributes.your_event_mask : NoEventMask;
    const long added = StructureNotifyMask | SubstructureNotifyMask;
    XSelectInput(display_, root, selected | added);
    std::vector<XEvent> kept;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = protocols;
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(ping);
    event.xclient.data.l[1] = ++stamp_;
    event.xclient.data.l[2] = static_cast<long>(window);
    XSendEvent(display_, window, False, NoEventMask, &event);
    XFlush(display_);

    bool answered = false;
    const auto deadline = Clock::now() + timeout;
    while (!answered && trap.errors().empty()) {
        while (!answered && XPending(display_) > 0) {
            XNextEvent(display_, &event);
            if (event.type == PropertyNotify)
                kept.push_back(event);
            answered = event.type == ClientMessage && event.xclient.message_type == protocols &&
                       static_cast<Atom>(event.xclient.data.l[0]) == ping && event.xclient.data.l[1] == stamp_ &&
                       static_cast<Window>(event.xclient.data.l[2]) == window;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (answered || left.count() <= 0)
            break;
        pollfd descriptor{ConnectionNumber(display_), POLLIN, 0};
        poll(&descriptor, 1, static_cast<int>(left.count()) + 1);
    }
    XSelectInput(display_, root, selected);
    // Drops the events that came meanwhile but the property changes, which
    // typing reads to see the active window change.
    XSync(display_, False);
    while (XPending(display_) > 0) {
        XNextEvent(display_, &event);
        if (event.type == PropertyNotify)
            kept.push_back(event);
    }
    for (auto it = kept.rbegin(); it != kept.rend(); ++it)
        XPutBackEvent(display_, &*it);
    return answered;
}

// Midway through a text the wait holds up typing: a window that answers the
// ping has read the keys before it, which for every window measured (Qt,
// GTK, Chromium, Writer on both back-ends) means translated. The codes' final
// restore, which holds up nothing, still waits the whole pause.
KeySettle::Settled KeySettle::Settle(int keys)
{
    if (Ping(kPingTimeout))
        return Settled::Answered;
    const auto deadline = Clock::now() + Pause(keys);
    if (WaitUntilRead(deadline))
        return Settled::Read;
    std::this_thread::sleep_until(deadline);
    return Settled::Paused;
}

void KeySettle::Watch()
{
    XErrorTrap trap;
    const Window window = ActiveWindow(display_);
    XSync(display_, False);
    const long pid = trap.errors().empty() ? WindowClientProcess(display_, window).value_or(0) : 0;
    if (pid != 0 && backlog_ && pid == backlogProcess_)
        return;
    backlog_.reset();
    backlogProcess_ = 0;
    idleSignature_.clear();
    const std::string address = DisplaySocketAddress(DisplayString(display_));
    if (pid == 0 || address.empty())
        return;
    backlog_.emplace(static_cast<pid_t>(pid), address);
    backlogProcess_ = pid;
    // Where the client sleeps once it has handled everything: the same call
    // for a while, its connection empty. A wait for one answer of the
    // server's is over long before.
    std::optional<std::string> last;
    int same = 0;
    for (const auto until = Clock::now() + kLearnIdle; Clock::now() < until && same < kIdleLearnLooks;) {
        const auto pending = backlog_->Pending();
        if (!pending)
            break;
        const auto signature =
            *pending == 0 && WaitsForInput(pid).value_or(false) ? WaitSignature(pid) : std::nullopt;
        same = signature && signature == last ? same + 1 : 0;
        last = signature;
        std::this_thread::sleep_for(kBacklogPoll);
    }
    if (same < kIdleLearnLooks) {
        backlog_.reset();
        backlogProcess_ = 0;
        return;
    }
    idleSignature_ = *last;
}

bool KeySettle::Idle() const
{
    const std::optional<std::size_t> pending = backlog_->Pending();
    return pending && *pending == 0 && WaitSignature(backlogProcess_) == idleSignature_;
}

// A client reads its events into Xlib's queue well before it translates
// them, and reads a change of the map as soon as it comes, so the keys still
// queued would be translated with the new map: the client has taken its keys
// once its connection holds nothing unread and it sleeps where it sleeps
// with nothing to do, in its event loop (not in a wait for one answer of the
// server's, which it makes while handling an event). False when the kernel
// does not tell, or the client did not take its keys before the deadline.
bool KeySettle::WaitUntilRead(Clock::time_point deadline) const
{
    if (!backlog_)
        return false;
    int idleLooks = 0;
    while (Clock::now() < deadline) {
        if (!backlog_->Pending())
            return false;
        idleLooks = Idle() ? idleLooks + 1 : 0;
        if (idleLooks >= kIdleLooks)
            return true;
        std::this_thread::sleep_for(kBacklogPoll);
    }
    return false;
}

std::chrono::milliseconds KeySettle::Pause(int keys)
{
    return kPause + std::chrono::duration_cast<std::chrono::milliseconds>(keys * kPausePerKey);
}

// The toolkit back-ends take part in the window manager's sync requests, as
// GTK and Qt windows do; LibreOffice's own X11 back-end does not.
bool KeySettle::TakesKeysOutOfTurn()
{
    XErrorTrap trap;
    const Window window = ActiveWindow(display_);
    const bool outOfTurn = window != None && IsLibreOffice(display_, window) &&
                           TakesPart(display_, window, "_NET_WM_SYNC_REQUEST");
    XSync(display_, False);
    return outOfTurn && trap.errors().empty();
}

std::chrono::milliseconds KeySettle::InTurnPause(int keys)
{
    return kInTurnPause + std::chrono::duration_cast<std::chrono::milliseconds>(keys * kPausePerKey);
}

}  // namespace kestrun
