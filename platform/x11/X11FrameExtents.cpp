// The frame estimate through the window manager's _NET_REQUEST_FRAME_EXTENTS
// (EWMH): the window manager sets _NET_FRAME_EXTENTS on a window it has not
// mapped yet.
#include "platform/WindowFrame.h"

#include "platform/x11/X11Property.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace kestrun {

namespace {

constexpr std::chrono::milliseconds kAnswerTime{500};

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

bool Supported(Display* display, Atom feature)
{
    const auto atoms = ReadWindowProperty(display, DefaultRootWindow(display), "_NET_SUPPORTED", XA_ATOM, 4096);
    return std::find(atoms.begin(), atoms.end(), feature) != atoms.end();
}

std::optional<FrameExtents> ReadExtents(Display* display, Window window)
{
    const auto values = ReadWindowProperty(display, window, "_NET_FRAME_EXTENTS", XA_CARDINAL, 4);
    if (values.size() != 4)
        return std::nullopt;
    return FrameExtents{static_cast<int>(values[0]), static_cast<int>(values[1]), static_cast<int>(values[2]),
                        static_cast<int>(values[3])};
}

bool ExtentsChanged(Display* display, Window window, Atom extents)
{
    const auto deadline = std::chrono::steady_clock::now() + kAnswerTime;
    while (true) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == PropertyNotify && event.xproperty.window == window && event.xproperty.atom == extents)
                return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, static_cast<int>(left.count()));
    }
}

}  // namespace

std::optional<FrameExtents> EstimateFrameExtents(std::uintptr_t window)
{
    const std::unique_ptr<Display, DisplayCloser> display(XOpenDisplay(nullptr));
    if (!display || window == 0)
        return std::nullopt;
    const Atom request = XInternAtom(display.get(), "_NET_REQUEST_FRAME_EXTENTS", False);
    const Atom extents = XInternAtom(display.get(), "_NET_FRAME_EXTENTS", False);
    if (!Supported(display.get(), request))
        return std::nullopt;

    const auto target = static_cast<Window>(window);
    XSelectInput(display.get(), target, PropertyChangeMask);
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = target;
    message.xclient.message_type = request;
    message.xclient.format = 32;
    XSendEvent(display.get(), DefaultRootWindow(display.get()), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &message);
    XFlush(display.get());
    // An answer that came before the wait is in the property all the same.
    ExtentsChanged(display.get(), target, extents);
    return ReadExtents(display.get(), target);
}

}  // namespace kestrun
