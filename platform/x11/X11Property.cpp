#include "platform/x11/X11Property.h"

#include "platform/x11/XErrorTrap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace kestrun {

std::vector<unsigned long> ReadWindowProperty(Display* display, unsigned long window, const char* name,
                                              unsigned long type, long maxItems)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(display, name, False);
    std::vector<unsigned long> values;
    // A window may go away at any moment, one from the client list or the
    // active one: it has no property then, and the process goes on.
    XErrorTrap trap;
    if (XGetWindowProperty(display, window, property, 0, maxItems, False, type, &actualType, &format, &count,
                           &remaining, &data) == Success && data) {
        if (actualType == type && format == 32) {
            const auto* items = reinterpret_cast<const unsigned long*>(data);  // 32-bit items come as longs
            values.assign(items, items + count);
        }
        XFree(data);
    }
    return values;
}

unsigned long ActiveWindow(Display* display)
{
    const auto active = ReadWindowProperty(display, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW, 1);
    return active.empty() ? None : active[0];
}

std::string WindowTitle(Display* display, unsigned long window)
{
    if (window == None || window == PointerRoot)
        return {};
    XErrorTrap trap;
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, left = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024, False, utf8, &type,
                           &format, &items, &left, &data) == Success && data) {
        if (type == utf8 && format == 8)
            name.assign(reinterpret_cast<const char*>(data), items);
        XFree(data);
    }
    if (name.empty()) {
        char* plain = nullptr;
        if (XFetchName(display, window, &plain) && plain) {
            name = plain;
            XFree(plain);
        }
    }
    return name;
}

}  // namespace kestrun
