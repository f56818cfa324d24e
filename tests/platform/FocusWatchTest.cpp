// Typing watches the window manager's word on the active window while it
// types into a window that answers pings, as Qt windows do.

#include "keys/NotationTyping.h"
#include "platform/PlatformError.h"
#include "platform/x11/EwmhWindowActivator.h"
#include "platform/x11/X11Property.h"
#include "platform/x11/XTestKeySender.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <cstring>

#include <X11/Xatom.h>  // after gtest, whose names it defines as macros
#include <X11/Xlib.h>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

// Flushed, not synced: typing holds the server while it sends a batch of
// keys, and the change comes in once the batch is out.
void NameActive(Display* display, Window window)
{
    const unsigned long value = window;
    XChangeProperty(display, DefaultRootWindow(display), XInternAtom(display, "_NET_ACTIVE_WINDOW", False),
                    XA_WINDOW, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&value), 1);
    XFlush(display);
}

TEST(FocusWatch, TypingEndsWhenAnotherWindowIsNamedActiveAfterTheWindowWasPinged)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const pid_t qt = session.Start({KESTRUN_QT_RECORDER, (session.folder() / "qt.txt").string()});
    ASSERT_TRUE(EwmhWindowActivator().WaitForWindow(qt, 10s)) << "the Qt recorder did not start";
    EwmhWindowActivator().Activate(qt);

    const std::unique_ptr<Display, int (*)(Display*)> x(XOpenDisplay(nullptr), XCloseDisplay);
    ASSERT_TRUE(x);
    const Window typedInto = kestrun::ActiveWindow(x.get());
    const Window other = XCreateSimpleWindow(x.get(), DefaultRootWindow(x.get()), 0, 0, 10, 10, 0, 0, 0);
    // The borrowed code for the first character is announced with a ping;
    // the window manager then names another window while the ASCII follows.
    int keys = 0;
    XTestKeySender sender(nullptr, [&] {
        if (++keys == 200)
            NameActive(x.get(), other);
        return false;
    });
    const std::string text = "ü" + std::string(4000, 'a');
    EXPECT_THROW(SendKeys(sender, text, true), FocusLostError);
    // The window manager's change comes in between two batches of keys.
    EXPECT_LT(keys, static_cast<int>(text.size()) - 1000) << "typing went on after another window was named active";
    NameActive(x.get(), typedInto);
    XSync(x.get(), False);
}

// The message after a Wait names the window typed into by its title: the UTF-8 _NET_WM_NAME, else
// WM_NAME; a window without either, or gone meanwhile, has none (and ends nothing).
TEST(FocusWatch, AWindowsTitleForTheMessage)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const std::unique_ptr<Display, int (*)(Display*)> x(XOpenDisplay(nullptr), XCloseDisplay);
    ASSERT_TRUE(x);
    const auto window = [&](const char* netName, const char* name) {
        const Window made = XCreateSimpleWindow(x.get(), DefaultRootWindow(x.get()), 0, 0, 10, 10, 0, 0, 0);
        if (netName)
            XChangeProperty(x.get(), made, XInternAtom(x.get(), "_NET_WM_NAME", False),
                            XInternAtom(x.get(), "UTF8_STRING", False), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(netName), static_cast<int>(std::strlen(netName)));
        if (name)
            XStoreName(x.get(), made, name);
        return made;
    };
    const Window gone = window("Gone", "Gone");
    XDestroyWindow(x.get(), gone);
    XSync(x.get(), False);
    const std::pair<Window, std::string> cases[] = {
        {window("Grüße – Notes", "plain"), "Grüße – Notes"},
        {window(nullptr, "Only WM_NAME"), "Only WM_NAME"},
        {window("", "Empty net name"), "Empty net name"},
        {window(nullptr, nullptr), ""},
        {gone, ""},
        {None, ""},
    };
    XSync(x.get(), False);
    EwmhWindowActivator activator;
    for (const auto& [id, title] : cases)
        EXPECT_EQ(activator.WindowTitle(id), title) << id;
}

}  // namespace
}  // namespace kestrun::test
