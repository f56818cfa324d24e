// Usage: typing_child <guardian>. Types a long text with a real keyboard guard, holding the right Shift
// all along, for the tests that end it midway; exits 0 when all was typed, 3 when stopped by a signal.

#include "keys/NotationTyping.h"
#include "platform/TerminationSignals.h"
#include "platform/x11/keyguard/KeyGuard.h"
#include "platform/x11/XTestKeySender.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <exception>
#include <thread>

int main(int argc, char* argv[])
{
    using namespace kestrun;
    CatchTerminationSignals();
    Display* display = XOpenDisplay(nullptr);
    if (argc != 2 || !display)
        return 2;
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_R);
    XTestFakeKeyEvent(display, shift, True, CurrentTime);
    XSync(display, False);
    int status = 0;
    {
        XTestKeySender sender([&](const std::string& name) { return StartKeyboardGuard(name, argv[1]); },
                              &TerminationRequested);
        // Short Keystrokes tasks one after another, at about the pace a
        // receiving window reads them, well beyond the moments tests end it at.
        try {
            for (int task = 0; task < 300; ++task, std::this_thread::sleep_for(std::chrono::milliseconds(50)))
                SendKeys(sender, "абвгдежзийклмнопрстуфхцчшщъыьэюя αβγδεζηθικλμνξοπρστυφχψω kestrun ", false);
        } catch (const std::exception&) {
            status = TerminationRequested() ? 3 : 1;
        }
    }
    XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XCloseDisplay(display);
    return status;
}
