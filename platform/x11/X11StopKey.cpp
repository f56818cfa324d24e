#include "platform/x11/X11StopKey.h"

#include "platform/x11/XErrorTrap.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace kestrun {

X11StopKey::~X11StopKey() { Release(); }

bool X11StopKey::Hold(std::function<void()> pressed)
{
    Release();
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    const KeyCode code = XKeysymToKeycode(display, XK_Pause);
    bool held = false;
    if (code != 0) {
        XErrorTrap trap;
        XGrabKey(display, code, AnyModifier, DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
        XSync(display, False);
        held = trap.errors().empty();  // BadAccess: another client has a grab on it
    }
    if (!held || pipe2(wake_, O_CLOEXEC) != 0) {
        XCloseDisplay(display);
        wake_[0] = wake_[1] = -1;
        return false;
    }
    display_ = display;
    watcher_ = std::thread(&X11StopKey::Watch, this, code, std::move(pressed));
    return true;
}

void X11StopKey::Release()
{
    if (!display_)
        return;
    const char wake = 0;
    (void)!write(wake_[1], &wake, 1);
    watcher_.join();
    close(wake_[0]);
    close(wake_[1]);
    wake_[0] = wake_[1] = -1;
    XCloseDisplay(display_);  // which ends the grab
    display_ = nullptr;
}

void X11StopKey::Watch(unsigned char code, std::function<void()> pressed)
{
    for (;;) {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == KeyPress && event.xkey.keycode == code)
                pressed();
        }
        pollfd watched[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (poll(watched, 2, -1) < 0 && errno != EINTR)
            return;
        if (watched[1].revents != 0 || (watched[0].revents & (POLLERR | POLLHUP)) != 0)
            return;
    }
}

}  // namespace kestrun
