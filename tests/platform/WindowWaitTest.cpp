// Waiting for a started program's first window and activating it, on a
// private X server.

#include "platform/PlatformError.h"
#include "platform/linux/EwmhWindowActivator.h"
#include "platform/linux/PosixProgramStarter.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

TEST(WindowWait, WaitsForAStartedProgramsWindowOnlyWhileItCanComeAndActivatesIt)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    EwmhWindowActivator windows;
    PosixProgramStarter starter;
    const auto start = [&](const std::string& name, const std::string& body) {
        const auto path = session.folder().Write(name, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return starter.Start(path.string());
    };

    // A limit no test could sit out: returning at all shows nothing was waited for.
    EXPECT_FALSE(windows.WaitForWindow(start("quick", "exit 0"), 1h));
    EXPECT_FALSE(windows.WaitForWindow(0, 1h));
    EXPECT_THROW(windows.Activate(0), PlatformError);
    EXPECT_THROW(windows.Activate(getpid()), PlatformError) << "a process without a window";

    const Started windowless{start("windowless", "exec sleep 60")};
    EXPECT_FALSE(windows.WaitForWindow(windowless.pid, 200ms));

    // The script stays as the parent: the window is its child's.
    const Started launcher{start("launcher", "sleep 2\nxterm\nexit 0")};
    EXPECT_TRUE(windows.WaitForWindow(launcher.pid, 30s));
    EXPECT_TRUE(windows.WaitForWindow(launcher.pid, 0ms));
    // Another program's newer window takes the focus; activation brings the started one back.
    ASSERT_GT(session.StartRecorder(session.folder() / "other.txt"), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsActive(launcher.pid); }, 10s));
    windows.Activate(launcher.pid);
    EXPECT_TRUE(IsActive(launcher.pid));
}

}  // namespace
}  // namespace kestrun::test
