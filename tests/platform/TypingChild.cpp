// Types a long text with a real keyboard guard, holding the right Shift key
// all along (typing itself uses the left one), for
// the tests that end it midway. Usage: typing_child <guardian executable>.
// Exits 0 when all was typed, 3 when typing stopped on a termination signal.

#include "platform/KeyNotation.h"
#include "platform/TerminationSignals.h"
#include "platform/linux/KeyboardGuard.h"
#include "platform/linux/XTestKeySender.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <exception>

int main(int argc, char* argv[])
{
    using namespace kestrun;
    if (argc != 2)
        return 2;
    CatchTerminationSignals();
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    // More distinct characters outside the layout than spare key codes, so
    // that the codes change meaning again and again.
    std::string text;
    for (int k = 0; k < 200; ++k)
        text += "абвгдежзийклмнопрстуфхцчшщъыьэюя αβγδεζηθικλμνξοπρστυφχψω kestrun ";
    const KeySequence sequence = ParseKeySequence(text);

    int status = 0;
    {
        const auto guard = StartKeyboardGuard(DisplayString(display), argv[1]);
        const KeyCode shift = XKeysymToKeycode(display, XK_Shift_R);
        guard->KeyDown(shift);
        XTestFakeKeyEvent(display, shift, True, CurrentTime);
        try {
            TypeStrokes(display, sequence.strokes, *guard);
        } catch (const std::exception&) {
            status = TerminationRequested() ? 3 : 1;
        }
        XTestFakeKeyEvent(display, shift, False, CurrentTime);
        XSync(display, False);
        guard->KeyUp(shift);
    }
    XCloseDisplay(display);
    return status;
}
