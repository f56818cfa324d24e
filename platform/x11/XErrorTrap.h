#pragma once

#include <X11/Xlib.h>

#include <vector>

namespace kestrun {

/// While it lives, X errors that reach this thread are recorded here instead
/// of ending the process. Traps nest per thread: the innermost one records.
/// Threads trap independently, each on a connection of its own: Xlib reports
/// an error on the thread that reads it, and an error no trap of that thread
/// waits for goes to the handler the process had before the first trap.
class XErrorTrap {
public:
    XErrorTrap();
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    /// The errors so far, in the order the server reported them.
    const std::vector<XErrorEvent>& errors() const { return errors_; }

    /// Whether the request sent with `serial` failed.
    bool Failed(unsigned long serial) const;

private:
    static int Record(Display* display, XErrorEvent* error);

    XErrorTrap* outer_;
    std::vector<XErrorEvent> errors_;
};

}  // namespace kestrun
