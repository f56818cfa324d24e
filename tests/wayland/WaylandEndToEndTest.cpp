// Typing, activation and the tray on a private headless sway, with foot
// windows that record every byte they are given.

#include "keys/NotationTyping.h"
#include "platform/PlatformError.h"
#include "platform/wayland/VirtualKeyboardSender.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeymap.h"
#include "platform/wayland/WaylandWindowActivator.h"
#include "tests/wayland/WaylandSession.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

// Types with a sender of its own, as a fresh Kestrun would.
void TypeOnce(const std::string& text)
{
    VirtualKeyboardSender sender;
    SendKeys(sender, text, true);
}

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
    return probe ? WaylandKeymap(probe->SeatKeymap()).Canonical() : "";
}

class WaylandEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!session.ok())
            GTEST_SKIP() << "No Wayland compositor here: " << session.failure();
        user = std::make_unique<UserKeyboard>("de");
    }

    WaylandSession session;
    std::unique_ptr<UserKeyboard> user;
};

TEST_F(WaylandEndToEndTest, TypesTheTextExactlyAndGivesTheUserHisKeymapBack)
{
    ASSERT_EQ(SeatKeymap(), WaylandKeymap(user->keymap()).Canonical());
    const fs::path output = session.folder() / "typed.txt";
    ASSERT_GT(session.StartRecorder(output), 0) << "foot did not start";

    VirtualKeyboardSender sender;
    SendKeys(sender, kText, true);
    EXPECT_EQ(WaylandSession::WaitForOutput(output, kTyped.size()), kTyped);
    EXPECT_EQ(SeatKeymap(), WaylandKeymap(user->keymap()).Canonical()) << "the keymap was not given back";

    // A malformed text types nothing and leaves the keymap alone.
    EXPECT_THROW(SendKeys(sender, "abc{NOSUCHKEY}", true), PlatformError);
    EXPECT_EQ(WaylandSession::WaitForOutput(output, kTyped.size()), kTyped);
    EXPECT_EQ(SeatKeymap(), WaylandKeymap(user->keymap()).Canonical());
}

TEST_F(WaylandEndToEndTest, ActivatesTheProgramByItsProcessId)
{
    const fs::path first = session.folder() / "first.txt", second = session.folder() / "second.txt";
    const pid_t firstRecorder = session.StartRecorder(first, "first-recorder");
    ASSERT_GT(firstRecorder, 0);
    const pid_t secondRecorder = session.StartRecorder(second, "second-recorder");
    ASSERT_GT(secondRecorder, 0);

    WaylandWindowActivator activator;
    EXPECT_TRUE(activator.WaitForWindow(firstRecorder, std::chrono::seconds(1)));
    activator.Activate(firstRecorder);
    EXPECT_EQ(WaylandSession::FocusedProcess(), firstRecorder);
    TypeOnce("to the first~");
    EXPECT_EQ(WaylandSession::WaitForOutput(first, 13), "to the first\n");
    EXPECT_EQ(WaylandSession::WaitForOutput(second, 0), "");

    // Without sway's IPC: the compositor's list of toplevels, by app id.
    const std::string swaySocket = std::getenv("SWAYSOCK");
    unsetenv("SWAYSOCK");
    activator.Activate(secondRecorder);
    EXPECT_TRUE(activator.WaitForWindow(firstRecorder, std::chrono::seconds(1)));
    setenv("SWAYSOCK", swaySocket.c_str(), 1);
    EXPECT_EQ(WaylandSession::FocusedProcess(), secondRecorder);
    activator.Activate(firstRecorder);
    EXPECT_EQ(WaylandSession::FocusedProcess(), firstRecorder);

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
            TypeOnce("{X 10000}{ж 10000}{X 10000}{ж 10000}{X 10000}{ж 10000}");
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

    TypeOnce("ok~");
    const std::string typed = WaylandSession::WaitForOutput(output, size + 3);
    EXPECT_EQ(typed.substr(typed.size() - 3), "ok\n") << "a modifier stayed down";
}

// The built kestrun, copied where the session's user can run it, with a
// program that starts a recorder, waits and types into it.
pid_t StartKestrun(WaylandSession& session, const std::vector<std::string>& arguments)
{
    const fs::path folder = session.folder() / "kestrun";
    fs::create_directories(folder);
    fs::copy_file(KESTRUN_EXECUTABLE, folder / "kestrun", fs::copy_options::overwrite_existing);
    const fs::path recorder = folder / "recorder.sh";
    std::ofstream(recorder) << "#!/bin/sh\nexec foot /bin/sh -c "
                               "'stty -icanon -isig -iexten -ixon -echo min 1 && exec cat > \"$0\"' "
                            << (session.folder() / "typed.txt") << "\n";
    fs::permissions(recorder, fs::perms::owner_all);
    std::ofstream(folder / "Kestrun.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<programs xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
           "xsi:noNamespaceSchemaLocation=\"Kestrun.xsd\">\n"
           "<program><name>Kestrun Template</name><tasks><task index=\"1\"><type>Open File</type><value></value>"
           "<enabled>True</enabled></task></tasks></program>\n"
           "<program><name>Greet</name><tasks>"
           "<task index=\"1\"><type>Open File</type><value>" << recorder.string() << "</value><enabled>True</enabled></task>"
           "<task index=\"2\"><type>Wait</type><value>1</value><enabled>True</enabled></task>"
           "<task index=\"3\"><type>Keystrokes</type><value>Grüße, Κέστρουν!~</value><enabled>True</enabled></task>"
           "</tasks></program>\n</programs>\n";
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        session.GiveToUser(entry.path());
    session.GiveToUser(folder);
    std::vector<std::string> argv = {(folder / "kestrun").string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return session.Start(argv, {"QT_QPA_PLATFORM=wayland"});
}

TEST_F(WaylandEndToEndTest, KestrunRunsAProgramAndSitsInSwaybarsTray)
{
    const pid_t kestrun = StartKestrun(session, {"--run", "Greet"});
    EXPECT_EQ(WaylandSession::WaitForOutput(session.folder() / "typed.txt", 19), "Grüße, Κέστρουν!\n");

    const std::string items = session.Run({"dbus-send", "--session", "--print-reply",
                                           "--dest=org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                           "org.freedesktop.DBus.Properties.Get",
                                           "string:org.kde.StatusNotifierWatcher",
                                           "string:RegisteredStatusNotifierItems"});
    // Items are named by their bus connection; that connection is Kestrun's.
    const std::size_t start = items.find("string \":"), end = items.find("/StatusNotifierItem\"");
    ASSERT_TRUE(start != std::string::npos && end != std::string::npos) << items;
    const std::string item = items.substr(start + 8, end - start - 8);
    const std::string owner = session.Run({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                           "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
                                           "string:" + item});
    EXPECT_NE(owner.find("uint32 " + std::to_string(kestrun) + "\n"), std::string::npos) << owner;
    EXPECT_FALSE(WaylandSession::HasWindow(kestrun)) << "the window shows although there is a tray";

    // What swaybar asks for on a right click pops the menu up, on a left
    // click shows the window.
    const auto click = [&](const char* method) {
        session.Run({"dbus-send", "--session", "--print-reply", "--dest=" + item, "/StatusNotifierItem",
                     std::string("org.kde.StatusNotifierItem.") + method, "int32:10", "int32:10"});
    };
    click("ContextMenu");
    click("Activate");
    EXPECT_TRUE(WaylandSession::WaitUntil([&] { return WaylandSession::HasWindow(kestrun); }, std::chrono::seconds(5)));
}

// A seat without a keyboard of its own, as on a kiosk: the sender, made as a
// run begins, gives the seat a keyboard before the run activates a program.
TEST(WaylandWithoutKeyboardTest, TypesIntoTheProgramARunActivates)
{
    WaylandSession session;
    if (!session.ok())
        GTEST_SKIP() << "No Wayland compositor here: " << session.failure();
    VirtualKeyboardSender sender;
    const fs::path first = session.folder() / "first.txt";
    const pid_t recorder = session.StartRecorder(first, "first-recorder");
    ASSERT_GT(session.StartRecorder(session.folder() / "second.txt", "second-recorder"), 0);
    WaylandWindowActivator().Activate(recorder);
    SendKeys(sender, "Ωmega~", true);
    EXPECT_EQ(WaylandSession::WaitForOutput(first, 7), "Ωmega\n");
}

TEST(WaylandWithoutTrayTest, KestrunShowsItsWindowWhenNoTrayHostRuns)
{
    WaylandSession session(false);
    if (!session.ok())
        GTEST_SKIP() << "No Wayland compositor here: " << session.failure();
    const pid_t kestrun = StartKestrun(session, {});
    EXPECT_TRUE(WaylandSession::WaitUntil([&] { return WaylandSession::HasWindow(kestrun); }, std::chrono::seconds(10)));
}

}  // namespace
}  // namespace kestrun::test
