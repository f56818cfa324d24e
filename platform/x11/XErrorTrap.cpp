#include "platform/x11/XErrorTrap.h"

#include <algorithm>
#include <mutex>

namespace kestrun {

namespace {
// Xlib's handler is one for the whole process, so it is set once and never
// handed back: swapping it per trap let one thread's trap, when it ended, put
// back the fatal handler under another thread's trap still waiting for errors.
thread_local XErrorTrap* tActive = nullptr;
int (*gPrevious)(Display*, XErrorEvent*) = nullptr;
std::once_flag gInstalled;
}  // namespace

XErrorTrap::XErrorTrap() : outer_(tActive)
{
    std::call_once(gInstalled, [] { gPrevious = XSetErrorHandler(Record); });
    tActive = this;
}

XErrorTrap::~XErrorTrap() { tActive = outer_; }

int XErrorTrap::Record(Display* display, XErrorEvent* error)
{
    if (tActive) {
        tActive->errors_.push_back(*error);
        return 0;
    }
    return gPrevious ? gPrevious(display, error) : 0;
}

bool XErrorTrap::Failed(unsigned long serial) const
{
    return std::any_of(errors_.begin(), errors_.end(), [&](const XErrorEvent& e) { return e.serial == serial; });
}

}  // namespace kestrun
