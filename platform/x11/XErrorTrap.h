#pragma once

#include <X11/Xlib.h>

#include <vector>

namespace kestrun {

/// While it lives, X errors are recorded here instead of ending the process.
/// Traps nest: the innermost one records. Callers serialise their X work, so
/// one thread at a time holds traps.
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
    static int Record(Display*, XErrorEvent* error);

    int (*previous_)(Display*, XErrorEvent*);
    XErrorTrap* outer_;
    std::vector<XErrorEvent> errors_;
};

}  // namespace kestrun
