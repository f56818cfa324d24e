// A whole run with the real platform services: start a program, wait for it,
// type into it.

#include "platform/PlatformServices.h"
#include "runner/TaskRunner.h"
#include "tests/support/XSession.h"
#include "tests/runner/FakeRunHost.h"
#include "tests/support/ScriptedDialogs.h"

#include <gtest/gtest.h>


namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// Stands in for the user's "Wait" row: waits until the started program has
// a window rather than for a fixed time.
class WindowWaiter : public Sleeper {
public:
    explicit WindowWaiter(const std::int32_t& lastTaskId) : lastTaskId_(lastTaskId) {}
    void Sleep(std::uint32_t) override { XSession::WaitForWindowOf(lastTaskId_); }

private:
    const std::int32_t& lastTaskId_;
};

// A program that becomes an xterm copying every byte typed into `output`,
// after `delay` (a shell command run first).
fs::path WriteRecorder(const XSession& session, const fs::path& output, const std::string& delay = "true")
{
    const auto program = session.folder().Write(
        "recorder", "#!/bin/sh\n" + delay +
                        "\nexec xterm -e /bin/sh -c 'stty -icanon -isig -iexten -ixon -echo && exec cat > \"$0\"' '" +
                        output.string() + "'\n");
    fs::permissions(program, fs::perms::owner_all);
    return program;
}

TEST(RunnerEndToEnd, KeystrokesRightAfterTheStartWaitForTheProgramsFirstWindow)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const auto output = session.folder() / "typed.txt";
    const auto program = WriteRecorder(session, output, "sleep 3");

    PlatformServices platform = MakePlatformServices();
    FakeRunHost host;
    ScriptedDialogs dialogs;
    TaskRunner run(host, dialogs, {*platform.files, *platform.programs, *platform.opener, *platform.sleeper,
                                   *platform.windows, *platform.keys});
    host.rows = {{"Open File", program.string(), "True"}, {"Keystrokes", "every key~", "True"}};
    run.Run();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(XSession::WaitForOutput(output, 10), "every key\n");
    if (run.LastTaskId() > 0)
        StopProcess(run.LastTaskId());
}

TEST(RunnerEndToEnd, StartsAProgramAndTypesIntoIt)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const auto output = session.folder() / "typed.txt";
    const auto program = WriteRecorder(session, output);

    PlatformServices platform = MakePlatformServices();
    FakeRunHost host;
    ScriptedDialogs dialogs;
    std::int32_t started = 0;
    WindowWaiter waiter(started);
    // The waiter needs the identifier before the wait row runs.
    class StartRecorder : public ProgramStarter {
    public:
        StartRecorder(ProgramStarter& real, std::int32_t& started) : real_(real), started_(started) {}
        bool IsProgramFile(const std::string& path) override { return real_.IsProgramFile(path); }
        std::int32_t Start(const std::string& path) override { return started_ = real_.Start(path); }

    private:
        ProgramStarter& real_;
        std::int32_t& started_;
    } starter(*platform.programs, started);
    TaskRunner run(host, dialogs, {*platform.files, starter, *platform.opener, waiter, *platform.windows,
                                   *platform.keys});

    host.rows = {{"Open File", program.string(), "True"},
                 {"Wait", "1 seconds", "True"},
                 {"Keystrokes", "{BAD", "True"},
                 {"Keystrokes", "Grüße, ", "True"},
                 {"Keystrokes", "+kestrun~", "True"}};
    run.Run();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_GT(run.LastTaskId(), 0);
    const std::string expected = "Grüße, Kestrun\n";
    EXPECT_EQ(XSession::WaitForOutput(output, expected.size()), expected);
    if (run.LastTaskId() > 0)
        StopProcess(run.LastTaskId());
}

}  // namespace
}  // namespace kestrun::test
