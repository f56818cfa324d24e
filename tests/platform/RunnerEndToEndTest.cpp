// Started programs on a private X server: their first window waited for and
// activated, then a whole run with the real platform services.

#include "platform/PlatformError.h"
#include "platform/PlatformServices.h"
#include "platform/linux/EwmhWindowActivator.h"
#include "platform/linux/PosixProgramStarter.h"
#include "runner/TaskRunner.h"
#include "tests/runner/FakeRunHost.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

TEST(RunnerEndToEnd, AStartedProgramIsWaitedForActivatedAndTypedInto)
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

    Step("a window is waited for only while it can come");
    // A limit no test could sit out: returning at all shows nothing was waited for.
    EXPECT_FALSE(windows.WaitForWindow(start("quick", "exit 0"), 1h));
    EXPECT_FALSE(windows.WaitForWindow(0, 1h));
    EXPECT_THROW(windows.Activate(0), PlatformError);
    EXPECT_THROW(windows.Activate(getpid()), PlatformError) << "a process without a window";
    const Started windowless{start("windowless", "exec sleep 60")};
    EXPECT_FALSE(windows.WaitForWindow(windowless.pid, 200ms));

    Step("a late window of a process the program started counts, and is activated");
    // The script stays as the parent: the window is its child's.
    const Started launcher{start("launcher", "sleep 2\nxterm\nexit 0")};
    EXPECT_TRUE(windows.WaitForWindow(launcher.pid, 30s));
    EXPECT_TRUE(windows.WaitForWindow(launcher.pid, 0ms));
    // Another program's newer window takes the focus; activation brings the started one back.
    ASSERT_GT(session.StartRecorder(session.folder() / "other.txt"), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsActive(launcher.pid); }, 10s));
    windows.Activate(launcher.pid);
    EXPECT_TRUE(IsActive(launcher.pid));

    Step("a run: keystrokes go to the started program once it has a window; a malformed row types nothing");
    const auto output = session.folder() / "typed.txt";
    PlatformServices platform = MakePlatformServices();
    FakeRunHost host;
    ScriptedDialogs dialogs;
    TaskRunner run(host, dialogs, {*platform.files, *platform.programs, *platform.opener, *platform.sleeper,
                                   *platform.windows, *platform.keys});
    host.rows = {{"Open File", session.RecorderScript(output, "sleep 3").string(), "True"},
                 {"Keystrokes", "every key~", "True"},
                 {"Wait", "1 seconds", "True"},
                 {"Keystrokes", "{BAD", "True"},
                 {"Keystrokes", "Grüße, ", "True"},
                 {"Keystrokes", "+kestrun~", "True"}};
    run.Run();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_GT(run.LastTaskId(), 0);
    const std::string expected = "every key\nGrüße, Kestrun\n";
    EXPECT_EQ(WaitForOutput(output, expected.size()), expected);
}

}  // namespace
}  // namespace kestrun::test
