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

namespace kestrun::test {
namespace {

using namespace std::chrono_literals;

std::filesystem::path JournalPath() { return KeymapJournalPath(std::getenv("DISPLAY")).value(); }

// Reaps the process when it is ours (a guardian whose Kestrun died).
bool Gone(pid_t pid)
{
    waitpid(pid, nullptr, WNOHANG);
    return !RunningProcess(pid);
}

TEST(KeyboardGuard, AfterAKillOrATermTheKeyboardIsSoundAndTheNextStartRepairsWhatIsLeft)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    // Guardians whose Kestrun died come to this process, to be reaped.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    const auto before = KeyRows();
    const std::string beforeXkb = XkbKeys();
    // Typing in a child process, returned once it has borrowed key codes.
    const auto startTyping = [&] {
        const pid_t child = StartProcess({KESTRUN_TYPING_CHILD, KESTRUN_KEYGUARD});
        if (child > 0 && !WaitUntil([&] { return KeyRows() != before; }, 10s)) {
            StopProcess(child);
            return -1;
        }
        return child;
    };
    // No key down, and every key with the keysyms, groups and key types it had.
    const auto soundWithinASecond = [&] {
        return WaitUntil([&] { return KeysDown().empty() && KeyRows() == before && XkbKeys() == beforeXkb; }, 1s);
    };

    Step("SIGKILL, from at once to well into the typing: the guardian releases and restores; "
         "SIGTERM: typing stops and restores by itself");
    for (const auto& [signal, delay] :
         {std::pair{SIGKILL, 0ms}, {SIGKILL, 150ms}, {SIGKILL, 420ms}, {SIGKILL, 900ms}, {SIGTERM, 200ms}}) {
        SCOPED_TRACE(std::to_string(signal) + " after " + std::to_string(delay.count()) + " ms");
        const pid_t child = startTyping();
        ASSERT_GT(child, 0) << "typing did not borrow any key code";
        std::this_thread::sleep_for(delay);
        const auto journal = ReadKeymapJournal(JournalPath());
        ASSERT_TRUE(journal);
        ASSERT_FALSE(KeysDown().empty()) << "the child holds a Shift key while it types";
        kill(child, signal);
        int status = 0;
        ASSERT_TRUE(WaitUntil([&] { return Ended(child, status); }, 5s));
        if (signal == SIGTERM) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "typing did not stop on the signal";
        }
        EXPECT_TRUE(soundWithinASecond()) << KeysDown() << XkbKeys();
        // Its end is not timed: a sanitizer build checks for leaks first.
        EXPECT_TRUE(WaitUntil([&] { return Gone(journal->guardian.pid); }, 10s)) << "the guardian did not end";
        EXPECT_FALSE(std::filesystem::exists(JournalPath()));
    }

    Step("both killed: the next start restores from the journal what nobody changed since");
    const pid_t child = startTyping();
    ASSERT_GT(child, 0);
    const auto journal = ReadKeymapJournal(JournalPath());
    ASSERT_TRUE(journal);
    RestoreKeyboardFromJournal();
    EXPECT_TRUE(std::filesystem::exists(JournalPath())) << "a journal of a live Kestrun is not to be touched";
    kill(journal->guardian.pid, SIGKILL);
    ASSERT_TRUE(WaitUntil([&] { return !RunningProcess(journal->guardian.pid); }, 10s));
    RestoreKeyboardFromJournal();
    EXPECT_TRUE(std::filesystem::exists(JournalPath())) << "nor one of a live Kestrun whose guardian died";
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    waitpid(journal->guardian.pid, nullptr, 0);
    ASSERT_NE(KeyRows(), before);
    // Meanwhile the user gives one of the borrowed codes a meaning of his own.
    auto rows = KeyRows();
    int changed = 0;
    for (const BorrowedCode& entry : journal->codes)
        if (HoldsBorrowed(rows.at(entry.code), entry.borrowed))
            changed = entry.code;
    ASSERT_NE(changed, 0);
    SetKeySyms(changed, {0xa7, 0xa7});  // section
    auto expected = before;
    expected[changed] = KeyRows().at(changed);
    // A code the server does not have (the file may be damaged) is passed over.
    auto damaged = *journal;
    damaged.codes.push_back({3, {0, 0}, {0xa7, 0xa7}});
    ASSERT_TRUE(WriteKeymapJournal(JournalPath(), damaged));

    RestoreKeyboardFromJournal();
    EXPECT_EQ(KeyRows(), expected);
    EXPECT_FALSE(std::filesystem::exists(JournalPath()));
}

}  // namespace
}  // namespace kestrun::test
