// Typing on a private headless mutter through its remote desktop, into a Qt and a GTK window.

#include "keys/NotationTyping.h"
#include "platform/PlatformError.h"
#include "platform/gnome/RemoteDesktopSender.h"
#include "platform/gnome/RemoteDesktopSession.h"
#include "tests/gnome/MutterSession.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon-keysyms.h>

#include <signal.h>
#include <sys/wait.h>

#include <memory>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Route = RemoteDesktopSession::Route;

// Letters and symbols of the layout, accented Latin, Greek, Cyrillic, CJK, symbols and an emoji the us
// layout lacks, Caps Lock typed in the text, and Enter.
const std::string kMixedText = "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>? äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €"
                               "{ENTER}ΑΒΓΔΕ жизнь 中文字 ✓→∞ 😀 {CAPSLOCK}aB{CAPSLOCK}cD{~}end";
const std::string kMixedTyped = "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>? äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €"
                                "\nΑΒΓΔΕ жизнь 中文字 ✓→∞ 😀 aBcD~end";

class RemoteDesktopEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { session = new MutterSession(); }
    static void TearDownTestSuite()
    {
        keyboard.reset();
        delete session;
    }
    // The seat of a headless mutter has a keyboard only while a remote desktop session has one. A
    // desktop's seat has the user's all the time, and a Qt window that comes while there is none now and
    // then never pastes: from here on, the user's keyboard stays.
    static void GiveTheUserAKeyboard()
    {
        if (keyboard)
            return;
        keyboard = std::make_unique<RemoteDesktopSession>(Route::Mutter);
        keyboard->Start(nullptr);
        keyboard->Key(XKB_KEY_Shift_L, true);
        keyboard->Key(XKB_KEY_Shift_L, false);
    }
    void SetUp() override
    {
        if (!session->ok())
            GTEST_SKIP() << "No headless mutter here: " << session->failure();
    }

    enum class Toolkit { Qt, Gtk };
    // A recorder of its own for each case, so that one case's keys never reach the next one's window.
    pid_t Recorder(Toolkit toolkit, fs::path& output)
    {
        static int count = 0;
        output = session->folder() / ("typed-" + std::to_string(++count) + ".txt");
        const pid_t pid = toolkit == Toolkit::Qt ? session->StartQtRecorder(output) : session->StartGtkRecorder(output);
        EXPECT_GT(pid, 0) << "the recorder did not get the focus";
        return pid;
    }

    static MutterSession* session;
    static std::unique_ptr<RemoteDesktopSession> keyboard;
};
MutterSession* RemoteDesktopEndToEnd::session = nullptr;
std::unique_ptr<RemoteDesktopSession> RemoteDesktopEndToEnd::keyboard;

bool Running(pid_t pid) { return pid > 0 && kill(pid, 0) == 0 && waitpid(pid, nullptr, WNOHANG) == 0; }

ClipboardContent Clipboard()
{
    RemoteDesktopSession reader(Route::Mutter);
    reader.Start(nullptr);
    return reader.ReadClipboard();
}

TEST_F(RemoteDesktopEndToEnd, TypesExactlyFromTheFirstKeyIntoQtAndGtkWithoutLosingTheWindow)
{
    struct Row {
        const char* what;
        Toolkit toolkit;
        std::string text, typed;
    } rows[] = {
        // Before any keyboard is on the seat, so that the session's is its first.
        {"one key, the first of a session", Toolkit::Qt, "x", "x"},
        {"one key, the first of a session", Toolkit::Gtk, "q", "q"},
        {"mixed text", Toolkit::Qt, kMixedText, kMixedTyped},
        {"mixed text", Toolkit::Gtk, kMixedText, kMixedTyped},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.what) + (row.toolkit == Toolkit::Qt ? " into Qt" : " into GTK"));
        if (row.text.size() > 1)
            GiveTheUserAKeyboard();
        fs::path output;
        const pid_t recorder = Recorder(row.toolkit, output);
        {
            RemoteDesktopSender sender(Route::Mutter, nullptr);
            SendKeys(sender, row.text, true);
        }
        EXPECT_EQ(WaitForOutput(output, row.typed.size()), row.typed);
        EXPECT_TRUE(Running(recorder)) << "mutter disconnected the window";
        StopProcess(recorder);
    }
    EXPECT_EQ(session->Log().find("No keycode found"), std::string::npos) << session->Log();
}

TEST_F(RemoteDesktopEndToEnd, GivesTheUserHisClipboardBack)
{
    struct Row {
        const char* what;
        bool programOwnsIt;
    } rows[] = {
        {"a program's own clipboard, in two types", true},
        // mutter keeps the text of a clipboard whose owner has gone (here the first row's user).
        {"the copy mutter keeps once its owner has gone", false},
    };
    GiveTheUserAKeyboard();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::unique_ptr<RemoteDesktopSession> program;
        if (row.programOwnsIt) {
            program = std::make_unique<RemoteDesktopSession>(Route::Mutter);
            program->Start(nullptr);
            program->SetClipboard({{{"text/plain;charset=utf-8", "the user's own ✓"},
                                    {"application/x-kestrun-test", std::string("raw\0\x01", 5)}}});
        }
        const ClipboardContent before = Clipboard();
        ASSERT_FALSE(before.empty());

        fs::path output;
        const pid_t recorder = Recorder(Toolkit::Gtk, output);
        RemoteDesktopSender sender(Route::Mutter, nullptr);
        SendKeys(sender, "a€b中c", true);
        EXPECT_EQ(WaitForOutput(output, std::string("a€b中c").size()), "a€b中c");
        EXPECT_EQ(Clipboard().data, before.data);
        StopProcess(recorder);
    }
}

TEST_F(RemoteDesktopEndToEnd, AKilledTypistLeavesNoKeyDown)
{
    fs::path output;
    const pid_t recorder = Recorder(Toolkit::Qt, output);
    const fs::path held = session->folder() / "held";
    const pid_t typist = StartProcess({KESTRUN_REMOTE_TYPIST, held.string()});
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(held); }, 20s)) << "the typist did not hold Shift";
    kill(typist, SIGKILL);
    waitpid(typist, nullptr, 0);
    // Shift still down would make these capitals.
    RemoteDesktopSender sender(Route::Mutter, nullptr);
    SendKeys(sender, "abc", true);
    EXPECT_EQ(WaitForOutput(output, 3), "abc");
    StopProcess(recorder);
}

TEST_F(RemoteDesktopEndToEnd, StopsBetweenKeysWithEveryKeyUp)
{
    fs::path output;
    const pid_t recorder = Recorder(Toolkit::Qt, output);
    int keys = 0;
    RemoteDesktopSender sender(Route::Mutter, [&] { return ++keys > 3; });
    EXPECT_THROW(SendKeys(sender, "ab+cdefgh", true), PlatformError);
    RemoteDesktopSender after(Route::Mutter, nullptr);
    SendKeys(after, "xy", true);
    EXPECT_EQ(WaitForOutput(output, 5), "abCxy");
    StopProcess(recorder);
}

TEST_F(RemoteDesktopEndToEnd, RefusesWhatTheLayoutCannotTypeAndTypesNothing)
{
    fs::path output;
    const pid_t recorder = Recorder(Toolkit::Qt, output);
    RemoteDesktopSender sender(Route::Mutter, nullptr);
    try {
        SendKeys(sender, "ab^(ж)", true);
        ADD_FAILURE() << "Ctrl with a character outside the layout was typed";
    } catch (const PlatformError& error) {
        EXPECT_STREQ(error.what(), "\"ж\" is not on the keyboard layout, so it cannot be typed with Shift, Ctrl or Alt.");
    }
    SendKeys(sender, "ok", true);
    EXPECT_EQ(WaitForOutput(output, 2), "ok");
    StopProcess(recorder);
}

// The lines of the fake portal's log that start with `prefix`.
std::vector<std::string> Calls(const fs::path& log, const std::string& prefix)
{
    std::vector<std::string> calls;
    for (const std::string& line : Lines(ReadFile(log)))
        if (line.rfind(prefix, 0) == 0)
            calls.push_back(line);
    return calls;
}

TEST_F(RemoteDesktopEndToEnd, AsksThroughThePortalOnceAndSaysSoWhenRefused)
{
    struct Row {
        const char* what;
        int response;  // the user's answer: 0 allowed, 1 refused
    } rows[] = {{"allowed", 0}, {"refused", 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const fs::path log = session->folder() / (std::string("portal-") + row.what + ".log");
        const Started portal{StartProcess({"/usr/bin/python3", KESTRUN_FAKE_PORTAL, std::to_string(row.response), log})};
        ASSERT_TRUE(WaitUntil([&] { return !Calls(log, "ready").empty(); }, 20s)) << "the fake portal did not start";
        Route route = Route::Mutter;
        ASSERT_TRUE(RemoteDesktopSession::Available(route));
        EXPECT_EQ(route, Route::Portal) << "the portal comes before mutter's own interface";

        RemoteDesktopSender sender(route, nullptr);
        EXPECT_TRUE(Calls(log, "CreateSession").empty()) << "asked before the first keys";
        if (row.response != 0) {
            try {
                SendKeys(sender, "ab", true);
                ADD_FAILURE() << "typed although refused";
            } catch (const PlatformError& error) {
                EXPECT_STREQ(error.what(),
                             "Typing into other windows was not allowed (GNOME asks once each time Kestrun starts).");
            }
            EXPECT_TRUE(Calls(log, "NotifyKeyboardKeysym").empty());
            continue;
        }
        SendKeys(sender, "ab", true);
        SendKeys(sender, "b", true);
        EXPECT_THROW(SendKeys(sender, "a€", true), PlatformError) << "the portal of version 1 has no clipboard";
        // One question for the sender's life; no persistence asked of a portal of version 1.
        EXPECT_EQ(Calls(log, "CreateSession").size(), 1u);
        EXPECT_EQ(Calls(log, "SelectDevices"), std::vector<std::string>{"SelectDevices"});
        EXPECT_EQ(Calls(log, "Start").size(), 1u);
        // The Shift tap that makes mutter's keyboard, then the keys, each pressed and released.
        EXPECT_EQ(Calls(log, "NotifyKeyboardKeysym"),
                  (std::vector<std::string>{"NotifyKeyboardKeysym 65505 1", "NotifyKeyboardKeysym 65505 0",
                                            "NotifyKeyboardKeysym 97 1", "NotifyKeyboardKeysym 97 0",
                                            "NotifyKeyboardKeysym 98 1", "NotifyKeyboardKeysym 98 0",
                                            "NotifyKeyboardKeysym 98 1", "NotifyKeyboardKeysym 98 0"}));
    }
}

}  // namespace
}  // namespace kestrun::test
