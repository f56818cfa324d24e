// The Pause key as the user's stop: taken from every other application while
// held, given back after.

#include "platform/x11/X11StopKey.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <atomic>

#include <X11/Xlib.h>  // after gtest, whose names it defines as macros
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

class OtherClient {
public:
    OtherClient() : x_(XOpenDisplay(nullptr), XCloseDisplay), pause_(XKeysymToKeycode(x_.get(), XK_Pause)) {}
    void Press(unsigned modifierSym = 0)
    {
        const KeyCode modifier = modifierSym ? XKeysymToKeycode(x_.get(), modifierSym) : 0;
        if (modifier) XTestFakeKeyEvent(x_.get(), modifier, True, CurrentTime);
        XTestFakeKeyEvent(x_.get(), pause_, True, CurrentTime);
        XTestFakeKeyEvent(x_.get(), pause_, False, CurrentTime);
        if (modifier) XTestFakeKeyEvent(x_.get(), modifier, False, CurrentTime);
        XSync(x_.get(), False);
    }
    bool Grab()
    {
        failed_ = false;
        const auto previous = XSetErrorHandler([](Display*, XErrorEvent*) { return (failed_ = true), 0; });
        XGrabKey(x_.get(), pause_, AnyModifier, DefaultRootWindow(x_.get()), False, GrabModeAsync, GrabModeAsync);
        XSync(x_.get(), False);
        XSetErrorHandler(previous);
        return !failed_;
    }
    void Ungrab()
    {
        XUngrabKey(x_.get(), pause_, AnyModifier, DefaultRootWindow(x_.get()));
        XSync(x_.get(), False);
    }

private:
    std::unique_ptr<Display, int (*)(Display*)> x_;
    KeyCode pause_;
    static inline bool failed_ = false;
};

TEST(StopKey, PauseWithAnyModifiersStopsWhileHeldAndBelongsToOthersAgainAfter)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    OtherClient other;
    std::atomic<int> presses = 0;
    X11StopKey key;
    ASSERT_TRUE(key.Hold([&] { ++presses; }));
    other.Press();
    EXPECT_TRUE(WaitUntil([&] { return presses == 1; }, 5s));
    other.Press(XK_Control_L);  // Break
    EXPECT_TRUE(WaitUntil([&] { return presses == 2; }, 5s));
    EXPECT_FALSE(other.Grab()) << "another application could take the key while Kestrun held it";

    key.Release();
    other.Press();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(presses, 2) << "a press after the release still reached Kestrun";
    ASSERT_TRUE(other.Grab()) << "the key was not given back";

    // Held elsewhere, it is not Kestrun's to take.
    EXPECT_FALSE(key.Hold([&] { ++presses; }));
    other.Ungrab();
    EXPECT_TRUE(key.Hold([&] { ++presses; }));
}

}  // namespace
}  // namespace kestrun::test
