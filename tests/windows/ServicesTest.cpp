// What a run gets on Windows: every service, and waits that a stop ends.
#include "platform/PlatformServices.h"

#include "platform/PlatformError.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace kestrun {
namespace {

TEST(WindowsServices, ARunGetsEveryServiceAndAStopEndsItsWaits)
{
    bool stop = false;
    PlatformServices services = MakePlatformServices([&stop] { return stop; });
    ASSERT_TRUE(services.files && services.programs && services.opener && services.sleeper && services.windows &&
                services.keys && services.stopKey);
    EXPECT_EQ(services.typingRoute, "Windows SendInput");

    // Stopped, a ten-minute wait returns at once (a hang fails the test by
    // its time limit), and so does the wait for a window that will not come.
    stop = true;
    services.sleeper->Sleep(600000);
    EXPECT_FALSE(services.windows->WaitForWindow(static_cast<std::int32_t>(GetCurrentProcessId()),
                                                 std::chrono::minutes(10)));
    EXPECT_THROW(services.keys->SendKeys({KeyStroke::Character(U'x')}, false), PlatformError);
}

}  // namespace
}  // namespace kestrun
