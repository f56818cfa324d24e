// Types a long text through the key sender with a real keyboard guard,
// holding the right Shift key all along (typing itself uses the left one),
// for the tests that end it midway. Usage: typing_child <guardian executable>.
// Exits 0 when all was typed, 3 when typing stopped on a termination signal.

#include "platform/TerminationSignals.h"
#include "platform/linux/KeyboardGuard.h"
#include "keys/NotationTyping.h"
#include "platform/linux/XTestKeySender.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <string>
#include <thread>

int main(int argc, char* argv[])
{
    using namespace kestrun;
    if (argc != 2)
        return 2;
    CatchTerminationSignals();
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 2;
    const std::string text = "абвгдежзийклмнопрстуфхцчшщъыьэюя αβγδεζηθικλμνξοπρστυφχψω kestrun ";
    const std::filesystem::path guardian = argv[1];
    const KeyCode shift = XKeysymToKeycode(display, XK_Shift_R);
    XTestFakeKeyEvent(display, shift, True, CurrentTime);
    XSync(display, False);
    int status = 0;
    {
        XTestKeySender sender(
            [&guardian](const std::string& displayName) { return StartKeyboardGuard(displayName, guardian); },
            &TerminationRequested);
        // Short Keystrokes tasks one after another, at about the pace a
        // receiving window reads them, for well beyond the moments the tests
        // end typing at.
        try {
            for (int task = 0; task < 300; ++task) {
                SendKeys(sender, text, false);
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        } catch (const std::exception&) {
            status = TerminationRequested() ? 3 : 1;
        }
    }
    XTestFakeKeyEvent(display, shift, False, CurrentTime);
    XCloseDisplay(display);
    return status;
}
