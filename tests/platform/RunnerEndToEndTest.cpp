// A whole run with the real platform services on a private X server: start
// a program, type into it before and after a wait.

#include "platform/PlatformServices.h"
#include "runner/TaskRunner.h"
#include "tests/runner/FakeRunHost.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

TEST(RunnerEndToEnd, KeystrokesGoToTheStartedProgramOnceItHasAWindow)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const auto output = session.folder() / "typed.txt";
    PlatformServices platform = MakePlatformServices();
    FakeRunHost host;
    ScriptedDialogs dialogs;
    TaskRunner run(host, dialogs, {*platform.files, *platform.programs, *platform.opener, *platform.sleeper,
                                   *platform.windows, *platform.keys});
    // The program takes seconds to its window; a malformed row types nothing.
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
