#include "platform/x11/XErrorTrap.h"

#include <algorithm>

namespace kestrun {

namespace {
XErrorTrap* gActive = nullptr;
}

XErrorTrap::XErrorTrap() : previous_(XSetErrorHandler(Record)), outer_(gActive) { gActive = this; }

XErrorTrap::~XErrorTrap()
{
    XSetErrorHandler(previous_);
    gActive = outer_;
}

int XErrorTrap::Record(Display*, XErrorEvent* error)
{
    if (gActive)
        gActive->errors_.push_back(*error);
    return 0;
}

bool XErrorTrap::Failed(unsigned long serial) const
{
    return std::any_of(errors_.begin(), errors_.end(), [&](const XErrorEvent& e) { return e.serial == serial; });
}

}  // namespace kestrun
