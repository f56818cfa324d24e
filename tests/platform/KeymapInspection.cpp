#include "tests/platform/KeymapInspection.h"

#include "platform/linux/KeySettle.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <sstream>

namespace kestrun::test {

std::string XkbKeys()
{
    std::ostringstream text;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return "no display";
    XkbDescPtr xkb = XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask | XkbKeyActionsMask, XkbUseCoreKbd);
    for (int code = xkb->min_key_code; code <= xkb->max_key_code; ++code) {
        text << code << ':';
        for (int group = 0; group < XkbKeyNumGroups(xkb, code); ++group) {
            text << " [type " << XkbKeyKeyTypeIndex(xkb, code, group);
            for (int level = 0; level < XkbKeyGroupWidth(xkb, code, group); ++level)
                text << ' ' << std::hex << XkbKeySymEntry(xkb, code, level, group) << std::dec;
            text << ']';
        }
        text << (XkbKeyHasActions(xkb, code) ? " actions\n" : "\n");
    }
    XkbFreeKeyboard(xkb, 0, True);
    XCloseDisplay(display);
    return text.str();
}

void SetKeySyms(unsigned char code, std::vector<unsigned long> syms)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return;
    XChangeKeyboardMapping(display, code, static_cast<int>(syms.size()), syms.data(), 1);
    XCloseDisplay(display);
}

bool PingActiveWindow(std::chrono::milliseconds timeout)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const bool answered = KeySettle(display).Ping(timeout);
    XCloseDisplay(display);
    return answered;
}

KeyGrabber::KeyGrabber(const std::vector<unsigned char>& codes) : display_(XOpenDisplay(nullptr))
{
    auto* display = static_cast<Display*>(display_);
    if (!display)
        return;
    for (unsigned char code : codes)
        XGrabKey(display, code, AnyModifier, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
}

KeyGrabber::~KeyGrabber()
{
    if (display_)
        XCloseDisplay(static_cast<Display*>(display_));
}

}  // namespace kestrun::test
