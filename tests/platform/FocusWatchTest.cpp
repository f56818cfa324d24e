// Typing watches the window manager's word on the active window while it
// types into a window that answers pings, as Qt windows do.

#include "keys/NotationTyping.h"
#include "platform/PlatformError.h"
#include "platform/x11/EwmhWindowActivator.h"
#include "platform/x11/WindowOwnership.h"
#include "platform/x11/X11Property.h"
#include "platform/x11/XTestKeySender.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <cstring>

#include <X11/Xatom.h>  // after gtest, whose names it defines as macros
#include <X11/Xlib.h>
#include <X11/Xutil.h>

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

// A window that the active one's application opened takes the keys: one of the same process on the
// same machine, or one transient for it or for its group leader. Any other, and one whose process
// cannot be told, does not; what was read of the noted window still tells once it is gone.
TEST(FocusWatch, AWindowOfTheSameApplicationIsToldFromAnotherOne)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const std::unique_ptr<Display, int (*)(Display*)> x(XOpenDisplay(nullptr), XCloseDisplay);
    ASSERT_TRUE(x);
    Display* d = x.get();
    struct Spec {
        long pid = 0;
        const char* machine = "here";
        Window transientFor = None, group = None;
    };
    const auto window = [&](const Spec& spec, Window parent = None) {
        const Window made = XCreateSimpleWindow(d, parent != None ? parent : DefaultRootWindow(d), 0, 0, 10, 10, 0, 0, 0);
        if (spec.pid != 0) {
            const unsigned long pid = static_cast<unsigned long>(spec.pid);
            XChangeProperty(d, made, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&pid), 1);
        }
        if (spec.machine) {
            XTextProperty text{};
            char* name = const_cast<char*>(spec.machine);
            XStringListToTextProperty(&name, 1, &text);
            XSetWMClientMachine(d, made, &text);
            XFree(text.value);
        }
        if (spec.transientFor != None)
            XSetTransientForHint(d, made, spec.transientFor);
        if (spec.group != None) {
            XWMHints hints{};
            hints.flags = WindowGroupHint;
            hints.window_group = spec.group;
            XSetWMHints(d, made, &hints);
        }
        return made;
    };
    const Window leader = window({.pid = 0, .machine = nullptr});
    const Window noted = window({.pid = 100, .group = leader});
    const Window nameless = window({.pid = 0});
    const Window gone = window({.pid = 300});
    const WindowOwnership goneOwner = ReadOwnership(d, gone);
    XDestroyWindow(d, gone);
    const struct {
        const char* what;
        Window noted, other;
        bool same;
    } cases[] = {
        {"the same window", noted, noted, true},
        {"the same process", noted, window({.pid = 100}), true},
        {"the same process number on another machine", noted, window({.pid = 100, .machine = "there"}), false},
        {"another process", noted, window({.pid = 200}), false},
        {"another process's dialog of the window", noted, window({.pid = 200, .transientFor = noted}), true},
        {"a dialog of its group leader", noted, window({.pid = 0, .transientFor = leader}), true},
        {"a dialog of another window", noted, window({.pid = 200, .transientFor = nameless}), false},
        {"a window that names no process", noted, window({.pid = 0}), false},
        {"any window, from one that names no process", nameless, window({.pid = 0}), false},
        {"no window", noted, None, false},
        {"a window of the noted one's process once it is gone", gone, window({.pid = 300}), true},
        {"a window of another process once it is gone", gone, window({.pid = 100}), false},
    };
    XSync(d, False);
    for (const auto& c : cases) {
        const WindowOwnership owner = c.noted == gone ? goneOwner : ReadOwnership(d, c.noted);
        EXPECT_EQ(SameApplication(d, c.noted, owner, c.other), c.same) << c.what;
    }

    // The focus may name a window inside the client's: its client is the one with WM_STATE above it.
    const Window client = window({.pid = 100});
    const unsigned long state[2] = {1, None};
    XChangeProperty(d, client, XInternAtom(d, "WM_STATE", False), XInternAtom(d, "WM_STATE", False), 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(state), 2);
    const Window inner = window({.pid = 0, .machine = nullptr}, window({.pid = 0, .machine = nullptr}, client));
    XSync(d, False);
    EXPECT_EQ(ClientWindowOf(d, inner), client);
    EXPECT_EQ(ClientWindowOf(d, client), client);
    EXPECT_EQ(ClientWindowOf(d, nameless), None) << "a window no window manager took";
    EXPECT_EQ(ClientWindowOf(d, PointerRoot), None);
    EXPECT_EQ(ClientWindowOf(d, gone), None);
}

}  // namespace
}  // namespace kestrun::test
