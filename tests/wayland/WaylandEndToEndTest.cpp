// Typing, activation and the tray on a private headless sway, with foot
// windows that record every byte they are given.

#include "platform/PlatformError.h"
#include "platform/wayland/VirtualKeyboardSender.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandWindowActivator.h"
#include "tests/wayland/WaylandSession.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// ASCII, the notation's specials, accented letters, Greek, Cyrillic, CJK.
const std::string kText =
    "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>?\n"
    "{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}+(abc)^(){TAB}x^(ab)~"
    "äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €\n"
    "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ жизнь 中文字 ✓→∞ 😀\n"
    "{CAPSLOCK}aB{CAPSLOCK}cD{x 3}\n";
const std::string kTyped =
    "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>?\n"
    "+^%~(){}[]ABC\tx\x01\x02\n"
    "äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €\n"
    "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ жизнь 中文字 ✓→∞ 😀\n"
    "aBcDxxx\n";

std::string SeatKeymap()
{
    const auto probe = WaylandConnection::Open();
    return probe ? CanonicalKeymap(probe->SeatKeymap()) : "";
}

class WaylandEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!session.ok())
            GTEST_SKIP() << "No Wayland compositor here: " << session.failure();
        user = std::make_unique<UserKeyboard>();
    }

    WaylandSession session;
    std::unique_ptr<UserKeyboard> user;
};

TEST_F(WaylandEndToEndTest, TypesTheTextExactlyAndGivesTheUserHisKeymapBack)
{
    ASSERT_EQ(SeatKeymap(), CanonicalKeymap(user->keymap()));
    const fs::path output = session.folder() / "typed.txt";
    ASSERT_GT(session.StartRecorder(output), 0) << "foot did not start";

    VirtualKeyboardSender sender;
    sender.SendKeys(kText, true);
    EXPECT_EQ(WaylandSession::WaitForOutput(output, kTyped.size()), kTyped);
    EXPECT_EQ(SeatKeymap(), CanonicalKeymap(user->keymap())) << "the keymap was not given back";

    // A malformed text types nothing and leaves the keymap alone.
    EXPECT_THROW(sender.SendKeys("abc{NOSUCHKEY}", true), PlatformError);
    EXPECT_EQ(WaylandSession::WaitForOutput(output, kTyped.size()), kTyped);
    EXPECT_EQ(SeatKeymap(), CanonicalKeymap(user->keymap()));
}

TEST_F(WaylandEndToEndTest, ActivatesTheProgramByItsProcessId)
{
    const fs::path first = session.folder() / "first.txt", second = session.folder() / "second.txt";
    const pid_t firstRecorder = session.StartRecorder(first);
    ASSERT_GT(firstRecorder, 0);
    ASSERT_GT(session.StartRecorder(second), 0);

    WaylandWindowActivator activator;
    EXPECT_TRUE(activator.WaitForWindow(firstRecorder, std::chrono::seconds(1)));
    activator.Activate(firstRecorder);
    EXPECT_EQ(WaylandSession::FocusedProcess(), firstRecorder);
    VirtualKeyboardSender().SendKeys("to the first~", true);
    EXPECT_EQ(WaylandSession::WaitForOutput(first, 13), "to the first\n");
    EXPECT_EQ(WaylandSession::WaitForOutput(second, 0), "");

    EXPECT_THROW(activator.Activate(0), PlatformError);
    const pid_t windowless = session.Start({"sleep", "10"});
    EXPECT_THROW(activator.Activate(windowless), PlatformError);
    EXPECT_FALSE(activator.WaitForWindow(windowless, std::chrono::milliseconds(200)));
}

TEST_F(WaylandEndToEndTest, AKilledTypistLeavesNoKeyDown)
{
    const fs::path output = session.folder() / "typed.txt";
    const pid_t recorder = session.StartRecorder(output);
    ASSERT_GT(recorder, 0);

    // Shifted letters and a foreign one: a modifier and the extended keymap
    // are in use whenever the kill comes.
    const pid_t typist = fork();
    if (typist == 0) {
        try {
            VirtualKeyboardSender().SendKeys("{X 10000}{ж 10000}{X 10000}{ж 10000}{X 10000}{ж 10000}", true);
        } catch (...) {
        }
        _exit(0);
    }
    ASSERT_TRUE(WaylandSession::WaitUntil([&] { return fs::exists(output) && fs::file_size(output) > 100; },
                                          std::chrono::seconds(10)));
    kill(typist, SIGKILL);
    waitpid(typist, nullptr, 0);
    ASSERT_EQ(waitpid(recorder, nullptr, WNOHANG), 0) << "the recorder could not keep up";

    // A key left down would repeat in foot for as long as it stays down.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const auto size = fs::file_size(output);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_EQ(fs::file_size(output), size) << "a key repeats";

    VirtualKeyboardSender().SendKeys("ok~", true);
    const std::string typed = WaylandSession::WaitForOutput(output, size + 3);
    EXPECT_EQ(typed.substr(typed.size() - 3), "ok\n") << "a modifier stayed down";
}

}  // namespace
}  // namespace kestrun::test
