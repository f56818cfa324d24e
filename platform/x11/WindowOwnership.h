#pragma once

#include <string>

// Kept free of the X headers, whose macros clash with ordinary names.
typedef struct _XDisplay Display;

namespace kestrun {

/// What tells which application a top-level window belongs to: the process
/// and machine its client names (_NET_WM_PID, WM_CLIENT_MACHINE) and its
/// window group (WM_HINTS). Read once, it still tells after the window is gone.
struct WindowOwnership {
    long pid = 0;  // 0: not named
    std::string machine;
    unsigned long group = 0;  // the group leader; 0: none
};

WindowOwnership ReadOwnership(Display* display, unsigned long window);

/// Whether the window `other` belongs to the application of the window
/// `noted`, whose ownership `owner` was read while it was there: the same
/// window, a window of the same process on the same machine, or a window
/// transient for `noted` or for its group leader. False for None and
/// whenever the process of either cannot be told otherwise.
bool SameApplication(Display* display, unsigned long noted, const WindowOwnership& owner, unsigned long other);

/// The managed top-level window (one with WM_STATE) that is or holds
/// `window`, as the keyboard focus names it; None when there is none.
unsigned long ClientWindowOf(Display* display, unsigned long window);

}  // namespace kestrun
