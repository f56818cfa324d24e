// The command line and one Kestrun per user and document, built and installed.

#include "platform/x11/EwmhWindowActivator.h"
#include "tests/support/TestDocuments.h"
#include "tests/support/X11Queries.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Kestrun's windows but its main window: its icons in the tray.
std::size_t TrayIcons() { return KestrunWindows().size() - WindowsNamed(kMainCaption).size(); }

// A run's status and what it printed: "0 out|err".
std::string Result(const Outcome& outcome) { return std::to_string(outcome.status) + " " + outcome.out + "|" + outcome.err; }

// One X session with a tray and one installed kestrun for the suite; the Kestrun a case leaves
// running is the next case's.
class CommandLineEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session_ = new XSession({.tray = true});
        const fs::path typed = session_->folder() / "typed.txt";
        document_ = TemplateDocument(
            Program("Greet", {{"Open File", session_->RecorderScript(typed)}, {"Keystrokes", "hello~"}}) +
            Program("Second"));
        if (session_->ok())
            executable_ = session_->InstallKestrun(document_);
    }
    static void TearDownTestSuite()
    {
        StopProcess(running_), running_ = -1;
        delete session_, session_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(session.ok()) << session.failure; }

    Outcome kestrun(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), executable.string());
        return RunProgram(arguments);
    }

    /// The Kestrun an earlier case left running, or a new one in the tray when none is.
    pid_t Running()
    {
        int status = 0;
        if (running_ <= 0 || Ended(running_, status)) {
            running_ = StartProcess({executable});
            EXPECT_FALSE(WaitForTrayIcon().empty());
        }
        return running_;
    }

    static inline XSession* session_ = nullptr;
    static inline fs::path executable_;
    static inline std::string document_;
    static inline pid_t running_ = -1;
    XSession& session = *session_;
    const fs::path& executable = executable_;
    const std::string& document = document_;
    const fs::path typed = session.folder() / "typed.txt";
    const std::string listed = "0 Greet\nSecond\n|";
};

// Installed: the first start makes the user's document from the example, a later one never replaces it.
TEST_F(CommandLineEndToEnd, InstalledTheFirstStartMakesTheUsersDocumentALaterOneNeverReplacesIt)
{
    const fs::path root = session.folder() / "root", user = session.folder() / "data" / "Kestrun" / "Kestrun.xml";
    const Outcome installed =
        RunProgram({"env", "DESTDIR=" + root.string(), KESTRUN_CMAKE, "--install", KESTRUN_BUILD_DIR, "--prefix", "/usr"});
    ASSERT_EQ(installed.status, 0) << installed.err;
    EXPECT_EQ(RunProgram({root / "usr" / "bin" / "kestrun", "--list"}).status, 0);
    EXPECT_EQ(ReadFile(user), ReadFile(KESTRUN_EXAMPLE_DOCUMENT));
    session.folder().Write("data/Kestrun/Kestrun.xml", "<programs>");
    const std::string broken = Result(RunProgram({root / "usr" / "bin" / "kestrun", "--list"}));
    EXPECT_TRUE(broken.starts_with("2 |") && broken.find("Error: ") != std::string::npos) << broken;
    EXPECT_EQ(ReadFile(user), "<programs>");
}

// Each option and each failure: its status and message, and no window.
TEST_F(CommandLineEndToEnd, EachOptionAndEachFailureHasItsStatusAndMessageAndNoWindow)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--version"}, "0 Kestrun 0.1.0\n|"},
        {{"--list"}, listed},  // the template is not listed
        {{"--bogus"}, "2 |Unknown option 'bogus'.\nTry 'kestrun --help' for more information.\n"},
        {{"--run"}, "2 |Missing value after '--run'.\nTry 'kestrun --help' for more information.\n"},
        {{"--run", "Greet", "--list"},
         "2 |Use one of --run, --list, --stop, --help and --version at a time.\nTry 'kestrun --help' for more information.\n"},
        {{"--run", "Greet", "--run", "Second"}, "2 |--run takes one program.\nTry 'kestrun --help' for more information.\n"},
        {{"stray"}, "2 |Unexpected argument 'stray'.\nTry 'kestrun --help' for more information.\n"},
        {{"--run", "greet"}, "2 |Kestrun has no program named \"greet\".\n"},
    };
    for (const auto& [arguments, result] : cases)
        EXPECT_EQ(Result(kestrun(arguments)), result);
    for (const char* help : {"--help", "-h"}) {
        const std::string result = Result(kestrun({help}));
        EXPECT_TRUE(result.starts_with("0 ") && result.find("--run <NAME>") < result.find('|')) << result;
    }
    EXPECT_TRUE(KestrunWindows().empty()) << "a start above left a window or an icon";
}

// --run without a Kestrun starts one that runs the program and stays in the tray.
TEST_F(CommandLineEndToEnd, RunWithoutAKestrunStartsOneThatRunsTheProgramAndStaysInTheTray)
{
    StopProcess(running_), running_ = -1;
    running_ = StartProcess({executable, "--run", "Greet"});
    EXPECT_EQ(WaitForOutput(typed, 6), "hello\n");
    EXPECT_FALSE(WaitForTrayIcon().empty());
    EXPECT_EQ(kestrun({}).status, 0);
    EXPECT_TRUE(WaitUntil(MainWindowMapped)) << "a plain start did not bring the window forward";
}

// Later starts hand their requests to the running Kestrun, which answers from the document as it is now.
TEST_F(CommandLineEndToEnd, LaterStartsHandTheirRequestsToTheRunningKestrun)
{
    const pid_t first = Running();
    session.folder().Write("app/Kestrun.xml", TemplateDocument(
        Program("Greet", {{"Open File", session.RecorderScript(typed)}, {"Keystrokes", "hello~"}}) +
        Program("Second") + Program("By hand")));
    EXPECT_EQ(Result(kestrun({"--list"})), "0 Greet\nSecond\nBy hand\n|");
    EXPECT_EQ(Result(kestrun({"--run", "Nobody"})), "2 |Kestrun has no program named \"Nobody\".\n");
    fs::remove(typed);
    EXPECT_EQ(Result(kestrun({"--run", "Greet"})), "0 |");
    EXPECT_EQ(WaitForOutput(typed, 6), "hello\n");
    EXPECT_EQ(TrayIcons(), 1u);
    int status = 0;
    EXPECT_FALSE(Ended(first, status));
    session.folder().Write("app/Kestrun.xml", document);
}

// A Kestrun killed outright does not block the next start, nor does a missing runtime folder.
TEST_F(CommandLineEndToEnd, AKilledKestrunDoesNotBlockTheNextStartNorDoesAMissingRuntimeFolder)
{
    const pid_t first = Running();
    kill(first, SIGKILL);
    waitpid(first, nullptr, 0);
    running_ = -1;
    ASSERT_FALSE(fs::is_empty(session.folder() / "runtime")) << "the socket and the lock stay behind";
    Started next{StartProcess({executable})};
    EXPECT_FALSE(WaitForTrayIcon().empty());
    EXPECT_EQ(Result(kestrun({"--list"})), listed);
    int status = 0;
    EXPECT_FALSE(Ended(next.pid, status));
    const std::string missing = "XDG_RUNTIME_DIR=" + (session.folder() / "missing").string();
    EXPECT_EQ(Result(RunProgram({"env", missing, executable, "--list"})),
              listed + "Kestrun does not use the runtime folder " + (session.folder() / "missing").string() +
                  ": No such file or directory. It uses /tmp/kestrun-" + std::to_string(::geteuid()) + " instead.\n");
}

// Of two starts at once, one holds the document and the other ends.
TEST_F(CommandLineEndToEnd, OfTwoStartsAtOnceOneHoldsTheDocumentAndTheOtherEnds)
{
    StopProcess(running_), running_ = -1;
    Started one{StartProcess({executable})}, two{StartProcess({executable})};
    bool oneEnded = false;
    int status = 0;
    ASSERT_TRUE(WaitUntil([&] { return (oneEnded = Ended(one.pid, status)) || Ended(two.pid, status); }));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    (oneEnded ? one : two).pid = -1;
    EXPECT_TRUE(WaitUntil([] { return TrayIcons() == 1; }));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(TrayIcons(), 1u);
    EXPECT_FALSE(Ended((oneEnded ? two : one).pid, status));
    std::swap(running_, (oneEnded ? two : one).pid);  // the next case's
}

// A flood of idle connections, also one that uses up every descriptor: once it goes, later starts are served.
TEST_F(CommandLineEndToEnd, AfterAFloodOfIdleConnectionsLaterStartsAreServed)
{
    const pid_t running = Running();
    int status = 0;
    fs::path socket;
    for (const auto& entry : fs::directory_iterator(session.folder() / "runtime"))
        if (entry.path().extension() == ".socket")
            socket = entry.path();
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    socket.native().copy(where.sun_path, sizeof where.sun_path - 1);
    rlimit descriptors{};
    getrlimit(RLIMIT_NOFILE, &descriptors);
    descriptors.rlim_cur = descriptors.rlim_max;
    setrlimit(RLIMIT_NOFILE, &descriptors);
    const std::size_t used = std::distance(fs::directory_iterator("/proc/" + std::to_string(running) + "/fd"), {});
    for (const auto& [limit, flood] : {std::pair{std::size_t(1024), 1100}, {used + 8, 300}}) {
        SCOPED_TRACE(limit);
        const std::string nofile = "--nofile=" + std::to_string(limit) + ":" + std::to_string(limit);
        ASSERT_EQ(RunProgram({"prlimit", "--pid", std::to_string(running), nofile}).status, 0);
        std::vector<int> idle;
        for (int k = 0; k < flood; ++k) {
            idle.push_back(::socket(AF_UNIX, SOCK_STREAM, 0));
            ::connect(idle.back(), reinterpret_cast<sockaddr*>(&where), sizeof where);
        }
        std::this_thread::sleep_for(500ms);
        for (const int fd : idle)
            close(fd);
        EXPECT_EQ(Result(kestrun({"--list"})), listed);
    }
    EXPECT_FALSE(Ended(running, status));
}

std::uintmax_t SizeOf(const fs::path& file)
{
    std::error_code ignored;
    const std::uintmax_t size = fs::file_size(file, ignored);
    return size == std::uintmax_t(-1) ? 0 : size;
}

// kestrun --stop ends a run wherever it is, within a moment, and the run types nothing more.
TEST(RunEndToEnd, StopEndsARunInAWaitOrInTypingAndSaysWhetherThereWasOne)
{
    XSession session({.tray = true});
    ASSERT_TRUE(session.ok()) << session.failure;
    const fs::path waited = session.folder() / "waited.txt", typed = session.folder() / "typed.txt";
    const std::string longText(40000, 'x');
    const fs::path executable = session.InstallKestrun(TemplateDocument(
        Program("Waits", {{"Open File", session.RecorderScript(waited)}, {"Keystrokes", "before~"}, {"Wait", "30"},
                          {"Keystrokes", "after~"}}) +
        Program("Types", {{"Open File", session.RecorderScript(typed)}, {"Keystrokes", longText}})));
    const auto kestrun = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), executable.string());
        return RunProgram(arguments);
    };

    Step("--stop without a Kestrun, and with one that runs nothing");
    EXPECT_EQ(Result(kestrun({"--stop"})), "2 |No Kestrun is running.\n");
    Started running{StartProcess({executable})};
    ASSERT_FALSE(WaitForTrayIcon().empty());
    const auto idleAsked = std::chrono::steady_clock::now();
    EXPECT_EQ(Result(kestrun({"--stop"})), "1 |Kestrun is running no program.\n");
    EXPECT_EQ(kestrun({"--stop"}).status, 1);
    const auto twoStarts = std::chrono::steady_clock::now() - idleAsked;  // what a stop and its check cost alone

    // Stops the run and waits for its end; how long that took.
    const auto stop = [&] {
        const auto asked = std::chrono::steady_clock::now();
        EXPECT_EQ(Result(kestrun({"--stop"})), "0 |");
        EXPECT_TRUE(WaitUntil([&] { return kestrun({"--stop"}).status == 1; }, 10s)) << "the run did not end";
        return std::chrono::steady_clock::now() - asked;
    };

    Step("during a Wait 30 of a run, which the socket still answers");
    EXPECT_EQ(Result(kestrun({"--run", "Waits"})), "0 |");
    EXPECT_EQ(WaitForOutput(waited, 7), "before\n");
    EXPECT_EQ(Result(kestrun({"--list"})), "0 Waits\nTypes\n|") << "the socket does not answer during the run";
    const auto inWait = stop();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(ReadFile(waited), "before\n");

    Step("during typing: the keys stop, none is left down, nothing more arrives");
    EXPECT_EQ(Result(kestrun({"--run", "Types"})), "0 |");
    ASSERT_TRUE(WaitUntil([&] { return SizeOf(typed) > 200; })) << "typing did not start";
    const auto inTyping = stop();
    std::this_thread::sleep_for(300ms);
    const std::uintmax_t after = SizeOf(typed);
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(SizeOf(typed), after) << "keys arrived after the run ended";
    EXPECT_LT(after, longText.size());
    EXPECT_EQ(KeysDown(), "");

    // Each stop, asked and confirmed by later starts of their own, costs little more than those starts.
    const auto ms = [](auto duration) { return (long long)std::chrono::duration_cast<std::chrono::milliseconds>(duration).count(); };
    std::fprintf(stderr, "stop to the end of the run: in a wait %lld ms, in typing %lld ms; two starts alone %lld ms\n",
                 ms(inWait), ms(inTyping), ms(twoStarts));
    EXPECT_LT(inWait, 6 * twoStarts);
    EXPECT_LT(inTyping, 6 * twoStarts);

    Step("the next run types as ever");
    fs::remove(waited);
    EXPECT_EQ(Result(kestrun({"--run", "Waits"})), "0 |");
    EXPECT_EQ(WaitForOutput(waited, 7), "before\n");
    EXPECT_EQ(Result(kestrun({"--stop"})), "0 |");
}

// Another window activated mid-text: typing stops before its next key, and not one key reaches that window.
TEST(RunEndToEnd, TypingStopsWhenAnotherWindowBecomesActive)
{
    XSession session({.tray = true});
    ASSERT_TRUE(session.ok()) << session.failure;
    const fs::path meant = session.folder() / "meant.txt", other = session.folder() / "other.txt";
    const std::string longText(40000, 'x');
    const fs::path executable = session.InstallKestrun(
        TemplateDocument(Program("Types", {{"Open File", session.RecorderScript(meant)}, {"Keystrokes", longText}}) +
                         Program("Waits", {{"Keystrokes", "before~"}, {"Wait", "2"}, {"Keystrokes", "after~"}})));
    const pid_t bystander = session.StartRecorder(other);
    ASSERT_GT(bystander, 0);
    Started running{StartProcess({executable})};
    ASSERT_FALSE(WaitForTrayIcon().empty());

    ASSERT_EQ(RunProgram({executable, "--run", "Types"}).status, 0);
    ASSERT_TRUE(WaitUntil([&] { return SizeOf(meant) > 200; })) << "typing did not start";
    EwmhWindowActivator().Activate(bystander);  // as a user's click would, through the window manager
    EXPECT_TRUE(WaitUntil([] { return !WindowsNamed("^Kestrun$").empty(); }, 10s)) << "no message box";
    const std::uintmax_t typed = SizeOf(meant);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(SizeOf(meant), typed) << "typing went on";
    EXPECT_EQ(ReadFile(other), "") << "keys reached the window activated mid-text";
    EXPECT_LT(SizeOf(meant), longText.size());
    EXPECT_EQ(KeysDown(), "");
    for (const std::string& box : WindowsNamed("^Kestrun$"))
        Xdo({"windowactivate", "--sync", box, "key", "--clearmodifiers", "Return"});  // the message box goes
    ASSERT_TRUE(WaitUntil([] { return WindowsNamed("^Kestrun$").empty(); }, 10s)) << "the message box stays";

    Step("after a Wait during which another window took the focus, the next keys are not typed");
    const fs::path third = session.folder() / "third.txt";
    const pid_t thirdWindow = session.StartRecorder(third);
    ASSERT_GT(thirdWindow, 0);
    EwmhWindowActivator().Activate(bystander);
    ASSERT_EQ(RunProgram({executable, "--run", "Waits"}).status, 0);
    EXPECT_EQ(WaitForOutput(other, 7), "before\n");
    EwmhWindowActivator().Activate(thirdWindow);
    EXPECT_TRUE(WaitUntil([] { return !WindowsNamed("^Kestrun$").empty(); }, 10s)) << "no message box";
    EXPECT_EQ(Result(RunProgram({executable, "--stop"})), "1 |Kestrun is running no program.\n")
        << "the run still went while its message showed";
    EXPECT_EQ(ReadFile(third), "");
    EXPECT_EQ(ReadFile(other), "before\n");
}

}  // namespace
}  // namespace kestrun::test
