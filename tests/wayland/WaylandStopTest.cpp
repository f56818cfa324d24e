// On a private headless sway: typing that another window's focus ends, and `kestrun --stop` in each
// place a run can be.

#include "keys/NotationTyping.h"
#include "platform/PlatformError.h"
#include "platform/wayland/CompositorIpc.h"
#include "platform/wayland/VirtualKeyboardSender.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeymap.h"
#include "platform/wayland/WaylandWindowActivator.h"
#include "tests/support/TestDocuments.h"
#include "tests/wayland/WaylandSession.h"

#include <gtest/gtest.h>

#include <signal.h>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string SeatKeymap() { return WaylandKeymap(WaylandConnection::Open()->SeatKeymap()).Canonical(); }

std::uintmax_t SizeOf(const fs::path& file)
{
    std::error_code ignored;
    const std::uintmax_t size = fs::file_size(file, ignored);
    return size == std::uintmax_t(-1) ? 0 : size;
}

class WaylandStopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_SWAY(session);
        user = std::make_unique<UserKeyboard>("de");
    }

    // Focuses the container as a user's click would, through swaymsg and the given socket.
    void Focus(std::uint64_t container, const std::string& socket = std::getenv("SWAYSOCK"))
    {
        ASSERT_NE(session.Run({"swaymsg", "-s", socket, "[con_id=" + std::to_string(container) + "] focus"}).find("true"),
                  std::string::npos);
    }

    WaylandSession session;
    std::unique_ptr<UserKeyboard> user;
};

// The focus moves just before the key numbered `changeAt`: typing ends before the next batch of keys,
// with the title of the window it typed into; of that batch, the keys after the move reach the other
// window (none when the move came before the batch). Through sway's window events, and through the
// foreign toplevel list as on wlroots compositors without sway's IPC.
TEST_F(WaylandStopTest, TypingEndsWhenAnotherWindowTakesTheFocus)
{
    const std::string socket = std::getenv("SWAYSOCK");
    const fs::path other = session.folder() / "other.txt";
    ASSERT_GT(session.StartRecorder(other, "other"), 0);
    const std::uint64_t otherContainer = FocusedContainer();
    const std::string userKeymap = WaylandKeymap(user->keymap).Canonical();
    const struct {
        const char* route;
        bool swayIpc;
        int changeAt;
        std::size_t meant, strayed;
    } cases[] = {
        {"sway IPC, before a batch", true, 20, 21, 0},
        {"sway IPC, within a batch", true, 21, 21, 4},
        {"foreign toplevels, before a batch", false, 20, 21, 0},
        {"foreign toplevels, within a batch", false, 21, 21, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.route);
        const std::string name = c.swayIpc ? "meant-ipc" : "meant-toplevels";
        const fs::path meant = session.folder() / (name + std::to_string(c.changeAt) + ".txt");
        ASSERT_GT(session.StartRecorder(meant, name), 0);
        const std::uintmax_t before = SizeOf(other);
        // Without sway's word on the layout the seat's keymap counts as the user's.
        const std::string keymap = c.swayIpc ? userKeymap : SeatKeymap();
        if (!c.swayIpc)
            unsetenv("SWAYSOCK");
        // Called before each key: the move is done before the key it comes before.
        int keys = 0;
        VirtualKeyboardSender sender([&] {
            if (++keys == c.changeAt + 1)
                Focus(otherContainer, socket);
            return false;
        });
        try {
            SendKeys(sender, "ж" + std::string(3000, 'a'), true);
            ADD_FAILURE() << "typing went on to the end";
        } catch (const FocusLostError& lost) {
            EXPECT_EQ(lost.window, name);
        }
        setenv("SWAYSOCK", socket.c_str(), 1);
        EXPECT_LT(keys, c.changeAt + 10) << "typing went on after the focus moved";
        EXPECT_EQ(WaitForOutput(meant, c.meant).size(), c.meant);
        EXPECT_EQ(WaitForOutput(other, before + c.strayed).size() - before, c.strayed);
        EXPECT_TRUE(SeatKeymap() == keymap) << "the keymap was not given back";
    }
    // No key and no modifier was left down.
    const std::uintmax_t before = SizeOf(other);
    VirtualKeyboardSender sender;
    SendKeys(sender, "ok~", true);
    EXPECT_EQ(WaitForOutput(other, before + 3).substr(before), "ok\n");
}

// Windows of one foot server: one process, as an application's window and its dialog are. Each copies
// what it is typed into its file; `name` is its title.
class FootServer {
public:
    explicit FootServer(WaylandSession& session) : session_(session), socket_(session.folder() / "foot-server.sock")
    {
        pid = session.Start({"foot", "--server=" + socket_.string(), "--log-level=error"});
        if (pid <= 0 || !WaitUntil([&] { return fs::exists(socket_); }, 10s))
            pid = -1;
    }
    // Focused once it is there: its container.
    std::uint64_t Window(const fs::path& output, const std::string& name)
    {
        session_.Start({"footclient", "--server-socket=" + socket_.string(), "--app-id=" + name, "--title=" + name,
                        "/bin/sh", "-c", "stty -icanon -isig -iexten -ixon -echo min 1 && exec cat > \"$0\"",
                        output.string()});
        // Every window of the server has its process: the new one is told by its title.
        const auto focused = [&] { return FocusedInTree(SwayRequest(SwayMessage::GetTree, "").value_or("")); };
        const bool shown = WaitUntil([&] { return focused() && focused()->title == name && fs::exists(output); }, 10s);
        return shown && focused()->pid == pid ? focused()->id : 0;
    }
    pid_t pid = -1;

private:
    WaylandSession& session_;
    fs::path socket_;
};

// A window of the same process that takes the focus mid-text (as a dialog the keys opened does) takes
// the rest of the keys, every one once, where sway names the process, and counts as the window typed
// into after a Wait; the toplevel list names none, so there typing stops as for any other window.
TEST_F(WaylandStopTest, AWindowOfTheSameProcessTakesTheRestOfTheKeys)
{
    const std::string socket = std::getenv("SWAYSOCK");
    ASSERT_GT(session.StartRecorder(session.folder() / "other.txt", "other"), 0);
    const std::uint64_t otherContainer = FocusedContainer();
    FootServer foot(session);
    ASSERT_GT(foot.pid, 0) << "the foot server did not start";
    const struct {
        const char* route;
        bool swayIpc;
    } cases[] = {{"sway IPC", true}, {"foreign toplevels", false}};
    const std::string text(600, 'a');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.route);
        const std::string prefix = c.swayIpc ? "ipc" : "toplevels";
        const fs::path main = session.folder() / (prefix + "-main.txt"), dialog = session.folder() / (prefix + "-dialog.txt");
        const std::uint64_t mainContainer = foot.Window(main, prefix + "-main");
        const std::uint64_t dialogContainer = foot.Window(dialog, prefix + "-dialog");
        ASSERT_TRUE(mainContainer != 0 && dialogContainer != 0) << "foot's windows did not come";
        if (!c.swayIpc)
            unsetenv("SWAYSOCK");
        {
            // The check after a Wait: the window typed into, then one of its process, then another's.
            WaylandWindowActivator activator;
            const std::uint64_t typedInto = activator.ActiveWindowId();
            Focus(mainContainer, socket);
            const std::uint64_t sameProcess = activator.ActiveWindowId();
            Focus(otherContainer, socket);
            const std::uint64_t another = activator.ActiveWindowId();
            EXPECT_EQ(activator.SameApplication(typedInto, sameProcess), c.swayIpc);
            EXPECT_FALSE(activator.SameApplication(typedInto, another));
            EXPECT_FALSE(activator.SameApplication(another, sameProcess));
        }
        Focus(mainContainer, socket);
        int keys = 0;
        VirtualKeyboardSender sender([&] {
            if (++keys == 49)  // before a batch
                Focus(dialogContainer, socket);
            return false;
        });
        bool stopped = false;
        try {
            SendKeys(sender, text, true);
        } catch (const FocusLostError& lost) {
            stopped = true;
            EXPECT_EQ(lost.window, prefix + "-main");
        }
        setenv("SWAYSOCK", socket.c_str(), 1);
        EXPECT_EQ(stopped, !c.swayIpc);
        if (c.swayIpc) {
            EXPECT_EQ(WaitForOutput(main, 48).size() + WaitForOutput(dialog, text.size() - 48).size(), text.size());
        } else {
            EXPECT_EQ(WaitForOutput(dialog, 0), "") << "keys reached the window focused";
        }
        EXPECT_EQ(ReadFile(main).size(), 48u);
    }
}

// The check after a Wait asks for the focused window and its title: an id that tells the windows
// apart and stays the same, through sway's tree and through the foreign toplevel list.
TEST_F(WaylandStopTest, TheActiveWindowHasAnIdThatStaysAndATitle)
{
    const std::string socket = std::getenv("SWAYSOCK");
    const pid_t first = session.StartRecorder(session.folder() / "first.txt", "first");
    const std::uint64_t firstContainer = FocusedContainer();
    const pid_t second = session.StartRecorder(session.folder() / "second.txt", "second");
    ASSERT_TRUE(first > 0 && second > 0);
    for (const bool swayIpc : {true, false}) {
        SCOPED_TRACE(swayIpc ? "sway IPC" : "foreign toplevels");
        if (!swayIpc)
            unsetenv("SWAYSOCK");
        WaylandWindowActivator activator;
        const std::uint64_t secondId = activator.ActiveWindowId();
        EXPECT_NE(secondId, 0u);
        EXPECT_EQ(activator.WindowTitle(secondId), "second");
        Focus(firstContainer, socket);
        const std::uint64_t firstId = activator.ActiveWindowId();
        EXPECT_NE(firstId, secondId);
        EXPECT_EQ(activator.ActiveWindowId(), firstId);
        EXPECT_EQ(activator.WindowTitle(firstId), "first");
        EXPECT_EQ(activator.WindowTitle(secondId), "second");
        EXPECT_EQ(activator.WindowTitle(firstId + secondId + 1000), "");
        activator.Activate(second);
        EXPECT_EQ(activator.ActiveWindowId(), secondId);
        // A list made anew (after a lost connection, say) never names a window by an earlier list's id:
        // the check after a Wait then stops rather than take one window for another.
        if (!swayIpc)
            EXPECT_NE(WaylandWindowActivator().ActiveWindowId(), secondId);
        setenv("SWAYSOCK", socket.c_str(), 1);
    }
}

// A document of programs in a folder of the session's user, with kestrun beside it.
fs::path InstallKestrun(WaylandSession& session, const std::string& programs)
{
    fs::create_directories(session.folder() / "kestrun");
    session.folder().Write("kestrun/Kestrun.xml", TemplateDocument(programs));
    fs::copy_file(KESTRUN_EXECUTABLE, session.folder() / "kestrun/kestrun");
    session.GiveToUser(session.folder().path());
    return session.folder() / "kestrun/kestrun";
}

// A recorder for Open File: foot copying what it is typed into `output`, after `delay` seconds.
std::string RecorderScript(WaylandSession& session, const fs::path& output, int delay = 0)
{
    const fs::path script = session.folder().Write("kestrun/" + output.stem().string() + ".sh",
        "#!/bin/sh\nsleep " + std::to_string(delay) +
            "\nexec foot --log-level=error /bin/sh -c 'stty -icanon -isig -iexten -ixon -echo min 1 && exec cat > \"$0\"' " +
            output.string() + "\n");
    fs::permissions(script, fs::perms::owner_all);
    return script.string();
}

// A run on sway that another window's focus interrupts mid-text ends with a message and sends that
// window nothing; `kestrun --stop` ends a run in a Wait, in typing and in the wait for a window, and
// nothing more is typed.
TEST_F(WaylandStopTest, ARunEndsOnAFocusChangeAndOnKestrunStop)
{
    const fs::path meant = session.folder() / "meant.txt", waited = session.folder() / "waited.txt",
                   late = session.folder() / "late.txt", other = session.folder() / "other.txt";
    fs::create_directories(session.folder() / "kestrun");
    const std::string longText(40000, 'x');
    const fs::path executable = InstallKestrun(session,
        Program("Types", {{"Open File", RecorderScript(session, meant)}, {"Keystrokes", longText}}) +
        Program("Waits", {{"Open File", RecorderScript(session, waited)}, {"Keystrokes", "before~"}, {"Wait", "30"},
                          {"Keystrokes", "after~"}}) +
        Program("Late", {{"Open File", RecorderScript(session, late, 4)}, {"Keystrokes", "never~"}}) +
        Program("Pauses", {{"Keystrokes", "before~"}, {"Wait", "3"}, {"Keystrokes", "after~"}}));
    const auto kestrun = [&](const std::string& option, const std::string& name = "") {
        std::vector<std::string> argv = {executable.string(), option};
        if (!name.empty())
            argv.push_back(name);
        // A request handed over needs no display; Qt's Wayland plugin keeps what it allocated to the end.
        return session.Execute(argv, {"QT_QPA_PLATFORM=offscreen"});
    };
    // --stop's word that Kestrun answers and runs nothing (not the same status of one that does not answer yet).
    const auto idle = [&] {
        const Outcome outcome = kestrun("--stop");
        return outcome.status == 1 && outcome.err == "Kestrun is running no program.\n";
    };
    ASSERT_GT(session.StartRecorder(other, "other"), 0);
    const std::uint64_t otherContainer = FocusedContainer();
    const pid_t running = session.Start({executable.string()}, {"QT_QPA_PLATFORM=wayland"});
    ASSERT_TRUE(WaitUntil(idle, 30s)) << "Kestrun did not start";
    // Enter closes the message box, which has the focus; the run had ended when it showed.
    const auto closeMessage = [&] {
        VirtualKeyboardSender sender;
        SendKeys(sender, "~", true);
        EXPECT_TRUE(WaitUntil([&] { return !HasWindow(running); }, 10s)) << "the message box stays";
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(idle()) << "the run did not end";
    };

    Step("another window takes the focus mid-text");
    ASSERT_EQ(kestrun("--run", "Types").status, 0);
    ASSERT_TRUE(WaitUntil([&] { return SizeOf(meant) > 200; })) << "typing did not start";
    // Stopped, the recorder holds typing back until it reads again: the move comes between two batches.
    const long recorder = FocusedProcess();
    kill(static_cast<pid_t>(recorder), SIGSTOP);
    std::this_thread::sleep_for(1s);
    Focus(otherContainer);
    kill(static_cast<pid_t>(recorder), SIGCONT);
    EXPECT_TRUE(WaitUntil([&] { return HasWindow(running); }, 10s)) << "no message box";
    EXPECT_TRUE(idle()) << "the run still went while its message showed";
    const std::uintmax_t typed = SizeOf(meant);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(SizeOf(meant), typed) << "typing went on";
    EXPECT_LT(typed, longText.size());
    EXPECT_EQ(ReadFile(other), "") << "keys reached the window focused mid-text";
    closeMessage();
    EXPECT_EQ(ReadFile(other), "");

    Step("another window takes the focus during a Wait: the keys after it are not typed");
    const fs::path third = session.folder() / "third.txt";
    ASSERT_GT(session.StartRecorder(third, "third"), 0);
    const std::uint64_t thirdContainer = FocusedContainer();
    Focus(otherContainer);
    ASSERT_EQ(kestrun("--run", "Pauses").status, 0);
    EXPECT_EQ(WaitForOutput(other, 7), "before\n");
    Focus(thirdContainer);
    EXPECT_TRUE(WaitUntil([&] { return HasWindow(running); }, 10s)) << "no message box";
    closeMessage();
    EXPECT_EQ(ReadFile(third), "");
    EXPECT_EQ(ReadFile(other), "before\n");

    // Stops the run and waits for its end; how long that took.
    const auto stop = [&] {
        const auto asked = std::chrono::steady_clock::now();
        EXPECT_EQ(kestrun("--stop").status, 0);
        EXPECT_TRUE(WaitUntil(idle, 10s)) << "the run did not end";
        return std::chrono::steady_clock::now() - asked;
    };
    const auto idleAsked = std::chrono::steady_clock::now();
    EXPECT_TRUE(idle());
    EXPECT_TRUE(idle());
    const auto twoStarts = std::chrono::steady_clock::now() - idleAsked;

    Step("--stop during a Wait 30");
    ASSERT_EQ(kestrun("--run", "Waits").status, 0);
    EXPECT_EQ(WaitForOutput(waited, 7), "before\n");
    const auto inWait = stop();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(ReadFile(waited), "before\n");

    Step("--stop during typing: nothing more arrives, no key stays down");
    fs::remove(meant);
    ASSERT_EQ(kestrun("--run", "Types").status, 0);
    ASSERT_TRUE(WaitUntil([&] { return SizeOf(meant) > 200; })) << "typing did not start";
    const auto inTyping = stop();
    std::this_thread::sleep_for(300ms);
    const std::uintmax_t stopped = SizeOf(meant);
    std::this_thread::sleep_for(700ms);
    EXPECT_EQ(SizeOf(meant), stopped) << "keys arrived after the run ended";
    EXPECT_LT(stopped, longText.size());
    {
        VirtualKeyboardSender sender;
        SendKeys(sender, "ok~", true);
    }
    EXPECT_EQ(WaitForOutput(meant, stopped + 3).substr(stopped), "ok\n") << "a key or a modifier stayed down";

    Step("--stop during the wait for a program's first window");
    ASSERT_EQ(kestrun("--run", "Late").status, 0);
    std::this_thread::sleep_for(1s);
    const auto inWindowWait = stop();
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(late); }, 20s)) << "the late program never showed its window";
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(ReadFile(late), "") << "keys were typed after the stop";

    const auto ms = [](auto duration) { return (long long)std::chrono::duration_cast<std::chrono::milliseconds>(duration).count(); };
    std::fprintf(stderr, "sway, stop to the end of the run: in a wait %lld ms, in typing %lld ms, in the window wait %lld ms; "
                 "two starts alone %lld ms\n", ms(inWait), ms(inTyping), ms(inWindowWait), ms(twoStarts));
    EXPECT_LT(inWait, 10 * twoStarts);
    EXPECT_LT(inTyping, 10 * twoStarts);
    EXPECT_LT(inWindowWait, 10 * twoStarts);
}

}  // namespace
}  // namespace kestrun::test
