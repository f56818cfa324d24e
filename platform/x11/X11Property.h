#pragma once

#include <string>
#include <vector>

// Kept free of the X headers, whose macros clash with ordinary names.
typedef struct _XDisplay Display;

namespace kestrun {

/// The 32-bit items of the window property `name` when it has type `type`
/// (an Atom such as XA_WINDOW), at most `maxItems` of them; empty when the
/// window has no such property.
std::vector<unsigned long> ReadWindowProperty(Display* display, unsigned long window, const char* name,
                                              unsigned long type, long maxItems = 1 << 16);

/// The window the window manager says is active (None when none is).
unsigned long ActiveWindow(Display* display);

/// A window's title: _NET_WM_NAME, else WM_NAME; empty when it has neither
/// or is gone.
std::string WindowTitle(Display* display, unsigned long window);

}  // namespace kestrun
