#pragma once

#include "platform/posix/ClientBacklog.h"

#include <chrono>
#include <optional>
#include <string>

// Kept free of the X headers, whose macros clash with ordinary names.
typedef struct _XDisplay Display;

namespace kestrun {

/// Knows when the client with the keyboard focus has translated the keys
/// typed so far, before a key code it read them with changes meaning.
///
/// Where the focused window takes part in the window manager's ping
/// (_NET_WM_PING, as Qt and GTK windows do), a ping sent after the keys comes
/// back once the client has read every event before it. A client might
/// translate a key later than it read it, so where nothing waits for it (the
/// final restore of borrowed codes) a pause long enough for the slowest
/// client measured stands in for the answer. A window that answers no ping
/// (xterm) has taken its keys once its connection to the server holds nothing
/// unread and it sleeps in its event loop, where the kernel tells that.
class KeySettle {
public:
    /// How Settle knew that the keys were read.
    enum class Settled { Answered, Read, Paused };

    explicit KeySettle(Display* display) : display_(display) {}

    /// Pings the focused top-level window. False when it does not take part
    /// in pings or did not answer within `timeout`.
    bool Ping(std::chrono::milliseconds timeout);

    /// Follows the client of the active window from now on, for Settle.
    void Watch();

    /// Returns once the `keys` keys typed since the last settle are read:
    /// after the ping's answer, or once the client's connection holds
    /// nothing unread, or after their pause where neither tells.
    Settled Settle(int keys);

    /// How long a window may take to translate `keys` keys.
    static std::chrono::milliseconds Pause(int keys);

    /// Whether the focused window takes a key that types no character
    /// (Enter, Tab, an arrow) out of turn: LibreOffice on its GTK (or Qt)
    /// back-end, which holds such a key back while characters typed after it
    /// wait, and puts every Enter of a fast long text at its end. Its own X11
    /// back-end keeps the order.
    bool TakesKeysOutOfTurn();

    /// How long to wait after such a key, `keys` keys after the last wait, so
    /// that the window has taken them all before the next one comes.
    static std::chrono::milliseconds InTurnPause(int keys);

private:
    unsigned long FocusedWindow();
    bool WaitUntilRead(std::chrono::steady_clock::time_point deadline) const;
    bool Idle() const;

    Display* display_;
    long stamp_ = 0;
    std::optional<ClientBacklog> backlog_;  // of the active window's client
    long backlogProcess_ = 0;
    std::string idleSignature_;  // where that client sleeps in its event loop
};

}  // namespace kestrun
