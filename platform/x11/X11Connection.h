#pragma once

#include "platform/PlatformError.h"

#include <X11/Xlib.h>

namespace kestrun {

/// A connection to the X server named by DISPLAY, closed when it goes.
class X11Connection {
public:
    X11Connection() : display_(XOpenDisplay(nullptr))
    {
        if (!display_)
            throw PlatformError("Cannot connect to the X display.");
    }
    ~X11Connection() { XCloseDisplay(display_); }
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    Display* get() const { return display_; }

private:
    Display* display_;
};

}  // namespace kestrun
