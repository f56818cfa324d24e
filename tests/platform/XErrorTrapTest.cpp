// X errors trapped on two threads at once, each on its own connection.

#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <thread>

#include "platform/x11/XErrorTrap.h"  // after gtest: Xlib defines macros that clash with its names

namespace kestrun::test {
namespace {

// A request that fails: the attributes of a window that does not exist.
unsigned long FailingRequest(Display* display)
{
    const unsigned long serial = NextRequest(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, 0x1fffffff, &attributes);
    return serial;
}

// The trap that ends first must leave the other thread's trap in charge:
// with the handler put back at its end, the second thread's error ended the
// whole process through Xlib's default handler.
TEST(XErrorTrap, TrapsOnTwoThreadsEndInAnyOrder)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    std::promise<void> firstTrapSet, firstTrapGone;
    std::thread first([&] {
        std::unique_ptr<Display, int (*)(Display*)> x(XOpenDisplay(nullptr), XCloseDisplay);
        auto trap = std::make_unique<XErrorTrap>();
        firstTrapSet.set_value();
        EXPECT_TRUE(trap->Failed(FailingRequest(x.get())));
        trap.reset();
        firstTrapGone.set_value();
    });
    std::unique_ptr<Display, int (*)(Display*)> x(XOpenDisplay(nullptr), XCloseDisplay);
    firstTrapSet.get_future().wait();
    bool failed = false;
    {
        XErrorTrap trap;
        firstTrapGone.get_future().wait();
        const unsigned long serial = FailingRequest(x.get());
        failed = trap.Failed(serial);
        EXPECT_EQ(trap.errors().size(), 1u) << "only this thread's error";
    }
    first.join();
    EXPECT_TRUE(failed);
}

}  // namespace
}  // namespace kestrun::test
