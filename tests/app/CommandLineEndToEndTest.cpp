// The command line and one Kestrun per user and document, with the built
// kestrun on a private X server with a tray.

#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Kestrun's icons in the tray; the main window hangs in the window
// manager's frame, so only the others embedded count.
std::size_t TrayIcons()
{
    const std::vector<std::string> main = WindowsNamed(kMainCaption);
    std::size_t icons = 0;
    for (const std::string& window : KestrunWindows())
        icons += IsEmbedded(window) && std::find(main.begin(), main.end(), window) == main.end();
    return icons;
}

TEST(CommandLineEndToEnd, OptionsRunsAndOneKestrunPerUserAndDocument)
{
    XSession session({.tray = true});
    ASSERT_TRUE(session.ok()) << session.failure;
    const fs::path typed = session.folder() / "typed.txt";
    const std::string document = TemplateDocument(
        Program("Greet", {{"Open File", session.RecorderScript(typed)}, {"Keystrokes", "hello~"}}) +
        Program("Second", {}));
    const fs::path executable = session.InstallKestrun(document);
    const fs::path file = executable.parent_path() / "Kestrun.xml";
    const auto kestrun = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), executable.string());
        return RunProgram(arguments);
    };

    Step("each option and each failure: its status and message, and no window");
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string out, err;  // a part of what is printed
    };
    const Case cases[] = {
        {{"--help"}, 0, "--run <NAME>", ""},
        {{"-h"}, 0, "--list", ""},
        {{"--version"}, 0, "Kestrun 0.1.0", ""},
        {{"--list"}, 0, "Greet\nSecond\n", ""},
        {{"--bogus"}, 2, "", "Unknown option 'bogus'.\n"},
        {{"--run"}, 2, "", "Missing value after '--run'.\n"},
        {{"--run", "Greet", "--list"}, 2, "", "Use one of --run, --list, --help and --version at a time.\n"},
        {{"--run", "Greet", "--run", "Second"}, 2, "", "--run takes one program.\n"},
        {{"stray"}, 2, "", "Unexpected argument 'stray'.\n"},
        {{"--run", "Nobody"}, 2, "", "Kestrun has no program named \"Nobody\".\n"},
        {{"--run", "greet"}, 2, "", "Kestrun has no program named \"greet\".\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front() + (c.arguments.size() > 1 ? " " + c.arguments[1] : ""));
        const Outcome outcome = kestrun(c.arguments);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_NE(outcome.out.find(c.out), std::string::npos) << outcome.out;
        EXPECT_NE(outcome.err.find(c.err), std::string::npos) << outcome.err;
    }
    EXPECT_EQ(kestrun({"--list"}).out, "Greet\nSecond\n") << "the template is not listed";
    EXPECT_TRUE(KestrunWindows().empty()) << "a start above left a window or an icon";
    session.folder().Write("app/Kestrun.xml", "<programs>");
    const Outcome broken = kestrun({"--list"});
    EXPECT_EQ(broken.status, 2);
    EXPECT_NE(broken.err.find("Error: "), std::string::npos) << broken.err;
    EXPECT_EQ(broken.out, "");
    session.folder().Write("app/Kestrun.xml", document);

    Step("--run without a Kestrun starts one that runs the program and stays in the tray");
    Started first{StartProcess({executable, "--run", "Greet"})};
    EXPECT_EQ(WaitForOutput(typed, 6), "hello\n");
    EXPECT_FALSE(XSession::WaitForTrayIcon().empty());
    EXPECT_EQ(kestrun({}).status, 0);
    EXPECT_TRUE(WaitUntil(MainWindowMapped)) << "a plain start did not bring the window forward";

    Step("later starts hand their requests to the running Kestrun, which answers from its own document");
    session.folder().Write("app/Kestrun.xml", "<programs/>");
    const Outcome list = kestrun({"--list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "Greet\nSecond\n");
    const Outcome unknown = kestrun({"--run", "Nobody"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("Kestrun has no program named \"Nobody\".\n"), std::string::npos) << unknown.err;
    fs::remove(typed);
    const Outcome run = kestrun({"--run", "Greet"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(WaitForOutput(typed, 6), "hello\n");
    EXPECT_EQ(TrayIcons(), 1u);
    int status = 0;
    EXPECT_FALSE(Ended(first.pid, status));
    session.folder().Write("app/Kestrun.xml", document);

    Step("a Kestrun killed outright does not block the next start");
    kill(first.pid, SIGKILL);
    waitpid(first.pid, nullptr, 0);
    first.pid = -1;
    ASSERT_FALSE(fs::is_empty(session.folder() / "runtime")) << "the socket and the lock stay behind";
    Started next{StartProcess({executable})};
    EXPECT_FALSE(XSession::WaitForTrayIcon().empty());
    const Outcome afterKill = kestrun({"--list"});
    EXPECT_EQ(afterKill.status, 0) << afterKill.err;
    EXPECT_EQ(afterKill.out, "Greet\nSecond\n");
    EXPECT_FALSE(Ended(next.pid, status));
    // Nor does a runtime folder that is not there: the start goes on alone.
    const std::string runtime = std::getenv("XDG_RUNTIME_DIR");
    setenv("XDG_RUNTIME_DIR", (session.folder() / "missing").c_str(), 1);
    const Outcome alone = kestrun({"--list"});
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(alone.out, "Greet\nSecond\n");
    StopProcess(next.pid);
    next.pid = -1;

    Step("of two starts at once, one holds the document and the other ends");
    Started one{StartProcess({executable})}, two{StartProcess({executable})};
    bool oneEnded = false;
    ASSERT_TRUE(WaitUntil([&] { return (oneEnded = Ended(one.pid, status)) || Ended(two.pid, status); }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Started& other = oneEnded ? two : one;
    (oneEnded ? one : two).pid = -1;
    EXPECT_TRUE(WaitUntil([] { return TrayIcons() == 1; }));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(TrayIcons(), 1u);
    EXPECT_FALSE(Ended(other.pid, status));
}

}  // namespace
}  // namespace kestrun::test
