#pragma once

#include <chrono>

// Kept free of the X headers, whose macros clash with ordinary names.
typedef struct _XDisplay Display;

namespace kestrun {

/// Knows when the client with the keyboard focus has read the keys typed so
/// far, before a key code it read them with changes meaning.
///
/// Where the focused window takes part in the window manager's ping
/// (_NET_WM_PING, as Qt and GTK windows do), a ping sent after the keys comes
/// back only once the client has handled every event before it. Otherwise
/// nothing in X tells, and a pause long enough for a busy client stands in.
class KeySettle {
public:
    explicit KeySettle(Display* display) : display_(display) {}

    /// Pings the focused top-level window. False when it does not take part
    /// in pings or did not answer within `timeout`.
    bool Ping(std::chrono::milliseconds timeout);

    /// Returns once the keys are read: after the ping's answer, or after the
    /// pause for `keys` keys typed since the last settle.
    void Settle(int keys);

    /// The pause that stands in for an answer.
    static std::chrono::milliseconds Pause(int keys);

private:
    unsigned long FocusedWindow();

    Display* display_;
    long stamp_ = 0;
};

}  // namespace kestrun
