#include "platform/x11/WindowOwnership.h"

#include "platform/x11/X11Property.h"
#include "platform/x11/XErrorTrap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kestrun {

namespace {

std::string ClientMachine(Display* display, Window window)
{
    XTextProperty text{};
    std::string machine;
    if (XGetWMClientMachine(display, window, &text) && text.value) {
        if (text.format == 8)
            machine.assign(reinterpret_cast<const char*>(text.value), text.nitems);
        XFree(text.value);
    }
    return machine;
}

// Toplevel windows sit a few levels below the root (the window manager's
// frames); the climb ends there whatever the tree holds.
constexpr int kDeepestClient = 16;

}  // namespace

WindowOwnership ReadOwnership(Display* display, unsigned long window)
{
    WindowOwnership owner;
    if (window == None || window == PointerRoot)
        return owner;
    XErrorTrap trap;  // a window may be gone at any moment
    if (const auto pid = ReadWindowProperty(display, window, "_NET_WM_PID", XA_CARDINAL, 1);
        !pid.empty() && pid[0] > 0 && pid[0] <= 0x7fffffffUL)
        owner.pid = static_cast<long>(pid[0]);
    owner.machine = ClientMachine(display, window);
    if (XWMHints* hints = XGetWMHints(display, window)) {
        if (hints->flags & WindowGroupHint)
            owner.group = hints->window_group;
        XFree(hints);
    }
    return owner;
}

bool SameApplication(Display* display, unsigned long noted, const WindowOwnership& owner, unsigned long other)
{
    if (other == None || other == PointerRoot || noted == None)
        return false;
    if (other == noted)
        return true;
    const WindowOwnership theirs = ReadOwnership(display, other);
    if (owner.pid != 0 && theirs.pid == owner.pid && theirs.machine == owner.machine)
        return true;
    // A dialog of the window, or of its group, is the application's own
    // (a file chooser that another process shows for it among them).
    XErrorTrap trap;
    Window parent = None;
    if (!XGetTransientForHint(display, other, &parent) || parent == None)
        return false;
    return parent == noted || (owner.group != 0 && parent == owner.group);
}

unsigned long ClientWindowOf(Display* display, unsigned long window)
{
    if (window == None || window == PointerRoot)
        return None;
    XErrorTrap trap;
    const Atom state = XInternAtom(display, "WM_STATE", False);
    const Window root = DefaultRootWindow(display);
    for (int depth = 0; depth < kDeepestClient && window != None && window != root; ++depth) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, left = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, state, 0, 0, False, AnyPropertyType, &type, &format, &items, &left,
                               &data) == Success) {
            if (data)
                XFree(data);
            if (type != None)
                return window;
        }
        Window rootOf = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, window, &rootOf, &parent, &children, &count))
            return None;
        if (children)
            XFree(children);
        window = parent;
    }
    return None;
}

}  // namespace kestrun
