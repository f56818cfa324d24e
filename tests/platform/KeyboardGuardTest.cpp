// Ending a typing process midway, on a private Xvfb: whatever ends it, no key
// stays down and the keyboard mapping is what it was before.

#include "platform/KeyboardRecovery.h"
#include "platform/linux/KeymapJournal.h"
#include "platform/linux/KeymapRepair.h"
#include "tests/platform/KeymapInspection.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

// After gtest, whose names the X macros would clash with.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

std::filesystem::path JournalPath() { return KeymapJournalPath(std::getenv("DISPLAY")).value(); }

// Reaps the process when it is ours (a guardian whose Kestrun died).
bool Ended(pid_t pid)
{
    waitpid(pid, nullptr, WNOHANG);
    return !RunningProcess(pid);
}

class KeyboardGuardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session.ok()) << session.failure;
        // Guardians whose Kestrun died come to this process, to be reaped.
        prctl(PR_SET_CHILD_SUBREAPER, 1);
        before = XSession::CoreKeymap();
        beforeXkb = XkbKeys();
    }

    // Starts typing in a child process and returns once it has borrowed key
    // codes; -1 when it did not.
    pid_t StartTyping()
    {
        const pid_t child = StartProcess({KESTRUN_TYPING_CHILD, KESTRUN_KEYGUARD});
        if (child > 0 && !WaitUntil([&] { return XSession::CoreKeymap() != before; }, 10s)) {
            StopProcess(child);
            return -1;
        }
        return child;
    }

    // Whether the keyboard is sound again within a second: no key down, and
    // every key with the keysyms, groups and key types it had.
    bool SoundWithinASecond()
    {
        return WaitUntil(
            [&] { return XSession::KeysDown().empty() && XSession::CoreKeymap() == before && XkbKeys() == beforeXkb; },
            1s);
    }

    XSession session;
    std::vector<unsigned long> before;
    std::string beforeXkb;
};

TEST_F(KeyboardGuardTest, AfterAKillTheGuardianReleasesTheKeysAndRestoresTheMapping)
{
    // From at once to well into the typing.
    for (const auto delay : {0ms, 150ms, 420ms, 900ms}) {
        SCOPED_TRACE(delay.count());
        const pid_t child = StartTyping();
        ASSERT_GT(child, 0) << "typing did not borrow any key code";
        std::this_thread::sleep_for(delay);
        const auto journal = ReadKeymapJournal(JournalPath());
        ASSERT_TRUE(journal);
        ASSERT_FALSE(XSession::KeysDown().empty()) << "the child holds a Shift key while it types";

        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        EXPECT_TRUE(SoundWithinASecond()) << XSession::KeysDown() << XkbKeys();
        // Its end is not timed: a sanitizer build checks for leaks first.
        EXPECT_TRUE(WaitUntil([&] { return Ended(journal->guardian.pid); }, 10s)) << "the guardian did not end";
        EXPECT_FALSE(std::filesystem::exists(JournalPath()));
    }
}

TEST_F(KeyboardGuardTest, SigtermEndsTypingCleanly)
{
    const pid_t child = StartTyping();
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(200ms);
    const auto journal = ReadKeymapJournal(JournalPath());
    ASSERT_TRUE(journal);

    kill(child, SIGTERM);
    int status = 0;
    ASSERT_TRUE(WaitUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, 5s));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "typing did not stop on the signal";
    EXPECT_TRUE(SoundWithinASecond()) << XSession::KeysDown();
    EXPECT_TRUE(WaitUntil([&] { return Ended(journal->guardian.pid); }, 10s));
    EXPECT_FALSE(std::filesystem::exists(JournalPath()));
}

TEST_F(KeyboardGuardTest, TheNextStartRestoresFromTheJournalWhatNobodyChangedSince)
{
    const pid_t child = StartTyping();
    ASSERT_GT(child, 0);
    RestoreKeyboardFromJournal();
    EXPECT_TRUE(std::filesystem::exists(JournalPath())) << "a journal of a live Kestrun is not to be touched";

    const pid_t guardian = ReadKeymapJournal(JournalPath()).value().guardian.pid;
    kill(guardian, SIGKILL);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    waitpid(guardian, nullptr, 0);
    ASSERT_NE(XSession::CoreKeymap(), before);

    // Meanwhile the user gives one of the borrowed codes a meaning of his own.
    const auto journal = ReadKeymapJournal(JournalPath());
    ASSERT_TRUE(journal);
    Display* display = XOpenDisplay(nullptr);
    ASSERT_TRUE(display);
    int first = 0, last = 0, width = 0;
    XDisplayKeycodes(display, &first, &last);
    int changed = 0;
    for (const BorrowedCode& entry : journal->codes) {
        KeySym* syms = XGetKeyboardMapping(display, entry.code, 1, &width);
        if (HoldsBorrowed(std::vector<unsigned long>(syms, syms + width), entry.borrowed))
            changed = entry.code;
        XFree(syms);
    }
    ASSERT_NE(changed, 0);
    KeySym mine[] = {XK_section, XK_section};
    XChangeKeyboardMapping(display, changed, 2, mine, 1);
    XSync(display, False);
    XCloseDisplay(display);
    const auto userMap = XSession::CoreKeymap();
    // A code the server does not have (the file may be damaged) is passed over.
    auto damaged = *journal;
    damaged.codes.push_back({3, {NoSymbol, NoSymbol}, {XK_section, XK_section}});
    ASSERT_TRUE(WriteKeymapJournal(JournalPath(), damaged));

    RestoreKeyboardFromJournal();

    auto expected = before;
    ASSERT_EQ(userMap.size(), before.size());
    const std::size_t rowWidth = before.size() / static_cast<std::size_t>(last - first + 1);
    const std::size_t row = static_cast<std::size_t>(changed - first) * rowWidth;
    std::copy_n(userMap.begin() + row, rowWidth, expected.begin() + row);
    EXPECT_EQ(XSession::CoreKeymap(), expected);
    EXPECT_FALSE(std::filesystem::exists(JournalPath()));
}

}  // namespace
}  // namespace kestrun::test
