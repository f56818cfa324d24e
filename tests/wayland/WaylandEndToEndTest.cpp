// Typing, activation and the tray on a private headless sway, typed into recording foot windows.

#include "keys/NotationTyping.h"
#include "platform/PlatformError.h"
#include "platform/wayland/VirtualKeyboardSender.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeymap.h"
#include "platform/wayland/WaylandWindowActivator.h"
#include "tests/support/TestDocuments.h"
#include "tests/support/TypingTexts.h"
#include "tests/wayland/WaylandSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include <signal.h>
#include <sys/wait.h>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Types with a sender of its own, as a fresh Kestrun would.
void TypeOnce(const std::string& text)
{
    VirtualKeyboardSender sender;
    SendKeys(sender, text, true);
}

std::string SeatKeymap() { return WaylandKeymap(WaylandConnection::Open()->SeatKeymap()).Canonical(); }

class WaylandEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SKIP_WITHOUT_SWAY(session);
        user = std::make_unique<UserKeyboard>("de");
    }

    WaylandSession session;
    std::unique_ptr<UserKeyboard> user;
};

TEST_F(WaylandEndToEndTest, TypesTheTextExactlyAndGivesTheUserHisKeymapBack)
{
    const std::string userKeymap = WaylandKeymap(user->keymap).Canonical();
    ASSERT_TRUE(SeatKeymap() == userKeymap);
    const fs::path output = session.folder() / "typed.txt";
    ASSERT_GT(session.StartRecorder(output), 0) << "foot did not start";

    // Every kind of character, then the same keyboard again after a text ending on a shifted key.
    VirtualKeyboardSender sender;
    SendKeys(sender, kEveryKindText + "Ö", true);
    SendKeys(sender, "ok~", true);
    const std::string typed = kEveryKindTyped + "Öok\n";
    EXPECT_EQ(WaitForOutput(output, typed.size()), typed);
    EXPECT_TRUE(SeatKeymap() == userKeymap) << "the keymap was not given back";

    // A malformed text types nothing, leaves the keymap alone and no key down to repeat.
    EXPECT_THROW(SendKeys(sender, "abc{NOSUCHKEY}", true), PlatformError);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(ReadFile(output), typed);
    EXPECT_TRUE(SeatKeymap() == userKeymap);
}

TEST_F(WaylandEndToEndTest, ActivatesTheProgramByItsProcessIdOrItsAppId)
{
    const fs::path first = session.folder() / "first.txt", second = session.folder() / "second.txt";
    const pid_t firstRecorder = session.StartRecorder(first, "first-recorder");
    const pid_t secondRecorder = session.StartRecorder(second, "second-recorder");
    ASSERT_TRUE(firstRecorder > 0 && secondRecorder > 0);

    WaylandWindowActivator activator;
    activator.Activate(firstRecorder);
    EXPECT_EQ(FocusedProcess(), firstRecorder);
    TypeOnce("to the first~");
    EXPECT_EQ(WaitForOutput(first, 13), "to the first\n");
    EXPECT_EQ(WaitForOutput(second, 0), "");

    // Without sway's IPC: the compositor's list of toplevels, by app id.
    const std::string swaySocket = std::getenv("SWAYSOCK");
    for (const pid_t recorder : {secondRecorder, firstRecorder}) {
        unsetenv("SWAYSOCK");
        activator.Activate(recorder);
        EXPECT_TRUE(activator.WaitForWindow(recorder, 1s));
        setenv("SWAYSOCK", swaySocket.c_str(), 1);
        EXPECT_EQ(FocusedProcess(), recorder);
    }

    const pid_t windowless = session.Start({"sleep", "10"});
    EXPECT_THROW(activator.Activate(windowless), PlatformError);
    EXPECT_FALSE(activator.WaitForWindow(windowless, 200ms));
}

TEST_F(WaylandEndToEndTest, AKilledTypistLeavesNoKeyDown)
{
    const fs::path output = session.folder() / "typed.txt";
    const pid_t recorder = session.StartRecorder(output);
    ASSERT_GT(recorder, 0);

    // A modifier and the extended keymap are in use whenever the kill comes.
    const pid_t typist = fork();
    if (typist == 0) {
        try {
            TypeOnce("{X 10000}{ж 10000}{X 10000}{ж 10000}{X 10000}{ж 10000}");
        } catch (...) {
        }
        _exit(0);
    }
    ASSERT_TRUE(WaitUntil([&] { return ReadFile(output).size() > 100; }, 10s));
    kill(typist, SIGKILL);
    waitpid(typist, nullptr, 0);
    ASSERT_EQ(waitpid(recorder, nullptr, WNOHANG), 0) << "the recorder could not keep up";

    // A key left down would repeat in foot before and after, a modifier change what comes.
    std::this_thread::sleep_for(1s);
    const auto size = fs::file_size(output);
    TypeOnce("ok~");
    EXPECT_EQ(WaitForOutput(output, size + 3).substr(size), "ok\n") << "a key or a modifier stayed down";
}

// A compositor disconnects a client whose socket fills up; a window that stops reading for a while
// (here, stopped) gets its keys as fast as it reads them again.
TEST_F(WaylandEndToEndTest, TypingWaitsForAWindowThatStopsReading)
{
    const fs::path output = session.folder() / "typed.txt";
    const pid_t recorder = session.StartRecorder(output);
    ASSERT_GT(recorder, 0);
    std::string text;
    for (int line = 0; line < 160; ++line)
        text += "the quick brown fox jumps over the lazy dog " + std::to_string(line) + "~";
    kill(recorder, SIGSTOP);
    std::thread resume([&] {
        std::this_thread::sleep_for(2s);
        kill(recorder, SIGCONT);
    });
    EXPECT_NO_THROW(TypeOnce(text));
    resume.join();
    std::string typed = text;
    std::replace(typed.begin(), typed.end(), '~', '\n');
    EXPECT_EQ(WaitForOutput(output, typed.size()), typed);
    EXPECT_EQ(waitpid(recorder, nullptr, WNOHANG), 0) << "the compositor disconnected the recorder";
}

// The built kestrun for the session's user, with a program that starts a recorder and then runs `tasks`.
pid_t StartKestrun(WaylandSession& session, const std::vector<std::string>& arguments,
                   const std::vector<std::pair<std::string, std::string>>& tasks = {{"Keystrokes", "Grüße, Κέστρουν!~"}})
{
    fs::create_directories(session.folder() / "kestrun");
    const fs::path recorder = session.folder().Write("kestrun/recorder.sh",
        "#!/bin/sh\nexec foot --log-level=error /bin/sh -c 'stty -icanon -isig -iexten -ixon -echo min 1 && exec cat > \"$0\"' " +
            (session.folder() / "typed.txt").string() + "\n");
    fs::permissions(recorder, fs::perms::owner_all);
    std::vector<std::pair<std::string, std::string>> program = {{"Open File", recorder.string()}, {"Wait", "1"}};
    program.insert(program.end(), tasks.begin(), tasks.end());
    session.folder().Write("kestrun/Kestrun.xml", TemplateDocument(Program("Greet", program)));
    fs::copy_file(KESTRUN_EXECUTABLE, session.folder() / "kestrun/kestrun");
    session.GiveToUser(session.folder().path());
    std::vector<std::string> argv = {(session.folder() / "kestrun/kestrun").string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return session.Start(argv, {"QT_QPA_PLATFORM=wayland"});
}

// One 2,000-character line of words in the layout among which come 50 distinct characters outside it.
std::string LongLine()
{
    const char* words[] = {"Wort", "zwei", "drei", "quick", "brown", "fox", "jumps", "over"};
    std::string line;
    std::size_t characters = 0;
    for (std::size_t i = 0; characters < 1990; ++i) {
        const std::string word = words[i % 8];
        // Greek and Cyrillic small letters: two bytes in UTF-8 each.
        const char32_t foreign = i % 50 < 24 ? U'α' + i % 50 + (i % 50 >= 17) : U'а' + i % 50 - 24;
        line += word + char(0xC0 | foreign >> 6) + char(0x80 | (foreign & 0x3F)) + ' ';
        characters += word.size() + 2;
    }
    return line + std::string(2000 - characters, 'x');
}

// Short tasks (one with characters outside the layout) and then a long line; with a run launched right
// after another program's virtual keyboard typed, whose keymap the seat then has.
TEST_F(WaylandEndToEndTest, ALongLineAfterShortTasksArrivesWhoeverTypedBefore)
{
    const std::string line = LongLine();
    const std::vector<std::pair<std::string, std::string>> tasks = {
        {"Keystrokes", "first~"}, {"Keystrokes", "zweite: äöü ✓ Ω ж~"}, {"Keystrokes", "third~"},
        {"Wait", "1"},            {"Keystrokes", line + "~"},             {"Keystrokes", "^d"}};
    const std::string typed = "first\nzweite: äöü ✓ Ω ж\nthird\n" + line + "\n\x04";
    for (const bool afterWtype : {false, true}) {
        SCOPED_TRACE(afterWtype ? "after wtype" : "after the user's keyboard");
        if (afterWtype) {
            // wtype's keyboard lives on a while, as when its Enter started Kestrun.
            const fs::path scratch = session.folder() / "scratch.txt";
            ASSERT_GT(session.StartRecorder(scratch, "scratch"), 0);
            session.Start({"wtype", "-k", "Return", "-s", "4000"});
            ASSERT_EQ(WaitForOutput(scratch, 1), "\n");
        }
        fs::remove(session.folder() / "typed.txt");
        const pid_t kestrun = StartKestrun(session, {"--run", "Greet"}, tasks);
        EXPECT_EQ(WaitForOutput(session.folder() / "typed.txt", typed.size()), typed);
        EXPECT_TRUE(SeatKeymap() == WaylandKeymap(user->keymap).Canonical()) << "not the user's layout";
        StopProcess(kestrun);
        fs::remove_all(session.folder() / "kestrun");
    }
}

TEST_F(WaylandEndToEndTest, KestrunRunsAProgramAndSitsInSwaybarsTray)
{
    const pid_t kestrun = StartKestrun(session, {"--run", "Greet"});
    EXPECT_EQ(WaitForOutput(session.folder() / "typed.txt", 19), "Grüße, Κέστρουν!\n");

    // Items are named by their bus connection: the only one here is Kestrun's.
    const std::string items = session.Watcher("RegisteredStatusNotifierItems");
    const std::size_t start = items.find("string \":"), end = items.find("/StatusNotifierItem\"");
    ASSERT_TRUE(start != std::string::npos && end != std::string::npos) << items;
    EXPECT_FALSE(HasWindow(kestrun)) << "the window shows although there is a tray";

    // What swaybar asks for on a right click pops the menu up, on a left one shows the window.
    for (const char* method : {"ContextMenu", "Activate"})
        session.Run({"dbus-send", "--session", "--print-reply", "--dest=" + items.substr(start + 8, end - start - 8),
                     "/StatusNotifierItem", std::string("org.kde.StatusNotifierItem.") + method, "int32:10", "int32:10"});
    EXPECT_TRUE(WaitUntil([&] { return HasWindow(kestrun); }, 5s));
}

// XWayland hands X programs the virtual keyboard's keymap through its own keymap compiler, which
// takes no code above 255 and no key name over four characters.
TEST(WaylandXwaylandTest, AnXProgramUnderXWaylandGetsTheTextExactly)
{
    WaylandSession session(false, true);
    SKIP_WITHOUT_SWAY(session);
    if (!fs::exists("/usr/bin/Xwayland"))
        GTEST_SKIP() << "No XWayland here (the xwayland package)";
    const UserKeyboard user("de");
    const fs::path output = session.folder() / "xterm.txt";
    session.Run({"swaymsg", "exec", "xterm -e /bin/sh -c 'stty -icanon -isig -iexten -ixon -echo min 1 && exec cat > " +
                                        output.string() + "'"});
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(output) && FocusedProcess() != 0; }, 20s)) << "xterm did not start";
    std::string line;
    while (line.size() < 2000)
        line += "The Quick Brown FOX jumps Over the LAZY dog, 1234! ";
    TypeOnce(kEveryKindText + line + "~");
    const std::string typed = kEveryKindTyped + line + "\n";
    EXPECT_EQ(WaitForOutput(output, typed.size()), typed);
}

TEST(WaylandWithoutTrayTest, KestrunShowsItsWindowWhenNoTrayHostRuns)
{
    WaylandSession session(false);
    SKIP_WITHOUT_SWAY(session);
    const pid_t kestrun = StartKestrun(session, {});
    EXPECT_TRUE(WaitUntil([&] { return HasWindow(kestrun); }, 10s));
}

}  // namespace
}  // namespace kestrun::test
