#include "platform/x11/XTestKeySender.h"

#include "platform/PlatformError.h"
#include "platform/x11/BorrowedKeys.h"
#include "platform/x11/KeySettle.h"
#include "platform/x11/KeyTyping.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/WindowOwnership.h"
#include "platform/x11/X11Property.h"
#include "platform/x11/XErrorTrap.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace kestrun {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kWaitForAnswer = std::chrono::milliseconds(1000);

void RequireExtensions(Display* display)
{
    int major = 0, minor = 0, event = 0, error = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor))
        throw PlatformError("The X server has no XTest extension.");
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    int opcode = 0;
    if (!XkbQueryExtension(display, &opcode, &event, &error, &major, &minor))
        throw PlatformError("The X server has no XKEYBOARD extension.");
}

}  // namespace

// The connection, the borrowed codes and the guard, shared by the typing
// calls and the thread that gives the codes back; one at a time.
class XTestKeySender::Session {
public:
    Session(GuardStarter startGuard, std::function<bool()> stopRequested, std::chrono::milliseconds quiet)
        : startGuard_(std::move(startGuard)), stopRequested_(std::move(stopRequested)), quiet_(quiet),
          worker_([this] { Work(); })
    {
    }

    ~Session()
    {
        {
            std::lock_guard lock(mutex_);
            ending_ = true;
        }
        wake_.notify_all();
        worker_.join();
        const bool stopping = stopRequested_ && stopRequested_();
        if (stopping && guard_ && guard_->Watching() && !borrowed_->Codes().empty()) {
            // Asked to end: at once, the guardian gives the codes back.
            guard_->LeaveToGuardian();
            return;
        }
        try {
            Restore(!stopping);
        } catch (const std::exception&) {
        }
    }

    void Send(const std::vector<KeyStroke>& strokes, bool wait)
    {
        std::unique_lock lock(mutex_);
        Open();
        Display* display = connection_->get();
        XErrorTrap trap;
        std::exception_ptr failure;
        int unsettled = 0, typed = 0;
        {
            const int before = Clock::now() < settledAt_ ? unsettledKeys_ : 0;
            KeyTyping typing(display, *borrowed_, *guard_, *settle_, stopRequested_, before);
            WatchFocus(typing);
            try {
                typing.Type(strokes);
            } catch (...) {
                failure = std::current_exception();
            }
            unsettled = typing.KeysUnsettled();
            typed = typing.KeysTyped();
        }
        const auto now = Clock::now();
        lastTyped_ = now;
        if (unsettled > 0) {
            // The client reads these keys after the earlier ones it may not
            // have read yet: they add their own share to that wait, not the
            // earlier keys' share once more.
            const auto ownShare = KeySettle::Pause(typed) - KeySettle::Pause(0);
            unsettledKeys_ = unsettled;
            settledAt_ = std::max(now + KeySettle::Pause(typed), settledAt_ + ownShare);
        }
        // The answer shows that the window has read its keys, not that it
        // has turned them into characters (Writer's GTK back-end answers
        // long before): it ends the wait, and the codes stay as long as before.
        if (wait && !failure)
            settle_->Ping(kWaitForAnswer);
        lock.unlock();
        wake_.notify_all();
        if (failure)
            std::rethrow_exception(failure);
        if (!trap.errors().empty())
            throw PlatformError("The X server refused some of the keys.");
    }

    void Restore(bool afterSettling = true)
    {
        std::lock_guard lock(mutex_);
        if (!borrowed_)
            return;
        if (afterSettling)
            std::this_thread::sleep_until(settledAt_);
        borrowed_->Restore();
    }

    int MappingChanges()
    {
        std::lock_guard lock(mutex_);
        return borrowed_ ? borrowed_->MappingChanges() : 0;
    }

private:
    // The window typing starts into, as the window manager says and as the
    // server gives it the focus: a change of either to a window of another
    // application ends the typing. A window the application opens itself (a
    // dialog that the keys asked for) takes the keys from then on. A change
    // of _NET_ACTIVE_WINDOW arrives as an event, read without a round trip.
    void WatchFocus(KeyTyping& typing)
    {
        Display* display = connection_->get();
        const Window root = DefaultRootWindow(display);
        if (!watchingRoot_) {
            XSelectInput(display, root, PropertyChangeMask);
            watchingRoot_ = true;
        }
        XEvent event;
        while (XCheckTypedWindowEvent(display, root, PropertyNotify, &event)) {
        }
        const Atom activeAtom = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        auto noted = std::make_shared<NotedWindow>();
        noted->active = ActiveWindow(display);
        int revert = 0;
        XGetInputFocus(display, &noted->focus, &revert);
        noted->window = noted->active != None ? noted->active : ClientWindowOf(display, noted->focus);
        noted->owner = ReadOwnership(display, noted->window);
        typing.WatchFocus(
            [display, root, activeAtom, noted] {
                XEvent changed;
                bool moved = false;
                while (XCheckTypedWindowEvent(display, root, PropertyNotify, &changed))
                    moved = moved || changed.xproperty.atom == activeAtom;
                // No window named active (as between two windows) says nothing: the
                // focus then tells where keys go.
                if (moved) {
                    if (const Window active = ActiveWindow(display); active != noted->active && active != None) {
                        if (!noted->Adopt(display, active))
                            return false;
                        noted->active = active;
                    }
                }
                Window now = None;
                int how = 0;
                XGetInputFocus(display, &now, &how);
                if (now == noted->focus)
                    return true;
                // The window manager may give the focus before it names the window active.
                if (!noted->Adopt(display, ClientWindowOf(display, now)))
                    return false;
                noted->focus = now;
                return true;
            },
            [display, noted] { return WindowTitle(display, noted->window); });
    }

    // The window typed into, and the focus within it, for the length of one typing.
    struct NotedWindow {
        Window active = None, focus = None;
        Window window = None;  // the top-level window: the active one, else the focus's
        WindowOwnership owner;

        // Takes `other` as the window typed into when the application is the same.
        bool Adopt(Display* display, Window other)
        {
            if (!SameApplication(display, window, owner, other))
                return false;
            if (other != window)
                window = other, owner = ReadOwnership(display, other);
            return true;
        }
    };

    void Open()
    {
        if (connection_)
            return;
        connection_.emplace();
        try {
            Display* display = connection_->get();
            RequireExtensions(display);
            guard_ = startGuard_ ? startGuard_(DisplayString(display)) : MakeNullKeyboardGuard();
            borrowed_ = std::make_unique<BorrowedKeys>(display, *guard_);
            settle_ = std::make_unique<KeySettle>(display);
        } catch (...) {
            connection_.reset();
            throw;
        }
    }

    void Work()
    {
        std::unique_lock lock(mutex_);
        while (!ending_) {
            if (!borrowed_ || borrowed_->Codes().empty()) {
                wake_.wait(lock);
                continue;
            }
            const auto due = std::max(settledAt_, lastTyped_ + quiet_);
            if (Clock::now() < due) {
                wake_.wait_until(lock, due);
                continue;
            }
            try {
                borrowed_->Restore();
            } catch (const std::exception&) {
                lastTyped_ = Clock::now();  // tried again after another quiet moment
            }
        }
    }

    GuardStarter startGuard_;
    std::function<bool()> stopRequested_;
    std::chrono::milliseconds quiet_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool ending_ = false;
    std::optional<X11Connection> connection_;
    std::unique_ptr<KeyboardGuard> guard_;
    std::unique_ptr<BorrowedKeys> borrowed_;
    std::unique_ptr<KeySettle> settle_;
    Clock::time_point lastTyped_;
    Clock::time_point settledAt_;
    int unsettledKeys_ = 0;
    bool watchingRoot_ = false;
    std::thread worker_;  // last: starts once everything above exists
};

XTestKeySender::XTestKeySender(GuardStarter startGuard, std::function<bool()> stopRequested,
                               std::chrono::milliseconds quietBeforeRestore)
    : session_(std::make_unique<Session>(std::move(startGuard), std::move(stopRequested), quietBeforeRestore))
{
}

XTestKeySender::~XTestKeySender() = default;

void XTestKeySender::SendKeys(const std::vector<KeyStroke>& strokes, bool wait)
{
    session_->Send(strokes, wait);
}

void XTestKeySender::RestoreKeyboard() { session_->Restore(); }

int XTestKeySender::MappingChanges() const { return session_->MappingChanges(); }

}  // namespace kestrun
