// Waiting for a started program's first window, on a private X server.

#include "platform/linux/EwmhWindowActivator.h"
#include "platform/linux/PosixProgramStarter.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <chrono>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

fs::path Script(const XSession& session, const std::string& name, const std::string& body)
{
    const fs::path path = session.folder().Write(name, "#!/bin/sh\n" + body + "\n");
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

struct StartedProgram {
    std::int32_t pid = 0;
    ~StartedProgram()
    {
        if (pid > 0)
            StopProcess(pid);
    }
};

TEST(WindowWait, AProgramThatEndsAtOnceCostsNoWait)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    PosixProgramStarter starter;
    const std::int32_t pid = starter.Start(Script(session, "quick", "exit 0").string());
    // A limit no test could sit out: returning at all shows that nothing was waited for.
    EXPECT_FALSE(EwmhWindowActivator().WaitForWindow(pid, std::chrono::hours(1)));
    EXPECT_FALSE(EwmhWindowActivator().WaitForWindow(0, std::chrono::hours(1)));
}

TEST(WindowWait, ALateWindowIsWaitedForAndAWindowlessProgramOnlyForTheLimit)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    PosixProgramStarter starter;
    StartedProgram late{starter.Start(Script(session, "late", "sleep 3\nexec xterm").string())};
    EXPECT_TRUE(EwmhWindowActivator().WaitForWindow(late.pid, std::chrono::seconds(30)));
    EXPECT_TRUE(EwmhWindowActivator().WaitForWindow(late.pid, std::chrono::milliseconds(0)));

    StartedProgram windowless{starter.Start(Script(session, "windowless", "exec sleep 60").string())};
    EXPECT_FALSE(EwmhWindowActivator().WaitForWindow(windowless.pid, std::chrono::milliseconds(200)));
}

TEST(WindowWait, TheWindowOfAProcessTheProgramStartedCountsAndIsActivated)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    PosixProgramStarter starter;
    // The script stays as the parent: the window is its child's.
    StartedProgram launcher{starter.Start(Script(session, "launcher", "xterm\nexit 0").string())};
    ASSERT_TRUE(EwmhWindowActivator().WaitForWindow(launcher.pid, std::chrono::seconds(30)));
    EXPECT_NO_THROW(EwmhWindowActivator().Activate(launcher.pid));
}

}  // namespace
}  // namespace kestrun::test
