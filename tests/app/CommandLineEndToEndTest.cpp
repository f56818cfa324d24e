// The command line and one Kestrun per user and document, with the built
// kestrun on a private X server with a tray.

#include "tests/support/KestrunDesktop.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

extern char** environ;

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string Document(const fs::path& recorder)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<programs xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xsi:noNamespaceSchemaLocation=\"Kestrun.xsd\">\n"
           "<program><name>Kestrun Template</name><tasks><task index=\"1\"><type>Wait</type><value>1</value>"
           "<enabled>True</enabled></task></tasks></program>\n"
           "<program><name>Greet</name><tasks>"
           "<task index=\"1\"><type>Open File</type><value>" + recorder.string() + "</value><enabled>True</enabled></task>"
           "<task index=\"2\"><type>Keystrokes</type><value>hello~</value><enabled>True</enabled></task>"
           "</tasks></program>\n"
           "<program><name>Second</name><tasks/></program>\n</programs>\n";
}

class CommandLineEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session.ok()) << session.failure;
        tray.pid = StartTray();
        ASSERT_GT(tray.pid, 0);
        recorder = WriteRecorder(session.folder(), typed, session.folder() / "recorder.pid");
        fs::create_directories(folder);
        fs::copy_file(KESTRUN_EXECUTABLE, executable);
        std::ofstream(folder / "Kestrun.xml", std::ios::binary) << Document(recorder);
        // The environment of a start on the X server.
        waitpid(StartKestrunAt("/bin/true"), nullptr, 0);
    }
    void TearDown() override
    {
        if (fs::exists(pidFile))
            StopProcess(std::stoi(ReadFile(pidFile)));
    }

    // Runs kestrun with `arguments` to its end.
    Outcome Kestrun(const std::vector<std::string>& arguments)
    {
        const fs::path out = session.folder() / "out.txt", err = session.folder() / "err.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::vector<std::string> copies{executable.string()};
        copies.insert(copies.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (auto& argument : copies)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        Outcome outcome;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
                outcome.status = WEXITSTATUS(status);
        }
        posix_spawn_file_actions_destroy(&actions);
        outcome.out = ReadFile(out);
        outcome.err = ReadFile(err);
        return outcome;
    }

    pid_t Start(const std::vector<std::string>& arguments = {})
    {
        std::vector<std::string> argv{executable.string()};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return StartProcess(argv);
    }

    static std::size_t TrayIcons()
    {
        // The main window hangs in the window manager's frame: only the
        // others embedded count.
        const std::vector<std::string> main = VisibleWindowsNamed(kMainCaption);
        std::size_t icons = 0;
        for (const std::string& window : VisibleKestrunWindows())
            icons += IsEmbedded(window) && std::find(main.begin(), main.end(), window) == main.end();
        return icons;
    }

    XSession session;
    Started tray;
    const fs::path folder = session.folder() / "app";
    const fs::path executable = folder / "kestrun";
    const fs::path typed = session.folder() / "typed.txt";
    const fs::path pidFile = session.folder() / "recorder.pid";
    fs::path recorder;
};

TEST_F(CommandLineEndToEnd, EachOptionAndEachFailureHasItsStatusAndMessage)
{
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
        {{"--bogus"}, 2, "", "Unknown option 'bogus'."},
        {{"--run"}, 2, "", "Missing value after '--run'."},
        {{"--run", "Greet", "--list"}, 2, "", "Use one of --run, --list, --help and --version at a time."},
        {{"--run", "Greet", "--run", "Second"}, 2, "", "--run takes one program."},
        {{"stray"}, 2, "", "Unexpected argument 'stray'."},
        {{"--run", "Nobody"}, 2, "", "Kestrun has no program named \"Nobody\"."},
        {{"--run", "greet"}, 2, "", "Kestrun has no program named \"greet\"."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front() + (c.arguments.size() > 1 ? " " + c.arguments[1] : ""));
        const Outcome outcome = Kestrun(c.arguments);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_NE(outcome.out.find(c.out), std::string::npos) << outcome.out;
        EXPECT_NE(outcome.err.find(c.err), std::string::npos) << outcome.err;
        if (c.status != 0) {
            EXPECT_NE(outcome.err.find("\n"), std::string::npos) << "the message ends its line";
        }
    }
    EXPECT_EQ(Kestrun({"--list"}).out, "Greet\nSecond\n") << "the template is not listed";
    EXPECT_TRUE(VisibleKestrunWindows().empty()) << "no start above left a window or an icon";

    std::ofstream(folder / "Kestrun.xml", std::ios::binary) << "<programs>";
    const Outcome broken = Kestrun({"--list"});
    EXPECT_EQ(broken.status, 2);
    EXPECT_NE(broken.err.find("Error: "), std::string::npos) << broken.err;
    EXPECT_TRUE(broken.out.empty());
}

TEST_F(CommandLineEndToEnd, RunWithoutAKestrunStartsOneThatRunsTheProgram)
{
    Started kestrun{Start({"--run", "Greet"})};
    EXPECT_EQ(XSession::WaitForOutput(typed, 6), "hello\n");
    EXPECT_FALSE(WaitForTrayIcon().empty()) << "the run's Kestrun stays in the tray";
    // The main window shows the program that ran.
    EXPECT_EQ(Kestrun({}).status, 0);
    ASSERT_TRUE(WaitUntil(MainWindowMapped));
}

TEST_F(CommandLineEndToEnd, LaterStartsHandTheirRequestsToTheRunningKestrun)
{
    Started first{Start()};
    ASSERT_FALSE(WaitForTrayIcon().empty());
    // Changed on disk behind the running Kestrun's back: the list is its own.
    std::ofstream(folder / "Kestrun.xml", std::ios::binary) << "<programs/>";

    const Outcome list = Kestrun({"--list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, "Greet\nSecond\n");

    const Outcome unknown = Kestrun({"--run", "Nobody"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("Kestrun has no program named \"Nobody\"."), std::string::npos) << unknown.err;

    const Outcome run = Kestrun({"--run", "Greet"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(XSession::WaitForOutput(typed, 6), "hello\n");

    EXPECT_EQ(Kestrun({}).status, 0);
    EXPECT_TRUE(WaitUntil(MainWindowMapped)) << "a plain start brings the window forward";
    EXPECT_EQ(TrayIcons(), 1u);
    int status = 0;
    EXPECT_FALSE(Ended(first.pid, status));
}

TEST_F(CommandLineEndToEnd, AKestrunKilledOutrightDoesNotBlockTheNextStart)
{
    const pid_t killed = Start();
    ASSERT_FALSE(WaitForTrayIcon().empty());
    kill(killed, SIGKILL);
    waitpid(killed, nullptr, 0);
    ASSERT_FALSE(fs::is_empty(session.folder() / "runtime")) << "the socket and the lock stay behind";

    Started next{Start()};
    EXPECT_FALSE(WaitForTrayIcon().empty());
    const Outcome list = Kestrun({"--list"});
    EXPECT_EQ(list.status, 0) << list.err;
    EXPECT_EQ(list.out, "Greet\nSecond\n");
    int status = 0;
    EXPECT_FALSE(Ended(next.pid, status));

    // Nor does a runtime folder that is not there: the start goes on alone.
    const std::string runtime = std::getenv("XDG_RUNTIME_DIR");
    setenv("XDG_RUNTIME_DIR", (session.folder() / "missing").c_str(), 1);
    const Outcome alone = Kestrun({"--list"});
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(alone.out, "Greet\nSecond\n");
}

TEST_F(CommandLineEndToEnd, OfTwoStartsAtOnceOneHoldsTheDocumentAndTheOtherEnds)
{
    Started one{Start()}, two{Start()};
    int status = -1;
    bool oneEnded = false, twoEnded = false;
    ASSERT_TRUE(WaitUntil([&] { return (oneEnded = Ended(one.pid, status)) || (twoEnded = Ended(two.pid, status)); }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    (oneEnded ? one : two).pid = -1;
    EXPECT_TRUE(WaitUntil([] { return TrayIcons() == 1; }));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(TrayIcons(), 1u);
    int otherStatus = 0;
    EXPECT_FALSE(Ended(oneEnded ? two.pid : one.pid, otherStatus));
}

}  // namespace
}  // namespace kestrun::test
